// The main window's session files: "Open Session...", "Save Session", "Save Session As...",
// the recent sessions, the title with the session's name, the question before unsaved work
// is lost, the offer to restore the work of an instance that ended without saving, and
// "Undo last batch job...". The logic is the session keeper's (session/sessionkeeper.h);
// this file asks the user and shows the outcome.
#include "mainwindow/widgets/formmain.h"

#include "batch/jobjournal.h"
#include "batch/protokoll.h"
#include "batch/undo.h"
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "imaging/dsorgbild.h"
#include "imaging/libgfl.h"
#include "mainwindow/widgets/editarea.h"
#include "mainwindow/widgets/optionstack.h"
#include "naming/widgets/frameedittext.h"
#include "session/idleprocessor.h"
#include "session/recoveryfiles.h"
#include "session/session.h"
#include "session/sessionkeeper.h"
#include "ui/appinfo.h"
#include "ui/dlgbox.h"
#include "ui/markup.h"
#include "ui/widgets/formdlgbox.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QSpinBox>

namespace {

constexpr int RecentCount = 8;
const QString SessionFilter = QStringLiteral("Duomira sessions (*.duomira)");

QString recentListPath()
{
    return RecoveryFolder() + QStringLiteral("/recent-sessions");
}

QStringList loadRecent()
{
    QFile file(recentListPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList paths;
    while (!file.atEnd() && paths.size() < RecentCount) {
        const QString line = QString::fromUtf8(file.readLine(1 << 16)).trimmed();
        if (!line.isEmpty())
            paths << line;
    }
    return paths;
}

void noteRecent(const QString &path)
{
    if (path.isEmpty())
        return;
    QStringList paths = loadRecent();
    paths.removeAll(path);
    paths.prepend(path);
    QByteArray bytes;
    for (int i = 0; i < paths.size() && i < RecentCount; ++i)
        bytes += paths.at(i).toUtf8() + '\n';
    QDir().mkpath(RecoveryFolder());
    QFile file(recentListPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

} // namespace

// A plain text with line ends as the message boxes' markup (a carriage return breaks a line): every
// line shown as it is.
QString literalLines(const QString &text)
{
    QStringList lines = text.split(u'\n');
    for (QString &line : lines)
        line = MarkupLiteral(line);
    return lines.join(u'\r');
}

void TFormMain::addSessionMenu(QMenu *file)
{
    ActionSessionOpen = new QAction(QStringLiteral("Open Session..."), this);
    ActionSessionOpen->setObjectName(QStringLiteral("ActionSessionOpen"));
    ActionSessionSave = new QAction(QStringLiteral("Save Session"), this);
    ActionSessionSave->setObjectName(QStringLiteral("ActionSessionSave"));
    ActionSessionSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    ActionSessionSaveAs = new QAction(QStringLiteral("Save Session As..."), this);
    ActionSessionSaveAs->setObjectName(QStringLiteral("ActionSessionSaveAs"));
    ActionSessionSaveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    ActionUndoLastJob = new QAction(QStringLiteral("Undo last batch job..."), this);
    ActionUndoLastJob->setObjectName(QStringLiteral("ActionUndoLastJob"));
    file->addAction(ActionSessionOpen);
    m_recentMenu = file->addMenu(QStringLiteral("Recent Sessions"));
    m_recentMenu->setObjectName(QStringLiteral("MenuRecentSessions"));
    m_recentMenu->menuAction()->setObjectName(QStringLiteral("ActionRecentSessions"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, &TFormMain::fillRecentMenu);
    file->addAction(ActionSessionSave);
    file->addAction(ActionSessionSaveAs);
    file->addSeparator();
}

void TFormMain::connectSession()
{
    m_keeper = std::make_unique<TSessionKeeper>(*m_session);
    connect(m_keeper.get(), &TSessionKeeper::dirtyChanged, this, &TFormMain::updateTitle);
    connect(m_keeper.get(), &TSessionKeeper::filePathChanged, this, &TFormMain::updateTitle);
    connect(m_keeper.get(), &TSessionKeeper::recoveryFailed, this, [this](const QString &error) {
        SetStatusText(QStringLiteral("The recovery file could not be written: ") + error);
    });
    connect(ActionSessionOpen, &QAction::triggered, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, QStringLiteral("Open Session"),
                                         QFileInfo(m_keeper->FilePath()).path(), SessionFilter);
        if (!path.isEmpty())
            openSession(path);
    });
    connect(ActionSessionSave, &QAction::triggered, this, [this] { saveSession(false); });
    connect(ActionSessionSaveAs, &QAction::triggered, this, [this] { saveSession(true); });
    connect(ActionUndoLastJob, &QAction::triggered, this, &TFormMain::undoLastBatchJob);

    // What the session file keeps besides the rows: the mask and the naming fields.
    TFrameEditText *text = m_edit->FrameEditText1;
    m_session->RenameMask() = text->mask();
    connect(text->EditMaske, &QLineEdit::textChanged, this, [this](const QString &mask) {
        m_session->RenameMask() = mask;
        m_keeper->NoteChange();
    });
    TOptionStack *o = m_options;
    for (QLineEdit *edit :
         {o->LabeledEditSuffix_L, o->LabeledEditSuffix_R, o->LabeledEditSuffix_M,
          o->LabeledEditZielpath_L, o->LabeledEditZielpath_R, o->LabeledEditZielpath_M})
        connect(edit, &QLineEdit::textChanged, m_keeper.get(), &TSessionKeeper::NoteChange);
    connect(o->CheckBoxForceDir, &QCheckBox::toggled, m_keeper.get(), &TSessionKeeper::NoteChange);
    connect(o->SpinEditStartNr, &QSpinBox::valueChanged, m_keeper.get(),
            &TSessionKeeper::NoteChange);
    updateTitle();
}

void TFormMain::updateTitle()
{
    setWindowTitle(QStringLiteral("%1%2 \u2013 %3")
                       .arg(m_keeper->DisplayName(),
                            m_keeper->DirtyShown() ? QStringLiteral("*") : QString(),
                            appinfo::applicationTitle()));
}

void TFormMain::fillRecentMenu()
{
    m_recentMenu->clear();
    const QStringList paths = loadRecent();
    for (const QString &path : paths) {
        QAction *a = m_recentMenu->addAction(QFileInfo(path).fileName());
        a->setToolTip(path);
        a->setStatusTip(path);
        connect(a, &QAction::triggered, this, [this, path] { openSession(path); });
    }
    if (paths.isEmpty())
        m_recentMenu->addAction(QStringLiteral("(none)"))->setEnabled(false);
}

bool TFormMain::confirmLoseWork(int path)
{
    if (orderingRunning())
        return false;
    QString error;
    const bool goOn = m_keeper->ConfirmLoseWork(
        TLoseWorkPath(path),
        [this] {
            const int answer =
                loseWorkAsker
                    ? loseWorkAsker(TSessionKeeper::LoseWorkQuestion())
                    : QMessageBox::question(
                          this, appinfo::applicationTitle(), TSessionKeeper::LoseWorkQuestion(),
                          QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                          QMessageBox::Save);
            return answer == QMessageBox::Save      ? TLoseWorkAnswer::Save
                   : answer == QMessageBox::Discard ? TLoseWorkAnswer::Discard
                                                    : TLoseWorkAnswer::Cancel;
        },
        [this] {
            return saveAsChooser
                       ? saveAsChooser()
                       : QFileDialog::getSaveFileName(this, QStringLiteral("Save Session As"),
                                                      QString(), SessionFilter);
        },
        error);
    if (!error.isEmpty())
        ShowDlgBox(error, DlgKind::Error, DlgButton::OK, this);
    return goOn;
}

void TFormMain::endBySignal()
{
    m_keeper->WriteRecoveryNow();
    m_endingBySignal = true;
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    if (m_endingBySignal) {
        QMainWindow::closeEvent(event);
        return;
    }
    if (!confirmLoseWork(int(TLoseWorkPath::CloseWindow))) {
        event->ignore();
        return;
    }
    // Saved or discarded on purpose: nothing is left to recover.
    m_keeper->DropRecovery();
    QMainWindow::closeEvent(event);
}

bool TFormMain::saveSession(bool chooseName)
{
    QString path = m_keeper->FilePath();
    if (chooseName || path.isEmpty()) {
        path = saveAsChooser ? saveAsChooser()
                             : QFileDialog::getSaveFileName(this, QStringLiteral("Save Session As"),
                                                            path, SessionFilter);
        if (path.isEmpty())
            return false;
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".duomira");
    }
    QString error;
    if (!m_keeper->Save(path, error)) {
        ShowDlgBox(error, DlgKind::Error, DlgButton::OK, this);
        return false;
    }
    noteRecent(path);
    SetStatusText(QStringLiteral("Session saved: ") + path);
    return true;
}

void TFormMain::clearForSession()
{
    m_idle->RemoveAllItems([](const QString &) { return int(DlgResult::Yes); });
    LastLeftRow = LastRightRow = -1;
}

bool TFormMain::openSession(const QString &path)
{
    if (orderingRunning() || !confirmLoseWork(int(TLoseWorkPath::OpenSession)))
        return false;
    const TSessionOpenOutcome outcome = m_keeper->Open(
        path, [this] { clearForSession(); }, &Gfl());
    if (!outcome.Ok) {
        ShowDlgBox(outcome.Error, DlgKind::Error, DlgButton::OK, this);
        return false;
    }
    noteRecent(path);
    reportOpened(outcome);
    return true;
}

void TFormMain::showSessionSettings()
{
    // The fields follow the session; their own handlers write the same values back.
    const TNamingSettings n = m_session->Naming();
    const QString mask = m_session->RenameMask();
    TOptionStack *o = m_options;
    o->LabeledEditSuffix_L->setText(n.SuffixLeft);
    o->LabeledEditSuffix_R->setText(n.SuffixRight);
    o->LabeledEditSuffix_M->setText(n.SuffixMono);
    o->LabeledEditSuffix_Stereo->setText(n.SuffixStereo);
    o->LabeledEditZielpath_L->setText(n.FolderLeft);
    o->LabeledEditZielpath_R->setText(n.FolderRight);
    o->LabeledEditZielpath_M->setText(n.FolderMono);
    o->CheckBoxForceDir->setChecked(n.CreateMissingFolders);
    m_session->Naming() = n;
    m_edit->FrameEditText1->EditMaske->setText(mask);
    m_session->RenameMask() = mask;
    updateNumbering();
}

void TFormMain::reportOpened(const TSessionOpenOutcome &outcome)
{
    showSessionSettings();
    m_idle->SetRefreshPending();
    m_idle->ScheduleIdle();
    MarkPreviewsDirty();
    refreshEditPanels();
    // Showing the settings is no change either.
    m_keeper->Flush();
    m_keeper->IsDirty();
    updateTitle();
    QString message = MissingFilesMessage(outcome.Report.Missing);
    if (!outcome.Report.Changed.isEmpty()) {
        if (!message.isEmpty())
            message += QStringLiteral("\n\n");
        message +=
            QStringLiteral(
                "%1 file(s) changed since the session was saved (another picture under the same "
                "name?). They were read again and are excluded from the batch job until you "
                "include them:\n")
                .arg(outcome.Report.Changed.size());
        for (int i = 0; i < outcome.Report.Changed.size() && i < 20; ++i)
            message += QStringLiteral("\n") + outcome.Report.Changed.at(i);
    }
    if (!message.isEmpty())
        ShowDlgBox(literalLines(message), DlgKind::Warning, DlgButton::OK, this);
}

void TFormMain::startRecovery()
{
    const QString folder = RecoveryFolder();
    const QStringList orphans = OrphanedRecoveryFiles(folder);
    QString error;
    if (!m_keeper->EnableRecovery(folder, error))
        SetStatusText(QStringLiteral("No crash recovery: ") + error);
    if (orphans.isEmpty())
        return;
    // The newest first; an older one is offered at the next start.
    const QString orphan = orphans.first();
    const QString when =
        QFileInfo(orphan).lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const int answer = ShowDlgBox(
        literalLines(QStringLiteral(
                         "Duomira ended without saving your work (last saved for recovery %1).\n\n"
                         "Restore it?")
                         .arg(when)),
        DlgKind::Confirmation, DlgButton::Yes | DlgButton::No, this);
    if (answer == DlgResult::Yes) {
        const TSessionOpenOutcome outcome = m_keeper->Restore(
            orphan, [this] { clearForSession(); }, &Gfl());
        if (!outcome.Ok) {
            // Kept for another try: the file may be readable by a newer version.
            ShowDlgBox(outcome.Error, DlgKind::Error, DlgButton::OK, this);
            return;
        }
        reportOpened(outcome);
        m_keeper->NoteChange();
    }
    RemoveOrphanedRecoveryFile(orphan);
}
