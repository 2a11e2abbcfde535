// Thumbnail of a 4000 x 3000 photo (CreateJpegThumbnail: 1/8 decode, fit into 300 x 300
// with bands) against the bare libjpeg-turbo 1/8 decode of the same file, in one run.
// Target: at most 10 % more time than the bare decode.
#include "imaging/jpegcodec.h"
#include "support/photo_generator.h"
#include "support/run.h"

#include <QCoreApplication>
#include <QFile>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

QString photo()
{
    static const QString path = [] {
        QString error;
        const QStringList files = benchsupport::generatePhotoSet(benchsupport::photoCacheDir(QStringLiteral("thumbnail")),
                                                                 1, 4000, 3000, {}, &error);
        if (files.isEmpty())
            qFatal("cannot generate the benchmark photo: %s", qPrintable(error));
        return files.first();
    }();
    return path;
}

void BM_CreateJpegThumbnail(benchmark::State &state)
{
    const QString path = photo();
    for (auto _ : state) {
        QImage thumbnail = CreateJpegThumbnail(path, ThumbnailSize, QColor::fromRgb(ThumbnailBackground));
        if (thumbnail.isNull())
            state.SkipWithError("no thumbnail");
        benchmark::DoNotOptimize(thumbnail.constBits());
    }
}

// The plain library call: stdio source, 1/8 scale, every row into one buffer.
void BM_BareLibjpegEighthDecode(benchmark::State &state)
{
    const QByteArray path = QFile::encodeName(photo());
    std::vector<unsigned char> pixels;
    for (auto _ : state) {
        std::FILE *file = std::fopen(path.constData(), "rb");
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr error;
        cinfo.err = jpeg_std_error(&error);
        jpeg_create_decompress(&cinfo);
        jpeg_stdio_src(&cinfo, file);
        jpeg_read_header(&cinfo, TRUE);
        cinfo.scale_num = 1;
        cinfo.scale_denom = 8;
        jpeg_start_decompress(&cinfo);
        const std::size_t stride = std::size_t(cinfo.output_width) * cinfo.output_components;
        pixels.resize(stride * cinfo.output_height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels.data() + stride * cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        std::fclose(file);
        benchmark::DoNotOptimize(pixels.data());
    }
}

BENCHMARK(BM_BareLibjpegEighthDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CreateJpegThumbnail)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    photo(); // generate before timing
    return benchsupport::runBenchmarks(argc, argv);
}
