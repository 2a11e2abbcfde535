#pragma once
// The main window's actions on the selected rows of the two lists, without any widget: the
// list action buttons of the "Ordering" tab, "Remove from list", the edits of the "View"
// tab and "Exclude from Batch Job", the selection bar, the " Search for... " buttons and
// "Search unassigned".
//
// Each operation sets the busy or panel bit that keeps the list change handlers from
// starting a counterpart selection while it changes selections in code, and clears it
// again also when an error interrupts it. The window refreshes its edit panels and marks
// the previews dirty afterwards; it shows a returned error text in an error box.
#include "session/mainstate.h"

#include <QString>

class ListRowModel;
class TDatensatz;
class TImageList;
class TOrderingPass;

// Attribute searched by the " Search for... " buttons (the buttons' tags).
enum TSearchAttribute : int
{
    srUnassigned = 0,
    srStereoPair = 2,
    srMono = 3,
    srGap = 6, // "Gap" finds settled gaps only, not "Gap (New)"
};

// Which lists "Search unassigned" found an entry in.
struct TSearchUnassignedResult
{
    bool Left = false;
    bool Right = false;
};

class TListActions
{
public:
    TListActions(TOrderingPass &pass, TMainWindowState &state);

    ListRowModel &Left() const;
    ListRowModel &Right() const;

    // A list action button ("Swap", "Mark Stereo Pair", "Split into Monoscopic", "Mark as
    // Unassigned", "Mark as Monoscopic"; code 4..8) on list: the selection states of all
    // rows are kept, and when the rows changed the lists are ordered again and the last
    // selected entry is selected again (the window beeps when that entry has been freed
    // meanwhile). The outcome carries the internal error of a broken pair structure.
    TActionOutcome RunListAction(ListRowModel &list, int code);

    // An edit of the selected rows of list that does not change the pairs: rotation (code
    // 0..3), "Exclude from Batch Job" (9 unchecked, 10 checked), "Invert" (12, 13) and
    // "Mirror" (14, 15). Returns the internal error text or an empty text.
    QString EditSelected(ListRowModel &list, int code);

    // "Remove from list" on list: the selected images leave the list. Afterwards the rows
    // where the removed entry and its partner stood (or the last rows, when they are gone)
    // are selected, and the thumbnails are rebuilt from images. Returns the internal error
    // text or an empty text.
    QString RemoveFromList(ListRowModel &list, TImageList *images);

    // A button of the selection bar: both selections are cleared, then the rows of the
    // button's class (mode 0 all, 1 pairs, 2 monoscopic, 3 unassigned, 4 gaps) are selected
    // in the left and in the right list. Both lists scroll to the first selected row when it
    // is out of sight.
    void SelectByButton(int mode);

    // Ctrl+A on list: every row of it is selected, and every row of the other list too
    // while the counterparts are selected permanently (rows that belong together).
    void SelectAllRows(ListRowModel &list);

    // A " Search for... " button on list: walks from the row after (backward: before) the
    // current row, or from the first (last) row with fromBeginning, to the first entry
    // with exactly attribute and selects it. False when none was found (the window beeps).
    bool GoNext(ListRowModel &list, int attribute, bool fromBeginning, bool backward);

    // "Search unassigned": the first unassigned entry from the top of the left list, then
    // of the right list.
    TSearchUnassignedResult SearchUnassigned();

    // The top row of scrolled changed (the user scrolled, or code brought a row into view).
    // With "Select counterpart permanently" on and no pair prompt open, the other list
    // scrolls to the same top row, so that the rows that belong together stay side by side.
    void FollowTopRow(ListRowModel &scrolled);

    // Every row's selection state into its entry (SavedSelected), and back.
    static void SaveSelection(ListRowModel &list);
    static void RestoreSelection(ListRowModel &list);

private:
    TDatensatz *findFrom(ListRowModel &list, int attribute, bool fromBeginning,
                         bool backward) const;
    void alignPartnerScroll(const TDatensatz *entry) const;

    TOrderingPass &m_pass;
    TMainWindowState &m_state;
    bool m_following = false; // FollowTopRow is scrolling the other list
};
