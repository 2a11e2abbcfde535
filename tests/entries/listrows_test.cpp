// The row model on its own: row indexes under edits, selection and focus semantics,
// scrolling, update counting, and the Qt item model adapter under QAbstractItemModelTester.
#include "entries/datensatzlist.h"
#include "entries/entrystore.h"
#include "entries/listitemmodel.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "imaging/dsorgbild.h"
#include "imaging/imagelist.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// Rows keep their indexes true through any mix of appends, inserts, deletes, bulk deletes
// and sorts; the model is compared with a plain vector after every step.
TEST(ListRowModel, RowIndexesStayTrueUnderRandomEdits)
{
    TEntryStore store;
    ListRowModel model(store, dsLeft);
    std::vector<ListRow *> expected;
    std::mt19937 rng(7);
    std::map<const ListRow *, int> key; // sort key per row
    int nextKey = 0;
    for (int step = 0; step < 3000; ++step) {
        const int op = int(rng() % 10);
        const int n = int(expected.size());
        if (op < 4 || n == 0) {
            ListRow *row = model.AppendRow();
            expected.push_back(row);
            key[row] = nextKey++ * 7919 % 1009;
        } else if (op < 6) {
            const int at = int(rng() % unsigned(n + 1));
            ListRow *row = model.InsertRow(at);
            expected.insert(expected.begin() + at, row);
            key[row] = nextKey++ * 7919 % 1009;
        } else if (op < 8) {
            const int at = int(rng() % unsigned(n));
            key.erase(expected[size_t(at)]);
            model.DeleteRow(at);
            expected.erase(expected.begin() + at);
        } else if (op == 8) {
            const int mod = 2 + int(rng() % 5);
            auto doomed = [&](const ListRow &r) { return key[&r] % mod == 0; };
            std::vector<ListRow *> kept;
            for (ListRow *r : expected) {
                if (!doomed(*r))
                    kept.push_back(r);
            }
            const int removed = model.DeleteRowsIf(doomed);
            EXPECT_EQ(removed, int(expected.size() - kept.size()));
            for (auto it = key.begin(); it != key.end();) {
                it = std::find(kept.begin(), kept.end(), it->first) == kept.end() ? key.erase(it)
                                                                                  : ++it;
            }
            expected = kept;
        } else {
            auto cmp = [&](const ListRow &a, const ListRow &b) { return key[&a] - key[&b]; };
            model.SortRows(cmp);
            std::sort(expected.begin(), expected.end(),
                      [&](ListRow *a, ListRow *b) { return key[a] < key[b]; });
            // Equal keys have no defined order: take the model's order for them.
            for (int i = 0; i < model.Count(); ++i)
                ASSERT_EQ(key[model.Row(i)], key[expected[size_t(i)]]);
            for (int i = 0; i < model.Count(); ++i)
                expected[size_t(i)] = model.Row(i);
        }
        ASSERT_EQ(model.Count(), int(expected.size()));
        // Probe a few rows by pointer (the lazily renumbered path), then all.
        for (int probe = 0; probe < 3 && !expected.empty(); ++probe) {
            const int i = int(rng() % expected.size());
            ASSERT_EQ(model.IndexOf(expected[size_t(i)]), i) << "step " << step;
        }
        if (step % 50 == 0) {
            for (int i = 0; i < int(expected.size()); ++i) {
                ASSERT_EQ(expected[size_t(i)]->Index(), i);
                ASSERT_EQ(model.Row(i), expected[size_t(i)]);
            }
        }
    }
}

TEST(ListRowModel, RowOfAnotherListHasNoIndex)
{
    TEntryStore store;
    ListRowModel a(store, dsLeft);
    ListRowModel b(store, dsRight);
    ListRow *row = b.AppendRow();
    EXPECT_EQ(a.IndexOf(row), -1);
    EXPECT_EQ(a.IndexOf(nullptr), -1);
    EXPECT_EQ(a.Row(0), nullptr);
    EXPECT_EQ(a.Row(-1), nullptr);
    EXPECT_EQ(b.Row(0), row);
}

TEST(ListRowModel, ItemIndexSemanticsOfAMultiSelectList)
{
    TEntryStore store;
    ListRowModel model(store, dsLeft);
    for (int i = 0; i < 6; ++i)
        model.AppendRow();
    model.SetItemIndex(4);
    model.SetItemIndex(1); // adds to the selection
    EXPECT_EQ(model.SelectedRows(), (std::vector<int>{1, 4}));
    EXPECT_EQ(model.ItemIndex(), 1);
    model.SetItemIndex(-1); // deselects the first selected row only
    EXPECT_EQ(model.SelectedRows(), (std::vector<int>{4}));
    EXPECT_EQ(model.NextSelected(4), -1);
    EXPECT_EQ(model.NextSelected(0), 4);
    model.SetItemIndex(-1);
    model.SetItemIndex(-1); // nothing selected: nothing happens
    EXPECT_EQ(model.SelectedCount(), 0);
    EXPECT_EQ(model.ItemIndex(), -1);
    EXPECT_EQ(model.SelectedEntry(), nullptr);
}

TEST(ListRowModel, SelectionAndFocusTravelWithTheirRows)
{
    TEntryStore store;
    ListRowModel model(store, dsRight);
    std::vector<ListRow *> rows;
    for (int i = 0; i < 5; ++i)
        rows.push_back(model.AppendRow());
    model.SetSelected(1, true);
    model.SetSelected(3, true);
    model.SetFocusedRow(3);
    // Reverse the order: row objects keep their state.
    model.SortRows([&](const ListRow &a, const ListRow &b) { return b.Index() - a.Index(); });
    EXPECT_EQ(model.Row(0), rows[4]);
    EXPECT_EQ(model.SelectedRows(), (std::vector<int>{1, 3}));
    EXPECT_EQ(model.FocusedRow(), 1);
    EXPECT_TRUE(rows[3]->Selected());

    QSignalSpy selection(&model, &ListRowModel::selectionChanged);
    model.DeleteRow(rows[3]); // selected and focused
    EXPECT_EQ(model.SelectedCount(), 1);
    EXPECT_EQ(model.FocusedRow(), -1);
    EXPECT_EQ(selection.count(), 1);
    EXPECT_EQ(model.FirstSelected(), 2);
    model.DeleteRow(rows[4]); // before the selected row, which moves up
    EXPECT_EQ(model.FirstSelected(), 1);
    model.DeleteRowsIf([&](const ListRow &r) { return &r == rows[1]; });
    EXPECT_EQ(model.SelectedCount(), 0);
    EXPECT_EQ(model.FirstSelected(), -1);
}

TEST(ListRowModel, TopRowIsClampedAndScrolledInWholeRows)
{
    TEntryStore store;
    ListRowModel model(store, dsLeft);
    for (int i = 0; i < 30; ++i)
        model.AppendRow();
    model.SetRowHeight(18);
    model.SetTopRow(100);
    EXPECT_EQ(model.TopRow(), 29); // visible row count unknown: up to the last row
    model.SetVisibleRowCount(10);
    EXPECT_EQ(model.TopRow(), 20);
    model.SetTopRow(-4);
    EXPECT_EQ(model.TopRow(), 0);
    model.ScrollBy(18 * 7 + 17); // 7 rows and a bit: whole rows only
    EXPECT_EQ(model.TopRow(), 7);
    model.ScrollBy(-18 * 3);
    EXPECT_EQ(model.TopRow(), 4);
    QSignalSpy top(&model, &ListRowModel::topRowChanged);
    model.DeleteRowsIf([](const ListRow &r) { return r.Index() >= 8; });
    EXPECT_EQ(model.TopRow(), 0); // 8 rows fit in 10 visible rows
    model.SetTopRow(0);
    EXPECT_EQ(top.count(), 0);
}

TEST(ListRowModel, AnArrivingIconChangesOnlyTheIconOfItsRow)
{
    // Thumbnails arrive by the ten thousand after the lists are ready: what follows row
    // changes (the session's recovery, the rename preview, the pair check) must not look at
    // each of them; only the views redraw the icon.
    TEntryStore store;
    ListRowModel model(store, dsLeft);
    for (int i = 0; i < 4; ++i)
        model.AppendRow();
    ListRowItemModel shown(&model);
    QSignalSpy changed(&model, &ListRowModel::rowsChanged);
    QSignalSpy icons(&model, &ListRowModel::iconsChanged);
    QSignalSpy drawn(&shown, &QAbstractItemModel::dataChanged);

    model.Row(2)->SetImageIndex(5);
    model.Row(2)->SetImageIndex(5); // no change, no signal
    EXPECT_EQ(changed.count(), 0);
    ASSERT_EQ(icons.count(), 1);
    EXPECT_EQ(icons.at(0), (QList<QVariant>{2, 2}));
    ASSERT_EQ(drawn.count(), 1);
    EXPECT_EQ(drawn.at(0).at(0).toModelIndex(), shown.index(2, 0));
    EXPECT_EQ(drawn.at(0).at(1).toModelIndex(), shown.index(2, 0));
    EXPECT_EQ(drawn.at(0).at(2).value<QList<int>>(), QList<int>{Qt::DecorationRole});
}

TEST(ListRowModel, UpdateCountingBatchesTextAndSelectionSignals)
{
    TEntryStore store;
    ListRowModel model(store, dsLeft);
    for (int i = 0; i < 4; ++i)
        model.AppendRow();
    QSignalSpy changed(&model, &ListRowModel::rowsChanged);
    QSignalSpy selection(&model, &ListRowModel::selectionChanged);
    QSignalSpy inserted(&model, &ListRowModel::rowsInserted);

    model.Row(2)->SetText(lcNewName, QStringLiteral("a"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toInt(), 2);
    model.Row(2)->SetText(lcNewName, QStringLiteral("a")); // no change, no signal
    EXPECT_EQ(changed.count(), 1);

    model.BeginUpdate();
    model.BeginUpdate();
    for (int i = 0; i < 4; ++i) {
        model.Row(i)->SetText(lcAttributes, QString::number(i));
        model.Row(i)->SetImageIndex(i);
        model.SetSelected(i, true);
    }
    model.AppendRow(); // structural changes are never held back
    EXPECT_EQ(inserted.count(), 1);
    model.EndUpdate();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(selection.count(), 0);
    model.EndUpdate();
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed.at(1).at(0).toInt(), 0);
    EXPECT_EQ(changed.at(1).at(1).toInt(), 4);
    ASSERT_EQ(selection.count(), 1);
    EXPECT_EQ(selection.at(0), (QList<QVariant>{0, 3})); // the rows whose selection changed
    model.EndUpdate();                                   // unbalanced: ignored
    EXPECT_EQ(model.UpdateCount(), 0);

    {
        ListUpdateGuard guard(&model);
        model.Row(0)->ClearTexts();
        EXPECT_EQ(model.UpdateCount(), 1);
    }
    EXPECT_EQ(model.UpdateCount(), 0);
    EXPECT_EQ(changed.count(), 3);
}

TEST(ListRowModel, ColumnTitles)
{
    const QStringList titles = {QStringLiteral("N\u00B0"),
                                "Attributes",
                                "Original name",
                                "Date / Time",
                                "New name",
                                "Type",
                                "Source folder",
                                "Target folder"};
    for (int c = 0; c < ListColumnCount; ++c)
        EXPECT_EQ(ListColumnTitle(c), titles[c]);
    EXPECT_TRUE(ListColumnTitle(ListColumnCount).isEmpty());
    EXPECT_TRUE(ListColumnTitle(-1).isEmpty());
}

// The adapter follows every kind of change of real entry rows without breaking the item
// model rules that QAbstractItemModelTester checks.
TEST(ListRowItemModel, FollowsRowChangesUnderTheModelTester)
{
    TEntryStore store;
    ListRowModel left(store, dsLeft);
    ListRowModel right(store, dsRight);
    ListRowModel::LinkLists(left, right);
    TImageList icons(16, 16);
    left.SetSmallImages(&icons);
    ListRowItemModel model(&left);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    EXPECT_EQ(model.columnCount(), 8);
    EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Date / Time"));
    EXPECT_FALSE(model.headerData(0, Qt::Vertical).isValid());

    std::vector<TDatensatz *> images;
    for (int i = 0; i < 12; ++i) {
        TDatensatz *e = AppendEntry(left, i, QStringLiteral("/p/IMG_%1.jpg").arg(i), dsLeft);
        TDatensatz *g = CreateGap(right);
        LinkBothWays(e, g);
        images.push_back(e);
    }
    EXPECT_EQ(model.rowCount(), 12);
    EXPECT_EQ(model.index(3, lcNewName).data().toString(), QStringLiteral("IMG_3_M.jpg"));
    EXPECT_EQ(model.index(3, lcOriginalName).data().toString(), QString()); // until a refresh
    RefreshAllEntries(store.Registry);
    EXPECT_EQ(model.index(3, lcOriginalName).data().toString(), QStringLiteral("IMG_3.jpg"));
    EXPECT_EQ(ListRowItemModel::entryOf(model.index(3, 0)), images[3]);
    EXPECT_FALSE(model.index(3, 0).data(Qt::DecorationRole).isValid()); // no thumbnail
    EXPECT_FALSE(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));
    // An image excluded from the batch job is greyed; a gap (never in the job) is not.
    images[4]->SetBatch(false);
    EXPECT_EQ(model.index(4, lcNewName).data(Qt::ForegroundRole).value<QColor>(),
              ListRowItemModel::ExcludedTextColor());
    EXPECT_FALSE(model.index(3, lcNewName).data(Qt::ForegroundRole).isValid());
    ListRowItemModel rightModel(&right);
    EXPECT_FALSE(rightModel.index(4, lcNewName).data(Qt::ForegroundRole).isValid());
    images[4]->SetBatch(true);

    // A row shows its entry's icon, built when a view asks for it, and built again when
    // the image list has lost it.
    QImage red(16, 16, QImage::Format_RGB32);
    red.fill(Qt::red);
    images[2]->OrgBild()->Thumbnail = red;
    images[2]->RefreshThumbnail();
    EXPECT_EQ(icons.Count(), 0);
    const auto isRed = [](const QImage &icon) {
        return !icon.isNull() && qRed(icon.pixel(8, 8)) > 200 && qGreen(icon.pixel(8, 8)) < 60;
    };
    EXPECT_TRUE(isRed(model.index(2, 0).data(Qt::DecorationRole).value<QImage>()));
    icons.Clear();
    EXPECT_TRUE(isRed(model.index(2, 0).data(Qt::DecorationRole).value<QImage>()));

    QSignalSpy dataChanged(&model, &QAbstractItemModel::dataChanged);
    images[5]->RenameTo(QStringLiteral("Venice"));
    ASSERT_GE(dataChanged.count(), 1);
    EXPECT_EQ(dataChanged.last().at(0).value<QModelIndex>().row(), 5);
    EXPECT_EQ(model.index(5, lcNewName).data().toString(), QStringLiteral("Venice_M.jpg"));

    left.SetSelected(4, true);
    EXPECT_TRUE(model.index(4, 0).data(ListRowItemModel::SelectedRole).toBool());
    // Views are told about that row only: they walk every row of a changed range.
    EXPECT_EQ(dataChanged.last().at(1).value<QModelIndex>().row(), 4);
    left.SetSelected(7, true);
    ASSERT_FALSE(RunSelectAction(left, saDeleteEntryPair).Failed());
    EXPECT_EQ(model.rowCount(), 10);
    left.SortRows(
        [](const ListRow &a, const ListRow &b) { return b.Data()->Number() - a.Data()->Number(); });
    EXPECT_EQ(model.index(0, lcOriginalName).data().toString(), QStringLiteral("IMG_11.jpg"));
    RefreshAllEntries(store.Registry);
    left.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    right.Clear();
}

} // namespace
