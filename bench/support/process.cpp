#include "support/process.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace benchsupport {

ProcessRun runProcess(const std::vector<std::string> &args, const std::string &workDir)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    ProcessRun run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0)
        return run;
    if (child == 0) {
        const int devNull = ::open("/dev/null", O_WRONLY);
        if (devNull < 0 || ::dup2(devNull, 1) < 0 || (!workDir.empty() && ::chdir(workDir.c_str()) != 0))
            ::_exit(127);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child)
        return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakMb = double(usage.ru_maxrss) / 1024.0;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!run.ok)
        std::fprintf(stderr, "%s failed (status %d)\n", args.front().c_str(), status);
    return run;
}

std::string cliPath(const char *built)
{
    const char *other = std::getenv("DUOMIRA_BENCH_CLI");
    return other && *other ? std::string(other) : std::string(built);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

ProcessComparison compareInTurns(benchmark::State &state, const std::vector<std::string> &ours,
                                 const std::vector<std::string> &theirs)
{
    std::vector<double> times, peaks;
    ProcessComparison c;
    int turn = 0;
    for (auto _ : state) {
        ProcessRun o, t;
        inTurns(turn, [&] { t = runProcess(theirs); }, [&] { o = runProcess(ours); });
        if (!o.ok || !t.ok)
            state.SkipWithError((ours.front() + " or " + theirs.front() + " failed").c_str());
        state.SetIterationTime(o.seconds + t.seconds);
        times.push_back(o.seconds / t.seconds);
        peaks.push_back(o.peakMb / t.peakMb);
        c.oursMs += o.seconds * 1e3;
        c.theirsMs += t.seconds * 1e3;
        c.oursPeakMb = std::max(c.oursPeakMb, o.peakMb);
        c.theirsPeakMb = std::max(c.theirsPeakMb, t.peakMb);
    }
    const double n = std::max<double>(1, double(times.size()));
    c.timeRatio = median(times);
    c.peakRatio = median(peaks);
    c.oursMs /= n;
    c.theirsMs /= n;
    return c;
}

} // namespace benchsupport
