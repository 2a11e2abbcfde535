#pragma once
// TPreviewArea: the stereo preview above the edit area. It holds the two preview panels
// PanelImage_L and PanelImage_R, each with its display control (Image_L, Image_R; the left
// panel also Image_A for the anaglyph) and the two shadow labels with the metadata names
// and values over the picture. It places the panels for the display mode and the inner
// spacing, and it is the view that the preview's drawing step (TStereoPreview) draws into.
#include "preview/previewlogic.h"
#include "preview/stereopreview.h"

#include <QFrame>
#include <QWidget>

class TLabelShadow;
class TPreviewImage;

// One preview panel: its display controls fill the client area, the labels stand over them.
class TPreviewPanel : public QFrame
{
    Q_OBJECT

public:
    TPreviewPanel(const QString &name, const QString &imageName, QPoint namesAt, QPoint valuesAt,
                  QWidget *parent = nullptr);

    TPreviewImage *Image = nullptr;         // Image_L or Image_R
    TPreviewImage *ImageAnaglyph = nullptr; // Image_A, left panel only
    TLabelShadow *LabelNames = nullptr;     // LabelExifBez_L / _R
    TLabelShadow *LabelValues = nullptr;    // LabelExifVal_L / _R

    TPreviewImage *addAnaglyphImage();
    void setExifText(const QString &names, const QString &values);

Q_SIGNALS:
    void resized();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeLabels();
    QPoint m_namesAt;
    QPoint m_valuesAt;
};

class TPreviewArea : public QWidget, public TPreviewView
{
    Q_OBJECT

public:
    explicit TPreviewArea(QWidget *parent = nullptr);

    TPreviewPanel *PanelImage_L = nullptr;
    TPreviewPanel *PanelImage_R = nullptr;

    TDisplayMode mode() const { return m_mode; }
    // Shows and places the panels for mode (the display mode radio buttons).
    void setMode(TDisplayMode mode);
    // "SbS: Inner Spacing".
    void setSpacing(int spacing);
    // "Show EXIF": the four metadata labels are visible exactly when on.
    void setExifVisible(bool on);
    // The panels without frames on black, as the full-screen view shows them.
    void setPlain();

    // ---- TPreviewView ----
    QSize PanelClientSize(int side) const override;
    void ShowPicture(int side, const QImage &bitmap, const QImage &fitted) override;
    void HidePicture(int side) override;
    void ShowExifText(int side, const QString &names, const QString &values) override;
    void ShowAnaglyph(const QImage &bitmap, const QImage &fitted) override;
    void HideAnaglyph() override;

Q_SIGNALS:
    // The side's panel changed its size (its picture must be drawn again).
    void panelResized(int side);
    // A double click with the left button on the preview.
    void doubleClicked();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    // UpdatePanelWidths: the panels' places for the mode, spacing and area size.
    void updatePanelWidths();
    TPreviewPanel *panel(int side) const
    {
        return side == PreviewLeft ? PanelImage_L : PanelImage_R;
    }

    TDisplayMode m_mode = TDisplayMode::CrossEyed;
    int m_spacing = 16;
    bool m_exifVisible = true;
};
