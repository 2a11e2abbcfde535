#include "entries/listrows.h"

#include "entries/datensatz.h"

#include <QMetaMethod>

#include <algorithm>
#include <utility>

QString ListColumnTitle(int column)
{
    switch (column) {
    case lcNumber:
        return QStringLiteral("N\u00B0");
    case lcAttributes:
        return QStringLiteral("Attributes");
    case lcOriginalName:
        return QStringLiteral("Original name");
    case lcDateTime:
        return QStringLiteral("Date / Time");
    case lcNewName:
        return QStringLiteral("New name");
    case lcType:
        return QStringLiteral("Type");
    case lcSourceFolder:
        return QStringLiteral("Source folder");
    case lcTargetFolder:
        return QStringLiteral("Target folder");
    default:
        return {};
    }
}

// ---- ListRow ----

int ListRow::Index() const
{
    return m_model->IndexOf(this);
}

const QString &ListRow::Text(int column) const
{
    static const QString empty;
    if (column < 0 || column >= ListColumnCount)
        return empty;
    return m_texts[static_cast<size_t>(column)];
}

void ListRow::SetText(int column, const QString &text)
{
    if (column < 0 || column >= ListColumnCount)
        return;
    QString &slot = m_texts[static_cast<size_t>(column)];
    if (slot == text)
        return;
    slot = text;
    m_model->rowChanged(this);
}

void ListRow::ClearTexts()
{
    bool changed = false;
    for (QString &t : m_texts) {
        if (!t.isEmpty()) {
            t.clear();
            changed = true;
        }
    }
    if (changed)
        m_model->rowChanged(this);
}

void ListRow::ShowChanged()
{
    m_model->rowChanged(this);
}

void ListRow::SetImageIndex(int index)
{
    if (m_imageIndex == index)
        return;
    m_imageIndex = index;
    m_model->iconChanged(this);
}

// ---- ListRowModel ----

ListRowModel::ListRowModel(TEntryStore &store, int side, QObject *parent)
    : QObject(parent), m_store(store), m_side(side)
{
}

ListRowModel::~ListRowModel()
{
    // Entries freed here may still clear links to their partners in the other list; the
    // rows of this list stay valid until every entry is gone.
    for (ListRow *row : m_rows)
        delete row->m_data; // clears row->m_data through the entry
    for (ListRow *row : m_rows)
        delete row;
    m_rows.clear();
    if (m_other && m_other->m_other == this)
        m_other->m_other = nullptr;
}

void ListRowModel::LinkLists(ListRowModel &left, ListRowModel &right)
{
    left.m_other = &right;
    right.m_other = &left;
}

ListRow *ListRowModel::Row(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return m_rows[static_cast<size_t>(index)];
}

TDatensatz *ListRowModel::EntryAt(int index) const
{
    ListRow *row = Row(index);
    return row ? row->m_data : nullptr;
}

void ListRowModel::renumberFrom(int first) const
{
    const int n = Count();
    for (int i = std::max(first, 0); i < n; ++i)
        m_rows[static_cast<size_t>(i)]->m_index = i;
    m_staleFrom = n;
}

int ListRowModel::IndexOf(const ListRow *row) const
{
    if (!row || row->m_model != this)
        return -1;
    // Rows before the stale mark carry their true index; every row at or behind the mark
    // carries an index at or behind the mark, so one comparison tells which case holds.
    if (row->m_index < m_staleFrom)
        return row->m_index;
    renumberFrom(m_staleFrom);
    return row->m_index;
}

ListRow *ListRowModel::AppendRow()
{
    return InsertRow(Count());
}

ListRow *ListRowModel::InsertRow(int index)
{
    index = std::clamp(index, 0, Count());
    Q_EMIT rowsAboutToBeInserted(index, index);
    auto *row = new ListRow(this);
    row->m_index = index;
    const bool tailValid = m_staleFrom >= Count();
    m_rows.insert(m_rows.begin() + index, row);
    if (index == Count() - 1 && tailValid)
        m_staleFrom = Count(); // appended behind valid rows: everything stays valid
    else
        m_staleFrom = std::min(m_staleFrom, index);
    Q_EMIT rowsInserted(index, index);
    return row;
}

void ListRowModel::AppendRows(int count, const std::function<void(ListRow &, int)> &make)
{
    if (count <= 0)
        return;
    Q_EMIT modelAboutToBeReset();
    const bool textsDirty = m_textsDirty;
    BeginUpdate();
    const int first = Count();
    if (m_staleFrom >= first)
        m_staleFrom = first + count; // the new rows carry their true indexes
    m_rows.reserve(m_rows.size() + std::size_t(count));
    for (int i = 0; i < count; ++i) {
        auto *row = new ListRow(this);
        row->m_index = first + i;
        m_rows.push_back(row);
        make(*row, i);
    }
    // The reset shows every row anew; only changes to rows that were there before are
    // still to be told.
    m_textsDirty = textsDirty;
    EndUpdate();
    Q_EMIT modelReset();
}

void ListRowModel::destroyRow(ListRow *row)
{
    if (row->m_selected)
        --m_selectedCount;
    if (m_focused == row)
        m_focused = nullptr;
    delete row;
}

void ListRowModel::DeleteRow(int index)
{
    DeleteRow(Row(index));
}

void ListRowModel::DeleteRow(ListRow *row)
{
    if (!row || row->m_model != this)
        return;
    // Free the entry first: its destructor clears the row's data pointer and may rewrite
    // the row of its partner.
    delete row->m_data;
    row->m_data = nullptr;

    const int index = IndexOf(row);
    if (index < 0)
        return;
    Q_EMIT rowsAboutToBeRemoved(index, index);
    const bool wasSelected = row->m_selected;
    const bool wasFocused = (m_focused == row);
    m_rows.erase(m_rows.begin() + index);
    m_staleFrom = std::min(m_staleFrom, index);
    m_unselectedBefore = std::min(m_unselectedBefore, index);
    destroyRow(row);
    clampTopRow();
    Q_EMIT rowsRemoved(index, index);
    if (wasSelected)
        selectionTouched(INT_MAX, -1);
    if (wasFocused)
        Q_EMIT focusedRowChanged(-1);
}

int ListRowModel::DeleteRowsIf(const std::function<bool(const ListRow &)> &pred)
{
    std::vector<ListRow *> doomed;
    for (ListRow *row : m_rows) {
        if (pred(*row))
            doomed.push_back(row);
    }
    if (doomed.empty())
        return 0;

    for (ListRow *row : doomed) {
        delete row->m_data;
        row->m_data = nullptr;
    }

    Q_EMIT modelAboutToBeReset();
    const int focusedBefore = FocusedRow();
    bool selectionLost = false;
    std::vector<ListRow *> kept;
    kept.reserve(m_rows.size() - doomed.size());
    size_t d = 0;
    for (ListRow *row : m_rows) {
        if (d < doomed.size() && doomed[d] == row) {
            ++d;
            selectionLost = selectionLost || row->m_selected;
            destroyRow(row);
        } else {
            kept.push_back(row);
        }
    }
    m_rows.swap(kept);
    m_unselectedBefore = 0;
    renumberFrom(0);
    clampTopRow();
    Q_EMIT modelReset();
    if (selectionLost)
        selectionTouched(INT_MAX, -1);
    if (FocusedRow() != focusedBefore)
        Q_EMIT focusedRowChanged(FocusedRow());
    return static_cast<int>(doomed.size());
}

void ListRowModel::Clear()
{
    DeleteRowsIf([](const ListRow &) { return true; });
}

void ListRowModel::SortRows(const std::function<int(const ListRow &, const ListRow &)> &compare)
{
    if (m_rows.size() < 2)
        return;
    Q_EMIT modelAboutToBeReset();
    std::sort(m_rows.begin(), m_rows.end(),
              [&compare](const ListRow *a, const ListRow *b) { return compare(*a, *b) < 0; });
    m_unselectedBefore = 0;
    renumberFrom(0);
    Q_EMIT modelReset();
    if (m_focused)
        Q_EMIT focusedRowChanged(FocusedRow());
}

void ListRowModel::BeginUpdate()
{
    ++m_updateCount;
}

void ListRowModel::EndUpdate()
{
    if (m_updateCount <= 0)
        return;
    if (--m_updateCount > 0)
        return;
    if (m_textsDirty) {
        m_textsDirty = false;
        if (Count() > 0)
            Q_EMIT rowsChanged(0, Count() - 1);
    }
    if (m_selectionDirty) {
        m_selectionDirty = false;
        const int first = std::exchange(m_selectionFirst, INT_MAX);
        const int last = std::exchange(m_selectionLast, -1);
        Q_EMIT selectionChanged(first, last);
    }
}

void ListRowModel::rowChanged(const ListRow *row)
{
    if (m_updateCount > 0) {
        m_textsDirty = true;
        return;
    }
    static const QMetaMethod signal = QMetaMethod::fromSignal(&ListRowModel::rowsChanged);
    if (!isSignalConnected(signal))
        return;
    const int index = IndexOf(row);
    if (index >= 0)
        Q_EMIT rowsChanged(index, index);
}

void ListRowModel::iconChanged(const ListRow *row)
{
    if (m_updateCount > 0) {
        m_textsDirty = true; // the whole list is announced when the batch ends
        return;
    }
    static const QMetaMethod signal = QMetaMethod::fromSignal(&ListRowModel::iconsChanged);
    if (!isSignalConnected(signal))
        return;
    const int index = IndexOf(row);
    if (index >= 0)
        Q_EMIT iconsChanged(index, index);
}

void ListRowModel::selectionTouched(int first, int last)
{
    if (m_updateCount > 0) {
        m_selectionDirty = true;
        m_selectionFirst = std::min(m_selectionFirst, first);
        m_selectionLast = std::max(m_selectionLast, last);
    } else {
        Q_EMIT selectionChanged(first, last);
    }
}

bool ListRowModel::IsSelected(int index) const
{
    const ListRow *row = Row(index);
    return row && row->m_selected;
}

void ListRowModel::SetSelected(int index, bool selected)
{
    SetSelected(Row(index), selected);
}

void ListRowModel::SetSelected(ListRow *row, bool selected)
{
    if (!row || row->m_model != this || row->m_selected == selected)
        return;
    row->m_selected = selected;
    m_selectedCount += selected ? 1 : -1;
    const int index = IndexOf(row);
    if (selected)
        m_unselectedBefore = std::min(m_unselectedBefore, index);
    selectionTouched(index, index);
}

int ListRowModel::NextSelected(int after) const
{
    if (m_selectedCount == 0)
        return -1;
    const int n = Count();
    const int from = std::max(after + 1, 0);
    for (int i = std::max(from, m_unselectedBefore); i < n; ++i) {
        if (m_rows[static_cast<size_t>(i)]->m_selected) {
            if (from <= m_unselectedBefore)
                m_unselectedBefore = i; // nothing selected between from and i
            return i;
        }
    }
    return -1;
}

std::vector<int> ListRowModel::SelectedRows() const
{
    std::vector<int> rows;
    rows.reserve(static_cast<size_t>(m_selectedCount));
    // Up to the last selected row, not to the end of the list.
    for (int i = NextSelected(-1); i >= 0; i = NextSelected(i)) {
        rows.push_back(i);
        if (int(rows.size()) == m_selectedCount)
            break;
    }
    return rows;
}

void ListRowModel::ClearSelection()
{
    if (m_selectedCount == 0)
        return;
    const int first = NextSelected(-1);
    int last = first;
    for (int i = first, cleared = 0; i < Count() && cleared < m_selectedCount; ++i) {
        ListRow *row = m_rows[static_cast<size_t>(i)];
        if (row->m_selected) {
            last = i;
            ++cleared;
        }
        row->m_selected = false;
    }
    m_selectedCount = 0;
    selectionTouched(first, last);
}

void ListRowModel::SelectAll()
{
    if (m_selectedCount == Count())
        return;
    for (ListRow *row : m_rows)
        row->m_selected = true;
    m_selectedCount = Count();
    m_unselectedBefore = 0;
    selectionTouched(0, Count() - 1);
}

void ListRowModel::SetItemIndex(int index)
{
    if (index >= 0)
        SetSelected(index, true);
    else if (index == -1)
        SetSelected(FirstSelected(), false);
}

TDatensatz *ListRowModel::SelectedEntry() const
{
    return EntryAt(FirstSelected());
}

int ListRowModel::FocusedRow() const
{
    return m_focused ? IndexOf(m_focused) : -1;
}

void ListRowModel::SetFocusedRow(int index)
{
    ListRow *row = Row(index);
    if (row == m_focused)
        return;
    m_focused = row;
    Q_EMIT focusedRowChanged(row ? index : -1);
}

void ListRowModel::SetTopRow(int row)
{
    const int before = m_topRow;
    m_topRow = row;
    clampTopRow();
    if (m_topRow != before)
        Q_EMIT topRowChanged(m_topRow);
}

void ListRowModel::clampTopRow()
{
    const int maxTop =
        m_visibleRows > 0 ? std::max(0, Count() - m_visibleRows) : std::max(0, Count() - 1);
    m_topRow = std::clamp(m_topRow, 0, maxTop);
}

void ListRowModel::SetRowHeight(int pixels)
{
    m_rowHeight = std::max(1, pixels);
}

void ListRowModel::SetVisibleRowCount(int rows)
{
    m_visibleRows = std::max(0, rows);
    SetTopRow(m_topRow);
}

void ListRowModel::ScrollBy(int dy)
{
    SetTopRow(m_topRow + dy / m_rowHeight);
}
