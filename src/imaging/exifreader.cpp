#include "imaging/exifreader.h"

#include "imaging/exiftags.h"
#include "imaging/exifvalues.h"
#include "imaging/makernote.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstring>

namespace {

// Limits that keep a damaged or hostile block from making the reader slow.
constexpr int maxDirectoryDepth = 8;
constexpr int maxDirectories = 64;
constexpr int maxEntries = 20000;
constexpr quint32 maxPointersPerTag = 16;

// JPEG walk limits: sections counted, fill bytes before a marker.
constexpr int maxSections = 20;
constexpr int maxFillBytes = 65536;

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

const char xmpSignature[] = "http://ns.adobe.com/xap/1.0/"; // followed by a zero byte

} // namespace

// Reads the directories of one block into the found-tag list of a TImageInfo.
class TExifDirectoryReader
{
public:
    explicit TExifDirectoryReader(TImageInfo &info)
        : m_info(info),
          m_bytes(reinterpret_cast<const uchar *>(info.m_block.constData()) + info.m_tiffStart,
                  quint32(info.m_block.size()) - info.m_tiffStart,
                  info.m_byteOrder == TByteOrder::BigEndian)
    {
    }

    void readAll(quint32 firstDirectory)
    {
        // The directory that follows the first one (the thumbnail's) is not read.
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

    void addEntry(quint16 tag, const TExifValueRef &value, quint32 byteCount, Kind kind)
    {
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
        m_info.m_tags.append(std::move(e));
    }

    const TTagEntry *tagByNumber(quint16 tag) const
    {
        for (const TTagEntry &e : m_info.m_tags) {
            if (e.Tag == tag && e.Format != 0)
                return &e;
        }
        return nullptr;
    }

    double numberOf(quint16 tag) const
    {
        const TTagEntry *e = tagByNumber(tag);
        return e ? e->Number : 0.0;
    }

    // Without a FocalLengthin35mmFilm tag, the 35 mm focal length is computed from the
    // focal length and the sensor size that the focal-plane resolution gives:
    // f × 43.26661531 ÷ sensor diagonal (43.27 mm is the diagonal of a 36 × 24 mm frame).
    void addFocalLength35mm()
    {
        if (tagByNumber(tagFocalLength35mm))
            return;
        double unit = numberOf(tagFocalPlaneResolutionUnit);
        if (unit < 1)
            unit = numberOf(tagResolutionUnit);
        const double mmPerUnit = unit == 2 ? 25.4 : unit == 3 ? 10.0 : 0.0;
        const double f = numberOf(tagFocalLength);
        if (mmPerUnit == 0 || f == 0)
            return;
        const double x = std::nearbyint(numberOf(tagFocalPlaneXResolution));
        const double y = std::nearbyint(numberOf(tagFocalPlaneYResolution));
        const double width = std::nearbyint(
            tagByNumber(tagExifImageWidth) ? numberOf(tagExifImageWidth) : numberOf(tagImageWidth));
        const double length =
            std::nearbyint(tagByNumber(tagExifImageLength) ? numberOf(tagExifImageLength)
                                                           : numberOf(tagImageLength));
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
    TExifBytes m_bytes;
    QList<quint32> m_visited;
    int m_directoriesRead = 0;
    int m_entriesRead = 0;
    quint32 m_makerNoteOffset = 0;
    quint32 m_makerNoteSize = 0;
    bool m_haveDateTimeOriginal = false;
    QLatin1String m_failure;
};

void TImageInfo::readTiffStructure()
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
    TExifDirectoryReader(*this).readAll(first == 0 ? 8 : first);
}

TImageInfo TImageInfo::fromExifSection(const QByteArray &app1Data)
{
    // APP1 data: "Exif", 0, a pad byte, then the TIFF header.
    TImageInfo info;
    info.m_block = app1Data;
    if (app1Data.size() < 6 || std::memcmp(app1Data.constData(), "Exif\0", 5) != 0) {
        info.m_status = ExifStatus::IncorrectHeader;
        return info;
    }
    info.m_tiffStart = 6;
    info.readTiffStructure();
    return info;
}

TImageInfo TImageInfo::fromTiff(const QByteArray &tiffWindow)
{
    TImageInfo info;
    info.m_block = tiffWindow;
    info.m_tiffStart = 0;
    info.readTiffStructure();
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

TImageFileKind imageFileKindForPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg") ||
        suffix == QLatin1String("jpe"))
        return TImageFileKind::Jpeg;
    if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff") ||
        suffix == QLatin1String("nef"))
        return TImageFileKind::Tiff;
    return TImageFileKind::Other;
}

void TimgData::reset()
{
    Sections.clear();
    ExifInfo.reset();
    IptcInfo.reset();
    Comment.clear();
    JfifData.clear();
}

bool TimgData::readFile(const QString &path)
{
    reset();
    FileName = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    readDevice(file, imageFileKindForPath(path));
    return true;
}

void TimgData::readBuffer(const QByteArray &bytes, TImageFileKind kind)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    readDevice(buffer, kind);
}

void TimgData::readDevice(QIODevice &device, TImageFileKind kind)
{
    reset();
    switch (kind) {
    case TImageFileKind::Jpeg:
        readJpeg(device);
        break;
    case TImageFileKind::Tiff:
        readTiff(device);
        break;
    case TImageFileKind::Other:
        break;
    }
}

namespace {

// Reads size bytes of section data; on a short read keeps what was there and clears
// complete.
QByteArray readSectionData(QIODevice &device, quint16 size, bool &complete)
{
    QByteArray data(size, Qt::Uninitialized);
    const qint64 got = size ? device.read(data.data(), size) : 0;
    complete = got == size;
    if (!complete)
        data.resize(got > 0 ? got : 0);
    return data;
}

bool skipSectionData(QIODevice &device, quint16 size)
{
    return size == 0 || device.skip(size) == size;
}

bool isXmpSection(const QByteArray &data)
{
    return data.size() >= qsizetype(sizeof xmpSignature) &&
           std::memcmp(data.constData(), xmpSignature, sizeof xmpSignature) == 0;
}

} // namespace

void TimgData::readJpeg(QIODevice &device)
{
    // Start of image: 0xFF 0xD8. Then sections: fill bytes 0xFF, the marker byte, a
    // big-endian 16-bit length that counts itself, length - 2 bytes of data.
    char soi[2];
    if (device.read(soi, 2) != 2 || uchar(soi[0]) != 0xFF || uchar(soi[1]) != 0xD8)
        return;

    int counted = 0;
    bool foundInFirstFour = false; // an EXIF block, IPTC block or comment
    while (counted < maxSections) {
        char c = 0;
        int fill = 0;
        do {
            if (!device.getChar(&c))
                return;
        } while (uchar(c) == 0xFF && ++fill < maxFillBytes);
        const auto marker = quint8(c);
        if (marker == 0xFF || marker == 0xD9 || marker == 0xDA) // too much fill, end, scan
            return;

        uchar lengthBytes[2];
        if (device.read(reinterpret_cast<char *>(lengthBytes), 2) != 2)
            return;
        const quint16 length = quint16(lengthBytes[0] << 8 | lengthBytes[1]);
        if (length < 2)
            return;
        const quint16 size = length - 2;
        const qint64 dataOffset = device.pos();
        bool complete = true;

        if (marker == 0xE1) {
            // An APP1 section is the EXIF block only among the first five sections and
            // only once; other APP1 sections (and XMP packets, which share the marker) are
            // dropped and not counted.
            if (counted + 1 > 5 || ExifInfo) {
                if (!skipSectionData(device, size))
                    return;
                continue;
            }
            const QByteArray data = readSectionData(device, size, complete);
            if (isXmpSection(data)) {
                if (!complete)
                    return;
                continue;
            }
            if (++counted == 5 && !foundInFirstFour)
                return;
            Sections.append({marker, dataOffset, size});
            ExifInfo = TImageInfo::fromExifSection(data);
            foundInFirstFour = foundInFirstFour || counted <= 4;
            if (!complete)
                return;
            continue;
        }

        // A fifth section after four without EXIF, IPTC or comment ends the walk.
        if (++counted == 5 && !foundInFirstFour)
            return;
        Sections.append({marker, dataOffset, size});
        switch (marker) {
        case 0xED:
            if (IptcInfo) {
                complete = skipSectionData(device, size);
            } else {
                IptcInfo = TIPTCdata::fromSection(readSectionData(device, size, complete));
                foundInFirstFour = foundInFirstFour || counted <= 4;
            }
            break;
        case 0xFE:
            Comment = readSectionData(device, size, complete);
            foundInFirstFour = foundInFirstFour || counted <= 4;
            break;
        case 0xE0:
            JfifData = readSectionData(device, size, complete);
            break;
        default:
            complete = skipSectionData(device, size);
            break;
        }
        if (!complete)
            return;
    }
}

void TimgData::readTiff(QIODevice &device)
{
    // The 8-byte header and at most TiffWindowBytes after it; offsets are file offsets.
    const QByteArray window = device.read(8 + TiffWindowBytes);
    if (window.size() < 2 || !(window.startsWith("II") || window.startsWith("MM")))
        return;
    ExifInfo = TImageInfo::fromTiff(window);
}
