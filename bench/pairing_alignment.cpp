// The rhythm alignment on long sessions whose metadata is already read: n left and n right
// pictures (ordinary intervals, some bursts, missed shots, a drifting clock and one clock
// change), from 2,500 up to 40,000 a side.
#include "pairing/rhythmalignment.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <sys/resource.h>

namespace {

RhythmInput LongSession(int scenes)
{
    std::mt19937 random(42);
    std::uniform_real_distribution<double> unit(0, 1);
    std::exponential_distribution<double> interval(1 / 25.0);
    RhythmInput input;
    double t = 45413.0 * 86400 + 8 * 3600;
    for (int k = 0; k < scenes; ++k) {
        t += unit(random) < 0.1 ? 1 + unit(random) : 3 + interval(random);
        const double offset = 47 + 0.0002 * k * 25 + (k > scenes / 2 ? 3600 : 0);
        const double r = unit(random);
        if (r >= 0.03)
            input.left.push_back({std::floor(t + 0.3 * unit(random))});
        if (r < 0.03 || r >= 0.06)
            input.right.push_back({std::floor(t + offset + 0.3 * unit(random))});
    }
    return input;
}

long PeakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_AlignByRhythm(benchmark::State &state)
{
    const RhythmInput input = LongSession(static_cast<int>(state.range(0)));
    std::size_t pairs = 0;
    for (auto _ : state) {
        const RhythmResult result = AlignByRhythm(input);
        pairs = result.pairs.size();
        benchmark::DoNotOptimize(result);
    }
    state.counters["pairs"] = static_cast<double>(pairs);
    state.counters["peak_MB"] = static_cast<double>(PeakKilobytes()) / 1024;
    state.SetItemsProcessed(state.iterations() * (input.left.size() + input.right.size()));
}
BENCHMARK(BM_AlignByRhythm)->Arg(2500)->Arg(10000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
