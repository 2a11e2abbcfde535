#include "paircheck/paircheck.h"

#include "paircheck/featurematch.h"
#include "paircheck/verticalfit.h"
#include "paircheck/workingpicture.h"

#include <QJsonArray>

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cmath>

namespace {

// Pictures smaller than this on their short side hold too little to compare.
constexpr int MinimumShortSide = 48;
// A view with fewer features than this has no detail to compare (flat, black, blurred).
constexpr int MinimumFeatures = 40;
// How far (in view heights) a match may lie from the fitted vertical alignment.
constexpr double VerticalTolerance = 0.004;
// How far (in view widths) a match's parallax may lie from the median parallax and still
// belong to the scene: random matches between unrelated pictures spread over the width.
constexpr double ParallaxWindow = 0.12;
// Parallax within this (in % of the width) counts as at the far distance: no sign.
constexpr double ParallaxNoise = 0.1;
// A parallel pair: at least this share of the signed parallaxes has one sign...
constexpr double OneSignShare = 0.97;
// ...and at least this share of the consistent matches has a sign at all...
constexpr double SignedShare = 0.5;
// ...and the far end lies within this (in % of the width) of no parallax, as the far
// distance does for two cameras side by side. Views shifted far against each other (a
// stereo camera's file) move every parallax by the same amount, and then the sign says
// nothing about the sides.
constexpr double FarAnchor = 6.0;
// Matches that agree with the alignment make at least this share of all matches in one
// scene; two different pictures that share a pattern (a grid, a logo) give only a few.
constexpr double SameSceneShare = 0.5;

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const double at = p * double(values.size() - 1);
    const size_t i = size_t(at);
    const double f = at - double(i);
    return i + 1 < values.size() ? values[i] * (1 - f) + values[i + 1] * f : values[i];
}

TSidesFinding JudgeSides(const std::vector<double> &parallax)
{
    int positive = 0, negative = 0;
    for (double p : parallax) {
        positive += p > ParallaxNoise;
        negative += p < -ParallaxNoise;
    }
    const int sign = positive + negative;
    if (sign < 12 || sign < SignedShare * double(parallax.size()))
        return TSidesFinding::Unknown;
    // Seen the right way round, nearer points have more negative parallax; the farthest
    // has the largest, close to none.
    if (negative >= OneSignShare * sign && Percentile(parallax, 0.98) >= -FarAnchor)
        return TSidesFinding::Correct;
    if (positive >= OneSignShare * sign && Percentile(parallax, 0.02) <= FarAnchor)
        return TSidesFinding::Swapped;
    return TSidesFinding::Unknown;
}

// "check" or "bad" for one figure, by its magnitude.
TPairVerdict Grade(double value, double good, double bad)
{
    const double v = std::abs(value);
    return v <= good ? TPairVerdict::Good : v <= bad ? TPairVerdict::Check : TPairVerdict::Bad;
}

TPairVerdict Verdict(const TPairCheck &c, const TPairCheckLimits &l)
{
    if (!c.Compared)
        return TPairVerdict::None;
    if (!c.SameScene || c.Sides == TSidesFinding::Swapped)
        return TPairVerdict::Bad;
    if (!c.Measured)
        return TPairVerdict::None;
    return std::max({Grade(c.VerticalOffset, l.VerticalGood, l.VerticalBad),
                     Grade(c.Rotation, l.RotationGood, l.RotationBad),
                     Grade(c.Scale, l.ScaleGood, l.ScaleBad),
                     Grade(c.DepthRange(), l.DepthRangeGood, l.DepthRangeBad)});
}

TPairCheck NoVerdict(TPairCheck c, const QString &problem)
{
    c.Verdict = TPairVerdict::None;
    c.Problem = problem;
    return c;
}

} // namespace

TPairCheck CheckPair(const QImage &leftPicture, const QImage &rightPicture,
                     const TPairCheckLimits &limits)
{
    TPairCheck result;
    const QImage left = ToWorkingPicture(leftPicture);
    const QImage right = ToWorkingPicture(rightPicture);
    if (left.isNull() || right.isNull())
        return NoVerdict(result, QStringLiteral("picture missing"));
    if (std::min(left.width(), left.height()) < MinimumShortSide ||
        std::min(right.width(), right.height()) < MinimumShortSide)
        return NoVerdict(result, QStringLiteral("picture too small to compare"));

    const TViewFeatures lf = FindFeatures(left);
    const TViewFeatures rf = FindFeatures(right);
    result.FeaturesLeft = lf.Count();
    result.FeaturesRight = rf.Count();
    const bool leftDetail = lf.Count() >= MinimumFeatures;
    const bool rightDetail = rf.Count() >= MinimumFeatures;
    if (!leftDetail && !rightDetail)
        return NoVerdict(result, QStringLiteral("no detail to compare in either picture"));
    result.Compared = true;

    const std::vector<TPointMatch> matches =
        leftDetail && rightDetail ? MatchFeatures(lf, rf) : std::vector<TPointMatch>{};
    result.Matches = int(matches.size());
    TVerticalFit fit = FitVerticalDifferences(matches, VerticalTolerance);

    // Parallax (horizontal right minus left position beyond what turn and scale explain)
    // of the matches that agree vertically, in % of the left view's width; those far from
    // the median parallax are chance matches.
    const double toWidthPercent = 100.0 * left.height() / left.width();
    std::vector<double> parallax;
    if (fit.Valid) {
        std::vector<double> all;
        for (size_t i = 0; i < matches.size(); ++i)
            if (fit.Inlier[i])
                all.push_back(
                    toWidthPercent *
                    (matches[i].RightX - fit.PredictedRightX(matches[i].LeftX, matches[i].LeftY)));
        const double median = Percentile(all, 0.5);
        const double window = 100.0 * ParallaxWindow;
        for (double p : all)
            if (std::abs(p - median) <= window)
                parallax.push_back(p);
    }
    result.Consistent = int(parallax.size());
    result.SameScene = fit.Valid && result.Consistent >= limits.SameSceneMatches &&
                       result.Consistent >= SameSceneShare * result.Matches;
    if (result.SameScene) {
        result.Measured = true;
        result.VerticalOffset = fit.VerticalOffsetPercent();
        result.Rotation = fit.RotationDegrees();
        result.Scale = fit.ScalePercent();
        result.NearParallax = Percentile(parallax, 0.02);
        result.FarParallax = Percentile(parallax, 0.98);
        result.Sides = JudgeSides(parallax);
    }
    result.Verdict = Verdict(result, limits);
    return result;
}

void LimitPairCheckThreads()
{
    cv::setNumThreads(1);
}

QString PairVerdictName(TPairVerdict verdict)
{
    switch (verdict) {
    case TPairVerdict::Good:
        return QStringLiteral("good");
    case TPairVerdict::Check:
        return QStringLiteral("check");
    case TPairVerdict::Bad:
        return QStringLiteral("bad");
    case TPairVerdict::None:
        break;
    }
    return QStringLiteral("none");
}

QStringList PairCheckReasons(const TPairCheck &c, const TPairCheckLimits &l)
{
    QStringList reasons;
    if (c.Verdict == TPairVerdict::None) {
        if (!c.Problem.isEmpty())
            reasons << c.Problem;
        return reasons;
    }
    if (!c.SameScene) {
        reasons << QStringLiteral("not the same scene (%1 consistent matches)").arg(c.Consistent);
        return reasons;
    }
    if (c.Sides == TSidesFinding::Swapped)
        reasons << QStringLiteral("sides swapped: the left view was taken from the right");
    const auto beyond = [&](double value, double good, const QString &what, const QString &unit) {
        if (std::abs(value) > good)
            reasons << QStringLiteral("%1 %2%3 (good up to %4%3)")
                           .arg(what, QString::number(value, 'f', 2), unit,
                                QString::number(good, 'g', 3));
    };
    beyond(c.VerticalOffset, l.VerticalGood, QStringLiteral("vertical offset"),
           QStringLiteral(" %"));
    beyond(c.Rotation, l.RotationGood, QStringLiteral("rotation"), QStringLiteral("°"));
    beyond(c.Scale, l.ScaleGood, QStringLiteral("scale difference"), QStringLiteral(" %"));
    beyond(c.DepthRange(), l.DepthRangeGood, QStringLiteral("depth range"), QStringLiteral(" %"));
    return reasons;
}

QString PairCheckLine(const TPairCheck &c)
{
    QString verdict = PairVerdictName(c.Verdict);
    verdict[0] = verdict[0].toUpper();
    if (c.Verdict == TPairVerdict::None)
        return QStringLiteral("No verdict: %1").arg(c.Problem);
    if (!c.SameScene)
        return QStringLiteral("%1: not the same scene").arg(verdict);
    QString line =
        QStringLiteral("%1: vertical %2 %, rotation %3°, scale %4 %, depth %5 % to %6 %")
            .arg(verdict, QString::number(c.VerticalOffset, 'f', 2),
                 QString::number(c.Rotation, 'f', 2), QString::number(c.Scale, 'f', 1),
                 QString::number(c.NearParallax, 'f', 1), QString::number(c.FarParallax, 'f', 1));
    if (c.Sides == TSidesFinding::Swapped)
        line += QStringLiteral(", sides swapped");
    return line;
}

QJsonObject PairCheckJson(const TPairCheck &c, const TPairCheckLimits &l)
{
    QJsonObject o;
    o[QStringLiteral("verdict")] = PairVerdictName(c.Verdict);
    o[QStringLiteral("sameScene")] = c.SameScene;
    o[QStringLiteral("features")] = QJsonArray{c.FeaturesLeft, c.FeaturesRight};
    o[QStringLiteral("matches")] = c.Matches;
    o[QStringLiteral("consistentMatches")] = c.Consistent;
    if (c.Measured) {
        const auto rounded = [](double v) { return std::round(v * 1000.0) / 1000.0; };
        o[QStringLiteral("verticalOffsetPercent")] = rounded(c.VerticalOffset);
        o[QStringLiteral("rotationDegrees")] = rounded(c.Rotation);
        o[QStringLiteral("scalePercent")] = rounded(c.Scale);
        o[QStringLiteral("nearParallaxPercent")] = rounded(c.NearParallax);
        o[QStringLiteral("farParallaxPercent")] = rounded(c.FarParallax);
        o[QStringLiteral("sides")] = c.Sides == TSidesFinding::Correct ? QStringLiteral("correct")
                                     : c.Sides == TSidesFinding::Swapped
                                         ? QStringLiteral("swapped")
                                         : QStringLiteral("unknown");
    }
    o[QStringLiteral("reasons")] = QJsonArray::fromStringList(PairCheckReasons(c, l));
    return o;
}
