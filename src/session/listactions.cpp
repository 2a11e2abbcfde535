#include "session/listactions.h"
#include "entries/entrystore.h"

#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "pairing/ordering.h"
#include "pairing/sorting.h"
#include "session/mainstate.h"
#include "session/sortaction.h"

#include <algorithm>

namespace {

// Sets a panel bit for its lifetime and clears it again, also when an error interrupts the
// work in between.
class PanelBit
{
public:
    PanelBit(TMainWindowState &state, quint8 bit)
        : m_state(state), m_bit(bit), m_wasSet(state.PanelFlags & bit)
    {
        m_state.PanelFlags |= m_bit;
    }
    ~PanelBit()
    {
        if (!m_wasSet)
            m_state.PanelFlags &= static_cast<quint8>(~m_bit);
    }
    PanelBit(const PanelBit &) = delete;
    PanelBit &operator=(const PanelBit &) = delete;

private:
    TMainWindowState &m_state;
    quint8 m_bit;
    bool m_wasSet;
};

} // namespace

TListActions::TListActions(TOrderingPass &pass, TMainWindowState &state)
    : m_pass(pass), m_state(state)
{
}

ListRowModel &TListActions::Left() const
{
    return m_pass.Left();
}

ListRowModel &TListActions::Right() const
{
    return m_pass.Right();
}

void TListActions::SaveSelection(ListRowModel &list)
{
    for (int r = 0; r < list.Count(); ++r)
        if (TDatensatz *e = list.EntryAt(r))
            e->SetSavedSelected(list.IsSelected(r));
}

void TListActions::RestoreSelection(ListRowModel &list)
{
    ListUpdateGuard update(&list);
    for (int r = 0; r < list.Count(); ++r)
        if (const TDatensatz *e = list.EntryAt(r))
            list.SetSelected(r, e->SavedSelected());
}

TActionOutcome TListActions::RunListAction(ListRowModel &list, int code)
{
    TActionOutcome outcome;
    TBusyBit busy(&m_state, bfListActions);
    SaveSelection(Left());
    SaveSelection(Right());
    const TSelectActionResult result = RunSelectAction(list, code);
    // Rows that changed before an error stopped the action are aligned again as well, so
    // that the lists never stay in a half-built state.
    if (result.RowsChanged) {
        if (code == saMarkStereoPairs)
            ArrangeWindowLists(m_pass, &m_state, OrderingMode::SortOnly);
        ActionSortExecute(m_pass, &m_state);
        outcome.Beep = SelectEntry(m_pass.Left().Store().Registry, m_state.LastEntry,
                                   m_state.PanelFlags == 0) == SelectEntryResult::Gone;
    }
    RestoreSelection(Left());
    RestoreSelection(Right());
    outcome.Error = result.Error;
    return outcome;
}

QString TListActions::EditSelected(ListRowModel &list, int code)
{
    return RunSelectAction(list, code).Error;
}

QString TListActions::RemoveFromList(ListRowModel &list, TImageList *images)
{
    const bool isLeft = &list == &Left();
    PanelBit deleting(m_state, isLeft ? pfLeftDelete : pfRightDelete);
    ListRowModel &other = isLeft ? Right() : Left();

    const TDatensatz *selected = list.SelectedEntry();
    const TDatensatz *partner = selected ? selected->Partner() : nullptr;
    int partnerRow = partner ? partner->RowIndex() : -1;
    int ownRow = selected ? selected->RowIndex() : -1;

    const TSelectActionResult result = RunSelectAction(list, saDeleteEntryPair);
    if (result.RowsChanged) {
        partnerRow = std::min(partnerRow, other.Count() - 1);
        ownRow = std::min(ownRow, list.Count() - 1);
        other.SetItemIndex(partnerRow);
        list.SetItemIndex(ownRow);
        if (images)
            ClearThumbnails(m_pass.Left().Store(), *images);
        if (!isLeft) {
            ScrollRowIntoPlace(other.SelectedEntry(), -1);
            ScrollRowIntoPlace(list.SelectedEntry(), -1);
        }
    }
    return result.Error;
}

void TListActions::FollowTopRow(ListRowModel &scrolled)
{
    if (m_following || (m_state.PanelFlags & (pfSynchronOff | pfPairDialogOpen)) != 0)
        return;
    ListRowModel *other = scrolled.OtherList();
    if (!other)
        return;
    m_following = true;
    other->SetTopRow(scrolled.TopRow());
    m_following = false;
}

void TListActions::SelectAllRows(ListRowModel &list)
{
    TBusyBit busy(&m_state, bfSelectionButtons);
    list.SelectAll();
    if (m_state.PanelFlags == 0 && list.OtherList())
        list.OtherList()->SelectAll();
}

void TListActions::SelectByButton(int mode)
{
    TBusyBit busy(&m_state, bfSelectionButtons);
    for (ListRowModel *list : {&Left(), &Right()}) {
        list->ClearSelection();
        list->SetItemIndex(-1);
    }
    SelectByAttribute(Left(), mode);
    SelectByAttribute(Right(), mode);
    // The first row selected in either list comes into sight in both (rows of the two lists
    // belong together); a row already in sight leaves the lists where they are.
    int first = -1;
    for (const ListRowModel *list : {&Left(), &Right()}) {
        const int row = list->ItemIndex();
        if (row >= 0 && (first < 0 || row < first))
            first = row;
    }
    if (first < 0)
        return;
    for (ListRowModel *list : {&Left(), &Right()}) {
        const int top = list->TopRow();
        const int visible = list->VisibleRowCount();
        if (first < top || (visible > 0 && first >= top + visible))
            list->SetTopRow(std::max(0, first - 1));
    }
}

TDatensatz *TListActions::findFrom(ListRowModel &list, int attribute, bool fromBeginning,
                                   bool backward) const
{
    const int step = backward ? -1 : 1;
    int row;
    if (fromBeginning)
        row = backward ? list.Count() - 1 : 0;
    else
        row = list.ItemIndex() + step;
    for (; row >= 0 && row < list.Count(); row += step) {
        TDatensatz *e = list.EntryAt(row);
        if (e && e->Attribute() == attribute)
            return e;
    }
    return nullptr;
}

void TListActions::alignPartnerScroll(const TDatensatz *entry) const
{
    if (m_state.PanelFlags != 0 || !entry || !entry->Partner() || !entry->List())
        return;
    ScrollRowIntoPlace(entry->Partner(), entry->List()->TopRow() - entry->RowIndex());
}

bool TListActions::GoNext(ListRowModel &list, int attribute, bool fromBeginning, bool backward)
{
    TDatensatz *found = findFrom(list, attribute, fromBeginning, backward);
    if (!found)
        return false;
    SelectEntry(m_pass.Left().Store().Registry, found, false);
    alignPartnerScroll(found);
    return true;
}

TSearchUnassignedResult TListActions::SearchUnassigned()
{
    PanelBit searching(m_state, pfSearchUnassigned);
    TSearchUnassignedResult result;
    result.Left = GoNext(Left(), srUnassigned, true, false);
    result.Right = GoNext(Right(), srUnassigned, true, false);
    return result;
}
