#include "support/photo_generator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <exiv2/exiv2.hpp>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace benchsupport {

namespace {

constexpr int pixelVariants = 4; // distinct pictures, cycled over the files

// A smooth picture with some structure (gradients, rings, a grid), so that it compresses
// like a photograph rather than like noise; grain adds the sensor's noise (a fixed
// pseudo-random sequence per variant). variant shifts the pattern.
std::vector<unsigned char> makePixels(int width, int height, int variant, int grain = 0)
{
    std::vector<unsigned char> rgb(size_t(width) * size_t(height) * 3);
    std::uint32_t seed = 12345u + std::uint32_t(variant);
    int noise = 0; // one value per pixel for its three channels: brightness grain
    const auto noisy = [&](double value) {
        return (unsigned char)std::clamp(value + noise, 0.0, 255.0);
    };
    const double cx = width * (0.3 + 0.1 * variant);
    const double cy = height * (0.6 - 0.05 * variant);
    for (int y = 0; y < height; ++y) {
        unsigned char *row = rgb.data() + size_t(y) * size_t(width) * 3;
        for (int x = 0; x < width; ++x) {
            if (grain > 0) {
                seed = seed * 1664525u + 1013904223u;
                noise = int((seed >> 24) % std::uint32_t(2 * grain + 1)) - grain;
            }
            const double dx = x - cx;
            const double dy = y - cy;
            const double ring =
                0.5 + 0.5 * std::sin(std::sqrt(dx * dx + dy * dy) / (18.0 + variant));
            const bool grid = (x % 250) < 3 || (y % 250) < 3;
            row[3 * x] = grid ? 30 : noisy(double(int(255.0 * x / width * 0.8 + 40 * ring)));
            row[3 * x + 1] = grid ? 30 : noisy(double(int(255.0 * y / height * 0.7 + 60 * ring)));
            row[3 * x + 2] = grid ? 30 : noisy(double(int(120 + 100 * ring)));
        }
    }
    return rgb;
}

// A JPEG without metadata, encoded with TurboJPEG.
QByteArray encodeJpeg(const std::vector<unsigned char> &rgb, int width, int height, int quality,
                      QString *error)
{
    tjhandle handle = tjInitCompress();
    if (!handle) {
        *error = QStringLiteral("tjInitCompress failed");
        return {};
    }
    unsigned char *out = nullptr;
    unsigned long size = 0;
    const int rc = tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &out, &size,
                               TJSAMP_422, quality, TJFLAG_ACCURATEDCT);
    QByteArray jpeg;
    if (rc == 0)
        jpeg = QByteArray(reinterpret_cast<const char *>(out), qsizetype(size));
    else
        *error = QString::fromLocal8Bit(tjGetErrorStr2(handle));
    tjFree(out);
    tjDestroy(handle);
    return jpeg;
}

// The camera-like EXIF block of shot index (with a maker note and a thumbnail), written
// into the JPEG with exiv2.
QByteArray addExif(const QByteArray &jpeg, int index, int width, int height,
                   const PhotoSetOptions &o, QString *error)
{
    try {
        auto image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte *>(jpeg.constData()), long(jpeg.size()));
        if (!image.get()) {
            *error = QStringLiteral("exiv2 cannot open the encoded picture");
            return {};
        }
        image->readMetadata();
        Exiv2::ExifData exif;
        const QDateTime shot = o.firstCapture.addSecs(qint64(index) * o.secondsBetweenShots);
        const std::string when = shot.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")).toStdString();
        exif["Exif.Image.Make"] = o.make.toStdString();
        exif["Exif.Image.Model"] = o.model.toStdString();
        if (!o.orientations.isEmpty())
            exif["Exif.Image.Orientation"] =
                uint16_t(o.orientations[index % o.orientations.size()]);
        exif["Exif.Image.XResolution"] = Exiv2::URational(72, 1);
        exif["Exif.Image.YResolution"] = Exiv2::URational(72, 1);
        exif["Exif.Image.ResolutionUnit"] = uint16_t(2);
        exif["Exif.Image.DateTime"] = when;
        exif["Exif.Image.Software"] = std::string("Firmware Version 1.2.3");
        exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 125 + 5 * (index % 20));
        exif["Exif.Photo.FNumber"] = Exiv2::URational(56 + index % 30, 10);
        exif["Exif.Photo.ExposureProgram"] = uint16_t(3);
        exif["Exif.Photo.ISOSpeedRatings"] = uint16_t(100 << (index % 4));
        exif["Exif.Photo.DateTimeOriginal"] = when;
        exif["Exif.Photo.DateTimeDigitized"] = when;
        exif["Exif.Photo.ExposureBiasValue"] = Exiv2::Rational(-(index % 4), 3);
        exif["Exif.Photo.MaxApertureValue"] = Exiv2::URational(4, 1);
        exif["Exif.Photo.MeteringMode"] = uint16_t(5);
        exif["Exif.Photo.Flash"] = uint16_t(index % 3 == 0 ? 0x19 : 0x10);
        exif["Exif.Photo.FocalLength"] = Exiv2::URational(240 + index % 500, 10);
        exif["Exif.Photo.ColorSpace"] = uint16_t(1);
        exif["Exif.Photo.PixelXDimension"] = uint32_t(width);
        exif["Exif.Photo.PixelYDimension"] = uint32_t(height);
        // A 36 × 24 mm sensor.
        exif["Exif.Photo.FocalPlaneXResolution"] = Exiv2::URational(width * 254, 360);
        exif["Exif.Photo.FocalPlaneYResolution"] = Exiv2::URational(height * 254, 240);
        exif["Exif.Photo.FocalPlaneResolutionUnit"] = uint16_t(2);
        exif["Exif.Photo.ExposureMode"] = uint16_t(0);
        exif["Exif.Photo.WhiteBalance"] = uint16_t(0);
        exif["Exif.Photo.SceneCaptureType"] = uint16_t(0);
        exif["Exif.Photo.SubSecTimeOriginal"] = std::string("00");
        exif["Exif.Photo.BodySerialNumber"] = std::string("012345678901");
        exif["Exif.Photo.LensModel"] = std::string("EF24-105mm f/4L IS USM");
        exif["Exif.Iop.InteroperabilityIndex"] = std::string("R98");
        if (o.makerNote) {
            // exiv2 composes a Canon maker note from these.
            exif["Exif.Canon.ImageType"] = std::string("Canon EOS 5D Mark IV");
            exif["Exif.Canon.FirmwareVersion"] = std::string("Firmware Version 1.2.3");
            exif["Exif.Canon.OwnerName"] = std::string("Bench");
            exif["Exif.CanonCs.Macro"] = uint16_t(2);
            exif["Exif.CanonCs.Selftimer"] = uint16_t(0);
            exif["Exif.CanonCs.Quality"] = uint16_t(index % 2 ? 3 : 5);
            exif["Exif.CanonCs.FlashMode"] = uint16_t(0);
            exif["Exif.CanonCs.DriveMode"] = uint16_t(0);
            exif["Exif.CanonCs.FocusMode"] = uint16_t(1);
            exif["Exif.CanonCs.ImageSize"] = uint16_t(0);
            exif["Exif.CanonCs.EasyMode"] = uint16_t(1);
            exif["Exif.CanonSi.ISOSpeed"] = uint16_t(160);
            exif["Exif.CanonSi.WhiteBalance"] = uint16_t(0);
        }
        // A 160 × 120 preview in the thumbnail directory, as cameras write it.
        QString thumbError;
        const QByteArray thumbnail =
            o.exifThumbnail
                ? encodeJpeg(makePixels(160, 120, index % pixelVariants), 160, 120, 85, &thumbError)
                : QByteArray();
        if (!thumbnail.isEmpty()) {
            Exiv2::ExifThumb thumb(exif);
            thumb.setJpegThumbnail(reinterpret_cast<const Exiv2::byte *>(thumbnail.constData()),
                                   long(thumbnail.size()));
        }
        image->setExifData(exif);
        image->writeMetadata();

        Exiv2::BasicIo &io = image->io();
        io.open();
        QByteArray result(qsizetype(io.size()), Qt::Uninitialized);
        io.seek(0, Exiv2::BasicIo::beg);
        const long got = io.read(reinterpret_cast<Exiv2::byte *>(result.data()), io.size());
        io.close();
        if (got < 0 || size_t(got) != io.size()) {
            *error = QStringLiteral("exiv2 returned a short picture");
            return {};
        }
        return result;
    } catch (const std::exception &e) {
        *error = QStringLiteral("exiv2: ") + QString::fromLocal8Bit(e.what());
        return {};
    }
}

QString manifestText(int count, int width, int height, const PhotoSetOptions &o)
{
    QStringList orientations;
    for (int v : o.orientations)
        orientations << QString::number(v);
    // The grain line only where there is grain: the smooth sets made before it stay valid.
    const QString grain = o.grain ? QStringLiteral("brightness grain %1\n").arg(o.grain) : QString();
    // Likewise the thumbnail line only for sets without one.
    const QString thumbnail = o.exifThumbnail ? QString() : QStringLiteral("no exif thumbnail\n");
    return grain + thumbnail + QStringLiteral("photo set v3\ncount %1\nsize %2x%3\nmake %4\nmodel %5\nfirst %6\n"
                          "step %7\norientations %8\nquality %9\nmakernote %10\nprefix %11\n")
        .arg(count)
        .arg(width)
        .arg(height)
        .arg(o.make, o.model, o.firstCapture.toString(Qt::ISODate))
        .arg(o.secondsBetweenShots)
        .arg(orientations.join(QLatin1Char(',')))
        .arg(o.quality)
        .arg(o.makerNote ? 1 : 0)
        .arg(o.namePrefix);
}

} // namespace

QString photoCacheDir(const QString &name)
{
    const QString base = qEnvironmentVariableIsSet("DUOMIRA_BENCH_CACHE")
                             ? qEnvironmentVariable("DUOMIRA_BENCH_CACHE")
                             : QDir::tempPath() + QStringLiteral("/duomira-bench-photos");
    return base + QLatin1Char('/') + name;
}

QStringList generatePhotoSet(const QString &dir, int count, int width, int height,
                             const PhotoSetOptions &options, QString *error)
{
    QString localError;
    QString &why = error ? *error : localError;
    if (count < 0 || width < 1 || height < 1) {
        why = QStringLiteral("invalid photo set size");
        return {};
    }
    if (!QDir().mkpath(dir)) {
        why = QStringLiteral("cannot create %1").arg(dir);
        return {};
    }

    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << QDir(dir).filePath(
            QStringLiteral("%1%2.jpg").arg(options.namePrefix).arg(i + 1, 4, 10, QLatin1Char('0')));

    // Reuse the set when the manifest matches and every file is there.
    const QString manifestPath = QDir(dir).filePath(QStringLiteral("photoset.txt"));
    const QByteArray manifest = manifestText(count, width, height, options).toUtf8();
    {
        QFile f(manifestPath);
        if (f.open(QIODevice::ReadOnly) && f.readAll() == manifest) {
            bool complete = true;
            for (const QString &p : paths)
                complete = complete && QFileInfo(p).size() > 0;
            if (complete)
                return paths;
        }
    }
    QFile::remove(manifestPath);

    std::vector<QByteArray> encoded(pixelVariants);
    for (int i = 0; i < count; ++i) {
        QByteArray &plain = encoded[size_t(i % pixelVariants)];
        if (plain.isEmpty()) {
            plain = encodeJpeg(makePixels(width, height, i % pixelVariants, options.grain), width,
                               height, options.quality, &why);
            if (plain.isEmpty())
                return {};
        }
        const QByteArray file = addExif(plain, i, width, height, options, &why);
        if (file.isEmpty())
            return {};
        QSaveFile out(paths[i]);
        if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size() || !out.commit()) {
            why = QStringLiteral("cannot write %1").arg(paths[i]);
            return {};
        }
    }
    QSaveFile m(manifestPath);
    if (!m.open(QIODevice::WriteOnly) || m.write(manifest) != manifest.size() || !m.commit()) {
        why = QStringLiteral("cannot write %1").arg(manifestPath);
        return {};
    }
    return paths;
}

QStringList cameraSizedPhotoSet(const QString &name, int count)
{
    PhotoSetOptions options;
    options.grain = 9;
    QString error;
    const QStringList files =
        generatePhotoSet(photoCacheDir(name), count, 4000, 3000, options, &error);
    if (files.size() != count)
        std::fprintf(stderr, "cannot generate %d files: %s\n", count, qPrintable(error));
    return files;
}

QStringList stereoPairPhotos(int pairs)
{
    QString error;
    const QStringList made = generatePhotoSet(photoCacheDir(QStringLiteral("stereo-files")),
                                              2 * pairs, 4000, 3000, {}, &error);
    if (made.size() != 2 * pairs)
        qFatal("cannot generate the benchmark photos: %s", qPrintable(error));
    return made;
}

QStringList smallPhotoSet(const QString &side, int count)
{
    PhotoSetOptions options;
    options.namePrefix = side;
    options.makerNote = false;
    if (side == QLatin1String("R")) {
        options.model = QStringLiteral("Canon EOS 5D Mark IV (right)");
        options.firstCapture = options.firstCapture.addSecs(37);
    }
    QString error;
    const QStringList files =
        generatePhotoSet(photoCacheDir(QStringLiteral("cli_%1_%2").arg(side).arg(count)), count,
                         640, 480, options, &error);
    if (files.size() != count)
        std::fprintf(stderr, "cannot generate %d files: %s\n", count, qPrintable(error));
    return files;
}

} // namespace benchsupport
