#pragma once
// The file operations of the batch job: every rename, copy, move, folder creation,
// rotation and list write goes through one TFileOps, so that the guarantees hold in one
// place:
//  - nothing is ever overwritten: renames refuse an existing target (RENAME_NOREPLACE, or
//    link + unlink, or no rename at all), copies create their target exclusively;
//  - a copy is written to a hidden temporary name beside its target (CopyTemporaryPath),
//    keeps the source's modification time and permission bits where the target file
//    system can keep them, is synced, and only then gets its final name, without
//    replacing anything; so a final name never holds a partial file, even when the
//    process is killed. A failed copy removes its temporary file. It goes in chunks
//    (copy_file_range, or read and write where that is refused) and calls the progress
//    hook between them, so the window stays alive. Its result carries the XXH3-128 digest
//    of the bytes copied (the source, read again from the page cache right after the copy);
//  - a move across volumes copies (as above), syncs file and folder, compares sizes, calls
//    the copied hook (the journal makes the copy durable there) and only then deletes the
//    source; if the source cannot be deleted, the copy is removed again;
//  - with batched syncs (SetBatchedSync, what a job uses), a copy and the copy of a move
//    across volumes stop once their bytes are written under the temporary name: they are
//    pending. Settle then syncs each destination file system once for all of them, gives
//    them their final names, syncs the names, and only then deletes the sources of the
//    moves. A final name still never holds a file that is not on the disk, and a source
//    still goes only after its copy is durable; one sync of a file system costs a job of
//    hundreds of files about what one fsync per file costs a single file;
//  - a target that is the file itself (same path, or same device and inode) is reported
//    as unchanged, not as a failure.
//
// TRealFileOps does the work on the real file system; tests inject faults into it at
// named points. TPlanFileOps touches nothing and records what a job would do.
#include "imaging/stereosplit.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <future>
#include <vector>

class TGflLibrary;

enum class TFileOpKind
{
    CreateFolder,
    Rename,
    Copy,
    Move,
    Rotate,
    WriteFile,
    Remove,
    RemoveFolder,
    Extract,
    Create,
    RemoveStereo,
};

// "mkdir", "rename", "copy", "move", "rotate", "write", "remove", "rmdir", "extract",
// "create", "remove-stereo".

QString FileOpKindName(TFileOpKind kind);

// What stat says about a path.
struct TFileStamp
{
    bool exists = false;
    bool isLink = false; // only when asked not to follow links
    bool isRegular = false;
    bool isFolder = false;
    qint64 size = -1;
    qint64 mtimeNs = 0; // modification time, nanoseconds since the epoch
    qint64 ctimeNs = 0; // change time: set by the kernel on every write, never by a program
    quint32 mode = 0;   // permission bits
    quint64 device = 0;
    quint64 inode = 0;
    quint64 links = 0;

    bool SameFile(const TFileStamp &other) const
    {
        return exists && other.exists && device == other.device && inode == other.inode;
    }
};
TFileStamp StatPath(const QString &path, bool followLinks = true);

// The text the system gives for an errno value.
QString SystemErrorText(int error);

struct TFileOpResult
{
    bool ok = false;
    bool unchanged = false;   // the target is the file itself: nothing was done
    bool crossVolume = false; // a move done as copy, sync and delete
    int error = 0;            // errno of a failure (or of what made the move cross volumes)
    QString reason;           // the system's text for a failure
    qint64 size = -1;         // bytes of the file that was copied, moved or written
    QByteArray sha256;        // hex SHA-256 of the bytes written (WriteFileReplacing)
    QByteArray contentHash;   // hex XXH3-128 of the bytes copied (copies, moves across volumes)
    bool replaced = false;    // WriteFileReplacing: a file of that name was replaced
    QStringList created;      // CreateFolder: the folders made, outermost first
    // Above 0: a copy or move whose bytes are written under its temporary name and which
    // waits for TFileOps::Settle to be synced and named (ok says only that it got so far).
    int pendingTicket = 0;

    static TFileOpResult Failure(int error, const QString &reason = QString());
};

struct TRotateResult
{
    int code = 0;               // the library's result: above 0 failed, 0 or below succeeded
    QString errorText;          // the library's text for the code
    QString temporaryPath;      // the path with the extension ".jp_"
    bool temporaryLeft = false; // a file of that name exists after the call
    QSize before;               // pixel size before and after (invalid when unknown)
    QSize after;
    QByteArray sha256; // hex digest of the file after a successful rotation

    bool Failed() const { return code > 0 || temporaryLeft; }
    // The rotation dropped edge rows or columns that did not fill a whole JPEG block.
    bool Trimmed(int quarterTurns) const;
};

// Where tests inject a failure into TRealFileOps.
enum class TFaultPoint
{
    CreateFolder,    // path: the folder about to be made
    RenameNoReplace, // path: the target; EINVAL here exercises the link + unlink fallback
    Link,            // path: the target of the fallback's link
    OpenTarget,      // path: the copy's target, before it is created
    Write,           // path: the copy's target, before each chunk is written
    Sync,          // path: the copy's target, before fsync (batched: before its file system's sync)
    FinalName,     // path: the copy's target, before the synced temporary file gets its name
    SyncFolder,    // path: the folder of a move's copy, before it is synced (never fails);
                   // batched: the folder of a target, before the sync of the new names
    UnlinkSource,  // path: the source of a cross-volume move, before it is deleted
    ReplaceTarget, // path: the file WriteFileReplacing is about to replace
    Rotate,        // path: the file about to be turned, before the imaging library is called
};
// Returns the errno to fail with at that point, or 0 to go on.
using TFaultHook = std::function<int(TFaultPoint point, const QString &path)>;

// The outcome of a pending copy or move, handed out by TFileOps::Settle.
struct TSettledOp
{
    int ticket = 0;
    TFileOpKind kind = TFileOpKind::Copy;
    QString from;
    QString to;
    TFileOpResult result; // pendingTicket is 0 here
};

class TFileOps
{
public:
    virtual ~TFileOps() = default;

    // False for a plan that only records (no journal is kept for it).
    virtual bool TouchesFiles() const { return true; }

    // Creates folder with all missing parents; an existing folder is success.
    virtual TFileOpResult CreateFolder(const QString &folder) = 0;
    virtual TFileOpResult Rename(const QString &from, const QString &to) = 0;
    // Follows a symbolic link: the copy holds the picture, not the link.
    virtual TFileOpResult Copy(const QString &from, const QString &to) = 0;
    // Refuses to move a symbolic link.
    virtual TFileOpResult Move(const QString &from, const QString &to) = 0;
    // Writes a new file to made of the byte ranges of from, one after another, as a copy
    // is written (temporary name, synced, named without replacing; batched like a copy).
    // Its digest is that of the bytes written.
    virtual TFileOpResult Extract(const QString &from, const QList<TByteRange> &ranges,
                                  const QString &to) = 0;
    // Writes a new file path holding bytes (temporary name, synced, named without
    // replacing anything); its digests are those of bytes.
    virtual TFileOpResult CreateFile(const QString &path, const QByteArray &bytes) = 0;
    // Removes the stereo file path only when its two view files (views) and remainder give
    // back exactly the file it is now (the remainder's size and SHA-256).
    virtual TFileOpResult RemoveStereo(const QString &path, const TStereoRemainder &remainder,
                                       const QStringList &views) = 0;
    // Losslessly turns a JPEG file in place by quarterTurns (1..3) clockwise.
    virtual TRotateResult Rotate(const QString &path, int quarterTurns) = 0;
    // Writes bytes to a temporary file beside path, syncs it and renames it over path (the
    // one place where a file is replaced: the SPM list, the saved log).
    virtual TFileOpResult WriteFileReplacing(const QString &path, const QByteArray &bytes) = 0;
    virtual TFileOpResult Remove(const QString &path) = 0;
    // Removes a folder only when it is empty.
    virtual TFileOpResult RemoveFolder(const QString &folder) = 0;
    virtual bool Exists(const QString &path) const = 0;

    // Lets copies and moves across volumes wait for Settle (see above); off by default.
    virtual void SetBatchedSync(bool) {}
    // True when so many files or bytes wait that the caller should settle them now.
    virtual bool SettleDue() const { return false; }
    // Syncs, names and (for moves) deletes the sources of every pending operation; their
    // outcomes in the order they were started.
    virtual std::vector<TSettledOp> Settle() { return {}; }

    // Called between the chunks of a long copy, so the caller can let events through.
    virtual void SetProgressHook(std::function<void()> hook) { m_progressHook = std::move(hook); }
    // Called by a move across volumes once its copy is complete and synced under the final
    // name, before the source is deleted (with the copy's size and digest); batched moves
    // come together, each result carrying its pending ticket.
    virtual void SetCopiedHook(std::function<void(const std::vector<TFileOpResult> &copies)> hook)
    {
        m_copiedHook = std::move(hook);
    }

protected:
    void progress() const
    {
        if (m_progressHook)
            m_progressHook();
    }
    void copied(const std::vector<TFileOpResult> &copies) const
    {
        if (m_copiedHook && !copies.empty())
            m_copiedHook(copies);
    }
    std::function<void()> m_progressHook;
    std::function<void(const std::vector<TFileOpResult> &)> m_copiedHook;
};

class TRealFileOps : public TFileOps
{
public:
    // library: the imaging library that rotates; null means the program-wide one.
    explicit TRealFileOps(const TGflLibrary *library = nullptr);
    // Pending copies never settled are removed (they were never named).
    ~TRealFileOps() override;
    TRealFileOps(const TRealFileOps &) = delete;
    TRealFileOps &operator=(const TRealFileOps &) = delete;
    TRealFileOps(TRealFileOps &&) = default;
    TRealFileOps &operator=(TRealFileOps &&) = default;

    void SetFaultHook(TFaultHook hook) { m_fault = std::move(hook); }
    // Bytes per chunk of a copy (tests make it small to see several chunks).
    void SetChunkSize(qint64 bytes) { m_chunk = bytes > 0 ? bytes : m_chunk; }
    // True once a rename had to be a plain rename after a check of the target, because the
    // file system supports neither a rename that refuses to replace nor hard links.
    bool UsedCheckedRenames() const { return m_checkedRenames; }

    TFileOpResult CreateFolder(const QString &folder) override;
    TFileOpResult Rename(const QString &from, const QString &to) override;
    TFileOpResult Copy(const QString &from, const QString &to) override;
    TFileOpResult Move(const QString &from, const QString &to) override;
    TFileOpResult Extract(const QString &from, const QList<TByteRange> &ranges,
                          const QString &to) override;
    TFileOpResult CreateFile(const QString &path, const QByteArray &bytes) override;
    TFileOpResult RemoveStereo(const QString &path, const TStereoRemainder &remainder,
                               const QStringList &views) override;
    TRotateResult Rotate(const QString &path, int quarterTurns) override;
    TFileOpResult WriteFileReplacing(const QString &path, const QByteArray &bytes) override;
    TFileOpResult Remove(const QString &path) override;
    TFileOpResult RemoveFolder(const QString &folder) override;
    bool Exists(const QString &path) const override;
    void SetBatchedSync(bool on) override { m_batched = on; }
    bool SettleDue() const override;
    std::vector<TSettledOp> Settle() override;
    // How many files or bytes may wait for one Settle (tests make them small).
    void SetSettleLimits(int files, qint64 bytes)
    {
        m_settleFiles = files;
        m_settleBytes = bytes;
    }

private:
    // A copy (or the copy of a move) written under its temporary name, waiting for Settle.
    struct Pending
    {
        int ticket = 0;
        TFileOpKind kind = TFileOpKind::Copy;
        QString from;
        QString to;
        QString temporary;
        qint64 size = 0;
        int fd = -1;                           // the temporary file, open until it is synced
        std::shared_future<QByteArray> digest; // of the source's bytes, hashed meanwhile
        TFileOpResult result;                  // filled as Settle goes
    };
    int fault(TFaultPoint point, const QString &path) const
    {
        return m_fault ? m_fault(point, path) : 0;
    }
    // Copies into the temporary name beside to (the whole of from, or with ranges only
    // those); synced and named at once, or, batched, left pending (the result's ticket
    // says which).
    TFileOpResult copyFile(const QString &from, const QString &to, bool syncTargetFolder,
                           TFileOpKind kind, const QList<TByteRange> *ranges = nullptr);
    // Copies the bytes of in (size of them) into out, counting them in copied; returns 0 or
    // the error.
    int copyBytes(int in, int out, const QString &to, qint64 size, qint64 &copied);
    // Copies the ranges of in (a file of size bytes) into out, in order, counting them in
    // copied; size becomes the ranges' sum. Returns 0 or the error (EINVAL for a range
    // outside the file).
    int copyRanges(int in, int out, const QString &to, const QList<TByteRange> &ranges,
                   qint64 &size, qint64 &copied);
    // Queues a written copy for Settle; its result carries the ticket.
    TFileOpResult holdForSettle(Pending pending);
    // Settle's steps, each on the pending copies that have not failed yet.
    void syncPending(std::vector<Pending> &batch);
    void namePending(std::vector<Pending> &batch);
    void removeMovedSources(std::vector<Pending> &batch);
    // A pending copy failed: its file goes, its result says why.
    static void dropPending(Pending &p, int error, const QString &reason = QString());
    // Renames without replacing: RENAME_NOREPLACE, else a hard link and an unlink, else (a
    // file system with neither) a rename right after checking that the target is free.
    TFileOpResult renameNoReplace(const QString &from, const QString &to, bool &crossVolume,
                                  TFaultPoint firstFault = TFaultPoint::RenameNoReplace);
    // Writes bytes to the new file temporary (with mode) and syncs it; the errno of a
    // failure (faults named by faultPath), after which the file is gone again.
    int writeSynced(const QString &temporary, const QString &faultPath, const QByteArray &bytes,
                    quint32 mode) const;

    const TGflLibrary *m_library;
    TFaultHook m_fault;
    qint64 m_chunk = 1 << 20; // under 50 ms even on a slow card: the window stays alive
    bool m_checkedRenames = false;
    bool m_batched = false;
    int m_settleFiles = 64;
    qint64 m_settleBytes = qint64(256) << 20;
    std::vector<Pending> m_pending;
    qint64 m_pendingBytes = 0;
    int m_lastTicket = 0;
};

// One operation of a plan.
struct TPlannedOp
{
    TFileOpKind kind = TFileOpKind::Rename;
    QString source;
    QString target; // empty for a rotation or a folder
    int quarterTurns = 0;

    bool operator==(const TPlannedOp &) const = default;
};

// Touches nothing: every operation succeeds and is recorded in order. A job run against
// it shows what it would do (duomira-cli run --dry-run).
class TPlanFileOps : public TFileOps
{
public:
    bool TouchesFiles() const override { return false; }
    TFileOpResult CreateFolder(const QString &folder) override;
    TFileOpResult Rename(const QString &from, const QString &to) override;
    TFileOpResult Copy(const QString &from, const QString &to) override;
    TFileOpResult Move(const QString &from, const QString &to) override;
    TFileOpResult Extract(const QString &from, const QList<TByteRange> &ranges,
                          const QString &to) override;
    TFileOpResult CreateFile(const QString &path, const QByteArray &bytes) override;
    TFileOpResult RemoveStereo(const QString &path, const TStereoRemainder &remainder,
                               const QStringList &views) override;
    TRotateResult Rotate(const QString &path, int quarterTurns) override;
    TFileOpResult WriteFileReplacing(const QString &path, const QByteArray &bytes) override;
    TFileOpResult Remove(const QString &path) override;
    TFileOpResult RemoveFolder(const QString &folder) override;
    // What exists now, or would after the operations planned so far.
    bool Exists(const QString &path) const override;

    // One line per operation: "rename SOURCE -> TARGET", "rotate PATH by 90".
    QStringList PlanText() const;

private:
    TFileOpResult record(TFileOpKind kind, const QString &source, const QString &target);
    std::vector<TPlannedOp> m_plan;
    QSet<QString> m_made; // folders and files the plan creates
};

// Hex SHA-256 of a file's bytes (empty when it cannot be read).
QByteArray FileSha256(const QString &path);
// Hex XXH3-128 of a file's bytes (empty when it cannot be read): the digest by which undo
// knows a copy. It tells edited bytes apart as surely as SHA-256 and reads at memory speed,
// so hashing every copy costs the copy job little.
QByteArray FileContentHash(const QString &path);
// The pixel size from a JPEG file's header (invalid when it is not a readable JPEG).
QSize JpegPixelSize(const QString &path);
// path with its extension replaced by ".jp_" (the rotation's temporary file).
QString RotationTemporaryPath(const QString &path);
// The hidden name beside target under which a copy of it is written until it is complete:
// ".duomira-<16 hex digits of the name's SHA-256>.part", short enough for any file system
// whatever the length of target's name, and the same for the same target, so that a later
// copy or undo finds what a killed one left.
QString CopyTemporaryPath(const QString &target);

// Lossless rotation is a JPEG operation. False when the file can be read and its content
// is not JPEG (a phone's HEIC, a RAW file, PNG, TIFF...); kind then names the format for the
// log, by the file's suffix in capitals ("HEIC", "CR2"). True for JPEG content, whatever the
// suffix, and for a file that cannot be read (the rotation itself reports that).
bool LosslessRotationApplies(const QString &path, QString *kind = nullptr);
