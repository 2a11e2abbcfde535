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
#include <QByteArray>
#include <QString>

#include <optional>

// The MPO of the two JPEG files. Padding after a stream's end (zero or FF bytes) is not
// written; an MPF segment a stream already carries is left out (it would describe another
// file). Nothing, with the reason in *error, when a file is not one complete JPEG stream
// (another picture after it included) or the result would exceed 4 GB, which the index
// cannot count.
std::optional<QByteArray> WriteMpo(const QByteArray &left, const QByteArray &right, QString *error = nullptr);
