#include "batch/spmlist.h"
#include "entries/entrystore.h"

#include "batch/fileops.h"
#include "batch/protokoll.h"
#include "batch/runprogress.h"
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listrows.h"
#include "imaging/dsorgbild.h"

#include <QFileInfo>

#include <QDir>

QByteArray SpmListLine(const QString &leftPath, const QString &rightPath, int number,
                       const QString &newName)
{
    const QString line = QStringLiteral("21,0,0,0,0,") + leftPath + u',' + rightPath + u',' +
                         QString::number(number) + QStringLiteral(") ") + newName + u',';
    return line.toUtf8() + "\r\n";
}

QString ResolveSpmListPath(const QString &path, const QString &base)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return QDir::cleanPath(QDir(base).absoluteFilePath(path));
}

namespace {

QString entryPath(const TSpmListRequest &request, const TDatensatz *e)
{
    // Source folder: the file's path after the run, which already follows its renames.
    if (request.sourcePaths)
        return e->SourcePath();
    if (request.destinationPath) {
        const QString path = request.destinationPath(e);
        if (!path.isEmpty())
            return path;
    }
    const QString folder = WithTrailingSeparator(e->TargetFolder());
    return request.renameDestination ? folder + e->NewFileName() : folder + e->OrgBild()->FileName;
}

} // namespace

TSpmListOutcome WriteSpmListFile(const TSpmListRequest &request, TProtokoll &log,
                                 TRunProgress &progress, TFileOps &ops)
{
    TSpmListOutcome outcome;
    log.AddLine(QString());
    log.AddLine(QStringLiteral("Write SPM compatible list"), logcolor::Black, LogStyle::Bold);
    if (!request.leftList || request.leftList->Store().Registry.Count() == 0 ||
        request.listFile.isEmpty()) {
        log.AddLine(QStringLiteral("Invalid filename"), logcolor::Red);
        outcome.result = false;
        return outcome;
    }
    const ListRowModel &left = *request.leftList;
    progress.BeginPhase(QStringLiteral("SPM List file"), left.Count() - 1, 2);

    QByteArray bytes;
    int number = 1;
    for (int row = 0; row < left.Count(); ++row) {
        const TDatensatz *e = left.EntryAt(row);
        const TDatensatz *p = e ? e->Partner() : nullptr;
        // Pairs with an image excluded from the job are not listed.
        if (!e || e->Attribute() != daStereoPair || !p || IsGapAttribute(p->Attribute()) ||
            !e->Batch() || !p->Batch()) {
            progress.StepProgress(QStringLiteral("Searching for data"));
            continue;
        }
        progress.StepProgress(QStringLiteral("Write SPM compatible list"));
        const QString leftPath = entryPath(request, e);
        const QString rightPath = entryPath(request, p);
        const QString missing = !ops.Exists(leftPath)    ? leftPath
                                : !ops.Exists(rightPath) ? rightPath
                                                         : QString();
        if (!missing.isEmpty()) {
            log.AddFormatted(
                QStringLiteral("Pair of row %d left out of the list: %s does not exist"),
                {row, missing}, logcolor::Red);
            continue;
        }
        log.AddFormatted(QStringLiteral("Nr: %4d") + u'\t' + QStringLiteral("Comment: %d)") +
                             u'\t' + QStringLiteral("%s"),
                         {row, number, e->NewName()});
        bytes += SpmListLine(leftPath, rightPath, number, e->NewName());
        ++number;
    }
    outcome.pairs = number - 1;
    if (outcome.pairs == 0) {
        log.AddLine(QStringLiteral("Stereo pairs missing"));
        return outcome;
    }
    // A missing folder of the list is made like the destination folders (the checks made
    // sure that it does not lie below the mount point of an unplugged disk).
    const QString folder = QFileInfo(request.listFile).absolutePath();
    if (!ops.Exists(folder)) {
        const TFileOpResult made = ops.CreateFolder(folder);
        if (made.ok) {
            log.AddFormatted(ops.TouchesFiles() ? QStringLiteral("Folder %s created")
                                                : QStringLiteral("Folder %s would be created"),
                             {folder});
        } else {
            log.AddFormatted(QStringLiteral("Error creating folder %s"), {folder}, logcolor::Red);
            log.AddLine(u'\t' + made.reason, logcolor::Red);
            outcome.writeFailed = true;
            return outcome;
        }
    }
    const TFileOpResult written = ops.WriteFileReplacing(request.listFile, bytes);
    if (!written.ok) {
        log.AddFormatted(QStringLiteral("Error writing the SPM list %s"), {request.listFile},
                         logcolor::Red);
        log.AddLine(u'\t' + written.reason, logcolor::Red);
        outcome.writeFailed = true;
        return outcome;
    }
    log.AddFormatted(ops.TouchesFiles() ? QStringLiteral("SPM list written to %s")
                                        : QStringLiteral("SPM list would be written to %s"),
                     {request.listFile});
    return outcome;
}
