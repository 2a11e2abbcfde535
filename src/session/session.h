#pragma once
// The session: everything the window and duomira-cli share about one set of pictures. It
// owns the entry store (registry, image holders, naming settings), the two row models, the
// job log, the SPM list path and the window state with its hooks (TMainWindowState: the
// assignment step, the counterpart selection, the pair check after an ordering pass).
//
// The window owns one session and shows it; duomira-cli makes one per command; a test makes
// a fresh one. Nothing below reaches a session through a global: the lower layers get the
// parts they need by reference (the store, TBatchContext).
#include "batch/batchcontext.h"
#include "batch/protokoll.h"
#include "batch/siblingjob.h"
#include "batch/stereojob.h"
#include "batch/stereooutputjob.h"
#include "entries/entrystore.h"
#include "entries/listrows.h"
#include "session/mainstate.h"

#include <QString>

class TSession
{
public:
    TSession();
    // Frees every entry before the store they belong to.
    ~TSession();
    TSession(const TSession &) = delete;
    TSession &operator=(const TSession &) = delete;

    TEntryStore &Entries() { return m_entries; }
    TDatensatzList &Registry() { return m_entries.Registry; }
    TNamingSettings &Naming() { return m_entries.Naming; }
    THolderList &Holders() { return m_entries.Holders; }

    // Both lists, linked to each other; their entries belong to Entries().
    ListRowModel &Left() { return m_left; }
    ListRowModel &Right() { return m_right; }

    TProtokoll &JobLog() { return m_log; }
    // Where a job's SPM list goes (DefaultSpmListFile() at first).
    QString &SpmListFile() { return m_spmListFile; }
    // What the batch wizard and its run need of the session.
    // The stereo files' views bring their view files into the job, a shot's entry its
    // siblings, the pairs their stereo files.
    TBatchContext BatchContext()
    {
        return {m_entries, m_log, m_spmListFile,
                CombineProviders({StereoFileProvider(), SiblingFileProvider(),
                                  StereoOutputProvider(m_stereoOutputs)}),
                m_stereoOutputs.get()};
    }
    // The stereo files a job writes for its pairs (none at first).
    TStereoOutputSettings &StereoOutputs() { return *m_stereoOutputs; }

    TMainWindowState &State() { return m_state; }

    // The rename mask of the lists (the window's mask field, duomira-cli's --mask): the
    // session file keeps it with the lists.
    QString &RenameMask() { return m_renameMask; }

private:
    TEntryStore m_entries; // first: outlives the rows and their entries
    TProtokoll m_log;
    QString m_spmListFile;
    QString m_renameMask;
    std::shared_ptr<TStereoOutputSettings> m_stereoOutputs =
        std::make_shared<TStereoOutputSettings>(TStereoOutputSettings::Defaults());
    TMainWindowState m_state;
    ListRowModel m_left;
    ListRowModel m_right;
};
