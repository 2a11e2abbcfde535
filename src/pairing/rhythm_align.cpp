// The order-preserving alignment of two streams under one clock line, and the
// forward-backward pass that gives every pair its probability.
//
// Only candidate pairs (residual within the tolerance) can be matched, so an alignment is
// a chain of candidates that increases in both streams, and its cost is
//   Σ residual² over the pairs + penalty × (pictures left single).
// Each pair removes two singles, so the cheapest alignment is the chain of the largest
// total gain 2·penalty − residual². Candidates are visited by left position; a Fenwick tree
// over right positions answers "best (or summed) chain ending before this right position"
// in O(log n). The candidates form the band of the alignment: work and memory grow with
// their number, which stays a few per picture even in hours of 1-second shooting.
#include "pairing/rhythm_parts.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kWholeSecondTolerance = 1.6;
constexpr double kSubSecondTolerance = 0.6;
constexpr double kSinglePenalty = 1.0;
// Scale of the gains in the probability model: exp(gain / T) per pair.
constexpr double kTemperature = 0.6;
constexpr double kNegInf = -std::numeric_limits<double>::infinity();

struct Candidate
{
    int left;
    int right;
    double gain;
};

double LogAdd(double x, double y)
{
    if (x == kNegInf)
        return y;
    if (y == kNegInf)
        return x;
    const double m = std::max(x, y);
    return m + std::log1p(std::exp(-std::fabs(x - y)));
}

// Prefix maximum (with the candidate that reaches it) over positions 0..n-1.
class MaxTree
{
public:
    explicit MaxTree(int n) : m_value(n + 1, 0.0), m_id(n + 1, -1) {}
    void update(int position, double value, int id)
    {
        for (int i = position + 1; i < static_cast<int>(m_value.size()); i += i & -i)
            if (value > m_value[i]) {
                m_value[i] = value;
                m_id[i] = id;
            }
    }
    // Best over positions < end.
    std::pair<double, int> query(int end) const
    {
        double v = 0;
        int id = -1;
        for (int i = end; i > 0; i -= i & -i)
            if (m_value[i] > v) {
                v = m_value[i];
                id = m_id[i];
            }
        return {v, id};
    }

private:
    std::vector<double> m_value;
    std::vector<int> m_id;
};

// Prefix log-sum-exp over positions 0..n-1.
class LogSumTree
{
public:
    explicit LogSumTree(int n) : m_value(n + 1, kNegInf) {}
    void add(int position, double logValue)
    {
        for (int i = position + 1; i < static_cast<int>(m_value.size()); i += i & -i)
            m_value[i] = LogAdd(m_value[i], logValue);
    }
    double query(int end) const
    {
        double v = kNegInf;
        for (int i = end; i > 0; i -= i & -i)
            v = LogAdd(v, m_value[i]);
        return v;
    }

private:
    std::vector<double> m_value;
};

std::vector<Candidate> Candidates(const RhythmStream &left, const RhythmStream &right,
                                  const ClockLine &line, const RhythmPrices *prices, bool coarse)
{
    const auto price = [](const std::vector<double> *v, int i) {
        return v && !v->empty() ? (*v)[i] : 0.0;
    };
    const std::vector<double> *leftPrice = prices ? &prices->left : nullptr;
    const std::vector<double> *rightPrice = prices ? &prices->right : nullptr;
    std::vector<Candidate> out;
    const std::vector<double> &tr = right.seconds;
    for (int p = 0; p < static_cast<int>(left.seconds.size()); ++p) {
        const double pl = price(leftPrice, p);
        if (std::isinf(pl))
            continue;
        const double tl = left.seconds[p];
        const double target = tl + line.at(tl);
        auto it = std::lower_bound(tr.begin(), tr.end(), target - kWholeSecondTolerance - 1);
        for (; it != tr.end() && *it <= target + kWholeSecondTolerance + 1; ++it) {
            const int q = static_cast<int>(it - tr.begin());
            const double pr = price(rightPrice, q);
            if (std::isinf(pr))
                continue;
            double residual, tolerance;
            if (left.precise[p] && right.precise[q]) {
                residual = *it - target;
                tolerance = coarse ? kWholeSecondTolerance : kSubSecondTolerance;
            } else {
                // Without sub-seconds on both sides, both count in whole seconds.
                residual = std::floor(*it) - std::floor(tl) - line.at(tl);
                tolerance = kWholeSecondTolerance;
            }
            const double gain = 2 * kSinglePenalty - residual * residual - pl - pr;
            if (std::fabs(residual) <= tolerance && gain > 0)
                out.push_back({p, q, gain});
        }
    }
    return out;
}

} // namespace

RhythmAlignment AlignStreams(const RhythmStream &left, const RhythmStream &right,
                             const ClockLine &line, const RhythmPrices *prices, bool coarse)
{
    RhythmAlignment result;
    result.matchOfLeft.assign(left.seconds.size(), -1);
    result.confidence.assign(left.seconds.size(), 0.0);
    const std::vector<Candidate> c = Candidates(left, right, line, prices, coarse);
    const int n = static_cast<int>(c.size());
    if (n == 0)
        return result;
    const int rightCount = static_cast<int>(right.seconds.size());

    // Best chain: candidates of one left position are all queried before any is entered,
    // so that a chain never holds two pairs of the same left picture.
    std::vector<double> best(n);
    std::vector<int> previous(n, -1);
    {
        MaxTree tree(rightCount);
        for (int g = 0; g < n;) {
            int h = g;
            while (h < n && c[h].left == c[g].left)
                ++h;
            for (int e = g; e < h; ++e) {
                const auto [value, id] = tree.query(c[e].right);
                best[e] = c[e].gain + value;
                previous[e] = id;
            }
            for (int e = g; e < h; ++e)
                tree.update(c[e].right, best[e], e);
            g = h;
        }
    }
    int end = static_cast<int>(std::max_element(best.begin(), best.end()) - best.begin());
    for (int e = end; e >= 0; e = previous[e]) {
        result.matchOfLeft[c[e].left] = c[e].right;
        ++result.pairCount;
    }

    // Forward: log of the summed weight of all chains that end with candidate e.
    std::vector<double> forward(n), backward(n);
    double logZ = 0; // the empty chain
    {
        LogSumTree tree(rightCount);
        for (int g = 0; g < n;) {
            int h = g;
            while (h < n && c[h].left == c[g].left)
                ++h;
            for (int e = g; e < h; ++e) {
                forward[e] = c[e].gain / kTemperature + LogAdd(0.0, tree.query(c[e].right));
                logZ = LogAdd(logZ, forward[e]);
            }
            for (int e = g; e < h; ++e)
                tree.add(c[e].right, forward[e]);
            g = h;
        }
    }
    // Backward: the same from the end, over mirrored right positions.
    {
        LogSumTree tree(rightCount);
        for (int h = n; h > 0;) {
            int g = h - 1;
            while (g > 0 && c[g - 1].left == c[h - 1].left)
                --g;
            for (int e = g; e < h; ++e)
                backward[e] =
                    c[e].gain / kTemperature + LogAdd(0.0, tree.query(rightCount - 1 - c[e].right));
            for (int e = g; e < h; ++e)
                tree.add(rightCount - 1 - c[e].right, backward[e]);
            h = g;
        }
    }
    for (int e = 0; e < n; ++e) {
        if (result.matchOfLeft[c[e].left] != c[e].right)
            continue;
        const double logP = forward[e] + backward[e] - c[e].gain / kTemperature - logZ;
        result.confidence[c[e].left] = std::clamp(std::exp(logP), 0.0, 1.0);
    }
    return result;
}

ClockLine RefitLine(const RhythmStream &left, const RhythmStream &right,
                    const RhythmAlignment &alignment, const ClockLine &line, bool fixedSlope)
{
    double sw = 0, st = 0, so = 0;
    std::vector<std::pair<double, double>> points;
    for (std::size_t p = 0; p < alignment.matchOfLeft.size(); ++p) {
        const int q = alignment.matchOfLeft[p];
        if (q < 0)
            continue;
        const double t = left.seconds[p];
        const double offset = right.seconds[q] - t;
        if (std::fabs(offset - line.at(t)) > 1.5)
            continue;
        points.emplace_back(t, offset);
        sw += 1;
        st += t;
        so += offset;
    }
    if (sw < 1)
        return line;
    const double tMean = st / sw, oMean = so / sw;
    if (fixedSlope)
        return {oMean, line.b, tMean};
    double stt = 0, sto = 0;
    for (const auto &[t, o] : points) {
        stt += (t - tMean) * (t - tMean);
        sto += (t - tMean) * (o - oMean);
    }
    if (points.size() < 2 || stt <= 0)
        return {oMean, 0, tMean};
    return {oMean, std::clamp(sto / stt, -0.01, 0.01), tMean};
}

std::vector<ClockLine> RefitLines(const RhythmStream &left, const RhythmStream &right,
                                  const std::vector<RhythmAlignment> &owned,
                                  std::vector<ClockLine> lines)
{
    // Every line's points (time, offset) within 1.5 s of it, centred on the line's own
    // means: the shared drift comes from the spread inside each stretch, never from the
    // jumps between them.
    struct Points
    {
        std::vector<std::pair<double, double>> values;
        double tMean = 0, oMean = 0;
    };
    std::vector<Points> points(lines.size());
    double stt = 0, sto = 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        Points &own = points[k];
        for (std::size_t p = 0; p < owned[k].matchOfLeft.size(); ++p) {
            const int q = owned[k].matchOfLeft[p];
            if (q < 0)
                continue;
            const double t = left.seconds[p], offset = right.seconds[q] - t;
            if (std::fabs(offset - lines[k].at(t)) <= 1.5)
                own.values.emplace_back(t, offset);
        }
        if (own.values.empty())
            continue;
        for (const auto &[t, o] : own.values) {
            own.tMean += t;
            own.oMean += o;
        }
        own.tMean /= static_cast<double>(own.values.size());
        own.oMean /= static_cast<double>(own.values.size());
        for (const auto &[t, o] : own.values) {
            stt += (t - own.tMean) * (t - own.tMean);
            sto += (t - own.tMean) * (o - own.oMean);
        }
    }
    const double b = stt > 0 ? std::clamp(sto / stt, -0.01, 0.01) : lines.front().b;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (points[k].values.empty())
            lines[k].b = b;
        else
            lines[k] = {points[k].oMean, b, points[k].tMean};
    }
    return lines;
}
