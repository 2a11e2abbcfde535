#include "preview/widgets/previewimage.h"

#include "preview/bitmapops.h"

#include <QPainter>

TPreviewImage::TPreviewImage(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TPreviewImage::setBitmap(const QImage &bitmap, const QImage &fitted)
{
    m_bitmap = bitmap;
    m_fitted = fitted;
    update();
}

QRect TPreviewImage::fittedRect() const
{
    return FitRect(m_bitmap.size(), size());
}

void TPreviewImage::paintEvent(QPaintEvent *)
{
    const QRect target = fittedRect();
    if (target.isEmpty())
        return;
    QPainter painter(this);
    // Without a picture fitted to this size (the preview has the Lanczos fit made on a
    // worker and hands it over when it is ready) the painter stretches the picture:
    // resampling here would hold the user interface thread up for tens of milliseconds.
    if (m_fitted.size() == target.size())
        painter.drawImage(target.topLeft(), m_fitted);
    else
        painter.drawImage(target, m_bitmap);
}
