// Camera RAW files through LibRaw: only the embedded preview is read (unpack_thumb), never
// the sensor data, and turned as the file's orientation says. JPEG previews are decoded
// with TurboJPEG at the smallest scale that still gives the size asked for.
#include "imaging/module/decoders.h"

#include <libraw/libraw.h>
#include <turbojpeg.h>

#include <QFileInfo>
#include <QTransform>

#include <algorithm>
#include <cstring>
#include <memory>

namespace gflcore {
namespace {

struct TurboDeleter
{
    void operator()(void *handle) const { tjDestroy(handle); }
};

// LibRaw's orientation: 0 none, 3 half turn, 5 quarter turn counter-clockwise, 6 quarter
// turn clockwise; the picture as stored is turned by that to stand upright.
QImage upright(const QImage &stored, int flip)
{
    QTransform turn;
    switch (flip) {
    case 3: turn.rotate(180); break;
    case 5: turn.rotate(270); break;
    case 6: turn.rotate(90); break;
    default: return stored;
    }
    return stored.transformed(turn);
}

Decoded previewOf(LibRaw &raw, std::int64_t fileSize, DecodeRequest request)
{
    Decoded result;
    libraw_internal_data_t *internal = raw.get_internal_data_pointer();
    const libraw_thumbnail_t &thumb = raw.imgdata.thumbnail;
    // The preview must lie inside the file: LibRaw reads what it can of a cut file and
    // leaves the rest of its buffer as it was.
    const std::int64_t offset = internal ? internal->internal_data.toffset : -1;
    if (offset < 0 || thumb.tlength == 0 || offset > fileSize || std::int64_t(thumb.tlength) > fileSize - offset) {
        result.error = GFL_ERROR_FILE_READ;
        return result;
    }
    const int code = raw.unpack_thumb();
    if (code != LIBRAW_SUCCESS || !thumb.thumb) {
        result.error = code == LIBRAW_UNSUFFICIENT_MEMORY ? GFL_ERROR_NO_MEMORY : GFL_ERROR_FILE_READ;
        return result;
    }
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(thumb.thumb);
    switch (thumb.tformat) {
    case LIBRAW_THUMBNAIL_JPEG:
        result = decodeJpegScaled(bytes, thumb.tlength, request.thumbnailSide);
        break;
    case LIBRAW_THUMBNAIL_BITMAP: {
        // 8-bit rows of tcolors components, no padding.
        const int width = thumb.twidth, height = thumb.theight, colours = thumb.tcolors;
        if (width < 1 || height < 1 || (colours != 1 && colours != 3)
            || std::size_t(width) * std::size_t(height) * std::size_t(colours) > thumb.tlength) {
            result.error = GFL_ERROR_BAD_BITMAP;
            break;
        }
        QImage picture(width, height, colours == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
        if (picture.isNull()) {
            result.error = GFL_ERROR_NO_MEMORY;
            break;
        }
        for (int y = 0; y < height; ++y)
            std::memcpy(picture.scanLine(y), bytes + std::size_t(y) * width * colours, std::size_t(width) * colours);
        result.image = picture.convertToFormat(QImage::Format_RGB888);
        break;
    }
    default: // 16-bit and layered previews of a few old cameras
        result.error = GFL_ERROR_UNKNOWN_FORMAT;
        break;
    }
    if (result.error == GFL_NO_ERROR)
        result.image = upright(result.image, raw.imgdata.sizes.flip);
    if (result.error == GFL_NO_ERROR && result.image.isNull())
        result.error = GFL_ERROR_NO_MEMORY;
    return result;
}

// A LibRaw object that complains to nobody: failures are reported through the codes.
std::unique_ptr<LibRaw> quietLibRaw()
{
    return std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
}

GFL_ERROR openCode(int code)
{
    switch (code) {
    case LIBRAW_SUCCESS: return GFL_NO_ERROR;
    case LIBRAW_FILE_UNSUPPORTED: return GFL_ERROR_UNKNOWN_FORMAT;
    case LIBRAW_UNSUFFICIENT_MEMORY: return GFL_ERROR_NO_MEMORY;
    case LIBRAW_IO_ERROR: return GFL_ERROR_FILE_OPEN;
    default: return GFL_ERROR_FILE_READ;
    }
}

} // namespace

const std::vector<const char *> &rawSuffixes()
{
    static const std::vector<const char *> suffixes = {"cr2", "cr3", "nef", "nrw", "arw", "orf",
                                                       "rw2", "dng", "pef", "raf", "srw"};
    return suffixes;
}

bool hasRawSuffix(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const char *known : rawSuffixes())
        if (suffix == QLatin1String(known))
            return true;
    return false;
}

Decoded decodeRawFile(const QString &path, DecodeRequest request)
{
    Decoded result;
    try {
        auto raw = quietLibRaw();
        const int code = raw->open_file(QFile::encodeName(path).constData());
        if (code != LIBRAW_SUCCESS) {
            result.error = openCode(code);
            return result;
        }
        return previewOf(*raw, QFileInfo(path).size(), request);
    } catch (const std::bad_alloc &) {
        result.error = GFL_ERROR_NO_MEMORY;
    } catch (...) {
        result.error = GFL_ERROR_FILE_READ;
    }
    return result;
}

Decoded decodeRawBuffer(const std::uint8_t *data, std::size_t size, DecodeRequest request)
{
    Decoded result;
    try {
        auto raw = quietLibRaw();
        // LibRaw only reads the buffer.
        const int code = raw->open_buffer(const_cast<std::uint8_t *>(data), size);
        if (code != LIBRAW_SUCCESS) {
            result.error = openCode(code);
            return result;
        }
        return previewOf(*raw, std::int64_t(size), request);
    } catch (const std::bad_alloc &) {
        result.error = GFL_ERROR_NO_MEMORY;
    } catch (...) {
        result.error = GFL_ERROR_FILE_READ;
    }
    return result;
}

Decoded decodeJpegScaled(const std::uint8_t *data, std::size_t size, int thumbnailSide)
{
    Decoded result;
    result.error = GFL_ERROR_FILE_READ;
    if (!data || size < 4 || size > 0x7FFFFFFF)
        return result;
    std::unique_ptr<void, TurboDeleter> tj(tjInitDecompress());
    if (!tj) {
        result.error = GFL_ERROR_NO_MEMORY;
        return result;
    }
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(tj.get(), data, static_cast<unsigned long>(size), &width, &height, &subsampling,
                            &colourspace) != 0
        || width < 1 || height < 1)
        return result;
    // Scales come largest first; keep the last (smallest) that still reaches the side.
    int count = 0;
    const tjscalingfactor *factors = tjGetScalingFactors(&count);
    int scaledWidth = width, scaledHeight = height;
    if (thumbnailSide > 0 && factors) {
        for (int i = 0; i < count; ++i) {
            if (factors[i].num > factors[i].denom)
                continue;
            const int w = TJSCALED(width, factors[i]);
            const int h = TJSCALED(height, factors[i]);
            if (std::max(w, h) >= thumbnailSide && std::int64_t(w) * h < std::int64_t(scaledWidth) * scaledHeight) {
                scaledWidth = w;
                scaledHeight = h;
            }
        }
    }
    if (std::int64_t(scaledWidth) * scaledHeight > MaxDecodedPixels) {
        result.error = GFL_ERROR_BAD_BITMAP;
        return result;
    }
    QImage picture(scaledWidth, scaledHeight, QImage::Format_RGB888);
    if (picture.isNull()) {
        result.error = GFL_ERROR_NO_MEMORY;
        return result;
    }
    const int status = tjDecompress2(tj.get(), data, static_cast<unsigned long>(size), picture.bits(), scaledWidth,
                                     int(picture.bytesPerLine()), scaledHeight, TJPF_RGB,
                                     thumbnailSide > 0 ? TJFLAG_FASTDCT : 0);
    // A warning (stray bytes, a missing end marker) still leaves a whole picture.
    if (status != 0 && tjGetErrorCode(tj.get()) != TJERR_WARNING)
        return result;
    result.error = GFL_NO_ERROR;
    result.image = std::move(picture);
    return result;
}

} // namespace gflcore
