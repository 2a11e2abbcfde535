// The image holder's loading: metadata and thumbnail once, JPEG and library paths, icons
// per rotation, the full picture, and reading ahead on a thread pool.
#include "imaging/dsorgbild.h"
#include "imaging/imagelist.h"
#include "imaging/jpegcodec.h"
#include "imaging/libgfl.h"
#include "jpegtestfiles.h"
#include "support/gflfixture.h"
#include "support/testdata.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrent>

#include <gtest/gtest.h>

namespace {

class HolderLoading : public GflLibraryTest
{
protected:
    QString savePicture(const QImage &image, const QString &name)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path)) << name.toStdString();
        return path;
    }
    QString saveBytes(const QByteArray &bytes, const QString &name)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(jpegtest::writeFile(path, bytes));
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(HolderLoading, JpegGetsASquareThumbnailOnceUntilReloaded)
{
    const QString path =
        saveBytes(jpegtest::encode(jpegtest::quadrants(160, 120)), QStringLiteral("a.JPG"));
    TDsOrgBild holder(path);
    holder.ImageIndex = {3, 4, 5, 6};
    holder.LoadImageData(0, nullptr);
    EXPECT_TRUE(holder.Loaded);
    EXPECT_EQ(holder.Thumbnail.size(), QSize(300, 300));
    EXPECT_EQ(holder.ImageIndex, (std::array<int, 4>{-1, -1, -1, -1}));
    EXPECT_EQ(holder.JpegData.FileSize, QFileInfo(path).size());

    // Loaded once: a changed file is not read again until ReloadImageData.
    ASSERT_TRUE(QFile::remove(path));
    holder.LoadImageData(0, nullptr);
    EXPECT_FALSE(holder.Thumbnail.isNull());
    holder.ReloadImageData(0, nullptr);
    EXPECT_TRUE(holder.Loaded);
    EXPECT_TRUE(holder.Thumbnail.isNull()); // the file is gone: no thumbnail
}

TEST_F(HolderLoading, OtherFormatsNeedTheLibrary)
{
    QImage tall(600, 800, QImage::Format_RGB32);
    tall.fill(Qt::darkGreen);
    const QString png = savePicture(tall, QStringLiteral("tall.png"));
    const QString tiff = savePicture(tall, QStringLiteral("tall.tif"));
    const QString jpeg = saveBytes(jpegtest::encode(tall), QStringLiteral("tall.jpeg"));

    for (const QString &path : {png, tiff, jpeg}) {
        SCOPED_TRACE(path.toStdString());
        TDsOrgBild withoutLibrary(path);
        withoutLibrary.LoadImageData(0, nullptr);
        EXPECT_TRUE(withoutLibrary.Loaded);
        EXPECT_TRUE(withoutLibrary.Thumbnail.isNull()); // metadata only
        EXPECT_GT(withoutLibrary.JpegData.FileTime, 0);

        TDsOrgBild holder(path);
        holder.LoadImageData(0, library);
        EXPECT_EQ(holder.Thumbnail.size(), QSize(225, 300)); // the picture's own aspect
        EXPECT_TRUE(holder.LoadError.isEmpty());
        EXPECT_EQ(holder.JpegData.CaptureTime, holder.JpegData.FileTime);
    }
}

TEST_F(HolderLoading, FailedLibraryLoadKeepsTheThumbnailAndStoresTheText)
{
    const QString broken = saveBytes("not a picture", QStringLiteral("broken.tif"));
    TDsOrgBild holder(broken);
    QImage previous(10, 10, QImage::Format_RGB32);
    previous.fill(Qt::red);
    holder.Thumbnail = previous;
    holder.ImageIndex = {0, 1, -1, -1};
    holder.LoadImageData(0, library);
    EXPECT_TRUE(holder.LoadError.startsWith(QStringLiteral("Unable to read file. ")));
    EXPECT_EQ(holder.Thumbnail, previous);
    EXPECT_EQ(holder.ImageIndex[1], 1);

    QImage deep(8, 8, QImage::Format_RGBX64);
    deep.fill(Qt::blue);
    TDsOrgBild sixteen(savePicture(deep, QStringLiteral("deep.png")));
    sixteen.LoadImageData(0, library);
    EXPECT_EQ(sixteen.LoadError,
              QStringLiteral(
                  "Only image files with 1, 4, 8, 24 or 32 bits per pixel (bpp) are supported."));
    EXPECT_TRUE(sixteen.Thumbnail.isNull());
}

TEST_F(HolderLoading, PalettePicturesLeaveTheirPaletteInTheHolder)
{
    QImage indexed(4, 4, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(1, 2, 3), qRgb(200, 100, 0)});
    indexed.fill(1);
    TDsOrgBild holder(savePicture(indexed, QStringLiteral("pal.png")));
    holder.LoadImageData(0, library);
    ASSERT_GE(holder.Palette.size(), 2);
    EXPECT_EQ(holder.Palette[1], qRgb(200, 100, 0));

    QImage bitmap;
    QString error;
    holder.Palette.clear();
    EXPECT_TRUE(holder.LoadBitmap(0, bitmap, error, library));
    EXPECT_EQ(bitmap.pixel(2, 2), qRgb(200, 100, 0));
    EXPECT_FALSE(holder.Palette.isEmpty());
}

TEST_F(HolderLoading, FullPictureWithoutTheLibraryComesFromTheJpegCodec)
{
    const QString path =
        saveBytes(jpegtest::encode(jpegtest::quadrants(64, 48)), QStringLiteral("full.jpg"));
    TDsOrgBild holder(path);
    QImage bitmap;
    QString error = QStringLiteral("untouched");
    EXPECT_TRUE(holder.LoadBitmap(0, bitmap, error, nullptr));
    EXPECT_EQ(bitmap.size(), QSize(64, 48));

    TDsOrgBild broken(saveBytes("garbage", QStringLiteral("bad.jpg")));
    EXPECT_FALSE(broken.LoadBitmap(0, bitmap, error, nullptr));
    EXPECT_EQ(bitmap.size(), QSize(1, 1));
    EXPECT_EQ(error, QStringLiteral("untouched"));

    EXPECT_FALSE(broken.LoadBitmap(0, bitmap, error, library));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Unable to read file.")));
}

TEST_F(HolderLoading, ReadingAheadOnAThreadPoolGivesWhatLoadingInTurnGives)
{
    QStringList paths;
    for (int i = 0; i < 8; ++i) {
        QImage picture(120 + 8 * i, 90, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(i * 40, 200, 200));
        paths << (i % 2 ? savePicture(picture, QStringLiteral("p%1.png").arg(i))
                        : saveBytes(jpegtest::encode(picture), QStringLiteral("p%1.jpg").arg(i)));
    }
    const TGflLibrary *gfl = library;
    const QList<ImageDataResult> parallel = QtConcurrent::blockingMapped(
        paths, [gfl](const QString &path) { return readImageData(path, TJPEGData(), gfl); });
    ASSERT_EQ(parallel.size(), paths.size());
    for (qsizetype i = 0; i < paths.size(); ++i) {
        TDsOrgBild inTurn(paths[i]);
        inTurn.LoadImageData(0, library);
        TDsOrgBild applied(paths[i]);
        applied.applyImageData(parallel[i]);
        EXPECT_TRUE(applied.Loaded);
        EXPECT_EQ(applied.Thumbnail, inTurn.Thumbnail) << i;
        EXPECT_EQ(applied.JpegData.FileSize, inTurn.JpegData.FileSize);
        EXPECT_EQ(applied.JpegData.CaptureTime, inTurn.JpegData.CaptureTime);
    }
}

TEST(HolderIcons, LandscapeThumbnailTurnedClockwiseIntoASquareIcon)
{
    QImage thumbnail(300, 150, QImage::Format_RGB32);
    for (int x = 0; x < 300; ++x)
        for (int y = 0; y < 150; ++y)
            thumbnail.setPixel(x, y, x < 150 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));

    // Unturned: 16 x 8 picture from row 4, red left, blue right.
    const QImage flat = MakeRotatedIcon(thumbnail, 16, 16, 0);
    EXPECT_EQ(qAlpha(flat.pixel(8, 2)), 0);
    EXPECT_EQ(flat.pixel(2, 8), qRgb(255, 0, 0));
    EXPECT_EQ(flat.pixel(13, 8), qRgb(0, 0, 255));

    // One quarter turn clockwise: the left (red) half goes to the top, the bands to the sides.
    const QImage turned = MakeRotatedIcon(thumbnail, 16, 16, 1);
    ASSERT_EQ(turned.size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(turned.pixel(2, 8)), 0);
    EXPECT_EQ(turned.pixel(8, 2), qRgb(255, 0, 0));
    EXPECT_EQ(turned.pixel(8, 13), qRgb(0, 0, 255));
    // Three quarter turns: red at the bottom; two: red on the right.
    EXPECT_EQ(MakeRotatedIcon(thumbnail, 16, 16, 3).pixel(8, 13), qRgb(255, 0, 0));
    EXPECT_EQ(MakeRotatedIcon(thumbnail, 16, 16, 2).pixel(13, 8), qRgb(255, 0, 0));
    // The exact mapping: (x, y) -> (H-1-y, x).
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(turned.pixel(15 - y, x), flat.pixel(x, y)) << x << "," << y;
}

TEST(HolderIcons, IconsAreBuiltOncePerRotationAndAfterAReset)
{
    THolderList holders;
    int index = -1;
    TDsOrgBild *holder = holders.FindOrCreateHolder(QStringLiteral("/x.jpg"), index);
    TImageList icons(16, 16);
    EXPECT_EQ(holder->GetImageIndex(icons, 0), -1); // no thumbnail yet

    QImage thumbnail(300, 200, QImage::Format_RGB32);
    thumbnail.fill(Qt::gray);
    holder->Thumbnail = thumbnail;
    EXPECT_EQ(holder->GetImageIndex(icons, -1), -1);
    EXPECT_EQ(holder->GetImageIndex(icons, 4), -1);
    EXPECT_EQ(holder->GetImageIndex(icons, 1), 0);
    EXPECT_EQ(holder->GetImageIndex(icons, 3), 1);
    EXPECT_EQ(holder->GetImageIndex(icons, 1), 0);
    EXPECT_EQ(icons.Count(), 2);
    EXPECT_EQ(icons.Image(1).size(), QSize(16, 16));

    icons.SetSize(32, 32);
    holders.ResetImageIndexes(icons);
    EXPECT_EQ(icons.Count(), 0);
    EXPECT_EQ(holder->ImageIndex, (std::array<int, 4>{-1, -1, -1, -1}));
    EXPECT_EQ(holder->GetImageIndex(icons, 3), 0);
    EXPECT_EQ(icons.Image(0).size(), QSize(32, 32));

    // An index that the list no longer has is rebuilt.
    icons.Clear();
    EXPECT_EQ(holder->GetImageIndex(icons, 3), 0);

    // A full list gives the place of the icon used least recently to a new one; the holder
    // that had it builds its icon again when it is asked next.
    icons.SetCapacity(2);
    TDsOrgBild *other = holders.FindOrCreateHolder(QStringLiteral("/y.jpg"), index);
    other->Thumbnail = thumbnail;
    EXPECT_EQ(other->GetImageIndex(icons, 0), 1);
    EXPECT_EQ(holder->GetImageIndex(icons, 3), 0); // used: now the newer one
    EXPECT_EQ(other->GetImageIndex(icons, 1), 1);  // takes the place of other's rotation 0
    EXPECT_EQ(other->BuiltImageIndex(icons, 0), -1);
    EXPECT_EQ(holder->BuiltImageIndex(icons, 3), 0);
    EXPECT_EQ(other->GetImageIndex(icons, 0), 0);
    EXPECT_EQ(icons.Count(), 2);
}

} // namespace
