// Phone (HEIF/HEIC) and camera RAW files through the imaging library, as the holder reads
// them: an upright thumbnail, the EXIF texts and capture time, the full picture for the
// preview, and damaged files that give no picture.
#include "imaging/dsorgbild.h"
#include "imaging/libgfl.h"
#include "support/gflfixture.h"
#include "support/testdata.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class HeifRawFiles : public GflLibraryTest
{
protected:
};

// The colour at the middle of a picture's top left quadrant.
QRgb topLeft(const QImage &image)
{
    return image.pixel(image.width() / 4, image.height() / 4);
}

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) < 40 && std::abs(qGreen(a) - qGreen(b)) < 40 &&
           std::abs(qBlue(a) - qBlue(b)) < 40;
}

constexpr QRgb red = qRgb(220, 30, 30);   // the picture's own top left quadrant
constexpr QRgb cyan = qRgb(30, 220, 220); // the embedded thumbnail's top left quadrant

TEST_F(HeifRawFiles, ThumbnailUprightTextsAndCaptureTimeFromExif)
{
    struct Case
    {
        const char *file;
        QSize thumbnail;
        QRgb topLeft; // 0: a real photo, not checked
        const char *make;
        const char *model;
        const char *capture; // ISO local time; null: the file time
        QSize full;          // what the preview loads
    } cases[] = {
        // A phone's photo: no embedded thumbnail, so the picture itself (a tiled grid).
        {"heic/IMG_5195.HEIC",
         {232, 300},
         0,
         "Apple",
         "iPhone 11 Pro Max",
         "2021-04-11T15:47:53",
         {2566, 3313}},
        // EXIF without dates: the file time stays the capture time.
        {"heic/samplefilehub.heif", {300, 200}, 0, "", "", nullptr, {640, 426}},
        // Held turned (stored landscape, turned by the file and marked orientation 6 in
        // EXIF): upright once. A 320-pixel thumbnail serves, a 160-pixel one does not.
        {"heic/turned_thumb320.heic",
         {225, 300},
         cyan,
         "Duomira Test",
         "Phone One",
         "2024-05-01T10:00:00",
         {480, 640}},
        {"heic/turned_thumb160.heic",
         {225, 300},
         red,
         "Duomira Test",
         "Phone One",
         "2024-05-01T10:00:00",
         {480, 640}},
        // A RAW file's preview, stored as the sensor saw it, turned by its orientation.
        {"raw/turned.dng",
         {225, 300},
         red,
         "Duomira Test",
         "Raw Camera",
         "2024-05-01T12:00:00",
         {300, 400}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = testDataPath(QStringLiteral("photos/") + QLatin1String(c.file));
        TDsOrgBild holder(path);
        holder.LoadImageData(0, library);
        EXPECT_TRUE(holder.LoadError.isEmpty()) << holder.LoadError.toStdString();
        EXPECT_EQ(holder.Thumbnail.size(), c.thumbnail);
        if (c.topLeft != 0 && !holder.Thumbnail.isNull()) {
            EXPECT_TRUE(near(topLeft(holder.Thumbnail.image()), c.topLeft))
                << std::hex << topLeft(holder.Thumbnail.image());
        }

        const TJPEGData &data = holder.JpegData;
        EXPECT_TRUE(data.HasExif);
        EXPECT_EQ(data.Str[jdManufacturer], QLatin1String(c.make));
        EXPECT_EQ(data.Str[jdModel], QLatin1String(c.model));
        if (c.capture) {
            EXPECT_EQ(DaysToDateTime(data.CaptureTime).toString(Qt::ISODate),
                      QLatin1String(c.capture));
            EXPECT_EQ(data.Str[jdDateTime].left(10),
                      QString::fromLatin1(c.capture, 10).replace(u'-', u':'));
        } else {
            EXPECT_EQ(data.CaptureTime, data.FileTime);
        }
        // The library turned the picture already: the entry keeps its preset rotation.
        EXPECT_EQ(data.OrientationCode, -1);

        QImage full;
        QString error;
        ASSERT_TRUE(holder.LoadBitmap(0, full, error, library)) << error.toStdString();
        EXPECT_EQ(full.size(), c.full);
        if (c.topLeft != 0) {
            EXPECT_TRUE(near(topLeft(full), red)) << std::hex << topLeft(full);
        }
    }
}

TEST_F(HeifRawFiles, DamagedFilesGiveNoPicture)
{
    // The fuzzer's finds, each of which brought the program down in Debian's LibRaw: a
    // planar preview shorter than the length LibRaw reads for it, a long model name of a
    // maker whose names LibRaw rewrites past its buffers, and a colour filter pattern of 36
    // entries without a 6 x 6 repeat, which LibRaw writes past its buffer without end.
    for (const char *file :
         {"heic/damaged_cut.heic", "raw/damaged_cut.dng", "raw/layer_preview_overruns.dng",
          "raw/long_model_of_overrun_maker.dng", "raw/cfa_pattern_without_repeat.dng"}) {
        SCOPED_TRACE(file);
        const QString path = testDataPath(QStringLiteral("photos/") + QLatin1String(file));
        TDsOrgBild holder(path);
        holder.LoadImageData(0, library);
        EXPECT_TRUE(holder.Loaded);
        EXPECT_TRUE(holder.Thumbnail.isNull());
        EXPECT_TRUE(holder.LoadError.startsWith(QStringLiteral("Unable to read file. ")));
        EXPECT_EQ(holder.JpegData.FileSize, QFileInfo(path).size());

        QImage full;
        QString error;
        EXPECT_FALSE(holder.LoadBitmap(0, full, error, library));
        EXPECT_FALSE(error.isEmpty());
    }
}

// The process's peak resident memory in kilobytes since the last resetPeakMemory().
long peakMemoryKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

bool resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

// A few hundred bytes may declare a picture of hundreds of millions of pixels. Beyond the
// decoders' limit of 150 million the picture is refused before it is decoded: the
// thumbnail and the preview take no memory for it.
TEST_F(HeifRawFiles, PicturesBeyondThePixelLimitAreRefusedBeforeDecoding)
{
    struct Case
    {
        const char *file;
        bool thumbnail; // a RAW preview is decoded at an eighth of its size for a thumbnail
    } cases[] = {
        {"heic/declares_400mp.heic", false},      // a grid declaring 20000 x 20000
        {"heic/canvas_beyond_size.heic", false},  // declares 96 x 64, its grid is 20000 x 20000
        {"raw/preview_declares_160mp.dng", true}, // a JPEG preview of 16000 x 10000
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = testDataPath(QStringLiteral("photos/") + QLatin1String(c.file));
        const bool measured = resetPeakMemory();
        const long before = peakMemoryKb();
        TDsOrgBild holder(path);
        holder.LoadImageData(0, library);
        EXPECT_EQ(holder.Thumbnail.isNull(), !c.thumbnail);
        QImage full;
        QString error;
        EXPECT_FALSE(holder.LoadBitmap(0, full, error, library))
            << full.width() << " x " << full.height();
        EXPECT_TRUE(error.startsWith(QStringLiteral("Unable to read file. ")))
            << error.toStdString();
        if (measured) {
            EXPECT_LT(peakMemoryKb() - before, 64 * 1024);
        }
    }
}

TEST_F(HeifRawFiles, BothKindsJoinTheOpenDialogsFilter)
{
    const QString filter = GflBuildFileFilter(library->formats());
    const QString allSupported = filter.section(u'|', 1, 1);
    for (const char *pattern : {"*.heic", "*.heif", "*.dng", "*.cr3", "*.nef", "*.raf"})
        EXPECT_TRUE(allSupported.split(u';').contains(QLatin1String(pattern))) << pattern;
}

} // namespace
