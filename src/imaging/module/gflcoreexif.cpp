// EXIF entry list of the core module, read with exiv2.
//
// Value texts: plain decimal numbers for the quantities the program computes with
// (focal length, f-number, resolutions, pixel counts, ISO speed, 35 mm focal length),
// "numerator/denominator" as stored for the other rationals (exposure time 1/250, focal-plane
// resolution 4000/1), the text as stored for dates ("2009:05:12 14:30:00") and other text tags,
// "Inch"/"Centimeter"/"None" for the resolution units, and exiv2's interpreted text for the
// remaining enumerated tags.
#include "imaging/gflabi.h"
#include "imaging/module/decoders.h"
#include "imaging/module/gflcore_p.h"

#include <QFile>

#include <exiv2/exiv2.hpp>

#include <cstdio>
#include <mutex>

namespace gflcore {
namespace {

// exiv2 keeps registries and a message handler in global state; its reads are
// serialised (they are short next to decoding the pixels).
// Never destroyed, like the module's state: reads may come from static destructors.
std::mutex &exivMutex()
{
    static std::mutex *const mutex = new std::mutex;
    return *mutex;
}

constexpr std::size_t MaxValueLength = 1000;

std::uint32_t directoryFlag(const std::string &group)
{
    if (group == "Image")
        return GFL_EXIF_MAIN_IFD;
    if (group == "Photo")
        return GFL_EXIF_EXIF_IFD;
    if (group == "Iop")
        return GFL_EXIF_INTEROPERABILITY_IFD;
    if (group == "GPSInfo")
        return GFL_EXIF_GPS_IFD;
    return 0; // thumbnail directory, sub-images, maker notes: not listed
}

// Rational tags whose value is given as a plain decimal number.
bool isDecimalQuantity(std::uint16_t tag)
{
    switch (tag) {
    case 0x011A: // XResolution
    case 0x011B: // YResolution
    case 0x829D: // FNumber
    case 0x9202: // ApertureValue
    case 0x9205: // MaxApertureValue
    case 0x920A: // FocalLength
    case 0xA404: // DigitalZoomRatio
        return true;
    default:
        return false;
    }
}

// Integer tags whose value is given as a plain decimal number (pixel counts, ISO speed,
// 35 mm focal length), not in exiv2's interpreted form ("35.0 mm").
bool isPlainInteger(std::uint16_t tag)
{
    switch (tag) {
    case 0x0100: // ImageWidth
    case 0x0101: // ImageLength
    case 0x8827: // ISOSpeedRatings
    case 0xA002: // PixelXDimension
    case 0xA003: // PixelYDimension
    case 0xA405: // FocalLengthIn35mmFilm
        return true;
    default:
        return false;
    }
}

std::string decimalText(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return buffer;
}

std::string unitText(long value)
{
    switch (value) {
    case 1:
        return "None";
    case 2:
        return "Inch";
    case 3:
        return "Centimeter";
    default:
        return std::to_string(value);
    }
}

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\0' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string valueText(const Exiv2::Exifdatum &datum, const Exiv2::ExifData &all)
{
    const std::uint16_t tag = datum.tag();
    switch (datum.typeId()) {
    case Exiv2::asciiString:
        return trimmed(datum.toString());
    case Exiv2::unsignedRational:
    case Exiv2::signedRational:
        if (datum.count() == 1 && isDecimalQuantity(tag)) {
            const Exiv2::Rational r = datum.toRational(0);
            return r.second == 0 ? std::string() : decimalText(double(r.first) / double(r.second));
        }
        return datum.toString();
    case Exiv2::unsignedByte:
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong:
    case Exiv2::signedByte:
    case Exiv2::signedShort:
    case Exiv2::signedLong:
        if ((tag == 0x0128 || tag == 0xA210) && datum.count() == 1) // resolution units
            return unitText(datum.toLong(0));
        if (isPlainInteger(tag))
            return datum.toString();
        return datum.print(&all);
    default:
        return datum.print(&all);
    }
}

} // namespace

void initialiseExif()
{
    std::lock_guard lock(exivMutex());
    static bool done = false;
    if (done)
        return;
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::XmpParser::initialize();
#ifdef EXV_ENABLE_BMFF
    Exiv2::enableBMFF(true); // CR3 files (and HEIF files libheif cannot open)
#endif
    done = true;
}

namespace {

void appendEntries(const Exiv2::ExifData &exif, std::vector<ExifEntry> &entries)
{
    for (const Exiv2::Exifdatum &datum : exif) {
        const std::uint32_t flag = directoryFlag(datum.groupName());
        if (flag == 0 || datum.tag() == 0x927C) // the maker note is raw bytes
            continue;
        ExifEntry entry;
        entry.flag = flag;
        entry.tag = datum.tag();
        entry.name = datum.tagName();
        entry.value = valueText(datum, exif);
        if (entry.value.size() > MaxValueLength)
            entry.value.resize(MaxValueLength);
        entries.push_back(std::move(entry));
    }
}

// The EXIF block of a HEIF file as libheif finds it (exiv2's own container walk misses
// blocks that some writers place through extent offsets); empty for other files.
std::vector<std::uint8_t> heifExifOfFile(const std::string &path)
{
    QFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.peek(64);
    if (!looksLikeHeif(reinterpret_cast<const std::uint8_t *>(head.constData()),
                       std::size_t(head.size())))
        return {};
    const qint64 size = file.size();
    const uchar *mapped = size > 0 ? file.map(0, size) : nullptr;
    if (mapped)
        return heifExifBlock(mapped, std::size_t(size));
    const QByteArray bytes = file.readAll();
    return heifExifBlock(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                         std::size_t(bytes.size()));
}

} // namespace

std::vector<ExifEntry> readExifEntries(const std::string &path)
{
    std::vector<ExifEntry> entries;
    const std::vector<std::uint8_t> heifBlock = heifExifOfFile(path);
    std::lock_guard lock(exivMutex());
    try {
        if (!heifBlock.empty()) {
            Exiv2::ExifData exif;
            Exiv2::ExifParser::decode(exif, heifBlock.data(), std::uint32_t(heifBlock.size()));
            appendEntries(exif, entries);
            return entries;
        }
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path, false);
        if (!image.get())
            return entries;
        image->readMetadata();
        appendEntries(image->exifData(), entries);
    } catch (...) {
        // Unreadable or malformed metadata: the picture simply has no EXIF entries.
        entries.clear();
    }
    return entries;
}

} // namespace gflcore
