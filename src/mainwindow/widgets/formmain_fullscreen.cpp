// TFormMain: the full-screen stereo view. F11 or a double click on the preview opens it
// over the whole screen; its step keys move the selection of the list last worked in, as
// the keys of the list would, and the window hands it the selected pair at every idle pass.
#include "mainwindow/widgets/formmain.h"

#include "entries/listrows.h"
#include "imaging/libgfl.h"
#include "mainwindow/widgets/optionstack.h"
#include "preview/widgets/fullscreenview.h"
#include "preview/widgets/previewarea.h"
#include "session/idleprocessor.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSpinBox>

void TFormMain::connectFullScreen()
{
    ActionFullScreen = new QAction(QStringLiteral("Full-screen stereo view"), this);
    ActionFullScreen->setObjectName(QStringLiteral("ActionFullScreen"));
    ActionFullScreen->setShortcut(QKeySequence(Qt::Key_F11));
    addAction(ActionFullScreen);
    // The "View" menu, before "Batch Job", shows the entry with its key.
    QMenu *viewMenu = new QMenu(QStringLiteral("View"), this);
    viewMenu->setObjectName(QStringLiteral("MenuView"));
    viewMenu->addAction(ActionFullScreen);
    QMenu *batch = menuBar()->findChild<QMenu *>(QStringLiteral("MenuBatchJob"));
    menuBar()->insertMenu(batch ? batch->menuAction() : nullptr, viewMenu);
    m_previewArea->setToolTip(
        QStringLiteral("Double-click or F11: the pair over the whole screen"));

    connect(ActionFullScreen, &QAction::triggered, this, &TFormMain::openFullScreen);
    connect(m_previewArea, &TPreviewArea::doubleClicked, this, &TFormMain::openFullScreen);
}

TFullScreenView *TFormMain::fullScreenView() const
{
    return m_fullScreen.data();
}

void TFormMain::openFullScreen()
{
    if (m_fullScreen) {
        m_fullScreen->activateWindow();
        return;
    }
    auto *view = new TFullScreenView(&Gfl(), this);
    view->setMode(displayMode());
    view->setSpacing(m_options->SpinEditAbstand->value());
    connect(view, &TFullScreenView::stepRequested, this, &TFormMain::fullScreenStep);
    connect(view, &TFullScreenView::redrawWanted, this, [this] { m_idle->ScheduleIdle(); });
    connect(view, &QObject::destroyed, this, &TFormMain::fullScreenClosed);
    m_fullScreen = view;
    m_fullScreenSteps = TPairStepper();
    // On the screen the window is on.
    if (QScreen *screen = this->screen())
        view->setGeometry(screen->geometry());
    view->showFullScreen();
    view->activateWindow();
    view->setFocus();
    m_idle->ScheduleIdle();
}

void TFormMain::drawFullScreen()
{
    int row = m_left->ItemIndex();
    if (row < 0)
        row = m_right->ItemIndex();
    const int ahead = m_fullScreenSteps.Shown(row);
    m_fullScreen->Show(m_left->SelectedEntry(), m_right->SelectedEntry(), m_left->EntryAt(ahead),
                       m_right->EntryAt(ahead));
}

void TFormMain::fullScreenStep(TFullScreenAction action)
{
    if (orderingRunning())
        return;
    ListRowModel &list = *m_activeList;
    int row = list.ItemIndex();
    if (row < 0 && list.OtherList())
        row = list.OtherList()->ItemIndex();
    const int target = FullScreenStepRow(action, row, list.Count(), list.VisibleRowCount());
    if (target < 0 || (target == row && list.ItemIndex() == row))
        return;
    // As a key in the list does: the row alone selected and focused, scrolled into sight;
    // the selection handler selects the counterpart and marks the preview.
    list.ClearSelection();
    list.SetItemIndex(target);
    list.SetFocusedRow(target);
    list.SetTopRow(TopRowShowing(target, list.TopRow(), list.VisibleRowCount()));
    m_idle->ScheduleIdle();
}

void TFormMain::fullScreenClosed()
{
    // The preview under it catches up with the pair shown last.
    MarkPreviewsDirty();
    AnaglyphDirty = displayMode() == TDisplayMode::Anaglyph;
    m_idle->ScheduleIdle();
    activateWindow();
}
