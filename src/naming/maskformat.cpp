#include "naming/maskformat.h"

#include <cmath>
#include <cstdlib>

namespace {

// The locale's long time format without its time zone: "h:mm:ss AP t" becomes
// "h:mm:ss AP", "t HH:mm:ss" becomes "HH:mm:ss", "H:mm:ss (t)" becomes "H:mm:ss".
// A zone name in a file name would only change with the season.
QString longTimeFormatWithoutZone(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    out.reserve(format.size());
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        else if (!quoted && c == u't')
            continue;
        out.append(c);
    }
    out.replace(QLatin1String("()"), QString());
    out.replace(QLatin1String("[]"), QString());
    return out.simplified();
}

// The date and the time of day of a day number, without going through a local date-time
// (whose time zone lookup would cost more than the whole formatting).
bool splitDays(double days, QDate &date, QTime &time)
{
    if (!std::isfinite(days) || std::abs(days) > 3.0e6)
        return false;
    constexpr double msecsPerDay = 86400000.0;
    const double whole = std::trunc(days);
    qint64 msecs = std::llround(std::abs(days - whole) * msecsPerDay);
    date = QDate(1899, 12, 30).addDays(qint64(whole));
    if (msecs >= qint64(msecsPerDay)) {
        msecs -= qint64(msecsPerDay);
        date = date.addDays(days < 0 ? -1 : 1);
    }
    time = QTime::fromMSecsSinceStartOfDay(int(msecs));
    return date.isValid() && time.isValid();
}

QString formatParts(QStringView format, const QDate &date, const QTime &time,
                    const QLocale &locale);

QString twoDigits(int value)
{
    return FormatCounter(value, 2);
}

} // namespace

QString FormatMaskDate(QStringView format, double days, const QLocale &locale)
{
    QDate date;
    QTime time;
    if (days == 0 || !splitDays(days, date, time))
        return {};
    return formatParts(format, date, time, locale);
}

QString FormatMaskDate(QStringView format, double days)
{
    return FormatMaskDate(format, days, QLocale::system());
}

QString FormatMaskShortDate(const QDate &date, const QLocale &locale)
{
    if (!date.isValid())
        return {};
    return locale.toString(date, QLocale::ShortFormat);
}

QString FormatMaskDateTime(QStringView format, const QDateTime &dateTime, const QLocale &locale)
{
    if (!dateTime.isValid())
        return {};
    return formatParts(format, dateTime.date(), dateTime.time(), locale);
}

namespace {

QString formatParts(QStringView format, const QDate &date, const QTime &time, const QLocale &locale)
{

    if (format.isEmpty()) {
        QString text = FormatMaskShortDate(date, locale);
        if (time != QTime(0, 0))
            text += u' ' + locale.toString(time, longTimeFormatWithoutZone(locale));
        return text;
    }

    QString out;
    out.reserve(format.size() * 2);
    bool literal = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            literal = !literal;
            continue;
        }
        if (literal) {
            out.append(c);
            continue;
        }
        switch (c.unicode()) {
        case 'Y':
            out += FormatCounter(date.year(), 4);
            break;
        case 'y':
            out += twoDigits(std::abs(date.year()) % 100);
            break;
        case 'm':
            out += twoDigits(date.month());
            break;
        case 'b':
            out += locale.standaloneMonthName(date.month(), QLocale::ShortFormat);
            break;
        case 'B':
            out += locale.standaloneMonthName(date.month(), QLocale::LongFormat);
            break;
        case 'd':
            out += twoDigits(date.day());
            break;
        case 'a':
            out += locale.standaloneDayName(date.dayOfWeek(), QLocale::ShortFormat);
            break;
        case 'A':
            out += locale.standaloneDayName(date.dayOfWeek(), QLocale::LongFormat);
            break;
        case 'H':
            out += twoDigits(time.hour());
            break;
        case 'M':
            out += twoDigits(time.minute());
            break;
        case 'S':
            out += twoDigits(time.second());
            break;
        default:
            out.append(c);
        }
    }
    return out;
}

} // namespace

QString FormatCounter(qint64 number, qsizetype digits)
{
    const quint64 magnitude = number < 0 ? quint64(0) - quint64(number) : quint64(number);
    QString text = QString::number(magnitude);
    if (text.size() < digits)
        text = text.rightJustified(digits, u'0');
    return number < 0 ? u'-' + text : text;
}

QString FormatFixed(double value, int decimals, int width, const QLocale &locale)
{
    // ASCII digits as printf writes them; only the decimal separator follows the locale.
    QString text = QString::number(value, 'f', decimals);
    if (decimals > 0) {
        const qsizetype point = text.indexOf(u'.');
        if (point >= 0)
            text.replace(point, 1, locale.decimalPoint());
    }
    return text.size() < width ? text.rightJustified(width, u' ') : text;
}

QString FormatByteSize(qint64 size, const QString &separator, bool withSign, const QLocale &locale)
{
    // The magnitude as unsigned, so that the smallest 64-bit value has one too.
    const quint64 magnitude = size < 0 ? quint64(0) - quint64(size) : quint64(size);
    QString sign;
    if (withSign)
        sign = size > 0 ? QStringLiteral("+") : QStringLiteral("-");

    if (magnitude <= 1024) {
        const QString number = withSign ? QString::number(magnitude) : QString::number(size);
        return sign + number + separator + QLatin1String("Byte");
    }

    double divisor = 1073741824.0;
    QLatin1String unit("GB");
    if (magnitude <= 1048576) {
        divisor = 1024.0;
        unit = QLatin1String("KB");
    } else if (magnitude <= 1073741824) {
        divisor = 1048576.0;
        unit = QLatin1String("MB");
    }
    const double value = (withSign ? double(magnitude) : double(size)) / divisor;
    return sign + FormatFixed(value, 3, 8, locale) + separator + unit;
}

QString FormatByteSize(qint64 size, const QString &separator, bool withSign)
{
    return FormatByteSize(size, separator, withSign, QLocale::system());
}

QString FormatByteSize(qint64 size, const QLocale &locale)
{
    return FormatByteSize(size, QString(), false, locale);
}

QString FormatByteSize(qint64 size)
{
    return FormatByteSize(size, QString(), false, QLocale::system());
}
