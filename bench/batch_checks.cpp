// The pre-run checks of a 20,000-entry job (10,000 stereo pairs in one source folder, copied
// and renamed into two destination folders): the folder, naming and disk space checks and
// the count of shared files, as the wizard runs them on its way to the confirmation page.
// The files do not exist (sizes are set on the holders), so the naming check looks up every
// target on disk and finds nothing, its most common case.
#include "batch/laufwerke.h"
#include "batch/prerunchecks.h"
#include "batch/protokoll.h"
#include "entries/entrystore.h"
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "imaging/dsorgbild.h"
#include "support/run.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kPairs = 10000;

struct Job
{
    QTemporaryDir dir;
    TEntryStore store;
    ListRowModel left{store, dsLeft};
    ListRowModel right{store, dsRight};

    Job()
    {
        ListRowModel::LinkLists(left, right);
        TNamingSettings &s = store.Naming;
        s.FolderLeft = dir.path() + "/dest_L";
        s.FolderRight = dir.path() + "/dest_R";
        s.FolderMono = dir.path() + "/dest_M";
        for (int i = 0; i < kPairs; ++i) {
            const QString base = dir.path() + QStringLiteral("/src/IMG_%1").arg(i, 5, 10, QLatin1Char('0'));
            TDatensatz *l = AppendEntry(left, i, base + "_L.JPG", dsLeft);
            TDatensatz *r = AppendEntry(right, i, base + "_R.JPG", dsRight);
            LinkBothWays(l, r);
            for (TDatensatz *e : {l, r}) {
                e->SetAttribute(daStereoPair);
                e->OrgBild()->JpegData.FileSize = 4'500'000 + i;
                e->SetNewName(QStringLiteral("Trip_%1").arg(i, 5, 10, QLatin1Char('0')));
            }
        }
    }
    ~Job()
    {
        left.Clear();
        right.Clear();
    }
};

void BM_ChecksOfACopyJob(benchmark::State &state)
{
    Job job;
    const std::vector<TDatensatz *> entries = job.store.Registry.Entries();
    TNameCheckOptions names;
    names.CopyToDestination = true;
    names.RenameDestination = true;
    names.RenameSource = true;
    for (auto _ : state) {
        TProtokoll log;
        TLaufwerke table(SystemVolumes());
        TFolderCheck folders;
        folders.Run(entries, job.store.Naming);
        CheckSpace(entries, {}, table, log);
        benchmark::DoNotOptimize(ComputeSharedFiles(entries, 2, table));
        benchmark::DoNotOptimize(CheckNames(entries, names, log).ConflictCount());
    }
    state.SetItemsProcessed(state.iterations() * 2 * kPairs);
}
BENCHMARK(BM_ChecksOfACopyJob)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return benchsupport::runBenchmarks(argc, argv);
}
