// Pair editing on top of the ordering pass: the follow-up passes of an assignment,
// "Connect"/"Split", "Combinations" and the counterpart selection.
#include "session_ordering_fixture.h"

#include "entries/datensatzlist.h"
#include "entries/entrystore.h"
#include "entries/listoperations.h"
#include "session/paireditor.h"

namespace {

using Names = std::vector<std::string>;

class PairingTest : public SessionOrderingFixture
{
protected:
    TPairEditing editing{pass, state};

    void selectEntries(TDatensatz *a, TDatensatz *b)
    {
        selectRow(left, a ? a->RowIndex() : -1);
        selectRow(right, b ? b->RowIndex() : -1);
    }
    void arranged()
    {
        ASSERT_EQ(pass.ArrangeLists(OrderingMode::SortOnly), ArrangeOutcome::Completed);
        EXPECT_ALIGNED();
    }
};

TEST(LinkButton, EnablingRule)
{
    TEntryStore store;
    ListRowModel l(store, dsLeft), r(store, dsRight);
    TDatensatz *img = AppendEntry(l, 0, QStringLiteral("/mem/a.jpg"), dsLeft);
    TDatensatz *img2 = AppendEntry(r, 0, QStringLiteral("/mem/b.jpg"), dsRight);
    TDatensatz *gl = CreateGap(l);
    TDatensatz *gr = CreateGap(r);
    gr->SetAttribute(daGap);
    struct Case
    {
        const TDatensatz *a, *b;
        bool linkMode, editArea, enabled;
    } cases[] = {
        {img, img2, false, true, true},     {img, img2, true, true, true},
        {img, gr, false, true, false}, // a picture and a gap opposite it
        {gl, img2, false, true, true},      {gl, img2, true, true, false},
        {gl, gr, false, true, false}, // two gaps
        {img, nullptr, false, true, false}, {nullptr, img2, false, true, false},
        {img, img2, false, false, false}, // edit area disabled (pair prompt open)
    };
    for (const Case &c : cases)
        EXPECT_EQ(TPairEditing::LinkButtonEnabled(c.a, c.b, c.linkMode, c.editArea), c.enabled)
            << (c.a ? int(c.a->Attribute()) : -1) << " " << (c.b ? int(c.b->Attribute()) : -1)
            << " " << c.linkMode;
}

TEST_F(PairingTest, ConnectingTwoPairedPicturesLeavesGapsOppositeTheFormerPartners)
{
    auto [a, oa] =
        stereo(QStringLiteral("A.jpg"), at(10, 0, 0), QStringLiteral("OA.jpg"), at(10, 0, 0));
    auto [ob, b] =
        stereo(QStringLiteral("OB.jpg"), at(11, 0, 0), QStringLiteral("B.jpg"), at(11, 0, 0));
    arranged();
    selectEntries(a, b);
    editing.RefreshLinkButton();
    EXPECT_TRUE(state.LinkEnabled);
    EXPECT_FALSE(state.LinkMode); // reads "Connect"

    ASSERT_TRUE(editing.PanelLinkClick());
    EXPECT_ALIGNED();
    EXPECT_EQ(a->Partner(), b);
    EXPECT_EQ(a->Attribute(), daStereoPair);
    EXPECT_EQ(a->Side(), dsLeft);
    EXPECT_EQ(b->Side(), dsRight);
    for (TDatensatz *former : {oa, ob}) {
        EXPECT_EQ(former->Attribute(), daUnassigned);
        EXPECT_EQ(former->Side(), dsMono);
        EXPECT_EQ(former->Partner()->Attribute(), daGap);
    }
    EXPECT_EQ(left.Count(), 3);
    // The connected pair is selected and the toggle now reads "Split".
    EXPECT_EQ(left.SelectedEntry(), a);
    EXPECT_EQ(right.SelectedEntry(), b);
    EXPECT_TRUE(state.LinkMode);
    EXPECT_EQ(state.BusyFlags, 0);
}

TEST_F(PairingTest, ConnectingTwoPicturesOppositeGapsDeletesBothGapRows)
{
    TDatensatz *a = single(left, QStringLiteral("A.jpg"), at(10, 0, 0));
    TDatensatz *b = single(right, QStringLiteral("B.jpg"), at(10, 0, 1));
    arranged();
    ASSERT_EQ(left.Count(), 2);
    selectEntries(a, b);
    ASSERT_TRUE(editing.PanelLinkClick());
    EXPECT_ALIGNED();
    EXPECT_EQ(left.Count(), 1);
    EXPECT_EQ(store.Registry.Count(), 2);
    EXPECT_EQ(a->Partner(), b);
    EXPECT_EQ(b->Attribute(), daStereoPair);
}

TEST_F(PairingTest, ConnectingWithOneLoneGapLinksTheFormerPartners)
{
    TDatensatz *a = single(left, QStringLiteral("A.jpg"), at(10, 0, 0));
    auto [ob, b] =
        stereo(QStringLiteral("OB.jpg"), at(11, 0, 0), QStringLiteral("B.jpg"), at(11, 0, 0));
    TDatensatz *oa = a->Partner(); // a gap
    arranged();
    selectEntries(a, b);
    ASSERT_TRUE(editing.PanelLinkClick());
    EXPECT_ALIGNED();
    EXPECT_EQ(ob->Partner(), oa);
    EXPECT_EQ(ob->Attribute(), daUnassigned);
    EXPECT_EQ(left.Count(), 2);
}

TEST_F(PairingTest, SplitMakesBothUnassignedOppositeNewGaps)
{
    auto [a, b] =
        stereo(QStringLiteral("A.jpg"), at(10, 0, 0), QStringLiteral("B.jpg"), at(10, 0, 0));
    arranged();
    selectEntries(a, b);
    editing.RefreshLinkButton();
    EXPECT_TRUE(state.LinkMode); // reads "Split"
    ASSERT_TRUE(editing.PanelLinkClick());
    EXPECT_ALIGNED();
    EXPECT_FALSE(state.LinkMode);
    EXPECT_EQ(left.Count(), 2);
    for (TDatensatz *e : {a, b}) {
        EXPECT_EQ(e->Attribute(), daUnassigned);
        EXPECT_EQ(e->Side(), dsMono);
        EXPECT_TRUE(IsGapAttribute(e->Partner()->Attribute()));
    }
}

TEST_F(PairingTest, DisabledButtonDoesNothing)
{
    TDatensatz *a = single(left, QStringLiteral("A.jpg"), at(10, 0, 0));
    arranged();
    selectEntries(a, a->Partner()); // a picture and the gap opposite it
    EXPECT_FALSE(editing.PanelLinkClick());
    EXPECT_EQ(a->Attribute(), daUnassigned);
    EXPECT_ALIGNED();
}

TEST_F(PairingTest, CombinationsOfThreePicturesWithoutAsking)
{
    TDatensatz *p[3];
    for (int i = 0; i < 3; ++i)
        p[i] = single(left, QStringLiteral("P%1.jpg").arg(i), at(10, 0, 10 * i));
    arranged();
    state.LastEntry = p[1];
    left.SelectAll();
    bool asked = false;
    EXPECT_TRUE(
        editing.ButtonKombiClick([&](const QString &) { return asked = true; }).Error.isEmpty());
    EXPECT_FALSE(asked);
    EXPECT_ALIGNED();
    // Pairs 1-2, 1-3, 2-3; the originals have left the lists.
    EXPECT_EQ(names(left), (Names{"P0.jpg", "P0.jpg", "P1.jpg"}));
    EXPECT_EQ(names(right), (Names{"P1.jpg", "P2.jpg", "P2.jpg"}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(left.EntryAt(i)->Attribute(), daStereoPair);
    // The last entry became a copy of itself (the first one made); copies share holders.
    ASSERT_TRUE(store.Registry.Contains(state.LastEntry));
    EXPECT_EQ(PathFileName(state.LastEntry->SourcePath()), QStringLiteral("P1.jpg"));
    EXPECT_EQ(left.EntryAt(0)->HolderRefCount(), 2);
    EXPECT_EQ(state.BusyFlags, 0);
}

TEST_F(PairingTest, CombinationsOfFiveAskFirst)
{
    for (int i = 0; i < 5; ++i)
        single(i % 2 ? right : left, QStringLiteral("P%1.jpg").arg(i), at(10, 0, 10 * i));
    arranged();
    left.SelectAll();
    right.SelectAll();
    QString question;
    EXPECT_TRUE(editing
                    .ButtonKombiClick([&](const QString &q) {
                        question = q;
                        return false;
                    })
                    .Error.isEmpty());
    EXPECT_EQ(question, QStringLiteral("Create all combinations of the 5 selected images?\r\n"
                                       "This will create 10 stereo pairs."));
    EXPECT_EQ(left.Count(), 5); // declined: nothing changed
    EXPECT_ALIGNED();

    EXPECT_TRUE(editing.ButtonKombiClick([](const QString &) { return true; }).Error.isEmpty());
    EXPECT_ALIGNED();
    EXPECT_EQ(left.Count(), 10);
    EXPECT_EQ(state.BusyFlags, 0);
}

TEST_F(PairingTest, CombinationsOfOnePictureRemoveIt)
{
    TDatensatz *keep = single(left, QStringLiteral("K.jpg"), at(9, 0, 0));
    TDatensatz *gone = single(left, QStringLiteral("G.jpg"), at(10, 0, 0));
    arranged();
    selectRow(left, gone->RowIndex());
    selectRow(right, gone->Partner()->RowIndex()); // the gap is dropped from the images
    EXPECT_TRUE(editing.ButtonKombiClick({}).Error.isEmpty());
    EXPECT_ALIGNED();
    EXPECT_EQ(names(left), (Names{"K.jpg"}));
    EXPECT_TRUE(store.Registry.Contains(keep));
}

TEST_F(PairingTest, AssignStepsRunTheFollowUpPasses)
{
    // A monoscopic left picture and an unassigned right one at the same time: mode 4
    // dissolves and pairs them, mode 5 leaves the monoscopic one alone.
    for (OrderingMode stored : {OrderingMode::AssignAll, OrderingMode::AssignUnpaired}) {
        left.Clear();
        right.Clear();
        TDatensatz *m = single(left, QStringLiteral("M.jpg"), at(10, 0, 0), daMono);
        TDatensatz *x = single(right, QStringLiteral("X.jpg"), at(10, 0, 0));
        arranged();

        EXPECT_EQ(editing.HandleAssignStep(TAssignStep::NoRun, stored),
                  TAssignStepAction::ShowPairDialog);
        EXPECT_ALIGNED();
        EXPECT_EQ(state.PanelFlags & pfPairDialogOpen, pfPairDialogOpen);
        EXPECT_FALSE(state.EditAreaEnabled);
        EXPECT_EQ(state.PairDialogMode, stored);

        EXPECT_EQ(editing.HandleAssignStep(TAssignStep::Next, state.PairDialogMode),
                  TAssignStepAction::HidePairDialog);
        EXPECT_ALIGNED();
        if (stored == OrderingMode::AssignAll) {
            EXPECT_EQ(m->Partner(), x);
        } else {
            EXPECT_EQ(m->Attribute(), daMono);
            EXPECT_NE(m->Partner(), x);
        }

        EXPECT_EQ(editing.HandleAssignStep(TAssignStep::PromptHidden, stored),
                  TAssignStepAction::PairDialogClosed);
        EXPECT_ALIGNED();
        EXPECT_EQ(state.PanelFlags, 0);
        EXPECT_TRUE(state.EditAreaEnabled);
    }
    EXPECT_EQ(editing.HandleAssignStep(TAssignStep::NoRunEmptyList, OrderingMode::AssignAll),
              TAssignStepAction::ShowNoAssignmentHint);
    EXPECT_ALIGNED();
    EXPECT_EQ(editing.HandleAssignStep(TAssignStep(5), OrderingMode::AssignAll),
              TAssignStepAction::None);
    EXPECT_TRUE(NoAssignmentHintText().startsWith(QStringLiteral("<FB><c4><FS12>Hint:<FN>")));
}

TEST_F(PairingTest, CounterpartSelection)
{
    auto [a, b] =
        stereo(QStringLiteral("A.jpg"), at(10, 0, 0), QStringLiteral("B.jpg"), at(10, 0, 0));
    TDatensatz *c = single(left, QStringLiteral("C.jpg"), at(11, 0, 0));
    arranged();
    selectEntries(a, c->Partner());

    // The user picks A: the request is posted and the right selection cleared.
    EXPECT_TRUE(editing.RequestPartnerSelection(left, a->RowIndex()));
    EXPECT_TRUE(right.SelectedRows().empty());
    const auto requests = recorder.takePartnerRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].second, a);

    const TPartnerSelection dirty = editing.SelectPartner(a);
    EXPECT_TRUE(dirty.RightDirty);
    EXPECT_FALSE(dirty.LeftDirty);
    EXPECT_EQ(right.SelectedEntry(), b);
    EXPECT_EQ(state.BusyFlags, 0);

    // From the right list the counterpart is selected in the left list.
    selectEntries(nullptr, b);
    EXPECT_TRUE(editing.SelectPartner(b).LeftDirty);
    EXPECT_EQ(left.SelectedEntry(), a);

    // A left entry that is no longer the first selected row of its list (an earlier row was
    // selected meanwhile) has its partner's row selected in the left list itself; the right
    // list is left alone.
    selectEntries(a, nullptr);
    left.SetSelected(c->RowIndex(), true);
    const TPartnerSelection later = editing.SelectPartner(c);
    EXPECT_TRUE(later.LeftDirty);
    EXPECT_FALSE(later.RightDirty);
    EXPECT_EQ(left.SelectedRows(), std::vector<int>{c->Partner()->RowIndex()});
    EXPECT_TRUE(right.SelectedRows().empty());

    // A freed entry is ignored.
    TDatensatz *freed = c;
    left.DeleteRow(c->RowIndex());
    selectEntries(nullptr, nullptr);
    const TPartnerSelection none = editing.SelectPartner(freed);
    EXPECT_FALSE(none.LeftDirty || none.RightDirty);
    EXPECT_TRUE(left.SelectedRows().empty());

    // With the pair prompt open the lists are selected independently.
    state.PanelFlags = pfPairDialogOpen;
    selectEntries(a, b);
    EXPECT_FALSE(editing.RequestPartnerSelection(left, a->RowIndex()));
    EXPECT_EQ(right.SelectedEntry(), b);
    EXPECT_TRUE(recorder.takePartnerRequests().empty());
}

TEST_F(PairingTest, SynchronousSelectionCheckBox)
{
    auto [a, b] =
        stereo(QStringLiteral("A.jpg"), at(10, 0, 0), QStringLiteral("B.jpg"), at(10, 0, 0));
    arranged();
    selectEntries(a, b);
    state.LastEntry = a;
    editing.CheckBoxSynchronClick(false);
    EXPECT_EQ(state.PanelFlags, pfSynchronOff);
    EXPECT_TRUE(recorder.takePartnerRequests().empty());

    editing.CheckBoxSynchronClick(true);
    EXPECT_EQ(state.PanelFlags, 0);
    const auto requests = recorder.takePartnerRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].second, a);
    EXPECT_TRUE(right.SelectedRows().empty());

    // Ticked again when the last entry is not the left list's selected one and the right
    // list has no selection: nothing is posted and the left selection is cleared.
    editing.CheckBoxSynchronClick(false);
    selectEntries(a, nullptr);
    state.LastEntry = b;
    editing.CheckBoxSynchronClick(true);
    EXPECT_TRUE(recorder.takePartnerRequests().empty());
    EXPECT_TRUE(left.SelectedRows().empty());
}

} // namespace
