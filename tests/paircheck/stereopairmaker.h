#pragma once
// Stereo pairs with known answers, made from one picture, for the pair check's tests, its
// evaluation program and its benchmark; and the views of a stereo camera's MPO file.
//
// The left view is the middle of the picture; the right view is the same picture seen
// through a known misalignment: every point of the left view appears in the right view
// turned by Rotation degrees (clockwise) and scaled by 1 + Scale / 100 about the centre,
// moved down by VerticalOffset % of the height, and moved horizontally by its parallax, a
// smooth depth field between Near and Far (% of the width; negative: in front of the far
// distance). The vertical position in the right view is then exactly
//     yRight = s sin(t) xLeft + s cos(t) yLeft + offset,
// whatever the depth. Plain Qt (no OpenCV), so that the answers do not depend on the code
// they check.
#include <QByteArrayList>
#include <QImage>
#include <QString>

#include <cstdint>

struct TPairRecipe
{
    double VerticalOffset = 0; // % of the height
    double Rotation = 0;       // degrees, clockwise
    double Scale = 0;          // %
    double Near = -3.0;        // parallax of the nearest point, % of the width
    double Far = -0.5;         // parallax of the farthest point
    int DepthShape = 0;        // which smooth depth field (any number; shapes repeat)
    double Noise = 2.0;        // standard deviation of the grey noise added to each view
    std::uint32_t Seed = 1;    // of the noise and of the depth field's details
    // A converged pair: the depth range keeps its extent (Far - Near) but is moved so that
    // the cameras' axes cross at the middle depth: half the view in front, half behind.
    bool Converged = false;
};

struct TMadePair
{
    QImage Left, Right;       // Format_Grayscale8
    double InFrontShare = 0;  // share of the right view with negative parallax
    double Near = 0, Far = 0; // the depth range made (the recipe's, moved when converged)
};

// A JPEG photo decoded at about 1,150 pixels on its long side (enough to cut the views of a
// pair from it); null when it cannot be read.
QImage PairSourcePhoto(const QString &path);

// A pair from source (any format, at least about 400 pixels on its long side). The views
// are the source's middle 1/1.15 (in each direction) at a long side of at most
// WorkingLongSide pixels, so that the right view never reaches past the source's edge.
TMadePair MakeStereoPair(const QImage &source, const TPairRecipe &recipe);

// The JPEG streams of an MPO file in order (the first one and each one that follows the end
// of the one before); empty when the file cannot be read or holds no JPEG.
QByteArrayList MpoJpegStreams(const QString &path);
