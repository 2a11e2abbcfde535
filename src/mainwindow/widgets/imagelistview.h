#pragma once
// TImageListView: one of the two report-style image lists of the main window. It shows a
// ListRowModel through a ListRowItemModel and keeps the two in step: the row model owns the
// selection, the focused row and the top row; the view shows them and reports what the user
// does (selection by mouse and keyboard, scrolling). Files dropped from a file manager, the
// mouse moving over the list, clicks and the right and middle mouse buttons are passed on
// as signals; the main window decides what they mean.
#include "entries/listrows.h"

#include <QPointer>
#include <QTreeView>

class ListRowItemModel;

class TImageListView : public QTreeView
{
    Q_OBJECT

public:
    explicit TImageListView(ListRowModel *rows, QWidget *parent = nullptr);

    ListRowModel *rows() const { return m_rows; }

    // Icons of size x size pixels: the icon size, the row height and the width of the "N°"
    // column follow.
    void setThumbnailSize(int size);

    // The height of every row: the icon's with a small margin, or the text's when that is
    // taller. Rows without an icon have it too, so both lists stay row for row in step.
    int uniformRowHeight() const;
    // The width of the "N°" column: the icon and the widest number beside it, and at least
    // 30 pixels more than the icon.
    int numberColumnWidth() const;

    // The column widths in pixels, "N°" first.
    static QList<int> designColumnWidths();

    // Rows a list keeps in sight however far the splitter above it grows the preview.
    static constexpr int MinimumRows = 3;
    // Header, MinimumRows rows and the horizontal scroll bar.
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // Local files dropped onto the list, in the order the drop delivered them.
    void filesDropped(const QStringList &paths);
    // The mouse moved over the list (also while dragging files over it).
    void hovered();
    // A left click on the list, after the selection has followed it.
    void listClicked();
    void rightButtonPressed();
    void middleButtonPressed();
    // The keys for "Remove from list" (Delete) and "Select all" (Ctrl+A) on this list.
    void removeKeyPressed();
    void selectAllKeyPressed();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // What the user did in the view goes into the row model.
    void pushSelection();
    void pushCurrent(const QModelIndex &current);
    void pushTopRow(int value);
    // What the row model holds is shown by the view.
    void pullSelection();
    void pullFocus();
    void pullTopRow();
    void schedulePull();
    void updateRowMetrics();
    void fitNumberColumn();

    QPointer<ListRowModel> m_rows;
    ListRowItemModel *m_itemModel;
    int m_syncing = 0;   // the view is being set from the row model
    int m_userInput = 0; // a mouse or key event of the user is being handled
    bool m_pullScheduled = false;
};
