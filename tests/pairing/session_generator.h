#pragma once
// Seeded synthetic twin-camera sessions with known truth, and their scoring.
#include "pairing/rhythmalignment.h"

#include <string>
#include <vector>

enum class SessionKind
{
    SingleOffset,   // seconds to minutes apart, either sign
    HoursOffset,    // hours up to a day apart, either sign
    NegativeOffset, // the right clock behind
    Bursts,         // up to ~45 % of the scenes in bursts of shots 1-2 s apart
    Drift,          // clocks drifting apart, up to 0.1 % of the elapsed time
    JumpForward,    // one camera's clock set forward 1 to 9 h during the session
    JumpBack,       // one camera's clock set back 1 to 9 h
    TwoJumps,       // two changes of either sign, on either camera
    FactoryReset,   // one camera's clock reset to a factory date
    DaylightSaving, // one camera changed by an hour
    ShortChange,    // one camera off by hours for 5 to 14 scenes, then set right again
    Unrelated,      // two sessions that have nothing to do with each other
    AllBursts,      // nothing but 1-second shooting
};

std::string SessionKindName(SessionKind kind);

struct Session
{
    RhythmInput input;
    std::vector<int> sceneOfLeft;  // which scene each left picture shows
    std::vector<int> sceneOfRight; // -1 for the pictures of an unrelated session
    std::vector<int> stretchOfScene;
    int truePairs = 0;
    int largestStretch = 0;         // stretch id that holds the most true pairs
    std::vector<int> stretchScenes; // scenes per stretch id
};

Session GenerateSession(SessionKind kind, unsigned seed, bool subSeconds);

struct SessionScore
{
    int pairs = 0, correct = 0, truePairs = 0;
    int outsidePairs = 0, outsideCorrect = 0, outsideTrue = 0; // outside the largest stretch
    int doubtful = 0, wrongDoubtful = 0;
    std::vector<int> stretchTrue, stretchCorrect; // per stretch id
    double precision() const { return pairs ? double(correct) / pairs : 1.0; }
    double recall() const { return truePairs ? double(correct) / truePairs : 1.0; }
};

SessionScore ScoreSession(const Session &session, const RhythmResult &result);

// The true scene of a pair, -1 when the two pictures show different scenes.
bool PairIsRight(const Session &session, const RhythmPair &pair);
