#pragma once
// The batch run: for every registered entry, in the registry's order, renames, moves,
// copies and losslessly rotates the files as the job settings say, writes every step into
// the job log and reports progress. Files are never overwritten; a failed step is logged
// in red (with the system's reason on a second red line), marks the job failed, and the
// run goes on with the next step. Every file operation goes through a TFileOps and, when
// the operations touch real files, is recorded in a job journal that duomira-cli undo
// reads.
#include "batch/batchjobsettings.h"
#include "batch/extrafiles.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>

class ListRowModel;
class TDatensatz;
class TDsOrgBild;
struct TFileOpResult;
class TFileOps;
class TJobJournal;
class TJournalFileOps;
class TProtokoll;
class TRunProgress;
struct TEntryStore;

class TBatchRun
{
public:
    // entries: the session's entries (registry order, naming settings).
    TBatchRun(TEntryStore &entries, TProtokoll &log, TRunProgress &progress);
    ~TBatchRun();

    // The SPM list's path (the wizard's setting). A relative path is taken relative to the
    // folder given by SetSpmListBase (default <home>/Stereos); the log names the result.
    void SetSpmListFile(const QString &path) { m_spmListFile = path; }
    void SetSpmListBase(const QString &folder) { m_spmListBase = folder; }
    // The list whose rows the SPM list walks; by default the left list of the entries.
    void SetLeftList(const ListRowModel *list) { m_leftList = list; }

    // The file operations to use (not owned; null: the real file system). A
    // TPlanFileOps makes a dry run that touches nothing and keeps no journal.
    void SetFileOps(TFileOps *ops) { m_externalOps = ops; }
    // The files entries bring into the job besides their own (see extrafiles.h).
    void SetExtraFiles(TExtraFileProvider provider) { m_extraFiles = std::move(provider); }
    // Where journals go (default JournalFolder()).
    void SetJournalFolder(const QString &folder) { m_journalFolder = folder; }

    // Runs the whole job; onDone is called at its very end.
    void RunBatchJob(const TBatchJobSettings &settings, const std::function<void()> &onDone = {});

    // Checked before each entry; set by the wizard's Cancel while the run lets events through.
    void RequestCancel() { m_cancelRequested = true; }
    bool CancelRequested() const { return m_cancelRequested; }
    // True until a run starts, then true when a step failed or the run was cancelled.
    bool JobFailed() const { return m_jobFailed; }
    bool Running() const { return m_running; }
    // The journal of the last run (empty when none could be created).
    QString JournalPath() const { return m_journalPath; }

    // Creates the destination folders of the mask's bits (1 left, 2 right, 4 monoscopic).
    void CreateMissingFolders(quint8 mask);
    // Turns the file at path by quarterTurns for entry e and logs it; true when it failed.
    bool RotateLossless(TDatensatz *e, const QString &path, int quarterTurns);

private:
    // What the run knows about one file it has touched, by the file's identity (device
    // and inode, so that two names of one file are one file; the path where the file
    // does not exist, as in a plan).
    struct FileState
    {
        int turned = 0;     // quarter turns applied in this job
        int turnedFor = -1; // number of the entry it was turned for
        bool rotationTried = false;
    };

    // A copy or move whose file waits for the next sync of its file system.
    struct PendingStep
    {
        TDatensatz *entry = nullptr;
        QString oldKey;     // a move: the moved file's key before the move
        FileState state;    // a copy: what the copy inherits from its source
        bool extra = false; // an extra file of the entry, not its own
    };

    void processEntry(TDatensatz *e);
    // Settles the pending copies and moves (one sync of each file system for all of them)
    // and logs their outcomes. Every step that reads or changes a file other than by a copy
    // or a move calls it first, so that it finds the files where the log says they are.
    void settlePending();
    // Settles the one pending copy of a step that needs its file at once.
    TFileOpResult settleOne(int ticket);
    void logMoved(TDatensatz *e, const QString &from, const QString &to);
    void logCopied(TDatensatz *e, const QString &from, const QString &to);
    void renameStep(TDatensatz *e, const QString &sourceTarget);
    void moveStep(TDatensatz *e, const QString &destinationTarget);
    void copyStep(TDatensatz *e, const QString &destinationTarget);
    void sourceRotationStep(TDatensatz *e);
    // An entry that shows a view of a stereo file has no file of its own: a copy or move
    // job writes the files the provider lists for it (its view file, and for a move the
    // removal of the stereo file once both views are written).
    void stereoViewSteps(TDatensatz *e, const QString &destinationTarget);
    // The stereo files whose removal waited for the end of the run (their view files are
    // all written then).
    void removeRebuildableFiles();
    // The files made from what the job left (runengine_produce.cpp): made on worker
    // threads, written and journaled on this one in the order they were listed.
    void produceFiles();
    void createProducedFolders(const std::vector<std::pair<TDatensatz *, TExtraFile>> &files);
    void writeProduced(TDatensatz *e, const TExtraFile &extra, const TProducedFile &made);
    // Where the job left e's file, and the quarter turns still to do on it; an empty path
    // when e's step failed (or e is not in the job).
    QString finalPath(const TDatensatz *e, int *turnsLeft) const;
    void repointViews(TDatensatz *e);
    // Renames the stereo file of e's pair in its folder where the job lists that rename;
    // false where it keeps its name.
    bool renameStereoFile(TDatensatz *e);
    // The extra files of e (listed before its own file's step changed e), after that step.
    void extraFilesStep(TDatensatz *e, const std::vector<TExtraFile> &extras);
    void logExtra(TDatensatz *e, TFileOpKind kind, const QString &from, const QString &to,
                  const TFileOpResult &r);
    // Turns a copy or moved file so that it carries exactly e's rotation.
    void rotateToEntry(TDatensatz *e, const QString &path);
    // Logs (in black) that a file which is not a JPEG is left unturned; true then.
    bool rotationSkipped(TDatensatz *e, const QString &path, int quarterTurns);
    void logSiblingsNotTurned(TDatensatz *e, const QString &path, int quarterTurns);
    void finish();
    // The job's journal: created with its head line (false, and a red log line, when it
    // cannot be), and closed with its end line.
    bool openJournal(TJobJournal &journal, const TBatchJobSettings &settings);
    void closeJournal(TJobJournal &journal);

    void logFailure(const QString &format, const QVariantList &args, const QString &reason);
    void logUnchanged(TDatensatz *e, const QString &path);
    QString fileKey(const QString &path) const;
    void rekey(const QString &oldKey, const QString &path);
    void setStatus(const QString &text);
    const ListRowModel *leftList() const;
    QString spmListPath() const;

    TEntryStore &m_entries;
    TProtokoll &m_log;
    TRunProgress &m_progress;
    QString m_spmListFile;
    QString m_spmListBase;
    const ListRowModel *m_leftList = nullptr;
    TFileOps *m_externalOps = nullptr;
    TExtraFileProvider m_extraFiles;
    std::unique_ptr<TFileOps> m_realOps;
    TFileOps *m_ops = nullptr; // the operations of the current run
    QString m_journalFolder;
    QString m_journalPath;
    bool m_jobFailed = true;
    bool m_cancelRequested = false;
    bool m_running = false;

    // State of the current run.
    TBatchJobSettings m_settings;
    TJournalFileOps *m_journalOps = nullptr;
    QHash<QString, FileState> m_files;
    QHash<const TDsOrgBild *, int> m_renamedFor; // holder -> number of the entry that renamed it
    QHash<const TDatensatz *, QString> m_resultPath; // the destination file of an entry
    QSet<const TDatensatz *> m_renamedStereo;        // views whose stereo file this run renamed
    QSet<TDatensatz *> m_reset;                      // entries whose file now shows their rotation
    QHash<int, PendingStep> m_pendingSteps;          // pending ticket -> its step
    std::vector<std::pair<TDatensatz *, TExtraFile>> m_removals; // waiting for the end of the run
    std::vector<std::pair<TDatensatz *, TExtraFile>> m_produced; // likewise
    QString m_status;
    qint64 m_lastStatusMs = 0;
};
