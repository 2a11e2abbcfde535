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
    if (m_fitted.size() != target.size())
        m_fitted = ResampleLanczos(m_bitmap, target.size());
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
