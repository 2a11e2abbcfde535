// duomira-cli pair --mode 1 on two cameras' worth of small real JPEG files (640 x 480 with
// a camera-like EXIF block, the right camera's clock 37 s ahead), 2,000 and 20,000 per
// side: the whole road from files to pairs through the program a script would run, its
// wall time and its peak resident memory (from the kernel's account of the child process).
//
// Counters:
//   seconds          wall time of the run
//   peak_mb          peak resident memory of duomira-cli (ru_maxrss)
//   kb_per_picture   peak_mb spread over all pictures of both sides
//
// The sets are generated on first use (a minute or two for 20,000 + 20,000) and cached,
// see photoCacheDir(); DUOMIRA_BENCH_CLI_MAX limits the largest side (default 20000).
#include "support/photo_generator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void BM_CliPairMode1(benchmark::State &state)
{
    const int perSide = int(state.range(0));
    const int limit = qEnvironmentVariableIsSet("DUOMIRA_BENCH_CLI_MAX")
                          ? qEnvironmentVariableIntValue("DUOMIRA_BENCH_CLI_MAX")
                          : 20000;
    if (perSide > limit) {
        state.SkipWithError("larger than DUOMIRA_BENCH_CLI_MAX");
        return;
    }
    const QStringList left = benchsupport::smallPhotoSet(QStringLiteral("L"), perSide);
    const QStringList right = benchsupport::smallPhotoSet(QStringLiteral("R"), perSide);
    if (left.size() != perSide || right.size() != perSide) {
        state.SkipWithError("no photo sets");
        return;
    }
    // Relative names keep the command line short: 40,000 absolute paths come close to the
    // system's limit for arguments.
    const QString root = QFileInfo(left.first()).absolutePath() + QStringLiteral("/..");
    std::vector<std::string> args{DUOMIRA_CLI_PATH, "pair", "--mode", "1", "--left"};
    for (const QString &f : left)
        args.push_back(QDir(root).relativeFilePath(f).toStdString());
    args.emplace_back("--right");
    for (const QString &f : right)
        args.push_back(QDir(root).relativeFilePath(f).toStdString());
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string workDir = QDir(root).absolutePath().toStdString();

    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const pid_t child = fork();
        if (child == 0) {
            if (chdir(workDir.c_str()) != 0 || !freopen("/dev/null", "w", stdout))
                _exit(127);
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("duomira-cli pair failed");
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["seconds"] = seconds;
        state.counters["peak_mb"] = double(usage.ru_maxrss) / 1024.0;
        state.counters["kb_per_picture"] = double(usage.ru_maxrss) / (2.0 * perSide);
    }
}

} // namespace

BENCHMARK(BM_CliPairMode1)
    ->Arg(2000)
    ->Arg(20000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
