#pragma once
// Rounding to the nearest integer with halves going to the even neighbour (37.5 -> 38,
// 36.5 -> 36), independent of the floating-point rounding mode.
#include <cmath>

inline long long RoundHalfEven(double value)
{
    const double lower = std::floor(value);
    const double fraction = value - lower;
    long long result = static_cast<long long>(lower);
    if (fraction > 0.5 || (fraction == 0.5 && (result % 2) != 0))
        ++result;
    return result;
}
