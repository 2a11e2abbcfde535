#pragma once
// Stereo cameras' own files: one file that holds both views of an exposure.
//
// MPO (multi-picture JPEG): the first JPEG stream's APP2 "MPF\0" segment indexes every
// picture of the file (type, size, offset); the further pictures are complete JPEG streams
// after the first. A file is a stereo file when at least two of them are "Multi-frame
// Disparity" pictures; its views are the two with the lowest MP Individual Numbers (view 1,
// the leftmost, has number 1), or the first two in index order where a number is missing.
// Every other multi-picture file (multi-angle sets, gain maps, large thumbnails) is not.
//
// JPS (a ".jps" file): one JPEG with both views side by side, the right view on the left
// half unless the "_JPSJPS_" APP3 descriptor says otherwise (it may also place them above
// each other).
//
// The reader takes untrusted bytes: a damaged index makes the file "not a stereo file" with
// the reason, never a wrong pair.
#include "imaging/bytesource.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>

enum class TStereoFormat
{
    None, // a single picture (or not a JPEG at all)
    Mpo,
    Jps
};

// One picture of an MP index, as the index states it.
struct TMpImage
{
    std::uint32_t attribute = 0; // type in the low 24 bits, data format and flags above
    qint64 size = 0;
    qint64 offset = 0;                  // in the file (the index counts from the MP header)
    std::uint32_t individualNumber = 0; // 0: none given
    std::uint32_t type() const { return attribute & 0x00FFFFFF; }
    bool representative() const { return attribute & 0x20000000; }
};

// The MP index of the first stream, when the file has one (also for files that are not
// stereo files, for `inspect`).
struct TMpIndex
{
    bool present = false;
    bool bigEndian = false;
    qint64 headerOffset = 0; // of the MP header in the file
    QList<TMpImage> images;
};

// Which kind of picture the MP type number names, in words ("Multi-frame Disparity").
QString MpImageTypeName(std::uint32_t type);

enum class TJpsLayout
{
    SideBySide,
    OverUnder
};

// Where one view lies in the file.
struct TStereoView
{
    // MPO: its JPEG stream, up to and including its end-of-image marker, and its own MPF
    // segment inside it (the segment the split leaves out; length 0 when it has none).
    qint64 offset = 0;
    qint64 length = 0;
    qint64 mpfOffset = 0;
    qint64 mpfLength = 0;
    int indexPosition = -1; // in TMpIndex::images
    // JPS: the view's rectangle in the picture.
    int x = 0, y = 0, width = 0, height = 0;
};

struct TStereoFile
{
    TStereoFormat format = TStereoFormat::None;
    // Why the file is not a stereo file (empty for a stereo file, and for a plain JPEG
    // without an MP index that was not named as a JPS).
    QString problem;
    TMpIndex index;
    std::array<TStereoView, 2> views; // view 1 (left eye), view 2 (right eye)
    qint64 fileSize = 0;

    // JPS only: the layout, the order (crossed: the right view comes first, on the left
    // or on top), whether the descriptor says each view was squeezed to half its width or
    // height, and the whole picture's size and MCU.
    TJpsLayout layout = TJpsLayout::SideBySide;
    bool crossed = true;
    bool descriptor = false;
    bool halfWidth = false;
    bool halfHeight = false;
    int width = 0, height = 0;
    int mcuWidth = 8, mcuHeight = 8;

    bool isStereo() const { return format != TStereoFormat::None; }
};

// True for a name that ends in ".jps" (any letter case).
bool IsJpsFileName(const QString &path);

// Reads the stereo structure of the bytes of source. A JPS is recognised only when jps is
// set (the file's name says so); an MPO by its content whatever its name. Reads the
// first stream's header and every view's bytes (to check that each is a complete stream).
TStereoFile ReadStereoFile(TByteSource &source, bool jps);

// The same for a file on disk (jps from its name); a file that cannot be read is not a
// stereo file, with the reason.
TStereoFile ReadStereoFile(const QString &path);

// What `inspect` prints of a file's stereo structure: "stereo" (mpo, jps or none), the
// reason it is not one, the MP index (each picture's type, size, offset, individual number)
// and where the views lie.
QJsonObject StereoFileJson(const TStereoFile &file);
