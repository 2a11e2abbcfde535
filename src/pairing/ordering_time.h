#pragma once
// Time arithmetic of the ordering pass. Times are day numbers (double; the fraction is the
// time of day, 0 means "no time"). Differences are counted in whole seconds, truncated.
#include <QtGlobal>

// Whole seconds between two times: truncate(|a - b| * 86400). Differences too large for a
// 64-bit integer (or not a number) give the largest value instead of undefined behaviour.
qint64 SecondsBetween(double a, double b);

// Moves a time by s seconds: (t * 86400 + s) / 86400, with 86400 held as a single-precision
// constant (86400 is exact in single precision, so the arithmetic is that of doubles).
double AddSeconds(double t, qint64 s);

// 0 when the two times lie less than one millisecond apart, -1 when a is earlier, +1 when later.
int CompareTimes(double a, double b);

// One millisecond in days: the tolerance of CompareTimes.
constexpr double kOneMillisecondInDays = 1.0 / 86400000.0;
