#include "imaging/thumbnail.h"

#include "imaging/exifpatch.h"
#include "imaging/jpegcodec.h"

#include <QPainter>
#include <QtEndian>

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// The picture's pixels in area, compressed; empty when compressing fails.
QByteArray compress(const QImage &rgb, const QRect &area, int subsampling)
{
    Handle handle(tjInitCompress());
    if (!handle)
        return {};
    unsigned char *jpeg = nullptr;
    unsigned long size = 0;
    const uchar *first = rgb.constScanLine(area.top()) + area.left() * 4;
    const int failed =
        tjCompress2(handle.get(), first, area.width(), int(rgb.bytesPerLine()), area.height(),
                    NativePixelFormat, &jpeg, &size, subsampling, Quality, TJFLAG_ACCURATEDCT);
    if (failed || !jpeg) {
        tjFree(jpeg);
        return {};
    }
    QByteArray bytes(reinterpret_cast<const char *>(jpeg), qsizetype(size));
    tjFree(jpeg);
    return bytes;
}

// picture as Format_RGB32, a picture with transparency laid over background.
QImage opaque(const QImage &picture, QRgb background)
{
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_RGB32);
    QImage result(picture.size(), QImage::Format_RGB32);
    if (result.isNull())
        return result;
    result.fill(background);
    QPainter painter(&result);
    painter.drawImage(0, 0, picture);
    painter.end();
    return result;
}

// Where place (in a thumbnail of size from) lies when the thumbnail is drawn at size to.
QRect scaledPlace(const QRect &place, QSize from, QSize to)
{
    if (from == to)
        return place;
    const auto edge = [](int value, int fromLength, int toLength) {
        return int(std::lround(double(value) * toLength / fromLength));
    };
    const int left = std::clamp(edge(place.left(), from.width(), to.width()), 0, to.width() - 1);
    const int top = std::clamp(edge(place.top(), from.height(), to.height()), 0, to.height() - 1);
    const int right = std::clamp(edge(place.left() + place.width(), from.width(), to.width()),
                                 left + 1, to.width());
    const int bottom = std::clamp(edge(place.top() + place.height(), from.height(), to.height()),
                                  top + 1, to.height());
    return QRect(left, top, right - left, bottom - top);
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
            m_jpeg = compress(rgb, content, TJSAMP_420);
            if (m_jpeg.isEmpty())
                return;
        }
        m_place = content;
        m_stored = content.size();
        m_background = bg;
        m_size = rgb.size();
    } catch (const std::bad_alloc &) {
        *this = TThumbnail();
    }
}

TThumbnail TThumbnail::Placed(const QImage &picture, QSize size, QRect place, QRgb background)
{
    place &= QRect(QPoint(0, 0), size);
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1 || place.isEmpty())
        return {};
    TThumbnail result;
    try {
        const QRgb bg = background | 0xFF000000u;
        QImage rgb = opaque(picture, bg);
        if (rgb.width() > place.width() || rgb.height() > place.height())
            rgb = rgb.scaled(place.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (rgb.isNull())
            return {};
        // A picture that will be enlarged twice or more keeps its colours at full
        // resolution: halved colour planes would show as blurred edges once stretched.
        const bool enlarged =
            2 * rgb.width() <= place.width() || 2 * rgb.height() <= place.height();
        result.m_jpeg = compress(rgb, rgb.rect(), enlarged ? TJSAMP_444 : TJSAMP_420);
        if (result.m_jpeg.isEmpty())
            return {};
        result.m_stored = rgb.size();
        result.m_place = place;
        result.m_size = size;
        result.m_background = bg;
    } catch (const std::bad_alloc &) {
        return {};
    }
    return result;
}

TThumbnail TThumbnail::PlacedJpeg(const QByteArray &jpeg, QSize size, QRect place, QRgb background)
{
    place &= QRect(QPoint(0, 0), size);
    if (jpeg.isEmpty() || place.isEmpty())
        return {};
    Handle handle(tjInitDecompress());
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (!handle ||
        tjDecompressHeader3(handle.get(), reinterpret_cast<const unsigned char *>(jpeg.constData()),
                            static_cast<unsigned long>(jpeg.size()), &width, &height, &subsampling,
                            &colorspace) != 0 ||
        width < 1 || height < 1)
        return {};
    // Drawing decodes at most 1/8 of the stored size beyond the place: a picture far larger
    // than its place (a hostile header) would cost memory for nothing.
    if (width / 8 > place.width() || height / 8 > place.height())
        return {};
    TThumbnail result;
    result.m_jpeg = jpeg;
    result.m_stored = QSize(width, height);
    result.m_place = place;
    result.m_size = size;
    result.m_background = background | 0xFF000000u;
    return result;
}

QImage TThumbnail::image() const
{
    return render(m_size);
}

QImage TThumbnail::image(QSize atLeast) const
{
    if (isNull())
        return {};
    for (const int d : {8, 4, 2}) {
        const QSize reduced((m_size.width() + d - 1) / d, (m_size.height() + d - 1) / d);
        if (m_size.width() / d >= atLeast.width() && m_size.height() / d >= atLeast.height() &&
            m_place.width() / d >= 1 && m_place.height() / d >= 1)
            return render(reduced);
    }
    return render(m_size);
}

QImage TThumbnail::render(QSize size) const
{
    if (isNull() || size.isEmpty())
        return {};
    QImage result(size, QImage::Format_RGB32);
    if (result.isNull())
        return {};
    result.fill(m_background);
    if (m_place.isEmpty())
        return result;
    const QRect target = scaledPlace(m_place, m_size, size);
    // The largest reduction (1/8, 1/4, 1/2) of the stored picture that still covers target.
    int denominator = 1;
    for (const int d : {8, 4, 2}) {
        const tjscalingfactor f{1, d};
        if (TJSCALED(m_stored.width(), f) >= target.width() &&
            TJSCALED(m_stored.height(), f) >= target.height()) {
            denominator = d;
            break;
        }
    }
    const tjscalingfactor factor{1, denominator};
    const QSize decoded(TJSCALED(m_stored.width(), factor), TJSCALED(m_stored.height(), factor));
    Handle handle(tjInitDecompress());
    if (!handle)
        return {};
    const auto decodeInto = [&](uchar *first, qsizetype pitch) {
        return tjDecompress2(handle.get(),
                             reinterpret_cast<const unsigned char *>(m_jpeg.constData()),
                             static_cast<unsigned long>(m_jpeg.size()), first, decoded.width(),
                             int(pitch), decoded.height(), NativePixelFormat,
                             denominator == 1 ? TJFLAG_ACCURATEDCT : TJFLAG_FASTDCT) == 0;
    };
    if (decoded == target.size()) {
        if (!decodeInto(result.scanLine(target.top()) + target.left() * 4, result.bytesPerLine()))
            return {};
        return result;
    }
    QImage picture(decoded, QImage::Format_RGB32);
    if (picture.isNull() || !decodeInto(picture.bits(), picture.bytesPerLine()))
        return {};
    const QImage fitted =
        picture.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (fitted.isNull())
        return {};
    for (int y = 0; y < target.height(); ++y)
        std::memcpy(result.scanLine(target.top() + y) + target.left() * 4, fitted.constScanLine(y),
                    std::size_t(target.width()) * 4);
    return result;
}

TThumbnail SquareThumbnail(const QImage &picture)
{
    return TThumbnail::Placed(picture, QSize(ThumbnailSize, ThumbnailSize),
                              SquarePlace(picture.size(), ThumbnailSize), ThumbnailBackground);
}

TThumbnail ExifSquareThumbnail(const QByteArray &head)
{
    // The EXIF block's TIFF directories name where the thumbnail lies in the TIFF block:
    //   FF D8 | ... | FF E1 len "Exif\0\0" | TIFF block: ... IFD1 (offset, length) ... thumbnail
    const auto *data = reinterpret_cast<const std::uint8_t *>(head.constData());
    const std::size_t size = std::size_t(head.size());
    const exifpatch::ThumbnailLocation location = exifpatch::findThumbnail(data, size);
    if (!location.found)
        return {};
    const std::size_t tiff = location.segment.tiffOffset;
    const std::size_t tiffSize = location.segment.tiffSize;
    const std::size_t offset = location.thumbnailOffset;
    const std::size_t length = location.thumbnailLength;
    if (tiff > size || tiffSize > size - tiff || offset > tiffSize || length > tiffSize - offset ||
        length < 4)
        return {};
    const QSize picture = JpegPictureSize(data, size);
    const QByteArray jpeg = head.mid(qsizetype(tiff + offset), qsizetype(length));
    const QSize embedded = JpegPictureSize(reinterpret_cast<const std::uint8_t *>(jpeg.constData()),
                                           std::size_t(jpeg.size()));
    if (picture.isEmpty() || embedded.isEmpty())
        return {};
    const QRect place = SquarePlace(picture, ThumbnailSize);
    if (place.isEmpty())
        return {};
    const QSize eighth((picture.width() + 7) / 8, (picture.height() + 7) / 8);
    const QSize needed = eighth.boundedTo(place.size());
    const double aspect = double(picture.width()) / picture.height();
    const double embeddedAspect = double(embedded.width()) / embedded.height();
    if (embedded.width() < needed.width() || embedded.height() < needed.height() ||
        std::abs(embeddedAspect - aspect) > 0.01 * aspect)
        return {};
    return TThumbnail::PlacedJpeg(jpeg, QSize(ThumbnailSize, ThumbnailSize), place,
                                  ThumbnailBackground);
}

TThumbnail JpegStreamThumbnail(const QByteArray &stream)
{
    if (TThumbnail embedded = ExifSquareThumbnail(stream); !embedded.isNull())
        return embedded;
    return SquareThumbnail(DecodeJpeg(reinterpret_cast<const unsigned char *>(stream.constData()),
                                      std::size_t(stream.size()), 8));
}
