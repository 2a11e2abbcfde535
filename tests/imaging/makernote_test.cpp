// Maker-note items of real camera files. Expected values: exiv2's raw values of the
// maker-note tags ("exiv2 -pv"), put through the item's value list where it has one.
#include "exifbuilder.h"
#include "imaging/exifreader.h"
#include "support/paramnames.h"
#include "support/testdata.h"

#include <gtest/gtest.h>

namespace {

// The value text of the maker-note item with that description; "<missing>" when the
// note has no such item.
QString item(const TImageInfo &info, const char *description)
{
    for (const TTagEntry &e : info.tags()) {
        if (e.Tag == 1 && e.Format != 0 && e.Desc == QLatin1String(description))
            return e.Data;
    }
    return QStringLiteral("<missing>");
}

TImageInfo readPhoto(const char *relative)
{
    TimgData image;
    EXPECT_TRUE(image.readFile(testDataPath(QStringLiteral("photos/") + QLatin1String(relative))));
    EXPECT_TRUE(image.hasExif());
    return image.ExifInfo.value_or(TImageInfo());
}

struct ItemCase
{
    const char *file;
    const char *description;
    const char *expected;
};

void PrintTo(const ItemCase &c, std::ostream *os)
{
    *os << c.file << " / " << c.description;
}

class MakerNoteItems : public ::testing::TestWithParam<ItemCase>
{
};

TEST_P(MakerNoteItems, MatchExiv2)
{
    const ItemCase &c = GetParam();
    EXPECT_EQ(item(readPhoto(c.file), c.description), QString::fromUtf8(c.expected))
        << c.file << " / " << c.description;
}

INSTANTIATE_TEST_SUITE_P(
    Photos, MakerNoteItems,
    ::testing::Values(
        // Canon (II): directory at the note's start, offsets from the TIFF header;
        // camera settings Macro 2, FlashMode 1, Quality 5.
        ItemCase{"jpg/Canon_PowerShot_S40.jpg", "Macro mode", "Normal"},
        ItemCase{"jpg/Canon_PowerShot_S40.jpg", "Flash mode", "Auto"},
        ItemCase{"jpg/Canon_PowerShot_S40.jpg", "Compression Rate", "SuperFine"},
        ItemCase{"jpg/Canon_PowerShot_S40.jpg", "Image type", "IMG:PowerShot S40 JPEG"},
        ItemCase{"jpg/Canon_PowerShot_S40.jpg", "Owner name", "Andreas Huggel"},
        ItemCase{"jpg/Canon_PowerShot_S40.jpg", "Image number", "1171771"},
        // Nikon (II): "Nikon" header with a TIFF header of its own.
        ItemCase{"jpg/Nikon_COOLPIX_P1.jpg", "Quality", "NORMAL"},
        ItemCase{"jpg/Nikon_COOLPIX_P1.jpg", "Color mode", "COLOR"},
        ItemCase{"jpg/tests/87_OSError.jpg", "ISO setting", "0, 1000"},
        // Fujifilm: a little-endian note inside a big-endian block, offsets from the note.
        ItemCase{"jpg/Fujifilm_FinePix_E500.jpg", "Quality", "FINE   "},
        ItemCase{"jpg/Fujifilm_FinePix_E500.jpg", "Sharpness", "Normal"},
        ItemCase{"jpg/Fujifilm_FinePix_E500.jpg", "White balance", "Auto"},
        ItemCase{"jpg/Fujifilm_FinePix_E500.jpg", "Flash mode", "Off"},
        ItemCase{"jpg/Fujifilm_FinePix_E500.jpg", "Macro", "On"},
        // Olympus: "OLYMP" header, offsets from the TIFF header.
        ItemCase{"jpg/corrupted.jpg", "Special mode", "0, 0, 0"},
        ItemCase{"jpg/corrupted.jpg", "Camera ID", "\"OLYMPUS DIGITAL CAMERA         \""},
        // Casio: "QVC" header.
        ItemCase{"jpg/tests/36-memory_error.jpg", "Preview thumbnail dimensions", "320, 240"},
        ItemCase{"jpg/tests/36-memory_error.jpg", "Quality", "Fine"},
        // Another maker: no items.
        ItemCase{"jpg/Pentax_K10D.jpg", "Quality", "<missing>"}),
    [](const ::testing::TestParamInfo<ItemCase> &param) {
        return ParamName(param.index,
                         std::string(param.param.file).substr(4) + "_" + param.param.description);
    });

// A note cut short after its signature must not be read past the block.
TEST(MakerNotes, SignaturesAtTheEndOfTheBlock)
{
    for (const QByteArray &make :
         {QByteArray("OLYMPUS"), QByteArray("NIKON"), QByteArray("FUJIFILM"), QByteArray("SANYO"),
          QByteArray("CASIO"), QByteArray("SEIKO EPSON")}) {
        for (const QByteArray &note :
             {QByteArray("OLYMPUS", 7), QByteArray("OLYMPUS\0I", 9), QByteArray("Nikon\0\x02", 7),
              QByteArray("Nikon\0\x02\x10\0\0MM", 12), QByteArray("FUJIFILM\x0C", 9),
              QByteArray("SANYO\0", 6), QByteArray("QVC\0", 4), QByteArray("EPSON\0\x01", 7)}) {
            TiffBuilder b(true);
            const int ifd0 = b.addDirectory();
            const int exif = b.addDirectory();
            b.ascii(ifd0, 0x010F, make);
            b.pointer(ifd0, 0x8769, exif);
            b.undefined(exif, 0x927C, note);
            // The note is the block's last value: cut the block right after it.
            QByteArray block = b.exifSection();
            const TImageInfo whole = TImageInfo::fromExifSection(block);
            const TTagEntry *tag = whole.findTag(u"MakerNote");
            ASSERT_TRUE(tag);
            block.truncate(6 + tag->Offset + tag->Size);
            const TImageInfo cut = TImageInfo::fromExifSection(block);
            EXPECT_EQ(item(cut, "Quality"), QStringLiteral("<missing>")) << make.constData();
        }
    }
}

} // namespace
