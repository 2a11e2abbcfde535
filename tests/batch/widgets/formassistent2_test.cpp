// The wizard window: what it adds to the controller is the wiring of clicks, fields and
// keys, and what it shows.
#include "batch/wizardfixture.h"
// The fixture's entries and photos, shared with the headless tests.
#include "../wizardfixture.cpp"

#include "batch/spmlistsetting.h"
#include "batch/widgets/formassistent2.h"
#include "batch/widgets/frameassistent.h"
#include "ui/inifile.h"
#include "ui/widgets/labelformat.h"
#include "ui/widgets/settingswalker.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

namespace {

class Form : public WizardFixture
{
public:
    Form() { addPair("P1_L.jpg", "P1_R.jpg", "New1"); }

    template <typename T> T *child(int page, const char *name)
    {
        T *w = wizard.page(page)->findChild<T *>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void next() { wizard.BitBtnNext->click(); }

    TFormAssistent2 wizard{context(), nullptr, volumes};
};

} // namespace

TEST_F(Form, ClicksAndFieldsReachTheJobAtOnce)
{
    wizard.show();
    ASSERT_EQ(wizard.controller().CurrentPage(), pgSpeicherort);
    auto *panel = child<QWidget>(pgSpeicherort, "PanelDestPath");
    EXPECT_FALSE(panel->isVisible());
    child<QRadioButton>(pgSpeicherort, "RadioButtonCopy")->click();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(
        wizard.page(pgSpeicherort)->LabelFormatDescr->caption().contains("only get copied"));

    // A folder typed as "~/..." is stored as a full path and the lists follow it.
    auto *field = child<QLineEdit>(pgSpeicherort, "LabeledEditZielpath_L");
    EXPECT_EQ(field->text(), root() + "/dest_L");
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "~/Stereo pairs");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(store.Naming.FolderLeft, QDir::homePath() + "/Stereo pairs");
    EXPECT_EQ(entries().front()->NewFullPath(), QDir::homePath() + "/Stereo pairs/New1_L.jpg");

    next();
    EXPECT_EQ(wizard.controller().CurrentPage(), pgRenameSource);
    EXPECT_TRUE(wizard.BitBtnPrev->isEnabled());
    const QTextBlock first = wizard.RichEditVerlauf->document()->firstBlock();
    EXPECT_EQ(first.text(), "Destination folder");
    EXPECT_EQ(first.begin().fragment().charFormat().fontWeight(), QFont::Bold);
    EXPECT_TRUE(wizard.RichEditVerlauf->toPlainText().contains("Copy images"));
}

TEST_F(Form, TheSpmPageShowsWhereTheListGoes)
{
    spmListFile = root() + "/lists/pairs.TXT";
    wizard.controller().SetChoice(pgRenameSource, 2);
    wizard.show();
    next();
    next();
    ASSERT_EQ(wizard.controller().CurrentPage(), pgSpmListe);
    auto *page = static_cast<TFrameAssistentSPMListe *>(wizard.page(pgSpmListe));
    EXPECT_EQ(page->LabeledEditSPMFile->text(), spmListFile);
    page->chooseFile = [this](const QString &start) {
        EXPECT_EQ(start, this->spmListFile);
        return root() + "/other.TXT";
    };
    page->ButtonOpenSPM->click();
    EXPECT_EQ(spmListFile, root() + "/other.TXT");
    child<QRadioButton>(pgSpmListe, "RadioButtonOption2")->click();
    EXPECT_FALSE(page->PanelDestPath->isVisible());
}

TEST_F(Form, EscapeDuringTheRunOnlyAsksTheRunToStop)
{
    bool stopAsked = false;
    bool openDuringRun = false;
    wizard.setJobRunner(
        [&](const TBatchJobSettings &, TRunProgress &progress) {
            progress.BeginPhase("Searching for data", 3, 1);
            QTest::keyClick(&wizard, Qt::Key_Escape);
            progress.StepProgress("Renaming");
            openDuringRun = wizard.isVisible() && !wizard.BitBtnNext->isEnabled();
            return stopAsked;
        },
        [&] { stopAsked = true; });
    QSignalSpy logShown(&wizard, &TFormAssistent2::showLogRequested);
    wizard.show();
    for (int i = 0; i < 4; ++i)
        next();
    ASSERT_EQ(wizard.controller().CurrentPage(), pgBestAuftrag);
    EXPECT_EQ(wizard.BitBtnNext->text(), "Finish");
    next();
    EXPECT_TRUE(stopAsked);
    EXPECT_TRUE(openDuringRun);
    EXPECT_EQ(wizard.runPage()->LabelStatus->caption(), "<FB><c8>Renaming<FN><FB><c8>  1/2 (1/3)");
    EXPECT_FALSE(wizard.isVisible());
    EXPECT_EQ(wizard.result(), QDialog::Rejected);
    EXPECT_EQ(logShown.count(), 1);
    EXPECT_EQ(wizard.controller().CurrentPage(), pgAuftragError);
}

// The wizard with its own engine on real files: a copy job ends on the success page, a job
// whose source vanished before Finish ends on the incomplete-job page, which opens the log.
TEST_F(Form, PressedThroughToBothResultPages)
{
    QSignalSpy logShown(&wizard, &TFormAssistent2::showLogRequested);
    const auto finishJob = [this] {
        for (int guard = 0; guard < 12 && wizard.controller().CurrentPage() != pgBestAuftrag;
             ++guard)
            next();
        ASSERT_EQ(wizard.controller().CurrentPage(), pgBestAuftrag);
    };

    // The copy job also writes the pair's MPO (listed with the copies, not the renaming).
    stereo->Outputs = {TStereoOutput::Mpo};
    wizard.show();
    child<QRadioButton>(pgSpeicherort, "RadioButtonCopy")->click();
    finishJob();
    next(); // Finish: the job runs inside this click
    EXPECT_EQ(wizard.controller().CurrentPage(), pgAuftragSucc);
    EXPECT_TRUE(QFile::exists(
        stereo->Folder + "/" +
        StereoOutputFileName(StereoPairBaseName(*entries().front()), TStereoOutput::Mpo)))
        << qPrintable(logText());
    EXPECT_TRUE(QFile::exists(root() + "/dest_L/New1_L.jpg"));
    EXPECT_TRUE(QFile::exists(root() + "/dest_R/New1_R.jpg"));
    EXPECT_TRUE(QFile::exists(root() + "/src/P1_L.jpg"));
    EXPECT_TRUE(QFile::exists(spmListFile));
    EXPECT_EQ(log.Lines().constLast().Text, "Batch Job was successful");
    EXPECT_TRUE(logText().contains("Execute Batch Job\nDatum: ")) << qPrintable(logText());
    EXPECT_EQ(logShown.count(), 0);
    EXPECT_EQ(wizard.BitBtnNext->text(), "Exit");
    EXPECT_FALSE(wizard.BitBtnCancel->isEnabled());
    next();
    EXPECT_FALSE(wizard.isVisible());
    EXPECT_EQ(wizard.result(), QDialog::Accepted);

    log.Clear();
    stereo->Outputs.clear();
    wizard.show();
    child<QRadioButton>(pgSpeicherort, "RadioButtonNone")->click();
    next();
    child<QRadioButton>(pgRenameSource, "RadioButtonRenSrcYes")->click();
    finishJob();
    ASSERT_TRUE(QFile::remove(root() + "/src/P1_R.jpg"));
    next();
    EXPECT_EQ(wizard.controller().CurrentPage(), pgAuftragError);
    EXPECT_TRUE(QFile::exists(root() + "/src/New1_L.jpg"));
    EXPECT_EQ(log.Lines().constLast().Text, "Batch Job incomplete");
    EXPECT_EQ(log.Lines().constLast().Color, logcolor::Red);
    EXPECT_TRUE(logText().contains("Error renaming")) << qPrintable(logText());
    EXPECT_EQ(logShown.count(), 1);
}

// The stereo files' page edits the session's settings, keeps them over Back and Next, and
// the settings file brings them back in a new wizard.
TEST_F(Form, TheStereoPageIsTheSettingAndTheSettingsFileKeepsIt)
{
    wizard.controller().SetChoice(pgRenameSource, 2);
    wizard.show();
    next();
    next();
    next();
    ASSERT_EQ(wizard.controller().CurrentPage(), pgStereoOutputs);
    auto *page = static_cast<TFrameAssistentStereo *>(wizard.page(pgStereoOutputs));
    EXPECT_EQ(page->LabeledEditStereoFolder->text(), root() + "/stereo");
    EXPECT_EQ(page->SpinEditQuality->value(), 95);
    child<QCheckBox>(pgStereoOutputs, "CheckBoxStereo_half_sbs")->click();
    child<QCheckBox>(pgStereoOutputs, "CheckBoxStereo_mpo")->click();
    page->chooseFolder = [this](const QString &start) {
        EXPECT_EQ(start, root() + "/stereo");
        return root() + "/3d";
    };
    page->ButtonStereoFolder->click();
    page->SpinEditQuality->setValue(80);
    page->CheckBoxAlign->click();
    // The page fits a 1366 x 768 screen with room for the desktop's panels.
    EXPECT_LE(wizard.minimumSizeHint().height(), 680);
    EXPECT_LE(wizard.minimumSizeHint().width(), 1300);
    // A picture of the page: the variable holds the seconds to wait for it.
    if (const int wait = qEnvironmentVariableIntValue("DUOMIRA_SCREENSHOT_WAIT"); wait > 0)
        QTest::qWait(wait * 1000);
    const TStereoOutputSettings chosen = *stereo;
    EXPECT_EQ(chosen.Outputs,
              (QList<TStereoOutput>{TStereoOutput::Mpo, TStereoOutput::HalfSideBySide}));
    EXPECT_EQ(chosen.Folder, root() + "/3d");
    EXPECT_EQ(chosen.Quality, 80);
    EXPECT_TRUE(chosen.Align);

    wizard.BitBtnPrev->click();
    EXPECT_EQ(wizard.controller().CurrentPage(), pgSpmListe);
    next();
    EXPECT_EQ(wizard.controller().CurrentPage(), pgStereoOutputs);
    EXPECT_TRUE(child<QCheckBox>(pgStereoOutputs, "CheckBoxStereo_mpo")->isChecked());
    next();
    ASSERT_EQ(wizard.controller().CurrentPage(), pgBestAuftrag);
    EXPECT_TRUE(wizard.page(pgBestAuftrag)
                    ->LabelFormat->caption()
                    .contains("stereo files (MPO (lossless), Half side by side (3D TV))"));

    TIniFile ini;
    SaveComponentSettings(&wizard, ini);
    auto restored = std::make_shared<TStereoOutputSettings>(TStereoOutputSettings::Defaults());
    TFormAssistent2 second(
        {store, log, spmListFile, StereoOutputProvider(restored), restored.get()}, nullptr,
        volumes);
    LoadComponentSettings(&second, ini);
    EXPECT_EQ(restored->Outputs, chosen.Outputs);
    EXPECT_EQ(restored->Folder, chosen.Folder);
    EXPECT_EQ(restored->Quality, 80);
    EXPECT_TRUE(restored->Align);
}
