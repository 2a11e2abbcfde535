// The compressed thumbnail: what comes back out is the thumbnail that went in (its size,
// its bands of background exactly, its picture within JPEG's small error), at a fraction
// of its uncompressed size.
#include "imaging/dsorgbild.h"
#include "imaging/jpegcodec.h"
#include "imaging/thumbnail.h"
#include "preview/bitmapops.h"
#include "support/testdata.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
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

} // namespace
