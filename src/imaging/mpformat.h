#pragma once
// The building blocks of multi-picture JPEG files shared by the stereo file reader, the
// lossless split and the MPO writer: the walk over a JPEG stream's header segments, and
// the TIFF-style directories of the APP2 "MPF\0" segment.
//
//   FF E2 len(2) 'M' 'P' 'F' 00 | "II" 2A 00 or "MM" 00 2A | first IFD offset(4) | IFDs
//                                 ^ the MP header: every offset inside the segment, and the
//                                   offsets of the further images, count from here
#include "imaging/bytesource.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <functional>
#include <optional>

namespace mpformat {

constexpr std::uint8_t MarkerApp0 = 0xE0;
constexpr std::uint8_t MarkerApp1 = 0xE1;
constexpr std::uint8_t MarkerApp2 = 0xE2;
constexpr std::uint8_t MarkerApp3 = 0xE3;
constexpr std::uint8_t MarkerSos = 0xDA;

// Tags of the MP Index IFD and the MP Attribute IFD.
constexpr std::uint16_t TagVersion = 0xB000;
constexpr std::uint16_t TagNumberOfImages = 0xB001;
constexpr std::uint16_t TagEntries = 0xB002;
constexpr std::uint16_t TagIndividualNumber = 0xB101;
constexpr std::uint16_t TagBaseViewpoint = 0xB204;
constexpr std::uint16_t TypeLong = 4;
constexpr std::uint16_t TypeUndefined = 7;

// Image types (the low 24 bits of an MP entry's attribute) and flags (its top bits).
constexpr std::uint32_t TypeMask = 0x00FFFFFF;
constexpr std::uint32_t TypeDisparity = 0x020002;
constexpr std::uint32_t FormatMask = 0x07000000; // 0: JPEG
constexpr std::uint32_t FlagRepresentative = 0x20000000;
constexpr int EntrySize = 16;
constexpr int SignatureSize = 4; // "MPF\0" before the MP header

// One header segment of a JPEG stream: the marker at pos (FF, code), then, for every code
// but the standalone ones, a big-endian length that counts itself and the payload.
struct Segment
{
    qint64 pos = 0; // of its FF byte
    std::uint8_t code = 0;
    qint64 length = 0; // marker included: 2 + the length field's value
    qint64 payloadPos() const { return pos + 4; }
    qint64 payloadLength() const { return length - 4; }
};

enum class Walk
{
    Continue,
    Stop
};

// Walks the header segments of the JPEG stream at start (FF D8), up to its first scan or
// its end, never past end. The visitor sees every segment with a length; it may stop the
// walk. False when the bytes are no JPEG header or a segment runs past end.
bool WalkHeader(TByteSource &source, qint64 start, qint64 end,
                const std::function<Walk(const Segment &)> &visit);

// The first APP2 segment that carries "MPF\0" in the header of the stream at start.
std::optional<Segment> FindMpfSegment(TByteSource &source, qint64 start, qint64 end);

// The bytes [pos, pos + length) of the source; nothing when they cannot all be read.
std::optional<QByteArray> ReadRange(TByteSource &source, qint64 pos, qint64 length);

// A TIFF-style block in memory (the MP header and what follows it), read with the byte
// order its header names. Every read is checked against the block.
class TiffBlock
{
public:
    // False when the block does not start with a TIFF header.
    bool open(const QByteArray &bytes);
    bool bigEndian() const { return m_bigEndian; }
    std::uint32_t firstIfd() const { return m_firstIfd; }
    std::optional<std::uint16_t> u16(std::uint32_t at) const;
    std::optional<std::uint32_t> u32(std::uint32_t at) const;
    bool contains(std::uint32_t at, std::uint64_t length) const;
    const QByteArray &bytes() const { return m_bytes; }

    struct Entry
    {
        std::uint16_t tag = 0;
        std::uint16_t type = 0;
        std::uint32_t count = 0;
        std::uint32_t valueAt = 0; // where its 4-byte value field lies in the block
    };
    // The entries of the IFD at offset and the offset of the next IFD (0: none); nothing
    // when the directory does not lie inside the block.
    std::optional<std::pair<QList<Entry>, std::uint32_t>> ifd(std::uint32_t offset) const;

private:
    QByteArray m_bytes;
    bool m_bigEndian = false;
    std::uint32_t m_firstIfd = 0;
};

// Writes the pieces of an MP segment in big-endian ("MM") order.
class TiffWriter
{
public:
    TiffWriter();
    QByteArray &bytes() { return m_bytes; }
    qint64 size() const { return m_bytes.size(); }
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void put32At(qint64 at, std::uint32_t v);
    // One 12-byte directory entry whose value fits its 4-byte field.
    void entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value);
    void entryBytes(std::uint16_t tag, const char (&value)[5]);

private:
    QByteArray m_bytes;
};

// The whole APP2 segment (FF E2, length, "MPF\0", then the block); nothing when the block
// is too long for one segment.
std::optional<QByteArray> MpfSegment(const QByteArray &tiffBlock);

} // namespace mpformat
