// TFormMain: the stereo preview above the edit area and its two option boxes, "Stereo
// Display Options" and "EXIF". Handlers only mark what must be drawn again; the drawing
// happens in the idle processing (IdlePreviews).
#include "mainwindow/widgets/formmain.h"

#include "entries/listrows.h"
#include "imaging/libgfl.h"
#include "mainwindow/widgets/optionstack.h"
#include "preview/widgets/previewarea.h"
#include "session/idleprocessor.h"
#include "session/paircheckqueue.h"

#include <QCheckBox>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>

void TFormMain::connectPreview()
{
    TOptionStack *o = m_options;
    m_preview = std::make_unique<TStereoPreview>(*m_previewArea, PreviewFlags, &Gfl());
    m_previewArea->setSpacing(o->SpinEditAbstand->value());
    m_previewArea->setExifVisible(o->CheckBoxZeigeExif->isChecked());
    m_previewArea->setMode(displayMode());
    m_preview->SetOptions(previewOptions());

    for (QRadioButton *b : {o->RadioButtonKreuz, o->RadioButtonParallel, o->RadioButtonAnaglyph,
                            o->RadioButtonMono_L, o->RadioButtonMono_R}) {
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                displayModeChanged();
        });
    }
    connect(o->SpinEditAbstand, &QSpinBox::valueChanged, m_previewArea, &TPreviewArea::setSpacing);
    connect(o->CheckBoxZeigeExif, &QCheckBox::toggled, m_previewArea,
            &TPreviewArea::setExifVisible);
    connect(o->CheckListBoxExif, &QListWidget::itemChanged, this, [this] {
        ExifDirtyL = ExifDirtyR = true;
        m_preview->SetOptions(previewOptions());
        m_idle->ScheduleIdle();
    });
    connect(o->CheckBoxLadeBilderImmerNeu, &QCheckBox::toggled, this, [this] {
        LeftDirty = RightDirty = true;
        m_preview->SetOptions(previewOptions());
        m_idle->ScheduleIdle();
    });
    connect(m_previewArea, &TPreviewArea::panelResized, this, &TFormMain::previewPanelResized);
}

TDisplayMode TFormMain::displayMode() const
{
    const TOptionStack *o = m_options;
    if (o->RadioButtonParallel->isChecked())
        return TDisplayMode::Parallel;
    if (o->RadioButtonAnaglyph->isChecked())
        return TDisplayMode::Anaglyph;
    if (o->RadioButtonMono_L->isChecked())
        return TDisplayMode::MonoLeft;
    if (o->RadioButtonMono_R->isChecked())
        return TDisplayMode::MonoRight;
    return TDisplayMode::CrossEyed;
}

TPreviewOptions TFormMain::previewOptions() const
{
    TPreviewOptions options;
    options.Mode = displayMode();
    options.AlwaysReload = m_options->CheckBoxLadeBilderImmerNeu->isChecked();
    const QListWidget *list = m_options->CheckListBoxExif;
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem *item = list->item(i);
        if (item->checkState() == Qt::Checked)
            options.ExifChecked << item->data(Qt::UserRole).toInt();
    }
    return options;
}

void TFormMain::displayModeChanged()
{
    LeftDirty = RightDirty = false;
    const TDisplayMode mode = displayMode();
    m_previewArea->setMode(mode);
    AnaglyphDirty = mode == TDisplayMode::Anaglyph;
    m_preview->SetOptions(previewOptions());
    refreshEditPanels();
    LeftDirty = RightDirty = true;
    m_idle->IdleProcess();
}

void TFormMain::previewPanelResized(int side)
{
    const QWidget *panel = side == PreviewLeft ? PanelImage_L : PanelImage_R;
    if (panel->isVisible()) {
        if (side == PreviewLeft)
            LeftDirty = true;
        else
            RightDirty = true;
    }
    if (displayMode() == TDisplayMode::Anaglyph)
        AnaglyphDirty = true;
    m_idle->ScheduleIdle();
}

void TFormMain::IdlePreviews()
{
    // While the full-screen view is open it alone is drawn: the preview under it would
    // only take decodes away from it.
    if (!m_fullScreen.isNull()) {
        drawFullScreen();
        return;
    }
    m_preview->SetOptions(previewOptions());
    if (m_preview->IdleDraw(m_left->SelectedEntry(), m_right->SelectedEntry()))
        prefetchNextPair();
    m_checks->Fill();
    showPairCheckLine();
}

void TFormMain::prefetchNextPair()
{
    // Rows of both lists stay in step: the next pair is the next row of both lists, in
    // the direction the user last stepped.
    int row = m_left->ItemIndex();
    if (row < 0)
        row = m_right->ItemIndex();
    if (row < 0)
        return;
    const int next = m_previewSteps.Shown(row);
    m_preview->Prefetch(m_left->EntryAt(next), m_right->EntryAt(next));
}
