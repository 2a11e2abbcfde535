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
// Where the EXIF block (APP1 "Exif\0\0") before the first scan lies: the segment's FF
// marker byte, and the TIFF block after the "Exif\0\0" signature.
struct ExifSegment
{
    bool found = false;
    std::size_t markerOffset = 0; // of the FF E1 marker
    std::size_t tiffOffset = 0;   // from the file start
    std::size_t tiffSize = 0;
};
ExifSegment findExifSegment(const std::uint8_t *data, std::size_t size);

// The orientation tag (1..8) of the main directory; 0 when there is none.
int readOrientation(const std::uint8_t *data, std::size_t size);
// Rewrites the orientation tag in place; false when there is none to rewrite.
bool writeOrientation(std::uint8_t *data, std::size_t size, std::uint16_t value);

// The embedded thumbnail of IFD1 (JPEGInterchangeFormat and its length, both LONG).
// Offsets are from the TIFF block's start; offsetValueAt and lengthValueAt are the
// positions of the two values in that block.
struct ThumbnailLocation
{
    bool found = false;
    ExifSegment segment;
    bool bigEndian = false;
    std::size_t offsetValueAt = 0;
    std::size_t lengthValueAt = 0;
    std::uint32_t thumbnailOffset = 0;
    std::uint32_t thumbnailLength = 0;
};
ThumbnailLocation findThumbnail(const std::uint8_t *data, std::size_t size);

PatchResult patchAfterRotation(std::uint8_t *data, std::size_t size, std::uint32_t width,
                               std::uint32_t height);

} // namespace exifpatch
