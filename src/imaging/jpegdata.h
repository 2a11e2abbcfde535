#pragma once
// The metadata record of one image file and the built-in reader that fills it.
//
// Every value is kept as a display text, exactly as it is shown over the preview and
// inserted into file names; only the capture time is a date-time. Date-times are day
// numbers: days since 30 December 1899 00:00 local time, the fraction being the time of
// day; 0 means "none".
#include <QDateTime>
#include <QLatin1String>
#include <QString>

#include <array>

inline constexpr int JpegDataTextCount = 18;

// The 18 display texts of a record, index 0..17 (see TJPEGDataIndex).
using TJPEGDataStr = std::array<QString, JpegDataTextCount>;

// Index of each text in TJPEGData::Str.
enum TJPEGDataIndex : int
{
    jdManufacturer = 0,
    jdModel = 1,
    jdDateTime = 2,
    jdOrientation = 3,
    jdShutterSpeed = 4,
    jdAperture = 5,
    jdIsoSpeed = 6,
    jdFocalLengthWith35mm = 7, // focal length + " (" + 35 mm equivalent + ")"
    jdFocalLength = 8,
    jdFocalLength35mm = 9,
    jdFlash = 10,
    jdExposureCompensation = 11,
    jdMeteringMode = 12,
    jdSize = 13, // length (height) first: "2304 x 3072"
    jdCompression = 14,
    jdColorSpace = 15,
    jdHorizontalResolution = 16, // holds the image length (height)
    jdVerticalResolution = 17,   // holds the image width
};

// The display label of each text, in index order.
inline constexpr std::array<QLatin1String, JpegDataTextCount> ExifLabels = {
    QLatin1String("Manufacturer"),
    QLatin1String("Model"),
    QLatin1String("Date/Time"),
    QLatin1String("Orientation"),
    QLatin1String("Shutter Speed"),
    QLatin1String("Aperture"),
    QLatin1String("ISO Speed Ratings"),
    QLatin1String("Focal Length (35mm)"),
    QLatin1String("Focal Length"),
    QLatin1String("Focal Length 35mm equiv."),
    QLatin1String("Flash Light"),
    QLatin1String("Exposure Compensation"),
    QLatin1String("Metering mode"),
    QLatin1String("Size"),
    QLatin1String("Compression"),
    QLatin1String("Color Display"),
    QLatin1String("Horizontal Resolution"),
    QLatin1String("Vertical Resolution"),
};

// The metadata record of one image file. A new record is all zero.
struct TJPEGData
{
    TJPEGDataStr Str;       // display texts, labels in ExifLabels
    double CaptureTime = 0; // day number; 0 means none
    // Fraction of a second to add to CaptureTime (SubSecTimeOriginal with DateTimeOriginal,
    // else SubSecTime), 0 <= x < 1; negative when the file gives none.
    double CaptureSubSecond = -1;
    double FileTime = 0;        // the file's last-modification time, day number
    qint64 FileSize = 0;        // bytes
    qint32 OrientationCode = 0; // -1 none, 1 = 90° clockwise, 2 = 180°, 3 = 270° clockwise
    bool HasExif = false;       // an EXIF block was found
};

// What ReadJpegData could do with the path.
enum class JpegReadResult
{
    Read,           // the file was read (with or without EXIF)
    FileMissing,    // no such file: the record is unchanged
    FileUnreadable, // the file exists but cannot be opened: file time and size are set,
                    // the record holds no EXIF texts
};

// Fills the record from the file at path with the built-in EXIF reader (JPEG by its EXIF
// block, TIFF-structured files by their directories). A file without EXIF keeps its file
// time as capture time and empty texts; a file whose EXIF has no date gets capture time 0.
// Reads only the header part of the file. Reentrant: may run on several threads at once.
JpegReadResult ReadJpegData(const QString &path, TJPEGData &record);
// The same for one JPEG stream inside the file (a view of a stereo file): length bytes from
// offset; the record's file size is the stream's length.
JpegReadResult ReadJpegData(const QString &path, qint64 offset, qint64 length, TJPEGData &record);

// An EXIF date-time text "YYYY:MM:DD HH:MM:SS" as a day number; 0 for a text shorter than
// 19 characters, a part that is not a number, or an impossible date or time. The
// separators are not checked.
double ParseExifDateTime(const QString &text);

// An EXIF sub-second text ("5", "050", "123456") as a fraction of a second; negative when
// the text holds no leading digit.
double ParseExifSubSecond(const QString &text);

// Conversions between day numbers and local date-times (millisecond precision).
double DateTimeToDays(const QDateTime &dateTime);
QDateTime DaysToDateTime(double days);
// The day number of a moment given in milliseconds since 1970-01-01 UTC, in local time:
// what DateTimeToDays gives for it, without asking the system for its time zone again for
// every file (a file system lookup each time).
double EpochMsecsToDays(qint64 msecs);
