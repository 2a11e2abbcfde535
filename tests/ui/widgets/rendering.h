#pragma once
// Rendering widgets offscreen and finding where pixels of a colour landed.
#include <QImage>
#include <QRect>
#include <QWidget>

#include <functional>

inline QImage renderWidget(QWidget *widget, QColor background = Qt::white)
{
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(background);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

struct Ink
{
    int count = 0;
    QRect bounds; // bounding box of the matching pixels
};

inline Ink findInk(const QImage &image, const std::function<bool(QColor)> &match, QRect area = {})
{
    if (area.isNull())
        area = image.rect();
    Ink ink;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (match(image.pixelColor(x, y))) {
                ++ink.count;
                ink.bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return ink;
}

// Strongly coloured pixels: the named channel high, the others low.
inline bool isBlue(QColor c)
{
    return c.blue() > 180 && c.red() < 90 && c.green() < 90;
}
inline bool isRed(QColor c)
{
    return c.red() > 180 && c.blue() < 90 && c.green() < 90;
}
inline bool isDark(QColor c)
{
    return c.red() < 100 && c.green() < 100 && c.blue() < 100;
}
