// Stereo camera files in a copy job. Splitting MPO files into their view files (reading the
// index, checking both views, writing two new files and syncing them) against the plain
// copy loop of the batch benchmark copying the same bytes (the view files' own originals):
// target at most 1.15 times. Writing MPO files from pairs of JPEG files against copying the
// two files with that loop: target at most 1.1 times. Both run in turns in every iteration;
// the counters split_vs_plain and write_vs_plain are the medians of the iterations' ratios.
#include "imaging/mpowriter.h"
#include "imaging/stereofile.h"
#include "imaging/stereosplit.h"
#include "support/photo_generator.h"
#include "support/plaincopy.h"
#include "support/run.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <vector>

using benchsupport::emptyFolder;
using benchsupport::plainCopy;
using benchsupport::writeNewFile;

namespace {

constexpr int Pairs = 10;

QString workRoot()
{
    static QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-stereo-XXXXXX"));
    return dir.path();
}

// Camera-sized JPEG files (4000 x 3000, about 3.5 MB each): left i is file 2i, right i 2i+1.
const QStringList &photos()
{
    static const QStringList files = [] {
        QString error;
        const QStringList made = benchsupport::generatePhotoSet(
            benchsupport::photoCacheDir(QStringLiteral("stereo-files")), 2 * Pairs, 4000, 3000, {}, &error);
        if (made.isEmpty())
            qFatal("cannot generate the benchmark photos: %s", qPrintable(error));
        return made;
    }();
    return files;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The pairs joined into MPO files, once.
const QStringList &mpoFiles()
{
    static const QStringList files = [] {
        QStringList made;
        QDir().mkpath(workRoot() + QStringLiteral("/mpo"));
        for (int i = 0; i < Pairs; ++i) {
            const auto mpo = WriteMpo(readAll(photos()[2 * i]), readAll(photos()[2 * i + 1]));
            const QString path = workRoot() + QStringLiteral("/mpo/pair%1.mpo").arg(i);
            if (!mpo || !writeNewFile(path, *mpo))
                qFatal("cannot write the benchmark MPO files");
            made.append(path);
        }
        return made;
    }();
    return files;
}

bool splitFile(const QString &path, const QString &folder)
{
    TFileSource source;
    if (source.open(path) != TFileSource::OpenResult::Opened)
        return false;
    const TStereoFile file = ReadStereoFile(source, false);
    const auto views = SplitStereoFile(source, file);
    const QString base = folder + u'/' + QFileInfo(path).completeBaseName();
    return views && writeNewFile(base + QStringLiteral("_L.jpg"), (*views)[0].jpeg) &&
           writeNewFile(base + QStringLiteral("_R.jpg"), (*views)[1].jpeg);
}

// The plain loop and the program's work, in turns first and second; the median ratio.
void compareInTurns(benchmark::State &state, const char *counter, const std::function<bool(const QString &)> &plain,
                    const std::function<bool(const QString &)> &program)
{
    const QString plainTarget = workRoot() + QStringLiteral("/plain");
    const QString programTarget = workRoot() + QStringLiteral("/program");
    std::vector<double> ratios;
    double plainSum = 0, programSum = 0;
    int turn = 0;
    for (auto _ : state) {
        double plainMs = 0, programMs = 0;
        const auto timed = [&](const QString &target, const std::function<bool(const QString &)> &work, double &ms) {
            emptyFolder(target);
            QElapsedTimer clock;
            clock.start();
            if (!work(target))
                state.SkipWithError("the file work failed");
            ms = clock.nsecsElapsed() / 1e6;
        };
        if (turn++ % 2 == 0) {
            timed(plainTarget, plain, plainMs);
            timed(programTarget, program, programMs);
        } else {
            timed(programTarget, program, programMs);
            timed(plainTarget, plain, plainMs);
        }
        state.SetIterationTime((plainMs + programMs) / 1e3);
        ratios.push_back(programMs / plainMs);
        plainSum += plainMs;
        programSum += programMs;
    }
    std::sort(ratios.begin(), ratios.end());
    const std::size_t n = ratios.size();
    state.counters[counter] = n % 2 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
    state.counters["plain_ms"] = plainSum / double(n);
    state.counters["program_ms"] = programSum / double(n);
}

bool copyPhotos(const QString &target)
{
    for (const QString &path : photos()) {
        if (!plainCopy(path, target + u'/' + QFileInfo(path).fileName()))
            return false;
    }
    return true;
}

void BM_SplitVsPlainCopy(benchmark::State &state)
{
    mpoFiles();
    compareInTurns(state, "split_vs_plain", copyPhotos, [](const QString &target) {
        for (const QString &path : mpoFiles()) {
            if (!splitFile(path, target))
                return false;
        }
        return true;
    });
}

void BM_MpoWriteVsPlainCopy(benchmark::State &state)
{
    compareInTurns(state, "write_vs_plain", copyPhotos, [](const QString &target) {
        for (int i = 0; i < Pairs; ++i) {
            const auto mpo = WriteMpo(readAll(photos()[2 * i]), readAll(photos()[2 * i + 1]));
            if (!mpo || !writeNewFile(target + QStringLiteral("/pair%1.mpo").arg(i), *mpo))
                return false;
        }
        return true;
    });
}

} // namespace

BENCHMARK(BM_SplitVsPlainCopy)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MpoWriteVsPlainCopy)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return benchsupport::runBenchmarks(argc, argv);
}
