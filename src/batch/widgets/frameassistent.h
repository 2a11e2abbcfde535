#pragma once
// The wizard's pages. Every page shows a markup title, a "Description" box and its radio
// buttons; the texts come from the wizard's controller, a click on a radio button goes back
// to it at once (choiceChanged). Pages with more than that add their panels here: the
// destination folder fields, the SPM list file field, the run's status line and progress
// bar, and the "Show Details..." button that opens the job log.
#include "batch/batchcontext.h"
#include "batch/runprogress.h"

#include <QWidget>

#include <vector>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QVBoxLayout;
class TAssistentController;
struct TEntryStore;
struct TStereoOutputSettings;
class TLabelFormat;

struct TRadioSpec
{
    const char *objectName;
    const char *caption;
};

class TFrameCustomAssistent : public QWidget
{
    Q_OBJECT
public:
    TFrameCustomAssistent(int page, const char *className, std::vector<TRadioSpec> radios,
                          QWidget *parent = nullptr);

    int page() const { return m_page; }
    // Title, description and the checked radio button from the controller.
    virtual void showState(const TAssistentController &ctrl);
    // Fields from the settings before the page is shown (the base has none).
    virtual void prepare() {}

    TLabelFormat *LabelFormat = nullptr;
    TLabelFormat *LabelFormatDescr = nullptr;
    std::vector<QRadioButton *> RadioButtons;
    QPushButton *ButtonProtokoll = nullptr; // "Show Details...", on the pages that have it

Q_SIGNALS:
    void choiceChanged(int page, int option);
    void showLogRequested();

protected:
    // A "Show Details..." button below the description.
    void addProtokollButton();
    // Called after a radio button was chosen; pages with panels show or hide them.
    virtual void choiceShown(int /*option*/) {}
    QVBoxLayout *extraLayout() const { return m_extra; }

private:
    int m_page;
    QVBoxLayout *m_extra = nullptr;
    QGroupBox *m_descrBox = nullptr;
};

// The three destination folder fields with their "..." buttons. Editing a field stores
// it as the destination folder of its kind at once and refreshes all list rows.
class TDestPathPanel : public QWidget
{
    Q_OBJECT
public:
    TDestPathPanel(TEntryStore &entries, QWidget *parent = nullptr);
    // The fields take the configured folders.
    void loadSettings();
    QLineEdit *Fields[3] = {};
    QPushButton *Buttons[3] = {};

private:
    void store(int kind, const QString &text);
    TEntryStore &m_entries;
};

// Pages 1 and 2: the folder panel shows for Move/Copy, or while the folders are missing.
class TFrameAssistenFolders : public TFrameCustomAssistent
{
    Q_OBJECT
public:
    TFrameAssistenFolders(int page, const char *className, std::vector<TRadioSpec> radios,
                          std::vector<int> panelOptions, TEntryStore &entries,
                          QWidget *parent = nullptr);
    void prepare() override;
    TDestPathPanel *PanelDestPath = nullptr;

protected:
    void choiceShown(int option) override;

private:
    std::vector<int> m_panelOptions;
};

// Page 10: the SPM list's file field and its save dialog.
class TFrameAssistentSPMListe : public TFrameCustomAssistent
{
    Q_OBJECT
public:
    // spmListFile: the session's path, which the field edits.
    TFrameAssistentSPMListe(QString &spmListFile, QWidget *parent = nullptr);
    // The field shows the path the list will be written to.
    void prepare() override;
    QWidget *PanelDestPath = nullptr;
    QLineEdit *LabeledEditSPMFile = nullptr;
    QPushButton *ButtonOpenSPM = nullptr;
    // Replaced by tests; returns the chosen file or an empty string.
    std::function<QString(const QString &start)> chooseFile;

protected:
    void choiceShown(int option) override;

private:
    QString &m_spmListFile;
};

// Page 15: the stereo files the job writes for its pairs: one check box per kind, their
// folder with the folder chooser, the quality of the re-encoded files and the alignment.
// Every change is the setting at once (also the settings file restoring the controls).
class TFrameAssistentStereo : public TFrameCustomAssistent
{
    Q_OBJECT
public:
    // settings: the session's, which the controls edit (none: the controls do nothing).
    explicit TFrameAssistentStereo(TStereoOutputSettings *settings, QWidget *parent = nullptr);
    // The controls show the settings.
    void prepare() override;
    std::vector<QCheckBox *> CheckBoxesOutput; // in the order of StereoOutputs()
    QLineEdit *LabeledEditStereoFolder = nullptr;
    QPushButton *ButtonStereoFolder = nullptr;
    QSpinBox *SpinEditQuality = nullptr;
    QCheckBox *CheckBoxAlign = nullptr;
    // Replaced by tests; returns the chosen folder or an empty string.
    std::function<QString(const QString &start)> chooseFolder;

private:
    void storeOutputs();
    QWidget *folderRow();
    TStereoOutputSettings *m_settings;
};

// Page 12: the status line and the progress bar of the running job.
class TFrameAssistentRun : public TFrameCustomAssistent, public TRunProgress
{
    Q_OBJECT
public:
    explicit TFrameAssistentRun(QWidget *parent = nullptr);

    void BeginPhase(const QString &text, int maximum, int phase) override;
    void StepProgress(const QString &text) override;
    void ShowStatus(const QString &text) override;

    TLabelFormat *LabelStatus = nullptr;
    QProgressBar *ProgressBarStatus = nullptr;

private:
    QString m_pattern = QStringLiteral("%s");
};

// All fifteen pages, indexed by page number (entry 0 is null).
std::vector<TFrameCustomAssistent *> CreateAssistentPages(TBatchContext context, QWidget *parent);
