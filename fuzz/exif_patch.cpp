// Untrusted JPEG bytes through the EXIF correction that follows a lossless turn: it may
// only rewrite values in place, never change the size or read outside the buffer. The
// readers of the orientation and of the embedded thumbnail's place must stay inside it, and
// the EXIF segment taken over by a new picture is one whole segment of the input.
#include "imaging/exifpatch.h"
#include "imaging/jpegencode.h"

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const exifpatch::ThumbnailLocation thumbnail = exifpatch::findThumbnail(data, size);
    if (thumbnail.found
        && (thumbnail.segment.tiffOffset > size || thumbnail.segment.tiffSize > size - thumbnail.segment.tiffOffset
            || thumbnail.thumbnailOffset > thumbnail.segment.tiffSize
            || thumbnail.thumbnailLength > thumbnail.segment.tiffSize - thumbnail.thumbnailOffset
            || thumbnail.offsetValueAt + 4 > thumbnail.segment.tiffSize
            || thumbnail.lengthValueAt + 4 > thumbnail.segment.tiffSize))
        __builtin_trap(); // a place outside the EXIF block
    const int orientation = exifpatch::readOrientation(data, size);
    if (orientation < 0 || orientation > 0xFFFF)
        __builtin_trap();
    std::vector<std::uint8_t> buffer(data, data + size);
    if (exifpatch::writeOrientation(buffer.data(), buffer.size(), 6) && exifpatch::readOrientation(buffer.data(), buffer.size()) != 6)
        __builtin_trap(); // a written orientation reads back
    buffer.assign(data, data + size);
    const exifpatch::PatchResult result = exifpatch::patchAfterRotation(buffer.data(), buffer.size(), 70000, 300);
    if (!result.exifFound && !std::equal(buffer.begin(), buffer.end(), data))
        __builtin_trap(); // without a block nothing may change
    // The EXIF segment a new picture (a stereo file) takes over: a whole APP1 segment cut
    // from the input, or nothing.
    const QByteArray segment = ExifSegmentForNewPicture(
        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), QSize(640, 480));
    if (!segment.isEmpty()
        && (segment.size() < 4 || std::size_t(segment.size()) > size || std::uint8_t(segment[0]) != 0xFF
            || std::uint8_t(segment[1]) != 0xE1
            || ((std::uint8_t(segment[2]) << 8) | std::uint8_t(segment[3])) != segment.size() - 2))
        __builtin_trap();
    return 0;
}
