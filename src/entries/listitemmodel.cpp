#include "entries/listitemmodel.h"

#include "entries/datensatz.h"
#include "entries/listrows.h"
#include "entries/siblings.h"
#include "imaging/imagelist.h"

#include <QStringList>

#include <algorithm>

ListRowItemModel::ListRowItemModel(ListRowModel *rows, QObject *parent)
    : QAbstractTableModel(parent), m_rows(rows)
{
    if (!rows)
        return;
    connect(rows, &ListRowModel::rowsAboutToBeInserted, this,
            [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(rows, &ListRowModel::rowsInserted, this, [this] { endInsertRows(); });
    connect(rows, &ListRowModel::rowsAboutToBeRemoved, this,
            [this](int first, int last) { beginRemoveRows({}, first, last); });
    connect(rows, &ListRowModel::rowsRemoved, this, [this] { endRemoveRows(); });
    connect(rows, &ListRowModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(rows, &ListRowModel::modelReset, this, [this] { endResetModel(); });
    connect(rows, &ListRowModel::rowsChanged, this, [this](int first, int last) {
        Q_EMIT dataChanged(index(first, 0), index(last, ListColumnCount - 1));
    });
    connect(rows, &ListRowModel::iconsChanged, this, [this](int first, int last) {
        Q_EMIT dataChanged(index(first, 0), index(last, 0), {Qt::DecorationRole});
    });
    // Only the rows whose selection changed: a view walks every row of the range it is
    // told about, which made each key press in a list of tens of thousands of rows slow.
    connect(rows, &ListRowModel::selectionChanged, this, [this](int first, int last) {
        first = std::max(first, 0);
        last = std::min(last, rowCount() - 1);
        if (first <= last)
            Q_EMIT dataChanged(index(first, 0), index(last, ListColumnCount - 1), {SelectedRole});
    });
    // The row model may go first; then this model shows no rows.
    connect(rows, &QObject::destroyed, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

QColor ListRowItemModel::ExcludedTextColor()
{
    return QColor(0x8c, 0x8c, 0x8c);
}

QColor ListRowItemModel::DoubtfulPairColor()
{
    return QColor(0xff, 0xe0, 0x9e);
}

QColor ListRowItemModel::PairMarkColor(TPairMark mark)
{
    switch (mark) {
    case TPairMark::Check:
        return QColor(0xc8, 0xe0, 0xff);
    case TPairMark::Bad:
        return QColor(0xff, 0xb4, 0xb4);
    case TPairMark::None:
        break;
    }
    return {};
}

TDatensatz *ListRowItemModel::entryOf(const QModelIndex &index)
{
    return reinterpret_cast<TDatensatz *>(index.data(EntryRole).value<quintptr>());
}

int ListRowItemModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_rows)
        return 0;
    return m_rows->Count();
}

int ListRowItemModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ListColumnCount;
}

QVariant ListRowItemModel::data(const QModelIndex &index, int role) const
{
    if (!m_rows || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const ListRow *row = m_rows->Row(index.row());
    if (!row)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        // A shot with siblings (a RAW beside its JPEG, sidecars) is marked after its number.
        if (index.column() == lcNumber && row->Data() && !row->Data()->Siblings().isEmpty())
            return row->Text(index.column()) + SiblingMark.toString();
        return row->Text(index.column());
    case Qt::DecorationRole: {
        if (index.column() != lcNumber || row->ImageIndex() == -1)
            return {};
        const TImageList *images = m_rows->SmallImages();
        if (!images)
            return {};
        // An entry's icon is built when a view first draws its row, and again when the
        // image list has given its place to another icon meanwhile.
        const int icon = row->Data() ? row->Data()->IconIndex() : row->ImageIndex();
        return images->Image(icon);
    }
    case Qt::ForegroundRole: {
        // An image excluded from the batch job is shown greyed.
        const TDatensatz *e = row->Data();
        if (e && !IsGapAttribute(e->Attribute()) && !e->Batch())
            return ExcludedTextColor();
        return {};
    }
    case Qt::BackgroundRole:
    case Qt::ToolTipRole: {
        // A doubtful pair, and a pair whose pictures do not match well, stand out in both
        // lists; what its pictures show goes first.
        const TDatensatz *e = row->Data();
        const TDatensatz *image = e && IsGapAttribute(e->Attribute()) ? nullptr : e;
        if (!image)
            return {};
        const TPairMark mark = image->PairMark();
        if (role == Qt::BackgroundRole) {
            if (mark != TPairMark::None)
                return PairMarkColor(mark);
            return image->IsDoubtful() ? QVariant(DoubtfulPairColor()) : QVariant();
        }
        QStringList tips;
        if (index.column() == lcNumber && !image->Siblings().isEmpty())
            tips << SiblingSummary(image->Siblings());
        if (mark != TPairMark::None)
            tips << QStringLiteral("%1: %2").arg(mark == TPairMark::Bad
                                                     ? QStringLiteral("Bad pair")
                                                     : QStringLiteral("Check this pair"),
                                                 image->PairMarkReason());
        if (image->IsDoubtful())
            tips << QStringLiteral("Doubtful pair: %1 % sure")
                        .arg(qRound(image->PairConfidence() * 100));
        return tips.isEmpty() ? QVariant() : QVariant(tips.join(QLatin1Char('\n')));
    }
    case EntryRole:
        return QVariant::fromValue(reinterpret_cast<quintptr>(row->Data()));
    case SelectedRole:
        return row->Selected();
    default:
        return {};
    }
}

QVariant ListRowItemModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section < 0 || section >= ListColumnCount)
        return {};
    return ListColumnTitle(section);
}

Qt::ItemFlags ListRowItemModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
