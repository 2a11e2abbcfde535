// Pictures through the imaging library: the core module's bitmaps and their conversion
// into the program's pictures (LoadGflBitmap), and the bitmap conversion on its own.
#include "imaging/gflfunctions.h"
#include "imaging/libgfl.h"
#include "support/gflfixture.h"
#include "support/testdata.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace {

class GflBitmapTest : public GflLibraryTest
{
protected:
    static void SetUpTestSuite() { loadLibrary(QStringLiteral("Plugins")); }
    QString save(const QImage &image, const QString &name, const char *format = nullptr)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, format)) << name.toStdString();
        return path;
    }
    bool load(const QString &path, QImage &bitmap, QString &error, QList<QRgb> &palette)
    {
        GflBitmapPtr gflBitmap;
        return LoadGflBitmap(library, path, gflBitmap, bitmap, error, palette);
    }
    QTemporaryDir dir;
};

TEST_F(GflBitmapTest, ColourPictureComesAsBlueGreenRedRowsPaddedToFourBytesTopFirst)
{
    QImage picture(5, 3, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.setPixel(0, 0, qRgb(200, 100, 50)); // top left
    picture.setPixel(4, 2, qRgb(10, 20, 30));   // bottom right
    const QString path = save(picture, QStringLiteral("p.png"));

    GFL_LOAD_PARAMS params = library->defaultLoadParams();
    params.Flags |= GFL_LOAD_FORCE_COLOR_MODEL | GFL_LOAD_ORIGINAL_DEPTH | GFL_LOAD_METADATA;
    params.ColorModel = GFL_BGR;
    params.LinePadding = 4;
    GFL_BITMAP *raw = nullptr;
    ASSERT_EQ(library->loadBitmap(path, &raw, params), GFL_NO_ERROR);
    GflBitmapPtr owner(raw, GflBitmapDeleter{library});
    EXPECT_EQ(raw->Type, GFL_BGR);
    EXPECT_EQ(raw->BytesPerPixel, 3);
    EXPECT_EQ(raw->BytesPerLine, 16u); // 15 bytes padded to 16
    EXPECT_EQ(GflBitsPerPixel(*raw), 24);
    EXPECT_EQ(raw->Data[0], 50);
    EXPECT_EQ(raw->Data[1], 100);
    EXPECT_EQ(raw->Data[2], 200);
    EXPECT_EQ(raw->Data[2 * 16 + 12], 30);

    QImage bitmap;
    QString error;
    QList<QRgb> palette;
    ASSERT_TRUE(load(path, bitmap, error, palette));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(bitmap.pixel(0, 0), qRgb(200, 100, 50));
    EXPECT_EQ(bitmap.pixel(4, 2), qRgb(10, 20, 30));
}

TEST_F(GflBitmapTest, PicturesKeepTheirDepthAndPalette)
{
    QImage indexed(7, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0)});
    indexed.fill(2);
    indexed.setPixel(6, 1, 1);
    QImage grey(4, 4, QImage::Format_Grayscale8);
    grey.fill(77);
    QImage mono(10, 3, QImage::Format_Mono);
    mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)}); // index 0 is white here
    mono.fill(0);
    mono.setPixel(9, 2, 1);
    QImage alpha(3, 3, QImage::Format_ARGB32);
    alpha.fill(qRgba(10, 20, 30, 128));

    struct Row
    {
        const char *name;
        QImage picture;
        QImage::Format format;
        QPoint probe;
        QRgb expected;
        bool palette;
    } rows[] = {
        {"indexed.png", indexed, QImage::Format_Indexed8, {6, 1}, qRgb(0, 0, 255), true},
        {"grey.png", grey, QImage::Format_Indexed8, {2, 2}, qRgb(77, 77, 77), true}, // grey ramp
        {"mono.png", mono, QImage::Format_Mono, {9, 2}, qRgb(0, 0, 0), true},
        {"alpha.png", alpha, QImage::Format_ARGB32, {1, 1}, qRgba(10, 20, 30, 128), false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QImage bitmap;
        QString error;
        QList<QRgb> palette = {qRgb(1, 2, 3)};
        ASSERT_TRUE(load(save(row.picture, QString::fromLatin1(row.name)), bitmap, error, palette))
            << error.toStdString();
        EXPECT_EQ(bitmap.format(), row.format);
        EXPECT_EQ(bitmap.pixel(row.probe), row.expected);
        EXPECT_EQ(bitmap.size(), row.picture.size());
        if (row.palette)
            EXPECT_EQ(palette, bitmap.colorTable());
        else
            EXPECT_EQ(palette, QList<QRgb>{qRgb(1, 2, 3)}); // left alone
    }
}

TEST_F(GflBitmapTest, SixteenBitsPerChannelAreRefusedWithTheDepthMessage)
{
    QImage grey16(4, 4, QImage::Format_Grayscale16);
    grey16.fill(Qt::gray);
    QImage rgb64(4, 4, QImage::Format_RGBX64);
    rgb64.fill(Qt::darkCyan);
    for (const auto &[name, picture] :
         {std::pair{"g16.png", grey16}, std::pair{"c48.png", rgb64}}) {
        QImage bitmap;
        QString error;
        QList<QRgb> palette;
        EXPECT_FALSE(load(save(picture, QString::fromLatin1(name)), bitmap, error, palette))
            << name;
        EXPECT_EQ(error, QString::fromLatin1(GflUnsupportedDepthText)) << name;
    }
}

TEST_F(GflBitmapTest, UnreadableFilesGiveTheLibraryText)
{
    QFile text(dir.filePath(QStringLiteral("notes.png")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("this is not a picture");
    text.close();
    QImage bitmap;
    QString error = QStringLiteral("old");
    QList<QRgb> palette;
    EXPECT_FALSE(load(text.fileName(), bitmap, error, palette));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Unable to read file. "))) << error.toStdString();
    EXPECT_GT(error.size(), QStringLiteral("Unable to read file. ").size());

    EXPECT_FALSE(load(dir.filePath(QStringLiteral("missing.tif")), bitmap, error, palette));
    EXPECT_EQ(error, QStringLiteral("Unable to read file. Cannot open the file"));

    // Without the library nothing is tried.
    TGflLibrary unloaded;
    GflBitmapPtr gflBitmap;
    error = QStringLiteral("kept");
    EXPECT_FALSE(LoadGflBitmap(&unloaded, testDataPath("photos/jpg/Canon_40D.jpg"), gflBitmap,
                               bitmap, error, palette));
    EXPECT_FALSE(LoadGflBitmap(nullptr, testDataPath("photos/jpg/Canon_40D.jpg"), gflBitmap, bitmap,
                               error, palette));
    EXPECT_EQ(error, QStringLiteral("kept"));
}

TEST_F(GflBitmapTest, TiffFixturesLoad)
{
    for (const char *name : {"Arbitro.tiff", "Picoawards.tiff", "Tless0.tiff"}) {
        QImage bitmap;
        QString error;
        QList<QRgb> palette;
        const QString path = testDataPath(QStringLiteral("photos/tiff/") + QLatin1String(name));
        EXPECT_TRUE(load(path, bitmap, error, palette)) << name << error.toStdString();
        EXPECT_EQ(bitmap.size(), QImage(path).size()) << name;
    }
}

// A bitmap as the library hands it out, built by hand.
struct HandBitmap
{
    GFL_BITMAP bitmap{};
    GFL_COLORMAP map{};
    std::vector<uint8_t> data;
    HandBitmap(uint16_t type, int width, int height, uint16_t bytesPerPixel, uint32_t bytesPerLine)
        : data(std::size_t(bytesPerLine) * height, 0)
    {
        bitmap.Type = type;
        bitmap.Width = width;
        bitmap.Height = height;
        bitmap.BytesPerPixel = bytesPerPixel;
        bitmap.BytesPerLine = bytesPerLine;
        bitmap.Data = data.data();
    }
};

TEST(GflBitmapToImage, EveryAcceptedDepthCopiesTheRows)
{
    QList<QRgb> palette;
    { // 1 bit: 0 black, 1 white
        HandBitmap b(GFL_BINARY, 9, 2, 0, 4);
        b.data[0] = 0x80;     // (0,0) white
        b.data[4 + 1] = 0x80; // (8,1) white
        const QImage image = GflBitmapToImage(b.bitmap, GflBitsPerPixel(b.bitmap), palette);
        EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
        EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(8, 1), qRgb(255, 255, 255));
        EXPECT_EQ(palette, (QList<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)}));
    }
    { // 4 bits: high nibble first, 16 colours from the map
        HandBitmap b(GFL_COLORS, 3, 1, 1, 4);
        b.bitmap.ColorMap = &b.map;
        b.map.Red[3] = 255;
        b.map.Blue[15] = 255;
        b.data[0] = 0x3F;
        b.data[1] = 0x30;
        const QImage image = GflBitmapToImage(b.bitmap, 4, palette);
        EXPECT_EQ(palette.size(), 16);
        EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
        EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 255));
        EXPECT_EQ(image.pixel(2, 0), qRgb(255, 0, 0));
    }
    { // 8 bits without map: grey ramp
        HandBitmap b(GFL_GREY, 2, 1, 1, 4);
        b.data[0] = 0;
        b.data[1] = 200;
        const QImage image = GflBitmapToImage(b.bitmap, 8, palette);
        EXPECT_EQ(palette.size(), 256);
        EXPECT_EQ(image.pixel(1, 0), qRgb(200, 200, 200));
    }
    { // 32 bits: blue, green, red, alpha
        HandBitmap b(GFL_BGRA, 1, 1, 4, 4);
        std::memcpy(b.data.data(), "\x01\x02\x03\xFF", 4);
        EXPECT_EQ(GflBitmapToImage(b.bitmap, 32, palette).pixel(0, 0), qRgba(3, 2, 1, 255));
    }
}

TEST(GflBitmapToImage, InconsistentBitmapsGiveNoPicture)
{
    QList<QRgb> palette;
    HandBitmap shortRows(GFL_BGR, 10, 2, 3, 12); // 30 bytes of pixels need more than 12
    EXPECT_TRUE(GflBitmapToImage(shortRows.bitmap, 24, palette).isNull());
    HandBitmap sixteen(GFL_GREY, 2, 2, 2, 4);
    EXPECT_TRUE(
        GflBitmapToImage(sixteen.bitmap, GflBitsPerPixel(sixteen.bitmap), palette).isNull());
    HandBitmap empty(GFL_BGR, 0, 0, 3, 4);
    EXPECT_TRUE(GflBitmapToImage(empty.bitmap, 24, palette).isNull());
    HandBitmap noData(GFL_BGR, 1, 1, 3, 4);
    noData.bitmap.Data = nullptr;
    EXPECT_TRUE(GflBitmapToImage(noData.bitmap, 24, palette).isNull());
}

} // namespace
