#include "imaging/module/rawcontainer.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace gflcore {
namespace {

bool readExactly(TByteSource &source, qint64 at, void *target, qint64 n)
{
    return at >= 0 && n >= 0 && at <= source.size() && n <= source.size() - at &&
           source.readAt(at, static_cast<char *>(target), n) == n;
}

// TIFF directories, walked with the byte order of the header:
//   header: "II" or "MM", 2 bytes, offset of the first directory (4)
//   directory: count (2), count entries of tag (2) type (2) count (4) value or offset (4),
//              offset of the next directory (4)
class TiffWalk
{
public:
    TiffWalk(TByteSource &source, bool bigEndian) : m_source(source), m_bigEndian(bigEndian) {}

    // Visits the directory at offset, the directories it chains to and those its SubIFD and
    // EXIF tags point to; stops at 64 directories. Returns true as soon as a name matches.
    bool anyNameMatches(std::uint32_t first)
    {
        std::vector<std::uint32_t> pending{first};
        std::vector<std::uint32_t> seen;
        while (!pending.empty() && seen.size() < 64) {
            const std::uint32_t at = pending.back();
            pending.pop_back();
            if (at == 0 || std::find(seen.begin(), seen.end(), at) != seen.end())
                continue;
            seen.push_back(at);
            std::uint8_t countBytes[2];
            if (!readExactly(m_source, at, countBytes, 2))
                continue;
            const unsigned count = std::min(u16(countBytes), 512u);
            // The entries that lie in the file, in one read.
            const qint64 whole =
                std::min<qint64>(count, std::max<qint64>(m_source.size() - at - 2, 0) / 12);
            std::vector<std::uint8_t> entries(std::size_t(12 * whole));
            if (whole == 0 || !readExactly(m_source, qint64(at) + 2, entries.data(), 12 * whole))
                continue;
            for (qint64 i = 0; i < whole; ++i) {
                const std::uint8_t *entry = entries.data() + 12 * i;
                const unsigned tag = u16(entry), type = u16(entry + 2);
                const std::uint32_t n = u32(entry + 4), value = u32(entry + 8);
                const qint64 valueAt = n <= 4 ? qint64(at) + 2 + 12 * qint64(i) + 8 : qint64(value);
                // LibRaw reads these names whatever type the entry states.
                if ((tag == 0x010F || tag == 0x0110 || tag == 0xC614 || tag == 0xC615) &&
                    nameMatches(valueAt))
                    return true;
                if ((tag == 0x014A || tag == 0x8769) && (type == 4 || type == 13)) {
                    if (n == 1) {
                        pending.push_back(value);
                    } else {
                        for (std::uint32_t k = 0; k < std::min<std::uint32_t>(n, 16); ++k) {
                            std::uint8_t offset[4];
                            if (readExactly(m_source, qint64(value) + 4 * qint64(k), offset, 4))
                                pending.push_back(u32(offset));
                        }
                    }
                }
            }
            std::uint8_t next[4];
            if (readExactly(m_source, qint64(at) + 2 + 12 * qint64(count), next, 4))
                pending.push_back(u32(next));
        }
        return false;
    }

private:
    unsigned u16(const std::uint8_t *p) const
    {
        return m_bigEndian ? unsigned(p[0]) << 8 | p[1] : unsigned(p[1]) << 8 | p[0];
    }
    std::uint32_t u32(const std::uint8_t *p) const
    {
        return m_bigEndian ? std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 |
                                 std::uint32_t(p[2]) << 8 | p[3]
                           : std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 |
                                 std::uint32_t(p[1]) << 8 | p[0];
    }

    // A name as LibRaw reads it: up to 63 bytes from where its value starts (in the entry
    // itself for up to 4 bytes), ending at a zero byte or a line feed, whatever length the
    // entry states.
    bool nameMatches(qint64 at)
    {
        char name[64] = {};
        const qint64 length = std::min<qint64>(63, std::max<qint64>(m_source.size() - at, 0));
        if (length <= 0 || !readExactly(m_source, at, name, length))
            return false;
        std::string lower(name, std::strlen(name));
        lower = lower.substr(0, lower.find('\n'));
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        return lower.find("hasselblad") != std::string::npos ||
               lower.find("imacon") != std::string::npos;
    }

    TByteSource &m_source;
    bool m_bigEndian;
};

} // namespace

RawContainer rawContainerOf(TByteSource &source)
{
    char head[16] = {};
    if (!readExactly(source, 0, head, sizeof head))
        return RawContainer::Unknown;
    if (std::memcmp(head, "II*\0", 4) == 0 || std::memcmp(head, "MM\0*", 4) == 0)
        return RawContainer::Tiff;
    if (std::memcmp(head, "IIRO", 4) == 0 || std::memcmp(head, "IIRS", 4) == 0 ||
        std::memcmp(head, "MMOR", 4) == 0)
        return RawContainer::Olympus;
    if (std::memcmp(head, "IIU\0", 4) == 0)
        return RawContainer::Panasonic;
    if (std::memcmp(head + 4, "ftypcrx ", 8) == 0)
        return RawContainer::Canon3;
    if (std::memcmp(head, "FUJIFILMCCD-RAW ", 16) == 0)
        return RawContainer::Fujifilm;
    return RawContainer::Unknown;
}

bool namesOverrunMaker(TByteSource &source, RawContainer container)
{
    if (container != RawContainer::Tiff && container != RawContainer::Olympus &&
        container != RawContainer::Panasonic)
        return false;
    std::uint8_t header[8];
    if (!readExactly(source, 0, header, 8))
        return false;
    const bool bigEndian = header[0] == 'M';
    TiffWalk walk(source, bigEndian);
    const std::uint32_t first =
        bigEndian ? std::uint32_t(header[4]) << 24 | std::uint32_t(header[5]) << 16 |
                        std::uint32_t(header[6]) << 8 | header[7]
                  : std::uint32_t(header[7]) << 24 | std::uint32_t(header[6]) << 16 |
                        std::uint32_t(header[5]) << 8 | header[4];
    return walk.anyNameMatches(first);
}

} // namespace gflcore
