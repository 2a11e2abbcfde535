#include "ui/widgets/labelshadow.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int TextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs;
}

TLabelShadow::TLabelShadow(QWidget *parent) : QWidget(parent)
{
    applyAutoSize();
}

void TLabelShadow::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    applyAutoSize();
    update();
}

void TLabelShadow::setShadowColor(const QColor &color)
{
    if (color == m_shadowColor)
        return;
    m_shadowColor = color;
    update();
}

void TLabelShadow::setAutoSize(bool on)
{
    m_autoSize = on;
    applyAutoSize();
}

QString TLabelShadow::displayText() const
{
    QString text = m_caption;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // A trailing line break ends the last line; it does not open another one.
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

QSize TLabelShadow::measuredSize() const
{
    QString text = displayText();
    if (text.isEmpty())
        text = QStringLiteral(" ");
    return fontMetrics().size(TextFlags, text);
}

void TLabelShadow::applyAutoSize()
{
    if (m_autoSize)
        resize(measuredSize());
    updateGeometry();
}

void TLabelShadow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        applyAutoSize();
    QWidget::changeEvent(event);
}

void TLabelShadow::paintEvent(QPaintEvent *)
{
    const QString text = displayText();
    if (text.isEmpty())
        return;
    QPainter painter(this);
    painter.setFont(font());
    const QRect area = rect();
    if (!isEnabled()) {
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(area.translated(1, 1), TextFlags, text);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawText(area, TextFlags, text);
        return;
    }
    // Left-up, up, right-up, right, right-down, down, left-down, left.
    static constexpr QPoint offsets[] = {{-1, -1}, {0, -1}, {1, -1}, {1, 0},
                                         {1, 1},   {0, 1},  {-1, 1}, {-1, 0}};
    painter.setPen(m_shadowColor);
    for (const QPoint &d : offsets)
        painter.drawText(area.translated(d), TextFlags, text);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, TextFlags, text);
}
