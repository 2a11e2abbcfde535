// Time arithmetic, the run search and pairing by time, checked against hand-worked cases
// and against the plain scans of the reference implementation.
#include "pairing/ordering_search.h"
#include "pairing/ordering_time.h"
#include "reference_ordering.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

constexpr double kSecond = 1.0 / 86400.0;
// 2024-05-01 10:00:00 as a day number.
constexpr double kTen = 45413.0 + 10.0 / 24.0;

TEST(OrderingTime, SecondsBetweenTruncatesTheAbsoluteDifference)
{
    struct Case
    {
        double a, b;
        qint64 expected;
    } cases[] = {
        {kTen, kTen, 0},
        {kTen, kTen + 2.999 * kSecond, 2},
        {kTen + 2.999 * kSecond, kTen, 2}, // symmetric
        {kTen, kTen + 3.0001 * kSecond, 3},
        {kTen, kTen + 47 * kSecond, 47},
        {0.0, 1.0, 86400},
        {0.0, kTen, static_cast<qint64>(kTen * 86400.0)}, // a picture without capture time
    };
    for (const Case &c : cases)
        EXPECT_EQ(SecondsBetween(c.a, c.b), c.expected) << c.a << " " << c.b;
}

TEST(OrderingTime, WholeSecondStepsBetweenRealClockTimesKeepTheirLength)
{
    // Capture times are day numbers built from a date and a clock time; their rounding
    // error must not turn a 5 s interval into 4 s anywhere in the day.
    int wrong = 0;
    for (int day = 40000; day < 50000; day += 997) {
        for (int s = 0; s < 86400 - 10; s += 7) {
            const double a = day + s / 86400.0;
            const double b = day + (s + 5) / 86400.0;
            if (SecondsBetween(a, b) != 5)
                ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(OrderingTime, SecondsBetweenSaturatesInsteadOfOverflowing)
{
    const qint64 max = std::numeric_limits<qint64>::max();
    EXPECT_EQ(SecondsBetween(-1e300, 1e300), max);
    EXPECT_EQ(SecondsBetween(std::nan(""), 1.0), max);
    EXPECT_EQ(SecondsBetween(std::numeric_limits<double>::infinity(), 1.0), max);
}

TEST(OrderingTime, AddSecondsMovesByWholeSeconds)
{
    EXPECT_NEAR(AddSeconds(kTen, 47), kTen + 47 * kSecond, 1e-9);
    EXPECT_NEAR(AddSeconds(kTen, -3600), kTen - 3600 * kSecond, 1e-9);
    EXPECT_EQ(AddSeconds(1.5, 0), 1.5);
    EXPECT_DOUBLE_EQ(AddSeconds(1.0, 43200), 1.5);
    // The same arithmetic as the formula written out in doubles.
    EXPECT_EQ(AddSeconds(kTen, 47), (kTen * 86400.0 + 47.0) / 86400.0);
}

TEST(OrderingTime, CompareTimesTreatsLessThanAMillisecondAsEqual)
{
    EXPECT_EQ(CompareTimes(kTen, kTen + 0.9 / 86400000.0), 0);
    EXPECT_EQ(CompareTimes(kTen + 0.9 / 86400000.0, kTen), 0);
    EXPECT_EQ(CompareTimes(kTen, kTen + 1.1 / 86400000.0), -1);
    EXPECT_EQ(CompareTimes(kTen + 1.1 / 86400000.0, kTen), 1);
    EXPECT_EQ(CompareTimes(0.0, kTen), -1);
}

TEST(OrderingSearch, IntervalsBetweenConsecutiveTimes)
{
    // Day fractions that are exact in binary, so no rounding blurs the seconds.
    EXPECT_EQ(IntervalsBetween({0.0, 0.5, 1.75, 1.75}), (std::vector<qint64>{43200, 108000, 0}));
    // Descending times give the same, positive intervals.
    EXPECT_EQ(IntervalsBetween({1.75, 0.5}), (std::vector<qint64>{108000}));
    EXPECT_TRUE(IntervalsBetween({kTen}).empty());
    EXPECT_TRUE(IntervalsBetween({}).empty());
}

std::optional<IntervalRun> firstRun(const std::vector<qint64> &left,
                                    const std::vector<qint64> &right)
{
    IntervalRunSearch search(left, right);
    return search.firstRun([](int) {});
}

TEST(OrderingSearch, RunSearchCases)
{
    struct Case
    {
        const char *what;
        std::vector<qint64> left, right;
        std::optional<IntervalRun> expected;
    } cases[] = {
        {"same rhythm", {5, 7, 18}, {5, 7, 18}, IntervalRun{0, 2, 0, 2}},
        {"one value agrees, the next differs by 3", {5, 7}, {5, 10}, std::nullopt},
        {"agreement within 2 s", {5, 7, 18}, {3, 9, 16}, IntervalRun{0, 2, 0, 2}},
        {"right camera missed the first shots",
         {5, 7, 18, 4},
         {30, 1, 5, 7, 19},
         IntervalRun{0, 2, 2, 4}},
        {"left camera missed shots", {40, 40, 5, 7}, {5, 7, 11}, IntervalRun{2, 3, 0, 1}},
        // The candidate right after a failed one is never tried: right 1 would extend
        // (5 then 8) but follows the failed candidate 0.
        {"skipped candidate", {5, 8}, {5, 5, 8}, std::nullopt},
        {"candidate two further on is tried", {5, 8}, {5, 5, 5, 8}, IntervalRun{0, 1, 2, 3}},
        {"a single interval is no run", {5}, {5}, std::nullopt},
        {"empty right", {5, 7}, {}, std::nullopt},
        {"huge intervals do not overflow",
         {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max()},
         {std::numeric_limits<qint64>::max() - 1, std::numeric_limits<qint64>::max()},
         IntervalRun{0, 1, 0, 1}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(firstRun(c.left, c.right), c.expected) << c.what;
        // and the plain walk agrees with the hand-worked answer
        std::optional<ref::Run> plain;
        for (int l0 = 0; l0 < static_cast<int>(c.left.size()) && !c.right.empty() && !plain; ++l0)
            plain = ref::FindRun(std::vector<long long>(c.left.begin(), c.left.end()),
                                 std::vector<long long>(c.right.begin(), c.right.end()), l0);
        ASSERT_EQ(plain.has_value(), c.expected.has_value()) << c.what;
        if (plain) {
            EXPECT_EQ(
                (IntervalRun{plain->leftStart, plain->leftEnd, plain->rightStart, plain->rightEnd}),
                *c.expected)
                << c.what;
        }
    }
}

TEST(OrderingSearch, RunSearchAgreesWithThePlainWalkForEveryStart)
{
    std::mt19937 rng(20240501);
    for (int round = 0; round < 3000; ++round) {
        // Few distinct values make agreements, blocks of agreeing candidates and skipped
        // candidates frequent.
        const int spread = 1 + static_cast<int>(rng() % 12);
        std::uniform_int_distribution<int> value(0, spread);
        std::vector<qint64> left(rng() % 14), right(rng() % 14);
        for (auto &v : left)
            v = value(rng);
        for (auto &v : right)
            v = value(rng);
        const std::vector<long long> l(left.begin(), left.end()), r(right.begin(), right.end());
        IntervalRunSearch search(left, right);
        for (int l0 = 0; l0 < static_cast<int>(left.size()); ++l0) {
            const auto fast = search.runAt(l0);
            const auto plain = r.empty() ? std::nullopt : ref::FindRun(l, r, l0);
            ASSERT_EQ(fast.has_value(), plain.has_value()) << "round " << round << " l0 " << l0;
            if (fast) {
                ASSERT_EQ(*fast, (IntervalRun{plain->leftStart, plain->leftEnd, plain->rightStart,
                                              plain->rightEnd}))
                    << "round " << round;
            }
        }
    }
}

TEST(OrderingSearch, PairByTimeTakesTheEarliestFittingRightPicture)
{
    // Two right pictures within 2 s of the left one: the earlier (first) one wins, even
    // though the later one is nearer.
    const std::vector<double> left = {kTen + 2 * kSecond};
    const std::vector<double> right = {kTen, kTen + 2.2 * kSecond};
    EXPECT_EQ(PairByTime(left, {true}, right, {true, true}), (std::vector<int>{0}));
    // Taken pictures are not free any more; not-free ones take no part.
    EXPECT_EQ(PairByTime({kTen, kTen}, {true, true}, {kTen, kTen}, {false, true}),
              (std::vector<int>{1, -1}));
    // 2.999 s is within, 3 s is not.
    EXPECT_EQ(PairByTime({kTen, kTen}, {true, true},
                         {kTen + 3.0001 * kSecond, kTen + 2.999 * kSecond}, {true, true}),
              (std::vector<int>{1, -1}));
    EXPECT_EQ(PairByTime({kTen}, {true}, {}, {}), (std::vector<int>{-1}));
}

TEST(OrderingSearch, PairByTimeAgreesWithThePlainScan)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        const int n = static_cast<int>(rng() % 30), m = static_cast<int>(rng() % 30);
        // Times on a grid of tenths of seconds over a short span, so that many lie within
        // 2 s of each other; a few share the same time exactly, a few have none (0).
        auto make = [&](int count) {
            std::vector<double> t(count);
            for (auto &x : t) {
                const int kind = static_cast<int>(rng() % 20);
                x = kind == 0 ? 0.0 : kTen + static_cast<int>(rng() % 400) * 0.1 * kSecond;
            }
            return t;
        };
        const auto lt = make(n), rt = make(m);
        std::vector<bool> lf(n), rf(m);
        for (int i = 0; i < n; ++i)
            lf[i] = rng() % 5 != 0;
        for (int i = 0; i < m; ++i)
            rf[i] = rng() % 5 != 0;
        ASSERT_EQ(PairByTime(lt, lf, rt, rf), ref::PairByTime(lt, lf, rt, rf)) << round;
    }
}

} // namespace
