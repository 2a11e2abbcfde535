#pragma once
// Value texts of the rename mask: dates by a small format language, byte sizes, and the
// printf-like number forms the mask uses. Numbers are written with ASCII digits and the
// locale's decimal separator, never with group separators.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>

// A date-time (day number, 0 meaning none) by a format of letters: Y year (four digits),
// y year (two digits), m month, b / B month name abbreviated / full, d day, a / A weekday
// name abbreviated / full, H hour 00-23, M minute, S second. Text between single quotes
// is copied as it stands; the quotes are not. Every other character is copied.
// An empty format gives the locale's short date, a blank and its long time (without time
// zone), the time left out at exactly midnight. A day number of 0 (or out of range) gives
// an empty text.
QString FormatMaskDate(QStringView format, double days, const QLocale &locale);
QString FormatMaskDate(QStringView format, double days);
// The same for a date-time value (an invalid one gives an empty text).
QString FormatMaskDateTime(QStringView format, const QDateTime &dateTime, const QLocale &locale);

// The locale's short date format of a date, as the mask writes the current date.
QString FormatMaskShortDate(const QDate &date, const QLocale &locale);

// A size in bytes in the fitting unit: up to 1024 "<n>Byte", then "%8.3f" (blank-padded
// to eight characters) followed by "KB", "MB" or "GB" (2 500 000 gives "   2.384MB").
QString FormatByteSize(qint64 size, const QLocale &locale);
QString FormatByteSize(qint64 size);

// The variant of the disk space report: separator is placed between number and unit.
// With withSign the text starts with "+" for a size above 0 and "-" otherwise, followed by
// the absolute value ("+   2.384 MB", "-0 Byte"); without it a negative size prints its
// minus sign. The unit follows the absolute value.
QString FormatByteSize(qint64 size, const QString &separator, bool withSign, const QLocale &locale);
QString FormatByteSize(qint64 size, const QString &separator, bool withSign);

// number with at least digits digits, zero-padded on the left, a minus sign in front of a
// negative number, never cut ("%<n>.<n>d": 5 with 3 digits gives "005", -5 gives "-005").
QString FormatCounter(qint64 number, qsizetype digits);

// value with the given number of decimals, ASCII digits, the locale's decimal separator,
// blank-padded on the left to width ("%<width>.<decimals>f").
QString FormatFixed(double value, int decimals, int width, const QLocale &locale);
