// The pair check's accuracy on stereo pairs with known answers (run on demand, never in CI).
//
// From every source picture (the test data's real photos of 1,000 pixels or more, the photo
// generator's pictures) it makes pairs with a random known misalignment (vertical offset up
// to 3 %, rotation up to 2°, scale up to 2 %, either sign) and a smooth depth field, half of
// them parallel (every point in front of the far distance) and half converged (parallax of
// both signs), and reports:
//   - the share of pairs measured within 0.1 % (vertical), 0.1° (rotation), 0.2 % (scale);
//   - "sides swapped" on the parallel pairs given the wrong way round, and false alarms on
//     every pair given the right way round;
//   - "not the same scene" on cross pairs of distinct sources, and false alarms on true pairs;
//   - the real stereo camera file's views, both ways round.
// Usage: paircheck_evaluation [--pairs N] [--verbose] [test data folder]
#include "paircheck/paircheck.h"
#include "paircheck/stereopairmaker.h"
#include "support/stereo_sources.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

struct TCase
{
    QString Source;
    TPairRecipe Recipe;
    bool Parallel = false;
    double InFrontShare = 0;
    TPairCheck Right;   // checked the right way round
    TPairCheck Swapped; // parallel pairs only: checked the wrong way round
};

double Share(int part, int whole)
{
    return whole > 0 ? 100.0 * part / whole : 0.0;
}

void Line(const char *what, int part, int whole, const char *goal)
{
    std::printf("  %-58s %4d / %4d = %6.2f %%   (goal %s)\n", what, part, whole, Share(part, whole),
                goal);
}

} // namespace

int main(int argc, char **argv)
{
    int wanted = 330;
    bool verbose = false;
    QString dataDir = QStringLiteral(DUOMIRA_TEST_DATA_DIR);
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--pairs") && i + 1 < argc)
            wanted = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--verbose"))
            verbose = true;
        else
            dataDir = QString::fromLocal8Bit(argv[i]);
    }

    QStringList skipped;
    const QList<benchsupport::StereoSource> sources =
        benchsupport::stereoSources(dataDir, 4, &skipped);
    if (sources.size() < 2) {
        std::fprintf(stderr, "too few source pictures in %s\n", qPrintable(dataDir));
        return 1;
    }
    std::printf("%lld source pictures", qlonglong(sources.size()));
    for (const auto &s : sources)
        std::printf("%s %s (%dx%d)", &s == &sources.front() ? ":" : ",", qPrintable(s.name),
                    s.picture.width(), s.picture.height());
    std::printf("\nleft out: %s\n",
                skipped.isEmpty() ? "none" : qPrintable(skipped.join(QStringLiteral(", "))));

    const int perSource = int((wanted + sources.size() - 1) / sources.size());
    std::mt19937 random(20261208);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto signedUpTo = [&](double limit) {
        return (unit(random) < 0.5 ? -1.0 : 1.0) * limit * unit(random);
    };

    std::vector<TCase> cases;
    std::vector<QImage> crossLeft, crossRight; // one pair per source for the cross pairs
    for (const auto &source : sources) {
        for (int k = 0; k < perSource; ++k) {
            TCase c;
            c.Source = source.name;
            c.Parallel = k % 2 == 0;
            TPairRecipe &r = c.Recipe;
            r.VerticalOffset = signedUpTo(3.0);
            r.Rotation = signedUpTo(2.0);
            r.Scale = signedUpTo(2.0);
            if (c.Parallel) {
                r.Far = -(0.3 + 0.9 * unit(random));
                r.Near = r.Far - (1.0 + 3.0 * unit(random));
            } else {
                // Converged: the cameras' axes cross at the middle depth of the scene.
                r.Near = -(1.5 + 4.0 * unit(random));
                r.Far = 0;
                r.Converged = true;
            }
            r.DepthShape = k;
            r.Seed = std::uint32_t(cases.size() + 1);
            const TMadePair pair = MakeStereoPair(source.picture, r);
            c.InFrontShare = pair.InFrontShare;
            c.Right = CheckPair(pair.Left, pair.Right);
            if (c.Parallel)
                c.Swapped = CheckPair(pair.Right, pair.Left);
            if (k == 0) {
                crossLeft.push_back(pair.Left);
                crossRight.push_back(pair.Right);
            }
            cases.push_back(c);
        }
    }

    int measured = 0, vertical = 0, rotation = 0, scale = 0, all = 0, sameScene = 0;
    int parallel = 0, swappedFound = 0, falseSwapped = 0, correctFound = 0;
    int convergedPairs = 0, convergedSided = 0, oneSidedSwapped = 0;
    std::vector<double> vErr, rErr, sErr;
    for (const TCase &c : cases) {
        const TPairCheck &m = c.Right;
        sameScene += m.SameScene;
        // Converged pairs with a fifth or more of the picture on each side of the crossing;
        // with less, the sign of nearly all parallax is the same as in a parallel pair.
        const bool converged = !c.Parallel && c.InFrontShare >= 0.2 && c.InFrontShare <= 0.8;
        convergedPairs += converged;
        convergedSided += converged && m.Sides != TSidesFinding::Unknown;
        oneSidedSwapped += !c.Parallel && !converged && m.Sides == TSidesFinding::Swapped;
        if (c.Parallel) {
            falseSwapped += m.Sides == TSidesFinding::Swapped;
            ++parallel;
            swappedFound += c.Swapped.Sides == TSidesFinding::Swapped;
            if (verbose && c.Swapped.Sides != TSidesFinding::Swapped)
                std::printf("swap missed: %s #%u truth %.2f .. %.2f, measured %.2f .. %.2f\n",
                            qPrintable(c.Source), c.Recipe.Seed, c.Recipe.Near, c.Recipe.Far,
                            c.Swapped.NearParallax, c.Swapped.FarParallax);
            correctFound += m.Sides == TSidesFinding::Correct;
        }
        if (verbose)
            std::printf("true %s #%u: %d matches, %d consistent, sides %d\n", qPrintable(c.Source),
                        c.Recipe.Seed, m.Matches, m.Consistent, int(m.Sides));
        if (!m.Measured) {
            if (verbose)
                std::printf("not measured: %s #%u (%d matches, %d consistent)\n",
                            qPrintable(c.Source), c.Recipe.Seed, m.Matches, m.Consistent);
            continue;
        }
        ++measured;
        const double ve = std::abs(m.VerticalOffset - c.Recipe.VerticalOffset);
        const double re = std::abs(m.Rotation - c.Recipe.Rotation);
        const double se = std::abs(m.Scale - c.Recipe.Scale);
        vErr.push_back(ve);
        rErr.push_back(re);
        sErr.push_back(se);
        vertical += ve <= 0.1;
        rotation += re <= 0.1;
        scale += se <= 0.2;
        all += ve <= 0.1 && re <= 0.1 && se <= 0.2;
        if (verbose && (ve > 0.1 || re > 0.1 || se > 0.2))
            std::printf("off: %s #%u truth v %.2f r %.2f s %.2f, measured v %.2f r %.2f s %.2f "
                        "(%d consistent)\n",
                        qPrintable(c.Source), c.Recipe.Seed, c.Recipe.VerticalOffset,
                        c.Recipe.Rotation, c.Recipe.Scale, m.VerticalOffset, m.Rotation, m.Scale,
                        m.Consistent);
    }
    const int n = int(cases.size());

    // Cross pairs: the left view of one source with the right view of every other.
    int cross = 0, crossCaught = 0;
    for (size_t i = 0; i < crossLeft.size(); ++i)
        for (size_t j = 0; j < crossRight.size(); ++j) {
            if (i == j)
                continue;
            const TPairCheck m = CheckPair(crossLeft[i], crossRight[j]);
            ++cross;
            crossCaught += !m.SameScene;
            if (verbose)
                std::printf("cross %s/%s: %d matches, %d consistent\n",
                            qPrintable(sources[qsizetype(i)].name),
                            qPrintable(sources[qsizetype(j)].name), m.Matches, m.Consistent);
            if (verbose && m.SameScene)
                std::printf("cross pair taken for one scene: %s / %s (%d consistent)\n",
                            qPrintable(sources[qsizetype(i)].name),
                            qPrintable(sources[qsizetype(j)].name), m.Consistent);
        }

    const auto percentile = [](std::vector<double> v, double p) {
        if (v.empty())
            return 0.0;
        std::sort(v.begin(), v.end());
        return v[size_t(p * double(v.size() - 1))];
    };
    std::printf("\n%d generated pairs (%d parallel, %d converged), %d measured\n", n, parallel,
                n - parallel, measured);
    std::printf("Accuracy (share of all generated pairs):\n");
    Line("vertical offset within 0.1 % of the height", vertical, n, ">= 95 %");
    Line("rotation within 0.1 degrees", rotation, n, ">= 95 %");
    Line("scale within 0.2 %", scale, n, ">= 95 %");
    Line("all three within their tolerance", all, n, ">= 95 %");
    std::printf("  errors, median / 95th percentile / largest: vertical %.3f / %.3f / %.3f %%, "
                "rotation %.3f / %.3f / %.3f deg, scale %.3f / %.3f / %.3f %%\n",
                percentile(vErr, 0.5), percentile(vErr, 0.95), percentile(vErr, 1.0),
                percentile(rErr, 0.5), percentile(rErr, 0.95), percentile(rErr, 1.0),
                percentile(sErr, 0.5), percentile(sErr, 0.95), percentile(sErr, 1.0));
    std::printf("Sides:\n");
    Line("parallel pairs given the wrong way round found swapped", swappedFound, parallel,
         ">= 99 %");
    Line("parallel pairs the right way round called swapped (false alarms)", falseSwapped, parallel,
         "<= 1 %");
    Line("parallel pairs the right way round found correct", correctFound, parallel, "-");
    Line("converged pairs given a sides finding (should be none)", convergedSided, convergedPairs,
         "-");
    Line("converged pairs nearly all behind the crossing: called swapped", oneSidedSwapped,
         n - parallel - convergedPairs, "-");
    std::printf("Same scene:\n");
    Line("cross pairs of distinct sources: not the same scene", crossCaught, cross, ">= 99 %");
    Line("true pairs called not the same scene (false alarms)", n - sameScene, n, "<= 1 %");

    const QImage mpoLeft = benchsupport::mpoView(dataDir, 0),
                 mpoRight = benchsupport::mpoView(dataDir, 1);
    const TPairCheck mpo = CheckPair(mpoLeft, mpoRight);
    const TPairCheck mpoSwapped = CheckPair(mpoRight, mpoLeft);
    std::printf("Real stereo camera file (sugarshack.mpo):\n  right way round: %s\n"
                "  wrong way round: %s\n",
                qPrintable(PairCheckLine(mpo)), qPrintable(PairCheckLine(mpoSwapped)));
    return 0;
}
