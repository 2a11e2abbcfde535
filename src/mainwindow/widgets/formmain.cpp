#include "mainwindow/widgets/formmain.h"
#include "mainwindow/widgets/filedrop.h"

#include "batch/protokoll.h"
#include "batch/widgets/formassistent2.h"
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "imaging/imagelist.h"
#include "imaging/libgfl.h"
#include "mainwindow/widgets/editarea.h"
#include "mainwindow/widgets/imagelistview.h"
#include "mainwindow/widgets/optionstack.h"
#include "mainwindow/widgets/windowmessages.h"
#include "naming/searchreplace.h"
#include "pairing/ordering.h"
#include "pairing/orderingprogress.h"
#include "pairing/sorting.h"
#include "preview/widgets/fullscreenview.h"
#include "preview/widgets/previewarea.h"
#include "session/idleprocessor.h"
#include "session/listactions.h"
#include "session/optionlogic.h"
#include "session/paircheckqueue.h"
#include "session/paireditor.h"
#include "session/session.h"
#include "session/sessionkeeper.h"
#include "session/sortaction.h"
#include "ui/appinfo.h"
#include "ui/widgets/aboutbox.h"
#include "ui/widgets/folderdialog.h"
#include "ui/widgets/formdlgbox.h"
#include "ui/widgets/formdlgnext.h"
#include "ui/widgets/settingswalker.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int ListPanelHeight = 208;
constexpr int PreferredWidth = 1600;
constexpr int PreferredHeight = 1000;
// The share of the height below the edit area that the lists get at first; the user moves
// the splitter above them to change it.
constexpr double ListShare = 0.6;
constexpr int ListSpacer = 8;
constexpr int SplitterWidth = 6;
// How long a message or a batch of files waits before it is tried again while an ordering
// pass is running.
constexpr int RetryDelayMs = 20;

// A button that triggers action and follows its enabled state.
void bindButton(QAbstractButton *button, QAction *action)
{
    button->setEnabled(action->isEnabled());
    QObject::connect(button, &QAbstractButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button,
                     [button, action] { button->setEnabled(action->isEnabled()); });
}

} // namespace

TFormMain::TFormMain(QWidget *parent)
    : QMainWindow(parent), m_session(std::make_unique<TSession>()), m_left(&m_session->Left()),
      m_right(&m_session->Right()), m_smallImages(std::make_unique<TImageList>()),
      m_state(m_session->State())
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(appinfo::applicationTitle());
    setAcceptDrops(true);

    m_left->SetSmallImages(m_smallImages.get());
    m_right->SetSmallImages(m_smallImages.get());
    m_hoverList = m_left;
    m_activeList = m_left;

    m_progress = std::make_unique<TStatusProgress>();
    m_pass = std::make_unique<TOrderingPass>(*m_left, *m_right, m_progress.get());
    m_pairs = std::make_unique<TPairEditing>(*m_pass, m_state);
    m_actions = std::make_unique<TListActions>(*m_pass, m_state);
    m_idle = std::make_unique<TIdleProcessor>(*m_left, *m_right, *this);
    m_idle->SetOrdering(m_pass.get(), &m_state);
    // A pass that found no run continues after the current event, as a posted message.
    m_state.AssignStepNeeded = [](TAssignStep step, OrderingMode mode) {
        postWindowMessage(WM_ASSIGN_STEP, int(step), int(mode));
    };
    // So does the selection of a counterpart the pair editing asks for.
    m_state.PartnerSelectionNeeded = [](int row, TDatensatz *entry) {
        postWindowMessage(WM_SELECT_PARTNER, row, reinterpret_cast<qintptr>(entry));
    };

    createActions();
    createMenus();

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("Splitter2"));
    splitter->setHandleWidth(SplitterWidth);
    splitter->setChildrenCollapsible(false);
    m_options = new TOptionStack(splitter);
    splitter->addWidget(m_options);
    splitter->addWidget(createRightPanel());
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);

    connectActions();
    connectOptions();
    connectLists();
    connectEditArea();
    connectPreview();
    connectFullScreen();
    connectNaming();
    connectPairCheck();
    connectSession();

    // The first size: the design size, but never more than the screen offers (the frame is
    // taken off once the window is shown and its frame is known).
    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->availableGeometry()
                             : QRect(0, 0, PreferredWidth, PreferredHeight);
    resize(std::min(PreferredWidth, screen.width()), std::min(PreferredHeight, screen.height()));

    setMessageReceiver(this);
    // New and freed entries refresh all rows at the next idle time, after the current event.
    m_session->Registry().SetEntriesChangedHandler([] { postWindowMessage(WM_ENTRIES_CHANGED); });
    updateNumbering();
    refreshEditPanels();
}

TFormMain::~TFormMain()
{
    if (messageReceiver() == this)
        setMessageReceiver(nullptr);
    m_session->Registry().SetEntriesChangedHandler({});
    m_keeper.reset();
    // The reads still running finish before the lists and their entries go; the widgets
    // that show the lists go before the lists.
    if (m_fullScreen) {
        m_fullScreen->disconnect(this);
        delete m_fullScreen;
    }
    m_idle.reset();
    m_preview.reset();
    m_left->Clear();
    m_right->Clear();
    m_left->disconnect(this);
    m_right->disconnect(this);
    delete takeCentralWidget();
}

QWidget *TFormMain::createRightPanel()
{
    auto *panelRight = new QWidget(this);
    panelRight->setObjectName(QStringLiteral("PanelRight"));
    auto *layout = new QVBoxLayout(panelRight);
    layout->setContentsMargins(0, 4, 4, 4);
    layout->setSpacing(0);

    // Splitter1 between the upper part (preview and edit area) and the lists.
    auto *splitter = new QSplitter(Qt::Vertical, panelRight);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->setHandleWidth(SplitterWidth);
    splitter->setChildrenCollapsible(false);

    auto *upper = new QWidget(splitter);
    auto *upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->setSpacing(0);
    // The preview's area: it takes whatever height the splitter leaves above the edit area.
    m_previewArea = new TPreviewArea(upper);
    PanelImage_L = m_previewArea->PanelImage_L;
    PanelImage_R = m_previewArea->PanelImage_R;
    upperLayout->addWidget(m_previewArea, 1);
    LabelPairCheck = new QLabel(upper);
    LabelPairCheck->setObjectName(QStringLiteral("LabelPairCheck"));
    LabelPairCheck->setContentsMargins(6, 1, 6, 1);
    upperLayout->addWidget(LabelPairCheck);
    m_edit = new TEditArea(upper);
    upperLayout->addWidget(m_edit);
    splitter->addWidget(upper);

    auto *panelListen = new QWidget(splitter);
    panelListen->setObjectName(QStringLiteral("PanelListen"));
    auto *lists = new QHBoxLayout(panelListen);
    lists->setContentsMargins(0, 0, 0, 0);
    // The left list keeps half of the panel's width, the spacer between them 8 pixels.
    lists->setSpacing(ListSpacer);
    ListView_L = new TImageListView(m_left, panelListen);
    ListView_L->setObjectName(QStringLiteral("ListView_L"));
    ListView_R = new TImageListView(m_right, panelListen);
    ListView_R->setObjectName(QStringLiteral("ListView_R"));
    lists->addWidget(ListView_L, 1);
    lists->addWidget(ListView_R, 1);
    splitter->addWidget(panelListen);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({600, ListPanelHeight});
    layout->addWidget(splitter);
    return panelRight;
}

void TFormMain::createActions()
{
    struct ActionDef
    {
        QAction *TFormMain::*member;
        const char *name;
        const char *caption;
        bool enabled;
    };
    // The four sorting actions start disabled: the idle processing enables them once
    // files are loaded and read. The log action is enabled when the log window is set.
    static constexpr ActionDef defs[] = {
        {&TFormMain::ActionOpenLeft, "ActionOpenLeft", "Open Left View Images", true},
        {&TFormMain::ActionOpenRight, "ActionOpenRight", "Open Right View Images", true},
        {&TFormMain::ActionClose, "ActionClose", "Exit", true},
        {&TFormMain::ActionSort, "ActionSort", "Chronological ordering of stereo lists", false},
        {&TFormMain::ActionSortAllMenu, "ActionSortAllMenu", "Assign all entries", false},
        {&TFormMain::ActionSortMonoMenu, "ActionSortMonoMenu",
         "Assign all list entries marked as Unassigned", false},
        {&TFormMain::ActionSortAll, "ActionSortAll", "Dissolve all assignments and re-assign",
         false},
        {&TFormMain::ActionAuftragRun, "ActionAuftragRun", "Execute Batch Job", true},
        {&TFormMain::ActionAuftragProtokoll, "ActionAuftragProtokoll",
         "Show log of last Batch Job execution", false},
        {&TFormMain::ActionAuftrafNew, "ActionAuftrafNew", "Remove all items from both lists",
         true},
        {&TFormMain::ActionAcout, "ActionAcout", "About...", true},
        {&TFormMain::ActionDir_L, "ActionDir_L", "Open folder with Left View images", true},
        {&TFormMain::ActionDir_R, "ActionDir_R", "Open folder with Right View images", true},
        {&TFormMain::ActionDir_M, "ActionDir_M", "Open folder with single images", true},
    };
    for (const ActionDef &def : defs) {
        auto *action = new QAction(QString::fromLatin1(def.caption), this);
        action->setObjectName(QString::fromLatin1(def.name));
        action->setEnabled(def.enabled);
        this->*def.member = action;
    }
    ActionOpenLeft->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    ActionOpenRight->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    ActionClose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void TFormMain::createMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("MenuFile"));
    file->addAction(ActionOpenLeft);
    file->addAction(ActionOpenRight);
    file->addSeparator();
    addSessionMenu(file);
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
    batch->addAction(ActionUndoLastJob);
    batch->addSeparator();
    batch->addAction(ActionAuftrafNew);

    QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("MenuHelp"));
    help->addAction(ActionAcout);
}

void TFormMain::connectActions()
{
    connect(ActionClose, &QAction::triggered, this, &QWidget::close);
    connect(ActionOpenLeft, &QAction::triggered, this,
            [this] { openImages(*m_left, QStringLiteral("Open Left View Images")); });
    connect(ActionOpenRight, &QAction::triggered, this,
            [this] { openImages(*m_right, QStringLiteral("Open Right View Images")); });
    connect(ActionSort, &QAction::triggered, this, &TFormMain::sortChronologically);
    connect(ActionSortAllMenu, &QAction::triggered, this,
            [this] { runOrdering(OrderingMode::AssignAll); });
    connect(ActionSortMonoMenu, &QAction::triggered, this,
            [this] { runOrdering(OrderingMode::AssignUnpaired); });
    connect(ActionSortAll, &QAction::triggered, this, [this] {
        runOrdering(m_options->RadioButtonAutoSortAll->isChecked() ? OrderingMode::AssignAll
                                                                   : OrderingMode::AssignUnpaired);
    });
    connect(ActionAuftragRun, &QAction::triggered, this, &TFormMain::executeBatchJob);
    connect(ActionAuftrafNew, &QAction::triggered, this, &TFormMain::removeAllItems);
    // The About box is shown without making it modal; a click on it closes it.
    connect(ActionAcout, &QAction::triggered, this, [this] {
        TAboutBox *box = aboutBox();
        box->show();
        box->raise();
        box->activateWindow();
    });
    connect(ActionAuftragProtokoll, &QAction::triggered, this, &TFormMain::showLogWindow);
    connect(ActionDir_L, &QAction::triggered, this,
            [this] { chooseFolder(m_options->LabeledEditZielpath_L, ActionDir_L->text()); });
    connect(ActionDir_R, &QAction::triggered, this,
            [this] { chooseFolder(m_options->LabeledEditZielpath_R, ActionDir_R->text()); });
    connect(ActionDir_M, &QAction::triggered, this,
            [this] { chooseFolder(m_options->LabeledEditZielpath_M, ActionDir_M->text()); });

    bindButton(m_options->ButtonSort, ActionSort);
    bindButton(m_options->ButtonSortAll, ActionSortAll);
    bindButton(m_options->ButtonRun, ActionAuftragRun);
    bindButton(m_options->ButtonNew, ActionAuftrafNew);
    bindButton(m_options->ButtonDir_L, ActionDir_L);
    bindButton(m_options->ButtonDir_R, ActionDir_R);
    bindButton(m_options->ButtonDir_M, ActionDir_M);
    m_options->RadioButtonAutoSortAll->setEnabled(false);
    m_options->RadioButtonAutoSortMonos->setEnabled(false);
    connect(m_options->CheckBoxTolerateDrift, &QCheckBox::toggled, this, [this](bool on) {
        m_pass->SetPairingMethod(on ? PairingMethod::Alignment : PairingMethod::RunAndTime);
    });

    connect(m_progress.get(), &TStatusProgress::statusTextChanged, this, &TFormMain::SetStatusText);
    connect(m_progress.get(), &TStatusProgress::progressRangeChanged, this,
            &TFormMain::SetProgressMaximum);
    connect(m_progress.get(), &TStatusProgress::progressValueChanged, this,
            &TFormMain::SetProgressPosition);
}

void TFormMain::connectOptions()
{
    TOptionStack *o = m_options;
    TNamingSettings &s = m_session->Naming();
    // Suffixes and folders: the setting follows the field; every row rewrites its new name
    // and target folder at the next idle time.
    const auto follow = [this](QLineEdit *edit, QString TNamingSettings::*setting) {
        connect(edit, &QLineEdit::textChanged, this, [this, setting](const QString &text) {
            m_session->Naming().*setting = text;
            m_idle->SetRefreshPending();
        });
    };
    follow(o->LabeledEditSuffix_L, &TNamingSettings::SuffixLeft);
    follow(o->LabeledEditSuffix_R, &TNamingSettings::SuffixRight);
    follow(o->LabeledEditSuffix_M, &TNamingSettings::SuffixMono);
    follow(o->LabeledEditSuffix_Stereo, &TNamingSettings::SuffixStereo);
    follow(o->LabeledEditZielpath_L, &TNamingSettings::FolderLeft);
    follow(o->LabeledEditZielpath_R, &TNamingSettings::FolderRight);
    follow(o->LabeledEditZielpath_M, &TNamingSettings::FolderMono);
    // The folder fields show the folders the settings hold.
    o->LabeledEditZielpath_L->setText(s.FolderLeft);
    o->LabeledEditZielpath_R->setText(s.FolderRight);
    o->LabeledEditZielpath_M->setText(s.FolderMono);
    o->CheckBoxForceDir->setChecked(s.CreateMissingFolders);
    connect(o->CheckBoxForceDir, &QCheckBox::toggled, this,
            [this](bool on) { m_session->Naming().CreateMissingFolders = on; });

    connect(o->SpinEditStartNr, &QSpinBox::valueChanged, this, [this](int value) {
        if (NumberUpdating)
            return;
        CounterStartChanged(m_session->Naming(), value);
        updateNumbering();
    });
    connect(o->SpinEditEndNr, &QSpinBox::valueChanged, this, [this](int value) {
        if (NumberUpdating)
            return;
        CounterEndChanged(m_session->Naming(), value, m_left->Count());
        updateNumbering();
    });

    connect(o->ComboBoxThumbSize, &QComboBox::currentIndexChanged, this,
            &TFormMain::applyThumbnailSize);
}

void TFormMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    m_options->arrangeForShow();
    fitToScreen();
    // Splitter sizes restored from the settings file are shared out again in their
    // proportions, now that the splitters have their length on this screen (sizes saved on
    // a larger screen would otherwise squeeze the preview to nothing).
    const auto restored = [](QSplitter *splitter) { return ApplyRestoredSplitterSizes(splitter); };
    auto *splitter = qobject_cast<QSplitter *>(centralWidget());
    if (splitter && !restored(splitter)) {
        const int left = m_options->sizeHint().width();
        splitter->setSizes({left, std::max(1, splitter->width() - left - SplitterWidth)});
    }
    auto *lists = findChild<QSplitter *>(QStringLiteral("Splitter1"));
    if (lists && !restored(lists)) {
        // Below the edit area the lists get the larger share, at least their design height.
        const int total = lists->height() - lists->handleWidth();
        const int free = std::max(0, total - m_edit->height());
        const int listHeight = std::max(ListPanelHeight, int(free * ListShare));
        lists->setSizes({std::max(1, total - listHeight), listHeight});
    }
    if (m_options->RadioButtonResetStartNr1->isChecked()) {
        m_options->SpinEditStartNr->setValue(1);
        CounterStartChanged(m_session->Naming(), 1);
        updateNumbering();
    }
    refreshEditPanels();
    applyThumbnailSize(m_options->ComboBoxThumbSize->currentIndex());
    m_idle->ScheduleIdle();
}

void TFormMain::fitToScreen()
{
    const QScreen *screen = this->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // The frame (title bar and borders) counts: the whole window stays on the screen.
    const QRect frame = frameGeometry();
    const int frameWidth = std::max(0, frame.width() - width());
    const int frameHeight = std::max(0, frame.height() - height());
    resize(std::min(width(), available.width() - frameWidth),
           std::min(height(), available.height() - frameHeight));
    move(available.topLeft());
}

// ---- window messages ----

bool TFormMain::event(QEvent *event)
{
    if (event->type() == WindowMessageEvent::eventType()) {
        const auto *m = static_cast<WindowMessageEvent *>(event);
        handleWindowMessage(m->message(), m->wParam(), m->lParam());
        return true;
    }
    return QMainWindow::event(event);
}

bool TFormMain::orderingRunning() const
{
    return m_pass->IsRunning();
}

void TFormMain::handleWindowMessage(int message, qintptr wParam, qintptr lParam)
{
    if (message == WM_ENTRIES_CHANGED) {
        m_idle->SetRefreshPending();
        return;
    }
    // An ordering pass lets events through while it works on the rows; what would change
    // the rows or start another pass waits until it is done.
    if (orderingRunning() && (message == WM_SELECT_PARTNER || message == WM_ASSIGN_STEP)) {
        QTimer::singleShot(RetryDelayMs, this, [message, wParam, lParam] {
            postWindowMessage(message, wParam, lParam);
        });
        return;
    }
    switch (message) {
    case WM_SELECT_PARTNER: {
        const TPartnerSelection dirty =
            m_pairs->SelectPartner(reinterpret_cast<TDatensatz *>(lParam));
        LeftDirty = LeftDirty || dirty.LeftDirty;
        RightDirty = RightDirty || dirty.RightDirty;
        refreshEditPanels();
        m_idle->ScheduleIdle();
        break;
    }
    case WM_ASSIGN_STEP:
        handleAssignStep(TAssignStep(wParam), OrderingMode(lParam));
        break;
    default:
        break;
    }
}

void TFormMain::setLogWindow(QWidget *window)
{
    m_logWindow = window;
    ActionAuftragProtokoll->setEnabled(window != nullptr);
}

void TFormMain::setPairPrompt(TFormDlgNext *prompt)
{
    m_pairPrompt = prompt;
    connectPairPrompt();
}

TFormDlgNext *TFormMain::pairPrompt()
{
    if (!m_pairPrompt) {
        m_pairPrompt = new TFormDlgNext(this);
        connectPairPrompt();
    }
    return m_pairPrompt;
}

void TFormMain::connectPairPrompt()
{
    if (!m_pairPrompt)
        return;
    // The prompt's answers continue the assignment after the current event.
    connect(m_pairPrompt, &TFormDlgNext::nextPressed, this,
            [](int tag) { postWindowMessage(WM_ASSIGN_STEP, int(TAssignStep::Next), tag); });
    connect(m_pairPrompt, &TFormDlgNext::promptHidden, this, [](int tag) {
        postWindowMessage(WM_ASSIGN_STEP, int(TAssignStep::PromptHidden), tag);
    });
}

void TFormMain::setAboutBox(TAboutBox *box)
{
    m_aboutBox = box;
}

TAboutBox *TFormMain::aboutBox()
{
    if (!m_aboutBox)
        m_aboutBox = new TAboutBox(this);
    return m_aboutBox;
}

void TFormMain::handleAssignStep(TAssignStep step, OrderingMode mode)
{
    switch (m_pairs->HandleAssignStep(step, mode)) {
    case TAssignStepAction::ShowPairDialog:
        m_edit->setEnabled(m_state.EditAreaEnabled);
        pairPrompt()->setTag(int(mode));
        pairPrompt()->show();
        pairPrompt()->raise();
        break;
    case TAssignStepAction::HidePairDialog:
        // Hiding the prompt posts the code that ends the assignment.
        notePairingReport();
        pairPrompt()->hide();
        break;
    case TAssignStepAction::PairDialogClosed:
        m_edit->setEnabled(m_state.EditAreaEnabled);
        break;
    case TAssignStepAction::ShowNoAssignmentHint:
        ShowDlgBox(NoAssignmentHintText(), DlgKind::Warning, DlgButton::OK, this);
        break;
    case TAssignStepAction::None:
        return;
    }
    rowsRearranged(true);
}

// ---- actions ----

void TFormMain::openImages(ListRowModel &target, const QString &title)
{
    const QStringList filters =
        DialogNameFilters(OpenDialogFilter(GflAvailable(), GflFileFilter()));
    const QStringList files =
        QFileDialog::getOpenFileNames(this, title, QString(), filters.join(QStringLiteral(";;")));
    if (!files.isEmpty())
        loadFiles(files, target, LoadSource::OpenDialog);
}

void TFormMain::loadFiles(const QStringList &paths, ListRowModel &target, LoadSource source)
{
    if (paths.isEmpty())
        return;
    if (orderingRunning() || m_loading) {
        ListRowModel *list = &target;
        QTimer::singleShot(RetryDelayMs, this,
                           [this, paths, list, source] { loadFiles(paths, *list, source); });
        return;
    }
    m_loading = true;
    m_idle->LoadFiles(paths, target, source, m_options->newEntryDefaults());
    m_loading = false;
    updateNumbering();
}

void TFormMain::chooseFolder(QWidget *edit, const QString &title)
{
    auto *line = qobject_cast<QLineEdit *>(edit);
    if (!line)
        return;
    const QString folder = ChooseFolder(this, title, line->text());
    if (!folder.isEmpty())
        line->setText(folder);
}

void TFormMain::runOrdering(OrderingMode mode)
{
    if (orderingRunning())
        return;
    m_pairs->ActionSortAllExecute(mode == OrderingMode::AssignAll);
    notePairingReport();
    rowsRearranged(true);
}

void TFormMain::sortChronologically()
{
    if (orderingRunning())
        return;
    ActionSortExecute(*m_pass, &m_state);
    rowsRearranged(true);
}

void TFormMain::rowsRearranged(bool selectCounterpart)
{
    if (selectCounterpart)
        m_pairs->SelectCurrentPair();
    LastLeftRow = m_left->ItemIndex();
    LastRightRow = m_right->ItemIndex();
    refreshEditPanels();
    MarkPreviewsDirty();
    m_idle->ScheduleIdle();
}

void TFormMain::executeBatchJob()
{
    if (orderingRunning())
        return;
    // The run processes the entries in chronological order (capture time, then name).
    if (!TIdleProcessor::PrepareBatchJob(m_session->Registry()))
        return;
    m_session->JobLog().Clear();
    TFormAssistent2 *wizard = batchWizard();
    // No idle pass reads or reorders rows while the wizard (and the run inside it) works
    // on them.
    m_idle->Hold();
    // The wizard is modal to this window only, so that the log window stays usable; the
    // other windows of this window (search and replace, the token palette...) could change
    // names after the checks, so they pause as well.
    QList<QPointer<QWidget>> paused;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != wizard && w->parentWidget() == this && w->isEnabled()) {
            w->setEnabled(false);
            paused << w;
        }
    }
    wizard->exec();
    // Turned files hold other pictures under their old names.
    m_checks->ForgetResults();
    for (const QPointer<QWidget> &w : paused) {
        if (w)
            w->setEnabled(true);
    }
    m_idle->Resume();
    // The run renamed and moved files and reloaded their metadata: back into the lists'
    // chronological order, and the folders the wizard's pages may have changed back into
    // the fields.
    ActionSortExecute(*m_pass, &m_state);
    const TNamingSettings &s = m_session->Naming();
    m_options->LabeledEditZielpath_L->setText(s.FolderLeft);
    m_options->LabeledEditZielpath_R->setText(s.FolderRight);
    m_options->LabeledEditZielpath_M->setText(s.FolderMono);
    rowsRearranged(true);
}

void TFormMain::showLogWindow()
{
    if (!m_logWindow)
        return;
    m_logWindow->show();
    m_logWindow->raise();
    m_logWindow->activateWindow();
}

void TFormMain::setBatchWizard(TFormAssistent2 *wizard)
{
    m_wizard = wizard;
    if (wizard)
        connect(wizard, &TFormAssistent2::showLogRequested, this, &TFormMain::showLogWindow,
                Qt::UniqueConnection);
}

TFormAssistent2 *TFormMain::batchWizard()
{
    if (!m_wizard)
        setBatchWizard(new TFormAssistent2(m_session->BatchContext(), this));
    return m_wizard;
}

void TFormMain::removeAllItems()
{
    if (orderingRunning())
        return;
    m_idle->RemoveAllItems([this](const QString &question) {
        return ShowDlgBox(question, DlgKind::Confirmation, DlgButton::Yes | DlgButton::No, this);
    });
    LastLeftRow = LastRightRow = -1;
    refreshEditPanels();
    updateNumbering();
}

void TFormMain::showInternalError(const QString &text)
{
    if (!text.isEmpty())
        ShowDlgBox(text, DlgKind::Error, DlgButton::OK, this);
}

void TFormMain::showOutcome(const TActionOutcome &outcome)
{
    if (outcome.Beep)
        QApplication::beep();
    showInternalError(outcome.Error);
}

// ---- TLoadingView ----

void TFormMain::SetStatusText(const QString &text)
{
    // What the last aligning pass and the pair check found stay in the status line until
    // other work reports.
    m_statusReady = text == QLatin1String(StatusReady);
    if (m_statusReady && !readyStatusText().isEmpty()) {
        m_options->LabelStatus->setText(readyStatusText());
        m_options->LabelStatus->setToolTip(readyStatusText());
        return;
    }
    if (text != QLatin1String(StatusReady))
        m_pairingNote.clear();
    m_options->LabelStatus->setText(text);
    m_options->LabelStatus->setToolTip(QString());
}

void TFormMain::notePairingReport()
{
    const TPairingReport &report = m_pass->LastReport();
    if (!report.aligned)
        return;
    QStringList parts;
    parts << QStringLiteral("%1 pairs aligned, %2 doubtful").arg(report.pairs).arg(report.doubtful);
    parts << report.clockFindings;
    if (report.decidedByContent > 0)
        parts << QStringLiteral("%1 decided by their pictures").arg(report.decidedByContent);
    m_pairingNote = parts.join(QStringLiteral(". "));
    m_options->LabelStatus->setText(m_pairingNote);
    m_options->LabelStatus->setToolTip(m_pairingNote);
}

void TFormMain::SetProgressMaximum(int maximum)
{
    m_options->ProgressBarStatus->setMaximum(std::max(0, maximum));
}

void TFormMain::SetProgressPosition(int position)
{
    m_options->ProgressBarStatus->setValue(
        std::clamp(position, 0, m_options->ProgressBarStatus->maximum()));
}

void TFormMain::SetProgressToMaximum()
{
    m_options->ProgressBarStatus->setValue(m_options->ProgressBarStatus->maximum());
}

void TFormMain::LetEventsThrough()
{
    QCoreApplication::processEvents();
}

void TFormMain::SetSortActionEnabled(bool enabled)
{
    ActionSort->setEnabled(enabled);
}

void TFormMain::SetSortingActionsEnabled(bool enabled)
{
    ActionSortAllMenu->setEnabled(enabled);
    ActionSortMonoMenu->setEnabled(enabled);
    ActionSortAll->setEnabled(enabled);
}

void TFormMain::SetSortingRadioButtonsEnabled(bool enabled)
{
    m_options->RadioButtonAutoSortAll->setEnabled(enabled);
    m_options->RadioButtonAutoSortMonos->setEnabled(enabled);
}

void TFormMain::SetBatchJobEnabled(bool enabled)
{
    ActionAuftragRun->setEnabled(enabled);
}

void TFormMain::SetOpenActionsEnabled(bool enabled)
{
    ActionOpenLeft->setEnabled(enabled);
    ActionOpenRight->setEnabled(enabled);
}

void TFormMain::SetListsVisible(bool visible)
{
    ListView_L->setVisible(visible);
    ListView_R->setVisible(visible);
}

void TFormMain::ReportLoadingProblem(const QString &message, const QStringList &files)
{
    // Shown after the current event: the loading goes on meanwhile and is not re-entered
    // from the message box's event loop.
    const QString text = LoadingProblemText(message, files);
    QTimer::singleShot(0, this,
                       [this, text] { ShowDlgBox(text, DlgKind::Warning, DlgButton::OK, this); });
}

void TFormMain::MarkPreviewsDirty()
{
    LeftDirty = true;
    RightDirty = true;
}

// ---- drops onto the window outside the lists go to the list last hovered ----

void TFormMain::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void TFormMain::dragMoveEvent(QDragMoveEvent *event)
{
    acceptFileDrop(event);
}

void TFormMain::dropEvent(QDropEvent *event)
{
    const QStringList paths = acceptFileDrop(event);
    if (paths.isEmpty())
        return;
    ListRowModel *target = m_hoverList;
    // The files are added once the drop has been answered, so that the file manager is not
    // kept waiting.
    QTimer::singleShot(0, this,
                       [this, paths, target] { loadFiles(paths, *target, LoadSource::Drop); });
}
