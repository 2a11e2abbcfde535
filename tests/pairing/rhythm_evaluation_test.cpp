// The many-seed evaluation of the rhythm alignment on synthetic sessions. Disabled by
// default (it runs for a while); run it with
//   build/bin/test_pairing --gtest_also_run_disabled_tests --gtest_filter='*Evaluation*'
// and optionally DUOMIRA_EVAL_SEEDS=N (sessions per scenario type, default 200).
#include "session_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

struct Pool
{
    SessionScore sum;
    std::vector<double> sessionScores; // min(precision, recall) per session
    std::vector<double> bigSessionScores;
    int sessions = 0, gated = 0;
    // Stretches other than the largest, by scenes: up to 6 ("about five") and 12 or more.
    int shortTrue = 0, shortCorrect = 0, longTrue = 0, longCorrect = 0;
    // The same sessions under a single clock line, for the sessions without a change.
    SessionScore single;
};

void Add(Pool &pool, const Session &session, const SessionScore &s, bool gated)
{
    for (std::size_t id = 0; id < s.stretchTrue.size(); ++id) {
        if (static_cast<int>(id) == session.largestStretch)
            continue;
        const int scenes = session.stretchScenes[id];
        if (scenes >= 4 && scenes <= 6) {
            pool.shortTrue += s.stretchTrue[id];
            pool.shortCorrect += s.stretchCorrect[id];
        } else if (scenes >= 12) {
            pool.longTrue += s.stretchTrue[id];
            pool.longCorrect += s.stretchCorrect[id];
        }
    }
    pool.sum.pairs += s.pairs;
    pool.sum.correct += s.correct;
    pool.sum.truePairs += s.truePairs;
    pool.sum.outsidePairs += s.outsidePairs;
    pool.sum.outsideCorrect += s.outsideCorrect;
    pool.sum.outsideTrue += s.outsideTrue;
    pool.sum.doubtful += s.doubtful;
    pool.sum.wrongDoubtful += s.wrongDoubtful;
    const double v = std::min(s.precision(), s.recall());
    pool.sessionScores.push_back(v);
    if (s.truePairs >= 130)
        pool.bigSessionScores.push_back(v);
    ++pool.sessions;
    pool.gated += gated;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Share(const std::vector<double> &v, double atLeast)
{
    if (v.empty())
        return 1;
    return double(std::count_if(v.begin(), v.end(), [&](double x) { return x >= atLeast; })) /
           v.size();
}

TEST(RhythmEvaluation, DISABLED_ManySeedsPerScenario)
{
    const char *env = std::getenv("DUOMIRA_EVAL_SEEDS");
    const int seeds = env ? std::atoi(env) : 200;
    const SessionKind kinds[] = {
        SessionKind::SingleOffset,   SessionKind::HoursOffset, SessionKind::NegativeOffset,
        SessionKind::Bursts,         SessionKind::Drift,       SessionKind::JumpForward,
        SessionKind::JumpBack,       SessionKind::TwoJumps,    SessionKind::FactoryReset,
        SessionKind::DaylightSaving, SessionKind::ShortChange, SessionKind::Unrelated,
        SessionKind::AllBursts};
    std::printf("%-15s %-4s %5s %7s %7s %7s %7s %7s %7s %7s %7s %6s %6s %6s %7s %7s %8s\n",
                "scenario", "sub", "n", "prec", "recall", "median", "min", "min130", ">=.98",
                "outP", "outR", "doubt", "wrongD", "gated", "rec4-6", "rec12+", "vsSingle");
    for (bool sub : {false, true})
        for (SessionKind kind : kinds) {
            Pool pool;
            for (int seed = 1; seed <= seeds; ++seed) {
                const Session s = GenerateSession(kind, static_cast<unsigned>(seed), sub);
                const RhythmResult r = AlignByRhythm(s.input);
                const SessionScore score = ScoreSession(s, r);
                Add(pool, s, score, r.gated);
                if (s.stretchScenes.size() == 1) {
                    RhythmInput single = s.input;
                    single.singleClock = true;
                    const SessionScore one = ScoreSession(s, AlignByRhythm(single));
                    pool.single.pairs += one.pairs;
                    pool.single.correct += one.correct;
                    pool.single.truePairs += one.truePairs;
                }
                if (std::getenv("DUOMIRA_EVAL_VERBOSE") && kind != SessionKind::Unrelated &&
                    kind != SessionKind::AllBursts &&
                    std::min(score.precision(), score.recall()) < 0.98) {
                    std::printf("  seed %d: %d true, precision %.4f recall %.4f, stretches", seed,
                                score.truePairs, score.precision(), score.recall());
                    for (int n : s.stretchScenes)
                        std::printf(" %d", n);
                    std::printf(" found");
                    for (const RhythmStretch &st : r.stretches)
                        std::printf(" %d(%.0f)", st.pairs, st.change);
                    std::printf("\n");
                }
            }
            const SessionScore &t = pool.sum;
            const int wrong = t.pairs - t.correct;
            const auto ratio = [](int a, int b) { return b ? double(a) / b : 1.0; };
            const double score = std::min(t.precision(), t.recall());
            const double singleScore = std::min(pool.single.precision(), pool.single.recall());
            std::printf(
                "%-15s %-4s %5d %7.4f %7.4f %7.4f %7.4f %7.4f %7.3f %7.4f %7.4f %6.4f "
                "%6.2f %6d %7.4f %7.4f %+8.4f\n",
                SessionKindName(kind).c_str(), sub ? "yes" : "no", pool.sessions, t.precision(),
                t.recall(), Median(pool.sessionScores),
                *std::min_element(pool.sessionScores.begin(), pool.sessionScores.end()),
                pool.bigSessionScores.empty()
                    ? 1.0
                    : *std::min_element(pool.bigSessionScores.begin(), pool.bigSessionScores.end()),
                Share(pool.sessionScores, 0.98),
                t.outsidePairs ? double(t.outsideCorrect) / t.outsidePairs : 1.0,
                t.outsideTrue ? double(t.outsideCorrect) / t.outsideTrue : 1.0,
                t.pairs ? double(t.doubtful) / t.pairs : 0.0,
                wrong ? double(t.wrongDoubtful) / wrong : 1.0, pool.gated,
                ratio(pool.shortCorrect, pool.shortTrue), ratio(pool.longCorrect, pool.longTrue),
                pool.single.truePairs ? score - singleScore : 0.0);
        }
}

} // namespace
