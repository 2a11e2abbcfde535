#pragma once
// The pictures the pair check works on: grey, with a long side of about WorkingLongSide
// pixels, turned and mirrored as the viewer shows the entry.
#include "imaging/dsorgbild.h"

#include <QImage>
#include <QString>

class TGflLibrary;

inline constexpr int WorkingLongSide = 1000;

// How the viewer shows an entry's picture: turned by quarter turns clockwise, then mirrored
// left to right (the entry's rotation and mirror).
struct TViewLook
{
    int Rotation = 0;
    bool Mirror = false;
};

// The libjpeg-turbo reduction (1, 2, 4 or 8) for a picture of width x height: the largest
// that still gives a long side of at least WorkingLongSide (1 for smaller pictures).
int WorkingScaleDenominator(int width, int height);

// picture as a grey working picture: reduced (area average) to a long side of
// WorkingLongSide when it is larger, then turned and mirrored as look says. Null for a
// null picture.
QImage ToWorkingPicture(const QImage &picture, TViewLook look = {});

// A JPEG file, or the view part of a stereo file, decoded at WorkingScaleDenominator, made a
// working picture. Other formats come through gfl (when given and available) at about the
// working size: a HEIF file's embedded picture or a RAW file's JPEG preview where one is
// large enough, else the picture reduced. Null when the file is missing or damaged, or not
// a JPEG without the library.
QImage DecodeWorkingPicture(const QString &path, TViewLook look = {}, const TPicturePart &part = {},
                            const TGflLibrary *gfl = nullptr);
