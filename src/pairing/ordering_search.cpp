#include "pairing/ordering_search.h"

#include "pairing/ordering_time.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

std::vector<qint64> IntervalsBetween(const std::vector<double> &times)
{
    std::vector<qint64> intervals;
    if (times.size() > 1) {
        intervals.reserve(times.size() - 1);
        for (size_t i = 0; i + 1 < times.size(); ++i)
            intervals.push_back(SecondsBetween(times[i + 1], times[i]));
    }
    return intervals;
}

// ---------------------------------------------------------------------------------------
// Run search
//
// The plain search for one left start L0 walks the right intervals:
//     j := first index >= 0 that agrees with left[L0]
//     while there is such a j:
//         if left[L0 + 1] and right[j + 1] exist and agree: run found at j
//         j := first index >= j + 2 that agrees with left[L0]
// Let A(v) be the right indexes whose interval agrees with v = left[L0]. The walk tries an
// index of A(v) unless it directly follows a tried one: inside every block of consecutive
// indexes of A(v) it tries the first, third, fifth, ... index. Which indexes are tried
// depends on v alone, so for every value v (computed once, when first needed) the tried
// indexes are grouped by the value of the interval that follows them, keeping the first.
// A left start then costs five look-ups: the values within 2 seconds of left[L0 + 1].
// Every right index belongs to A(v) of at most five values v, so the tables together stay
// linear in the number of right intervals.
// ---------------------------------------------------------------------------------------

namespace {
// v + d for |d| <= 2 without overflow; false when the result does not exist. Intervals are
// never negative, so values below 0 cannot match anything either.
bool shifted(qint64 v, int d, qint64 *out)
{
    if (d > 0 && v > std::numeric_limits<qint64>::max() - d)
        return false;
    const qint64 r = v + d;
    if (r < 0)
        return false;
    *out = r;
    return true;
}
} // namespace

IntervalRunSearch::IntervalRunSearch(const std::vector<qint64> &left,
                                     const std::vector<qint64> &right)
    : m_left(left), m_right(right)
{
    for (int j = 0; j < static_cast<int>(m_right.size()); ++j)
        m_rightPositions[m_right[j]].push_back(j);
}

const IntervalRunSearch::FirstCandidateByNext &IntervalRunSearch::candidatesFor(qint64 value)
{
    auto found = m_candidates.find(value);
    if (found != m_candidates.end())
        return found->second;

    std::vector<int> agreeing;
    for (int d = -2; d <= 2; ++d) {
        qint64 v;
        if (!shifted(value, d, &v))
            continue;
        auto positions = m_rightPositions.find(v);
        if (positions != m_rightPositions.end())
            agreeing.insert(agreeing.end(), positions->second.begin(), positions->second.end());
    }
    std::sort(agreeing.begin(), agreeing.end());

    FirstCandidateByNext table;
    const int rightCount = static_cast<int>(m_right.size());
    int lastTried = -2;
    for (int j : agreeing) {
        if (j == lastTried + 1)
            continue; // directly after a tried candidate: skipped by the walk
        lastTried = j;
        if (j + 1 < rightCount)
            table.try_emplace(m_right[j + 1], j); // ascending walk: the first one stays
    }
    return m_candidates.emplace(value, std::move(table)).first->second;
}

std::optional<IntervalRun> IntervalRunSearch::runAt(int leftStart)
{
    const int leftCount = static_cast<int>(m_left.size());
    const int rightCount = static_cast<int>(m_right.size());
    if (leftStart < 0 || leftStart + 1 >= leftCount || rightCount < 2)
        return std::nullopt; // a run needs a second interval on both sides

    const FirstCandidateByNext &table = candidatesFor(m_left[leftStart]);
    int start = INT_MAX;
    for (int d = -2; d <= 2; ++d) {
        qint64 next;
        if (!shifted(m_left[leftStart + 1], d, &next))
            continue;
        auto found = table.find(next);
        if (found != table.end())
            start = std::min(start, found->second);
    }
    if (start == INT_MAX)
        return std::nullopt;

    IntervalRun run{leftStart, leftStart + 1, start, start + 1};
    while (run.leftEnd + 1 < leftCount && run.rightEnd + 1 < rightCount &&
           IntervalsAgree(m_left[run.leftEnd + 1], m_right[run.rightEnd + 1])) {
        ++run.leftEnd;
        ++run.rightEnd;
    }
    return run;
}

// ---------------------------------------------------------------------------------------
// Pairing by time
//
// The right times are put in ascending order once. For a left time a, the right times b
// with SecondsBetween(a, b) <= 2 form one contiguous stretch of that order (|a - b| grows
// monotonically away from a, also with rounding), found by two binary searches with the
// very same test. A segment tree over the stretch gives the lowest free right index in it.
// ---------------------------------------------------------------------------------------

namespace {
bool withinTwoSeconds(double a, double b)
{
    return SecondsBetween(a, b) <= 2;
}

// Ascending order of doubles with every NaN after all numbers (a strict weak order).
bool timeLess(double x, double y)
{
    const bool nx = std::isnan(x), ny = std::isnan(y);
    if (nx || ny)
        return !nx && ny;
    return x < y;
}

class MinIndexTree
{
public:
    explicit MinIndexTree(int size)
    {
        m_leaves = 1;
        while (m_leaves < size)
            m_leaves *= 2;
        m_nodes.assign(2 * static_cast<size_t>(m_leaves), INT_MAX);
    }
    void set(int pos, int value)
    {
        size_t n = static_cast<size_t>(pos) + m_leaves;
        m_nodes[n] = value;
        for (n /= 2; n >= 1; n /= 2)
            m_nodes[n] = std::min(m_nodes[2 * n], m_nodes[2 * n + 1]);
    }
    void build()
    {
        for (size_t n = m_leaves - 1; n >= 1; --n)
            m_nodes[n] = std::min(m_nodes[2 * n], m_nodes[2 * n + 1]);
    }
    void setLeaf(int pos, int value) { m_nodes[static_cast<size_t>(pos) + m_leaves] = value; }
    // Minimum over the positions [from, to).
    int minimum(int from, int to) const
    {
        int result = INT_MAX;
        size_t lo = static_cast<size_t>(from) + m_leaves, hi = static_cast<size_t>(to) + m_leaves;
        while (lo < hi) {
            if (lo & 1)
                result = std::min(result, m_nodes[lo++]);
            if (hi & 1)
                result = std::min(result, m_nodes[--hi]);
            lo /= 2;
            hi /= 2;
        }
        return result;
    }

private:
    int m_leaves;
    std::vector<int> m_nodes;
};
} // namespace

std::vector<int> PairByTime(const std::vector<double> &leftTimes, const std::vector<bool> &leftFree,
                            const std::vector<double> &rightTimes,
                            const std::vector<bool> &rightFree,
                            const std::function<void(int)> &onLeft)
{
    const int leftCount = static_cast<int>(leftTimes.size());
    const int rightCount = static_cast<int>(rightTimes.size());
    std::vector<int> partner(leftCount, -1);
    if (rightCount == 0) {
        if (onLeft)
            for (int k = 0; k < leftCount; ++k)
                onLeft(k);
        return partner;
    }

    std::vector<int> order(rightCount); // right indexes by ascending time
    for (int j = 0; j < rightCount; ++j)
        order[j] = j;
    std::stable_sort(order.begin(), order.end(),
                     [&](int x, int y) { return timeLess(rightTimes[x], rightTimes[y]); });
    std::vector<double> sorted(rightCount);
    std::vector<int> positionOf(rightCount);
    MinIndexTree tree(rightCount);
    for (int p = 0; p < rightCount; ++p) {
        sorted[p] = rightTimes[order[p]];
        positionOf[order[p]] = p;
        if (rightFree[order[p]])
            tree.setLeaf(p, order[p]);
    }
    tree.build();

    for (int k = 0; k < leftCount; ++k) {
        if (onLeft)
            onLeft(k);
        if (!leftFree[k])
            continue;
        const double a = leftTimes[k];
        // Earlier times not within 2 s come first, then the stretch, then later times.
        const auto first = std::partition_point(sorted.begin(), sorted.end(), [&](double b) {
            return timeLess(b, a) && !withinTwoSeconds(a, b);
        });
        const auto last = std::partition_point(first, sorted.end(), [&](double b) {
            return timeLess(b, a) || withinTwoSeconds(a, b);
        });
        if (first == last)
            continue;
        const int j = tree.minimum(static_cast<int>(first - sorted.begin()),
                                   static_cast<int>(last - sorted.begin()));
        if (j == INT_MAX)
            continue;
        partner[k] = j;
        tree.set(positionOf[j], INT_MAX);
    }
    return partner;
}
