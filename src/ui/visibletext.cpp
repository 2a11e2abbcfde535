#include "ui/visibletext.h"

#include <QUtf8StringView>

QString VisibleText(const QString &text, bool keepTabs)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\t' && keepTabs)
            out += c;
        else if (u < 0x20)
            out += QChar(char16_t(0x2400 + u));
        else if (u == 0x7F)
            out += QChar(char16_t(0x2421));
        else if (u == 0x85 || u == 0x2028 || u == 0x2029)
            out += QChar(char16_t(0x2424));
        else if (u >= 0x80 && u < 0xA0)
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

namespace {

// Length of the UTF-8 sequence a lead byte announces (0: not a lead byte).
int sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

} // namespace

QString NameFromBytes(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    qsizetype i = 0;
    while (i < bytes.size()) {
        const int length = sequenceLength(static_cast<unsigned char>(bytes[i]));
        if (length > 0 && length <= bytes.size() - i) {
            const QByteArrayView sequence(bytes.constData() + i, length);
            // The validator rejects overlong forms, surrogates and code points past U+10FFFF.
            if (QUtf8StringView(sequence.data(), sequence.size()).isValidUtf8()) {
                out += QString::fromUtf8(sequence);
                i += length;
                continue;
            }
        }
        out += QStringLiteral("\\x%1").arg(static_cast<unsigned char>(bytes[i]), 2, 16,
                                           QLatin1Char('0'));
        ++i;
    }
    return out;
}
