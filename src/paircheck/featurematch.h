#pragma once
// ORB features of a working picture and their matching between the two views of a pair.
#include "paircheck/verticalfit.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <vector>

struct TViewFeatures
{
    struct TFeature
    {
        double X = 0, Y = 0;                       // centred, in view heights
        double Precision = 1;                      // 1 / (pyramid scale of the feature)^2
        std::array<std::uint64_t, 4> Descriptor{}; // 256-bit ORB descriptor
    };
    std::vector<TFeature> Features; // sorted by Y
    int Count() const { return int(Features.size()); }
};

// Up to 1,500 ORB features of a grey picture (empty for a null picture).
TViewFeatures FindFeatures(const QImage &grey);

// The matches between the views: each left feature is compared with the right features
// within a band of rows (a stereo pair's views differ mostly horizontally) and kept when
// its best right feature is clearly closer than the second best and chooses it back.
std::vector<TPointMatch> MatchFeatures(const TViewFeatures &left, const TViewFeatures &right);
