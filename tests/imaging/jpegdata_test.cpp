// The metadata record: texts, capture time and orientation code from an EXIF block, and
// ReadJpegData on files.
#include "exifbuilder.h"
#include "imaging/exifreader.h"
#include "imaging/jpegdata.h"
#include "support/testdata.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// 2009-05-12 is day 39945 (counted independently from 1899-12-30).
constexpr double may12th2009 = 39945;

// Fills a record (preset with a file time) from a JPEG holding the block that build
// makes.
TJPEGData recordFrom(const std::function<void(TiffBuilder &, int ifd0, int exif)> &build,
                     bool bigEndian = false, TJPEGData record = {})
{
    TiffBuilder b(bigEndian);
    const int ifd0 = b.addDirectory();
    const int exif = b.addDirectory();
    b.pointer(ifd0, 0x8769, exif);
    build(b, ifd0, exif);
    TimgData image;
    image.readBuffer(jpegFile({jfifSection(), {0xE1, b.exifSection()}}), TImageFileKind::Jpeg);
    if (record.CaptureTime == 0)
        record.CaptureTime = record.FileTime = 40000.5;
    fillJpegDataFromImage(image, record);
    return record;
}

TEST(JpegDataRecord, DateTimeOriginalWinsOverDateTime)
{
    for (bool big : {false, true}) {
        const TJPEGData r = recordFrom(
            [](TiffBuilder &b, int ifd0, int exif) {
                b.ascii(ifd0, 0x0132, "2009:05:12 14:33:10");
                b.ascii(exif, 0x9003, "2009:05:12 14:30:00");
                b.ascii(exif, 0x0132, "2001:01:01 00:00:00"); // a stray later DateTime
            },
            big);
        EXPECT_TRUE(r.HasExif);
        EXPECT_EQ(r.Str[jdDateTime], QStringLiteral("2009:05:12 14:30:00"));
        EXPECT_NEAR(r.CaptureTime, may12th2009 + (14 * 3600 + 30 * 60) / 86400.0, 1e-9);
    }
    const TJPEGData onlyDateTime = recordFrom(
        [](TiffBuilder &b, int ifd0, int) { b.ascii(ifd0, 0x0132, "2009:05:12 14:33:10"); });
    EXPECT_NEAR(onlyDateTime.CaptureTime, may12th2009 + (14 * 3600 + 33 * 60 + 10) / 86400.0, 1e-9);
}

TEST(JpegDataRecord, SubSecondBelongsToTheDateThatGaveTheCaptureTime)
{
    struct Case
    {
        const char *original;    // DateTimeOriginal, "" for none
        const char *subOriginal; // SubSecTimeOriginal
        const char *sub;         // SubSecTime
        double expected;
    } cases[] = {
        {"2009:05:12 14:30:00", "25", "9", 0.25},
        {"2009:05:12 14:30:00", "", "9", -1}, // SubSecTime belongs to DateTime
        {"", "25", "050", 0.05},
        {"", "", " 7 ", 0.7},
        {"2009:05:12 14:30:00", "abc", "", -1},
        {"2009:05:12 14:30:00", "1234567891234", "", 0.123456789},
    };
    for (const Case &c : cases) {
        const TJPEGData r = recordFrom([&](TiffBuilder &b, int ifd0, int exif) {
            b.ascii(ifd0, 0x0132, "2009:05:12 14:33:10");
            if (*c.original)
                b.ascii(exif, 0x9003, c.original);
            if (*c.subOriginal)
                b.ascii(exif, 0x9291, c.subOriginal);
            if (*c.sub)
                b.ascii(exif, 0x9290, c.sub);
        });
        EXPECT_NEAR(r.CaptureSubSecond, c.expected, 1e-12) << c.original << "|" << c.subOriginal;
    }
}

TEST(JpegDataRecord, ExifWithoutDateHasNoCaptureTime)
{
    const TJPEGData r =
        recordFrom([](TiffBuilder &b, int ifd0, int) { b.ascii(ifd0, 0x010F, "Canon"); });
    EXPECT_TRUE(r.HasExif);
    EXPECT_EQ(r.CaptureTime, 0);
    EXPECT_EQ(r.FileTime, 40000.5);
    EXPECT_EQ(r.Str[jdManufacturer], QStringLiteral("Canon"));
    // An impossible date is no date either.
    const TJPEGData zero = recordFrom(
        [](TiffBuilder &b, int, int exif) { b.ascii(exif, 0x9003, "0000:00:00 00:00:00"); });
    EXPECT_EQ(zero.CaptureTime, 0);
    EXPECT_EQ(zero.Str[jdDateTime], QStringLiteral("0000:00:00 00:00:00"));
}

TEST(JpegDataRecord, OrientationCodes)
{
    const std::pair<quint16, int> cases[] = {{1, -1}, {2, -1}, {3, 2}, {4, -1}, {5, -1},
                                             {6, 1},  {7, -1}, {8, 3}, {0, -1}};
    for (const auto &[value, code] : cases) {
        const quint16 v = value; // clang 14 cannot capture a structured binding
        const TJPEGData r =
            recordFrom([v](TiffBuilder &b, int ifd0, int) { b.shortValue(ifd0, 0x0112, v); });
        EXPECT_EQ(r.OrientationCode, code) << value;
    }
    // Without an orientation tag the code is -1 too.
    EXPECT_EQ(recordFrom([](TiffBuilder &, int, int) {}).OrientationCode, -1);
}

TEST(JpegDataRecord, FocalLengthTexts)
{
    TJPEGData r = recordFrom([](TiffBuilder &b, int, int exif) {
        b.rational(exif, 0x920A, 63, 10);
        b.shortValue(exif, 0xA405, 35);
    });
    EXPECT_EQ(r.Str[jdFocalLength], QStringLiteral(" 6.30 mm"));
    EXPECT_EQ(r.Str[jdFocalLength35mm], QStringLiteral("35.00 mm"));
    EXPECT_EQ(r.Str[jdFocalLengthWith35mm], QStringLiteral(" 6.30 mm (35.00 mm)"));

    r = recordFrom([](TiffBuilder &b, int, int exif) { b.rational(exif, 0x920A, 63, 10); });
    EXPECT_EQ(r.Str[jdFocalLength35mm], QString());
    EXPECT_EQ(r.Str[jdFocalLengthWith35mm], QStringLiteral(" 6.30 mm ()"));
}

// Picture 3072 wide and 2304 long, focal-plane resolution 4000 per inch: the sensor is
// 19.5072 × 14.6304 mm with a diagonal of 24.384 mm, so 6.3 mm is 11.18 mm on 35 mm film.
void addPictureData(TiffBuilder &b, int ifd0, int exif, bool exifSize = true)
{
    b.rational(exif, 0x920A, 63, 10);
    b.rational(exif, 0xA20E, 4000, 1);
    b.rational(exif, 0xA20F, 4000, 1);
    b.shortValue(exif, 0xA210, 2);
    if (exifSize) {
        b.longValue(exif, 0xA002, 3072);
        b.longValue(exif, 0xA003, 2304);
    } else {
        b.longValue(ifd0, 0x0100, 3072);
        b.longValue(ifd0, 0x0101, 2304);
    }
}

TEST(JpegDataRecord, ComputedFocalLength35mm)
{
    for (bool big : {false, true}) {
        const TJPEGData r = recordFrom(
            [](TiffBuilder &b, int ifd0, int exif) { addPictureData(b, ifd0, exif); }, big);
        EXPECT_EQ(r.Str[jdFocalLength35mm], QStringLiteral("11.18 mm"));
        EXPECT_EQ(r.Str[jdFocalLengthWith35mm], QStringLiteral(" 6.30 mm (11.18 mm)"));
        EXPECT_EQ(r.Str[jdSize], QStringLiteral("2304 x 3072"));
        EXPECT_EQ(r.Str[jdHorizontalResolution], QStringLiteral("2304"));
        EXPECT_EQ(r.Str[jdVerticalResolution], QStringLiteral("3072"));
    }
    // The main directory's width and length serve when the EXIF ones are missing.
    TJPEGData r = recordFrom(
        [](TiffBuilder &b, int ifd0, int exif) { addPictureData(b, ifd0, exif, false); });
    EXPECT_EQ(r.Str[jdFocalLength35mm], QStringLiteral("11.18 mm"));
    EXPECT_EQ(r.Str[jdSize], QStringLiteral(" x "));

    // Resolution per centimetre, taken from ResolutionUnit when the focal-plane unit is
    // missing: 1575 per cm gives 11.1800 mm.
    r = recordFrom([](TiffBuilder &b, int ifd0, int exif) {
        b.shortValue(ifd0, 0x0128, 3);
        b.rational(exif, 0x920A, 63, 10);
        b.rational(exif, 0xA20E, 1575, 1);
        b.rational(exif, 0xA20F, 1575, 1);
        b.longValue(exif, 0xA002, 3072);
        b.longValue(exif, 0xA003, 2304);
    });
    EXPECT_EQ(r.Str[jdFocalLength35mm], QStringLiteral("11.18 mm"));

    // Without a vertical resolution the sensor has no height: nothing is computed.
    r = recordFrom([](TiffBuilder &b, int, int exif) {
        b.rational(exif, 0x920A, 63, 10);
        b.rational(exif, 0xA20E, 4000, 1);
        b.shortValue(exif, 0xA210, 2);
        b.longValue(exif, 0xA002, 3072);
        b.longValue(exif, 0xA003, 2304);
    });
    EXPECT_EQ(r.Str[jdFocalLength35mm], QString());
    // An unknown unit: nothing either.
    r = recordFrom([](TiffBuilder &b, int, int exif) {
        b.rational(exif, 0x920A, 63, 10);
        b.rational(exif, 0xA20E, 4000, 1);
        b.rational(exif, 0xA20F, 4000, 1);
        b.shortValue(exif, 0xA210, 1);
        b.longValue(exif, 0xA002, 3072);
        b.longValue(exif, 0xA003, 2304);
    });
    EXPECT_EQ(r.Str[jdFocalLength35mm], QString());
}

// A Canon maker note: a directory with the camera-settings array (tag 1) whose value at
// index 3 is the compression rate. Built in two passes, since the array's offset counts
// from the TIFF header and so depends on where the note lands.
TJPEGData canonRecord(const QByteArray &make, quint16 quality, bool big, TJPEGData preset = {})
{
    quint32 noteAt = 0;
    TJPEGData r;
    for (int pass = 0; pass < 2; ++pass) {
        r = recordFrom(
            [&](TiffBuilder &b, int ifd0, int exif) {
                b.ascii(ifd0, 0x010F, make);
                QByteArray note = b.u16(1);
                note += b.u16(1) + b.u16(3) + b.u32(6) + b.u32(noteAt + 18);
                note += b.u32(0);
                for (quint16 v :
                     {quint16(12), quint16(2), quint16(0), quality, quint16(1), quint16(0)})
                    note += b.u16(v);
                b.undefined(exif, 0x927C, note);
            },
            big, preset);
        // Find where the note landed with a plain block read.
        TiffBuilder probe(big);
        const int ifd0 = probe.addDirectory();
        const int exif = probe.addDirectory();
        probe.pointer(ifd0, 0x8769, exif);
        probe.ascii(ifd0, 0x010F, make);
        probe.undefined(exif, 0x927C, QByteArray(30, 'x'));
        const TImageInfo info = TImageInfo::fromExifSection(probe.exifSection());
        noteAt = info.findTag(u"MakerNote")->Offset;
    }
    return r;
}

TEST(JpegDataRecord, CanonCompressionRate)
{
    for (bool big : {false, true}) {
        EXPECT_EQ(canonRecord("Canon", 3, big).Str[jdCompression], QStringLiteral("Basic"));
        EXPECT_EQ(canonRecord("Canon", 5, big).Str[jdCompression], QStringLiteral("SuperFine"));
        EXPECT_EQ(canonRecord("canon", 2, big).Str[jdCompression], QStringLiteral("Normal"));
        EXPECT_EQ(canonRecord("Canon", 4, big).Str[jdCompression], QString());
    }
    // Another maker's note is not read as Canon's; the text keeps what it had.
    TJPEGData preset;
    preset.Str[jdCompression] = QStringLiteral("kept");
    EXPECT_EQ(canonRecord("Nikon", 3, false, preset).Str[jdCompression], QStringLiteral("kept"));
}

TEST(JpegDataRecord, NoExifLeavesTextsEmptyAndKeepsTheFileTime)
{
    TJPEGData r;
    r.Str.fill(QStringLiteral("old"));
    r.CaptureTime = r.FileTime = 40000.5;
    r.OrientationCode = 2;
    TimgData image;
    image.readBuffer(jpegFile({jfifSection()}), TImageFileKind::Jpeg);
    fillJpegDataFromImage(image, r);
    EXPECT_FALSE(r.HasExif);
    for (const QString &s : r.Str)
        EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(r.CaptureTime, 40000.5);
    EXPECT_EQ(r.OrientationCode, 2);
}

// --- ReadJpegData on files --------------------------------------------------------------

class ReadJpegDataFiles : public ::testing::Test
{
protected:
    QString write(const QString &name, const QByteArray &bytes, const QDateTime &modifiedAt)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.flush(); // before setting the time, which the write would change again
        EXPECT_TRUE(f.setFileTime(modifiedAt, QFileDevice::FileModificationTime));
        f.close();
        return path;
    }

    QTemporaryDir dir;
    // 2010-01-02 is day 40180.
    const QDateTime modified{QDate(2010, 1, 2), QTime(3, 4, 5)};
    const double modifiedDays = 40180 + (3 * 3600 + 4 * 60 + 5) / 86400.0;
};

TEST_F(ReadJpegDataFiles, MissingFileLeavesTheRecordUnchanged)
{
    TJPEGData r;
    r.Str[0] = QStringLiteral("x");
    r.CaptureTime = 5;
    r.OrientationCode = 3;
    EXPECT_EQ(ReadJpegData(dir.filePath(QStringLiteral("none.jpg")), r),
              JpegReadResult::FileMissing);
    EXPECT_EQ(ReadJpegData(dir.path(), r), JpegReadResult::FileMissing);
    EXPECT_EQ(r.Str[0], QStringLiteral("x"));
    EXPECT_EQ(r.CaptureTime, 5);
    EXPECT_EQ(r.OrientationCode, 3);
    EXPECT_EQ(r.FileSize, 0);
}

TEST_F(ReadJpegDataFiles, FileWithoutExif)
{
    const QByteArray bytes = jpegFile({jfifSection(), quantisationSection()});
    const QString path = write(QStringLiteral("plain.jpg"), bytes, modified);
    TJPEGData r;
    ASSERT_EQ(ReadJpegData(path, r), JpegReadResult::Read);
    EXPECT_FALSE(r.HasExif);
    EXPECT_NEAR(r.FileTime, modifiedDays, 1e-7);
    EXPECT_EQ(r.CaptureTime, r.FileTime);
    EXPECT_EQ(r.FileSize, bytes.size());
    EXPECT_EQ(r.OrientationCode, 0); // a new record's code stays 0
}

TEST_F(ReadJpegDataFiles, FileWithExif)
{
    TiffBuilder b(true);
    const int ifd0 = b.addDirectory();
    const int exif = b.addDirectory();
    b.ascii(ifd0, 0x010F, "FUJIFILM");
    b.shortValue(ifd0, 0x0112, 6);
    b.pointer(ifd0, 0x8769, exif);
    b.ascii(exif, 0x9003, "2009:05:12 14:30:00");
    const QByteArray bytes = jpegFile({jfifSection(), {0xE1, b.exifSection()}});

    // Read as JPEG by its extension, in any letter case; another extension is not read.
    const QString path = write(QStringLiteral("shot.JPG"), bytes, modified);
    TJPEGData r;
    r.Str[jdCompression] = QStringLiteral("Fine"); // kept: no maker note
    ASSERT_EQ(ReadJpegData(path, r), JpegReadResult::Read);
    EXPECT_TRUE(r.HasExif);
    EXPECT_EQ(r.Str[jdManufacturer], QStringLiteral("FUJIFILM"));
    EXPECT_EQ(r.Str[jdOrientation], QStringLiteral("CounterClockwise 90°"));
    EXPECT_EQ(r.OrientationCode, 1);
    EXPECT_EQ(r.Str[jdCompression], QStringLiteral("Fine"));
    EXPECT_NEAR(r.CaptureTime, may12th2009 + 52200 / 86400.0, 1e-9);
    EXPECT_NEAR(r.FileTime, modifiedDays, 1e-7);

    const QString other = write(QStringLiteral("shot.png"), bytes, modified);
    TJPEGData o;
    ASSERT_EQ(ReadJpegData(other, o), JpegReadResult::Read);
    EXPECT_FALSE(o.HasExif);
    EXPECT_EQ(o.CaptureTime, o.FileTime);
}

TEST_F(ReadJpegDataFiles, PipesAreNotWaitedFor)
{
#ifdef Q_OS_UNIX
    // Opening a named pipe for reading would wait for a writer; the reader must not.
    const QString path = dir.filePath(QStringLiteral("pipe.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    TJPEGData r;
    EXPECT_EQ(ReadJpegData(path, r), JpegReadResult::FileUnreadable);
    EXPECT_FALSE(r.HasExif);
    EXPECT_GT(r.FileTime, 0);
    EXPECT_EQ(r.CaptureTime, r.FileTime);
#else
    GTEST_SKIP() << "no named pipes";
#endif
}

TEST_F(ReadJpegDataFiles, UnreadableFile)
{
    const QString path = write(QStringLiteral("locked.jpg"), jpegFile({jfifSection()}), modified);
    QFile::setPermissions(path, QFileDevice::Permissions());
    if (QFile(path).open(QIODevice::ReadOnly)) {
        // make test runs this case once more with root's permission overrides dropped.
        if (qEnvironmentVariableIsSet("DUOMIRA_EXPECT_PERMISSIONS"))
            FAIL() << "the permission overrides were to be dropped";
        GTEST_SKIP() << "permissions do not stop this user (root)";
    }
    TJPEGData r;
    EXPECT_EQ(ReadJpegData(path, r), JpegReadResult::FileUnreadable);
    EXPECT_FALSE(r.HasExif);
    EXPECT_NEAR(r.FileTime, modifiedDays, 1e-7);
}

TEST_F(ReadJpegDataFiles, SizesBeyondTwoGigabytes)
{
    const QString path = write(QStringLiteral("big.jpg"), jpegFile({jfifSection()}), modified);
    QFile f(path);
    const qint64 size = 3LL * 1024 * 1024 * 1024 + 7; // sparse: no disk space is used
    if (!f.resize(size))
        GTEST_SKIP() << "file system cannot hold a sparse 3 GB file";
    TJPEGData r;
    ASSERT_EQ(ReadJpegData(path, r), JpegReadResult::Read);
    EXPECT_EQ(r.FileSize, size);
}

// Loading keeps only the tags the record shows; on every real photo of the test data the
// record is the one a read of all tags gives.
TEST(JpegDataRecord, ReadingOnlyTheRecordsTagsGivesTheSameRecordOnRealPhotos)
{
    QDirIterator it(testDataPath(QStringLiteral("photos")), QDir::Files,
                    QDirIterator::Subdirectories);
    int compared = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        if (imageFileKindForPath(path) == TImageFileKind::Other)
            continue;
        SCOPED_TRACE(path.toStdString());
        TJPEGData fast;
        ASSERT_EQ(ReadJpegData(path, fast), JpegReadResult::Read);
        TimgData all;
        ASSERT_TRUE(all.readFile(path));
        TJPEGData full;
        full.CaptureTime = full.FileTime = fast.FileTime;
        full.CaptureSubSecond = -1;
        fillJpegDataFromImage(all, full);
        EXPECT_EQ(fast.HasExif, full.HasExif);
        for (int i = 0; i < int(fast.Str.size()); ++i)
            EXPECT_EQ(fast.Str[i], full.Str[i]) << "text " << i;
        EXPECT_EQ(fast.CaptureTime, full.CaptureTime);
        EXPECT_EQ(fast.CaptureSubSecond, full.CaptureSubSecond);
        EXPECT_EQ(fast.OrientationCode, full.OrientationCode);
        compared += fast.HasExif;
    }
    EXPECT_GE(compared, 30);
}

#ifdef Q_OS_UNIX
// File times convert to the same local day numbers as through QDateTime, in zones with
// summer time, with half-hour offsets and far from UTC, before 1970 and around the changes.
TEST(JpegDataRecord, FileTimesConvertAsQDateTimeDoesInEveryZone)
{
    const QByteArray zoneBefore = qgetenv("TZ");
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    const qint64 moments[] = {
        0,
        -1,                  // the last millisecond of 1969
        -2208988800000 + 1,  // 1900-01-01
        1711846799999,       // 2024-03-31 00:59:59.999 UTC, before the change in Berlin
        1711846800000,       // the change itself
        1729990800000 + 123, // 2024-10-27 01:00 UTC, back to winter time
        1262400245678,       // 2010-01-02 03:04:05.678 UTC
        4102444800000,       // 2100-01-01
    };
    for (const char *zone : {"UTC", "Europe/Berlin", "America/St_Johns", "Pacific/Kiritimati",
                             "Australia/Lord_Howe"}) {
        qputenv("TZ", zone);
        tzset();
        for (qint64 msecs : moments) {
            SCOPED_TRACE(testing::Message() << zone << " " << msecs);
            EXPECT_EQ(EpochMsecsToDays(msecs),
                      DateTimeToDays(QDateTime::fromMSecsSinceEpoch(msecs)));
        }
    }
    if (hadZone)
        qputenv("TZ", zoneBefore);
    else
        qunsetenv("TZ");
    tzset();
}
#endif

} // namespace
