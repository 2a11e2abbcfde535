// The reader on real camera files. The expected texts were derived from the values that
// exiv2 reports for each file ("exiv2 -pv": raw numbers, rationals as stored), put into
// the reader's display forms; they were not taken from this reader's output.
#include "imaging/exifreader.h"
#include "imaging/jpegdata.h"
#include "support/paramnames.h"
#include "support/testdata.h"

#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

namespace {

QString photo(const char *relative)
{
    return testDataPath(QStringLiteral("photos/") + QLatin1String(relative));
}

struct PhotoCase
{
    const char *file;
    const char *texts[JpegDataTextCount];
};

// Byte orders: Canon, Kodak, Nikon, Olympus, Pentax files are little-endian; the
// Photoshop import, Fujifilm, Konica Minolta and long_description files big-endian.
const PhotoCase photoCases[] = {
    {"jpg/Canon_DIGITAL_IXUS_400.jpg",
     {"Canon", "Canon DIGITAL IXUS 400", "2004:08:27 13:52:55", "", "1/200 sec", "F10.0", "",
      "15.44 mm (1706.95 mm)", "15.44 mm", "1706.95 mm", "Off, auto mode", "0/3", "MultiSegment",
      "75 x 100", "Basic", "sRGB", "75", "100"}},
    {"jpg/Canon_PowerShot_S40.jpg",
     {"Canon", "Canon PowerShot S40", "2003:12:14 12:01:44", "Normal", "1/500 sec", "F4.9", "",
      "21.31 mm (103.72 mm)", "21.31 mm", "103.72 mm", "Off, auto mode", "0/3", "Center",
      "1704 x 2272", "SuperFine", "sRGB", "1704", "2272"}},
    {"jpg/Canon_40D_photoshop_import.jpg",
     {"", "", "2008:07:31 10:05:49", "Normal", "", "", "", " ()", "", "", "", "", "", "77 x 100",
      "", "sRGB", "77", "100"}},
    {"jpg/Fujifilm_FinePix_E500.jpg",
     {"FUJIFILM", "FinePix E500   ", "2006:08:17 09:24:48", "Normal", "10/800 sec", "F2.9", "100",
      " 4.70 mm (700.57 mm)", " 4.70 mm", "700.57 mm", "Off, surpressed", "0/100", "MultiSegment",
      "100 x 59", "", "sRGB", "100", "59"}},
    {"jpg/Konica_Minolta_DiMAGE_Z3.jpg",
     {"KONICA MINOLTA ", "DiMAGE Z3", "2005:03:10 15:10:48", "Normal", "1/40 sec", "F2.8", "200",
      " 5.86 mm (35.00 mm)", " 5.86 mm", "35.00 mm", "On, strobe return, forced", "0/10",
      "MultiSegment", "100 x 70", "", "sRGB", "100", "70"}},
    {"jpg/Kodak_CX7530.jpg",
     {"EASTMAN KODAK COMPANY", "KODAK CX7530 ZOOM DIGITAL CAMERA", "2005:08:13 09:47:23", "Normal",
      "1/250 sec", "F4.6", "", "16.80 mm (102.00 mm)", "16.80 mm", "102.00 mm", "Off, auto mode",
      "0/1", "MultiSegment", "78, 0 x 100, 0", "", "sRGB", "78, 0", "100, 0"}},
    {"jpg/Nikon_D70.jpg",
     {"NIKON CORPORATION", "NIKON D70", "2008:03:15 09:52:01", "Normal", "1/200 sec", "F9.0", "200",
      "100.00 mm (150.00 mm)", "100.00 mm", "150.00 mm", "Off", "-1/1", "Center", "66 x 100", "",
      "sRGB", "66", "100"}},
    {"jpg/Olympus_C8080WZ.jpg",
     {"OLYMPUS CORPORATION", "C8080WZ", "2006:10:22 15:44:29", "Normal", "10/1600 sec", "F2.8",
      "50", "15.80 mm ()", "15.80 mm", "", "On, forced", "0/167772160", "MultiSegment", "72 x 100",
      "", "", "72", "100"}},
    {"jpg/Pentax_K10D.jpg",
     {"PENTAX Corporation ", "PENTAX K10D        ", "2008:05:04 16:47:24", "Normal", "1/180 sec",
      "F11.0", "200", "90.00 mm ()", "90.00 mm", "", "Off, surpressed", "0/10", "MultiSegment",
      "72 x 100", "", "sRGB", "72", "100"}},
    {"jpg/PaintTool_sample.jpg",
     {"", "", "", "Normal", "", "", "", " ()", "", "", "", "", "", "100 x 88", "", "", "100",
      "88"}},
    {"jpg/Reconyx_HC500_Hyperfire.jpg",
     {"", "", "", "", "148/8160 sec", "", "100", " ()", "", "", "", "", "", "1536 x 2048", "",
      "sRGB", "1536", "2048"}},
    {"jpg/tests/22-canon_tags.jpg",
     {"Canon", "Canon PowerShot SD300", "2007:11:29 16:16:21", "Normal", "1/6 sec", "F2.8", "",
      " 5.80 mm (35.29 mm)", " 5.80 mm", "35.29 mm", "Off, surpressed", "0/3", "MultiSegment",
      "1200 x 1600", "Basic", "sRGB", "1200", "1600"}},
    {"jpg/long_description.jpg",
     {"", "", "2008:07:31 10:50:00", "Normal", "", "", "", " ()", "", "",
      "On, surpressed, no flash function, red-eye reduction", "", "", "73 x 100", "", "sRGB", "73",
      "100"}},
};

void PrintTo(const PhotoCase &c, std::ostream *os)
{
    *os << c.file;
}

class CameraFiles : public ::testing::TestWithParam<PhotoCase>
{
};

TEST_P(CameraFiles, TextsAndCaptureTime)
{
    const PhotoCase &c = GetParam();
    TJPEGData r;
    ASSERT_EQ(ReadJpegData(photo(c.file), r), JpegReadResult::Read);
    EXPECT_TRUE(r.HasExif);
    for (int i = 0; i < JpegDataTextCount; ++i)
        EXPECT_EQ(r.Str[i], QString::fromUtf8(c.texts[i])) << c.file << " text " << i;

    const QString date = QString::fromUtf8(c.texts[jdDateTime]);
    if (date.isEmpty()) {
        EXPECT_EQ(r.CaptureTime, 0) << c.file;
    } else {
        const QDateTime expected =
            QDateTime::fromString(date, QStringLiteral("yyyy:MM:dd HH:mm:ss"));
        ASSERT_TRUE(expected.isValid());
        EXPECT_EQ(DaysToDateTime(r.CaptureTime), expected) << c.file;
    }
}

INSTANTIATE_TEST_SUITE_P(Photos, CameraFiles, ::testing::ValuesIn(photoCases),
                         ParamNameFrom(&PhotoCase::file));

TEST(CameraFiles, OrientationOneToEight)
{
    // exiv2: landscape_N.jpg and portrait_N.jpg hold orientation N.
    const char *texts[] = {"Normal",       "", "Rotated 180°", "", "", "CounterClockwise 90°", "",
                           "Clockwise 90°"};
    const int codes[] = {-1, -1, 2, -1, -1, 1, -1, 3};
    for (const char *shape : {"landscape", "portrait"}) {
        for (int n = 1; n <= 8; ++n) {
            const QString path =
                photo("jpg/orientation/") + QLatin1String(shape) + QStringLiteral("_%1.jpg").arg(n);
            TJPEGData r;
            ASSERT_EQ(ReadJpegData(path, r), JpegReadResult::Read) << qPrintable(path);
            EXPECT_TRUE(r.HasExif);
            EXPECT_EQ(r.Str[jdOrientation], QString::fromUtf8(texts[n - 1])) << shape << n;
            EXPECT_EQ(r.OrientationCode, codes[n - 1]) << shape << n;
            EXPECT_EQ(r.CaptureTime, 0) << "these files carry no date";
        }
    }
}

TEST(CameraFiles, WithoutExif)
{
    // Their only APP1 sections are XMP packets.
    for (const char *file : {"jpg/invalid/image00971.jpg", "jpg/invalid/image01137.jpg",
                             "jpg/invalid/image02206.jpg"}) {
        TJPEGData r;
        ASSERT_EQ(ReadJpegData(photo(file), r), JpegReadResult::Read);
        EXPECT_FALSE(r.HasExif) << file;
        EXPECT_EQ(r.CaptureTime, r.FileTime) << file;
        EXPECT_GT(r.FileTime, 0);
        EXPECT_EQ(r.OrientationCode, 0);
        EXPECT_EQ(r.FileSize, QFile(photo(file)).size());
    }
}

TEST(CameraFiles, XmpBeforeExif)
{
    // The XMP packet is the first APP1 section, the EXIF block the second (exiv2:
    // DateTimeOriginal 2014:09:22 10:56:35).
    TJPEGData r;
    ASSERT_EQ(ReadJpegData(photo("jpg/xmp/no_exif.jpg"), r), JpegReadResult::Read);
    EXPECT_TRUE(r.HasExif);
    EXPECT_EQ(r.Str[jdDateTime], QStringLiteral("2014:09:22 10:56:35"));
}

TEST(CameraFiles, GpsDirectory)
{
    // exiv2: GPSLatitudeRef N, GPSLatitude 43/1 47135666/1000000 0/1, GPSLongitudeRef E.
    TimgData image;
    ASSERT_TRUE(image.readFile(photo("jpg/tests/87_OSError.jpg")));
    ASSERT_TRUE(image.hasExif());
    EXPECT_EQ(image.ExifInfo->lookup(u"GPSLatitudeRef"), QStringLiteral("N"));
    EXPECT_EQ(image.ExifInfo->lookup(u"GPSLatitude"),
              QStringLiteral("43/1, 47135666/1000000, 0/1"));
    EXPECT_EQ(image.ExifInfo->lookup(u"GPSLongitudeRef"), QStringLiteral("E"));
}

TEST(CameraFiles, TiffFiles)
{
    // exiv2: Arbitro.tiff (MM) ImageWidth 174, Orientation 1; Picoawards.tiff (II)
    // ImageWidth 436, ImageLength 547, XResolution 96/1, ResolutionUnit 2. Neither
    // holds a date; both keep their first directory far from byte 8.
    TimgData image;
    ASSERT_TRUE(image.readFile(photo("tiff/Arbitro.tiff")));
    ASSERT_TRUE(image.hasExif());
    EXPECT_EQ(image.ExifInfo->byteOrder(), TByteOrder::BigEndian);
    EXPECT_EQ(image.ExifInfo->lookup(u"ImageWidth"), QStringLiteral("174"));
    EXPECT_EQ(image.ExifInfo->status(), ExifStatus::Ok);

    ASSERT_TRUE(image.readFile(photo("tiff/Picoawards.tiff")));
    ASSERT_TRUE(image.hasExif());
    EXPECT_EQ(image.ExifInfo->byteOrder(), TByteOrder::LittleEndian);
    EXPECT_EQ(image.ExifInfo->lookup(u"ImageWidth"), QStringLiteral("436"));
    EXPECT_EQ(image.ExifInfo->lookup(u"ImageLength"), QStringLiteral("547"));
    EXPECT_EQ(image.ExifInfo->lookup(u"XResolution"), QStringLiteral("96/1"));
    EXPECT_EQ(image.ExifInfo->lookup(u"ResolutionUnit"), QStringLiteral("2"));

    TJPEGData r;
    ASSERT_EQ(ReadJpegData(photo("tiff/Arbitro.tiff"), r), JpegReadResult::Read);
    EXPECT_TRUE(r.HasExif);
    EXPECT_EQ(r.Str[jdOrientation], QStringLiteral("Normal"));
    EXPECT_EQ(r.OrientationCode, -1);
    EXPECT_EQ(r.CaptureTime, 0);
}

// Every fixture, including the damaged ones, whole and cut short at many lengths, is read
// without a fault (the sanitizer build turns any out-of-bounds read into a failure).
TEST(CameraFiles, EveryFixtureIsReadSafely)
{
    QDirIterator it(testDataPath(QStringLiteral("photos")), QDir::Files,
                    QDirIterator::Subdirectories);
    int files = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        ++files;
        TJPEGData r;
        EXPECT_NE(ReadJpegData(path, r), JpegReadResult::FileMissing) << qPrintable(path);

        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.read(128 * 1024);
        for (TImageFileKind kind : {TImageFileKind::Jpeg, TImageFileKind::Tiff}) {
            for (qsizetype n = 0; n < bytes.size(); n += 1 + n / 8) {
                TimgData image;
                image.readBuffer(bytes.left(n), kind);
                TJPEGData cut;
                fillJpegDataFromImage(image, cut);
            }
        }
    }
    EXPECT_GE(files, 60);
}

} // namespace
