#include "batch/assistent.h"
#include "entries/entrystore.h"

#include "batch/spmlistsetting.h"
#include "batch/stereojob.h"
#include "batch/stereooutputjob.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/namingsettings.h"
#include "imaging/libgfl.h"

using S = TAssistentStep;
using C = TAssistentController;

TAssistentController::TAssistentController(TBatchContext context, TAssistentHost &host,
                                           const TVolumeSource &volumes)
    : m_context(context), m_log(context.Log), m_host(host), m_volumes(volumes), m_space(volumes),
      m_shared(volumes)
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
    if (m_context.StereoOutputs)
        m_context.StereoOutputs->Folder = ExpandUserPath(m_context.StereoOutputs->Folder);
    // The targets are read from the rows; a change of folders or suffixes may not have
    // reached them yet.
    RefreshAllEntries(m_context.Entries.Registry);
    m_rotationCount = CountRotations(entries());
    m_unrotatableCount = m_rotationCount > 0 ? CountUnrotatable(entries()) : 0;
    m_stereoCount = CountStereoFiles(entries());
    GoToStep(S::Start, false);
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

// ---- Steps ----

// A step that records an answer and goes on.
C::StepRule C::answer(TAssistentStep s, TAssistentAnswer code, TAssistentStep after)
{
    return StepRule{s, &C::answerStep, code, 0, {}, after};
}

// A step that runs run with a page whose options lead to the steps options.
C::StepRule C::page(TAssistentStep s, StepAction run, int shown,
                    std::array<TAssistentStep, 3> options, TAssistentStep after)
{
    return StepRule{s, run, TAssistentAnswer(0), shown, options, after};
}

// A step that runs run and goes on to after.
C::StepRule C::go(TAssistentStep s, StepAction run, TAssistentStep after)
{
    return StepRule{s, run, TAssistentAnswer(0), 0, {}, after};
}

// Every step: what it does (Run), the answer it records, the page it shows with the steps of
// the page's options, and the step it goes on to.
const C::StepRule *C::ruleOf(TAssistentStep wanted)
{
    static const StepRule rules[] = {
        page(S::Start, &C::startStep, pgSpeicherort, {S::Remain, S::Move, S::Copy}),
        answer(S::Remain, acCopyMoveNothing, S::AskRenameSourceRemain),
        answer(S::Move, acMove, S::CheckFoldersMove),
        answer(S::Copy, acCopy, S::AskRenameSourceCopy),
        // Pictures that remain: rename them, complete shared files, rotate them.
        page(S::AskRenameSourceRemain, &C::pageStep, pgRenameSource,
             {S::DontRenameSourceRemain, S::RenameSourceRemain}),
        answer(S::DontRenameSourceRemain, acDontRenameSource, S::AskRotateSourceRemain),
        answer(S::RenameSourceRemain, acRenameSource, S::SharedFilesRemain),
        page(S::SharedFilesRemain, &C::sharedFilesStep, pg1zuNSource,
             {S::CompletePartnersRemain, S::KeepIncompleteRemain}, S::AskRotateSourceAfterShared),
        answer(S::CompletePartnersRemain, acCompletePartners, S::AskRotateSourceAfterShared),
        answer(S::KeepIncompleteRemain, acKeepIncomplete, S::AskRotateSourceAfterShared),
        page(S::AskRotateSourceRemain, &C::rotationStep, pgDrehenScr,
             {S::DontRotateSourceRemain, S::RotateSourceRemain}, S::AskSpmList),
        page(S::AskRotateSourceAfterShared, &C::rotationStep, pgDrehenScr,
             {S::DontRotateSourceRemain, S::RotateSourceRemain}, S::AskSpmList),
        answer(S::DontRotateSourceRemain, acDontRotateSource, S::AskSpmList),
        answer(S::RotateSourceRemain, acRotateSource, S::AskSpmList),
        // A move: folders and space in the destination, rename and rotate there.
        page(S::CheckFoldersMove, &C::folderStep, pgChkDirectory,
             {S::DontCreateFoldersMove, S::RecheckFoldersMove, S::CreateFoldersMove},
             S::CheckSpaceMove),
        go(S::RecheckFoldersMove, &C::recheckFoldersStep, S::CheckFoldersMove),
        answer(S::DontCreateFoldersMove, acDontCreateFolders, S::CheckSpaceMove),
        answer(S::CreateFoldersMove, acCreateFolders, S::CheckSpaceMove),
        page(S::CheckSpaceMove, &C::spaceStep, pgChkDstSpace, {S::RecheckSpaceMove},
             S::AskRenameDestMove),
        go(S::RecheckSpaceMove, &C::retryStep, S::CheckSpaceMove),
        page(S::AskRenameDestMove, &C::pageStep, pgRenameDest,
             {S::DontRenameDestMove, S::RenameDestMove}),
        answer(S::DontRenameDestMove, acDontRenameDest, S::AskRotateDestMove),
        answer(S::RenameDestMove, acRenameDest, S::AskRotateDestMove),
        page(S::AskRotateDestMove, &C::rotationStep, pgDrehenDst,
             {S::DontRotateDest, S::RotateDest}, S::AskSpmList),
        // A copy: rename the sources, complete shared files, folders and space, rotate the
        // sources, rename and rotate the copies.
        page(S::AskRenameSourceCopy, &C::pageStep, pgRenameSource,
             {S::DontRenameSourceCopy, S::RenameSourceCopy}),
        answer(S::DontRenameSourceCopy, acDontRenameSource, S::CheckFoldersCopy),
        answer(S::RenameSourceCopy, acRenameSource, S::SharedFilesCopy),
        page(S::SharedFilesCopy, &C::sharedFilesStep, pg1zuNSource,
             {S::CompletePartnersCopy, S::KeepIncompleteCopy}, S::CheckFoldersCopy),
        answer(S::CompletePartnersCopy, acCompletePartners, S::CheckFoldersCopy),
        answer(S::KeepIncompleteCopy, acKeepIncomplete, S::CheckFoldersCopy),
        page(S::CheckFoldersCopy, &C::folderStep, pgChkDirectory,
             {S::DontCreateFoldersCopy, S::RecheckFoldersCopy, S::CreateFoldersCopy},
             S::CheckSpaceCopy),
        go(S::RecheckFoldersCopy, &C::recheckFoldersStep, S::CheckFoldersCopy),
        answer(S::DontCreateFoldersCopy, acDontCreateFolders, S::CheckSpaceCopy),
        answer(S::CreateFoldersCopy, acCreateFolders, S::CheckSpaceCopy),
        page(S::CheckSpaceCopy, &C::spaceStep, pgChkDstSpace, {S::RecheckSpaceCopy},
             S::AskRotateSourceCopy),
        go(S::RecheckSpaceCopy, &C::retryStep, S::CheckSpaceCopy),
        page(S::AskRotateSourceCopy, &C::rotationStep, pgDrehenScr,
             {S::DontRotateSourceCopy, S::RotateSourceCopy}, S::AskRenameDestCopy),
        answer(S::DontRotateSourceCopy, acDontRotateSource, S::AskRenameDestCopy),
        answer(S::RotateSourceCopy, acRotateSource, S::AskRenameDestCopy),
        page(S::AskRenameDestCopy, &C::pageStep, pgRenameDest,
             {S::DontRenameDestCopy, S::RenameDestCopy}),
        answer(S::DontRenameDestCopy, acDontRenameDest, S::AskRotateDestCopy),
        answer(S::RenameDestCopy, acRenameDest, S::AskRotateDestCopy),
        page(S::AskRotateDestCopy, &C::rotationStep, pgDrehenDst,
             {S::DontRotateDest, S::RotateDest}, S::AskSpmList),
        answer(S::DontRotateDest, acDontRotateDest, S::AskSpmList),
        answer(S::RotateDest, acRotateDest, S::AskSpmList),
        // Every job: the SPM list, the stereo files (and the room they need), the names, the
        // confirmation, the run and its result.
        page(S::AskSpmList, &C::preparedPageStep, pgSpmListe, {S::WriteSpmList, S::NoSpmList}),
        answer(S::WriteSpmList, acWriteSpmList, S::AskStereoOutputs),
        answer(S::NoSpmList, acNoSpmList, S::AskStereoOutputs),
        page(S::AskStereoOutputs, &C::stereoPageStep, pgStereoOutputs, {S::StereoOutputsChosen},
             S::CheckNames),
        go(S::StereoOutputsChosen, &C::stereoChoiceStep, S::CheckNames),
        page(S::CheckSpaceStereo, &C::spaceStep, pgChkDstSpace, {S::RecheckSpaceStereo},
             S::CheckNames),
        go(S::RecheckSpaceStereo, &C::retryStep, S::CheckSpaceStereo),
        page(S::CheckNames, &C::namesStep, pgChkNamen, {S::RecheckNames}, S::Confirm),
        go(S::RecheckNames, &C::retryStep, S::CheckNames),
        page(S::Confirm, &C::pageStep, pgBestAuftrag, {S::Run}),
        page(S::Run, &C::runStep, pgRun, {S::Succeeded, S::Failed}),
        page(S::Succeeded, &C::resultStep, pgAuftragSucc, {S::Close}),
        page(S::Failed, &C::resultStep, pgAuftragError, {S::Close}),
        go(S::Close, &C::closeStep, S::None),
    };
    for (const StepRule &rule : rules) {
        if (rule.Step == wanted)
            return &rule;
    }
    return nullptr;
}

void TAssistentController::GoToStep(TAssistentStep step, bool back)
{
    if (const StepRule *rule = ruleOf(step))
        (this->*rule->Run)(*rule, back);
}

void TAssistentController::startStep(const StepRule &rule, bool)
{
    m_host.PreparePage(rule.Page);
    m_history.clear();
    m_nextSteps[rule.Page] = {S::None, rule.Options[0], rule.Options[1], rule.Options[2]};
    RecordCode(TAssistentCode(rule.Step));
    ShowPage(rule.Page);
}

void TAssistentController::answerStep(const StepRule &rule, bool)
{
    RecordCode(rule.Answer);
    GoToStep(rule.After, false);
}

void TAssistentController::pageStep(const StepRule &rule, bool back)
{
    showPageWith(rule.Step, rule.Page, rule.Options, back);
}

// A page whose fields the host fills first (the SPM list page shows the path the list will
// really be written to).
void TAssistentController::preparedPageStep(const StepRule &rule, bool back)
{
    m_host.PreparePage(rule.Page);
    showPageWith(rule.Step, rule.Page, rule.Options, back);
}

// Asked only when there is something to turn and it can be turned.
void TAssistentController::rotationStep(const StepRule &rule, bool back)
{
    const bool rotateOk =
        m_rotationCount > 0 && (m_gflAvailable ? m_gflAvailable() : GflAvailable());
    if (rotateOk)
        showPageWith(rule.Step, rule.Page, rule.Options, back);
    else
        GoToStep(rule.After, false);
}

// Asked only when some files are used by several pairs.
void TAssistentController::sharedFilesStep(const StepRule &rule, bool back)
{
    m_sharedMode = rule.Step == S::SharedFilesRemain ? 1 : 2;
    m_sharedCount = ComputeSharedFiles(entries(), m_sharedMode, m_shared);
    if (m_sharedCount == 0)
        GoToStep(rule.After, false);
    else
        showPageWith(rule.Step, rule.Page, rule.Options, back);
}

void TAssistentController::recheckFoldersStep(const StepRule &rule, bool)
{
    m_autoAdvance = false;
    retry(rule.After);
}

void TAssistentController::retryStep(const StepRule &rule, bool)
{
    retry(rule.After);
}

void TAssistentController::folderStep(const StepRule &rule, bool back)
{
    m_folders.Run(entries(), m_context.Entries.Naming);
    if (m_folders.MissingFolders != 0 && m_context.Entries.Naming.CreateMissingFolders) {
        RecordCode(acCreateMissingFolders);
        GoToStep(rule.After, false);
    } else if (m_folders.MissingFolders != 0) {
        m_host.PreparePage(rule.Page);
        showPageWith(rule.Step, rule.Page, rule.Options, back);
    } else {
        if (!m_history.isEmpty() && m_history.last() == TAssistentCode(rule.Step))
            m_history.removeLast();
        GoToStep(rule.After, false);
    }
}

// The stereo files' page, which the session's settings fill; a context without them (a
// test's) has no such page.
void TAssistentController::stereoPageStep(const StepRule &rule, bool back)
{
    if (!m_context.StereoOutputs) {
        GoToStep(rule.After, false);
        return;
    }
    m_host.PreparePage(rule.Page);
    showPageWith(rule.Step, rule.Page, rule.Options, back);
}

// The choices are made: the files they add are counted once more, whatever the space
// check before the page saw (it may have run with other choices, or, for a job that
// leaves the pictures where they are, not at all). The name check comes after this step.
void TAssistentController::stereoChoiceStep(const StepRule &rule, bool)
{
    syncStereoJob();
    m_stereoOutputCount = countStereoOutputs();
    if (m_context.StereoOutputs && !m_context.StereoOutputs->Outputs.isEmpty()) {
        RecordCode(acWriteStereoFiles);
        GoToStep(S::CheckSpaceStereo, false);
    } else {
        GoToStep(rule.After, false);
    }
}

void TAssistentController::syncStereoJob()
{
    if (m_context.StereoOutputs)
        m_context.StereoOutputs->JobCopiesOrMoves = HasCode(acCopy) || HasCode(acMove);
}

int TAssistentController::countStereoOutputs() const
{
    const bool move = HasCode(acMove);
    if (!m_context.StereoOutputs || !m_context.ExtraFiles ||
        (!move && !HasCode(acCopy) && !HasCode(acRenameSource)))
        return 0;
    const TEntryStep step = move              ? TEntryStep::Move
                            : HasCode(acCopy) ? TEntryStep::Copy
                                              : TEntryStep::Rename;
    int count = 0;
    for (const TDatensatz *e : entries()) {
        for (const TExtraFile &file : ExtraFilesOf(m_context.ExtraFiles, *e, step, QString()))
            count += file.kind == TExtraFileKind::Produce ? 1 : 0;
    }
    return count;
}

void TAssistentController::spaceStep(const StepRule &rule, bool back)
{
    const bool move = HasCode(acMove);
    syncStereoJob();
    m_nextSteps[rule.Page] = {S::None, rule.Options[0], S::None, S::None};
    CheckSpace(entries(),
               {.CompletePartners = !move && HasCode(acCompletePartners),
                .Move = move,
                .InPlace = !move && !HasCode(acCopy),
                .ExtraFiles = m_context.ExtraFiles},
               m_space, m_log);
    if (m_space.Insufficient())
        showCheckPage(rule.Step, rule.Page, back);
    else
        GoToStep(rule.After, false);
}

void TAssistentController::namesStep(const StepRule &rule, bool back)
{
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
    syncStereoJob();
    m_names = CheckNames(entries(), o, m_log);
    m_nextSteps[rule.Page] = {S::None, rule.Options[0], S::None, S::None};
    if (m_names.ConflictCount() < 1)
        GoToStep(rule.After, false);
    else
        showCheckPage(rule.Step, rule.Page, back);
}

void TAssistentController::runStep(const StepRule &rule, bool back)
{
    m_nextSteps[rule.Page] = {S::None, rule.Options[0], rule.Options[1], S::None};
    RecordCode(acScheduled);
    if (!back)
        RecordCode(TAssistentCode(rule.Step));
    m_log.ReplaceContents(HistoryLines());
    m_cancelRequested = false;
    m_jobFailed = false;
    m_running = true;
    syncStereoJob();
    ShowPage(rule.Page);
    m_jobFailed = m_host.RunJob(Settings());
    m_running = false;
    // The run's end presses Next: on to the success or the incomplete-job page.
    Next();
    if (m_cancelRequested)
        m_host.CloseWizard(false);
}

void TAssistentController::resultStep(const StepRule &rule, bool back)
{
    const bool success = rule.Step == S::Succeeded;
    RecordCode(rule.Answer);
    m_nextSteps[rule.Page] = {S::None, rule.Options[0], S::None, S::None};
    closingLines(success);
    if (!back)
        RecordCode(TAssistentCode(rule.Step));
    ShowPage(rule.Page);
    if (!success)
        m_host.ShowLog();
}

void TAssistentController::closeStep(const StepRule &, bool)
{
    m_host.CloseWizard(true);
}

void TAssistentController::showPageWith(TAssistentStep step, int page,
                                        const std::array<TAssistentStep, 3> &options, bool back)
{
    m_nextSteps[page] = {S::None, options[0], options[1], options[2]};
    if (!back)
        RecordCode(TAssistentCode(step));
    ShowPage(page);
}

void TAssistentController::showCheckPage(TAssistentStep step, int page, bool back)
{
    if (!back)
        RecordCode(TAssistentCode(step));
    ShowPage(page);
}

void TAssistentController::retry(TAssistentStep step)
{
    if (!m_history.isEmpty())
        m_history.removeLast();
    GoToStep(step, false);
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
    const bool runOrResult = m_page == pgRun || m_page == pgAuftragSucc || m_page == pgAuftragError;
    b.RetryVisible = !runOrResult && m_page != pgBestAuftrag;
    if (m_page == pgBestAuftrag)
        b.NextText = QStringLiteral("Finish");
    else if (runOrResult)
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

TAssistentStep TAssistentController::nextStepOf(int page)
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
    case pgStereoOutputs:
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
    TAssistentCode k = TAssistentCode(S::Start);
    while (!m_history.isEmpty()) {
        m_history.removeLast();
        k = m_history.isEmpty() ? TAssistentCode(S::Start) : m_history.last();
        if (IsStepCode(k) || m_history.size() <= 1)
            break;
    }
    m_host.StateChanged();
    // The last step recorded before the current page.
    GoToStep(TAssistentStep(k), true);
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
