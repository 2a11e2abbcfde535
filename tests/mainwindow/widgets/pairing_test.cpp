// Pair assignment from the window: "Dissolve all assignments and re-assign", the pair prompt
// when no rhythm is found, the warning when a list is empty, "Connect" / "Split",
// "Combinations", the counterpart selection and the mouse buttons on the lists.
#include "formfixture.h"

#include "entries/datensatzlist.h"
#include "mainwindow/widgets/editarea.h"
#include "mainwindow/widgets/imagelistview.h"
#include "mainwindow/widgets/optionstack.h"
#include "preview/stereopreview.h"
#include "session/idleprocessor.h"
#include "ui/dlgbox.h"
#include "ui/widgets/formdlgnext.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using Strings = std::vector<std::string>;

namespace {

// Every shot of a camera 47 seconds ahead of the other.
const QStringList LeftRhythm{"10:00:00", "10:00:05", "10:00:12", "10:00:30"};
const QStringList RightRhythm{"10:00:47", "10:00:52", "10:00:59", "10:01:17"};
// Intervals that agree nowhere, however the seconds are rounded.
const QStringList NoRhythmLeft{"10:00:00", "10:00:05", "10:00:12"};
const QStringList NoRhythmRight{"10:01:00", "10:01:20", "10:01:50"};

} // namespace

TEST_F(FormFixture, ReassignPairsShotsByTheirRhythm)
{
    loadCameras(LeftRhythm, RightRhythm);
    EXPECT_EQ(left().Count(), 8); // every picture still opposite a gap
    click("ButtonSortAll");
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(names(left()), (Strings{"L1.jpg", "L2.jpg", "L3.jpg", "L4.jpg"}));
    EXPECT_EQ(names(right()), (Strings{"R1.jpg", "R2.jpg", "R3.jpg", "R4.jpg"}));
    EXPECT_EQ(attributes(left()), Strings(4, "Stereo Pair"));
    EXPECT_EQ(attributes(right()), Strings(4, "Stereo Pair"));
    EXPECT_EQ(column(left(), lcType), Strings(4, "Left"));
    EXPECT_EQ(column(left(), lcNewName), (Strings{"L1_L.jpg", "L2_L.jpg", "L3_L.jpg", "L4_L.jpg"}));
    EXPECT_ALIGNED();
    EXPECT_FALSE(form->pairPrompt()->isVisible());
    screenshot(QStringLiteral("pairs"));
}

TEST_F(FormFixture, OnlyUnassignedEntriesAreReassignedWhenChosen)
{
    const QStringList times{"10:00:00", "10:00:05", "10:00:12", "10:00:30", "10:00:41"};
    QStringList later;
    for (const QString &t : times)
        later << QString(t).replace(0, 2, QStringLiteral("11"));
    loadCameras(times, later);
    click("ButtonSortAll");
    ASSERT_EQ(attributes(left()), Strings(5, "Stereo Pair"));
    // Split the three middle pairs; a re-assignment of unassigned entries only pairs them
    // again (their intervals 7 s and 18 s match) and leaves the outer pairs as they are.
    clickRow(left(), 1);
    clickRow(left(), 2, Qt::ControlModifier);
    clickRow(left(), 3, Qt::ControlModifier);
    click("ButtonSplit_L");
    ASSERT_EQ(left().Count(), 8);
    const TDatensatz *first = left().EntryAt(0);
    const TDatensatz *firstPartner = right().EntryAt(0);
    form->optionStack()->RadioButtonAutoSortMonos->setChecked(true);
    click("ButtonSortAll");
    EXPECT_EQ(attributes(left()), Strings(5, "Stereo Pair"));
    EXPECT_EQ(names(right()), (Strings{"R1.jpg", "R2.jpg", "R3.jpg", "R4.jpg", "R5.jpg"}));
    EXPECT_EQ(left().EntryAt(0), first);
    EXPECT_EQ(right().EntryAt(0), firstPartner);
    EXPECT_ALIGNED();
}

TEST_F(FormFixture, PairPromptAssignsFromTheChosenPair)
{
    // Intervals 5 s, 7 s against 20 s, 30 s: no run of two matching intervals.
    loadCameras(NoRhythmLeft, NoRhythmRight);
    click("ButtonSortAll");
    TFormDlgNext *prompt = form->pairPrompt();
    ASSERT_TRUE(waitUntil([&] { return prompt->isVisible(); }));
    EXPECT_EQ(prompt->tag(), 1);
    EXPECT_FALSE(form->editArea()->isEnabled());
    // The sorting actions outside the edit area stay usable.
    EXPECT_TRUE(form->ActionSort->isEnabled());
    EXPECT_EQ(attributes(left()),
              (Strings{"Unassigned", "Unassigned", "Unassigned", "Gap", "Gap", "Gap"}));

    // The lists are selected independently now: the user picks L1 and R1 as one pair.
    clickRow(left(), 0);
    EXPECT_EQ(selectedRows(right()), std::vector<int>{});
    clickRow(right(), 3);
    EXPECT_EQ(selectedRows(left()), std::vector<int>{0});
    prompt->nextButton()->click();
    // The window posts the step: it runs after the current event.
    EXPECT_EQ(attributes(left()),
              (Strings{"Unassigned", "Unassigned", "Unassigned", "Gap", "Gap", "Gap"}));
    ASSERT_TRUE(waitUntil([&] { return form->editArea()->isEnabled(); }));
    ASSERT_TRUE(waitReady());
    EXPECT_FALSE(prompt->isVisible());

    // With the left camera 60 s behind, L1/R1 pair; no other picture has a partner within
    // 2 s, so the others are monoscopic opposite gaps.
    EXPECT_EQ(names(left()), (Strings{"L1.jpg", "L2.jpg", "L3.jpg", "", ""}));
    EXPECT_EQ(names(right()), (Strings{"R1.jpg", "", "", "R2.jpg", "R3.jpg"}));
    EXPECT_EQ(attributes(left()),
              (Strings{"Stereo Pair", "Monoscopic", "Monoscopic", "Gap", "Gap"}));
    EXPECT_EQ(attributes(right()),
              (Strings{"Stereo Pair", "Gap", "Gap", "Monoscopic", "Monoscopic"}));
    EXPECT_EQ(form->windowState().PanelFlags, 0);
    EXPECT_ALIGNED();
}

TEST_F(FormFixture, CancelledPairPromptLeavesThePicturesUnassigned)
{
    loadCameras(NoRhythmLeft, NoRhythmRight);
    click("ButtonSortAll");
    TFormDlgNext *prompt = form->pairPrompt();
    ASSERT_TRUE(waitUntil([&] { return prompt->isVisible(); }));
    click(prompt->cancelButton());
    ASSERT_TRUE(waitUntil([&] { return form->editArea()->isEnabled(); }));
    EXPECT_EQ(attributes(left()),
              (Strings{"Unassigned", "Unassigned", "Unassigned", "Gap", "Gap", "Gap"}));
    EXPECT_EQ(form->windowState().PanelFlags, 0);
    EXPECT_ALIGNED();
    // Synchronous selection works again.
    clickRow(left(), 1);
    EXPECT_TRUE(waitUntil([&] { return selectedRows(right()) == std::vector<int>{1}; }));
}

TEST_F(FormFixture, AssignmentWithAnEmptyListWarns)
{
    loadCameras({"10:00:00", "10:00:05", "10:00:12"}, {});
    QString message;
    answerNextBox(DlgResult::OK, &message);
    click("ButtonSortAll");
    ASSERT_TRUE(waitUntil([&] { return !message.isEmpty(); }));
    EXPECT_TRUE(message.contains("No list entries could get assigned automatically."))
        << message.toStdString();
    settle();
    EXPECT_FALSE(form->pairPrompt()->isVisible());
    EXPECT_EQ(attributes(left()), Strings(3, "Unassigned"));
    EXPECT_ALIGNED();
}

TEST_F(FormFixture, ConnectAndSplitByHand)
{
    loadCameras({"10:00:00"}, {"10:00:30"});
    // Two unassigned pictures, each opposite a gap, in different rows.
    ASSERT_EQ(names(left()), (Strings{"L1.jpg", ""}));
    QPushButton *link = form->editArea()->PanelLink;
    QCheckBox *synchron = form->editArea()->CheckBoxSynchron;

    // The right mouse button on a list turns the counterpart selection off.
    QTest::mouseClick(view(left())->viewport(), Qt::RightButton, {}, QPoint(5, 5));
    settle();
    EXPECT_FALSE(synchron->isChecked());
    clickRow(left(), 0);
    clickRow(right(), 1);
    EXPECT_EQ(selectedRows(left()), std::vector<int>{0});
    EXPECT_TRUE(link->isEnabled());
    EXPECT_EQ(link->text(), "Connect");

    click(link);
    EXPECT_EQ(names(left()), (Strings{"L1.jpg"}));
    EXPECT_EQ(names(right()), (Strings{"R1.jpg"}));
    EXPECT_EQ(attributes(left()), (Strings{"Stereo Pair"}));
    EXPECT_EQ(link->text(), "Split");
    EXPECT_TRUE(link->isChecked());
    EXPECT_ALIGNED();

    // The middle mouse button on a list splits the selected pair again.
    QTest::mouseClick(view(right())->viewport(), Qt::MiddleButton, {}, QPoint(5, 5));
    settle();
    EXPECT_EQ(attributes(left()), (Strings{"Unassigned", "Gap"}));
    EXPECT_EQ(attributes(right()), (Strings{"Gap", "Unassigned"}));
    EXPECT_EQ(link->text(), "Connect");
    EXPECT_ALIGNED();
}

TEST_F(FormFixture, ConnectIsDisabledForAnImageOppositeItsGap)
{
    loadCameras({"10:00:00"}, {});
    clickRow(left(), 0);
    // The counterpart (a gap) is selected too; a picture and a gap make no pair.
    ASSERT_TRUE(waitUntil([&] { return selectedRows(right()) == std::vector<int>{0}; }));
    EXPECT_FALSE(form->editArea()->PanelLink->isEnabled());
}

TEST_F(FormFixture, CombinationsOfThreePicturesWithoutQuestion)
{
    loadCameras({"10:00:00", "10:00:10", "10:00:20"}, {});
    form->editArea()->CheckBoxSynchron->setChecked(false);
    clickRow(left(), 0);
    clickRow(left(), 1, Qt::ControlModifier);
    clickRow(left(), 2, Qt::ControlModifier);
    ASSERT_EQ(selectedRows(left()), (std::vector<int>{0, 1, 2}));
    click("ButtonKombi");
    EXPECT_EQ(attributes(left()), Strings(3, "Stereo Pair"));
    // 1-2, 1-3, 2-3; the copies share the files of the originals.
    std::vector<std::pair<std::string, std::string>> pairs;
    for (int r = 0; r < left().Count(); ++r)
        pairs.emplace_back(names(left())[size_t(r)], names(right())[size_t(r)]);
    std::sort(pairs.begin(), pairs.end());
    EXPECT_EQ(pairs, (std::vector<std::pair<std::string, std::string>>{
                         {"L1.jpg", "L2.jpg"}, {"L1.jpg", "L3.jpg"}, {"L2.jpg", "L3.jpg"}}));
    EXPECT_ALIGNED();
}

TEST_F(FormFixture, CombinationsOfFivePicturesAskFirst)
{
    loadCameras({"10:00:00", "10:00:10", "10:00:20", "10:00:30", "10:00:40"}, {});
    click("ButtonSelAll");
    QString question;
    answerNextBox(DlgResult::No, &question);
    click("ButtonKombi");
    EXPECT_EQ(
        question,
        "Create all combinations of the 5 selected images?\r\nThis will create 10 stereo pairs.");
    EXPECT_EQ(attributes(left()), Strings(5, "Unassigned"));
    EXPECT_ALIGNED();

    answerNextBox(DlgResult::Yes);
    click("ButtonKombi");
    EXPECT_EQ(left().Count(), 10);
    EXPECT_EQ(attributes(right()), Strings(10, "Stereo Pair"));
    EXPECT_ALIGNED();
}

TEST_F(FormFixture, SelectingARowSelectsItsCounterpart)
{
    loadCameras(LeftRhythm, RightRhythm);
    click("ButtonSortAll");
    clickRow(left(), 2);
    ASSERT_TRUE(waitUntil([&] { return selectedRows(right()) == std::vector<int>{2}; }));
    EXPECT_EQ(viewSelectedRows(right()), std::vector<int>{2});
    EXPECT_EQ(viewSelectedRows(left()), std::vector<int>{2});
    EXPECT_EQ(form->windowState().LastEntry, left().EntryAt(2));
    EXPECT_EQ(form->activeList(), &left());
    // The pair is selected: the toggle offers to split it.
    EXPECT_EQ(form->editArea()->PanelLink->text(), "Split");
    EXPECT_TRUE(form->editArea()->Left.Swap->isEnabled());

    // A click in the other list selects that row's counterpart on the left.
    clickRow(right(), 0);
    EXPECT_TRUE(waitUntil([&] { return selectedRows(left()) == std::vector<int>{0}; }));
    EXPECT_EQ(selectedRows(right()), std::vector<int>{0});

    // "Chronological ordering" keeps the selection.
    click("ButtonSort");
    EXPECT_EQ(selectedRows(left()), std::vector<int>{0});
    EXPECT_EQ(selectedRows(right()), std::vector<int>{0});
}

// After a re-assignment and a split the selected rows are a pair again, and the previews
// show that pair, not the rows selected before.
TEST_F(FormFixture, PreviewAndCounterpartFollowThePairAfterItsRowsMove)
{
    loadCameras(LeftRhythm, RightRhythm);
    const auto expectCurrentPair = [this](const char *step, const char *rightName) {
        SCOPED_TRACE(step);
        ASSERT_TRUE(waitUntil([this] { return form->idleProcessor().IsIdle(); }));
        settle();
        const TDatensatz *l = left().SelectedEntry();
        const TDatensatz *r = right().SelectedEntry();
        ASSERT_TRUE(l && r);
        EXPECT_EQ(QFileInfo(r->SourcePath()).fileName(), QString::fromLatin1(rightName));
        EXPECT_EQ(l->Partner(), r) << "the counterpart is not highlighted";
        EXPECT_EQ(viewSelectedRows(left()), std::vector<int>{l->RowIndex()});
        EXPECT_EQ(form->stereoPreview().ShownPath(PreviewLeft), l->SourcePath());
        EXPECT_EQ(form->stereoPreview().ShownPath(PreviewRight), r->SourcePath());
    };
    // R2 opposite its gap; the gap goes with the re-assignment.
    int row = 0;
    while (row < right().Count() &&
           QFileInfo(right().EntryAt(row)->SourcePath()).fileName() != QLatin1String("R2.jpg"))
        ++row;
    clickRow(right(), row);
    click("ButtonSortAll");
    ASSERT_TRUE(waitReady());
    expectCurrentPair("re-assigned", "R2.jpg");
    if (HasFatalFailure())
        return;
    EXPECT_EQ(QFileInfo(left().SelectedEntry()->SourcePath()).fileName(), QStringLiteral("L2.jpg"));

    // "Split": R2, the picture last clicked, is shown with its new gap.
    ASSERT_EQ(form->editArea()->PanelLink->text(), "Split");
    click(form->editArea()->PanelLink);
    expectCurrentPair("split", "R2.jpg");
    if (HasFatalFailure())
        return;
    EXPECT_TRUE(IsGapAttribute(left().SelectedEntry()->Attribute()));
}

// The background pair check as the window shows it: the status line counts the pairs, the
// line below the preview tells the selected pair's result, and "Suspect pairs" selects the
// marked ones (here none: the small fixture photos give no verdict).
TEST_F(FormFixture, ThePairCheckShowsInTheStatusAndBelowThePreview)
{
    loadCameras(LeftRhythm, RightRhythm);
    click("ButtonSortAll");
    ASSERT_TRUE(
        waitUntil([&] { return status().contains(QStringLiteral("4 pairs checked")); }, 30000))
        << status().toStdString();
    EXPECT_EQ(status(), QStringLiteral("4 pairs checked, 0 suspect"));
    clickRow(left(), 1);
    auto *line = child<QLabel>("LabelPairCheck");
    ASSERT_TRUE(waitUntil([&] { return !line->text().isEmpty(); })) << status().toStdString();
    EXPECT_TRUE(line->text().startsWith(QStringLiteral("Pair check: No verdict")))
        << line->text().toStdString();
    click("ButtonSelSuspect");
    EXPECT_EQ(left().SelectedCount(), 0);
}
