#pragma once
// The stereo preview's bitmap operations on 32-bit pictures: fitting into a display area,
// nearest-neighbour stretching, Lanczos resampling, quarter turns, mirroring, colour
// inversion and the red/cyan anaglyph.
//
// Every function is pure and thread-safe: the preview's background decoder runs them on
// worker threads. Results are Format_ARGB32 (or Format_RGB32 where the input was); a null
// or empty input gives a null picture.
#include <QImage>
#include <QRect>
#include <QSize>

// The rectangle in which a picture of size picture is shown inside area: scaled by one
// factor so that it fits (enlarged or reduced), both sides rounded half to even and at
// least 1, centred. Empty when either size is empty.
QRect FitRect(QSize picture, QSize area);

// The picture stretched onto size with nearest-neighbour sampling.
QImage StretchNearest(const QImage &picture, QSize size);

// The picture resampled to size with a separable 3-lobe Lanczos filter (sinc(x) sinc(x/3)
// for |x| < 3, widened by the reduction factor when shrinking; edge pixels repeat). Each
// channel, alpha included, is filtered on its own.
QImage ResampleLanczos(const QImage &picture, QSize size);

// The picture turned by rotation quarter turns clockwise (0 to 3; other values count
// modulo 4).
QImage RotateQuarterTurns(const QImage &picture, int rotation);

// The picture flipped left to right.
QImage MirrorLeftRight(const QImage &picture);

// Red, green and blue of every pixel replaced by 255 minus the value; alpha unchanged.
QImage InvertColours(const QImage &picture);

// The half-colour anaglyph of two pictures. The result is a copy of left, resized to the
// larger width and height of the two when that differs from left's size (a resized picture
// starts black with alpha 0). In the area both pictures cover, every pixel gets red =
// round(0.299 R + 0.587 G + 0.114 B) of left, green and blue of right, alpha 255.
QImage ComposeAnaglyph(const QImage &left, const QImage &right);

// A square JPEG thumbnail with the picture fitted in and bands of background above and
// below (or left and right): the picture without the bands. Other pictures, and squares
// without bands, are returned unchanged.
QImage TrimThumbnailBands(const QImage &thumbnail, QRgb background);
