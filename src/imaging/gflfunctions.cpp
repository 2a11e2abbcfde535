#include "imaging/gflfunctions.h"

#include "imaging/libgfl.h"
#include "imaging/rounding.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstring>

void GflBitmapDeleter::operator()(GFL_BITMAP *bitmap) const
{
    if (library && bitmap)
        library->freeBitmap(bitmap);
}

int GflBitsPerPixel(const GFL_BITMAP &bitmap)
{
    return bitmap.Type == GFL_BINARY ? 1 : 8 * bitmap.BytesPerPixel;
}

namespace {

// Bytes one row of the picture needs at the given depth.
qint64 rowBytes(qint64 width, int bitsPerPixel)
{
    return (width * bitsPerPixel + 7) / 8;
}

QList<QRgb> colourMapTable(const GFL_BITMAP &bitmap, int entries)
{
    QList<QRgb> table;
    table.reserve(entries);
    for (int i = 0; i < entries; ++i) {
        if (bitmap.ColorMap)
            table << qRgb(bitmap.ColorMap->Red[i], bitmap.ColorMap->Green[i],
                          bitmap.ColorMap->Blue[i]);
        else
            table << qRgb(i * 255 / (entries - 1), i * 255 / (entries - 1),
                          i * 255 / (entries - 1));
    }
    return table;
}

} // namespace

QImage GflBitmapToImage(const GFL_BITMAP &bitmap, int bitsPerPixel, QList<QRgb> &palette)
{
    const qint64 width = bitmap.Width;
    const qint64 height = bitmap.Height;
    if (width < 1 || height < 1 || !bitmap.Data || width > 0x7FFFFFF || height > 0x7FFFFFF)
        return QImage();
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 &&
        bitsPerPixel != 32)
        return QImage();
    // The library's rows must hold a whole row of pixels, else they are not what they claim.
    if (qint64(bitmap.BytesPerLine) < rowBytes(width, bitsPerPixel))
        return QImage();

    const auto source = [&](int y) { return bitmap.Data + std::size_t(y) * bitmap.BytesPerLine; };
    QImage image;
    switch (bitsPerPixel) {
    case 1: {
        image = QImage(int(width), int(height), QImage::Format_Mono);
        if (image.isNull())
            return QImage();
        palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
        image.setColorTable(palette);
        image.fill(1);
        const std::size_t bytes = std::size_t(rowBytes(width, 1));
        for (int y = 0; y < int(height); ++y)
            std::memcpy(image.scanLine(y), source(y), bytes);
        break;
    }
    case 4:
    case 8: {
        image = QImage(int(width), int(height), QImage::Format_Indexed8);
        if (image.isNull())
            return QImage();
        // An 8-bit picture without colour map is grey; a 4-bit one gets 16 grey steps.
        palette = colourMapTable(bitmap, bitsPerPixel == 4 ? 16 : 256);
        image.setColorTable(palette);
        for (int y = 0; y < int(height); ++y) {
            uchar *target = image.scanLine(y);
            const uint8_t *row = source(y);
            if (bitsPerPixel == 8) {
                std::memcpy(target, row, std::size_t(width));
            } else {
                for (qint64 x = 0; x < width; ++x)
                    target[x] = (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
            }
        }
        break;
    }
    case 24:
        image = QImage(int(width), int(height), QImage::Format_BGR888);
        if (image.isNull())
            return QImage();
        for (int y = 0; y < int(height); ++y)
            std::memcpy(image.scanLine(y), source(y), std::size_t(width) * 3);
        break;
    case 32:
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        // Format_ARGB32 pixels are the bytes B, G, R, A in memory.
        image = QImage(int(width), int(height), QImage::Format_ARGB32);
#else
        image = QImage(int(width), int(height), QImage::Format_RGBA8888);
#endif
        if (image.isNull())
            return QImage();
        for (int y = 0; y < int(height); ++y)
            std::memcpy(image.scanLine(y), source(y), std::size_t(width) * 4);
#if Q_BYTE_ORDER != Q_LITTLE_ENDIAN
        image = image.rgbSwapped();
#endif
        break;
    }
    return image;
}

namespace {

// The load of LoadGflBitmap and LoadGflThumbnail: thumbnailSize 0 loads the whole picture
// with its EXIF list, otherwise a picture for a thumbnail of that size.
bool loadThroughLibrary(const TGflLibrary *library, const QString &path, int thumbnailSize,
                        GflBitmapPtr &gflBitmap, QImage &bitmap, QString &errorText,
                        QList<QRgb> &palette)
{
    gflBitmap = GflBitmapPtr(nullptr, GflBitmapDeleter{library});
    if (!library || !library->available())
        return false;
    library->enableLZW(true);
    GFL_LOAD_PARAMS params = library->defaultLoadParams();
    // Rows as the program's bitmaps hold them: blue-green-red, padded to 4 bytes,
    // palette and black-and-white pictures kept as they are; the whole picture comes with
    // its EXIF list.
    params.Flags |= GFL_LOAD_FORCE_COLOR_MODEL | GFL_LOAD_ORIGINAL_DEPTH;
    if (thumbnailSize <= 0)
        params.Flags |= GFL_LOAD_METADATA;
    params.ColorModel = GFL_BGR;
    params.LinePadding = 4;
    GFL_BITMAP *raw = nullptr;
    const GFL_ERROR code =
        thumbnailSize > 0 ? library->loadThumbnail(path, thumbnailSize, thumbnailSize, &raw, params)
                          : library->loadBitmap(path, &raw, params);
    gflBitmap.reset(raw);
    errorText.clear();
    if (code != GFL_NO_ERROR || !raw) {
        errorText =
            QStringLiteral("Unable to read file.") + QLatin1Char(' ') +
            library->errorString(code != GFL_NO_ERROR ? code : GFL_ERROR(GFL_ERROR_BAD_BITMAP));
        gflBitmap.reset();
        return false;
    }
    const int bitsPerPixel = GflBitsPerPixel(*raw);
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 &&
        bitsPerPixel != 32) {
        errorText = QString::fromLatin1(GflUnsupportedDepthText);
        gflBitmap.reset();
        return false;
    }
    QList<QRgb> newPalette;
    bitmap = GflBitmapToImage(*raw, bitsPerPixel, newPalette);
    if (bitmap.isNull()) {
        errorText = QStringLiteral("Unable to read file.") + QLatin1Char(' ') +
                    library->errorString(GFL_ERROR_BAD_BITMAP);
        gflBitmap.reset();
        return false;
    }
    if (bitsPerPixel <= 8)
        palette = newPalette;
    return true;
}

} // namespace

bool LoadGflBitmap(const TGflLibrary *library, const QString &path, GflBitmapPtr &gflBitmap,
                   QImage &bitmap, QString &errorText, QList<QRgb> &palette)
{
    return loadThroughLibrary(library, path, 0, gflBitmap, bitmap, errorText, palette);
}

bool LoadGflThumbnail(const TGflLibrary *library, const QString &path, int size,
                      GflBitmapPtr &gflBitmap, QImage &bitmap, QString &errorText,
                      QList<QRgb> &palette)
{
    return loadThroughLibrary(library, path, std::max(1, size), gflBitmap, bitmap, errorText,
                              palette);
}

namespace {

// A number of the library's list: written with a decimal point; the user's decimal
// separator is accepted too. -1 when the text is not a number.
double gflNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::system().toDouble(trimmed, &ok);
    return ok && std::isfinite(value) ? value : -1;
}

// "numerator/denominator"; a missing part counts 0. -1 when the quotient is undefined.
double gflRatio(const QString &text)
{
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    const QString numeratorText = slash < 0 ? text : text.left(slash);
    const QString denominatorText = slash < 0 ? QString() : text.mid(slash + 1);
    const double numerator = numeratorText.trimmed().isEmpty() ? 0 : gflNumber(numeratorText);
    const double denominator = denominatorText.trimmed().isEmpty() ? 0 : gflNumber(denominatorText);
    if (denominator == 0)
        return -1;
    return numerator / denominator;
}

} // namespace

namespace {

// The tags whose value is a text of the record, written as it comes (between prefix and
// suffix). A tag of the main directory only where mainOnly is set: the GPS directory's tag 3
// is a longitude reference, not a compression.
struct GflTextTag
{
    quint32 tag;
    int index;
    const char *prefix;
    const char *suffix;
    bool mainOnly;
};
constexpr GflTextTag kGflTextTags[] = {
    {271, jdManufacturer, "", "", false},
    {272, jdModel, "", "", false},
    {306, jdDateTime, "", "", false},
    {36867, jdDateTime, "", "", false},
    {274, jdOrientation, "", "", false},
    {33434, jdShutterSpeed, "", " sec", false},
    {33437, jdAperture, "F", "", false},
    {34855, jdIsoSpeed, "", "", false},
    {37386, jdFocalLength, "", "", false},
    {37385, jdFlash, "", "", false},
    {37380, jdExposureCompensation, "", "", false},
    {37383, jdMeteringMode, "", "", false},
    {259, jdCompression, "", "", true},
    {40961, jdColorSpace, "", "", false},
    {282, jdHorizontalResolution, "", "", false},
    {283, jdVerticalResolution, "", "", false},
    {257, jdHorizontalResolution, "", "", false},
    {40963, jdHorizontalResolution, "", "", false},
    {256, jdVerticalResolution, "", "", false},
    {40962, jdVerticalResolution, "", "", false},
};

// The figures of the list that the capture time, the 35 mm focal length and the size come
// from (-1: not in the list).
struct GflExifFigures
{
    double focal35 = -1, planeX = -1, planeY = -1, planeUnit = -1, resolutionUnit = -1;
    double length = -1, width = -1;
    // DateTimeOriginal, DateTimeDigitized, DateTime (0: none).
    double original = 0, digitized = 0, changed = 0;
    bool anyDate = false;
};

void collectFigure(const GflExifEntry &entry, GflExifFigures &f)
{
    const QString &value = entry.value;
    switch (entry.tag) {
    case 306:
        f.changed = ParseExifDateTime(value);
        f.anyDate = true;
        break;
    case 36867:
        f.original = ParseExifDateTime(value);
        f.anyDate = true;
        break;
    case 36868:
        f.digitized = ParseExifDateTime(value);
        f.anyDate = true;
        break;
    case 257:
    case 40963:
        f.length = gflNumber(value);
        break;
    case 256:
    case 40962:
        f.width = gflNumber(value);
        break;
    case 296:
        f.resolutionUnit = value.toUpper() == QLatin1String("INCH") ? 2 : 3;
        break;
    case 41486:
    case 692750:
        f.planeX = gflRatio(value);
        break;
    case 41487:
    case 692751:
        f.planeY = gflRatio(value);
        break;
    case 41488:
    case 692752:
        f.planeUnit = value.contains(QLatin1String("Inch")) ? 2 : 3;
        break;
    case 41989:
        f.focal35 = gflNumber(value);
        break;
    default:
        break;
    }
}

// The focal length on 35 mm film: the list's, else computed from the focal length, the
// picture's size and the focal plane resolution; and the size text.
void applyFocalLengthAndSize(GflExifFigures f, TJPEGDataStr &str)
{
    const double focal = gflNumber(str[jdFocalLength]);
    if (f.focal35 < 0 && f.resolutionUnit > 0 && f.planeX > 0 && f.planeY > 0 && f.planeUnit > 0 &&
        focal > 0 && f.length > 0 && f.width > 0) {
        const double mmPerUnit = f.planeUnit == 2 ? 25.4 : 10.0;
        const double sensorWidth = f.width * mmPerUnit / f.planeX;
        const double sensorHeight = f.length * mmPerUnit / f.planeY;
        f.focal35 = focal * 43.26661531 /
                    std::sqrt(sensorWidth * sensorWidth + sensorHeight * sensorHeight);
    }
    if (f.focal35 > 0) {
        str[jdFocalLength35mm] = QString::asprintf("%5.2f mm", f.focal35);
        str[jdFocalLengthWith35mm] = str[jdFocalLength] + QStringLiteral(" mm (") +
                                     str[jdFocalLength35mm] + QLatin1Char(')');
    } else {
        str[jdFocalLength35mm].clear();
        str[jdFocalLengthWith35mm] = str[jdFocalLength] + QStringLiteral(" mm ");
    }
    if (f.length > 0 && f.width > 0)
        str[jdSize] =
            QString::asprintf("%lld x %lld", RoundHalfEven(f.length), RoundHalfEven(f.width));
    else
        str[jdSize].clear();
}

} // namespace

void ApplyGflExif(const QList<GflExifEntry> &entries, TJPEGData &record)
{
    GflExifFigures figures;
    TJPEGDataStr &str = record.Str;
    for (const GflExifEntry &entry : entries) {
        for (const GflTextTag &t : kGflTextTags) {
            if (t.tag == entry.tag && (!t.mainOnly || entry.flag == GFL_EXIF_MAIN_IFD))
                str[t.index] = QLatin1String(t.prefix) + entry.value + QLatin1String(t.suffix);
        }
        collectFigure(entry, figures);
    }
    // The capture time: DateTimeOriginal, else DateTimeDigitized, else DateTime (the last
    // one is the time the file was last changed, which editing programs rewrite).
    if (figures.anyDate)
        record.CaptureTime = figures.original != 0    ? figures.original
                             : figures.digitized != 0 ? figures.digitized
                                                      : figures.changed;
    applyFocalLengthAndSize(figures, str);
}

namespace {

// The entries of a library list, which is released.
QList<GflExifEntry> takeEntries(const TGflLibrary *library, GFL_EXIF_DATA *data)
{
    QList<GflExifEntry> entries;
    if (data->ItemsList) {
        entries.reserve(qsizetype(data->NumberOfItems));
        for (quint32 i = 0; i < data->NumberOfItems; ++i) {
            const GFL_EXIF_ENTRY &item = data->ItemsList[i];
            entries << GflExifEntry{item.Flag, item.Tag,
                                    QString::fromUtf8(item.Name ? item.Name : ""),
                                    QString::fromUtf8(item.Value ? item.Value : "")};
        }
    }
    library->freeExif(data);
    return entries;
}

} // namespace

bool ReadGflExif(const TGflLibrary *library, const GFL_BITMAP *bitmap, TJPEGData &record)
{
    if (!library || !bitmap || !library->bitmapHasExif(bitmap))
        return false;
    GFL_EXIF_DATA *data = library->bitmapGetExif(bitmap);
    record.HasExif = data != nullptr;
    if (!data)
        return false;
    ApplyGflExif(takeEntries(library, data), record);
    return true;
}

bool ReadGflFileExif(const TGflLibrary *library, const QString &path, TJPEGData &record)
{
    if (!library || !library->available())
        return false;
    GFL_EXIF_DATA *data = library->loadExif(path);
    if (!data)
        return false;
    record.HasExif = true;
    ApplyGflExif(takeEntries(library, data), record);
    return true;
}
