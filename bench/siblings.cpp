// Shots with siblings. Grouping 20,000 + 20,000 loaded files (a JPEG and a RAW per shot, a
// sidecar beside every other one) against the folder expansion that loading does anyway
// (ExpandDroppedPaths of the same two folders), in the same run.
//
// A copy job of shots with siblings: 60 shots of a RAW file of about 25 MB (generated
// bytes), its camera-sized JPEG and an XMP file, copied and renamed by the engine (each
// sibling through the extra-file seam: checks aside, the same file layer, journal and batched
// syncs as the picture) against the plain copy loop (copy_file_range and fsync per file) over
// the same 180 files, in the same run: target at most 1.15 times the plain loop.
#include "entries/siblings.h"
#include "batch/fileops.h"
#include "batch/protokoll.h"
#include "batch/runengine.h"
#include "batch/runprogress.h"
#include "batch/siblingjob.h"
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/entrystore.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "session/loading.h"
#include "support/batchwork.h"
#include "support/photo_generator.h"
#include "support/plaincopy.h"
#include "support/process.h"
#include "support/run.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace {

constexpr int shotCount = 60;
constexpr qint64 rawBytes = 25'000'000;

using benchsupport::QuietProgress;

// Work folders beside the build (a disk, not a memory file system), journals included.
QString workRoot()
{
    return benchsupport::batchWorkRoot("bench-siblings");
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The rounds of a same-run comparison: the median ratio ours / theirs and the mean times.
struct Rounds
{
    std::vector<double> ratios;
    double oursSum = 0, theirsSum = 0;

    void add(benchmark::State &state, double ours, double theirs)
    {
        state.SetIterationTime(ours + theirs);
        ratios.push_back(ours / theirs);
        oursSum += ours;
        theirsSum += theirs;
    }
    void report(benchmark::State &state, const char *ratio, const char *oursMs,
                const char *theirsMs) const
    {
        const double n = double(ratios.size());
        state.counters[ratio] = benchsupport::median(ratios);
        state.counters[oursMs] = oursSum / n * 1e3;
        state.counters[theirsMs] = theirsSum / n * 1e3;
    }
};

// The shots' files in the source folder: IMG_nnnn.JPG, IMG_nnnn.DNG, IMG_nnnn.xmp.
QStringList makeShots()
{
    const QStringList photos =
        benchsupport::cameraSizedPhotoSet(QStringLiteral("camera-300"), shotCount);
    if (photos.size() != shotCount)
        qFatal("cannot generate the benchmark photos");
    const QString folder = workRoot() + QStringLiteral("/src");
    QDir().mkpath(folder);
    QStringList files;
    QRandomGenerator random(42);
    QByteArray raw(rawBytes, Qt::Uninitialized);
    for (int i = 0; i < shotCount; ++i) {
        const QString base = folder + QStringLiteral("/IMG_%1").arg(i, 4, 10, QLatin1Char('0'));
        random.fillRange(reinterpret_cast<quint32 *>(raw.data()), raw.size() / 4);
        QFile::copy(photos[i], base + QStringLiteral(".JPG"));
        QFile rawFile(base + QStringLiteral(".DNG"));
        QFile xmp(base + QStringLiteral(".xmp"));
        if (!rawFile.open(QIODevice::WriteOnly) || rawFile.write(raw) != raw.size() ||
            !xmp.open(QIODevice::WriteOnly) || xmp.write("<x:xmpmeta/>\n") <= 0)
            qFatal("cannot write the benchmark's shots");
        files << base + QStringLiteral(".DNG") << base + QStringLiteral(".JPG")
              << base + QStringLiteral(".xmp");
    }
    return files;
}

void BM_SiblingCopyJobVsPlainCopy(benchmark::State &state)
{
    const QStringList files = makeShots();
    const QString plainTarget = workRoot() + QStringLiteral("/plain");
    const QString jobTarget = workRoot() + QStringLiteral("/job");

    TEntryStore store;
    ListRowModel left(store, dsLeft), right(store, dsRight);
    ListRowModel::LinkLists(left, right);
    store.Naming.FolderMono = jobTarget;
    QStringList pictures = files;
    pictures.removeIf([](const QString &f) { return f.endsWith(QLatin1String(".xmp")); });
    int number = 0;
    for (const TShot &shot : GroupShots(pictures, true)) {
        TDatensatz *e = AppendEntry(left, number, shot.main, dsLeft);
        e->SetSiblings(shot.siblings);
        TDatensatz *gap = CreateGap(right);
        LinkBothWays(e, gap);
        e->SetAttribute(daMono);
        e->SetNewName(QStringLiteral("Copy_%1").arg(++number, 4, 10, QLatin1Char('0')));
    }
    if (number != shotCount || left.EntryAt(0)->Siblings().size() != 2)
        qFatal("the shots were not grouped");
    TProtokoll log;
    QuietProgress progress;
    TBatchRun run(store, log, progress);
    run.SetExtraFiles(SiblingFileProvider());
    TBatchJobSettings settings;
    settings.CopyToDestination = true;
    settings.RenameDestination = true;

    Rounds rounds;
    int turn = 0;
    for (auto _ : state) {
        double plainSeconds = 0, jobSeconds = 0;
        const auto runPlain = [&] {
            benchsupport::emptyFolder(plainTarget);
            const auto start = std::chrono::steady_clock::now();
            for (const QString &f : files)
                if (!benchsupport::plainCopy(f, plainTarget + u'/' + QFileInfo(f).fileName()))
                    state.SkipWithError("the plain copy failed");
            plainSeconds = secondsSince(start);
        };
        const auto runJob = [&] {
            benchsupport::emptyFolder(jobTarget);
            log.Clear();
            const auto start = std::chrono::steady_clock::now();
            run.RunBatchJob(settings);
            jobSeconds = secondsSince(start);
            if (run.JobFailed() || QDir(jobTarget).entryList(QDir::Files).size() != files.size())
                state.SkipWithError("the copy job failed");
        };
        benchsupport::inTurns(turn, runPlain, runJob);
        rounds.add(state, jobSeconds, plainSeconds);
    }
    rounds.report(state, "job_vs_plain_copy", "job_ms", "plain_ms");
    left.Clear();
    right.Clear();
}

// Two folders of 10,000 shots each (IMG_nnnnn.JPG and .CR2, an .xmp beside every other
// shot), empty files.
QStringList makeFolders()
{
    QStringList folders;
    for (const char *side : {"L", "R"}) {
        const QString folder = workRoot() + QStringLiteral("/group/") + QLatin1String(side);
        QDir().mkpath(folder);
        for (int i = 0; i < 10000; ++i) {
            const QString base = folder + QStringLiteral("/IMG_%1").arg(i, 5, 10, QLatin1Char('0'));
            QFile(base + QStringLiteral(".JPG")).open(QIODevice::WriteOnly);
            QFile(base + QStringLiteral(".CR2")).open(QIODevice::WriteOnly);
            if (i % 2 == 0)
                QFile(base + QStringLiteral(".xmp")).open(QIODevice::WriteOnly);
        }
        folders << folder;
    }
    return folders;
}

void BM_GroupShots40000VsFolderExpansion(benchmark::State &state)
{
    const QStringList folders = makeFolders();
    const QStringList extensions{"jpg", "jpeg", "cr2"};
    Rounds rounds;
    for (auto _ : state) {
        double expandSeconds = 0, groupSeconds = 0;
        std::size_t shots = 0;
        for (const QString &folder : folders) {
            auto start = std::chrono::steady_clock::now();
            const QStringList files = ExpandDroppedPaths({folder}, extensions);
            expandSeconds += secondsSince(start);
            start = std::chrono::steady_clock::now();
            shots += GroupShots(files, true).size();
            groupSeconds += secondsSince(start);
        }
        if (shots != 20000)
            state.SkipWithError("the shots were not grouped");
        rounds.add(state, groupSeconds, expandSeconds);
    }
    rounds.report(state, "group_vs_expand", "group_ms", "expand_ms");
}

} // namespace

BENCHMARK(BM_GroupShots40000VsFolderExpansion)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK(BM_SiblingCopyJobVsPlainCopy)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(4);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return benchsupport::runBenchmarks(argc, argv);
}
