#include "session/sortaction.h"
#include "entries/entrystore.h"

#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "session/mainstate.h"

ArrangeOutcome ArrangeWindowLists(TOrderingPass &pass, TMainWindowState *state, OrderingMode mode)
{
    TBusyBit busy(state, bfOrdering);
    const ArrangeOutcome outcome = pass.ArrangeLists(mode);
    if (state && state->PairCheck && outcome == ArrangeOutcome::Completed)
        state->PairCheck(pass.Left(), pass.Right(), mode);
    if (state && state->AssignStepNeeded) {
        if (outcome == ArrangeOutcome::NoRun)
            state->AssignStepNeeded(TAssignStep::NoRun, mode);
        else if (outcome == ArrangeOutcome::ListEmpty)
            state->AssignStepNeeded(TAssignStep::NoRunEmptyList, mode);
    }
    return outcome;
}

void ActionSortExecute(TOrderingPass &pass, TMainWindowState *state)
{
    ListRowModel &left = pass.Left();
    ListRowModel &right = pass.Right();
    TDatensatz *selectedLeft = left.SelectedEntry();
    TDatensatz *selectedRight = right.SelectedEntry();

    ArrangeWindowLists(pass, state, OrderingMode::SortOnly);

    if (selectedLeft)
        left.SetItemIndex(-1);
    if (selectedRight)
        right.SetItemIndex(-1);

    TBusyBit busy(state, bfOrdering);
    // The pass deletes obsolete gaps: a remembered entry may be gone.
    for (TDatensatz *e : {selectedLeft, selectedRight}) {
        if (!e || !left.Store().Registry.Contains(e) || !e->List())
            continue;
        e->List()->SetSelected(e->RowIndex(), true);
        ScrollRowIntoPlace(e, -1);
    }
}
