// Start-up and shut-down of the program.
//
// Start-up: initialise the application, set its title, create the windows once in their
// fixed order (they live until the program ends and are only shown and hidden), show the
// main window and run the event loop until it is closed. Shut-down undoes this in reverse:
// the windows are destroyed last-created first.
#include "mainwindow/widgets/formmain.h"
#include "ui/appinfo.h"
#include "ui/widgets/formbest.h"
#include "ui/widgets/formdlgnext.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(appinfo::applicationTitle());
    QApplication::setApplicationVersion(appinfo::versionText());

    TFormMain formMain;
    TFormDlgNext formDlgNext(&formMain);
    TFormBest formBest(&formMain);

    formMain.show();
    return app.exec();
}
