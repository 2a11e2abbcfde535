// Lossless 90° rotation against the tool people would otherwise use, in the same run:
// duomira-cli run --rotate-source on 100 photos of about 3.7 MB (the batch job: journal,
// EXIF orientation and thumbnail turned, each file written to a temporary file, synced and
// renamed over the original) against exiftran -9 -i on copies of the same files, in turns
// first and second. Target: at most 1.05 times exiftran's time and 1.5 times its peak
// memory at most (counters job_vs_exiftran, peak_vs_exiftran).
//
// And the module's own cost on one file: jpegLosslessTransform against what any careful
// program must do for an in-place turn (read the file, tjTransform, write a temporary file,
// fsync, rename it over the original), alternating in every round (module_vs_reference).
#include "imaging/libgfl.h"
#include "support/photo_generator.h"
#include "support/process.h"
#include "support/run.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <turbojpeg.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int photoCount = 100;

struct Fixture
{
    // Beside the build: a disk, not a memory file system.
    QTemporaryDir dir{QDir::currentPath() + QStringLiteral("/bench-rotation-XXXXXX")};
    QString exiftranFolder;
    QString jobFolder;
    QStringList exiftranFiles;
    TGflLibrary library{QCoreApplication::applicationDirPath()};
};

Fixture &fixture()
{
    static Fixture *f = [] {
        auto *made = new Fixture;
        qputenv("XDG_DATA_HOME", QFile::encodeName(made->dir.filePath(QStringLiteral("data"))));
        const QStringList photos = benchsupport::cameraSizedPhotoSet(QStringLiteral("camera-300"), 300);
        if (photos.size() != 300)
            qFatal("cannot generate the benchmark photos");
        made->exiftranFolder = made->dir.filePath(QStringLiteral("exiftran"));
        made->jobFolder = made->dir.filePath(QStringLiteral("job"));
        QDir().mkpath(made->exiftranFolder);
        QDir().mkpath(made->jobFolder);
        for (int i = 0; i < photoCount; ++i) {
            const QString name = QFileInfo(photos[i]).fileName();
            made->exiftranFiles << made->exiftranFolder + u'/' + name;
            QFile::copy(photos[i], made->exiftranFiles.last());
            QFile::copy(photos[i], made->jobFolder + u'/' + name);
        }
        QString messages;
        if (!made->library.GflLoad(QStringLiteral(GFL_CORE_MODULE_NAME), QStringLiteral(GFL_EFFECTS_MODULE_NAME),
                                   QString(), messages))
            qFatal("imaging library unavailable: %s", qPrintable(messages));
        ::sync();
        return made;
    }();
    return *f;
}

void BM_RotationJobVsExiftran(benchmark::State &state)
{
    Fixture &f = fixture();
    std::vector<std::string> exiftran{"exiftran", "-9", "-i"};
    for (const QString &path : f.exiftranFiles)
        exiftran.push_back(path.toStdString());
    const std::vector<std::string> job{benchsupport::cliPath(DUOMIRA_CLI_PATH), "run", "--rotate-source", "--rotation-left", "90",
                                       "--left", f.jobFolder.toStdString()};
    const benchsupport::ProcessComparison c = benchsupport::compareInTurns(state, job, exiftran);
    state.counters["job_vs_exiftran"] = c.timeRatio;
    state.counters["peak_vs_exiftran"] = c.peakRatio;
    state.counters["exiftran_ms"] = c.theirsMs;
    state.counters["job_ms"] = c.oursMs;
    state.counters["exiftran_peak_mb"] = c.theirsPeakMb;
    state.counters["job_peak_mb"] = c.oursPeakMb;
}

// Read, tjTransform (90°, trimmed), temporary file written and synced, renamed over the
// original: the least a safe in-place turn does.
bool referenceTurn(const QString &path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.readAll();
    in.close();
    tjhandle handle = tjInitTransform();
    tjtransform xform{};
    xform.op = TJXOP_ROT90;
    xform.options = TJXOPT_TRIM;
    unsigned char *out = nullptr;
    unsigned long size = 0;
    const bool turned = tjTransform(handle, reinterpret_cast<const unsigned char *>(bytes.constData()),
                                    static_cast<unsigned long>(bytes.size()), 1, &out, &size, &xform, 0) == 0;
    tjDestroy(handle);
    const QByteArray temporary = QFile::encodeName(path + QStringLiteral(".tmp"));
    const int fd = turned ? ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644) : -1;
    bool ok = fd >= 0 && ::write(fd, out, size) == ssize_t(size) && ::fsync(fd) == 0;
    if (fd >= 0)
        ok = ::close(fd) == 0 && ok;
    tjFree(out);
    return ok && ::rename(temporary.constData(), QFile::encodeName(path).constData()) == 0;
}

void BM_ModuleVsReferenceTurn(benchmark::State &state)
{
    Fixture &f = fixture();
    const QString moduleFile = f.dir.filePath(QStringLiteral("module.jpg"));
    const QString referenceFile = f.dir.filePath(QStringLiteral("reference.jpg"));
    for (const QString &path : {moduleFile, referenceFile}) {
        QFile::remove(path);
        QFile::copy(f.exiftranFiles.first(), path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }
    // One turn first: the trimmed edge stays the same in every later turn.
    f.library.jpegLosslessTransform(moduleFile, 1);
    referenceTurn(referenceFile);
    std::vector<double> ratios;
    int turn = 0;
    for (auto _ : state) {
        double moduleMs = 0, referenceMs = 0;
        const auto runModule = [&] {
            QElapsedTimer clock;
            clock.start();
            if (f.library.jpegLosslessTransform(moduleFile, 1) > 0)
                state.SkipWithError("rotation failed");
            moduleMs = clock.nsecsElapsed() / 1e6;
        };
        const auto runReference = [&] {
            QElapsedTimer clock;
            clock.start();
            if (!referenceTurn(referenceFile))
                state.SkipWithError("reference turn failed");
            referenceMs = clock.nsecsElapsed() / 1e6;
        };
        benchsupport::inTurns(turn, runModule, runReference);
        state.SetIterationTime((moduleMs + referenceMs) / 1e3);
        ratios.push_back(moduleMs / referenceMs);
    }
    state.counters["module_vs_reference"] = benchsupport::median(ratios);
}

BENCHMARK(BM_RotationJobVsExiftran)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);
BENCHMARK(BM_ModuleVsReferenceTurn)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(40);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    fixture();
    return benchsupport::runBenchmarks(argc, argv);
}
