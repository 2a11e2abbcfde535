// The ordering pass and the chronological order on hand-made lists.
#include "session_ordering_fixture.h"

#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "pairing/ordering_time.h"
#include "pairing/orderingprogress.h"
#include "pairing/sorting.h"
#include "session/sortaction.h"

#include <QSignalSpy>

namespace {

using Names = std::vector<std::string>;

class OrderingPassTest : public SessionOrderingFixture
{
protected:
    int rowOf(const ListRowModel &list, const char *name) const
    {
        const std::vector<std::string> all = names(list);
        const auto it = std::find(all.begin(), all.end(), name);
        return it == all.end() ? -1 : static_cast<int>(it - all.begin());
    }
};

// Right camera 47 s ahead; the intervals 5, 7, 18 s agree from the first shot on.
TEST_F(OrderingPassTest, RunGivesTheOffsetAndTheLastPairComesFromTime)
{
    const double l[] = {at(10, 0, 0), at(10, 0, 5), at(10, 0, 12), at(10, 0, 30)};
    const double r[] = {at(10, 0, 47), at(10, 0, 52), at(10, 0, 59), at(10, 1, 17)};
    for (int i = 0; i < 4; ++i) {
        single(left, QStringLiteral("L%1.jpg").arg(i), l[i]);
        single(right, QStringLiteral("R%1.jpg").arg(i), r[i]);
    }
    ASSERT_EQ(pass.ArrangeLists(OrderingMode::SortOnly), ArrangeOutcome::Completed);
    EXPECT_ALIGNED();
    EXPECT_EQ(left.Count(), 8); // every picture opposite a gap

    ASSERT_EQ(pass.ArrangeLists(OrderingMode::AssignAll), ArrangeOutcome::Completed);
    EXPECT_ALIGNED();
    EXPECT_EQ(names(left), (Names{"L0.jpg", "L1.jpg", "L2.jpg", "L3.jpg"}));
    EXPECT_EQ(names(right), (Names{"R0.jpg", "R1.jpg", "R2.jpg", "R3.jpg"}));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(left.EntryAt(i)->Attribute(), daStereoPair);
        EXPECT_EQ(left.EntryAt(i)->Side(), dsLeft);
        EXPECT_EQ(right.EntryAt(i)->Side(), dsRight);
        // The earlier (left) list was moved forward onto the right clock; the right list
        // keeps its capture times.
        EXPECT_LE(SecondsBetween(left.EntryAt(i)->SortTime(), right.EntryAt(i)->CaptureTime()), 1);
        EXPECT_EQ(right.EntryAt(i)->SortTime(), right.EntryAt(i)->CaptureTime());
    }
    EXPECT_TRUE(recorder.take().empty());
}

TEST_F(OrderingPassTest, NoRunAsksForThePairPromptAndLeavesTheEntriesDissolved)
{
    // Left intervals 5, 7 against right intervals 5, 12: no two agree in a row.
    const double l[] = {at(10, 0, 0), at(10, 0, 5), at(10, 0, 12)};
    const double r[] = {at(11, 0, 0), at(11, 0, 5), at(11, 0, 17)};
    for (int i = 0; i < 3; ++i) {
        single(left, QStringLiteral("L%1.jpg").arg(i), l[i], daMono);
        single(right, QStringLiteral("R%1.jpg").arg(i), r[i]);
    }
    pass.ArrangeLists(OrderingMode::SortOnly);
    const int rowsBefore = left.Count();

    EXPECT_EQ(ArrangeWindowLists(pass, &state, OrderingMode::AssignAll), ArrangeOutcome::NoRun);
    EXPECT_EQ(recorder.take(), (std::vector<std::pair<int, int>>{{3, 1}}));
    // Nothing was deleted or created; every picture is unassigned without partner, and
    // every gap is obsolete until the follow-up pass.
    EXPECT_EQ(left.Count(), rowsBefore);
    for (const ListRowModel *list : {&left, &right}) {
        for (int i = 0; i < list->Count(); ++i) {
            const TDatensatz *e = list->EntryAt(i);
            if (IsGapAttribute(e->Attribute())) {
                EXPECT_EQ(e->Attribute(), daObsolete);
                EXPECT_EQ(e->Partner(), nullptr); // no link to a picture that may go first
            } else {
                EXPECT_EQ(e->Attribute(), daUnassigned);
                EXPECT_EQ(e->Partner(), nullptr);
            }
        }
    }

    // The follow-up pass of mode 3 gives every picture a gap again, as unassigned.
    EXPECT_EQ(pass.ArrangeLists(OrderingMode::MarkUnassigned), ArrangeOutcome::Completed);
    EXPECT_ALIGNED();
    EXPECT_EQ(left.Count(), 6);
    for (int i = 0; i < 6; ++i) {
        const TDatensatz *e = left.EntryAt(i);
        const TDatensatz *image = IsGapAttribute(e->Attribute()) ? e->Partner() : e;
        EXPECT_EQ(image->Attribute(), daUnassigned);
        EXPECT_EQ(image->Side(), dsMono);
    }
}

// The session's pair check runs after each pass that completed, on the lists as the pass
// left them and while they are still marked busy; a pass that found no run is not checked.
TEST_F(OrderingPassTest, ThePairCheckSeesEveryCompletedPassAndNoOther)
{
    const double l[] = {at(10, 0, 0), at(10, 0, 5), at(10, 0, 12)};
    const double r[] = {at(11, 0, 0), at(11, 0, 5), at(11, 0, 17)};
    for (int i = 0; i < 3; ++i) {
        single(left, QStringLiteral("L%1.jpg").arg(i), l[i]);
        single(right, QStringLiteral("R%1.jpg").arg(i), r[i]);
    }
    struct Seen
    {
        int mode;
        int rows;
        bool busy;
    };
    std::vector<Seen> seen;
    state.PairCheck = [&](ListRowModel &checkedLeft, ListRowModel &checkedRight,
                          OrderingMode mode) {
        EXPECT_EQ(&checkedLeft, &left);
        EXPECT_EQ(&checkedRight, &right);
        EXPECT_EQ(alignmentFault(), "");
        seen.push_back({int(mode), checkedLeft.Count(), (state.BusyFlags & bfOrdering) != 0});
    };
    EXPECT_EQ(ArrangeWindowLists(pass, &state, OrderingMode::SortOnly), ArrangeOutcome::Completed);
    EXPECT_EQ(ArrangeWindowLists(pass, &state, OrderingMode::AssignAll), ArrangeOutcome::NoRun);
    EXPECT_EQ(ArrangeWindowLists(pass, &state, OrderingMode::MarkUnassigned),
              ArrangeOutcome::Completed);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].mode, 0);
    EXPECT_EQ(seen[1].mode, 3);
    for (const Seen &s : seen) {
        EXPECT_EQ(s.rows, 6);
        EXPECT_TRUE(s.busy);
    }
    EXPECT_EQ(state.BusyFlags, 0);
}

TEST_F(OrderingPassTest, AnEmptyListAsksForTheHintInsteadOfThePrompt)
{
    single(left, QStringLiteral("L0.jpg"), at(10, 0, 0));
    single(left, QStringLiteral("L1.jpg"), at(10, 0, 5));
    pass.ArrangeLists(OrderingMode::SortOnly);
    EXPECT_EQ(ArrangeWindowLists(pass, &state, OrderingMode::AssignUnpaired),
              ArrangeOutcome::ListEmpty);
    EXPECT_EQ(recorder.take(), (std::vector<std::pair<int, int>>{{7, 2}}));
    // The pictures may be removed before the follow-up pass runs; their obsolete gaps go
    // with the next pass (a sanitizer build catches any link left dangling).
    left.Clear();
    EXPECT_EQ(pass.ArrangeLists(OrderingMode::MarkUnassigned), ArrangeOutcome::Completed);
    EXPECT_EQ(right.Count(), 0);
}

TEST_F(OrderingPassTest, PairingByTimeTakesTheEarlierOfTwoFittingPictures)
{
    // A run pairs the first three; then left 10:01:00 has right pictures at 10:00:59 and
    // 10:01:01 within 2 s: the earlier one wins, the later one stays monoscopic.
    const double l[] = {at(10, 0, 0), at(10, 0, 5), at(10, 0, 12), at(10, 1, 0)};
    const double r[] = {at(10, 0, 0), at(10, 0, 5), at(10, 0, 12), at(10, 0, 59), at(10, 1, 1)};
    for (int i = 0; i < 4; ++i)
        single(left, QStringLiteral("L%1.jpg").arg(i), l[i]);
    for (int i = 0; i < 5; ++i)
        single(right, QStringLiteral("R%1.jpg").arg(i), r[i]);
    pass.ArrangeLists(OrderingMode::SortOnly);
    ASSERT_EQ(pass.ArrangeLists(OrderingMode::AssignAll), ArrangeOutcome::Completed);
    EXPECT_ALIGNED();
    EXPECT_EQ(names(left), (Names{"L0.jpg", "L1.jpg", "L2.jpg", "L3.jpg", "-"}));
    EXPECT_EQ(names(right), (Names{"R0.jpg", "R1.jpg", "R2.jpg", "R3.jpg", "R4.jpg"}));
    EXPECT_EQ(right.EntryAt(3)->Attribute(), daStereoPair);
    EXPECT_EQ(right.EntryAt(4)->Attribute(), daMono);
    EXPECT_EQ(right.EntryAt(4)->Side(), dsMono);
}

TEST_F(OrderingPassTest, ModeTwoPairsOnlyUnassignedPictures)
{
    auto [pl, pr] =
        stereo(QStringLiteral("PL.jpg"), at(9, 0, 0), QStringLiteral("PR.jpg"), at(12, 0, 0));
    TDatensatz *mono = single(left, QStringLiteral("M.jpg"), at(10, 0, 0), daMono);
    for (int i = 0; i < 3; ++i) {
        single(left, QStringLiteral("L%1.jpg").arg(i), at(11, 0, 10 * i));
        single(right, QStringLiteral("R%1.jpg").arg(i), at(11, 0, 10 * i + 30));
    }
    // A right picture at the monoscopic one's time: mode 2 must not touch the mono.
    single(right, QStringLiteral("X.jpg"), at(10, 0, 0));
    pass.ArrangeLists(OrderingMode::SortOnly);

    ASSERT_EQ(pass.ArrangeLists(OrderingMode::AssignUnpaired), ArrangeOutcome::Completed);
    EXPECT_ALIGNED();
    EXPECT_EQ(pl->Partner(), pr);
    EXPECT_EQ(pl->Attribute(), daStereoPair);
    EXPECT_EQ(mono->Attribute(), daMono);
    EXPECT_TRUE(IsGapAttribute(mono->Partner()->Attribute()));
    for (int i = 0; i < left.Count(); ++i) {
        const TDatensatz *e = left.EntryAt(i);
        if (PathFileName(e->SourcePath()).startsWith(u'L')) {
            EXPECT_EQ(e->Attribute(), daStereoPair);
        }
    }
}

TEST_F(OrderingPassTest, ModeZeroOnlyReordersAndTidiesGaps)
{
    TDatensatz *a = single(left, QStringLiteral("A.jpg"), at(10, 0, 30), daMono);
    TDatensatz *b = single(left, QStringLiteral("B.jpg"), at(10, 0, 10));
    TDatensatz *c = single(right, QStringLiteral("C.jpg"), at(10, 0, 20));
    b->Partner()->SetAttribute(daGapNew);
    TDatensatz *lone = gap(right, 0, daObsolete);
    (void)lone;
    pass.ArrangeLists(OrderingMode::SortOnly);
    EXPECT_ALIGNED();
    EXPECT_EQ(right.Count(), 3); // the obsolete gap is gone
    EXPECT_EQ(a->Attribute(), daMono);
    EXPECT_EQ(b->Attribute(), daUnassigned);
    EXPECT_EQ(c->Attribute(), daUnassigned);
    EXPECT_EQ(b->Partner()->Attribute(), daGap);
    // Each list is in chronological order among the rows of its work entries.
    EXPECT_LT(b->RowIndex(), a->RowIndex());
}

TEST_F(OrderingPassTest, DissolvingDoesNotTurnANewGapIntoAnImage)
{
    // A "Gap (New)" in the left list opposite a right picture is met before its picture.
    TDatensatz *r = single(right, QStringLiteral("R.jpg"), at(10, 0, 0));
    TDatensatz *g = r->Partner();
    g->SetAttribute(daGapNew);
    single(left, QStringLiteral("L.jpg"), at(12, 0, 0));
    pass.ArrangeLists(OrderingMode::AssignAll);
    pass.ArrangeLists(OrderingMode::MarkUnassigned);
    EXPECT_ALIGNED();
    // Only the two pictures are left as images; each stands opposite a gap.
    int images = 0;
    for (const ListRowModel *list : {&left, &right})
        for (int i = 0; i < list->Count(); ++i)
            if (!IsGapAttribute(list->EntryAt(i)->Attribute())) {
                ++images; // a real picture, with its file
                EXPECT_FALSE(list->EntryAt(i)->SourcePath().isEmpty());
            }
    EXPECT_EQ(images, 2);
}

TEST_F(OrderingPassTest, TheOffsetOfARunReplacesTheOffsetOfTheSelectedPair)
{
    // Right clock 30 s ahead. The selected pair (L5 and R0) says the left picture is 72 s
    // later, which would move the right list; the run moves the left list by 30 s. Only the
    // run's offset may count, or the last picture of the run (paired by time) is missed.
    for (int i = 0; i < 6; ++i) {
        single(left, QStringLiteral("L%1.jpg").arg(i), at(10, 0, 20 * i + (i % 3)));
        single(right, QStringLiteral("R%1.jpg").arg(i), at(10, 0, 30 + 20 * i + (i % 3)));
    }
    pass.ArrangeLists(OrderingMode::SortOnly);
    selectRow(left, rowOf(left, "L5.jpg"));
    selectRow(right, rowOf(right, "R0.jpg"));
    ASSERT_EQ(pass.ArrangeLists(OrderingMode::AssignAllFromSelection), ArrangeOutcome::Completed);
    EXPECT_ALIGNED();
    EXPECT_EQ(names(left), (Names{"L0.jpg", "L1.jpg", "L2.jpg", "L3.jpg", "L4.jpg", "L5.jpg"}));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(left.EntryAt(i)->Attribute(), daStereoPair) << i;
}

TEST_F(OrderingPassTest, ModeFourUsesTheSelectedPairWhenThereIsNoRun)
{
    // Intervals 5, 7 against 5, 12: no run; the selected pair gives 3600 s.
    const double l[] = {at(10, 0, 0), at(10, 0, 5), at(10, 0, 12)};
    const double r[] = {at(11, 0, 0), at(11, 0, 5), at(11, 0, 17)};
    for (int i = 0; i < 3; ++i) {
        single(left, QStringLiteral("L%1.jpg").arg(i), l[i]);
        single(right, QStringLiteral("R%1.jpg").arg(i), r[i]);
    }
    pass.ArrangeLists(OrderingMode::SortOnly);
    ASSERT_EQ(pass.ArrangeLists(OrderingMode::AssignAll), ArrangeOutcome::NoRun);
    pass.ArrangeLists(OrderingMode::MarkUnassigned);
    selectRow(left, rowOf(left, "L0.jpg"));
    selectRow(right, rowOf(right, "R0.jpg"));
    ASSERT_EQ(pass.ArrangeLists(OrderingMode::AssignAllFromSelection), ArrangeOutcome::Completed);
    EXPECT_ALIGNED();
    // L0-R0 and L1-R1 lie within 2 s after the shift; L2 (12 s) and R2 (17 s) do not.
    EXPECT_EQ(names(left), (Names{"L0.jpg", "L1.jpg", "L2.jpg", "-"}));
    EXPECT_EQ(names(right), (Names{"R0.jpg", "R1.jpg", "-", "R2.jpg"}));
}

TEST_F(OrderingPassTest, AfterEveryPassTheNumbersReadFromZero)
{
    for (int i = 0; i < 5; ++i)
        single(i % 2 ? left : right, QStringLiteral("P%1.jpg").arg(i), at(10, 5 - i, 0));
    for (OrderingMode mode : {OrderingMode::SortOnly, OrderingMode::MarkUnassigned,
                              OrderingMode::AfterPrompt, OrderingMode::SortOnly})
        ASSERT_EQ(pass.ArrangeLists(mode), ArrangeOutcome::Completed);
    EXPECT_ALIGNED();
    EXPECT_EQ(left.Row(0)->Text(lcNumber), QString(QChar(0xA0)) + QStringLiteral("   0"));
}

TEST_F(OrderingPassTest, ProgressShowsTheStepsAndANestedPassIsRefused)
{
    class Recorder : public TOrderingProgress
    {
    public:
        TOrderingPass *pass = nullptr;
        std::vector<QString> steps;
        std::vector<ArrangeOutcome> nested;
        int rows = 0;
        void StepStarted(const QString &text, int) override
        {
            steps.push_back(text);
            nested.push_back(
                pass->ArrangeLists(OrderingMode::SortOnly)); // as if a click got through
        }
        void RowDone(int) override { ++rows; }
    } progress;
    progress.pass = &pass;
    pass.SetProgress(&progress);
    for (int i = 0; i < 4; ++i) {
        single(left, QStringLiteral("L%1.jpg").arg(i), at(10, 0, 7 * i));
        single(right, QStringLiteral("R%1.jpg").arg(i), at(10, 0, 7 * i + 30));
    }
    ASSERT_EQ(pass.ArrangeLists(OrderingMode::AssignAll), ArrangeOutcome::Completed);
    EXPECT_EQ(progress.steps,
              (std::vector<QString>{"Order data 1/5", "Order data 2/5", "Order data 3/5",
                                    "Order data 4/5", "Order data 5/5"}));
    for (ArrangeOutcome o : progress.nested)
        EXPECT_EQ(o, ArrangeOutcome::Busy);
    EXPECT_GT(progress.rows, 16);
    EXPECT_FALSE(pass.IsRunning());
    EXPECT_EQ(state.BusyFlags, 0);
    EXPECT_EQ(pass.ArrangeLists(OrderingMode(7)), ArrangeOutcome::BadMode);
}

TEST(OrderingProgressText, StatusSignals)
{
    TStatusProgress progress;
    QSignalSpy texts(&progress, &TStatusProgress::statusTextChanged);
    QSignalSpy values(&progress, &TStatusProgress::progressValueChanged);
    progress.StepStarted(OrderingStepText(2), 10000);
    for (int i = 1; i <= 10000; ++i)
        progress.RowDone(i);
    ASSERT_EQ(texts.size(), 1);
    EXPECT_EQ(texts[0][0].toString(), QStringLiteral("Order data 2/5"));
    // The bar starts at 0, ends at the maximum, and is not told about every row.
    EXPECT_EQ(values.first()[0].toInt(), 0);
    EXPECT_EQ(values.last()[0].toInt(), 10000);
    EXPECT_LT(values.size(), 1000);
}

class SortingTest : public SessionOrderingFixture
{
};

TEST_F(SortingTest, CompareEntriesByTimeThenNameIgnoringCase)
{
    TDatensatz *a = image(left, QStringLiteral("DSC_0001.JPG"), at(10, 0, 0));
    TDatensatz *b =
        image(left, QStringLiteral("dsc_0002.jpg"), at(10, 0, 0) + 0.9 * kOneMillisecondInDays);
    TDatensatz *c = image(left, QStringLiteral("A.jpg"), at(10, 0, 1));
    EXPECT_LT(CompareEntries(a, b), 0);
    EXPECT_GT(CompareEntries(b, a), 0);
    EXPECT_LT(CompareEntries(b, c), 0); // time before name
    EXPECT_EQ(CompareEntries(a, a), 0);
    // A gap with partner sorts at its partner's time; gaps standing for themselves and
    // without name compare equal when their times do.
    TDatensatz *g = gap(right, at(23, 0, 0));
    LinkBothWays(c, g);
    EXPECT_EQ(CompareEntries(g, c), 0);
    EXPECT_LT(CompareEntries(a, g), 0);
    EXPECT_EQ(CompareEntries(gap(right, 5.0), gap(right, 5.0)), 0);
    // Rows by number or by entry.
    a->SetNumber(7);
    c->SetNumber(3);
    EXPECT_GT(CompareRows(*a->Item(), *c->Item(), true), 0);
    EXPECT_LT(CompareRows(*a->Item(), *c->Item(), false), 0);
}

TEST_F(SortingTest, ChronologicalSortSurvivesNonTransitiveEquality)
{
    // File times 0.6 ms apart: each is "equal" to its neighbours but not to entries two
    // steps away. The sort must stay inside the list and keep every entry.
    std::vector<TDatensatz *> entries;
    for (int i = 0; i < 600; ++i)
        entries.push_back(image(left, QStringLiteral("F%1.jpg").arg((i * 7919) % 600),
                                at(10, 0, 0) + ((i * 37) % 600) * 0.6 * kOneMillisecondInDays));
    std::vector<TDatensatz *> sorted = entries;
    SortChronologically(sorted);
    std::sort(sorted.begin(), sorted.end());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(sorted, entries);
}

TEST_F(SortingTest, SortKeepsTheSelectionAndSurvivesAFreedSelectedGap)
{
    TDatensatz *late = single(left, QStringLiteral("late.jpg"), at(12, 0, 0));
    TDatensatz *early = single(left, QStringLiteral("early.jpg"), at(9, 0, 0));
    TDatensatz *obsolete = gap(right, 0, daObsolete);
    selectRow(left, late->RowIndex());
    selectRow(right, obsolete->RowIndex());
    state.BusyFlags = 0;
    ActionSortExecute(pass, &state);
    EXPECT_ALIGNED();
    EXPECT_EQ(early->RowIndex(), 0);
    EXPECT_EQ(late->RowIndex(), 1);
    EXPECT_EQ(left.SelectedRows(), (std::vector<int>{1}));
    EXPECT_TRUE(right.SelectedRows().empty());
    EXPECT_EQ(state.BusyFlags, 0);
}

} // namespace
