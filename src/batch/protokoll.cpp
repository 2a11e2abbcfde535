#include "batch/protokoll.h"

#include "ui/visibletext.h"

#include <QDateTime>
#include <QLocale>

QString FormatLogText(const QString &format, const QVariantList &args)
{
    QString out;
    out.reserve(format.size() + 64);
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != u'%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        const QChar d = format.at(i + 1);
        if (d == u'%') {
            out += u'%';
            ++i;
        } else if ((d == u's' || d == u'd') && next < args.size()) {
            out +=
                d == u's' ? args.at(next).toString() : QString::number(args.at(next).toLongLong());
            ++next;
            ++i;
        } else if (d == u'4' && i + 2 < format.size() && format.at(i + 2) == u'd' &&
                   next < args.size()) {
            out += QString::number(args.at(next).toLongLong()).rightJustified(4, u' ');
            ++next;
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

QString LogDateTimeText()
{
    return QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
}

TProtokoll::TProtokoll(QObject *parent) : QObject(parent) {}

void TProtokoll::AddLine(const QString &text, const QColor &color, LogStyle style, bool withTime)
{
    // One line stays one line: a name with a line break or another control character in it
    // shows that character as a symbol (tabs separate the columns and stay).
    QString line = VisibleText(text, true);
    if (withTime)
        line += u'\t' + LogDateTimeText();
    m_lines.push_back({line, color, style});
    Q_EMIT lineAdded(int(m_lines.size() - 1));
}

void TProtokoll::AddFormatted(const QString &format, const QVariantList &args, const QColor &color,
                              LogStyle style, bool withTime)
{
    AddLine(FormatLogText(format, args), color, style, withTime);
}

void TProtokoll::Clear()
{
    m_lines.clear();
    Q_EMIT contentsReset();
}

void TProtokoll::ReplaceContents(const QVector<TProtokollLine> &lines)
{
    m_lines = lines;
    Q_EMIT contentsReset();
}

QString TProtokoll::PlainText() const
{
    QString out;
    for (const TProtokollLine &line : m_lines)
        out += line.Text + u'\n';
    return out;
}
