#include "mainwindow/widgets/formmain.h"
#include "ui/widgets/aboutbox.h"

#include "mainwindow/widgets/windowmessages.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

namespace {

// The menu's entries as "objectName:text" ("-" for a separator).
QStringList entries(const QMenu *menu)
{
    QStringList out;
    for (const QAction *a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + ':' + a->text());
    return out;
}

} // namespace

TEST(FormMain, MenusWithTheirEntries)
{
    TFormMain form;
    EXPECT_EQ(form.windowTitle(), "Untitled \u2013 Duomira");
    EXPECT_EQ(form.objectName(), "FormMain");

    const QList<QAction *> top = form.menuBar()->actions();
    ASSERT_EQ(top.size(), 5);
    QStringList titles;
    for (const QAction *a : top)
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"File", "Ordering", "View", "Batch Job", "Help"}));

    EXPECT_EQ(entries(top[0]->menu()),
              (QStringList{"ActionOpenLeft:Open Left View Images",
                           "ActionOpenRight:Open Right View Images", "-",
                           "ActionSessionOpen:Open Session...",
                           "ActionRecentSessions:Recent Sessions", "ActionSessionSave:Save Session",
                           "ActionSessionSaveAs:Save Session As...", "-", "ActionClose:Exit"}));
    EXPECT_EQ(entries(top[1]->menu()),
              (QStringList{"ActionSort:Chronological ordering of stereo lists", "-",
                           "ActionSortAllMenu:Assign all entries",
                           "ActionSortMonoMenu:Assign all list entries marked as Unassigned"}));
    EXPECT_EQ(entries(top[2]->menu()), (QStringList{"ActionFullScreen:Full-screen stereo view"}));
    EXPECT_EQ(top[2]->menu()->actions().value(0)->shortcut(), QKeySequence(Qt::Key_F11));
    EXPECT_EQ(entries(top[3]->menu()),
              (QStringList{"ActionAuftragRun:Execute Batch Job",
                           "ActionAuftragProtokoll:Show log of last Batch Job execution",
                           "ActionUndoLastJob:Undo last batch job...", "-",
                           "ActionAuftrafNew:Remove all items from both lists"}));
    EXPECT_EQ(entries(top[4]->menu()), (QStringList{"ActionAcout:About..."}));
}

TEST(FormMain, ActionsStartEnabledByTheirRules)
{
    TFormMain form;
    // The sorting actions wait for loaded files; the log window is not part of the program
    // yet.
    const QStringList disabled{"ActionSort", "ActionSortAllMenu", "ActionSortMonoMenu",
                               "ActionSortAll", "ActionAuftragProtokoll"};
    const QStringList names{"ActionOpenLeft",   "ActionOpenRight",   "ActionClose",
                            "ActionSort",       "ActionSortAllMenu", "ActionSortMonoMenu",
                            "ActionSortAll",    "ActionAuftragRun",  "ActionAuftragProtokoll",
                            "ActionAuftrafNew", "ActionAcout",       "ActionDir_L",
                            "ActionDir_R",      "ActionDir_M"};
    for (const QString &name : names) {
        const auto *action = form.findChild<QAction *>(name);
        ASSERT_NE(action, nullptr) << name.toStdString();
        EXPECT_EQ(action->isEnabled(), !disabled.contains(name)) << name.toStdString();
    }
    EXPECT_EQ(form.findChild<QAction *>("ActionSortAll")->text(),
              "Dissolve all assignments and re-assign");
    EXPECT_EQ(form.findChild<QAction *>("ActionDir_M")->text(), "Open folder with single images");
}

TEST(FormMain, AboutShowsTheAboutBoxWithoutMakingItModal)
{
    TFormMain form;
    form.show();
    form.findChild<QAction *>("ActionAcout")->trigger();
    ASSERT_TRUE(form.aboutBox()->isVisible());
    EXPECT_FALSE(form.aboutBox()->isModal());
}

TEST(FormMain, ExitClosesTheWindow)
{
    TFormMain form;
    form.show();
    ASSERT_TRUE(form.isVisible());
    form.findChild<QAction *>("ActionClose")->trigger();
    EXPECT_FALSE(form.isVisible());
}

TEST(FormMain, ReceivesTheWindowMessages)
{
    {
        TFormMain form;
        EXPECT_EQ(messageReceiver(), &form);
    }
    EXPECT_EQ(messageReceiver(), nullptr);
}

// A laptop screen of 1366 x 768 (less a title bar): the window fits, every button,
// check box and radio button shows its whole caption inside the window, and "Execute Batch
// Job" is in sight without scrolling.
TEST(FormMain, FitsALaptopScreenWithEveryCaptionWhole)
{
    TFormMain form;
    const QSize screen(1366, 768 - 32);
    EXPECT_LE(form.minimumSizeHint().width(), screen.width());
    EXPECT_LE(form.minimumSizeHint().height(), screen.height());
    form.resize(screen);
    form.show();
    QCoreApplication::processEvents();
    form.resize(screen);
    QCoreApplication::processEvents();
    ASSERT_EQ(form.size(), screen);

    const QRect window = form.rect();
    for (const QAbstractButton *b : form.findChildren<QAbstractButton *>()) {
        if (!b->isVisibleTo(&form) || b->text().isEmpty())
            continue;
        const std::string name = (b->objectName() + " " + b->text()).toStdString();
        EXPECT_GE(b->width(), b->sizeHint().width()) << name;
        const QRect r(b->mapTo(&form, QPoint(0, 0)), b->size());
        EXPECT_LE(r.right(), window.right()) << name;
    }
    const auto *run = form.findChild<QAbstractButton *>(QStringLiteral("ButtonRun"));
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(run->isVisible());
    EXPECT_TRUE(window.contains(QRect(run->mapTo(&form, QPoint(0, 0)), run->size())));
}

// A long status (the findings of an aligning pass) shows whole, on as many lines as it
// needs, with the names in it as plain text.
TEST(FormMain, TheStatusShowsItsWholeText)
{
    TFormMain form;
    form.resize(1366, 768 - 32);
    form.show();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(); // the idle pass writes "No data" first
    const QString note = QStringLiteral(
        "39 pairs aligned, 0 doubtful. Right camera: clock +8 s a day against the left. Left "
        "camera: clock \u22121 h from <b>IMG_0042</b>");
    form.SetStatusText(note);
    for (int i = 0; i < 3; ++i)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const auto *label = form.findChild<QLabel *>(QStringLiteral("LabelStatus"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), note);
    const QRect room = label->contentsRect();
    const QRect needed =
        label->fontMetrics().boundingRect(QRect(0, 0, room.width(), 10000), Qt::TextWordWrap, note);
    EXPECT_LE(needed.width(), room.width());
    EXPECT_LE(needed.height(), room.height()) << "the status is cut off";
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
}
