// The full-screen view in the main window, key by key: it opens from the preview (F11,
// double click), its step keys move the lists' selection (the lists follow), S and A change
// only what it shows, I keeps the caption, Escape returns to the window.
#include "mainwindow/widgets/editarea.h"
#include "mainwindow/widgets/formfixture.h"
#include "preview/widgets/fullscreenview.h"
#include "preview/widgets/previewarea.h"
#include "session/idleprocessor.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>

namespace {

struct StepKey
{
    const char *Name;
    int Key;
    int From;
    int To;
};

void PrintTo(const StepKey &k, std::ostream *os)
{
    *os << k.Name;
}

class FullScreenView : public FormFixture
{
protected:
    // Five pairs, row r of both lists a pair; row 0 selected with its counterpart.
    void SetUp() override
    {
        loadCameras({"10:00:00", "10:00:04", "10:00:11", "10:00:13", "10:00:30"},
                    {"10:00:00", "10:00:04", "10:00:11", "10:00:13", "10:00:30"});
        click("ButtonSortAll");
        ASSERT_TRUE(waitReady());
        ASSERT_EQ(left().Count(), 5);
        clickRow(left(), 0);
        idle();
    }
    void idle()
    {
        ASSERT_TRUE(waitUntil([this] { return form->idleProcessor().IsIdle(); }));
        settle();
    }
    TFullScreenView *open()
    {
        QTest::keyClick(form.get(), Qt::Key_F11);
        settle();
        TFullScreenView *view = form->fullScreenView();
        EXPECT_NE(view, nullptr);
        if (view) {
            EXPECT_TRUE(view->isVisible());
            waitUntil([view] { return view->presenter().Preview().IsSharp(PreviewLeft); });
        }
        return view;
    }
};

class FullScreenStepKeys : public FullScreenView, public ::testing::WithParamInterface<StepKey>
{
};

} // namespace

// Each step key selects the row it leads to in both lists, as the list's own keys do, and
// the view shows that row's pair.
TEST_P(FullScreenStepKeys, SelectTheRowInBothLists)
{
    const StepKey &k = GetParam();
    clickRow(left(), k.From);
    idle();
    TFullScreenView *view = open();
    ASSERT_NE(view, nullptr);
    QTest::keyClick(view, Qt::Key(k.Key));
    idle();
    EXPECT_EQ(selectedRows(left()), std::vector<int>{k.To});
    EXPECT_EQ(selectedRows(right()), std::vector<int>{k.To});
    EXPECT_EQ(viewSelectedRows(left()), std::vector<int>{k.To});
    EXPECT_TRUE(waitUntil([&] {
        return view->presenter().Preview().ShownPath(PreviewLeft) ==
               left().EntryAt(k.To)->SourcePath();
    }));
    EXPECT_EQ(view->presenter().Preview().ShownPath(PreviewRight),
              right().EntryAt(k.To)->SourcePath());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, FullScreenStepKeys,
    ::testing::Values(StepKey{"Right", Qt::Key_Right, 1, 2}, StepKey{"Down", Qt::Key_Down, 1, 2},
                      StepKey{"Space", Qt::Key_Space, 1, 2}, StepKey{"Left", Qt::Key_Left, 2, 1},
                      StepKey{"Up", Qt::Key_Up, 2, 1},
                      StepKey{"Backspace", Qt::Key_Backspace, 2, 1},
                      StepKey{"PageDown", Qt::Key_PageDown, 0, 4},
                      StepKey{"PageUp", Qt::Key_PageUp, 4, 0}, StepKey{"Home", Qt::Key_Home, 3, 0},
                      StepKey{"End", Qt::Key_End, 1, 4}),
    [](const auto &p) { return std::string(p.param.Name); });

TEST_F(FullScreenView, SSwapsTheEyesInTheViewOnly)
{
    TFullScreenView *view = open();
    ASSERT_NE(view, nullptr);
    QTest::keyClick(view, Qt::Key_S);
    idle();
    EXPECT_EQ(view->presenter().Preview().ShownPath(PreviewLeft), right().EntryAt(0)->SourcePath());
    EXPECT_TRUE(view->caption()->isVisible());
    EXPECT_TRUE(view->caption()->text().contains(QStringLiteral("eyes swapped")));
    // The window's preview and the lists are untouched.
    EXPECT_EQ(form->stereoPreview().ShownPath(PreviewLeft), left().EntryAt(0)->SourcePath());
    QTest::keyClick(view, Qt::Key_S);
    idle();
    EXPECT_EQ(view->presenter().Preview().ShownPath(PreviewLeft), left().EntryAt(0)->SourcePath());
}

TEST_F(FullScreenView, ATogglesTheAlignment)
{
    TFullScreenView *view = open();
    ASSERT_NE(view, nullptr);
    QTest::keyClick(view, Qt::Key_A);
    idle();
    // The check ran in the background and the caption says what came of it (the fixture's
    // small photo has too little detail to be measured).
    ASSERT_TRUE(
        waitUntil([&] { return view->presenter().Status().Alignment == TAlignmentState::Failed; }));
    idle();
    EXPECT_TRUE(view->caption()->text().contains(QStringLiteral("not aligned: ")))
        << view->caption()->text().toStdString();
    QTest::keyClick(view, Qt::Key_A);
    idle();
    EXPECT_EQ(view->presenter().Status().Alignment, TAlignmentState::Off);
    EXPECT_FALSE(view->caption()->text().contains(QStringLiteral("align")));
}

TEST_F(FullScreenView, IKeepsTheCaption)
{
    TFullScreenView *view = open();
    ASSERT_NE(view, nullptr);
    QTest::keyClick(view, Qt::Key_I);
    EXPECT_TRUE(view->caption()->isVisible());
    QTest::keyClick(view, Qt::Key_I);
    EXPECT_FALSE(view->caption()->isVisible());
}

TEST_F(FullScreenView, EscapeF11AndADoubleClickReturnToTheWindow)
{
    for (int key : {int(Qt::Key_Escape), int(Qt::Key_F11), 0}) {
        TFullScreenView *view = nullptr;
        if (key == 0) {
            // A double click on the preview opens it, one on the view closes it.
            QTest::mouseDClick(form->previewArea()->PanelImage_L, Qt::LeftButton);
            settle();
            view = form->fullScreenView();
            ASSERT_NE(view, nullptr);
            QTest::mouseDClick(view->area()->PanelImage_L, Qt::LeftButton);
        } else {
            view = open();
            ASSERT_NE(view, nullptr);
            QTest::keyClick(view, Qt::Key(key));
        }
        settle();
        EXPECT_EQ(form->fullScreenView(), nullptr) << key;
    }
    // Stepping in the view moved the selection; the window's preview shows it again.
    EXPECT_EQ(form->stereoPreview().ShownPath(PreviewLeft), left().EntryAt(0)->SourcePath());
}
