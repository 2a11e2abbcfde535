#pragma once
// The built-in EXIF reader.
//
// TimgData walks one file: the sections of a JPEG file up to the start of the scan, or the
// header part of a TIFF-structured file. TImageInfo reads one EXIF block (a TIFF header with
// its directories) into a list of found tags with their display texts. Both work on bytes
// in memory; TimgData::readFile only reads the header part of the file into memory.
//
// Every offset and length in the input is untrusted: reads are bounds-checked, directory
// chains are followed at most once per directory, and no allocation depends on a length
// taken from the file beyond the 64 KB of a JPEG section or the 256,000-byte TIFF window.
#include "imaging/iptcdata.h"

#include <QByteArray>
#include <QLatin1String>
#include <QList>
#include <QString>

#include <optional>

class QIODevice;
class TByteSource;
class TByteStream;
struct TJPEGData;

// The reader's status texts (kept in the reader, never shown).
namespace ExifStatus {
inline constexpr QLatin1String Ok("<none>");
inline constexpr QLatin1String IncorrectHeader("Incorrect Exif header");
inline constexpr QLatin1String InvalidAlignment("Invalid Exif alignment marker");
inline constexpr QLatin1String IllegalDirectorySize("Illegally sized directory");
inline constexpr QLatin1String IllegalConstruction("Illegal Exif construction");
} // namespace ExifStatus

// One tag found in an EXIF block, or one item of a maker note (tag number 1).
struct TTagEntry
{
    quint16 Tag = 0;
    QLatin1String Name;              // e.g. "FNumber"; for a maker-note item the maker ("Canon")
    QLatin1String Desc;              // e.g. "F Number"; for a maker-note item the item's name
    const char *ValueList = nullptr; // the number:text list of the tag, if it has one
    QString Data;                    // the value text
    quint16 Format = 0;              // 1..12; 0 for a computed entry
    quint32 Count = 0;               // number of values
    quint32 Size = 0;                // bytes of the value
    quint32 Offset = 0;              // where the value's bytes start, relative to the TIFF header
    double Number = 0; // the first value as a number (rational: numerator/denominator)
};

enum class TByteOrder
{
    LittleEndian,
    BigEndian
};

// Which tags a read keeps: all of them with their texts (inspect, the EXIF views), or only
// those a list entry's record shows (loading thousands of files, where formatting every
// tag's text would be most of the time).
enum class TExifScope
{
    AllTags,
    RecordTags
};

// One EXIF block: byte order, the found tags and the fixed fields.
class TImageInfo
{
public:
    // Reads an EXIF block as stored in a JPEG APP1 section: "Exif", a zero byte, a pad
    // byte, then the TIFF header. Directory offsets are relative to the TIFF header.
    static TImageInfo fromExifSection(const QByteArray &app1Data,
                                      TExifScope scope = TExifScope::AllTags);
    // Reads the header part of a TIFF-structured file (TIFF header at offset 0). Offsets
    // are file offsets; the window bounds everything that can be read.
    static TImageInfo fromTiff(const QByteArray &tiffWindow,
                               TExifScope scope = TExifScope::AllTags);

    // The value text of the first found tag whose name equals name (ignoring letter
    // case); empty when there is none.
    QString lookup(QStringView name) const;
    // The first found tag with that name, nullptr when none.
    const TTagEntry *findTag(QStringView name) const;
    // The stored bytes of a found tag (empty for computed entries).
    QByteArray rawBytes(const TTagEntry &entry) const;

    // True when the block's header and byte-order mark were valid, so that its
    // directories could be read (possibly only in part).
    bool headerValid() const { return m_headerValid; }
    QLatin1String status() const { return m_status; }
    TByteOrder byteOrder() const { return m_byteOrder; }
    const QList<TTagEntry> &tags() const { return m_tags; }

    // Fixed fields: camera make (at most 32 characters), model (at most 40) and the
    // date-time text (at most 20; DateTimeOriginal when present, else DateTime).
    QString CameraMake;
    QString CameraModel;
    QString DateTime;

private:
    friend class TExifDirectoryReader;
    friend class TmsInfo;
    void readTiffStructure(TExifScope scope);

    QByteArray m_block;      // the bytes of the block
    quint32 m_tiffStart = 0; // where the TIFF header starts in m_block
    TByteOrder m_byteOrder = TByteOrder::LittleEndian;
    bool m_headerValid = false;
    QLatin1String m_status = ExifStatus::Ok;
    QList<TTagEntry> m_tags;
};

// The kind of file the reader handles, chosen by the lower-case extension.
enum class TImageFileKind
{
    Other,
    Jpeg,
    Tiff
};
TImageFileKind imageFileKindForPath(const QString &path);

// One JPEG section that the walk counted.
struct TJpegSection
{
    quint8 Marker = 0;
    qint64 Offset = 0; // file offset of the section's data (after the length)
    quint16 Size = 0;  // bytes of data (the length field minus 2)
};

// One file: its sections and what was found in them.
class TimgData
{
public:
    // Reads the file at path by its extension. Returns false only when the file cannot be
    // opened; a file that is not a JPEG or TIFF, or a damaged one, simply has no EXIF.
    bool readFile(const QString &path);
    // Reads a file from a random-access device (QFile, QBuffer).
    void readDevice(QIODevice &device, TImageFileKind kind);
    // Reads a whole file held in memory.
    void readBuffer(const QByteArray &bytes, TImageFileKind kind);
    // Reads a file from any byte source.
    void readSource(TByteSource &source, TImageFileKind kind);

    // An EXIF block (or a TIFF structure) was found whose directories could be read.
    bool hasExif() const { return ExifInfo && ExifInfo->headerValid(); }

    QString FileName;
    TExifScope Scope = TExifScope::AllTags; // set before reading
    QList<TJpegSection> Sections;
    std::optional<TImageInfo> ExifInfo; // the EXIF block taken, valid or not
    std::optional<TIPTCdata> IptcInfo;  // the IPTC block, when there is one
    QByteArray Comment;                 // the last comment section
    QByteArray JfifData;                // the data of the APP0 section, when there is one

private:
    void reset();
    void readJpeg(TByteStream &stream);
    void readTiff(TByteStream &stream);
};

// The largest number of bytes after the 8-byte header that are read of a TIFF file.
inline constexpr qint64 TiffWindowBytes = 256000;

// Fills the texts, capture time and orientation code of a record from a read file (step
// after the file walk): with EXIF, the texts from the found tags; without, empty texts.
// Sets HasExif. CaptureTime must already hold the file time.
void fillJpegDataFromImage(const TimgData &image, TJPEGData &record);
