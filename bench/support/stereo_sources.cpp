#include "support/stereo_sources.h"

#include "imaging/jpegcodec.h"
#include "paircheck/stereopairmaker.h"
#include "support/photo_generator.h"

#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace benchsupport {

namespace {

constexpr int SourceLongSide = 1150;

// The largest libjpeg-turbo reduction that keeps SourceLongSide pixels.
int SourceScale(int width, int height)
{
    for (int d : {8, 4, 2})
        if (std::max(width, height) / d >= SourceLongSide)
            return d;
    return 1;
}

double GreyDeviation(const QImage &picture)
{
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    double sum = 0, square = 0;
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) {
            const double v = grey.constScanLine(y)[x];
            sum += v;
            square += v * v;
        }
    const double n = double(grey.width()) * grey.height();
    return n > 0 ? std::sqrt(std::max(0.0, square / n - (sum / n) * (sum / n))) : 0;
}

} // namespace

QList<StereoSource> stereoSources(const QString &dataDir, int generatorCount, QStringList *skipped)
{
    QList<StereoSource> sources;
    QStringList paths;
    QDirIterator it(dataDir + QStringLiteral("/photos"),
                    {QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    std::sort(paths.begin(), paths.end());
    for (const QString &path : paths) {
        QImage picture = DecodeJpegFileScaled(path, SourceScale);
        if (picture.isNull()) {
            // Too small pictures are not worth naming; damaged large ones are.
            if (QFileInfo(path).size() > 100000 && skipped)
                *skipped << QFileInfo(path).fileName() + QStringLiteral(" (cannot be decoded)");
            continue;
        }
        // (A strip of a photo, 1,001 x 7 pixels, is no scene.)
        if (std::max(picture.width(), picture.height()) < 1000 ||
            std::min(picture.width(), picture.height()) < 300)
            continue;
        if (GreyDeviation(picture) < 8.0) {
            if (skipped)
                *skipped << QFileInfo(path).fileName() + QStringLiteral(" (no detail)");
            continue;
        }
        sources.append({QFileInfo(path).fileName(), picture});
    }
    if (generatorCount > 0) {
        QString error;
        const QStringList files =
            generatePhotoSet(photoCacheDir(QStringLiteral("paircheck_sources")), generatorCount,
                             2400, 1800, {}, &error);
        for (const QString &file : files)
            sources.append({QStringLiteral("generated ") + QFileInfo(file).fileName(),
                            DecodeJpegFileScaled(file, SourceScale)});
        if (files.isEmpty() && skipped)
            *skipped << QStringLiteral("generated pictures (%1)").arg(error);
    }
    return sources;
}

QImage mpoView(const QString &dataDir, int index)
{
    const QByteArrayList streams =
        MpoJpegStreams(dataDir + QStringLiteral("/photos/mpo/sugarshack.mpo"));
    if (index < 0 || index >= streams.size())
        return {};
    const QByteArray &jpeg = streams[index];
    return DecodeJpeg(reinterpret_cast<const unsigned char *>(jpeg.constData()),
                      size_t(jpeg.size()), 1);
}

} // namespace benchsupport
