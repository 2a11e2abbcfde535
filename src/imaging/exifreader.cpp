#include "imaging/exifreader.h"

#include "imaging/exiftags.h"
#include "imaging/exifvalues.h"
#include "imaging/makernote.h"

#include <array>
#include <cmath>
#include <cstring>

namespace {

// Limits that keep a damaged or hostile block from making the reader slow.
constexpr int maxDirectoryDepth = 8;
constexpr int maxDirectories = 64;
constexpr int maxEntries = 20000;
constexpr quint32 maxPointersPerTag = 16;

constexpr quint16 tagMake = 0x010F;
constexpr quint16 tagModel = 0x0110;
constexpr quint16 tagDateTime = 0x0132;
constexpr quint16 tagDateTimeOriginal = 0x9003;
constexpr quint16 tagExifDirectory = 0x8769;
constexpr quint16 tagInteropDirectory = 0xA005;
constexpr quint16 tagSubDirectories = 0x014A;
constexpr quint16 tagGpsDirectory = 0x8825;
constexpr quint16 tagMakerNote = 0x927C;
constexpr quint16 tagImageWidth = 0x0100;
constexpr quint16 tagImageLength = 0x0101;
constexpr quint16 tagResolutionUnit = 0x0128;
constexpr quint16 tagFocalLength = 0x920A;
constexpr quint16 tagExifImageWidth = 0xA002;
constexpr quint16 tagExifImageLength = 0xA003;
constexpr quint16 tagFocalPlaneXResolution = 0xA20E;
constexpr quint16 tagFocalPlaneYResolution = 0xA20F;
constexpr quint16 tagFocalPlaneResolutionUnit = 0xA210;
constexpr quint16 tagFocalLength35mm = 0xA405;

constexpr int makeLength = 32;
constexpr int modelLength = 40;
constexpr int dateTimeLength = 20;

} // namespace

// Reads the directories of one block into the found-tag list of a TImageInfo.
class TExifDirectoryReader
{
public:
    TExifDirectoryReader(TImageInfo &info, TExifScope scope)
        : m_info(info), m_recordTagsOnly(scope == TExifScope::RecordTags),
          m_bytes(reinterpret_cast<const uchar *>(info.m_block.constData()) + info.m_tiffStart,
                  quint32(info.m_block.size()) - info.m_tiffStart,
                  info.m_byteOrder == TByteOrder::BigEndian)
    {
    }

    void readAll(quint32 firstDirectory)
    {
        // The directory that follows the first one (the thumbnail's) is not read.
        m_info.m_tags.reserve(64);
        readDirectory(firstDirectory, Kind::Main, 0);
        if (m_makerNoteSize > 0)
            TmsInfo::decode(m_info, m_makerNoteOffset, m_makerNoteSize);
        addFocalLength35mm();
        m_info.m_status = m_failure.size() ? m_failure : ExifStatus::Ok;
    }

private:
    enum class Kind
    {
        Main,
        Exif,
        Interop,
        Sub,
        Gps
    };

    void fail(QLatin1String status)
    {
        if (m_failure.isEmpty())
            m_failure = status;
    }

    // Directory: entry count (16 bits), then 12-byte entries:
    //   +0 tag (16 bits)  +2 format (16 bits)  +4 count (32 bits)  +8 value or offset (32 bits)
    // Values of up to 4 bytes lie in the entry itself, longer ones at the offset.
    void readDirectory(quint32 offset, Kind kind, int depth)
    {
        if (depth > maxDirectoryDepth || m_directoriesRead >= maxDirectories ||
            m_visited.contains(offset)) {
            fail(ExifStatus::IllegalConstruction);
            return;
        }
        m_visited.append(offset);
        ++m_directoriesRead;

        quint16 count = 0;
        if (!m_bytes.u16(offset, count)) {
            fail(ExifStatus::IllegalConstruction);
            return;
        }
        const quint32 first = offset + 2; // cannot overflow: offset + 2 <= size
        if (!m_bytes.contains(first, quint64(count) * 12)) {
            fail(ExifStatus::IllegalDirectorySize);
            return;
        }

        for (quint32 i = 0; i < count; ++i) {
            if (++m_entriesRead > maxEntries) {
                fail(ExifStatus::IllegalConstruction);
                return;
            }
            const quint32 entry = first + i * 12;
            const uchar *p = m_bytes.data() + entry;
            const quint16 tag = m_bytes.get16(p);
            const quint16 format = m_bytes.get16(p + 2);
            const quint32 valueCount = m_bytes.get32(p + 4);
            const int size = exifFormatSize(format);
            if (size == 0)
                continue;
            const quint64 byteCount = quint64(valueCount) * size;
            const quint32 valueAt = byteCount <= 4 ? entry + 8 : m_bytes.get32(p + 8);
            if (!m_bytes.contains(valueAt, byteCount)) {
                fail(ExifStatus::IllegalConstruction);
                continue;
            }
            addEntry(tag, {format, valueCount, valueAt}, quint32(byteCount), kind);

            if (kind == Kind::Gps)
                continue;
            switch (tag) {
            case tagExifDirectory:
                followPointers({format, valueCount, valueAt}, Kind::Exif, depth);
                break;
            case tagInteropDirectory:
                followPointers({format, valueCount, valueAt}, Kind::Interop, depth);
                break;
            case tagSubDirectories:
                followPointers({format, valueCount, valueAt}, Kind::Sub, depth);
                break;
            case tagGpsDirectory:
                followPointers({format, valueCount, valueAt}, Kind::Gps, depth);
                break;
            case tagMakerNote:
                m_makerNoteOffset = valueAt;
                m_makerNoteSize = quint32(byteCount);
                break;
            default:
                break;
            }
        }
    }

    void followPointers(const TExifValueRef &value, Kind kind, int depth)
    {
        if (value.format != 3 && value.format != 4) {
            fail(ExifStatus::IllegalConstruction);
            return;
        }
        const quint32 n = qMin(value.count, maxPointersPerTag);
        for (quint32 i = 0; i < n; ++i) {
            const auto target = quint32(exifIntegerAt(m_bytes, value, i));
            if (target != 0)
                readDirectory(target, kind, depth + 1);
        }
    }

    // The tags a list entry's record is filled from (by name, see fillJpegDataFromImage);
    // each name belongs to exactly one tag of the standard table.
    static bool isRecordTag(quint16 tag)
    {
        switch (tag) {
        case tagMake:
        case tagModel:
        case tagDateTime:
        case tagDateTimeOriginal:
        case tagFocalLength:
        case tagFocalLength35mm:
        case tagExifImageWidth:
        case tagExifImageLength:
        case 0x0112: // Orientation
        case 0x829A: // ExposureTime
        case 0x829D: // FNumber
        case 0x8827: // ISOSpeedRatings
        case 0x9204: // ExposureBiasValue
        case 0x9207: // MeteringMode
        case 0x9209: // Flash
        case 0x9290: // SubSecTime
        case 0x9291: // SubSecTimeOriginal
        case 0xA001: // ColorSpace
            return true;
        default:
            return false;
        }
    }

    void addEntry(quint16 tag, const TExifValueRef &value, quint32 byteCount, Kind kind)
    {
        if (m_recordTagsOnly && (kind == Kind::Gps || !isRecordTag(tag))) {
            noteNumber(tag, exifFirstNumber(m_bytes, value));
            return;
        }
        const TExifTagInfo *known = kind == Kind::Gps ? findGpsTag(tag) : findStandardTag(tag);
        TTagEntry e;
        e.Tag = tag;
        e.Format = value.format;
        e.Count = value.count;
        e.Size = byteCount;
        e.Offset = value.offset;
        e.Number = exifFirstNumber(m_bytes, value);
        if (known) {
            e.Name = QLatin1String(known->name);
            e.Desc = QLatin1String(known->description);
            e.ValueList = known->valueList;
            e.Data = exifValueText(m_bytes, value,
                                   {known->valueList, known->formatText, known->flashRule});
        } else {
            e.Name = QLatin1String("Unknown");
            e.Desc = QLatin1String("Unknown");
            e.Data = exifValueText(m_bytes, value, {});
        }

        if (kind != Kind::Gps) {
            // The fixed fields. DateTimeOriginal wins over DateTime in whatever order the
            // directories hold them.
            switch (tag) {
            case tagMake:
                m_info.CameraMake = e.Data.left(makeLength);
                break;
            case tagModel:
                m_info.CameraModel = e.Data.left(modelLength);
                break;
            case tagDateTime:
                if (!m_haveDateTimeOriginal)
                    m_info.DateTime = e.Data.left(dateTimeLength);
                break;
            case tagDateTimeOriginal:
                m_info.DateTime = e.Data.left(dateTimeLength);
                m_haveDateTimeOriginal = true;
                break;
            default:
                break;
            }
        }
        noteNumber(tag, e.Number);
        m_info.m_tags.append(std::move(e));
    }

    // The first values of the tags that the 35 mm computation needs, noted as they are
    // found.
    enum Slot
    {
        slotResolutionUnit,
        slotFocalLength,
        slotImageWidth,
        slotImageLength,
        slotExifImageWidth,
        slotExifImageLength,
        slotFocalPlaneX,
        slotFocalPlaneY,
        slotFocalPlaneUnit,
        slotFocalLength35mm,
        slotCount
    };

    static int slotOf(quint16 tag)
    {
        switch (tag) {
        case tagResolutionUnit:
            return slotResolutionUnit;
        case tagFocalLength:
            return slotFocalLength;
        case tagImageWidth:
            return slotImageWidth;
        case tagImageLength:
            return slotImageLength;
        case tagExifImageWidth:
            return slotExifImageWidth;
        case tagExifImageLength:
            return slotExifImageLength;
        case tagFocalPlaneXResolution:
            return slotFocalPlaneX;
        case tagFocalPlaneYResolution:
            return slotFocalPlaneY;
        case tagFocalPlaneResolutionUnit:
            return slotFocalPlaneUnit;
        case tagFocalLength35mm:
            return slotFocalLength35mm;
        default:
            return -1;
        }
    }

    void noteNumber(quint16 tag, double number)
    {
        const int slot = slotOf(tag);
        if (slot >= 0 && !m_found[slot]) {
            m_found[slot] = true;
            m_numbers[slot] = number;
        }
    }

    // The first value of a tag as a number; 0 when the tag is missing.
    double numberOf(Slot slot) const { return m_found[slot] ? m_numbers[slot] : 0.0; }

    // Without a FocalLengthin35mmFilm tag, the 35 mm focal length is computed from the
    // focal length and the sensor size that the focal-plane resolution gives:
    // f × 43.26661531 ÷ sensor diagonal (43.27 mm is the diagonal of a 36 × 24 mm frame).
    void addFocalLength35mm()
    {
        if (m_found[slotFocalLength35mm])
            return;
        double unit = numberOf(slotFocalPlaneUnit);
        if (unit < 1)
            unit = numberOf(slotResolutionUnit);
        const double mmPerUnit = unit == 2 ? 25.4 : unit == 3 ? 10.0 : 0.0;
        const double f = numberOf(slotFocalLength);
        if (mmPerUnit == 0 || f == 0)
            return;
        const double x = std::nearbyint(numberOf(slotFocalPlaneX));
        const double y = std::nearbyint(numberOf(slotFocalPlaneY));
        const double width = std::nearbyint(
            m_found[slotExifImageWidth] ? numberOf(slotExifImageWidth) : numberOf(slotImageWidth));
        const double length =
            std::nearbyint(m_found[slotExifImageLength] ? numberOf(slotExifImageLength)
                                                        : numberOf(slotImageLength));
        const double sensorWidth = x > 0 ? width * mmPerUnit / x : 0.0;
        const double sensorHeight = y > 0 ? length * mmPerUnit / y : 0.0;
        if (!(sensorWidth * sensorHeight > 0))
            return;
        const double focal35 =
            f * 43.26661531 / std::sqrt(sensorWidth * sensorWidth + sensorHeight * sensorHeight);
        const TExifTagInfo *known = findStandardTag(tagFocalLength35mm);
        TTagEntry e;
        e.Tag = tagFocalLength35mm;
        e.Name = QLatin1String(known->name);
        e.Desc = QLatin1String(known->description);
        e.Data = QString::asprintf("%5.2f", focal35) + QLatin1String(" mm");
        e.Number = focal35;
        m_info.m_tags.append(std::move(e));
    }

    TImageInfo &m_info;
    const bool m_recordTagsOnly;
    TExifBytes m_bytes;
    QList<quint32> m_visited;
    int m_directoriesRead = 0;
    int m_entriesRead = 0;
    quint32 m_makerNoteOffset = 0;
    quint32 m_makerNoteSize = 0;
    bool m_haveDateTimeOriginal = false;
    QLatin1String m_failure;
    std::array<double, slotCount> m_numbers{};
    std::array<bool, slotCount> m_found{};
};

void TImageInfo::readTiffStructure(TExifScope scope)
{
    // TIFF header: "II" (little-endian) or "MM" (big-endian), 42 (16 bits), then the
    // offset of the first directory (32 bits, relative to the header; 0 counts as 8).
    const quint32 size = quint32(m_block.size()) - m_tiffStart;
    const char *header = m_block.constData() + m_tiffStart;
    if (size < 2 ||
        !((header[0] == 'I' && header[1] == 'I') || (header[0] == 'M' && header[1] == 'M'))) {
        m_status = ExifStatus::InvalidAlignment;
        return;
    }
    m_byteOrder = header[0] == 'M' ? TByteOrder::BigEndian : TByteOrder::LittleEndian;
    m_headerValid = true;

    const TExifBytes bytes(reinterpret_cast<const uchar *>(header), size,
                           m_byteOrder == TByteOrder::BigEndian);
    quint32 first = 0;
    if (!bytes.u32(4, first)) {
        m_status = ExifStatus::IllegalConstruction;
        return;
    }
    TExifDirectoryReader(*this, scope).readAll(first == 0 ? 8 : first);
}

TImageInfo TImageInfo::fromExifSection(const QByteArray &app1Data, TExifScope scope)
{
    // APP1 data: "Exif", 0, a pad byte, then the TIFF header.
    TImageInfo info;
    info.m_block = app1Data;
    if (app1Data.size() < 6 || std::memcmp(app1Data.constData(), "Exif\0", 5) != 0) {
        info.m_status = ExifStatus::IncorrectHeader;
        return info;
    }
    info.m_tiffStart = 6;
    info.readTiffStructure(scope);
    return info;
}

TImageInfo TImageInfo::fromTiff(const QByteArray &tiffWindow, TExifScope scope)
{
    TImageInfo info;
    info.m_block = tiffWindow;
    info.m_tiffStart = 0;
    info.readTiffStructure(scope);
    return info;
}

const TTagEntry *TImageInfo::findTag(QStringView name) const
{
    if (name.isEmpty())
        return nullptr;
    for (const TTagEntry &e : m_tags) {
        if (QLatin1String(e.Name).compare(name, Qt::CaseInsensitive) == 0)
            return &e;
    }
    return nullptr;
}

QString TImageInfo::lookup(QStringView name) const
{
    const TTagEntry *e = findTag(name);
    return e ? e->Data : QString();
}

QByteArray TImageInfo::rawBytes(const TTagEntry &entry) const
{
    const quint32 size = quint32(m_block.size()) - m_tiffStart;
    if (entry.Format == 0 || entry.Offset > size || entry.Size > size - entry.Offset)
        return {};
    return m_block.mid(qsizetype(m_tiffStart) + entry.Offset, entry.Size);
}
