#pragma once
// The lossless split of a stereo file into two ordinary JPEG files, and what a move needs
// to bring the stereo file back exactly from them.
//
// MPO: a view's file is its JPEG stream as it stands in the file with only its own MPF
// segment left out (that segment points at pictures the new file does not hold); the EXIF
// and the compressed data stay byte for byte. JPS: the halves are cut with TurboJPEG's
// lossless crop when the cut falls on the MCU grid; otherwise the picture is decoded and
// each half encoded again at quality 95 (the result says so).
#include "imaging/bytesource.h"
#include "imaging/stereofile.h"

#include <QByteArray>
#include <QList>

#include <array>
#include <optional>

// A byte range of the stereo file.
struct TByteRange
{
    qint64 offset = 0;
    qint64 length = 0;
};

// The ranges of the file whose bytes, one after another, make the view's file (MPO only).
QList<TByteRange> MpoViewRanges(const TStereoView &view);

// Appends an MPO view's file to out, copying its ranges from the open stereo file
// (stereoFd) without reading them into memory; the structure comes from ReadStereoFile.
bool WriteMpoView(int stereoFd, const TStereoView &view, int out, QString *error = nullptr);

struct TSplitView
{
    QByteArray jpeg;
    bool reencoded = false; // JPS halves off the MCU grid: decoded and encoded again
};

// Both views of a stereo file (as ReadStereoFile found it in source). Nothing, with the
// reason in *error, when the bytes cannot be read or TurboJPEG refuses the picture.
std::optional<std::array<TSplitView, 2>>
SplitStereoFile(TByteSource &source, const TStereoFile &file, QString *error = nullptr);

// Quality of the halves of a JPS whose cut does not fall on the MCU grid.
constexpr int JpsReencodeQuality = 95;

// The bytes of a stereo file that are not in its view files, as a recipe that rebuilds the
// file from the two view files: pieces in file order, each either a range of one view file
// or bytes kept here (the MPF segments left out, anything between and after the views).
struct TStereoRemainder
{
    struct Piece
    {
        int view = -1;   // 0 or 1: from that view file; -1: the bytes below
        qint64 from = 0; // in the view file
        qint64 length = 0;
        QByteArray bytes;
    };
    qint64 fileSize = 0;
    QByteArray sha256; // of the whole stereo file, 32 bytes
    QList<Piece> pieces;

    // A compact byte form for the job journal, and its reader (which checks every length:
    // a journal is a file like any other).
    QByteArray serialize() const;
    static std::optional<TStereoRemainder> parse(const QByteArray &bytes);
    // Bytes the remainder keeps itself.
    qint64 keptBytes() const;
};

// The remainder of an MPO (only MPO files can be rebuilt: a JPS's halves are new streams).
// Reads the whole file once for its SHA-256.
std::optional<TStereoRemainder> MpoRemainder(TByteSource &source, const TStereoFile &file,
                                             QString *error = nullptr);

// The stereo file rebuilt from its view files and remainder; nothing when the pieces do
// not fit the view files or the result is not the file the remainder describes (size and
// SHA-256).
std::optional<QByteArray> RebuildStereoFile(const QByteArray &view1, const QByteArray &view2,
                                            const TStereoRemainder &remainder);
