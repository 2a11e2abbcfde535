#include "session/paireditor.h"
#include "entries/entrystore.h"
#include "ui/markup.h"

#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "pairing/sorting.h"
#include "session/assignstep.h"
#include "session/mainstate.h"
#include "session/sortaction.h"

#include <algorithm>

namespace {

bool isImage(const TDatensatz *e)
{
    return e && !IsGapAttribute(e->Attribute());
}

// A gap in the sense of "Connect": attribute 4 or 6.
bool isPlainGap(const TDatensatz *e)
{
    return e && (e->Attribute() == daGapNew || e->Attribute() == daGap);
}

void saveSelection(ListRowModel &list)
{
    for (int r = 0; r < list.Count(); ++r)
        if (TDatensatz *e = list.EntryAt(r))
            e->SetSavedSelected(list.IsSelected(r));
}

void restoreSelection(ListRowModel &list)
{
    ListUpdateGuard update(&list);
    for (int r = 0; r < list.Count(); ++r)
        if (TDatensatz *e = list.EntryAt(r))
            list.SetSelected(r, e->SavedSelected());
}

// A new gap in list standing for the time of image.
TDatensatz *gapFor(ListRowModel &list, const TDatensatz *image)
{
    TDatensatz *gap = CreateGap(list);
    gap->SetGapTime(image->CaptureTime());
    gap->SetSortTime(image->SortTime());
    return gap;
}

void deleteRowOf(TDatensatz *e)
{
    if (ListRowModel *list = e->List())
        list->DeleteRow(e->RowIndex());
}

} // namespace

QString NoAssignmentHintText()
{
    return QStringLiteral(
        "<FB><c4><FS12>Hint:<FN> <LF><FB>No list entries could get assigned automatically.<FN> "
        "<LF> <LF>- <T1>Both lists need to contain images.<LF>- <T1>Please add additional "
        "files<LF>- <T1>you might need to remove existing assignments on entries <LF><T1>which "
        "were <FB><c5>marked as Unassigned<FN>.");
}

QString CombinationsQuestion(qint64 images, qint64 pairs)
{
    return QString::asprintf("Create all combinations of the %lld selected images?\r\nThis will "
                             "create %lld stereo pairs.",
                             static_cast<long long>(images), static_cast<long long>(pairs));
}

TPairEditing::TPairEditing(TOrderingPass &pass, TMainWindowState &state)
    : m_pass(pass), m_state(state)
{
}

ArrangeOutcome TPairEditing::ActionSortAllExecute(bool allEntries)
{
    return ArrangeWindowLists(m_pass, &m_state,
                              allEntries ? OrderingMode::AssignAll : OrderingMode::AssignUnpaired);
}

TAssignStepAction TPairEditing::HandleAssignStep(TAssignStep step, OrderingMode mode)
{
    switch (step) {
    case TAssignStep::NoRun:
        OpenPairPrompt(mode);
        return TAssignStepAction::ShowPairDialog;
    case TAssignStep::Next:
        AssignFromSelectedPair(mode);
        return TAssignStepAction::HidePairDialog;
    case TAssignStep::PromptHidden:
        ClosePairPrompt();
        return TAssignStepAction::PairDialogClosed;
    case TAssignStep::NoRunEmptyList:
        RestoreAfterEmptyList();
        return TAssignStepAction::ShowNoAssignmentHint;
    }
    return TAssignStepAction::None;
}

void TPairEditing::OpenPairPrompt(OrderingMode mode)
{
    ArrangeWindowLists(m_pass, &m_state, OrderingMode::MarkUnassigned);
    m_state.PanelFlags |= pfPairDialogOpen;
    m_state.EditAreaEnabled = false;
    m_state.PairDialogMode = mode;
}

void TPairEditing::AssignFromSelectedPair(OrderingMode mode)
{
    ArrangeWindowLists(m_pass, &m_state,
                       KeepsPairs(mode) ? OrderingMode::AssignUnpairedFromSelection
                                        : OrderingMode::AssignAllFromSelection);
}

void TPairEditing::ClosePairPrompt()
{
    ArrangeWindowLists(m_pass, &m_state, OrderingMode::AfterPrompt);
    m_state.PanelFlags &= static_cast<quint8>(~pfPairDialogOpen);
    m_state.EditAreaEnabled = true;
}

void TPairEditing::RestoreAfterEmptyList()
{
    ArrangeWindowLists(m_pass, &m_state, OrderingMode::MarkUnassigned);
}

bool TPairEditing::LinkButtonEnabled(const TDatensatz *a, const TDatensatz *b, bool linkMode,
                                     bool editAreaEnabled)
{
    if (!a || !b || !editAreaEnabled)
        return false;
    if (!isImage(a) && !isImage(b))
        return false;
    if (isImage(a) && !isImage(b))
        return false;
    if (linkMode && !isImage(a) && isImage(b))
        return false;
    return true;
}

void TPairEditing::RefreshLinkButton()
{
    const TDatensatz *a = m_pass.Left().SelectedEntry();
    const TDatensatz *b = m_pass.Right().SelectedEntry();
    m_state.LinkMode = a && b && a->Partner() == b;
    m_state.LinkEnabled = LinkButtonEnabled(a, b, m_state.LinkMode, m_state.EditAreaEnabled);
}

QString TPairEditing::StereoLinkRefusal(const TDatensatz *a, const TDatensatz *b)
{
    for (const TDatensatz *e : {a, b}) {
        if (e && e->IsStereoView())
            return QStringLiteral(
                       "The two views of a stereo file (%1) are one exposure: they stay one pair "
                       "and cannot be split or connected with other pictures.")
                .arg(MarkupLiteral(PathFileName(e->SourcePath())));
    }
    return QString();
}

bool TPairEditing::PanelLinkClick()
{
    m_linkRefusal.clear();
    // Take the button's state from the current selection, as the last refresh of the edit
    // panels did, so a stale toggle cannot "connect" a pair with itself.
    RefreshLinkButton();
    if (!m_state.LinkEnabled)
        return false;
    ListRowModel &left = m_pass.Left();
    ListRowModel &right = m_pass.Right();
    TDatensatz *a = left.SelectedEntry();
    TDatensatz *b = right.SelectedEntry();
    m_linkRefusal = StereoLinkRefusal(a, b);
    if (!m_linkRefusal.isEmpty())
        return false;
    m_state.LinkMode = !m_state.LinkMode;
    const bool connect = m_state.LinkMode;

    // Release the old partners.
    TDatensatz *oa = a ? a->Partner() : nullptr;
    TDatensatz *ob = b ? b->Partner() : nullptr;
    for (TDatensatz *o : {oa, ob}) {
        if (o && !isPlainGap(o)) {
            o->SetAttribute(daUnassigned);
            o->SetSide(dsMono);
        }
    }
    if (oa)
        oa->SetPartner(nullptr);
    if (ob)
        ob->SetPartner(nullptr);

    if (connect && a && b) {
        LinkBothWays(a, b);
        if (isPlainGap(a))
            b->SetAttribute(daMono);
        if (isPlainGap(b))
            a->SetAttribute(daMono);
        if (!isPlainGap(a) && !isPlainGap(b)) {
            a->SetAttribute(daStereoPair);
            b->SetAttribute(daStereoPair);
        }
        a->SetSide(a->Attribute() == daStereoPair ? dsLeft : dsMono);
        b->SetSide(b->Attribute() == daStereoPair ? dsRight : dsMono);
    }

    // Repair the rows the old partners leave behind.
    const bool done = oa && ob;
    if (done) {
        const bool loneA = oa->IsLoneGap(), loneB = ob->IsLoneGap();
        if (loneA && loneB) {
            deleteRowOf(ob); // left list
            deleteRowOf(oa); // right list
        } else if (!loneA && !loneB) {
            LinkBothWays(gapFor(right, b), ob);
            LinkBothWays(gapFor(left, a), oa);
        } else {
            LinkBothWays(oa, ob);
        }
    }

    if (done) {
        left.ClearSelection();
        right.ClearSelection();
        TBusyBit busy(&m_state, bfConnect);
        ArrangeWindowLists(m_pass, &m_state, OrderingMode::SortOnly);
        for (TDatensatz *e : {a, b}) {
            if (!m_pass.Left().Store().Registry.Contains(e) || !e->List())
                continue;
            e->List()->SetSelected(e->RowIndex(), true);
            ScrollRowIntoPlace(e, -1);
        }
    }
    RefreshLinkButton();
    return done;
}

TActionOutcome TPairEditing::ButtonKombiClick(const std::function<bool(const QString &)> &confirm)
{
    ListRowModel &left = m_pass.Left();
    ListRowModel &right = m_pass.Right();
    saveSelection(left);
    saveSelection(right);
    TBusyBit busy(&m_state, bfCombinations);

    std::vector<TDatensatz *> images;
    for (ListRowModel *list : {&left, &right}) {
        const TSelectActionResult result = RunSelectAction(*list, saCollect, &images);
        if (result.Failed())
            return {result.Error, false};
    }
    images.erase(std::remove_if(images.begin(), images.end(),
                                [](const TDatensatz *e) {
                                    const TDsAttribute a = e->Attribute();
                                    return a != daUnassigned && a != daStereoPair && a != daMono;
                                }),
                 images.end());
    const qint64 n = static_cast<qint64>(images.size());
    if (n == 0)
        return {};
    if (n >= 5 && !(confirm && confirm(CombinationsQuestion(n, n * (n - 1) / 2))))
        return {};

    const qint32 start = m_pass.Left().Store().Naming.StartNumber;
    for (qint64 i = 0; i + 1 < n; ++i) {
        for (qint64 j = i + 1; j < n; ++j) {
            // Numbered like a loaded file: start number + rows before the new one - 1.
            const qint32 leftNumber = start + left.Count() - 1;
            TDatensatz *l =
                TDatensatz::CreateCopy(left.AppendRow(), *images[i], dsLeft, leftNumber);
            const qint32 rightNumber = start + right.Count() - 1;
            TDatensatz *r =
                TDatensatz::CreateCopy(right.AppendRow(), *images[j], dsRight, rightNumber);
            LinkBothWays(l, r);
            l->SetAttribute(daStereoPair);
            r->SetAttribute(daStereoPair);
            if (m_state.LastEntry == images[i])
                m_state.LastEntry = l;
            else if (m_state.LastEntry == images[j])
                m_state.LastEntry = r;
        }
    }
    for (auto it = images.rbegin(); it != images.rend(); ++it)
        if (m_pass.Left().Store().Registry.Contains(*it))
            DeleteEntryPair(*it);

    ActionSortExecute(m_pass, &m_state);
    TActionOutcome outcome;
    outcome.Beep = SelectEntry(m_pass.Left().Store().Registry, m_state.LastEntry,
                               !(m_state.PanelFlags & pfSynchronOff)) == SelectEntryResult::Gone;
    restoreSelection(left);
    restoreSelection(right);
    return outcome;
}

void TPairEditing::partnerSelectionNeeded(int row, TDatensatz *entry)
{
    if (m_state.PartnerSelectionNeeded)
        m_state.PartnerSelectionNeeded(row, entry);
}

bool TPairEditing::RequestPartnerSelection(ListRowModel &list, int row)
{
    if (m_state.PanelFlags != 0)
        return false;
    TDatensatz *e = list.EntryAt(row);
    if (!e)
        return false;
    partnerSelectionNeeded(row, e);
    if (ListRowModel *other = list.OtherList())
        other->ClearSelection();
    return true;
}

TPartnerSelection TPairEditing::SelectPartner(TDatensatz *entry)
{
    TPartnerSelection dirty;
    TBusyBit busy(&m_state, bfPartnerSelection);
    if (!entry || !m_pass.Left().Store().Registry.Contains(entry))
        return dirty;
    TDatensatz *partner = entry->Partner();
    if (!partner)
        return dirty;
    // The selected entry of the left list has its partner selected in the right list; any
    // other entry (one of the right list, or a left one that is no longer the first
    // selected row) has its partner's row selected in the left list.
    const bool leftSelected = entry == m_pass.Left().SelectedEntry();
    ListRowModel &list = leftSelected ? m_pass.Right() : m_pass.Left();
    list.ClearSelection();
    list.SetItemIndex(std::min(partner->RowIndex(), list.Count() - 1));
    if (leftSelected)
        dirty.RightDirty = true;
    else
        dirty.LeftDirty = true;
    return dirty;
}

void TPairEditing::CheckBoxSynchronClick(bool checked)
{
    if (checked)
        m_state.PanelFlags &= static_cast<quint8>(~pfSynchronOff);
    else
        m_state.PanelFlags |= pfSynchronOff;
    if (m_state.PanelFlags != 0)
        return;
    ListRowModel &left = m_pass.Left();
    ListRowModel &right = m_pass.Right();
    TDatensatz *last =
        m_pass.Left().Store().Registry.Contains(m_state.LastEntry) ? m_state.LastEntry : nullptr;
    if (last && last == left.SelectedEntry()) {
        partnerSelectionNeeded(last->RowIndex(), last);
        right.ClearSelection();
    } else {
        if (TDatensatz *e = right.SelectedEntry())
            partnerSelectionNeeded(e->RowIndex(), e);
        left.ClearSelection();
    }
}

TPartnerSelection TPairEditing::SelectCurrentPair()
{
    TPartnerSelection dirty;
    if (m_state.PanelFlags != 0)
        return dirty;
    ListRowModel &left = m_pass.Left();
    ListRowModel &right = m_pass.Right();
    TDatensatz *entry =
        m_pass.Left().Store().Registry.Contains(m_state.LastEntry) ? m_state.LastEntry : nullptr;
    if (!entry || !entry->List() || !entry->List()->IsSelected(entry->RowIndex()))
        entry = left.SelectedEntry() ? left.SelectedEntry() : right.SelectedEntry();
    if (!entry || !entry->List())
        return dirty;
    TDatensatz *partner = entry->Partner();
    ListRowModel *other = partner ? partner->List() : nullptr;
    // A counterpart already shown (the first selected row of the other list) leaves a
    // selection of several rows as it is.
    if (!other || other == entry->List() || other->SelectedEntry() == partner)
        return dirty;
    TBusyBit busy(&m_state, bfPartnerSelection);
    {
        ListUpdateGuard update(other);
        other->ClearSelection();
        other->SetItemIndex(partner->RowIndex());
    }
    ScrollRowIntoPlace(entry, -1);
    ScrollRowIntoPlace(partner, -1);
    dirty.LeftDirty = dirty.RightDirty = true;
    return dirty;
}
