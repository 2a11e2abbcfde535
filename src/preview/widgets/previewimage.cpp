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

QImage TPreviewImage::fittedBitmap()
{
    const QRect target = fittedRect();
    if (target.isEmpty())
        return {};
    // Without a picture fitted to this size (the preview has the Lanczos fit made on a
    // worker and hands it over when it is ready) a plain stretch stands in: resampling
    // here would hold the user interface thread up for tens of milliseconds.
    if (m_fitted.size() != target.size())
        m_fitted = m_bitmap.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return m_fitted;
}

void TPreviewImage::paintEvent(QPaintEvent *)
{
    const QImage picture = fittedBitmap();
    if (picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(fittedRect().topLeft(), picture);
}
