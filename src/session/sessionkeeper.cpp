#include "session/sessionkeeper.h"

#include "batch/fileops.h"
#include "entries/listrows.h"
#include "session/session.h"

#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

namespace {

bool writeWhole(const QString &path, const QByteArray &bytes, QString &error)
{
    TRealFileOps ops;
    const TFileOpResult r = ops.WriteFileReplacing(path, bytes);
    if (!r.ok)
        error = QStringLiteral("%1 could not be written: %2").arg(path, r.reason);
    return r.ok;
}

} // namespace

TSessionKeeper::TSessionKeeper(TSession &session, QObject *parent)
    : QObject(parent), m_session(session)
{
    m_worker.setMaxThreadCount(1);
    m_lookTimer.setSingleShot(true);
    m_lookTimer.setInterval(300);
    connect(&m_lookTimer, &QTimer::timeout, this, &TSessionKeeper::look);
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &TSessionKeeper::lookFinished);
    for (ListRowModel *list : {&session.Left(), &session.Right()}) {
        connect(list, &ListRowModel::rowsInserted, this, &TSessionKeeper::NoteChange);
        connect(list, &ListRowModel::rowsRemoved, this, &TSessionKeeper::NoteChange);
        connect(list, &ListRowModel::modelReset, this, &TSessionKeeper::NoteChange);
        connect(list, &ListRowModel::rowsChanged, this, &TSessionKeeper::NoteChange);
    }
    m_baseline = m_rows.Take(m_session).Fingerprint();
}

TSessionKeeper::~TSessionKeeper()
{
    m_watcher.waitForFinished();
    m_worker.waitForDone();
}

QString TSessionKeeper::DisplayName() const
{
    if (m_path.isEmpty())
        return QStringLiteral("Untitled");
    QString name = QFileInfo(m_path).fileName();
    if (name.endsWith(QLatin1String(".duomira")))
        name.chop(8);
    return name;
}

TSessionSnapshot TSessionKeeper::snapshot()
{
    TSessionSnapshot s = m_rows.Take(m_session).Expand();
    s.SavedAs = m_path;
    return s;
}

bool TSessionKeeper::Save(const QString &path, QString &error)
{
    Flush();
    TSessionSnapshot s = snapshot();
    s.SavedAs.clear();
    if (!writeWhole(path, WriteSessionFile(s), error))
        return false;
    const bool renamed = path != m_path;
    m_path = path;
    setBaseline(SessionFingerprint(s), false);
    DropRecovery();
    if (renamed)
        Q_EMIT filePathChanged(m_path);
    return true;
}

TSessionOpenOutcome TSessionKeeper::applyFile(const QString &path,
                                              const std::function<void()> &clearLists,
                                              const TGflLibrary *gfl, bool recovered)
{
    TSessionOpenOutcome outcome;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        outcome.Error = QStringLiteral("%1 cannot be opened: %2").arg(path, file.errorString());
        return outcome;
    }
    if (file.size() > SessionFileMaxBytes) {
        outcome.Error = QStringLiteral("%1 is larger than any session file").arg(path);
        return outcome;
    }
    const TSessionReadResult read = ReadSessionFile(file.readAll());
    if (!read.Ok) {
        outcome.Error =
            QStringLiteral("%1 is not a session this program can open: %2").arg(path, read.Error);
        return outcome;
    }
    Flush();
    if (clearLists)
        clearLists();
    outcome.Report = ApplySessionSnapshot(m_session, read.Snapshot, gfl);
    outcome.Ok = true;
    m_path = recovered ? read.Snapshot.SavedAs : path;
    // Opening is no change; restored work is unsaved until it is saved.
    const quint64 now = m_rows.Take(m_session).Fingerprint();
    setBaseline(recovered ? ~now : now, recovered);
    m_keepRecovery = false;
    m_lookTimer.stop();
    if (recovered)
        NoteChange();
    Q_EMIT filePathChanged(m_path);
    return outcome;
}

TSessionOpenOutcome TSessionKeeper::Open(const QString &path,
                                         const std::function<void()> &clearLists,
                                         const TGflLibrary *gfl)
{
    TSessionOpenOutcome outcome = applyFile(path, clearLists, gfl, false);
    if (outcome.Ok)
        DropRecovery();
    return outcome;
}

TSessionOpenOutcome TSessionKeeper::Restore(const QString &recoveryPath,
                                            const std::function<void()> &clearLists,
                                            const TGflLibrary *gfl)
{
    return applyFile(recoveryPath, clearLists, gfl, true);
}

bool TSessionKeeper::isDirty(quint64 fingerprint, quint64 baseline, bool untitled, bool empty)
{
    // An untitled session without rows holds no work, whatever its settings (which the
    // settings file keeps anyway).
    if (untitled && empty)
        return false;
    return fingerprint != baseline;
}

bool TSessionKeeper::IsDirty()
{
    const TSessionRows rows = m_rows.Take(m_session);
    const bool dirty = isDirty(rows.Fingerprint(), m_baseline, m_path.isEmpty(), rows.Empty());
    setDirtyShown(dirty);
    return dirty;
}

void TSessionKeeper::NoteChange()
{
    m_keepRecovery = false;
    if (m_watcher.isRunning())
        m_lookAgain = true;
    else if (!m_lookTimer.isActive())
        m_lookTimer.start();
}

bool TSessionKeeper::ConfirmLoseWork(TLoseWorkPath, const std::function<TLoseWorkAnswer()> &ask,
                                     const std::function<QString()> &chooseSavePath, QString &error)
{
    if (!IsDirty())
        return true;
    switch (ask()) {
    case TLoseWorkAnswer::Cancel:
        return false;
    case TLoseWorkAnswer::Discard:
        return true;
    case TLoseWorkAnswer::Save:
        break;
    }
    QString path = m_path;
    if (path.isEmpty() && chooseSavePath)
        path = chooseSavePath();
    if (path.isEmpty())
        return false;
    return Save(path, error);
}

bool TSessionKeeper::EnableRecovery(const QString &folder, QString &error)
{
    return m_recovery.Claim(folder, error);
}

void TSessionKeeper::SetTimings(std::chrono::milliseconds look,
                                std::chrono::milliseconds writeInterval)
{
    m_lookTimer.setInterval(int(look.count()));
    m_writeInterval = writeInterval;
}

TSessionKeeper::LookResult TSessionKeeper::lookAt(const TSessionSnapshot &s, const LookTask &task)
{
    LookResult r;
    r.Sequence = task.Sequence;
    r.Fingerprint = SessionFingerprint(s);
    r.Dirty = isDirty(r.Fingerprint, task.Baseline, task.Untitled,
                      s.Lists[0].empty() && s.Lists[1].empty());
    if (task.Target.isEmpty() || task.Keep)
        return r;
    if (!r.Dirty) {
        r.Removed = task.LastWritten != 0 && QFile::remove(task.Target);
    } else if (r.Fingerprint != task.LastWritten && task.WriteDue) {
        r.Written = writeWhole(task.Target, WriteSessionFile(s), r.Error);
    }
    return r;
}

TSessionKeeper::LookTask TSessionKeeper::task(bool writeDue)
{
    LookTask t;
    t.Sequence = ++m_lookSequence;
    t.Target = m_recovery.IsClaimed() ? m_recovery.Path() : QString();
    t.WriteDue = writeDue;
    t.Baseline = m_baseline;
    t.LastWritten = m_lastWritten;
    t.Keep = m_keepRecovery;
    t.Untitled = m_path.isEmpty();
    return t;
}

void TSessionKeeper::look()
{
    if (m_watcher.isRunning()) {
        m_lookAgain = true;
        return;
    }
    QElapsedTimer cost;
    cost.start();
    auto rows = std::make_shared<const TSessionRows>(m_rows.Take(m_session));
    const LookTask t =
        task(!m_sinceWrite.isValid() || m_sinceWrite.elapsed() >= m_writeInterval.count());
    m_watcher.setFuture(QtConcurrent::run(&m_worker, [rows, t, savedAs = m_path] {
        TSessionSnapshot s = rows->Expand();
        s.SavedAs = savedAs;
        return lookAt(s, t);
    }));
    m_lastLookCost = std::chrono::nanoseconds(cost.nsecsElapsed());
}

bool TSessionKeeper::applyResult(const LookResult &r)
{
    if (r.Sequence <= m_appliedSequence)
        return false;
    m_appliedSequence = r.Sequence;
    setDirtyShown(r.Dirty);
    if (r.Written) {
        m_lastWritten = r.Fingerprint;
        m_sinceWrite.restart();
        ++m_recoveryWrites;
        m_failing = false;
    } else if (r.Removed) {
        m_lastWritten = 0;
    } else if (!r.Error.isEmpty()) {
        if (!m_failing)
            Q_EMIT recoveryFailed(r.Error);
        m_failing = true;
    }
    return true;
}

void TSessionKeeper::lookFinished()
{
    const LookResult r = m_watcher.result();
    if (!applyResult(r))
        return;
    // Newer work than the recovery file holds: look again once a write is due.
    const bool pending =
        m_recovery.IsClaimed() && !m_keepRecovery && r.Dirty && r.Fingerprint != m_lastWritten;
    if (m_lookAgain || pending) {
        m_lookAgain = false;
        const qint64 sinceWrite =
            m_sinceWrite.isValid() ? m_sinceWrite.elapsed() : m_writeInterval.count();
        const qint64 wait =
            std::max<qint64>(m_lookTimer.interval(), m_writeInterval.count() - sinceWrite);
        m_lookTimer.start(int(wait));
    }
}

void TSessionKeeper::Flush()
{
    if (m_watcher.isRunning() || m_watcher.isFinished()) {
        m_watcher.waitForFinished();
        if (!m_watcher.future().isCanceled() && m_watcher.future().resultCount() > 0)
            applyResult(m_watcher.result());
    }
    if (m_lookTimer.isActive() || m_lookAgain) {
        m_lookTimer.stop();
        m_lookAgain = false;
        applyResult(lookAt(snapshot(), task(true)));
    }
}

bool TSessionKeeper::WriteRecoveryNow()
{
    Flush();
    const LookResult r = lookAt(snapshot(), task(true));
    applyResult(r);
    return r.Error.isEmpty();
}

void TSessionKeeper::DropRecovery()
{
    m_watcher.waitForFinished();
    m_recovery.Remove();
    m_lastWritten = 0;
}

void TSessionKeeper::setBaseline(quint64 fingerprint, bool dirty)
{
    m_baseline = fingerprint;
    setDirtyShown(dirty);
}

void TSessionKeeper::setDirtyShown(bool dirty)
{
    if (dirty == m_dirtyShown)
        return;
    m_dirtyShown = dirty;
    Q_EMIT dirtyChanged(dirty);
}
