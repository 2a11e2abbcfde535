// Thumbnails of phone (HEIC) and camera RAW (DNG) files through the imaging module, as the
// holder asks for them (gflLoadThumbnail, then the fit into 300 pixels), against the same
// files' plain library calls in the same run:
//   - HEIC: libheif reading the file and heif_decode_image of the embedded thumbnail (a
//     4032 x 3024 picture with a 320 x 240 thumbnail, as phones write them), and of the
//     whole picture for the fixture phone photo that has no thumbnail;
//   - RAW: libraw_open_file + unpack_thumb + TurboJPEG decode of its 6000 x 4000 JPEG
//     preview at the smallest scale that still gives 300 pixels.
// Target: the module's thumbnail costs at most 1.2 x the plain calls. The whole read of a
// holder (readImageData: EXIF list, file information and thumbnail) is shown alongside.
// libheif decodes on several threads: the CPU column is the whole process's time.
#include "imaging/dsorgbild.h"
#include "imaging/gflfunctions.h"
#include "imaging/jpegcodec.h"
#include "imaging/libgfl.h"
#include "support/photo_generator.h"
#include "support/run.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>
#include <libheif/heif.h>
#include <libraw/libraw.h>
#include <turbojpeg.h>

#include <cstring>
#include <vector>

namespace {

TGflLibrary &library()
{
    static TGflLibrary *lib = [] {
        auto *l = new TGflLibrary;
        QString messages;
        if (!l->GflLoad(QStringLiteral(GFL_CORE_MODULE_NAME), QStringLiteral(GFL_EFFECTS_MODULE_NAME), QString(),
                        messages))
            qFatal("imaging modules not loaded: %s", qPrintable(messages));
        return l;
    }();
    return *lib;
}

// A textured 8-bit RGB picture, so that the encoders have real work.
std::vector<std::uint8_t> texture(int width, int height)
{
    std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t *p = &rgb[(std::size_t(y) * width + x) * 3];
            p[0] = std::uint8_t((x * 255) / width ^ (y & 31));
            p[1] = std::uint8_t((y * 255) / height ^ (x & 15));
            p[2] = std::uint8_t(((x + y) * 7) & 0xFF);
        }
    return rgb;
}

heif_image *heifImage(const std::vector<std::uint8_t> &rgb, int width, int height)
{
    heif_image *image = nullptr;
    heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, width, height, 8);
    int stride = 0;
    std::uint8_t *plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < height; ++y)
        std::memcpy(plane + std::size_t(y) * stride, &rgb[std::size_t(y) * width * 3], std::size_t(width) * 3);
    return image;
}

// A 4032 x 3024 HEIC with a 320 x 240 thumbnail, made once and cached.
QString phoneHeic()
{
    static const QString path = [] {
        const QString dir = benchsupport::photoCacheDir(QStringLiteral("heif_raw"));
        QDir().mkpath(dir);
        const QString file = dir + QStringLiteral("/phone_4032x3024.heic");
        if (QFile::exists(file))
            return file;
        const int width = 4032, height = 3024;
        heif_context *ctx = heif_context_alloc();
        heif_encoder *encoder = nullptr;
        heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder);
        heif_encoder_set_lossy_quality(encoder, 50);
        heif_encoder_set_parameter(encoder, "preset", "ultrafast");
        heif_image *image = heifImage(texture(width, height), width, height);
        heif_image_handle *handle = nullptr;
        heif_image_handle *thumbnail = nullptr;
        const QString temporary = file + QStringLiteral(".part");
        if (heif_context_encode_image(ctx, image, encoder, nullptr, &handle).code != heif_error_Ok ||
            heif_context_encode_thumbnail(ctx, image, handle, encoder, nullptr, 320, &thumbnail).code !=
                heif_error_Ok ||
            heif_context_write_to_file(ctx, QFile::encodeName(temporary).constData()).code != heif_error_Ok)
            qFatal("cannot write the benchmark HEIC file");
        heif_image_handle_release(thumbnail);
        heif_image_handle_release(handle);
        heif_image_release(image);
        heif_encoder_release(encoder);
        heif_context_free(ctx);
        QFile::rename(temporary, file);
        return file;
    }();
    return path;
}

void le16(QByteArray &out, quint16 v)
{
    out += char(v & 0xFF);
    out += char(v >> 8);
}
void le32(QByteArray &out, quint32 v)
{
    le16(out, quint16(v & 0xFFFF));
    le16(out, quint16(v >> 16));
}

// A DNG whose first directory is a 6000 x 4000 JPEG preview and whose sub-directory a
// small Bayer raw image: what LibRaw reads of a camera's file on the thumbnail path.
QString cameraDng()
{
    static const QString path = [] {
        const QString dir = benchsupport::photoCacheDir(QStringLiteral("heif_raw"));
        const QString file = dir + QStringLiteral("/camera_6000x4000.dng");
        if (QFile::exists(file))
            return file;
        QString error;
        const QStringList jpegs =
            benchsupport::generatePhotoSet(dir + QStringLiteral("/preview"), 1, 6000, 4000, {}, &error);
        QFile jpegFile(jpegs.value(0));
        if (jpegs.isEmpty() || !jpegFile.open(QIODevice::ReadOnly))
            qFatal("cannot generate the benchmark preview: %s", qPrintable(error));
        const QByteArray preview = jpegFile.readAll();
        const int rawWidth = 64, rawHeight = 48;
        const QByteArray rawData(rawWidth * rawHeight * 2, '\x10');

        struct Entry
        {
            quint16 tag, type;
            quint32 count, value;
        };
        const quint32 dir0 = 8, dir0Entries = 13, dir1Entries = 12;
        const quint32 dir1 = dir0 + 2 + 12 * dir0Entries + 4;
        const quint32 extra = dir1 + 2 + 12 * dir1Entries + 4; // BitsPerSample 8,8,8 (6 bytes)
        const quint32 makeAt = extra + 6;                        // "Bench\0"
        const quint32 modelAt = makeAt + 6;                      // "Camera\0\0"
        const quint32 previewAt = modelAt + 8;
        const quint32 rawAt = previewAt + quint32(preview.size() + (preview.size() & 1));
        const Entry first[] = {{254, 4, 1, 1},           {256, 4, 1, 6000},
                               {257, 4, 1, 4000},        {258, 3, 3, extra},
                               {259, 3, 1, 7},           {262, 3, 1, 6},
                               {271, 2, 6, makeAt},      {272, 2, 7, modelAt},
                               {273, 4, 1, previewAt},   {277, 3, 1, 3},
                               {279, 4, 1, quint32(preview.size())},
                               {330, 4, 1, dir1},        {50706, 1, 4, 0x00000401}};
        const Entry second[] = {{254, 4, 1, 0},           {256, 4, 1, quint32(rawWidth)},
                                {257, 4, 1, quint32(rawHeight)},
                                {258, 3, 1, 16},          {259, 3, 1, 1},
                                {262, 3, 1, 32803},       {273, 4, 1, rawAt},
                                {277, 3, 1, 1},           {278, 4, 1, quint32(rawHeight)},
                                {279, 4, 1, quint32(rawData.size())},
                                {33421, 3, 2, 0x00020002}, {33422, 1, 4, 0x02010100}};
        QByteArray out("II*\0", 4);
        le32(out, dir0);
        for (const auto &entries : {std::vector<Entry>(std::begin(first), std::end(first)),
                                    std::vector<Entry>(std::begin(second), std::end(second))}) {
            le16(out, quint16(entries.size()));
            for (const Entry &e : entries) {
                le16(out, e.tag);
                le16(out, e.type);
                le32(out, e.count);
                if (e.type == 3 && e.count == 1)
                    le32(out, e.value & 0xFFFF); // a short sits in the low bytes
                else
                    le32(out, e.value);
            }
            le32(out, 0);
        }
        le16(out, 8), le16(out, 8), le16(out, 8);
        out += QByteArray("Bench\0", 6);
        out += QByteArray("Camera\0\0", 8);
        out += preview;
        if (preview.size() & 1)
            out += '\0';
        out += rawData;
        QFile dng(file);
        if (!dng.open(QIODevice::WriteOnly) || dng.write(out) != out.size())
            qFatal("cannot write the benchmark DNG file");
        return file;
    }();
    return path;
}

QString fixturePhone()
{
    return QStringLiteral(DUOMIRA_SOURCE_DIR "/tests/data/photos/heic/IMG_5195.HEIC");
}

QString fileOf(int which)
{
    switch (which) {
    case 0: return phoneHeic();
    case 1: return fixturePhone();
    default: return cameraDng();
    }
}

const char *labelOf(int which)
{
    switch (which) {
    case 0: return "4032x3024 HEIC, 320x240 thumbnail";
    case 1: return "fixture phone HEIC, no thumbnail";
    default: return "DNG, 6000x4000 JPEG preview";
    }
}

// libheif alone: the file, its primary picture, the first thumbnail whose longer side
// reaches 300 pixels (else the primary picture), decoded to interleaved RGB.
void plainHeif(const QByteArray &path)
{
    heif_context *ctx = heif_context_alloc();
    heif_context_read_from_file(ctx, path.constData(), nullptr);
    heif_image_handle *primary = nullptr;
    heif_context_get_primary_image_handle(ctx, &primary);
    heif_image_handle *chosen = primary;
    heif_image_handle *thumbnail = nullptr;
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_thumbnail_IDs(primary, &id, 1) == 1 &&
        heif_image_handle_get_thumbnail(primary, id, &thumbnail).code == heif_error_Ok &&
        std::max(heif_image_handle_get_width(thumbnail), heif_image_handle_get_height(thumbnail)) >= 300)
        chosen = thumbnail;
    heif_image *image = nullptr;
    heif_decode_image(chosen, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr);
    benchmark::DoNotOptimize(image);
    heif_image_release(image);
    if (thumbnail)
        heif_image_handle_release(thumbnail);
    heif_image_handle_release(primary);
    heif_context_free(ctx);
}

// LibRaw alone: open, unpack the preview, decode it at the smallest scale giving 300 pixels.
void plainRaw(const QByteArray &path, std::vector<unsigned char> &pixels)
{
    libraw_data_t *raw = libraw_init(0);
    libraw_open_file(raw, path.constData());
    libraw_unpack_thumb(raw);
    const libraw_thumbnail_t &thumb = raw->thumbnail;
    tjhandle tj = tjInitDecompress();
    int width = 0, height = 0, sub = 0, colours = 0;
    tjDecompressHeader3(tj, reinterpret_cast<unsigned char *>(thumb.thumb), thumb.tlength, &width, &height, &sub,
                        &colours);
    int count = 0;
    const tjscalingfactor *factors = tjGetScalingFactors(&count);
    int w = width, h = height;
    for (int i = 0; i < count; ++i) {
        const int sw = TJSCALED(width, factors[i]), sh = TJSCALED(height, factors[i]);
        if (factors[i].num <= factors[i].denom && std::max(sw, sh) >= 300 && sw * sh < w * h)
            w = sw, h = sh;
    }
    pixels.resize(std::size_t(w) * h * 3);
    tjDecompress2(tj, reinterpret_cast<unsigned char *>(thumb.thumb), thumb.tlength, pixels.data(), w, 0, h,
                  TJPF_RGB, TJFLAG_FASTDCT);
    benchmark::DoNotOptimize(pixels.data());
    tjDestroy(tj);
    libraw_close(raw);
}

void BM_PlainLibraryThumbnail(benchmark::State &state)
{
    const int which = int(state.range(0));
    const QByteArray path = QFile::encodeName(fileOf(which));
    std::vector<unsigned char> pixels;
    for (auto _ : state) {
        if (which == 2)
            plainRaw(path, pixels);
        else
            plainHeif(path);
    }
    state.SetLabel(labelOf(which));
}

// What the holder's thumbnail costs: the module's thumbnail load, then the fit into 300.
void BM_ModuleThumbnail(benchmark::State &state)
{
    const int which = int(state.range(0));
    const QString path = fileOf(which);
    for (auto _ : state) {
        GflBitmapPtr bitmap;
        QImage picture;
        QString error;
        QList<QRgb> palette;
        if (!LoadGflThumbnail(&library(), path, ThumbnailSize, bitmap, picture, error, palette)) {
            state.SkipWithError(qPrintable(error));
            break;
        }
        bitmap.reset();
        const QImage thumbnail =
            picture.scaled(ThumbnailSize, ThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(thumbnail.constBits());
    }
    state.SetLabel(labelOf(which));
}

// The holder's whole read: EXIF list, file information and thumbnail.
void BM_ReadImageData(benchmark::State &state)
{
    const int which = int(state.range(0));
    const QString path = fileOf(which);
    for (auto _ : state) {
        const ImageDataResult result = readImageData(path, TJPEGData{}, &library());
        if (result.thumbnail.isNull()) {
            state.SkipWithError("no thumbnail");
            break;
        }
        benchmark::DoNotOptimize(result.thumbnail.byteCount());
    }
    state.SetLabel(labelOf(which));
}

BENCHMARK(BM_PlainLibraryThumbnail)->DenseRange(0, 2)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ModuleThumbnail)->DenseRange(0, 2)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadImageData)->DenseRange(0, 2)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    library();
    phoneHeic(); // generate before timing
    cameraDng();
    return benchsupport::runBenchmarks(argc, argv);
}
