#pragma once
// Pairing by rhythm alignment: the second pairing method of the assigning ordering pass.
//
// The default method takes the first run of agreeing shot intervals as the one clock offset
// and pairs greedily by time. This method survives bursts, drifting clocks and clocks that
// were changed during a session:
//  1. anchors: every left position whose next three intervals agree (within a second each)
//     with those of a right position gives an anchor (left time, right - left);
//  2. a robust clock model offset(t) = a + b·t through the anchors, and further lines of
//     the same drift rate through the anchors left over (a clock changed mid-session);
//  3. per line, an exact order-preserving alignment of both streams that minimises squared
//     residuals plus a penalty per single picture, and a forward-backward pass over the
//     same alignments that gives every pair its probability;
//  4. a change-point search that cuts both streams into stretches, each owned by one line;
//     a picture that two lines want goes where it costs the session least, and pictures
//     one camera took in the same second go to their partners in shooting order;
//  5. short stretches among the pictures left single (a clock off for a few shots);
//  6. a safety gate: when too few pictures would be paired, nothing is.
// It works on plain values (seconds on each camera's clock) and knows no entries or lists.
#include <QString>

#include <optional>
#include <vector>

// One picture as the method sees it.
struct RhythmPicture
{
    double seconds = 0;        // capture time in seconds on the camera's clock
    bool hasTime = true;       // false: the picture stays single
    bool hasSubSecond = false; // seconds carries the sub-second part of the capture time
};

// A known pair given by its two times (a pair kept from an earlier pass, or the pair the
// user selected when asked for one).
struct RhythmKnownPair
{
    double leftSeconds = 0;
    double rightSeconds = 0;
};

struct RhythmInput
{
    std::vector<RhythmPicture> left;
    std::vector<RhythmPicture> right;
    std::vector<RhythmKnownPair> keptPairs; // extra anchors
    // The pair the user named (indexes into left and right): a forced anchor that is
    // always paired; it also turns off the safety gate.
    std::optional<std::pair<int, int>> userPair;
    // One clock line for the whole session: no clock change is looked for.
    bool singleClock = false;
};

enum class RhythmCamera
{
    Left,
    Right
};

// One pair found: indexes into RhythmInput::left / right.
struct RhythmPair
{
    int left = -1;
    int right = -1;
    double confidence = 0; // probability of the pair under the clock model, 0..1
    int stretch = 0;       // index into RhythmResult::stretches
};

// A stretch of the session with one clock relation: right = left + offset + drift·left.
struct RhythmStretch
{
    double offset = 0; // seconds, right minus left, amid the stretch
    double change = 0; // offset minus the main stretch's offset (0 for the main one)
    int pairs = 0;     // pairs owned
    RhythmCamera changedCamera = RhythmCamera::Right; // whose clock was changed (not main)
    int firstChanged = -1; // input index of that camera's earliest picture of the stretch
};

struct RhythmResult
{
    // True when the safety gate stopped the method: the streams show no usable rhythm and
    // no pair was made.
    bool gated = false;
    std::vector<RhythmPair> pairs;        // ordered by left index
    std::vector<RhythmStretch> stretches; // stretches[0] is the main stretch (most pairs)
    double drift = 0;                     // seconds per second, shared by all stretches
    // Seconds to add to each picture's capture time to place it on one common timeline
    // (the left camera's clock of the main stretch). 0 for pictures without time.
    std::vector<double> leftCorrection;
    std::vector<double> rightCorrection;
};

RhythmResult AlignByRhythm(const RhythmInput &input);

// A clock change as the user reads it: "+1 h", "−30 min", "+25 s", "−3,652 d".
QString FormatClockChange(double seconds);
