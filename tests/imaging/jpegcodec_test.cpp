// The built-in JPEG codec: 1/8 decoding, square thumbnails with neutral bands, and
// damaged or foreign files giving no picture.
#include "imaging/jpegcodec.h"
#include "imaging/rounding.h"
#include "jpegtestfiles.h"
#include "support/testdata.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

const QColor Band = QColor::fromRgb(ThumbnailBackground);
const QRgb Picture = qRgb(20, 40, 160);

bool rowIs(const QImage &image, int y, QRgb colour, int tolerance = 6)
{
    for (int x = 0; x < image.width(); ++x) {
        const QRgb p = image.pixel(x, y);
        if (std::abs(qRed(p) - qRed(colour)) > tolerance ||
            std::abs(qGreen(p) - qGreen(colour)) > tolerance ||
            std::abs(qBlue(p) - qBlue(colour)) > tolerance)
            return false;
    }
    return true;
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    const std::pair<double, long long> rows[] = {{37.5, 38}, {36.5, 36},  {0.5, 0},
                                                 {1.5, 2},   {2.4999, 2}, {2.5001, 3},
                                                 {-0.5, 0},  {-1.5, -2},  {225.0, 225}};
    for (const auto &[value, expected] : rows)
        EXPECT_EQ(RoundHalfEven(value), expected) << value;
}

TEST(JpegThumbnail, LandscapePhotoGetsBandsAboveAndBelow)
{
    QTemporaryDir dir;
    QImage photo(4000, 3000, QImage::Format_RGB32);
    photo.fill(Picture);
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    ASSERT_TRUE(jpegtest::writeFile(path, jpegtest::encode(photo, 85)));

    EXPECT_EQ(DecodeJpegFile(path, 8).size(), QSize(500, 375));
    const QImage thumbnail = CreateJpegThumbnail(path, 300, Band);
    ASSERT_EQ(thumbnail.size(), QSize(300, 300));
    // 300 x 225 picture from row 38 (37.5 rounded to even): 38 band rows above, 37 below.
    EXPECT_TRUE(rowIs(thumbnail, 0, Band.rgb(), 0));
    EXPECT_TRUE(rowIs(thumbnail, 37, Band.rgb(), 0));
    EXPECT_TRUE(rowIs(thumbnail, 38, Picture));
    EXPECT_TRUE(rowIs(thumbnail, 262, Picture));
    EXPECT_TRUE(rowIs(thumbnail, 263, Band.rgb(), 0));
    EXPECT_TRUE(rowIs(thumbnail, 299, Band.rgb(), 0));
}

TEST(JpegThumbnail, PortraitPictureGetsBandsLeftAndRight)
{
    QImage picture(600, 800, QImage::Format_RGB32);
    picture.fill(Picture);
    const QByteArray bytes = jpegtest::encode(picture);
    const QImage thumbnail = CreateJpegThumbnail(reinterpret_cast<const uchar *>(bytes.constData()),
                                                 std::size_t(bytes.size()), 300, Band);
    ASSERT_EQ(thumbnail.size(), QSize(300, 300));
    // 75 x 100 decoded: 225 wide from column 38.
    EXPECT_EQ(thumbnail.pixel(37, 150), Band.rgb());
    EXPECT_NE(thumbnail.pixel(38, 150), Band.rgb());
    EXPECT_NE(thumbnail.pixel(262, 150), Band.rgb());
    EXPECT_EQ(thumbnail.pixel(263, 150), Band.rgb());
}

TEST(JpegDecode, ScalesByTheDenominatorAndKeepsColours)
{
    const QByteArray bytes = jpegtest::encode(jpegtest::quadrants(64, 32));
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    for (int denominator : {1, 2, 4, 8}) {
        const QImage image = DecodeJpeg(data, std::size_t(bytes.size()), denominator);
        ASSERT_EQ(image.size(), QSize(64 / denominator, 32 / denominator)) << denominator;
        const QRgb topRight = image.pixel(image.width() - 1, 0);
        EXPECT_GT(qGreen(topRight), 180) << denominator;
        EXPECT_LT(qRed(topRight), 80) << denominator;
    }
    EXPECT_TRUE(DecodeJpeg(data, std::size_t(bytes.size()), 3).isNull());
}

// A CMYK file as Adobe applications write it (inverted values, Adobe marker).
QByteArray cmykJpeg(int width, int height, const unsigned char ink[4])
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    cinfo.write_Adobe_marker = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(std::size_t(width) * 4);
    for (int x = 0; x < width; ++x)
        for (int c = 0; c < 4; ++c)
            row[std::size_t(x) * 4 + c] = ink[c];
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return bytes;
}

TEST(JpegDecode, CmykAndGreyFilesBecomeRgb)
{
    const unsigned char cyanInk[4] = {0, 255, 255, 255}; // inverted: full cyan, no other ink
    const QByteArray cmyk = cmykJpeg(16, 16, cyanInk);
    const QImage cyan =
        DecodeJpeg(reinterpret_cast<const uchar *>(cmyk.constData()), std::size_t(cmyk.size()), 1);
    ASSERT_FALSE(cyan.isNull());
    EXPECT_LT(qRed(cyan.pixel(8, 8)), 20);
    EXPECT_GT(qGreen(cyan.pixel(8, 8)), 235);
    EXPECT_GT(qBlue(cyan.pixel(8, 8)), 235);

    QImage grey(16, 16, QImage::Format_Grayscale8);
    grey.fill(100);
    const QByteArray bytes = jpegtest::encode(grey);
    const QImage decoded = DecodeJpeg(reinterpret_cast<const uchar *>(bytes.constData()),
                                      std::size_t(bytes.size()), 1);
    ASSERT_FALSE(decoded.isNull());
    EXPECT_NEAR(qRed(decoded.pixel(3, 3)), 100, 2);
    EXPECT_EQ(qRed(decoded.pixel(3, 3)), qBlue(decoded.pixel(3, 3)));
}

TEST(JpegDecode, DamagedAndForeignFilesGiveNoPicture)
{
    QTemporaryDir dir;
    const QByteArray good = jpegtest::encode(jpegtest::quadrants(256, 256), 90);
    QByteArray corrupt = good;
    for (int i = corrupt.size() / 3; i < corrupt.size() / 3 + 200; ++i)
        corrupt[i] = char(i * 37);
    QImage png(8, 8, QImage::Format_RGB32);
    png.fill(Qt::red);
    QByteArray pngBytes;
    {
        QBuffer buffer(&pngBytes);
        buffer.open(QIODevice::WriteOnly);
        png.save(&buffer, "PNG");
    }
    const std::pair<const char *, QByteArray> rows[] = {
        {"truncated half", good.left(good.size() / 2)},
        {"header only", good.left(200)},
        {"damaged entropy data", corrupt},
        {"png named jpg", pngBytes},
        {"text", QByteArray("hello")},
        {"empty", QByteArray()},
    };
    for (const auto &[name, bytes] : rows) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QStringLiteral("x.jpg"));
        ASSERT_TRUE(jpegtest::writeFile(path, bytes));
        EXPECT_TRUE(CreateJpegThumbnail(path, 300, Band).isNull());
        EXPECT_TRUE(DecodeJpegFile(path, 1).isNull());
        EXPECT_TRUE(DecodeJpeg(reinterpret_cast<const uchar *>(bytes.constData()),
                               std::size_t(bytes.size()), 8)
                        .isNull());
    }
    EXPECT_TRUE(
        CreateJpegThumbnail(dir.filePath(QStringLiteral("missing.jpg")), 300, Band).isNull());
    // Even the last two bytes missing count as truncated: the decoder runs out of data.
    QByteArray noEnd = good;
    noEnd.chop(2);
    EXPECT_TRUE(
        DecodeJpeg(reinterpret_cast<const uchar *>(noEnd.constData()), std::size_t(noEnd.size()), 8)
            .isNull());
}

TEST(JpegDecode, BrokenFixturesDoNotCrash)
{
    const QDir invalid(testDataPath(QStringLiteral("photos/jpg/invalid")));
    QStringList files = invalid.entryList({QStringLiteral("*.jpg")}, QDir::Files);
    files << QStringLiteral("../corrupted.jpg");
    ASSERT_GE(files.size(), 6);
    for (const QString &name : files) {
        const QImage thumbnail = CreateJpegThumbnail(invalid.filePath(name), 300, Band);
        EXPECT_TRUE(thumbnail.isNull() || thumbnail.size() == QSize(300, 300))
            << name.toStdString();
    }
    // The camera fixtures all decode.
    for (const char *name :
         {"Canon_40D.jpg", "Nikon_D70.jpg", "Sony_HDR-HC3.jpg", "Fujifilm_FinePix_E500.jpg"})
        EXPECT_EQ(CreateJpegThumbnail(
                      testDataPath(QStringLiteral("photos/jpg/") + QLatin1String(name)), 300, Band)
                      .size(),
                  QSize(300, 300))
            << name;
}

} // namespace
