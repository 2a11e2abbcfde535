// Untrusted JPEG bytes through the built-in codec: the 1/8 decode and square thumbnail
// of the list icons, and the full-size decode of the preview.
#include "imaging/jpegcodec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QImage thumbnail = CreateJpegThumbnail(data, size, ThumbnailSize, QColor::fromRgb(ThumbnailBackground));
    if (!thumbnail.isNull() && thumbnail.size() != QSize(ThumbnailSize, ThumbnailSize))
        __builtin_trap();
    if (size < 64 * 1024)
        DecodeJpeg(data, size, 1);
    return 0;
}
