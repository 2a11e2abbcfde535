#include "imaging/mpformat.h"

#include <algorithm>
#include <cstring>

namespace mpformat {

namespace {

bool isStandalone(std::uint8_t code)
{
    return code == 0x01 || (code >= 0xD0 && code <= 0xD7);
}

} // namespace

bool WalkHeader(TByteSource &source, qint64 start, qint64 end,
                const std::function<Walk(const Segment &)> &visit)
{
    end = std::min(end, source.size());
    if (start < 0 || end - start < 4)
        return false;
    uchar soi[2];
    if (source.readAt(start, reinterpret_cast<char *>(soi), 2) != 2 || soi[0] != 0xFF ||
        soi[1] != 0xD8)
        return false;
    qint64 pos = start + 2;
    while (pos < end) {
        // FF, fill bytes (FF), the code, then the length: read the few bytes at once.
        uchar head[16];
        const qint64 got =
            source.readAt(pos, reinterpret_cast<char *>(head), std::min<qint64>(16, end - pos));
        if (got < 2 || head[0] != 0xFF)
            return false;
        int i = 0;
        while (i < got && head[i] == 0xFF)
            ++i;
        if (i + 1 > got)
            return false; // a run of fill bytes longer than we look at: not a header
        const std::uint8_t code = head[i];
        const qint64 markerPos = pos + i - 1;
        if (code == 0xD9 || code == MarkerSos)
            return true;
        if (code == 0xD8 || code == 0x00)
            return false;
        if (isStandalone(code)) {
            pos = markerPos + 2;
            continue;
        }
        if (i + 3 > got)
            return false;
        const qint64 length = 2 + ((qint64(head[i + 1]) << 8) | head[i + 2]);
        if (length < 4 || length > end - markerPos)
            return false;
        const Segment segment{markerPos, code, length};
        if (visit(segment) == Walk::Stop)
            return true;
        pos = markerPos + length;
    }
    return false;
}

std::optional<Segment> FindMpfSegment(TByteSource &source, qint64 start, qint64 end)
{
    std::optional<Segment> found;
    WalkHeader(source, start, end, [&](const Segment &segment) {
        if (segment.code != MarkerApp2 || segment.payloadLength() < SignatureSize + 8)
            return Walk::Continue;
        char signature[SignatureSize];
        if (source.readAt(segment.payloadPos(), signature, SignatureSize) == SignatureSize &&
            std::memcmp(signature, "MPF\0", SignatureSize) == 0) {
            found = segment;
            return Walk::Stop;
        }
        return Walk::Continue;
    });
    return found;
}

std::optional<QByteArray> ReadRange(TByteSource &source, qint64 pos, qint64 length)
{
    if (pos < 0 || length < 0 || pos > source.size() || length > source.size() - pos)
        return std::nullopt;
    QByteArray bytes(length, Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const qint64 n = source.readAt(pos + done, bytes.data() + done, length - done);
        if (n <= 0)
            return std::nullopt;
        done += n;
    }
    return bytes;
}

bool TiffBlock::open(const QByteArray &bytes)
{
    //  "II" 2A 00 | first IFD (4, little-endian)   or   "MM" 00 2A | first IFD (4, big-endian)
    m_bytes = bytes;
    if (bytes.size() < 8)
        return false;
    if (bytes.startsWith("II\x2A\x00"))
        m_bigEndian = false;
    else if (bytes.startsWith(QByteArray("MM\x00\x2A", 4)))
        m_bigEndian = true;
    else
        return false;
    m_firstIfd = *u32(4);
    return true;
}

bool TiffBlock::contains(std::uint32_t at, std::uint64_t length) const
{
    const std::uint64_t size = std::uint64_t(m_bytes.size());
    return at <= size && length <= size - at;
}

std::optional<std::uint16_t> TiffBlock::u16(std::uint32_t at) const
{
    if (!contains(at, 2))
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(m_bytes.constData()) + at;
    return std::uint16_t(m_bigEndian ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]);
}

std::optional<std::uint32_t> TiffBlock::u32(std::uint32_t at) const
{
    if (!contains(at, 4))
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(m_bytes.constData()) + at;
    return m_bigEndian ? std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 |
                             std::uint32_t(p[2]) << 8 | p[3]
                       : std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 |
                             std::uint32_t(p[1]) << 8 | p[0];
}

std::optional<std::pair<QList<TiffBlock::Entry>, std::uint32_t>>
TiffBlock::ifd(std::uint32_t offset) const
{
    //  count(2) | count × (tag(2) type(2) count(4) value-or-offset(4)) | next IFD(4)
    const auto count = u16(offset);
    if (!count || !contains(offset, 2 + 12 * std::uint64_t(*count) + 4))
        return std::nullopt;
    QList<Entry> entries;
    entries.reserve(*count);
    for (std::uint32_t i = 0; i < *count; ++i) {
        const std::uint32_t at = offset + 2 + 12 * i;
        entries.append({*u16(at), *u16(at + 2), *u32(at + 4), at + 8});
    }
    return std::make_pair(entries, *u32(offset + 2 + 12 * std::uint32_t(*count)));
}

TiffWriter::TiffWriter()
{
    m_bytes = QByteArray("MM\x00\x2A", 4);
    u32(8);
}

void TiffWriter::u16(std::uint16_t v)
{
    m_bytes.append(char(v >> 8)).append(char(v));
}

void TiffWriter::u32(std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        m_bytes.append(char(v >> shift));
}

void TiffWriter::put32At(qint64 at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m_bytes[at + i] = char(v >> (24 - 8 * i));
}

void TiffWriter::entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                       std::uint32_t value)
{
    u16(tag);
    u16(type);
    u32(count);
    u32(value);
}

void TiffWriter::entryBytes(std::uint16_t tag, const char (&value)[5])
{
    u16(tag);
    u16(TypeUndefined);
    u32(4);
    m_bytes.append(value, 4);
}

std::optional<QByteArray> MpfSegment(const QByteArray &tiffBlock)
{
    const qint64 length = 2 + SignatureSize + tiffBlock.size();
    if (length > 0xFFFF)
        return std::nullopt;
    QByteArray segment("\xFF\xE2", 2);
    segment.append(char(length >> 8)).append(char(length));
    segment.append("MPF\0", SignatureSize);
    segment.append(tiffBlock);
    return segment;
}

} // namespace mpformat
