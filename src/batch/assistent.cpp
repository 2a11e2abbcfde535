#include "batch/assistent.h"
#include "entries/entrystore.h"

#include "batch/spmlistsetting.h"
#include "batch/stereojob.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/namingsettings.h"
#include "imaging/libgfl.h"

TAssistentController::TAssistentController(TBatchContext context, TAssistentHost &host,
                                           const TVolumeSource &volumes)
    : m_context(context), m_log(context.Log), m_host(host), m_volumes(volumes), m_space(volumes), m_shared(volumes)
{
    // The choices of a first start.
    m_choice.fill(1);
    m_choice[pgRenameDest] = 2;
}

void TAssistentController::SetEntrySource(std::function<std::vector<TDatensatz *>()> entries)
{
    m_entries = std::move(entries);
}

void TAssistentController::SetGflAvailable(std::function<bool()> available)
{
    m_gflAvailable = std::move(available);
}

std::vector<TDatensatz *> TAssistentController::entries() const
{
    return m_entries ? m_entries() : m_context.Entries.Registry.Entries();
}

// ---- Wizard operations ----

void TAssistentController::ShowWizard()
{
    m_autoAdvance = false;
    m_cancelRequested = false;
    // Folders typed as "~/..." are the user's home; the checks and the run need full paths.
    TNamingSettings &naming = m_context.Entries.Naming;
    for (QString *folder : {&naming.FolderLeft, &naming.FolderRight, &naming.FolderMono})
        *folder = ExpandUserPath(*folder);
    m_context.SpmListFile = ExpandUserPath(m_context.SpmListFile);
    // The targets are read from the rows; a change of folders or suffixes may not have
    // reached them yet.
    RefreshAllEntries(m_context.Entries.Registry);
    m_rotationCount = CountRotations(entries());
    m_unrotatableCount = m_rotationCount > 0 ? CountUnrotatable(entries()) : 0;
    m_stereoCount = CountStereoFiles(entries());
    GoToStep(1, false);
}

void TAssistentController::RecordCode(TAssistentCode code)
{
    m_history.push_back(code);
    m_host.StateChanged();
}

bool TAssistentController::HasCode(TAssistentCode code) const
{
    return m_history.contains(code);
}

QVector<TProtokollLine> TAssistentController::HistoryLines() const
{
    QVector<TProtokollLine> lines;
    for (qsizetype i = 0; i < m_history.size(); ++i) {
        const TAssistentCode k = m_history[i];
        if (IsStepCode(k)) {
            if (i > 0)
                lines.push_back({QStringLiteral(" ")});
            lines.push_back({AssistentCodeText(k), logcolor::Blue, LogStyle::Bold});
        } else {
            lines.push_back({AssistentCodeText(k)});
        }
    }
    return lines;
}

TBatchJobSettings TAssistentController::Settings() const
{
    TBatchJobSettings s;
    s.CopyToDestination = HasCode(acCopy);
    s.MoveToDestination = HasCode(acMove);
    s.FolderMask = s.CopyToDestination || s.MoveToDestination ? m_folders.MissingFolders : 0;
    s.CompletePartners = HasCode(acCompletePartners);
    s.WriteSpmList = HasCode(acWriteSpmList);
    s.RotateDestination = HasCode(acRotateDest);
    s.RotateSource = HasCode(acRotateSource);
    s.RenameDestination = HasCode(acRenameDest);
    s.RenameSource = HasCode(acRenameSource);
    s.KeepPartnersIncomplete = HasCode(acKeepIncomplete);
    return s;
}

void TAssistentController::showPageWith(int code, int page, std::array<int, 3> options, bool back)
{
    m_nextSteps[page] = {0, options[0], options[1], options[2]};
    if (!back)
        RecordCode(TAssistentCode(code));
    ShowPage(page);
}

void TAssistentController::retry(int step)
{
    if (!m_history.isEmpty())
        m_history.removeLast();
    GoToStep(step, false);
}

void TAssistentController::folderStep(int code, std::array<int, 3> options, int after, bool back)
{
    m_folders.Run(entries(), m_context.Entries.Naming);
    if (m_folders.MissingFolders != 0 && m_context.Entries.Naming.CreateMissingFolders) {
        RecordCode(acCreateMissingFolders);
        GoToStep(after, false);
    } else if (m_folders.MissingFolders != 0) {
        m_host.PreparePage(pgChkDirectory);
        showPageWith(code, pgChkDirectory, options, back);
    } else {
        if (!m_history.isEmpty() && m_history.last() == code)
            m_history.removeLast();
        GoToStep(after, false);
    }
}

void TAssistentController::GoToStep(int code, bool back)
{
    const bool rotateOk = m_rotationCount > 0 && (m_gflAvailable ? m_gflAvailable() : GflAvailable());
    auto record = [this](int answer, int next) {
        RecordCode(TAssistentCode(answer));
        GoToStep(next, false);
    };
    switch (code) {
    case 1:
        m_host.PreparePage(pgSpeicherort);
        m_history.clear();
        m_nextSteps[pgSpeicherort] = {0, 2, 3, 4};
        RecordCode(1);
        ShowPage(pgSpeicherort);
        break;
    case 2: record(acCopyMoveNothing, 5); break;
    case 3: record(acMove, 15); break;
    case 4: record(acCopy, 6); break;
    case 5: showPageWith(code, pgRenameSource, {12, 13, 0}, back); break;
    case 6: showPageWith(code, pgRenameSource, {32, 33, 0}, back); break;
    case 7: showPageWith(code, pgRenameDest, {35, 36, 0}, back); break;
    case 8: showPageWith(code, pgRenameDest, {37, 38, 0}, back); break;
    case 9:
    case 34:
        if (rotateOk)
            showPageWith(code, pgDrehenScr, {40, 42, 0}, back);
        else
            GoToStep(49, false);
        break;
    case 10:
    case 11:
        m_sharedMode = code == 10 ? 1 : 2;
        m_sharedCount = ComputeSharedFiles(entries(), m_sharedMode, m_shared);
        if (m_sharedCount == 0)
            GoToStep(code == 10 ? 34 : 19, false);
        else if (code == 10)
            showPageWith(code, pg1zuNSource, {46, 47, 0}, back);
        else
            showPageWith(code, pg1zuNSource, {44, 45, 0}, back);
        break;
    case 12: record(acDontRenameSource, 9); break;
    case 13: record(acRenameSource, 10); break;
    case 14:
        m_autoAdvance = false;
        retry(15);
        break;
    case 15: folderStep(code, {16, 14, 17}, 23, back); break;
    case 16: record(acDontCreateFolders, 23); break;
    case 17: record(acCreateFolders, 23); break;
    case 18:
        m_autoAdvance = false;
        retry(19);
        break;
    case 19: folderStep(code, {20, 18, 21}, 25, back); break;
    case 20: record(acDontCreateFolders, 25); break;
    case 21: record(acCreateFolders, 25); break;
    case 22: retry(23); break;
    case 23:
    case 25:
        CheckSpace(entries(), code == 25 && HasCode(acCompletePartners), code == 23, m_space, m_log,
                   m_context.ExtraFiles);
        m_nextSteps[pgChkDstSpace] = {0, code - 1, 0, 0};
        if (m_space.Insufficient()) {
            if (!back)
                RecordCode(TAssistentCode(code));
            ShowPage(pgChkDstSpace);
        } else {
            GoToStep(code == 23 ? 7 : 26, false);
        }
        break;
    case 24: retry(25); break;
    case 26:
        if (rotateOk)
            showPageWith(code, pgDrehenScr, {27, 28, 0}, back);
        else
            GoToStep(8, false);
        break;
    case 27: record(acDontRotateSource, 8); break;
    case 28: record(acRotateSource, 8); break;
    case 29: retry(30); break;
    case 30: {
        TNameCheckOptions o;
        o.KeepPartnersIncomplete = HasCode(acKeepIncomplete);
        o.MoveToDestination = HasCode(acMove);
        o.CopyToDestination = HasCode(acCopy);
        o.RenameSource = HasCode(acRenameSource);
        o.RenameDestination = HasCode(acRenameDest);
        o.WriteSpmList = HasCode(acWriteSpmList);
        o.SpmListFile = m_context.SpmListFile;
        o.LogFile = m_logFile;
        o.Volumes = &m_volumes;
        o.ExtraFiles = m_context.ExtraFiles;
        m_names = CheckNames(entries(), o, m_log);
        m_nextSteps[pgChkNamen] = {0, 29, 0, 0};
        if (m_names.ConflictCount() < 1) {
            GoToStep(52, false);
        } else {
            if (!back)
                RecordCode(30);
            ShowPage(pgChkNamen);
        }
        break;
    }
    case 31:
    case 39:
        if (rotateOk)
            showPageWith(code, pgDrehenDst, {41, 43, 0}, back);
        else
            GoToStep(49, false);
        break;
    case 32: record(acDontRenameSource, 19); break;
    case 33: record(acRenameSource, 11); break;
    case 35: record(acDontRenameDest, 31); break;
    case 36: record(acRenameDest, 31); break;
    case 37: record(acDontRenameDest, 39); break;
    case 38: record(acRenameDest, 39); break;
    case 40: record(acDontRotateSource, 49); break;
    case 41: record(acDontRotateDest, 49); break;
    case 42: record(acRotateSource, 49); break;
    case 43: record(acRotateDest, 49); break;
    case 44: record(acCompletePartners, 19); break;
    case 45: record(acKeepIncomplete, 19); break;
    case 46: record(acCompletePartners, 34); break;
    case 47: record(acKeepIncomplete, 34); break;
    case 49:
        // The field shows the path the list will really be written to.
        m_host.PreparePage(pgSpmListe);
        showPageWith(code, pgSpmListe, {50, 51, 0}, back);
        break;
    case 50: record(acWriteSpmList, 30); break;
    case 51: record(acNoSpmList, 30); break;
    case 52: showPageWith(code, pgBestAuftrag, {53, 0, 0}, back); break;
    case 53: startRun(back); break;
    case 54:
    case 55: {
        const bool success = code == 54;
        RecordCode(success ? acSuccessful : acIncomplete);
        const int page = success ? pgAuftragSucc : pgAuftragError;
        m_nextSteps[page] = {0, 56, 0, 0};
        closingLines(success);
        if (!back)
            RecordCode(TAssistentCode(code));
        ShowPage(page);
        if (!success)
            m_host.ShowLog();
        break;
    }
    case 56: m_host.CloseWizard(true); break;
    default: break;
    }
}

void TAssistentController::startRun(bool back)
{
    m_nextSteps[pgRun] = {0, 54, 55, 0};
    RecordCode(acScheduled);
    if (!back)
        RecordCode(53);
    m_log.ReplaceContents(HistoryLines());
    m_cancelRequested = false;
    m_jobFailed = false;
    m_running = true;
    ShowPage(pgRun);
    m_jobFailed = m_host.RunJob(Settings());
    m_running = false;
    // The run's end presses Next: on to the success or the incomplete-job page.
    Next();
    if (m_cancelRequested)
        m_host.CloseWizard(false);
}

void TAssistentController::closingLines(bool success)
{
    m_log.AddLine(QStringLiteral(" "));
    m_log.AddFormatted(QStringLiteral("Date: %s"), {LogDateTimeText()});
    if (success)
        m_log.AddLine(QStringLiteral("Batch Job was successful"), logcolor::Green, LogStyle::Bold);
    else
        m_log.AddLine(QStringLiteral("Batch Job incomplete"), logcolor::Red, LogStyle::Bold);
}

void TAssistentController::updateButtons()
{
    TAssistentButtons &b = m_buttons;
    b.PrevEnabled = m_history.size() > 1;
    b.NextEnabled = true;
    switch (m_page) {
    case pg1zuNSource:
        if (m_sharedMode == 1)
            b.NextEnabled = Choice(pg1zuNSource) == 2 || !m_shared.Insufficient();
        break;
    case pgRun:
        b.PrevEnabled = b.NextEnabled = false;
        break;
    case pgAuftragSucc:
    case pgAuftragError:
        b.PrevEnabled = false;
        break;
    default:
        break;
    }
    b.CancelEnabled = m_page != pgAuftragSucc && m_page != pgAuftragError;
    b.RetryVisible = m_page < pgRun && m_page != pgBestAuftrag;
    if (m_page == pgBestAuftrag)
        b.NextText = QStringLiteral("Finish");
    else if (m_page >= pgRun)
        b.NextText = QStringLiteral("Exit");
    else
        b.NextText = QStringLiteral("&Next");
}

void TAssistentController::ShowPage(int page)
{
    m_page = page;
    updateButtons();
    m_host.StateChanged();
    m_host.PageShown(page);
    if (!m_autoAdvance)
        return;
    // The replay stops where the user must look: the confirmation, every check page, and
    // any page whose Next the program may not press.
    if (page == pgBestAuftrag || page == pgChkDstSpace || page == pgChkNamen ||
        page == pgChkDirectory || !m_buttons.NextEnabled)
        m_autoAdvance = false;
    else
        Next();
}

int TAssistentController::nextStepOf(int page)
{
    int option = 1;
    switch (page) {
    case pgChkDirectory:
        // Checks again: 3 create, 2 still missing, 1 otherwise.
        m_folders.Run(entries(), m_context.Entries.Naming);
        option = Choice(pgChkDirectory) == 2 ? 3 : m_folders.MissingFolders != 0 ? 2 : 1;
        break;
    case pgRun:
        option = m_jobFailed ? 2 : 1;
        break;
    case pgBestAuftrag:
    case pgChkDstSpace:
    case pgChkNamen:
    case pgAuftragSucc:
    case pgAuftragError:
        option = 1;
        break;
    default:
        option = Choice(page);
        break;
    }
    return m_nextSteps[page][std::clamp(option, 1, 3)];
}

void TAssistentController::Next()
{
    if (m_page < 1 || m_page > AssistentPageCount)
        return;
    GoToStep(nextStepOf(m_page), false);
}

void TAssistentController::Retry()
{
    m_autoAdvance = true;
    Next();
}

void TAssistentController::Previous()
{
    m_autoAdvance = false;
    if (m_inPrevious || m_running)
        return;
    m_inPrevious = true;
    int k = 1;
    while (!m_history.isEmpty()) {
        m_history.removeLast();
        k = m_history.isEmpty() ? 1 : m_history.last();
        if (IsStepCode(k) || m_history.size() <= 1)
            break;
    }
    m_host.StateChanged();
    GoToStep(k, true);
    m_inPrevious = false;
}

void TAssistentController::Cancel()
{
    m_cancelRequested = true;
    if (m_running)
        m_host.RequestCancel();
    else
        m_host.CloseWizard(false);
}

// ---- Page state ----

int TAssistentController::Choice(int page) const
{
    return page >= 1 && page <= AssistentPageCount ? m_choice[page] : 1;
}

void TAssistentController::SetChoice(int page, int option)
{
    if (page < 1 || page > AssistentPageCount)
        return;
    m_choice[page] = std::clamp(option, 1, 3);
    if (page == m_page)
        updateButtons();
    m_host.StateChanged();
}
