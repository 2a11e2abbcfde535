#pragma once
// The rules of the stereo preview that do not need a window: how large an entry's picture
// is drawn for a panel, how the two panels share the preview area in each display mode,
// which metadata texts stand over a picture, and at which reduced size a JPEG must be
// decoded to cover a panel.
#include "imaging/jpegdata.h"

#include <QImage>
#include <QList>
#include <QLocale>
#include <QRect>
#include <QSize>
#include <QString>

// ---- Display modes ("Stereo Display Options") ----

enum class TDisplayMode
{
    CrossEyed, // "Cross-eyed view": the left picture on the right
    Parallel,  // "Parallel view"
    Anaglyph,  // "Anaglyph (red/cyan)": one picture in the left panel
    MonoLeft,  // "Monoscopic" / "Left"
    MonoRight, // "Monoscopic" / "Right"
};

// Where the two panels stand in the preview area.
struct TPanelLayout
{
    bool LeftVisible = false;
    bool RightVisible = false;
    QRect Left;  // PanelImage_L
    QRect Right; // PanelImage_R; for a hidden panel the size it is drawn at
};

// Width of each panel side by side: (area width - inner spacing) div 2, truncated toward
// zero, never below 0. With an odd difference the gap is one pixel wider than the spacing.
int SideBySideWidth(int areaWidth, int spacing);

// The panels for mode in an area of size area. Side by side both panels are
// SideBySideWidth wide and as high as the area; cross-eyed puts the left panel at the right
// edge and the right panel at the left edge, parallel the other way round. "Left" and the
// anaglyph show only the left panel over the whole area, "Right" only the right panel.
// A hidden panel keeps the side-by-side size, at which its picture is still drawn.
TPanelLayout LayoutPanels(TDisplayMode mode, QSize area, int spacing);

// ---- Drawing an entry ----

// Scale factor s for a work picture of width x height shown in a panel of client size
// panel with rotation (0..3): upright pictures (height / width > 1) fill the panel's width
// as they will stand after turning, others its height. 1 when the picture is empty; 0 for
// a panel without client area.
double PreviewScale(int width, int height, int rotation, QSize panel);

// Size of the stretched picture before turning: round(width x s) by round(height x s).
QSize PreviewBitmapSize(int width, int height, int rotation, QSize panel);

// What an entry asks of its picture.
struct TEntryLook
{
    int Rotation = 0; // quarter turns clockwise
    bool Mirror = false;
    bool Invert = false;
};

// The picture the display control shows for an entry: the work picture stretched by the
// scale rule with nearest-neighbour sampling, turned, mirrored and inverted as the entry
// says. Null when the panel has no client area or the work picture is empty.
QImage BuildEntryBitmap(const QImage &work, const TEntryLook &look, QSize panel);

// The libjpeg-turbo reduction (1, 2, 4 or 8) at which a picture of width x height still
// gives at least the stretched size that the scale rule asks for the panel: the largest
// denominator that covers it, 1 when even the full size does not.
int CoveringScaleDenominator(int width, int height, int rotation, QSize panel);

// ---- Metadata over the pictures ("EXIF") ----

struct TExifTexts
{
    QString Names;
    QString Values;
};

// The names and values of the checked metadata indexes, in index order (not the order in
// which they were checked), each line ended by a carriage return. Index 2 ("Date/Time")
// shows the capture time in locale's short date and time format (empty without one).
// Control characters of a value show as symbols, so that each value stays on its line.
// Without EXIF both texts are empty.
TExifTexts ExifTexts(const TJPEGData &metadata, const QList<int> &checked,
                     const QLocale &locale = QLocale::system());
