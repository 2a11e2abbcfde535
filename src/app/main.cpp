// Start-up and shut-down of the program.
//
// Start-up: initialise the application, load the imaging library (one warning when it
// cannot be used: the program then handles JPEG files only), set its title, create the
// windows once in their fixed order (they live until the program ends and are only shown
// and hidden), show the main window and run the event loop until it is closed. Shut-down undoes this in reverse:
// the windows are destroyed last-created first, then the imaging library is released.
#include "batch/protokoll.h"
#include "batch/widgets/formassistent2.h"
#include "batch/widgets/formprotokoll.h"
#include "imaging/libgfl.h"
#include "mainwindow/widgets/formmain.h"
#include "naming/widgets/formeditrenmask.h"
#include "naming/widgets/formsearchreplace.h"
#include "ui/appinfo.h"
#include "ui/widgets/formbest.h"
#include "ui/widgets/formdlgbox.h"
#include "ui/widgets/formdlgnext.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QString gflMessages;
    if (!GflStartup(gflMessages))
        ShowDlgBox(GflStartupWarning(gflMessages), DlgKind::Error, DlgButton::OK);
    QApplication::setApplicationName(appinfo::applicationTitle());
    QApplication::setApplicationVersion(appinfo::versionText());

    int result = 0;
    {
        TFormMain formMain;
        TFormDlgNext formDlgNext(&formMain);
        TFormEditRenMask formEditRenMask(&formMain);
        TFormSearchReplace formSearchReplace(&formMain);
        TFormBest formBest(&formMain);
        formMain.setPairPrompt(&formDlgNext);
        formMain.setTokenPalette(&formEditRenMask);
        formMain.setSearchWindow(&formSearchReplace);
        formMain.setReplaceQuestion(&formBest);
        TFormProtokoll formProtokoll(JobLog());
        formMain.setLogWindow(&formProtokoll);
        TFormAssistent2 formAssistent2(JobLog(), &formMain);
        formMain.setBatchWizard(&formAssistent2);

        formMain.show();
        result = app.exec();
    }
    GflShutdown();
    return result;
}
