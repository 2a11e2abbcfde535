// The file walk of the EXIF reader: JPEG sections up to the start of the scan, or the
// header window of a TIFF file.
#include "imaging/bytesource.h"
#include "imaging/exifreader.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace {

// Sections counted, fill bytes allowed before a marker.
constexpr int maxSections = 20;
constexpr int maxFillBytes = 65536;

const char xmpSignature[] = "http://ns.adobe.com/xap/1.0/"; // followed by a zero byte

} // namespace

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
    TFileSource file;
    if (file.open(path) != TFileSource::OpenResult::Opened)
        return false;
    readSource(file, imageFileKindForPath(path));
    return true;
}

void TimgData::readBuffer(const QByteArray &bytes, TImageFileKind kind)
{
    TMemorySource source(bytes);
    readSource(source, kind);
}

void TimgData::readDevice(QIODevice &device, TImageFileKind kind)
{
    TDeviceSource source(device);
    readSource(source, kind);
}

void TimgData::readSource(TByteSource &source, TImageFileKind kind)
{
    reset();
    TByteStream stream(source);
    switch (kind) {
    case TImageFileKind::Jpeg:
        readJpeg(stream);
        break;
    case TImageFileKind::Tiff:
        readTiff(stream);
        break;
    case TImageFileKind::Other:
        break;
    }
}

namespace {

// Reads size bytes of section data; on a short read keeps what was there and clears
// complete.
QByteArray readSectionData(TByteStream &stream, quint16 size, bool &complete)
{
    QByteArray data(size, Qt::Uninitialized);
    const qint64 got = size ? stream.read(data.data(), size) : 0;
    complete = got == size;
    if (!complete)
        data.resize(got);
    return data;
}

bool isXmpSection(const QByteArray &data)
{
    return data.size() >= qsizetype(sizeof xmpSignature) &&
           std::memcmp(data.constData(), xmpSignature, sizeof xmpSignature) == 0;
}

} // namespace

void TimgData::readJpeg(TByteStream &stream)
{
    // Start of image: 0xFF 0xD8. Then sections: fill bytes 0xFF, the marker byte, a
    // big-endian 16-bit length that counts itself, length - 2 bytes of data.
    uchar soi0 = 0;
    uchar soi1 = 0;
    if (!stream.getByte(soi0) || !stream.getByte(soi1) || soi0 != 0xFF || soi1 != 0xD8)
        return;

    int counted = 0;
    bool foundInFirstFour = false; // an EXIF block, IPTC block or comment
    while (counted < maxSections) {
        uchar marker = 0;
        int fill = 0;
        do {
            if (!stream.getByte(marker))
                return;
        } while (marker == 0xFF && ++fill < maxFillBytes);
        if (marker == 0xFF || marker == 0xD9 || marker == 0xDA) // too much fill, end, scan
            return;

        uchar high = 0;
        uchar low = 0;
        if (!stream.getByte(high) || !stream.getByte(low))
            return;
        const quint16 length = quint16(high << 8 | low);
        if (length < 2)
            return;
        const quint16 size = length - 2;
        const qint64 dataOffset = stream.pos();
        bool complete = true;

        if (marker == 0xE1) {
            // An APP1 section is the EXIF block only among the first five sections and
            // only once; other APP1 sections (and XMP packets, which share the marker) are
            // dropped and not counted.
            if (counted + 1 > 5 || ExifInfo) {
                if (!stream.skip(size))
                    return;
                continue;
            }
            const QByteArray data = readSectionData(stream, size, complete);
            if (isXmpSection(data)) {
                if (!complete)
                    return;
                continue;
            }
            if (++counted == 5 && !foundInFirstFour)
                return;
            Sections.append({marker, dataOffset, size});
            ExifInfo = TImageInfo::fromExifSection(data, Scope);
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
                complete = stream.skip(size);
            } else {
                IptcInfo = TIPTCdata::fromSection(readSectionData(stream, size, complete));
                foundInFirstFour = foundInFirstFour || counted <= 4;
            }
            break;
        case 0xFE:
            Comment = readSectionData(stream, size, complete);
            foundInFirstFour = foundInFirstFour || counted <= 4;
            break;
        case 0xE0:
            JfifData = readSectionData(stream, size, complete);
            break;
        default:
            complete = stream.skip(size);
            break;
        }
        if (!complete)
            return;
    }
}

void TimgData::readTiff(TByteStream &stream)
{
    // The 8-byte header and at most TiffWindowBytes after it; offsets are file offsets.
    QByteArray window(qsizetype(std::min<qint64>(8 + TiffWindowBytes, stream.size())),
                      Qt::Uninitialized);
    window.resize(stream.read(window.data(), window.size()));
    if (window.size() < 2 || !(window.startsWith("II") || window.startsWith("MM")))
        return;
    ExifInfo = TImageInfo::fromTiff(window, Scope);
}
