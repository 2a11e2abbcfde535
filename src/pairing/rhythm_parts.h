#pragma once
// The building blocks of the rhythm alignment (rhythmalignment.h), on sorted streams.
// Times are seconds relative to one reference, ascending within each stream.
#include <vector>

// One stream, sorted by time.
struct RhythmStream
{
    std::vector<double> seconds; // ascending
    std::vector<bool> precise;   // seconds carries a sub-second part
    std::vector<int> input;      // index of the picture in the caller's list
};

// An anchor: a left time and the offset right - left that a matching rhythm suggests.
struct RhythmAnchor
{
    double time = 0;
    double offset = 0;
};

// Anchors from the shot intervals: every left position whose next three whole-second
// intervals lie within a second each of those of a right position. Signatures of burst
// intervals only (fewer than two intervals of 3 s or more) are left out unless that leaves
// fewer than eight anchors. A signature shared by very many right positions (a fixed
// rhythm, hours of bursts) says nothing about the offset and is skipped.
std::vector<RhythmAnchor> FindAnchors(const RhythmStream &left, const RhythmStream &right);

// Anchors among few pictures (those left single): a left picture and a right picture whose
// whole-second intervals (3 s or more) to one of their next four pictures agree within a
// second. One missing picture does not break these, as it breaks a run of three intervals.
// Each (left, right) match gives one anchor.
std::vector<RhythmAnchor> FindLooseAnchors(const RhythmStream &left, const RhythmStream &right);

// offset(t) = a + b·(t − t0): the offset a at the time t0 where the line is best known,
// and the drift b. Each stretch of a session keeps its own t0, so that a drift rate is
// never carried across a clock that jumped by years.
struct ClockLine
{
    double a = 0;
    double b = 0;
    double t0 = 0;
    double at(double t) const { return a + b * (t - t0); }
    ClockLine shifted(double seconds) const { return {a + seconds, b, t0}; }
};

// The robust clock model of a set of anchors: the densest offset window, then a RANSAC
// over constant and linear models (inliers within 1.5 s), then least squares on the
// inliers. weights (optional, same size) count an anchor several times. Returns the number
// of (weighted) inliers through `inliers`; 0 when there are no anchors.
ClockLine FitClockLine(const std::vector<RhythmAnchor> &anchors, double &inliers,
                       const std::vector<double> *weights = nullptr);

// The densest window of offsets among anchors once the drift b·t is taken off: the
// constant a of the best line with slope b, with the anchor count in the window.
ClockLine FitOffsetWithDrift(const std::vector<RhythmAnchor> &anchors, double b, double &inliers);

// The densest offset windows of a set of anchors, one after the other: each peak found
// takes its anchors out before the next search. The anchors are sorted once, so that many
// rounds over hundreds of thousands of anchors stay cheap.
class OffsetPeaks
{
public:
    explicit OffsetPeaks(std::vector<RhythmAnchor> anchors);
    bool empty() const { return m_in == 0; }
    // FitOffsetWithDrift over the anchors still in.
    ClockLine next(double b, double &count) const;
    // Takes out the anchors within `within` seconds of line.
    void remove(const ClockLine &line, double within);

private:
    std::vector<RhythmAnchor> m_anchors; // by offset
    std::vector<char> m_out;
    std::size_t m_in;
};

// The alignment of both streams under one clock line: matchOfLeft[p] is the right position
// paired with left position p (or -1), confidence[p] the pair's probability.
struct RhythmAlignment
{
    std::vector<int> matchOfLeft;
    std::vector<double> confidence;
    int pairCount = 0;
};

// What each picture costs an alignment that pairs it (0 when empty): a picture that two
// clock lines want goes to the line that loses least without it. Infinity keeps a picture
// out of the alignment.
struct RhythmPrices
{
    std::vector<double> left;
    std::vector<double> right;
};

// Candidates are pairs whose residual (right - left - offset) lies within 1.6 s (0.6 s when
// both times carry sub-seconds). The alignment chooses the set of non-crossing candidates
// with the least cost (residual² per pair, a fixed penalty per single picture, the prices of
// the paired pictures); a forward-backward pass over the same candidates gives each pair
// its probability.
// coarse: the whole-second tolerance for every pair (for a line not yet refitted).
RhythmAlignment AlignStreams(const RhythmStream &left, const RhythmStream &right,
                             const ClockLine &line, const RhythmPrices *prices = nullptr,
                             bool coarse = false);

// Least squares line through the pairs of an alignment (residuals beyond 1.5 s of the given
// line left out). With fixedSlope only the constant is refitted.
ClockLine RefitLine(const RhythmStream &left, const RhythmStream &right,
                    const RhythmAlignment &alignment, const ClockLine &line, bool fixedSlope);

// All lines refitted at once on the pairs each owns (owned[k] for lines[k]): one drift rate
// for the session, each line with its own offset. A line that owns no pair keeps its
// offset and takes the shared drift.
std::vector<ClockLine> RefitLines(const RhythmStream &left, const RhythmStream &right,
                                  const std::vector<RhythmAlignment> &owned,
                                  std::vector<ClockLine> lines);
