#pragma once
// In-place corrections of the EXIF block of a JPEG after its pixels were turned.
//
// Plain C++ without Qt: the effects module compiles this file too.
#include <cstddef>
#include <cstdint>

namespace exifpatch {

struct PatchResult
{
    bool exifFound = false;      // an EXIF block with a valid TIFF header was found
    bool orientationSet = false; // the orientation tag now reads 1 (normal)
    bool dimensionsSet = false;  // both EXIF pixel dimensions now state width and height
};

// Looks for the EXIF block (APP1 "Exif\0\0") among the segments in front of the first
// scan and rewrites, without changing any size or offset, the orientation tag of the main
// directory to 1 and the pixel dimensions of the EXIF directory to width and height (a
// dimension stored as SHORT is only written when the value fits). Untrusted input: every
// offset is checked against the buffer before it is used; malformed data is left alone.
PatchResult patchAfterRotation(std::uint8_t *data, std::size_t size, std::uint32_t width,
                               std::uint32_t height);

} // namespace exifpatch
