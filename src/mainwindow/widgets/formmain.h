#pragma once
// TFormMain: the program's main window with its menus and actions. Closing it ends the
// program. It is the receiver of the posted window messages (ui/windowmessages.h).
#include <QMainWindow>

class QAction;

class TFormMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TFormMain(QWidget *parent = nullptr);

private:
    void createActions();
    void createMenus();

    // Actions shared by the menus and the window's buttons; each one's objectName is its
    // member name.
    QAction *ActionOpenLeft = nullptr;
    QAction *ActionOpenRight = nullptr;
    QAction *ActionClose = nullptr;
    QAction *ActionSort = nullptr;
    QAction *ActionSortAllMenu = nullptr;
    QAction *ActionSortMonoMenu = nullptr;
    QAction *ActionSortAll = nullptr;
    QAction *ActionAuftragRun = nullptr;
    QAction *ActionAuftragProtokoll = nullptr;
    QAction *ActionAuftrafNew = nullptr;
    QAction *ActionAcout = nullptr;
    QAction *ActionDir_L = nullptr;
    QAction *ActionDir_R = nullptr;
    QAction *ActionDir_M = nullptr;
};
