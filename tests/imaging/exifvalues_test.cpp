// Display texts of single tag values, read through a real EXIF block in both byte orders.
#include "exifbuilder.h"
#include "imaging/exifreader.h"
#include "support/paramnames.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct ValueCase
{
    const char *what;
    std::function<void(TiffBuilder &, int exifDir)> add;
    const char *name;     // tag name to look up
    const char *expected; // UTF-8
};

void PrintTo(const ValueCase &c, std::ostream *os)
{
    *os << c.what;
}

class ExifValueText : public ::testing::TestWithParam<std::tuple<ValueCase, bool>>
{
};

TEST_P(ExifValueText, FollowsTheTextRules)
{
    const auto &[c, bigEndian] = GetParam();
    TiffBuilder b(bigEndian);
    const int ifd0 = b.addDirectory();
    const int exif = b.addDirectory();
    b.pointer(ifd0, 0x8769, exif);
    c.add(b, exif);
    const TImageInfo info = TImageInfo::fromExifSection(b.exifSection());
    ASSERT_TRUE(info.headerValid());
    EXPECT_EQ(info.status(), ExifStatus::Ok);
    EXPECT_EQ(info.lookup(QString::fromLatin1(c.name)), QString::fromUtf8(c.expected)) << c.what;
}

const ValueCase valueCases[] = {
    {"exposure time as stored plus sec",
     [](TiffBuilder &b, int d) { b.rational(d, 0x829A, 1, 250); }, "ExposureTime", "1/250 sec"},
    {"F number with one decimal", [](TiffBuilder &b, int d) { b.rational(d, 0x829D, 28, 10); },
     "FNumber", "F2.8"},
    {"F number with zero denominator", [](TiffBuilder &b, int d) { b.rational(d, 0x829D, 28, 0); },
     "FNumber", "F0.0"},
    {"focal length with width 5", [](TiffBuilder &b, int d) { b.rational(d, 0x920A, 63, 10); },
     "FocalLength", " 6.30 mm"},
    {"35 mm focal length from a short", [](TiffBuilder &b, int d) { b.shortValue(d, 0xA405, 35); },
     "FocalLengthin35mmFilm", "35.00 mm"},
    {"exposure bias stays a fraction", [](TiffBuilder &b, int d) { b.srational(d, 0x9204, -1, 3); },
     "ExposureBiasValue", "-1/3"},
    {"unsigned rational written as signed numbers",
     [](TiffBuilder &b, int d) { b.rational(d, 0x9204, 0xFFFFFFFFu, 1); }, "ExposureBiasValue",
     "-1/1"},
    {"metering mode from its list", [](TiffBuilder &b, int d) { b.shortValue(d, 0x9207, 5); },
     "MeteringMode", "MultiSegment"},
    {"value missing from the list gives an empty text",
     [](TiffBuilder &b, int d) { b.shortValue(d, 0x9207, 255); }, "MeteringMode", ""},
    {"colour space uncalibrated", [](TiffBuilder &b, int d) { b.shortValue(d, 0xA001, 0xFFFF); },
     "ColorSpace", ""},
    {"colour space sRGB", [](TiffBuilder &b, int d) { b.shortValue(d, 0xA001, 1); }, "ColorSpace",
     "sRGB"},
    {"flash fired in auto mode", [](TiffBuilder &b, int d) { b.shortValue(d, 0x9209, 0x19); },
     "Flash", "On, auto mode"},
    {"flash suppressed", [](TiffBuilder &b, int d) { b.shortValue(d, 0x9209, 0x10); }, "Flash",
     "Off, surpressed"},
    {"no flash function", [](TiffBuilder &b, int d) { b.shortValue(d, 0x9209, 0x20); }, "Flash",
     "Off, no flash function"},
    {"every flash word", [](TiffBuilder &b, int d) { b.shortValue(d, 0x9209, 0x5F); }, "Flash",
     "On, strobe return, auto mode, red-eye reduction"},
    {"flash return unknown, forced", [](TiffBuilder &b, int d) { b.shortValue(d, 0x9209, 0x0B); },
     "Flash", "On, UNKNOWN, forced"},
    {"flash without strobe return", [](TiffBuilder &b, int d) { b.shortValue(d, 0x9209, 0x05); },
     "Flash", "On, no strobe return"},
    {"several values",
     [](TiffBuilder &b, int d) {
         b.shorts(d, 0x8827, {100, 200});
     },
     "ISOSpeedRatings", "100, 200"},
    {"at most eight values",
     [](TiffBuilder &b, int d) {
         b.shorts(d, 0x8827, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
     },
     "ISOSpeedRatings", "1, 2, 3, 4, 5, 6, 7, 8"},
    {"signed short", [](TiffBuilder &b, int d) { b.shorts(d, 0x8827, {quint16(-5)}, 8); },
     "ISOSpeedRatings", "-5"},
    {"float values have a placeholder text",
     [](TiffBuilder &b, int d) { b.add(d, 0x8827, 11, 1, b.u32(0x40490FDB)); }, "ISOSpeedRatings",
     "-9999.99"},
    {"undefined bytes in quotes", [](TiffBuilder &b, int d) { b.undefined(d, 0x9000, "0220"); },
     "ExifVersion", "\"0220\""},
    {"undefined bytes end at the first zero",
     [](TiffBuilder &b, int d) { b.undefined(d, 0x9286, QByteArray("ASCII\0\0\0Hello", 13)); },
     "UserComment", "\"ASCII\""},
    {"text padded with zeros",
     [](TiffBuilder &b, int d) { b.asciiRaw(d, 0x0131, QByteArray("GIMP\0\0\0\0\0\0", 10)); },
     "Software", "GIMP"},
    {"text without its terminating zero keeps its last character",
     [](TiffBuilder &b, int d) { b.asciiRaw(d, 0x9003, "2009:05:12 14:30:00"); },
     "DateTimeOriginal", "2009:05:12 14:30:00"},
    {"text of four bytes inside the entry",
     [](TiffBuilder &b, int d) { b.ascii(d, 0x0131, "abc"); }, "Software", "abc"},
    {"empty text", [](TiffBuilder &b, int d) { b.asciiRaw(d, 0x0131, QByteArray("\0", 1)); },
     "Software", ""},
    {"text cut at 50 characters",
     [](TiffBuilder &b, int d) { b.ascii(d, 0x010E, QByteArray(60, 'x')); }, "ImageDescription",
     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
    {"control characters become dots", [](TiffBuilder &b, int d) { b.ascii(d, 0x010E, "a\tb\nc"); },
     "ImageDescription", "a.b.c"},
    {"UTF-8 text", [](TiffBuilder &b, int d) { b.ascii(d, 0x013B, "Jos\xC3\xA9"); }, "Artist",
     "Jos\xC3\xA9"},
    {"Latin-1 text", [](TiffBuilder &b, int d) { b.ascii(d, 0x013B, "Jos\xE9"); }, "Artist",
     "Jos\xC3\xA9"},
    {"lookup ignores letter case", [](TiffBuilder &b, int d) { b.rational(d, 0x829D, 56, 10); },
     "fnumber", "F5.6"},
    {"unknown name gives an empty text",
     [](TiffBuilder &b, int d) { b.rational(d, 0x829D, 56, 10); }, "NoSuchTag", ""},
};

INSTANTIATE_TEST_SUITE_P(
    Values, ExifValueText, ::testing::Combine(::testing::ValuesIn(valueCases), ::testing::Bool()),
    [](const auto &param) {
        return ParamName(param.index, std::string(std::get<1>(param.param) ? "MM_" : "II_") +
                                          std::get<0>(param.param).what);
    });

TEST(ExifValueText, OrientationValues)
{
    const std::pair<quint16, const char *> cases[] = {
        {1, "Normal"},
        {2, ""},
        {3, "Rotated 180°"},
        {4, ""},
        {5, ""},
        {6, "CounterClockwise 90°"},
        {7, ""},
        {8, "Clockwise 90°"},
        {0, ""},
        {9, ""},
    };
    for (const auto &[value, text] : cases) {
        TiffBuilder b(false);
        b.shortValue(b.addDirectory(), 0x0112, value);
        const TImageInfo info = TImageInfo::fromExifSection(b.exifSection());
        EXPECT_EQ(info.lookup(u"Orientation"), QString::fromUtf8(text)) << value;
    }
}

} // namespace
