#include "batch/jobjournal.h"

#include "imaging/exifpatch.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

QJsonObject stampJson(const TFileStamp &stamp)
{
    QJsonObject o;
    if (!stamp.exists)
        return o;
    o.insert(QStringLiteral("size"), double(stamp.size));
    o.insert(QStringLiteral("mtime_ns"), QString::number(stamp.mtimeNs));
    o.insert(QStringLiteral("mode"), double(stamp.mode));
    o.insert(QStringLiteral("inode"), QString::number(stamp.inode));
    o.insert(QStringLiteral("device"), QString::number(stamp.device));
    return o;
}

} // namespace

QString JournalFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/Duomira/jobs");
}

int FileOrientation(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    // The EXIF block stands in the header: 256 KB hold it in any camera file.
    const QByteArray head = file.read(256 * 1024);
    return exifpatch::readOrientation(reinterpret_cast<const std::uint8_t *>(head.constData()),
                                      std::size_t(head.size()));
}

TJobJournal::~TJobJournal()
{
    Close();
}

bool TJobJournal::Create(const QString &folder, QString &error)
{
    Close();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("Cannot create the folder %1").arg(folder);
        return false;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1; n < 10000; ++n) {
        const QString path = QStringLiteral("%1/%2-%3-%4.jsonl").arg(folder, stamp).arg(::getpid()).arg(n);
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
        if (fd >= 0) {
            m_fd = fd;
            m_path = path;
            m_seq = 0;
            return true;
        }
        if (errno != EEXIST) {
            error = SystemErrorText(errno);
            return false;
        }
    }
    error = SystemErrorText(EEXIST);
    return false;
}

bool TJobJournal::Append(const QJsonObject &record)
{
    if (m_fd < 0)
        return false;
    QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact);
    line += '\n';
    // One write per line: a killed process leaves whole lines (O_APPEND).
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(m_fd, line.constData() + done, std::size_t(line.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

void TJobJournal::Close()
{
    if (m_fd < 0)
        return;
    ::fsync(m_fd);
    ::close(m_fd);
    m_fd = -1;
}

// ---------------------------------------------------------------------------------------

int TJournalFileOps::intent(TFileOpKind kind, const QString &source, const QString &target,
                            QJsonObject extra)
{
    const int seq = m_journal.NextSeq();
    extra.insert(QStringLiteral("event"), QStringLiteral("intent"));
    extra.insert(QStringLiteral("seq"), seq);
    extra.insert(QStringLiteral("op"), FileOpKindName(kind));
    if (!source.isEmpty())
        extra.insert(QStringLiteral("source"), source);
    if (!target.isEmpty())
        extra.insert(QStringLiteral("target"), target);
    if (m_entry >= 0)
        extra.insert(QStringLiteral("entry"), m_entry);
    if (!source.isEmpty() && kind != TFileOpKind::CreateFolder) {
        // A copy and a turn read through a link; a rename and a move act on the name.
        const bool follow = kind == TFileOpKind::Copy || kind == TFileOpKind::Rotate;
        const QJsonObject stamp = stampJson(StatPath(source, follow));
        if (!stamp.isEmpty())
            extra.insert(QStringLiteral("source_stamp"), stamp);
    }
    m_journal.Append(extra);
    return seq;
}

void TJournalFileOps::done(int seq, const TFileOpResult &result, const QString &writtenPath)
{
    QJsonObject o;
    o.insert(QStringLiteral("event"), QStringLiteral("done"));
    o.insert(QStringLiteral("seq"), seq);
    o.insert(QStringLiteral("ok"), result.ok);
    if (result.unchanged)
        o.insert(QStringLiteral("unchanged"), true);
    if (result.crossVolume)
        o.insert(QStringLiteral("cross_volume"), true);
    if (!result.ok)
        o.insert(QStringLiteral("error"), result.reason);
    if (!result.sha256.isEmpty())
        o.insert(QStringLiteral("sha256"), QString::fromLatin1(result.sha256));
    if (result.replaced)
        o.insert(QStringLiteral("replaced"), true);
    if (!result.created.isEmpty())
        o.insert(QStringLiteral("created"), QJsonArray::fromStringList(result.created));
    if (result.ok && !writtenPath.isEmpty()) {
        const QJsonObject stamp = stampJson(StatPath(writtenPath, false));
        if (!stamp.isEmpty())
            o.insert(QStringLiteral("target_stamp"), stamp);
    }
    m_journal.Append(o);
}

TFileOpResult TJournalFileOps::fileOp(TFileOpKind kind, const QString &from, const QString &to,
                                      const std::function<TFileOpResult()> &run)
{
    const int seq = intent(kind, from, to);
    const TFileOpResult result = run();
    done(seq, result, to);
    return result;
}

TFileOpResult TJournalFileOps::CreateFolder(const QString &folder)
{
    const int seq = intent(TFileOpKind::CreateFolder, folder, QString());
    const TFileOpResult result = m_inner.CreateFolder(folder);
    done(seq, result, QString());
    return result;
}

TFileOpResult TJournalFileOps::Rename(const QString &from, const QString &to)
{
    return fileOp(TFileOpKind::Rename, from, to, [&] { return m_inner.Rename(from, to); });
}

TFileOpResult TJournalFileOps::Copy(const QString &from, const QString &to)
{
    return fileOp(TFileOpKind::Copy, from, to, [&] { return m_inner.Copy(from, to); });
}

TFileOpResult TJournalFileOps::Move(const QString &from, const QString &to)
{
    return fileOp(TFileOpKind::Move, from, to, [&] { return m_inner.Move(from, to); });
}

TRotateResult TJournalFileOps::Rotate(const QString &path, int quarterTurns)
{
    QJsonObject extra;
    extra.insert(QStringLiteral("rotation"), quarterTurns);
    extra.insert(QStringLiteral("orientation"), FileOrientation(path));
    const int seq = intent(TFileOpKind::Rotate, path, QString(), extra);
    const TRotateResult result = m_inner.Rotate(path, quarterTurns);
    QJsonObject o;
    o.insert(QStringLiteral("event"), QStringLiteral("done"));
    o.insert(QStringLiteral("seq"), seq);
    o.insert(QStringLiteral("ok"), !result.Failed());
    o.insert(QStringLiteral("code"), result.code);
    if (result.Failed())
        o.insert(QStringLiteral("error"), result.errorText);
    if (!result.sha256.isEmpty())
        o.insert(QStringLiteral("sha256"), QString::fromLatin1(result.sha256));
    if (result.before.isValid())
        o.insert(QStringLiteral("before"), QJsonArray{result.before.width(), result.before.height()});
    if (result.after.isValid())
        o.insert(QStringLiteral("after"), QJsonArray{result.after.width(), result.after.height()});
    if (!result.Failed() && result.Trimmed(quarterTurns))
        o.insert(QStringLiteral("trimmed"), true);
    if (!result.Failed()) {
        const QJsonObject stamp = stampJson(StatPath(path));
        if (!stamp.isEmpty())
            o.insert(QStringLiteral("target_stamp"), stamp);
    }
    m_journal.Append(o);
    return result;
}

TFileOpResult TJournalFileOps::WriteFileReplacing(const QString &path, const QByteArray &bytes)
{
    return fileOp(TFileOpKind::WriteFile, QString(), path,
                  [&] { return m_inner.WriteFileReplacing(path, bytes); });
}

TFileOpResult TJournalFileOps::Remove(const QString &path)
{
    return fileOp(TFileOpKind::Remove, path, QString(), [&] { return m_inner.Remove(path); });
}

TFileOpResult TJournalFileOps::RemoveFolder(const QString &folder)
{
    return fileOp(TFileOpKind::RemoveFolder, folder, QString(), [&] { return m_inner.RemoveFolder(folder); });
}
