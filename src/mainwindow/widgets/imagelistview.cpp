#include "mainwindow/widgets/imagelistview.h"
#include "mainwindow/widgets/filedrop.h"

#include "entries/listitemmodel.h"
#include "entries/listrows.h"

#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMimeData>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace {

// Counts up for its lifetime.
class Depth
{
public:
    explicit Depth(int &counter) : m_counter(counter) { ++m_counter; }
    ~Depth() { --m_counter; }
    Depth(const Depth &) = delete;
    Depth &operator=(const Depth &) = delete;

private:
    int &m_counter;
};

// Every row has the same height, that of the icon size, whether it shows an icon or not
// (a gap has none), so that row i of both lists stands side by side at any scroll position.
// In the "N°" column the icon is on the left and the number right-aligned beside it; the
// caption is padded for fixed-width layouts, which is left out here so that the number
// stays readable in a column only a little wider than the icon.
class RowDelegate : public QStyledItemDelegate
{
public:
    RowDelegate(TImageListView *view, bool numberColumn)
        : QStyledItemDelegate(view), m_view(view), m_numberColumn(numberColumn)
    {
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(m_view->uniformRowHeight());
        return size;
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!m_numberColumn)
            return;
        option->text = option->text.trimmed();
        option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
    }

private:
    TImageListView *m_view;
    bool m_numberColumn;
};

// The widest text a column commonly shows, so that a font larger than the one the design
// widths were made for still fits it.
QString typicalText(int column)
{
    switch (column) {
    case lcAttributes:
        return QStringLiteral("Stereo Pair");
    case lcOriginalName:
        return QStringLiteral("IMG_0000_L.JPG");
    case lcDateTime:
        return QLocale::system().toString(QDateTime(QDate(2000, 12, 28), QTime(23, 58, 58)),
                                          QLocale::ShortFormat);
    case lcType:
        return QStringLiteral("Monoscopic");
    default:
        return {};
    }
}

} // namespace

TImageListView::TImageListView(ListRowModel *rows, QWidget *parent)
    : QTreeView(parent), m_rows(rows), m_itemModel(new ListRowItemModel(rows, this))
{
    setModel(m_itemModel);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideRight);
    setAlternatingRowColors(true);
    setMouseTracking(true);
    // Files are dropped onto the list; rows are never dragged.
    setDragEnabled(false);
    setDropIndicatorShown(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);

    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const QList<int> widths = designColumnWidths();
    for (int c = 0; c < widths.size(); ++c) {
        const QString typical = typicalText(c);
        const int needed = typical.isEmpty() ? 0 : fontMetrics().horizontalAdvance(typical) + 16;
        header()->resizeSection(c, std::max(widths[c], needed));
    }
    setItemDelegate(new RowDelegate(this, false));
    setItemDelegateForColumn(lcNumber, new RowDelegate(this, true));

    // The selection stays plainly visible while the other list has the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight).lighter(135));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_userInput && !m_syncing)
            pushSelection();
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (m_userInput && !m_syncing)
                    pushCurrent(current);
            });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &TImageListView::pushTopRow);

    if (m_rows) {
        connect(m_rows, &ListRowModel::selectionChanged, this, [this] {
            if (!m_userInput)
                pullSelection();
        });
        connect(m_rows, &ListRowModel::focusedRowChanged, this, [this] {
            if (!m_userInput)
                pullFocus();
        });
        connect(m_rows, &ListRowModel::topRowChanged, this, &TImageListView::pullTopRow);
    }
    // Structural changes rebuild the view's selection from the row model once the row
    // model is done with them.
    connect(m_itemModel, &QAbstractItemModel::modelReset, this, &TImageListView::schedulePull);
    connect(m_itemModel, &QAbstractItemModel::rowsInserted, this, &TImageListView::schedulePull);
    connect(m_itemModel, &QAbstractItemModel::rowsRemoved, this, &TImageListView::schedulePull);
    // The "N°" column grows with the numbers it shows.
    connect(m_itemModel, &QAbstractItemModel::modelReset, this, &TImageListView::fitNumberColumn);
    connect(m_itemModel, &QAbstractItemModel::rowsInserted, this, &TImageListView::fitNumberColumn);
    connect(m_itemModel, &QAbstractItemModel::rowsRemoved, this, &TImageListView::fitNumberColumn);
    connect(m_itemModel, &QAbstractItemModel::dataChanged, this, &TImageListView::fitNumberColumn);
}

QList<int> TImageListView::designColumnWidths()
{
    return {35, 75, 100, 115, 400, 30, 400, 400};
}

void TImageListView::setThumbnailSize(int size)
{
    setIconSize(QSize(size, size));
    fitNumberColumn();
    updateRowMetrics();
    updateGeometry(); // the minimum height follows the rows
    schedulePull();
}

QSize TImageListView::minimumSizeHint() const
{
    const QSize base = QTreeView::minimumSizeHint();
    const int frame = 2 * frameWidth();
    const int scrollBar = horizontalScrollBar()->sizeHint().height();
    const int height =
        frame + header()->sizeHint().height() + MinimumRows * uniformRowHeight() + scrollBar;
    return {base.width(), std::max(base.height(), height)};
}

int TImageListView::uniformRowHeight() const
{
    return std::max(fontMetrics().height() + 6, iconSize().height() + 4);
}

int TImageListView::numberColumnWidth() const
{
    // The widest number: the captions of the first and the last row, or as many digits as
    // the row count has (numbers follow the row index once the lists are ordered).
    QString widest;
    const auto consider = [&](const QString &text) {
        const QString t = text.trimmed();
        if (fontMetrics().horizontalAdvance(t) > fontMetrics().horizontalAdvance(widest))
            widest = t;
    };
    if (m_rows && m_rows->Count() > 0) {
        consider(m_rows->Row(0)->Text(lcNumber));
        consider(m_rows->Row(m_rows->Count() - 1)->Text(lcNumber));
        consider(QString(QString::number(m_rows->Count()).size(), QLatin1Char('0')));
    }
    // What the style needs for the icon beside that number.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay;
    option.decorationSize = iconSize();
    // Room for the mark of a shot with siblings, which follows its number.
    option.text = widest + ListRowItemModel::SiblingMark.toString();
    const int needed =
        style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).width();
    return std::max(iconSize().width() + 30, needed + 4);
}

void TImageListView::fitNumberColumn()
{
    const int width = numberColumnWidth();
    if (header()->sectionSize(lcNumber) != width)
        header()->resizeSection(lcNumber, width);
}

// ---- view -> row model ----

void TImageListView::pushSelection()
{
    if (!m_rows || m_itemModel->rowCount() != m_rows->Count())
        return;
    // Only the rows selected before and those selected now are looked at: a key press in
    // a list of tens of thousands of rows must not walk all of them.
    const QItemSelection selection = selectionModel()->selection();
    const auto selectedNow = [&selection](int row) {
        return std::any_of(
            selection.cbegin(), selection.cend(),
            [row](const QItemSelectionRange &r) { return row >= r.top() && row <= r.bottom(); });
    };
    ListUpdateGuard update(m_rows);
    for (int r : m_rows->SelectedRows()) {
        if (!selectedNow(r))
            m_rows->SetSelected(r, false);
    }
    for (const QItemSelectionRange &range : selection) {
        const int top = std::max(0, range.top());
        const int bottom = std::min(m_rows->Count() - 1, range.bottom());
        for (int r = top; r <= bottom; ++r)
            m_rows->SetSelected(r, true);
    }
}

void TImageListView::pushCurrent(const QModelIndex &current)
{
    if (m_rows)
        m_rows->SetFocusedRow(current.isValid() ? current.row() : -1);
}

void TImageListView::pushTopRow(int value)
{
    if (m_rows && !m_syncing && value != m_rows->TopRow())
        m_rows->SetTopRow(value);
}

// ---- row model -> view ----

void TImageListView::pullSelection()
{
    if (!m_rows || m_itemModel->rowCount() != m_rows->Count())
        return;
    QItemSelection selection;
    const int lastColumn = m_itemModel->columnCount() - 1;
    int runStart = -1;
    int previous = -2;
    const auto closeRun = [&] {
        if (runStart >= 0)
            selection.select(m_itemModel->index(runStart, 0),
                             m_itemModel->index(previous, lastColumn));
    };
    for (int r : m_rows->SelectedRows()) {
        if (r != previous + 1) {
            closeRun();
            runStart = r;
        }
        previous = r;
    }
    closeRun();
    Depth syncing(m_syncing);
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TImageListView::pullFocus()
{
    if (!m_rows || m_itemModel->rowCount() != m_rows->Count())
        return;
    const int row = m_rows->FocusedRow();
    {
        Depth syncing(m_syncing);
        selectionModel()->setCurrentIndex(row >= 0 ? m_itemModel->index(row, 0) : QModelIndex(),
                                          QItemSelectionModel::NoUpdate);
    }
    // Showing the focused row may have scrolled the view.
    pushTopRow(verticalScrollBar()->value());
}

void TImageListView::pullTopRow()
{
    if (!m_rows)
        return;
    {
        Depth syncing(m_syncing);
        verticalScrollBar()->setValue(m_rows->TopRow());
    }
    // The view may not scroll as far as asked (fewer rows below than fit on a page).
    pushTopRow(verticalScrollBar()->value());
}

void TImageListView::schedulePull()
{
    if (m_pullScheduled)
        return;
    m_pullScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_pullScheduled = false;
        updateRowMetrics();
        pullSelection();
        pullFocus();
    });
}

void TImageListView::updateRowMetrics()
{
    if (!m_rows)
        return;
    int h = m_itemModel->rowCount() > 0 ? rowHeight(m_itemModel->index(0, 0)) : 0;
    if (h <= 0)
        h = std::max(fontMetrics().height(), iconSize().height()) + 4;
    m_rows->SetRowHeight(h);
    m_rows->SetVisibleRowCount(std::max(1, viewport()->height() / h));
}

// ---- events ----

void TImageListView::dragEnterEvent(QDragEnterEvent *event)
{
    Q_EMIT hovered();
    acceptFileDrop(event);
}

void TImageListView::dragMoveEvent(QDragMoveEvent *event)
{
    acceptFileDrop(event);
}

void TImageListView::dropEvent(QDropEvent *event)
{
    const QStringList paths = acceptFileDrop(event);
    if (paths.isEmpty())
        return;
    Q_EMIT hovered();
    Q_EMIT filesDropped(paths);
}

void TImageListView::mousePressEvent(QMouseEvent *event)
{
    Q_EMIT hovered();
    switch (event->button()) {
    case Qt::RightButton:
        event->accept();
        Q_EMIT rightButtonPressed();
        return;
    case Qt::MiddleButton:
        event->accept();
        Q_EMIT middleButtonPressed();
        return;
    default:
        break;
    }
    Depth input(m_userInput);
    QTreeView::mousePressEvent(event);
}

void TImageListView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    {
        Depth input(m_userInput);
        QTreeView::mouseReleaseEvent(event);
    }
    if (event->button() == Qt::LeftButton)
        Q_EMIT listClicked();
}

void TImageListView::mouseMoveEvent(QMouseEvent *event)
{
    Q_EMIT hovered();
    Depth input(m_userInput);
    QTreeView::mouseMoveEvent(event);
}

void TImageListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    Depth input(m_userInput);
    QTreeView::mouseDoubleClickEvent(event);
}

void TImageListView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Delete)) {
        event->accept();
        Q_EMIT removeKeyPressed();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        event->accept();
        Q_EMIT selectAllKeyPressed();
        return;
    }
    Depth input(m_userInput);
    QTreeView::keyPressEvent(event);
}

void TImageListView::resizeEvent(QResizeEvent *event)
{
    QTreeView::resizeEvent(event);
    updateRowMetrics();
}
