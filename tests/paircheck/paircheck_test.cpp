// The pair check on pairs made from real photos with known misalignments, swapped and
// unrelated pairs, flat pictures and a real stereo camera's views.
#include "paircheck/paircheck.h"
#include "paircheck/stereopairmaker.h"
#include "paircheck/verticalfit.h"
#include "paircheck/workingpicture.h"

#include "imaging/jpegcodec.h"
#include "support/paramnames.h"
#include "support/testdata.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTransform>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

void PrintTo(TPairVerdict v, std::ostream *os)
{
    *os << PairVerdictName(v).toStdString();
}

void PrintTo(TSidesFinding s, std::ostream *os)
{
    *os << (s == TSidesFinding::Correct   ? "correct"
            : s == TSidesFinding::Swapped ? "swapped"
                                          : "unknown");
}

namespace {

QImage Photo(const char *name)
{
    return PairSourcePhoto(testDataPath(QStringLiteral("photos/jpg/tests/") + QLatin1String(name)));
}

QImage MpoView(int index)
{
    const QByteArrayList streams =
        MpoJpegStreams(testDataPath(QStringLiteral("photos/mpo/sugarshack.mpo")));
    if (index >= streams.size())
        return {};
    return DecodeJpeg(reinterpret_cast<const unsigned char *>(streams[index].constData()),
                      size_t(streams[index].size()), 1);
}

struct KnownPair
{
    const char *Name;
    const char *Photo;
    TPairRecipe Recipe;
    TPairVerdict Verdict;
};

void PrintTo(const KnownPair &c, std::ostream *os)
{
    *os << c.Name;
}

class KnownMisalignment : public ::testing::TestWithParam<KnownPair>
{
};

} // namespace

// Each figure within the evaluation's tolerance whatever the depth field, and the verdict
// graded by the worst figure.
TEST_P(KnownMisalignment, FiguresAndVerdict)
{
    const KnownPair &c = GetParam();
    const TMadePair pair = MakeStereoPair(Photo(c.Photo), c.Recipe);
    const TPairCheck check = CheckPair(pair.Left, pair.Right);
    ASSERT_TRUE(check.Measured) << check.Matches << " matches, " << check.Consistent
                                << " consistent";
    EXPECT_NEAR(check.VerticalOffset, c.Recipe.VerticalOffset, 0.1);
    EXPECT_NEAR(check.Rotation, c.Recipe.Rotation, 0.1);
    EXPECT_NEAR(check.Scale, c.Recipe.Scale, 0.2);
    // The robust ends of the depth field seen by the matches lie inside its true range.
    EXPECT_GE(check.NearParallax, pair.Near - 0.25);
    EXPECT_LE(check.FarParallax, pair.Far + 0.25);
    EXPECT_LT(check.NearParallax, check.FarParallax);
    EXPECT_EQ(check.Sides, c.Recipe.Converged ? TSidesFinding::Unknown : TSidesFinding::Correct);
    EXPECT_EQ(check.Verdict, c.Verdict) << PairCheckLine(check).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    RealPhotos, KnownMisalignment,
    ::testing::Values(
        KnownPair{
            "Aligned", "22-canon_tags.jpg", {0.0, 0.0, 0.0, -3.0, -0.5, 0}, TPairVerdict::Good},
        KnownPair{"SmallWithinGood",
                  "45-gps_ifd.jpg",
                  {0.3, -0.4, 0.6, -2.0, -0.4, 1},
                  TPairVerdict::Good},
        KnownPair{"VerticalOffsetToCheck",
                  "11-tests.jpg",
                  {-0.9, 0.1, 0.2, -4.0, -0.8, 2},
                  TPairVerdict::Check},
        KnownPair{
            "RotationBad", "30-type_error.jpg", {0.2, -1.8, 0.0, -2.5, -0.3, 3}, TPairVerdict::Bad},
        KnownPair{"ScaleToCheck",
                  "42_IndexError.jpg",
                  {0.0, 0.2, 1.7, -3.0, -1.0, 0},
                  TPairVerdict::Check},
        KnownPair{"AllLargeConverged",
                  "36-memory_error.jpg",
                  {2.7, 1.9, -1.9, -4.0, 0.0, 0, 2.0, 1, true},
                  TPairVerdict::Bad},
        KnownPair{
            "PortraitPhoto", "87_OSError.jpg", {-2.2, 0.7, -1.1, -3.5, -0.6, 2}, TPairVerdict::Bad},
        KnownPair{"DeepSceneToCheck",
                  "35-empty.jpg",
                  {0.1, 0.1, 0.1, -9.0, -0.5, 3},
                  TPairVerdict::Check}),
    ParamNameFrom(&KnownPair::Name));

// Given the wrong way round, a parallel pair is found swapped (a bad pair) and its figures
// turn over; a converged pair gets no sides finding either way.
TEST(PairCheckSides, SwappedParallelPairsAreFoundConvergedOnesAreLeftOpen)
{
    const TMadePair parallel =
        MakeStereoPair(Photo("22-canon_tags.jpg"), {0.4, 0.3, 0.5, -3.0, -0.4, 0});
    const TPairCheck right = CheckPair(parallel.Left, parallel.Right);
    const TPairCheck wrong = CheckPair(parallel.Right, parallel.Left);
    EXPECT_EQ(right.Sides, TSidesFinding::Correct);
    EXPECT_EQ(wrong.Sides, TSidesFinding::Swapped);
    EXPECT_EQ(wrong.Verdict, TPairVerdict::Bad);
    EXPECT_TRUE(PairCheckReasons(wrong).join(' ').contains(QStringLiteral("sides swapped")));
    EXPECT_NEAR(wrong.VerticalOffset, -right.VerticalOffset, 0.05);
    EXPECT_NEAR(wrong.Rotation, -right.Rotation, 0.05);

    const TMadePair converged =
        MakeStereoPair(Photo("36-memory_error.jpg"), {0.0, 0.0, 0.0, -4.0, 0.0, 2, 2.0, 1, true});
    EXPECT_EQ(CheckPair(converged.Left, converged.Right).Sides, TSidesFinding::Unknown);
    EXPECT_EQ(CheckPair(converged.Right, converged.Left).Sides, TSidesFinding::Unknown);
}

// The left view of one photo with the right view of another is not one scene.
TEST(PairCheckScene, UnrelatedPhotosAreNotTheSameScene)
{
    const char *photos[] = {"22-canon_tags.jpg", "45-gps_ifd.jpg", "33-type_error.jpg",
                            "11-tests.jpg"};
    for (const char *l : photos)
        for (const char *r : photos) {
            if (l == r)
                continue;
            const TPairCheck check =
                CheckPair(MakeStereoPair(Photo(l), {}).Left, MakeStereoPair(Photo(r), {}).Right);
            SCOPED_TRACE(std::string(l) + " / " + r);
            EXPECT_TRUE(check.Compared);
            EXPECT_FALSE(check.SameScene) << check.Consistent << " of " << check.Matches;
            EXPECT_FALSE(check.Measured);
            EXPECT_EQ(check.Verdict, TPairVerdict::Bad);
            EXPECT_EQ(PairCheckLine(check), QStringLiteral("Bad: not the same scene"));
        }
}

namespace {

QImage Filled(int w, int h, int grey)
{
    QImage image(w, h, QImage::Format_Grayscale8);
    image.fill(grey);
    return image;
}

struct FlatCase
{
    const char *Name;
    QImage Left, Right;
    TPairVerdict Verdict;
};

} // namespace

// Pictures without detail (flat, black, a real grey photo, too small, missing) give no
// verdict, or "not the same scene" when only one side lacks detail; never a crash.
TEST(PairCheckScene, PicturesWithoutDetail)
{
    const QImage photo = Photo("22-canon_tags.jpg");
    const QImage greyPhoto =
        DecodeJpegFile(testDataPath(QStringLiteral("photos/jpg/tests/67-0_length_string.jpg")), 4);
    ASSERT_FALSE(greyPhoto.isNull());
    const FlatCase cases[] = {
        {"both grey", Filled(1000, 750, 128), Filled(1000, 750, 128), TPairVerdict::None},
        {"both black", Filled(800, 600, 0), Filled(800, 600, 0), TPairVerdict::None},
        {"real grey photo", greyPhoto, greyPhoto, TPairVerdict::None},
        {"black right view", photo, Filled(1000, 750, 0), TPairVerdict::Bad},
        {"tiny", photo.scaled(40, 30), photo.scaled(40, 30), TPairVerdict::None},
        {"missing", QImage(), photo, TPairVerdict::None},
    };
    for (const FlatCase &c : cases) {
        SCOPED_TRACE(c.Name);
        const TPairCheck check = CheckPair(c.Left, c.Right);
        EXPECT_EQ(check.Verdict, c.Verdict);
        EXPECT_FALSE(check.Measured);
        EXPECT_FALSE(PairCheckReasons(check).isEmpty());
    }
}

// A real stereo camera's two views: one scene, well aligned. The camera stores its views
// shifted against each other (all parallax near +16 % of the width), so the sign of the
// parallax tells nothing about the sides: no finding either way round.
TEST(PairCheckRealPair, StereoCameraViews)
{
    const QImage left = MpoView(0), right = MpoView(1);
    ASSERT_FALSE(left.isNull());
    ASSERT_FALSE(right.isNull());
    const TPairCheck check = CheckPair(left, right);
    ASSERT_TRUE(check.Measured);
    EXPECT_LT(std::abs(check.VerticalOffset), 1.0);
    EXPECT_LT(std::abs(check.Rotation), 0.5);
    EXPECT_LT(std::abs(check.Scale), 1.0);
    EXPECT_GT(check.NearParallax, 10.0);
    EXPECT_EQ(check.Sides, TSidesFinding::Unknown);
    const TPairCheck wrong = CheckPair(right, left);
    EXPECT_EQ(wrong.Sides, TSidesFinding::Unknown);
    EXPECT_NEAR(wrong.VerticalOffset, -check.VerticalOffset, 0.05);
}

// Horizontal differences (depth) and chance matches do not move the fitted figures.
TEST(VerticalFit, DepthAndChanceMatchesDoNotLeak)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> u(-0.6, 0.6);
    const double t = 1.2 * std::numbers::pi / 180, s = 1.015, offset = -0.021;
    std::vector<TPointMatch> matches;
    for (int i = 0; i < 400; ++i) {
        const double x = u(random), y = u(random) / 1.5;
        TPointMatch m{x, y, s * (std::cos(t) * x - std::sin(t) * y) + 0.3 * u(random),
                      s * (std::sin(t) * x + std::cos(t) * y) + offset};
        if (i % 3 == 0) // a third are chance matches anywhere in the band
            m.RightY = y + 0.2 * u(random);
        matches.push_back(m);
    }
    const TVerticalFit fit = FitVerticalDifferences(matches, 0.004);
    ASSERT_TRUE(fit.Valid);
    EXPECT_NEAR(fit.RotationDegrees(), 1.2, 0.01);
    EXPECT_NEAR(fit.ScalePercent(), 1.5, 0.01);
    EXPECT_NEAR(fit.VerticalOffsetPercent(), -2.1, 0.01);
    EXPECT_GE(fit.InlierCount, 266);
    EXPECT_LE(fit.InlierCount, 266 + 12); // a few chance matches agree by chance

    // Matches along one row cannot tell a turn from an offset.
    for (TPointMatch &m : matches)
        m.LeftY = m.RightY = 0.01 * m.LeftX;
    EXPECT_FALSE(FitVerticalDifferences(matches, 0.004).Valid);
}

// The file is decoded at the reduction that keeps about 1,000 pixels and shown as the
// entry says: a view stored turned and mirrored, decoded with the entry's look, gives the
// figures of the view as it is shown.
TEST(PairCheckFiles, DecodesAtTheWorkingSizeAsTheViewerShowsIt)
{
    EXPECT_EQ(WorkingScaleDenominator(4000, 3000), 4);
    EXPECT_EQ(WorkingScaleDenominator(3000, 4032), 4);
    EXPECT_EQ(WorkingScaleDenominator(1998, 1000), 1);
    EXPECT_EQ(WorkingScaleDenominator(2000, 1000), 2);
    EXPECT_EQ(WorkingScaleDenominator(8000, 6000), 8);
    EXPECT_EQ(WorkingScaleDenominator(640, 480), 1);

    const TMadePair pair =
        MakeStereoPair(Photo("42_IndexError.jpg"), {0.6, -0.7, 0.9, -3.0, -0.5, 1});
    QTemporaryDir dir;
    const QString leftPath = dir.filePath(QStringLiteral("L.jpg"));
    const QString rightPath = dir.filePath(QStringLiteral("R.jpg"));
    // Stored a quarter turn anticlockwise and mirrored: shown with one turn clockwise after
    // mirroring back.
    const QImage stored = pair.Right.mirrored(true, false).transformed(QTransform().rotate(-90));
    ASSERT_TRUE(pair.Left.scaled(pair.Left.size() * 2).save(leftPath, "JPEG", 95));
    ASSERT_TRUE(stored.save(rightPath, "JPEG", 95));

    const QImage left = DecodeWorkingPicture(leftPath);
    const QImage right = DecodeWorkingPicture(rightPath, {1, true});
    EXPECT_EQ(std::max(left.width(), left.height()), WorkingLongSide);
    EXPECT_EQ(right.size(), pair.Right.size());
    const TPairCheck check = CheckPair(left, right);
    ASSERT_TRUE(check.Measured);
    EXPECT_NEAR(check.VerticalOffset, 0.6, 0.1);
    EXPECT_NEAR(check.Rotation, -0.7, 0.1);
    EXPECT_NEAR(check.Scale, 0.9, 0.2);
    EXPECT_TRUE(DecodeWorkingPicture(dir.filePath(QStringLiteral("missing.jpg"))).isNull());
}

// The command line's form: the verdict, the figures when measured, the reasons.
TEST(PairCheckText, LineAndJson)
{
    TPairCheck c;
    c.Verdict = TPairVerdict::Check;
    c.Compared = c.SameScene = c.Measured = true;
    c.Matches = 300;
    c.Consistent = 280;
    c.VerticalOffset = 0.8234;
    c.Rotation = -0.1;
    c.Scale = 0.3;
    c.NearParallax = -3.1;
    c.FarParallax = -0.4;
    c.Sides = TSidesFinding::Correct;
    EXPECT_EQ(PairCheckLine(c),
              QStringLiteral(
                  "Check: vertical 0.82 %, rotation -0.10°, scale 0.3 %, depth -3.1 % to -0.4 %"));
    const QJsonObject json = PairCheckJson(c);
    EXPECT_EQ(json[QStringLiteral("verdict")].toString(), QStringLiteral("check"));
    EXPECT_DOUBLE_EQ(json[QStringLiteral("verticalOffsetPercent")].toDouble(), 0.823);
    EXPECT_EQ(json[QStringLiteral("sides")].toString(), QStringLiteral("correct"));
    EXPECT_EQ(json[QStringLiteral("reasons")].toArray().size(), 1);
    EXPECT_EQ(json[QStringLiteral("reasons")].toArray()[0].toString(),
              QStringLiteral("vertical offset 0.82 % (good up to 0.5 %)"));

    const TPairCheck none = CheckPair(QImage(), QImage());
    EXPECT_FALSE(PairCheckJson(none).contains(QStringLiteral("verticalOffsetPercent")));
    EXPECT_EQ(PairCheckLine(none), QStringLiteral("No verdict: picture missing"));
}
