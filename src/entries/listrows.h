#pragma once
// The row model of one image list: what a report-style list view shows and what the list
// operations, the ordering pass and the main window work on, without any widget.
//
// A ListRowModel holds its rows in order. Each row carries
//   - its data pointer: the image entry (TDatensatz) it shows; the row OWNS that entry, so
//     deleting the row frees the entry (and an entry that is freed elsewhere clears the
//     pointer of its row);
//   - the caption (column "N°") and the seven sub-item texts of the other columns;
//   - the index of its small icon in the lists' small image list (-1: none; IconOnDemand:
//     its entry's icon, built when a view draws the row);
//   - its selection state.
// The model itself carries the list's side value (2 left, 3 right), the other list of the
// pair, the focused row, the top visible row with the row height for scrolling, and an
// update counter that batches text change notifications.
//
// Costs, for lists of tens of thousands of rows:
//   - AppendRow, Row(i), EntryAt(i): O(1).
//   - IndexOf(row) (and so TDatensatz::RowIndex): O(1) amortised. Rows keep their index;
//     inserting or deleting a row marks the indexes from that position on as stale and the
//     next lookup behind that position renumbers the tail once.
//   - DeleteRow, InsertRow: O(n) (one move of the row pointers behind the position).
//   - DeleteRowsIf (any number of rows) and SortRows: O(n) and O(n log n).
// So an ordering pass deletes obsolete rows with DeleteRowsIf and sorts with SortRows
// instead of deleting or moving rows one by one.
//
// Notifications (for the Qt item model adapter and the main window): structural changes are
// signalled at once (rows inserted, rows removed, reset for sorts and bulk deletions); text
// and icon changes are signalled per row, or once for all rows at the end of an update
// (BeginUpdate/EndUpdate); selection changes likewise once per update.
#include <QObject>
#include <QString>

#include <array>
#include <climits>
#include <functional>
#include <vector>

class TDatensatz;
class ListRowModel;
class TImageList;
struct TEntryStore;

// The image index of a row whose entry has a thumbnail whose icon is not built yet: the
// item model builds it when a view asks for the row's picture (rows on screen only).
inline constexpr int IconOnDemand = -2;

// Columns of a list row. Column 0 is the row caption, 1..7 are the sub-items.
enum ListColumn : int
{
    lcNumber = 0,       // "N°"
    lcAttributes = 1,   // "Attributes"
    lcOriginalName = 2, // "Original name"
    lcDateTime = 3,     // "Date / Time"
    lcNewName = 4,      // "New name"
    lcType = 5,         // "Type"
    lcSourceFolder = 6, // "Source folder"
    lcTargetFolder = 7, // "Target folder"
};
inline constexpr int ListColumnCount = 8;

// The column header text ("N°", "Attributes", ...); empty for an unknown column.
QString ListColumnTitle(int column);

// One row of a list. Rows are created and deleted only by their model; their address stays
// the same for their whole life (sorting moves pointers, not rows).
class ListRow
{
public:
    ListRow(const ListRow &) = delete;
    ListRow &operator=(const ListRow &) = delete;

    ListRowModel *Model() const { return m_model; }
    // Position of the row in its list (amortised O(1)).
    int Index() const;

    // The row's data pointer: the entry shown in this row, owned by the row.
    TDatensatz *Data() const { return m_data; }
    // Sets the data pointer; the previous entry is neither freed nor told. Used when entries
    // change rows (swapping a pair, writing back a sorted work list): the caller keeps
    // every entry in exactly one row and then attaches the entry (TDatensatz::AttachItem).
    void SetData(TDatensatz *entry) { m_data = entry; }

    // Text of a column (0 = caption); empty for an unknown column.
    const QString &Text(int column) const;
    void SetText(int column, const QString &text);
    // Caption and all seven sub-items empty.
    void ClearTexts();

    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index);
    // Something the row shows besides its texts and icon changed (its entry's marks): the
    // views draw it again.
    void ShowChanged();

    bool Selected() const { return m_selected; }

private:
    friend class ListRowModel;
    explicit ListRow(ListRowModel *model) : m_model(model) {}
    ~ListRow() = default;

    ListRowModel *m_model;
    TDatensatz *m_data = nullptr;
    std::array<QString, ListColumnCount> m_texts;
    int m_imageIndex = -1;
    mutable int m_index = 0; // valid when below the model's stale mark
    bool m_selected = false;
};

class ListRowModel : public QObject
{
    Q_OBJECT
public:
    // side: 2 for the left list, 3 for the right list (the list's tag). The entries of the
    // list belong to store (their registry, holders and naming settings), which outlives
    // the list.
    ListRowModel(TEntryStore &store, int side, QObject *parent = nullptr);
    // Deletes every row and frees the entries they own.
    ~ListRowModel() override;

    // The side value of the list: 2 left, 3 right.
    int Side() const { return m_side; }
    // The store the list's entries belong to.
    TEntryStore &Store() const { return m_store; }

    // The other list of the pair (null until linked). Linking is symmetric.
    ListRowModel *OtherList() const { return m_other; }
    static void LinkLists(ListRowModel &left, ListRowModel &right);

    // The small image list that row icons index into (shared by both lists; not owned).
    TImageList *SmallImages() const { return m_smallImages; }
    void SetSmallImages(TImageList *images) { m_smallImages = images; }

    // ---- Rows ----
    int Count() const { return static_cast<int>(m_rows.size()); }
    // Row at index, null when out of range.
    ListRow *Row(int index) const;
    // Data pointer of the row at index, null when out of range or empty.
    TDatensatz *EntryAt(int index) const;
    // Position of row in this list; -1 for null or a row of another list.
    int IndexOf(const ListRow *row) const;

    // A new empty row (no data, empty texts, image -1, not selected) at the end.
    ListRow *AppendRow();
    // A new empty row at index (clamped to 0..Count()).
    ListRow *InsertRow(int index);
    // Appends count new empty rows and hands each to make with its position among them
    // (make attaches the row's entry). The views are told once, by a reset, instead of
    // once per row, and the texts the new rows take while they are made are not signalled
    // on their own: rebuilding a list of tens of thousands of rows stays linear.
    void AppendRows(int count, const std::function<void(ListRow &row, int i)> &make);
    // Deletes the row and frees its entry. The entry is freed before the row leaves the
    // list, so that it can still find its row while it goes.
    void DeleteRow(ListRow *row);
    void DeleteRow(int index);
    // Deletes every row for which pred is true (pred sees all rows before anything is
    // deleted) and frees their entries. Returns the number of rows deleted.
    int DeleteRowsIf(const std::function<bool(const ListRow &)> &pred);
    // Deletes all rows (freeing their entries).
    void Clear();
    // Sorts the rows ascending by compare (negative: a before b). Not stable. Rows keep
    // their data, texts and selection; the focused row stays the same row.
    void SortRows(const std::function<int(const ListRow &, const ListRow &)> &compare);

    // ---- Update counting ----
    // While the counter is above 0, text, icon and selection changes are collected and
    // signalled once when it returns to 0. Structural changes are always signalled at once.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return m_updateCount; }

    // ---- Selection ----
    bool IsSelected(int index) const;
    void SetSelected(int index, bool selected);
    void SetSelected(ListRow *row, bool selected);
    int SelectedCount() const { return m_selectedCount; }
    // First selected row at or after index 0, -1 when none.
    int FirstSelected() const { return NextSelected(-1); }
    // First selected row after index, -1 when none.
    int NextSelected(int after) const;
    std::vector<int> SelectedRows() const;
    void ClearSelection();
    void SelectAll();
    // The list's current item index: the first selected row, -1 when none.
    int ItemIndex() const { return FirstSelected(); }
    // index >= 0 adds that row to the selection; -1 deselects the first selected row only.
    void SetItemIndex(int index);
    // The selected entry of the list: the entry of the first selected row (or null).
    TDatensatz *SelectedEntry() const;

    // The row with the keyboard focus (-1 none). Focus follows its row when rows move.
    int FocusedRow() const;
    void SetFocusedRow(int index);

    // ---- Scrolling ----
    // The top visible row; the view reports user scrolling with SetTopRow.
    int TopRow() const { return m_topRow; }
    // Clamped to 0..(Count() - VisibleRowCount()) (or Count() - 1 while the visible row
    // count is unknown).
    void SetTopRow(int row);
    // Pixel height of one row (the view sets it; at least 1).
    int RowHeight() const { return m_rowHeight; }
    void SetRowHeight(int pixels);
    // Number of rows the view shows at once (0: unknown).
    int VisibleRowCount() const { return m_visibleRows; }
    void SetVisibleRowCount(int rows);
    // Scrolls vertically by dy pixels, in whole rows (truncated toward zero).
    void ScrollBy(int dy);

Q_SIGNALS:
    void rowsAboutToBeInserted(int first, int last);
    void rowsInserted(int first, int last);
    void rowsAboutToBeRemoved(int first, int last);
    void rowsRemoved(int first, int last);
    // Sorting, clearing and bulk deletions replace the whole row order.
    void modelAboutToBeReset();
    void modelReset();
    // Texts of rows first..last changed (or, after a batch of changes, anything of them).
    void rowsChanged(int first, int last);
    // Only the icon of rows first..last changed: nothing of the session, the names or the
    // pairs, so that those who follow row changes need not look at every thumbnail that
    // arrives.
    void iconsChanged(int first, int last);
    // The selection of rows first..last may have changed (none of them when rows went:
    // first > last then).
    void selectionChanged(int first, int last);
    void focusedRowChanged(int row);
    void topRowChanged(int row);

private:
    friend class ListRow;
    void rowChanged(const ListRow *row);
    void iconChanged(const ListRow *row);
    void selectionTouched(int first, int last);
    void renumberFrom(int first) const;
    void clampTopRow();
    void destroyRow(ListRow *row);

    TEntryStore &m_store;
    int m_side;
    ListRowModel *m_other = nullptr;
    TImageList *m_smallImages = nullptr;
    std::vector<ListRow *> m_rows;
    mutable int m_staleFrom = 0; // rows at or after this position may have stale indexes
    int m_updateCount = 0;
    bool m_textsDirty = false;
    bool m_selectionDirty = false;
    int m_selectedCount = 0;
    // No row before this position is selected: looking for the first selected row of a
    // long list (after every click) starts here.
    mutable int m_unselectedBefore = 0;
    // Rows whose selection changed while the signal was held back (first > last: none).
    int m_selectionFirst = INT_MAX;
    int m_selectionLast = -1;
    ListRow *m_focused = nullptr;
    int m_topRow = 0;
    int m_rowHeight = 1;
    int m_visibleRows = 0;
};

// Calls BeginUpdate on construction and EndUpdate on destruction (also when an error
// interrupts the work in between).
class ListUpdateGuard
{
public:
    explicit ListUpdateGuard(ListRowModel *model) : m_model(model)
    {
        if (m_model)
            m_model->BeginUpdate();
    }
    ~ListUpdateGuard()
    {
        if (m_model)
            m_model->EndUpdate();
    }
    ListUpdateGuard(const ListUpdateGuard &) = delete;
    ListUpdateGuard &operator=(const ListUpdateGuard &) = delete;

private:
    ListRowModel *m_model;
};
