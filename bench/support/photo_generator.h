#pragma once
// Photo-sized JPEG files with a camera-like EXIF block, for the benchmarks (metadata
// reading, thumbnails, rotation, loading). The pixels are encoded with libjpeg-turbo, the
// EXIF block (make, model, capture times one shot apart, orientation, exposure data and a
// Canon maker note) is written with exiv2.
//
// Generated sets are cached: a folder holds the files and a manifest of the parameters
// they were made with; asking again for the same set reuses the files.
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace benchsupport {

struct PhotoSetOptions
{
    QString make = QStringLiteral("Canon");
    QString model = QStringLiteral("Canon EOS 5D Mark IV");
    QDateTime firstCapture{QDate(2024, 5, 1), QTime(10, 0, 0)};
    int secondsBetweenShots = 2;
    // EXIF orientation of file i: orientations[i % size]; empty writes no orientation.
    QList<int> orientations{1};
    int quality = 90;      // JPEG quality
    bool makerNote = true; // a Canon maker note with camera settings
    QString namePrefix = QStringLiteral("IMG_");
    // Sensor grain: each colour value moves by up to this much at random. 0 gives smooth
    // pictures (about 1.3 MB at 4000 x 3000); 9 gives what a camera writes (about 3.7 MB).
    int grain = 0;
    bool exifThumbnail = true; // a 160 x 120 thumbnail in the EXIF block
};

// Makes (or reuses) count JPEG files of width × height pixels in dir, named
// <prefix>0001.jpg, <prefix>0002.jpg, ...; returns their paths in order, or an empty list
// when the folder cannot be written (the reason goes to *error when given).
QStringList generatePhotoSet(const QString &dir, int count, int width = 4000, int height = 3000,
                             const PhotoSetOptions &options = {}, QString *error = nullptr);

// The small real JPEG files of one camera ("L" or "R"): count files of 640 x 480 with a
// camera-like EXIF block (no maker note), capture times two seconds apart, the right
// camera's clock 37 s ahead of the left one's. Cached as cli_<side>_<count>; an empty list
// (the reason on standard error) when they cannot be made.
QStringList smallPhotoSet(const QString &side, int count);

// count photos of 4000 x 3000 with sensor grain, about 3.7 MB each as a camera writes
// them, cached as <name>; an empty list (the reason on standard error) when they cannot be
// made.
QStringList cameraSizedPhotoSet(const QString &name, int count);

// 2 × pairs camera-sized JPEG files (4000 × 3000) for the stereo benchmarks, cached as
// "stereo-files": the left picture of pair i is file 2i, the right one 2i+1. Ends the
// program when they cannot be made.
QStringList stereoPairPhotos(int pairs);

// The folder for a named cached set: $DUOMIRA_BENCH_CACHE/<name> when that variable is
// set, otherwise <system temp>/duomira-bench-photos/<name>.
QString photoCacheDir(const QString &name);

} // namespace benchsupport
