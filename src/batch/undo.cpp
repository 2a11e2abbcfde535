#include "batch/undo.h"

#include "batch/fileops.h"
#include "batch/jobjournal.h"
#include "imaging/exifpatch.h"
#include "imaging/stereosplit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <map>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

struct Operation
{
    QJsonObject intent;
    QJsonObject outcome; // empty when the job stopped during the operation
    QJsonObject copied;  // a move across volumes whose copy was complete
    bool hasOutcome = false;
};

QString str(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toString();
}

qint64 stampValue(const QJsonObject &stamp, const char *key)
{
    const QJsonValue v = stamp.value(QLatin1String(key));
    return v.isString() ? v.toString().toLongLong() : qint64(v.toDouble());
}

// A renamed file is still the one the job renamed: same size and modification time. A
// rename that is reversed by renaming back loses nothing even if the file was edited, so
// neither the inode (which a FAT card changes at every mount) nor the change time (which
// renaming the file back and forth moves) is asked for.
bool matchesRenamed(const QString &path, const QJsonObject &stamp)
{
    const TFileStamp now = StatPath(path, false);
    if (!now.exists)
        return false;
    return stamp.isEmpty() ||
           (now.size == stampValue(stamp, "size") && now.mtimeNs == stampValue(stamp, "mtime_ns"));
}

// Journals that hold no digest of a copy: the copy is known by inode, size, modification
// and change time.
bool matchesStamp(const QString &path, const QJsonObject &stamp)
{
    const TFileStamp now = StatPath(path, false);
    if (!now.exists)
        return false;
    if (stamp.isEmpty())
        return true;
    if (stamp.contains(QLatin1String("ctime_ns")) && now.ctimeNs != stampValue(stamp, "ctime_ns"))
        return false;
    return now.size == stampValue(stamp, "size") && now.mtimeNs == stampValue(stamp, "mtime_ns") &&
           QString::number(now.inode) == str(stamp, "inode");
}

// The file holds the bytes of a copy's digest (XXH3-128, see FileContentHash).
bool sameBytes(const QString &path, const QByteArray &digest)
{
    const QByteArray now = FileContentHash(path);
    return !now.isEmpty() && now == digest;
}

QString clean(const QString &path)
{
    return QDir::cleanPath(path);
}

void restoreModeAndTime(const QString &path, const QJsonObject &stamp)
{
    if (stamp.isEmpty())
        return;
    const QByteArray name = QFile::encodeName(path);
    ::chmod(name.constData(), mode_t(stampValue(stamp, "mode")));
    const qint64 mtime = stampValue(stamp, "mtime_ns");
    const struct timespec times[2] = {{0, UTIME_OMIT},
                                      {time_t(mtime / 1000000000LL), long(mtime % 1000000000LL)}};
    ::utimensat(AT_FDCWD, name.constData(), times, 0);
}

class Undoer
{
public:
    Undoer(TFileOps &ops, bool dryRun, TUndoReport &report, QSet<QString> copyTargets)
        : m_ops(ops), m_dry(dryRun), m_report(report), m_copyTargets(std::move(copyTargets))
    {
    }

    void undo(const Operation &op)
    {
        const QString kind = str(op.intent, "op");
        const QString source = str(op.intent, "source");
        const QString target = str(op.intent, "target");
        removeLeftovers(op, kind, source);
        if (op.hasOutcome && !op.outcome.value(QLatin1String("ok")).toBool())
            return; // failed in the job: nothing to reverse
        if (op.outcome.value(QLatin1String("unchanged")).toBool())
            return;
        if (kind == QLatin1String("rename") || kind == QLatin1String("move"))
            undoRenameOrMove(op, kind == QLatin1String("move"), source, target);
        else if (kind == QLatin1String("copy"))
            undoCopy(op, source, target);
        else if (kind == QLatin1String("extract"))
            undoExtract(op, source, target);
        else if (kind == QLatin1String("create"))
            undoCreate(op, target);
        else if (kind == QLatin1String("remove-stereo"))
            undoRemoveStereo(op, source);
        else if (kind == QLatin1String("rotate"))
            undoRotate(op, source);
        else if (kind == QLatin1String("write"))
            undoWrite(op, target);
        else if (kind == QLatin1String("mkdir"))
            undoMkdir(op);
    }

private:
    void done(const QString &line)
    {
        ++m_report.undone;
        m_report.lines << (m_dry ? QStringLiteral("would ") : QString()) + line;
    }
    void leftAlone(const QString &line)
    {
        ++m_report.leftAlone;
        m_report.lines << QStringLiteral("left alone: ") + line;
    }
    void failed(const QString &line, const QString &reason)
    {
        ++m_report.failed;
        m_report.lines << QStringLiteral("failed: ") + line + QStringLiteral(" (") + reason + u')';
    }
    // In a dry run nothing goes; what would go is remembered, so that the folders the job
    // made are predicted empty (or not) as the real undo will find them.
    void gone(const QString &path)
    {
        if (m_dry)
            m_gone.insert(clean(path));
    }

    // The temporary files an operation killed half-way may have left: a copy's (named in
    // its intent before it was created), the ".jp_" file of a turn that the job created,
    // and the copy back of an undo of a move across volumes that was itself killed. None of
    // them is ever the only copy of a picture.
    void removeLeftovers(const Operation &op, const QString &kind, const QString &source)
    {
        QStringList leftovers;
        const QString temporary = str(op.intent, "temporary");
        const bool created = !op.intent.value(QLatin1String("temporary_existed")).toBool();
        if (!op.hasOutcome && !temporary.isEmpty() && created)
            leftovers << temporary;
        if (kind == QLatin1String("move"))
            leftovers << CopyTemporaryPath(source);
        for (const QString &path : std::as_const(leftovers)) {
            if (StatPath(path, false).isRegular)
                removeFile(path, QStringLiteral("delete the unfinished ") + path,
                           QStringLiteral("unfinished "));
        }
    }

    void undoRenameOrMove(const Operation &op, bool move, const QString &source,
                          const QString &target)
    {
        const QString what =
            (move ? QStringLiteral("move back ") : QStringLiteral("rename back ")) + target +
            QStringLiteral(" -> ") + source;
        const TFileStamp there = StatPath(target, false);
        const TFileStamp here = StatPath(source, false);
        // A move across volumes is known by the digest of its copy; a rename (also a move
        // on one volume) by size and modification time.
        const QByteArray digest = str(op.hasOutcome ? op.outcome : op.copied, "xxh128").toLatin1();
        const bool byDigest = !digest.isEmpty();
        if (!op.hasOutcome) {
            // Stopped during the operation: the disk tells whether it happened.
            if (!there.exists)
                return;
            if (here.exists) {
                // A move across volumes stopped after its copy: the copy goes if it is whole.
                if (move && FileContentHash(target) == FileContentHash(source)) {
                    removeFile(target, QStringLiteral("delete the unfinished copy ") + target);
                    return;
                }
                leftAlone(target + QStringLiteral(" (the job stopped while it was written)"));
                return;
            }
            if (byDigest && !sameBytes(target, digest)) {
                leftAlone(target + QStringLiteral(" (changed since the job)"));
                return;
            }
        } else {
            if (!there.exists) {
                // Back already (an undo that ran before, or was killed after the file was
                // back): nothing is left to do for it.
                const bool back =
                    byDigest
                        ? sameBytes(source, digest)
                        : matchesRenamed(
                              source, op.outcome.value(QLatin1String("target_stamp")).toObject());
                if (back)
                    m_report.lines << QStringLiteral("already back: ") + source;
                else
                    leftAlone(target + QStringLiteral(" (no longer there)"));
                return;
            }
            // A file whose later turn was just undone is known to be the job's file.
            const bool same =
                m_verified.contains(target) ||
                (byDigest
                     ? sameBytes(target, digest)
                     : matchesRenamed(target,
                                      op.outcome.value(QLatin1String("target_stamp")).toObject()));
            if (!same) {
                leftAlone(target + QStringLiteral(" (changed since the job)"));
                return;
            }
            if (here.exists && move && byDigest && sameBytes(source, digest)) {
                // An undo stopped after it had copied the file back, before it deleted it
                // here: the file is back already, this is the second copy.
                removeFile(target, QStringLiteral("delete ") + target +
                                       QStringLiteral(" (it is back at ") + source + u')');
                return;
            }
        }
        if (m_dry) {
            gone(target);
            done(what);
            return;
        }
        const TFileOpResult r = move ? m_ops.Move(target, source) : m_ops.Rename(target, source);
        if (r.ok)
            m_report.restored.append({target, source});
        if (r.ok)
            done((move ? QStringLiteral("moved back ") : QStringLiteral("renamed back ")) + target +
                 QStringLiteral(" -> ") + source);
        else
            failed(what, r.reason);
    }

    // kind: a word between "deleted " and the path in the line of a real undo.
    void removeFile(const QString &path, const QString &what, const QString &kind = QString())
    {
        if (m_dry) {
            gone(path);
            done(what);
            return;
        }
        const TFileOpResult r = m_ops.Remove(path);
        if (r.ok)
            done(QStringLiteral("deleted ") + kind + path);
        else
            failed(what, r.reason);
    }

    void undoCopy(const Operation &op, const QString &source, const QString &target)
    {
        const QByteArray digest = str(op.outcome, "xxh128").toLatin1();
        if (!StatPath(target, false).exists) {
            if (op.hasOutcome && !digest.isEmpty() && sameBytes(source, digest))
                m_report.lines << QStringLiteral("already gone: ") + target;
            else if (op.hasOutcome)
                leftAlone(target + QStringLiteral(" (no longer there)"));
            return;
        }
        if (!op.hasOutcome) {
            // Stopped after the copy got its name: it goes if it is whole.
            const QByteArray now = FileContentHash(target);
            if (now.isEmpty() || now != FileContentHash(source)) {
                leftAlone(target + QStringLiteral(" (its bytes are not those the job wrote)"));
                return;
            }
        } else if (digest.isEmpty()) {
            // A journal of an earlier version: no digest, the stamp stands for the bytes.
            const bool same =
                m_expect.contains(target)
                    ? FileSha256(target) == m_expect.value(target)
                    : matchesStamp(target,
                                   op.outcome.value(QLatin1String("target_stamp")).toObject());
            if (!same) {
                leftAlone(target + QStringLiteral(" (its bytes are not those the job wrote)"));
                return;
            }
        } else {
            // A copy the job turned afterwards is known by the digest of its turn.
            const bool same = m_expect.contains(target)
                                  ? FileSha256(target) == m_expect.value(target)
                                  : sameBytes(target, digest);
            if (!same) {
                leftAlone(target + QStringLiteral(" (its bytes are not those the job wrote)"));
                return;
            }
            // The copy may be the only copy left (a card formatted since): it goes only
            // while its source still holds the bytes it was made from.
            if (!m_verified.contains(source)) {
                if (!StatPath(source).exists) {
                    leftAlone(target + QStringLiteral(" (its source is gone)"));
                    return;
                }
                if (!sameBytes(source, digest)) {
                    leftAlone(target + QStringLiteral(" (its source has changed since the job)"));
                    return;
                }
            }
        }
        removeFile(target, QStringLiteral("delete the copy ") + target);
    }

    // A file made of parts of its source (a stereo file's view): it goes while it holds the
    // bytes the job wrote and its source is still there to make it again.
    void undoExtract(const Operation &op, const QString &source, const QString &target)
    {
        if (!op.hasOutcome || !StatPath(target, false).exists)
            return; // never named, or gone: its temporary file went with the leftovers
        const bool same = m_expect.contains(target)
                              ? FileSha256(target) == m_expect.value(target)
                              : sameBytes(target, str(op.outcome, "xxh128").toLatin1());
        if (!same) {
            leftAlone(target + QStringLiteral(" (its bytes are not those the job wrote)"));
            return;
        }
        const bool sourceThere = (StatPath(source).exists && !m_gone.contains(clean(source))) ||
                                 m_restored.contains(clean(source));
        if (!sourceThere) {
            leftAlone(target + QStringLiteral(" (the file it was made from is gone)"));
            return;
        }
        removeFile(target, QStringLiteral("delete ") + target);
    }

    // A new file the job wrote from bytes (a half of a side-by-side stereo file).
    void undoCreate(const Operation &op, const QString &target)
    {
        if (!op.hasOutcome || !StatPath(target, false).exists)
            return;
        if (FileSha256(target) != str(op.outcome, "sha256").toLatin1()) {
            leftAlone(target + QStringLiteral(" (its bytes are not those the job wrote)"));
            return;
        }
        removeFile(target, QStringLiteral("delete ") + target);
    }

    // A stereo file the job removed once its view files were written: it is rebuilt from
    // them and the bytes the journal kept, and must be exactly the file it was.
    void undoRemoveStereo(const Operation &op, const QString &path)
    {
        const std::optional<TStereoRemainder> remainder =
            TStereoRemainder::parse(QByteArray::fromBase64(str(op.intent, "remainder").toLatin1()));
        if (!remainder) {
            leftAlone(path + QStringLiteral(" (the journal's record of it is damaged)"));
            return;
        }
        if (StatPath(path, false).exists) {
            // Never removed (the job stopped before), or back already.
            if (op.hasOutcome) {
                if (FileSha256(path) == remainder->sha256.toHex())
                    m_report.lines << QStringLiteral("already back: ") + path;
                else
                    leftAlone(path + QStringLiteral(" (a different file of that name is there)"));
            }
            return;
        }
        QStringList views;
        for (const QJsonValue &v : op.intent.value(QLatin1String("views")).toArray())
            views << v.toString();
        auto readAll = [](const QString &file) {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const std::optional<QByteArray> rebuilt =
            views.size() == 2 ? RebuildStereoFile(readAll(views[0]), readAll(views[1]), *remainder)
                              : std::nullopt;
        if (!rebuilt) {
            leftAlone(path + QStringLiteral(
                                 " (its view files changed since the job: it cannot be rebuilt)"));
            return;
        }
        const QString what = QStringLiteral("rebuild ") + path;
        if (m_dry) {
            m_restored.insert(clean(path));
            done(what);
            return;
        }
        const TFileOpResult r = m_ops.CreateFile(path, *rebuilt);
        if (!r.ok) {
            failed(what, r.reason);
            return;
        }
        restoreModeAndTime(path, op.intent.value(QLatin1String("source_stamp")).toObject());
        done(QStringLiteral("rebuilt ") + path);
    }

    void undoRotate(const Operation &op, const QString &path)
    {
        const int turns = op.intent.value(QLatin1String("rotation")).toInt();
        const int orientation = op.intent.value(QLatin1String("orientation")).toInt();
        if (!op.hasOutcome) {
            // The library replaces the file only with the complete turned one: a file still
            // as it was before the turn was not turned.
            const QJsonObject before = op.intent.value(QLatin1String("source_stamp")).toObject();
            const TFileStamp now = StatPath(path);
            if (!before.isEmpty() && now.exists &&
                QString::number(now.inode) == str(before, "inode") &&
                now.size == stampValue(before, "size") &&
                now.mtimeNs == stampValue(before, "mtime_ns"))
                return;
            leftAlone(path + QStringLiteral(" (the job stopped while it was turned; check it)"));
            return;
        }
        const QByteArray turned = str(op.outcome, "sha256").toLatin1();
        if (FileSha256(path) != turned) {
            leftAlone(path + QStringLiteral(" (changed since the job)"));
            return;
        }
        if (m_copyTargets.contains(path)) {
            // A copy the job made and then turned: it goes as a whole with its copy.
            m_expect.insert(path, turned);
            return;
        }
        const bool trimmed = op.outcome.value(QLatin1String("trimmed")).toBool();
        const QString note =
            trimmed ? QStringLiteral(" (the edges the job trimmed cannot be brought back)")
                    : QString();
        const QString what = QStringLiteral("turn back ") + path +
                             QStringLiteral(" by %1").arg((4 - turns) % 4 * 90);
        if (m_dry) {
            m_verified.insert(path);
            done(what + note);
            if (trimmed)
                ++m_report.leftAlone;
            return;
        }
        const TRotateResult r = m_ops.Rotate(path, (4 - turns) % 4);
        if (r.Failed()) {
            failed(what, r.errorText);
            return;
        }
        // The turn wrote orientation 1; the file gets back the orientation it had.
        if (orientation > 1) {
            QFile file(path);
            QByteArray bytes;
            if (file.open(QIODevice::ReadOnly))
                bytes = file.readAll();
            file.close();
            if (exifpatch::writeOrientation(reinterpret_cast<std::uint8_t *>(bytes.data()),
                                            std::size_t(bytes.size()),
                                            std::uint16_t(orientation))) {
                const TFileOpResult w = m_ops.WriteFileReplacing(path, bytes);
                if (!w.ok) {
                    failed(QStringLiteral("restore the orientation of ") + path, w.reason);
                    return;
                }
            }
        }
        restoreModeAndTime(path, op.intent.value(QLatin1String("source_stamp")).toObject());
        m_verified.insert(path);
        done(QStringLiteral("turned back ") + path + note);
        if (trimmed)
            ++m_report.leftAlone;
    }

    void undoWrite(const Operation &op, const QString &target)
    {
        if (!op.hasOutcome)
            return;
        if (op.outcome.value(QLatin1String("replaced")).toBool()) {
            leftAlone(target + QStringLiteral(" (it replaced an earlier file of that name)"));
            return;
        }
        if (FileSha256(target) != str(op.outcome, "sha256").toLatin1()) {
            leftAlone(target + QStringLiteral(" (changed since the job)"));
            return;
        }
        removeFile(target, QStringLiteral("delete ") + target);
    }

    // In a dry run: folder would be empty once what the undo removes before it is gone.
    bool wouldBeEmpty(const QString &folder) const
    {
        const QFileInfoList entries = QDir(folder).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        return std::all_of(entries.begin(), entries.end(), [&](const QFileInfo &entry) {
            return m_gone.contains(clean(entry.filePath()));
        });
    }

    void undoMkdir(const Operation &op)
    {
        QStringList created;
        for (const QJsonValue &v : op.outcome.value(QLatin1String("created")).toArray())
            created << v.toString();
        std::reverse(created.begin(), created.end());
        for (const QString &folder : std::as_const(created)) {
            if (m_dry) {
                if (!StatPath(folder).isFolder)
                    continue;
                if (!wouldBeEmpty(folder)) {
                    leftAlone(folder + QStringLiteral(" (not empty)"));
                    continue;
                }
                gone(folder);
                done(QStringLiteral("remove the folder ") + folder);
                continue;
            }
            const TFileOpResult r = m_ops.RemoveFolder(folder);
            if (r.ok)
                done(QStringLiteral("removed the folder ") + folder);
            else if (StatPath(folder).exists)
                leftAlone(folder + QStringLiteral(" (not empty)"));
        }
    }

    TFileOps &m_ops;
    bool m_dry;
    TUndoReport &m_report;
    QSet<QString> m_copyTargets;         // files the job made by copying
    QHash<QString, QByteArray> m_expect; // a copy's bytes after the job turned it
    QSet<QString> m_verified;            // files just checked (and turned back) as the job's
    QSet<QString> m_gone;                // dry run: what the undo would have removed so far
    QSet<QString> m_restored;            // dry run: files the undo would have brought back
};

} // namespace

TUndoReport UndoJob(const QString &journalPath, TFileOps &ops, bool dryRun)
{
    TUndoReport report;
    QFile file(journalPath);
    if (!file.open(QIODevice::ReadOnly)) {
        report.error = file.errorString();
        return report;
    }
    std::map<int, Operation> operations;
    bool sawJob = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty())
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (!doc.isObject())
            continue; // a torn last line of a killed job
        const QJsonObject o = doc.object();
        const QString event = str(o, "event");
        const int seq = o.value(QLatin1String("seq")).toInt();
        if (event == QLatin1String("job"))
            sawJob = true;
        else if (event == QLatin1String("intent"))
            operations[seq].intent = o;
        else if (event == QLatin1String("done") && operations.count(seq)) {
            operations[seq].outcome = o;
            operations[seq].hasOutcome = true;
        } else if (event == QLatin1String("copied") && operations.count(seq)) {
            operations[seq].copied = o;
        }
    }
    if (!sawJob) {
        report.error = QStringLiteral("not a job journal");
        return report;
    }
    report.journalRead = true;
    QSet<QString> copyTargets;
    for (const auto &[seq, op] : operations) {
        const QString kind = str(op.intent, "op");
        if ((kind == QLatin1String("copy") || kind == QLatin1String("extract")) &&
            op.outcome.value(QLatin1String("ok")).toBool())
            copyTargets.insert(str(op.intent, "target"));
    }
    Undoer undoer(ops, dryRun, report, copyTargets);
    for (auto it = operations.rbegin(); it != operations.rend(); ++it)
        undoer.undo(it->second);
    return report;
}

TUndoReport UndoJobJournaled(const QString &journalPath, bool dryRun, QString &undoJournal,
                             QString &warning)
{
    TRealFileOps real;
    TJobJournal journal;
    std::unique_ptr<TJournalFileOps> journaled;
    TFileOps *ops = &real;
    if (!dryRun) {
        QString error;
        if (journal.Create(JournalFolder(), error)) {
            QJsonObject head;
            head.insert(QStringLiteral("event"), QStringLiteral("job"));
            head.insert(QStringLiteral("version"), 1);
            head.insert(QStringLiteral("undo_of"), journalPath);
            journal.Append(head);
            journaled = std::make_unique<TJournalFileOps>(real, journal);
            ops = journaled.get();
            undoJournal = journal.Path();
        } else {
            warning = QStringLiteral("no journal of the undo: %1").arg(error);
        }
    }
    TUndoReport report = UndoJob(journalPath, *ops, dryRun);
    journaled.reset();
    journal.Close();
    return report;
}

QString LastUndoableJob(const QString &folder)
{
    const QFileInfoList journals = QDir(folder).entryInfoList(
        {QStringLiteral("*.jsonl")}, QDir::Files, QDir::Name | QDir::Reversed);
    QStringList jobs;
    QSet<QString> undone;
    for (const QFileInfo &info : journals) {
        QFile file(info.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject head = QJsonDocument::fromJson(file.readLine(1 << 20)).object();
        if (head.value(QLatin1String("event")).toString() != QLatin1String("job"))
            continue;
        const QString undoOf = head.value(QLatin1String("undo_of")).toString();
        if (undoOf.isEmpty())
            jobs << info.absoluteFilePath();
        else
            undone.insert(QFileInfo(undoOf).absoluteFilePath());
    }
    // Names begin with the job's date and time: the newest sorts last.
    for (const QString &job : std::as_const(jobs)) {
        if (!undone.contains(job))
            return job;
    }
    return {};
}
