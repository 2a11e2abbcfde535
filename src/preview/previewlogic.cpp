#include "preview/previewlogic.h"

#include "imaging/rounding.h"
#include "preview/bitmapops.h"
#include "ui/visibletext.h"

#include <algorithm>

int SideBySideWidth(int areaWidth, int spacing)
{
    // Integer division truncates toward zero, as the layout rule asks.
    const qint64 w = (qint64(areaWidth) - qint64(spacing)) / 2;
    return int(std::clamp<qint64>(w, 0, std::max(0, areaWidth)));
}

TPanelLayout LayoutPanels(TDisplayMode mode, QSize area, int spacing)
{
    TPanelLayout layout;
    const int w = SideBySideWidth(area.width(), spacing);
    const int h = std::max(0, area.height());
    const QRect atLeft(0, 0, w, h);
    const QRect atRight(area.width() - w, 0, w, h);
    const QRect whole(0, 0, std::max(0, area.width()), h);
    switch (mode) {
    case TDisplayMode::CrossEyed:
        layout = {true, true, atRight, atLeft};
        break;
    case TDisplayMode::Parallel:
        layout = {true, true, atLeft, atRight};
        break;
    case TDisplayMode::Anaglyph:
    case TDisplayMode::MonoLeft:
        layout = {true, false, whole, atRight};
        break;
    case TDisplayMode::MonoRight:
        layout = {false, true, atLeft, whole};
        break;
    }
    return layout;
}

double PreviewScale(int width, int height, int rotation, QSize panel)
{
    if (width <= 0 || height <= 0)
        return 1.0;
    const bool upright = double(height) / double(width) > 1.0;
    const bool quarter = rotation == 1 || rotation == 3;
    const int pw = std::max(0, panel.width());
    const int ph = std::max(0, panel.height());
    if (!quarter)
        return upright ? double(pw) / width : double(ph) / height;
    return upright ? double(ph) / width : double(pw) / height;
}

QSize PreviewBitmapSize(int width, int height, int rotation, QSize panel)
{
    const double s = PreviewScale(width, height, rotation, panel);
    return {int(RoundHalfEven(width * s)), int(RoundHalfEven(height * s))};
}

QImage BuildEntryBitmap(const QImage &work, const TEntryLook &look, QSize panel)
{
    if (work.isNull() || work.width() < 1 || work.height() < 1)
        return {};
    if (PreviewScale(work.width(), work.height(), look.Rotation, panel) <= 0.0)
        return {};
    const QSize size = PreviewBitmapSize(work.width(), work.height(), look.Rotation, panel);
    if (size.isEmpty())
        return {};
    QImage bitmap = StretchNearest(work, size);
    bitmap = RotateQuarterTurns(bitmap, look.Rotation);
    if (look.Mirror)
        bitmap = MirrorLeftRight(bitmap);
    if (look.Invert)
        bitmap = InvertColours(bitmap);
    return bitmap;
}

int CoveringScaleDenominator(int width, int height, int rotation, QSize panel)
{
    const QSize wanted = PreviewBitmapSize(width, height, rotation, panel);
    for (int d : {8, 4, 2}) {
        // libjpeg-turbo rounds reduced sizes up.
        const int w = (width + d - 1) / d;
        const int h = (height + d - 1) / d;
        if (w >= wanted.width() && h >= wanted.height())
            return d;
    }
    return 1;
}

TExifTexts ExifTexts(const TJPEGData &metadata, const QList<int> &checked, const QLocale &locale)
{
    TExifTexts texts;
    if (!metadata.HasExif)
        return texts;
    const QChar cr(13);
    for (int i = 0; i < JpegDataTextCount; ++i) {
        if (!checked.contains(i))
            continue;
        QString value = metadata.Str[std::size_t(i)];
        if (i == jdDateTime) {
            value =
                metadata.CaptureTime != 0
                    ? locale.toString(DaysToDateTime(metadata.CaptureTime), QLocale::ShortFormat)
                    : QString();
        }
        texts.Names += QString(ExifLabels[std::size_t(i)]) + cr;
        // A value is one line of the file's text: a line break in it would shift every
        // value after it against its name.
        texts.Values += VisibleText(value) + cr;
    }
    return texts;
}
