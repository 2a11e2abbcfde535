#include "mainwindow/widgets/formmain.h"

#include "ui/appinfo.h"
#include "ui/windowmessages.h"

#include <QAction>
#include <QMenuBar>

TFormMain::TFormMain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(appinfo::applicationTitle());
    resize(1024, 720);
    setCentralWidget(new QWidget(this));

    createActions();
    createMenus();

    setMessageReceiver(this);
}

void TFormMain::createActions()
{
    struct ActionDef
    {
        QAction *TFormMain::*member;
        const char *name;
        const char *caption;
    };
    static constexpr ActionDef defs[] = {
        {&TFormMain::ActionOpenLeft, "ActionOpenLeft", "Open Left View Images"},
        {&TFormMain::ActionOpenRight, "ActionOpenRight", "Open Right View Images"},
        {&TFormMain::ActionClose, "ActionClose", "Exit"},
        {&TFormMain::ActionSort, "ActionSort", "Chronological ordering of stereo lists"},
        {&TFormMain::ActionSortAllMenu, "ActionSortAllMenu", "Assign all entries"},
        {&TFormMain::ActionSortMonoMenu, "ActionSortMonoMenu",
         "Assign all list entries marked as Unassigned"},
        {&TFormMain::ActionSortAll, "ActionSortAll", "Dissolve all assignments and re-assign"},
        {&TFormMain::ActionAuftragRun, "ActionAuftragRun", "Execute Batch Job"},
        {&TFormMain::ActionAuftragProtokoll, "ActionAuftragProtokoll",
         "Show log of last Batch Job execution"},
        {&TFormMain::ActionAuftrafNew, "ActionAuftrafNew", "Remove all items from both lists"},
        {&TFormMain::ActionAcout, "ActionAcout", "About..."},
        {&TFormMain::ActionDir_L, "ActionDir_L", "Open folder with Left View images"},
        {&TFormMain::ActionDir_R, "ActionDir_R", "Open folder with Right View images"},
        {&TFormMain::ActionDir_M, "ActionDir_M", "Open folder with single images"},
    };
    for (const ActionDef &def : defs) {
        auto *action = new QAction(QString::fromLatin1(def.caption), this);
        action->setObjectName(QString::fromLatin1(def.name));
        // An action is enabled once its handler is connected. The four sorting actions
        // start disabled in any case: the idle processing enables them after loading.
        action->setEnabled(false);
        this->*def.member = action;
    }

    ActionClose->setEnabled(true);
    connect(ActionClose, &QAction::triggered, this, &QWidget::close);
}

void TFormMain::createMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("MenuFile"));
    file->addAction(ActionOpenLeft);
    file->addAction(ActionOpenRight);
    file->addSeparator();
    file->addAction(ActionClose);

    QMenu *ordering = menuBar()->addMenu(QStringLiteral("Ordering"));
    ordering->setObjectName(QStringLiteral("MenuOrdering"));
    ordering->addAction(ActionSort);
    ordering->addSeparator();
    ordering->addAction(ActionSortAllMenu);
    ordering->addAction(ActionSortMonoMenu);

    QMenu *batch = menuBar()->addMenu(QStringLiteral("Batch Job"));
    batch->setObjectName(QStringLiteral("MenuBatchJob"));
    batch->addAction(ActionAuftragRun);
    batch->addAction(ActionAuftragProtokoll);
    batch->addSeparator();
    batch->addAction(ActionAuftrafNew);

    QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("MenuHelp"));
    help->addAction(ActionAcout);
}
