#pragma once
// A picture decoded at a reduction chosen from its full size, for the preview and the pair
// check: one view of a stereo file (an MPO view's own JPEG stream, a JPS file's half), a
// JPEG file by libjpeg-turbo, or any other format through the imaging library. All of it
// is pure and thread-safe; damaged input gives a null picture.
#include "imaging/dsorgbild.h"

#include <QImage>
#include <QString>

#include <functional>

class TGflLibrary;

// Picks the reduction (1, 2, 4 or 8) from the picture's full width and height.
using TScaleChoice = std::function<int(int width, int height)>;

// Files decoded by libjpeg-turbo by their name: ".jpg", ".jpeg", ".jpe".
bool IsJpegFileName(const QString &path);

// The view part of path (part.view > 0) at the reduction choose picks; for a JPS half the
// reduction is chosen from the half's size. Null when the view cannot be read or decoded.
QImage DecodeViewScaled(const QString &path, const TPicturePart &part, const TScaleChoice &choose);

// The picture of path's part: a view as DecodeViewScaled; a JPEG file at the reduction
// choose picks; other files (and JPEG files libjpeg-turbo refuses) through gfl at full size
// when it is available. Null on failure.
QImage DecodePictureScaled(const QString &path, const TPicturePart &part,
                           const TScaleChoice &choose, const TGflLibrary *gfl);
