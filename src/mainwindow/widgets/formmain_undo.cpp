// "Batch Job" > "Undo last batch job...": shows what undoing the newest job would do (in the
// job log window), asks, reverses the job through its journal exactly as duomira-cli undo
// does, reports what could not be undone, and lets the lists point at the files that went
// back to their old names and folders.
#include "mainwindow/widgets/formmain.h"

#include "batch/jobjournal.h"
#include "batch/protokoll.h"
#include "batch/undo.h"
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "session/idleprocessor.h"
#include "session/session.h"
#include "session/sessionkeeper.h"
#include "ui/dlgbox.h"
#include "ui/markup.h"
#include "ui/widgets/formdlgbox.h"

#include <QHash>

namespace {

void logReport(TProtokoll &log, const TUndoReport &report)
{
    for (const QString &line : report.lines) {
        const bool bad = line.startsWith(QLatin1String("left alone")) ||
                         line.startsWith(QLatin1String("failed"));
        log.AddLine(line, bad ? logcolor::Red : logcolor::Black);
    }
}

} // namespace

void TFormMain::undoLastBatchJob()
{
    if (orderingRunning())
        return;
    const QString journal = LastUndoableJob(JournalFolder());
    if (journal.isEmpty()) {
        ShowDlgBox(QStringLiteral("There is no batch job to undo."), DlgKind::Information,
                   DlgButton::OK, this);
        return;
    }
    QString undoJournal;
    QString warning;
    const TUndoReport plan = UndoJobJournaled(journal, true, undoJournal, warning);
    if (!plan.journalRead) {
        ShowDlgBox(MarkupLiteral(journal + QStringLiteral(": ") + plan.error), DlgKind::Error,
                   DlgButton::OK, this);
        return;
    }
    TProtokoll &log = m_session->JobLog();
    log.Clear();
    log.AddLine(QStringLiteral("Undo of the batch job ") + journal + QStringLiteral(" would:"),
                logcolor::Blue, LogStyle::Bold);
    logReport(log, plan);
    showLogWindow();
    const int answer = ShowDlgBox(
        literalLines(
            QStringLiteral(
                "Undo the last batch job?\n\n%1 operation(s) would be reversed, %2 left alone "
                "(changed since the job). The log window lists them.")
                .arg(plan.undone)
                .arg(plan.leftAlone)),
        DlgKind::Confirmation, DlgButton::Yes | DlgButton::No, this);
    if (answer != DlgResult::Yes)
        return;

    m_idle->Hold();
    const TUndoReport done = UndoJobJournaled(journal, false, undoJournal, warning);
    log.AddLine(QStringLiteral("Undo of the batch job ") + journal + QStringLiteral(":"),
                logcolor::Blue, LogStyle::Bold);
    logReport(log, done);
    if (!warning.isEmpty())
        log.AddLine(warning, logcolor::Red);
    if (!undoJournal.isEmpty())
        log.AddLine(QStringLiteral("Journal of this undo: ") + undoJournal);

    // The entries follow their files back.
    QHash<QString, QString> back;
    for (const auto &[from, to] : done.restored)
        back.insert(from, to);
    TDatensatzList &registry = m_session->Registry();
    for (int i = 0; i < registry.Count(); ++i) {
        TDatensatz *e = registry.At(i);
        const auto it = back.constFind(e->SourcePath());
        if (IsGapAttribute(e->Attribute()) || it == back.constEnd())
            continue;
        e->ReplacePath(*it);
        e->ReloadMetadata();
    }
    m_idle->Resume();
    m_idle->SetRefreshPending();
    MarkPreviewsDirty();
    m_keeper->NoteChange();
    showLogWindow();
    if (done.Complete())
        ShowDlgBox(
            QStringLiteral("The batch job was undone: %1 operation(s) reversed.").arg(done.undone),
            DlgKind::Information, DlgButton::OK, this);
    else
        ShowDlgBox(
            MarkupLiteral(
                QStringLiteral("Not everything could be undone: %1 reversed, %2 left alone, %3 "
                               "failed. The log window says which and why.")
                    .arg(done.undone)
                    .arg(done.leftAlone)
                    .arg(done.failed)),
            DlgKind::Warning, DlgButton::OK, this);
}
