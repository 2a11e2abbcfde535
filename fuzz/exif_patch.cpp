// Untrusted JPEG bytes through the EXIF correction that follows a lossless turn: it may
// only rewrite values in place, never change the size or read outside the buffer.
#include "imaging/exifpatch.h"

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<std::uint8_t> buffer(data, data + size);
    const exifpatch::PatchResult result = exifpatch::patchAfterRotation(buffer.data(), buffer.size(), 70000, 300);
    if (!result.exifFound && !std::equal(buffer.begin(), buffer.end(), data))
        __builtin_trap(); // without a block nothing may change
    return 0;
}
