// Lossless rotation of a 4000 x 3000 photo through the effects module (read, tjTransform,
// EXIF correction, temporary file written and synced, renamed over the original, folder
// synced) against the bare tjTransform of the same bytes, in one run. Target: at most
// 1.15 times the bare call. The bare call with plain file reading and writing (no sync)
// shows where the remaining time goes.
#include "imaging/libgfl.h"
#include "support/photo_generator.h"
#include "support/run.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <turbojpeg.h>

namespace {

struct Fixture
{
    QTemporaryDir dir;
    QString path; // a private copy: the rotation rewrites it
    QByteArray bytes;
    TGflLibrary library {QCoreApplication::applicationDirPath()};
};

Fixture &fixture()
{
    static Fixture *f = [] {
        auto *made = new Fixture;
        QString error;
        const QStringList files = benchsupport::generatePhotoSet(benchsupport::photoCacheDir(QStringLiteral("rotation")),
                                                                 1, 4000, 3000, {}, &error);
        if (files.isEmpty())
            qFatal("cannot generate the benchmark photo: %s", qPrintable(error));
        made->path = made->dir.filePath(QStringLiteral("IMG_0001.jpg"));
        QFile::copy(files.first(), made->path);
        QFile::setPermissions(made->path, QFile::ReadOwner | QFile::WriteOwner);
        // One turn first: the trimmed 2992-pixel edge stays the same in every later turn.
        QString messages;
        if (!made->library.GflLoad(QStringLiteral(GFL_CORE_MODULE_NAME), QStringLiteral(GFL_EFFECTS_MODULE_NAME),
                                   QString(), messages))
            qFatal("imaging library unavailable: %s", qPrintable(messages));
        made->library.jpegLosslessTransform(made->path, 1);
        QFile file(made->path);
        file.open(QIODevice::ReadOnly);
        made->bytes = file.readAll();
        return made;
    }();
    return *f;
}

void BM_RotateLosslessModule(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        if (f.library.jpegLosslessTransform(f.path, 1) > 0)
            state.SkipWithError("rotation failed");
    }
}

void bareTransform(const QByteArray &bytes, unsigned char **out, unsigned long *outSize)
{
    tjhandle handle = tjInitTransform();
    tjtransform xform {};
    xform.op = TJXOP_ROT90;
    xform.options = TJXOPT_TRIM;
    tjTransform(handle, reinterpret_cast<const unsigned char *>(bytes.constData()), static_cast<unsigned long>(bytes.size()),
                1, out, outSize, &xform, 0);
    tjDestroy(handle);
}

void BM_BareTjTransform(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        unsigned char *out = nullptr;
        unsigned long size = 0;
        bareTransform(f.bytes, &out, &size);
        benchmark::DoNotOptimize(out);
        tjFree(out);
    }
}

void BM_BareTjTransformWithFiles(benchmark::State &state)
{
    Fixture &f = fixture();
    const QString target = f.dir.filePath(QStringLiteral("bare.jpg"));
    for (auto _ : state) {
        QFile in(f.path);
        in.open(QIODevice::ReadOnly);
        const QByteArray bytes = in.readAll();
        unsigned char *out = nullptr;
        unsigned long size = 0;
        bareTransform(bytes, &out, &size);
        QFile outFile(target);
        outFile.open(QIODevice::WriteOnly | QIODevice::Truncate);
        outFile.write(reinterpret_cast<const char *>(out), qint64(size));
        outFile.close();
        tjFree(out);
    }
}

BENCHMARK(BM_BareTjTransform)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_BareTjTransformWithFiles)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_RotateLosslessModule)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    fixture();
    return benchsupport::runBenchmarks(argc, argv);
}
