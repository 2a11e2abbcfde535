// The ordering pass on large lists held in memory (capture times set on the holders, no file
// is read): 20,000 left and 20,000 right pictures.
//   Realistic: the same scenes from two cameras, the right clock 47 s ahead, 5% of the shots
//              missed by each camera, bursts within 2 s.
//   NoRun:     two unrelated streams whose intervals never agree twice in a row, so mode 1
//              searches every left start and then stops (the pair prompt would follow).
// Each benchmark starts from the state after loading: every picture unassigned opposite a
// gap, rows in chronological order. The plain reference implementation of the tests runs on
// the same input for comparison (once; it is quadratic).
#include "pairing/ordering.h"
#include "entries/entrystore.h"
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "imaging/dsorgbild.h"

// The reference implementation lives with the tests; it is measured here on the same input.
#include "../tests/pairing/reference_ordering.cpp"
#include "support/run.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
#include <sys/resource.h>

namespace {

constexpr double kDay0 = 45413.0; // 1 May 2024

double timeAt(qint64 second)
{
    return kDay0 + static_cast<double>(second) / 86400.0;
}

struct Streams
{
    std::vector<double> left, right;
};

Streams realisticStreams(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    Streams s;
    qint64 second = 8 * 3600;
    while (static_cast<int>(s.left.size()) < count || static_cast<int>(s.right.size()) < count) {
        second += rng() % 10 == 0 ? rng() % 3 : 3 + rng() % 60; // bursts and pauses
        if (rng() % 100 >= 5 && static_cast<int>(s.left.size()) < count)
            s.left.push_back(timeAt(second));
        if (rng() % 100 >= 5 && static_cast<int>(s.right.size()) < count)
            s.right.push_back(timeAt(second + 47 + static_cast<int>(rng() % 3) - 1));
    }
    return s;
}

// Left intervals alternate 5..9 s and 100..200 s, right ones 5..9 s and 20..40 s: single
// intervals agree all the time, two in a row never.
Streams unrelatedStreams(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    Streams s;
    qint64 l = 8 * 3600, r = 9 * 3600;
    for (int i = 0; i < count; ++i) {
        s.left.push_back(timeAt(l));
        s.right.push_back(timeAt(r));
        l += i % 2 ? 100 + rng() % 101 : 5 + rng() % 5;
        r += i % 2 ? 20 + rng() % 21 : 5 + rng() % 5;
    }
    return s;
}

long maxRssKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The two lists after loading: each picture opposite a gap, in chronological order (left
// pictures first, then right ones, as after loading and a pass of mode 0).
struct Lists
{
    TEntryStore store;
    ListRowModel left{store, dsLeft};
    ListRowModel right{store, dsRight};

    explicit Lists(const Streams &s)
    {
        ListRowModel::LinkLists(left, right);
        // Paths differ in their first characters: the holder registry compares every path.
        auto add = [&](ListRowModel &list, const char *side, int i, double t) {
            const QString path = QStringLiteral("/%1/%2.jpg").arg(i).arg(QLatin1String(side));
            TDatensatz *e = AppendEntry(list, list.Count(), path, static_cast<TDsSide>(list.Side()));
            e->OrgBild()->JpegData.CaptureTime = t;
            e->OrgBild()->Loaded = true;
            e->SetSide(dsMono);
            TDatensatz *g = CreateGap(*list.OtherList());
            g->SetGapTime(t);
            g->SetAttribute(daGap);
            LinkBothWays(e, g);
        };
        for (size_t i = 0; i < s.left.size(); ++i)
            add(left, "L", static_cast<int>(i), s.left[i]);
        for (size_t i = 0; i < s.right.size(); ++i)
            add(right, "R", static_cast<int>(i), s.right[i]);
        TOrderingPass(left, right).ArrangeLists(OrderingMode::SortOnly);
    }
};

ref::Model referenceModel(const Streams &s)
{
    ref::Model m;
    auto add = [&](std::vector<ref::Entry *> &list, std::vector<ref::Entry *> &other, int i,
                   double t, const char *side) {
        ref::Entry *e = m.create(list);
        e->path = QStringLiteral("/%1/%2.jpg").arg(i).arg(QLatin1String(side));
        e->capture = t;
        ref::Entry *g = m.createGap(other);
        g->gapTime = t;
        g->attribute = 6;
        e->partner = g;
        g->partner = e;
    };
    for (size_t i = 0; i < s.left.size(); ++i)
        add(m.left, m.right, static_cast<int>(i), s.left[i], "L");
    for (size_t i = 0; i < s.right.size(); ++i)
        add(m.right, m.left, static_cast<int>(i), s.right[i], "R");
    ref::ArrangeLists(m, 0);
    return m;
}

constexpr int kCount = 20000;

// Building the lists is slow (the holder registry compares every new path with every
// known one), so each input is built once and shared by the benchmarks. A pass of mode 1
// over the result of an earlier pass does the same work again (it dissolves everything).
std::map<std::pair<bool, int>, std::unique_ptr<Lists>> &listCache()
{
    static std::map<std::pair<bool, int>, std::unique_ptr<Lists>> cache;
    return cache;
}

Lists &listsFor(bool realistic, int count)
{
    auto &slot = listCache()[{realistic, count}];
    if (!slot)
        slot = std::make_unique<Lists>(realistic ? realisticStreams(count, 1)
                                                 : unrelatedStreams(count, 2));
    return *slot;
}

void runPass(benchmark::State &state, bool realistic, OrderingMode mode)
{
    Lists &lists = listsFor(realistic, static_cast<int>(state.range(0)));
    TOrderingPass pass(lists.left, lists.right);
    const long rssBefore = maxRssKilobytes();
    for (auto _ : state) {
        const ArrangeOutcome outcome = pass.ArrangeLists(mode);
        state.PauseTiming();
        // A pass that found no run leaves the entries dissolved; the follow-up pass tidies
        // them up again, as the main window does.
        if (outcome != ArrangeOutcome::Completed)
            pass.ArrangeLists(OrderingMode::MarkUnassigned);
        state.ResumeTiming();
    }
    state.counters["rows"] = lists.left.Count();
    // Peak memory above the lists themselves (meaningful when one benchmark runs alone).
    state.counters["peak_growth_MB"] = static_cast<double>(maxRssKilobytes() - rssBefore) / 1024.0;
}

void runReference(benchmark::State &state, const Streams &streams, int mode)
{
    for (auto _ : state) {
        state.PauseTiming();
        ref::Model m = referenceModel(streams);
        state.ResumeTiming();
        ref::ArrangeLists(m, mode);
        benchmark::DoNotOptimize(m.left.size());
    }
}

void Mode0_Realistic(benchmark::State &state)
{
    runPass(state, true, OrderingMode::SortOnly);
}
void Mode1_Realistic(benchmark::State &state)
{
    runPass(state, true, OrderingMode::AssignAll);
}
void Mode0_NoRun(benchmark::State &state)
{
    runPass(state, false, OrderingMode::SortOnly);
}
void Mode1_NoRun(benchmark::State &state)
{
    runPass(state, false, OrderingMode::AssignAll);
}
void Reference_Mode0_Realistic(benchmark::State &state)
{
    runReference(state, realisticStreams(kCount, 1), 0);
}
void Reference_Mode1_Realistic(benchmark::State &state)
{
    runReference(state, realisticStreams(kCount, 1), 1);
}
void Reference_Mode1_NoRun(benchmark::State &state)
{
    runReference(state, unrelatedStreams(kCount, 2), 1);
}

BENCHMARK(Mode0_Realistic)->Arg(5000)->Arg(kCount)->Unit(benchmark::kMillisecond);
BENCHMARK(Mode1_Realistic)->Arg(5000)->Arg(kCount)->Unit(benchmark::kMillisecond);
BENCHMARK(Mode0_NoRun)->Arg(5000)->Arg(kCount)->Unit(benchmark::kMillisecond);
BENCHMARK(Mode1_NoRun)->Arg(5000)->Arg(kCount)->Unit(benchmark::kMillisecond);
BENCHMARK(Reference_Mode0_Realistic)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Reference_Mode1_Realistic)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Reference_Mode1_NoRun)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int result = benchsupport::runBenchmarks(argc, argv);
    // The lists go while the entry registry and the application still exist.
    listCache().clear();
    return result;
}
