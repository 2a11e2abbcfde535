#pragma once
// Qt item model over one ListRowModel, for the list views of the main window: eight
// columns ("N°", "Attributes", "Original name", "Date / Time", "New name", "Type",
// "Source folder", "Target folder"), the row texts as display role, the row's icon from the
// small image list as decoration of column 0, and a grey text for images excluded from the
// batch job. Read-only; selection, focus and scrolling stay
// in the row model, which the main window keeps in step with the view.
#include <QAbstractTableModel>
#include <QColor>
#include <QPointer>

#include "entries/datensatz.h"

class ListRowModel;

class ListRowItemModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Role
    {
        EntryRole = Qt::UserRole + 1, // the row's entry as TDatensatz* (QVariant of quintptr)
        SelectedRole,                 // bool: the row is selected in the row model
    };

    explicit ListRowItemModel(ListRowModel *rows, QObject *parent = nullptr);

    ListRowModel *Rows() const { return m_rows; }
    // Text colour of the rows of images excluded from the batch job.
    static QColor ExcludedTextColor();
    // Background of the rows of a doubtful pair.
    static QColor DoubtfulPairColor();
    // Background of the rows of a pair whose pictures the check marked "check" or "bad".
    static QColor PairMarkColor(TPairMark mark);
    // Shown after the number of a row whose shot has siblings; the number's tooltip says
    // which ("+RAW +XMP").
    static constexpr QStringView SiblingMark = u" \u2295";
    static TDatensatz *entryOf(const QModelIndex &index);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QPointer<ListRowModel> m_rows;
};
