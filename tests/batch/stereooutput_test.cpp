// The stereo files a job writes, checked with independent tools: exiftool reads the MPO's
// index and our reader splits it back byte for byte; every re-encoded layout has its exact
// size and each of its halves is its view (against ImageMagick's Lanczos resize); the
// views keep their places; the left file's EXIF comes along upright; alignment removes a
// known misalignment.
#include "batch/stereooutput.h"
#include "imaging/exifpatch.h"
#include "imaging/jpegcodec.h"
#include "imaging/stereofile.h"
#include "imaging/stereosplit.h"
#include "paircheck/paircheck.h"
#include "paircheck/stereopairmaker.h"
#include "support/testdata.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

double psnr(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int d[3] = {qRed(p[col]) - qRed(q[col]), qGreen(p[col]) - qGreen(q[col]),
                              qBlue(p[col]) - qBlue(q[col])};
            sum += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QLatin1String(name));
}

// Runs a program and gives its standard output (empty on failure).
QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

QImage decode(const QByteArray &jpeg)
{
    return DecodeJpeg(reinterpret_cast<const unsigned char *>(jpeg.constData()),
                      std::size_t(jpeg.size()), 1);
}

// Two views of one size that look nothing alike: a Canon photo (with its EXIF) and the
// right view of a stereo camera's MPO resized to it by ImageMagick.
class StereoOutputFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        left = dir.filePath(QStringLiteral("left.jpg"));
        right = dir.filePath(QStringLiteral("right.jpg"));
        ASSERT_TRUE(
            QFile::copy(testDataPath(QStringLiteral("photos/jpg/Canon_PowerShot_S40.jpg")), left));
        TFileSource source;
        ASSERT_EQ(source.open(testDataPath(QStringLiteral("photos/mpo/sugarshack.mpo"))),
                  TFileSource::OpenResult::Opened);
        const auto views = SplitStereoFile(source, ReadStereoFile(source, false));
        ASSERT_TRUE(views);
        mpoLeft = (*views)[0].jpeg;
        mpoRight = (*views)[1].jpeg;
        const QImage other =
            decode(mpoRight).scaled(480, 360, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        ASSERT_TRUE(other.save(right, "JPG", 100));
    }

    // ImageMagick's Lanczos resize of a view file to size.
    QImage magickResize(const QString &view, QSize size)
    {
        const QString out = dir.filePath(QStringLiteral("magick_%1x%2_%3.png")
                                             .arg(size.width())
                                             .arg(size.height())
                                             .arg(QFileInfo(view).baseName()));
        run(tool("convert"),
            {view, QStringLiteral("-filter"), QStringLiteral("Lanczos"), QStringLiteral("-resize"),
             QStringLiteral("%1x%2!").arg(size.width()).arg(size.height()), out});
        return QImage(out);
    }

    QTemporaryDir dir;
    QString left, right;
    QByteArray mpoLeft, mpoRight;
};

} // namespace

TEST_F(StereoOutputFiles, LayoutsHaveTheirSizesAndEachHalfIsItsView)
{
    if (tool("convert").isEmpty())
        GTEST_SKIP() << "ImageMagick is not installed (package imagemagick)";
    // first/second: the view in the left (or upper) and right (or lower) half.
    struct Row
    {
        TStereoOutput output;
        QSize size, half;
        bool horizontal;
        bool crossed;
    } rows[] = {
        {TStereoOutput::SideBySide, {960, 360}, {480, 360}, true, false},
        {TStereoOutput::HalfSideBySide, {480, 360}, {240, 360}, true, false},
        {TStereoOutput::CrossEyed, {960, 360}, {480, 360}, true, true},
        {TStereoOutput::Jps, {960, 360}, {480, 360}, true, true},
        {TStereoOutput::OverUnder, {480, 720}, {480, 360}, false, false},
        {TStereoOutput::HalfOverUnder, {480, 360}, {480, 180}, false, false},
    };
    const auto views = PrepareStereoViews({left, {}}, {right, {}}, false);
    ASSERT_TRUE(views);
    for (const Row &row : rows) {
        const QString name = StereoOutputInfo(row.output).Key;
        const TStereoFileResult file = EncodeStereoFile(*views, row.output, DefaultStereoQuality);
        const QImage picture = decode(file.Bytes);
        ASSERT_EQ(picture.size(), row.size) << name.toStdString();
        const QPoint second =
            row.horizontal ? QPoint(row.half.width(), 0) : QPoint(0, row.half.height());
        const QImage first = picture.copy(QRect(QPoint(0, 0), row.half));
        const QImage last = picture.copy(QRect(second, row.half));
        const QImage leftView = magickResize(left, row.half);
        const QImage rightView = magickResize(right, row.half);
        EXPECT_GE(psnr(row.crossed ? last : first, leftView), 40.0) << name.toStdString();
        EXPECT_GE(psnr(row.crossed ? first : last, rightView), 40.0) << name.toStdString();
        // The two views differ so much that a swap cannot pass.
        EXPECT_LT(psnr(row.crossed ? first : last, leftView), 20.0) << name.toStdString();
    }
}

TEST_F(StereoOutputFiles, AnaglyphsGiveRedToTheLeftEyeAndCyanToTheRight)
{
    const auto views = PrepareStereoViews({left, {}}, {right, {}}, false);
    ASSERT_TRUE(views);
    // Pearson correlation of the output's channel with the view's grey value.
    const auto correlation = [](const QImage &out, const QImage &view, int shift) {
        double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
        const double n = double(out.width()) * out.height();
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x) {
                const double a = (out.pixel(x, y) >> shift) & 0xFF;
                const double b = qGray(view.pixel(x, y));
                sx += a, sy += b, sxx += a * a, syy += b * b, sxy += a * b;
            }
        return (sxy - sx * sy / n) / std::sqrt((sxx - sx * sx / n) * (syy - sy * sy / n));
    };
    for (TStereoOutput output : {TStereoOutput::Anaglyph, TStereoOutput::AnaglyphSimple}) {
        const QImage picture = decode(EncodeStereoFile(*views, output, 95).Bytes);
        ASSERT_EQ(picture.size(), QSize(480, 360));
        const char *name = output == TStereoOutput::Anaglyph ? "least squares" : "simple";
        EXPECT_GT(correlation(picture, views->Left, 16), 0.9) << name;  // red
        EXPECT_LT(correlation(picture, views->Right, 16), 0.5) << name; // red
        EXPECT_GT(correlation(picture, views->Right, 8), 0.9) << name;  // green
        EXPECT_LT(correlation(picture, views->Left, 8), 0.5) << name;
    }
}

TEST_F(StereoOutputFiles, MpoIsTwoDisparityPicturesThatSplitBackToTheFiles)
{
    const QString mpoL = dir.filePath(QStringLiteral("mpoL.jpg"));
    const QString mpoR = dir.filePath(QStringLiteral("mpoR.jpg"));
    const QString png = dir.filePath(QStringLiteral("right.png"));
    ASSERT_TRUE(writeFile(mpoL, mpoLeft) && writeFile(mpoR, mpoRight));
    ASSERT_TRUE(QImage(right).save(png));

    const TStereoFileResult notJpeg = MakeMpoFile({mpoL, {}}, {png, {}});
    EXPECT_TRUE(notJpeg.Bytes.isEmpty());
    EXPECT_TRUE(notJpeg.Error.contains(png)) << notJpeg.Error.toStdString();

    const TStereoFileResult mirrored = MakeMpoFile({mpoL, {0, true, false}}, {mpoR, {}});
    EXPECT_FALSE(mirrored.Note.isEmpty()); // the MPO ignores the mirror, and says so

    const TStereoFileResult mpo = MakeMpoFile({mpoL, {}}, {mpoR, {}});
    ASSERT_FALSE(mpo.Bytes.isEmpty()) << mpo.Error.toStdString();
    EXPECT_TRUE(mpo.Note.isEmpty());
    TMemorySource source(mpo.Bytes);
    const auto split = SplitStereoFile(source, ReadStereoFile(source, false));
    ASSERT_TRUE(split);
    EXPECT_EQ((*split)[0].jpeg, mpoLeft);
    EXPECT_EQ((*split)[1].jpeg, mpoRight);

    if (tool("exiftool").isEmpty())
        GTEST_SKIP() << "exiftool is not installed (package libimage-exiftool-perl)";
    const QString path = dir.filePath(QStringLiteral("pair.mpo"));
    ASSERT_TRUE(writeFile(path, mpo.Bytes));
    const QJsonObject tags =
        QJsonDocument::fromJson(
            run(tool("exiftool"),
                {QStringLiteral("-j"), QStringLiteral("-a"), QStringLiteral("-G4"),
                 QStringLiteral("-NumberOfImages"), QStringLiteral("-MPImageType"), path}))
            .array()
            .at(0)
            .toObject();
    EXPECT_EQ(tags.value(QStringLiteral("Unknown:NumberOfImages")).toInt(), 2);
    EXPECT_EQ(tags.value(QStringLiteral("Copy1:MPImageType")).toString(),
              QStringLiteral("Multi-frame Disparity"));
    EXPECT_EQ(tags.value(QStringLiteral("Unknown:MPImageType")).toString(),
              QStringLiteral("Multi-frame Disparity"));
}

TEST_F(StereoOutputFiles, ReencodedFilesCarryTheLeftExifUprightAndTheLooks)
{
    // A left file the camera marked as turned (orientation 6): the look turns it, and the
    // file says it needs no more turning.
    const QString turned = testDataPath(QStringLiteral("photos/jpg/orientation/landscape_6.jpg"));
    ASSERT_EQ(exifpatch::readOrientation(
                  reinterpret_cast<const std::uint8_t *>(fileBytes(turned).constData()),
                  std::size_t(fileBytes(turned).size())),
              6);
    const auto views =
        PrepareStereoViews({turned, {1, false, false}}, {turned, {1, true, true}}, false);
    ASSERT_TRUE(views);
    ASSERT_EQ(views->Left.size(), QSize(600, 450)); // turned a quarter
    const QByteArray file = EncodeStereoFile(*views, TStereoOutput::SideBySide, 90).Bytes;
    EXPECT_EQ(exifpatch::readOrientation(reinterpret_cast<const std::uint8_t *>(file.constData()),
                                         std::size_t(file.size())),
              1);
    // The right view is the left one mirrored and inverted.
    const QImage expected = views->Left.mirrored(true, false);
    const QRgb a = views->Right.pixel(10, 20), b = expected.pixel(10, 20);
    EXPECT_EQ(qRed(a), 255 - qRed(b));
    EXPECT_EQ(qBlue(a), 255 - qBlue(b));

    // Views of different sizes: the larger one covers the smaller one's size.
    const auto mixed = PrepareStereoViews(
        {left, {}}, {testDataPath(QStringLiteral("photos/jpg/Reconyx_HC500_Hyperfire.jpg")), {}},
        false);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->Right.size(), QSize(480, 360));
}

TEST(StereoOutputAlignment, KnownMisalignmentsAreUndone)
{
    const QImage source =
        PairSourcePhoto(testDataPath(QStringLiteral("photos/jpg/Reconyx_HC500_Hyperfire.jpg")));
    ASSERT_FALSE(source.isNull());
    struct Row
    {
        const char *name;
        TPairRecipe recipe;
    } rows[] = {
        {"1.5 % lower, turned 1 degree", {1.5, 1.0, 0, -3.0, -0.5}},
        {"2 % higher, turned -1.5 degrees, 1 % larger", {-2.0, -1.5, 1.0, -2.0, 0.5}},
    };
    QTemporaryDir dir;
    for (const Row &row : rows) {
        const TMadePair pair = MakeStereoPair(source, row.recipe);
        const QString l = dir.filePath(QStringLiteral("l.png")), r = dir.filePath("r.png");
        ASSERT_TRUE(pair.Left.save(l) && pair.Right.save(r));
        const auto views = PrepareStereoViews({l, {}}, {r, {}}, true);
        ASSERT_TRUE(views && views->Aligned) << row.name;
        const TPairCheck check = CheckPair(views->Left, views->Right);
        ASSERT_TRUE(check.Measured) << row.name;
        EXPECT_NEAR(check.VerticalOffset, 0.0, 0.1) << row.name;
        EXPECT_NEAR(check.Rotation, 0.0, 0.1) << row.name;
        EXPECT_NEAR(check.Scale, 0.0, 0.2) << row.name;
        // The nearest point now lies at the window.
        EXPECT_NEAR(check.NearParallax, 0.0, 0.3) << row.name;
        // Nothing black from the turn is left in the corners.
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(views->Right.width() - 1, views->Right.height() - 1)})
            EXPECT_GT(qGray(views->Right.pixel(corner)), 0) << row.name;
    }
}

TEST(StereoOutputNames, KeysListsAndFileNames)
{
    QString unknown;
    EXPECT_EQ(ParseStereoOutputs(QStringLiteral("anaglyph,mpo,sbs,mpo")),
              (QList<TStereoOutput>{TStereoOutput::Mpo, TStereoOutput::SideBySide,
                                    TStereoOutput::Anaglyph}));
    EXPECT_FALSE(ParseStereoOutputs(QStringLiteral("sbs,3d"), &unknown));
    EXPECT_EQ(unknown, QStringLiteral("3d"));
    QStringList names;
    for (const TStereoOutputInfo &info : StereoOutputs())
        names.append(StereoOutputFileName(QStringLiteral("Pair_0001"), info.Output).toLower());
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size())
        << "two outputs of one pair would clash";
    EXPECT_EQ(StereoOutputFileName(QStringLiteral("P"), TStereoOutput::Jps),
              QStringLiteral("P.jps"));
}
