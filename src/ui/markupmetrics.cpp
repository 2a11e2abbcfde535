#include "ui/markupmetrics.h"

#include <QFontMetricsF>
#include <QtMath>

namespace {
QFontMetricsF metricsFor(const QFont &font, const QPaintDevice *device)
{
    return device ? QFontMetricsF(font, device) : QFontMetricsF(font);
}
} // namespace

int QtMarkupMetrics::textWidth(const QFont &font, const QString &text) const
{
    if (text.isEmpty())
        return 0;
    return qCeil(metricsFor(font, m_device).horizontalAdvance(text));
}

int QtMarkupMetrics::fontHeight(const QFont &font) const
{
    QFontMetricsF fm = metricsFor(font, m_device);
    return qCeil(fm.ascent() + fm.descent());
}

int QtMarkupMetrics::fontAscent(const QFont &font) const
{
    return qRound(metricsFor(font, m_device).ascent());
}

void QtMarkupMetrics::setCellHeight(QFont &font, int points) const
{
    // The ratio of the em size to the cell height is a property of the typeface; measure it
    // on a large pixel size, where hinting does not distort it, and scale the point size
    // so that the cell (not the em) becomes the requested height.
    QFont probe = font;
    probe.setPixelSize(1000);
    QFontMetricsF fm(probe);
    const qreal cell = fm.ascent() + fm.descent();
    const qreal emPerCell = cell > 0 ? 1000.0 / cell : 1.0;
    font.setPointSizeF(qMax<qreal>(0.5, points * emPerCell));
}
