#pragma once
// Builders of EXIF blocks, TIFF files and JPEG files in memory, in either byte order, for
// tests that need exact control over the bytes.
#include <QByteArray>
#include <QList>
#include <QtEndian>

#include <utility>

class TiffBuilder
{
public:
    explicit TiffBuilder(bool bigEndian) : m_big(bigEndian) {}

    // Adds an empty directory and returns its index; directory 0 is the first one.
    int addDirectory()
    {
        m_dirs.append(QList<Entry>());
        return int(m_dirs.size()) - 1;
    }

    // An entry with raw value bytes (already in the builder's byte order).
    void add(int dir, quint16 tag, quint16 format, quint32 count, QByteArray value)
    {
        m_dirs[dir].append({tag, format, count, std::move(value), -1});
    }
    void ascii(int dir, quint16 tag, const QByteArray &text) // adds the terminating zero
    {
        add(dir, tag, 2, quint32(text.size() + 1), text + '\0');
    }
    void asciiRaw(int dir, quint16 tag, const QByteArray &bytes)
    {
        add(dir, tag, 2, quint32(bytes.size()), bytes);
    }
    void shorts(int dir, quint16 tag, QList<quint16> values, quint16 format = 3)
    {
        QByteArray b;
        for (quint16 v : values)
            b += u16(v);
        add(dir, tag, format, quint32(values.size()), b);
    }
    void shortValue(int dir, quint16 tag, quint16 v) { shorts(dir, tag, {v}); }
    void longValue(int dir, quint16 tag, quint32 v) { add(dir, tag, 4, 1, u32(v)); }
    void rational(int dir, quint16 tag, quint32 num, quint32 den, quint16 format = 5)
    {
        add(dir, tag, format, 1, u32(num) + u32(den));
    }
    void srational(int dir, quint16 tag, qint32 num, qint32 den)
    {
        rational(dir, tag, quint32(num), quint32(den), 10);
    }
    void undefined(int dir, quint16 tag, const QByteArray &bytes)
    {
        add(dir, tag, 7, quint32(bytes.size()), bytes);
    }
    // A LONG entry whose value is the offset of another directory.
    void pointer(int dir, quint16 tag, int target)
    {
        m_dirs[dir].append({tag, 4, 1, u32(0), target});
    }

    QByteArray u16(quint16 v) const
    {
        QByteArray b(2, '\0');
        if (m_big)
            qToBigEndian(v, b.data());
        else
            qToLittleEndian(v, b.data());
        return b;
    }
    QByteArray u32(quint32 v) const
    {
        QByteArray b(4, '\0');
        if (m_big)
            qToBigEndian(v, b.data());
        else
            qToLittleEndian(v, b.data());
        return b;
    }

    // The TIFF structure: header, padding filler bytes, then each directory followed by
    // its long values. The header points at the first directory.
    QByteArray build(quint32 padding = 0) const
    {
        QList<quint32> offsets;
        quint32 at = 8 + padding;
        for (const auto &dir : m_dirs) {
            offsets.append(at);
            at += 2 + 12 * quint32(dir.size()) + 4;
            for (const Entry &e : dir) {
                if (e.value.size() > 4)
                    at += quint32(e.value.size() + (e.value.size() & 1));
            }
        }
        m_offsets = offsets;

        QByteArray out = m_big ? QByteArray("MM") : QByteArray("II");
        out += u16(42);
        out += u32(offsets.value(0, 8 + padding));
        out += QByteArray(padding, '\x55');
        for (int d = 0; d < m_dirs.size(); ++d) {
            const auto &dir = m_dirs[d];
            quint32 data = offsets[d] + 2 + 12 * quint32(dir.size()) + 4;
            QByteArray area;
            out += u16(quint16(dir.size()));
            for (const Entry &e : dir) {
                out += u16(e.tag) + u16(e.format) + u32(e.count);
                if (e.target >= 0) {
                    out += u32(offsets[e.target]);
                } else if (e.value.size() <= 4) {
                    out += e.value + QByteArray(4 - e.value.size(), '\0');
                } else {
                    out += u32(data + quint32(area.size()));
                    area += e.value;
                    if (e.value.size() & 1)
                        area += '\0';
                }
            }
            out += u32(0); // no next directory
            out += area;
        }
        return out;
    }

    // "Exif", 0, 0 and the TIFF structure: the data of a JPEG APP1 section.
    QByteArray exifSection(quint32 padding = 0) const
    {
        return QByteArray("Exif\0\0", 6) + build(padding);
    }

    // Offsets of the directories in the last build.
    quint32 directoryOffset(int dir) const { return m_offsets.value(dir); }

private:
    struct Entry
    {
        quint16 tag;
        quint16 format;
        quint32 count;
        QByteArray value;
        int target;
    };
    bool m_big;
    QList<QList<Entry>> m_dirs;
    mutable QList<quint32> m_offsets;
};

// A JPEG file: start of image, the given sections, a start of scan with a few bytes of
// scan data and the end of image.
inline QByteArray jpegFile(const QList<std::pair<quint8, QByteArray>> &sections)
{
    QByteArray out("\xFF\xD8", 2);
    for (const auto &[marker, data] : sections) {
        const auto length = quint16(data.size() + 2);
        out += char(0xFF);
        out += char(marker);
        out += char(length >> 8);
        out += char(length & 0xFF);
        out += data;
    }
    out += QByteArray("\xFF\xDA\x00\x02\x12\x34\xFF\xD9", 8);
    return out;
}

// Sections that carry nothing the reader takes.
inline std::pair<quint8, QByteArray> jfifSection()
{
    return {0xE0, QByteArray("JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00", 14)};
}
inline std::pair<quint8, QByteArray> quantisationSection()
{
    return {0xDB, QByteArray(65, '\x01')};
}
