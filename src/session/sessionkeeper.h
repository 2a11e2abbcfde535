#pragma once
// Keeps the user's work of one session: its session file (save, save as, open), whether
// there are unsaved changes, the question before work would be lost, and the crash
// recovery file.
//
// Unsaved changes are known by content: a digest of everything the user set
// (SessionFingerprint) against the digest at the last save or open. Whatever changed it
// (a drop, a pairing, a name, undoing an edit by hand) the answer is right, and opening a
// session or thumbnails arriving do not count as changes.
//
// Noting a change (NoteChange: the lists' row signals call it, the window calls it after
// edits that show in no row) starts a short timer; when it runs out the user interface
// thread takes the rows (TSessionRowCache: only the rows that changed since the last look
// are copied, the others are shared) and a worker thread makes the snapshot of them,
// computes the digest and, a few seconds after the last write at most, writes the
// recovery file: a complete new file, synced, then renamed over the old one. A clean
// session has no recovery file.
#include "session/recoveryfiles.h"
#include "session/sessionopen.h"
#include "session/sessionrows.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

class TGflLibrary;
class TSession;

// Answers of "Save changes to the session?".
enum class TLoseWorkAnswer
{
    Save,
    Discard,
    Cancel,
};

// What the user is about to do that would drop the lists.
enum class TLoseWorkPath
{
    Exit,        // "Exit" in the File menu
    CloseWindow, // the window's close button, the desktop closing it
    OpenSession, // "Open Session..." or a recent session
};

struct TSessionOpenOutcome
{
    bool Ok = false;
    QString Error; // what is wrong with the file; the lists are as they were
    TSessionOpenReport Report;
};

class TSessionKeeper : public QObject
{
    Q_OBJECT
public:
    // Watches both lists of session for changes.
    explicit TSessionKeeper(TSession &session, QObject *parent = nullptr);
    // Waits for a recovery write in progress.
    ~TSessionKeeper() override;

    // ---- The session file ----
    // The session's file ("" until saved or opened).
    QString FilePath() const { return m_path; }
    // Its name for the window title: the file name without ".duomira", or "Untitled".
    QString DisplayName() const;
    // Writes the session to path (a complete new file, synced, renamed over the old one)
    // and makes it the session's file. False with error set; nothing changes then.
    bool Save(const QString &path, QString &error);
    // Reads the session file at path and, when it is sound, calls clearLists (which must
    // leave both lists empty), rebuilds the lists from it and makes it the session's file.
    // A file that cannot be read or is refused leaves everything as it was.
    TSessionOpenOutcome Open(const QString &path, const std::function<void()> &clearLists,
                             const TGflLibrary *gfl);

    // ---- Unsaved changes ----
    // Exact, now (copies and digests the lists). An untitled session without rows never is.
    bool IsDirty();
    // As last found by the timer (for the window title); see dirtyChanged.
    bool DirtyShown() const { return m_dirtyShown; }
    // Something may have changed: look again shortly.
    void NoteChange();

    // Before path drops the lists: true when the caller may go on. Without unsaved
    // changes nothing is asked. ask shows "Save changes to the session?"; on Save the
    // session goes to its file, or to the file chooseSavePath names ("" cancels); a save
    // that fails is reported through error and stops the path.
    bool ConfirmLoseWork(TLoseWorkPath path, const std::function<TLoseWorkAnswer()> &ask,
                         const std::function<QString()> &chooseSavePath, QString &error);
    static QString LoseWorkQuestion() { return QStringLiteral("Save changes to the session?"); }

    // ---- Crash recovery ----
    // Claims a recovery file in folder for this instance; without one nothing is written.
    bool EnableRecovery(const QString &folder, QString &error);
    QString RecoveryPath() const { return m_recovery.Path(); }
    // The delay between a noted change and the look at it, and the shortest time between
    // two recovery writes (defaults 300 ms and 2 s).
    void SetTimings(std::chrono::milliseconds look, std::chrono::milliseconds writeInterval);
    // Writes the recovery file now, on this thread, when there are unsaved changes (an end
    // by a signal). Returns false when it could not be written.
    bool WriteRecoveryNow();
    // "Remove all items" has just emptied the lists: the recovery file keeps what was
    // removed until the next change after it.
    void KeepRecoveryThroughClear() { m_keepRecovery = true; }
    // The work is saved or was discarded on purpose: the recovery file goes.
    void DropRecovery();
    // Restores the lists from an orphaned recovery file (as Open does; the session then
    // belongs to the file it was saved as, with unsaved changes).
    TSessionOpenOutcome Restore(const QString &recoveryPath,
                                const std::function<void()> &clearLists, const TGflLibrary *gfl);
    // Waits until no look or write is pending (tests, benchmarks, shut-down).
    void Flush();
    // Time the user interface thread spent on the last look (taking the rows).
    std::chrono::nanoseconds LastLookCost() const { return m_lastLookCost; }
    int RecoveryWrites() const { return m_recoveryWrites; }

Q_SIGNALS:
    // DirtyShown() changed.
    void dirtyChanged(bool dirty);
    // The session's file changed (saved as, opened).
    void filePathChanged(const QString &path);
    // A recovery write failed (once per failure streak).
    void recoveryFailed(const QString &error);

private:
    // What one look is to do (taken on the user interface thread) and what it did.
    struct LookTask
    {
        quint64 Sequence = 0;
        QString Target; // the recovery file ("" none)
        bool WriteDue = false;
        quint64 Baseline = 0;
        quint64 LastWritten = 0;
        bool Keep = false;
        bool Untitled = false;
    };
    struct LookResult
    {
        quint64 Sequence = 0;
        quint64 Fingerprint = 0;
        bool Dirty = false;
        bool Written = false;
        bool Removed = false;
        QString Error;
    };
    static bool isDirty(quint64 fingerprint, quint64 baseline, bool untitled, bool empty);
    static LookResult lookAt(const TSessionSnapshot &s, const LookTask &task);
    LookTask task(bool writeDue);
    bool applyResult(const LookResult &r);
    void look();
    void lookFinished();
    void setBaseline(quint64 fingerprint, bool dirty);
    void setDirtyShown(bool dirty);
    TSessionSnapshot snapshot();
    TSessionOpenOutcome applyFile(const QString &path, const std::function<void()> &clearLists,
                                  const TGflLibrary *gfl, bool recovered);

    TSession &m_session;
    TSessionRowCache m_rows;
    QString m_path;
    quint64 m_baseline = 0;
    bool m_dirtyShown = false;
    bool m_keepRecovery = false;
    bool m_lookAgain = false;
    TRecoveryFile m_recovery;
    quint64 m_lastWritten = 0; // digest in the recovery file (0: none written)
    QElapsedTimer m_sinceWrite;
    std::chrono::milliseconds m_writeInterval{2000};
    QTimer m_lookTimer;
    QThreadPool m_worker;
    QFutureWatcher<LookResult> m_watcher;
    std::chrono::nanoseconds m_lastLookCost{0};
    int m_recoveryWrites = 0;
    bool m_failing = false;
    quint64 m_lookSequence = 0;
    quint64 m_appliedSequence = 0;
};
