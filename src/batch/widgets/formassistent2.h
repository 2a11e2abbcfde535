#pragma once
// TFormAssistent2, the batch job wizard ("Batch Assistent"): the history panel on the left,
// one page at a time on the right, the button bar below. The window only connects: the
// controller (batch/assistent.h) decides which page shows, what the buttons do and what
// the job's settings are; the window shows that and runs the job on the run page.
#include "batch/assistent.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

class QPushButton;
class QStackedWidget;
class QTextEdit;
class TFrameAssistentRun;
class TFrameCustomAssistent;
class TBatchRun;
class TRunProgress;

class TFormAssistent2 : public QDialog, public TAssistentHost
{
    Q_OBJECT
public:
    // Runs the job with the run page as its progress display; returns true when it failed.
    using JobRunner = std::function<bool(const TBatchJobSettings &, TRunProgress &)>;

    // context: the session's entries, job log and SPM list path.
    explicit TFormAssistent2(TBatchContext context, QWidget *parent = nullptr,
                             const TVolumeSource &volumes = SystemVolumes());
    ~TFormAssistent2() override;

    // The run and the way to ask it to stop (called while the runner is inside). By
    // default the wizard runs the job with its own TBatchRun on the real files.
    void setJobRunner(JobRunner run, std::function<void()> cancel);
    // The engine of the default runner (its journal of the last run, for instance).
    TBatchRun &engine() { return *m_engine; }

    TAssistentController &controller() { return m_ctrl; }
    TFrameCustomAssistent *page(int number) const { return m_pages.at(size_t(number)); }
    TFrameAssistentRun *runPage() const;

    QTextEdit *RichEditVerlauf = nullptr;
    QPushButton *BitBtnRetry = nullptr;
    QPushButton *BitBtnPrev = nullptr;
    QPushButton *BitBtnNext = nullptr;
    QPushButton *BitBtnCancel = nullptr;

    // ---- TAssistentHost ----
    void StateChanged() override;
    void PreparePage(int page) override;
    bool RunJob(const TBatchJobSettings &settings) override;
    void RequestCancel() override;
    void ShowLog() override;
    void CloseWizard(bool ok) override;

Q_SIGNALS:
    // "Show Details..." or the incomplete-job page: the log window should show.
    void showLogRequested();

public Q_SLOTS:
    // Escape and the window's close button act as Cancel: during a run they only ask the
    // run to stop, and the wizard closes once the run has returned.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showHistory();

    TAssistentController m_ctrl;
    std::vector<TFrameCustomAssistent *> m_pages;
    QStackedWidget *m_stack = nullptr;
    std::unique_ptr<TBatchRun> m_engine;
    JobRunner m_run;
    std::function<void()> m_cancel;
    int m_historyShown = -1;
};
