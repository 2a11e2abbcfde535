// What the image list view adds to its row model: the "N°" column fits the icon and the
// number beside it however many rows the list has.
#include "entries/entrystore.h"
#include "entries/listrows.h"
#include "imaging/imagelist.h"
#include "mainwindow/widgets/imagelistview.h"

#include <QAbstractItemDelegate>
#include <QHeaderView>
#include <QImage>
#include <gtest/gtest.h>

namespace {

TEST(ImageListView, NumberColumnShowsTheLargestNumberBesideTheIcon)
{
    TEntryStore store;
    ListRowModel rows(store, 2);
    TImageList icons(32, 32);
    QImage picture(32, 32, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    const int icon = icons.Add(picture);
    rows.SetSmallImages(&icons);
    TImageListView view(&rows);
    view.setThumbnailSize(32);
    view.resize(600, 400);
    for (const int count : {9, 120, 10500}) {
        SCOPED_TRACE(count);
        while (rows.Count() < count) {
            ListRow *row = rows.AppendRow();
            row->SetText(lcNumber, QChar(0x00A0) + QString::asprintf("%4d", rows.Count() - 1));
            row->SetImageIndex(icon);
        }
        const QModelIndex last = view.model()->index(count - 1, lcNumber);
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.decorationSize = view.iconSize();
        const QSize needed = view.itemDelegateForColumn(lcNumber)->sizeHint(option, last);
        EXPECT_LE(needed.width(), view.header()->sectionSize(lcNumber));
        EXPECT_GE(view.header()->sectionSize(lcNumber), 32 + 30);
    }
    rows.SetSmallImages(nullptr);
}

} // namespace
