#include "paircheck/workingpicture.h"

#include "imaging/gflfunctions.h"
#include "imaging/libgfl.h"
#include "imaging/picturedecode.h"

#include <QTransform>

#include <opencv2/imgproc.hpp>

#include <algorithm>

int WorkingScaleDenominator(int width, int height)
{
    const int longSide = std::max(width, height);
    for (int d : {8, 4, 2}) {
        // libjpeg-turbo rounds reduced sizes up.
        if ((longSide + d - 1) / d >= WorkingLongSide)
            return d;
    }
    return 1;
}

QImage ToWorkingPicture(const QImage &picture, TViewLook look)
{
    if (picture.isNull())
        return {};
    QImage grey = picture.format() == QImage::Format_Grayscale8
                      ? picture
                      : picture.convertToFormat(QImage::Format_Grayscale8);
    const int longSide = std::max(grey.width(), grey.height());
    if (longSide > WorkingLongSide) {
        const double f = double(WorkingLongSide) / longSide;
        const int w = std::max(1, int(grey.width() * f + 0.5));
        const int h = std::max(1, int(grey.height() * f + 0.5));
        QImage reduced(w, h, QImage::Format_Grayscale8);
        const cv::Mat from(grey.height(), grey.width(), CV_8UC1,
                           const_cast<uchar *>(grey.constBits()), size_t(grey.bytesPerLine()));
        cv::Mat to(h, w, CV_8UC1, reduced.bits(), size_t(reduced.bytesPerLine()));
        cv::resize(from, to, to.size(), 0, 0, cv::INTER_AREA);
        grey = reduced;
    }
    const int turns = look.Rotation & 3;
    if (turns != 0)
        grey = grey.transformed(QTransform().rotate(90.0 * turns));
    if (look.Mirror)
        grey = grey.mirrored(true, false);
    return grey;
}

QImage DecodeWorkingPicture(const QString &path, TViewLook look, const TPicturePart &part,
                            const TGflLibrary *gfl)
{
    if (part.view > 0 || IsJpegFileName(path)) {
        const QImage decoded = DecodePictureScaled(path, part, WorkingScaleDenominator, nullptr);
        if (!decoded.isNull() || part.view > 0)
            return ToWorkingPicture(decoded, look);
    }
    if (!gfl || !gfl->available())
        return {};
    // The library hands an embedded picture or preview of at least the working size where
    // the file holds one (a RAW file is never developed), else the picture itself.
    GflBitmapPtr gflBitmap;
    QImage picture;
    QString error;
    QList<QRgb> palette;
    if (!LoadGflThumbnail(gfl, path, WorkingLongSide, gflBitmap, picture, error, palette))
        return {};
    return ToWorkingPicture(picture, look);
}
