#pragma once
// How the window runs ordering passes over its lists: with the ordering busy bit set, so
// that the selection handlers ignore the rows the pass moves while it lets events through.
#include "pairing/ordering.h"

#include <QtGlobal>

struct TMainWindowState;

// ArrangeLists(mode) with bfOrdering set in state for as long as the pass runs (and the
// state's PairCheck after it, while still busy); a pass that completed is handed to state's
// PairCheck, one that found no run to its AssignStepNeeded.
ArrangeOutcome ArrangeWindowLists(TOrderingPass &pass, TMainWindowState *state, OrderingMode mode);

// "Chronological ordering of stereo lists": an ordering pass sorting only that keeps the
// selected entry of each list selected (and scrolled into view) in its new row.
void ActionSortExecute(TOrderingPass &pass, TMainWindowState *state);
