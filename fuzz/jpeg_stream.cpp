// Untrusted JPEG bytes through the walk that finds where a file's first picture ends (the
// lossless turn refuses a file with more after it): the end found lies inside the bytes,
// right after an end-of-image marker, and data after it is only reported when there is
// some.
#include "imaging/jpegstream.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::size_t end = jpegstream::firstStreamEnd(data, size);
    if (end != 0 && (end < 4 || end > size || data[end - 2] != 0xFF || data[end - 1] != 0xD9))
        __builtin_trap();
    if (jpegstream::hasDataAfterFirstStream(data, size) && (end == 0 || end == size))
        __builtin_trap();
    return 0;
}
