#include "session/sortaction.h"

#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "session/mainstate.h"

ArrangeOutcome ArrangeWindowLists(TOrderingPass &pass, TMainWindowState *state, quint8 mode)
{
    TBusyBit busy(state, bfOrdering);
    return pass.ArrangeLists(mode);
}

void ActionSortExecute(TOrderingPass &pass, TMainWindowState *state)
{
    ListRowModel &left = pass.Left();
    ListRowModel &right = pass.Right();
    TDatensatz *selectedLeft = left.SelectedEntry();
    TDatensatz *selectedRight = right.SelectedEntry();

    ArrangeWindowLists(pass, state, 0);

    if (selectedLeft)
        left.SetItemIndex(-1);
    if (selectedRight)
        right.SetItemIndex(-1);

    TBusyBit busy(state, bfOrdering);
    // The pass deletes obsolete gaps: a remembered entry may be gone.
    for (TDatensatz *e : {selectedLeft, selectedRight}) {
        if (!e || !DatensatzList().Contains(e) || !e->List())
            continue;
        e->List()->SetSelected(e->RowIndex(), true);
        ScrollRowIntoPlace(e, -1);
    }
}
