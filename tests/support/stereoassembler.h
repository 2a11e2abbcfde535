#pragma once
// Builds stereo camera files for the tests from ordinary JPEG files: multi-picture (MPO)
// files whose index can be bent every way a damaged or unusual file bends it, and JPS
// files (two pictures side by side or above each other, with or without the descriptor).
// Written independently of the program's MPO writer, so that each checks the other.
#include <QByteArray>
#include <QImage>
#include <QList>

#include <cstdint>
#include <optional>

namespace stereotest {

struct MpoPicture
{
    QByteArray jpeg;
    std::uint32_t attribute = 0x020002; // Multi-frame Disparity
    std::uint32_t individualNumber = 0; // 0: no MP Attribute IFD
    QByteArray before;                  // bytes between the previous picture and this one
    // What the index says instead of the truth.
    std::optional<std::uint32_t> declaredSize;
    std::optional<std::uint32_t> declaredOffset;
};

struct MpoOptions
{
    bool littleEndian = false;
    QByteArray version = "0100";
    std::optional<std::uint32_t> declaredCount; // the number of pictures the index claims
    QByteArray after;                           // bytes after the last picture
};

// The pictures joined into one file; the first picture's MPF segment goes right after its
// start marker, and every further picture with an individual number gets its own.
QByteArray assembleMpo(const QList<MpoPicture> &pictures, const MpoOptions &options = {});

// A JPS's descriptor: flags (01 half height, 02 half width, 04 left view first), layout
// (02 side by side, 03 over/under), media type (01 stereo).
struct JpsDescriptor
{
    std::uint8_t flags = 0;
    std::uint8_t layout = 0x02;
    std::uint8_t media = 0x01;
};

// The picture of two views side by side (or over/under) with the first given view in the
// first half, encoded at quality 95 (4:2:0), with the descriptor after the start marker.
QByteArray assembleJps(const QImage &firstHalf, const QImage &secondHalf, bool overUnder,
                       const std::optional<JpsDescriptor> &descriptor);

} // namespace stereotest
