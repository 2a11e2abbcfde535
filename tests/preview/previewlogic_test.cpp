// The preview's rules: the scale rule and the fitting, the panels of each display mode,
// the reduction that covers a panel, and the metadata texts over the pictures.
#include "imaging/jpegdata.h"
#include "preview/bitmapops.h"
#include "preview/previewlogic.h"
#include "support/testdata.h"

#include <QImage>
#include <gtest/gtest.h>

TEST(PreviewScale, FillsTheWidthOfUprightAndTheHeightOfOtherPictures)
{
    struct Case
    {
        QSize picture;
        int rotation;
        QSize panel;
        QSize bitmap; // before turning
        QSize shown;  // fitted into the panel after turning
    };
    const Case cases[] = {
        // Landscape, not turned: s = 318 / 225.
        {{300, 225}, 0, {392, 318}, {424, 318}, {392, 294}},
        // Turned a quarter: still "not upright" before turning, so s = 392 / 225.
        {{300, 225}, 1, {392, 318}, {523, 392}, {238, 318}},
        {{300, 225}, 3, {392, 318}, {523, 392}, {238, 318}},
        // Upright pictures fill the panel's width, or its height once turned.
        {{225, 300}, 2, {392, 318}, {392, 523}, {238, 318}},
        {{225, 300}, 1, {392, 318}, {318, 424}, {392, 294}},
        // A square is not upright.
        {{300, 300}, 0, {392, 318}, {318, 318}, {318, 318}},
    };
    for (const Case &c : cases) {
        const QSize bitmap =
            PreviewBitmapSize(c.picture.width(), c.picture.height(), c.rotation, c.panel);
        EXPECT_EQ(bitmap, c.bitmap)
            << c.picture.width() << "x" << c.picture.height() << " r" << c.rotation;
        const QSize turned = c.rotation % 2 ? bitmap.transposed() : bitmap;
        EXPECT_EQ(FitRect(turned, c.panel).size(), c.shown) << c.rotation;
    }
    EXPECT_EQ(PreviewScale(300, 225, 0, QSize(0, 0)), 0.0);
}

TEST(PreviewScale, BuildsTheTurnedMirroredAndInvertedBitmapOfAPhoto)
{
    QImage photo(testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg")));
    ASSERT_FALSE(photo.isNull());
    photo = photo.convertToFormat(QImage::Format_RGB32);
    const QSize panel(200, 136); // twice the photo's 100 x 68
    const QImage plain = BuildEntryBitmap(photo, {}, panel);
    ASSERT_EQ(plain.size(), QSize(200, 136));
    EXPECT_EQ(plain.pixel(1, 1), photo.pixel(0, 0)); // nearest neighbour: whole pixels

    const QImage all = BuildEntryBitmap(photo, TEntryLook{1, true, true}, panel);
    ASSERT_EQ(all.size(), QSize(200, 294)); // s = 200 / 68, then turned
    // Turned clockwise the top-left pixel goes to the top-right corner; mirrored it comes
    // back to the top-left; inverted it shows 255 minus each colour.
    const QRgb p = photo.pixel(0, 0);
    EXPECT_EQ(all.pixel(0, 0), qRgb(255 - qRed(p), 255 - qGreen(p), 255 - qBlue(p)));
    EXPECT_TRUE(BuildEntryBitmap(photo, {}, QSize(50, 0)).isNull()); // s = 0
}

TEST(PanelLayout, SideBySideSharesTheAreaAndDocksByMode)
{
    // 801 - 16 = 785: panels of 392 and a gap of 17.
    EXPECT_EQ(SideBySideWidth(801, 16), 392);
    EXPECT_EQ(SideBySideWidth(800, 16), 392);
    EXPECT_EQ(SideBySideWidth(10, 40), 0);
    struct Case
    {
        TDisplayMode mode;
        bool leftVisible, rightVisible;
        QRect left, right;
    };
    const QSize area(801, 300);
    const Case cases[] = {
        // Cross-eyed: the left picture is shown on the right.
        {TDisplayMode::CrossEyed, true, true, {409, 0, 392, 300}, {0, 0, 392, 300}},
        {TDisplayMode::Parallel, true, true, {0, 0, 392, 300}, {409, 0, 392, 300}},
        {TDisplayMode::Anaglyph, true, false, {0, 0, 801, 300}, {409, 0, 392, 300}},
        {TDisplayMode::MonoLeft, true, false, {0, 0, 801, 300}, {409, 0, 392, 300}},
        {TDisplayMode::MonoRight, false, true, {0, 0, 392, 300}, {0, 0, 801, 300}},
    };
    for (const Case &c : cases) {
        const TPanelLayout l = LayoutPanels(c.mode, area, 16);
        EXPECT_EQ(l.LeftVisible, c.leftVisible) << int(c.mode);
        EXPECT_EQ(l.RightVisible, c.rightVisible) << int(c.mode);
        EXPECT_EQ(l.Left, c.left) << int(c.mode);
        EXPECT_EQ(l.Right, c.right) << int(c.mode);
    }
}

TEST(CoveringScale, IsTheSmallestDecodeThatStillFillsThePanel)
{
    struct Case
    {
        int rotation;
        QSize panel;
        int denominator;
    };
    const Case cases[] = {
        {0, {900, 700}, 4},   // needs 933 x 700: 1000 x 750
        {1, {900, 700}, 2},   // needs 1200 x 900: 2000 x 1500
        {0, {300, 200}, 8},   // 500 x 375 is enough
        {0, {2000, 1600}, 1}, // larger than the picture
    };
    for (const Case &c : cases)
        EXPECT_EQ(CoveringScaleDenominator(4000, 3000, c.rotation, c.panel), c.denominator)
            << c.rotation << " " << c.panel.width();
}

TEST(ExifTexts, FollowTheCheckMarksInIndexOrder)
{
    TJPEGData data;
    ASSERT_EQ(ReadJpegData(testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg")), data),
              JpegReadResult::Read);
    ASSERT_TRUE(data.HasExif);
    const QLocale c = QLocale::c();
    const QString date = c.toString(DaysToDateTime(data.CaptureTime), QLocale::ShortFormat);

    // Checked in another order than the lines come out.
    const TExifTexts texts = ExifTexts(data, {12, 2, 5}, c);
    EXPECT_EQ(texts.Names, QStringLiteral("Date/Time\rAperture\rMetering mode\r"));
    EXPECT_EQ(texts.Values, date + QLatin1Char('\r') + data.Str[jdAperture] + QLatin1Char('\r') +
                                data.Str[jdMeteringMode] + QLatin1Char('\r'));
    // The capture time, not the EXIF date text.
    EXPECT_NE(date, data.Str[jdDateTime]);

    const TExifTexts none = ExifTexts(data, {}, c);
    EXPECT_TRUE(none.Names.isEmpty() && none.Values.isEmpty());

    // A value with line breaks of its own stays on its line; a tag in it is only text.
    TJPEGData odd = data;
    odd.Str[jdAperture] = QStringLiteral("f/2\r\n<c3>8");
    EXPECT_EQ(ExifTexts(odd, {2, 5, 12}, c).Values,
              date + QStringLiteral("\rf/2\u240D\u240A<c3>8\r") + data.Str[jdMeteringMode] +
                  QLatin1Char('\r'));

    TJPEGData noExif = data;
    noExif.HasExif = false;
    const TExifTexts empty = ExifTexts(noExif, {2, 5}, c);
    EXPECT_TRUE(empty.Names.isEmpty() && empty.Values.isEmpty());
}
