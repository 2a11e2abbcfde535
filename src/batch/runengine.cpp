#include "batch/runengine.h"
#include "entries/entrystore.h"

#include "batch/batchlog.h"
#include "batch/fileops.h"
#include "batch/jobjournal.h"
#include "batch/protokoll.h"
#include "batch/runprogress.h"
#include "batch/spmlist.h"
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "entries/siblings.h"
#include "imaging/dsorgbild.h"

#include "ui/markup.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonObject>

#include <utility>

namespace {

const QString Tab = QStringLiteral("\t");

QString rotationText(int quarterTurns)
{
    switch (quarterTurns) {
    case 1:
        return QStringLiteral(" 90\u00B0");
    case 2:
        return QStringLiteral("180\u00B0");
    case 3:
        return QStringLiteral("270\u00B0");
    default:
        return QStringLiteral("  0\u00B0");
    }
}

qint64 nowMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

QJsonObject settingsJson(const TBatchJobSettings &s)
{
    QJsonObject o;
    o.insert(QStringLiteral("FolderMask"), int(s.FolderMask));
    o.insert(QStringLiteral("CompletePartners"), s.CompletePartners);
    o.insert(QStringLiteral("WriteSpmList"), s.WriteSpmList);
    o.insert(QStringLiteral("RotateSource"), s.RotateSource);
    o.insert(QStringLiteral("RotateDestination"), s.RotateDestination);
    o.insert(QStringLiteral("RenameSource"), s.RenameSource);
    o.insert(QStringLiteral("RenameDestination"), s.RenameDestination);
    o.insert(QStringLiteral("CopyToDestination"), s.CopyToDestination);
    o.insert(QStringLiteral("MoveToDestination"), s.MoveToDestination);
    return o;
}

} // namespace

TBatchRun::TBatchRun(TEntryStore &entries, TProtokoll &log, TRunProgress &progress)
    : m_entries(entries), m_log(log), m_progress(progress),
      m_spmListBase(QDir::homePath() + QStringLiteral("/Stereos"))
{
}

TBatchRun::~TBatchRun() = default;

void TBatchRun::setStatus(const QString &text)
{
    m_status = text;
    m_lastStatusMs = nowMs();
}

void TBatchRun::logFailure(const QString &format, const QVariantList &args, const QString &reason)
{
    m_log.AddFormatted(format, args, logcolor::Red);
    if (!reason.isEmpty())
        m_log.AddLine(Tab + reason, logcolor::Red);
    m_jobFailed = true;
}

void TBatchRun::logUnchanged(TDatensatz *e, const QString &path)
{
    m_log.AddFormatted(QStringLiteral("Unchanged image %d (%s): ") + Tab + QStringLiteral("%s"),
                       {e->Number(), SideText(e->Side()), path});
}

QString TBatchRun::fileKey(const QString &path) const
{
    const TFileStamp stamp = StatPath(path);
    if (stamp.exists)
        return QStringLiteral("i%1:%2").arg(stamp.device).arg(stamp.inode);
    return QStringLiteral("p") + path;
}

// The file known under oldKey is now at path (renamed, moved or rewritten).
void TBatchRun::rekey(const QString &oldKey, const QString &path)
{
    const QString newKey = fileKey(path);
    if (oldKey != newKey && m_files.contains(oldKey))
        m_files.insert(newKey, m_files.take(oldKey));
}

const ListRowModel *TBatchRun::leftList() const
{
    if (m_leftList)
        return m_leftList;
    for (TDatensatz *e : m_entries.Registry.Entries()) {
        if (ListRowModel *list = e->List(); list && list->Side() == dsLeft)
            return list;
    }
    return nullptr;
}

QString TBatchRun::spmListPath() const
{
    return ResolveSpmListPath(m_spmListFile, m_spmListBase);
}

void TBatchRun::RunBatchJob(const TBatchJobSettings &settings, const std::function<void()> &onDone)
{
    if (m_running)
        return;
    m_running = true;
    m_settings = settings;
    m_files.clear();
    m_removals.clear();
    m_produced.clear();
    m_renamedFor.clear();
    m_resultPath.clear();
    m_renamedStereo.clear();
    m_journalPath.clear();

    TFileOps *base = m_externalOps;
    if (!base) {
        m_realOps = std::make_unique<TRealFileOps>(); // fresh: what it noted is this run's
        base = m_realOps.get();
    }
    TJobJournal journal;
    std::unique_ptr<TJournalFileOps> journaled;
    // Whatever ends the run (also an exception), the engine lets go of this run's objects.
    struct Reset
    {
        TBatchRun *run;
        TFileOps *base;
        ~Reset()
        {
            base->SetProgressHook({});
            base->SetBatchedSync(false);
            run->m_pendingSteps.clear();
            run->m_ops = nullptr;
            run->m_journalOps = nullptr;
            run->m_running = false;
        }
    } reset{this, base};

    // 1. Start of the run.
    m_log.AddFormatted(QStringLiteral("Datum: %s"), {LogDateTimeText()});
    m_log.AddLine(QStringLiteral(" "));
    m_jobFailed = false;
    m_cancelRequested = false;

    m_ops = base;
    if (!base->TouchesFiles())
        m_log.AddLine(QStringLiteral(
            "Dry run: no file is changed; the lines below say what the job would do"));
    if (base->TouchesFiles() && openJournal(journal, settings)) {
        journaled = std::make_unique<TJournalFileOps>(*base, journal);
        m_journalOps = journaled.get();
        m_ops = journaled.get();
    }
    // Copies and moves across volumes are synced many at a time (settlePending).
    m_ops->SetBatchedSync(true);
    // A long copy lets events through between its chunks, at most every 25 ms.
    base->SetProgressHook([this] {
        if (nowMs() - m_lastStatusMs >= 25) {
            m_lastStatusMs = nowMs();
            m_progress.ShowStatus(m_status);
        }
    });

    setStatus(QStringLiteral("Searching for data"));
    m_progress.BeginPhase(m_status, m_entries.Registry.Count() - 1, 1);
    ClearHolderFlags(m_entries.Registry);
    CreateMissingFolders(settings.FolderMask);

    // 3. The entries, in the order the caller sorted them.
    for (int i = 0; i < m_entries.Registry.Count(); ++i) {
        if (m_cancelRequested) {
            m_log.AddFormatted(QStringLiteral("Canceled by request"), {}, logcolor::Red);
            m_jobFailed = true;
            break;
        }
        if (TDatensatz *e = m_entries.Registry.At(i))
            processEntry(e);
    }
    settlePending();
    produceFiles();
    removeRebuildableFiles();
    if (m_journalOps)
        m_journalOps->SetEntryNumber(-1);
    if (const auto *real = dynamic_cast<const TRealFileOps *>(base);
        real && real->UsedCheckedRenames())
        m_log.AddLine(
            QStringLiteral("The file system cannot rename without the risk of replacing a file: "
                           "every target name was tested just before its rename"));

    finish();
    if (journal.IsOpen())
        closeJournal(journal);
    journaled.reset();
    m_ops = nullptr;
    m_journalOps = nullptr;
    m_running = false;
    if (onDone)
        onDone();
}

bool TBatchRun::openJournal(TJobJournal &journal, const TBatchJobSettings &settings)
{
    QString error;
    if (!journal.Create(m_journalFolder.isEmpty() ? JournalFolder() : m_journalFolder, error)) {
        m_log.AddFormatted(QStringLiteral("The job journal could not be created: %s"), {error},
                           logcolor::Red);
        qCWarning(lcBatch) << "no job journal:" << error;
        return false;
    }
    m_journalPath = journal.Path();
    QJsonObject head;
    head.insert(QStringLiteral("event"), QStringLiteral("job"));
    head.insert(QStringLiteral("version"), 1);
    head.insert(QStringLiteral("started"), QDateTime::currentDateTime().toString(Qt::ISODate));
    head.insert(QStringLiteral("settings"), settingsJson(settings));
    journal.Append(head);
    return true;
}

void TBatchRun::closeJournal(TJobJournal &journal)
{
    QJsonObject end;
    end.insert(QStringLiteral("event"), QStringLiteral("end"));
    end.insert(QStringLiteral("failed"), m_jobFailed);
    end.insert(QStringLiteral("cancelled"), m_cancelRequested);
    journal.Append(end);
    journal.Close();
    m_log.AddLine(QStringLiteral(" "));
    m_log.AddFormatted(QStringLiteral("Journal of this job (duomira-cli undo reverses it): %s"),
                       {m_journalPath});
}

void TBatchRun::CreateMissingFolders(quint8 mask)
{
    const TNamingSettings &naming = m_entries.Naming;
    const struct
    {
        quint8 bit;
        QString folder;
    } folders[] = {
        {fbLeft, naming.FolderLeft}, {fbRight, naming.FolderRight}, {fbMono, naming.FolderMono}};
    TFileOps *ops = m_ops;
    std::unique_ptr<TRealFileOps> own;
    if (!ops) {
        own = std::make_unique<TRealFileOps>();
        ops = own.get();
    }
    for (const auto &f : folders) {
        if (!(mask & f.bit))
            continue;
        const TFileOpResult r = ops->CreateFolder(f.folder);
        if (r.ok && !ops->TouchesFiles())
            m_log.AddFormatted(r.created.isEmpty() ? QStringLiteral("Folder %s exists")
                                                   : QStringLiteral("Folder %s would be created"),
                               {f.folder});
        else if (r.ok)
            m_log.AddFormatted(QStringLiteral("Folder %s created"), {f.folder});
        else
            logFailure(QStringLiteral("Error creating folder %s"), {f.folder}, r.reason);
    }
}

void TBatchRun::processEntry(TDatensatz *e)
{
    if (IsGapAttribute(e->Attribute()) || !e->Batch()) {
        setStatus(QStringLiteral("Searching for data"));
        m_progress.StepProgress(m_status);
        return;
    }
    if (m_journalOps)
        m_journalOps->SetEntryNumber(e->Number());
    // Both targets once, before the first step. The destination comes from the entry's
    // target folder itself, not from a row's cached column text.
    const TBatchJobSettings &s = m_settings;
    const QString sourceTarget = PathFolder(e->SourcePath()) + e->NewFileName();
    const QString folder = WithTrailingSeparator(e->TargetFolder());
    const QString destinationTarget = folder + e->DestinationFileName(s.RenameDestination);

    if (e->IsStereoView()) {
        stereoViewSteps(e, destinationTarget);
        return;
    }
    if (s.RenameSource && (s.CopyToDestination || !s.MoveToDestination))
        renameStep(e, sourceTarget);
    if (s.MoveToDestination)
        moveStep(e, destinationTarget);
    if (s.CopyToDestination)
        copyStep(e, destinationTarget);
    sourceRotationStep(e);
}

void TBatchRun::renameStep(TDatensatz *e, const QString &target)
{
    settlePending();
    setStatus(QStringLiteral("Renaming"));
    m_progress.StepProgress(m_status);
    const QString current = e->SourcePath();
    // The files turned or copied so far are known by device and inode; a job that did
    // neither yet (every rename-only job) needs no key, and each key costs a stat.
    const QString key = m_files.isEmpty() ? QString() : fileKey(current);
    const QVariantList args{e->Number(), SideText(e->Side()), current, target};
    if (!(e->HolderFlags() & hfRenamed)) {
        const std::vector<TExtraFile> extras =
            ExtraFilesOf(m_extraFiles, *e, TEntryStep::Rename, target);
        const TFileOpResult r = m_ops->Rename(current, target);
        if (r.ok) {
            if (r.unchanged)
                logUnchanged(e, current);
            else
                m_log.AddFormatted(QStringLiteral("Rename image-N° %d (%s): ") +
                                       QStringLiteral(": ") + Tab + QStringLiteral("%s ==> ") +
                                       Tab + QStringLiteral("%s"),
                                   args);
            if (!key.isEmpty())
                rekey(key, target);
            e->ReplacePath(target);
            extraFilesStep(e, extras);
        } else {
            logFailure(QStringLiteral("Error renaming image N°. %d (%s): ") + Tab +
                           QStringLiteral("%s ==> ") + Tab + QStringLiteral("%s"),
                       args, r.reason);
        }
        m_renamedFor.insert(e->OrgBild(), e->Number());
        e->SetHolderFlags(e->HolderFlags() | hfRenamed);
    } else if (m_settings.CompletePartners) {
        // The file was renamed for an earlier entry: this entry gets its own copy.
        const std::vector<TExtraFile> extras =
            ExtraFilesOf(m_extraFiles, *e, TEntryStep::Copy, target);
        TFileOpResult r = m_ops->Copy(current, target);
        if (r.pendingTicket > 0)
            r = settleOne(r.pendingTicket);
        if (r.ok) {
            if (r.unchanged)
                logUnchanged(e, current);
            else
                m_log.AddFormatted(QStringLiteral("Copy'ing of image %d (%s): ") +
                                       QStringLiteral(": ") + Tab + QStringLiteral("%s ==> ") +
                                       Tab + QStringLiteral("%s"),
                                   args);
            if (!r.unchanged) {
                FileState copied = m_files.value(key);
                copied.rotationTried = false;
                m_files.insert(fileKey(target), copied);
                extraFilesStep(e, extras);
            }
            e->AddPath(target);
        } else {
            logFailure(QStringLiteral("Error copy'ing image %d (%s): ") + Tab +
                           QStringLiteral("%s ==> ") + Tab + QStringLiteral("%s"),
                       args, r.reason);
        }
    } else {
        m_log.AddFormatted(QStringLiteral("N° %d shares the file renamed for N° %d"),
                           {e->Number(), m_renamedFor.value(e->OrgBild(), -1)});
    }
}

void TBatchRun::moveStep(TDatensatz *e, const QString &target)
{
    setStatus(QStringLiteral("Moving"));
    m_progress.StepProgress(m_status);
    const QString current = e->SourcePath();
    if (e->HolderFlags() & hfMoved)
        settlePending(); // the file it was moved to must be there
    const QString key = fileKey(current);
    const QVariantList args{e->Number(), SideText(e->Side()), current, target};
    if (e->HolderFlags() & hfMoved) {
        // The file was moved for an earlier entry; this entry gets a copy of it.
        setStatus(QStringLiteral("Copy'ing"));
        m_progress.ShowStatus(m_status);
        const std::vector<TExtraFile> extras =
            ExtraFilesOf(m_extraFiles, *e, TEntryStep::Copy, target);
        TFileOpResult r = m_ops->Copy(current, target);
        if (r.pendingTicket > 0)
            r = settleOne(r.pendingTicket);
        if (!r.ok) {
            logFailure(QStringLiteral("Error copy'ing image %d (%s): ") + Tab +
                           QStringLiteral("%s ==> ") + Tab + QStringLiteral("%s"),
                       args, r.reason);
            return;
        }
        m_resultPath.insert(e, target);
        if (r.unchanged) {
            logUnchanged(e, current);
            return;
        }
        m_log.AddFormatted(QStringLiteral("Copy'ing of image %d (%s): ") + QStringLiteral(": ") +
                               Tab + QStringLiteral("%s ==> ") + Tab + QStringLiteral("%s"),
                           args);
        FileState copied = m_files.value(key);
        copied.rotationTried = false;
        m_files.insert(fileKey(target), copied);
        extraFilesStep(e, extras);
        if (m_settings.RotateDestination)
            rotateToEntry(e, target);
        return;
    }
    const std::vector<TExtraFile> extras = ExtraFilesOf(m_extraFiles, *e, TEntryStep::Move, target);
    const TFileOpResult r = m_ops->Move(current, target);
    if (!r.ok) {
        logFailure(QStringLiteral("Error moving image %d (%s)") + Tab + QStringLiteral("%s ==> ") +
                       Tab + QStringLiteral("%s"),
                   args, r.reason);
        return;
    }
    e->ReplacePath(target);
    m_resultPath.insert(e, target);
    e->SetHolderFlags(e->HolderFlags() | hfMoved);
    extraFilesStep(e, extras);
    if (r.pendingTicket > 0) {
        // Logged when it settles; a failure then puts the entry back on its source.
        m_pendingSteps.insert(r.pendingTicket, {e, key, {}});
        if (m_ops->SettleDue() || (m_settings.RotateDestination && e->Rotation() > 0))
            settlePending();
        if (!m_resultPath.contains(e))
            return;
    } else {
        if (r.unchanged)
            logUnchanged(e, current);
        else
            logMoved(e, current, target);
        rekey(key, target);
    }
    if (m_settings.RotateDestination && e->Rotation() > 0) {
        rotateToEntry(e, target);
        // The moved file is the one in the source's place: it is not turned again.
        e->SetHolderFlags(e->HolderFlags() | hfRotated);
    }
}

void TBatchRun::logMoved(TDatensatz *e, const QString &from, const QString &to)
{
    m_log.AddFormatted(QStringLiteral("Moving image %d (%s)") + QStringLiteral(": ") + Tab +
                           QStringLiteral("%s ==> ") + Tab + QStringLiteral("%s"),
                       {e->Number(), SideText(e->Side()), from, to});
}

void TBatchRun::logCopied(TDatensatz *e, const QString &from, const QString &to)
{
    m_log.AddFormatted(QStringLiteral("Copy'ing of image %d (%s): ") + QStringLiteral(": ") + Tab +
                           QStringLiteral("%s ==> ") + Tab + QStringLiteral("%s"),
                       {e->Number(), SideText(e->Side()), from, to});
}

TFileOpResult TBatchRun::settleOne(int ticket)
{
    // Called with nothing else pending: the steps before settled what was.
    for (const TSettledOp &op : m_ops->Settle()) {
        if (op.ticket == ticket)
            return op.result;
    }
    return TFileOpResult::Failure(EIO);
}

void TBatchRun::settlePending()
{
    if (m_pendingSteps.isEmpty() || !m_ops)
        return;
    for (const TSettledOp &op : m_ops->Settle()) {
        const PendingStep step = m_pendingSteps.take(op.ticket);
        TDatensatz *e = step.entry;
        if (!e)
            continue;
        if (step.extra) {
            logExtra(e, op.kind, op.from, op.to, op.result);
            continue;
        }
        const QVariantList args{e->Number(), SideText(e->Side()), op.from, op.to};
        const bool move = op.kind == TFileOpKind::Move;
        if (!op.result.ok) {
            logFailure(move ? QStringLiteral("Error moving image %d (%s)") + Tab +
                                  QStringLiteral("%s ==> ") + Tab + QStringLiteral("%s")
                            : QStringLiteral("Error copy'ing image %d (%s): ") + Tab +
                                  QStringLiteral("%s ==> ") + Tab + QStringLiteral("%s"),
                       args, op.result.reason);
            m_resultPath.remove(e);
            if (move) {
                e->ReplacePath(op.from);
                e->SetHolderFlags(e->HolderFlags() & ~hfMoved);
            }
            continue;
        }
        if (move) {
            logMoved(e, op.from, op.to);
            rekey(step.oldKey, op.to);
        } else {
            logCopied(e, op.from, op.to);
            m_files.insert(fileKey(op.to), step.state);
        }
    }
}

void TBatchRun::copyStep(TDatensatz *e, const QString &target)
{
    setStatus(QStringLiteral("Copy'ing"));
    m_progress.StepProgress(m_status);
    // Both rotations: the source is turned first and the copy carries the turn.
    if (m_settings.RotateSource && m_settings.RotateDestination && e->Rotation() > 0)
        sourceRotationStep(e);
    const QString current = e->SourcePath();
    const QVariantList args{e->Number(), SideText(e->Side()), current, target};
    const std::vector<TExtraFile> extras = ExtraFilesOf(m_extraFiles, *e, TEntryStep::Copy, target);
    const TFileOpResult r = m_ops->Copy(current, target);
    if (!r.ok) {
        logFailure(QStringLiteral("Error copy'ing image %d (%s): ") + Tab +
                       QStringLiteral("%s ==> ") + Tab + QStringLiteral("%s"),
                   args, r.reason);
        return;
    }
    m_resultPath.insert(e, target);
    if (r.unchanged) {
        logUnchanged(e, current);
        return;
    }
    m_progress.ShowStatus(m_status);
    extraFilesStep(e, extras);
    FileState copied = m_files.isEmpty() ? FileState() : m_files.value(fileKey(current));
    copied.rotationTried = false;
    if (r.pendingTicket > 0) {
        // Logged when it settles, as a copy or as a failure.
        m_pendingSteps.insert(r.pendingTicket, {e, QString(), copied});
        if (m_ops->SettleDue() || m_settings.RotateDestination)
            settlePending();
        if (!m_resultPath.contains(e))
            return;
    } else {
        logCopied(e, current, target);
        m_files.insert(fileKey(target), copied);
    }
    if (m_settings.RotateDestination)
        rotateToEntry(e, target);
}

void TBatchRun::stereoViewSteps(TDatensatz *e, const QString &destinationTarget)
{
    const TBatchJobSettings &s = m_settings;
    const QString stereoFile = e->SourcePath();
    if (s.CopyToDestination || s.MoveToDestination) {
        setStatus(QStringLiteral("Copy'ing"));
        m_progress.StepProgress(m_status);
        const std::vector<TExtraFile> files = ExtraFilesOf(
            m_extraFiles, *e, s.MoveToDestination ? TEntryStep::Move : TEntryStep::Copy,
            destinationTarget);
        if (files.empty()) {
            logFailure(QStringLiteral("The view of image N° %d (%s) cannot be written: ") + Tab +
                           QStringLiteral("%s"),
                       {e->Number(), SideText(e->Side()), stereoFile},
                       QStringLiteral("its stereo file cannot be split"));
            return;
        }
        const bool failedBefore = m_jobFailed;
        m_jobFailed = false;
        extraFilesStep(e, files);
        if (!m_jobFailed)
            m_resultPath.insert(e, destinationTarget);
        m_jobFailed = m_jobFailed || failedBefore;
        if (s.RotateDestination && m_resultPath.contains(e))
            rotateToEntry(e, destinationTarget);
        return;
    }
    // A rename keeps the stereo file one file, under its pair's new name (listed on one
    // view); a turn would lose its second picture, so its rotation stays pending.
    if (s.RenameSource && !renameStereoFile(e))
        m_log.AddFormatted(QStringLiteral("Stereo file of image N° %d (%s) keeps its name: ") +
                               Tab + QStringLiteral("%s"),
                           {e->Number(), SideText(e->Side()), stereoFile});
    if (s.RotateSource && e->Rotation() > 0)
        m_log.AddFormatted(
            QStringLiteral("Not rotated by %s, image N°. %d (%s): ") + Tab + QStringLiteral("%s") +
                Tab +
                QStringLiteral(
                    " (a stereo file is never turned; the rotation stays for its view files)"),
            {rotationText(e->Rotation() % 4), e->Number(), SideText(e->Side()), stereoFile});
}

void TBatchRun::removeRebuildableFiles()
{
    for (const auto &[e, extra] : std::exchange(m_removals, {})) {
        if (m_journalOps)
            m_journalOps->SetEntryNumber(e->Number());
        const TFileOpResult r = m_ops->RemoveStereo(extra.source, extra.remainder, extra.parts);
        logExtra(e, TFileOpKind::RemoveStereo, extra.source, QString(), r);
        if (r.ok && m_ops->TouchesFiles())
            repointViews(e);
    }
}

void TBatchRun::repointViews(TDatensatz *e)
{
    // The stereo file is gone: its views' entries become entries of the view files written
    // for them, as if those had been loaded (a moved picture's entry follows its file too).
    for (TDatensatz *view : {e, e->Partner()}) {
        if (!view || !view->IsStereoView() || !m_resultPath.contains(view))
            continue;
        view->OrgBild()->Part = TPicturePart{};
        view->ReplacePath(m_resultPath.value(view));
        view->ReloadMetadata();
    }
}

bool TBatchRun::renameStereoFile(TDatensatz *e)
{
    const QString stereoFile = e->SourcePath();
    const auto listsRename = [&](const TDatensatz &view) {
        const std::vector<TExtraFile> extras = ExtraFilesOf(
            m_extraFiles, view, TEntryStep::Rename, PathFolder(stereoFile) + view.NewFileName());
        for (const TExtraFile &extra : extras)
            if (extra.kind == TExtraFileKind::Rename && extra.source == stereoFile)
                return extras;
        return std::vector<TExtraFile>{};
    };
    // The other view's entry renames it (or did, and this one follows the file already).
    TDatensatz *other = e->Partner();
    if (m_renamedStereo.contains(e) || (other && !listsRename(*other).empty()))
        return true;
    const std::vector<TExtraFile> extras = listsRename(*e);
    if (extras.empty())
        return false;
    setStatus(QStringLiteral("Renaming"));
    m_progress.StepProgress(m_status);
    const bool failedBefore = m_jobFailed;
    m_jobFailed = false;
    extraFilesStep(e, extras);
    const bool renamed = !m_jobFailed;
    m_jobFailed = m_jobFailed || failedBefore;
    if (!renamed || !m_ops->TouchesFiles())
        return true; // the failure is in the log; a dry run only plans it
    QString target;
    for (const TExtraFile &extra : extras)
        if (extra.kind == TExtraFileKind::Rename && extra.source == stereoFile)
            target = extra.target;
    // Both views' entries follow the file, each through its own holder.
    for (TDatensatz *view : {e, other}) {
        if (view && view->IsStereoView() && view->SourcePath() == stereoFile) {
            view->ReplacePath(target);
            m_renamedStereo.insert(view);
        }
    }
    return true;
}

void TBatchRun::extraFilesStep(TDatensatz *e, const std::vector<TExtraFile> &extras)
{
    for (const TExtraFile &extra : extras) {
        TFileOpKind kind = TFileOpKind::Copy;
        TFileOpResult r;
        switch (extra.kind) {
        case TExtraFileKind::Rename:
            settlePending(); // a rename finds its file where the log says it is
            kind = TFileOpKind::Rename;
            r = m_ops->Rename(extra.source, extra.target);
            break;
        case TExtraFileKind::Copy:
            r = m_ops->Copy(extra.source, extra.target);
            break;
        case TExtraFileKind::Move:
            kind = TFileOpKind::Move;
            r = m_ops->Move(extra.source, extra.target);
            break;
        case TExtraFileKind::Extract:
            kind = TFileOpKind::Extract;
            r = m_ops->Extract(extra.source, extra.ranges, extra.target);
            break;
        case TExtraFileKind::Create:
            kind = TFileOpKind::Create;
            r = m_ops->CreateFile(extra.target, extra.bytes);
            break;
        case TExtraFileKind::RemoveStereo:
            // After every entry: the parts may be written for entries still to come.
            m_removals.push_back({e, extra});
            continue;
        case TExtraFileKind::Produce:
            // After every entry: its files are then in their final state.
            m_produced.push_back({e, extra});
            continue;
        }
        if (r.ok && !extra.note.isEmpty())
            m_log.AddFormatted(QStringLiteral("Image N° %d (%s): %s"),
                               {e->Number(), SideText(e->Side()), extra.note});
        if (r.ok && r.pendingTicket > 0) {
            // Logged when it settles, like the entry's own copy.
            m_pendingSteps.insert(r.pendingTicket, {e, QString(), {}, true});
            if (m_ops->SettleDue())
                settlePending();
            continue;
        }
        logExtra(e, kind, extra.source, extra.target, r);
    }
}

void TBatchRun::logExtra(TDatensatz *e, TFileOpKind kind, const QString &from, const QString &to,
                         const TFileOpResult &r)
{
    const QVariantList args{e->Number(), SideText(e->Side()), from, to};
    const QString verb = kind == TFileOpKind::Rename         ? QStringLiteral("renaming")
                         : kind == TFileOpKind::Move         ? QStringLiteral("moving")
                         : kind == TFileOpKind::RemoveStereo ? QStringLiteral("removing")
                         : kind == TFileOpKind::Extract || kind == TFileOpKind::Create
                             ? QStringLiteral("writing")
                             : QStringLiteral("copy'ing");
    if (kind == TFileOpKind::RemoveStereo) {
        if (r.ok)
            m_log.AddFormatted(
                QStringLiteral("Removing the stereo file of image %d (%s): ") + Tab +
                    QStringLiteral("%s (its view files and the job journal rebuild it)"),
                {e->Number(), SideText(e->Side()), from});
        else
            logFailure(QStringLiteral("Error removing the stereo file of image %d (%s): ") + Tab +
                           QStringLiteral("%s"),
                       {e->Number(), SideText(e->Side()), from}, r.reason);
        return;
    }
    if (!r.ok) {
        logFailure(QStringLiteral("Error ") + verb + QStringLiteral(" a file of image %d (%s): ") +
                       Tab + QStringLiteral("%s ==> ") + Tab + QStringLiteral("%s"),
                   args, r.reason);
        return;
    }
    if (r.unchanged)
        return;
    QString text = verb;
    text[0] = text[0].toUpper();
    m_log.AddFormatted(text + QStringLiteral(" a file of image %d (%s): ") + Tab +
                           QStringLiteral("%s ==> ") + Tab + QStringLiteral("%s"),
                       args);
}

void TBatchRun::rotateToEntry(TDatensatz *e, const QString &path)
{
    settlePending();
    const int wanted = e->Rotation() > 0 ? e->Rotation() % 4 : 0;
    const QString key = fileKey(path);
    const int turns = (wanted - m_files.value(key).turned + 4) % 4;
    if (turns == 0)
        return;
    logSiblingsNotTurned(e, path, turns);
    if (rotationSkipped(e, path, turns)) {
        m_files[key].rotationTried = true;
        return;
    }
    const bool failed = RotateLossless(e, path, turns);
    rekey(key, path); // the turned file is a new file under the same name
    FileState &after = m_files[fileKey(path)];
    after.rotationTried = true;
    if (!failed) {
        after.turned = wanted;
        after.turnedFor = e->Number();
    }
    m_jobFailed = m_jobFailed || failed;
}

void TBatchRun::sourceRotationStep(TDatensatz *e)
{
    if (!m_settings.RotateSource || e->Rotation() <= 0)
        return;
    settlePending();
    const QString path = e->SourcePath();
    const int wanted = e->Rotation() % 4;
    const QString key = fileKey(path);
    const FileState state = m_files.value(key);
    if (state.turned == wanted)
        return;
    if (state.turned != 0) {
        // Two entries of one file want different turns: the file is not turned twice.
        logFailure(
            QStringLiteral("Image N° %d asks for a rotation by %s of a file already turned by %s "
                           "for N° %d: ") +
                Tab + QStringLiteral("%s"),
            {e->Number(), rotationText(wanted), rotationText(state.turned), state.turnedFor, path},
            QString());
        return;
    }
    if (state.rotationTried)
        return; // failed for an earlier entry of the same file, and reported then
    logSiblingsNotTurned(e, path, wanted);
    if (rotationSkipped(e, path, wanted)) {
        // Not a failure, and the entry keeps its rotation (the file was not turned).
        m_files[key].rotationTried = true;
        e->SetHolderFlags(e->HolderFlags() | hfRotated);
        return;
    }
    const bool failed = RotateLossless(e, path, wanted);
    rekey(key, path);
    FileState &after = m_files[fileKey(path)];
    after.rotationTried = true;
    if (!failed) {
        after.turned = wanted;
        after.turnedFor = e->Number();
        e->SetHolderFlags(e->HolderFlags() | hfRotated | hfReload);
    } else {
        // Marked as tried; hfReload stays clear so that the entry keeps its rotation and
        // a second run after fixing the cause turns the file then.
        e->SetHolderFlags(e->HolderFlags() | hfRotated);
    }
    m_jobFailed = m_jobFailed || failed;
}

bool TBatchRun::rotationSkipped(TDatensatz *e, const QString &path, int quarterTurns)
{
    // A planned copy does not exist yet; its content is the entry's file.
    const QString probe = QFileInfo::exists(path) ? path : e->SourcePath();
    QString kind;
    if (LosslessRotationApplies(probe, &kind))
        return false;
    m_log.AddFormatted(
        QStringLiteral("Not rotated by %s, image N°. %d (%s): ") + Tab + QStringLiteral("%s") +
            Tab + QStringLiteral(" (a %s file; lossless rotation works on JPEG files only)"),
        {rotationText(quarterTurns), e->Number(), SideText(e->Side()), path, kind});
    return true;
}

void TBatchRun::logSiblingsNotTurned(TDatensatz *e, const QString &path, int quarterTurns)
{
    // The other pictures of the shot (a RAW beside its JPEG) keep the orientation they have.
    for (const QString &tail : e->Siblings()) {
        if (IsSidecarTail(tail))
            continue;
        m_log.AddFormatted(QStringLiteral("Not rotated by %s, image N°. %d (%s): ") + Tab +
                               QStringLiteral("%s") + Tab +
                               QStringLiteral(" (a %s file of the shot; lossless rotation "
                                              "turns the JPEG file only)"),
                           {rotationText(quarterTurns), e->Number(), SideText(e->Side()),
                            SiblingPath(path, tail), PathExtension(tail).mid(1).toUpper()});
    }
}

bool TBatchRun::RotateLossless(TDatensatz *e, const QString &path, int quarterTurns)
{
    m_progress.ShowStatus(QStringLiteral("Rotating") + QStringLiteral("<FN><c6> (") +
                          MarkupLiteral(PathFileName(path)) + QStringLiteral(")"));
    TFileOps *ops = m_ops;
    std::unique_ptr<TRealFileOps> own;
    if (!ops) {
        own = std::make_unique<TRealFileOps>();
        ops = own.get();
    }
    const TRotateResult r = ops->Rotate(path, quarterTurns);
    const bool failed = r.Failed();
    const QString prefix = failed ? QStringLiteral("Error") + QStringLiteral(" ") + Tab : QString();
    const QString temporary =
        failed && r.temporaryLeft
            ? QStringLiteral("(") + PathFileName(r.temporaryPath) + QStringLiteral(")")
            : QString();
    m_log.AddFormatted(prefix + QStringLiteral("Rotate by %s of image N°. %d (%s): ") + Tab +
                           QStringLiteral("%s") + Tab + QStringLiteral(" >--> > %s %s"),
                       {rotationText(quarterTurns), e->Number(), SideText(e->Side()), path,
                        r.errorText, temporary},
                       failed ? logcolor::Red : logcolor::Black);
    if (!failed && r.Trimmed(quarterTurns)) {
        m_log.AddFormatted(
            QStringLiteral("Rotated image N° %d was trimmed from %d x %d to %d x %d pixels"),
            {e->Number(), r.before.width(), r.before.height(), r.after.width(), r.after.height()});
    }
    return failed;
}

void TBatchRun::finish()
{
    // 6.1 Files turned on disk: their metadata is read again and the entries' rotation
    // becomes what is still left to turn (0 when the file shows the entry's rotation).
    QSet<TDsOrgBild *> reloaded;
    // Entries excluded from the job count too: one that shares a turned file sees the turn
    // as well, and must not turn the file again in a later job.
    for (TDatensatz *e :
         m_files.isEmpty() ? std::vector<TDatensatz *>() : m_entries.Registry.Entries()) {
        if (IsGapAttribute(e->Attribute()))
            continue;
        const auto it = m_files.constFind(fileKey(e->SourcePath()));
        if (it == m_files.cend() || it->turned == 0)
            continue;
        const int left = ((e->Rotation() > 0 ? e->Rotation() : 0) - it->turned + 4) % 4;
        e->SetHolderFlags(e->HolderFlags() | hfReload);
        if (!reloaded.contains(e->OrgBild())) {
            reloaded.insert(e->OrgBild());
            e->ReloadMetadata();
        }
        e->SetRotation(left);
    }

    // 6.2 The SPM list.
    if (m_settings.WriteSpmList) {
        TSpmListRequest request;
        request.leftList = leftList();
        request.listFile = spmListPath();
        request.sourcePaths = !m_settings.CopyToDestination && !m_settings.MoveToDestination;
        request.renameSource = m_settings.RenameSource;
        request.renameDestination = m_settings.RenameDestination;
        request.destinationPath = [this](const TDatensatz *e) { return m_resultPath.value(e); };
        const TSpmListOutcome outcome = WriteSpmListFile(request, m_log, m_progress, *m_ops);
        if (outcome.writeFailed)
            m_jobFailed = true;
    }
}
