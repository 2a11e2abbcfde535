// The batch run's own cost. A copy job of 400 photo-sized JPEG files (about 3.5 MB each)
// through the engine (exclusive create, chunked copy, times and permissions kept, file
// synced, journal lines, log lines) against a plain loop of copy_file_range plus fsync per
// file, in the same run: target at most 1.15 times the plain loop (BM_EngineVsPlainCopy
// runs both in turns and gives the median ratio). And a rename-only job of 20,000 entries:
// target under 2 s (no window).
#include "batch/fileops.h"
#include "batch/protokoll.h"
#include "batch/runengine.h"
#include "batch/runprogress.h"
#include "entries/entrystore.h"
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "support/photo_generator.h"
#include "support/plaincopy.h"
#include "support/run.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using benchsupport::emptyFolder;
using benchsupport::plainCopy;

namespace {

class QuietProgress : public TRunProgress
{
public:
    void BeginPhase(const QString &, int, int) override {}
    void StepProgress(const QString &) override {}
    void ShowStatus(const QString &) override {}
};

// Work folders beside the build (a disk, not a memory file system), journals included.
QString workRoot()
{
    // Removed again when the program ends (the copies take more than a gigabyte).
    static QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-batch-XXXXXX"));
    static const bool dataHomeSet = [] {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + QStringLiteral("/data")));
        return true;
    }();
    (void)dataHomeSet;
    return dir.path();
}

const QStringList &photos()
{
    static const QStringList files = [] {
        QString error;
        QStringList made = benchsupport::generatePhotoSet(benchsupport::photoCacheDir(QStringLiteral("batch-copy")),
                                                          400, 4000, 3000, {}, &error);
        if (made.isEmpty())
            qFatal("cannot generate the benchmark photos: %s", qPrintable(error));
        return made;
    }();
    return files;
}

// Every file as a monoscopic picture in the left list, opposite a gap.
void addMonoPictures(ListRowModel &left, ListRowModel &right, const QStringList &files)
{
    ListRowModel::LinkLists(left, right);
    for (const QString &path : files) {
        TDatensatz *e = AppendEntry(left, left.Count(), path, dsLeft, false, 0, false, true);
        TDatensatz *gap = CreateGap(right);
        LinkBothWays(e, gap);
        e->SetAttribute(daMono);
    }
}

void BM_EngineCopyJob(benchmark::State &state)
{
    const QStringList &files = photos();
    const QString target = workRoot() + QStringLiteral("/engine");
    TEntryStore store;
    ListRowModel left(store, dsLeft), right(store, dsRight);
    addMonoPictures(left, right, files);
    store.Naming.FolderMono = target;
    TProtokoll log;
    QuietProgress progress;
    TBatchRun run(store, log, progress);
    TBatchJobSettings settings;
    settings.CopyToDestination = true;
    settings.FolderMask = fbMono;
    qint64 bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        emptyFolder(target);
        log.Clear();
        state.ResumeTiming();
        run.RunBatchJob(settings);
        if (run.JobFailed())
            state.SkipWithError("the copy job failed");
        for (const QString &path : files)
            bytes += QFileInfo(path).size();
    }
    state.SetBytesProcessed(bytes);
    left.Clear();
    right.Clear();
}

void BM_PlainCopyLoop(benchmark::State &state)
{
    const QStringList &files = photos();
    const QString target = workRoot() + QStringLiteral("/plain");
    qint64 bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        emptyFolder(target);
        state.ResumeTiming();
        for (const QString &path : files) {
            if (!plainCopy(path, target + u'/' + QFileInfo(path).fileName()))
                state.SkipWithError("copy failed");
            bytes += QFileInfo(path).size();
        }
    }
    state.SetBytesProcessed(bytes);
}

// Both copies in every iteration, in turns first and second, so that the disk's and the
// machine's moods fall on both alike: engine_vs_plain is the median of the iterations'
// ratios (the figure the target is about).
void BM_EngineVsPlainCopy(benchmark::State &state)
{
    const QStringList &files = photos();
    const QString plainTarget = workRoot() + QStringLiteral("/plain");
    const QString engineTarget = workRoot() + QStringLiteral("/engine");
    TEntryStore store;
    ListRowModel left(store, dsLeft), right(store, dsRight);
    addMonoPictures(left, right, files);
    store.Naming.FolderMono = engineTarget;
    TProtokoll log;
    QuietProgress progress;
    TBatchRun run(store, log, progress);
    TBatchJobSettings settings;
    settings.CopyToDestination = true;
    settings.FolderMask = fbMono;
    std::vector<double> ratios;
    double plainSum = 0, engineSum = 0;
    int turn = 0;
    for (auto _ : state) {
        double plainMs = 0, engineMs = 0;
        const auto runPlain = [&] {
            emptyFolder(plainTarget);
            QElapsedTimer clock;
            clock.start();
            for (const QString &path : files) {
                if (!plainCopy(path, plainTarget + u'/' + QFileInfo(path).fileName()))
                    state.SkipWithError("copy failed");
            }
            plainMs = clock.nsecsElapsed() / 1e6;
        };
        const auto runEngine = [&] {
            emptyFolder(engineTarget);
            log.Clear();
            QElapsedTimer clock;
            clock.start();
            run.RunBatchJob(settings);
            engineMs = clock.nsecsElapsed() / 1e6;
            if (run.JobFailed())
                state.SkipWithError("the copy job failed");
        };
        if (turn++ % 2 == 0) {
            runPlain();
            runEngine();
        } else {
            runEngine();
            runPlain();
        }
        state.SetIterationTime((plainMs + engineMs) / 1e3);
        ratios.push_back(engineMs / plainMs);
        plainSum += plainMs;
        engineSum += engineMs;
    }
    std::sort(ratios.begin(), ratios.end());
    const std::size_t n = ratios.size();
    state.counters["engine_vs_plain"] = n % 2 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
    state.counters["plain_ms"] = plainSum / double(n);
    state.counters["engine_ms"] = engineSum / double(n);
    left.Clear();
    right.Clear();
}

void BM_RenameJob20000(benchmark::State &state)
{
    const int count = 20000;
    const QString folder = workRoot() + QStringLiteral("/rename");
    emptyFolder(folder);
    TEntryStore store;
    ListRowModel left(store, dsLeft), right(store, dsRight);
    ListRowModel::LinkLists(left, right);
    for (int i = 0; i < count; ++i) {
        const QString path = folder + QStringLiteral("/IMG_%1.jpg").arg(i, 5, 10, QLatin1Char('0'));
        QFile(path).open(QIODevice::WriteOnly);
        TDatensatz *e = AppendEntry(left, i, path, dsLeft, false, 0, false, true);
        TDatensatz *gap = CreateGap(right);
        LinkBothWays(e, gap);
        e->SetAttribute(daMono);
    }
    TProtokoll log;
    QuietProgress progress;
    TBatchRun run(store, log, progress);
    TBatchJobSettings settings;
    settings.RenameSource = true;
    bool forth = true;
    for (auto _ : state) {
        state.PauseTiming();
        // Every other job renames the files back to their first names.
        for (TDatensatz *e : store.Registry.Entries()) {
            if (e->Attribute() == daMono)
                e->SetNewName(forth ? QStringLiteral("Pic_%1").arg(e->Number()) : QStringLiteral("IMG_%1").arg(e->Number(), 5, 10, QLatin1Char('0')));
        }
        forth = !forth;
        log.Clear();
        state.ResumeTiming();
        run.RunBatchJob(settings);
        if (run.JobFailed())
            state.SkipWithError("the rename job failed");
    }
    left.Clear();
    right.Clear();
}

} // namespace

BENCHMARK(BM_PlainCopyLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_EngineCopyJob)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_EngineVsPlainCopy)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);
BENCHMARK(BM_RenameJob20000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return benchsupport::runBenchmarks(argc, argv);
}
