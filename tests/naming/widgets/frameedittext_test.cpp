// The mask editor frame, the token palette and the search window as the user works them:
// typing and double clicking in the mask, the palette's buttons, the schema list, the text
// fields and the search window's states and history lists.
#include "naming/widgets/formeditrenmask.h"
#include "naming/widgets/formsearchreplace.h"
#include "naming/widgets/frameedittext.h"
#include "support/qstringprint.h"
#include "ui/widgets/radiogroup.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <iostream>

namespace {

class FrameTest : public ::testing::Test
{
protected:
    FrameTest()
    {
        frame.setPreviewCallback([this](const QString &mask, const TRenameTextFields &fields) {
            ++previews;
            lastFields = fields;
            return QStringLiteral("preview of ") + mask;
        });
        frame.setTokenPalette(&palette);
        frame.resize(900, 180);
        frame.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&frame));
    }

    void setMask(const QString &mask)
    {
        frame.EditMaske->selectAll();
        QTest::keyClicks(frame.EditMaske, mask);
    }

    TFrameEditText frame;
    TFormEditRenMask palette;
    int previews = 0;
    TRenameTextFields lastFields;
};

TEST_F(FrameTest, TypingUpdatesTheSelectedSchemaAndThePreview)
{
    EXPECT_EQ(frame.ComboBoxNamenMaske->count(), 1);
    EXPECT_TRUE(frame.ButtonSchemaDel->isEnabled());
    setMask(QStringLiteral("Tag_##"));
    EXPECT_EQ(frame.ComboBoxNamenMaske->itemText(0), QStringLiteral(" Tag_##"));
    EXPECT_EQ(frame.LabeledEditVorschau->text(), QStringLiteral("preview of Tag_##"));
    EXPECT_EQ(frame.LabeledEditVorschau->toolTip(), frame.LabeledEditVorschau->text());

    // The text fields' modes and texts reach the preview.
    frame.ComboBoxRenameModus[1]->setCurrentIndex(rtmReplace);
    QTest::keyClicks(frame.LabeledEditBez[1], QStringLiteral("Rom"));
    EXPECT_EQ(lastFields[1].Mode, int(rtmReplace));
    EXPECT_EQ(lastFields[1].New, QStringLiteral("Rom"));
    EXPECT_EQ(lastFields[0].Mode, int(rtmDontModify));

    // "New" keeps the typed schema and starts an empty one; choosing brings it back.
    QTest::mouseClick(frame.ButtonSchemaNeu, Qt::LeftButton);
    EXPECT_EQ(frame.mask(), QString());
    ASSERT_EQ(frame.ComboBoxNamenMaske->count(), 2);
    EXPECT_EQ(frame.ComboBoxNamenMaske->currentIndex(), 1);
    EXPECT_TRUE(palette.isVisible());
    EXPECT_EQ(palette.target(), &frame);
    frame.ComboBoxNamenMaske->setCurrentIndex(0);
    Q_EMIT frame.ComboBoxNamenMaske->activated(0);
    EXPECT_EQ(frame.mask(), QStringLiteral("Tag_##"));
    EXPECT_EQ(frame.LabeledEditVorschau->text(), QStringLiteral("preview of Tag_##"));

    // The blank schema goes when the list opens.
    frame.ComboBoxNamenMaske->showPopup();
    frame.ComboBoxNamenMaske->hidePopup();
    EXPECT_EQ(frame.ComboBoxNamenMaske->count(), 1);
}

TEST_F(FrameTest, PaletteInsertsAtTheCaretOrOverTheSelection)
{
    setMask(QStringLiteral("A<Model_L>B"));
    frame.openPalette();
    ASSERT_TRUE(palette.isVisible());
    EXPECT_FALSE(palette.isModal());
    // Below "Clear", right edges in line.
    const QPoint clearCorner = frame.ButtonSchemaDel->mapToGlobal(
        QPoint(frame.ButtonSchemaDel->width(), frame.ButtonSchemaDel->height()));
    EXPECT_EQ(palette.frameGeometry().right() + 1, clearCorner.x());
    EXPECT_EQ(palette.frameGeometry().top(), clearCorner.y());

    frame.EditMaske->setSelection(1, 9); // "<Model_L>"
    palette.setRightSide(true);
    QTest::mouseClick(palette.button(QStringLiteral("Filename")), Qt::LeftButton);
    EXPECT_EQ(frame.mask(), QStringLiteral("A<Filename_R>B"));

    palette.setRightSide(false);
    frame.EditMaske->setCursorPosition(1);
    QTest::mouseClick(palette.button(QStringLiteral("#: running numbers")), Qt::LeftButton);
    QTest::mouseClick(palette.button(QStringLiteral("Text Area 2")), Qt::LeftButton);
    EXPECT_EQ(frame.mask(), QStringLiteral("A#<Textfield 2><Filename_R>B"));
    EXPECT_EQ(frame.ComboBoxNamenMaske->itemText(0),
              QStringLiteral(" A#<Textfield 2><Filename_R>B"));

    // Without a target the buttons do nothing.
    palette.setTarget(nullptr);
    QTest::mouseClick(palette.button(QStringLiteral("Model")), Qt::LeftButton);
    EXPECT_EQ(frame.mask(), QStringLiteral("A#<Textfield 2><Filename_R>B"));
    QTest::mouseClick(palette.ButtonClose, Qt::LeftButton);
    EXPECT_FALSE(palette.isVisible());
}

TEST_F(FrameTest, DoubleClickSelectsTheTokenUnderTheMouse)
{
    setMask(QStringLiteral("Pict<Filename_L>+R"));
    // A point inside the token: the width of "Pict<File" from the text's left edge.
    const QFontMetrics fm(frame.EditMaske->font());
    const int x = frame.EditMaske->contentsRect().left() + 2 + fm.horizontalAdvance("Pict<File");
    const QPoint at(x, frame.EditMaske->height() / 2);
    QTest::mouseClick(frame.EditMaske, Qt::LeftButton, Qt::NoModifier, at); // focus
    QTest::mouseDClick(frame.EditMaske, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(frame.EditMaske->selectedText(), QStringLiteral("<Filename_L>"));
}

TEST_F(FrameTest, ClearingTheOnlySchemaEmptiesTheMask)
{
    QTest::mouseClick(frame.ButtonSchemaDel, Qt::LeftButton);
    EXPECT_EQ(frame.mask(), QString());
    EXPECT_EQ(frame.schemas().Items, QStringList{QStringLiteral(" ")});
    EXPECT_EQ(frame.ComboBoxNamenMaske->currentIndex(), 0);

    // A restored list and mask (as the settings bring them back) show as they were saved.
    TMaskSchemas saved;
    saved.Items = QStringList{QStringLiteral(" Pict_###"), QStringLiteral(" X <Model_L> ")};
    saved.Selected = 1;
    saved.Mask = QStringLiteral("X <Model_L> ");
    frame.setSchemas(saved);
    EXPECT_EQ(frame.schemas().Items, saved.Items);
    EXPECT_EQ(frame.mask(), saved.Mask);
    EXPECT_EQ(frame.LabeledEditVorschau->text(), QStringLiteral("preview of X <Model_L> "));
}

TEST_F(FrameTest, FromSelectedEntryShowsTheTextsTheOwnerFetched)
{
    QTest::keyClicks(frame.LabeledEditBez[0], QStringLiteral("mine"));
    TRenameTextFields handed;
    frame.setFetchCallback([&handed](TRenameTextFields &fields) {
        handed = fields;
        fields[1].Current = QStringLiteral("Nacht");
    });
    QTest::mouseClick(frame.ButtonSetzeBezeichnungen, Qt::LeftButton);
    EXPECT_EQ(handed[0].Current, QStringLiteral("mine"));
    EXPECT_EQ(frame.LabeledEditBez[0]->text(), QStringLiteral("mine"));
    EXPECT_EQ(frame.LabeledEditBez[1]->text(), QStringLiteral("Nacht"));
}

TEST(SearchWindow, StatesHistoryAndRequests)
{
    TFormSearchReplace w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Search and Replace"));
    EXPECT_EQ(w.ButtonSerchNext->text(), QStringLiteral("Search"));
    EXPECT_FALSE(w.ButtonReplaceSearcheNext->isEnabled());
    const TSearchOptions defaults = w.options();
    EXPECT_TRUE(defaults.Forward);
    EXPECT_TRUE(defaults.SelectedOnly);
    EXPECT_FALSE(defaults.CaseSensitive);
    EXPECT_FALSE(defaults.Confirm);

    QSignalSpy finds(&w, &TFormSearchReplace::requestFind);
    QSignalSpy replaces(&w, &TFormSearchReplace::requestReplace);
    w.ComboBoxSearchText->setEditText(QStringLiteral("_a"));
    w.ComboBoxReplaceText->setEditText(QStringLiteral("_x"));
    w.CheckBoxBest->setChecked(true);
    w.RadioGroupDirektion->setItemIndex(0);
    QTest::mouseClick(w.ButtonSerchNext, Qt::LeftButton);
    ASSERT_EQ(finds.size(), 1);
    const auto o = finds.at(0).at(0).value<TSearchOptions>();
    EXPECT_EQ(o.SearchText, QStringLiteral("_a"));
    EXPECT_FALSE(o.Forward);
    EXPECT_TRUE(o.Confirm);
    EXPECT_EQ(w.ComboBoxSearchText->count(), 1);
    EXPECT_EQ(w.ComboBoxReplaceText->itemText(0), QStringLiteral("_x"));
    EXPECT_EQ(w.ComboBoxSearchText->currentText(), QStringLiteral("_a"));

    w.setSearchState(TSearchState::Hit);
    EXPECT_EQ(w.ButtonSerchNext->text(), QStringLiteral("Search next"));
    QTest::mouseClick(w.ButtonReplaceSearcheNext, Qt::LeftButton);
    QTest::mouseClick(w.ButtonReplaceAll, Qt::LeftButton);
    ASSERT_EQ(replaces.size(), 2);
    EXPECT_FALSE(replaces.at(0).at(1).toBool());
    EXPECT_TRUE(replaces.at(1).at(1).toBool());

    w.setSearchState(TSearchState::NothingFound);
    EXPECT_FALSE(w.ButtonSerchNext->isEnabled());
    EXPECT_FALSE(w.ButtonReplaceAll->isEnabled());
    // A new search text starts a new search.
    QTest::keyClicks(w.ComboBoxSearchText, QStringLiteral("b"));
    EXPECT_EQ(w.searchState(), TSearchState::New);
    EXPECT_TRUE(w.ButtonSerchNext->isEnabled());
    EXPECT_EQ(w.ButtonSerchNext->text(), QStringLiteral("Search"));
}

} // namespace

// The search window opens wide enough for every caption at the font in use, from the
// design size up; its height stays fixed.
TEST(SearchWindow, ShowsEveryCaptionWholeAtTheFontInUse)
{
    for (const int points : {9, 13, 18}) {
        SCOPED_TRACE(points);
        TFormSearchReplace window;
        QFont font = window.font();
        font.setPointSize(points);
        window.setFont(font);
        window.show();
        QCoreApplication::processEvents();
        EXPECT_GE(window.width(), 475);
        EXPECT_EQ(window.minimumHeight(), window.maximumHeight());
        const QRect inside = window.rect();
        for (QAbstractButton *b : window.findChildren<QAbstractButton *>()) {
            if (!b->isVisible())
                continue;
            const std::string name = b->text().toStdString();
            EXPECT_GE(b->width(), b->sizeHint().width()) << name;
            EXPECT_TRUE(inside.contains(QRect(b->mapTo(&window, QPoint(0, 0)), b->size()))) << name;
        }
        // "Search next" fits where "Search" stood.
        window.setSearchState(TSearchState::Hit);
        EXPECT_GE(window.ButtonSerchNext->width(), window.ButtonSerchNext->sizeHint().width());
    }
}
