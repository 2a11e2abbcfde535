#pragma once
// The job journal: while a batch job runs, one JSON line per file operation is appended
// to a file of its own under $XDG_DATA_HOME/Duomira/jobs/, the intent before the
// operation starts and the outcome after it ends. Each line goes to the file with one
// write(2), so a job killed half-way leaves a journal that says exactly what was done;
// duomira-cli undo reverses a job from it.
//
// Line kinds ("event"): "job" (first line), "intent", "copied" (a move across volumes whose
// copy is complete, synced to the disk before the source is deleted), "done" (same "seq" as
// its intent), "end" (last line of a job that finished). A copy or move that waits for the
// next sync of its file system (TFileOps::Settle) gets its "copied" and "done" lines only
// then, once it is on the disk under its final name; so a done line follows its intent
// after the intents of the other operations of that batch.
//
// A copy, and the copy of a move across volumes, names in its intent the temporary file it
// is written to ("temporary"), before that file is created; its outcome holds the XXH3-128
// digest of the bytes copied ("xxh128"), by which undo recognises the copy on any file system.
#include "batch/fileops.h"

#include <QHash>
#include <QJsonObject>
#include <QString>

// $XDG_DATA_HOME/Duomira/jobs (XDG_DATA_HOME defaults to ~/.local/share).
QString JournalFolder();

class TJobJournal
{
public:
    TJobJournal() = default;
    ~TJobJournal();
    TJobJournal(const TJobJournal &) = delete;
    TJobJournal &operator=(const TJobJournal &) = delete;

    // Creates a new journal "<yyyyMMdd-HHmmss>-<pid>-<n>.jsonl" in folder (made when
    // missing), exclusively, so two jobs never share one. False with error set on failure.
    bool Create(const QString &folder, QString &error);
    bool IsOpen() const { return m_fd >= 0; }
    QString Path() const { return m_path; }

    // Appends one line. Returns false when it could not be written.
    bool Append(const QJsonObject &record);
    // Appends one line of JSON text (without its line end).
    bool AppendLine(QByteArray line);
    // Makes every line appended so far durable. False when the disk refused.
    bool Sync();
    // Syncs and closes.
    void Close();

    int NextSeq() { return ++m_seq; }

private:
    int m_fd = -1;
    QString m_path;
    int m_seq = 0;
};

// Wraps the file operations of a job: every operation is recorded in the journal before
// (intent: what, where from, where to, the source's size and time, and for a rotation the
// EXIF orientation before it) and after (outcome: success, the system's reason, the
// SHA-256 of every file written).
class TJournalFileOps : public TFileOps
{
public:
    TJournalFileOps(TFileOps &inner, TJobJournal &journal);
    ~TJournalFileOps() override;

    bool TouchesFiles() const override { return m_inner.TouchesFiles(); }
    TFileOpResult CreateFolder(const QString &folder) override;
    TFileOpResult Rename(const QString &from, const QString &to) override;
    TFileOpResult Copy(const QString &from, const QString &to) override;
    TFileOpResult Move(const QString &from, const QString &to) override;
    TFileOpResult Extract(const QString &from, const QList<TByteRange> &ranges,
                          const QString &to) override;
    TFileOpResult CreateFile(const QString &path, const QByteArray &bytes) override;
    // The intent keeps the remainder and the view files' names, and is on the disk before
    // the file goes: undo rebuilds the file from them.
    TFileOpResult RemoveStereo(const QString &path, const TStereoRemainder &remainder,
                               const QStringList &views) override;
    TRotateResult Rotate(const QString &path, int quarterTurns) override;
    TFileOpResult WriteFileReplacing(const QString &path, const QByteArray &bytes) override;
    TFileOpResult Remove(const QString &path) override;
    TFileOpResult RemoveFolder(const QString &folder) override;
    bool Exists(const QString &path) const override { return m_inner.Exists(path); }
    void SetProgressHook(std::function<void()> hook) override
    {
        m_inner.SetProgressHook(std::move(hook));
    }
    void SetBatchedSync(bool on) override { m_inner.SetBatchedSync(on); }
    bool SettleDue() const override { return m_inner.SettleDue(); }
    // Writes the done line of every operation that settled.
    std::vector<TSettledOp> Settle() override;

    // The entry number written into the following intents (-1: none).
    void SetEntryNumber(int number) { m_entry = number; }

private:
    // rotation and orientation (-1: none) go into the intent of a turn.
    // What the intent of a stereo file's removal keeps: the remainder (base64) and the view files.
    struct StereoKeep
    {
        QString remainder;
        QStringList views;
    };
    int intent(TFileOpKind kind, const QString &source, const QString &target, int rotation = -1,
               int orientation = -1, const StereoKeep *keep = nullptr);
    void done(int seq, const TFileOpResult &result, const QString &writtenPath);
    TFileOpResult fileOp(TFileOpKind kind, const QString &from, const QString &to,
                         const std::function<TFileOpResult()> &run);

    TFileOps &m_inner;
    TJobJournal &m_journal;
    int m_entry = -1;
    int m_moveSeq = 0;            // the move running now
    QHash<int, int> m_pendingSeq; // pending ticket -> seq of its intent
};

// The EXIF orientation tag (1..8) of a JPEG file; 0 when it has none or cannot be read.
int FileOrientation(const QString &path);
