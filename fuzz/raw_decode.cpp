// Untrusted RAW file bytes through the core module's decoder: LibRaw's parse through the
// same stream over a byte source that reads the users' files, the checks of the embedded
// preview, its scaled JPEG decode and the turn by the file's orientation.
#include "imaging/module/decoders.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const gflcore::Decoded thumbnail = gflcore::decodeRawBuffer(data, size, gflcore::DecodeRequest{300});
    if (thumbnail.error == GFL_NO_ERROR && thumbnail.image.isNull())
        __builtin_trap(); // success always carries a picture
    // The preview's own decoder on the bytes as they are, as a JPEG.
    gflcore::decodeJpegScaled(data, size, 300);
    return 0;
}
