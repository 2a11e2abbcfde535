// The stereo files a job writes, against the plain work they cannot avoid, both in turns in
// every iteration; each counter is the median of the iterations' ratios.
// - mpo_vs_plain: MPO files made from pairs of camera-sized JPEG files and written as the
//   job writes them (temporary name, synced, named without replacing, hashed for the
//   journal), against the batch benchmark's plain copy loop copying both files: target at
//   most 1.1.
// - sbs_vs_bare, half_sbs_vs_bare, anaglyph_vs_bare: a re-encoded stereo file (read, decoded,
//   composed, encoded with the left file's EXIF), against the bare TurboJPEG decode of both
//   files and one encode of a picture of the result's size, on one thread each: target at
//   most 1.3.
#include "batch/fileops.h"
#include "batch/stereooutput.h"
#include "support/photo_generator.h"
#include "support/inturns.h"
#include "support/plaincopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <functional>
#include <vector>

using benchsupport::plainCopy;

namespace {

constexpr int Pairs = 4;

QString workRoot()
{
    static QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-outputs-XXXXXX"));
    return dir.path();
}

// Camera-sized JPEG files (4000 x 3000): left i is file 2i, right i 2i+1.
const QStringList &photos()
{
    static const QStringList files = benchsupport::stereoPairPhotos(Pairs);
    return files;
}

bool copyPhotos(const QString &target)
{
    for (const QString &path : photos())
        if (!plainCopy(path, target + u'/' + QFileInfo(path).fileName()))
            return false;
    return true;
}

void BM_MpoVsPlainCopy(benchmark::State &state)
{
    benchsupport::compareInTurns(state, "mpo_vs_plain", workRoot(), copyPhotos, [](const QString &target) {
        TRealFileOps ops;
        for (int i = 0; i < Pairs; ++i) {
            const TStereoFileResult mpo = MakeMpoFile({photos()[2 * i], {}}, {photos()[2 * i + 1], {}});
            if (mpo.Bytes.isEmpty() || !ops.CreateFile(target + QStringLiteral("/pair%1.mpo").arg(i), mpo.Bytes).ok)
                return false;
        }
        return true;
    });
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The bare work: both files read and decoded by TurboJPEG, one picture of the result's
// size (width and height factors of one view) encoded at quality 95, 4:4:4, written.
// heightFactor is at most 1.
bool bareWork(const QString &target, double widthFactor, double heightFactor)
{
    tjhandle decoder = tjInitDecompress(), encoder = tjInitCompress();
    bool ok = decoder && encoder;
    for (int i = 0; ok && i < Pairs; ++i) {
        std::vector<unsigned char> views[2];
        int width = 0, height = 0;
        for (int v = 0; ok && v < 2; ++v) {
            const QByteArray jpeg = readAll(photos()[2 * i + v]);
            int subsampling = 0, colours = 0;
            ok = tjDecompressHeader3(decoder, reinterpret_cast<const unsigned char *>(jpeg.constData()),
                                     (unsigned long)jpeg.size(), &width, &height, &subsampling, &colours) == 0;
            views[v].resize(std::size_t(width) * height * 4);
            ok = ok && tjDecompress2(decoder, reinterpret_cast<const unsigned char *>(jpeg.constData()),
                                     (unsigned long)jpeg.size(), views[v].data(), width, width * 4, height,
                                     TJPF_BGRX, 0) == 0;
        }
        // The result's content: the views side by side (a real picture costs the encoder
        // more than a flat one), or the left view alone.
        const int w = int(width * widthFactor), h = int(height * heightFactor);
        std::vector<unsigned char> result(std::size_t(w) * h * 4);
        for (int y = 0; ok && y < h; ++y)
            for (int v = 0; v < (w > width ? 2 : 1); ++v)
                std::copy_n(views[v].data() + std::size_t(y) * width * 4, std::min(w, width) * 4,
                            result.data() + (std::size_t(y) * w + std::size_t(v) * width) * 4);
        unsigned char *out = nullptr;
        unsigned long size = 0;
        ok = ok && tjCompress2(encoder, result.data(), w, w * 4, h, TJPF_BGRX, &out, &size, TJSAMP_444, 95,
                               TJFLAG_ACCURATEDCT) == 0;
        ok = ok && benchsupport::writeNewFile(target + QStringLiteral("/pair%1.jpg").arg(i),
                                              QByteArray(reinterpret_cast<const char *>(out), qsizetype(size)));
        tjFree(out);
    }
    tjDestroy(decoder);
    tjDestroy(encoder);
    return ok;
}

void reencoded(benchmark::State &state, const char *counter, TStereoOutput output, double widthFactor,
               double heightFactor)
{
    benchsupport::compareInTurns(
        state, counter, workRoot(), [=](const QString &target) { return bareWork(target, widthFactor, heightFactor); },
        [=](const QString &target) {
            for (int i = 0; i < Pairs; ++i) {
                TStereoPairRender pair({photos()[2 * i], {}}, {photos()[2 * i + 1], {}}, 95, false);
                const TStereoFileResult made = pair.Make(output);
                if (made.Bytes.isEmpty() ||
                    !benchsupport::writeNewFile(target + QStringLiteral("/pair%1.jpg").arg(i), made.Bytes))
                    return false;
            }
            return true;
        });
}

void BM_SideBySideVsBare(benchmark::State &state)
{
    reencoded(state, "sbs_vs_bare", TStereoOutput::SideBySide, 2, 1);
}

void BM_HalfSideBySideVsBare(benchmark::State &state)
{
    reencoded(state, "half_sbs_vs_bare", TStereoOutput::HalfSideBySide, 1, 1);
}

void BM_AnaglyphVsBare(benchmark::State &state)
{
    reencoded(state, "anaglyph_vs_bare", TStereoOutput::Anaglyph, 1, 1);
}

} // namespace

BENCHMARK(BM_MpoVsPlainCopy)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SideBySideVsBare)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HalfSideBySideVsBare)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnaglyphVsBare)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
