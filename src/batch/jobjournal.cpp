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

// Writes one journal line member by member. Every step of a job writes two lines (20,000
// renames write 40,000), and building them through QJsonObject cost more than the renames
// themselves; the lines read back with QJsonDocument as before.
class JsonLine
{
public:
    JsonLine()
    {
        m_out.reserve(384);
        m_out += '{';
    }
    JsonLine &text(const char *key, const QString &value)
    {
        name(key);
        quote(value.toUtf8());
        return *this;
    }
    // Numbers too large for a double's exact range (times in nanoseconds, inodes) are
    // written as strings, as the undo reads them.
    JsonLine &numberText(const char *key, qint64 value)
    {
        name(key);
        m_out += '"';
        m_out += QByteArray::number(value);
        m_out += '"';
        return *this;
    }
    JsonLine &numberText(const char *key, quint64 value)
    {
        name(key);
        m_out += '"';
        m_out += QByteArray::number(value);
        m_out += '"';
        return *this;
    }
    JsonLine &number(const char *key, qint64 value)
    {
        name(key);
        m_out += QByteArray::number(value);
        return *this;
    }
    JsonLine &boolean(const char *key, bool value)
    {
        name(key);
        m_out += value ? "true" : "false";
        return *this;
    }
    JsonLine &texts(const char *key, const QStringList &values)
    {
        name(key);
        m_out += '[';
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (i > 0)
                m_out += ',';
            quote(values[i].toUtf8());
        }
        m_out += ']';
        return *this;
    }
    JsonLine &object(const char *key, const QByteArray &json)
    {
        name(key);
        m_out += json;
        return *this;
    }
    QByteArray finish()
    {
        m_out += '}';
        return m_out;
    }

private:
    void name(const char *key)
    {
        if (m_out.size() > 1)
            m_out += ',';
        m_out += '"';
        m_out += key;
        m_out += "\":";
    }
    void quote(const QByteArray &utf8)
    {
        static const char hex[] = "0123456789abcdef";
        m_out += '"';
        for (const char c : utf8) {
            const auto u = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                m_out += '\\';
                m_out += c;
            } else if (u < 0x20) {
                m_out += "\\u00";
                m_out += hex[u >> 4];
                m_out += hex[u & 15];
            } else {
                m_out += c;
            }
        }
        m_out += '"';
    }

    QByteArray m_out;
};

// The stamp of a file as a JSON object; empty when the file does not exist.
QByteArray stampJson(const TFileStamp &stamp)
{
    if (!stamp.exists)
        return QByteArray();
    return JsonLine()
        .number("size", stamp.size)
        .numberText("mtime_ns", stamp.mtimeNs)
        .numberText("ctime_ns", stamp.ctimeNs)
        .number("mode", stamp.mode)
        .numberText("inode", stamp.inode)
        .numberText("device", stamp.device)
        .finish();
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
        const QString path =
            QStringLiteral("%1/%2-%3-%4.jsonl").arg(folder, stamp).arg(::getpid()).arg(n);
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
    return AppendLine(QJsonDocument(record).toJson(QJsonDocument::Compact));
}

bool TJobJournal::AppendLine(QByteArray line)
{
    if (m_fd < 0)
        return false;
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

bool TJobJournal::Sync()
{
    return m_fd >= 0 && ::fdatasync(m_fd) == 0;
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

TJournalFileOps::TJournalFileOps(TFileOps &inner, TJobJournal &journal)
    : m_inner(inner), m_journal(journal)
{
    // Across volumes the source is deleted inside the move (or in Settle, for a batch of
    // moves): the lines that say the copies are complete must be on the disk before that,
    // or a power loss could leave a journal without the move and a source that is gone.
    m_inner.SetCopiedHook([this](const std::vector<TFileOpResult> &copies) {
        for (const TFileOpResult &copy : copies) {
            const int seq =
                copy.pendingTicket > 0 ? m_pendingSeq.value(copy.pendingTicket) : m_moveSeq;
            JsonLine line;
            line.text("event", QStringLiteral("copied"))
                .number("seq", seq)
                .number("size", copy.size);
            if (!copy.contentHash.isEmpty())
                line.text("xxh128", QString::fromLatin1(copy.contentHash));
            m_journal.AppendLine(line.finish());
        }
        m_journal.Sync();
    });
}

TJournalFileOps::~TJournalFileOps()
{
    m_inner.SetCopiedHook({});
}

int TJournalFileOps::intent(TFileOpKind kind, const QString &source, const QString &target,
                            int rotation, int orientation, const StereoKeep *keep)
{
    const int seq = m_journal.NextSeq();
    JsonLine line;
    line.text("event", QStringLiteral("intent"))
        .number("seq", seq)
        .text("op", FileOpKindName(kind));
    if (!source.isEmpty())
        line.text("source", source);
    if (!target.isEmpty())
        line.text("target", target);
    if (m_entry >= 0)
        line.number("entry", m_entry);
    if (rotation >= 0)
        line.number("rotation", rotation).number("orientation", orientation);
    // The temporary file the operation may leave when it is killed, named before it exists,
    // so that undo can remove it.
    if (keep)
        line.text("remainder", keep->remainder).texts("views", keep->views);
    if (kind == TFileOpKind::Copy || kind == TFileOpKind::Move || kind == TFileOpKind::Extract ||
        kind == TFileOpKind::Create) {
        line.text("temporary", CopyTemporaryPath(target));
    } else if (kind == TFileOpKind::Rotate) {
        const QString temporary = RotationTemporaryPath(source);
        line.text("temporary", temporary);
        if (StatPath(temporary, false).exists)
            line.boolean("temporary_existed", true);
    }
    // A rename leaves the file as it was (its outcome line has the stamp the undo checks):
    // it skips the stat, one of the few system calls each step of a rename job makes.
    if (!source.isEmpty() && kind != TFileOpKind::CreateFolder && kind != TFileOpKind::Rename) {
        // A copy and a turn read through a link; a rename and a move act on the name.
        const bool follow = kind == TFileOpKind::Copy || kind == TFileOpKind::Extract ||
                            kind == TFileOpKind::Rotate;
        const QByteArray stamp = stampJson(StatPath(source, follow));
        if (!stamp.isEmpty())
            line.object("source_stamp", stamp);
    }
    m_journal.AppendLine(line.finish());
    return seq;
}

void TJournalFileOps::done(int seq, const TFileOpResult &result, const QString &writtenPath)
{
    JsonLine line;
    line.text("event", QStringLiteral("done")).number("seq", seq).boolean("ok", result.ok);
    if (result.unchanged)
        line.boolean("unchanged", true);
    if (result.crossVolume)
        line.boolean("cross_volume", true);
    if (!result.ok)
        line.text("error", result.reason);
    if (!result.sha256.isEmpty())
        line.text("sha256", QString::fromLatin1(result.sha256));
    if (!result.contentHash.isEmpty())
        line.text("xxh128", QString::fromLatin1(result.contentHash));
    if (result.replaced)
        line.boolean("replaced", true);
    if (!result.created.isEmpty())
        line.texts("created", result.created);
    if (result.ok && !writtenPath.isEmpty()) {
        const QByteArray stamp = stampJson(StatPath(writtenPath, false));
        if (!stamp.isEmpty())
            line.object("target_stamp", stamp);
    }
    m_journal.AppendLine(line.finish());
}

TFileOpResult TJournalFileOps::fileOp(TFileOpKind kind, const QString &from, const QString &to,
                                      const std::function<TFileOpResult()> &run)
{
    const int seq = intent(kind, from, to);
    const TFileOpResult result = run();
    if (result.pendingTicket > 0)
        m_pendingSeq.insert(result.pendingTicket, seq);
    else
        done(seq, result, to);
    return result;
}

std::vector<TSettledOp> TJournalFileOps::Settle()
{
    std::vector<TSettledOp> settled = m_inner.Settle();
    for (const TSettledOp &op : settled)
        done(m_pendingSeq.take(op.ticket), op.result, op.to);
    return settled;
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
    m_moveSeq = intent(TFileOpKind::Move, from, to);
    const TFileOpResult result = m_inner.Move(from, to);
    if (result.pendingTicket > 0)
        m_pendingSeq.insert(result.pendingTicket, m_moveSeq);
    else
        done(m_moveSeq, result, to);
    m_moveSeq = 0;
    return result;
}

TFileOpResult TJournalFileOps::Extract(const QString &from, const QList<TByteRange> &ranges,
                                       const QString &to)
{
    return fileOp(TFileOpKind::Extract, from, to,
                  [&] { return m_inner.Extract(from, ranges, to); });
}

TFileOpResult TJournalFileOps::CreateFile(const QString &path, const QByteArray &bytes)
{
    return fileOp(TFileOpKind::Create, QString(), path,
                  [&] { return m_inner.CreateFile(path, bytes); });
}

TFileOpResult TJournalFileOps::RemoveStereo(const QString &path, const TStereoRemainder &remainder,
                                            const QStringList &views)
{
    const StereoKeep keep{QString::fromLatin1(remainder.serialize().toBase64()), views};
    const int seq = intent(TFileOpKind::RemoveStereo, path, QString(), -1, -1, &keep);
    if (!m_journal.Sync()) {
        const TFileOpResult refused = TFileOpResult::Failure(
            EIO, QStringLiteral("The job journal could not be written; the stereo file was kept"));
        done(seq, refused, QString());
        return refused;
    }
    const TFileOpResult result = m_inner.RemoveStereo(path, remainder, views);
    done(seq, result, QString());
    return result;
}

TRotateResult TJournalFileOps::Rotate(const QString &path, int quarterTurns)
{
    const int seq =
        intent(TFileOpKind::Rotate, path, QString(), quarterTurns, FileOrientation(path));
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
        o.insert(QStringLiteral("before"),
                 QJsonArray{result.before.width(), result.before.height()});
    if (result.after.isValid())
        o.insert(QStringLiteral("after"), QJsonArray{result.after.width(), result.after.height()});
    if (!result.Failed() && result.Trimmed(quarterTurns))
        o.insert(QStringLiteral("trimmed"), true);
    if (!result.Failed()) {
        const QByteArray stamp = stampJson(StatPath(path));
        if (!stamp.isEmpty())
            o.insert(QStringLiteral("target_stamp"), QJsonDocument::fromJson(stamp).object());
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
    return fileOp(TFileOpKind::RemoveFolder, folder, QString(),
                  [&] { return m_inner.RemoveFolder(folder); });
}
