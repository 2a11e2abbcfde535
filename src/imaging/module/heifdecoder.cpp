// HEIF/HEIC pictures through libheif: the primary picture or one of its embedded
// thumbnails, with the file's transformations applied, and the primary picture's EXIF block.
#include "imaging/module/decoders.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace gflcore {
namespace {

struct ContextDeleter
{
    void operator()(heif_context *c) const { heif_context_free(c); }
};
struct HandleDeleter
{
    void operator()(heif_image_handle *h) const { heif_image_handle_release(h); }
};
struct ImageDeleter
{
    void operator()(heif_image *i) const { heif_image_release(i); }
};
using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;
using Image = std::unique_ptr<heif_image, ImageDeleter>;

GFL_ERROR codeOf(const heif_error &error)
{
    switch (error.code) {
    case heif_error_Ok:
        return GFL_NO_ERROR;
    case heif_error_Unsupported_filetype:
    case heif_error_Unsupported_feature:
        return GFL_ERROR_UNKNOWN_FORMAT;
    case heif_error_Memory_allocation_error:
        // Also a picture beyond the size limit: too large to decode, like one refused here.
        return error.subcode == heif_suberror_Security_limit_exceeded
                   ? GFL_ERROR(GFL_ERROR_BAD_BITMAP)
                   : GFL_ERROR(GFL_ERROR_NO_MEMORY);
    default:
        return GFL_ERROR_FILE_READ;
    }
}

enum class Purpose
{
    Decode,   // pictures will be decoded: libheif's size limit applies
    Metadata, // only the metadata blocks are read; nothing is decoded
};

// Reads the container (no picture data is decoded) and gives its primary picture. For a
// decode, libheif is told the longest side it may accept before it reads anything, so that
// a file declaring a canvas beyond the pixel limit is refused before memory is taken for
// it; the metadata of such a file can still be read.
GFL_ERROR openPrimary(const std::uint8_t *data, std::size_t size, Purpose purpose, Context &context,
                      Handle &primary)
{
    context.reset(heif_context_alloc());
    if (!context)
        return GFL_ERROR_NO_MEMORY;
    if (purpose == Purpose::Decode)
        heif_context_set_maximum_image_size_limit(context.get(), MaxHeifSide);
    heif_error error =
        heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr);
    if (error.code != heif_error_Ok)
        return codeOf(error);
    heif_image_handle *handle = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &handle);
    primary.reset(handle);
    if (error.code != heif_error_Ok || !handle)
        return error.code != heif_error_Ok ? codeOf(error) : GFL_ERROR(GFL_ERROR_FILE_READ);
    return GFL_NO_ERROR;
}

// The smallest embedded thumbnail whose longer side reaches side, or null.
Handle thumbnailFor(heif_image_handle *primary, int side)
{
    const int count = heif_image_handle_get_number_of_thumbnails(primary);
    if (count <= 0 || count > 64)
        return {};
    std::vector<heif_item_id> ids(static_cast<std::size_t>(count));
    const int listed = heif_image_handle_get_list_of_thumbnail_IDs(primary, ids.data(), count);
    Handle best;
    long long bestArea = 0;
    for (int i = 0; i < listed && i < count; ++i) {
        heif_image_handle *raw = nullptr;
        if (heif_image_handle_get_thumbnail(primary, ids[std::size_t(i)], &raw).code !=
                heif_error_Ok ||
            !raw)
            continue;
        Handle thumbnail(raw);
        const int width = heif_image_handle_get_width(raw);
        const int height = heif_image_handle_get_height(raw);
        const long long area = (long long)width * height;
        if (std::max(width, height) < side || (best && area >= bestArea))
            continue;
        best = std::move(thumbnail);
        bestArea = area;
    }
    return best;
}

// How many times a picture is halved for a thumbnail: while its longer side stays at least
// twice the side asked for, so that the caller's smooth scaling has little left to do.
int halvingsFor(int width, int height, int side)
{
    int halvings = 0;
    while (std::max(width, height) >= 4 * side && width >= 2 && height >= 2) {
        width /= 2;
        height /= 2;
        ++halvings;
    }
    return halvings;
}

// A picture of this size may be decoded: not empty, and within the pixel limit.
bool decodableSize(int width, int height)
{
    return width >= 1 && height >= 1 && std::int64_t(width) * height <= MaxDecodedPixels;
}

// The picture for a thumbnail. It is decoded into planes of red, green and blue (a grid's
// tiles are composed into such planes; interleaved pixels would be a second full-size copy
// of the largest pictures) and reduced from them straight into a small picture: each pixel
// the average of a block of 2^halvings square (the last partial rows and columns dropped).
Decoded decodeHandleReduced(heif_image_handle *handle, int side)
{
    Decoded result;
    const int width = heif_image_handle_get_width(handle);
    const int height = heif_image_handle_get_height(handle);
    if (!decodableSize(width, height)) {
        result.error = GFL_ERROR_BAD_BITMAP;
        return result;
    }
    std::unique_ptr<heif_decoding_options, void (*)(heif_decoding_options *)> options(
        heif_decoding_options_alloc(), heif_decoding_options_free);
    if (!options) {
        result.error = GFL_ERROR_NO_MEMORY;
        return result;
    }
    options->convert_hdr_to_8bit = 1;
    heif_image *raw = nullptr;
    // The file's rotation, mirror and crop are applied.
    const heif_error error =
        heif_decode_image(handle, &raw, heif_colorspace_RGB, heif_chroma_444, options.get());
    Image image(raw);
    if (error.code != heif_error_Ok || !raw) {
        result.error = error.code != heif_error_Ok ? codeOf(error) : GFL_ERROR(GFL_ERROR_FILE_READ);
        return result;
    }
    const heif_channel channels[4] = {heif_channel_R, heif_channel_G, heif_channel_B,
                                      heif_channel_Alpha};
    const int count = heif_image_has_channel(raw, heif_channel_Alpha) ? 4 : 3;
    const std::uint8_t *planes[4] = {};
    int strides[4] = {};
    const int w = heif_image_get_width(raw, heif_channel_R);
    const int h = heif_image_get_height(raw, heif_channel_R);
    for (int c = 0; c < count; ++c) {
        planes[c] = heif_image_get_plane_readonly(raw, channels[c], &strides[c]);
        if (!planes[c] || heif_image_get_bits_per_pixel_range(raw, channels[c]) != 8 ||
            heif_image_get_width(raw, channels[c]) != w ||
            heif_image_get_height(raw, channels[c]) != h || strides[c] < w) {
            result.error = GFL_ERROR_BAD_BITMAP;
            return result;
        }
    }
    // A grid's canvas may be larger than the size its file declares.
    if (!decodableSize(w, h)) {
        result.error = GFL_ERROR_BAD_BITMAP;
        return result;
    }
    const int halvings = halvingsFor(w, h, side);
    const int block = 1 << halvings;
    QImage picture(w >> halvings, h >> halvings,
                   count == 4 ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (picture.isNull()) {
        result.error = GFL_ERROR_NO_MEMORY;
        return result;
    }
    const std::uint64_t blockPixels = std::uint64_t(block) * std::uint64_t(block);
    std::vector<std::uint64_t> sums(std::size_t(picture.width()) * std::size_t(count));
    for (int y = 0; y < picture.height(); ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int row = y * block; row < (y + 1) * block; ++row) {
            for (int c = 0; c < count; ++c) {
                const std::uint8_t *line = planes[c] + std::size_t(row) * std::size_t(strides[c]);
                for (int x = 0; x < picture.width(); ++x) {
                    std::uint64_t sum = 0;
                    for (int i = 0; i < block; ++i)
                        sum += line[x * block + i];
                    sums[std::size_t(x) * std::size_t(count) + std::size_t(c)] += sum;
                }
            }
        }
        uchar *out = picture.scanLine(y);
        for (std::size_t i = 0; i < sums.size(); ++i)
            out[i] = uchar((sums[i] + blockPixels / 2) / blockPixels);
    }
    result.image = std::move(picture);
    return result;
}

Decoded decodeHandle(heif_image_handle *handle)
{
    Decoded result;
    const int width = heif_image_handle_get_width(handle);
    const int height = heif_image_handle_get_height(handle);
    if (!decodableSize(width, height)) {
        result.error = GFL_ERROR_BAD_BITMAP;
        return result;
    }
    const bool alpha = heif_image_handle_has_alpha_channel(handle);
    heif_image *raw = nullptr;
    // Default options: the file's rotation, mirror and crop are applied.
    const heif_error error = heif_decode_image(
        handle, &raw, heif_colorspace_RGB,
        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
    Image image(raw);
    if (error.code != heif_error_Ok || !raw) {
        result.error = error.code != heif_error_Ok ? codeOf(error) : GFL_ERROR(GFL_ERROR_FILE_READ);
        return result;
    }
    int stride = 0;
    std::uint8_t *plane = heif_image_get_plane(raw, heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(raw, heif_channel_interleaved);
    const int h = heif_image_get_height(raw, heif_channel_interleaved);
    const int bytesPerPixel = alpha ? 4 : 3;
    // A grid's canvas may be larger than the size its file declares.
    if (!plane || !decodableSize(w, h) || stride < w * bytesPerPixel) {
        result.error = GFL_ERROR_BAD_BITMAP;
        return result;
    }
    // The picture is handed on in libheif's own buffer, released with the last copy of the
    // QImage: a second full-size copy would double the memory a large picture takes.
    result.image = QImage(
        plane, w, h, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888,
        [](void *decoded) { heif_image_release(static_cast<heif_image *>(decoded)); }, image.get());
    if (result.image.isNull()) {
        result.error = GFL_ERROR_NO_MEMORY;
        return result;
    }
    image.release();
    return result;
}

} // namespace

bool looksLikeHeif(const std::uint8_t *data, std::size_t size)
{
    if (!data || size < 12)
        return false;
    const heif_filetype_result type =
        heif_check_filetype(data, int(std::min<std::size_t>(size, 64)));
    if (type != heif_filetype_yes_supported && type != heif_filetype_maybe)
        return false;
    // AVIF shares the container, but its pictures need another codec: not claimed here.
    return std::memcmp(data + 8, "avif", 4) != 0 && std::memcmp(data + 8, "avis", 4) != 0;
}

Decoded decodeHeif(const std::uint8_t *data, std::size_t size, DecodeRequest request)
{
    Decoded result;
    Context context;
    Handle primary;
    result.error = openPrimary(data, size, Purpose::Decode, context, primary);
    if (result.error != GFL_NO_ERROR)
        return result;
    if (request.thumbnailSide <= 0)
        return decodeHandle(primary.get());
    if (Handle thumbnail = thumbnailFor(primary.get(), request.thumbnailSide)) {
        Decoded small = decodeHandleReduced(thumbnail.get(), request.thumbnailSide);
        if (small.error == GFL_NO_ERROR)
            return small;
        // A broken thumbnail: the picture itself may still be fine.
    }
    return decodeHandleReduced(primary.get(), request.thumbnailSide);
}

std::vector<std::uint8_t> heifExifBlock(const std::uint8_t *data, std::size_t size)
{
    Context context;
    Handle primary;
    if (openPrimary(data, size, Purpose::Metadata, context, primary) != GFL_NO_ERROR)
        return {};
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(primary.get(), "Exif", &id, 1) < 1)
        return {};
    const std::size_t blockSize = heif_image_handle_get_metadata_size(primary.get(), id);
    // The block: a 32-bit big-endian offset from its fifth byte to the TIFF header, then
    // (often "Exif\0\0" and) the TIFF structure.
    if (blockSize < 4 + 8 || blockSize > size)
        return {};
    std::vector<std::uint8_t> block(blockSize);
    if (heif_image_handle_get_metadata(primary.get(), id, block.data()).code != heif_error_Ok)
        return {};
    const std::uint32_t offset = (std::uint32_t(block[0]) << 24) | (std::uint32_t(block[1]) << 16) |
                                 (std::uint32_t(block[2]) << 8) | std::uint32_t(block[3]);
    if (offset > blockSize - 4 - 8)
        return {};
    std::size_t start = 4 + offset;
    const auto isTiffHeader = [&](std::size_t at) {
        return at <= blockSize - 4 && ((block[at] == 'I' && block[at + 1] == 'I' &&
                                        block[at + 2] == 42 && block[at + 3] == 0) ||
                                       (block[at] == 'M' && block[at + 1] == 'M' &&
                                        block[at + 2] == 0 && block[at + 3] == 42));
    };
    // Some writers count the offset wrongly; "Exif\0\0" before the header is skipped too.
    if (!isTiffHeader(start) && blockSize >= 10 &&
        std::memcmp(block.data() + 4, "Exif\0\0", 6) == 0)
        start = 10;
    if (!isTiffHeader(start))
        return {};
    return std::vector<std::uint8_t>(block.begin() + std::ptrdiff_t(start), block.end());
}

} // namespace gflcore
