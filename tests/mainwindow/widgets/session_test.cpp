// What the window adds to the session keeper: the title, the File menu's session actions,
// the question on closing, and "Undo last batch job..." against a real job on real files.
#include "batch/fileops.h"
#include "batch/jobjournal.h"
#include "mainwindow/widgets/formfixture.h"
#include "mainwindow/widgets/optionstack.h"
#include "session/sessionkeeper.h"
#include "ui/dlgbox.h"

#include <QAction>
#include <QFile>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>

namespace {

class SessionWindow : public FormFixture
{
protected:
    QTemporaryDir home;
    SessionWindow()
    {
        // Recent sessions and job journals go to the test's own folders.
        qputenv("XDG_STATE_HOME", home.filePath(QStringLiteral("state")).toUtf8());
        qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    }
    ~SessionWindow() override
    {
        qunsetenv("XDG_STATE_HOME");
        qunsetenv("XDG_DATA_HOME");
    }
};

} // namespace

TEST_F(SessionWindow, TitleFollowsTheSessionAndClosingAsksAboutUnsavedWork)
{
    loadCameras({QStringLiteral("10:00:00"), QStringLiteral("10:05:00")},
                {QStringLiteral("10:00:00"), QStringLiteral("10:05:00")});
    ASSERT_TRUE(
        waitUntil([&] { return form->windowTitle().startsWith(QStringLiteral("Untitled*")); }));

    const QString path = dir.filePath(QStringLiteral("trip.duomira"));
    form->saveAsChooser = [&] { return path; };
    form->ActionSessionSave->trigger();
    EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("trip \u2013")))
        << form->windowTitle().toStdString();
    ASSERT_TRUE(QFile::exists(path));

    // A naming field is part of the session: changing it marks the session.
    form->optionStack()->LabeledEditSuffix_L->setText(QStringLiteral("-left"));
    ASSERT_TRUE(waitUntil([&] { return form->windowTitle().startsWith(QStringLiteral("trip*")); }));

    const int rows = left().Count();
    int asked = 0;
    form->loseWorkAsker = [&](const QString &question) {
        ++asked;
        EXPECT_EQ(question, QStringLiteral("Save changes to the session?"));
        return asked == 1 ? int(QMessageBox::Cancel) : int(QMessageBox::Save);
    };
    form->ActionClose->trigger();
    EXPECT_TRUE(form->isVisible());
    form->ActionClose->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(asked, 2);

    // A new window opens the saved work with its settings in the fields.
    form = std::make_unique<TFormMain>();
    form->show();
    ASSERT_TRUE(form->openSession(path));
    EXPECT_EQ(left().Count(), rows);
    EXPECT_EQ(form->optionStack()->LabeledEditSuffix_L->text(), QStringLiteral("-left"));
    EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("trip \u2013")))
        << form->windowTitle().toStdString();
}

TEST_F(SessionWindow, UndoLastJobPutsTheFileAndItsEntryBack)
{
    const QString before = photo(QStringLiteral("IMG_1_L.jpg"));
    dropAndWait(left(), {before});
    // A real job: one journaled rename, the entry following it as the run does.
    const QString after = dir.filePath(QStringLiteral("Trip_0001_L.jpg"));
    TJobJournal journal;
    QString error;
    ASSERT_TRUE(journal.Create(JournalFolder(), error)) << error.toStdString();
    QJsonObject head;
    head.insert(QStringLiteral("event"), QStringLiteral("job"));
    head.insert(QStringLiteral("version"), 1);
    journal.Append(head);
    TRealFileOps real;
    {
        TJournalFileOps ops(real, journal);
        ASSERT_TRUE(ops.Rename(before, after).ok);
    }
    journal.Close();
    left().EntryAt(0)->ReplacePath(after);

    QString plan;
    answerNextBox(DlgResult::Yes, &plan);
    answerNextBox(DlgResult::OK);
    form->ActionUndoLastJob->trigger();
    EXPECT_TRUE(plan.contains(QStringLiteral("1 operation(s) would be reversed")))
        << plan.toStdString();
    EXPECT_TRUE(QFile::exists(before));
    EXPECT_FALSE(QFile::exists(after));
    EXPECT_EQ(left().EntryAt(0)->SourcePath(), before);
    // The job is undone: nothing is left to undo.
    answerNextBox(DlgResult::OK, &plan);
    form->ActionUndoLastJob->trigger();
    EXPECT_TRUE(plan.contains(QStringLiteral("no batch job"))) << plan.toStdString();
}
