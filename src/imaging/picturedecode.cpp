#include "imaging/picturedecode.h"

#include "imaging/gflfunctions.h"
#include "imaging/jpegcodec.h"
#include "imaging/libgfl.h"

#include <QFileInfo>

#include <algorithm>

bool IsJpegFileName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg") ||
           suffix == QLatin1String("jpe");
}

QImage DecodeViewScaled(const QString &path, const TPicturePart &part, const TScaleChoice &choose)
{
    const QByteArray bytes = ReadPictureBytes(path, part);
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    if (part.crop.isEmpty())
        return DecodeJpegScaled(data, std::size_t(bytes.size()), choose);
    int denominator = 1;
    const QImage picture = DecodeJpegScaled(data, std::size_t(bytes.size()), [&](int, int) {
        denominator = choose(part.crop.width(), part.crop.height());
        return denominator;
    });
    if (picture.isNull())
        return picture;
    const QRect crop = part.crop;
    return picture.copy(crop.x() / denominator, crop.y() / denominator,
                        std::max(1, crop.width() / denominator),
                        std::max(1, crop.height() / denominator));
}

QImage DecodePictureScaled(const QString &path, const TPicturePart &part,
                           const TScaleChoice &choose, const TGflLibrary *gfl)
{
    if (part.view > 0)
        return DecodeViewScaled(path, part, choose);
    if (IsJpegFileName(path)) {
        QImage picture = DecodeJpegFileScaled(path, choose);
        if (!picture.isNull() || !gfl || !gfl->available())
            return picture;
    }
    if (!gfl || !gfl->available())
        return QImage();
    GflBitmapPtr gflBitmap;
    QImage picture;
    QString error;
    QList<QRgb> palette;
    if (!LoadGflBitmap(gfl, path, gflBitmap, picture, error, palette))
        return QImage();
    return picture;
}
