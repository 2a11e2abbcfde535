#pragma once
// Two pieces of work timed in turns, first and second alternately, in every iteration of a
// benchmark: the plain work a user's tool would do and the program's. The counter is the
// median of the iterations' ratios (program / plain); plain_ms and program_ms their means.
#include "support/plaincopy.h"

#include <QElapsedTimer>
#include <QString>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace benchsupport {

// Each piece of work writes into its own folder below root, emptied before it runs.
inline void compareInTurns(benchmark::State &state, const char *counter, const QString &root,
                           const std::function<bool(const QString &)> &plain,
                           const std::function<bool(const QString &)> &program)
{
    const QString plainTarget = root + QStringLiteral("/plain");
    const QString programTarget = root + QStringLiteral("/program");
    std::vector<double> ratios;
    double plainSum = 0, programSum = 0;
    int turn = 0;
    for (auto _ : state) {
        double plainMs = 0, programMs = 0;
        const auto timed = [&](const QString &target, const std::function<bool(const QString &)> &work,
                               double &ms) {
            emptyFolder(target);
            QElapsedTimer clock;
            clock.start();
            if (!work(target))
                state.SkipWithError("the work failed");
            ms = clock.nsecsElapsed() / 1e6;
        };
        if (turn++ % 2 == 0) {
            timed(plainTarget, plain, plainMs);
            timed(programTarget, program, programMs);
        } else {
            timed(programTarget, program, programMs);
            timed(plainTarget, plain, plainMs);
        }
        state.SetIterationTime((plainMs + programMs) / 1e3);
        ratios.push_back(programMs / plainMs);
        plainSum += plainMs;
        programSum += programMs;
    }
    std::sort(ratios.begin(), ratios.end());
    const std::size_t n = ratios.size();
    if (n == 0)
        return;
    state.counters[counter] = n % 2 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
    state.counters["plain_ms"] = plainSum / double(n);
    state.counters["program_ms"] = programSum / double(n);
}

} // namespace benchsupport
