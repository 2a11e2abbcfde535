#include "batch/widgets/frameassistent.h"
#include "entries/entrystore.h"

#include "batch/assistent.h"
#include "batch/spmlistsetting.h"
#include "batch/stereooutputjob.h"
#include "entries/listoperations.h"
#include "entries/namingsettings.h"
#include "ui/widgets/folderdialog.h"
#include "ui/widgets/labelformat.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

// ---- TFrameCustomAssistent ----

TFrameCustomAssistent::TFrameCustomAssistent(int page, const char *className,
                                             std::vector<TRadioSpec> radios, QWidget *parent)
    : QWidget(parent), m_page(page)
{
    // The frame's name as the settings file knows it: the class name without its "T",
    // numbered as the first frame of its kind ("FrameAssistenSpeicherort1"). The settings
    // walker saves the radio buttons and fields inside under that name.
    setObjectName(QLatin1String(className + 1) + QLatin1Char('1'));
    auto *layout = new QVBoxLayout(this);
    LabelFormat = new TLabelFormat(this);
    LabelFormat->setObjectName(QStringLiteral("LabelFormat"));
    layout->addWidget(LabelFormat);
    for (const TRadioSpec &r : radios) {
        auto *radio = new QRadioButton(QLatin1String(r.caption), this);
        radio->setObjectName(QLatin1String(r.objectName));
        const int option = int(RadioButtons.size()) + 1;
        connect(radio, &QRadioButton::toggled, this, [this, option](bool on) {
            if (!on)
                return;
            choiceShown(option);
            Q_EMIT choiceChanged(m_page, option);
        });
        RadioButtons.push_back(radio);
        layout->addWidget(radio);
    }
    m_extra = new QVBoxLayout;
    layout->addLayout(m_extra);
    m_descrBox = new QGroupBox(QStringLiteral("Description"), this);
    auto *descrLayout = new QVBoxLayout(m_descrBox);
    LabelFormatDescr = new TLabelFormat(m_descrBox);
    LabelFormatDescr->setObjectName(QStringLiteral("LabelFormatDescr"));
    descrLayout->addWidget(LabelFormatDescr);
    descrLayout->addStretch();
    layout->addWidget(m_descrBox, 1);
}

void TFrameCustomAssistent::addProtokollButton()
{
    ButtonProtokoll = new QPushButton(QStringLiteral("Show Details..."), this);
    ButtonProtokoll->setObjectName(QStringLiteral("ButtonProtokoll"));
    ButtonProtokoll->setAutoDefault(false);
    connect(ButtonProtokoll, &QPushButton::clicked, this, &TFrameCustomAssistent::showLogRequested);
    auto *row = new QHBoxLayout;
    row->addWidget(ButtonProtokoll);
    row->addStretch();
    m_extra->addLayout(row);
}

void TFrameCustomAssistent::showState(const TAssistentController &ctrl)
{
    LabelFormat->setCaption(ctrl.Title(m_page));
    LabelFormatDescr->setCaption(ctrl.Description(m_page));
    const int choice = ctrl.Choice(m_page);
    for (size_t i = 0; i < RadioButtons.size(); ++i) {
        const QSignalBlocker block(RadioButtons[i]);
        RadioButtons[i]->setChecked(int(i) + 1 == choice);
    }
    choiceShown(choice);
}

// ---- TDestPathPanel ----

namespace {
QString *folderSetting(TNamingSettings &s, int kind)
{
    return kind == 0 ? &s.FolderLeft : kind == 1 ? &s.FolderRight : &s.FolderMono;
}
} // namespace

TDestPathPanel::TDestPathPanel(TEntryStore &entries, QWidget *parent)
    : QWidget(parent), m_entries(entries)
{
    setObjectName(QStringLiteral("PanelDestPath"));
    static const char *const names[] = {"LabeledEditZielpath_L", "LabeledEditZielpath_R",
                                        "LabeledEditZielpath_M"};
    static const char *const labels[] = {"Destination folder for Left images",
                                         "Destination folder for Right images",
                                         "Destination folder for monoscopic images"};
    static const char *const hints[] = {"Open folder with Left View images",
                                        "Open folder with Right View images",
                                        "Open folder with single images"};
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    for (int k = 0; k < 3; ++k) {
        grid->addWidget(new QLabel(QLatin1String(labels[k]), this), k * 2, 0, 1, 2);
        Fields[k] = new QLineEdit(this);
        Fields[k]->setObjectName(QLatin1String(names[k]));
        Buttons[k] = new QPushButton(QStringLiteral("..."), this);
        Buttons[k]->setToolTip(QLatin1String(hints[k]));
        Buttons[k]->setFixedWidth(32);
        Buttons[k]->setAutoDefault(false); // Return in a field must not open the dialog
        grid->addWidget(Fields[k], k * 2 + 1, 0);
        grid->addWidget(Buttons[k], k * 2 + 1, 1);
        connect(Fields[k], &QLineEdit::textEdited, this,
                [this, k](const QString &t) { store(k, t); });
        // "~/..." becomes the full path once the field is left.
        connect(Fields[k], &QLineEdit::editingFinished, this, [this, k] {
            const QString expanded = ExpandUserPath(Fields[k]->text());
            if (expanded != Fields[k]->text()) {
                Fields[k]->setText(expanded);
                store(k, expanded);
            }
        });
        connect(Buttons[k], &QPushButton::clicked, this, [this, k] {
            const QString folder = QFileDialog::getExistingDirectory(
                this, Buttons[k]->toolTip(), ExpandUserPath(Fields[k]->text()));
            if (!folder.isEmpty()) {
                Fields[k]->setText(folder);
                store(k, folder);
            }
        });
    }
}

void TDestPathPanel::loadSettings()
{
    for (int k = 0; k < 3; ++k)
        Fields[k]->setText(*folderSetting(m_entries.Naming, k));
}

void TDestPathPanel::store(int kind, const QString &text)
{
    *folderSetting(m_entries.Naming, kind) = text;
    RefreshAllEntries(m_entries.Registry);
}

// ---- Pages with the folder panel ----

TFrameAssistenFolders::TFrameAssistenFolders(int page, const char *className,
                                             std::vector<TRadioSpec> radios,
                                             std::vector<int> panelOptions, TEntryStore &entries,
                                             QWidget *parent)
    : TFrameCustomAssistent(page, className, std::move(radios), parent),
      m_panelOptions(std::move(panelOptions))
{
    PanelDestPath = new TDestPathPanel(entries, this);
    extraLayout()->addWidget(PanelDestPath);
}

void TFrameAssistenFolders::prepare()
{
    PanelDestPath->loadSettings();
}

void TFrameAssistenFolders::choiceShown(int option)
{
    PanelDestPath->setVisible(std::find(m_panelOptions.begin(), m_panelOptions.end(), option) !=
                              m_panelOptions.end());
}

// ---- Path fields ----

namespace {
struct TPathRowNames
{
    const char *panelName, *label, *fieldName, *buttonName, *buttonHint;
};

// A panel with a label above a path field and its "..." button.
QWidget *pathRow(QWidget *parent, const TPathRowNames &names, QLineEdit *&field,
                 QPushButton *&button)
{
    auto *panel = new QWidget(parent);
    panel->setObjectName(QLatin1String(names.panelName));
    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(new QLabel(QLatin1String(names.label), panel), 0, 0, 1, 2);
    field = new QLineEdit(panel);
    field->setObjectName(QLatin1String(names.fieldName));
    button = new QPushButton(QStringLiteral("..."), panel);
    button->setObjectName(QLatin1String(names.buttonName));
    button->setToolTip(QLatin1String(names.buttonHint));
    button->setFixedWidth(32);
    button->setAutoDefault(false); // Return in the field must not open the dialog
    grid->addWidget(field, 1, 0);
    grid->addWidget(button, 1, 1);
    return panel;
}
} // namespace

// ---- SPM list page ----

TFrameAssistentSPMListe::TFrameAssistentSPMListe(QString &spmListFile, QWidget *parent)
    : TFrameCustomAssistent(
          pgSpmListe, "TFrameAssistentSPMListe",
          {{"RadioButtonOption1", "Yes, create StereoPhotoMaker compatible list file"},
           {"RadioButtonOption2", "No, don't create SPM list"}},
          parent),
      m_spmListFile(spmListFile)
{
    PanelDestPath = pathRow(this,
                            {"PanelDestPath", "Destination folder and filename of the SPM list",
                             "LabeledEditSPMFile", "ButtonOpenSPM",
                             "Save as StereoPhotoMaker compatible list file."},
                            LabeledEditSPMFile, ButtonOpenSPM);
    extraLayout()->addWidget(PanelDestPath);

    // Any change of the field is the setting at once: typing, the save dialog, and the
    // settings file restoring the path of the last session.
    connect(LabeledEditSPMFile, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_spmListFile = text; });
    connect(LabeledEditSPMFile, &QLineEdit::editingFinished, this, [this] {
        m_spmListFile = ExpandUserPath(LabeledEditSPMFile->text());
        LabeledEditSPMFile->setText(m_spmListFile);
    });
    chooseFile = [this](const QString &start) {
        QFileDialog dialog(this, ButtonOpenSPM->toolTip(), start);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("TXT"));
        dialog.setNameFilters({QStringLiteral("Textdatei (*.TXT)"), QStringLiteral("Alles (*)")});
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().constFirst()
                   : QString();
    };
    connect(ButtonOpenSPM, &QPushButton::clicked, this, [this] {
        const QString file = chooseFile(ExpandUserPath(LabeledEditSPMFile->text()));
        if (!file.isEmpty()) {
            LabeledEditSPMFile->setText(file);
            m_spmListFile = file;
        }
    });
}

void TFrameAssistentSPMListe::prepare()
{
    LabeledEditSPMFile->setText(m_spmListFile);
}

void TFrameAssistentSPMListe::choiceShown(int option)
{
    PanelDestPath->setVisible(option == 1);
    LabeledEditSPMFile->setEnabled(option == 1);
    ButtonOpenSPM->setEnabled(option == 1);
}

// ---- Stereo files page ----

TFrameAssistentStereo::TFrameAssistentStereo(TStereoOutputSettings *settings, QWidget *parent)
    : TFrameCustomAssistent(pgStereoOutputs, "TFrameAssistentStereo", {}, parent),
      m_settings(settings)
{
    // Three columns of kinds keep the page short enough for small screens.
    auto *kinds = new QGroupBox(QStringLiteral("Stereo files of every pair"), this);
    kinds->setObjectName(QStringLiteral("GroupBoxStereoOutputs"));
    auto *grid = new QGridLayout(kinds);
    for (const TStereoOutputInfo &info : StereoOutputs()) {
        auto *box = new QCheckBox(info.Label, kinds);
        box->setObjectName(QStringLiteral("CheckBoxStereo_") +
                           QString(info.Key).replace(QLatin1Char('-'), QLatin1Char('_')));
        const int i = int(CheckBoxesOutput.size());
        grid->addWidget(box, i / 3, i % 3);
        connect(box, &QCheckBox::toggled, this, [this] { storeOutputs(); });
        CheckBoxesOutput.push_back(box);
    }
    extraLayout()->addWidget(kinds);
    extraLayout()->addWidget(folderRow());

    auto *options = new QHBoxLayout;
    options->addWidget(new QLabel(QStringLiteral("JPEG quality"), this));
    SpinEditQuality = new QSpinBox(this);
    SpinEditQuality->setObjectName(QStringLiteral("SpinEditQuality"));
    SpinEditQuality->setRange(1, 100);
    SpinEditQuality->setValue(DefaultStereoQuality);
    SpinEditQuality->setToolTip(QStringLiteral("Of every stereo file but the MPO, which keeps "
                                               "the JPEG files as they are"));
    options->addWidget(SpinEditQuality);
    options->addSpacing(16);
    CheckBoxAlign = new QCheckBox(QStringLiteral("Align with the pair check's figures"), this);
    CheckBoxAlign->setObjectName(QStringLiteral("CheckBoxAlign"));
    CheckBoxAlign->setToolTip(QStringLiteral("Corrects vertical offset, rotation and scale, crops "
                                             "to what both views show and sets the stereo "
                                             "window (not the MPO)"));
    options->addWidget(CheckBoxAlign);
    options->addStretch();
    extraLayout()->addLayout(options);

    connect(SpinEditQuality, &QSpinBox::valueChanged, this, [this](int quality) {
        if (m_settings)
            m_settings->Quality = quality;
    });
    connect(CheckBoxAlign, &QCheckBox::toggled, this, [this](bool on) {
        if (m_settings)
            m_settings->Align = on;
    });
}

// The "Stereo" folder's field and its folder chooser.
QWidget *TFrameAssistentStereo::folderRow()
{
    QWidget *panel =
        pathRow(this,
                {"PanelStereoPath", "Destination folder for stereo files", "LabeledEditZielpath_S",
                 "ButtonStereoFolder", "Open folder for stereo files"},
                LabeledEditStereoFolder, ButtonStereoFolder);

    connect(LabeledEditStereoFolder, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (m_settings)
            m_settings->Folder = text;
    });
    // "~/..." becomes the full path once the field is left.
    connect(LabeledEditStereoFolder, &QLineEdit::editingFinished, this, [this] {
        LabeledEditStereoFolder->setText(ExpandUserPath(LabeledEditStereoFolder->text()));
    });
    chooseFolder = [this](const QString &start) {
        return ChooseFolder(this, ButtonStereoFolder->toolTip(), start);
    };
    connect(ButtonStereoFolder, &QPushButton::clicked, this, [this] {
        const QString folder = chooseFolder(LabeledEditStereoFolder->text());
        if (!folder.isEmpty())
            LabeledEditStereoFolder->setText(folder);
    });
    return panel;
}

void TFrameAssistentStereo::storeOutputs()
{
    if (!m_settings)
        return;
    QList<TStereoOutput> outputs;
    for (size_t i = 0; i < CheckBoxesOutput.size(); ++i) {
        if (CheckBoxesOutput[i]->isChecked())
            outputs << StereoOutputs().at(qsizetype(i)).Output;
    }
    m_settings->Outputs = outputs;
}

void TFrameAssistentStereo::prepare()
{
    if (!m_settings)
        return;
    const TStereoOutputSettings s = *m_settings;
    for (size_t i = 0; i < CheckBoxesOutput.size(); ++i)
        CheckBoxesOutput[i]->setChecked(
            s.Outputs.contains(StereoOutputs().at(qsizetype(i)).Output));
    LabeledEditStereoFolder->setText(s.Folder);
    SpinEditQuality->setValue(s.Quality);
    CheckBoxAlign->setChecked(s.Align);
}

// ---- Run page ----

TFrameAssistentRun::TFrameAssistentRun(QWidget *parent)
    : TFrameCustomAssistent(pgRun, "TFrameAssistentRun", {}, parent)
{
    auto *panel = new QWidget(this);
    panel->setAutoFillBackground(true);
    QPalette grey = panel->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    panel->setPalette(grey);
    auto *column = new QVBoxLayout(panel);
    LabelStatus = new TLabelFormat(panel);
    LabelStatus->setObjectName(QStringLiteral("LabelStatus"));
    LabelStatus->setColor(8, Qt::white);
    ProgressBarStatus = new QProgressBar(panel);
    ProgressBarStatus->setObjectName(QStringLiteral("ProgressBarStatus"));
    ProgressBarStatus->setTextVisible(false);
    column->addWidget(LabelStatus);
    column->addWidget(ProgressBarStatus);
    extraLayout()->addWidget(panel);
    addProtokollButton();
}

void TFrameAssistentRun::BeginPhase(const QString &text, int maximum, int phase)
{
    m_pattern = QStringLiteral("<FB><c8>%s<FN><FB><c8>  ") + QString::number(phase) +
                QStringLiteral("/2 (%d/%d)");
    ProgressBarStatus->setMaximum(std::max(0, maximum));
    ProgressBarStatus->setValue(0);
    ShowStatus(text);
}

void TFrameAssistentRun::StepProgress(const QString &text)
{
    ProgressBarStatus->setValue(
        std::min(ProgressBarStatus->value() + 1, ProgressBarStatus->maximum()));
    ShowStatus(text);
}

void TFrameAssistentRun::ShowStatus(const QString &text)
{
    LabelStatus->setCaption(
        FormatLogText(m_pattern, {text, ProgressBarStatus->value(), ProgressBarStatus->maximum()}));
    QCoreApplication::processEvents();
}

// ---- The pages ----

namespace {
class TFrameWithDetails : public TFrameCustomAssistent
{
public:
    TFrameWithDetails(int page, const char *className, QWidget *parent)
        : TFrameCustomAssistent(page, className, {}, parent)
    {
        addProtokollButton();
    }
};
} // namespace

std::vector<TFrameCustomAssistent *> CreateAssistentPages(TBatchContext context, QWidget *parent)
{
    std::vector<TFrameCustomAssistent *> pages(AssistentPageCount + 1, nullptr);
    pages[pgSpeicherort] =
        new TFrameAssistenFolders(pgSpeicherort, "TFrameAssistenSpeicherort",
                                  {{"RadioButtonNone", "Remain at their current location"},
                                   {"RadioButtonMove", "Move to destination folder"},
                                   {"RadioButtonCopy", "Copy to destination folder"}},
                                  {2, 3}, context.Entries, parent);
    pages[pgChkDirectory] =
        new TFrameAssistenFolders(pgChkDirectory, "TFrameAssistentChkDirectory",
                                  {{"RadioButtonNewDirNo", "No, don't create folders"},
                                   {"RadioButtonNewDirYes", "Yes, create required folders"}},
                                  {1}, context.Entries, parent);
    pages[pgRenameSource] = new TFrameCustomAssistent(
        pgRenameSource, "TFrameAssistenRenameSource",
        {{"RadioButtonRenSrcNo", "No"}, {"RadioButtonRenSrcYes", "Yes"}}, parent);
    pages[pg1zuNSource] = new TFrameCustomAssistent(
        pg1zuNSource, "TFrameAssisten1zuNSource",
        {{"RadioButton1zuNCopyYes", "Yes"}, {"RadioButton1zuNCopyNo", "No"}}, parent);
    pages[pgRenameDest] = new TFrameCustomAssistent(
        pgRenameDest, "TFrameAssistenRenameDest",
        {{"RadioButtonRenDestNo", "No"}, {"RadioButtonRenDestYes", "Yes"}}, parent);
    pages[pgDrehenScr] =
        new TFrameCustomAssistent(pgDrehenScr, "TFrameAssistenDrehenScr",
                                  {{"RadioButtonDrehNo", "No, don't rotate in source folder"},
                                   {"RadioButtonDrehSrcYes", "Yes, rotate in source folder"}},
                                  parent);
    pages[pgDrehenDst] = new TFrameCustomAssistent(
        pgDrehenDst, "TFrameAssistenDrehenDst",
        {{"RadioButtonDrehNo", "No, don't rotate in destination folder"},
         {"RadioButtonDrehDstYes", "Yes, perform rotation in destination folder"}},
        parent);
    pages[pgBestAuftrag] =
        new TFrameCustomAssistent(pgBestAuftrag, "TFrameAssistentBestAuftrag", {}, parent);
    pages[pgChkDstSpace] =
        new TFrameCustomAssistent(pgChkDstSpace, "TFrameAssistentChkDstSpace", {}, parent);
    pages[pgSpmListe] = new TFrameAssistentSPMListe(context.SpmListFile, parent);
    pages[pgStereoOutputs] = new TFrameAssistentStereo(context.StereoOutputs, parent);
    pages[pgChkNamen] = new TFrameWithDetails(pgChkNamen, "TFrameAssistentChkNamen", parent);
    pages[pgRun] = new TFrameAssistentRun(parent);
    pages[pgAuftragSucc] =
        new TFrameWithDetails(pgAuftragSucc, "TFrameAssistentAuftragSucc", parent);
    pages[pgAuftragError] =
        new TFrameWithDetails(pgAuftragError, "TFrameAssistentAuftragError", parent);
    return pages;
}
