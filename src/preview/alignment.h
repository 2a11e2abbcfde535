#pragma once
// The alignment of a stereo pair corrected for display: the pair check measures how the
// right view lies against the left one (moved up or down, turned, scaled about its
// centre); the right picture is then drawn with that undone, so that the eyes need not
// fuse a vertical offset, a tilt or a size difference. The files are never changed.
#include "imaging/dsorgbild.h"
#include "preview/previewlogic.h"

#include <QImage>
#include <QString>
#include <QTransform>

#include <functional>

struct TPairCheck;

// How the right view is misaligned against the left one, as the pair check measures it on
// the pictures as the viewer shows them (turned and mirrored as their entries say).
struct TDisplayCorrection
{
    bool Active = false;       // false: draw the picture as it is
    double VerticalOffset = 0; // % of the height; positive: the right view's content lower
    double Rotation = 0;       // degrees; positive: the right view turned clockwise
    double Scale = 0;          // %; positive: the right view's content larger

    friend bool operator==(const TDisplayCorrection &, const TDisplayCorrection &) = default;
};

// The correction for a measured check; inactive when the check measured nothing (not the
// same scene, no detail, a picture missing).
TDisplayCorrection CorrectionFromCheck(const TPairCheck &check);

// The transform that takes a point of the corrected picture (of size picture) to where the
// right picture has it: about the centre, scaled, turned and moved as measured.
QTransform MisalignmentTransform(const TDisplayCorrection &correction, QSize picture);

// picture (the right view, as shown) with the misalignment undone: the same size, drawn
// with bilinear filtering; what the moved picture no longer covers is black. An inactive
// correction returns picture itself.
QImage AlignPicture(const QImage &picture, const TDisplayCorrection &correction);

// The outcome of measuring one pair.
struct TAlignmentMeasure
{
    TDisplayCorrection Correction; // active when measured
    QString Problem;               // why nothing was measured
};

// Decodes the part of path (a stereo file's view, or the whole file) at the reduction that
// choose picks from the full width and height (the preview decoder's source decoder). Null
// on failure.
using TPictureDecoder = std::function<QImage(const QString &path, const TPicturePart &part,
                                             const std::function<int(int, int)> &choose)>;

// One picture of the pair to measure: the file, the part of it the entry shows, and how.
struct TAlignmentPicture
{
    QString Path;
    TPicturePart Part;
    TEntryLook Look;
};

// Decodes both pictures with decode at the pair check's working size, turned and mirrored
// as their looks say, and checks the pair. Runs on a worker: reads files, takes a fraction
// of a second.
TAlignmentMeasure MeasureAlignment(const TPictureDecoder &decode, const TAlignmentPicture &left,
                                   const TAlignmentPicture &right);
