#pragma once
// The inline markup of the program's messages: parsing a caption into segments, the
// formatting state, the line layout and the plan of what to draw where.
//
// A tag is "<", a name and ">", compared without regard to case:
//   <LF> line feed      <C1>..<C8> colour      <T0>..<T999> tab      <FS0>..<FS99> font size
//   <FB> <FI> <FU> <FO> toggle bold, italic, underline, strike-out    <FN> back to normal
//   <L> <C> <R> align the whole line left, centred, right (the first one of a line counts)
//   <LT> a literal "<"
// Anything else from "<" to the next ">" is literal text, angle brackets included.
#include "ui/markupmetrics.h"

#include <QColor>
#include <QFont>
#include <QSize>
#include <QString>

#include <array>
#include <vector>

// What a segment does before its text is measured or drawn.
enum TFormatKind : quint8
{
    fkText = 0,
    fkLineFeed = 1,
    fkColor = 2,
    fkTab = 3,
    fkFontSize = 4,
    fkBold = 5,
    fkItalic = 6,
    fkUnderline = 7,
    fkStrikeOut = 8,
    fkNormal = 9,
    fkAlignLeft = 10,
    fkAlignCenter = 11,
    fkAlignRight = 12,
};

// One tag with the text that follows it up to the next "<".
struct TFormatSegment
{
    TFormatKind Kind = fkText;
    quint8 ColourIndex = 0; // 1..8 for fkColor
    int TabNumber = 0;      // 0..999 for fkTab
    quint8 FontSize = 0;    // 0..99 for fkFontSize
    // Set by the layout on the first segment of each line only:
    int LineHeight = 0;   // height of the line in pixels
    int Width = 0;        // width of the line in pixels (tab jumps not counted)
    quint8 LineAlign = 0; // 0 none, fkAlignLeft, fkAlignCenter or fkAlignRight
    QString Tag;          // the tag as written, "<" to ">"; empty for leading text
    QString Text;         // the text to draw (a literal tag's text starts with the tag)
};

using TFormatSegments = std::vector<TFormatSegment>;

// Splits a caption into segments. Carriage returns (except one at the very end) break
// lines like "<LF>". A caption that starts with a line feed gets an empty first line, so
// that the line it opens is measured as well as drawn.
TFormatSegments ParseMarkup(const QString &caption);

inline constexpr int MarkupColorCount = 8;
using TMarkupColors = std::array<QColor, MarkupColorCount>;

// text (a file name, say) written so that the markup shows it exactly as it is: every "<"
// becomes "<LT>", so that no tag in it takes effect and no "<" in it swallows a tag that
// follows; control characters, which would break or shift the line, become visible symbols
// (VisibleText, ui/visibletext.h: a carriage return shows as U+240D).
QString MarkupLiteral(const QString &text);

// What a caption shows, as plain text: the texts of its segments with the tags that take
// effect left out, literal tags kept as written, "\n" for every line feed and a blank for
// every tab jump. For places that cannot draw markup (a terminal, a log file).
QString MarkupPlainText(const QString &caption);

// Black, gray, red, blue, green, lime, yellow, fuchsia.
TMarkupColors DefaultMarkupColors();

// The label-wide values the markup is laid out and drawn with.
struct TMarkupBase
{
    QFont Font; // the label's own font
    QColor FontColor = Qt::black;
    double FontSizeFaktor = 1.0; // scales the label's font size and every <FS> size
    TMarkupColors Colors = DefaultMarkupColors();
};

// A usable size factor: values that are not positive finite numbers count as 1.
double EffectiveSizeFaktor(double faktor);

// The current font and colour while walking the segments.
class TMarkupFormatState
{
public:
    TMarkupFormatState(const TMarkupBase &base, const MarkupMetrics &metrics);

    // Back to the label's font at its scaled size, with the label's own style and colour.
    void reset();
    // Applies a segment's kind: colour, font size, the toggles, normal. Line feed, tab,
    // alignment and text leave the state unchanged.
    void apply(const TFormatSegment &segment);

    const QFont &font() const { return m_font; }
    const QColor &color() const { return m_color; }

private:
    QFont scaledBaseFont() const;

    const TMarkupBase &m_base;
    const MarkupMetrics &m_metrics;
    QFont m_font;
    QColor m_color;
};

// Measures every line and stores LineHeight, Width and LineAlign on its first segment;
// an alignment tag after the first one of its line becomes literal text. A line without
// any text has the height of the font in effect at its end. Returns the measured size:
// the widest line by the sum of the line heights.
QSize LayoutMarkup(TFormatSegments &segments, const TMarkupBase &base,
                   const MarkupMetrics &metrics);

// One piece of text to draw.
struct TMarkupRun
{
    QString Text;
    QFont Font;
    QColor Color;
    int X = 0;        // left edge
    int Top = 0;      // top of the character cell: Bottom - height of the cell
    int Baseline = 0; // Top + ascent
    int Bottom = 0;   // the common bottom line of the text's line
    int Width = 0;
};

// Where each text of laid-out segments is drawn in a client area clientWidth wide: lines
// stand on a common bottom line, centred and right-aligned lines are placed by their
// measured width, a tab jumps to its number times the width of "M" in the current font.
std::vector<TMarkupRun> MarkupRuns(const TFormatSegments &segments, const TMarkupBase &base,
                                   const MarkupMetrics &metrics, int clientWidth);
