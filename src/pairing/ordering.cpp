#include "pairing/ordering.h"

#include "entries/datensatz.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "pairing/ordering_search.h"
#include "pairing/ordering_time.h"
#include "pairing/orderingprogress.h"
#include "pairing/rhythmalignment.h"
#include "pairing/sorting.h"
#include "ui/windowmessages.h"

#include <QFileInfo>

#include <cmath>
#include <unordered_set>

namespace {

bool takesAttribute(quint8 mode, TDsAttribute a)
{
    if (mode == 2 || mode == 5)
        return a == daUnassigned || a == daGapNew;
    return a == daUnassigned || a == daStereoPair || a == daMono || a == daGapNew;
}

bool dissolves(quint8 mode)
{
    return mode == 1 || mode == 2 || mode == 4 || mode == 5;
}

void makeStereoPair(TDatensatz *left, TDatensatz *right)
{
    left->SetAttribute(daStereoPair);
    right->SetAttribute(daStereoPair);
    left->SetSide(dsLeft);
    right->SetSide(dsRight);
    LinkBothWays(left, right);
}

// Every entry of work gets its capture time moved by seconds as sort time.
void moveSortTimes(const std::vector<TDatensatz *> &work, qint64 seconds)
{
    for (TDatensatz *e : work)
        e->SetSortTime(AddSeconds(e->CaptureTime(), seconds));
}

// The whole list whose picture is the earlier of a and b is moved forward by the whole
// seconds between them; the other list keeps its capture times.
void applyOffset(const TDatensatz *a, const TDatensatz *b, const std::vector<TDatensatz *> &left,
                 const std::vector<TDatensatz *> &right)
{
    const qint64 seconds = SecondsBetween(a->CaptureTime(), b->CaptureTime());
    const bool leftLater = CompareTimes(a->CaptureTime(), b->CaptureTime()) > 0;
    moveSortTimes(leftLater ? left : right, 0);
    moveSortTimes(leftLater ? right : left, seconds);
}

std::vector<double> captureTimes(const std::vector<TDatensatz *> &work)
{
    std::vector<double> times;
    times.reserve(work.size());
    for (const TDatensatz *e : work)
        times.push_back(e->CaptureTime());
    return times;
}

} // namespace

struct TOrderingPass::Work
{
    std::vector<TDatensatz *> left, right; // LeftWork, RightWork
};

TOrderingPass::TOrderingPass(ListRowModel &left, ListRowModel &right, TOrderingProgress *progress)
    : m_left(left), m_right(right), m_progress(progress)
{
}

void TOrderingPass::step(int number, int maximum)
{
    if (m_progress)
        m_progress->StepStarted(OrderingStepText(number), maximum);
}

void TOrderingPass::row(int position)
{
    if (m_progress)
        m_progress->RowDone(position);
}

ArrangeOutcome TOrderingPass::ArrangeLists(quint8 mode)
{
    if (mode > 6)
        return ArrangeOutcome::BadMode;
    if (m_running)
        return ArrangeOutcome::Busy;
    struct Running
    {
        bool &flag;
        explicit Running(bool &f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running(m_running);
    // Row texts are signalled once per list at the end; structural changes at once.
    ListUpdateGuard leftUpdate(&m_left), rightUpdate(&m_right);

    Work work;
    step(1, m_left.Count() + m_right.Count());
    int position = 0;
    collect(m_left, mode, work.left, position);
    collect(m_right, mode, work.right, position);

    SortChronologically(work.left);
    SortChronologically(work.right);
    step(2, 0);

    const bool aligning = dissolves(mode) && m_method == PairingMethod::Alignment;
    if (dissolves(mode))
        m_report = {};
    if ((mode == 4 || mode == 5) && !aligning)
        offsetFromSelection(work);

    if (dissolves(mode)) {
        const bool found = aligning ? pairByAlignment(work, mode) : pairRun(work);
        if (!found && (mode == 1 || mode == 2)) {
            const bool bothFilled = !work.left.empty() && !work.right.empty();
            postWindowMessage(WM_ASSIGN_STEP, bothFilled ? 3 : 7, mode);
            return bothFilled ? ArrangeOutcome::NoRun : ArrangeOutcome::ListEmpty;
        }
    }

    if (mode >= 1 && mode <= 5) {
        step(4, static_cast<int>(work.left.size() + work.right.size()));
        if (aligning) {
            // Corrected times may order some pictures differently.
            SortChronologically(work.left);
            SortChronologically(work.right);
        } else if (dissolves(mode)) {
            pairByTime(work);
        }
        fillGaps(work, mode);
    }

    FinishOrdering(m_left, m_right, work.left, work.right, m_progress);
    return ArrangeOutcome::Completed;
}

// Step 1: the entries of the mode's attributes, in row order. A dissolving pass makes them
// unassigned and without partner and marks the gaps opposite them obsolete.
void TOrderingPass::collect(ListRowModel &list, quint8 mode, std::vector<TDatensatz *> &work,
                            int &position)
{
    work.reserve(list.Count());
    for (int r = 0; r < list.Count(); ++r) {
        row(++position);
        TDatensatz *e = list.EntryAt(r);
        if (!e || !takesAttribute(mode, e->Attribute()))
            continue;
        if (dissolves(mode) && IsGapAttribute(e->Attribute())) {
            // A "Gap (New)" met before its image. Dissolving it into an unassigned entry
            // would make an image without file; it goes like every gap opposite a
            // dissolved image, or stays with an image this mode leaves alone.
            TDatensatz *p = e->Partner();
            if (!p || takesAttribute(mode, p->Attribute())) {
                e->SetAttribute(daObsolete);
                e->SetPartner(nullptr); // p drops its side when it is collected
            } else {
                e->SetAttribute(daGap);
            }
            continue;
        }
        work.push_back(e);
        if (dissolves(mode)) {
            e->SetAttribute(daUnassigned);
            TDatensatz *p = e->Partner();
            if (p && IsGapAttribute(p->Attribute())) {
                p->SetAttribute(daObsolete);
                // No one-way link may outlive the pass: when it stops without a run, the
                // obsolete gap waits for the follow-up pass, and the picture could be freed
                // before that.
                if (p->Partner() == e)
                    p->SetPartner(nullptr);
            }
            e->SetPartner(nullptr);
            // The default method keeps no clock corrections; the alignment sets its own.
            e->SetClockCorrection(0);
        }
        e->SetSortTime(e->CaptureTime());
    }
}

// Step 3 of modes 4 and 5: the offset between the pictures of the selected rows.
void TOrderingPass::offsetFromSelection(Work &work)
{
    const TDatensatz *a = m_left.SelectedEntry();
    const TDatensatz *b = m_right.SelectedEntry();
    if (a && b)
        applyOffset(a, b, work.left, work.right);
}

// The first run of shot intervals that agree in both lists: its pictures become stereo
// pairs and its first pair gives the clock offset. False when there is none.
bool TOrderingPass::pairRun(Work &work)
{
    const std::vector<qint64> leftGaps = IntervalsBetween(captureTimes(work.left));
    const std::vector<qint64> rightGaps = IntervalsBetween(captureTimes(work.right));
    step(3, static_cast<int>(leftGaps.size()));
    IntervalRunSearch search(leftGaps, rightGaps);
    const std::optional<IntervalRun> run = search.firstRun([this](int l0) { row(l0); });
    if (!run)
        return false;
    for (int l = run->leftStart, k = run->rightStart; l <= run->leftEnd && k <= run->rightEnd;
         ++l, ++k)
        makeStereoPair(work.left[l], work.right[k]);
    // The run's offset replaces one taken from a selected pair: applying both would shift
    // the lists by their difference, which neither measured.
    applyOffset(work.left[run->leftStart], work.right[run->rightStart], work.left, work.right);
    return true;
}

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

int indexIn(const std::vector<TDatensatz *> &work, const TDatensatz *e)
{
    for (size_t i = 0; i < work.size(); ++i)
        if (work[i] == e)
            return static_cast<int>(i);
    return -1;
}

} // namespace

// Steps 4 and 6 by the rhythm alignment: every pair it finds becomes a stereo pair with its
// probability, every work entry takes its clock correction. Pairs kept by mode 2 or 5 serve
// as extra anchors; in modes 4 and 5 the selected pair is a forced anchor. False when the
// alignment found no usable rhythm (nothing paired).
bool TOrderingPass::pairByAlignment(Work &work, quint8 mode)
{
    step(3, 1);
    RhythmInput input;
    for (const TDatensatz *e : work.left)
        input.left.push_back(pictureOf(e));
    for (const TDatensatz *e : work.right)
        input.right.push_back(pictureOf(e));
    const std::unordered_set<const TDatensatz *> inWork(work.left.begin(), work.left.end());
    for (int r = 0; r < m_left.Count(); ++r) {
        const TDatensatz *e = m_left.EntryAt(r);
        if (e && e->Attribute() == daStereoPair && e->Partner() && !inWork.contains(e)) {
            const RhythmPicture l = pictureOf(e), rt = pictureOf(e->Partner());
            if (l.hasTime && rt.hasTime)
                input.keptPairs.push_back({l.seconds, rt.seconds});
        }
    }
    if (mode == 4 || mode == 5) {
        const int l = indexIn(work.left, m_left.SelectedEntry());
        const int r = indexIn(work.right, m_right.SelectedEntry());
        if (l >= 0 && r >= 0)
            input.userPair = std::pair{l, r};
    }
    const RhythmResult result = AlignByRhythm(input);
    row(1);
    if (result.gated)
        return false;

    for (size_t i = 0; i < work.left.size(); ++i)
        work.left[i]->SetClockCorrection(result.leftCorrection[i]);
    for (size_t i = 0; i < work.right.size(); ++i)
        work.right[i]->SetClockCorrection(result.rightCorrection[i]);
    m_report.aligned = true;
    for (const RhythmPair &p : result.pairs) {
        makeStereoPair(work.left[p.left], work.right[p.right]);
        work.left[p.left]->SetPairConfidence(p.confidence);
        work.right[p.right]->SetPairConfidence(p.confidence);
        ++m_report.pairs;
        m_report.doubtful += p.confidence < kDoubtfulPairBelow;
    }
    // A drift worth telling: a second a day or more.
    if (std::fabs(result.drift) * 86400 >= 1)
        m_report.clockFindings << QStringLiteral("Right camera: clock %1 a day against the left")
                                      .arg(FormatClockChange(result.drift * 86400));
    for (size_t s = 1; s < result.stretches.size(); ++s) {
        const RhythmStretch &st = result.stretches[s];
        const bool right = st.changedCamera == RhythmCamera::Right;
        const std::vector<TDatensatz *> &side = right ? work.right : work.left;
        if (st.firstChanged < 0 || st.firstChanged >= static_cast<int>(side.size()))
            continue;
        m_report.clockFindings
            << QStringLiteral("%1 camera: clock %2 from %3")
                   .arg(right ? QStringLiteral("Right") : QStringLiteral("Left"),
                        FormatClockChange(st.change),
                        QFileInfo(side[st.firstChanged]->SourcePath()).completeBaseName());
    }
    return true;
}

// Step 6: each unassigned left picture, in order, takes the earliest unassigned right
// picture within 2 seconds of its sort time.
void TOrderingPass::pairByTime(Work &work)
{
    std::vector<double> leftTimes, rightTimes;
    std::vector<bool> leftFree, rightFree;
    for (const TDatensatz *e : work.left) {
        leftTimes.push_back(e->SortTime());
        leftFree.push_back(e->Attribute() == daUnassigned);
    }
    for (const TDatensatz *e : work.right) {
        rightTimes.push_back(e->SortTime());
        rightFree.push_back(e->Attribute() == daUnassigned);
    }
    const std::vector<int> partner =
        PairByTime(leftTimes, leftFree, rightTimes, rightFree, [this](int k) { row(k); });
    for (size_t k = 0; k < partner.size(); ++k)
        if (partner[k] >= 0)
            makeStereoPair(work.left[k], work.right[partner[k]]);
}

// Step 7: a new gap opposite every work entry without partner. Walking position k of both
// work lists, an entry without partner gets a gap inserted at k in the other work list
// (appended when that list is shorter). The lists are rebuilt front to back instead of
// inserting in the middle: out holds positions 0..k, the rest still waits in the input.
void TOrderingPass::fillGaps(Work &work, quint8 mode)
{
    struct Sequence
    {
        std::vector<TDatensatz *> out;
        const std::vector<TDatensatz *> &in;
        size_t next = 0;
        size_t size() const { return out.size() + (in.size() - next); }
        TDatensatz *at(size_t k) const
        {
            return k < out.size() ? out[k] : in[next + (k - out.size())];
        }
        // Every position below k is in out, so inserting at k (or appending to a shorter
        // list) is a push onto out.
        void insertAt(TDatensatz *e) { out.push_back(e); }
        // Position k is done: make sure it is in out.
        void advancePast(size_t k)
        {
            if (out.size() == k && next < in.size())
                out.push_back(in[next++]);
        }
        std::vector<TDatensatz *> take()
        {
            out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(next), in.end());
            return std::move(out);
        }
    };
    Sequence left{{}, work.left}, right{{}, work.right};
    left.out.reserve(work.left.size() + work.right.size());
    right.out.reserve(work.left.size() + work.right.size());
    const TDsAttribute single = mode == 3 ? daUnpaired : daMono;

    auto opposite = [&](TDatensatz *image, ListRowModel &gapList, Sequence &gapWork) {
        TDatensatz *gap = CreateGap(gapList);
        gap->SetGapTime(image->CaptureTime());
        gap->SetSortTime(image->SortTime());
        gapWork.insertAt(gap);
        image->SetAttribute(single);
        image->SetSide(dsMono);
        LinkBothWays(image, gap);
    };

    size_t k = 0;
    while (k < qMax(left.size(), right.size())) {
        row(static_cast<int>(k));
        if (k < left.size() && !left.at(k)->Partner()) {
            opposite(left.at(k), m_right, right);
        } else if (k < right.size() && !right.at(k)->Partner()) {
            opposite(right.at(k), m_left, left);
        } else {
            left.advancePast(k);
            right.advancePast(k);
            ++k;
        }
    }
    work.left = left.take();
    work.right = right.take();
}
