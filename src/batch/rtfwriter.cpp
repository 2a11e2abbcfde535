#include "batch/rtfwriter.h"

namespace {

void appendEscaped(QByteArray &out, const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\' || u == u'{' || u == u'}') {
            out += '\\';
            out += char(u);
        } else if (u == u'\t') {
            out += "\\tab ";
        } else if (u < 0x20) {
            continue; // other control characters have no place in a line
        } else if (u < 0x7F) {
            out += char(u);
        } else {
            // \uN takes a signed 16-bit number; "?" stands in for readers without Unicode.
            // Each in a group of its own, so that no reader takes the following letters
            // for part of the control word.
            out += "{\\u" + QByteArray::number(int(qint16(u))) + "?}";
        }
    }
}

} // namespace

QByteArray ProtokollToRtf(const QVector<TProtokollLine> &lines)
{
    QVector<QRgb> colours;
    for (const TProtokollLine &line : lines) {
        const QRgb rgb = line.Color.rgb() & 0xFFFFFF;
        if (!colours.contains(rgb))
            colours << rgb;
    }
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
                     "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\r\n{\\colortbl ;";
    for (const QRgb rgb : std::as_const(colours))
        out += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" +
               QByteArray::number(qGreen(rgb)) + "\\blue" + QByteArray::number(qBlue(rgb)) + ';';
    out += "}\r\n\\viewkind4\\pard\\f0\\fs20\r\n";
    for (const TProtokollLine &line : lines) {
        // Colour index 0 is the reader's default, so the table's entries count from 1.
        out += "\\cf" + QByteArray::number(colours.indexOf(line.Color.rgb() & 0xFFFFFF) + 1);
        out += line.Style == LogStyle::Bold ? "\\b " : "\\b0 ";
        appendEscaped(out, line.Text);
        out += "\\par\r\n";
    }
    out += "}\r\n";
    return out;
}
