#pragma once
// The common body of the benchmark programs' main(): Google Benchmark's start, the run of
// the benchmarks named on the command line, and its end. Unknown arguments end the program
// with 1 before anything is timed.
#include <benchmark/benchmark.h>

namespace benchsupport {

inline int runBenchmarks(int &argc, char **argv,
                         benchmark::BenchmarkReporter *reporter = nullptr)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks(reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace benchsupport
