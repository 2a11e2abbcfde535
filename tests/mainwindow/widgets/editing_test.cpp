// Editing the lists from the window: the edit panels of the selected entries, the list
// action buttons, "Remove from list", "Remove all items from both lists", the selection bar,
// the searches, the internal error box, the batch job's sort and the option boxes.
#include "batch/protokoll.h"
#include "batch/widgets/formassistent2.h"
#include "formfixture.h"
#include "naming/widgets/formsearchreplace.h"
#include "session/session.h"

#include "entries/datensatzlist.h"
#include "entries/namingsettings.h"
#include "mainwindow/widgets/collapsiblebox.h"
#include "mainwindow/widgets/editarea.h"
#include "mainwindow/widgets/imagelistview.h"
#include "mainwindow/widgets/optionstack.h"
#include "session/idleprocessor.h"
#include "ui/dlgbox.h"
#include "ui/widgets/labelformat.h"
#include "ui/widgets/radiogroup.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using Strings = std::vector<std::string>;
using Rows = std::vector<int>;

namespace {
const QStringList FourLeft{"10:00:00", "10:00:05", "10:00:12", "10:00:30"};
const QStringList FourRight{"10:00:47", "10:00:52", "10:00:59", "10:01:17"};
} // namespace

TEST_F(FormFixture, ViewEditsApplyToTheSelectedRowsOnly)
{
    loadCameras(FourLeft, FourRight);
    click("ButtonSortAll");
    form->editArea()->PageControl->setCurrentIndex(1); // "View"
    TSideEditControls &l = form->editArea()->Left;
    clickRow(left(), 0);
    clickRow(left(), 1, Qt::ControlModifier);
    ASSERT_EQ(selectedRows(left()), (Rows{0, 1}));
    EXPECT_TRUE(l.ViewBox->isEnabled());

    click(l.Invert);
    click(l.Mirror);
    click(l.Rotation->button(1)); // 90°
    for (int r : {0, 1}) {
        const TDatensatz *e = left().EntryAt(r);
        EXPECT_TRUE(e->Invert());
        EXPECT_TRUE(e->Mirror());
        EXPECT_EQ(e->Rotation(), 1);
    }
    // New left pictures are turned by 180° ("Default settings").
    const TDatensatz *untouched = left().EntryAt(2);
    EXPECT_FALSE(untouched->Invert());
    EXPECT_EQ(untouched->Rotation(), 2);
    EXPECT_EQ(right().EntryAt(0)->Rotation(), 0);

    // Selecting another row shows its values without changing anything.
    clickRow(left(), 2);
    EXPECT_FALSE(l.Invert->isChecked());
    EXPECT_FALSE(l.Mirror->isChecked());
    EXPECT_EQ(l.Rotation->itemIndex(), 2);
    EXPECT_TRUE(left().EntryAt(0)->Invert());
    clickRow(left(), 0);
    EXPECT_TRUE(l.Invert->isChecked());
    EXPECT_EQ(l.Rotation->itemIndex(), 1);
}

TEST_F(FormFixture, ExcludeFromBatchJobShowsTheSourceFolderAsTarget)
{
    loadCameras({"10:00:00"}, {});
    clickRow(left(), 0);
    QCheckBox *exclude = form->editArea()->Left.NoBatch;
    ASSERT_TRUE(exclude->isEnabled());
    EXPECT_FALSE(exclude->isChecked());
    click(exclude);
    EXPECT_FALSE(left().EntryAt(0)->Batch());
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(left().Row(0)->Text(lcTargetFolder), dir.path() + '/');
    // A single selected gap has no batch job to leave.
    clickRow(right(), 0);
    EXPECT_FALSE(form->editArea()->Right.NoBatch->isEnabled());
}

TEST_F(FormFixture, ListActionButtonsChangeThePairs)
{
    loadCameras(FourLeft, FourRight);
    click("ButtonSortAll");

    // "Swap L / R" exchanges the pictures of a pair between the lists, and back.
    clickRow(left(), 0);
    click("ButtonSwap_L");
    EXPECT_EQ(names(left())[0], "R1.jpg");
    EXPECT_EQ(names(right())[0], "L1.jpg");
    EXPECT_ALIGNED();
    click("ButtonSwap_L");
    EXPECT_EQ(names(left())[0], "L1.jpg");

    // "Split into Monoscopic" turns a pair into two unassigned pictures opposite gaps.
    clickRow(left(), 3);
    click("ButtonSplit_L");
    EXPECT_EQ(left().Count(), 5);
    EXPECT_EQ(attributes(left()),
              (Strings{"Stereo Pair", "Stereo Pair", "Stereo Pair", "Unassigned", "Gap"}));
    EXPECT_ALIGNED();

    // "Mark as Monoscopic" marks the unassigned picture, not pair members.
    clickRow(left(), 2);
    clickRow(left(), 3, Qt::ControlModifier);
    click("ButtonMarkMono_L");
    EXPECT_EQ(attributes(left())[2], "Stereo Pair");
    EXPECT_EQ(attributes(left())[3], "Monoscopic");
    click("ButtonMarkUnassigned_L");
    EXPECT_EQ(attributes(left())[3], "Unassigned");
    // The selection is kept.
    EXPECT_EQ(selectedRows(left()), (Rows{2, 3}));

    // "Mark Stereo Pair" on the two unassigned pictures in their rows pairs them again.
    click("ButtonSelUnassigned");
    ASSERT_EQ(selectedRows(left()), (Rows{3}));
    ASSERT_EQ(selectedRows(right()), (Rows{4}));
    clickRow(left(), 3);
    clickRow(left(), 4, Qt::ControlModifier);
    click("ButtonMarkPair_L");
    EXPECT_EQ(attributes(left()), Strings(4, "Stereo Pair"));
    EXPECT_ALIGNED();
}

TEST_F(FormFixture, RemoveFromListOnTheLastRowSelectsTheNewLastRow)
{
    loadCameras({"10:00:00", "10:00:10", "10:00:20"}, {});
    clickRow(left(), 2);
    ASSERT_TRUE(form->editArea()->Left.Remove->isEnabled());
    click("ButtonRemove_L");
    EXPECT_EQ(names(left()), (Strings{"L1.jpg", "L2.jpg"}));
    EXPECT_EQ(right().Count(), 2);
    EXPECT_EQ(selectedRows(left()), Rows{1});
    EXPECT_EQ(selectedRows(right()), Rows{1});
    EXPECT_EQ(form->optionStack()->SpinEditEndNr->value(), 2);

    // The right list's button removes there.
    loadCameras({}, {"11:00:00"});
    ASSERT_EQ(names(right()), (Strings{"", "", "R1.jpg"}));
    clickRow(right(), 2);
    click("ButtonRemove_R");
    EXPECT_EQ(names(left()), (Strings{"L1.jpg", "L2.jpg"}));
    EXPECT_EQ(selectedRows(right()), Rows{1});
    EXPECT_ALIGNED();
}

TEST_F(FormFixture, RemoveAllAskedNoKeepsTheListsYesEmptiesThem)
{
    loadCameras({"10:00:00", "10:00:10"}, {"10:00:20"});
    ASSERT_TRUE(form->ActionSortAll->isEnabled());
    QString question;
    answerNextBox(DlgResult::No, &question);
    form->ActionAuftrafNew->trigger();
    EXPECT_EQ(question,
              "<FB><c4><FS12>Confirmation required:<FN> <LF>Remove all entries from both lists?");
    EXPECT_EQ(left().Count(), 3);
    EXPECT_FALSE(form->ActionSortAll->isEnabled());
    // The next idle pass enables them again.
    ASSERT_TRUE(waitReady());
    EXPECT_TRUE(form->ActionSortAll->isEnabled());

    answerNextBox(DlgResult::Yes);
    click("ButtonNew");
    EXPECT_EQ(left().Count(), 0);
    EXPECT_EQ(right().Count(), 0);
    EXPECT_EQ(form->session().Registry().Count(), 0);
    EXPECT_TRUE(waitUntil([&] { return status() == "No data"; }));
    EXPECT_FALSE(form->ActionAuftragRun->isEnabled());
    EXPECT_FALSE(form->ActionSortAll->isEnabled());
    EXPECT_EQ(form->optionStack()->SpinEditEndNr->value(), 0);
}

TEST_F(FormFixture, SelectionBarSelectsByAttribute)
{
    loadCameras({"10:00:00", "10:00:05", "10:00:12", "10:00:40"},
                {"10:00:47", "10:00:52", "10:00:59"});
    click("ButtonSortAll");
    // Three pairs and one monoscopic picture opposite a gap.
    ASSERT_EQ(attributes(left()),
              (Strings{"Stereo Pair", "Stereo Pair", "Stereo Pair", "Monoscopic"}));
    click("ButtonSelPairs");
    EXPECT_EQ(selectedRows(left()), (Rows{0, 1, 2}));
    EXPECT_EQ(selectedRows(right()), (Rows{0, 1, 2}));
    EXPECT_EQ(viewSelectedRows(right()), (Rows{0, 1, 2}));
    click("ButtonSelMono");
    EXPECT_EQ(selectedRows(left()), Rows{3});
    EXPECT_EQ(selectedRows(right()), Rows{});
    click("ButtonSelGaps");
    EXPECT_EQ(selectedRows(left()), Rows{});
    EXPECT_EQ(selectedRows(right()), Rows{3});
    click("ButtonSelAll");
    EXPECT_EQ(selectedRows(left()), (Rows{0, 1, 2, 3}));
    EXPECT_EQ(viewSelectedRows(left()), (Rows{0, 1, 2, 3}));
}

TEST_F(FormFixture, SearchButtonsWalkToTheNextEntryOfTheirKind)
{
    loadCameras({"10:00:00", "10:00:05", "10:00:12", "10:00:40", "10:00:50"},
                {"10:00:47", "10:00:52", "10:00:59"});
    click("ButtonSortAll");
    ASSERT_EQ(attributes(left())[3], "Monoscopic");
    ASSERT_EQ(attributes(left())[4], "Monoscopic");
    clickRow(left(), 0);
    click("ButtonGoNextMono_L");
    EXPECT_EQ(selectedRows(left()), Rows{3});
    click("ButtonGoNextMono_L");
    EXPECT_EQ(selectedRows(left()), Rows{4});
    // Nothing after the last one: the selection stays (and the window beeps).
    click("ButtonGoNextMono_L");
    EXPECT_EQ(selectedRows(left()), Rows{4});
    // Backward from the current row.
    form->editArea()->Left.Backward->setChecked(true);
    click("ButtonGoNextPair_L");
    EXPECT_EQ(selectedRows(left()), Rows{2});
    // From the end backward.
    form->editArea()->Left.FromBeginning->setChecked(true);
    click("ButtonGoNextMono_L");
    EXPECT_EQ(selectedRows(left()), Rows{4});
    // "Gap" finds settled gaps in the right list.
    form->editArea()->Right.FromBeginning->setChecked(true);
    click("ButtonGoNextGap_R");
    EXPECT_EQ(selectedRows(right()), Rows{3});
}

TEST_F(FormFixture, SearchUnassignedSelectsInBothListsIndependently)
{
    loadCameras({"10:00:00", "10:00:30"}, {"10:00:10", "10:00:40"});
    // The gaps of the earlier drop keep their rows: the right pictures come last.
    ASSERT_EQ(names(left()), (Strings{"L1.jpg", "L2.jpg", "", ""}));
    clickRow(left(), 1);
    click("ButtonSearchUnassigned");
    EXPECT_EQ(selectedRows(left()), Rows{0});
    EXPECT_EQ(selectedRows(right()), Rows{2});
    // The right side showed the gap opposite L2; the picture found there is drawn now.
    EXPECT_TRUE(waitUntil([this] { return !form->stereoPreview().Bitmap(PreviewRight).isNull(); }));
    EXPECT_FALSE(form->stereoPreview().Bitmap(PreviewLeft).isNull());
}

TEST_F(FormFixture, BrokenPairStructureReachesTheUserAsError)
{
    loadCameras({"10:00:00"}, {});
    clickRow(left(), 0);
    TDatensatz *image = left().EntryAt(0);
    TDatensatz *gap = image->Partner();
    image->SetPartner(nullptr);
    QString message;
    answerNextBox(DlgResult::OK, &message);
    click("ButtonMarkMono_L");
    EXPECT_EQ(message, "procedure RunSelectAction Item.Data=nil");
    EXPECT_EQ(form->windowState().BusyFlags, 0);
    image->SetPartner(gap);
}

TEST_F(FormFixture, ExecuteBatchJobOpensTheWizardOnSortedEntriesAndAnEmptyLog)
{
    loadCameras({"10:00:30", "10:00:10"}, {"10:00:20", "10:00:00"});
    ASSERT_TRUE(form->ActionAuftragRun->isEnabled());
    form->session().JobLog().AddLine(QStringLiteral("a line of the last job"));
    std::vector<double> times;
    bool logEmpty = false;
    bool shown = false;
    bool searchPaused = false;
    QWidget *search = form->searchWindow();
    QTimer::singleShot(0, form.get(), [&] {
        TFormAssistent2 *wizard = form->batchWizard();
        shown = wizard->isVisible();
        searchPaused = !search->isEnabled();
        for (const TDatensatz *e : form->session().Registry().Entries())
            times.push_back(e->CaptureTime());
        logEmpty = form->session().JobLog().Lines().isEmpty();
        wizard->BitBtnCancel->click();
    });
    click("ButtonRun");
    EXPECT_TRUE(shown);
    EXPECT_FALSE(form->batchWizard()->isVisible());
    // Nothing renames entries behind the wizard's checks.
    EXPECT_TRUE(searchPaused);
    EXPECT_TRUE(search->isEnabled());
    EXPECT_TRUE(logEmpty);
    EXPECT_FALSE(times.empty());
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
}

TEST_F(FormFixture, CounterFieldsDescribeTheRows)
{
    loadCameras({"10:00:00", "10:00:10", "10:00:20"}, {});
    TOptionStack *o = form->optionStack();
    EXPECT_EQ(o->SpinEditStartNr->value(), 1);
    EXPECT_EQ(o->SpinEditEndNr->value(), 3);
    // Typing an end number moves the start.
    o->SpinEditEndNr->setValue(20);
    EXPECT_EQ(o->SpinEditStartNr->value(), 18);
    EXPECT_EQ(form->session().Naming().StartNumber, 18);
    o->SpinEditStartNr->setValue(5);
    EXPECT_EQ(o->SpinEditEndNr->value(), 7);
    // Deleting rows lowers the end and keeps the start.
    clickRow(left(), 0);
    click("ButtonRemove_L");
    EXPECT_EQ(o->SpinEditStartNr->value(), 5);
    EXPECT_EQ(o->SpinEditEndNr->value(), 6);
}

TEST_F(FormFixture, SuffixAndFolderFieldsRenameTheRows)
{
    loadCameras({"10:00:00", "10:00:05", "10:00:12"}, {"11:00:00", "11:00:05", "11:00:12"});
    click("ButtonSortAll");
    ASSERT_EQ(column(left(), lcNewName)[0], "L1_L.jpg");
    TOptionStack *o = form->optionStack();
    o->LabeledEditSuffix_L->setText(QString());
    EXPECT_EQ(form->session().Naming().SuffixLeft, "");
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(column(left(), lcNewName)[0], "L1.jpg");
    o->LabeledEditZielpath_R->setText(dir.filePath("right"));
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(right().Row(0)->Text(lcTargetFolder), dir.filePath("right") + '/');
    o->CheckBoxForceDir->setChecked(false);
    EXPECT_FALSE(form->session().Naming().CreateMissingFolders);
}

TEST_F(FormFixture, OptionBoxesFoldOnTheirCaptionLine)
{
    TOptionStack *o = form->optionStack();
    // As shown first: the four working boxes open, the others folded in alternating grey.
    EXPECT_FALSE(o->GroupBoxHinweis->isCollapsed());
    EXPECT_FALSE(o->GroupBoxAutoOrd->isCollapsed());
    EXPECT_FALSE(o->GroupBoxStatus->isCollapsed());
    EXPECT_FALSE(o->GroupBoxRun->isCollapsed());
    EXPECT_TRUE(o->GroupBoxDefaults->isCollapsed());
    EXPECT_EQ(o->GroupBoxDefaults->backgroundColor(), QColor(181, 181, 181));
    EXPECT_EQ(o->GroupBoxExif->backgroundColor(), QColor(212, 212, 212));
    EXPECT_EQ(o->GroupBoxDefaults->height(), o->GroupBoxDefaults->captionHeight());

    // A click below the caption line of an open box does nothing; on it, it folds.
    TCollapsibleBox *status = o->GroupBoxStatus;
    QTest::mouseClick(status, Qt::LeftButton, {}, QPoint(20, status->height() - 3));
    EXPECT_FALSE(status->isCollapsed());
    QTest::mouseClick(status, Qt::LeftButton, {}, QPoint(20, 5));
    EXPECT_TRUE(status->isCollapsed());
    EXPECT_EQ(status->backgroundColor(), QColor(212, 212, 212));
    QTest::mouseClick(o->GroupBoxDefaults, Qt::LeftButton, {}, QPoint(20, 5));
    EXPECT_FALSE(o->GroupBoxDefaults->isCollapsed());
    EXPECT_TRUE(o->CheckBoxInvertPicture->isVisible());
    // "Hints" folds on any click, its label included.
    QTest::mouseClick(o->LabelFormatStep, Qt::LeftButton, {}, QPoint(10, 60));
    EXPECT_TRUE(o->GroupBoxHinweis->isCollapsed());
}

// The window keeps the lists scrolled together: the user scrolls the left list and the
// right one shows the same rows; with "Select counterpart permanently" off it stays.
TEST_F(FormFixture, ScrollingOneListScrollsTheOther)
{
    QStringList times;
    for (int i = 0; i < 40; ++i)
        times << QStringLiteral("10:%1:00").arg(i, 2, 10, QLatin1Char('0'));
    loadCameras(times, times);
    QScrollBar *leftBar = view(left())->verticalScrollBar();
    QScrollBar *rightBar = view(right())->verticalScrollBar();
    ASSERT_GE(leftBar->maximum(), 20);
    leftBar->setValue(20);
    settle();
    EXPECT_EQ(rightBar->value(), 20);

    form->editArea()->CheckBoxSynchron->setChecked(false);
    leftBar->setValue(5);
    settle();
    EXPECT_EQ(rightBar->value(), 20);
}
