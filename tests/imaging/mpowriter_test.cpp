// The MPO writer: what it writes is a stereo file whose split gives back the two JPEG files
// byte for byte, that any JPEG reader shows as the left picture, and that exiftool reads as
// two "Multi-frame Disparity" pictures.
#include "imaging/mpowriter.h"
#include "imaging/stereofile.h"
#include "imaging/stereosplit.h"
#include "jpegtestfiles.h"
#include "support/testdata.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

QByteArray photo(const char *name)
{
    return jpegtest::readFile(testDataPath(QStringLiteral("photos/jpg/") + QLatin1String(name)));
}

} // namespace

TEST(MpoWriter, TheSplitOfAWrittenFileGivesBackBothFiles)
{
    struct Row
    {
        const char *name;
        QByteArray left, right;
    } rows[] = {
        {"JFIF, EXIF and an ICC profile", photo("Nikon_D70.jpg"), photo("Canon_40D.jpg")},
        {"EXIF first, no JFIF segment", photo("Reconyx_HC500_Hyperfire.jpg"),
         photo("Canon_PowerShot_S40.jpg")},
        {"progressive pictures without EXIF", jpegtest::progressive(photo("Kodak_CX7530.jpg")),
         jpegtest::progressive(photo("Sony_HDR-HC3.jpg"))},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QString error;
        const std::optional<QByteArray> mpo = WriteMpo(row.left, row.right, &error);
        ASSERT_TRUE(mpo) << error.toStdString();
        TMemorySource source(*mpo);
        const TStereoFile file = ReadStereoFile(source, false);
        ASSERT_EQ(file.format, TStereoFormat::Mpo) << file.problem.toStdString();
        EXPECT_EQ(file.index.images[0].individualNumber, 1u);
        EXPECT_EQ(file.index.images[1].individualNumber, 2u);
        EXPECT_TRUE(file.index.images[0].representative());
        EXPECT_FALSE(file.index.images[1].representative());
        const auto views = SplitStereoFile(source, file);
        ASSERT_TRUE(views);
        EXPECT_EQ((*views)[0].jpeg, row.left);
        EXPECT_EQ((*views)[1].jpeg, row.right);
        // A plain JPEG reader sees the left picture; the EXIF block stays ahead of the index.
        EXPECT_EQ(QImage::fromData(*mpo).size(), QImage::fromData(row.left).size());
        const qsizetype exif = mpo->indexOf("Exif"), mpf = mpo->indexOf(QByteArray("MPF\0", 4));
        EXPECT_TRUE(exif < 0 || exif < mpf);
    }
}

TEST(MpoWriter, OnlyTwoSinglePicturesAreJoined)
{
    const QByteArray jpeg = photo("Canon_40D.jpg");
    const QByteArray mpo =
        jpegtest::readFile(testDataPath(QStringLiteral("photos/mpo/sugarshack.mpo")));
    struct Row
    {
        const char *name;
        QByteArray left, right;
    } rows[] = {
        {"a stereo file as the left picture", mpo, jpeg},
        {"a cut right picture", jpeg, jpeg.left(jpeg.size() - 100)},
        {"no JPEG", QByteArray("not a picture"), jpeg},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QString error;
        EXPECT_FALSE(WriteMpo(row.left, row.right, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    // Padding after a stream is no picture: it is left out, the picture stays whole.
    const std::optional<QByteArray> padded = WriteMpo(jpeg + QByteArray(64, '\0'), jpeg);
    ASSERT_TRUE(padded);
    TMemorySource source(*padded);
    const auto views = SplitStereoFile(source, ReadStereoFile(source, false));
    ASSERT_TRUE(views);
    EXPECT_EQ((*views)[0].jpeg, jpeg);
}

TEST(MpoWriter, ExiftoolReadsTwoDisparityPictures)
{
    const QString exiftool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
    if (exiftool.isEmpty())
        GTEST_SKIP() << "exiftool is not installed (package libimage-exiftool-perl)";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pair.mpo"));
    const std::optional<QByteArray> mpo = WriteMpo(photo("Canon_40D.jpg"), photo("Nikon_D70.jpg"));
    ASSERT_TRUE(mpo);
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(*mpo) == mpo->size());
    out.close();

    // The index as exiftool reads it (-n: type numbers, offsets from the file's start), and
    // its own check of the file's structure.
    QProcess process;
    process.start(exiftool, {QStringLiteral("-j"), QStringLiteral("-a"), QStringLiteral("-G4"),
                             QStringLiteral("-n"), QStringLiteral("-NumberOfImages"),
                             QStringLiteral("-MPImageType"), QStringLiteral("-MPImageStart"),
                             QStringLiteral("-MPImageLength"), QStringLiteral("-Validate"),
                             QStringLiteral("-Warning"), path});
    ASSERT_TRUE(process.waitForFinished(60000));
    const QJsonObject tags =
        QJsonDocument::fromJson(process.readAllStandardOutput()).array().at(0).toObject();
    const QString dump = QString::fromUtf8(QJsonDocument(tags).toJson());
    auto tag = [&](const char *name) {
        return tags.value(QLatin1String(name)).toVariant().toLongLong();
    };
    EXPECT_EQ(tag("Unknown:NumberOfImages"), 2) << dump.toStdString();
    EXPECT_EQ(tag("Copy1:MPImageType"), 0x020002); // "Multi-frame Disparity"
    EXPECT_EQ(tag("Unknown:MPImageType"), 0x020002);
    EXPECT_EQ(tag("Copy1:MPImageStart"), 0);
    EXPECT_EQ(tag("Unknown:MPImageStart"), tag("Copy1:MPImageLength"));
    EXPECT_EQ(tag("Copy1:MPImageLength") + tag("Unknown:MPImageLength"), mpo->size());
    // Errors, warnings, minor warnings.
    EXPECT_EQ(tags.value(QStringLiteral("Unknown:Validate")).toString(), QStringLiteral("0 0 0"))
        << dump.toStdString();
    EXPECT_FALSE(tags.contains(QStringLiteral("Unknown:Warning"))) << dump.toStdString();
}

TEST(MpoWriter, FilesAreWrittenAndSplitFromDiskByTheirRanges)
{
    QTemporaryDir dir;
    const QString leftPath = testDataPath(QStringLiteral("photos/jpg/Canon_PowerShot_S40.jpg"));
    const QString rightPath = testDataPath(QStringLiteral("photos/jpg/Pentax_K10D.jpg"));
    auto openFd = [](const QString &path, int flags) {
        return ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0644);
    };
    TFileSource left, right;
    ASSERT_EQ(left.open(leftPath), TFileSource::OpenResult::Opened);
    ASSERT_EQ(right.open(rightPath), TFileSource::OpenResult::Opened);
    const std::optional<TMpoPlan> plan = PlanMpo(left, right);
    ASSERT_TRUE(plan);
    const int leftFd = openFd(leftPath, O_RDONLY), rightFd = openFd(rightPath, O_RDONLY);
    const QString mpoPath = dir.filePath(QStringLiteral("pair.mpo"));
    const int mpoFd = openFd(mpoPath, O_WRONLY | O_CREAT | O_EXCL);
    QString error;
    EXPECT_TRUE(WriteMpoFile(*plan, leftFd, rightFd, mpoFd, &error)) << error.toStdString();
    ::close(mpoFd);
    // A file that cannot take the bytes is a failure with its reason.
    const int readOnly = openFd(mpoPath, O_RDONLY);
    EXPECT_FALSE(WriteMpoFile(*plan, leftFd, rightFd, readOnly, &error));
    EXPECT_FALSE(error.isEmpty());
    ::close(readOnly);
    ::close(leftFd);
    ::close(rightFd);
    const QByteArray written = jpegtest::readFile(mpoPath);
    EXPECT_EQ(written, WriteMpo(jpegtest::readFile(leftPath), jpegtest::readFile(rightPath)));

    const TStereoFile file = ReadStereoFile(mpoPath);
    ASSERT_EQ(file.format, TStereoFormat::Mpo) << file.problem.toStdString();
    const int stereoFd = openFd(mpoPath, O_RDONLY);
    for (int v = 0; v < 2; ++v) {
        const QString viewPath = dir.filePath(QStringLiteral("view%1.jpg").arg(v));
        const int out = openFd(viewPath, O_WRONLY | O_CREAT | O_EXCL);
        EXPECT_TRUE(WriteMpoView(stereoFd, file.views[v], out));
        ::close(out);
        EXPECT_EQ(jpegtest::readFile(viewPath), jpegtest::readFile(v == 0 ? leftPath : rightPath));
    }
    ::close(stereoFd);
}
