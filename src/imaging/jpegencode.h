#pragma once
// Encoding pictures as JPEG files (TurboJPEG) and the EXIF block such a new file carries.
#include <QByteArray>
#include <QImage>
#include <QString>

// picture encoded at quality (1..100) with 4:4:4 chroma at quality 90 and above (4:2:0
// below), as a JPEG stream starting with SOI and a JFIF APP0 segment; exifSegment, when
// given (a whole APP1 segment from its FF E1 marker), goes right after the APP0 segment.
// Empty, with the reason in *error, when the picture is null or the encoder fails.
QByteArray EncodeJpeg(const QImage &picture, int quality, const QByteArray &exifSegment = {},
                      QString *error = nullptr);

// The EXIF segment (APP1 "Exif\0\0", from its FF E1 marker) of a JPEG file's header,
// rewritten for a new picture of size: orientation 1 (normal) and the EXIF pixel
// dimensions set where the block has them. Empty when the file has no EXIF segment or the
// segment does not lie within jpeg.
QByteArray ExifSegmentForNewPicture(const QByteArray &jpeg, QSize size);
