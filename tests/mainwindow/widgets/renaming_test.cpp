// The "Text" tab of the main window: the live preview, "Renaming" of the selected rows and
// the search and replace window with and without the replace question.
#include "formfixture.h"

#include "mainwindow/widgets/editarea.h"
#include "naming/widgets/formsearchreplace.h"
#include "naming/widgets/frameedittext.h"
#include "support/widgets/modal.h"
#include "ui/widgets/formbest.h"
#include "ui/widgets/radiogroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using Strings = std::vector<std::string>;

namespace {

// Five left shots, four right shots 47 s later: four pairs and a left picture opposite a gap.
const QStringList LeftTimes{"10:00:00", "10:00:05", "10:00:12", "10:00:30", "10:00:45"};
const QStringList RightTimes{"10:00:47", "10:00:52", "10:00:59", "10:01:17"};

class RenamingFixture : public FormFixture
{
protected:
    TFrameEditText *frame() const { return form->editArea()->FrameEditText1; }

    // Pairs the shots, shows the "Text" tab, types mask and renames left rows 2 to 4.
    void renameLastThree(const QString &mask)
    {
        loadCameras(LeftTimes, RightTimes);
        click("ButtonSortAll");
        ASSERT_TRUE(waitReady());
        form->editArea()->PageControl->setCurrentWidget(form->editArea()->TabSheetText);
        clickRow(left(), 2);
        clickRow(left(), 3, Qt::ControlModifier);
        clickRow(left(), 4, Qt::ControlModifier);
        frame()->EditMaske->selectAll();
        QTest::keyClicks(frame()->EditMaske, mask);
        settle();
        click(frame()->BitBtnRename);
    }
};

TEST_F(RenamingFixture, RenamingTheSelectedRowsNamesThemAndTheirPartners)
{
    renameLastThree(QStringLiteral("S##_<Filename_L>"));
    EXPECT_EQ(frame()->LabeledEditVorschau->text(), QStringLiteral("S03_L3"));
    EXPECT_EQ(column(left(), lcNewName),
              (Strings{"L1_L.jpg", "L2_L.jpg", "S03_L3_L.jpg", "S04_L4_L.jpg", "S05_L5_M.jpg"}));
    const Strings right4 = column(right(), lcNewName);
    EXPECT_EQ(Strings(right4.begin(), right4.begin() + 4),
              (Strings{"R1_R.jpg", "R2_R.jpg", "S03_L3_R.jpg", "S04_L4_R.jpg"}));
    EXPECT_EQ(right().EntryAt(4)->NewName(), QString()) << "the gap keeps its name";
    screenshot(QStringLiteral("text-tab"));
}

TEST_F(RenamingFixture, SearchAndReplaceWithAndWithoutTheQuestion)
{
    renameLastThree(QStringLiteral("S##_<Filename_L>"));
    clickRow(left(), 2); // the search starts here; its partner is selected with it

    // Selected rows only, no question: both entries of row 2 and nothing else.
    whenModalOpens<TFormSearchReplace>([](TFormSearchReplace *w) {
        w->ComboBoxSearchText->setEditText(QStringLiteral("S0"));
        w->ComboBoxReplaceText->setEditText(QStringLiteral("X0"));
        QTest::mouseClick(w->ButtonReplaceAll, Qt::LeftButton);
        QTest::mouseClick(w->ButtonClose, Qt::LeftButton);
    });
    click(frame()->ButtonReplace);
    EXPECT_EQ(column(left(), lcNewName)[2], "X03_L3_L.jpg");
    EXPECT_EQ(column(right(), lcNewName)[2], "X03_L3_R.jpg");
    EXPECT_EQ(column(left(), lcNewName)[3], "S04_L4_L.jpg");

    // All entries, with the question: Yes, No, then Cancel stops the run.
    std::vector<QString> asked;
    const auto answer = [&asked](const char *button) {
        return [&asked, button](TFormBest *best) {
            asked.push_back(best->nameEdit()->selectedText());
            best->findChild<QPushButton *>(QString::fromLatin1(button))->click();
        };
    };
    whenModalOpens<TFormSearchReplace>([&](TFormSearchReplace *w) {
        w->RadioGroupBereich->setItemIndex(0);
        w->CheckBoxBest->setChecked(true);
        w->ComboBoxSearchText->setEditText(QStringLiteral("s0"));
        w->ComboBoxReplaceText->setEditText(QStringLiteral("T0"));
        whenModalOpens<TFormBest>([&](TFormBest *best) {
            answer("ButtonYes")(best);
            whenModalOpens<TFormBest>([&](TFormBest *second) {
                answer("ButtonNo")(second);
                whenModalOpens<TFormBest>(answer("ButtonCancel"));
            });
        });
        QTest::mouseClick(w->ButtonReplaceAll, Qt::LeftButton);
        EXPECT_TRUE(w->isVisible()) << "shown again after the questions";
        QTest::mouseClick(w->ButtonClose, Qt::LeftButton);
    });
    click(frame()->ButtonReplace);
    EXPECT_EQ(asked, (std::vector<QString>{"S0", "S0", "S0"}));
    // The walk starts at row 2 (still the last entry); in row 3 it tests the right entry
    // first, as the sides alternate from row to row.
    EXPECT_EQ(column(right(), lcNewName)[3], "T04_L4_R.jpg");
    EXPECT_EQ(column(left(), lcNewName)[3], "S04_L4_L.jpg");
    EXPECT_EQ(column(left(), lcNewName)[4], "S05_L5_M.jpg");
}

} // namespace
