// Anchors from matching shot intervals, and robust clock lines through them.
#include "pairing/rhythm_parts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <unordered_map>

namespace {

constexpr double kInlierSeconds = 1.5;
constexpr int kMinAnchorsBeforeBursts = 8;
constexpr std::int64_t kBurstInterval = 3;
// A signature shared by more right positions than this carries no information about the
// offset (a fixed rhythm, an hour of continuous shooting) and would cost quadratic time.
constexpr std::size_t kMaxBucket = 48;
// How many following pictures the loose anchors look at (one or two may be missing).
constexpr int kLooseSpan = 4;
// Clocks drift by seconds a day; a slope beyond 1 % is no clock but a coincidence.
constexpr double kMaxSlope = 0.01;
constexpr int kLinearSamples = 400;
constexpr std::size_t kMaxScored = 4000;

std::vector<std::int64_t> WholeIntervals(const RhythmStream &s)
{
    std::vector<std::int64_t> d;
    if (s.seconds.size() < 2)
        return d;
    d.reserve(s.seconds.size() - 1);
    for (std::size_t p = 0; p + 1 < s.seconds.size(); ++p)
        d.push_back(static_cast<std::int64_t>(std::floor(s.seconds[p + 1])) -
                    static_cast<std::int64_t>(std::floor(s.seconds[p])));
    return d;
}

struct Signature
{
    std::int64_t a, b, c;
    friend bool operator==(const Signature &, const Signature &) = default;
};

struct SignatureHash
{
    std::size_t operator()(const Signature &s) const
    {
        std::uint64_t h = static_cast<std::uint64_t>(s.a) * 0x9E3779B97F4A7C15ULL;
        h ^= static_cast<std::uint64_t>(s.b) + 0x632BE59BD9B4E019ULL + (h << 6) + (h >> 2);
        h ^= static_cast<std::uint64_t>(s.c) + 0x85EBCA77C2B2AE63ULL + (h << 6) + (h >> 2);
        return static_cast<std::size_t>(h);
    }
};

bool IsBurstSignature(const Signature &s)
{
    const int longOnes =
        (s.a >= kBurstInterval) + (s.b >= kBurstInterval) + (s.c >= kBurstInterval);
    return longOnes < 2;
}

double Weight(const std::vector<double> *weights, std::size_t i)
{
    return weights ? (*weights)[i] : 1.0;
}

// The densest window of values (width twice the inlier distance): its mean and weight.
double DensestWindow(std::vector<std::pair<double, double>> valueWeights, double &count)
{
    count = 0;
    if (valueWeights.empty())
        return 0;
    std::sort(valueWeights.begin(), valueWeights.end());
    double best = -1, sum = 0;
    std::size_t lo = 0, bestLo = 0, bestHi = 0;
    for (std::size_t hi = 0; hi < valueWeights.size(); ++hi) {
        sum += valueWeights[hi].second;
        while (valueWeights[hi].first - valueWeights[lo].first > 2 * kInlierSeconds)
            sum -= valueWeights[lo++].second;
        if (sum > best) {
            best = sum;
            bestLo = lo;
            bestHi = hi;
        }
    }
    double weighted = 0, total = 0;
    for (std::size_t k = bestLo; k <= bestHi; ++k) {
        weighted += valueWeights[k].first * valueWeights[k].second;
        total += valueWeights[k].second;
    }
    count = best;
    return total > 0 ? weighted / total : valueWeights[bestLo].first;
}

double CountInliers(const std::vector<RhythmAnchor> &anchors, const std::vector<double> *weights,
                    const std::vector<std::size_t> &scored, const ClockLine &line)
{
    double n = 0;
    for (std::size_t i : scored)
        if (std::fabs(anchors[i].offset - line.at(anchors[i].time)) <= kInlierSeconds)
            n += Weight(weights, i);
    return n;
}

// Least squares through the inliers of line; linear or constant.
ClockLine LeastSquares(const std::vector<RhythmAnchor> &anchors, const std::vector<double> *weights,
                       const ClockLine &line, bool linear, double &inliers)
{
    double sw = 0, st = 0, so = 0, stt = 0, sto = 0;
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        const RhythmAnchor &x = anchors[i];
        if (std::fabs(x.offset - line.at(x.time)) > kInlierSeconds)
            continue;
        const double w = Weight(weights, i);
        sw += w;
        st += w * x.time;
        so += w * x.offset;
    }
    inliers = sw;
    if (sw <= 0)
        return line;
    const double tMean = st / sw, oMean = so / sw;
    if (!linear)
        return {oMean, 0, tMean};
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        const RhythmAnchor &x = anchors[i];
        if (std::fabs(x.offset - line.at(x.time)) > kInlierSeconds)
            continue;
        const double w = Weight(weights, i);
        stt += w * (x.time - tMean) * (x.time - tMean);
        sto += w * (x.time - tMean) * (x.offset - oMean);
    }
    if (stt <= 0)
        return {oMean, 0, tMean};
    return {oMean, std::clamp(sto / stt, -kMaxSlope, kMaxSlope), tMean};
}

} // namespace

std::vector<RhythmAnchor> FindAnchors(const RhythmStream &left, const RhythmStream &right)
{
    const std::vector<std::int64_t> dl = WholeIntervals(left);
    const std::vector<std::int64_t> dr = WholeIntervals(right);
    std::vector<RhythmAnchor> anchors, burstAnchors;
    if (dl.size() < 3 || dr.size() < 3)
        return anchors;

    std::unordered_map<Signature, std::vector<int>, SignatureHash> byRight;
    byRight.reserve(dr.size());
    for (std::size_t q = 0; q + 2 < dr.size(); ++q)
        byRight[{dr[q], dr[q + 1], dr[q + 2]}].push_back(static_cast<int>(q));

    auto anchorAt = [&](std::size_t p, int q) {
        // The offset of the four pictures the signature spans, averaged.
        double sum = 0;
        for (int k = 0; k < 4; ++k)
            sum += right.seconds[q + k] - left.seconds[p + k];
        return RhythmAnchor{left.seconds[p], sum / 4};
    };

    for (std::size_t p = 0; p + 2 < dl.size(); ++p) {
        const Signature own{dl[p], dl[p + 1], dl[p + 2]};
        std::vector<RhythmAnchor> &target = IsBurstSignature(own) ? burstAnchors : anchors;
        for (int da = -1; da <= 1; ++da)
            for (int db = -1; db <= 1; ++db)
                for (int dc = -1; dc <= 1; ++dc) {
                    const auto it = byRight.find({own.a + da, own.b + db, own.c + dc});
                    if (it == byRight.end() || it->second.size() > kMaxBucket)
                        continue;
                    for (int q : it->second)
                        target.push_back(anchorAt(p, q));
                }
    }
    if (anchors.size() < kMinAnchorsBeforeBursts)
        anchors.insert(anchors.end(), burstAnchors.begin(), burstAnchors.end());
    return anchors;
}

std::vector<RhythmAnchor> FindLooseAnchors(const RhythmStream &left, const RhythmStream &right)
{
    // Intervals (3 s or more) between a right picture and each of its next few, by length.
    std::unordered_map<std::int64_t, std::vector<std::pair<int, int>>> byInterval;
    const auto whole = [](double t) { return static_cast<std::int64_t>(std::floor(t)); };
    const int nl = static_cast<int>(left.seconds.size()),
              nr = static_cast<int>(right.seconds.size());
    for (int q = 0; q < nr; ++q)
        for (int j = q + 1; j < nr && j <= q + kLooseSpan; ++j) {
            const std::int64_t d = whole(right.seconds[j]) - whole(right.seconds[q]);
            if (d >= kBurstInterval)
                byInterval[d].emplace_back(q, j);
        }
    std::vector<std::uint64_t> seen;
    std::vector<RhythmAnchor> anchors;
    const auto add = [&](int p, int q) {
        const std::uint64_t key = static_cast<std::uint64_t>(p) * static_cast<std::uint64_t>(nr) +
                                  static_cast<std::uint64_t>(q);
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            return;
        seen.push_back(key);
        anchors.push_back({left.seconds[p], right.seconds[q] - left.seconds[p]});
    };
    for (int p = 0; p < nl; ++p) {
        seen.clear();
        for (int i = p + 1; i < nl && i <= p + kLooseSpan; ++i) {
            const std::int64_t d = whole(left.seconds[i]) - whole(left.seconds[p]);
            if (d < kBurstInterval)
                continue;
            for (std::int64_t dd = d - 1; dd <= d + 1; ++dd) {
                const auto it = byInterval.find(dd);
                if (it == byInterval.end() || it->second.size() > kMaxBucket)
                    continue;
                for (const auto &[q, j] : it->second)
                    add(p, q);
            }
        }
    }
    return anchors;
}

ClockLine FitClockLine(const std::vector<RhythmAnchor> &anchors, double &inliers,
                       const std::vector<double> *weights)
{
    inliers = 0;
    if (anchors.empty())
        return {};

    // Score on an evenly spread subset so that very large sessions stay cheap.
    std::vector<std::size_t> scored;
    const std::size_t stride = std::max<std::size_t>(1, anchors.size() / kMaxScored);
    for (std::size_t i = 0; i < anchors.size(); i += stride)
        scored.push_back(i);

    std::vector<std::pair<double, double>> offsets;
    offsets.reserve(anchors.size());
    for (std::size_t i = 0; i < anchors.size(); ++i)
        offsets.emplace_back(anchors[i].offset, Weight(weights, i));
    double windowCount = 0;
    ClockLine best{DensestWindow(std::move(offsets), windowCount), 0};
    double bestScore = CountInliers(anchors, weights, scored, best);
    bool bestLinear = false;

    // Linear models through two anchors at least a minute apart. A linear model must beat
    // the constant one clearly: a drift is only believed when the anchors show it.
    std::mt19937 random(0x5eed);
    std::uniform_int_distribution<std::size_t> pick(0, anchors.size() - 1);
    const double constantScore = bestScore;
    for (int s = 0; s < kLinearSamples && anchors.size() > 1; ++s) {
        const RhythmAnchor &x = anchors[pick(random)];
        const RhythmAnchor &y = anchors[pick(random)];
        if (std::fabs(x.time - y.time) < 60)
            continue;
        const double b = (y.offset - x.offset) / (y.time - x.time);
        if (std::fabs(b) > kMaxSlope)
            continue;
        const ClockLine candidate{x.offset, b, x.time};
        const double score = CountInliers(anchors, weights, scored, candidate);
        if (score > bestScore && score > constantScore * 1.02 + 1) {
            best = candidate;
            bestScore = score;
            bestLinear = true;
        }
    }

    ClockLine line = best;
    for (int round = 0; round < 3; ++round)
        line = LeastSquares(anchors, weights, line, bestLinear, inliers);
    return line;
}

ClockLine FitOffsetWithDrift(const std::vector<RhythmAnchor> &anchors, double b, double &inliers)
{
    // The window among the raw offsets (a stretch is short enough for its drift to stay
    // inside it), then the constant at the stretch's mean time with the drift taken off.
    std::vector<std::pair<double, double>> values;
    values.reserve(anchors.size());
    for (const RhythmAnchor &x : anchors)
        values.emplace_back(x.offset, 1.0);
    const double center = DensestWindow(std::move(values), inliers);
    double n = 0, st = 0, so = 0;
    for (const RhythmAnchor &x : anchors)
        if (std::fabs(x.offset - center) <= kInlierSeconds) {
            n += 1;
            st += x.time;
            so += x.offset;
        }
    if (n == 0)
        return {center, b, 0};
    return {so / n, b, st / n};
}

OffsetPeaks::OffsetPeaks(std::vector<RhythmAnchor> anchors)
    : m_anchors(std::move(anchors)), m_out(m_anchors.size(), 0), m_in(m_anchors.size())
{
    std::stable_sort(
        m_anchors.begin(), m_anchors.end(),
        [](const RhythmAnchor &x, const RhythmAnchor &y) { return x.offset < y.offset; });
}

ClockLine OffsetPeaks::next(double b, double &count) const
{
    count = 0;
    const std::size_t n = m_anchors.size();
    double best = -1, sum = 0;
    std::size_t lo = 0, bestLo = 0, bestHi = 0;
    for (std::size_t hi = 0; hi < n; ++hi) {
        if (m_out[hi])
            continue;
        sum += 1;
        while (m_anchors[hi].offset - m_anchors[lo].offset > 2 * kInlierSeconds) {
            if (!m_out[lo])
                sum -= 1;
            ++lo;
        }
        if (sum > best) {
            best = sum;
            bestLo = lo;
            bestHi = hi;
        }
    }
    if (best <= 0)
        return {0, b, 0};
    double center = 0;
    for (std::size_t k = bestLo; k <= bestHi; ++k)
        if (!m_out[k])
            center += m_anchors[k].offset;
    center /= best;
    count = best;
    // The constant at the peak's mean time, with the drift taken off.
    const auto first =
        std::lower_bound(m_anchors.begin(), m_anchors.end(), center - kInlierSeconds,
                         [](const RhythmAnchor &x, double v) { return x.offset < v; });
    double k = 0, st = 0, so = 0;
    for (auto it = first; it != m_anchors.end() && it->offset <= center + kInlierSeconds; ++it)
        if (!m_out[static_cast<std::size_t>(it - m_anchors.begin())]) {
            k += 1;
            st += it->time;
            so += it->offset;
        }
    if (k == 0)
        return {center, b, 0};
    return {so / k, b, st / k};
}

void OffsetPeaks::remove(const ClockLine &line, double within)
{
    for (std::size_t i = 0; i < m_anchors.size(); ++i)
        if (!m_out[i] && std::fabs(m_anchors[i].offset - line.at(m_anchors[i].time)) <= within) {
            m_out[i] = 1;
            --m_in;
        }
}
