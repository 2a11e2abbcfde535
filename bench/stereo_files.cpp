// Stereo camera files in a copy job, against the plain copy loop of the batch benchmark
// copying the same bytes (the view files' own originals), both in turns in every iteration;
// each counter is the median of the iterations' ratios.
// - split_vs_plain: writing both view files of MPO files whose structure the loading read
//   (two new files, their ranges copied from the MPO, synced): target at most 1.15.
// - read_and_split_vs_plain: the same with the structure read again first, every view
//   checked up to its end marker (reads every byte once more).
// - write_vs_plain: writing MPO files from pairs of JPEG files: target at most 1.1.
#include "imaging/mpowriter.h"
#include "imaging/stereofile.h"
#include "imaging/stereosplit.h"
#include "support/photo_generator.h"
#include "support/inturns.h"
#include "support/plaincopy.h"
#include "support/run.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

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
    static const QStringList files = benchsupport::stereoPairPhotos(Pairs);
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

int openFile(const QString &path, int flags)
{
    return ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0644);
}

// A new file (never replacing one) written by write, then synced.
bool writeSynced(const QString &path, const std::function<bool(int)> &write)
{
    const int out = openFile(path, O_WRONLY | O_CREAT | O_EXCL);
    const bool ok = out >= 0 && write(out) && ::fsync(out) == 0;
    if (out >= 0)
        ::close(out);
    return ok;
}

// Both view files of an MPO whose structure the loading read.
bool splitFile(const QString &path, const TStereoFile &file, const QString &folder)
{
    const int in = openFile(path, O_RDONLY);
    const QString base = folder + u'/' + QFileInfo(path).completeBaseName();
    const bool ok = in >= 0 &&
                    writeSynced(base + QStringLiteral("_L.jpg"), [&](int out) { return WriteMpoView(in, file.views[0], out); }) &&
                    writeSynced(base + QStringLiteral("_R.jpg"), [&](int out) { return WriteMpoView(in, file.views[1], out); });
    if (in >= 0)
        ::close(in);
    return ok;
}

bool copyPhotos(const QString &target)
{
    for (const QString &path : photos()) {
        if (!plainCopy(path, target + u'/' + QFileInfo(path).fileName()))
            return false;
    }
    return true;
}

// The job's split: the structure was read when the files were loaded.
void BM_SplitVsPlainCopy(benchmark::State &state)
{
    std::vector<TStereoFile> loaded;
    for (const QString &path : mpoFiles())
        loaded.push_back(ReadStereoFile(path));
    benchsupport::compareInTurns(state, "split_vs_plain", workRoot(), copyPhotos, [&](const QString &target) {
        for (int i = 0; i < Pairs; ++i) {
            if (!loaded[i].isStereo() || !splitFile(mpoFiles()[i], loaded[i], target))
                return false;
        }
        return true;
    });
}

// The same with the structure read again first (every view checked to its end marker).
void BM_ReadAndSplitVsPlainCopy(benchmark::State &state)
{
    benchsupport::compareInTurns(state, "read_and_split_vs_plain", workRoot(), copyPhotos, [](const QString &target) {
        for (const QString &path : mpoFiles()) {
            const TStereoFile file = ReadStereoFile(path);
            if (!file.isStereo() || !splitFile(path, file, target))
                return false;
        }
        return true;
    });
}

void BM_MpoWriteVsPlainCopy(benchmark::State &state)
{
    benchsupport::compareInTurns(state, "write_vs_plain", workRoot(), copyPhotos, [](const QString &target) {
        for (int i = 0; i < Pairs; ++i) {
            const QString leftPath = photos()[2 * i], rightPath = photos()[2 * i + 1];
            TFileSource left, right;
            if (left.open(leftPath) != TFileSource::OpenResult::Opened ||
                right.open(rightPath) != TFileSource::OpenResult::Opened)
                return false;
            const std::optional<TMpoPlan> plan = PlanMpo(left, right);
            const int leftFd = openFile(leftPath, O_RDONLY), rightFd = openFile(rightPath, O_RDONLY);
            const bool ok = plan && leftFd >= 0 && rightFd >= 0 &&
                            writeSynced(target + QStringLiteral("/pair%1.mpo").arg(i),
                                        [&](int out) { return WriteMpoFile(*plan, leftFd, rightFd, out); });
            ::close(leftFd);
            ::close(rightFd);
            if (!ok)
                return false;
        }
        return true;
    });
}

} // namespace

BENCHMARK(BM_SplitVsPlainCopy)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndSplitVsPlainCopy)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MpoWriteVsPlainCopy)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return benchsupport::runBenchmarks(argc, argv);
}
