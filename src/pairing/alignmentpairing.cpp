// Pairing by the rhythm alignment: every pair it finds becomes a stereo pair with its
// probability, and every work entry takes its clock correction, so that the lists sort by
// the corrected times.
#include "pairing/pairingmethod.h"

#include "entries/datensatz.h"
#include "entries/listoperations.h"
#include "pairing/rhythmalignment.h"
#include "pairing/sorting.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

// An entry's capture time as the alignment sees it: seconds, to the millisecond (day
// numbers carry microseconds of rounding error), plus the sub-second part when the file
// gives one.
RhythmPicture pictureOf(const TDatensatz *e)
{
    RhythmPicture p;
    const double days = e->CaptureTime();
    p.hasTime = days != 0 && std::isfinite(days);
    p.seconds = std::round(days * 86400.0 * 1000.0) / 1000.0;
    const double sub = e->OrgBild() ? e->Metadata().CaptureSubSecond : -1;
    if (sub >= 0 && sub < 1) {
        p.seconds += sub;
        p.hasSubSecond = true;
    }
    return p;
}

// Whether the fitted drift is worth telling: it moves the pairs' time differences by at
// least a second over the session, and with it the differences scatter (RMS) at least 30 %
// less than around one constant offset per stretch. Whole-second capture times jitter by up
// to a second, and a rate fitted into that jitter is no finding.
bool driftShows(const RhythmInput &input, const RhythmResult &result)
{
    struct Point
    {
        double t, d;
    };
    std::vector<std::vector<Point>> byStretch(std::max<size_t>(result.stretches.size(), 1));
    double first = 0, last = 0;
    size_t count = 0;
    for (const RhythmPair &p : result.pairs) {
        const RhythmPicture &l = input.left[size_t(p.left)];
        const RhythmPicture &r = input.right[size_t(p.right)];
        if (!l.hasTime || !r.hasTime)
            continue;
        const size_t s =
            p.stretch >= 0 && size_t(p.stretch) < byStretch.size() ? size_t(p.stretch) : 0;
        byStretch[s].push_back({l.seconds, r.seconds - l.seconds});
        first = count == 0 ? l.seconds : std::min(first, l.seconds);
        last = count == 0 ? l.seconds : std::max(last, l.seconds);
        ++count;
    }
    if (count < 3 || std::fabs(result.drift) * (last - first) < 1.0)
        return false;
    // Squared residuals around each stretch's mean, without and with the drift.
    double constant = 0, drifting = 0;
    for (const std::vector<Point> &points : byStretch) {
        if (points.empty())
            continue;
        double meanT = 0, meanD = 0;
        for (const Point &p : points) {
            meanT += p.t;
            meanD += p.d;
        }
        meanT /= double(points.size());
        meanD /= double(points.size());
        for (const Point &p : points) {
            const double flat = p.d - meanD;
            const double sloped = flat - result.drift * (p.t - meanT);
            constant += flat * flat;
            drifting += sloped * sloped;
        }
    }
    // RMS ratio <= 0.7, as squares.
    return constant > 0 && drifting <= 0.49 * constant;
}

int indexIn(const std::vector<TDatensatz *> &work, const TDatensatz *e)
{
    for (size_t i = 0; i < work.size(); ++i)
        if (work[i] == e)
            return static_cast<int>(i);
    return -1;
}

class TAlignmentPairing final : public TPairingMethod
{
public:
    // The kept pairs serve as extra anchors; in modes 4 and 5 the selected pair is a
    // forced anchor. False when the alignment found no usable rhythm (nothing paired).
    bool FindClock(TPairingWork &work) override
    {
        work.step(3, 1);
        RhythmInput input;
        for (const TDatensatz *e : work.left)
            input.left.push_back(pictureOf(e));
        for (const TDatensatz *e : work.right)
            input.right.push_back(pictureOf(e));
        for (const auto &[left, right] : work.keptPairs) {
            const RhythmPicture l = pictureOf(left), r = pictureOf(right);
            if (l.hasTime && r.hasTime)
                input.keptPairs.push_back({l.seconds, r.seconds});
        }
        if (TakesOffsetFromSelection(work.mode)) {
            const int l = indexIn(work.left, work.selectedLeft);
            const int r = indexIn(work.right, work.selectedRight);
            if (l >= 0 && r >= 0)
                input.userPair = std::pair{l, r};
        }
        const RhythmResult result = AlignByRhythm(input);
        work.row(1);
        if (result.gated)
            return false;

        for (size_t i = 0; i < work.left.size(); ++i)
            work.left[i]->SetClockCorrection(result.leftCorrection[i]);
        for (size_t i = 0; i < work.right.size(); ++i)
            work.right[i]->SetClockCorrection(result.rightCorrection[i]);
        TPairingReport &report = work.report;
        report.aligned = true;
        for (const RhythmPair &p : result.pairs) {
            MakeStereoPair(work.left[p.left], work.right[p.right]);
            work.left[p.left]->SetPairConfidence(p.confidence);
            work.right[p.right]->SetPairConfidence(p.confidence);
            ++report.pairs;
            report.doubtful += p.confidence < kDoubtfulPairBelow;
        }
        if (driftShows(input, result))
            report.clockFindings << QStringLiteral("Right camera: clock %1 a day against the left")
                                        .arg(FormatClockChange(result.drift * 86400));
        for (size_t s = 1; s < result.stretches.size(); ++s) {
            const RhythmStretch &st = result.stretches[s];
            const bool right = st.changedCamera == RhythmCamera::Right;
            const std::vector<TDatensatz *> &side = right ? work.right : work.left;
            if (st.firstChanged < 0 || st.firstChanged >= static_cast<int>(side.size()))
                continue;
            report.clockFindings
                << QStringLiteral("%1 camera: clock %2 from %3")
                       .arg(right ? QStringLiteral("Right") : QStringLiteral("Left"),
                            FormatClockChange(st.change),
                            QFileInfo(side[st.firstChanged]->SourcePath()).completeBaseName());
        }
        return true;
    }

    // The alignment paired everything it could; corrected times may order some pictures
    // differently.
    void PairRest(TPairingWork &work) override
    {
        SortChronologically(work.left);
        SortChronologically(work.right);
    }
};

} // namespace

std::unique_ptr<TPairingMethod> MakeAlignmentPairing()
{
    return std::make_unique<TAlignmentPairing>();
}
