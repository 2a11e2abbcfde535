#include "imaging/jpegstream.h"

#include <cstring>

namespace jpegstream {
namespace {

constexpr std::uint8_t Marker = 0xFF;
constexpr std::uint8_t StartOfImage = 0xD8;
constexpr std::uint8_t EndOfImage = 0xD9;
constexpr std::uint8_t StartOfScan = 0xDA;

bool isRestart(std::uint8_t code)
{
    return code >= 0xD0 && code <= 0xD7;
}

// From pos inside a scan's entropy-coded data, the offset of the FF byte of the marker
// that ends it, or size when there is none. Inside the data FF is followed by 00 (a coded
// FF byte), by a restart marker, or by further FF fill bytes.
std::size_t endOfEntropyData(const std::uint8_t *data, std::size_t size, std::size_t pos)
{
    while (pos < size) {
        const void *hit = std::memchr(data + pos, Marker, size - pos);
        if (!hit)
            return size;
        pos = std::size_t(static_cast<const std::uint8_t *>(hit) - data);
        if (size - pos < 2)
            return size;
        const std::uint8_t code = data[pos + 1];
        if (code == 0x00 || isRestart(code))
            pos += 2;
        else if (code == Marker)
            pos += 1;
        else
            return pos;
    }
    return size;
}

} // namespace

std::size_t firstStreamEnd(const std::uint8_t *data, std::size_t size)
{
    //  FF D8 | FF xx len(2, big-endian, counts itself) payload | ... | FF DA len header
    //        | entropy-coded data | (more segments and scans) | FF D9
    if (!data || size < 4 || data[0] != Marker || data[1] != StartOfImage)
        return 0;
    std::size_t pos = 2;
    while (pos < size) {
        // A marker: FF, any number of FF fill bytes, then its code. Stray bytes before it
        // are skipped as a decoder does (with a warning).
        const void *hit = std::memchr(data + pos, Marker, size - pos);
        if (!hit)
            return 0;
        pos = std::size_t(static_cast<const std::uint8_t *>(hit) - data);
        while (pos < size && data[pos] == Marker)
            ++pos;
        if (pos >= size)
            return 0;
        const std::uint8_t code = data[pos++];
        if (code == EndOfImage)
            return pos;
        if (code == StartOfImage)
            return 0; // a second start inside the first stream: not a stream we know
        if (code == 0x01 || isRestart(code))
            continue; // markers without a length
        if (code == 0x00)
            continue; // a stuffed byte outside a scan: damaged data, skipped
        if (size - pos < 2)
            return 0;
        const std::size_t length = (std::size_t(data[pos]) << 8) | data[pos + 1];
        if (length < 2 || length > size - pos)
            return 0;
        pos += length;
        if (code == StartOfScan)
            pos = endOfEntropyData(data, size, pos);
    }
    return 0;
}

bool hasDataAfterFirstStream(const std::uint8_t *data, std::size_t size)
{
    const std::size_t end = firstStreamEnd(data, size);
    if (end == 0)
        return false;
    for (std::size_t i = end; i < size; ++i) {
        if (data[i] != 0x00 && data[i] != Marker)
            return true;
    }
    return false;
}

} // namespace jpegstream
