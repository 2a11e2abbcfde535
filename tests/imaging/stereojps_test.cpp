// JPS files: where each view lies (descriptor or the crossed default), the lossless cut on
// the MCU grid and the re-encoded halves off it, and the JPS files that are no pair.
#include "imaging/stereofile.h"
#include "imaging/stereosplit.h"
#include "support/stereoassembler.h"
#include "support/testdata.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

using namespace stereotest;

namespace {

QImage view(const char *name, QSize size)
{
    QFile file(testDataPath(QStringLiteral("photos/jpg/") + QLatin1String(name)));
    file.open(QIODevice::ReadOnly);
    return QImage::fromData(file.readAll())
        .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

// Mean absolute difference of the colour channels, 0 to 255.
double difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 255;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

} // namespace

TEST(StereoJps, EachViewComesFromItsHalf)
{
    const QSize onGrid(96, 64), offGrid(100, 72);
    struct Row
    {
        const char *name;
        QSize size;
        bool overUnder;
        std::optional<JpsDescriptor> descriptor;
        bool leftFirst; // the left view stands in the first half
        bool reencoded;
    } rows[] = {
        {"no descriptor: crossed", onGrid, false, {}, false, false},
        {"descriptor, crossed", onGrid, false, JpsDescriptor{0x00, 0x02, 0x01}, false, false},
        {"descriptor, left view first", onGrid, false, JpsDescriptor{0x04, 0x02, 0x01}, true,
         false},
        {"over/under, left view on top", onGrid, true, JpsDescriptor{0x04, 0x03, 0x01}, true,
         false},
        {"half width off the MCU grid", offGrid, false, {}, false, true},
        {"half height off the MCU grid", offGrid, true, JpsDescriptor{0x00, 0x03, 0x01}, false,
         true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QImage leftView = view("Canon_40D.jpg", row.size),
                     rightView = view("Nikon_D70.jpg", row.size);
        const QByteArray jps =
            row.leftFirst ? assembleJps(leftView, rightView, row.overUnder, row.descriptor)
                          : assembleJps(rightView, leftView, row.overUnder, row.descriptor);
        TMemorySource source(jps);
        const TStereoFile file = ReadStereoFile(source, true);
        ASSERT_EQ(file.format, TStereoFormat::Jps) << file.problem.toStdString();
        QString error;
        const auto views = SplitStereoFile(source, file, &error);
        ASSERT_TRUE(views) << error.toStdString();
        const QImage decoded[2] = {
            QImage::fromData((*views)[0].jpeg).convertToFormat(QImage::Format_RGB32),
            QImage::fromData((*views)[1].jpeg).convertToFormat(QImage::Format_RGB32)};
        EXPECT_LT(difference(decoded[0], leftView), 8);
        EXPECT_LT(difference(decoded[1], rightView), 8);
        EXPECT_GT(difference(decoded[0], rightView), 20);
        for (const TSplitView &half : *views) {
            EXPECT_EQ(half.reencoded, row.reencoded);
            EXPECT_EQ(half.jpeg.indexOf("_JPSJPS_"), -1); // a half is no JPS
        }
        // A lossless cut is exactly the whole picture's pixels there.
        if (!row.reencoded) {
            const QImage whole = QImage::fromData(jps).convertToFormat(QImage::Format_RGB32);
            const TStereoView &v = file.views[0];
            EXPECT_LT(difference(decoded[0], whole.copy(v.x, v.y, v.width, v.height)), 1.0);
        }
    }
}

TEST(StereoJps, NoPairWithoutTwoViews)
{
    const QImage half = view("Canon_40D.jpg", QSize(96, 64));
    const QByteArray plain = assembleJps(half, half, false, {});
    struct Row
    {
        const char *name;
        QByteArray bytes;
    } rows[] = {
        {"a single picture by its descriptor",
         assembleJps(half, half, false, JpsDescriptor{0x00, 0x02, 0x00})},
        {"anaglyph layout", assembleJps(half, half, false, JpsDescriptor{0x00, 0x04, 0x01})},
        {"cut short", plain.left(plain.size() / 2)},
        {"a descriptor cut short",
         plain.left(2) + QByteArray("\xFF\xE3\x00\x0C_JPSJPS_\x00\x04", 14) + plain.mid(2)},
        {"not a JPEG", QByteArray("plain text, not a picture")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TMemorySource source(row.bytes);
        const TStereoFile file = ReadStereoFile(source, true);
        EXPECT_EQ(file.format, TStereoFormat::None);
        EXPECT_FALSE(file.problem.isEmpty());
    }
    // Only a file named so is read as a JPS.
    TMemorySource source(plain);
    EXPECT_FALSE(ReadStereoFile(source, false).isStereo());
    EXPECT_TRUE(IsJpsFileName(QStringLiteral("/a/b/PAIR.JPS")));
    EXPECT_FALSE(IsJpsFileName(QStringLiteral("/a/b.jps/pair.jpg")));
}
