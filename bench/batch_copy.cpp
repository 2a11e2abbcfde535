// The batch job against the tools people would otherwise use. A copy and rename job of 300
// photos of about 3.7 MB each through duomira-cli run (exclusive create, copy in the
// kernel, times and permissions kept, each destination file system synced once per batch,
// journal and log) against cp -p of the same files and one sync, in the same run: target
// at most 1.05 times cp and sync. And a rename-only job of 20,000 entries in the engine:
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
#include "support/batchwork.h"
#include "support/photo_generator.h"
#include "support/plaincopy.h"
#include "support/process.h"
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

namespace {

constexpr int photoCount = 300;

using benchsupport::QuietProgress;

// Work folders beside the build (a disk, not a memory file system), journals included.
QString workRoot()
{
    return benchsupport::batchWorkRoot("bench-batch");
}

const QStringList &photos()
{
    static const QStringList files = [] {
        QStringList made = benchsupport::cameraSizedPhotoSet(QStringLiteral("camera-300"), photoCount);
        if (made.size() != photoCount)
            qFatal("cannot generate the benchmark photos");
        return made;
    }();
    return files;
}

// The copy job a user would run instead of cp: duomira-cli run --copy --rename-destination
// (every file monoscopic, since only one camera is named) against cp -p of the same files
// and one sync, in turns first and second. Counters: the median ratio of the rounds and
// the mean times of both.
void BM_CopyRenameJobVsCpAndSync(benchmark::State &state)
{
    const QStringList &files = photos();
    const QString cpTarget = workRoot() + QStringLiteral("/cp");
    const QString jobTarget = workRoot() + QStringLiteral("/job");
    const std::string source = QFileInfo(files.first()).absolutePath().toStdString();
    std::vector<std::string> cp{"cp", "-p"};
    for (const QString &path : files)
        cp.push_back(path.toStdString());
    cp.push_back(cpTarget.toStdString());
    const std::string target = jobTarget.toStdString();
    const std::vector<std::string> job{benchsupport::cliPath(DUOMIRA_CLI_PATH), "run", "--copy", "--rename-destination",
                                       "--dest-left", target, "--dest-right", target, "--dest-mono",
                                       target, "--mask", "Copy_####", "--left", source};
    std::vector<double> ratios;
    double cpSum = 0, jobSum = 0;
    int turn = 0;
    for (auto _ : state) {
        double cpSeconds = 0, jobSeconds = 0;
        const auto runCp = [&] {
            emptyFolder(cpTarget);
            const benchsupport::ProcessRun copy = benchsupport::runProcess(cp);
            const benchsupport::ProcessRun sync = benchsupport::runProcess({"sync"});
            if (!copy.ok || !sync.ok)
                state.SkipWithError("cp or sync failed");
            cpSeconds = copy.seconds + sync.seconds;
        };
        const auto runJob = [&] {
            emptyFolder(jobTarget);
            const benchsupport::ProcessRun run = benchsupport::runProcess(job);
            if (!run.ok || QDir(jobTarget).entryList(QDir::Files).size() != files.size())
                state.SkipWithError("the copy job failed");
            jobSeconds = run.seconds;
        };
        benchsupport::inTurns(turn, runCp, runJob);
        state.SetIterationTime(cpSeconds + jobSeconds);
        ratios.push_back(jobSeconds / cpSeconds);
        cpSum += cpSeconds;
        jobSum += jobSeconds;
    }
    const double n = double(ratios.size());
    state.counters["job_vs_cp_sync"] = benchsupport::median(ratios);
    state.counters["cp_sync_ms"] = cpSum / n * 1e3;
    state.counters["job_ms"] = jobSum / n * 1e3;
    state.counters["mb_per_file"] = double(QFileInfo(files.first()).size()) / 1e6;
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
        TDatensatz *e = AppendEntry(left, i, path, dsLeft);
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

BENCHMARK(BM_CopyRenameJobVsCpAndSync)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);
BENCHMARK(BM_RenameJob20000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return benchsupport::runBenchmarks(argc, argv);
}
