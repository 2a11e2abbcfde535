// The compressed thumbnail: what comes back out is the thumbnail that went in (its size,
// its bands of background exactly, its picture within JPEG's small error), at a fraction
// of its uncompressed size. A JPEG file's thumbnail, kept small (its 1/8-scale decode
// unenlarged, or its EXIF thumbnail as it is), looks like the square of the enlarged decode
// that it replaces, and so do the icons drawn from it.
#include "imaging/dsorgbild.h"
#include "imaging/exifpatch.h"
#include "imaging/jpegcodec.h"
#include "imaging/thumbnail.h"
#include "preview/bitmapops.h"
#include "support/testdata.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Mean absolute difference per channel over the whole picture.
double meanDifference(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb *p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const QRgb *q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qRed(p[x]) - qRed(q[x])) + std::abs(qGreen(p[x]) - qGreen(q[x])) +
                   std::abs(qBlue(p[x]) - qBlue(q[x]));
    }
    return sum / (3.0 * a.width() * a.height());
}

TEST(CompressedThumbnail, GivesBackTheThumbnailWithItsBandsExact)
{
    const QColor background = QColor::fromRgb(ThumbnailBackground);
    const QImage landscape = CreateJpegThumbnail(
        testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg")), ThumbnailSize, background);
    const QImage portrait = landscape.transformed(QTransform().rotate(90));
    QImage flat(40, 30, QImage::Format_RGB32); // a thumbnail of the picture's own aspect
    flat.fill(qRgb(20, 90, 200));
    QImage empty(300, 300, QImage::Format_RGB32); // background only
    empty.fill(ThumbnailBackground);
    ASSERT_FALSE(landscape.isNull());

    for (const QImage &original : {landscape, portrait, flat, empty}) {
        SCOPED_TRACE(testing::Message() << original.width() << "x" << original.height());
        const TThumbnail thumbnail(original);
        ASSERT_FALSE(thumbnail.isNull());
        EXPECT_EQ(thumbnail.size(), original.size());
        EXPECT_LT(thumbnail.byteCount(), 48 * 1024);
        const QImage back = thumbnail.image();
        ASSERT_EQ(back.size(), original.size());
        EXPECT_LT(meanDifference(back, original), 3.0);
        // The preview cuts off the same bands as before.
        EXPECT_EQ(TrimThumbnailBands(back, ThumbnailBackground).size(),
                  TrimThumbnailBands(original, ThumbnailBackground).size());
        EXPECT_EQ(TThumbnail(original), thumbnail); // the same picture, the same bytes
        // An icon from the reduced decode looks like one from the whole thumbnail.
        const QImage reduced = thumbnail.image(QSize(64, 64));
        EXPECT_GE(std::min(reduced.width(), reduced.height()),
                  std::min({64, original.width(), original.height()}));
        EXPECT_LT(meanDifference(MakeRotatedIcon(reduced, 64, 64, 1),
                                 MakeRotatedIcon(original, 64, 64, 1)),
                  6.0);
    }
    EXPECT_TRUE(TThumbnail(QImage()).isNull());
    EXPECT_TRUE(TThumbnail(QImage()).image().isNull());
}

struct KeptThumbnailCase
{
    const char *file;
    bool exifThumbnail; // the file's EXIF thumbnail stands for its picture
};

// The old thumbnail (the 1/8-scale decode enlarged into the square, compressed) and its
// icon as the old path drew it (a DCT-reduced decode of the square, fitted by the painter).
QImage oldIcon(const QImage &square, int side, int, int rotation)
{
    return MakeRotatedIcon(TThumbnail(square).image(QSize(side, side)), side, side, rotation);
}

TEST(CompressedThumbnail, KeptSmallLooksAsBeforeAtEveryIconSize)
{
    // Tiny camera samples (a 1/8-scale decode of 13 x 9), a larger picture (256 x 192 at
    // 1/8), a portrait, a letterboxed EXIF thumbnail that cannot stand for its picture,
    // and files whose EXIF thumbnail is larger than their 1/8-scale decode.
    const KeptThumbnailCase cases[] = {
        {"photos/jpg/Nikon_D70.jpg", false},
        {"photos/jpg/Reconyx_HC500_Hyperfire.jpg", false},
        {"photos/jpg/orientation/landscape_6.jpg", false},
        {"photos/jpg/Sony_HDR-HC3.jpg", false},
        {"photos/jpg/Canon_PowerShot_S40.jpg", true},
        {"photos/jpg/Canon_40D.jpg", true},
        {"photos/jpg/PaintTool_sample.jpg", true},
    };
    const QColor background = QColor::fromRgb(ThumbnailBackground);
    for (const KeptThumbnailCase &c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = testDataPath(QString::fromLatin1(c.file));
        const QImage enlarged = CreateJpegThumbnail(path, ThumbnailSize, background);
        const QImage truth = FitIntoSquare(DecodeJpegFile(path, 1), ThumbnailSize, background);
        ASSERT_FALSE(enlarged.isNull());
        TDsOrgBild holder(path);
        holder.LoadImageData(0, nullptr);
        const TThumbnail &kept = holder.Thumbnail;
        ASSERT_FALSE(kept.isNull());
        EXPECT_EQ(kept.size(), enlarged.size());
        EXPECT_LT(kept.byteCount(), TThumbnail(enlarged).byteCount());

        if (c.exifThumbnail) {
            // The EXIF thumbnail's own bytes, not compressed again.
            const QByteArray bytes = fileBytes(path);
            const auto embedded =
                exifpatch::findThumbnail(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                         std::size_t(bytes.size()));
            ASSERT_TRUE(embedded.found);
            EXPECT_EQ(kept.byteCount(), qsizetype(embedded.thumbnailLength));
        } else {
            // The decode at its own size: never enlarged, reduced only beyond its place.
            EXPECT_EQ(kept.storedSize(),
                      DecodeJpegFile(path, 8).size().boundedTo(kept.place().size()));
        }
        // A decoded thumbnail looks as the old one did; an EXIF thumbnail shows the picture
        // at least as faithfully (it has more of its pixels).
        const QImage shown = kept.image();
        ASSERT_EQ(shown.size(), enlarged.size());
        if (c.exifThumbnail)
            EXPECT_LT(meanDifference(shown, truth), meanDifference(enlarged, truth) + 1.0);
        else
            EXPECT_LT(meanDifference(shown, enlarged), 2.0);
        // The preview cuts off the same bands; the EXIF thumbnail's follow the picture's
        // own aspect, not that of its rounded 1/8-scale size.
        EXPECT_EQ(
            TrimThumbnailBands(shown, ThumbnailBackground).size(),
            TrimThumbnailBands(c.exifThumbnail ? truth : enlarged, ThumbnailBackground).size());
        for (const int side : {16, 64, 128}) {
            for (const int rotation : {0, 1}) {
                SCOPED_TRACE(testing::Message() << side << " rotation " << rotation);
                const QImage icon = MakeRotatedIcon(kept, side, side, rotation);
                const QImage before = oldIcon(enlarged, side, side, rotation);
                ASSERT_EQ(icon.size(), before.size());
                if (c.exifThumbnail)
                    EXPECT_LT(meanDifference(icon, MakeRotatedIcon(truth, side, side, rotation)),
                              meanDifference(before, MakeRotatedIcon(truth, side, side, rotation)) +
                                  1.0);
                else // the smallest icons show the two reductions' filtering most
                    EXPECT_LT(meanDifference(icon, before), side == 16 ? 8.5 : 4.5);
            }
        }
    }
}

} // namespace
