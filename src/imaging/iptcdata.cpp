#include "imaging/iptcdata.h"

#include <cstring>

namespace {

constexpr char photoshopSignature[] = "Photoshop 3.0"; // followed by a zero byte
constexpr quint16 iptcResourceId = 0x0404;
constexpr int maxDataSets = 1000;

quint16 be16(const uchar *p)
{
    return quint16(p[0] << 8 | p[1]);
}
quint32 be32(const uchar *p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

} // namespace

TIPTCdata TIPTCdata::fromSection(const QByteArray &app13Data)
{
    TIPTCdata result;
    const auto *data = reinterpret_cast<const uchar *>(app13Data.constData());
    const quint32 size = quint32(app13Data.size());
    const quint32 signatureSize = sizeof(photoshopSignature); // includes the zero byte
    if (size < signatureSize || std::memcmp(data, photoshopSignature, signatureSize) != 0)
        return result;

    // Resource block: "8BIM", id (16 bits), name as a Pascal string padded to an even
    // length, data size (32 bits), data padded to an even length. All big-endian.
    quint32 pos = signatureSize;
    while (pos <= size && size - pos >= 12) {
        if (std::memcmp(data + pos, "8BIM", 4) != 0)
            break;
        const quint16 id = be16(data + pos + 4);
        quint32 nameBytes = 1u + data[pos + 6];
        nameBytes += nameBytes & 1u;
        const quint32 sizeAt = pos + 6 + nameBytes;
        if (sizeAt > size || size - sizeAt < 4)
            break;
        const quint32 dataSize = be32(data + sizeAt);
        const quint32 dataAt = sizeAt + 4;
        if (dataSize > size - dataAt)
            break;
        if (id == iptcResourceId)
            result.readDataSets(data + dataAt, dataSize);
        const quint32 padded = dataSize + (dataSize & 1u);
        if (padded > size - dataAt)
            break;
        pos = dataAt + padded;
    }
    return result;
}

void TIPTCdata::readDataSets(const uchar *data, quint32 size)
{
    // Data set: 0x1C, record number, data set number, length (16 bits), value. A length
    // with the top bit set announces an extended length field, which this reader does not
    // accept.
    quint32 pos = 0;
    while (pos <= size && size - pos >= 5 && m_dataSets.size() < maxDataSets) {
        if (data[pos] != 0x1C)
            break;
        const quint16 length = be16(data + pos + 3);
        if (length & 0x8000u)
            break;
        const quint32 valueAt = pos + 5;
        if (length > size - valueAt)
            break;
        m_dataSets.append({data[pos + 1], data[pos + 2],
                           QByteArray(reinterpret_cast<const char *>(data + valueAt), length)});
        pos = valueAt + length;
    }
}
