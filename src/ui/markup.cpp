#include "ui/markup.h"

#include "ui/visibletext.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

constexpr int MaxPoints = 999; // keeps scaled sizes in a sane range

QChar asciiUpper(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') ? QChar(char16_t(u - (u'a' - u'A'))) : c;
}

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// Compares tag with an upper-case ASCII name, letters of tag without regard to case.
bool tagIs(const QString &tag, const char *name)
{
    qsizetype i = 0;
    for (; name[i] != '\0'; ++i) {
        if (i >= tag.size() || asciiUpper(tag.at(i)) != QLatin1Char(name[i]))
            return false;
    }
    return i == tag.size();
}

// The value of "<" prefix digits ">" when tag has that form with minDigits..maxDigits
// digits, otherwise -1.
int numberTag(const QString &tag, const char *prefix, int minDigits, int maxDigits)
{
    qsizetype p = 0;
    for (; prefix[p] != '\0'; ++p) {
        if (p >= tag.size() || asciiUpper(tag.at(p)) != QLatin1Char(prefix[p]))
            return -1;
    }
    const qsizetype digits = tag.size() - p - 1;
    if (digits < minDigits || digits > maxDigits || tag.back() != QLatin1Char('>'))
        return -1;
    int value = 0;
    for (qsizetype i = p; i < p + digits; ++i) {
        if (!isAsciiDigit(tag.at(i)))
            return -1;
        value = value * 10 + (tag.at(i).unicode() - u'0');
    }
    return value;
}

// Sets the kind (and its value) of a segment from its tag; false for text that is no tag.
bool classifyTag(const QString &tag, TFormatSegment &segment)
{
    if (tag.size() < 3)
        return false;
    struct Named
    {
        const char *name;
        TFormatKind kind;
    };
    static constexpr Named named[] = {
        {"<LF>", fkLineFeed},  {"<FB>", fkBold},       {"<FI>", fkItalic},
        {"<FU>", fkUnderline}, {"<FO>", fkStrikeOut},  {"<FN>", fkNormal},
        {"<L>", fkAlignLeft},  {"<C>", fkAlignCenter}, {"<R>", fkAlignRight},
    };
    for (const Named &n : named) {
        if (tagIs(tag, n.name)) {
            segment.Kind = n.kind;
            return true;
        }
    }
    if (tagIs(tag, "<LT>")) {
        segment.Kind = fkText;
        segment.Text.prepend(QLatin1Char('<'));
        return true;
    }
    if (int colour = numberTag(tag, "<C", 1, 1); colour >= 1 && colour <= MarkupColorCount) {
        segment.Kind = fkColor;
        segment.ColourIndex = quint8(colour);
        return true;
    }
    if (int tab = numberTag(tag, "<T", 1, 3); tab >= 0) {
        segment.Kind = fkTab;
        segment.TabNumber = tab;
        return true;
    }
    if (int size = numberTag(tag, "<FS", 1, 2); size >= 0) {
        segment.Kind = fkFontSize;
        segment.FontSize = quint8(size);
        return true;
    }
    return false;
}

// Carriage returns break lines; one at the very end of the caption is left as it is.
QString replaceCarriageReturns(const QString &caption)
{
    if (!caption.contains(QLatin1Char('\r')))
        return caption;
    QString out;
    out.reserve(caption.size() + 8);
    const qsizetype last = caption.size() - 1;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('\r') && i != last)
            out += QLatin1String("<LF>");
        else
            out += caption.at(i);
    }
    return out;
}

int clampPoints(double value)
{
    if (!std::isfinite(value))
        return 1;
    return int(std::clamp(std::round(value), 1.0, double(MaxPoints)));
}

bool isAlignment(TFormatKind kind)
{
    return kind == fkAlignLeft || kind == fkAlignCenter || kind == fkAlignRight;
}

} // namespace

TFormatSegments ParseMarkup(const QString &caption)
{
    TFormatSegments segments;
    if (caption.isEmpty())
        return segments;
    const QString text = replaceCarriageReturns(caption);
    const qsizetype length = text.size();

    qsizetype pos = 0;
    if (text.front() != QLatin1Char('<')) {
        qsizetype lt = text.indexOf(QLatin1Char('<'));
        pos = lt < 0 ? length : lt;
        TFormatSegment lead;
        lead.Text = text.left(pos);
        segments.push_back(std::move(lead));
    }
    while (pos < length) {
        // text[pos] is "<": the tag runs to the first ">" after it (or to the end), its
        // text up to the next "<" (or the end).
        const qsizetype gt = text.indexOf(QLatin1Char('>'), pos + 1);
        const qsizetype tagEnd = gt < 0 ? length : gt + 1;
        qsizetype next = text.indexOf(QLatin1Char('<'), tagEnd);
        if (next < 0)
            next = length;
        TFormatSegment segment;
        segment.Tag = text.mid(pos, tagEnd - pos);
        segment.Text = text.mid(tagEnd, next - tagEnd);
        if (!classifyTag(segment.Tag, segment)) {
            segment.Kind = fkText;
            segment.Text.prepend(segment.Tag);
        }
        segments.push_back(std::move(segment));
        pos = next;
    }
    if (!segments.empty() && segments.front().Kind == fkLineFeed)
        segments.insert(segments.begin(), TFormatSegment{});
    return segments;
}

QString MarkupLiteral(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('<'))
            out += QLatin1String("<LT>");
        else
            out += c;
    }
    return VisibleText(out);
}

QString MarkupPlainText(const QString &caption)
{
    QString out;
    bool aligned = false; // the line has its alignment: a further alignment tag is text
    for (const TFormatSegment &segment : ParseMarkup(caption)) {
        if (segment.Kind == fkLineFeed) {
            out += QLatin1Char('\n');
            aligned = false;
        } else if (segment.Kind == fkTab) {
            out += QLatin1Char(' ');
        } else if (segment.Kind >= fkAlignLeft && segment.Kind <= fkAlignRight) {
            if (aligned)
                out += segment.Tag;
            aligned = true;
        }
        out += segment.Text;
    }
    return out;
}

TMarkupColors DefaultMarkupColors()
{
    return {QColor(0x00, 0x00, 0x00), QColor(0x80, 0x80, 0x80), QColor(0xFF, 0x00, 0x00),
            QColor(0x00, 0x00, 0xFF), QColor(0x00, 0x80, 0x00), QColor(0x00, 0xFF, 0x00),
            QColor(0xFF, 0xFF, 0x00), QColor(0xFF, 0x00, 0xFF)};
}

double EffectiveSizeFaktor(double faktor)
{
    return (std::isfinite(faktor) && faktor > 0) ? faktor : 1.0;
}

TMarkupFormatState::TMarkupFormatState(const TMarkupBase &base, const MarkupMetrics &metrics)
    : m_base(base), m_metrics(metrics)
{
    reset();
}

QFont TMarkupFormatState::scaledBaseFont() const
{
    QFont font = m_base.Font;
    const double faktor = EffectiveSizeFaktor(m_base.FontSizeFaktor);
    if (font.pointSizeF() > 0)
        font.setPointSize(clampPoints(font.pointSizeF() * faktor));
    else if (font.pixelSize() > 0)
        font.setPixelSize(clampPoints(font.pixelSize() * faktor));
    return font;
}

void TMarkupFormatState::reset()
{
    m_font = scaledBaseFont();
    m_color = m_base.FontColor;
}

void TMarkupFormatState::apply(const TFormatSegment &segment)
{
    switch (segment.Kind) {
    case fkColor:
        if (segment.ColourIndex >= 1 && segment.ColourIndex <= MarkupColorCount)
            m_color = m_base.Colors[segment.ColourIndex - 1];
        break;
    case fkFontSize:
        m_metrics.setCellHeight(
            m_font, clampPoints(segment.FontSize * EffectiveSizeFaktor(m_base.FontSizeFaktor)));
        break;
    case fkBold:
        m_font.setBold(!m_font.bold());
        break;
    case fkItalic:
        m_font.setItalic(!m_font.italic());
        break;
    case fkUnderline:
        m_font.setUnderline(!m_font.underline());
        break;
    case fkStrikeOut:
        m_font.setStrikeOut(!m_font.strikeOut());
        break;
    case fkNormal:
        m_font = scaledBaseFont();
        m_font.setBold(false);
        m_font.setItalic(false);
        m_font.setUnderline(false);
        m_font.setStrikeOut(false);
        m_color = m_base.FontColor;
        break;
    case fkText:
    case fkLineFeed:
    case fkTab:
    case fkAlignLeft:
    case fkAlignCenter:
    case fkAlignRight:
        break;
    }
}

QSize LayoutMarkup(TFormatSegments &segments, const TMarkupBase &base, const MarkupMetrics &metrics)
{
    TMarkupFormatState state(base, metrics);
    int measuredWidth = 0;
    int measuredHeight = 0;
    TFormatSegment *lineStart = nullptr;
    bool lineHasText = false;
    bool lineAligned = false;

    auto closeLine = [&] {
        if (!lineStart)
            return;
        if (!lineHasText)
            lineStart->LineHeight = metrics.fontHeight(state.font());
        measuredWidth = std::max(measuredWidth, lineStart->Width);
        measuredHeight += lineStart->LineHeight;
    };

    for (size_t i = 0; i < segments.size(); ++i) {
        TFormatSegment &segment = segments[i];
        if (i == 0 || segment.Kind == fkLineFeed) {
            closeLine();
            lineStart = &segment;
            segment.LineHeight = 0;
            segment.Width = 0;
            segment.LineAlign = 0;
            lineHasText = false;
            lineAligned = false;
        }
        state.apply(segment);
        if (isAlignment(segment.Kind)) {
            if (!lineAligned) {
                lineStart->LineAlign = segment.Kind;
                lineAligned = true;
            } else {
                // Only the first alignment of a line counts; later ones are shown as written.
                segment.Kind = fkText;
                segment.Text.prepend(segment.Tag);
            }
        }
        if (!segment.Text.isEmpty()) {
            lineStart->Width += metrics.textWidth(state.font(), segment.Text);
            lineStart->LineHeight =
                std::max(lineStart->LineHeight, metrics.fontHeight(state.font()));
            lineHasText = true;
        }
    }
    closeLine();
    return QSize(measuredWidth, measuredHeight);
}

std::vector<TMarkupRun> MarkupRuns(const TFormatSegments &segments, const TMarkupBase &base,
                                   const MarkupMetrics &metrics, int clientWidth)
{
    std::vector<TMarkupRun> runs;
    if (segments.empty())
        return runs;
    TMarkupFormatState state(base, metrics);
    int x = 0;
    int y = segments.front().LineHeight; // always the bottom of the current line

    for (size_t i = 0; i < segments.size(); ++i) {
        const TFormatSegment &segment = segments[i];
        state.apply(segment);
        const bool firstOfLine = i == 0 || segment.Kind == fkLineFeed;
        if (segment.Kind == fkLineFeed) {
            x = 0;
            y += segment.LineHeight;
        }
        if (firstOfLine) {
            if (segment.LineAlign == fkAlignCenter)
                x = clientWidth / 2 - segment.Width / 2;
            else if (segment.LineAlign == fkAlignRight)
                x = clientWidth - segment.Width;
        }
        if (segment.Kind == fkTab)
            x = segment.TabNumber * metrics.textWidth(state.font(), QStringLiteral("M"));
        if (segment.Text.isEmpty())
            continue;
        TMarkupRun run;
        run.Text = segment.Text;
        run.Font = state.font();
        run.Color = state.color();
        run.X = x;
        run.Bottom = y;
        run.Top = y - metrics.fontHeight(state.font());
        run.Baseline = run.Top + metrics.fontAscent(state.font());
        run.Width = metrics.textWidth(state.font(), segment.Text);
        x += run.Width;
        runs.push_back(std::move(run));
    }
    return runs;
}
