#include "preview/widgets/previewarea.h"

#include "preview/widgets/previewimage.h"
#include "ui/widgets/labelshadow.h"

#include <QMouseEvent>
#include <QResizeEvent>

#include <algorithm>

namespace {

// The panels' own colour, shown where no picture covers them.
const QColor PanelColour(0x33, 0x36, 0x3a);

TLabelShadow *exifLabel(const char *name, QWidget *parent)
{
    auto *label = new TLabelShadow(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTransparent(true);
    label->setShadowColor(Qt::gray);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Qt::yellow);
    label->setPalette(pal);
    return label;
}

} // namespace

TPreviewPanel::TPreviewPanel(const QString &name, const QString &imageName, QPoint namesAt,
                             QPoint valuesAt, QWidget *parent)
    : QFrame(parent), m_namesAt(namesAt), m_valuesAt(valuesAt)
{
    setObjectName(name);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PanelColour);
    setPalette(pal);
    Image = new TPreviewImage(this);
    Image->setObjectName(imageName);
    Image->hide();
    const bool left = name.endsWith(QLatin1String("_L"));
    LabelNames = exifLabel(left ? "LabelExifBez_L" : "LabelExifBez_R", this);
    LabelValues = exifLabel(left ? "LabelExifVal_L" : "LabelExifVal_R", this);
}

TPreviewImage *TPreviewPanel::addAnaglyphImage()
{
    ImageAnaglyph = new TPreviewImage(this);
    ImageAnaglyph->setObjectName(QStringLiteral("Image_A"));
    ImageAnaglyph->hide();
    ImageAnaglyph->setGeometry(contentsRect());
    LabelNames->raise();
    LabelValues->raise();
    return ImageAnaglyph;
}

void TPreviewPanel::setExifText(const QString &names, const QString &values)
{
    LabelNames->setCaption(names);
    LabelValues->setCaption(values);
    placeLabels();
}

void TPreviewPanel::placeLabels()
{
    const QPoint origin = contentsRect().topLeft();
    LabelNames->move(origin + m_namesAt);
    // The values keep their column, but never run into a long name.
    const int valuesX = std::max(m_valuesAt.x(), m_namesAt.x() + LabelNames->width() + 8);
    LabelValues->move(origin + QPoint(valuesX, m_valuesAt.y()));
}

void TPreviewPanel::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    Image->setGeometry(contentsRect());
    if (ImageAnaglyph)
        ImageAnaglyph->setGeometry(contentsRect());
    placeLabels();
    Q_EMIT resized();
}

TPreviewArea::TPreviewArea(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PanelPreview"));
    PanelImage_L = new TPreviewPanel(QStringLiteral("PanelImage_L"), QStringLiteral("Image_L"),
                                     {40, 8}, {172, 8}, this);
    PanelImage_R = new TPreviewPanel(QStringLiteral("PanelImage_R"), QStringLiteral("Image_R"),
                                     {16, 8}, {148, 8}, this);
    PanelImage_L->addAnaglyphImage();
    setMinimumSize(160, 60);
    connect(PanelImage_L, &TPreviewPanel::resized, this,
            [this] { Q_EMIT panelResized(PreviewLeft); });
    connect(PanelImage_R, &TPreviewPanel::resized, this,
            [this] { Q_EMIT panelResized(PreviewRight); });
    updatePanelWidths();
}

void TPreviewArea::setMode(TDisplayMode mode)
{
    m_mode = mode;
    // Image_A only ever shows in anaglyph mode; the drawing step shows it when composed.
    if (mode != TDisplayMode::Anaglyph)
        HideAnaglyph();
    updatePanelWidths();
}

void TPreviewArea::setSpacing(int spacing)
{
    m_spacing = spacing;
    updatePanelWidths();
}

void TPreviewArea::setExifVisible(bool on)
{
    m_exifVisible = on;
    for (TPreviewPanel *p : {PanelImage_L, PanelImage_R}) {
        p->LabelNames->setVisible(on);
        p->LabelValues->setVisible(on);
    }
}

void TPreviewArea::setPlain()
{
    setAutoFillBackground(true);
    for (QWidget *w : {static_cast<QWidget *>(this), static_cast<QWidget *>(PanelImage_L),
                       static_cast<QWidget *>(PanelImage_R)}) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, Qt::black);
        w->setPalette(pal);
    }
    PanelImage_L->setFrameShape(QFrame::NoFrame);
    PanelImage_R->setFrameShape(QFrame::NoFrame);
    setExifVisible(false);
}

void TPreviewArea::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    Q_EMIT doubleClicked();
}

void TPreviewArea::updatePanelWidths()
{
    const TPanelLayout layout = LayoutPanels(m_mode, size(), m_spacing);
    PanelImage_L->setGeometry(layout.Left);
    PanelImage_R->setGeometry(layout.Right);
    PanelImage_L->setVisible(layout.LeftVisible);
    PanelImage_R->setVisible(layout.RightVisible);
}

void TPreviewArea::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updatePanelWidths();
}

QSize TPreviewArea::PanelClientSize(int side) const
{
    return panel(side)->contentsRect().size();
}

void TPreviewArea::ShowPicture(int side, const QImage &bitmap, const QImage &fitted)
{
    TPreviewImage *image = panel(side)->Image;
    image->setBitmap(bitmap, fitted);
    image->show();
}

void TPreviewArea::HidePicture(int side)
{
    TPreviewImage *image = panel(side)->Image;
    image->hide();
    image->setBitmap(QImage());
    if (side == PreviewLeft)
        HideAnaglyph();
}

void TPreviewArea::ShowExifText(int side, const QString &names, const QString &values)
{
    panel(side)->setExifText(names, values);
}

void TPreviewArea::ShowAnaglyph(const QImage &bitmap, const QImage &fitted)
{
    TPreviewImage *anaglyph = PanelImage_L->ImageAnaglyph;
    anaglyph->setBitmap(bitmap, fitted);
    PanelImage_L->Image->hide();
    PanelImage_R->Image->hide();
    anaglyph->show();
}

void TPreviewArea::HideAnaglyph()
{
    PanelImage_L->ImageAnaglyph->hide();
    PanelImage_L->ImageAnaglyph->setBitmap(QImage());
}
