#pragma once
// The core module's own decoders for formats that carry their picture in a container
// (HEIF/HEIC through libheif, camera RAW files through LibRaw), and the scaled JPEG decode
// they share. Every decoder delivers the picture upright: a HEIF picture with the file's
// own transformations (rotation, mirror, crop) applied, a RAW preview turned as the file's
// orientation says. Bounds are checked against the bytes given; nothing here trusts the
// file. Thread-safe: every call works on its own decoder objects.
#include "imaging/gflabi.h"

#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gflcore {

// A decoded picture (RGB888 or RGBA8888) or the library code of the failure.
struct Decoded
{
    GFL_ERROR error = GFL_NO_ERROR;
    QImage image;
};

// What to decode. 0: the full picture (a RAW file's full-size embedded preview; a RAW file
// is never developed). Otherwise the smallest picture the file holds whose longer side is
// at least thumbnailSide: an embedded thumbnail when one is large enough, else the picture
// itself (a JPEG preview decoded at the smallest scale that still reaches that size).
struct DecodeRequest
{
    int thumbnailSide = 0;
};

// --- HEIF / HEIC -------------------------------------------------------------------------

// The first bytes of a file (at least 12) say it is a HEIF picture (brands heic, heix,
// heim, heis, hevc, hevx, mif1, msf1).
bool looksLikeHeif(const std::uint8_t *data, std::size_t size);
Decoded decodeHeif(const std::uint8_t *data, std::size_t size, DecodeRequest request);
// The TIFF-structured EXIF block of the primary picture (starting at its byte-order mark),
// or empty when the file has none.
std::vector<std::uint8_t> heifExifBlock(const std::uint8_t *data, std::size_t size);

// --- Camera RAW --------------------------------------------------------------------------

// File name suffixes of the RAW formats the module reads, in lower case.
const std::vector<const char *> &rawSuffixes();
bool hasRawSuffix(const QString &path);
// Both read through the same stream over a byte source (a file, or bytes in memory).
Decoded decodeRawFile(const QString &path, DecodeRequest request);
Decoded decodeRawBuffer(const std::uint8_t *data, std::size_t size, DecodeRequest request);

// --- JPEG --------------------------------------------------------------------------------

// Decodes JPEG bytes at the smallest of libjpeg-turbo's scales whose longer side reaches
// thumbnailSide (full size for 0). A picture decoded with warnings (stray bytes between
// sections, a missing end marker) still counts.
Decoded decodeJpegScaled(const std::uint8_t *data, std::size_t size, int thumbnailSide);

// Pictures larger than this many pixels are refused before anything is allocated: 150
// million (a 450 MB 24-bit bitmap), beyond any camera's or phone's picture. The Qt readers
// of the core module have the same limit.
inline constexpr std::int64_t MaxDecodedPixels = 150LL * 1000 * 1000;

// libheif's own limit, the only one it has: a picture or a composed canvas (a grid of
// tiles, an overlay) whose side reaches this is refused while the file is read, before
// any decoding. A grid's canvas may be larger than the size its file declares for the
// picture, which is what the pixel limit above checks; this side, the square root of that
// limit, bounds the canvas to it. Pictures with a longer side (panoramas) are refused.
inline constexpr int MaxHeifSide = 12248;
static_assert(std::int64_t(MaxHeifSide - 1) * (MaxHeifSide - 1) <= MaxDecodedPixels);
static_assert(std::int64_t(MaxHeifSide) * MaxHeifSide > MaxDecodedPixels);

} // namespace gflcore
