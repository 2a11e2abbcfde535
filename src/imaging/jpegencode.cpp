#include "imaging/jpegencode.h"

#include "imaging/exifpatch.h"

#include <turbojpeg.h>

#include <memory>

namespace {

struct TjFree
{
    void operator()(void *handle) const { tjDestroy(handle); }
};

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Where the segments that must stay first (SOI, then a JFIF APP0) end.
qsizetype afterApp0(const QByteArray &jpeg)
{
    qsizetype at = 2;
    if (jpeg.size() >= 6 && uchar(jpeg[2]) == 0xFF && uchar(jpeg[3]) == 0xE0) {
        const qsizetype length = (uchar(jpeg[4]) << 8) | uchar(jpeg[5]);
        if (length >= 2 && length <= jpeg.size() - 4)
            at = 4 + length;
    }
    return at;
}

} // namespace

QByteArray EncodeJpeg(const QImage &picture, int quality, const QByteArray &exifSegment,
                      QString *error)
{
    if (picture.isNull()) {
        setError(error, QStringLiteral("there is no picture to encode"));
        return {};
    }
    // RGB32 holds each pixel as the bytes B, G, R, X on little-endian machines and
    // X, R, G, B on big-endian ones.
    const QImage rgb =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
            ? picture
            : picture.convertToFormat(QImage::Format_RGB32);
    const int pixelFormat = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRX : TJPF_XRGB;
    std::unique_ptr<void, TjFree> encoder(tjInitCompress());
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    const int q = qBound(1, quality, 100);
    if (!encoder || tjCompress2(encoder.get(), rgb.constBits(), rgb.width(),
                                int(rgb.bytesPerLine()), rgb.height(), pixelFormat, &out, &outSize,
                                q >= 90 ? TJSAMP_444 : TJSAMP_420, q, TJFLAG_ACCURATEDCT) != 0) {
        setError(error, encoder ? QString::fromUtf8(tjGetErrorStr2(encoder.get()))
                                : QStringLiteral("the JPEG encoder cannot be started"));
        if (out)
            tjFree(out);
        return {};
    }
    QByteArray encoded(reinterpret_cast<const char *>(out), qsizetype(outSize));
    tjFree(out);
    if (!exifSegment.isEmpty())
        encoded.insert(afterApp0(encoded), exifSegment);
    return encoded;
}

QByteArray ExifSegmentForNewPicture(const QByteArray &jpeg, QSize size)
{
    const auto *data = reinterpret_cast<const std::uint8_t *>(jpeg.constData());
    const exifpatch::ExifSegment found = exifpatch::findExifSegment(data, std::size_t(jpeg.size()));
    if (!found.found || found.markerOffset > std::size_t(jpeg.size()) - 4)
        return {};
    //   FF E1 | length (2 bytes, counts itself) | "Exif\0\0" | TIFF block
    const std::size_t length =
        (std::size_t(data[found.markerOffset + 2]) << 8) | data[found.markerOffset + 3];
    if (length < 2 || length > std::size_t(jpeg.size()) - found.markerOffset - 2)
        return {};
    // The patch walks a JPEG header, so the segment goes behind an SOI of its own.
    QByteArray file =
        QByteArray("\xFF\xD8", 2) + jpeg.mid(qsizetype(found.markerOffset), qsizetype(length + 2));
    exifpatch::patchAfterRotation(reinterpret_cast<std::uint8_t *>(file.data()),
                                  std::size_t(file.size()), std::uint32_t(size.width()),
                                  std::uint32_t(size.height()));
    return file.mid(2);
}
