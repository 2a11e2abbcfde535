#include "pairing/ordering_time.h"

#include <cmath>
#include <limits>

namespace {
constexpr float kSecondsPerDaySingle = 86400.0f;
constexpr double kSecondsPerDay = 86400.0;
constexpr double kHalfMillisecond = 0.0005;
} // namespace

qint64 SecondsBetween(double a, double b)
{
    // Day numbers near 45,000 carry a few microseconds of rounding error, so a difference
    // of exactly 5 s can come out as 4.999999 s; truncating that would invent a 4 s
    // interval. Times within half a millisecond of a whole second count as that second.
    const double seconds = std::fabs(a - b) * kSecondsPerDay + kHalfMillisecond;
    // 2^63 as a double; every smaller non-negative double truncates into range.
    constexpr double kLimit = 9223372036854775808.0;
    if (!(seconds < kLimit))
        return std::numeric_limits<qint64>::max();
    return static_cast<qint64>(seconds);
}

double AddSeconds(double t, qint64 s)
{
    return (t * kSecondsPerDaySingle + static_cast<double>(s)) / kSecondsPerDaySingle;
}

int CompareTimes(double a, double b)
{
    if (std::fabs(a - b) < kOneMillisecondInDays)
        return 0;
    return a < b ? -1 : 1;
}
