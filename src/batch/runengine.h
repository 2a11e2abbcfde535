#pragma once
// The batch run: for every registered entry, in DatensatzList order, renames, moves,
// copies and losslessly rotates the files as the job settings say, writes every step into
// the job log and reports progress. Files are never overwritten; a failed step is logged
// in red, marks the job failed, and the run goes on with the next step.
#include "batch/batchjobsettings.h"

#include <QString>
#include <functional>

class TProtokoll;
class TRunProgress;

class TBatchRun
{
public:
    TBatchRun(TProtokoll &log, TRunProgress &progress);
    ~TBatchRun();

    // The SPM list's full path (the wizard's setting); a relative path is resolved by the
    // caller before the run.
    void SetSpmListFile(const QString &path) { m_spmListFile = path; }

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

private:
    TProtokoll &m_log;
    TRunProgress &m_progress;
    QString m_spmListFile;
    QString m_journalPath;
    bool m_jobFailed = true;
    bool m_cancelRequested = false;
    bool m_running = false;
};
