#include "imaging/exifvalues.h"

#include <QStringDecoder>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

constexpr int maxFormattedValues = 8;
constexpr int maxTextLength = 50;

// A double as an integer, truncated toward zero; NaN gives 0 and values outside the
// 64-bit range are clamped.
qint64 truncateToInteger(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (v <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    return qint64(v);
}

float floatFromBits(quint32 bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

double doubleAt(const TExifBytes &bytes, const uchar *p)
{
    // An IEEE double in the block's byte order.
    const quint64 first = bytes.get32(p);
    const quint64 second = bytes.get32(p + 4);
    const quint64 bits = bytes.bigEndian() ? (first << 32 | second) : (second << 32 | first);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// The value at index as a number; rationals as numerator / denominator (0 for a zero
// denominator). Formats 2 and 7 are bytes.
double numberAt(const TExifBytes &bytes, const TExifValueRef &value, quint32 index)
{
    const uchar *p = bytes.data() + value.offset + quint64(index) * exifFormatSize(value.format);
    switch (value.format) {
    case 1:
    case 2:
    case 7:
        return *p;
    case 3:
        return bytes.get16(p);
    case 4:
        return bytes.get32(p);
    case 5: {
        const quint32 den = bytes.get32(p + 4);
        return den == 0 ? 0.0 : double(bytes.get32(p)) / den;
    }
    case 6:
        return qint8(*p);
    case 8:
        return qint16(bytes.get16(p));
    case 9:
        return qint32(bytes.get32(p));
    case 10: {
        const auto den = qint32(bytes.get32(p + 4));
        return den == 0 ? 0.0 : double(qint32(bytes.get32(p))) / den;
    }
    case 11:
        return floatFromBits(bytes.get32(p));
    case 12:
        return doubleAt(bytes, p);
    default:
        return 0;
    }
}

// Bytes up to the first zero byte (all of them when there is none).
qsizetype lengthToZero(const uchar *p, quint32 count)
{
    const void *zero = std::memchr(p, 0, count);
    return zero ? static_cast<const uchar *>(zero) - p : qsizetype(count);
}

} // namespace

int exifFormatSize(quint16 format)
{
    static constexpr int sizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return format < 13 ? sizes[format] : 0;
}

qint64 exifIntegerAt(const TExifBytes &bytes, const TExifValueRef &value, quint32 index)
{
    if (index >= value.count || exifFormatSize(value.format) == 0)
        return 0;
    switch (value.format) {
    case 5:
    case 10:
    case 11:
    case 12:
        return truncateToInteger(numberAt(bytes, value, index));
    default:
        return qint64(numberAt(bytes, value, index));
    }
}

double exifFirstNumber(const TExifBytes &bytes, const TExifValueRef &value)
{
    if (value.count == 0 || exifFormatSize(value.format) == 0)
        return 0;
    return numberAt(bytes, value, 0);
}

QString exifBytesToText(const char *data, qsizetype size)
{
    bool ascii = true;
    for (qsizetype i = 0; i < size && ascii; ++i)
        ascii = uchar(data[i]) < 0x80;
    if (ascii)
        return QString::fromLatin1(data, size);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(QByteArrayView(data, size));
    return decoder.hasError() ? QString::fromLatin1(data, size) : text;
}

QString exifValueListText(const char *valueList, qint64 value)
{
    // The list is searched for ",<value>:" with a comma added at both of its ends; the
    // text runs to the next comma. Done in place: this runs for many tags of every file.
    char needle[24];
    const int n = std::snprintf(needle, sizeof needle, ",%lld:", static_cast<long long>(value));
    const std::string_view list(valueList);
    const std::string_view key(needle, size_t(n));
    const std::string_view first = key.substr(1); // the first pair has no comma before it
    size_t from = std::string_view::npos;
    if (list.substr(0, first.size()) == first) {
        from = first.size();
    } else if (const size_t at = list.find(key); at != std::string_view::npos) {
        from = at + key.size();
    }
    if (from == std::string_view::npos)
        return {};
    const size_t to = list.find(',', from);
    const std::string_view text =
        list.substr(from, to == std::string_view::npos ? std::string_view::npos : to - from);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString exifFlashText(qint64 v)
{
    QString text = (v & 1) ? QStringLiteral("On") : QStringLiteral("Off");
    switch (v & 6) {
    case 2:
        text += QLatin1String(", UNKNOWN");
        break;
    case 4:
        text += QLatin1String(", no strobe return");
        break;
    case 6:
        text += QLatin1String(", strobe return");
        break;
    }
    switch (v & 24) {
    case 8:
        text += QLatin1String(", forced");
        break;
    case 16:
        text += QLatin1String(", surpressed");
        break;
    case 24:
        text += QLatin1String(", auto mode");
        break;
    }
    if (v & 32)
        text += QLatin1String(", no flash function");
    if (v & 64)
        text += QLatin1String(", red-eye reduction");
    return text;
}

QString exifValueText(const TExifBytes &bytes, const TExifValueRef &value,
                      const TExifTextRule &rule)
{
    const int size = exifFormatSize(value.format);
    if (size == 0)
        return {};
    const uchar *p = bytes.data() + value.offset;
    QString text;
    if (value.format == 2) {
        // Text: ends at its terminating zero. Fields padded with zeros, and fields whose
        // count leaves out the zero, both keep exactly their characters.
        const qsizetype n = lengthToZero(p, value.count);
        text = exifBytesToText(reinterpret_cast<const char *>(p), n);
    } else if (value.format == 7) {
        const qsizetype n = lengthToZero(p, value.count);
        text = QLatin1Char('"') + exifBytesToText(reinterpret_cast<const char *>(p), n) +
               QLatin1Char('"');
    } else {
        const quint32 n = qMin<quint32>(value.count, maxFormattedValues);
        for (quint32 i = 0; i < n; ++i) {
            if (i > 0)
                text += QLatin1String(", ");
            const uchar *v = p + quint64(i) * size;
            if (value.format == 5 || value.format == 10) {
                // Numerator and denominator as stored, both as signed numbers.
                text += QString::number(qint32(bytes.get32(v))) + QLatin1Char('/') +
                        QString::number(qint32(bytes.get32(v + 4)));
            } else if (value.format == 11 || value.format == 12) {
                text += QLatin1String("-9999.99");
            } else {
                const qint64 number = exifIntegerAt(bytes, value, i);
                text += rule.valueList ? exifValueListText(rule.valueList, number)
                                       : QString::number(number);
            }
        }
    }

    if (rule.formatText) {
        const QLatin1String format(rule.formatText);
        if (format.contains(QLatin1String("%s"))) {
            text = QString(format).replace(QLatin1String("%s"), text);
        } else {
            // The format texts of the tag table take exactly one floating-point number.
            text = QString::asprintf(rule.formatText, exifFirstNumber(bytes, value));
        }
    }

    if (rule.flashRule)
        return value.count > 0 ? exifFlashText(exifIntegerAt(bytes, value, 0)) : QString();

    text.truncate(maxTextLength);
    for (QChar &c : text) {
        if (c.unicode() < 32)
            c = QLatin1Char('.');
    }
    return text;
}
