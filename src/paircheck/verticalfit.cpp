#include "paircheck/verticalfit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

namespace {

constexpr int MinimumMatches = 6;
constexpr int MaximumSamples = 400;
// Below this spread (in view heights) of the agreeing matches across or down the picture,
// the turn or the scale cannot be told from the offset.
constexpr double MinimumSpread = 0.04;

using TRow = std::array<double, 4>; // x, y, 1 | right-hand side

// Solves the 3 x 3 system (Gaussian elimination with pivoting); false when singular.
bool Solve3(std::array<TRow, 3> m, double &a, double &b, double &c)
{
    for (int col = 0; col < 3; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 3; ++r)
            if (std::abs(m[r][col]) > std::abs(m[pivot][col]))
                pivot = r;
        if (std::abs(m[pivot][col]) < 1e-12)
            return false;
        std::swap(m[col], m[pivot]);
        for (int r = col + 1; r < 3; ++r) {
            const double f = m[r][col] / m[col][col];
            for (int k = col; k < 4; ++k)
                m[r][k] -= f * m[col][k];
        }
    }
    double x[3];
    for (int r = 2; r >= 0; --r) {
        double v = m[r][3];
        for (int k = r + 1; k < 3; ++k)
            v -= m[r][k] * x[k];
        x[r] = v / m[r][r];
    }
    a = x[0];
    b = x[1];
    c = x[2];
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c);
}

double Residual(const TPointMatch &m, double a, double b, double c)
{
    return m.RightY - (a * m.LeftX + b * m.LeftY + c);
}

int CountAgreeing(std::span<const TPointMatch> matches, double a, double b, double c,
                  double tolerance)
{
    int n = 0;
    for (const TPointMatch &m : matches)
        n += std::abs(Residual(m, a, b, c)) <= tolerance;
    return n;
}

// Weighted least squares over the agreeing matches; false when they do not spread enough
// across and down the picture to fix all three parameters.
bool FitAgreeing(std::span<const TPointMatch> matches, const std::vector<bool> &agree, double &a,
                 double &b, double &c)
{
    // Centre the positions first, so that the normal equations stay well conditioned.
    double sw = 0, sx = 0, sy = 0;
    for (size_t i = 0; i < matches.size(); ++i)
        if (agree[i]) {
            sw += matches[i].Weight;
            sx += matches[i].Weight * matches[i].LeftX;
            sy += matches[i].Weight * matches[i].LeftY;
        }
    if (sw <= 0)
        return false;
    const double mx = sx / sw, my = sy / sw;
    std::array<TRow, 3> n{};
    for (size_t i = 0; i < matches.size(); ++i) {
        if (!agree[i])
            continue;
        const TPointMatch &m = matches[i];
        const double v[3] = {m.LeftX - mx, m.LeftY - my, 1.0};
        for (int r = 0; r < 3; ++r) {
            for (int k = 0; k < 3; ++k)
                n[r][k] += m.Weight * v[r] * v[k];
            n[r][3] += m.Weight * v[r] * m.RightY;
        }
    }
    if (std::sqrt(n[0][0] / sw) < MinimumSpread || std::sqrt(n[1][1] / sw) < MinimumSpread)
        return false;
    double ca = 0, cb = 0, cc = 0;
    if (!Solve3(n, ca, cb, cc))
        return false;
    a = ca;
    b = cb;
    c = cc - ca * mx - cb * my;
    return true;
}

} // namespace

double TVerticalFit::RotationDegrees() const
{
    return std::atan2(A, B) * 180.0 / std::numbers::pi;
}

double TVerticalFit::ScalePercent() const
{
    return 100.0 * (std::hypot(A, B) - 1.0);
}

TVerticalFit FitVerticalDifferences(std::span<const TPointMatch> matches, double tolerance,
                                    std::uint32_t seed)
{
    TVerticalFit fit;
    const int n = int(matches.size());
    if (n < MinimumMatches || !(tolerance > 0))
        return fit;

    // The sample that most matches agree with.
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> pick(0, n - 1);
    int best = 0;
    double bestA = 0, bestB = 1, bestC = 0;
    int needed = MaximumSamples;
    for (int s = 0; s < needed; ++s) {
        const int i = pick(random), j = pick(random), k = pick(random);
        if (i == j || j == k || i == k)
            continue;
        std::array<TRow, 3> m;
        for (int r = 0; r < 3; ++r) {
            const TPointMatch &p = matches[size_t(r == 0 ? i : r == 1 ? j : k)];
            m[r] = {p.LeftX, p.LeftY, 1.0, p.RightY};
        }
        double a = 0, b = 0, c = 0;
        if (!Solve3(m, a, b, c))
            continue;
        const int agreeing = CountAgreeing(matches, a, b, c, tolerance);
        if (agreeing > best) {
            best = agreeing;
            bestA = a;
            bestB = b;
            bestC = c;
            // Enough samples that one of them is all agreeing matches, 999 times in 1000.
            const double w = double(agreeing) / n;
            const double allThree = w * w * w;
            if (allThree >= 1.0)
                break;
            const double wanted = std::log(0.001) / std::log(1.0 - allThree);
            needed = std::min(MaximumSamples, std::max(s + 1, int(std::ceil(wanted))));
        }
    }
    if (best < MinimumMatches)
        return fit;

    // Refit over the agreeing matches until they stay the same.
    double a = bestA, b = bestB, c = bestC;
    std::vector<bool> agree(static_cast<size_t>(n), false);
    for (int round = 0; round < 8; ++round) {
        bool changed = false;
        for (int i = 0; i < n; ++i) {
            const bool in = std::abs(Residual(matches[size_t(i)], a, b, c)) <= tolerance;
            changed = changed || in != agree[size_t(i)];
            agree[size_t(i)] = in;
        }
        if (!changed && round > 0)
            break;
        if (std::count(agree.begin(), agree.end(), true) < MinimumMatches ||
            !FitAgreeing(matches, agree, a, b, c))
            return fit;
    }
    fit.Valid = true;
    fit.A = a;
    fit.B = b;
    fit.C = c;
    fit.Inlier = std::move(agree);
    fit.InlierCount = int(std::count(fit.Inlier.begin(), fit.Inlier.end(), true));
    return fit;
}
