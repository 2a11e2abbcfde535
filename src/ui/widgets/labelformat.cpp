#include "ui/widgets/labelformat.h"

#include <QEvent>
#include <QPainter>

TLabelFormat::TLabelFormat(QWidget *parent) : QWidget(parent)
{
    m_base.Font = font();
    relayout();
}

void TLabelFormat::setCaption(const QString &caption)
{
    m_caption = caption;
    m_segments = ParseMarkup(caption);
    relayout();
}

QColor TLabelFormat::color(int index) const
{
    if (index < 1 || index > MarkupColorCount)
        return {};
    return m_base.Colors[index - 1];
}

void TLabelFormat::setColor(int index, const QColor &color)
{
    if (index < 1 || index > MarkupColorCount || m_base.Colors[index - 1] == color)
        return;
    m_base.Colors[index - 1] = color;
    update();
}

void TLabelFormat::setFontSizeFaktor(double faktor)
{
    faktor = EffectiveSizeFaktor(faktor);
    if (faktor == m_base.FontSizeFaktor)
        return;
    m_base.FontSizeFaktor = faktor;
    relayout();
}

void TLabelFormat::setAutoSize(bool on)
{
    if (on == m_autoSize)
        return;
    m_autoSize = on;
    relayout();
}

QSize TLabelFormat::sizeHint() const
{
    return m_measured;
}

QSize TLabelFormat::minimumSizeHint() const
{
    return m_autoSize ? m_measured : QSize(0, 0);
}

void TLabelFormat::relayout()
{
    m_base.Font = font();
    QtMarkupMetrics metrics(this);
    m_measured = LayoutMarkup(m_segments, m_base, metrics);
    if (m_autoSize)
        resize(m_measured);
    updateGeometry();
    update();
}

void TLabelFormat::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        relayout();
    else if (event->type() == QEvent::PaletteChange || event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

void TLabelFormat::paintEvent(QPaintEvent *)
{
    if (m_segments.empty())
        return;
    m_base.FontColor = palette().color(QPalette::WindowText);
    QtMarkupMetrics metrics(this);
    const std::vector<TMarkupRun> runs = MarkupRuns(m_segments, m_base, metrics, width());

    QPainter painter(this);
    const bool disabled = !isEnabled();
    const QColor highlight = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    for (const TMarkupRun &run : runs) {
        painter.setFont(run.Font);
        if (disabled) {
            painter.setPen(highlight);
            painter.drawText(QPoint(run.X + 1, run.Baseline + 1), run.Text);
            painter.setPen(shadow);
        } else {
            painter.setPen(run.Color);
        }
        painter.drawText(QPoint(run.X, run.Baseline), run.Text);
    }
}
