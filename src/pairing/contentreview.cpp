#include "pairing/contentreview.h"

#include "entries/datensatz.h"
#include "pairing/pairingmethod.h"

#include <cmath>
#include <limits>
#include <map>
#include <utility>

namespace {

// The alignment's pairing tolerance (rhythm_align.cpp): whole-second clocks jitter by up to
// a second on each camera, sub-second ones by a shutter lag.
constexpr double WholeSecondTolerance = 1.6;
constexpr double SubSecondTolerance = 0.6;
// A matching candidate replaces a matching partner only with this many times its score.
constexpr double ClearlyBetter = 1.5;

bool hasSubSecond(const TDatensatz &e)
{
    const double sub = e.OrgBild() ? e.Metadata().CaptureSubSecond : -1;
    return sub >= 0 && sub < 1;
}

bool isSingle(const TDatensatz *e)
{
    return e && !e->Partner() && e->OrgBild() && !IsGapAttribute(e->Attribute());
}

struct Candidate
{
    TDatensatz *left = nullptr, *right = nullptr;
    TContentMatch match;
};

bool better(const TContentMatch &candidate, const TContentMatch &now)
{
    if (!candidate.Known || !candidate.Matches)
        return false;
    if (!now.Known || !now.Matches)
        return true;
    return candidate.Score >= ClearlyBetter * now.Score;
}

} // namespace

double AlignedSeconds(const TDatensatz &e)
{
    const double days = e.CaptureTime();
    if (days == 0 || !std::isfinite(days))
        return std::numeric_limits<double>::quiet_NaN();
    double seconds = std::round(days * 86400.0 * 1000.0) / 1000.0;
    if (hasSubSecond(e))
        seconds += e.Metadata().CaptureSubSecond;
    return seconds + e.ClockCorrection();
}

double PairToleranceSeconds(const TDatensatz &a, const TDatensatz &b)
{
    return hasSubSecond(a) && hasSubSecond(b) ? SubSecondTolerance : WholeSecondTolerance;
}

int ReviewDoubtfulPairs(std::vector<TDatensatz *> &left, std::vector<TDatensatz *> &right,
                        const TContentJudge &judge, const std::function<void(int)> &row)
{
    if (!judge)
        return 0;
    // Each comparison once: a picture may be a candidate of several pairs.
    std::map<std::pair<const TDatensatz *, const TDatensatz *>, TContentMatch> judged;
    const auto compare = [&](TDatensatz *l, TDatensatz *r) {
        const auto key = std::pair<const TDatensatz *, const TDatensatz *>(l, r);
        const auto it = judged.find(key);
        return it != judged.end() ? it->second : judged[key] = judge(*l, *r);
    };
    const auto near = [](const TDatensatz &a, const TDatensatz &b) {
        const double d = std::fabs(AlignedSeconds(a) - AlignedSeconds(b));
        return d <= PairToleranceSeconds(a, b); // false for NaN
    };
    // Re-pairs l's pair with the best matching single picture near it; true when it did.
    const auto review = [&](TDatensatz *l) {
        TDatensatz *r = l->Partner();
        if (!l->IsDoubtful() || !r)
            return false;
        Candidate best;
        const auto consider = [&best](const Candidate &c) {
            if (c.match.Known && c.match.Matches &&
                (!best.left || c.match.Score > best.match.Score))
                best = c;
        };
        for (TDatensatz *c : right)
            if (c != r && isSingle(c) && near(*l, *c))
                consider({l, c, compare(l, c)});
        for (TDatensatz *c : left)
            if (c != l && isSingle(c) && near(*c, *r))
                consider({c, r, compare(c, r)});
        if (!best.left || !better(best.match, compare(l, r)))
            return false;
        const double confidence = l->PairConfidence();
        l->SetPartner(nullptr);
        r->SetPartner(nullptr);
        l->SetAttribute(daUnassigned);
        r->SetAttribute(daUnassigned);
        MakeStereoPair(best.left, best.right);
        best.left->SetPairConfidence(confidence);
        best.right->SetPairConfidence(confidence);
        return true;
    };

    // A picture one pair gives up may be the match of a pair reviewed before: the review
    // goes round again while a round changes something. Every change makes a pair that
    // matches out of one that did not (or matched far less), so the rounds end.
    int changed = 0;
    int position = 0;
    for (bool again = true; again;) {
        again = false;
        std::vector<TDatensatz *> doubtful;
        for (TDatensatz *e : left)
            if (e->IsDoubtful())
                doubtful.push_back(e);
        for (TDatensatz *l : doubtful) {
            if (row)
                row(position++);
            if (review(l)) {
                ++changed;
                again = true;
            }
        }
    }
    return changed;
}
