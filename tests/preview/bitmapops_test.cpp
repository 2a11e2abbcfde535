// The preview's bitmap operations on real pictures: the Lanczos resampler against
// ImageMagick's output, the anaglyph formula and sizes, turning and mirroring, and the
// removal of the bands of square thumbnails.
#include "imaging/jpegcodec.h"
#include "preview/bitmapops.h"
#include "support/testdata.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cmath>

namespace {

QImage fixture(const char *relative)
{
    QImage image(testDataPath(QString::fromLatin1(relative)));
    EXPECT_FALSE(image.isNull()) << relative;
    return image.convertToFormat(QImage::Format_RGB32);
}

// Peak signal-to-noise ratio over red, green and blue, in dB.
double psnr(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                sum += double(d) * d;
        }
    }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

QImage filled(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

TEST(Lanczos, MatchesImageMagickWhenReducingAndEnlarging)
{
    const QImage source = fixture("lanczos/source.png");
    for (const char *name : {"lanczos/reduced_77x58.png", "lanczos/enlarged_173x130.png"}) {
        const QImage reference = fixture(name);
        const QImage ours = ResampleLanczos(source, reference.size());
        ASSERT_EQ(ours.size(), reference.size()) << name;
        EXPECT_GE(psnr(ours, reference), 35.0) << name;
    }
}

TEST(Anaglyph, RedIsTheLeftBrightnessGreenAndBlueTheRightPicture)
{
    struct Case
    {
        QRgb left;
        QRgb right;
        QRgb expected;
    };
    const Case cases[] = {
        {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgba(255, 0, 0, 255)},
        {qRgb(100, 150, 200), qRgb(7, 8, 9), qRgba(141, 8, 9, 255)}, // 140.75
        {qRgb(0, 0, 250), qRgb(1, 2, 3), qRgba(28, 2, 3, 255)},      // 28.5: to the even 28
        {qRgb(1, 123, 0), qRgb(0, 0, 0), qRgba(72, 0, 0, 255)},      // 72.5
        {qRgb(2, 246, 250), qRgb(0, 0, 0), qRgba(174, 0, 0, 255)},   // 173.5
    };
    for (const Case &c : cases) {
        const QImage a = ComposeAnaglyph(filled(3, 2, c.left), filled(3, 2, c.right));
        EXPECT_EQ(a.pixel(2, 1), c.expected) << std::hex << c.left;
    }
}

TEST(Anaglyph, TakesTheLargerSizeAndKeepsOrBlanksTheRest)
{
    const QImage big = filled(424, 318, qRgb(10, 20, 30));
    const QImage small = filled(400, 300, qRgb(200, 100, 50));

    const QImage keeps = ComposeAnaglyph(big, small);
    EXPECT_EQ(keeps.size(), QSize(424, 318));
    EXPECT_EQ(keeps.pixel(399, 299), qRgba(18, 100, 50, 255));
    EXPECT_EQ(keeps.pixel(400, 100), qRgb(10, 20, 30)); // the left picture's own pixels
    EXPECT_EQ(keeps.pixel(100, 300), qRgb(10, 20, 30));

    const QImage blanks = ComposeAnaglyph(small, big);
    EXPECT_EQ(blanks.size(), QSize(424, 318));
    EXPECT_EQ(blanks.pixel(0, 0), qRgba(124, 20, 30, 255));
    EXPECT_EQ(blanks.pixel(400, 100), qRgba(0, 0, 0, 0)); // black, alpha 0
    EXPECT_EQ(blanks.pixel(423, 317), qRgba(0, 0, 0, 0));
}

TEST(Anaglyph, OfTwoPreviewSizedPicturesIsExactEverywhere)
{
    const QImage photo = fixture("photos/jpg/Canon_PowerShot_S40.jpg");
    const QImage mirrored = MirrorLeftRight(photo);
    const QImage a = ComposeAnaglyph(photo, mirrored);
    ASSERT_EQ(a.size(), photo.size());
    for (int y = 0; y < photo.height(); y += 7) {
        for (int x = 0; x < photo.width(); x += 5) {
            const QRgb l = photo.pixel(x, y), r = mirrored.pixel(x, y);
            const double grey = 0.299 * qRed(l) + 0.587 * qGreen(l) + 0.114 * qBlue(l);
            ASSERT_LE(std::abs(qRed(a.pixel(x, y)) - grey), 0.5) << x << "," << y;
            ASSERT_EQ(qGreen(a.pixel(x, y)), qGreen(r));
            ASSERT_EQ(qBlue(a.pixel(x, y)), qBlue(r));
        }
    }
}

TEST(QuarterTurns, MovePixelsClockwiseAndComeBackWhole)
{
    const QImage photo = fixture("photos/jpg/Canon_40D.jpg");
    const int w = photo.width(), h = photo.height();
    struct Case
    {
        int rotation;
        QSize size;
        QPoint topLeftGoesTo;
    };
    const Case cases[] = {
        {1, QSize(h, w), QPoint(h - 1, 0)},
        {2, QSize(w, h), QPoint(w - 1, h - 1)},
        {3, QSize(h, w), QPoint(0, w - 1)},
    };
    for (const Case &c : cases) {
        const QImage turned = RotateQuarterTurns(photo, c.rotation);
        EXPECT_EQ(turned.size(), c.size) << c.rotation;
        EXPECT_EQ(turned.pixel(c.topLeftGoesTo), photo.pixel(0, 0)) << c.rotation;
        EXPECT_EQ(RotateQuarterTurns(turned, 4 - c.rotation), photo) << c.rotation;
    }
    const QImage mirrored = MirrorLeftRight(photo);
    EXPECT_EQ(mirrored.pixel(w - 1, 3), photo.pixel(0, 3));
    const QImage inverted = InvertColours(photo);
    EXPECT_EQ(inverted.pixel(5, 5),
              qRgba(255 - qRed(photo.pixel(5, 5)), 255 - qGreen(photo.pixel(5, 5)),
                    255 - qBlue(photo.pixel(5, 5)), 255));
}

TEST(ThumbnailBands, AreCutOffSquareJpegThumbnailsOnly)
{
    struct Case
    {
        const char *photo;
        QSize trimmed;
    };
    // 100 x 68 and 59 x 100 pictures, decoded at 1/8 (13 x 9, 8 x 13), fitted into 300 x 300.
    const Case cases[] = {
        {"photos/jpg/Canon_40D.jpg", QSize(300, 208)},
        {"photos/jpg/Fujifilm_FinePix_E500.jpg", QSize(185, 300)},
    };
    for (const Case &c : cases) {
        const QImage thumbnail =
            CreateJpegThumbnail(testDataPath(QString::fromLatin1(c.photo)), ThumbnailSize,
                                QColor::fromRgb(ThumbnailBackground));
        ASSERT_FALSE(thumbnail.isNull()) << c.photo;
        EXPECT_EQ(TrimThumbnailBands(thumbnail, ThumbnailBackground).size(), c.trimmed) << c.photo;
    }
    const QImage library = fixture("photos/jpg/Canon_PowerShot_S40.jpg");
    EXPECT_EQ(TrimThumbnailBands(library, ThumbnailBackground).size(), library.size());
}
