#pragma once
// The robust fit behind the pair check's figures: the vertical position of each matched
// point in the right view as an affine function of its position in the left view,
//
//     yRight = A * xLeft + B * yLeft + C,
//
// in coordinates centred on each view and measured in that view's heights. A right view
// that is the left one turned by the angle t, scaled by s and moved up or down by c (about
// the centre) gives A = s sin t, B = s cos t, C = c. Horizontal differences between the
// views come from the depth of each point and never enter the fit.
//
// Random samples of three matches propose a fit, the one that most matches agree with
// (within a tolerance) wins, and a weighted least-squares fit over those matches, repeated
// until the set of agreeing matches settles, gives the result. The random choices come
// from a fixed seed, so a pair always gives the same figures.
#include <cstdint>
#include <span>
#include <vector>

struct TPointMatch
{
    double LeftX = 0, LeftY = 0;   // centred, in left view heights
    double RightX = 0, RightY = 0; // centred, in right view heights
    double Weight = 1; // the inverse variance of the positions (finer keypoints weigh more)
};

struct TVerticalFit
{
    bool Valid = false; // false: too few matches, or matches too concentrated to fit
    double A = 0, B = 1, C = 0;
    std::vector<bool> Inlier; // per match: agrees with the fit within the tolerance
    int InlierCount = 0;

    double RotationDegrees() const;      // positive: the right view turned clockwise
    double ScalePercent() const;         // positive: the right view's content is larger
    double VerticalOffsetPercent() const // positive: the right view's content lies lower
    {
        return 100.0 * C;
    }
    // The horizontal position in the right view that the turn and scale alone would give
    // a point of the left view; what is left over horizontally is parallax.
    double PredictedRightX(double leftX, double leftY) const { return B * leftX - A * leftY; }
};

// tolerance: how far (in view heights) a match may lie from the fit and still agree.
TVerticalFit FitVerticalDifferences(std::span<const TPointMatch> matches, double tolerance,
                                    std::uint32_t seed = 0x5EED);
