// The rhythm alignment as a whole: clock lines, stretches, the safety gate and the clock
// corrections (see rhythmalignment.h; the parts live in rhythm_parts.h).
#include "pairing/rhythmalignment.h"
#include "pairing/rhythm_parts.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

constexpr int kMaxLines = 8;
constexpr double kSameLineSeconds = 3.0;
constexpr double kKnownStretchSeconds = 10.0;
constexpr double kChangeCost = 2.5;
constexpr double kUnmatchedScore = -0.3;
constexpr double kMinStretchShare = 0.3;
constexpr double kMinMainStretchShare = 0.25;
constexpr int kMinShortStretchPairs = 4;
constexpr int kMinShortStretchAnchors = 3;
constexpr int kShortStretchAttempts = 4;
constexpr int kMaxRefits = 4;
constexpr double kAmbiguousShare = 0.7;
constexpr int kAuctionRounds = 6;
constexpr int kMixWindow = 6;
constexpr double kMixMajority = 0.75;
constexpr double kPriceStep = 0.5;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

RhythmStream MakeStream(const std::vector<RhythmPicture> &pictures, double reference)
{
    std::vector<int> order;
    for (int i = 0; i < static_cast<int>(pictures.size()); ++i)
        if (pictures[i].hasTime && std::isfinite(pictures[i].seconds))
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return pictures[a].seconds < pictures[b].seconds; });
    RhythmStream s;
    for (int i : order) {
        s.seconds.push_back(pictures[i].seconds - reference);
        s.precise.push_back(pictures[i].hasSubSecond);
        s.input.push_back(i);
    }
    return s;
}

// Positions where the pairs of more than one line mingle: within a few positions either
// side, the strongest line holds less than a clear majority of the pairs.
std::vector<bool> Mixed(const std::vector<std::vector<double>> &score)
{
    const int k = static_cast<int>(score.size());
    const int n = k ? static_cast<int>(score[0].size()) : 0;
    std::vector<bool> mixed(n, false);
    if (k <= 1)
        return mixed;
    // Running pair counts per line over the window [pos - w, pos + w].
    std::vector<int> count(k, 0);
    const auto paired = [&](int line, int pos) { return score[line][pos] > 0 ? 1 : 0; };
    for (int pos = 0; pos < std::min(n, kMixWindow + 1); ++pos)
        for (int line = 0; line < k; ++line)
            count[line] += paired(line, pos);
    for (int pos = 0; pos < n; ++pos) {
        if (pos > 0) {
            const int in = pos + kMixWindow, out = pos - kMixWindow - 1;
            for (int line = 0; line < k; ++line) {
                if (in < n)
                    count[line] += paired(line, in);
                if (out >= 0)
                    count[line] -= paired(line, out);
            }
        }
        const int total = std::accumulate(count.begin(), count.end(), 0);
        const int top = *std::max_element(count.begin(), count.end());
        mixed[pos] = total > 0 && top < kMixMajority * total;
    }
    return mixed;
}

// Change-point search over one stream: which line owns each position. score[k][pos] is
// what position pos earns under line k; every change of line costs kChangeCost.
std::vector<int> Segment(const std::vector<std::vector<double>> &score)
{
    const int k = static_cast<int>(score.size());
    const int n = k ? static_cast<int>(score[0].size()) : 0;
    std::vector<int> owner(n, 0);
    if (k <= 1 || n == 0)
        return owner;
    std::vector<double> value(k);
    std::vector<std::vector<int>> from(n, std::vector<int>(k, 0));
    for (int s = 0; s < k; ++s)
        value[s] = score[s][0];
    for (int pos = 1; pos < n; ++pos) {
        const int bestPrev =
            static_cast<int>(std::max_element(value.begin(), value.end()) - value.begin());
        std::vector<double> next(k);
        for (int s = 0; s < k; ++s) {
            const double stay = value[s], change = value[bestPrev] - kChangeCost;
            from[pos][s] = stay >= change ? s : bestPrev;
            next[s] = std::max(stay, change) + score[s][pos];
        }
        value = std::move(next);
    }
    int s = static_cast<int>(std::max_element(value.begin(), value.end()) - value.begin());
    for (int pos = n - 1; pos >= 0; --pos) {
        owner[pos] = s;
        s = from[pos][s];
    }
    return owner;
}

// The picture itself when it is free, else a free picture of the same stream with exactly
// the same time, else -1.
int FreeTwin(const RhythmStream &s, int x, const std::vector<bool> &taken)
{
    if (!taken[x])
        return x;
    const int n = static_cast<int>(s.seconds.size());
    for (int y = x - 1; y >= 0 && s.seconds[y] == s.seconds[x]; --y)
        if (!taken[y])
            return y;
    for (int y = x + 1; y < n && s.seconds[y] == s.seconds[x]; ++y)
        if (!taken[y])
            return y;
    return -1;
}

// Twins (pictures of one camera with the same time) that are all paired go with their
// partners in shooting order: the camera numbered them in that order, which is their order
// in the list, and the partners' places on the common timeline give the order of the scenes.
// partnerOf, stretchOf and correctionOf belong to the twins' stream; partnerTime gives a
// partner's corrected time.
template <typename PartnerTime>
void PlaceTwins(const RhythmStream &s, std::vector<int> &partnerOf, std::vector<int> &stretchOf,
                std::vector<double> &correctionOf, std::vector<double> &confidenceOf,
                PartnerTime partnerTime)
{
    const int n = static_cast<int>(s.seconds.size());
    for (int first = 0; first < n;) {
        int end = first + 1;
        while (end < n && s.seconds[end] == s.seconds[first])
            ++end;
        bool allPaired = end - first > 1;
        for (int x = first; x < end && allPaired; ++x)
            allPaired = partnerOf[x] >= 0;
        if (allPaired) {
            std::vector<int> order;
            for (int x = first; x < end; ++x)
                order.push_back(x);
            std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
                return partnerTime(partnerOf[a]) < partnerTime(partnerOf[b]);
            });
            std::vector<int> partner, stretch;
            std::vector<double> correction, confidence;
            for (int x : order) {
                partner.push_back(partnerOf[x]);
                stretch.push_back(stretchOf[x]);
                correction.push_back(correctionOf[x]);
                confidence.push_back(confidenceOf[x]);
            }
            for (int x = first; x < end; ++x) {
                partnerOf[x] = partner[x - first];
                stretchOf[x] = stretch[x - first];
                correctionOf[x] = correction[x - first];
                confidenceOf[x] = confidence[x - first];
            }
        }
        first = end;
    }
}

struct Claim
{
    int line, left, right;
    double confidence;
    int votes;
};

class Aligner
{
public:
    Aligner(const RhythmStream &left, const RhythmStream &right) : L(left), R(right) {}

    // Aligns under every line, cuts both streams into stretches and settles the pictures
    // that two lines claim. Fills pairOfLeft, stretchOfLeft/Right.
    // A line fresh from the anchors may lie a little off; coarse pairs within the
    // whole-second tolerance also where sub-seconds would allow less.
    void run(const std::vector<ClockLine> &lines, bool coarse = false)
    {
        m_lines = lines;
        m_alignments.clear();
        RhythmPrices prices{std::vector<double>(L.seconds.size(), 0.0),
                            std::vector<double>(R.seconds.size(), 0.0)};
        for (const ClockLine &line : lines)
            m_alignments.push_back(AlignStreams(L, R, line, &prices, coarse));
        settle();
        // Where two lines want the same picture (after a clock was set back, one camera's
        // stretches interleave in time), the picture's price rises until one line would
        // rather pair its other pictures differently, or leave one single: the pictures go
        // where they cost the session least, not to whichever line claimed first.
        // A price never rises so far that no line wants the picture any more: then it goes
        // back one step and stays there, and the usual rules settle the claims.
        std::vector<bool> frozenL(L.seconds.size(), false), frozenR(R.seconds.size(), false);
        for (int round = 0; round < kAuctionRounds && !m_contested.empty(); ++round) {
            std::vector<bool> realign(m_lines.size(), false);
            std::vector<Contest> raised;
            for (const Contest &c : m_contested) {
                std::vector<bool> &frozen = c.right ? frozenR : frozenL;
                if (frozen[c.picture])
                    continue;
                frozen[c.picture] = true; // raised once per round
                (c.right ? prices.right : prices.left)[c.picture] += kPriceStep;
                realign[c.lineA] = realign[c.lineB] = true;
                raised.push_back(c);
            }
            if (raised.empty())
                break;
            const auto realignMarked = [&] {
                for (std::size_t k = 0; k < m_lines.size(); ++k)
                    if (realign[k])
                        m_alignments[k] = AlignStreams(L, R, m_lines[k], &prices, coarse);
                settle();
            };
            realignMarked();
            bool reverted = false;
            for (const Contest &c : raised) {
                if ((c.right ? m_claimedR : m_claimedL)[c.picture]) {
                    (c.right ? frozenR : frozenL)[c.picture] = false;
                    continue;
                }
                (c.right ? prices.right : prices.left)[c.picture] -= kPriceStep;
                reverted = true;
            }
            if (reverted)
                realignMarked();
        }
    }

    // Refits every line on the pairs it owns (one drift rate for all, an offset each) and
    // runs again.
    void refitAndRun()
    {
        std::vector<RhythmAlignment> owned(m_lines.size());
        for (auto &a : owned) {
            a.matchOfLeft.assign(L.seconds.size(), -1);
            a.confidence.assign(L.seconds.size(), 0);
        }
        for (std::size_t p = 0; p < pairOfLeft.size(); ++p)
            if (pairOfLeft[p] >= 0)
                owned[lineOfLeft[p]].matchOfLeft[p] = pairOfLeft[p];
        run(RefitLines(L, R, owned, m_lines));
    }

    // Drops the lines that own too little of their stretch; true when any was dropped.
    bool dropWeakLines()
    {
        std::vector<int> pairs(m_lines.size(), 0), coreL(m_lines.size(), 0),
            coreR(m_lines.size(), 0);
        for (std::size_t p = 0; p < pairOfLeft.size(); ++p)
            if (pairOfLeft[p] >= 0)
                ++pairs[lineOfLeft[p]];
        for (int s : stretchOfLeft)
            ++coreL[s];
        for (int s : stretchOfRight)
            ++coreR[s];
        std::vector<ClockLine> kept{m_lines[0]};
        for (std::size_t k = 1; k < m_lines.size(); ++k) {
            const int core = std::max(coreL[k], coreR[k]);
            if (pairs[k] >= 2 && pairs[k] >= kMinStretchShare * core)
                kept.push_back(m_lines[k]);
        }
        if (kept.size() == m_lines.size())
            return false;
        run(kept);
        return true;
    }

    // Short stretches among the pictures still single: a rhythm of their own at an offset
    // clearly apart from every known line.
    void addShortStretches()
    {
        for (int round = 0; round < 3 && static_cast<int>(m_lines.size()) < kMaxLines; ++round) {
            std::vector<bool> freeL(L.seconds.size()), freeR(R.seconds.size());
            RhythmPrices taken{std::vector<double>(L.seconds.size(), 0.0),
                               std::vector<double>(R.seconds.size(), 0.0)};
            RhythmStream subL, subR;
            for (std::size_t p = 0; p < L.seconds.size(); ++p)
                if ((freeL[p] = pairOfLeft[p] < 0)) {
                    subL.seconds.push_back(L.seconds[p]);
                    subL.precise.push_back(L.precise[p]);
                }
            std::vector<int> matchR(R.seconds.size(), -1);
            for (std::size_t p = 0; p < pairOfLeft.size(); ++p)
                if (pairOfLeft[p] >= 0)
                    matchR[pairOfLeft[p]] = static_cast<int>(p);
            for (std::size_t q = 0; q < R.seconds.size(); ++q)
                if ((freeR[q] = matchR[q] < 0)) {
                    subR.seconds.push_back(R.seconds[q]);
                    subR.precise.push_back(R.precise[q]);
                }
            std::vector<RhythmAnchor> anchors;
            for (const RhythmAnchor &x : FindLooseAnchors(subL, subR)) {
                bool known = false;
                for (const ClockLine &line : m_lines)
                    known = known || std::fabs(x.offset - line.at(x.time)) < kKnownStretchSeconds;
                if (!known)
                    anchors.push_back(x);
            }
            for (std::size_t p = 0; p < freeL.size(); ++p)
                taken.left[p] = freeL[p] ? 0.0 : kInfinity;
            for (std::size_t q = 0; q < freeR.size(); ++q)
                taken.right[q] = freeR[q] ? 0.0 : kInfinity;
            // The densest offsets first; a peak made by chance does not pair enough and
            // gives way to the next.
            std::optional<std::pair<ClockLine, RhythmAlignment>> found;
            for (int attempt = 0; attempt < kShortStretchAttempts && !found; ++attempt) {
                double count = 0;
                ClockLine line = FitOffsetWithDrift(anchors, m_lines[0].b, count);
                if (count < kMinShortStretchAnchors)
                    break;
                std::erase_if(anchors, [&](const RhythmAnchor &x) {
                    return std::fabs(x.offset - line.at(x.time)) <= kSameLineSeconds;
                });
                const RhythmAlignment first = AlignStreams(L, R, line, &taken, true);
                line = RefitLine(L, R, first, line, true);
                RhythmAlignment a = AlignStreams(L, R, line, &taken);
                if (a.pairCount >= kMinShortStretchPairs)
                    found.emplace(line, std::move(a));
            }
            if (!found)
                return;
            const auto &[line, a] = *found;
            const int k = static_cast<int>(m_lines.size());
            m_lines.push_back(line);
            m_alignments.push_back(a);
            for (std::size_t p = 0; p < a.matchOfLeft.size(); ++p)
                if (a.matchOfLeft[p] >= 0) {
                    pairOfLeft[p] = a.matchOfLeft[p];
                    lineOfLeft[p] = k;
                    confidenceOfLeft[p] = a.confidence[p];
                    stretchOfLeft[p] = k;
                    stretchOfRight[a.matchOfLeft[p]] = k;
                }
        }
    }

    const std::vector<ClockLine> &lines() const { return m_lines; }
    int paired() const
    {
        return static_cast<int>(
            std::count_if(pairOfLeft.begin(), pairOfLeft.end(), [](int q) { return q >= 0; }));
    }

    std::vector<int> pairOfLeft, lineOfLeft;
    std::vector<double> confidenceOfLeft;
    std::vector<int> stretchOfLeft, stretchOfRight;

private:
    void settle()
    {
        const std::size_t nl = L.seconds.size(), nr = R.seconds.size(), k = m_lines.size();
        std::vector<std::vector<int>> matchR(k);
        std::vector<std::vector<double>> scoreL(k, std::vector<double>(nl, kUnmatchedScore)),
            scoreR(k, std::vector<double>(nr, kUnmatchedScore));
        for (std::size_t s = 0; s < k; ++s) {
            const RhythmAlignment &a = m_alignments[s];
            for (std::size_t p = 0; p < nl; ++p)
                if (a.matchOfLeft[p] >= 0) {
                    const double earn = 0.2 + 0.8 * a.confidence[p];
                    scoreL[s][p] = earn;
                    scoreR[s][a.matchOfLeft[p]] = earn;
                }
        }
        stretchOfLeft = Segment(scoreL);
        stretchOfRight = Segment(scoreR);
        const std::vector<bool> mixedLeft = Mixed(scoreL), mixedRight = Mixed(scoreR);

        // A pair stands when its line owns its left or its right picture's stretch (after
        // a backward jump one stream interleaves two stretches, the other keeps them
        // apart). Where two lines claim a picture, the pair with more votes wins, then the
        // more confident one.
        std::vector<Claim> claims;
        for (std::size_t s = 0; s < k; ++s) {
            const RhythmAlignment &a = m_alignments[s];
            for (std::size_t p = 0; p < nl; ++p) {
                const int q = a.matchOfLeft[p];
                if (q < 0)
                    continue;
                // Where one stream interleaves two stretches (a clock set back), its owner
                // says little; the other stream's owner decides.
                const bool mixedL = mixedLeft[p], mixedR = mixedRight[q];
                const int own = static_cast<int>(s);
                const bool ownsL = stretchOfLeft[p] == own, ownsR = stretchOfRight[q] == own;
                const int votes = ownsL + ownsR;
                const int clearVotes =
                    (ownsL && !(mixedL && !mixedR)) + (ownsR && !(mixedR && !mixedL));
                if (votes > 0 || k == 1)
                    claims.push_back(
                        {static_cast<int>(s), static_cast<int>(p), q, a.confidence[p], clearVotes});
            }
        }
        std::stable_sort(claims.begin(), claims.end(), [](const Claim &x, const Claim &y) {
            return x.votes != y.votes ? x.votes > y.votes : x.confidence > y.confidence;
        });
        m_contested.clear();
        m_claimedL.assign(nl, false);
        m_claimedR.assign(nr, false);
        {
            std::vector<int> lineOfL(nl, -1), lineOfR(nr, -1);
            for (const Claim &c : claims) {
                for (const auto &[right, picture] :
                     {std::pair{false, c.left}, std::pair{true, c.right}}) {
                    (right ? m_claimedR : m_claimedL)[picture] = true;
                    int &first = (right ? lineOfR : lineOfL)[picture];
                    if (first < 0)
                        first = c.line;
                    else if (first != c.line)
                        m_contested.push_back({right, picture, first, c.line});
                }
            }
        }
        pairOfLeft.assign(nl, -1);
        lineOfLeft.assign(nl, 0);
        confidenceOfLeft.assign(nl, 0);
        std::vector<bool> rightTaken(nr, false);
        // Pictures of one camera taken in the same second are alike to every line: a claim
        // on one that is taken moves to its free twin. Which twin goes with which partner is
        // settled once the stretches are known (PlaceTwins).
        std::vector<bool> leftTaken(nl, false);
        for (const Claim &c : claims) {
            const int p = FreeTwin(L, c.left, leftTaken), q = FreeTwin(R, c.right, rightTaken);
            if (p < 0 || q < 0)
                continue;
            pairOfLeft[p] = q;
            lineOfLeft[p] = c.line;
            confidenceOfLeft[p] = c.confidence;
            leftTaken[p] = rightTaken[q] = true;
        }
    }

    const RhythmStream &L;
    const RhythmStream &R;
    std::vector<ClockLine> m_lines;
    std::vector<RhythmAlignment> m_alignments;
    struct Contest
    {
        bool right;
        int picture;
        int lineA, lineB;
    };
    std::vector<Contest> m_contested;
    std::vector<bool> m_claimedL, m_claimedR;
};

// The clock lines through the anchors: the robust main line, then lines of the same drift
// through the anchors that no line explains yet.
std::vector<ClockLine> FindLines(const std::vector<RhythmAnchor> &anchors,
                                 const std::vector<double> &weights,
                                 const std::optional<RhythmAnchor> &forced)
{
    double inliers = 0;
    // The pair the user named is believed: the main line starts through it.
    const ClockLine main = forced ? ClockLine{forced->offset, 0, forced->time}
                                  : FitClockLine(anchors, inliers, &weights);
    if (!forced && inliers <= 0)
        return {};
    std::vector<ClockLine> lines{main};
    OffsetPeaks rest(anchors);
    rest.remove(main, 1.5);
    // Each round takes the densest window left; windows next to a known line (its
    // neighbours in a burst) are passed over, but only a few times.
    for (int round = 0;
         round < 2 * kMaxLines && static_cast<int>(lines.size()) < kMaxLines && !rest.empty();
         ++round) {
        double count = 0;
        const ClockLine line = rest.next(main.b, count);
        if (count < 2)
            break;
        bool known = false;
        for (const ClockLine &other : lines)
            known = known || std::fabs(other.at(line.t0) - line.a) < kSameLineSeconds;
        rest.remove(line, 1.5);
        if (!known)
            lines.push_back(line);
    }
    return lines;
}

// True when the line's offset is not the only one that fits: moved by a few seconds it
// pairs nearly as many pictures (a session of nothing but 1-second shooting, a fixed
// rhythm). Whole-second times pair within 1.6 s, so there the nearest distinct shift is 2 s.
bool IsAmbiguous(const RhythmStream &left, const RhythmStream &right, const ClockLine &line)
{
    const auto precise = [](const RhythmStream &s) {
        return 2 * std::count(s.precise.begin(), s.precise.end(), true) >
               static_cast<long>(s.precise.size());
    };
    const bool subSeconds = precise(left) && precise(right);
    const int own = AlignStreams(left, right, line).pairCount;
    for (double shift : {-3.0, -2.0, -1.0, 1.0, 2.0, 3.0}) {
        if (!subSeconds && std::fabs(shift) < 2)
            continue;
        const int moved = AlignStreams(left, right, line.shifted(shift)).pairCount;
        if (moved >= kAmbiguousShare * own)
            return true;
    }
    return false;
}

// Seconds on the main left clock of a time on a stretch's clock.
double LeftClockOfRight(double r, const ClockLine &line)
{
    return (r - line.a + line.b * line.t0) / (1 + line.b);
}

// The earliest capture time of both lists in whole seconds (the streams count from it), or
// infinity when no picture has a time.
double TimeReference(const RhythmInput &input)
{
    double reference = std::numeric_limits<double>::infinity();
    for (const auto *side : {&input.left, &input.right})
        for (const RhythmPicture &p : *side)
            if (p.hasTime && std::isfinite(p.seconds))
                reference = std::min(reference, p.seconds);
    return std::isfinite(reference) ? std::floor(reference) : reference;
}

// What the clock lines are fitted to: the anchors of agreeing intervals and the pairs the
// pass keeps, and the pair the user named (forced), which is believed.
struct Anchors
{
    std::vector<RhythmAnchor> anchors;
    std::vector<double> weights;
    std::optional<RhythmAnchor> forced;
};

Anchors CollectAnchors(const RhythmInput &input, const RhythmStream &L, const RhythmStream &R,
                       double reference)
{
    Anchors a;
    a.anchors = FindAnchors(L, R);
    a.weights.assign(a.anchors.size(), 1.0);
    for (const RhythmKnownPair &k : input.keptPairs) {
        a.anchors.push_back({k.leftSeconds - reference, k.rightSeconds - k.leftSeconds});
        a.weights.push_back(1.0);
    }
    if (input.userPair) {
        const auto [l, r] = *input.userPair;
        if (l >= 0 && r >= 0 && l < static_cast<int>(input.left.size()) &&
            r < static_cast<int>(input.right.size()) && input.left[l].hasTime &&
            input.right[r].hasTime)
            a.forced = RhythmAnchor{input.left[l].seconds - reference,
                                    input.right[r].seconds - input.left[l].seconds};
    }
    return a;
}

// Aligns, refits the lines on what they paired and aligns again while that gains pairs (a
// drifting clock is followed a little further with every round); then drops weak lines and
// looks for short stretches. lines becomes the aligner's lines.
void AlignAndRefit(Aligner &aligner, std::vector<ClockLine> &lines, bool singleClock)
{
    aligner.run(lines, true);
    for (int round = 0; round < kMaxRefits; ++round) {
        const int before = aligner.paired();
        aligner.refitAndRun();
        if (aligner.paired() <= before && round > 0)
            break;
    }
    if (aligner.dropWeakLines())
        aligner.refitAndRun();
    if (!singleClock)
        aligner.addShortStretches();
    lines = aligner.lines();
}

// The stretches: the lines that own pairs, largest first (stretch s is line order[s]; the
// main stretch is 0), and the stretch of every picture.
struct Stretches
{
    std::vector<int> order;
    std::vector<int> pairsOfLine;
    std::vector<int> left, right;

    int count() const { return static_cast<int>(order.size()); }
    int mainPairs() const { return pairsOfLine[order[0]]; }
};

Stretches FindStretches(const Aligner &aligner, int lineCount, std::size_t leftCount,
                        std::size_t rightCount)
{
    Stretches st;
    st.pairsOfLine.assign(lineCount, 0);
    for (std::size_t p = 0; p < aligner.pairOfLeft.size(); ++p)
        if (aligner.pairOfLeft[p] >= 0)
            ++st.pairsOfLine[aligner.lineOfLeft[p]];
    st.order.resize(lineCount);
    std::iota(st.order.begin(), st.order.end(), 0);
    std::stable_sort(st.order.begin(), st.order.end(),
                     [&](int a, int b) { return st.pairsOfLine[a] > st.pairsOfLine[b]; });
    while (!st.order.empty() && st.pairsOfLine[st.order.back()] == 0)
        st.order.pop_back();
    std::vector<int> stretchOfLine(lineCount, -1);
    for (int s = 0; s < st.count(); ++s)
        stretchOfLine[st.order[s]] = s;

    // A picture belongs to its pair's line, else to the stretch of its position (a line that
    // owns no pair there falls back to the main line).
    auto stretchOf = [&](int line) { return stretchOfLine[line] >= 0 ? stretchOfLine[line] : 0; };
    st.left.resize(leftCount);
    st.right.resize(rightCount);
    for (std::size_t p = 0; p < leftCount; ++p)
        st.left[p] = stretchOf(aligner.stretchOfLeft[p]);
    for (std::size_t q = 0; q < rightCount; ++q)
        st.right[q] = stretchOf(aligner.stretchOfRight[q]);
    for (std::size_t p = 0; p < leftCount; ++p)
        if (aligner.pairOfLeft[p] >= 0) {
            st.left[p] = stretchOf(aligner.lineOfLeft[p]);
            st.right[aligner.pairOfLeft[p]] = st.left[p];
        }
    return st;
}

// The clock correction of every picture, in seconds.
struct Corrections
{
    std::vector<double> left, right;
};

// Where the pictures of stretch s go on the main clock, blaming one camera or the other.
class StretchPlacement
{
public:
    StretchPlacement(const RhythmStream &L, const RhythmStream &R, const Stretches &st, int s,
                     const ClockLine &line, const ClockLine &mainLine)
        : m_left(L), m_right(R), m_stretches(st), m_stretch(s), m_line(line), m_main(mainLine)
    {
    }

    // Under a changed left clock, a left picture goes where its partner's right time puts
    // it on the main clock.
    double leftShift(double l) const { return LeftClockOfRight(l + m_line.at(l), m_main) - l; }

    // Corrected times of the stretch's pictures when the right (else the left) camera's clock
    // was changed.
    std::vector<double> corrected(bool rightChanged) const
    {
        std::vector<double> t;
        for (std::size_t p = 0; p < m_stretches.left.size(); ++p) {
            const double l = m_left.seconds[p];
            if (m_stretches.left[p] == m_stretch)
                t.push_back(l + (rightChanged ? 0.0 : leftShift(l)));
        }
        for (std::size_t q = 0; q < m_stretches.right.size(); ++q)
            if (m_stretches.right[q] == m_stretch)
                t.push_back(LeftClockOfRight(m_right.seconds[q], rightChanged ? m_line : m_main));
        return t;
    }

    // How badly a stretch at times t fits among the placed pictures: pictures it would
    // enclose first, then its distance to the nearest placed picture.
    static std::pair<double, double> misfit(const std::vector<double> &t,
                                            const std::vector<double> &placed)
    {
        if (t.empty() || placed.empty())
            return {0, 0};
        const auto [lo, hi] = std::minmax_element(t.begin(), t.end());
        const auto a = std::upper_bound(placed.begin(), placed.end(), *lo);
        const auto b = std::lower_bound(placed.begin(), placed.end(), *hi);
        const double enclosed = b > a ? static_cast<double>(b - a) : 0.0;
        double distance = std::numeric_limits<double>::infinity();
        if (a != placed.begin())
            distance = std::min(distance, *lo - *(a - 1));
        if (b != placed.end())
            distance = std::min(distance, *b - *hi);
        return {enclosed, distance};
    }

private:
    const RhythmStream &m_left;
    const RhythmStream &m_right;
    const Stretches &m_stretches;
    const int m_stretch;
    const ClockLine &m_line;
    const ClockLine &m_main;
};

// The main stretch: the left clock is the timeline, the right pictures are moved onto it.
// Every other stretch blames one camera: the one whose correction puts the stretch next to
// (not into) the pictures already placed. Fills result.stretches.
Corrections CorrectClocks(const RhythmStream &L, const RhythmStream &R,
                          const std::vector<ClockLine> &lines, const Stretches &st,
                          RhythmResult &result)
{
    const ClockLine &mainLine = lines[st.order[0]];
    result.stretches.resize(st.count());
    Corrections c{std::vector<double>(st.left.size(), 0.0),
                  std::vector<double>(st.right.size(), 0.0)};
    std::vector<double> placed;
    for (std::size_t p = 0; p < st.left.size(); ++p)
        if (st.left[p] == 0)
            placed.push_back(L.seconds[p]);
    for (std::size_t q = 0; q < st.right.size(); ++q)
        if (st.right[q] == 0) {
            c.right[q] = LeftClockOfRight(R.seconds[q], mainLine) - R.seconds[q];
            placed.push_back(R.seconds[q] + c.right[q]);
        }
    std::sort(placed.begin(), placed.end());
    result.stretches[0].offset = mainLine.a;
    result.stretches[0].pairs = st.mainPairs();

    for (int s = 1; s < st.count(); ++s) {
        const ClockLine &line = lines[st.order[s]];
        RhythmStretch &stretch = result.stretches[s];
        stretch.offset = line.a;
        stretch.pairs = st.pairsOfLine[st.order[s]];
        const StretchPlacement placement(L, R, st, s, line, mainLine);
        const std::vector<double> ifRight = placement.corrected(true);
        const std::vector<double> ifLeft = placement.corrected(false);
        const bool rightChanged =
            StretchPlacement::misfit(ifRight, placed) <= StretchPlacement::misfit(ifLeft, placed);
        stretch.changedCamera = rightChanged ? RhythmCamera::Right : RhythmCamera::Left;
        const double change = line.a - mainLine.at(line.t0);
        stretch.change = rightChanged ? change : -change;
        for (std::size_t p = 0; p < st.left.size(); ++p)
            if (st.left[p] == s)
                c.left[p] = rightChanged ? 0.0 : placement.leftShift(L.seconds[p]);
        for (std::size_t q = 0; q < st.right.size(); ++q)
            if (st.right[q] == s)
                c.right[q] =
                    LeftClockOfRight(R.seconds[q], rightChanged ? line : mainLine) - R.seconds[q];
        const std::vector<double> &chosen = rightChanged ? ifRight : ifLeft;
        placed.insert(placed.end(), chosen.begin(), chosen.end());
        std::sort(placed.begin(), placed.end());
    }
    return c;
}

// Twins go with their partners in shooting order; then the pairs, each changed stretch's
// first changed picture and every picture's correction go into result.
void PairTwins(const RhythmStream &L, const RhythmStream &R, const Aligner &aligner, Stretches &st,
               Corrections &c, RhythmResult &result)
{
    std::vector<int> pairOfLeft = aligner.pairOfLeft, pairOfRight(st.right.size(), -1);
    std::vector<double> confidence = aligner.confidenceOfLeft;
    PlaceTwins(L, pairOfLeft, st.left, c.left, confidence,
               [&](int q) { return R.seconds[q] + c.right[q]; });
    for (std::size_t p = 0; p < pairOfLeft.size(); ++p)
        if (pairOfLeft[p] >= 0)
            pairOfRight[pairOfLeft[p]] = static_cast<int>(p);
    std::vector<double> confidenceOfRight(st.right.size(), 0.0);
    for (std::size_t q = 0; q < st.right.size(); ++q)
        if (pairOfRight[q] >= 0)
            confidenceOfRight[q] = confidence[pairOfRight[q]];
    PlaceTwins(R, pairOfRight, st.right, c.right, confidenceOfRight,
               [&](int p) { return L.seconds[p] + c.left[p]; });
    // Each changed stretch names the changed camera's earliest paired picture.
    std::vector<double> earliest(st.count(), std::numeric_limits<double>::infinity());
    for (std::size_t q = 0; q < st.right.size(); ++q) {
        const int p = pairOfRight[q];
        if (p < 0)
            continue;
        result.pairs.push_back({L.input[p], R.input[q], confidenceOfRight[q], st.right[q]});
        RhythmStretch &stretch = result.stretches[st.right[q]];
        if (st.right[q] == 0)
            continue;
        const bool right = stretch.changedCamera == RhythmCamera::Right;
        const double t = right ? R.seconds[q] + c.right[q] : L.seconds[p] + c.left[p];
        if (t < earliest[st.right[q]]) {
            earliest[st.right[q]] = t;
            stretch.firstChanged = right ? R.input[q] : L.input[p];
        }
    }
    for (std::size_t p = 0; p < st.left.size(); ++p)
        result.leftCorrection[L.input[p]] = c.left[p];
    for (std::size_t q = 0; q < st.right.size(); ++q)
        result.rightCorrection[R.input[q]] = c.right[q];
}

} // namespace

RhythmResult AlignByRhythm(const RhythmInput &input)
{
    RhythmResult result;
    result.leftCorrection.assign(input.left.size(), 0.0);
    result.rightCorrection.assign(input.right.size(), 0.0);

    const double reference = TimeReference(input);
    if (!std::isfinite(reference)) {
        result.gated = true;
        return result;
    }
    const RhythmStream L = MakeStream(input.left, reference);
    const RhythmStream R = MakeStream(input.right, reference);
    const Anchors anchors = CollectAnchors(input, L, R, reference);
    const bool forced = anchors.forced.has_value();

    std::vector<ClockLine> lines = FindLines(anchors.anchors, anchors.weights, anchors.forced);
    if (input.singleClock && lines.size() > 1)
        lines.resize(1);
    const std::size_t shorter = std::min(L.seconds.size(), R.seconds.size());
    if (lines.empty() || shorter == 0) {
        result.gated = !forced;
        return result;
    }
    Aligner aligner(L, R);
    AlignAndRefit(aligner, lines, input.singleClock);
    const double needed = std::max(3.0, kMinStretchShare * static_cast<double>(shorter));
    if (!forced && (aligner.paired() < needed || IsAmbiguous(L, R, lines[0]))) {
        result.gated = true;
        return result;
    }

    Stretches stretches =
        FindStretches(aligner, static_cast<int>(lines.size()), L.seconds.size(), R.seconds.size());
    if (stretches.order.empty()) {
        result.gated = !forced;
        return result;
    }
    // Unrelated lists pair by chance in several small stretches, none of them large: a real
    // session's largest stretch holds a good part of the pictures even after clock changes.
    if (!forced && stretches.mainPairs() < std::max(3.0, kMinMainStretchShare * double(shorter))) {
        result.gated = true;
        return result;
    }
    result.drift = lines[stretches.order[0]].b;
    Corrections corrections = CorrectClocks(L, R, lines, stretches, result);
    PairTwins(L, R, aligner, stretches, corrections, result);
    if (forced) {
        // The user's pair stands, whatever the alignment made of its two pictures.
        const int l = input.userPair->first, r = input.userPair->second;
        std::erase_if(result.pairs,
                      [&](const RhythmPair &p) { return p.left == l || p.right == r; });
        result.pairs.push_back({l, r, 1.0, 0});
    }
    std::sort(result.pairs.begin(), result.pairs.end(),
              [](const RhythmPair &a, const RhythmPair &b) { return a.left < b.left; });
    return result;
}

QString FormatClockChange(double seconds)
{
    const QString sign = seconds < 0 ? QStringLiteral("\u2212") : QStringLiteral("+");
    const double s = std::fabs(seconds);
    const QLocale c(QLocale::English);
    if (s >= 2 * 86400)
        return sign + c.toString(qRound64(s / 86400)) + QStringLiteral(" d");
    const double hours = std::round(s / 3600);
    if (hours >= 1 && std::fabs(s - hours * 3600) < 120)
        return sign + c.toString(qRound64(hours)) + QStringLiteral(" h");
    if (s >= 120)
        return sign + c.toString(qRound64(s / 60)) + QStringLiteral(" min");
    return sign + c.toString(qRound64(s)) + QStringLiteral(" s");
}
