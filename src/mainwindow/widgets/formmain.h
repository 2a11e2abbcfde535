#pragma once
// TFormMain: the program's main window. On the left the option stack; on the right the
// stereo preview panels, the edit area with its tabs and the selection bar, and the two
// image lists whose rows stay in step. Closing the window ends the program. It is the
// receiver of the posted window messages (mainwindow/widgets/windowmessages.h).
//
// The window only connects: it turns the user's drops, clicks and edits into calls on the
// core objects (the lists' row models, the idle processor that loads files and reads them,
// the ordering pass and pair editing, the list actions) and shows their results. It is the
// view that the loading and the idle processing drive (status line, progress bar, enabling
// of the actions).
#include "preview/fullscreen.h"
#include "preview/stereopreview.h"
#include "session/loading.h"
#include "session/mainstate.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class ListRowModel;
class QAction;
class QMenu;
class QWidget;
class TAboutBox;
class TEditArea;
class TFormAssistent2;
class TFormBest;
class TFormDlgNext;
class TFormEditRenMask;
class TFormSearchReplace;
class TFullScreenView;
class TIdleProcessor;
class TImageList;
class TImageListView;
class TListActions;
class TOptionStack;
class TOrderingPass;
class TPairCheckQueue;
class QLabel;
class TPairEditing;
class TPreviewArea;
class TSearchReplace;
class TSession;
class TSessionKeeper;
class TStatusProgress;
struct TSessionOpenOutcome;
struct TSearchOptions;
struct TSideEditControls;

// A plain text with line ends as the message boxes' markup (formmain_session.cpp).
QString literalLines(const QString &text);

class TFormMain : public QMainWindow, public TLoadingView
{
    Q_OBJECT

public:
    explicit TFormMain(QWidget *parent = nullptr);
    ~TFormMain() override;

    // ---- Parts, for the program's start-up and for tests ----
    // The session the window shows.
    TSession &session() const { return *m_session; }
    // Its file, unsaved changes and recovery file (formmain_session.cpp).
    TSessionKeeper &sessionKeeper() const { return *m_keeper; }
    ListRowModel &leftList() const { return *m_left; }
    ListRowModel &rightList() const { return *m_right; }
    TImageList &smallImages() const { return *m_smallImages; }
    TImageListView *listView(const ListRowModel &list) const;
    TOptionStack *optionStack() const { return m_options; }
    TEditArea *editArea() const { return m_edit; }
    TIdleProcessor &idleProcessor() const { return *m_idle; }
    TMainWindowState &windowState() { return m_state; }
    // The list the mouse last moved over (drop target) and the one last clicked.
    ListRowModel *hoverList() const { return m_hoverList; }
    ListRowModel *activeList() const { return m_activeList; }

    // The pair prompt shown when an automatic assignment needs one known pair. The program
    // hands over the one it created at start-up; without one the window makes its own.
    void setPairPrompt(TFormDlgNext *prompt);
    // The job log window that "Show log of last Batch Job execution" shows; the action is
    // enabled once there is one.
    void setLogWindow(QWidget *window);
    TFormDlgNext *pairPrompt();
    // The batch job wizard that "Execute Batch Job" opens; without one the window makes
    // its own when first needed.
    void setBatchWizard(TFormAssistent2 *wizard);
    TFormAssistent2 *batchWizard();
    // The About box that "About..." shows; the program hands over the one it created at
    // start-up, without one the window makes its own.
    void setAboutBox(TAboutBox *box);
    TAboutBox *aboutBox();

    // The token palette, the search window and the replace question that the program
    // created at start-up; without them the window makes its own when first needed.
    void setTokenPalette(TFormEditRenMask *palette);
    void setSearchWindow(TFormSearchReplace *window);
    void setReplaceQuestion(TFormBest *question);
    TFormSearchReplace *searchWindow();
    TFormBest *replaceQuestion();

    // Adds files to target (folders stand for the image files in them), as a drop or an
    // open dialog does. While an ordering pass or another batch of files is in progress
    // the batch waits for it.
    void loadFiles(const QStringList &paths, ListRowModel &target, LoadSource source);

    // ---- TLoadingView ----
    void SetStatusText(const QString &text) override;
    void SetProgressMaximum(int maximum) override;
    void SetProgressPosition(int position) override;
    void SetProgressToMaximum() override;
    void LetEventsThrough() override;
    void SetSortActionEnabled(bool enabled) override;
    void SetSortingActionsEnabled(bool enabled) override;
    void SetSortingRadioButtonsEnabled(bool enabled) override;
    void SetBatchJobEnabled(bool enabled) override;
    void SetOpenActionsEnabled(bool enabled) override;
    void SetListsVisible(bool visible) override;
    void MarkPreviewsDirty() override;
    void IdlePreviews() override;
    void ReportLoadingProblem(const QString &message, const QStringList &files) override;

    // Preview flags (the preview panels draw from them at idle time).
    TPreviewFlags PreviewFlags;
    bool &LeftDirty = PreviewFlags.LeftDirty;
    bool &RightDirty = PreviewFlags.RightDirty;
    bool &AnaglyphDirty = PreviewFlags.AnaglyphDirty;
    bool &ExifDirtyL = PreviewFlags.ExifDirtyL;
    bool &ExifDirtyR = PreviewFlags.ExifDirtyR;

    // The stereo preview: the area above the edit area and the lists (height set by the
    // splitter above the lists) that holds its panels, and its drawing step.
    TPreviewArea *previewArea() const { return m_previewArea; }
    TStereoPreview &stereoPreview() const { return *m_preview; }
    // The full-screen stereo view (F11, or a double click on the preview); null while it
    // is closed.
    void openFullScreen();
    TFullScreenView *fullScreenView() const;

    // ---- session files (formmain_session.cpp) ----
    // Opens the session file at path after asking about unsaved changes; false when the
    // user cancelled or the file was refused (the lists stay as they were).
    bool openSession(const QString &path);
    // "Save Session" / "Save Session As...": false when cancelled or failed (reported).
    bool saveSession(bool chooseName);
    // Claims this instance's recovery file; then offers to restore the work of an instance
    // that ended without saving it. The program calls it once the window is shown.
    void startRecovery();
    // The program is asked to end by a signal (a shutdown): unsaved work goes to the recovery
    // file, and the window then closes without asking, keeping that file for the next start.
    void endBySignal();
    // The answer the window gives "Save changes to the session?" (tests set it; unset, a
    // message box asks) and the file "Save As" would choose (unset: a file dialog).
    std::function<int(const QString &question)> loseWorkAsker;
    std::function<QString()> saveAsChooser;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // ---- construction (formmain.cpp) ----
    void createActions();
    void createMenus();
    QWidget *createRightPanel();
    void connectActions();
    void connectOptions();

    // ---- window messages and actions (formmain.cpp) ----
    void handleWindowMessage(int message, qintptr wParam, qintptr lParam);
    void handleAssignStep(TAssignStep step, OrderingMode mode);
    // Posts the pair prompt's answers to the window as WM_ASSIGN_STEP.
    void connectPairPrompt();
    void openImages(ListRowModel &target, const QString &title);
    // "Show log of last Batch Job execution", and the wizard's "Show Details...".
    void showLogWindow();
    void chooseFolder(QWidget *edit, const QString &title);
    // A re-assignment: OrderingMode::AssignAll or AssignUnpaired.
    void runOrdering(OrderingMode mode);
    // After an ordering pass or a pair edit: the rows have moved. With selectCounterpart the
    // counterpart of the entry being worked on is selected again (TPairEditing::
    // SelectCurrentPair); the rows the selection handlers remember become the rows selected
    // now, and the previews are drawn again.
    void rowsRearranged(bool selectCounterpart);
    // Shows what the last aligning pass found in the status line (and keeps it there).
    void notePairingReport();
    void sortChronologically();
    void executeBatchJob();
    void removeAllItems();
    bool orderingRunning() const;
    void showInternalError(const QString &text);
    // The window, frame included, within the screen's available area, at its top left.
    void fitToScreen();
    void showOutcome(const TActionOutcome &outcome);

    // ---- session files (formmain_session.cpp) ----
    void addSessionMenu(QMenu *file);
    void connectSession();
    void updateTitle();
    void fillRecentMenu();
    // The session's naming settings and mask shown in the window's fields.
    void showSessionSettings();
    void reportOpened(const TSessionOpenOutcome &outcome);
    // Empties both lists for a session that is opened or restored.
    void clearForSession();
    bool confirmLoseWork(int path);
    void undoLastBatchJob();

    // ---- stereo preview (formmain_preview.cpp) ----
    void connectPreview();
    TDisplayMode displayMode() const;
    void displayModeChanged();
    void previewPanelResized(int side);
    TPreviewOptions previewOptions() const;
    void prefetchNextPair();

    // ---- full-screen view (formmain_fullscreen.cpp) ----
    void connectFullScreen();
    void drawFullScreen();
    void fullScreenStep(TFullScreenAction action);
    void fullScreenClosed();

    // ---- lists and edit panels (formmain_lists.cpp) ----
    void connectLists();
    void connectEditArea();
    void listSelectionChanged(ListRowModel &list);
    void listClicked(ListRowModel &list);
    void refreshEditPanel(ListRowModel &list);
    void refreshEditPanels();
    TSideEditControls &controlsOf(const ListRowModel &list);
    void markSideDirty(const ListRowModel &list);
    void editSelected(ListRowModel &list, int code);
    void listActionClicked(ListRowModel &list, int code);
    void removeFromList(ListRowModel &list);
    void selectionButtonClicked(int mode);
    void searchButtonClicked(ListRowModel &list, int attribute);
    void searchUnassigned();
    void combinations();
    void linkClicked();
    void updateNumbering();
    void scheduleNumbering();
    void applyThumbnailSize(int itemIndex);

    // ---- the background pair check (formmain_paircheck.cpp) ----
    void connectPairCheck();
    // The preview's line with the figures of the selected pair.
    void showPairCheckLine();
    // "Ready" in the status line: what the last aligning pass found and what the check found.
    QString readyStatusText() const;

    // ---- renaming and search and replace (formmain_naming.cpp) ----
    void connectNaming();
    void schedulePreview();
    void renameSelected();
    void openSearchReplace();
    void searchRequested(const TSearchOptions &options);
    void replaceRequested(const TSearchOptions &options, bool all);

    // Core objects. The session goes last: the objects that work on its lists are released
    // first.
    std::unique_ptr<TSession> m_session;
    ListRowModel *m_left;  // the session's
    ListRowModel *m_right; // the session's
    std::unique_ptr<TImageList> m_smallImages;
    TMainWindowState &m_state; // the session's
    std::unique_ptr<TStatusProgress> m_progress;
    QString m_pairingNote;
    std::unique_ptr<TOrderingPass> m_pass;
    std::unique_ptr<TPairEditing> m_pairs;
    std::unique_ptr<TListActions> m_actions;
    std::unique_ptr<TIdleProcessor> m_idle;
    std::unique_ptr<TStereoPreview> m_preview;
    std::unique_ptr<TSearchReplace> m_search;
    std::unique_ptr<TPairCheckQueue> m_checks;
    std::unique_ptr<TSessionKeeper> m_keeper;
    QMenu *m_recentMenu = nullptr;
    bool m_endingBySignal = false; // endBySignal: close without the question

    // Widgets.
    TOptionStack *m_options = nullptr;
    TEditArea *m_edit = nullptr;
    TImageListView *ListView_L = nullptr;
    TImageListView *ListView_R = nullptr;
    QWidget *PanelImage_L = nullptr;
    QWidget *PanelImage_R = nullptr;
    TPreviewArea *m_previewArea = nullptr;
    QLabel *LabelPairCheck = nullptr; // the selected pair's check, below the preview
    bool m_statusReady = false;       // the status line shows "Ready" (or what stands for it)
    TPairStepper m_previewSteps;      // the rows the preview showed, for reading ahead
    QPointer<TFullScreenView> m_fullScreen;
    TPairStepper m_fullScreenSteps;
    QPointer<TFormDlgNext> m_pairPrompt;
    QPointer<TAboutBox> m_aboutBox;
    QPointer<TFormSearchReplace> m_searchWindow;
    QPointer<TFormBest> m_replaceQuestion;
    QPointer<QWidget> m_logWindow;
    QPointer<TFormAssistent2> m_wizard;

    // Window state.
    bool Updating = false;       // an edit panel is being filled in code
    bool NumberUpdating = false; // the numbering fields are being set in code
    int LastLeftRow = -1;
    int LastRightRow = -1;
    ListRowModel *m_hoverList = nullptr;
    ListRowModel *m_activeList = nullptr;
    bool m_shown = false;
    bool m_loading = false;
    bool m_numberingScheduled = false;
    bool m_previewScheduled = false;

public:
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
    QAction *ActionSessionOpen = nullptr;
    QAction *ActionSessionSave = nullptr;
    QAction *ActionSessionSaveAs = nullptr;
    QAction *ActionUndoLastJob = nullptr;
    QAction *ActionFullScreen = nullptr;
};
