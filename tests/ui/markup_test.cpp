#include "ui/markup.h"

#include "fixedmetrics.h"

#include <QFontMetricsF>
#include <QtMath>

#include <gtest/gtest.h>
#include <limits>

namespace {

struct Seg
{
    TFormatKind kind;
    QString text;
    int value = 0; // colour index, tab number or font size
};

std::vector<Seg> simplify(const TFormatSegments &segments)
{
    std::vector<Seg> out;
    for (const TFormatSegment &s : segments) {
        int value = s.Kind == fkColor      ? s.ColourIndex
                    : s.Kind == fkTab      ? s.TabNumber
                    : s.Kind == fkFontSize ? s.FontSize
                                           : 0;
        out.push_back({s.Kind, s.Text, value});
    }
    return out;
}

void expectSegments(const QString &caption, const std::vector<Seg> &expected)
{
    SCOPED_TRACE(caption.toStdString());
    const std::vector<Seg> got = simplify(ParseMarkup(caption));
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].kind, expected[i].kind);
        EXPECT_EQ(got[i].text.toStdString(), expected[i].text.toStdString());
        EXPECT_EQ(got[i].value, expected[i].value);
    }
}

TMarkupBase baseFont(int points = 10)
{
    TMarkupBase base;
    base.Font = QFont(QStringLiteral("DejaVu Sans"));
    base.Font.setPointSize(points);
    base.FontColor = Qt::black;
    return base;
}

struct Laid
{
    TFormatSegments segments;
    QSize size;
    std::vector<TMarkupRun> runs;
};

Laid layOut(const QString &caption, const TMarkupBase &base, int clientWidth = 400)
{
    FixedMetrics metrics;
    Laid laid;
    laid.segments = ParseMarkup(caption);
    laid.size = LayoutMarkup(laid.segments, base, metrics);
    laid.runs = MarkupRuns(laid.segments, base, metrics, clientWidth);
    return laid;
}

} // namespace

TEST(MarkupParse, TagsAndTheirText)
{
    expectSegments({}, {});
    expectSegments("plain text", {{fkText, "plain text"}});
    expectSegments("<FB><c4><FS12>Hint:<FN> <LF>body", {{fkBold, ""},
                                                        {fkColor, "", 4},
                                                        {fkFontSize, "Hint:", 12},
                                                        {fkNormal, " "},
                                                        {fkLineFeed, "body"}});
    expectSegments("<fi>a<Fu>b<fO>c<l>d<r>e<c>f", {{fkItalic, "a"},
                                                   {fkUnderline, "b"},
                                                   {fkStrikeOut, "c"},
                                                   {fkAlignLeft, "d"},
                                                   {fkAlignRight, "e"},
                                                   {fkAlignCenter, "f"}});
    expectSegments("Drive<T12>free<t0>x<T999>y",
                   {{fkText, "Drive"}, {fkTab, "free", 12}, {fkTab, "x", 0}, {fkTab, "y", 999}});
    // <LT> is a literal "<": MarkupLiteral text shows as written, before a real tag too.
    expectSegments(MarkupLiteral("a<FB>b\rc<") + "<LF>d",
                   {{fkText, "a"}, {fkText, "<FB>b\u240Dc"}, {fkText, "<"}, {fkLineFeed, "d"}});
    expectSegments("<C1>a<c8>b<FS0>c<fs99>d<FS05>e", {{fkColor, "a", 1},
                                                      {fkColor, "b", 8},
                                                      {fkFontSize, "c", 0},
                                                      {fkFontSize, "d", 99},
                                                      {fkFontSize, "e", 5}});
}

TEST(MarkupParse, WhatIsNoTagIsLiteralText)
{
    // Out of range, wrong length, unknown names and non-ASCII digits are drawn as written.
    expectSegments("<C9>a<C0>b<C10>c<T>d<T1000>e<FS123>f<FS>g<Camera>h<C\u0664>i",
                   {{fkText, "<C9>a"},
                    {fkText, "<C0>b"},
                    {fkText, "<C10>c"},
                    {fkText, "<T>d"},
                    {fkText, "<T1000>e"},
                    {fkText, "<FS123>f"},
                    {fkText, "<FS>g"},
                    {fkText, "<Camera>h"},
                    {fkText, "<C\u0664>i"}});
    // A "<" swallows everything up to the next ">", a real tag included.
    expectSegments("a < b <FB>bold", {{fkText, "a "}, {fkText, "< b <FB>bold"}});
    // Without ">" the rest of the caption is literal; "<>" is too short to be a tag.
    expectSegments("x<FB", {{fkText, "x"}, {fkText, "<FB"}});
    expectSegments("<>y<", {{fkText, "<>y"}, {fkText, "<"}});
    expectSegments("a>b", {{fkText, "a>b"}});
}

TEST(MarkupParse, CarriageReturnsBreakLinesExceptTheLastCharacter)
{
    expectSegments(
        "Search reached end of list\rContinue at the beginning?",
        {{fkText, "Search reached end of list"}, {fkLineFeed, "Continue at the beginning?"}});
    expectSegments("a\rb\r", {{fkText, "a"}, {fkLineFeed, "b\r"}});
    expectSegments("\r", {{fkText, "\r"}});
}

TEST(MarkupParse, LeadingLineFeedOpensAnEmptyFirstLine)
{
    expectSegments("<LF>x", {{fkText, ""}, {fkLineFeed, "x"}});
    const Laid laid = layOut("<LF>x", baseFont());
    EXPECT_EQ(laid.size, QSize(10, 40)); // both lines measured
    ASSERT_EQ(laid.runs.size(), 1u);
    EXPECT_EQ(laid.runs[0].Bottom, 40); // drawn inside the measured height
}

TEST(MarkupLayout, LinesWidthsAndHeights)
{
    // Line heights are the tallest text of the line; widths sum up the texts.
    const Laid laid = layOut("ab<FS20>CD<FN>e<LF>fgh<LF><LF>i", baseFont());
    const TFormatSegments &s = laid.segments;
    EXPECT_EQ(s[0].Width, 20 + 40 + 10);
    EXPECT_EQ(s[0].LineHeight, 40);
    EXPECT_EQ(s[3].Width, 30);
    EXPECT_EQ(s[3].LineHeight, 20);
    EXPECT_EQ(s[4].LineHeight, 20); // an empty line has the height of the current font
    EXPECT_EQ(s[5].Width, 10);
    EXPECT_EQ(laid.size, QSize(70, 40 + 20 + 20 + 20));
}

TEST(MarkupLayout, TextsOfALineStandOnACommonBottomLine)
{
    const Laid laid = layOut("<FS20>Big<FN>small<LF>next", baseFont());
    ASSERT_EQ(laid.runs.size(), 3u);
    const TMarkupRun &big = laid.runs[0], &small = laid.runs[1], &next = laid.runs[2];
    EXPECT_EQ(big.Bottom, 40);
    EXPECT_EQ(small.Bottom, 40);
    EXPECT_EQ(big.Top, 0);
    EXPECT_EQ(small.Top, 20);
    EXPECT_EQ(small.Baseline, 20 + 15);
    EXPECT_EQ(small.X, 60);
    EXPECT_EQ(next.Bottom, 60);
    EXPECT_EQ(next.X, 0);
}

TEST(MarkupLayout, AlignmentPlacesTheWholeLine)
{
    const Laid laid = layOut("left<C>mid<LF><R>right<LF>x<c>centred", baseFont(), 200);
    ASSERT_EQ(laid.runs.size(), 5u);
    EXPECT_EQ(laid.runs[0].X, 100 - 35); // "leftmid" is 70 wide; the tag may stand anywhere
    EXPECT_EQ(laid.runs[1].X, 100 - 35 + 40);
    EXPECT_EQ(laid.runs[2].X, 200 - 50);
    EXPECT_EQ(laid.runs[3].X, 100 - 40);
    EXPECT_EQ(laid.segments[0].LineAlign, fkAlignCenter);
}

TEST(MarkupLayout, OnlyTheFirstAlignmentOfALineCounts)
{
    const Laid laid = layOut("<C>one<C>two<LF><R>a<R>", baseFont(), 300);
    EXPECT_EQ(laid.segments[0].LineAlign, fkAlignCenter);
    EXPECT_EQ(laid.segments[1].Kind, fkText);
    EXPECT_EQ(laid.segments[0].Width, 90); // "one" + "<C>two"
    ASSERT_EQ(laid.runs.size(), 4u);
    EXPECT_EQ(laid.runs[0].Text + laid.runs[1].Text, "one<C>two");
    EXPECT_EQ(laid.runs[0].X, 150 - 45);
    EXPECT_EQ(laid.runs[1].X, 150 - 45 + 30);
    EXPECT_EQ(laid.runs[3].Text, "<R>");
    EXPECT_EQ(laid.runs[2].X, 300 - 40); // "a<R>" is 40 wide
    // Laying out again (new font) keeps the result.
    TFormatSegments again = laid.segments;
    FixedMetrics metrics;
    EXPECT_EQ(LayoutMarkup(again, baseFont(), metrics), laid.size);
    EXPECT_EQ(again[0].LineAlign, fkAlignCenter);
}

TEST(MarkupLayout, TabsJumpByTheWidthOfM)
{
    const Laid laid = layOut("Drive<T12>free<FB><T3>x", baseFont());
    EXPECT_EQ(laid.segments[0].Width, 50 + 40 + 12); // tab jumps not counted
    ASSERT_EQ(laid.runs.size(), 3u);
    EXPECT_EQ(laid.runs[1].X, 120);
    EXPECT_EQ(laid.runs[2].X, 3 * 12); // "M" measured in the current (bold) font
}

TEST(MarkupFormat, TogglesCarryOverUntilNormal)
{
    const Laid laid = layOut("<FB>A<FB>B<FB>C<LF>D<FI><FU><FO><C3>E<FN>F", baseFont());
    ASSERT_EQ(laid.runs.size(), 6u);
    EXPECT_TRUE(laid.runs[0].Font.bold());
    EXPECT_FALSE(laid.runs[1].Font.bold());
    EXPECT_TRUE(laid.runs[2].Font.bold());
    EXPECT_TRUE(laid.runs[3].Font.bold()); // across the line feed
    const TMarkupRun &e = laid.runs[4];
    EXPECT_TRUE(e.Font.italic() && e.Font.underline() && e.Font.strikeOut() && e.Font.bold());
    EXPECT_EQ(e.Color, QColor(0xFF, 0, 0));
    const TMarkupRun &f = laid.runs[5];
    EXPECT_FALSE(f.Font.bold() || f.Font.italic() || f.Font.underline() || f.Font.strikeOut());
    EXPECT_EQ(f.Color, QColor(Qt::black));
    EXPECT_EQ(laid.runs[0].Width, 12);
    EXPECT_EQ(laid.runs[1].Width, 10);
}

TEST(MarkupFormat, HintHeadingFromTheMessages)
{
    const Laid laid = layOut("<FB><c4><FS12>Hint:<FN> <LF>body", baseFont(9));
    ASSERT_EQ(laid.runs.size(), 3u);
    EXPECT_TRUE(laid.runs[0].Font.bold());
    EXPECT_EQ(laid.runs[0].Color, QColor(0, 0, 0xFF));
    EXPECT_EQ(laid.runs[0].Font.pointSize(), 12);
    for (int i : {1, 2}) {
        EXPECT_FALSE(laid.runs[i].Font.bold());
        EXPECT_EQ(laid.runs[i].Font.pointSize(), 9);
        EXPECT_EQ(laid.runs[i].Color, QColor(Qt::black));
    }
    EXPECT_EQ(laid.runs[1].Bottom, laid.runs[0].Bottom);
}

TEST(MarkupFormat, LabelFontAndSizeFactor)
{
    TMarkupBase base = baseFont(10);
    base.Font.setBold(true);
    base.FontColor = QColor(Qt::darkGreen);
    base.FontSizeFaktor = 1.5;
    base.Colors[4 - 1] = QColor(1, 2, 3);
    const Laid laid = layOut("lead<FS12>a<FS0>b<c4>c<FN>d", base);
    ASSERT_EQ(laid.runs.size(), 5u);
    // Text before the first tag: the label's own font (style included), scaled.
    EXPECT_TRUE(laid.runs[0].Font.bold());
    EXPECT_EQ(laid.runs[0].Font.pointSize(), 15);
    EXPECT_EQ(laid.runs[0].Color, QColor(Qt::darkGreen));
    EXPECT_EQ(laid.runs[1].Font.pointSize(), 18);
    EXPECT_EQ(laid.runs[2].Font.pointSize(), 1); // no font of size 0
    EXPECT_EQ(laid.runs[3].Color, QColor(1, 2, 3));
    EXPECT_FALSE(laid.runs[4].Font.bold());
    EXPECT_EQ(laid.runs[4].Font.pointSize(), 15);
    EXPECT_EQ(laid.runs[4].Color, QColor(Qt::darkGreen));

    for (double bad : {0.0, -2.0, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
        base.FontSizeFaktor = bad;
        EXPECT_EQ(layOut("x<FS12>y", base).runs[1].Font.pointSize(), 12);
    }
}

TEST(MarkupFormat, DefaultColours)
{
    const TMarkupColors c = DefaultMarkupColors();
    const QRgb expected[] = {0x000000, 0x808080, 0xFF0000, 0x0000FF,
                             0x008000, 0x00FF00, 0xFFFF00, 0xFF00FF};
    for (int i = 0; i < MarkupColorCount; ++i)
        EXPECT_EQ(c[size_t(i)].rgb() & 0xFFFFFF, expected[i]) << i;
}

TEST(MarkupMetricsQt, FontSizeTagSetsTheCellHeight)
{
    QtMarkupMetrics metrics;
    for (int points : {8, 12, 18}) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(30);
        metrics.setCellHeight(font, points);
        const QFontMetricsF fm(font);
        // Ascent plus descent, not the em, is the requested size.
        EXPECT_NEAR(fm.ascent() + fm.descent(), points * fm.fontDpi() / 72.0, 1.0) << points;
        EXPECT_LT(font.pointSizeF(), points);
        EXPECT_EQ(metrics.fontHeight(font), qCeil(fm.ascent() + fm.descent()));
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(metrics.textWidth(font, QString()), 0);
    EXPECT_GT(metrics.textWidth(font, QStringLiteral("M")), 0);
}

TEST(MarkupText, NamesShowAsWrittenOnOneLine)
{
    // A name put into a message with MarkupLiteral reads back exactly, on its own line.
    const struct
    {
        const char *name;
        const char *shown;
    } cases[] = {
        {"lt<FB>gt.JPG", "lt<FB>gt.JPG"},
        {"<c3><LF>x", "<c3><LF>x"},
        {"ends in <", "ends in <"},
        {"line\nbreak\r.jpg", "line\u240Abreak\u240D.jpg"},
        {"tab\tand\x7f", "tab\u2409and\u2421"},
        {"sep\u2028para\u2029nel\u0085", "sep\u2424para\u2424nel\u2424"},
        {"c1\u0090", "c1\\u0090"},
        {"caf\u00e9 \U0001F600", "caf\u00e9 \U0001F600"},
    };
    for (const auto &c : cases) {
        const QString caption = QStringLiteral("<FB>") + MarkupLiteral(QString::fromUtf8(c.name)) +
                                QStringLiteral("<FN><LF>next");
        EXPECT_EQ(MarkupPlainText(caption), QString::fromUtf8(c.shown) + QStringLiteral("\nnext"))
            << c.name;
    }
}

TEST(MarkupText, PlainTextLeavesOutTheTagsThatTakeEffect)
{
    const struct
    {
        const char *caption;
        const char *plain;
    } cases[] = {
        {"<FB><c8>Rotating<FN><c6> (a.jpg)<FB><c8>  1/2 (3/9)", "Rotating (a.jpg)  1/2 (3/9)"},
        {"<C>one<C>two<LF><R>three", "one<C>two\nthree"},
        {"Drive<T12>free", "Drive free"},
        {"<C9>a < b <FB>c", "<C9>a < b <FB>c"},
        {"text\rmore\r", "text\nmore\r"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MarkupPlainText(QString::fromUtf8(c.caption)), QString::fromUtf8(c.plain))
            << c.caption;
}
