#pragma once
// The built-in JPEG codec (libjpeg-turbo): decoding at full or reduced size and the
// square thumbnails of JPEG files.
//
// All functions are pure and thread-safe. Their input is untrusted: a truncated,
// corrupt or non-JPEG file gives a null image, never a crash; damaged entropy data
// (premature end of file or of a data segment, bad codes) counts as a fault instead of
// being filled in with grey.
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <cstddef>
#include <functional>

// Button-face colour of the thumbnail bands: a neutral grey.
inline constexpr QRgb ThumbnailBackground = 0xFFF0F0F0;
// Background of a picture decoded without the imaging library (silver).
inline constexpr QRgb FullPictureBackground = 0xFFC0C0C0;
inline constexpr int ThumbnailSize = 300;

// Decodes at 1/scaleDenominator of the size (1, 2, 4 or 8, by the codec's DCT scaling)
// into a Format_RGB32 image; null on any fault.
QImage DecodeJpeg(const unsigned char *data, std::size_t size, int scaleDenominator);
QImage DecodeJpegFile(const QString &path, int scaleDenominator);
// Decodes at the reduction (1, 2, 4 or 8) that choose picks from the picture's full width
// and height, read from the file's header; null on any fault or another reduction.
QImage DecodeJpegFileScaled(const QString &path, const std::function<int(int, int)> &choose);
// The same for a JPEG stream in memory.
QImage DecodeJpegScaled(const unsigned char *data, std::size_t size,
                        const std::function<int(int, int)> &choose);

// The picture size a JPEG stream's header states (the stream may be cut off after its
// header); empty when no frame header can be read.
QSize JpegPictureSize(const unsigned char *data, std::size_t size);

// Where FitIntoSquare puts a picture of that size in a size x size square: stretched to
// fill it in one direction keeping its aspect, centred in the other. Empty for an empty
// picture or a place less than one pixel high or wide.
QRect SquarePlace(QSize picture, int size);

// Size x Size picture filled with background, the picture stretched into it keeping its
// aspect and centred (bands above and below, or left and right). Null for a null picture.
QImage FitIntoSquare(const QImage &picture, int size, QColor background);

// The file decoded at one eighth of its size and fitted into a Size x Size square; null
// when the file is missing or cannot be decoded.
QImage CreateJpegThumbnail(const QString &path, int size, QColor background);
QImage CreateJpegThumbnail(const unsigned char *data, std::size_t bytes, int size,
                           QColor background);
