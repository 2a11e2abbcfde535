// duomira-cli undo, run as a separate process on the journal of a real job.
#include "batch/protokoll.h"
#include "batch/runengine.h"
#include "batch/runprogress.h"
#include "entries/datensatzlist.h"
#include "entries/entrystore.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class NoProgress : public TRunProgress
{
public:
    void BeginPhase(const QString &, int, int) override {}
    void StepProgress(const QString &) override {}
    void ShowStatus(const QString &) override {}
};

struct CliResult
{
    int exitCode = -1;
    QString out;
};

CliResult undo(const QStringList &arguments, const QString &dataHome)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(DUOMIRA_CLI_PATH), QStringList{QStringLiteral("undo")} + arguments);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput())};
}

} // namespace

TEST(CliUndo, DryRunThenUndoThenEverythingIsBack)
{
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data"));
    const QString photo = dir.filePath(QStringLiteral("a.jpg"));
    QFile(photo).open(QIODevice::WriteOnly);
    TEntryStore store;
    ListRowModel left(store, dsLeft), right(store, dsRight);
    ListRowModel::LinkLists(left, right);
    TDatensatz *e = AppendEntry(left, 0, photo, dsLeft);
    LinkBothWays(e, CreateGap(right));
    e->SetAttribute(daMono);
    e->SetNewName(QStringLiteral("b"));
    TProtokoll log;
    NoProgress progress;
    TBatchRun run(store, log, progress);
    run.SetJournalFolder(data + QStringLiteral("/Duomira/jobs"));
    TBatchJobSettings s;
    s.RenameSource = true;
    run.RunBatchJob(s);
    const QString renamed = dir.filePath(QStringLiteral("b_M.jpg"));
    ASSERT_TRUE(QFile::exists(renamed));
    left.Clear();
    right.Clear();

    const CliResult dry = undo({QStringLiteral("--dry-run"), run.JournalPath()}, data);
    EXPECT_EQ(dry.exitCode, 0);
    EXPECT_EQ(dry.out, QStringLiteral("would rename back %1 -> %2\n").arg(renamed, photo));
    EXPECT_TRUE(QFile::exists(renamed));

    const CliResult real = undo({run.JournalPath()}, data);
    EXPECT_EQ(real.exitCode, 0);
    EXPECT_EQ(real.out, QStringLiteral("renamed back %1 -> %2\n").arg(renamed, photo));
    EXPECT_TRUE(QFile::exists(photo));

    // A second undo (or one after an undo that was killed) finds everything back.
    const CliResult again = undo({run.JournalPath()}, data);
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, QStringLiteral("already back: %1\n").arg(photo));
    QFile::remove(photo);
    const CliResult gone = undo({run.JournalPath()}, data);
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_EQ(gone.out, QStringLiteral("left alone: %1 (no longer there)\n").arg(renamed));

    EXPECT_EQ(undo({}, data).exitCode, 2);
    EXPECT_EQ(undo({dir.filePath(QStringLiteral("missing.jsonl"))}, data).exitCode, 2);
}
