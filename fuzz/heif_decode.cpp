// Untrusted HEIF bytes through the core module's decoder: the container walk, the choice
// of an embedded thumbnail, the decode with the file's transformations, and the EXIF block.
#include "imaging/module/decoders.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    gflcore::looksLikeHeif(data, size);
    const std::vector<std::uint8_t> exif = gflcore::heifExifBlock(data, size);
    if (!exif.empty() && exif.size() < 8)
        __builtin_trap(); // a block starts with a whole TIFF header
    const gflcore::Decoded thumbnail = gflcore::decodeHeif(data, size, gflcore::DecodeRequest{300});
    if (thumbnail.error == GFL_NO_ERROR && thumbnail.image.isNull())
        __builtin_trap(); // success always carries a picture
    if (size < 64 * 1024)
        gflcore::decodeHeif(data, size, gflcore::DecodeRequest{0});
    return 0;
}
