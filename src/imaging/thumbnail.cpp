#include "imaging/thumbnail.h"

#include "imaging/jpegcodec.h"

#include <QtEndian>

#include <turbojpeg.h>

#include <algorithm>
#include <memory>
#include <new>

namespace {

// High quality: the thumbnail is what the preview shows by default.
constexpr int Quality = 92;

// The byte order of a Format_RGB32 pixel (0xffRRGGBB in native order).
constexpr int NativePixelFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TJPF_BGRX : TJPF_XRGB;

struct HandleCloser
{
    void operator()(void *handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

bool rowIsBackground(const QImage &image, int y, QRgb background)
{
    const QRgb *p = reinterpret_cast<const QRgb *>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
        if ((p[x] | 0xFF000000u) != background)
            return false;
    return true;
}

bool columnIsBackground(const QImage &image, int x, int top, int bottom, QRgb background)
{
    for (int y = top; y <= bottom; ++y)
        if ((reinterpret_cast<const QRgb *>(image.constScanLine(y))[x] | 0xFF000000u) != background)
            return false;
    return true;
}

// The part of image between the rows and columns of pure background at its edges.
QRect contentRect(const QImage &image, QRgb background)
{
    int top = 0, bottom = image.height() - 1;
    while (top <= bottom && rowIsBackground(image, top, background))
        ++top;
    if (top > bottom)
        return {}; // background only
    while (rowIsBackground(image, bottom, background))
        --bottom;
    int left = 0, right = image.width() - 1;
    while (columnIsBackground(image, left, top, bottom, background))
        ++left;
    while (columnIsBackground(image, right, top, bottom, background))
        --right;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

TThumbnail::TThumbnail(const QImage &picture) : TThumbnail(picture, ThumbnailBackground) {}

TThumbnail::TThumbnail(const QImage &picture, QRgb background)
{
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1)
        return;
    try {
        const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
        if (rgb.isNull())
            return;
        const QRgb bg = background | 0xFF000000u;
        const QRect content = contentRect(rgb, bg);
        if (!content.isEmpty()) {
            Handle handle(tjInitCompress());
            if (!handle)
                return;
            unsigned char *jpeg = nullptr;
            unsigned long size = 0;
            const uchar *first = rgb.constScanLine(content.top()) + content.left() * 4;
            const int failed = tjCompress2(
                handle.get(), first, content.width(), int(rgb.bytesPerLine()), content.height(),
                NativePixelFormat, &jpeg, &size, TJSAMP_420, Quality, TJFLAG_ACCURATEDCT);
            if (failed || !jpeg) {
                tjFree(jpeg);
                return;
            }
            m_jpeg = QByteArray(reinterpret_cast<const char *>(jpeg), qsizetype(size));
            tjFree(jpeg);
        }
        m_content = content;
        m_background = bg;
        m_size = rgb.size();
    } catch (const std::bad_alloc &) {
        *this = TThumbnail();
    }
}

QImage TThumbnail::image() const
{
    return image(m_size);
}

QImage TThumbnail::image(QSize atLeast) const
{
    if (isNull())
        return {};
    // The largest reduction (1/2, 1/4, 1/8) that keeps the thumbnail at least atLeast.
    int denominator = 1;
    for (const int d : {8, 4, 2}) {
        if (m_size.width() / d >= atLeast.width() && m_size.height() / d >= atLeast.height() &&
            m_content.width() / d >= 1 && m_content.height() / d >= 1) {
            denominator = d;
            break;
        }
    }
    const tjscalingfactor factor{1, denominator};
    const QSize size(TJSCALED(m_size.width(), factor), TJSCALED(m_size.height(), factor));
    QImage result(size, QImage::Format_RGB32);
    if (result.isNull())
        return {};
    result.fill(m_background);
    if (m_content.isEmpty())
        return result;
    const int width = TJSCALED(m_content.width(), factor);
    const int height = TJSCALED(m_content.height(), factor);
    const int left = std::min(m_content.left() / denominator, size.width() - width);
    const int top = std::min(m_content.top() / denominator, size.height() - height);
    Handle handle(tjInitDecompress());
    if (!handle)
        return {};
    uchar *first = result.scanLine(top) + left * 4;
    if (tjDecompress2(handle.get(), reinterpret_cast<const unsigned char *>(m_jpeg.constData()),
                      static_cast<unsigned long>(m_jpeg.size()), first, width,
                      int(result.bytesPerLine()), height, NativePixelFormat,
                      denominator == 1 ? TJFLAG_ACCURATEDCT : TJFLAG_FASTDCT) != 0)
        return {};
    return result;
}
