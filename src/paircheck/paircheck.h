#pragma once
// The pair check: compares the two views of a stereo pair by their content and tells how
// well they are aligned, how deep the scene is, whether the sides look swapped and whether
// they show one scene at all.
//
// Each view is taken as the viewer shows it (turned and mirrored as its entry says) at the
// working size (a long side of about 1,000 pixels). ORB features of both views are matched
// within a band of rows (a stereo pair's views differ mostly horizontally), kept when the
// best match is clearly better than the second best and the two features choose each other,
// and the vertical positions of the matches are fitted against their position
// (verticalfit.h): that gives the vertical offset, the rotation and the scale difference.
// What is left horizontally is each match's parallax, whose range is the depth range.
//
// Pure functions on pictures: thread-safe, no state; a null, tiny or featureless picture
// gives a result without a verdict, never a crash.
#include <QImage>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// How a verdict is reached: every figure's limit for "good" and beyond which it is "bad"
// (in between: "check"), and what makes two pictures one scene.
struct TPairCheckLimits
{
    double VerticalGood = 0.5, VerticalBad = 1.5;     // % of the height
    double RotationGood = 0.5, RotationBad = 1.5;     // degrees
    double ScaleGood = 1.0, ScaleBad = 3.0;           // %
    double DepthRangeGood = 6.0, DepthRangeBad = 1e9; // % of the width, far minus near
    // Two views show one scene when at least this many matches agree with one alignment
    // and one depth range; fewer, and the pair is "not the same scene".
    int SameSceneMatches = 24;
};
inline constexpr TPairCheckLimits DefaultPairCheckLimits{};

enum class TPairVerdict
{
    None, // the pictures could not be compared (missing, too small, no detail in either)
    Good,
    Check,
    Bad,
};

enum class TSidesFinding
{
    Unknown, // converged or adjusted pair (parallax of both signs), or too little depth
    Correct, // parallel pair, every point in front of the far distance: left is left
    Swapped, // parallel pair seen the wrong way round: the left view was taken on the right
};

struct TPairCheck
{
    TPairVerdict Verdict = TPairVerdict::None;
    // Set when both views had detail enough to compare (even if they do not match).
    bool Compared = false;
    bool SameScene = false;
    // Figures below are meaningful only when Measured (the same scene and a sound fit).
    bool Measured = false;
    int FeaturesLeft = 0, FeaturesRight = 0;
    int Matches = 0;           // matches that passed the ratio test and the cross-check
    int Consistent = 0;        // matches that agree with the fitted alignment and the depth range
    double VerticalOffset = 0; // % of the height; positive: the right view's content lower
    double Rotation = 0;       // degrees; positive: the right view turned clockwise
    double Scale = 0;          // %; positive: the right view's content larger
    double NearParallax = 0;   // % of the width, horizontal right minus left position
    double FarParallax = 0;    // (negative: in front of the stereo window)
    TSidesFinding Sides = TSidesFinding::Unknown;
    QString Problem; // why there is no verdict, when there is none

    double DepthRange() const { return FarParallax - NearParallax; }
};

// Compares left and right (any QImage format; grey is used as it is). Pictures larger than
// the working size are reduced first.
TPairCheck CheckPair(const QImage &left, const QImage &right,
                     const TPairCheckLimits &limits = DefaultPairCheckLimits);

// The verdict's reasons: each figure beyond its "good" limit with that limit, "not the same
// scene", "sides swapped"; empty for a good pair. For a list's tooltip.
QStringList PairCheckReasons(const TPairCheck &check,
                             const TPairCheckLimits &limits = DefaultPairCheckLimits);
// One line for the preview, for example
// "Check: vertical 0.82 %, rotation -0.10°, scale 0.3 %, depth -3.1 % to -0.4 %".
QString PairCheckLine(const TPairCheck &check);
// The result for the command line: verdict, figures (when measured), counts, reasons.
QJsonObject PairCheckJson(const TPairCheck &check,
                          const TPairCheckLimits &limits = DefaultPairCheckLimits);
QString PairVerdictName(TPairVerdict verdict); // "none", "good", "check", "bad"

// Makes OpenCV do each check on the calling thread alone. Checks run side by side on a
// thread pool (or beside the window on two cores); OpenCV's own worker threads on top of
// that would only compete for the same cores. Process-wide; call before checking.
void LimitPairCheckThreads();
