#pragma once
// The batch job wizard as a state machine: step codes in, pages and job settings out.
//
// The wizard asks one question per page, runs the pre-run checks where they matter, skips
// every page whose question does not arise and records each step and answer as a code in
// its history. The history is the only record of the answers: the run's settings and the
// checks' arguments are read from it by asking whether a code is present. The window and
// its pages (or duomira-cli) are a TAssistentHost: they show what the controller says and
// hand the user's choices and button presses back to it.
#include "batch/assistentcode.h"
#include "batch/batchcontext.h"
#include "batch/batchjobsettings.h"
#include "batch/laufwerke.h"
#include "batch/prerunchecks.h"
#include "batch/protokoll.h"

#include <QString>
#include <QVector>

#include <array>
#include <functional>
#include <vector>

class TDatensatz;

// The page numbers (the number picks the page to show).
enum TAssistentPage : int
{
    pgSpeicherort = 1,  // destination: remain, move, copy
    pgChkDirectory = 2, // missing folders
    pgRenameSource = 3,
    pg1zuNSource = 4, // files used by several pairs
    pgRenameDest = 5,
    pgDrehenScr = 6,
    pgDrehenDst = 7,
    pgBestAuftrag = 8, // confirmation
    pgChkDstSpace = 9, // disk space
    pgSpmListe = 10,
    pgChkNamen = 11, // naming conflicts
    pgRun = 12,
    pgAuftragSucc = 13,
    pgAuftragError = 14,
    pgStereoOutputs = 15, // the stereo files the job writes
    AssistentPageCount = 15,
};

// What the window (or the command line) does for the controller.
class TAssistentHost
{
public:
    virtual ~TAssistentHost() = default;
    // Page, texts, buttons or history changed: show the controller's state.
    virtual void StateChanged() {}
    // A page was shown (also the same page again after a check ran once more).
    virtual void PageShown(int /*page*/) {}
    // The page is about to be shown and must take its fields from the settings
    // (destination folders on pages 1 and 2, the SPM list path on page 10, the stereo
    // files' choices on page 15).
    virtual void PreparePage(int /*page*/) {}
    // Runs the job (the run page is showing); returns true when the job failed.
    virtual bool RunJob(const TBatchJobSettings &settings) = 0;
    // Cancel was pressed while RunJob runs.
    virtual void RequestCancel() {}
    virtual void ShowLog() {}
    // The wizard ends: ok after "Exit" on a result page, false on Cancel.
    virtual void CloseWizard(bool /*ok*/) {}
};

struct TAssistentButtons
{
    bool PrevEnabled = false;
    bool NextEnabled = false;
    bool CancelEnabled = true;
    bool RetryVisible = true;
    QString NextText; // "&Next", "Finish" or "Exit"
};

class TAssistentController
{
public:
    // The session state the job works on.
    const TBatchContext &Context() const { return m_context; }

    TAssistentController(TBatchContext context, TAssistentHost &host,
                         const TVolumeSource &volumes = SystemVolumes());

    // The job's entries, in the order the run processes them (default: the registry's).
    void SetEntrySource(std::function<std::vector<TDatensatz *>()> entries);
    // Whether lossless rotation is possible (default: the imaging library is loaded).
    void SetGflAvailable(std::function<bool()> available);

    // ---- Wizard operations ----
    // Opening: counts the entries to rotate and goes to the first step.
    void ShowWizard();
    // Runs step (back: reached by "Back", which records no step again).
    void GoToStep(TAssistentStep step, bool back);
    void ShowPage(int page);
    void RecordCode(TAssistentCode code);
    bool HasCode(TAssistentCode code) const;
    void Next();
    void Previous();
    void Retry();
    // During a run only asks the run to stop; the wizard closes once the run has returned.
    void Cancel();

    // ---- Page state ----
    int CurrentPage() const { return m_page; }
    // The chosen radio button of a page, 1-based; kept from one job to the next.
    int Choice(int page) const;
    void SetChoice(int page, int option);
    // The file the job log is written to after the run (duomira-cli run --log), or empty:
    // the name check treats it like the SPM list and refuses an existing file.
    void SetLogFile(const QString &path) { m_logFile = path; }
    QString Title(int page) const;
    QString Description(int page) const;
    const TAssistentButtons &Buttons() const { return m_buttons; }
    bool Running() const { return m_running; }
    bool CancelRequested() const { return m_cancelRequested; }
    bool JobFailed() const { return m_jobFailed; }

    // ---- History and results ----
    const QVector<TAssistentCode> &History() const { return m_history; }
    // The history panel's lines: questions blue and bold after a blank line, answers black.
    QVector<TProtokollLine> HistoryLines() const;
    // The run's settings, read from the history.
    TBatchJobSettings Settings() const;

    const TFolderCheck &FolderCheck() const { return m_folders; }
    const TNameCheckResult &NameCheck() const { return m_names; }
    const TLaufwerke &SharedTable() const { return m_shared; }

private:
    // What a step does, and with what (assistent.cpp holds the table of every step).
    struct StepRule;
    using StepAction = void (TAssistentController::*)(const StepRule &rule, bool back);
    struct StepRule
    {
        TAssistentStep Step;
        StepAction Run;
        TAssistentAnswer Answer = TAssistentAnswer(0); // the answer it records
        int Page = 0;                                  // the page it shows
        std::array<TAssistentStep, 3> Options{};       // the steps of the page's options
        TAssistentStep After = TAssistentStep::None;   // the step it goes on to
    };
    static const StepRule *ruleOf(TAssistentStep step);
    // The kinds of rules in the table.
    static StepRule answer(TAssistentStep s, TAssistentAnswer code, TAssistentStep after);
    static StepRule page(TAssistentStep s, StepAction run, int shown,
                         std::array<TAssistentStep, 3> options,
                         TAssistentStep after = TAssistentStep::None);
    static StepRule go(TAssistentStep s, StepAction run, TAssistentStep after);

    // The kinds of steps.
    void startStep(const StepRule &rule, bool back);
    void answerStep(const StepRule &rule, bool back);
    void pageStep(const StepRule &rule, bool back);
    void preparedPageStep(const StepRule &rule, bool back);
    void rotationStep(const StepRule &rule, bool back);
    void sharedFilesStep(const StepRule &rule, bool back);
    void recheckFoldersStep(const StepRule &rule, bool back);
    void retryStep(const StepRule &rule, bool back);
    void folderStep(const StepRule &rule, bool back);
    void stereoPageStep(const StepRule &rule, bool back);
    void stereoChoiceStep(const StepRule &rule, bool back);
    void spaceStep(const StepRule &rule, bool back);
    void namesStep(const StepRule &rule, bool back);
    void runStep(const StepRule &rule, bool back);
    void resultStep(const StepRule &rule, bool back);
    void closeStep(const StepRule &rule, bool back);

    std::vector<TDatensatz *> entries() const;
    // Tells the stereo files' settings whether the job copies or moves (they are listed
    // with that step, else with the renaming), as far as the history has answered it.
    void syncStereoJob();
    // The stereo files the job as answered so far will write.
    int countStereoOutputs() const;
    void showPageWith(TAssistentStep step, int page, const std::array<TAssistentStep, 3> &options,
                      bool back);
    // A check's page, shown only when the check found something.
    void showCheckPage(TAssistentStep step, int page, bool back);
    void retry(TAssistentStep step);
    TAssistentStep nextStepOf(int page);
    void updateButtons();
    void closingLines(bool success);

    TBatchContext m_context;
    TProtokoll &m_log;
    TAssistentHost &m_host;
    const TVolumeSource &m_volumes;
    std::function<std::vector<TDatensatz *>()> m_entries;
    std::function<bool()> m_gflAvailable;
    QString m_logFile;

    QVector<TAssistentCode> m_history;
    // The steps of each page's options 1..3 (index 0 unused).
    std::array<std::array<TAssistentStep, 4>, AssistentPageCount + 1> m_nextSteps{};
    std::array<int, AssistentPageCount + 1> m_choice{};
    int m_page = 0;
    TAssistentButtons m_buttons;
    bool m_autoAdvance = false;
    bool m_inPrevious = false;
    bool m_running = false;
    bool m_cancelRequested = false;
    bool m_jobFailed = true;

    TFolderCheck m_folders;
    TNameCheckResult m_names;
    TLaufwerke m_space;
    TLaufwerke m_shared;
    int m_sharedMode = 1;
    int m_sharedCount = 0;
    int m_rotationCount = 0;
    int m_stereoCount = 0;       // stereo files the job splits into view files
    int m_stereoOutputCount = 0; // stereo files the job writes for its pairs
    int m_unrotatableCount = 0;
};
