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
Decoded decodeRawFile(const QString &path, DecodeRequest request);
Decoded decodeRawBuffer(const std::uint8_t *data, std::size_t size, DecodeRequest request);

// --- JPEG --------------------------------------------------------------------------------

// Decodes JPEG bytes at the smallest of libjpeg-turbo's scales whose longer side reaches
// thumbnailSide (full size for 0). A picture decoded with warnings (stray bytes between
// sections, a missing end marker) still counts.
Decoded decodeJpegScaled(const std::uint8_t *data, std::size_t size, int thumbnailSide);

// Pictures larger than this many pixels are refused before anything is allocated.
inline constexpr std::int64_t MaxDecodedPixels = 400LL * 1000 * 1000;

} // namespace gflcore
