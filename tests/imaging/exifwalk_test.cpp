// The file walk (JPEG sections, TIFF header) and the directory reading of damaged blocks.
#include "exifbuilder.h"
#include "imaging/exifreader.h"
#include "imaging/jpegdata.h"

#include <gtest/gtest.h>

namespace {

// An EXIF block with a make and a DateTimeOriginal in its EXIF directory.
QByteArray cameraExif(bool bigEndian = false, const QByteArray &make = "Canon")
{
    TiffBuilder b(bigEndian);
    const int ifd0 = b.addDirectory();
    const int exif = b.addDirectory();
    b.ascii(ifd0, 0x010F, make);
    b.pointer(ifd0, 0x8769, exif);
    b.ascii(exif, 0x9003, "2009:05:12 14:30:00");
    return b.exifSection();
}

std::pair<quint8, QByteArray> app1(const QByteArray &data)
{
    return {0xE1, data};
}
std::pair<quint8, QByteArray> comment(const QByteArray &text)
{
    return {0xFE, text};
}

TimgData readJpeg(const QByteArray &file)
{
    TimgData image;
    image.readBuffer(file, TImageFileKind::Jpeg);
    return image;
}

TEST(JpegWalk, FindsExifInEitherByteOrder)
{
    for (bool big : {false, true}) {
        const TimgData image = readJpeg(jpegFile({jfifSection(), app1(cameraExif(big))}));
        ASSERT_TRUE(image.hasExif());
        EXPECT_EQ(image.ExifInfo->byteOrder(),
                  big ? TByteOrder::BigEndian : TByteOrder::LittleEndian);
        EXPECT_EQ(image.ExifInfo->CameraMake, QStringLiteral("Canon"));
        EXPECT_EQ(image.ExifInfo->DateTime, QStringLiteral("2009:05:12 14:30:00"));
        EXPECT_EQ(image.JfifData.left(4), QByteArray("JFIF"));
    }
}

TEST(JpegWalk, ExifOnlyAmongTheFirstFiveSections)
{
    const auto q = quantisationSection();
    // Fifth section after four that hold nothing the reader takes: the walk stops.
    EXPECT_FALSE(readJpeg(jpegFile({jfifSection(), q, q, q, app1(cameraExif())})).hasExif());
    // Fifth section when a comment came first: taken.
    EXPECT_TRUE(readJpeg(jpegFile({comment("hi"), q, q, q, app1(cameraExif())})).hasExif());
    // Sixth section: never.
    EXPECT_FALSE(readJpeg(jpegFile({comment("hi"), q, q, q, q, app1(cameraExif())})).hasExif());
    // Fourth section: taken.
    EXPECT_TRUE(readJpeg(jpegFile({jfifSection(), q, q, app1(cameraExif())})).hasExif());
}

TEST(JpegWalk, FirstExifBlockWins)
{
    const TimgData image =
        readJpeg(jpegFile({app1(cameraExif(false, "First")), app1(cameraExif(false, "Second"))}));
    ASSERT_TRUE(image.hasExif());
    EXPECT_EQ(image.ExifInfo->CameraMake, QStringLiteral("First"));
}

TEST(JpegWalk, XmpPacketBeforeTheExifBlockIsPassedOver)
{
    const QByteArray xmp = QByteArray("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>", 41);
    const TimgData image = readJpeg(jpegFile({jfifSection(), app1(xmp), app1(cameraExif())}));
    ASSERT_TRUE(image.hasExif());
    EXPECT_EQ(image.ExifInfo->CameraMake, QStringLiteral("Canon"));
}

TEST(JpegWalk, BadBlockHeaders)
{
    // An APP1 section that is not EXIF: taken as the block, but it has no EXIF.
    TimgData image = readJpeg(jpegFile({app1("FLIR\0garbage")}));
    ASSERT_TRUE(image.ExifInfo.has_value());
    EXPECT_FALSE(image.hasExif());
    EXPECT_EQ(image.ExifInfo->status(), ExifStatus::IncorrectHeader);

    image = readJpeg(jpegFile({app1(QByteArray("Exif\0\0XX*\0\x08\0\0\0", 14))}));
    EXPECT_FALSE(image.hasExif());
    EXPECT_EQ(image.ExifInfo->status(), ExifStatus::InvalidAlignment);

    image = readJpeg(jpegFile({app1(QByteArray("Exif\0\0II", 8))}));
    EXPECT_TRUE(image.hasExif()); // valid header, no directory: partial EXIF
    EXPECT_EQ(image.ExifInfo->status(), ExifStatus::IllegalConstruction);
    EXPECT_TRUE(image.ExifInfo->tags().isEmpty());
}

TEST(JpegWalk, NotAJpeg)
{
    QByteArray file = jpegFile({app1(cameraExif())});
    file[1] = '\xD9';
    EXPECT_FALSE(readJpeg(file).ExifInfo.has_value());
    EXPECT_FALSE(readJpeg(QByteArray()).ExifInfo.has_value());
    EXPECT_FALSE(readJpeg(QByteArray("\xFF", 1)).ExifInfo.has_value());
}

TEST(JpegWalk, ScanAndEndOfImageEndTheWalk)
{
    QByteArray file("\xFF\xD8\xFF\xDA\x00\x02", 6);
    const QByteArray rest = jpegFile({app1(cameraExif())}).mid(2);
    EXPECT_FALSE(readJpeg(file + rest).ExifInfo.has_value());
    file = QByteArray("\xFF\xD8\xFF\xD9", 4);
    EXPECT_FALSE(readJpeg(file + rest).ExifInfo.has_value());
}

TEST(JpegWalk, FillBytesBeforeMarkers)
{
    const QByteArray file = jpegFile({jfifSection(), app1(cameraExif())});
    QByteArray padded = file.left(2) + QByteArray(7, '\xFF') + file.mid(2);
    EXPECT_TRUE(readJpeg(padded).hasExif());
}

TEST(JpegWalk, CommentAndIptcBlock)
{
    // Photoshop resource block 0x0404 with one IPTC data set (2:120, the caption).
    QByteArray iptc("\x1C\x02\x78\x00\x05Hello", 10);
    QByteArray resource("8BIM\x04\x04\x00\x00", 8);
    resource += char(0) + QByteArray("\x00\x00", 2) + char(iptc.size()) + iptc;
    resource += '\0'; // pad to even length
    const QByteArray app13 = QByteArray("Photoshop 3.0\0", 14) + resource;

    const TimgData image = readJpeg(jpegFile({comment("first"), {0xED, app13}, comment("second")}));
    EXPECT_EQ(image.Comment, QByteArray("second"));
    ASSERT_TRUE(image.IptcInfo.has_value());
    ASSERT_EQ(image.IptcInfo->dataSets().size(), 1);
    EXPECT_EQ(image.IptcInfo->dataSets()[0].Record, 2);
    EXPECT_EQ(image.IptcInfo->dataSets()[0].DataSet, 120);
    EXPECT_EQ(image.IptcInfo->dataSets()[0].Value, QByteArray("Hello"));
    EXPECT_EQ(image.Sections.size(), 3);
}

TEST(JpegWalk, TruncatedFilesKeepWhatWasRead)
{
    const QByteArray file = jpegFile({jfifSection(), app1(cameraExif())});
    for (qsizetype n = 0; n <= file.size(); ++n) {
        const TimgData image = readJpeg(file.left(n));
        if (image.hasExif() && n < file.size() - 8) {
            EXPECT_NE(image.ExifInfo->status(), ExifStatus::Ok) << n;
        }
    }
    // Cut inside the EXIF directory's long values: the make is still there.
    const TimgData cut = readJpeg(file.left(file.size() - 12));
    ASSERT_TRUE(cut.hasExif());
    EXPECT_EQ(cut.ExifInfo->CameraMake, QStringLiteral("Canon"));
}

TEST(JpegWalk, SectionLengthBelowTwoEndsTheWalk)
{
    QByteArray file("\xFF\xD8\xFF\xE0\x00\x01", 6);
    file += jpegFile({app1(cameraExif())}).mid(2);
    EXPECT_FALSE(readJpeg(file).ExifInfo.has_value());
}

TEST(FileKind, ByLowerCaseExtension)
{
    EXPECT_EQ(imageFileKindForPath(QStringLiteral("/a/b.JPG")), TImageFileKind::Jpeg);
    EXPECT_EQ(imageFileKindForPath(QStringLiteral("b.jpeg")), TImageFileKind::Jpeg);
    EXPECT_EQ(imageFileKindForPath(QStringLiteral("b.Jpe")), TImageFileKind::Jpeg);
    EXPECT_EQ(imageFileKindForPath(QStringLiteral("b.tif")), TImageFileKind::Tiff);
    EXPECT_EQ(imageFileKindForPath(QStringLiteral("b.TIFF")), TImageFileKind::Tiff);
    EXPECT_EQ(imageFileKindForPath(QStringLiteral("b.nef")), TImageFileKind::Tiff);
    EXPECT_EQ(imageFileKindForPath(QStringLiteral("b.png")), TImageFileKind::Other);
    EXPECT_EQ(imageFileKindForPath(QStringLiteral("jpg")), TImageFileKind::Other);
    // Another extension is not read even when the bytes are a JPEG.
    TimgData image;
    image.readBuffer(jpegFile({app1(cameraExif())}), TImageFileKind::Other);
    EXPECT_FALSE(image.ExifInfo.has_value());
}

TEST(TiffWalk, ReadsTheFirstDirectoryWhereTheHeaderPutsIt)
{
    for (bool big : {false, true}) {
        for (quint32 padding : {0u, 1000u}) {
            TiffBuilder b(big);
            const int ifd0 = b.addDirectory();
            b.ascii(ifd0, 0x010F, "NIKON CORPORATION");
            b.shortValue(ifd0, 0x0112, 8);
            TimgData image;
            image.readBuffer(b.build(padding), TImageFileKind::Tiff);
            ASSERT_TRUE(image.hasExif()) << big << padding;
            EXPECT_EQ(image.ExifInfo->CameraMake, QStringLiteral("NIKON CORPORATION"));
            EXPECT_EQ(image.ExifInfo->lookup(u"Orientation"), QStringLiteral("Clockwise 90°"));
        }
    }
}

TEST(TiffWalk, OnlyTheHeaderWindowIsRead)
{
    TiffBuilder b(false);
    b.ascii(b.addDirectory(), 0x010F, "Far away");
    TimgData image;
    image.readBuffer(b.build(quint32(TiffWindowBytes)), TImageFileKind::Tiff);
    ASSERT_TRUE(image.hasExif());
    EXPECT_TRUE(image.ExifInfo->tags().isEmpty());
    EXPECT_EQ(image.ExifInfo->status(), ExifStatus::IllegalConstruction);

    image.readBuffer(QByteArray("PK\x03\x04 not a tiff"), TImageFileKind::Tiff);
    EXPECT_FALSE(image.ExifInfo.has_value());
}

// --- Damaged directories ------------------------------------------------------------------

TEST(ExifDirectories, CycleIsReadOnce)
{
    for (bool big : {false, true}) {
        TiffBuilder b(big);
        const int ifd0 = b.addDirectory();
        const int exif = b.addDirectory();
        b.ascii(ifd0, 0x010F, "Loop");
        b.pointer(ifd0, 0x8769, exif);
        b.ascii(exif, 0x9003, "2009:05:12 14:30:00");
        b.pointer(exif, 0xA005, ifd0); // back to the first directory
        b.pointer(exif, 0x8769, exif); // and to itself
        const TImageInfo info = TImageInfo::fromExifSection(b.exifSection());
        EXPECT_EQ(info.status(), ExifStatus::IllegalConstruction);
        int makes = 0;
        for (const TTagEntry &e : info.tags())
            makes += e.Tag == 0x010F;
        EXPECT_EQ(makes, 1);
        EXPECT_EQ(info.DateTime, QStringLiteral("2009:05:12 14:30:00"));
    }
}

TEST(ExifDirectories, ManySubDirectoryPointersToOneDirectory)
{
    // Two passes: the first finds where the sub-directory lands, the second (same
    // layout) stores that offset 5000 times.
    quint32 target = 0;
    QByteArray block;
    for (int pass = 0; pass < 2; ++pass) {
        TiffBuilder b(false);
        const int ifd0 = b.addDirectory();
        const int sub = b.addDirectory();
        QByteArray pointers;
        for (int i = 0; i < 5000; ++i)
            pointers += b.u32(target);
        b.add(ifd0, 0x014A, 4, 5000, pointers);
        b.shortValue(sub, 0x0100, 10);
        block = b.exifSection();
        target = b.directoryOffset(sub);
    }
    const TImageInfo info = TImageInfo::fromExifSection(block);
    EXPECT_EQ(info.lookup(u"ImageWidth"), QStringLiteral("10"));
    int widths = 0;
    for (const TTagEntry &e : info.tags())
        widths += e.Tag == 0x0100;
    EXPECT_EQ(widths, 1);
}

TEST(ExifDirectories, OversizedDirectoryIsNotRead)
{
    TiffBuilder b(true);
    const int ifd0 = b.addDirectory();
    const int exif = b.addDirectory();
    b.ascii(ifd0, 0x010F, "Kept");
    b.pointer(ifd0, 0x8769, exif);
    b.rational(exif, 0x829D, 28, 10);
    QByteArray block = b.exifSection();
    // The EXIF directory claims 0x7FFF entries.
    const quint32 at = 6 + b.directoryOffset(exif);
    block[at] = '\x7F';
    block[at + 1] = '\xFF';
    const TImageInfo info = TImageInfo::fromExifSection(block);
    EXPECT_EQ(info.status(), ExifStatus::IllegalDirectorySize);
    EXPECT_EQ(info.CameraMake, QStringLiteral("Kept"));
    EXPECT_EQ(info.lookup(u"FNumber"), QString());
}

TEST(ExifDirectories, ValueOutsideTheBlockIsSkipped)
{
    TiffBuilder b(false);
    const int ifd0 = b.addDirectory();
    b.add(ifd0, 0x010E, 2, 100, b.u32(0xFFFFFFF0)); // text at an offset past the end
    b.add(ifd0, 0x0111, 4, 0x40000001, b.u32(8));   // count whose byte size overflows 32 bits
    b.add(ifd0, 0x0112, 99, 1, b.u16(1));           // unknown format
    b.ascii(ifd0, 0x0131, "still read");
    const TImageInfo info = TImageInfo::fromExifSection(b.exifSection());
    EXPECT_EQ(info.status(), ExifStatus::IllegalConstruction);
    EXPECT_EQ(info.lookup(u"Software"), QStringLiteral("still read"));
    EXPECT_EQ(info.lookup(u"ImageDescription"), QString());
    EXPECT_EQ(info.lookup(u"Orientation"), QString());
}

TEST(ExifDirectories, FirstDirectoryOffsetZeroCountsAsEight)
{
    TiffBuilder b(false);
    b.ascii(b.addDirectory(), 0x010F, "Zero");
    QByteArray block = b.exifSection();
    block.replace(6 + 4, 4, QByteArray(4, '\0'));
    EXPECT_EQ(TImageInfo::fromExifSection(block).CameraMake, QStringLiteral("Zero"));
    block.replace(6 + 4, 4, QByteArray(4, '\xFF'));
    const TImageInfo far = TImageInfo::fromExifSection(block);
    EXPECT_TRUE(far.tags().isEmpty());
    EXPECT_EQ(far.status(), ExifStatus::IllegalConstruction);
}

TEST(ExifDirectories, GpsDirectoryUsesGpsNames)
{
    TiffBuilder b(true);
    const int ifd0 = b.addDirectory();
    const int gps = b.addDirectory();
    const int interop = b.addDirectory();
    const int exif = b.addDirectory();
    b.pointer(ifd0, 0x8769, exif);
    b.pointer(ifd0, 0x8825, gps);
    b.pointer(exif, 0xA005, interop);
    b.ascii(gps, 0x0001, "N");
    b.pointer(gps, 0x8769, ifd0); // pointer tags mean nothing inside the GPS directory
    b.ascii(interop, 0x0001, "R98");
    const TImageInfo info = TImageInfo::fromExifSection(b.exifSection());
    EXPECT_EQ(info.status(), ExifStatus::Ok);
    EXPECT_EQ(info.lookup(u"GPSLatitudeRef"), QStringLiteral("N"));
    EXPECT_EQ(info.lookup(u"InteroperabilityIndex"), QStringLiteral("R98"));
}

TEST(ExifDirectories, FixedFieldLengths)
{
    TiffBuilder b(false);
    const int ifd0 = b.addDirectory();
    b.ascii(ifd0, 0x010F, QByteArray(45, 'M'));
    b.ascii(ifd0, 0x0110, QByteArray(45, 'm'));
    b.ascii(ifd0, 0x0132, "2009:05:12 14:33:10 and more");
    const TImageInfo info = TImageInfo::fromExifSection(b.exifSection());
    EXPECT_EQ(info.CameraMake, QString(32, QLatin1Char('M')));
    EXPECT_EQ(info.CameraModel, QString(40, QLatin1Char('m')));
    EXPECT_EQ(info.DateTime, QStringLiteral("2009:05:12 14:33:10 "));
    EXPECT_EQ(info.lookup(u"Make"), QString(45, QLatin1Char('M')));
}

TEST(ExifDirectories, RawBytesOfATag)
{
    TiffBuilder b(true);
    const int ifd0 = b.addDirectory();
    b.undefined(ifd0, 0x9000, "0230");
    b.rational(ifd0, 0x829A, 1, 8);
    const TImageInfo info = TImageInfo::fromExifSection(b.exifSection());
    const TTagEntry *version = info.findTag(u"ExifVersion");
    ASSERT_TRUE(version);
    EXPECT_EQ(info.rawBytes(*version), QByteArray("0230"));
    const TTagEntry *exposure = info.findTag(u"ExposureTime");
    ASSERT_TRUE(exposure);
    EXPECT_EQ(info.rawBytes(*exposure), QByteArray("\0\0\0\x01\0\0\0\x08", 8));
    EXPECT_DOUBLE_EQ(exposure->Number, 0.125);
}

} // namespace
