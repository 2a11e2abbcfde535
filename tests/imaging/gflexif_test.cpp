// The library's EXIF list into the metadata record (ReadGflExif / ApplyGflExif).
#include "imaging/gflfunctions.h"
#include "imaging/libgfl.h"
#include "support/testdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cmath>

namespace {

GflExifEntry entry(quint32 tag, const char *value, quint32 flag = GFL_EXIF_EXIF_IFD)
{
    return GflExifEntry{flag, tag, QString(), QString::fromUtf8(value)};
}

TEST(ApplyGflExif, FocalPlaneDataGiveThe35mmFocalLengthAndTheSize)
{
    TJPEGData record;
    ApplyGflExif({entry(37386, "6.3"), entry(296, "Inch", GFL_EXIF_MAIN_IFD), entry(41488, "Inch"),
                  entry(41486, "4000/1"), entry(41487, "4000/1"), entry(40962, "3072"),
                  entry(40963, "2304")},
                 record);
    EXPECT_EQ(record.Str[jdFocalLength35mm], QStringLiteral("11.18 mm"));
    EXPECT_EQ(record.Str[jdFocalLengthWith35mm], QStringLiteral("6.3 mm (11.18 mm)"));
    EXPECT_EQ(record.Str[jdSize], QStringLiteral("2304 x 3072"));
    EXPECT_EQ(record.Str[jdHorizontalResolution], QStringLiteral("2304"));
    EXPECT_EQ(record.Str[jdVerticalResolution], QStringLiteral("3072"));
}

TEST(ApplyGflExif, AGiven35mmValueWinsAndCentimetresCount)
{
    TJPEGData record;
    ApplyGflExif({entry(37386, "50"), entry(41989, "75")}, record);
    EXPECT_EQ(record.Str[jdFocalLength35mm], QStringLiteral("75.00 mm"));
    EXPECT_EQ(record.Str[jdFocalLengthWith35mm], QStringLiteral("50 mm (75.00 mm)"));

    TJPEGData cm;
    ApplyGflExif({entry(37386, "10"), entry(296, "Centimeter"), entry(41488, "Centimeter"),
                  entry(41486, "100/1"), entry(41487, "100/1"),
                  entry(256, "300", GFL_EXIF_MAIN_IFD), entry(257, "400", GFL_EXIF_MAIN_IFD)},
                 cm);
    // sensor 30 x 40 mm, diagonal 50 mm
    EXPECT_EQ(cm.Str[jdFocalLength35mm], QString::asprintf("%5.2f mm", 10 * 43.26661531 / 50));
}

TEST(ApplyGflExif, MissingOrBrokenNumbersLeaveThe35mmTextEmptyWithoutFault)
{
    const QList<QList<GflExifEntry>> cases = {
        {entry(37386, "6.3")}, // no focal-plane data
        {entry(37386, "6.3"), entry(296, "Inch"), entry(41488, "Inch"), entry(41486, "4000/0"),
         entry(41487, "4000/1"), entry(40962, "3072"), entry(40963, "2304")}, // zero denominator
        {entry(37386, "6.3"), entry(296, "Inch"), entry(41488, "Inch"), entry(41486, "/"),
         entry(41487, "abc/1"), entry(40962, "3072"),
         entry(40963, "2304")}, // missing and non-numbers
    };
    for (const auto &entries : cases) {
        TJPEGData record;
        ApplyGflExif(entries, record);
        EXPECT_EQ(record.Str[jdFocalLength35mm], QString());
        EXPECT_EQ(record.Str[jdFocalLengthWith35mm], QStringLiteral("6.3 mm "));
    }
}

TEST(ApplyGflExif, TextsByTagLaterEntriesOverwriting)
{
    TJPEGData record;
    record.Str[jdSize] = QStringLiteral("stale");
    ApplyGflExif({entry(271, "Make1", GFL_EXIF_MAIN_IFD), entry(271, "Make2", GFL_EXIF_MAIN_IFD),
                  entry(272, "Model"), entry(306, "2009:05:12 14:33:10", GFL_EXIF_MAIN_IFD),
                  entry(36867, "2009:05:12 14:30:00"), entry(36868, "2009:05:12 14:30:05"),
                  entry(33434, "1/250"), entry(33437, "2.8"), entry(34855, "200"),
                  entry(37385, "Yes, auto"), entry(37380, "-1/3"), entry(37383, "Spot"),
                  entry(40961, "sRGB"), entry(274, "top, left", GFL_EXIF_MAIN_IFD),
                  entry(3, "E", GFL_EXIF_GPS_IFD), entry(259, "LZW", GFL_EXIF_MAIN_IFD)},
                 record);
    EXPECT_EQ(record.Str[jdManufacturer], QStringLiteral("Make2"));
    EXPECT_EQ(record.Str[jdModel], QStringLiteral("Model"));
    EXPECT_EQ(record.Str[jdDateTime], QStringLiteral("2009:05:12 14:30:00"));
    EXPECT_EQ(record.Str[jdShutterSpeed], QStringLiteral("1/250 sec"));
    EXPECT_EQ(record.Str[jdAperture], QStringLiteral("F2.8"));
    EXPECT_EQ(record.Str[jdIsoSpeed], QStringLiteral("200"));
    EXPECT_EQ(record.Str[jdFlash], QStringLiteral("Yes, auto"));
    EXPECT_EQ(record.Str[jdExposureCompensation], QStringLiteral("-1/3"));
    EXPECT_EQ(record.Str[jdMeteringMode], QStringLiteral("Spot"));
    EXPECT_EQ(record.Str[jdColorSpace], QStringLiteral("sRGB"));
    EXPECT_EQ(record.Str[jdOrientation], QStringLiteral("top, left"));
    EXPECT_EQ(record.Str[jdCompression], QStringLiteral("LZW")); // not the GPS longitude reference
    EXPECT_EQ(record.Str[jdSize], QString());                    // no pixel counts
}

// The capture time comes from DateTimeOriginal, else DateTimeDigitized, else DateTime, in
// whatever order the list gives them; without any of them the record keeps its time.
TEST(ApplyGflExif, CaptureTimeFromTheOriginalDateFirst)
{
    const GflExifEntry changed = entry(306, "2009:05:12 14:33:10", GFL_EXIF_MAIN_IFD);
    const GflExifEntry original = entry(36867, "2009:05:12 14:30:00");
    const GflExifEntry digitized = entry(36868, "2009:05:12 14:30:05");
    const struct
    {
        QList<GflExifEntry> entries;
        const char *expected; // null: the time the record had before
    } cases[] = {
        {{changed, original, digitized}, "2009:05:12 14:30:00"},
        {{digitized, original}, "2009:05:12 14:30:00"},
        {{changed, digitized}, "2009:05:12 14:30:05"},
        {{changed}, "2009:05:12 14:33:10"},
        {{entry(36867, "unknown"), digitized}, "2009:05:12 14:30:05"},
        {{entry(271, "Make")}, nullptr},
    };
    const double fileTime = ParseExifDateTime(QStringLiteral("2020:01:01 00:00:00"));
    for (const auto &c : cases) {
        TJPEGData record;
        record.CaptureTime = fileTime;
        ApplyGflExif(c.entries, record);
        const double expected =
            c.expected ? ParseExifDateTime(QString::fromLatin1(c.expected)) : fileTime;
        EXPECT_EQ(record.CaptureTime, expected) << (c.expected ? c.expected : "file time");
    }
}

TEST(ReadGflExif, CameraFileThroughTheLibrary)
{
    TGflLibrary library;
    QString messages;
    ASSERT_TRUE(library.GflLoad(QStringLiteral(GFL_CORE_MODULE_NAME),
                                QStringLiteral(GFL_EFFECTS_MODULE_NAME), QString(), messages));
    GflBitmapPtr gflBitmap;
    QImage bitmap;
    QString error;
    QList<QRgb> palette;
    ASSERT_TRUE(LoadGflBitmap(&library, testDataPath("photos/jpg/Canon_40D.jpg"), gflBitmap, bitmap,
                              error, palette));
    TJPEGData record;
    ASSERT_TRUE(ReadGflExif(&library, gflBitmap.get(), record));
    EXPECT_TRUE(record.HasExif);
    // Expected values as exiftool reports them.
    EXPECT_EQ(record.Str[jdManufacturer], QStringLiteral("Canon"));
    EXPECT_EQ(record.Str[jdModel], QStringLiteral("Canon EOS 40D"));
    EXPECT_EQ(record.Str[jdDateTime], QStringLiteral("2008:05:30 15:56:01"));
    EXPECT_EQ(record.Str[jdShutterSpeed], QStringLiteral("1/160 sec"));
    EXPECT_EQ(record.Str[jdAperture], QStringLiteral("F7.1"));
    EXPECT_EQ(record.Str[jdIsoSpeed], QStringLiteral("100"));
    EXPECT_EQ(record.Str[jdFocalLength], QStringLiteral("135"));
    EXPECT_EQ(record.Str[jdSize], QStringLiteral("68 x 100"));
    EXPECT_EQ(record.CaptureTime, ParseExifDateTime(QStringLiteral("2008:05:30 15:56:01")));
    // Focal plane 4438.356164 / 4445.969125 pixels per inch over 100 x 68 pixels.
    const double diagonal = std::hypot(100 * 25.4 / 4438.356164, 68 * 25.4 / 4445.969125);
    EXPECT_EQ(record.Str[jdFocalLength35mm],
              QString::asprintf("%5.2f mm", 135 * 43.26661531 / diagonal));

    // A picture without EXIF leaves the record alone.
    QImage plain(8, 8, QImage::Format_RGB32);
    plain.fill(Qt::red);
    const QString path = QDir::temp().filePath(
        QStringLiteral("duomira_noexif_%1.png").arg(QCoreApplication::applicationPid()));
    ASSERT_TRUE(plain.save(path));
    ASSERT_TRUE(LoadGflBitmap(&library, path, gflBitmap, bitmap, error, palette));
    TJPEGData untouched;
    EXPECT_FALSE(ReadGflExif(&library, gflBitmap.get(), untouched));
    EXPECT_FALSE(untouched.HasExif);
    QFile::remove(path);
}

} // namespace
