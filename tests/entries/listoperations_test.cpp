// The operations on the selected rows of a list and on the pair structure.
#include "support/listfixture.h"

#include "entries/listitemmodel.h"
#include "imaging/dsorgbild.h"
#include "imaging/imagelist.h"

#include <QSignalSpy>

namespace {

using ListOps = ListFixture;

QString p(int i)
{
    return QStringLiteral("/photos/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
}

TEST_F(ListOps, RemoveImageOppositeGapDeletesBothRows)
{
    addSingle(left, p(1));
    TDatensatz *victim = addSingle(left, p(2));
    addSingle(left, p(3));
    TDatensatz *other = left.EntryAt(2);
    select(left, {1});
    const TSelectActionResult r = RunSelectAction(left, saDeleteEntryPair);
    EXPECT_FALSE(r.Failed());
    EXPECT_TRUE(r.RowsChanged);
    EXPECT_FALSE(store.Registry.Contains(victim));
    EXPECT_EQ(left.Count(), 2);
    EXPECT_EQ(right.Count(), 2);
    EXPECT_EQ(left.EntryAt(1), other);
    EXPECT_INVARIANTS(true);
}

TEST_F(ListOps, RemoveImageOfAStereoPairLeavesAGapOppositeAnUnassignedImage)
{
    auto [l, r] = addPair(p(1), p(2));
    select(left, {0});
    const TSelectActionResult res = RunSelectAction(left, saDeleteEntryPair);
    EXPECT_FALSE(res.RowsChanged);
    EXPECT_EQ(left.Count(), 1);
    EXPECT_EQ(l->Attribute(), daGap);
    EXPECT_EQ(r->Attribute(), daUnassigned);
    EXPECT_EQ(l->Partner(), r);
    EXPECT_EQ(l->SourcePath(), QString());
    EXPECT_INVARIANTS(true);

    // The selected row is a gap now: removing it again does nothing.
    const TSelectActionResult again = RunSelectAction(left, saDeleteEntryPair);
    EXPECT_FALSE(again.RowsChanged);
    EXPECT_EQ(left.Count(), 1);
    EXPECT_FALSE(DeleteEntryPair(nullptr));
}

// Several selected rows: the walk restarts after each deletion, images turned into gaps stay
// selected and are skipped, and it ends when nothing more can be deleted.
TEST_F(ListOps, RemoveSeveralSelectedRows)
{
    addSingle(left, p(0));                         // row 0: deleted with its gap
    auto pair1 = addPair(p(1), p(101));            // row 1: becomes a gap, stays
    addSingle(left, p(2));                         // row 2: deleted
    TDatensatz *keep = addSingle(left, p(3));      // row 3: not selected
    TDatensatz *gapRow = addSingle(right, p(104)); // row 4: left side is a gap
    auto pair2 = addPair(p(5), p(105));            // row 5: becomes a gap
    select(left, {0, 1, 2, 4, 5});
    const TSelectActionResult r = RunSelectAction(left, saDeleteEntryPair);
    EXPECT_TRUE(r.RowsChanged);
    ASSERT_EQ(left.Count(), 4);
    EXPECT_EQ(left.EntryAt(0), pair1.first);
    EXPECT_EQ(left.EntryAt(1), keep);
    EXPECT_EQ(left.EntryAt(2), gapRow->Partner());
    EXPECT_EQ(left.EntryAt(3), pair2.first);
    EXPECT_EQ(pair1.first->Attribute(), daGap);
    EXPECT_EQ(pair1.second->Attribute(), daUnassigned);
    EXPECT_EQ(pair2.second->Attribute(), daUnassigned);
    EXPECT_EQ(left.SelectedRows(), (std::vector<int>{0, 2, 3}));
    EXPECT_INVARIANTS(true);
}

TEST_F(ListOps, MarkUnassignedOrMonoOnlyOppositeGaps)
{
    TDatensatz *single = addSingle(left, p(1));
    auto [l, r] = addPair(p(2), p(3));
    TDatensatz *gap = addSingle(right, p(4))->Partner();
    select(left, {0, 1, 2});
    EXPECT_FALSE(RunSelectAction(left, saMarkMono).RowsChanged);
    EXPECT_EQ(single->Attribute(), daMono);
    EXPECT_EQ(l->Attribute(), daStereoPair);
    EXPECT_EQ(gap->Attribute(), daGap); // a gap's partner is an image
    EXPECT_EQ(single->Item()->Text(lcAttributes), QStringLiteral("Monoscopic"));
    EXPECT_FALSE(RunSelectAction(left, saMarkUnassigned).Failed());
    EXPECT_EQ(single->Attribute(), daUnassigned);
    EXPECT_EQ(l->Attribute(), daStereoPair);
    EXPECT_INVARIANTS(true);
}

// Field actions change the entry and nothing else; the caller refreshes the rows.
TEST_F(ListOps, FieldActions)
{
    TDatensatz *a = addSingle(left, p(1));
    TDatensatz *b = addSingle(left, p(2));
    TDatensatz *c = addSingle(left, p(3));
    select(left, {0, 2});
    const QString targetBefore = a->Item()->Text(lcTargetFolder);
    struct Case
    {
        int code;
        std::function<bool(const TDatensatz *)> holds;
    };
    const QList<Case> cases = {
        {saRotate270, [](auto *e) { return e->Rotation() == 3; }},
        {saRotate90, [](auto *e) { return e->Rotation() == 1; }},
        {saBatchOff, [](auto *e) { return !e->Batch(); }},
        {saInvertOn, [](auto *e) { return e->Invert(); }},
        {saMirrorOn, [](auto *e) { return e->Mirror(); }},
        {saInvertOff, [](auto *e) { return !e->Invert(); }},
        {saMirrorOff, [](auto *e) { return !e->Mirror(); }},
        {saBatchOn, [](auto *e) { return e->Batch(); }},
        {saRotate0, [](auto *e) { return e->Rotation() == 0; }},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.code);
        const TSelectActionResult r = RunSelectAction(left, k.code);
        EXPECT_FALSE(r.RowsChanged);
        EXPECT_TRUE(k.holds(a));
        EXPECT_TRUE(k.holds(c));
        if (k.code == saBatchOff) {
            EXPECT_EQ(a->Item()->Text(lcTargetFolder), targetBefore); // not rewritten
        }
    }
    EXPECT_EQ(b->Rotation(), 0);
    EXPECT_TRUE(b->Batch());
    // Unknown codes do nothing.
    EXPECT_FALSE(RunSelectAction(left, 17).RowsChanged);
    EXPECT_FALSE(RunSelectAction(left, 255).Failed());
    EXPECT_INVARIANTS(true);
}

TEST_F(ListOps, CollectGathersSelectedEntriesInRowOrder)
{
    addSingle(left, p(1));
    TDatensatz *b = addSingle(left, p(2));
    auto [l, r] = addPair(p(3), p(4));
    select(left, {2, 1});
    std::vector<TDatensatz *> collected;
    EXPECT_FALSE(RunSelectAction(left, saCollect, &collected).RowsChanged);
    EXPECT_EQ(collected, (std::vector<TDatensatz *>{b, l}));
    EXPECT_FALSE(RunSelectAction(left, saCollect).Failed()); // no collection: nothing
}

TEST_F(ListOps, BrokenPairStructureIsAnInternalError)
{
    TDatensatz *a = addSingle(left, p(1));
    TDatensatz *b = addSingle(left, p(2));
    TDatensatz *c = addSingle(left, p(3));
    b->Partner()->SetPartner(nullptr);
    b->SetPartner(nullptr);
    select(left, {0, 1, 2});
    const TSelectActionResult r = RunSelectAction(left, saRotate180);
    ASSERT_TRUE(r.Failed());
    EXPECT_EQ(r.Error, QStringLiteral("procedure RunSelectAction Item.Data=nil"));
    EXPECT_EQ(a->Rotation(), 2); // rows before keep their change
    EXPECT_EQ(c->Rotation(), 0); // rows after are not reached

    left.Row(1)->SetData(nullptr); // a row without entry
    delete b;
    EXPECT_TRUE(RunSelectAction(left, saRotate90).Failed());
    EXPECT_EQ(a->Rotation(), 1);
}

TEST_F(ListOps, SwapPairExchangesRowsButKeepsLinksAndSides)
{
    addSingle(left, p(0));
    auto [l, r] = addPair(p(1), p(2));
    SwapPair(r);
    EXPECT_EQ(left.EntryAt(1), r);
    EXPECT_EQ(right.EntryAt(1), l);
    EXPECT_EQ(l->Partner(), r);
    EXPECT_EQ(l->Attribute(), daStereoPair);
    EXPECT_EQ(l->Side(), dsLeft);
    EXPECT_EQ(l->Item()->Text(lcType), QStringLiteral("Left"));
    // Its name follows the list it is in now.
    EXPECT_EQ(l->Item()->Text(lcNewName), QStringLiteral("IMG_0001_R.jpg"));
    EXPECT_EQ(r->Item()->Text(lcNewName), QStringLiteral("IMG_0002_L.jpg"));
    EXPECT_INVARIANTS(true);

    // Through the action, on a single image: the gap comes to the left.
    TDatensatz *single = left.EntryAt(0);
    select(left, {0, 1});
    EXPECT_FALSE(RunSelectAction(left, saSwapPair).RowsChanged);
    EXPECT_EQ(right.EntryAt(0), single);
    EXPECT_EQ(left.EntryAt(1), l); // swapped back
    EXPECT_INVARIANTS(true);
    SwapPair(nullptr);
}

TEST_F(ListOps, SplitPairLeavesTwoImagesOppositeNewGaps)
{
    auto [l, r] = addPair(p(1), p(2));
    // Capture and sort times differ per image, so that each gap's times name their source.
    l->OrgBild()->JpegData.CaptureTime = 90.25;
    r->OrgBild()->JpegData.CaptureTime = 90.5;
    l->SetSortTime(100.25);
    r->SetSortTime(100.5);
    select(right, {0});
    const TSelectActionResult res = RunSelectAction(right, saSplitPair);
    EXPECT_TRUE(res.RowsChanged);
    ASSERT_EQ(left.Count(), 2);
    ASSERT_EQ(right.Count(), 2);
    TDatensatz *gapRight = right.EntryAt(1);
    TDatensatz *gapLeft = left.EntryAt(1);
    EXPECT_EQ(l->Partner(), gapRight);
    EXPECT_EQ(r->Partner(), gapLeft);
    EXPECT_EQ(gapRight->Attribute(), daGapNew);
    EXPECT_EQ(gapRight->SortTime(), 100.5); // the time of the image in its own list
    EXPECT_EQ(gapLeft->SortTime(), 100.25);
    EXPECT_EQ(gapRight->CaptureTime(), 90.5);
    EXPECT_EQ(gapLeft->CaptureTime(), 90.25);
    EXPECT_EQ(l->Attribute(), daUnassigned);
    EXPECT_EQ(r->Side(), dsMono);
    EXPECT_EQ(l->Item()->Text(lcType), QStringLiteral("Monoscopic"));
    EXPECT_INVARIANTS(false);
    realign();
    EXPECT_INVARIANTS(true);
    // Splitting an image opposite a gap does nothing.
    select(left, {0, 1});
    EXPECT_FALSE(RunSelectAction(left, saSplitPair).RowsChanged);
}

TEST_F(ListOps, LinkPairMarksFormerPartnersObsolete)
{
    TDatensatz *a = addSingle(left, p(1));
    TDatensatz *b = addSingle(right, p(2));
    TDatensatz *oldA = a->Partner();
    TDatensatz *oldB = b->Partner();
    LinkPair(a, b);
    EXPECT_EQ(a->Partner(), b);
    EXPECT_EQ(b->Partner(), a);
    EXPECT_EQ(a->Attribute(), daStereoPair);
    EXPECT_EQ(oldA->Attribute(), daObsolete);
    EXPECT_EQ(oldB->Partner(), nullptr);
    EXPECT_EQ(a->Side(), dsLeft); // sides are not changed
    EXPECT_INVARIANTS(false);
    realign();
    EXPECT_EQ(left.Count(), 1);
    EXPECT_INVARIANTS(true);

    // Linking a pair again keeps both images.
    LinkPair(a, b);
    EXPECT_EQ(a->Attribute(), daStereoPair);
    EXPECT_FALSE(a->SourcePath().isEmpty());
    EXPECT_INVARIANTS(true);
}

TEST_F(ListOps, MarkStereoPairsTakesSelectedRowsAsCouples)
{
    TDatensatz *a = addSingle(left, p(1));
    TDatensatz *b = addSingle(left, p(2));
    TDatensatz *c = addSingle(left, p(3));
    select(left, {0, 1, 2});
    const TSelectActionResult r = RunSelectAction(left, saMarkStereoPairs);
    EXPECT_TRUE(r.RowsChanged);
    EXPECT_EQ(a->Partner(), b);
    EXPECT_EQ(a->Attribute(), daStereoPair);
    EXPECT_EQ(b->List(), &right); // the second one moved to the other list
    EXPECT_EQ(c->Attribute(), daUnassigned);
    EXPECT_EQ(c->Partner()->Attribute(), daGap);
    realign();
    EXPECT_EQ(left.Count(), 2);
    EXPECT_INVARIANTS(true);
}

TEST_F(ListOps, MarkStereoPairsSkipsPairsAndUsesTheImageOppositeASelectedGap)
{
    auto [l, r] = addPair(p(1), p(2));
    TDatensatz *a = addSingle(left, p(3));
    TDatensatz *b = addSingle(right, p(4)); // its left row is a gap
    select(left, {0, 1, 2});
    const TSelectActionResult res = RunSelectAction(left, saMarkStereoPairs);
    EXPECT_TRUE(res.RowsChanged);
    EXPECT_EQ(l->Partner(), r);
    EXPECT_EQ(a->Partner(), b);
    EXPECT_EQ(b->Attribute(), daStereoPair);
    EXPECT_EQ(a->List(), &left);
    EXPECT_EQ(b->List(), &right);
    realign();
    EXPECT_EQ(left.Count(), 2);
    EXPECT_INVARIANTS(true);

    // Two selected gap rows pair the two images opposite them.
    TDatensatz *c = addSingle(right, p(5));
    TDatensatz *d = addSingle(right, p(6));
    select(left, {2, 3});
    EXPECT_TRUE(RunSelectAction(left, saMarkStereoPairs).RowsChanged);
    EXPECT_EQ(c->Partner(), d);
    EXPECT_NE(c->List(), d->List());
    realign();
    EXPECT_INVARIANTS(true);
}

TEST_F(ListOps, SelectByAttributeAddsToTheSelection)
{
    addSingle(left, p(1));                       // 0 unassigned
    auto pair = addPair(p(2), p(3));             // 1 stereo pair
    addSingle(left, p(4))->SetAttribute(daMono); // 2 mono
    addSingle(right, p(5));                      // 3 gap
    CreateGap(left);                             // 4 gap (new), no partner
    struct Case
    {
        int mode;
        std::vector<int> rows;
    };
    const QList<Case> cases = {{0, {0, 1, 2, 3, 4}}, {1, {1}}, {2, {2}}, {3, {0}},
                               {4, {3, 4}},          {5, {}},  {-1, {}}};
    for (const Case &c : cases) {
        left.ClearSelection();
        SelectByAttribute(left, c.mode);
        EXPECT_EQ(left.SelectedRows(), c.rows) << "mode " << c.mode;
    }
    left.ClearSelection();
    left.SetSelected(0, true);
    SelectByAttribute(left, 1);
    EXPECT_EQ(left.SelectedRows(), (std::vector<int>{0, 1}));

    ListRowModel empty(store, dsLeft);
    SelectByAttribute(empty, 0);
    EXPECT_EQ(empty.SelectedCount(), 0);
    (void)pair;
}

TEST_F(ListOps, ScrollAndSelectEntry)
{
    for (int i = 0; i < 40; ++i)
        addSingle(i % 2 ? right : left, p(i));
    for (ListRowModel *list : {&left, &right}) {
        list->SetRowHeight(17);
        list->SetVisibleRowCount(10);
    }
    TDatensatz *e = left.EntryAt(20);
    ScrollRowIntoPlace(e, -1);
    EXPECT_EQ(left.TopRow(), 19);
    ScrollRowIntoPlace(e, -5);
    EXPECT_EQ(left.TopRow(), 15);
    ScrollRowIntoPlace(left.EntryAt(38), 0);
    EXPECT_EQ(left.TopRow(), 30); // no further than the last page
    ScrollRowIntoPlace(nullptr, 0);

    select(left, {1, 2, 3});
    select(right, {7});
    TDatensatz *target = left.EntryAt(25);
    EXPECT_EQ(SelectEntry(store.Registry, target, true), SelectEntryResult::Selected);
    EXPECT_EQ(left.SelectedRows(), (std::vector<int>{25}));
    EXPECT_EQ(right.SelectedRows(), (std::vector<int>{25}));
    EXPECT_EQ(left.FocusedRow(), 25);
    EXPECT_EQ(left.TopRow(), 24);
    EXPECT_EQ(right.TopRow(), 24);

    select(right, {7});
    EXPECT_EQ(SelectEntry(store.Registry, left.EntryAt(3), false), SelectEntryResult::Selected);
    EXPECT_EQ(right.SelectedRows(), (std::vector<int>{7})); // other list untouched
    EXPECT_EQ(SelectEntry(store.Registry, nullptr, true), SelectEntryResult::NoEntry);

    TDatensatz *gone = left.EntryAt(5);
    left.DeleteRow(gone->Item());
    EXPECT_EQ(SelectEntry(store.Registry, gone, true), SelectEntryResult::Gone);
    EXPECT_EQ(left.SelectedRows(), (std::vector<int>{3}));
}

TEST_F(ListOps, RefreshAllEntriesRewritesEveryRowOnce)
{
    for (int i = 0; i < 6; ++i)
        addPair(p(i), p(100 + i));
    QSignalSpy leftChanged(&left, &ListRowModel::rowsChanged);
    QSignalSpy rightChanged(&right, &ListRowModel::rowsChanged);
    store.Naming.SuffixLeft = QStringLiteral("-left");
    RefreshAllEntries(store.Registry);
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(left.Row(i)->Text(lcNewName).endsWith(QStringLiteral("-left.jpg")));
    EXPECT_EQ(leftChanged.count(), 1);
    EXPECT_EQ(rightChanged.count(), 1);
}

TEST_F(ListOps, HolderFlagsAndThumbnails)
{
    auto [l, r] = addPair(p(1), p(2));
    TDatensatz *copy = TDatensatz::CreateCopy(left.AppendRow(), *l, dsLeft, 1);
    TDatensatz *gap = CreateGap(right);
    LinkBothWays(copy, gap);
    l->SetHolderFlags(hfCounted | hfMoved);
    r->SetHolderFlags(hfRotated);
    EXPECT_EQ(copy->HolderFlags(), hfCounted | hfMoved); // one file, one flag byte
    ClearHolderFlags(store.Registry);
    EXPECT_EQ(l->HolderFlags(), 0);
    EXPECT_EQ(r->HolderFlags(), 0);

    TImageList icons(16, 16);
    left.SetSmallImages(&icons);
    QImage blue(40, 30, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    l->OrgBild()->Thumbnail = blue;
    // Icons are built when a view draws the row, not when the row is refreshed.
    l->RefreshThumbnail();
    EXPECT_EQ(l->Item()->ImageIndex(), IconOnDemand);
    EXPECT_EQ(icons.Count(), 0);
    ListRowItemModel shown(&left);
    const auto iconOf = [&shown](const TDatensatz *e) {
        return shown.data(shown.index(e->RowIndex(), lcNumber), Qt::DecorationRole).value<QImage>();
    };
    EXPECT_EQ(iconOf(l).size(), QSize(16, 16));
    copy->SetRotation(1);
    EXPECT_EQ(iconOf(copy).size(), QSize(16, 16)); // same file, other rotation: another icon
    EXPECT_EQ(icons.Count(), 2);
    l->RefreshThumbnail();
    EXPECT_EQ(l->Item()->ImageIndex(), 0); // built: the row names it
    // Cleared thumbnails come back, and the list says so, so that its views do not go on
    // showing rows without icons.
    QSignalSpy changed(&left, &ListRowModel::rowsChanged);
    ClearThumbnails(store, icons);
    EXPECT_EQ(icons.Count(), 0);
    EXPECT_EQ(changed.count(), 1);
    for (const TDatensatz *e : {l, copy})
        EXPECT_FALSE(iconOf(e).isNull()) << e->SourcePath().toStdString();
    EXPECT_EQ(r->Item()->ImageIndex(), -1); // the right list has no image list
    EXPECT_INVARIANTS(false);
}

} // namespace
