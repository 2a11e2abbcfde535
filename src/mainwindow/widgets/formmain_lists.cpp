// TFormMain: the two lists, the edit panels and the buttons of the edit area.
#include "mainwindow/widgets/formmain.h"
#include "ui/widgets/formdlgbox.h"

#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "imaging/imagelist.h"
#include "mainwindow/widgets/editarea.h"
#include "mainwindow/widgets/imagelistview.h"
#include "mainwindow/widgets/optionstack.h"
#include "pairing/ordering.h"
#include "session/editpanelstate.h"
#include "session/idleprocessor.h"
#include "session/listactions.h"
#include "session/optionlogic.h"
#include "session/paircheckqueue.h"
#include "session/paireditor.h"
#include "session/session.h"
#include "session/sessionkeeper.h"
#include "ui/widgets/formdlgbox.h"
#include "ui/widgets/radiogroup.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include <limits>

namespace {

// Sets a flag for its lifetime and restores it, also when an error interrupts the work.
class FlagScope
{
public:
    explicit FlagScope(bool &flag) : m_flag(flag), m_was(flag) { m_flag = true; }
    ~FlagScope() { m_flag = m_was; }
    FlagScope(const FlagScope &) = delete;
    FlagScope &operator=(const FlagScope &) = delete;

private:
    bool &m_flag;
    bool m_was;
};

int clampToInt(qint64 value)
{
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max()));
}

} // namespace

TImageListView *TFormMain::listView(const ListRowModel &list) const
{
    return &list == m_left ? ListView_L : ListView_R;
}

TSideEditControls &TFormMain::controlsOf(const ListRowModel &list)
{
    return &list == m_left ? m_edit->Left : m_edit->Right;
}

void TFormMain::connectLists()
{
    for (ListRowModel *list : {m_left, m_right}) {
        TImageListView *view = listView(*list);
        connect(view, &TImageListView::hovered, this, [this, list] { m_hoverList = list; });
        connect(view, &TImageListView::listClicked, this, [this, list] { listClicked(*list); });
        connect(view, &TImageListView::rightButtonPressed, this,
                [this] { m_edit->CheckBoxSynchron->toggle(); });
        connect(view, &TImageListView::middleButtonPressed, this, &TFormMain::linkClicked);
        connect(view, &TImageListView::removeKeyPressed, this, [this, list] {
            if (controlsOf(*list).Remove->isEnabled())
                removeFromList(*list);
        });
        connect(view, &TImageListView::selectAllKeyPressed, this, [this, list] {
            m_actions->SelectAllRows(*list);
            refreshEditPanels();
            MarkPreviewsDirty();
            m_idle->ScheduleIdle();
        });
        connect(view, &TImageListView::filesDropped, this, [this, list](const QStringList &paths) {
            m_hoverList = list;
            // Added once the drop has been answered, so the file manager is not kept waiting.
            QTimer::singleShot(0, this,
                               [this, paths, list] { loadFiles(paths, *list, LoadSource::Drop); });
        });
        connect(list, &ListRowModel::selectionChanged, this,
                [this, list] { listSelectionChanged(*list); });
        connect(list, &ListRowModel::topRowChanged, this,
                [this, list] { m_actions->FollowTopRow(*list); });
        // The counter range follows the rows, once per burst of row changes.
        connect(list, &ListRowModel::rowsRemoved, this, &TFormMain::scheduleNumbering);
        connect(list, &ListRowModel::modelReset, this, &TFormMain::scheduleNumbering);
    }
    connect(m_left, &ListRowModel::rowsInserted, this, &TFormMain::scheduleNumbering);
}

void TFormMain::connectEditArea()
{
    for (ListRowModel *list : {m_left, m_right}) {
        TSideEditControls &c = controlsOf(*list);
        for (QPushButton *b : c.actionButtons()) {
            const int code = b->property("tag").toInt();
            connect(b, &QPushButton::clicked, this,
                    [this, list, code] { listActionClicked(*list, code); });
        }
        connect(c.Remove, &QPushButton::clicked, this, [this, list] { removeFromList(*list); });
        for (QToolButton *b : c.searchButtons()) {
            const int attribute = b->property("tag").toInt();
            connect(b, &QToolButton::clicked, this,
                    [this, list, attribute] { searchButtonClicked(*list, attribute); });
        }
        connect(c.NoBatch, &QCheckBox::toggled, this,
                [this, list](bool on) { editSelected(*list, on ? saBatchOff : saBatchOn); });
        connect(c.Invert, &QCheckBox::toggled, this,
                [this, list](bool on) { editSelected(*list, on ? saInvertOn : saInvertOff); });
        connect(c.Mirror, &QCheckBox::toggled, this,
                [this, list](bool on) { editSelected(*list, on ? saMirrorOn : saMirrorOff); });
        connect(c.Rotation, &TRadioGroup::itemIndexChanged, this, [this, list](int index) {
            if (index >= saRotate0 && index <= saRotate270)
                editSelected(*list, index);
        });
    }
    connect(m_edit->ButtonKombi, &QPushButton::clicked, this, &TFormMain::combinations);
    connect(m_edit->ButtonSearchUnassigned, &QPushButton::clicked, this,
            &TFormMain::searchUnassigned);
    connect(m_edit->PanelLink, &QPushButton::clicked, this, &TFormMain::linkClicked);
    for (QPushButton *b : m_edit->SelectionButtons) {
        const int mode = b->property("tag").toInt();
        connect(b, &QPushButton::clicked, this, [this, mode] { selectionButtonClicked(mode); });
    }
    connect(m_edit->CheckBoxSynchron, &QCheckBox::toggled, this,
            [this](bool checked) { m_pairs->CheckBoxSynchronClick(checked); });
}

// ---- selection changes and clicks ----

void TFormMain::listSelectionChanged(ListRowModel &list)
{
    if (m_state.BusyFlags != 0)
        return;
    const bool left = &list == m_left;
    TBusyBit busy(&m_state, left ? bfLeftChange : bfRightChange);
    const int row = list.ItemIndex();
    int &last = left ? LastLeftRow : LastRightRow;
    if (row < 0 || row == last)
        return;
    markSideDirty(list);
    last = row;
    m_state.LastEntry = list.EntryAt(row);
    // With synchronous selection the counterpart is selected once the list has finished
    // its own selection handling; otherwise only this side's panel follows.
    if (!m_pairs->RequestPartnerSelection(list, row))
        refreshEditPanel(list);
    m_idle->ScheduleIdle();
}

void TFormMain::listClicked(ListRowModel &list)
{
    if (m_activeList != &list)
        LastLeftRow = LastRightRow = -1;
    m_activeList = &list;
    refreshEditPanel(list);
}

void TFormMain::markSideDirty(const ListRowModel &list)
{
    if (&list == m_left)
        LeftDirty = true;
    else
        RightDirty = true;
}

// ---- edit panels ----

void TFormMain::refreshEditPanel(ListRowModel &list)
{
    FlagScope updating(Updating);
    TSideEditControls &c = controlsOf(list);
    const TEditPanelState st = EditPanelState(list, m_state.EditAreaEnabled);
    for (QWidget *w : {static_cast<QWidget *>(c.Swap), static_cast<QWidget *>(c.Split),
                       static_cast<QWidget *>(c.Remove), static_cast<QWidget *>(c.ViewBox)})
        w->setEnabled(st.SideControlsEnabled);
    if (st.HasEntry)
        AlignPartnerScroll(list, m_state.PanelFlags);
    c.NoBatch->setChecked(st.ExcludeChecked);
    c.NoBatch->setEnabled(st.ExcludeEnabled);
    c.Invert->setChecked(st.Invert);
    c.Rotation->setItemIndex(st.Rotation);
    c.Mirror->setChecked(st.Mirror);

    m_pairs->RefreshLinkButton();
    m_edit->PanelLink->setEnabled(m_state.LinkEnabled);
    m_edit->setLinkMode(m_state.LinkMode);
}

void TFormMain::refreshEditPanels()
{
    refreshEditPanel(*m_left);
    refreshEditPanel(*m_right);
}

void TFormMain::editSelected(ListRowModel &list, int code)
{
    if (Updating)
        return;
    const QString error = m_actions->EditSelected(list, code);
    // A turned or mirrored picture makes its pair another one to check.
    m_checks->MarkOutOfDate();
    // Mirror, invert and the batch switch show in no row text.
    m_keeper->NoteChange();
    if (code == saBatchOn || code == saBatchOff) {
        // The target folders of the rows change.
        m_idle->SetRefreshPending();
    } else {
        const QWidget *panel = &list == m_left ? PanelImage_L : PanelImage_R;
        if (panel->isVisible())
            markSideDirty(list);
        AnaglyphDirty = m_options->RadioButtonAnaglyph->isChecked();
        m_idle->ScheduleIdle();
    }
    showInternalError(error);
}

void TFormMain::listActionClicked(ListRowModel &list, int code)
{
    if (orderingRunning())
        return;
    const TActionOutcome outcome = m_actions->RunListAction(list, code);
    // The action selected the last entry and its partner again and restored the other
    // selected rows.
    rowsRearranged(false);
    showOutcome(outcome);
}

void TFormMain::removeFromList(ListRowModel &list)
{
    if (orderingRunning())
        return;
    const QString error = m_actions->RemoveFromList(list, m_smallImages.get());
    rowsRearranged(false);
    showInternalError(error);
}

void TFormMain::selectionButtonClicked(int mode)
{
    m_actions->SelectByButton(mode);
    refreshEditPanels();
    MarkPreviewsDirty();
    m_idle->ScheduleIdle();
}

void TFormMain::searchButtonClicked(ListRowModel &list, int attribute)
{
    const TSideEditControls &c = controlsOf(list);
    if (!m_actions->GoNext(list, attribute, c.FromBeginning->isChecked(), c.Backward->isChecked()))
        QApplication::beep();
    refreshEditPanels();
    m_idle->ScheduleIdle();
}

void TFormMain::searchUnassigned()
{
    const TSearchUnassignedResult found = m_actions->SearchUnassigned();
    LeftDirty = LeftDirty || found.Left;
    RightDirty = RightDirty || found.Right;
    refreshEditPanels();
    m_idle->ScheduleIdle();
}

void TFormMain::combinations()
{
    if (orderingRunning())
        return;
    const TActionOutcome outcome = m_pairs->ButtonKombiClick([this](const QString &question) {
        return ShowDlgBox(question, DlgKind::Confirmation, DlgButton::Yes | DlgButton::No, this) ==
               DlgResult::Yes;
    });
    rowsRearranged(false);
    showOutcome(outcome);
}

void TFormMain::linkClicked()
{
    if (orderingRunning())
        return;
    if (m_pairs->PanelLinkClick())
        rowsRearranged(true);
    else
        rowsRearranged(false);
    if (const QString refusal = m_pairs->LinkRefusal(); !refusal.isEmpty())
        ShowDlgBox(refusal, DlgKind::Information, DlgButton::OK, this);
}

// ---- numbering and thumbnails ----

void TFormMain::scheduleNumbering()
{
    if (m_numberingScheduled)
        return;
    m_numberingScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_numberingScheduled = false;
        updateNumbering();
    });
}

void TFormMain::updateNumbering()
{
    FlagScope updating(NumberUpdating);
    const TCounterRange range = CounterRange(m_session->Naming(), m_left->Count());
    m_options->SpinEditEndNr->setValue(clampToInt(range.End));
    m_options->SpinEditStartNr->setValue(clampToInt(range.Start));
}

void TFormMain::applyThumbnailSize(int itemIndex)
{
    const int size = ThumbnailSizeOf(itemIndex);
    ApplyThumbnailSize(m_session->Entries(), *m_smallImages, size);
    ListView_L->setThumbnailSize(size);
    ListView_R->setThumbnailSize(size);
}
