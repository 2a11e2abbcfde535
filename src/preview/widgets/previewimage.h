#pragma once
// TPreviewImage: a display control for one preview picture (Image_L, Image_R, Image_A).
// The picture is fitted into the control keeping its aspect ratio and centred. The owner
// hands over the picture fitted with the Lanczos filter (made off the user interface
// thread); until it does, the control shows a plain stretch of the picture.
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
    // Where the picture is drawn.
    QRect fittedRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_bitmap;
    QImage m_fitted;
};
