#include "ui/appinfo.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(appinfo::applicationTitle());
    QMainWindow w;
    w.setWindowTitle(appinfo::applicationTitle());
    w.show();
    return app.exec();
}
