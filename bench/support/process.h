#pragma once
// Running the tools a user would otherwise pick (cp, sync, exiftran, exiv2) and duomira-cli
// itself as child processes, timed by the wall clock, with their peak resident memory from
// the kernel's account (ru_maxrss); and the median of the ratios of alternating rounds, so
// that the machine's moods fall on both sides alike.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace benchsupport {

struct ProcessRun
{
    bool ok = false;     // exited with status 0
    double seconds = 0;  // wall time from start to exit
    double peakMb = 0;   // peak resident memory of the process
};

// Runs args (args[0] a path, or a name looked up in PATH) in workDir (empty: the current
// folder) with its standard output going to /dev/null.
ProcessRun runProcess(const std::vector<std::string> &args, const std::string &workDir = {});

double median(std::vector<double> values);

// One round of a comparison: first then second on even rounds, second then first on odd
// ones, so that neither always runs on a disk or cache the other has just warmed.
template <class First, class Second>
void inTurns(int &round, First &&first, Second &&second)
{
    if (round++ % 2 == 0) {
        first();
        second();
    } else {
        second();
        first();
    }
}

// The duomira-cli to run: $DUOMIRA_BENCH_CLI when set (to measure another build, such as
// the one before a change, in the same run), otherwise built.
std::string cliPath(const char *built);

} // namespace benchsupport

namespace benchsupport {

// Both programs once per iteration of state, in turns; the iteration's time is both runs.
struct ProcessComparison
{
    double timeRatio = 0;    // median of ours / theirs
    double peakRatio = 0;    // median of ours / theirs
    double oursMs = 0;       // mean wall time
    double theirsMs = 0;
    double oursPeakMb = 0;   // largest peak
    double theirsPeakMb = 0;
};
ProcessComparison compareInTurns(benchmark::State &state, const std::vector<std::string> &ours,
                                 const std::vector<std::string> &theirs);

} // namespace benchsupport
