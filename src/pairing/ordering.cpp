#include "pairing/ordering.h"

#include "entries/datensatz.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "pairing/orderingprogress.h"
#include "pairing/pairingmethod.h"
#include "pairing/sorting.h"

#include <unordered_set>

namespace {

bool takesAttribute(OrderingMode mode, TDsAttribute a)
{
    if (KeepsPairs(mode))
        return a == daUnassigned || a == daGapNew;
    return a == daUnassigned || a == daStereoPair || a == daMono || a == daGapNew;
}

// The stereo pairs of the left list that the pass leaves alone.
using KeptPairs = std::vector<std::pair<const TDatensatz *, const TDatensatz *>>;

KeptPairs keptPairs(const ListRowModel &left, const std::vector<TDatensatz *> &work)
{
    KeptPairs kept;
    const std::unordered_set<const TDatensatz *> inWork(work.begin(), work.end());
    for (int r = 0; r < left.Count(); ++r) {
        const TDatensatz *e = left.EntryAt(r);
        // A stereo file's two views are one exposure: they say nothing about the clocks.
        if (e && e->Attribute() == daStereoPair && e->Partner() && !inWork.contains(e) &&
            !e->IsStereoView())
            kept.emplace_back(e, e->Partner());
    }
    return kept;
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

ArrangeOutcome TOrderingPass::ArrangeLists(OrderingMode mode)
{
    if (quint8(mode) > quint8(OrderingMode::AfterPrompt))
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
    const int stereoViews =
        collect(m_left, mode, work.left, position) + collect(m_right, mode, work.right, position);

    SortChronologically(work.left);
    SortChronologically(work.right);
    step(2, 0);

    if (IsAssigningMode(mode)) {
        m_report = {};
        const bool selects = TakesOffsetFromSelection(mode);
        TPairingWork pairing{
            .left = work.left,
            .right = work.right,
            .report = m_report,
            .mode = mode,
            .selectedLeft = selects ? m_left.SelectedEntry() : nullptr,
            .selectedRight = selects ? m_right.SelectedEntry() : nullptr,
            .keptPairs = KeepsPairs(mode) ? keptPairs(m_left, work.left) : KeptPairs{},
            .step = [this](int number, int maximum) { step(number, maximum); },
            .row = [this](int at) { row(at); },
            .content = m_content,
        };
        const std::unique_ptr<TPairingMethod> method = MakePairingMethod(m_method);
        if (!method->FindClock(pairing) && !TakesOffsetFromSelection(mode)) {
            const bool bothFilled = !work.left.empty() && !work.right.empty();
            return bothFilled ? ArrangeOutcome::NoRun : ArrangeOutcome::ListEmpty;
        }
        step(4, static_cast<int>(work.left.size() + work.right.size()));
        method->PairRest(pairing);
    } else if (mode == OrderingMode::MarkUnassigned) {
        step(4, static_cast<int>(work.left.size() + work.right.size()));
    }
    if (IsAssigningMode(mode) || mode == OrderingMode::MarkUnassigned)
        fillGaps(work, mode);

    FinishOrdering(m_left, m_right, work.left, work.right, m_progress);
    if (stereoViews > 0) {
        // The stereo files' pairs kept their rows while the rest was paired around them;
        // they take their places by capture time among the new pairs.
        Work all;
        position = 0;
        collect(m_left, OrderingMode::SortOnly, all.left, position);
        collect(m_right, OrderingMode::SortOnly, all.right, position);
        SortChronologically(all.left);
        SortChronologically(all.right);
        FinishOrdering(m_left, m_right, all.left, all.right, m_progress);
    }
    return ArrangeOutcome::Completed;
}

// Step 1: the entries of the mode's attributes, in row order. A dissolving pass makes them
// unassigned and without partner and marks the gaps opposite them obsolete; it leaves the
// two views of a stereo file alone, a pair that no pass dissolves.
int TOrderingPass::collect(ListRowModel &list, OrderingMode mode, std::vector<TDatensatz *> &work,
                           int &position)
{
    int stereoViews = 0;
    work.reserve(list.Count());
    for (int r = 0; r < list.Count(); ++r) {
        row(++position);
        TDatensatz *e = list.EntryAt(r);
        if (!e || !takesAttribute(mode, e->Attribute()))
            continue;
        if (IsAssigningMode(mode) && e->IsStereoView() && e->Partner()) {
            ++stereoViews;
            continue;
        }
        if (IsAssigningMode(mode) && IsGapAttribute(e->Attribute())) {
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
        if (IsAssigningMode(mode)) {
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
    return stereoViews;
}

// Step 7: a new gap opposite every work entry without partner. Walking position k of both
// work lists, an entry without partner gets a gap inserted at k in the other work list
// (appended when that list is shorter). The lists are rebuilt front to back instead of
// inserting in the middle: out holds positions 0..k, the rest still waits in the input.
void TOrderingPass::fillGaps(Work &work, OrderingMode mode)
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
    const TDsAttribute single = mode == OrderingMode::MarkUnassigned ? daUnpaired : daMono;

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
