#include "imaging/jpegdata.h"

#include <QFileInfo>

#include <cmath>

namespace {

const QDate dayZero(1899, 12, 30);
constexpr double msecsPerDay = 86400000.0;

// The number in text[from, from + length), or -1 when it holds anything but digits.
int digitsAt(const QString &text, int from, int length)
{
    int value = 0;
    for (int i = from; i < from + length; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

} // namespace

double DateTimeToDays(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return 0;
    const QDateTime local = dateTime.toLocalTime();
    const double date = double(dayZero.daysTo(local.date()));
    const double time = local.time().msecsSinceStartOfDay() / msecsPerDay;
    // Before day zero the fraction still counts forward from midnight: -1.25 is
    // 29 December 1899, 06:00.
    return date < 0 ? date - time : date + time;
}

QDateTime DaysToDateTime(double days)
{
    if (!std::isfinite(days) || std::abs(days) > 3.0e6)
        return {};
    const double whole = std::trunc(days);
    qint64 msecs = std::llround(std::abs(days - whole) * msecsPerDay);
    QDate date = dayZero.addDays(qint64(whole));
    if (msecs >= qint64(msecsPerDay)) {
        msecs -= qint64(msecsPerDay);
        date = date.addDays(days < 0 ? -1 : 1);
    }
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(msecs)));
}

double ParseExifDateTime(const QString &text)
{
    // "YYYY:MM:DD HH:MM:SS", positions counted from 0.
    if (text.size() < 19)
        return 0;
    const int year = digitsAt(text, 0, 4);
    const int month = digitsAt(text, 5, 2);
    const int day = digitsAt(text, 8, 2);
    const int hour = digitsAt(text, 11, 2);
    const int minute = digitsAt(text, 14, 2);
    const int second = digitsAt(text, 17, 2);
    if (year < 1 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return 0;
    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return 0;
    const double dayNumber = double(dayZero.daysTo(date));
    const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
    return dayNumber < 0 ? dayNumber - time : dayNumber + time;
}

JpegReadResult ReadJpegData(const QString &path, TJPEGData &record)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return JpegReadResult::FileMissing;

    record.FileTime = DateTimeToDays(info.lastModified());
    record.CaptureTime = record.FileTime;
    record.FileSize = info.size();
    record.HasExif = false;
    record.Str = TJPEGDataStr{};
    return info.isReadable() ? JpegReadResult::Read : JpegReadResult::FileUnreadable;
}
