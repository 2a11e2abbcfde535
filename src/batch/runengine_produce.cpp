// The run's last phase for files made from what the job left behind (a pair's stereo
// files): they need every entry's file in its final state (renamed, copied or moved,
// settled and turned), so they wait until all entries are done. Making them (decoding and
// encoding pictures) runs on the application's thread pool, a few files ahead; writing
// them goes through the job's file operations on this thread, in the order they were
// listed, so that the journal's lines stay in order and undo finds every file.
#include "batch/runengine.h"

#include "batch/batchlog.h"
#include "batch/fileops.h"
#include "batch/jobjournal.h"
#include "batch/protokoll.h"
#include "batch/runprogress.h"
#include "entries/datensatz.h"
#include "entries/listoperations.h"

#include <QDir>
#include <QFuture>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>

#include <deque>

namespace {

const QString Tab = QStringLiteral("\t");

} // namespace

QString TBatchRun::finalPath(const TDatensatz *e, int *turnsLeft) const
{
    if (!e || IsGapAttribute(e->Attribute()) || !e->Batch())
        return {};
    QString path;
    if (m_settings.CopyToDestination || m_settings.MoveToDestination)
        path = m_resultPath.value(e);
    else if (!e->IsStereoView() &&
             (!m_settings.RenameSource ||
              PathFolder(e->SourcePath()) + e->NewFileName() == e->SourcePath()))
        path = e->SourcePath();
    if (path.isEmpty())
        return {};
    const int wanted = e->Rotation() > 0 ? e->Rotation() % 4 : 0;
    *turnsLeft = (wanted - m_files.value(fileKey(path)).turned + 4) % 4;
    return path;
}

void TBatchRun::createProducedFolders(const std::vector<std::pair<TDatensatz *, TExtraFile>> &files)
{
    QSet<QString> folders;
    for (const auto &[e, extra] : files) {
        const QString folder = QDir::cleanPath(PathFolder(extra.target));
        if (folders.contains(folder))
            continue;
        folders.insert(folder);
        const TFileOpResult r = m_ops->CreateFolder(folder);
        if (!r.ok)
            logFailure(QStringLiteral("Error creating folder %s"), {folder}, r.reason);
        else if (!r.created.isEmpty())
            m_log.AddFormatted(m_ops->TouchesFiles() ? QStringLiteral("Folder %s created")
                                                     : QStringLiteral("Folder %s would be created"),
                               {folder});
    }
}

void TBatchRun::writeProduced(TDatensatz *e, const TExtraFile &extra, const TProducedFile &made)
{
    if (m_journalOps)
        m_journalOps->SetEntryNumber(e->Number());
    const QVariantList args{e->Number(), SideText(e->Side()), extra.target};
    if (made.bytes.isEmpty() && m_ops->TouchesFiles()) {
        logFailure(QStringLiteral("Error writing the stereo file of image %d (%s): ") + Tab +
                       QStringLiteral("%s"),
                   args, made.error);
        return;
    }
    const TFileOpResult r = m_ops->CreateFile(extra.target, made.bytes);
    if (!r.ok) {
        logFailure(QStringLiteral("Error writing the stereo file of image %d (%s): ") + Tab +
                       QStringLiteral("%s"),
                   args, r.reason);
        return;
    }
    m_log.AddFormatted(QStringLiteral("Writing the stereo file of image %d (%s): ") + Tab +
                           QStringLiteral("%s"),
                       args);
    if (!made.note.isEmpty())
        m_log.AddFormatted(QStringLiteral("Image N° %d (%s): %s"),
                           {e->Number(), SideText(e->Side()), made.note});
}

void TBatchRun::produceFiles()
{
    auto files = std::exchange(m_produced, {});
    if (files.empty() || m_cancelRequested)
        return;
    createProducedFolders(files);
    setStatus(QStringLiteral("Writing stereo files"));
    // The bar counts the files: full, and reading n/n, once the last is written.
    m_progress.BeginPhase(m_status, int(files.size()), 1);

    struct Work
    {
        std::size_t index;
        QFuture<TProducedFile> made;
    };
    std::deque<Work> ahead;
    const bool dryRun = !m_ops->TouchesFiles();
    const std::size_t window =
        std::size_t(std::max(2, QThreadPool::globalInstance()->maxThreadCount()));
    std::size_t next = 0;
    // Starts the makers of the files up to the window; a file whose entries' steps failed
    // is logged here and gets none.
    const auto fill = [&] {
        while (next < files.size() && ahead.size() < window && !m_cancelRequested) {
            const auto &[e, extra] = files[next];
            QStringList paths;
            QList<int> turns;
            for (const TDatensatz *from : extra.from) {
                int left = 0;
                paths.append(finalPath(from, &left));
                turns.append(left);
            }
            if (paths.contains(QString()) || !extra.make) {
                m_log.AddFormatted(
                    QStringLiteral("No stereo file for image %d (%s): ") + Tab +
                        QStringLiteral("%s (a file of the pair was not renamed, copied or moved)"),
                    {e->Number(), SideText(e->Side()), extra.target});
                ++next;
                continue;
            }
            const TFileMaker make = extra.make;
            ahead.push_back({next++, dryRun ? QtFuture::makeReadyFuture(TProducedFile())
                                            : QtConcurrent::run([make, paths, turns] {
                                                  return make(paths, turns);
                                              })});
        }
    };
    fill();
    while (!ahead.empty()) {
        Work work = std::move(ahead.front());
        ahead.pop_front();
        while (!work.made.isFinished()) {
            m_progress.ShowStatus(m_status); // lets Cancel through
            QThread::msleep(5);
        }
        const auto &[e, extra] = files[work.index];
        writeProduced(e, extra, work.made.result());
        m_progress.StepProgress(m_status);
        if (m_cancelRequested && next < files.size()) {
            m_log.AddFormatted(QStringLiteral("Canceled by request: %d stereo files not written"),
                               {int(files.size() - next)}, logcolor::Red);
            m_jobFailed = true;
            next = files.size();
        }
        fill();
    }
}
