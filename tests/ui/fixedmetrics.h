#pragma once
// Font metrics with round numbers, so that layout results can be stated exactly: a font of
// size p points measures p pixels per character (p + 2 when bold), its cell is 2p high with
// the base line at 3p/2.
#include "ui/markupmetrics.h"

class FixedMetrics : public MarkupMetrics
{
public:
    static int size(const QFont &font) { return font.pointSize() > 0 ? font.pointSize() : 1; }
    static int charWidth(const QFont &font) { return size(font) + (font.bold() ? 2 : 0); }

    int textWidth(const QFont &font, const QString &text) const override
    {
        return int(text.size()) * charWidth(font);
    }
    int fontHeight(const QFont &font) const override { return 2 * size(font); }
    int fontAscent(const QFont &font) const override { return 3 * size(font) / 2; }
    void setCellHeight(QFont &font, int points) const override { font.setPointSize(points); }
};
