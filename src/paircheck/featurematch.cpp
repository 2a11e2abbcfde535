#include "paircheck/featurematch.h"

#include <opencv2/features2d.hpp>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

constexpr int MaximumFeatures = 1500;
// Half the height of the band (in view heights) in which a left feature's partner is
// looked for: room for a vertical offset, a turn and a scale difference well beyond "bad".
constexpr double BandHalfHeight = 0.12;
// A best match must be this much closer than the second best (Lowe's ratio test) ...
constexpr double DistanceRatio = 0.8;
// ... and no further than this many differing bits of 256.
constexpr int MaximumDistance = 64;

int Hamming(const std::array<std::uint64_t, 4> &a, const std::array<std::uint64_t, 4> &b)
{
    return std::popcount(a[0] ^ b[0]) + std::popcount(a[1] ^ b[1]) + std::popcount(a[2] ^ b[2]) +
           std::popcount(a[3] ^ b[3]);
}

} // namespace

TViewFeatures FindFeatures(const QImage &grey)
{
    TViewFeatures view;
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8)
        return view;
    const cv::Mat image(grey.height(), grey.width(), CV_8UC1, const_cast<uchar *>(grey.constBits()),
                        size_t(grey.bytesPerLine()));
    cv::Ptr<cv::ORB> orb = cv::ORB::create(MaximumFeatures);
    std::vector<cv::KeyPoint> points;
    cv::Mat descriptors;
    orb->detectAndCompute(image, cv::noArray(), points, descriptors);
    if (points.empty() || descriptors.rows != int(points.size()) || descriptors.cols != 32 ||
        descriptors.type() != CV_8UC1)
        return view;

    const double height = grey.height();
    const double cx = grey.width() / 2.0, cy = grey.height() / 2.0;
    const double levelScale = orb->getScaleFactor();
    view.Features.resize(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        TViewFeatures::TFeature &f = view.Features[i];
        f.X = (points[i].pt.x - cx) / height;
        f.Y = (points[i].pt.y - cy) / height;
        const double scale = std::pow(levelScale, std::max(0, points[i].octave));
        f.Precision = 1.0 / (scale * scale);
        std::memcpy(f.Descriptor.data(), descriptors.ptr(int(i)), 32);
    }
    std::sort(view.Features.begin(), view.Features.end(),
              [](const auto &a, const auto &b) { return a.Y < b.Y; });
    return view;
}

std::vector<TPointMatch> MatchFeatures(const TViewFeatures &left, const TViewFeatures &right)
{
    struct TBest
    {
        int Distance = INT_MAX, Second = INT_MAX, Index = -1;
    };
    std::vector<TBest> forLeft(left.Features.size()), forRight(right.Features.size());

    // Both lists are sorted by Y: the band of right features moves down with the left one.
    size_t bandStart = 0;
    for (size_t i = 0; i < left.Features.size(); ++i) {
        const TViewFeatures::TFeature &l = left.Features[i];
        while (bandStart < right.Features.size() &&
               right.Features[bandStart].Y < l.Y - BandHalfHeight)
            ++bandStart;
        for (size_t j = bandStart;
             j < right.Features.size() && right.Features[j].Y <= l.Y + BandHalfHeight; ++j) {
            const int d = Hamming(l.Descriptor, right.Features[j].Descriptor);
            TBest &bl = forLeft[i];
            if (d < bl.Distance) {
                bl.Second = bl.Distance;
                bl.Distance = d;
                bl.Index = int(j);
            } else if (d < bl.Second) {
                bl.Second = d;
            }
            TBest &br = forRight[j];
            if (d < br.Distance) {
                br.Distance = d;
                br.Index = int(i);
            }
        }
    }

    std::vector<TPointMatch> matches;
    for (size_t i = 0; i < left.Features.size(); ++i) {
        const TBest &b = forLeft[i];
        if (b.Index < 0 || b.Distance > MaximumDistance ||
            forRight[size_t(b.Index)].Index != int(i))
            continue;
        if (b.Second != INT_MAX && b.Distance >= DistanceRatio * b.Second)
            continue;
        const TViewFeatures::TFeature &l = left.Features[i];
        const TViewFeatures::TFeature &r = right.Features[size_t(b.Index)];
        // The variance of a difference is the sum of the positions' variances.
        const double weight = 2.0 / (1.0 / l.Precision + 1.0 / r.Precision);
        matches.push_back({l.X, l.Y, r.X, r.Y, weight});
    }
    return matches;
}
