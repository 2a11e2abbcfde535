#include "batch/fileops.h"

#include "imaging/libgfl.h"
#include "imaging/rangecopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <openssl/evp.h>
#include <turbojpeg.h>
#include <xxhash.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    // Takes fd in place of the one held (which is closed).
    void reset(int fd)
    {
        close();
        m_fd = fd;
    }
    // Gives up the descriptor without closing it.
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

// SHA-256 over the bytes handed to it, through OpenSSL (which uses the processor's hash
// instructions where it has them).
class Sha256
{
public:
    Sha256() : m_ctx(EVP_MD_CTX_new()) { EVP_DigestInit_ex(m_ctx, EVP_sha256(), nullptr); }
    ~Sha256() { EVP_MD_CTX_free(m_ctx); }
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;
    void add(const void *data, std::size_t size) { EVP_DigestUpdate(m_ctx, data, size); }
    QByteArray hex()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(m_ctx, digest, &length);
        return QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex();
    }

private:
    EVP_MD_CTX *m_ctx;
};

QString folderOf(const QString &path)
{
    const QString folder = QFileInfo(path).path();
    return folder.isEmpty() ? QStringLiteral(".") : folder;
}

// Syncs a folder so that a new or renamed name in it survives a crash. A failed sync of
// the folder loses nothing that is not already written, so it is not an error.
void syncFolder(const QString &folder)
{
    Fd fd(::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

int renameNoReplaceSyscall(const QByteArray &from, const QByteArray &to)
{
#ifdef SYS_renameat2
    return int(::syscall(SYS_renameat2, AT_FDCWD, from.constData(), AT_FDCWD, to.constData(),
                         1u /* RENAME_NOREPLACE */));
#else
    errno = ENOSYS;
    return -1;
#endif
}

bool writeAll(int fd, const char *data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

// Two names differ only in letter case.
bool caseOnlyDifference(const QString &a, const QString &b)
{
    return a != b && a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString FileOpKindName(TFileOpKind kind)
{
    switch (kind) {
    case TFileOpKind::CreateFolder:
        return QStringLiteral("mkdir");
    case TFileOpKind::Rename:
        return QStringLiteral("rename");
    case TFileOpKind::Copy:
        return QStringLiteral("copy");
    case TFileOpKind::Move:
        return QStringLiteral("move");
    case TFileOpKind::Rotate:
        return QStringLiteral("rotate");
    case TFileOpKind::WriteFile:
        return QStringLiteral("write");
    case TFileOpKind::Remove:
        return QStringLiteral("remove");
    case TFileOpKind::RemoveFolder:
        return QStringLiteral("rmdir");
    case TFileOpKind::Extract:
        return QStringLiteral("extract");
    case TFileOpKind::Create:
        return QStringLiteral("create");
    case TFileOpKind::RemoveStereo:
        return QStringLiteral("remove-stereo");
    }
    return QString();
}

TFileStamp StatPath(const QString &path, bool followLinks)
{
    TFileStamp stamp;
    struct stat st
    {
    };
    const QByteArray name = encoded(path);
    if (path.isEmpty() ||
        (followLinks ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) != 0)
        return stamp;
    stamp.exists = true;
    stamp.isLink = S_ISLNK(st.st_mode);
    stamp.isRegular = S_ISREG(st.st_mode);
    stamp.isFolder = S_ISDIR(st.st_mode);
    stamp.size = qint64(st.st_size);
    stamp.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    stamp.ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
    stamp.mode = quint32(st.st_mode & 07777);
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.links = quint64(st.st_nlink);
    return stamp;
}

QString SystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

TFileOpResult TFileOpResult::Failure(int error, const QString &reason)
{
    TFileOpResult r;
    r.ok = false;
    r.error = error;
    r.reason = reason.isEmpty() ? SystemErrorText(error) : reason;
    return r;
}

bool TRotateResult::Trimmed(int quarterTurns) const
{
    if (!before.isValid() || !after.isValid())
        return false;
    const QSize expected = quarterTurns % 2 ? before.transposed() : before;
    return after != expected;
}

QString CopyTemporaryPath(const QString &target)
{
    const QByteArray name = encoded(QFileInfo(target).fileName());
    Sha256 hash;
    hash.add(name.constData(), std::size_t(name.size()));
    return folderOf(target) + QStringLiteral("/.duomira-") +
           QString::fromLatin1(hash.hex().left(16)) + QStringLiteral(".part");
}

QString RotationTemporaryPath(const QString &path)
{
    const int slash = int(path.lastIndexOf(u'/'));
    const int dot = int(path.lastIndexOf(u'.'));
    const QString stem = dot > slash + 1 ? path.left(dot) : path;
    return stem + QStringLiteral(".jp_");
}

namespace {

// Hands every byte of the open file fd, from its start, to add, in chunks; false when it
// cannot be read.
bool readAllOf(int fd, const std::function<void(const char *, std::size_t)> &add)
{
    std::vector<char> buffer(1 << 20);
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        add(buffer.data(), std::size_t(n));
        offset += n;
    }
}

bool readAllOf(const QString &path, const std::function<void(const char *, std::size_t)> &add)
{
    Fd in(::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC));
    return in.get() >= 0 && readAllOf(in.get(), add);
}

QByteArray
contentHash(const std::function<bool(const std::function<void(const char *, std::size_t)> &)> &read)
{
    std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(),
                                                                   XXH3_freeState);
    if (!state || XXH3_128bits_reset(state.get()) != XXH_OK)
        return QByteArray();
    if (!read([&](const char *data, std::size_t size) {
            XXH3_128bits_update(state.get(), data, size);
        }))
        return QByteArray();
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(state.get()));
    return QByteArray(reinterpret_cast<const char *>(canonical.digest), sizeof canonical.digest)
        .toHex();
}

} // namespace

QByteArray FileSha256(const QString &path)
{
    Sha256 hash;
    if (!readAllOf(path, [&](const char *data, std::size_t size) { hash.add(data, size); }))
        return QByteArray();
    return hash.hex();
}

QByteArray FileContentHash(const QString &path)
{
    return contentHash([&](const auto &add) { return readAllOf(path, add); });
}

QSize JpegPixelSize(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QSize();
    tjhandle handle = tjInitDecompress();
    if (!handle)
        return QSize();
    // The size stands in the header, before the picture's data: the first 256 KB hold it
    // in nearly every file; the whole file is read only when they do not.
    QByteArray bytes = file.read(256 * 1024);
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    const auto header = [&] {
        return tjDecompressHeader3(handle,
                                   reinterpret_cast<const unsigned char *>(bytes.constData()),
                                   static_cast<unsigned long>(bytes.size()), &width, &height,
                                   &subsampling, &colorspace) == 0;
    };
    bool found = header();
    if (!found && !file.atEnd()) {
        bytes += file.readAll();
        found = header();
    }
    tjDestroy(handle);
    return found ? QSize(width, height) : QSize();
}

// ---------------------------------------------------------------------------------------
// TRealFileOps

TRealFileOps::TRealFileOps(const TGflLibrary *library) : m_library(library) {}

TRealFileOps::~TRealFileOps()
{
    for (Pending &p : m_pending) {
        ::close(p.fd);
        ::unlink(encoded(p.temporary).constData());
        if (p.digest.valid())
            p.digest.wait();
    }
}

bool TRealFileOps::Exists(const QString &path) const
{
    return StatPath(path, false).exists;
}

TFileOpResult TRealFileOps::CreateFolder(const QString &folder)
{
    if (folder.isEmpty())
        return TFileOpResult::Failure(ENOENT);
    QString clean = folder;
    while (clean.size() > 1 && clean.endsWith(u'/'))
        clean.chop(1);
    // The missing folders from the innermost existing one outwards.
    QStringList missing;
    QString probe = clean;
    for (;;) {
        const TFileStamp stamp = StatPath(probe);
        if (stamp.exists) {
            if (!stamp.isFolder)
                return TFileOpResult::Failure(ENOTDIR);
            break;
        }
        missing.prepend(probe);
        const QString parent = QFileInfo(probe).path();
        if (parent == probe || parent.isEmpty())
            break;
        probe = parent;
    }
    TFileOpResult result;
    for (const QString &path : std::as_const(missing)) {
        if (const int e = fault(TFaultPoint::CreateFolder, path)) {
            result = TFileOpResult::Failure(e);
            return result;
        }
        if (::mkdir(encoded(path).constData(), 0777) != 0) {
            const int e = errno;
            if (e == EEXIST && StatPath(path).isFolder)
                continue; // made by someone else meanwhile
            TFileOpResult failed = TFileOpResult::Failure(e);
            failed.created = result.created;
            return failed;
        }
        result.created << path;
    }
    result.ok = true;
    return result;
}

TFileOpResult TRealFileOps::renameNoReplace(const QString &from, const QString &to,
                                            bool &crossVolume, TFaultPoint firstFault)
{
    crossVolume = false;
    const QByteArray f = encoded(from), t = encoded(to);
    int e = fault(firstFault, to);
    if (e == 0) {
        if (renameNoReplaceSyscall(f, t) == 0) {
            TFileOpResult ok;
            ok.ok = true;
            return ok;
        }
        e = errno;
    }
    if (e == EXDEV) {
        crossVolume = true;
        return TFileOpResult::Failure(e);
    }
    if (e != EINVAL && e != ENOSYS && e != ENOTSUP)
        return TFileOpResult::Failure(e);
    // The file system refuses the flag: a hard link cannot replace anything either.
    int le = fault(TFaultPoint::Link, to);
    if (le == 0 && ::link(f.constData(), t.constData()) != 0)
        le = errno;
    if (le == EXDEV) {
        crossVolume = true;
        return TFileOpResult::Failure(le);
    }
    if (le == EPERM || le == ENOTSUP || le == EOPNOTSUPP || le == ENOSYS) {
        // Neither (some FUSE and exFAT drivers): a plain rename, the target tested just
        // before. Only another program creating that very name in between could be
        // replaced; the caller notes once that this file system was renamed so.
        if (StatPath(to, false).exists)
            return TFileOpResult::Failure(EEXIST);
        if (::rename(f.constData(), t.constData()) != 0)
            return TFileOpResult::Failure(errno);
        m_checkedRenames = true;
        TFileOpResult ok;
        ok.ok = true;
        return ok;
    }
    if (le != 0)
        return TFileOpResult::Failure(le);
    if (::unlink(f.constData()) != 0) {
        const int ue = errno;
        ::unlink(t.constData());
        return TFileOpResult::Failure(ue);
    }
    TFileOpResult ok;
    ok.ok = true;
    return ok;
}

TFileOpResult TRealFileOps::Rename(const QString &from, const QString &to)
{
    const TFileStamp source = StatPath(from, false);
    if (!source.exists)
        return TFileOpResult::Failure(ENOENT);
    TFileOpResult unchanged;
    unchanged.ok = true;
    unchanged.unchanged = true;
    unchanged.size = source.size;
    if (from == to)
        return unchanged;
    // The rename is tried first: it refuses an existing target by itself, and only then
    // is the target looked at (one stat less for every file of a rename job).
    bool cross = false;
    TFileOpResult result = renameNoReplace(from, to, cross);
    if (cross)
        return TFileOpResult::Failure(EXDEV);
    if (result.ok) {
        result.size = source.size;
        return result;
    }
    const TFileStamp target = StatPath(to, false);
    if (target.SameFile(source)) {
        // One directory entry seen under two spellings: a file system that ignores letter
        // case. The new spelling is reached through a temporary name. Otherwise these are
        // two names (hard links) of one file, and the file already has the target name.
        if (!(source.links == 1 && caseOnlyDifference(from, to)))
            return unchanged;
        const QString temporary =
            QFileInfo(from).path() +
            QStringLiteral("/.duomira-%1-%2.tmp").arg(::getpid()).arg(source.inode);
        TFileOpResult first = renameNoReplace(from, temporary, cross);
        if (!first.ok)
            return first;
        TFileOpResult second = renameNoReplace(temporary, to, cross);
        if (!second.ok) {
            renameNoReplace(temporary, from, cross);
            return second;
        }
        second.size = source.size;
        return second;
    }
    return result;
}

namespace {

// Creates the temporary file of a copy (never over an existing file).
int openTemporary(const QString &temporary)
{
    const QByteArray temp = encoded(temporary);
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
    int fd = ::open(temp.constData(), flags, 0600);
    if (fd < 0 && errno == EEXIST && StatPath(temporary, false).isRegular) {
        // What a killed copy to the same name left. It is never the only copy of anything:
        // a copy gets its final name only when complete, and a move deletes its source
        // only after that. So it goes, and the copy starts afresh.
        if (::unlink(temp.constData()) == 0)
            fd = ::open(temp.constData(), flags, 0600);
    }
    return fd;
}

// 0 when the file fd holds exactly the copied bytes and as many as were to be copied,
// else the error.
int checkWritten(int fd, qint64 copied, qint64 expected)
{
    struct stat written
    {
    };
    if (::fstat(fd, &written) != 0)
        return errno;
    return written.st_size != copied || copied != expected ? EIO : 0;
}

// The digest undo recognises a copy by, of the source, whose pages the copy has just
// brought into memory: hashed on another core while the copy goes to the disk, so that it
// costs the job next to nothing. A copy of ranges is hashed from the bytes written (the
// temporary file temp), read through a descriptor of their own: the file may get its final
// name while they are hashed.
std::shared_future<QByteArray> copyDigest(const QString &from, const QByteArray &temp, bool ranges)
{
    if (!ranges)
        return std::async(std::launch::async, [from] { return FileContentHash(from); }).share();
    const int written = ::open(temp.constData(), O_RDONLY | O_CLOEXEC);
    return std::async(std::launch::async,
                      [written] {
                          Fd fd(written);
                          return written < 0 ? QByteArray() : contentHash([&](const auto &add) {
                              return readAllOf(fd.get(), add);
                          });
                      })
        .share();
}

} // namespace

int TRealFileOps::copyBytes(int in, int out, const QString &to, qint64 size, qint64 &copied)
{
    // copy_file_range keeps the bytes in the kernel (and lets a file system that can share
    // blocks do so); where the two file systems do not support it, read and write carry
    // them. Chunks keep the progress hook coming during a long copy.
    bool inKernel = true;
    std::vector<char> buffer;
    for (;;) {
        if (const int e = fault(TFaultPoint::Write, to))
            return e;
        ssize_t n = -1;
        if (inKernel) {
            n = ::copy_file_range(in, nullptr, out, nullptr, std::size_t(m_chunk), 0);
            if (n < 0 && errno == EINTR)
                continue;
            const bool refused = n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                                           errno == EOPNOTSUPP || errno == ENOTSUP ||
                                           errno == EBADF || errno == EPERM);
            // Some file systems report an empty file instead of refusing: the rest then
            // goes through read and write, and the size check afterwards has the last word.
            const bool empty = n == 0 && copied < size;
            if (refused || empty) {
                inKernel = false;
                n = -1;
            } else if (n < 0) {
                return errno;
            }
        }
        if (!inKernel) {
            if (buffer.empty())
                buffer.resize(std::size_t(std::min<qint64>(m_chunk, std::max<qint64>(size, 1))));
            n = ::read(in, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return errno;
            if (n > 0 && !writeAll(out, buffer.data(), std::size_t(n)))
                return errno;
        }
        if (n == 0)
            return 0;
        copied += n;
        progress();
    }
}

int TRealFileOps::copyRanges(int in, int out, const QString &to, const QList<TByteRange> &ranges,
                             qint64 &size, qint64 &copied)
{
    const qint64 fileSize = size;
    size = 0;
    for (const TByteRange &range : ranges) {
        if (range.offset < 0 || range.length < 0 || range.offset > fileSize ||
            range.length > fileSize - range.offset)
            return EINVAL;
        size += range.length;
        for (qint64 done = 0; done < range.length;) {
            if (const int e = fault(TFaultPoint::Write, to))
                return e;
            const qint64 n = std::min(m_chunk, range.length - done);
            if (!CopyFileRange(in, range.offset + done, n, out))
                return errno ? errno : EIO;
            done += n;
            copied += n;
            progress();
        }
    }
    return 0;
}

TFileOpResult TRealFileOps::holdForSettle(Pending pending)
{
    pending.ticket = ++m_lastTicket;
    m_pendingBytes += pending.size;
    TFileOpResult waiting;
    waiting.ok = true;
    waiting.size = pending.size;
    waiting.crossVolume = pending.kind == TFileOpKind::Move;
    waiting.pendingTicket = pending.ticket;
    m_pending.push_back(std::move(pending));
    return waiting;
}

TFileOpResult TRealFileOps::copyFile(const QString &from, const QString &to, bool syncTargetFolder,
                                     TFileOpKind kind, const QList<TByteRange> *ranges)
{
    Fd in(::open(encoded(from).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return TFileOpResult::Failure(errno);
    struct stat st
    {
    };
    if (::fstat(in.get(), &st) != 0)
        return TFileOpResult::Failure(errno);
    if (!S_ISREG(st.st_mode))
        return TFileOpResult::Failure(EINVAL, QStringLiteral("Not a regular file"));
    ::posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    if (const int e = fault(TFaultPoint::OpenTarget, to))
        return TFileOpResult::Failure(e);
    // The final name is only ever given by a rename that refuses to replace; an existing
    // file of that name is refused before any byte is copied.
    if (StatPath(to, false).exists)
        return TFileOpResult::Failure(EEXIST);
    const QString temporary = CopyTemporaryPath(to);
    const QByteArray temp = encoded(temporary);
    Fd out(openTemporary(temporary));
    if (out.get() < 0)
        return TFileOpResult::Failure(errno);
    auto fail = [&](int e) {
        out.close();
        ::unlink(temp.constData());
        return TFileOpResult::Failure(e);
    };
    // With ranges the copy holds only their bytes, in order.
    qint64 expected = qint64(st.st_size);
    qint64 copied = 0;
    const int copyError = ranges ? copyRanges(in.get(), out.get(), to, *ranges, expected, copied)
                                 : copyBytes(in.get(), out.get(), to, expected, copied);
    if (copyError)
        return fail(copyError);
    const std::shared_future<QByteArray> digest = copyDigest(from, temp, ranges != nullptr);
    // Permission bits and times are kept where the file system can keep them (FAT and
    // exFAT cards cannot keep the bits): best effort, not a failure.
    ::fchmod(out.get(), st.st_mode & 07777);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.get(), times);
    if (m_batched) {
        // The bytes wait for Settle's one sync of the file system, and only then does the
        // copy get its final name. The disk starts writing them now, while the next files
        // are copied, so that little is left for that sync to wait for.
        ::sync_file_range(out.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
        if (const int e = checkWritten(out.get(), copied, expected))
            return fail(e);
        Pending pending;
        pending.kind = kind;
        pending.from = from;
        pending.to = to;
        pending.temporary = temporary;
        pending.size = copied;
        // Kept open: its fsync after the file system's sync reports this file's own write
        // errors, and costs next to nothing then.
        pending.fd = out.release();
        pending.digest = digest;
        return holdForSettle(std::move(pending));
    }
    if (const int e = fault(TFaultPoint::Sync, to))
        return fail(e);
    if (::fsync(out.get()) != 0)
        return fail(errno);
    if (const int e = checkWritten(out.get(), copied, expected))
        return fail(e);
    if (!out.close()) {
        const int e = errno;
        ::unlink(temp.constData());
        return TFileOpResult::Failure(e);
    }
    bool cross = false;
    const TFileOpResult named = renameNoReplace(temporary, to, cross, TFaultPoint::FinalName);
    if (!named.ok) {
        ::unlink(temp.constData());
        return named;
    }
    // A move deletes its source next: the new name must be on the disk first. (A copy's
    // source stays, so its name may follow with the file system's own writeback.)
    if (syncTargetFolder) {
        fault(TFaultPoint::SyncFolder, folderOf(to)); // a failed folder sync is no error
        syncFolder(folderOf(to));
    }
    TFileOpResult ok;
    ok.ok = true;
    ok.size = copied;
    ok.contentHash = digest.get();
    return ok;
}

TFileOpResult TRealFileOps::Copy(const QString &from, const QString &to)
{
    const TFileStamp source = StatPath(from);
    if (!source.exists)
        return TFileOpResult::Failure(ENOENT);
    // A symbolic link at the target is an existing file of that name, even when it points
    // at the source: "copying" onto it would leave only the link once the card is emptied.
    const TFileStamp target = StatPath(to, false);
    if (from == to || (!target.isLink && target.SameFile(source))) {
        TFileOpResult unchanged;
        unchanged.ok = true;
        unchanged.unchanged = true;
        unchanged.size = source.size;
        return unchanged;
    }
    return copyFile(from, to, false, TFileOpKind::Copy);
}

TFileOpResult TRealFileOps::Extract(const QString &from, const QList<TByteRange> &ranges,
                                    const QString &to)
{
    if (!StatPath(from).exists)
        return TFileOpResult::Failure(ENOENT);
    return copyFile(from, to, false, TFileOpKind::Extract, &ranges);
}

TFileOpResult TRealFileOps::Move(const QString &from, const QString &to)
{
    const TFileStamp source = StatPath(from, false);
    if (!source.exists)
        return TFileOpResult::Failure(ENOENT);
    if (source.isLink)
        return TFileOpResult::Failure(
            ELOOP, QStringLiteral("The source is a symbolic link; moving it would move the link, "
                                  "not the picture"));
    const TFileStamp target = StatPath(to, false);
    if (from == to || target.SameFile(source)) {
        TFileOpResult unchanged;
        unchanged.ok = true;
        unchanged.unchanged = true;
        unchanged.size = source.size;
        return unchanged;
    }
    bool cross = false;
    TFileOpResult renamed = renameNoReplace(from, to, cross);
    if (renamed.ok || !cross) {
        renamed.size = source.size;
        return renamed;
    }
    // Another volume: copy (synced, sizes compared), then delete the source.
    TFileOpResult copy = copyFile(from, to, true, TFileOpKind::Move);
    copy.crossVolume = true;
    if (!copy.ok || copy.pendingTicket > 0)
        return copy; // a pending move deletes its source in Settle
    copied({copy});
    int e = fault(TFaultPoint::UnlinkSource, from);
    if (e == 0 && ::unlink(encoded(from).constData()) != 0)
        e = errno;
    if (e != 0) {
        // The source stays (a write-protected card): no second copy may stay behind.
        ::unlink(encoded(to).constData());
        TFileOpResult failed = TFileOpResult::Failure(
            e, QStringLiteral("The source could not be deleted (%1); the copy was removed again")
                   .arg(SystemErrorText(e)));
        failed.crossVolume = true;
        return failed;
    }
    syncFolder(folderOf(from));
    return copy;
}

bool TRealFileOps::SettleDue() const
{
    return !m_pending.empty() &&
           (int(m_pending.size()) >= m_settleFiles || m_pendingBytes >= m_settleBytes);
}

void TRealFileOps::dropPending(Pending &p, int error, const QString &reason)
{
    if (p.fd >= 0)
        ::close(p.fd);
    p.fd = -1;
    ::unlink(encoded(p.temporary).constData());
    p.result = TFileOpResult::Failure(error, reason);
}

// The bytes: one sync of each destination file system (through a file opened before any of
// its bytes were written, so that the sync reports every write error since), then each
// file's own fsync, which finds nothing left to write but its own errors.
void TRealFileOps::syncPending(std::vector<Pending> &batch)
{
    QHash<quint64, int> volumeError;
    for (Pending &p : batch) {
        if (const int e = fault(TFaultPoint::Sync, p.to)) {
            dropPending(p, e);
            continue;
        }
        struct stat st
        {
        };
        if (::fstat(p.fd, &st) != 0) {
            dropPending(p, errno);
            continue;
        }
        const quint64 device = quint64(st.st_dev);
        if (!volumeError.contains(device))
            volumeError.insert(device, ::syncfs(p.fd) == 0 ? 0 : errno);
        int e = volumeError.value(device);
        if (e == 0 && ::fsync(p.fd) != 0)
            e = errno;
        if (e != 0) {
            dropPending(p, e);
            continue;
        }
        const int fd = p.fd;
        p.fd = -1;
        if (::close(fd) != 0)
            dropPending(p, errno);
    }
}

// The final names, without replacing anything, and their sync.
void TRealFileOps::namePending(std::vector<Pending> &batch)
{
    QStringList folders;
    for (Pending &p : batch) {
        if (!p.result.ok)
            continue;
        bool cross = false;
        const TFileOpResult named =
            renameNoReplace(p.temporary, p.to, cross, TFaultPoint::FinalName);
        if (!named.ok) {
            dropPending(p, named.error, named.reason);
            continue;
        }
        if (!folders.contains(folderOf(p.to)))
            folders << folderOf(p.to);
    }
    for (const QString &folder : std::as_const(folders)) {
        fault(TFaultPoint::SyncFolder, folder); // a failed folder sync is no error
        syncFolder(folder);
    }
    for (Pending &p : batch) {
        if (p.digest.valid())
            p.digest.wait();
        if (!p.result.ok)
            continue;
        p.result.size = p.size;
        p.result.contentHash = p.digest.get();
    }
}

// The moves' sources, once the journal holds their copies.
void TRealFileOps::removeMovedSources(std::vector<Pending> &batch)
{
    std::vector<TFileOpResult> moved;
    for (const Pending &p : batch) {
        if (p.kind == TFileOpKind::Move && p.result.ok) {
            moved.push_back(p.result);
            moved.back().pendingTicket = p.ticket;
        }
    }
    copied(moved);
    QStringList sourceFolders;
    for (Pending &p : batch) {
        if (p.kind != TFileOpKind::Move || !p.result.ok)
            continue;
        int e = fault(TFaultPoint::UnlinkSource, p.from);
        if (e == 0 && ::unlink(encoded(p.from).constData()) != 0)
            e = errno;
        if (e != 0) {
            // The source stays (a write-protected card): no second copy may stay behind.
            ::unlink(encoded(p.to).constData());
            p.result = TFileOpResult::Failure(
                e,
                QStringLiteral("The source could not be deleted (%1); the copy was removed again")
                    .arg(SystemErrorText(e)));
            continue;
        }
        if (!sourceFolders.contains(folderOf(p.from)))
            sourceFolders << folderOf(p.from);
    }
    for (const QString &folder : std::as_const(sourceFolders))
        syncFolder(folder);
}

std::vector<TSettledOp> TRealFileOps::Settle()
{
    std::vector<Pending> batch;
    batch.swap(m_pending);
    m_pendingBytes = 0;
    for (Pending &p : batch)
        p.result.ok = true;
    syncPending(batch);
    namePending(batch);
    removeMovedSources(batch);

    std::vector<TSettledOp> settled;
    settled.reserve(batch.size());
    for (Pending &p : batch) {
        p.result.crossVolume = p.kind == TFileOpKind::Move;
        settled.push_back({p.ticket, p.kind, p.from, p.to, p.result});
    }
    return settled;
}

TRotateResult TRealFileOps::Rotate(const QString &path, int quarterTurns)
{
    TRotateResult result;
    result.temporaryPath = RotationTemporaryPath(path);
    const TGflLibrary &library = m_library ? *m_library : Gfl();
    if (!library.available()) {
        result.code = GFL_ERROR_BAD_PARAMETERS;
        result.errorText = QStringLiteral("The imaging library is not available");
        return result;
    }
    if (const int e = fault(TFaultPoint::Rotate, path)) {
        result.code = GFL_ERROR_FILE_WRITE;
        result.errorText = SystemErrorText(e);
        return result;
    }
    result.before = JpegPixelSize(path);
    result.code = library.jpegLosslessTransform(path, quarterTurns);
    result.errorText = library.errorString(GFL_ERROR(result.code));
    result.temporaryLeft = StatPath(result.temporaryPath, false).exists;
    if (!result.Failed()) {
        result.after = JpegPixelSize(path);
        result.sha256 = FileSha256(path);
    }
    return result;
}

int TRealFileOps::writeSynced(const QString &temporary, const QString &faultPath,
                              const QByteArray &bytes, quint32 mode) const
{
    const QByteArray temp = encoded(temporary);
    Fd out(::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode_t(mode)));
    if (out.get() < 0)
        return errno;
    int e = fault(TFaultPoint::Write, faultPath);
    if (e == 0 && !writeAll(out.get(), bytes.constData(), std::size_t(bytes.size())))
        e = errno;
    if (e == 0)
        e = fault(TFaultPoint::Sync, faultPath);
    if (e == 0 && ::fsync(out.get()) != 0)
        e = errno;
    if (e == 0 && !out.close())
        e = errno;
    if (e != 0) {
        out.close();
        ::unlink(temp.constData());
    }
    return e;
}

TFileOpResult TRealFileOps::WriteFileReplacing(const QString &path, const QByteArray &bytes)
{
    const QString temporary =
        folderOf(path) +
        QStringLiteral("/.%1.%2.tmp").arg(QFileInfo(path).fileName()).arg(::getpid());
    const QByteArray temp = encoded(temporary);
    if (const int e = fault(TFaultPoint::OpenTarget, temporary))
        return TFileOpResult::Failure(e);
    if (const int e = writeSynced(temporary, temporary, bytes, 0666))
        return TFileOpResult::Failure(e);
    TFileOpResult result;
    result.replaced = StatPath(path, false).exists;
    int e = fault(TFaultPoint::ReplaceTarget, path);
    if (e == 0 && ::rename(temp.constData(), encoded(path).constData()) != 0)
        e = errno;
    if (e != 0) {
        ::unlink(temp.constData());
        return TFileOpResult::Failure(e);
    }
    syncFolder(folderOf(path));
    Sha256 hash;
    hash.add(bytes.constData(), std::size_t(bytes.size()));
    result.ok = true;
    result.size = bytes.size();
    result.sha256 = hash.hex();
    return result;
}

TFileOpResult TRealFileOps::CreateFile(const QString &path, const QByteArray &bytes)
{
    if (StatPath(path, false).exists)
        return TFileOpResult::Failure(EEXIST);
    const QString temporary = CopyTemporaryPath(path);
    const QByteArray temp = encoded(temporary);
    if (const int e = fault(TFaultPoint::OpenTarget, path))
        return TFileOpResult::Failure(e);
    ::unlink(temp.constData()); // what a killed write to the same name left
    if (const int e = writeSynced(temporary, path, bytes, 0644))
        return TFileOpResult::Failure(e);
    bool cross = false;
    const TFileOpResult named = renameNoReplace(temporary, path, cross, TFaultPoint::FinalName);
    if (!named.ok) {
        ::unlink(temp.constData());
        return named;
    }
    syncFolder(folderOf(path));
    Sha256 hash;
    hash.add(bytes.constData(), std::size_t(bytes.size()));
    TFileOpResult result;
    result.ok = true;
    result.size = bytes.size();
    result.sha256 = hash.hex();
    result.contentHash = contentHash([&](const auto &add) {
        add(bytes.constData(), std::size_t(bytes.size()));
        return true;
    });
    return result;
}

TFileOpResult TRealFileOps::RemoveStereo(const QString &path, const TStereoRemainder &remainder,
                                         const QStringList &views)
{
    auto readAll = [](const QString &file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    if (views.size() != 2)
        return TFileOpResult::Failure(EINVAL);
    const std::optional<QByteArray> rebuilt =
        RebuildStereoFile(readAll(views[0]), readAll(views[1]), remainder);
    if (!rebuilt)
        return TFileOpResult::Failure(
            EIO,
            QStringLiteral("The stereo file cannot be rebuilt from its view files; it was kept"));
    // The file as it is now must be the one the remainder describes (it may have changed
    // since the views were written).
    if (FileSha256(path) != remainder.sha256.toHex())
        return TFileOpResult::Failure(
            EIO, QStringLiteral("The stereo file changed while the job ran; it was kept"));
    if (const int e = fault(TFaultPoint::UnlinkSource, path))
        return TFileOpResult::Failure(e);
    if (::unlink(encoded(path).constData()) != 0)
        return TFileOpResult::Failure(errno);
    syncFolder(folderOf(path));
    TFileOpResult ok;
    ok.ok = true;
    ok.size = remainder.fileSize;
    return ok;
}

TFileOpResult TRealFileOps::Remove(const QString &path)
{
    if (::unlink(encoded(path).constData()) != 0)
        return TFileOpResult::Failure(errno);
    TFileOpResult ok;
    ok.ok = true;
    return ok;
}

TFileOpResult TRealFileOps::RemoveFolder(const QString &folder)
{
    if (::rmdir(encoded(folder).constData()) != 0)
        return TFileOpResult::Failure(errno);
    TFileOpResult ok;
    ok.ok = true;
    return ok;
}

// ---------------------------------------------------------------------------------------
// TPlanFileOps

bool TPlanFileOps::Exists(const QString &path) const
{
    return m_made.contains(QDir::cleanPath(path)) || StatPath(path, false).exists;
}

TFileOpResult TPlanFileOps::record(TFileOpKind kind, const QString &source, const QString &target)
{
    m_plan.push_back({kind, source, target, 0});
    if (!target.isEmpty())
        m_made.insert(QDir::cleanPath(target));
    TFileOpResult ok;
    ok.ok = true;
    return ok;
}

TFileOpResult TPlanFileOps::CreateFolder(const QString &folder)
{
    // A folder that is there already is not planned, nor said to be made.
    if (Exists(folder)) {
        TFileOpResult r;
        r.ok = true;
        return r;
    }
    TFileOpResult r = record(TFileOpKind::CreateFolder, folder, QString());
    m_made.insert(QDir::cleanPath(folder));
    r.created << folder;
    return r;
}

TFileOpResult TPlanFileOps::Rename(const QString &from, const QString &to)
{
    if (from == to) {
        TFileOpResult r;
        r.ok = r.unchanged = true;
        return r;
    }
    return record(TFileOpKind::Rename, from, to);
}

TFileOpResult TPlanFileOps::Copy(const QString &from, const QString &to)
{
    return record(TFileOpKind::Copy, from, to);
}

TFileOpResult TPlanFileOps::Move(const QString &from, const QString &to)
{
    if (from == to) {
        TFileOpResult r;
        r.ok = r.unchanged = true;
        return r;
    }
    return record(TFileOpKind::Move, from, to);
}

TFileOpResult TPlanFileOps::Extract(const QString &from, const QList<TByteRange> &,
                                    const QString &to)
{
    return record(TFileOpKind::Extract, from, to);
}

TFileOpResult TPlanFileOps::CreateFile(const QString &path, const QByteArray &)
{
    return record(TFileOpKind::Create, QString(), path);
}

TFileOpResult TPlanFileOps::RemoveStereo(const QString &path, const TStereoRemainder &,
                                         const QStringList &)
{
    return record(TFileOpKind::RemoveStereo, path, QString());
}

TRotateResult TPlanFileOps::Rotate(const QString &path, int quarterTurns)
{
    m_plan.push_back({TFileOpKind::Rotate, path, QString(), quarterTurns});
    TRotateResult r;
    r.temporaryPath = RotationTemporaryPath(path);
    r.errorText = QStringLiteral("No error");
    return r;
}

TFileOpResult TPlanFileOps::WriteFileReplacing(const QString &path, const QByteArray &)
{
    return record(TFileOpKind::WriteFile, QString(), path);
}

TFileOpResult TPlanFileOps::Remove(const QString &path)
{
    return record(TFileOpKind::Remove, path, QString());
}

TFileOpResult TPlanFileOps::RemoveFolder(const QString &folder)
{
    return record(TFileOpKind::RemoveFolder, folder, QString());
}

QStringList TPlanFileOps::PlanText() const
{
    QStringList lines;
    for (const TPlannedOp &op : m_plan) {
        QString line = FileOpKindName(op.kind) + u' ';
        if (op.kind == TFileOpKind::Rotate)
            line += op.source + QStringLiteral(" by %1").arg(op.quarterTurns * 90);
        else if (op.kind == TFileOpKind::WriteFile || op.kind == TFileOpKind::Create)
            line += op.target;
        else if (op.target.isEmpty())
            line += op.source;
        else
            line += op.source + QStringLiteral(" -> ") + op.target;
        lines << line;
    }
    return lines;
}

bool LosslessRotationApplies(const QString &path, QString *kind)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray head = file.read(3);
    if (head.size() < 3 && file.error() != QFileDevice::NoError)
        return true;
    if (head.size() == 3 && quint8(head[0]) == 0xFF && quint8(head[1]) == 0xD8 &&
        quint8(head[2]) == 0xFF)
        return true;
    if (kind) {
        const QString suffix = QFileInfo(path).suffix().toUpper();
        *kind = suffix.isEmpty() ? QStringLiteral("non-JPEG") : suffix;
    }
    return false;
}
