#pragma once
// Bounds-checked access to the bytes of an EXIF block and the display texts of tag
// values. Shared by the directory reader and the maker-note decoder.
#include <QString>

// The bytes of one block, read in one byte order. Every read checks its bounds without
// overflow (offset <= size && length <= size - offset).
class TExifBytes
{
public:
    TExifBytes() = default;
    TExifBytes(const uchar *data, quint32 size, bool bigEndian)
        : m_data(data), m_size(size), m_bigEndian(bigEndian)
    {
    }

    const uchar *data() const { return m_data; }
    quint32 size() const { return m_size; }
    bool bigEndian() const { return m_bigEndian; }
    bool contains(quint32 offset, quint64 length) const
    {
        return offset <= m_size && length <= quint64(m_size - offset);
    }
    bool u16(quint32 offset, quint16 &value) const
    {
        if (!contains(offset, 2))
            return false;
        value = get16(m_data + offset);
        return true;
    }
    bool u32(quint32 offset, quint32 &value) const
    {
        if (!contains(offset, 4))
            return false;
        value = get32(m_data + offset);
        return true;
    }
    // Unchecked reads of bytes known to lie inside the block.
    quint16 get16(const uchar *p) const
    {
        return m_bigEndian ? quint16(p[0] << 8 | p[1]) : quint16(p[1] << 8 | p[0]);
    }
    quint32 get32(const uchar *p) const
    {
        return m_bigEndian ? quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3]
                           : quint32(p[3]) << 24 | quint32(p[2]) << 16 | quint32(p[1]) << 8 | p[0];
    }

private:
    const uchar *m_data = nullptr;
    quint32 m_size = 0;
    bool m_bigEndian = false;
};

// The byte size of one value of an entry format: formats 1 to 12 have 1, 1, 2, 4, 8, 1,
// 1, 2, 4, 8, 4 and 8 bytes; any other format 0.
int exifFormatSize(quint16 format);

// Where an entry's value lies: format, count and the offset of its first byte. The
// caller has checked that count * size bytes lie inside the block.
struct TExifValueRef
{
    quint16 format = 0;
    quint32 count = 0;
    quint32 offset = 0;
};

// How a tag's values become its display text.
struct TExifTextRule
{
    const char *valueList = nullptr;  // "number:text,..." (UTF-8)
    const char *formatText = nullptr; // "%s sec", "F%0.1f", "%5.2f mm"
    bool flashRule = false;
};

// The value at index as an integer (rationals and floats truncated toward zero).
qint64 exifIntegerAt(const TExifBytes &bytes, const TExifValueRef &value, quint32 index);
// The first value as a number: an integer, a float, or a rational's numerator divided by
// its denominator (0 for a zero denominator). 0 when there are no values.
double exifFirstNumber(const TExifBytes &bytes, const TExifValueRef &value);
// The display text of a value by the text rules of its tag.
QString exifValueText(const TExifBytes &bytes, const TExifValueRef &value,
                      const TExifTextRule &rule);

// The text of value in a "number:text,..." list; empty when the value is not listed.
QString exifValueListText(const char *valueList, qint64 value);
// The flash rule: "On"/"Off" and the return, mode, function and red-eye words.
QString exifFlashText(qint64 value);
// Bytes as text: UTF-8 when they are valid UTF-8, otherwise Latin-1.
QString exifBytesToText(const char *data, qsizetype size);
