// duomira-cli inspect against the tool people would otherwise use to read metadata, in the
// same run: 300 photos of about 3.7 MB through duomira-cli inspect and through exiv2 -pa,
// in turns first and second (target: at most 1.0 times exiv2, counter inspect_vs_exiv2).
// And its memory with many files: peak resident memory on 2,000 + 2,000 and on 20,000 +
// 20,000 small JPEG files (target: flat, counter peak_growth near 1).
#include "support/photo_generator.h"
#include "support/process.h"

#include <QDir>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

void BM_InspectVsExiv2(benchmark::State &state)
{
    const QStringList files = benchsupport::cameraSizedPhotoSet(QStringLiteral("camera-300"), 300);
    if (files.size() != 300) {
        state.SkipWithError("no photo set");
        return;
    }
    std::vector<std::string> inspect{benchsupport::cliPath(DUOMIRA_CLI_PATH), "inspect"};
    std::vector<std::string> exiv2{"exiv2", "-pa"};
    for (const QString &path : files) {
        inspect.push_back(path.toStdString());
        exiv2.push_back(path.toStdString());
    }
    const benchsupport::ProcessComparison c = benchsupport::compareInTurns(state, inspect, exiv2);
    state.counters["inspect_vs_exiv2"] = c.timeRatio;
    state.counters["inspect_ms"] = c.oursMs;
    state.counters["exiv2_ms"] = c.theirsMs;
}

// Peak memory of inspect on perSide + perSide small files (relative names keep the
// command line under the system's limit).
double inspectPeakMb(int perSide, bool *ok)
{
    const QStringList left = benchsupport::smallPhotoSet(QStringLiteral("L"), perSide);
    const QStringList right = benchsupport::smallPhotoSet(QStringLiteral("R"), perSide);
    if (left.size() != perSide || right.size() != perSide) {
        *ok = false;
        return 0;
    }
    const QString root = QFileInfo(left.first()).absolutePath() + QStringLiteral("/..");
    std::vector<std::string> args{benchsupport::cliPath(DUOMIRA_CLI_PATH), "inspect"};
    for (const QStringList *side : {&left, &right}) {
        for (const QString &f : *side)
            args.push_back(QDir(root).relativeFilePath(f).toStdString());
    }
    const benchsupport::ProcessRun run = benchsupport::runProcess(args, QDir(root).absolutePath().toStdString());
    *ok = run.ok;
    return run.peakMb;
}

void BM_InspectMemoryGrowth(benchmark::State &state)
{
    for (auto _ : state) {
        bool okSmall = false, okLarge = false;
        const double small = inspectPeakMb(2000, &okSmall);
        const double large = inspectPeakMb(20000, &okLarge);
        if (!okSmall || !okLarge) {
            state.SkipWithError("inspect failed or no photo sets");
            return;
        }
        state.counters["peak_mb_4000"] = small;
        state.counters["peak_mb_40000"] = large;
        state.counters["peak_growth"] = large / small;
    }
}

} // namespace

BENCHMARK(BM_InspectVsExiv2)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(8);
BENCHMARK(BM_InspectMemoryGrowth)->Unit(benchmark::kSecond)->Iterations(1);

BENCHMARK_MAIN();
