#include "imaging/exifpatch.h"

#include <cstring>

namespace exifpatch {
namespace {

constexpr std::uint16_t TagOrientation = 0x0112;
constexpr std::uint16_t TagExifIfd = 0x8769;
constexpr std::uint16_t TagPixelXDimension = 0xA002;
constexpr std::uint16_t TagPixelYDimension = 0xA003;
constexpr std::uint16_t TypeShort = 3;
constexpr std::uint16_t TypeLong = 4;

// Reads and writes numbers inside one TIFF block in its byte order. Every access is
// bounds-checked; a failed check returns false and leaves the bytes alone.
class TiffBlock
{
public:
    TiffBlock(std::uint8_t *data, std::size_t size, bool bigEndian)
        : m_data(data), m_size(size), m_bigEndian(bigEndian)
    {
    }

    bool fits(std::size_t offset, std::size_t length) const
    {
        return offset <= m_size && length <= m_size - offset;
    }

    bool read16(std::size_t offset, std::uint16_t &value) const
    {
        if (!fits(offset, 2))
            return false;
        const std::uint8_t *p = m_data + offset;
        value = m_bigEndian ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
        return true;
    }

    bool read32(std::size_t offset, std::uint32_t &value) const
    {
        if (!fits(offset, 4))
            return false;
        const std::uint8_t *p = m_data + offset;
        value = m_bigEndian ? (std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 |
                               std::uint32_t(p[2]) << 8 | p[3])
                            : (std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 |
                               std::uint32_t(p[1]) << 8 | p[0]);
        return true;
    }

    bool write16(std::size_t offset, std::uint16_t value)
    {
        if (!fits(offset, 2))
            return false;
        std::uint8_t *p = m_data + offset;
        p[m_bigEndian ? 0 : 1] = std::uint8_t(value >> 8);
        p[m_bigEndian ? 1 : 0] = std::uint8_t(value);
        return true;
    }

    bool write32(std::size_t offset, std::uint32_t value)
    {
        if (!fits(offset, 4))
            return false;
        std::uint8_t *p = m_data + offset;
        for (int i = 0; i < 4; ++i) {
            const int shift = m_bigEndian ? 24 - 8 * i : 8 * i;
            p[i] = std::uint8_t(value >> shift);
        }
        return true;
    }

    // Directory at offset: a 16-bit entry count, then 12-byte entries
    //   tag (16) | type (16) | count (32) | value or offset (32)
    // Returns the offset of the entry with the tag, or 0 when there is none.
    std::size_t findEntry(std::size_t ifdOffset, std::uint16_t tag) const
    {
        std::uint16_t count = 0;
        if (ifdOffset == 0 || !read16(ifdOffset, count))
            return 0;
        const std::size_t first = ifdOffset + 2;
        if (!fits(first, std::size_t(count) * 12))
            return 0;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t entry = first + i * 12;
            std::uint16_t entryTag = 0;
            read16(entry, entryTag);
            if (entryTag == tag)
                return entry;
        }
        return 0;
    }

    // Writes a single SHORT or LONG value held inside the entry itself.
    bool writeScalar(std::size_t entry, std::uint32_t value)
    {
        std::uint16_t type = 0;
        std::uint32_t count = 0;
        if (!read16(entry + 2, type) || !read32(entry + 4, count) || count != 1)
            return false;
        if (type == TypeShort) {
            if (value > 0xFFFF)
                return false;
            return write16(entry + 8, std::uint16_t(value));
        }
        if (type == TypeLong)
            return write32(entry + 8, value);
        return false;
    }

private:
    std::uint8_t *m_data;
    std::size_t m_size;
    bool m_bigEndian;
};

PatchResult patchTiff(std::uint8_t *data, std::size_t size, std::uint32_t width,
                      std::uint32_t height)
{
    PatchResult result;
    // TIFF header: "II" or "MM", 42, offset of the main directory (from the header start).
    if (size < 8)
        return result;
    bool bigEndian = false;
    if (data[0] == 'M' && data[1] == 'M')
        bigEndian = true;
    else if (!(data[0] == 'I' && data[1] == 'I'))
        return result;
    TiffBlock tiff(data, size, bigEndian);
    std::uint16_t magic = 0;
    std::uint32_t ifd0 = 0;
    if (!tiff.read16(2, magic) || magic != 42 || !tiff.read32(4, ifd0))
        return result;
    result.exifFound = true;

    if (std::size_t entry = tiff.findEntry(ifd0, TagOrientation))
        result.orientationSet = tiff.writeScalar(entry, 1);

    std::uint32_t exifIfd = 0;
    if (std::size_t entry = tiff.findEntry(ifd0, TagExifIfd);
        entry && tiff.read32(entry + 8, exifIfd)) {
        const std::size_t xEntry = tiff.findEntry(exifIfd, TagPixelXDimension);
        const std::size_t yEntry = tiff.findEntry(exifIfd, TagPixelYDimension);
        if (xEntry && yEntry) {
            // Both or neither: check that both values fit before writing one of them.
            std::uint16_t xType = 0, yType = 0;
            tiff.read16(xEntry + 2, xType);
            tiff.read16(yEntry + 2, yType);
            const bool xFits = xType == TypeLong || (xType == TypeShort && width <= 0xFFFF);
            const bool yFits = yType == TypeLong || (yType == TypeShort && height <= 0xFFFF);
            if (xFits && yFits)
                result.dimensionsSet =
                    tiff.writeScalar(xEntry, width) && tiff.writeScalar(yEntry, height);
        }
    }
    return result;
}

// The TIFF block inside a header's byte order check: true when data starts "II" or "MM"
// with the magic number 42; ifd0 receives the main directory's offset.
bool openTiff(std::uint8_t *data, std::size_t size, bool &bigEndian, std::uint32_t &ifd0)
{
    if (size < 8)
        return false;
    if (data[0] == 'M' && data[1] == 'M')
        bigEndian = true;
    else if (data[0] == 'I' && data[1] == 'I')
        bigEndian = false;
    else
        return false;
    TiffBlock tiff(data, size, bigEndian);
    std::uint16_t magic = 0;
    return tiff.read16(2, magic) && magic == 42 && tiff.read32(4, ifd0);
}

} // namespace

ExifSegment findExifSegment(const std::uint8_t *data, std::size_t size)
{
    // JPEG: FF D8, then segments FF <marker> <16-bit big-endian length counting itself>
    // <length - 2 data bytes>, up to the first scan (FF DA) or the end of image (FF D9).
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return {};
    std::size_t pos = 2;
    while (pos < size) {
        if (data[pos] != 0xFF)
            return {};
        while (pos < size && data[pos] == 0xFF)
            ++pos;
        if (pos >= size)
            return {};
        const std::size_t markerAt = pos - 1;
        const std::uint8_t marker = data[pos++];
        if (marker == 0xDA || marker == 0xD9)
            return {};
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // markers without a length
        if (size - pos < 2)
            return {};
        const std::size_t length = std::size_t(data[pos]) << 8 | data[pos + 1];
        if (length < 2 || length - 2 > size - pos - 2)
            return {};
        const std::uint8_t *segment = data + pos + 2;
        const std::size_t segmentSize = length - 2;
        if (marker == 0xE1 && segmentSize >= 6 && std::memcmp(segment, "Exif\0\0", 6) == 0) {
            ExifSegment found;
            found.found = true;
            found.markerOffset = markerAt;
            found.tiffOffset = pos + 2 + 6;
            found.tiffSize = segmentSize - 6;
            return found;
        }
        pos += length;
    }
    return {};
}

int readOrientation(const std::uint8_t *data, std::size_t size)
{
    const ExifSegment exif = findExifSegment(data, size);
    if (!exif.found)
        return 0;
    // The reader never writes; the block type only offers one pointer kind.
    auto *tiffData = const_cast<std::uint8_t *>(data + exif.tiffOffset);
    bool bigEndian = false;
    std::uint32_t ifd0 = 0;
    if (!openTiff(tiffData, exif.tiffSize, bigEndian, ifd0))
        return 0;
    TiffBlock tiff(tiffData, exif.tiffSize, bigEndian);
    const std::size_t entry = tiff.findEntry(ifd0, TagOrientation);
    std::uint16_t type = 0, value = 0;
    std::uint32_t wide = 0;
    if (!entry || !tiff.read16(entry + 2, type))
        return 0;
    if (type == TypeShort)
        return tiff.read16(entry + 8, value) ? value : 0;
    if (type == TypeLong)
        return tiff.read32(entry + 8, wide) && wide <= 0xFFFF ? int(wide) : 0;
    return 0;
}

bool writeOrientation(std::uint8_t *data, std::size_t size, std::uint16_t value)
{
    const ExifSegment exif = findExifSegment(data, size);
    if (!exif.found)
        return false;
    std::uint8_t *tiffData = data + exif.tiffOffset;
    bool bigEndian = false;
    std::uint32_t ifd0 = 0;
    if (!openTiff(tiffData, exif.tiffSize, bigEndian, ifd0))
        return false;
    TiffBlock tiff(tiffData, exif.tiffSize, bigEndian);
    const std::size_t entry = tiff.findEntry(ifd0, TagOrientation);
    return entry && tiff.writeScalar(entry, value);
}

ThumbnailLocation findThumbnail(const std::uint8_t *data, std::size_t size)
{
    ThumbnailLocation where;
    const ExifSegment exif = findExifSegment(data, size);
    if (!exif.found)
        return where;
    auto *tiffData = const_cast<std::uint8_t *>(data + exif.tiffOffset);
    bool bigEndian = false;
    std::uint32_t ifd0 = 0;
    if (!openTiff(tiffData, exif.tiffSize, bigEndian, ifd0))
        return where;
    TiffBlock tiff(tiffData, exif.tiffSize, bigEndian);
    // The next-directory link after the main directory's entries leads to IFD1.
    std::uint16_t count = 0;
    std::uint32_t ifd1 = 0;
    if (!tiff.read16(ifd0, count) ||
        !tiff.read32(std::size_t(ifd0) + 2 + std::size_t(count) * 12, ifd1) || ifd1 == 0)
        return where;
    const std::size_t offsetEntry = tiff.findEntry(ifd1, 0x0201); // JPEGInterchangeFormat
    const std::size_t lengthEntry = tiff.findEntry(ifd1, 0x0202); // ...Length
    std::uint32_t offset = 0, length = 0;
    std::uint16_t offsetType = 0, lengthType = 0;
    if (!offsetEntry || !lengthEntry || !tiff.read16(offsetEntry + 2, offsetType) ||
        !tiff.read16(lengthEntry + 2, lengthType) || offsetType != TypeLong ||
        lengthType != TypeLong || !tiff.read32(offsetEntry + 8, offset) ||
        !tiff.read32(lengthEntry + 8, length) || length == 0 || !tiff.fits(offset, length))
        return where;
    where.found = true;
    where.segment = exif;
    where.bigEndian = bigEndian;
    where.offsetValueAt = offsetEntry + 8;
    where.lengthValueAt = lengthEntry + 8;
    where.thumbnailOffset = offset;
    where.thumbnailLength = length;
    return where;
}

PatchResult patchAfterRotation(std::uint8_t *data, std::size_t size, std::uint32_t width,
                               std::uint32_t height)
{
    const ExifSegment exif = findExifSegment(data, size);
    if (!exif.found)
        return {};
    return patchTiff(data + exif.tiffOffset, exif.tiffSize, width, height);
}

} // namespace exifpatch
