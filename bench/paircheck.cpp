// The pair check's speed on one core: decoding a photo into a working picture (timed on its
// own), the check of one pair at the working size, and beside it the bare OpenCV detect +
// match + fit on the same pictures (ORB, brute-force Hamming k-nearest matching with the
// ratio test, a RANSAC similarity fit), the reference the check is held against.
// The pairs are made from the test data's real photos (support/stereo_sources.h).
#include "paircheck/paircheck.h"
#include "paircheck/stereopairmaker.h"
#include "paircheck/workingpicture.h"
#include "support/photo_generator.h"
#include "support/run.h"
#include "support/stereo_sources.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/features2d.hpp>

#include <cstdio>
#include <vector>

namespace {

struct Pairs
{
    std::vector<TMadePair> made;
    Pairs()
    {
        const auto sources = benchsupport::stereoSources(QStringLiteral(DUOMIRA_TEST_DATA_DIR), 0);
        for (qsizetype i = 0; i < sources.size(); ++i)
            made.push_back(MakeStereoPair(sources[i].picture, {0.8, -0.6, 0.7, -3.0, -0.5, int(i),
                                                               2.0, std::uint32_t(i + 1)}));
    }
};

const Pairs &pairs()
{
    static const Pairs p;
    return p;
}

cv::Mat wrap(const QImage &grey)
{
    return cv::Mat(grey.height(), grey.width(), CV_8UC1, const_cast<uchar *>(grey.constBits()),
                   size_t(grey.bytesPerLine()));
}

void BM_CheckPair(benchmark::State &state)
{
    const auto &made = pairs().made;
    size_t i = 0;
    for (auto _ : state) {
        const TMadePair &p = made[i++ % made.size()];
        benchmark::DoNotOptimize(CheckPair(p.Left, p.Right));
    }
    state.counters["pairs"] = double(made.size());
}
BENCHMARK(BM_CheckPair)->Unit(benchmark::kMillisecond);

// The reference: what any program that detects, matches and fits with OpenCV does.
void BM_BareOpenCvDetectMatchFit(benchmark::State &state)
{
    const auto &made = pairs().made;
    size_t i = 0;
    cv::Ptr<cv::ORB> orb = cv::ORB::create(1500);
    cv::BFMatcher matcher(cv::NORM_HAMMING);
    for (auto _ : state) {
        const TMadePair &p = made[i++ % made.size()];
        std::vector<cv::KeyPoint> lk, rk;
        cv::Mat ld, rd;
        orb->detectAndCompute(wrap(p.Left), cv::noArray(), lk, ld);
        orb->detectAndCompute(wrap(p.Right), cv::noArray(), rk, rd);
        std::vector<std::vector<cv::DMatch>> knn;
        matcher.knnMatch(ld, rd, knn, 2);
        std::vector<cv::Point2f> from, to;
        for (const auto &m : knn)
            if (m.size() == 2 && m[0].distance < 0.8f * m[1].distance) {
                from.push_back(lk[size_t(m[0].queryIdx)].pt);
                to.push_back(rk[size_t(m[0].trainIdx)].pt);
            }
        cv::Mat fit;
        if (from.size() >= 3)
            fit = cv::estimateAffinePartial2D(from, to, cv::noArray(), cv::RANSAC, 3.0);
        benchmark::DoNotOptimize(fit.data);
    }
}
BENCHMARK(BM_BareOpenCvDetectMatchFit)->Unit(benchmark::kMillisecond);

// Decoding a camera-sized JPEG (4000 x 3000) at the reduction that keeps 1,000 pixels.
void BM_DecodeWorkingPicture(benchmark::State &state)
{
    const QStringList files = benchsupport::generatePhotoSet(
        benchsupport::photoCacheDir(QStringLiteral("paircheck_decode")), 2, 4000, 3000);
    if (files.isEmpty()) {
        state.SkipWithError("cannot generate the photos");
        return;
    }
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodeWorkingPicture(files[qsizetype(i++ % 2)], {1, false}));
}
BENCHMARK(BM_DecodeWorkingPicture)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // One core: OpenCV's own worker threads would spread the work over both.
    cv::setNumThreads(1);
    if (pairs().made.empty()) {
        std::fprintf(stderr, "no source photos in %s\n", DUOMIRA_TEST_DATA_DIR);
        return 1;
    }
    return benchsupport::runBenchmarks(argc, argv);
}
