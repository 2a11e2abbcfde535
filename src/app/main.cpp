// Start-up and shut-down of the program.
//
// Start-up: initialise the application, load the imaging library (one warning when it
// cannot be used: the program then handles JPEG files only), set its title, create the
// windows once in their fixed order (they live until the program ends and are only shown
// and hidden), read the settings file into the controls of the windows and copy the
// suffixes and destination folders into the program-wide naming settings, then show the
// main window (loading the files named on the command line, as the desktop's "Open with"
// hands them over) and run the event loop until it is closed.
//
// Once shown, the window claims its crash recovery file and offers to restore the work of an
// instance that ended without saving it.
//
// Shut-down (also on SIGTERM, SIGINT or SIGHUP, after unsaved work went to the recovery
// file): write the settings of the windows to the settings file, destroy the windows
// (last-created first), then release the imaging library.
#include "batch/protokoll.h"
#include "batch/runengine.h"
#include "batch/widgets/formassistent2.h"
#include "batch/widgets/formprotokoll.h"
#include "entries/namingsettings.h"
#include "imaging/libgfl.h"
#include "mainwindow/widgets/formmain.h"
#include "mainwindow/widgets/optionstack.h"
#include "naming/widgets/formeditrenmask.h"
#include "naming/widgets/formsearchreplace.h"
#include "session/session.h"
#include "session/sessionkeeper.h"
#include "ui/appinfo.h"
#include "ui/inifile.h"
#include "ui/programicon.h"
#include "ui/termination.h"
#include "ui/widgets/aboutbox.h"
#include "ui/widgets/formbest.h"
#include "ui/widgets/formdlgbox.h"
#include "ui/widgets/formdlgnext.h"
#include "ui/widgets/settingswalker.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QPixmap>

namespace {

// The suffixes and destination folders that the entries use follow the main window's
// fields, also where restoring left a field's text as it was.
void CopyNamingFields(TFormMain &formMain)
{
    const TOptionStack *o = formMain.optionStack();
    TNamingSettings &s = formMain.session().Naming();
    s.SuffixLeft = o->LabeledEditSuffix_L->text();
    s.SuffixRight = o->LabeledEditSuffix_R->text();
    s.SuffixMono = o->LabeledEditSuffix_M->text();
    s.SuffixStereo = o->LabeledEditSuffix_Stereo->text();
    s.FolderLeft = o->LabeledEditZielpath_L->text();
    s.FolderRight = o->LabeledEditZielpath_R->text();
    s.FolderMono = o->LabeledEditZielpath_M->text();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QString gflMessages;
    if (!GflStartup(gflMessages))
        ShowDlgBox(GflStartupWarning(gflMessages), DlgKind::Error, DlgButton::OK);
    QApplication::setApplicationName(appinfo::applicationTitle());
    QApplication::setApplicationVersion(appinfo::versionText());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.duomira.Duomira"));
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(ProgramIconImage(64))));

    const QString settingsPath = SettingsFilePath(QCoreApplication::applicationDirPath());
    int result = 0;
    {
        TFormMain formMain;
        TFormDlgNext formDlgNext(&formMain);
        TAboutBox aboutBox(&formMain);
        TFormEditRenMask formEditRenMask(&formMain);
        TFormSearchReplace formSearchReplace(&formMain);
        TFormBest formBest(&formMain);
        formMain.setPairPrompt(&formDlgNext);
        formMain.setAboutBox(&aboutBox);
        formMain.setTokenPalette(&formEditRenMask);
        formMain.setSearchWindow(&formSearchReplace);
        formMain.setReplaceQuestion(&formBest);
        TFormAssistent2 formAssistent2(formMain.session().BatchContext(), &formMain);
        formMain.setBatchWizard(&formAssistent2);
        TFormProtokoll formProtokoll(formMain.session().JobLog());
        formMain.setLogWindow(&formProtokoll);

        if (LoadProgramSettings(settingsPath, SettingsWindows()))
            CopyNamingFields(formMain);

        // Ended by the desktop session or a terminal: a running job stops between two
        // files, every event loop ends, and the settings are written below as at any end.
        termination::Install();
        TTerminationNotifier terminationNotifier;
        QObject::connect(&terminationNotifier, &TTerminationNotifier::requested, &app,
                         [&app, &formAssistent2, &formMain] {
                             formAssistent2.engine().RequestCancel();
                             // Unsaved work goes to the recovery file, offered at the next start.
                             formMain.endBySignal();
                             // Queued: a signal taken while files handed over are still loading
                             // (events let through before the event loop runs) must still end the
                             // loop once it runs.
                             QMetaObject::invokeMethod(&app, &QCoreApplication::quit,
                                                       Qt::QueuedConnection);
                         });

        formMain.show();
        formMain.startRecovery();
        // Files handed over by the desktop ("Open with Duomira") arrive like a drop on the
        // left list: names with "_L."/"_R." still choose their side.
        const QStringList files = QCoreApplication::arguments().mid(1);
        // A session file handed over is opened as a session.
        if (files.size() == 1 && files.first().endsWith(QLatin1String(".duomira")))
            formMain.openSession(QFileInfo(files.first()).absoluteFilePath());
        else if (!files.isEmpty())
            formMain.loadFiles(files, formMain.leftList(), LoadSource::Drop);
        result = app.exec();

        SaveProgramSettings(settingsPath, SettingsWindows(),
                            QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
                            appinfo::copyrightText());
    }
    GflShutdown();
    return result;
}
