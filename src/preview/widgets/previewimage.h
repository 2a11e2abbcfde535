#pragma once
// TPreviewImage: a display control for one preview picture (Image_L, Image_R, Image_A).
// The picture is fitted into the control keeping its aspect ratio and centred; the fitting
// resamples with the Lanczos filter once per size, not at every paint.
#include <QImage>
#include <QWidget>

class TPreviewImage : public QWidget
{
    Q_OBJECT

public:
    explicit TPreviewImage(QWidget *parent = nullptr);

    // The picture to show; fitted, when not null, is it already fitted into the control's
    // present size (made on a worker thread), so that showing it costs no resampling.
    void setBitmap(const QImage &bitmap, const QImage &fitted = QImage());
    QImage bitmap() const { return m_bitmap; }
    // The picture as it is drawn, and where.
    QImage fittedBitmap();
    QRect fittedRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_bitmap;
    QImage m_fitted;
};
