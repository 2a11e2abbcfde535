// The main window's actions on selected rows and the edit panel state, on two lists built in
// memory (no files are read).
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "pairing/ordering.h"
#include "session/editpanelstate.h"
#include "session/listactions.h"
#include "session/mainstate.h"
#include "support/listfixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class ListActionsTest : public ListFixture
{
protected:
    TMainWindowState state;
    TOrderingPass pass{left, right};
    TListActions actions{pass, state};

    // A row pair: an image in list with a gap (attribute gapAttribute) opposite it, or with
    // an image opposite when partnerName is given. Both rows are appended.
    TDatensatz *pairRow(ListRowModel &list, const QString &name, TDsAttribute attribute,
                        const QString &partnerName = {}, TDsAttribute gapAttribute = daGap)
    {
        ListRowModel &other = &list == &left ? right : left;
        TDatensatz *e =
            AppendEntry(list, list.Count(), "/mem/" + name, static_cast<TDsSide>(list.Side()));
        TDatensatz *p;
        if (partnerName.isEmpty()) {
            p = CreateGap(other);
            p->SetAttribute(gapAttribute);
        } else {
            p = AppendEntry(other, other.Count(), "/mem/" + partnerName,
                            static_cast<TDsSide>(other.Side()));
            p->SetAttribute(attribute);
        }
        e->SetAttribute(attribute);
        LinkBothWays(e, p);
        e->SetNumber(e->RowIndex());
        p->SetNumber(p->RowIndex());
        return e;
    }
};

} // namespace

TEST_F(ListActionsTest, SearchWalksInBothDirectionsAndFindsExactAttributes)
{
    pairRow(left, "a", daStereoPair, "A");
    pairRow(left, "b", daMono);
    pairRow(left, "c", daStereoPair, "C");
    pairRow(left, "d", daUnassigned);
    // A picture of the right list opposite a new gap that has not taken over its time.
    pairRow(right, "E", daUnassigned, {}, daGapNew);

    select(left, {0});
    EXPECT_TRUE(actions.GoNext(left, srStereoPair, false, false));
    EXPECT_EQ(left.SelectedRows(), std::vector<int>{2});
    EXPECT_FALSE(actions.GoNext(left, srStereoPair, false, false));
    EXPECT_EQ(left.SelectedRows(), std::vector<int>{2});
    EXPECT_TRUE(actions.GoNext(left, srMono, false, true));
    EXPECT_EQ(left.SelectedRows(), std::vector<int>{1});
    // From the beginning backward starts at the last row.
    EXPECT_TRUE(actions.GoNext(left, srUnassigned, true, true));
    EXPECT_EQ(left.SelectedRows(), std::vector<int>{3});
    // "Gap" finds settled gaps only: the new gap in the last left row is passed over.
    ASSERT_EQ(left.EntryAt(4)->Attribute(), daGapNew);
    EXPECT_FALSE(actions.GoNext(left, srGap, true, false));
    EXPECT_TRUE(actions.GoNext(right, srGap, true, false));
    EXPECT_EQ(right.SelectedRows(), std::vector<int>{1});
    // Without a current row a backward search has nowhere to start.
    left.ClearSelection();
    EXPECT_FALSE(actions.GoNext(left, srStereoPair, false, true));
}

TEST_F(ListActionsTest, SearchScrollsThePartnerListAlongOnlyWithSynchronousSelection)
{
    for (int i = 0; i < 30; ++i)
        pairRow(left, QString("p%1").arg(i), i == 20 ? daMono : daStereoPair,
                i == 20 ? QString() : QString("P%1").arg(i));
    for (ListRowModel *l : {&left, &right}) {
        l->SetRowHeight(10);
        l->SetVisibleRowCount(5);
    }
    left.SetTopRow(0);
    right.SetTopRow(0);
    ASSERT_TRUE(actions.GoNext(left, srMono, true, false));
    // The found row stands one below the top; the partner list follows.
    EXPECT_EQ(left.TopRow(), 19);
    EXPECT_EQ(right.TopRow(), 19);

    right.SetTopRow(0);
    state.PanelFlags = pfSynchronOff;
    ASSERT_TRUE(actions.GoNext(left, srMono, true, false));
    EXPECT_EQ(right.TopRow(), 0);
}

TEST_F(ListActionsTest, SearchUnassignedLeavesItsBitAndFindsInEachList)
{
    pairRow(left, "a", daStereoPair, "A");
    pairRow(left, "b", daUnassigned);
    pairRow(right, "C", daUnassigned);
    const TSearchUnassignedResult found = actions.SearchUnassigned();
    EXPECT_TRUE(found.Left);
    EXPECT_TRUE(found.Right);
    EXPECT_EQ(left.SelectedRows(), std::vector<int>{1});
    EXPECT_EQ(right.SelectedRows(), std::vector<int>{2});
    EXPECT_EQ(state.PanelFlags, 0);
}

TEST_F(ListActionsTest, SelectionButtonsReplaceTheSelectionOfBothLists)
{
    TDatensatz *a = pairRow(left, "a", daStereoPair, "A");
    pairRow(left, "b", daMono);
    pairRow(right, "C", daUnassigned);
    pairRow(left, "d", daStereoPair, "D");
    a->SetPairConfidence(0.55); // doubtful
    a->Partner()->SetPairConfidence(0.55);
    select(left, {0, 1, 2});
    select(right, {0});
    actions.SelectByButton(4); // gaps
    EXPECT_EQ(left.SelectedRows(), std::vector<int>{2});
    EXPECT_EQ(right.SelectedRows(), std::vector<int>{1});
    actions.SelectByButton(3); // unassigned
    EXPECT_EQ(left.SelectedRows(), std::vector<int>{});
    EXPECT_EQ(right.SelectedRows(), std::vector<int>{2});
    actions.SelectByButton(5); // doubtful pairs
    EXPECT_EQ(left.SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(right.SelectedRows(), std::vector<int>{0});
    actions.SelectByButton(9); // no such class
    EXPECT_TRUE(left.SelectedRows().empty() && right.SelectedRows().empty());
    EXPECT_EQ(state.BusyFlags, 0);
}

TEST_F(ListActionsTest, RemoveFromListSelectsTheRowsLeftWhereTheEntriesStood)
{
    pairRow(left, "a", daUnassigned);
    pairRow(left, "b", daUnassigned);
    pairRow(left, "c", daUnassigned);
    select(left, {1, 2});
    EXPECT_TRUE(actions.RemoveFromList(left, nullptr).isEmpty());
    // Both pictures opposite gaps are gone with their gaps.
    ASSERT_EQ(left.Count(), 1);
    ASSERT_EQ(right.Count(), 1);
    // The remembered row (1) is limited to the last row.
    EXPECT_EQ(left.SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(right.SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(state.PanelFlags, 0);
    EXPECT_EQ(store.Registry.Count(), 2);
}

TEST_F(ListActionsTest, RemoveFromListOfAPairMemberKeepsBothRows)
{
    TDatensatz *a = pairRow(left, "a", daStereoPair, "A");
    TDatensatz *partner = a->Partner();
    select(left, {0});
    EXPECT_TRUE(actions.RemoveFromList(left, nullptr).isEmpty());
    EXPECT_EQ(left.Count(), 1);
    EXPECT_EQ(a->Attribute(), daGap);
    EXPECT_EQ(partner->Attribute(), daUnassigned);
}

TEST_F(ListActionsTest, BrokenPairStructureIsReportedAndTheBitsAreCleared)
{
    TDatensatz *a = pairRow(left, "a", daUnassigned);
    pairRow(left, "b", daUnassigned);
    TDatensatz *gap = a->Partner();
    a->SetPartner(nullptr);
    select(left, {0, 1});
    EXPECT_EQ(actions.RunListAction(left, saMarkMono).Error, RunSelectActionNilError);
    EXPECT_EQ(actions.RemoveFromList(left, nullptr), RunSelectActionNilError);
    EXPECT_EQ(actions.EditSelected(left, saInvertOn), RunSelectActionNilError);
    EXPECT_EQ(state.BusyFlags, 0);
    EXPECT_EQ(state.PanelFlags, 0);
    // The selection is restored after the list action.
    EXPECT_EQ(left.SelectedRows(), (std::vector<int>{0, 1}));
    a->SetPartner(gap);
}

TEST_F(ListActionsTest, ListActionsKeepTheSelectionAndOrderAgainAfterStructuralChanges)
{
    pairRow(left, "a", daStereoPair, "A");
    pairRow(left, "b", daStereoPair, "B");
    select(left, {1});
    select(right, {0});
    state.LastEntry = left.EntryAt(1);
    EXPECT_TRUE(actions.RunListAction(left, saSplitPair).Error.isEmpty());
    // Split: the pair becomes two unassigned pictures opposite new gaps, in aligned rows.
    ASSERT_EQ(left.Count(), 3);
    ASSERT_EQ(right.Count(), 3);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(left.EntryAt(r)->Partner(), right.EntryAt(r)) << r;
    EXPECT_EQ(state.BusyFlags, 0);
}

TEST_F(ListActionsTest, EditPanelStateFollowsTheSelectedEntry)
{
    TDatensatz *a = pairRow(left, "a", daUnassigned);
    pairRow(left, "b", daUnassigned);
    a->SetInvert(true);
    a->SetRotation(3);
    a->SetBatch(false);

    TEditPanelState none = EditPanelState(left, true);
    EXPECT_FALSE(none.HasEntry);
    EXPECT_FALSE(none.SideControlsEnabled);
    EXPECT_FALSE(none.ExcludeEnabled);

    select(left, {0});
    TEditPanelState s = EditPanelState(left, true);
    EXPECT_TRUE(s.HasEntry);
    EXPECT_TRUE(s.SideControlsEnabled);
    EXPECT_TRUE(s.ExcludeChecked);
    EXPECT_TRUE(s.ExcludeEnabled);
    EXPECT_TRUE(s.Invert);
    EXPECT_EQ(s.Rotation, 3);

    // One selected gap: nothing to exclude; with a second row selected it may be changed.
    select(right, {0});
    EXPECT_FALSE(EditPanelState(right, true).ExcludeEnabled);
    select(right, {0, 1});
    EXPECT_TRUE(EditPanelState(right, true).ExcludeEnabled);
    // A gap made by the program has rotation -1; the panel shows 0°.
    EXPECT_EQ(EditPanelState(right, true).Rotation, 0);

    // While the pair prompt is open nothing of the edit area is enabled.
    TEditPanelState off = EditPanelState(left, false);
    EXPECT_FALSE(off.SideControlsEnabled);
    EXPECT_FALSE(off.ExcludeEnabled);
}

TEST_F(ListActionsTest, PartnerScrollFollowsOnlyTheFocusedRow)
{
    for (int i = 0; i < 20; ++i)
        pairRow(left, QString("p%1").arg(i), daStereoPair, QString("P%1").arg(i));
    for (ListRowModel *l : {&left, &right}) {
        l->SetRowHeight(10);
        l->SetVisibleRowCount(5);
    }
    select(left, {12});
    left.SetTopRow(10);
    right.SetTopRow(0);
    AlignPartnerScroll(left, 0);
    EXPECT_EQ(right.TopRow(), 0); // the row has no focus
    left.SetFocusedRow(12);
    AlignPartnerScroll(left, pfSynchronOff);
    EXPECT_EQ(right.TopRow(), 0);
    AlignPartnerScroll(left, 0);
    EXPECT_EQ(right.TopRow(), 10);
}

// Scrolling one list takes the other to the same top row while the counterpart is selected
// permanently; with that off, or while the pair prompt has the lists selected
// independently, each list scrolls on its own.
TEST_F(ListActionsTest, ScrollingOneListScrollsTheOtherWithSynchronousSelection)
{
    for (int i = 0; i < 40; ++i)
        pairRow(left, QString::number(i), daMono);
    left.SetVisibleRowCount(10);
    right.SetVisibleRowCount(10);
    QObject::connect(&left, &ListRowModel::topRowChanged, [this] { actions.FollowTopRow(left); });
    QObject::connect(&right, &ListRowModel::topRowChanged, [this] { actions.FollowTopRow(right); });

    struct Case
    {
        quint8 panelFlags;
        bool follows;
    };
    for (const Case c : {Case{0, true}, Case{pfSynchronOff, false}, Case{pfPairDialogOpen, false},
                         Case{pfLeftDelete, true}}) {
        SCOPED_TRACE(int(c.panelFlags));
        state.PanelFlags = 0;
        left.SetTopRow(0);
        right.SetTopRow(0);
        state.PanelFlags = c.panelFlags;
        left.SetTopRow(17);
        EXPECT_EQ(right.TopRow(), c.follows ? 17 : 0);
        right.SetTopRow(25);
        EXPECT_EQ(left.TopRow(), c.follows ? 25 : 17);
    }
}

// "Mark Stereo Pair" on a picture and a gap row pairs the picture with the one opposite
// the gap; the gap leaves the lists. When that gap was the row last selected, it cannot be
// selected again and the window beeps; a last selected entry that is still there is
// selected without a beep.
TEST_F(ListActionsTest, ListActionBeepsWhenTheLastSelectedEntryWasFreed)
{
    for (const bool lastIsGap : {true, false}) {
        SCOPED_TRACE(lastIsGap);
        left.Clear();
        right.Clear();
        TDatensatz *a = pairRow(left, "a", daUnassigned);
        pairRow(right, "B", daUnassigned);
        state.LastEntry = lastIsGap ? left.EntryAt(1) : a;
        select(left, {0, 1});
        const TActionOutcome outcome = actions.RunListAction(left, saMarkStereoPairs);
        EXPECT_TRUE(outcome.Error.isEmpty());
        EXPECT_EQ(outcome.Beep, lastIsGap);
        ASSERT_EQ(left.Count(), 1);
        EXPECT_EQ(a->Attribute(), daStereoPair);
    }
}

TEST_F(ListActionsTest, SelectionButtonsBringTheFirstSelectedRowIntoSight)
{
    for (int i = 0; i < 30; ++i) {
        const QString name = QString::number(i);
        if (i == 17)
            pairRow(left, name, daMono);
        else if (i == 22)
            pairRow(right, name, daUnassigned);
        else
            pairRow(left, name, daStereoPair, name + "R");
    }
    for (ListRowModel *list : {&left, &right})
        list->SetVisibleRowCount(8);
    const struct
    {
        int top;      // where the lists stand before the click
        int mode;     // the button
        int expected; // top row afterwards
    } cases[] = {
        {0, 4, 16},  // gaps: the right gap in row 17, one row above it stays in sight
        {12, 4, 12}, // row 17 is in sight already
        {0, 3, 21},  // unassigned: the right picture in row 22
        {0, 2, 16},  // monoscopic: row 17
        {5, 1, 0},   // pairs: row 0, above the view
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        left.SetTopRow(c.top);
        right.SetTopRow(c.top);
        actions.SelectByButton(c.mode);
        EXPECT_EQ(left.TopRow(), c.expected);
        EXPECT_EQ(right.TopRow(), c.expected);
    }
}
