#pragma once
// Text measuring for the markup layout. The layout and the drawing plan ask only this
// interface, so they can be pinned in tests with fixed metrics; the program measures with
// Qt's font metrics on the device it paints on.
#include <QFont>
#include <QString>

class QPaintDevice;

class MarkupMetrics
{
public:
    virtual ~MarkupMetrics() = default;

    // Width in whole pixels of text drawn in font (rounded up).
    virtual int textWidth(const QFont &font, const QString &text) const = 0;
    // Height in whole pixels of a text extent in font: ascent plus descent (the character
    // cell, internal leading included).
    virtual int fontHeight(const QFont &font) const = 0;
    // Distance from the top of the character cell to the base line, whole pixels.
    virtual int fontAscent(const QFont &font) const = 0;
    // Resizes font so that its character cell is points high (ascent plus descent).
    virtual void setCellHeight(QFont &font, int points) const = 0;
};

// Measures with QFontMetricsF on the given paint device (its resolution), or on the
// screen's resolution when device is null.
class QtMarkupMetrics : public MarkupMetrics
{
public:
    explicit QtMarkupMetrics(const QPaintDevice *device = nullptr) : m_device(device) {}

    int textWidth(const QFont &font, const QString &text) const override;
    int fontHeight(const QFont &font) const override;
    int fontAscent(const QFont &font) const override;
    void setCellHeight(QFont &font, int points) const override;

private:
    const QPaintDevice *m_device;
};
