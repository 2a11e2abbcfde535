#include "imaging/jpegdata.h"

#include "imaging/bytesource.h"
#include "imaging/exifreader.h"

#include "imaging/imaginglog.h"

#include <algorithm>
#include <cmath>

#ifdef Q_OS_UNIX
#include <ctime>
#endif

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

double EpochMsecsToDays(qint64 msecs)
{
#ifdef Q_OS_UNIX
    // localtime_r reads the zone once per process; Qt's conversion calls tzset first, which
    // looks at /etc/localtime again each time.
    const qint64 seconds = msecs >= 0 ? msecs / 1000 : -((-msecs + 999) / 1000);
    const time_t t = time_t(seconds);
    struct tm local;
    if (localtime_r(&t, &local)) {
        const QDate date(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
        const double day = double(dayZero.daysTo(date));
        const double time =
            ((local.tm_hour * 3600 + local.tm_min * 60 + qMin(local.tm_sec, 59)) * 1000.0 +
             double(msecs - seconds * 1000)) /
            msecsPerDay;
        return day < 0 ? day - time : day + time;
    }
#endif
    return DateTimeToDays(QDateTime::fromMSecsSinceEpoch(msecs));
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

double ParseExifSubSecond(const QString &text)
{
    // Digits after the decimal point of the seconds: "5" is 0.5 s, "050" is 0.05 s. More
    // than nine digits add nothing a camera could mean.
    const QString trimmed = text.trimmed();
    double value = 0, scale = 0.1;
    int digits = 0;
    for (QChar c : trimmed) {
        if (!c.isDigit() || c.unicode() > '9' || digits == 9)
            break;
        value += (c.unicode() - '0') * scale;
        scale /= 10;
        ++digits;
    }
    return digits ? value : -1;
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

void fillJpegDataFromImage(const TimgData &image, TJPEGData &record)
{
    record.HasExif = image.hasExif();
    if (!record.HasExif) {
        // Capture time stays the file time, the orientation code keeps its value.
        record.Str = TJPEGDataStr{};
        record.CaptureSubSecond = -1;
        return;
    }
    const TImageInfo &info = *image.ExifInfo;
    TJPEGDataStr &s = record.Str;
    s[jdManufacturer] = info.CameraMake;
    s[jdModel] = info.CameraModel;
    s[jdDateTime] = info.DateTime;
    s[jdOrientation] = info.lookup(u"Orientation");
    s[jdShutterSpeed] = info.lookup(u"ExposureTime");
    s[jdAperture] = info.lookup(u"FNumber");
    s[jdIsoSpeed] = info.lookup(u"ISOSpeedRatings");
    s[jdFocalLength] = info.lookup(u"FocalLength");
    s[jdFocalLength35mm] = info.lookup(u"FocalLengthin35mmFilm");
    s[jdFocalLengthWith35mm] =
        s[jdFocalLength] + QLatin1String(" (") + s[jdFocalLength35mm] + QLatin1Char(')');
    s[jdFlash] = info.lookup(u"Flash");
    s[jdExposureCompensation] = info.lookup(u"ExposureBiasValue");
    s[jdMeteringMode] = info.lookup(u"MeteringMode");
    s[jdHorizontalResolution] = info.lookup(u"ExifImageLength");
    s[jdVerticalResolution] = info.lookup(u"ExifImageWidth");
    s[jdSize] = s[jdHorizontalResolution] + QLatin1String(" x ") + s[jdVerticalResolution];
    s[jdColorSpace] = info.lookup(u"ColorSpace");

    // The compression text comes from the maker note (Canon's camera settings); without
    // such an item the text is left as it was.
    const QList<TTagEntry> &tags = info.tags();
    for (auto it = tags.crbegin(); it != tags.crend(); ++it) {
        if (it->Tag == 1 && it->Format != 0 && it->Desc == QLatin1String("Compression Rate")) {
            s[jdCompression] = it->Data;
            break;
        }
    }

    record.CaptureTime = ParseExifDateTime(info.DateTime);
    record.CaptureSubSecond = record.CaptureTime > 0
                                  ? ParseExifSubSecond(info.lookup(u"DateTimeOriginal").isEmpty()
                                                           ? info.lookup(u"SubSecTime")
                                                           : info.lookup(u"SubSecTimeOriginal"))
                                  : -1;

    const QString &orientation = s[jdOrientation];
    if (orientation == QStringLiteral("Rotated 180°"))
        record.OrientationCode = 2;
    else if (orientation == QStringLiteral("CounterClockwise 90°"))
        record.OrientationCode = 1;
    else if (orientation == QStringLiteral("Clockwise 90°"))
        record.OrientationCode = 3;
    else
        record.OrientationCode = -1;
}

namespace {

// The record of path, read from the whole file or (length >= 0) from the JPEG stream of
// length bytes at offset in it.
JpegReadResult readJpegData(const QString &path, qint64 offset, qint64 length, TJPEGData &record)
{
    TFileSource file;
    const TFileSource::OpenResult opened = file.open(path);
    if (opened == TFileSource::OpenResult::Missing || opened == TFileSource::OpenResult::NotAFile)
        return JpegReadResult::FileMissing;
    TWindowSource stream(file, offset, length);
    TByteSource &source = length >= 0 ? static_cast<TByteSource &>(stream) : file;

    record.FileTime = EpochMsecsToDays(file.modifiedMsecs());
    record.CaptureTime = record.FileTime;
    record.CaptureSubSecond = -1;
    record.FileSize = source.size();

    TimgData image;
    image.FileName = path;
    image.Scope = TExifScope::RecordTags;
    if (opened == TFileSource::OpenResult::Opened)
        image.readSource(source, length >= 0 ? TImageFileKind::Jpeg : imageFileKindForPath(path));
    else
        qCDebug(lcImaging) << "cannot open" << path;
    fillJpegDataFromImage(image, record);
    return opened == TFileSource::OpenResult::Opened ? JpegReadResult::Read
                                                     : JpegReadResult::FileUnreadable;
}

} // namespace

JpegReadResult ReadJpegData(const QString &path, qint64 offset, qint64 length, TJPEGData &record)
{
    return readJpegData(path, offset, std::max<qint64>(length, 0), record);
}

JpegReadResult ReadJpegData(const QString &path, TJPEGData &record)
{
    return readJpegData(path, 0, -1, record);
}
