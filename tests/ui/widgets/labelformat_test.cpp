#include "ui/widgets/labelformat.h"
#include "ui/widgets/labelshadow.h"

#include "rendering.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

namespace {

QFont testFont(int points = 12)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(points);
    return font;
}

// A label with a fixed font and black text.
std::unique_ptr<TLabelFormat> makeLabel(const QString &caption, int points = 12)
{
    auto label = std::make_unique<TLabelFormat>();
    label->setFont(testFont(points));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(pal);
    label->setCaption(caption);
    return label;
}

int centreX(const QRect &r)
{
    return (r.left() + r.right() + 1) / 2;
}

} // namespace

TEST(LabelFormatWidget, ColourTagsDrawTheirColours)
{
    auto label = makeLabel("<c4>Blue <c3>Red<FN> Black");
    const QImage image = renderWidget(label.get());
    const Ink blue = findInk(image, isBlue);
    const Ink red = findInk(image, isRed);
    const Ink black = findInk(image, isDark);
    ASSERT_GT(blue.count, 20);
    ASSERT_GT(red.count, 20);
    ASSERT_GT(black.count, 20);
    EXPECT_LT(blue.bounds.right(), red.bounds.left());
    EXPECT_LT(red.bounds.right(), black.bounds.left());

    label->setColor(4, QColor(0xFF, 0, 0)); // the tag picks the label's colour property
    EXPECT_EQ(label->color(4), QColor(0xFF, 0, 0));
    EXPECT_EQ(findInk(renderWidget(label.get()), isBlue).count, 0);
    EXPECT_FALSE(label->color(0).isValid());
    EXPECT_FALSE(label->color(9).isValid());
}

TEST(LabelFormatWidget, AlignmentTagsPlaceTheLine)
{
    auto label = makeLabel({});
    label->setAutoSize(false);
    label->resize(300, 60);
    label->setCaption("<C>XXXX");
    Ink ink = findInk(renderWidget(label.get()), isDark);
    EXPECT_NEAR(centreX(ink.bounds), 150, 3);

    label->setCaption("XX<c>XX<LF>XXXX"); // the tag aligns its whole line, not the next
    ink = findInk(renderWidget(label.get()), isDark, QRect(0, 0, 300, 20));
    EXPECT_NEAR(centreX(ink.bounds), 150, 3);
    ink = findInk(renderWidget(label.get()), isDark, QRect(0, 25, 300, 35));
    EXPECT_LE(ink.bounds.left(), 3);

    label->setCaption("<R>XXXX");
    ink = findInk(renderWidget(label.get()), isDark);
    EXPECT_GE(ink.bounds.right(), 300 - 4);
    EXPECT_GT(ink.bounds.left(), 200);
}

TEST(LabelFormatWidget, BoldTextLandsWhereItsRunIs)
{
    auto label = makeLabel("MMMMMM<FB>MMMMMM<FB>MMMMMM");
    const QImage image = renderWidget(label.get());
    QtMarkupMetrics metrics(label.get());
    TMarkupBase base;
    base.Font = label->font();
    const auto runs = MarkupRuns(label->segments(), base, metrics, label->width());
    ASSERT_EQ(runs.size(), 3u);
    ASSERT_TRUE(runs[1].Font.bold());
    auto density = [&](const TMarkupRun &run) {
        const QRect area(run.X, 0, run.Width, image.height());
        return double(findInk(image, isDark, area).count) / run.Width;
    };
    EXPECT_GT(density(runs[1]), 1.15 * density(runs[0]));
    EXPECT_GT(density(runs[1]), 1.15 * density(runs[2]));
    EXPECT_GT(runs[1].Width, runs[0].Width);
}

TEST(LabelFormatWidget, SizesShareTheBottomOfTheirCells)
{
    auto label = makeLabel("<FS24>BIG<FN>small", 9);
    const QImage image = renderWidget(label.get());
    QtMarkupMetrics metrics(label.get());
    TMarkupBase base;
    base.Font = label->font();
    const auto runs = MarkupRuns(label->segments(), base, metrics, label->width());
    ASSERT_EQ(runs.size(), 2u);
    const Ink big = findInk(image, isDark, QRect(runs[0].X, 0, runs[0].Width, image.height()));
    const Ink small = findInk(image, isDark, QRect(runs[1].X, 0, runs[1].Width, image.height()));
    EXPECT_GT(big.bounds.height(), 1.5 * small.bounds.height());
    // Both character cells end on the line's bottom; letters sit on their base lines.
    EXPECT_EQ(runs[0].Bottom, runs[1].Bottom);
    EXPECT_EQ(runs[0].Bottom, label->height());
    EXPECT_EQ(runs[0].Top + metrics.fontHeight(runs[0].Font), runs[0].Bottom);
    EXPECT_EQ(runs[1].Top + metrics.fontHeight(runs[1].Font), runs[1].Bottom);
    EXPECT_NEAR(big.bounds.bottom(), runs[0].Baseline - 1, 1);
    EXPECT_NEAR(small.bounds.bottom(), runs[1].Baseline - 1, 1);
    EXPECT_GT(small.bounds.bottom(), big.bounds.bottom()); // the larger descent
}

TEST(LabelFormatWidget, DisabledTextUsesHighlightAndShadow)
{
    auto label = makeLabel("Disabled text");
    QPalette pal = label->palette();
    pal.setColor(QPalette::Disabled, QPalette::Light, QColor(0, 255, 0));
    pal.setColor(QPalette::Disabled, QPalette::Dark, QColor(255, 0, 255));
    label->setPalette(pal);
    label->setEnabled(false);
    const QImage image = renderWidget(label.get());
    auto isGreen = [](QColor c) { return c.green() > 200 && c.red() < 60 && c.blue() < 60; };
    auto isMagenta = [](QColor c) { return c.red() > 200 && c.blue() > 200 && c.green() < 60; };
    const Ink green = findInk(image, isGreen);
    const Ink magenta = findInk(image, isMagenta);
    ASSERT_GT(green.count, 10);
    ASSERT_GT(magenta.count, 10);
    EXPECT_EQ(green.bounds.topLeft(), magenta.bounds.topLeft() + QPoint(1, 1));
    EXPECT_EQ(findInk(image, isDark).count, 0);
}

TEST(LabelFormatWidget, AutoSizeFollowsCaptionFontAndFactor)
{
    auto label = makeLabel("one line<LF>and a second, longer line");
    EXPECT_EQ(label->size(), label->measuredSize());
    EXPECT_EQ(label->sizeHint(), label->measuredSize());
    const QSize small = label->size();
    EXPECT_GT(small.height(), QFontMetrics(testFont()).height() * 3 / 2);

    label->setFont(testFont(24));
    EXPECT_GT(label->width(), small.width() * 3 / 2);
    label->setFont(testFont(12));
    EXPECT_EQ(label->size(), small);

    label->setFontSizeFaktor(2.0);
    EXPECT_NEAR(label->height(), 2 * small.height(), 4);
    label->setFontSizeFaktor(-1); // not a usable factor: 1
    EXPECT_EQ(label->fontSizeFaktor(), 1.0);
    EXPECT_EQ(label->size(), small);

    label->setAutoSize(false);
    label->setCaption("x");
    EXPECT_EQ(label->size(), small);
    EXPECT_LT(label->measuredSize().width(), small.width());

    label->setAutoSize(true);
    label->setCaption({});
    EXPECT_EQ(label->size(), QSize(0, 0));
}

TEST(LabelFormatWidget, LeadingLineFeedDrawsInsideTheLabel)
{
    auto label = makeLabel("<LF>XXXX");
    const QImage image = renderWidget(label.get());
    const Ink ink = findInk(image, isDark);
    ASSERT_GT(ink.count, 0);
    EXPECT_GT(ink.bounds.top(), label->height() / 2);
}

TEST(LabelShadowWidget, OutlineAroundTheText)
{
    TLabelShadow label;
    label.setFont(testFont(14));
    QPalette pal = label.palette();
    pal.setColor(QPalette::WindowText, QColor(255, 255, 0));
    label.setPalette(pal);
    label.setShadowColor(QColor(128, 128, 128));
    label.setCaption(QStringLiteral("Date/Time\rAperture\r"));
    label.resize(label.width() + 4, label.height() + 4);
    label.move(0, 0);

    const QImage image = renderWidget(&label, Qt::black);
    auto isYellow = [](QColor c) { return c.red() > 200 && c.green() > 200 && c.blue() < 60; };
    auto isGray = [](QColor c) {
        return qAbs(c.red() - 128) < 30 && qAbs(c.green() - 128) < 30 && qAbs(c.blue() - 128) < 30;
    };
    const Ink yellow = findInk(image, isYellow);
    const Ink gray = findInk(image, isGray);
    ASSERT_GT(yellow.count, 20);
    ASSERT_GT(gray.count, 20);
    EXPECT_EQ(gray.bounds.right(), yellow.bounds.right() + 1);
    EXPECT_EQ(gray.bounds.bottom(), yellow.bounds.bottom() + 1);
    // Two lines: the carriage returns break lines, the last one opens no third line.
    const QFontMetrics fm(testFont(14));
    EXPECT_EQ(label.measuredSize(),
              fm.size(Qt::TextExpandTabs, QStringLiteral("Date/Time\nAperture")));
    EXPECT_GT(label.measuredSize().height(), fm.height() * 3 / 2);
}

TEST(LabelShadowWidget, MeasuringAndDisabledDrawing)
{
    TLabelShadow label;
    label.setFont(testFont());
    EXPECT_EQ(label.size(), QFontMetrics(testFont()).size(Qt::TextExpandTabs, QStringLiteral(" ")));
    EXPECT_EQ(label.shadowColor(), QColor(Qt::black));

    label.setCaption(QStringLiteral("Shadow"));
    QPalette pal = label.palette();
    pal.setColor(QPalette::Disabled, QPalette::Light, QColor(0, 255, 0));
    pal.setColor(QPalette::Disabled, QPalette::Dark, QColor(255, 0, 255));
    label.setPalette(pal);
    label.setShadowColor(QColor(255, 0, 0));
    label.setEnabled(false);
    const QImage image = renderWidget(&label);
    EXPECT_GT(findInk(image, [](QColor c) { return c.green() > 200 && c.red() < 60; }).count, 5);
    EXPECT_EQ(findInk(image, isRed).count, 0); // no outline when disabled
}
