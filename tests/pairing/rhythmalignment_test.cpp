// The rhythm alignment on seeded synthetic sessions (a few seeds per scenario; the
// many-seed figures come from the disabled evaluation in rhythm_evaluation_test.cpp).
#include "pairing/rhythmalignment.h"
#include "session_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

struct ScenarioCase
{
    SessionKind kind;
    bool subSeconds;
    double atLeast;        // pooled precision and recall over the seeds
    double sessionAtLeast; // the worse of precision and recall of every session
};

std::string CaseName(const testing::TestParamInfo<ScenarioCase> &info)
{
    return SessionKindName(info.param.kind) + (info.param.subSeconds ? "SubSeconds" : "");
}

class RhythmScenario : public testing::TestWithParam<ScenarioCase>
{
};

TEST_P(RhythmScenario, PairsTheSessionsOfTheScenario)
{
    const ScenarioCase &c = GetParam();
    SessionScore pooled;
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const Session s = GenerateSession(c.kind, seed, c.subSeconds);
        const RhythmResult r = AlignByRhythm(s.input);
        ASSERT_FALSE(r.gated) << "seed " << seed;
        const SessionScore score = ScoreSession(s, r);
        EXPECT_GE(std::min(score.precision(), score.recall()), c.sessionAtLeast) << "seed " << seed;
        pooled.pairs += score.pairs;
        pooled.correct += score.correct;
        pooled.truePairs += score.truePairs;
    }
    EXPECT_GE(pooled.precision(), c.atLeast);
    EXPECT_GE(pooled.recall(), c.atLeast);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, RhythmScenario,
    testing::Values(ScenarioCase{SessionKind::SingleOffset, false, 0.998, 0.97},
                    ScenarioCase{SessionKind::HoursOffset, false, 0.998, 0.97},
                    ScenarioCase{SessionKind::NegativeOffset, false, 0.998, 0.97},
                    ScenarioCase{SessionKind::Bursts, false, 0.995, 0.95},
                    ScenarioCase{SessionKind::Drift, false, 0.998, 0.97},
                    ScenarioCase{SessionKind::JumpForward, false, 0.998, 0.97},
                    ScenarioCase{SessionKind::JumpBack, false, 0.997, 0.97},
                    ScenarioCase{SessionKind::TwoJumps, false, 0.997, 0.97},
                    ScenarioCase{SessionKind::FactoryReset, false, 0.998, 0.97},
                    ScenarioCase{SessionKind::DaylightSaving, false, 0.997, 0.97},
                    ScenarioCase{SessionKind::ShortChange, false, 0.99, 0.9},
                    ScenarioCase{SessionKind::Bursts, true, 1.0, 1.0},
                    ScenarioCase{SessionKind::Drift, true, 1.0, 1.0},
                    ScenarioCase{SessionKind::TwoJumps, true, 0.997, 0.97},
                    ScenarioCase{SessionKind::DaylightSaving, true, 0.998, 0.97}),
    CaseName);

TEST(RhythmAlignment, WithoutUsableRhythmNothingIsPairedUnlessTheUserGaveAPair)
{
    for (SessionKind kind : {SessionKind::Unrelated, SessionKind::AllBursts}) {
        Session s = GenerateSession(kind, 7, false);
        RhythmResult r = AlignByRhythm(s.input);
        EXPECT_TRUE(r.gated) << SessionKindName(kind);
        EXPECT_TRUE(r.pairs.empty()) << SessionKindName(kind);

        // The pair the user names is believed: its offset pairs the pictures, no gate.
        s.input.userPair = std::pair{0, 0};
        r = AlignByRhythm(s.input);
        EXPECT_FALSE(r.gated) << SessionKindName(kind);
        EXPECT_TRUE(std::any_of(r.pairs.begin(), r.pairs.end(), [](const RhythmPair &p) {
            return p.left == 0 && p.right == 0;
        })) << SessionKindName(kind);
    }
    // Unrelated lists whose chance matches once filled several small stretches, together
    // more than the gate's share of pictures.
    for (unsigned seed : {39u, 91u, 272u, 477u, 1835u})
        EXPECT_TRUE(AlignByRhythm(GenerateSession(SessionKind::Unrelated, seed, false).input).gated)
            << "seed " << seed;
}

TEST(RhythmAlignment, KeptPairsGiveTheOffsetWhenTheRhythmIsTooShort)
{
    // Three pictures per side: too few intervals for an anchor of their own.
    RhythmInput input;
    for (double t : {1000.0, 1010.0, 1031.0})
        input.left.push_back({t});
    for (double t : {4600.0, 4610.0, 4631.0})
        input.right.push_back({t});
    EXPECT_TRUE(AlignByRhythm(input).gated);
    input.keptPairs.push_back({900.0, 4500.0});
    const RhythmResult r = AlignByRhythm(input);
    ASSERT_EQ(r.pairs.size(), 3u);
    for (const RhythmPair &p : r.pairs)
        EXPECT_EQ(p.left, p.right);
}

TEST(RhythmAlignment, ClockChangesAreReportedAndCorrectionsRestoreTheSceneOrder)
{
    for (SessionKind kind :
         {SessionKind::FactoryReset, SessionKind::JumpBack, SessionKind::DaylightSaving}) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            const Session s = GenerateSession(kind, seed, false);
            const RhythmResult r = AlignByRhythm(s.input);
            ASSERT_GE(r.stretches.size(), 2u) << SessionKindName(kind) << seed;
            const RhythmStretch &changed = r.stretches[1];
            ASSERT_GE(changed.firstChanged, 0);
            const bool right = changed.changedCamera == RhythmCamera::Right;
            const int scene =
                right ? s.sceneOfRight[changed.firstChanged] : s.sceneOfLeft[changed.firstChanged];
            EXPECT_NE(s.stretchOfScene[scene], s.largestStretch) << SessionKindName(kind) << seed;

            // Corrected times put the paired scenes of each camera back in their true order
            // (but for near neighbours, which whole-second times cannot tell apart).
            for (bool rightSide : {false, true}) {
                const auto &pictures = rightSide ? s.input.right : s.input.left;
                const auto &corrections = rightSide ? r.rightCorrection : r.leftCorrection;
                const auto &scenes = rightSide ? s.sceneOfRight : s.sceneOfLeft;
                std::vector<std::pair<double, int>> byTime;
                for (const RhythmPair &p : r.pairs) {
                    const int i = rightSide ? p.right : p.left;
                    byTime.emplace_back(pictures[i].seconds + corrections[i], scenes[i]);
                }
                std::sort(byTime.begin(), byTime.end());
                int outOfOrder = 0;
                for (std::size_t i = 1; i < byTime.size(); ++i)
                    outOfOrder += byTime[i].second < byTime[i - 1].second &&
                                  byTime[i].first - byTime[i - 1].first > 3;
                EXPECT_LE(outOfOrder, 1) << SessionKindName(kind) << seed << rightSide;
            }
        }
    }
}

TEST(RhythmAlignment, PicturesOfOneSecondGoWithTheirPartnersInShootingOrder)
{
    // A clock set back makes its camera take pictures in the same second of its clock that
    // lie hours apart; the list order (file names) says which came first.
    int twins = 0;
    for (const auto &[kind, seed] :
         {std::pair{SessionKind::DaylightSaving, 12u}, std::pair{SessionKind::JumpBack, 45u},
          std::pair{SessionKind::JumpBack, 71u}}) {
        const Session s = GenerateSession(kind, seed, false);
        const RhythmResult r = AlignByRhythm(s.input);
        for (const RhythmPair &p : r.pairs) {
            const double t = s.input.left[p.left].seconds;
            const auto same = std::count_if(s.input.left.begin(), s.input.left.end(),
                                            [&](const RhythmPicture &x) { return x.seconds == t; });
            if (same < 2)
                continue;
            ++twins;
            EXPECT_TRUE(PairIsRight(s, p)) << SessionKindName(kind) << seed << " at " << t;
        }
    }
    EXPECT_GE(twins, 6);
}

TEST(RhythmAlignment, DoubtfulPairsAreFewAndHoldTheWrongOnes)
{
    int pairs = 0, doubtful = 0, wrong = 0, wrongDoubtful = 0;
    for (SessionKind kind :
         {SessionKind::SingleOffset, SessionKind::HoursOffset, SessionKind::Drift})
        for (unsigned seed = 1; seed <= 100; ++seed) {
            const Session s = GenerateSession(kind, seed, false);
            const SessionScore score = ScoreSession(s, AlignByRhythm(s.input));
            pairs += score.pairs;
            doubtful += score.doubtful;
            wrong += score.pairs - score.correct;
            wrongDoubtful += score.wrongDoubtful;
        }
    EXPECT_LE(doubtful, pairs / 100);
    EXPECT_GE(wrongDoubtful * 10, wrong * 4);
}

TEST(RhythmAlignment, ClockChangesReadAsTheUserCountsThem)
{
    const struct
    {
        double seconds;
        const char *text;
    } cases[] = {
        {3600, "+1 h"},          {-3599, "\u22121 h"}, {-1800, "\u221230 min"},
        {25.4, "+25 s"},         {-4, "\u22124 s"},    {-86400.0 * 3652, "\u22123,652 d"},
        {7 * 3600 + 90, "+7 h"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatClockChange(c.seconds), QString::fromUtf8(c.text)) << c.seconds;
}

} // namespace
