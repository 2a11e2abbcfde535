#pragma once
// Operations on the two image lists: the actions on the selected rows of one list, the
// pair structure between the lists (swap, link, split, remove) and the loops over all
// entries.
//
// Row i of the left list and row i of the right list form a row pair after every ordering
// pass: each entry's partner is the entry of the other list in the same row, an image (a
// stereo pair) or a gap. The structural operations here (marking pairs, splitting,
// removing) append new gap rows and leave obsolete gaps behind; the caller runs an
// ordering pass afterwards to align the rows again.
#include "entries/datensatz.h"

#include <QString>

#include <vector>

class ListRowModel;
class TImageList;
class TDatensatzList;
struct TEntryStore;

// Action codes of RunSelectAction.
enum TSelectAction : quint8
{
    saRotate0 = 0, // 0..3: SetRotation(code)
    saRotate90 = 1,
    saRotate180 = 2,
    saRotate270 = 3,
    saSwapPair = 4,
    saMarkStereoPairs = 5,
    saSplitPair = 6,
    saMarkUnassigned = 7,
    saMarkMono = 8,
    saBatchOn = 9,
    saBatchOff = 10,
    saDeleteEntryPair = 11,
    saInvertOn = 12,
    saInvertOff = 13,
    saMirrorOn = 14,
    saMirrorOff = 15,
    saCollect = 16,
};

// The internal error of a broken pair structure (a selected row without entry, or an entry
// without partner).
inline constexpr char RunSelectActionNilError[] = "procedure RunSelectAction Item.Data=nil";

struct [[nodiscard]] TSelectActionResult
{
    // The row structure changed (codes 5, 6, 11): the caller must run an ordering pass.
    // Also set when an error stopped the walk after such a change.
    bool RowsChanged = false;
    // Non-empty: an internal error stopped the action at a row; rows before it keep their
    // changes. The caller shows this text in an error box.
    QString Error;

    bool Failed() const { return !Error.isEmpty(); }
};

// Applies the action code to every selected row of list, in row order. Codes 9, 10 and 12
// to 15 set the field without rewriting the row (the caller refreshes). Code 16 appends
// each entry to collection (when given). Codes above 16 do nothing.
TSelectActionResult RunSelectAction(ListRowModel &list, int code,
                                    std::vector<TDatensatz *> *collection = nullptr);

// Exchanges the two entries of a row pair between the lists: the partner of the left one
// goes into its row, the left one into the partner's row. Links, attributes and sides stay.
void SwapPair(TDatensatz *entry);

// Makes a and b a stereo pair; their former partners become lone, obsolete gaps.
void LinkPair(TDatensatz *a, TDatensatz *b);

// Turns a pair into two unassigned (monoscopic-side) images, each opposite a new gap that
// carries the time of the image in its own list; the gaps are new last rows.
void SplitPair(TDatensatz *entry);

// Removes an image from its list: it becomes a gap; if its partner is an image, that one
// becomes unassigned and both rows stay (false); if the partner is a gap, both rows are
// deleted (true). Nothing happens for a gap or an entry without partner (false).
bool DeleteEntryPair(TDatensatz *entry);

// Adds rows to the selection: mode 0 all rows, 1 stereo pairs, 2 monoscopic, 3 unassigned,
// 4 gaps (attribute 4 or 6), 5 doubtful pairs, 6 pairs whose pictures the check marked
// ("check" or "bad"); other modes nothing.
void SelectByAttribute(ListRowModel &list, int mode);

// Scrolls entry's list so that its top row moves by offset + row(entry) - top row rows
// (offset -1: the row above the entry becomes the top row).
void ScrollRowIntoPlace(const TDatensatz *entry, int offset);

enum class SelectEntryResult
{
    NoEntry,  // entry was null: nothing done
    Gone,     // entry has been freed: nothing done; the caller sounds the beep
    Selected, // the entry (and its partner) is selected and scrolled into view
};

// Makes the entry the only selected, focused row of its list and scrolls it into view;
// with withPartner the same for its partner in the other list. Safe on freed entries:
// registry (the entry's session's) tells whether entry is still alive.
SelectEntryResult SelectEntry(const TDatensatzList &registry, TDatensatz *entry, bool withPartner);

// Refresh on every registered entry, in registry order.
void RefreshAllEntries(const TDatensatzList &registry);

// Every holder of store forgets its icons and the small image list is emptied; the rows that show
// that image list take their icons again at once (the list's icons are built anew, e.g.
// without those of removed files, or in a new size).
void ClearThumbnails(TEntryStore &store, TImageList &imageList);

// SetHolderFlags(0) on every registered entry.
void ClearHolderFlags(const TDatensatzList &registry);

// A new gap in a new last row of list: empty path, side dsGap, number -1, rotation -1, all
// flags false, attribute "Gap (New)".
TDatensatz *CreateGap(ListRowModel &list);

// A new image entry in a new last row of list (the TDatensatz constructor's arguments).
TDatensatz *AppendEntry(ListRowModel &list, qint32 number, const QString &path, TDsSide side,
                        const TEntryOptions &options = {});
