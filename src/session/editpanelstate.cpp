#include "session/editpanelstate.h"

#include "entries/datensatz.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"

TEditPanelState EditPanelState(const ListRowModel &list, bool editAreaEnabled)
{
    TEditPanelState state;
    const bool hasSelection = list.ItemIndex() >= 0;
    state.SideControlsEnabled = hasSelection && editAreaEnabled;
    const TDatensatz *e = list.SelectedEntry();
    if (!e) {
        state.ExcludeEnabled = state.SideControlsEnabled;
        return state;
    }
    state.HasEntry = true;
    state.ExcludeChecked = !e->Batch();
    // A single selected gap has no batch job to be excluded from.
    const bool plainGap = e->Attribute() == daGapNew || e->Attribute() == daGap;
    state.ExcludeEnabled = editAreaEnabled && (list.SelectedCount() != 1 || !plainGap);
    state.Invert = e->Invert();
    state.Rotation = e->Rotation() >= 0 && e->Rotation() <= 3 ? e->Rotation() : 0;
    state.Mirror = e->Mirror();
    return state;
}

void AlignPartnerScroll(const ListRowModel &list, quint8 panelFlags)
{
    const TDatensatz *e = list.SelectedEntry();
    if (panelFlags != 0 || !e || !e->Partner())
        return;
    const int row = e->RowIndex();
    if (row < 0 || list.FocusedRow() != row)
        return;
    ScrollRowIntoPlace(e->Partner(), list.TopRow() - row);
}
