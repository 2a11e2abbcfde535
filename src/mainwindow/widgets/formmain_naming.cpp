// TFormMain: the rename frame on the "Text" tab ("Renaming", the preview, "From selected
// entry...") and the search and replace window.
#include "mainwindow/widgets/formmain.h"

#include "entries/datensatz.h"
#include "entries/listrows.h"
#include "mainwindow/widgets/editarea.h"
#include "naming/searchreplace.h"
#include "naming/widgets/formeditrenmask.h"
#include "naming/widgets/formsearchreplace.h"
#include "naming/widgets/frameedittext.h"
#include "naming/windowrenaming.h"
#include "session/idleprocessor.h"
#include "ui/widgets/formbest.h"
#include "ui/widgets/formdlgbox.h"

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

namespace {

// The replace question asked through the window TFormBest.
class FormBestQuestion : public TReplaceQuestion
{
public:
    explicit FormBestQuestion(TFormBest *form) : m_form(form) {}
    ReplaceAnswer AskReplace(const QString &search, const QString &replace, ReplaceFlags flags,
                             const QString &name) override
    {
        const Qt::CaseSensitivity cs =
            flags.testFlag(ReplaceFlag::IgnoreCase) ? Qt::CaseInsensitive : Qt::CaseSensitive;
        switch (::AskReplace(*m_form, true, search, replace, cs, name)) {
        case DlgResult::Yes:
            return ReplaceAnswer::Yes;
        case DlgResult::No:
            return ReplaceAnswer::No;
        default: // Cancel, or the window closed
            return ReplaceAnswer::Cancel;
        }
    }

private:
    TFormBest *m_form;
};

// The search's questions and the search window's visibility.
class SearchWindowView : public TSearchView
{
public:
    explicit SearchWindowView(TFormSearchReplace *window) : m_window(window) {}
    bool AskContinueAtBeginning() override
    {
        return ShowDlgBox(SearchEndOfListText(), DlgKind::Confirmation,
                          DlgButton::Yes | DlgButton::No, m_window) == DlgResult::Yes;
    }
    void CloseSearchWindow() override { m_window->accept(); }
    void SetSearchWindowVisible(bool visible) override { m_window->setVisible(visible); }
    void Beep() override { QApplication::beep(); }

private:
    TFormSearchReplace *m_window;
};

} // namespace

void TFormMain::connectNaming()
{
    m_search = std::make_unique<TSearchReplace>(*m_left, *m_right, m_state.LastEntry);
    TFrameEditText *frame = m_edit->FrameEditText1;
    frame->setPreviewCallback([this](const QString &mask, const TRenameTextFields &fields) {
        return RenamePreview(mask, fields, *m_left, *m_right);
    });
    frame->setFetchCallback(
        [this](TRenameTextFields &fields) { FetchEntryTexts(m_activeList, fields); });
    connect(frame->BitBtnRename, &QPushButton::clicked, this, &TFormMain::renameSelected);
    connect(frame->ButtonReplace, &QPushButton::clicked, this, &TFormMain::openSearchReplace);
    // The preview follows the selected rows and the rows' contents, once per burst.
    for (ListRowModel *list : {m_left, m_right}) {
        connect(list, &ListRowModel::selectionChanged, this, &TFormMain::schedulePreview);
        connect(list, &ListRowModel::rowsChanged, this, &TFormMain::schedulePreview);
        connect(list, &ListRowModel::modelReset, this, &TFormMain::schedulePreview);
        connect(list, &ListRowModel::rowsRemoved, this, &TFormMain::schedulePreview);
    }
}

void TFormMain::schedulePreview()
{
    if (m_previewScheduled)
        return;
    m_previewScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_previewScheduled = false;
        m_edit->FrameEditText1->refreshPreview();
    });
}

void TFormMain::setTokenPalette(TFormEditRenMask *palette)
{
    m_edit->FrameEditText1->setTokenPalette(palette);
}

void TFormMain::setSearchWindow(TFormSearchReplace *window)
{
    m_searchWindow = window;
}

void TFormMain::setReplaceQuestion(TFormBest *question)
{
    m_replaceQuestion = question;
}

TFormSearchReplace *TFormMain::searchWindow()
{
    if (!m_searchWindow)
        m_searchWindow = new TFormSearchReplace(this);
    return m_searchWindow;
}

TFormBest *TFormMain::replaceQuestion()
{
    if (!m_replaceQuestion)
        m_replaceQuestion = new TFormBest(this);
    return m_replaceQuestion;
}

void TFormMain::renameSelected()
{
    if (orderingRunning())
        return;
    const TFrameEditText *frame = m_edit->FrameEditText1;
    RenameSelected(frame->mask(), frame->textFields(), *m_left, *m_right);
    m_edit->FrameEditText1->refreshPreview();
}

void TFormMain::openSearchReplace()
{
    if (orderingRunning())
        return;
    TFormSearchReplace *window = searchWindow();
    // The search selects each hit alone: no counterpart follows while the window is open.
    m_state.PanelFlags |= pfSearchReplaceStart;
    const auto find =
        connect(window, &TFormSearchReplace::requestFind, this, &TFormMain::searchRequested);
    const auto replace =
        connect(window, &TFormSearchReplace::requestReplace, this, &TFormMain::replaceRequested);
    const auto restart = connect(window, &TFormSearchReplace::searchTextChanged, this,
                                 [this] { m_search->SearchTextChanged(); });
    m_search->Open();
    window->setSearchState(m_search->State());

    // The window is modal until "Exit"; its own loop keeps running while the window is
    // hidden for the replace questions.
    window->setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    const auto done = connect(window, &QDialog::finished, &loop, &QEventLoop::quit);
    window->show();
    window->raise();
    if (window->isVisible())
        loop.exec();
    disconnect(done);
    disconnect(find);
    disconnect(replace);
    disconnect(restart);
    window->hide();
    m_state.PanelFlags &= quint8(~pfSearchReplaceStart);
    refreshEditPanels();
    MarkPreviewsDirty();
    m_idle->ScheduleIdle();
}

void TFormMain::searchRequested(const TSearchOptions &options)
{
    SearchWindowView view(searchWindow());
    m_search->SearchNext(options, view);
    searchWindow()->setSearchState(m_search->State());
    refreshEditPanels();
    MarkPreviewsDirty();
}

void TFormMain::replaceRequested(const TSearchOptions &options, bool all)
{
    SearchWindowView view(searchWindow());
    FormBestQuestion question(replaceQuestion());
    m_state.PanelFlags |= pfReplaceStep;
    if (all) {
        m_search->ReplaceAll(options, view, &question);
    } else {
        m_search->SearchAndReplace(options, view, &question);
        searchWindow()->setSearchState(m_search->State());
    }
    m_state.PanelFlags &= quint8(~pfReplaceStep);
    refreshEditPanels();
    MarkPreviewsDirty();
}
