#pragma once
// Picture loading and EXIF list reading through the imaging library.
#include "imaging/gflabi.h"
#include "imaging/jpegdata.h"

#include <QImage>
#include <QList>
#include <QRgb>
#include <QString>

#include <memory>

class TGflLibrary;

// A library bitmap, released through the library that made it.
struct GflBitmapDeleter
{
    const TGflLibrary *library = nullptr;
    void operator()(GFL_BITMAP *bitmap) const;
};
using GflBitmapPtr = std::unique_ptr<GFL_BITMAP, GflBitmapDeleter>;

// Bits per pixel of a library bitmap: 1 for black and white, else 8 x bytes per pixel.
int GflBitsPerPixel(const GFL_BITMAP &bitmap);

// The picture of a library bitmap of 1, 4, 8, 24 or 32 bits per pixel (rows copied as
// they are: the library delivers blue-green-red rows padded to 4 bytes, top row first).
// 1 bit gets a black and white palette, 4 and 8 bits the library's colour map (8 bits
// without one a grey ramp); palette receives the colour table of those. Null for other
// depths or inconsistent bitmaps.
QImage GflBitmapToImage(const GFL_BITMAP &bitmap, int bitsPerPixel, QList<QRgb> &palette);

inline constexpr const char *GflUnsupportedDepthText =
    "Only image files with 1, 4, 8, 24 or 32 bits per pixel (bpp) are supported.";

// Loads path through the library into gflBitmap and bitmap. On failure errorText is
// "Unable to read file. " + the library's text, or the bits-per-pixel message, and false
// is returned. Returns false at once when the library is unavailable. Thread-safe.
bool LoadGflBitmap(const TGflLibrary *library, const QString &path, GflBitmapPtr &gflBitmap,
                   QImage &bitmap, QString &errorText, QList<QRgb> &palette);

// Loads a picture of path for a thumbnail of size x size pixels: the library may give an
// embedded thumbnail or preview, or a reduced decode, at least size pixels on its longer
// side where the file holds that much; the caller scales it. Failures as LoadGflBitmap.
bool LoadGflThumbnail(const TGflLibrary *library, const QString &path, int size,
                      GflBitmapPtr &gflBitmap, QImage &bitmap, QString &errorText,
                      QList<QRgb> &palette);

// One entry of the library's EXIF list.
struct GflExifEntry
{
    quint32 flag = 0;
    quint32 tag = 0;
    QString name;
    QString value;
};

// Overrides the record's texts from an EXIF entry list (in list order, a later entry
// overwriting an earlier one) and computes the 35 mm focal length and the size text.
void ApplyGflExif(const QList<GflExifEntry> &entries, TJPEGData &record);

// Reads the library's EXIF list of a loaded picture into the record; false (record
// unchanged) when the library reports no EXIF or gives no list.
bool ReadGflExif(const TGflLibrary *library, const GFL_BITMAP *bitmap, TJPEGData &record);

// Reads the library's EXIF list of the file at path, without decoding its picture, into the
// record; false (record unchanged) when the file has none or the library is unavailable.
bool ReadGflFileExif(const TGflLibrary *library, const QString &path, TJPEGData &record);
