// Costs of the row model and the list operations at the sizes an ordering pass meets
// (20,000 rows in each list): building the rows, deleting obsolete rows, sorting, row
// index lookups, refreshing every row and removing many selected rows.
#include "entries/entrystore.h"
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "imaging/dsorgbild.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

// n row pairs: images of a pool of 200 files (so holders are shared, as after
// "Combinations") opposite gaps, half of the gaps marked obsolete.
struct Lists
{
    TEntryStore store;
    ListRowModel left{store, dsLeft};
    ListRowModel right{store, dsRight};

    explicit Lists(int n, int distinctFiles = 200)
    {
        ListRowModel::LinkLists(left, right);
        for (int i = 0; i < n; ++i) {
            TDatensatz *image =
                AppendEntry(left, i, QStringLiteral("/photos/IMG_%1.jpg").arg(i % distinctFiles),
                            dsLeft);
            TDatensatz *gap = CreateGap(right);
            LinkBothWays(image, gap);
            gap->SetNumber(i);
        }
    }
    ~Lists()
    {
        left.Clear();
        right.Clear();
    }
};

void BM_BuildRowPairs(benchmark::State &state)
{
    for (auto _ : state) {
        Lists lists(int(state.range(0)));
        benchmark::DoNotOptimize(lists.left.Count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildRowPairs)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

// Every path distinct: the holder lookup by path dominates.
void BM_BuildRowPairsDistinctFiles(benchmark::State &state)
{
    for (auto _ : state) {
        Lists lists(int(state.range(0)), int(state.range(0)));
        benchmark::DoNotOptimize(lists.left.Count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildRowPairsDistinctFiles)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

// The row work of the final phase of an ordering pass: delete the obsolete rows, number
// every entry by its row, sort both lists by number, and look every row index up again.
void BM_OrderingRowWork(benchmark::State &state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Lists lists(n);
        std::mt19937 rng(1);
        for (int i = 0; i < n; i += 2)
            lists.right.EntryAt(i)->SetAttribute(daObsolete);
        state.ResumeTiming();

        auto obsolete = [](const ListRow &row) {
            return row.Data() && row.Data()->Attribute() == daObsolete;
        };
        lists.left.DeleteRowsIf(obsolete);
        lists.right.DeleteRowsIf(obsolete);
        for (ListRowModel *list : {&lists.left, &lists.right}) {
            for (int i = list->Count() - 1; i >= 0; --i)
                list->EntryAt(i)->SetNumber(int(rng() % unsigned(n)));
            list->SortRows([](const ListRow &a, const ListRow &b) {
                return a.Data()->Number() - b.Data()->Number();
            });
        }
        long sum = 0;
        for (int i = 0; i < lists.store.Registry.Count(); ++i)
            sum += lists.store.Registry.At(i)->RowIndex();
        benchmark::DoNotOptimize(sum);

        state.PauseTiming();
        lists.left.Clear();
        lists.right.Clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OrderingRowWork)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_RefreshAllEntries(benchmark::State &state)
{
    Lists lists(int(state.range(0)));
    for (auto _ : state)
        RefreshAllEntries(lists.store.Registry);
    state.SetItemsProcessed(state.iterations() * lists.store.Registry.Count());
}
BENCHMARK(BM_RefreshAllEntries)->Arg(20000)->Unit(benchmark::kMillisecond);

// "Remove from list" on every tenth row: the walk over the selection turns each removed
// image and the gap opposite it into rows given up, which go together at its end. Linear
// in the number of rows. Measured (processor time, two busy cores): 2,000 rows 1.0 ms and
// 20,000 rows 16 ms; deleting each row pair at once and restarting the walk took 1.7 ms
// and 390 ms.
void BM_RemoveSelectedRows(benchmark::State &state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Lists lists(n);
        for (int i = 0; i < n; i += 10)
            lists.left.SetSelected(i, true);
        state.ResumeTiming();
        TSelectActionResult r = RunSelectAction(lists.left, saDeleteEntryPair);
        benchmark::DoNotOptimize(r.RowsChanged);
        state.PauseTiming();
        lists.left.Clear();
        lists.right.Clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RemoveSelectedRows)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
