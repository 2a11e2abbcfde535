#include "ui/programicon.h"

#include <QPainter>
#include <QPainterPath>

// The shapes on a 48-unit grid, as in dist/icons/duomira.svg.
QImage ProgramIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2c, 0x3e, 0x50));
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 9, 9);
    p.setPen(QPen(Qt::white, 2.5));
    p.setBrush(QColor(0xe0, 0x44, 0x3a));
    p.drawEllipse(QPointF(17, 25), 11, 11);
    p.setBrush(QColor(0x1f, 0xb8, 0xc8, 0xd9));
    p.drawEllipse(QPointF(31, 25), 11, 11);
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13, 9), QPointF(35, 9));
    return image;
}
