#pragma once
// The MPO writer: two JPEG files joined into one multi-picture file that stereo viewers
// show as a pair and every other JPEG viewer as the left picture.
//
//   left stream:  SOI | its APP0/APP1 (JFIF, EXIF, XMP) | APP2 "MPF\0" index + attributes | rest
//   right stream: SOI | its APP0/APP1                    | APP2 "MPF\0" attributes         | rest
//
// The index lists two "Multi-frame Disparity" pictures, the first marked as representative;
// their individual numbers are 1 (left) and 2 (right). Nothing else of the two streams
// changes, so the stereo file reader's split gives them back byte for byte.
#include "imaging/bytesource.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The file to write as pieces: ranges of the left (0) or right (1) file, and the new MPF
// segments (source -1), so that a file is written without holding the pictures in memory.
struct TMpoPlan
{
    struct Piece
    {
        int source = -1;
        qint64 offset = 0;
        qint64 length = 0;
        QByteArray bytes;
    };
    QList<Piece> pieces;
    qint64 size = 0;
};

// The plan of the MPO of the two JPEG files. Reads their headers and their last bytes: a
// file must be one JPEG stream whose end-of-image marker is followed by nothing but
// padding (zero or FF bytes, not written). A file that carries a multi-picture index of
// its own is refused (its pictures would be hidden in the new first picture). Nothing,
// with the reason in *error, for such a file, one cut short, or a result beyond the 4 GB
// the index can count.
std::optional<TMpoPlan> PlanMpo(TByteSource &left, TByteSource &right, QString *error = nullptr);

// The MPO in memory.
std::optional<QByteArray> WriteMpo(const QByteArray &left, const QByteArray &right,
                                   QString *error = nullptr);

// Appends the planned MPO to out, copying the pictures' ranges from the open files.
bool WriteMpoFile(const TMpoPlan &plan, int leftFd, int rightFd, int out, QString *error = nullptr);
