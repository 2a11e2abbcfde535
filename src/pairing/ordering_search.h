#pragma once
// The two searches of an assigning ordering pass, on plain values so that they can be
// tested and measured apart from the lists:
//  - the run search: the first stretch of at least two consecutive shot intervals that
//    agree between the two streams within 2 seconds;
//  - pairing by time: every left picture takes the earliest still free right picture whose
//    (offset) time lies within 2 seconds of its own.
// Both give exactly the result of the plain quadratic scans they replace, in close to
// linear time.
#include <QtGlobal>

#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

// Whole seconds between consecutive times: element i is SecondsBetween(t[i], t[i + 1]).
std::vector<qint64> IntervalsBetween(const std::vector<double> &times);

// True when two intervals agree within 2 seconds.
inline bool IntervalsAgree(qint64 a, qint64 b)
{
    return (a > b ? a - b : b - a) <= 2;
}

// A run of agreeing intervals: left intervals leftStart..leftEnd agree one by one with right
// intervals rightStart..rightEnd (leftEnd - leftStart == rightEnd - rightStart >= 1).
struct IntervalRun
{
    int leftStart = 0;
    int leftEnd = 0;
    int rightStart = 0;
    int rightEnd = 0;
    friend bool operator==(const IntervalRun &, const IntervalRun &) = default;
};

// Finds, for one left start interval after another, the run that starts there. For a left
// start L0 the right intervals are tried as candidates from the first one that agrees with
// left interval L0; when a candidate does not extend into a run, the next candidate is looked
// for two right intervals further on (the one right after a failed candidate is never tried).
// The first candidate that extends is the run, extended as far as the intervals agree.
class IntervalRunSearch
{
public:
    IntervalRunSearch(const std::vector<qint64> &left, const std::vector<qint64> &right);

    // The run that starts at left interval leftStart, if any.
    std::optional<IntervalRun> runAt(int leftStart);

    // The run of the first left start that has one. onStart is called with every left start
    // before it is tried (the ordering pass shows it as progress).
    template <typename OnStart> std::optional<IntervalRun> firstRun(OnStart &&onStart)
    {
        if (m_right.empty())
            return std::nullopt;
        for (int l0 = 0; l0 < static_cast<int>(m_left.size()); ++l0) {
            onStart(l0);
            if (auto run = runAt(l0))
                return run;
        }
        return std::nullopt;
    }

private:
    // For one left interval value v: among the right candidates that the search would try
    // for v, the first one followed by a right interval of each value.
    using FirstCandidateByNext = std::unordered_map<qint64, int>;
    const FirstCandidateByNext &candidatesFor(qint64 value);

    const std::vector<qint64> &m_left;
    const std::vector<qint64> &m_right;
    std::unordered_map<qint64, std::vector<int>> m_rightPositions; // value -> ascending indexes
    std::unordered_map<qint64, FirstCandidateByNext> m_candidates; // filled on demand
};

// Pairing by time. For each left time in order, among the free right times within 2 seconds
// (SecondsBetween <= 2) the one with the lowest index is taken and stops being free.
// Returns for every left index the right index it was paired with, or -1. Left entries with
// leftFree[k] false and right entries with rightFree[j] false take no part.
// onLeft is called with every left index before it is handled.
std::vector<int> PairByTime(const std::vector<double> &leftTimes, const std::vector<bool> &leftFree,
                            const std::vector<double> &rightTimes,
                            const std::vector<bool> &rightFree,
                            const std::function<void(int)> &onLeft = {});
