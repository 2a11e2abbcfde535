#pragma once
// The stereo preview's drawing step: the main window's idle processing hands it the
// selected left and right entries, and it draws every side marked dirty into the preview
// panels, rewrites the metadata texts over the pictures and composes the anaglyph.
//
// By default a side shows its holder's thumbnail stretched to the panel. With "Always
// reload images" the thumbnail is shown at once and the file is decoded in the background
// (TPreviewDecoder) at the smallest reduction that covers the panel; the sharp picture
// replaces the thumbnail when it arrives, unless the side has moved on to another request
// meanwhile. Missing or unreadable files leave their side empty, without a message.
//
// The panels themselves are a view (TPreviewView) that the window implements.
#include "preview/previewdecoder.h"
#include "preview/previewlogic.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

class TDatensatz;

// Sides of the preview.
inline constexpr int PreviewLeft = 0;
inline constexpr int PreviewRight = 1;

// What must be drawn again at the next idle time.
struct TPreviewFlags
{
    bool LeftDirty = false;     // the left picture must be reloaded
    bool RightDirty = false;    // the right picture must be reloaded
    bool AnaglyphDirty = false; // the anaglyph must be composed again
    bool ExifDirtyL = false;    // the left metadata texts must be rewritten
    bool ExifDirtyR = false;
};

// The preview panels as the drawing step sees them.
class TPreviewView
{
public:
    virtual ~TPreviewView() = default;
    // Client size of the side's panel (a hidden panel answers its last size).
    virtual QSize PanelClientSize(int side) const = 0;
    // Shows bitmap in the side's display control, fitted into the panel; fitted is bitmap
    // already fitted into the panel's client size, or null.
    virtual void ShowPicture(int side, const QImage &bitmap, const QImage &fitted) = 0;
    // The side's display control is hidden (the panel shows its own colour).
    virtual void HidePicture(int side) = 0;
    virtual void ShowExifText(int side, const QString &names, const QString &values) = 0;
    // The anaglyph in place of both pictures, in the left panel; fitted as for ShowPicture.
    virtual void ShowAnaglyph(const QImage &bitmap, const QImage &fitted) = 0;
    virtual void HideAnaglyph() = 0;
};

struct TPreviewOptions
{
    TDisplayMode Mode = TDisplayMode::CrossEyed;
    bool AlwaysReload = false; // "Always reload images"
    QList<int> ExifChecked;    // the metadata indexes checked in the "EXIF" list
    // Per side (PreviewLeft, PreviewRight): a misalignment undone on the decoded picture.
    TDisplayCorrection Correction[2];
};

class TStereoPreview : public QObject
{
    Q_OBJECT

public:
    // flags: the window's dirty flags, shared with its handlers. gfl: the imaging library
    // for files other than JPEG (null: JPEG only).
    TStereoPreview(TPreviewView &view, TPreviewFlags &flags, const TGflLibrary *gfl = nullptr,
                   QObject *parent = nullptr);

    const TPreviewOptions &Options() const { return m_options; }
    void SetOptions(const TPreviewOptions &options) { m_options = options; }
    TPreviewDecoder &Decoder() { return m_decoder; }

    // The drawing step of the idle processing for the selected entries (null: no row
    // selected on that side). Returns true when a picture was drawn.
    bool IdleDraw(const TDatensatz *left, const TDatensatz *right);
    // With "Always reload images": decodes the files of the pair the user will likely
    // step to next into the decoder's cache.
    void Prefetch(const TDatensatz *left, const TDatensatz *right);

    // What the side's display control holds (null: hidden), and whether it is the decoded
    // file rather than the thumbnail.
    QImage Bitmap(int side) const { return m_sides[side].Bitmap; }
    bool IsSharp(int side) const { return m_sides[side].Sharp; }
    QImage Anaglyph() const { return m_anaglyph; }
    // The file the side shows (empty: nothing shown).
    QString ShownPath(int side) const { return m_sides[side].Path; }

Q_SIGNALS:
    // A decoded picture replaced the thumbnail of side (in anaglyph mode: it went into the
    // anaglyph being composed).
    void sharpPictureShown(int side);
    // The anaglyph of the sides' decoded pictures is on screen, fitted to the panel.
    void sharpAnaglyphShown();

private:
    struct Side
    {
        QImage Bitmap;
        QString Path;
        TPicturePart Part; // a stereo file's two views share the path
        TEntryLook Look;
        QSize Panel;
        bool Sharp = false;
        bool Present = false; // a row is selected on this side
    };

    static constexpr int AnaglyphSlot = 2; // the decoder's fit slot of the anaglyph

    void showEntryImage(int side, const TDatensatz &entry);
    void showStandIn(int side);
    bool settled(int side) const;
    void hideSide(int side);
    QSize panelSize(int side) const;
    bool sideShown(int side) const;
    void composeAnaglyph();
    void pictureDecoded(int side, quint64 ticket, const QImage &bitmap, const QImage &fitted);
    void decodeFailed(int side, quint64 ticket);
    void pictureFitted(int slot, quint64 ticket, const QImage &bitmap, const QImage &fitted);

    TPreviewView &m_view;
    TPreviewFlags &m_flags;
    TPreviewOptions m_options;
    TPreviewDecoder m_decoder;
    Side m_sides[2];
    QImage m_anaglyph;
};
