#pragma once
// A batch job on real files: a temporary source folder with JPEG files, the two linked
// lists holding their entries, destination folders under the same temporary folder,
// XDG_DATA_HOME and XDG_CONFIG_HOME in temporary folders, and a run with the real file
// operations (and, for rotations, the imaging modules built with the program).
#include "batch/batchjobsettings.h"
#include "batch/fileops.h"
#include "batch/protokoll.h"
#include "batch/runengine.h"
#include "batch/runprogress.h"
#include "entries/datensatz.h"
#include "entries/entrystore.h"
#include "entries/listrows.h"

#include <QMap>
#include <QSize>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

class TGflLibrary;

// Counts the progress calls; can ask the run to cancel after a number of steps.
class TTestProgress : public TRunProgress
{
public:
    void BeginPhase(const QString &text, int maximum, int phase) override;
    void StepProgress(const QString &text) override;
    void ShowStatus(const QString &text) override;

    TRunStatusState state;
    int steps = 0;
    int statusCalls = 0;
    std::function<void(int steps)> onStep;
};

class BatchFixture : public ::testing::Test
{
public:
    BatchFixture();
    ~BatchFixture() override;

    // A JPEG of size in the source folder (any sub-path), with distinct pixels per name.
    QString makePhoto(const QString &name, QSize size = QSize(64, 48));
    // A stereo pair of two new photos named <base>_l.jpg and <base>_r.jpg, with the new
    // base name newName.
    std::pair<TDatensatz *, TDatensatz *> addPair(const QString &base, const QString &newName);
    // A monoscopic picture opposite a gap.
    TDatensatz *addMono(const QString &name, const QString &newName);
    // Starts a table row afresh: empty lists, an empty source folder and an empty log.
    void startRow();
    // Runs the job with the real file operations (or ops) and returns JobFailed.
    bool run(const TBatchJobSettings &settings, TFileOps *ops = nullptr);

    // Every file under the temporary root (except journals) by relative path, with its
    // SHA-256.
    QMap<QString, QByteArray> files() const;
    // The log lines that contain text.
    QStringList logLines(const QString &text) const;
    int redLines() const;
    QString rel(const QString &path) const;
    QString src(const QString &name) const
    {
        return m_root.path() + QStringLiteral("/src/") + name;
    }
    QString dest(const QString &sub) const
    {
        return m_root.path() + QStringLiteral("/dest/") + sub;
    }
    QString journalFolder() const { return m_root.path() + QStringLiteral("/data/Duomira/jobs"); }

    // The imaging modules, loaded once for the rotation tests (null when they fail).
    static const TGflLibrary *library();

    QTemporaryDir m_root;
    TEntryStore store; // a fresh session's entries, holders and naming settings
    ListRowModel left{store, dsLeft};
    ListRowModel right{store, dsRight};
    TProtokoll log;
    TTestProgress progress;
    TBatchRun engine{store, log, progress};
    TRealFileOps realOps;

private:
    QByteArray m_oldData, m_oldConfig;
};
