// Untrusted JPEG bytes through the built-in codec: the 1/8 decode and square thumbnail
// of the list icons (or the embedded EXIF thumbnail standing for it, kept compressed and
// drawn at an icon's size), and the full-size decode of the preview.
#include "imaging/jpegcodec.h"
#include "imaging/thumbnail.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QImage thumbnail = CreateJpegThumbnail(data, size, ThumbnailSize, QColor::fromRgb(ThumbnailBackground));
    if (!thumbnail.isNull() && thumbnail.size() != QSize(ThumbnailSize, ThumbnailSize))
        __builtin_trap();
    const TThumbnail kept =
        JpegStreamThumbnail(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!kept.isNull()) {
        if (kept.size() != QSize(ThumbnailSize, ThumbnailSize))
            __builtin_trap();
        const QImage icon = kept.render(QSize(64, 64));
        if (!icon.isNull() && icon.size() != QSize(64, 64))
            __builtin_trap();
    }
    if (size < 64 * 1024)
        DecodeJpeg(data, size, 1);
    return 0;
}
