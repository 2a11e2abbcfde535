// Stereo cameras' own files: which files are stereo files and which views they hold, the
// lossless split into two JPEG files, and the rebuild of a moved file from its views.
// Real files (a handheld stereo camera's MPO, a phone's multi-picture file that is not
// stereo) and files assembled from real JPEG pictures.
#include "imaging/stereofile.h"
#include "imaging/stereosplit.h"
#include "jpegtestfiles.h"
#include "support/stereoassembler.h"
#include "support/testdata.h"

#include <QImage>
#include <QJsonArray>

#include <gtest/gtest.h>

using namespace stereotest;

namespace {

QByteArray photo(const QString &relative)
{
    return jpegtest::readFile(testDataPath(QStringLiteral("photos/") + relative));
}

TStereoFile read(const QByteArray &bytes, bool jps = false)
{
    TMemorySource source(bytes);
    return ReadStereoFile(source, jps);
}

std::array<TSplitView, 2> split(const QByteArray &bytes, const TStereoFile &file)
{
    TMemorySource source(bytes);
    QString error;
    const auto views = SplitStereoFile(source, file, &error);
    EXPECT_TRUE(views) << error.toStdString();
    return views.value_or(std::array<TSplitView, 2>{});
}

const QByteArray &left()
{
    static const QByteArray bytes = photo(QStringLiteral("jpg/Canon_40D.jpg"));
    return bytes;
}

const QByteArray &right()
{
    static const QByteArray bytes = photo(QStringLiteral("jpg/Nikon_D70.jpg"));
    return bytes;
}

const QByteArray &third()
{
    static const QByteArray bytes = photo(QStringLiteral("jpg/Kodak_CX7530.jpg"));
    return bytes;
}

bool hasMpfSegment(const QByteArray &jpeg)
{
    const qsizetype at = jpeg.indexOf(QByteArray("MPF\0", 4));
    return at >= 4 && jpeg.at(at - 3) == char(0xE2);
}

constexpr std::uint32_t Disparity = 0x020002;

MpoPicture pic(const QByteArray &jpeg, std::uint32_t attribute = Disparity,
               std::uint32_t number = 0, const QByteArray &before = {})
{
    MpoPicture picture;
    picture.jpeg = jpeg;
    picture.attribute = attribute;
    picture.individualNumber = number;
    picture.before = before;
    return picture;
}

// What the index says of the picture instead of the truth.
MpoPicture declared(MpoPicture picture, std::optional<std::uint32_t> size,
                    std::optional<std::uint32_t> offset = {})
{
    picture.declaredSize = size;
    picture.declaredOffset = offset;
    return picture;
}

MpoOptions options(bool littleEndian, const QByteArray &version = "0100",
                   std::optional<std::uint32_t> count = {}, const QByteArray &after = {})
{
    MpoOptions o;
    o.littleEndian = littleEndian;
    o.version = version;
    o.declaredCount = count;
    o.after = after;
    return o;
}

} // namespace

TEST(StereoFile, RealFilesAreTakenForWhatTheyAre)
{
    const QByteArray shack = photo(QStringLiteral("mpo/sugarshack.mpo"));
    // The camera's two views, one padding byte between them; each loses only its MPF segment.
    {
        const TStereoFile file = read(shack);
        ASSERT_EQ(file.format, TStereoFormat::Mpo) << file.problem.toStdString();
        ASSERT_EQ(file.index.images.size(), 2);
        EXPECT_EQ(MpImageTypeName(file.index.images[1].type()),
                  QStringLiteral("Multi-frame Disparity"));
        EXPECT_TRUE(file.index.images[0].representative());
        EXPECT_EQ(file.views[0].offset, 0);
        EXPECT_EQ(file.views[0].length, 60007);
        EXPECT_EQ(file.views[1].offset, 60008);
        EXPECT_EQ(file.views[1].length, 60190);
        // What `inspect` prints: the index as the file states it (offsets from the file's start).
        const QJsonObject json = StereoFileJson(file);
        EXPECT_EQ(json[QStringLiteral("stereo")].toString(), QStringLiteral("mpo"));
        const QJsonArray images =
            json[QStringLiteral("mpIndex")][QStringLiteral("images")].toArray();
        ASSERT_EQ(images.size(), 2);
        EXPECT_EQ(images[1][QStringLiteral("offset")].toInteger(), 60008);
        EXPECT_EQ(images[1][QStringLiteral("size")].toInteger(), 60190);
        EXPECT_EQ(images[1][QStringLiteral("individualNumber")].toInteger(), 2);
        const auto views = split(shack, file);
        EXPECT_EQ(views[0].jpeg, shack.mid(0, 6010) + shack.mid(6170, 60007 - 6170));
        EXPECT_EQ(views[1].jpeg, shack.mid(60008, 66036 - 60008) + shack.mid(66134));
        for (const TSplitView &view : views) {
            EXPECT_FALSE(view.reencoded);
            EXPECT_FALSE(hasMpfSegment(view.jpeg));
            EXPECT_EQ(QImage::fromData(view.jpeg).size(), QSize(640, 480));
        }
    }
    // A phone's picture with a second picture of type "Undefined": one picture, with the index.
    {
        const TStereoFile file = read(photo(QStringLiteral("mpo/frame_size.mpo")));
        EXPECT_EQ(file.format, TStereoFormat::None);
        EXPECT_FALSE(file.problem.isEmpty());
        ASSERT_EQ(file.index.images.size(), 2);
        EXPECT_EQ(MpImageTypeName(file.index.images[1].type()), QStringLiteral("Undefined"));
    }
    // A plain JPEG: nothing to say, also when it is called a JPS but is cut short.
    EXPECT_EQ(read(left()).format, TStereoFormat::None);
    EXPECT_TRUE(read(left()).problem.isEmpty());
    EXPECT_FALSE(read(left()).index.present);
    EXPECT_FALSE(ReadStereoFile(testDataPath(QStringLiteral("no such file.mpo"))).isStereo());
}

TEST(StereoFile, TheViewsAreTheTwoLowestNumberedDisparityPictures)
{
    const MpoOptions plain = options(false);
    struct Row
    {
        const char *name;
        QList<MpoPicture> pictures;
        MpoOptions options;
        int view1, view2; // their places in the index
    } rows[] = {
        {"numbers in index order",
         {pic(left(), Disparity, 1), pic(right(), Disparity, 2)},
         plain,
         0,
         1},
        {"little-endian index",
         {pic(left(), Disparity, 1), pic(right(), Disparity, 2)},
         options(true),
         0,
         1},
        {"view 1 stored second",
         {pic(left(), Disparity, 2), pic(right(), Disparity, 1)},
         plain,
         1,
         0},
        {"no numbers: index order", {pic(left()), pic(right())}, plain, 0, 1},
        {"one number missing: index order",
         {pic(left(), Disparity, 3), pic(right()), pic(third(), Disparity, 1)},
         plain,
         0,
         1},
        {"three views",
         {pic(left(), Disparity, 3), pic(right(), Disparity, 2), pic(third(), Disparity, 1)},
         plain,
         2,
         1},
        {"a primary picture before the views",
         {pic(left(), 0x20030000), pic(right(), Disparity, 1), pic(third(), Disparity, 2)},
         plain,
         1,
         2},
        {"multi-angle pictures beside the views",
         {pic(left(), 0x020003, 1), pic(right(), Disparity, 5), pic(third(), Disparity, 6)},
         plain,
         1,
         2},
        {"padding between and after",
         {pic(left(), Disparity, 1), pic(right(), Disparity, 2, QByteArray(7, '\0'))},
         options(false, "0100", {}, QByteArray(100, '\xFF')),
         0,
         1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray bytes = assembleMpo(row.pictures, row.options);
        const TStereoFile file = read(bytes);
        ASSERT_EQ(file.format, TStereoFormat::Mpo) << file.problem.toStdString();
        EXPECT_EQ(file.views[0].indexPosition, row.view1);
        EXPECT_EQ(file.views[1].indexPosition, row.view2);
        // Each view file is the picture it was assembled from, byte for byte.
        const auto views = split(bytes, file);
        EXPECT_EQ(views[0].jpeg, row.pictures[row.view1].jpeg);
        EXPECT_EQ(views[1].jpeg, row.pictures[row.view2].jpeg);
    }
}

TEST(StereoFile, ADamagedOrForeignIndexIsNoPair)
{
    const QByteArray cut = right().left(right().size() - 200);
    const QList<MpoPicture> pair{pic(left()), pic(right())};
    const MpoOptions plain = options(false);
    struct Row
    {
        const char *name;
        QList<MpoPicture> pictures;
        MpoOptions options;
        qsizetype keep;     // the file cut to this many bytes (-1: whole)
        const char *reason; // a word of the reason the file is no pair
    } rows[] = {
        {"a count of 0", pair, options(false, "0100", 0u), -1, "no picture"},
        {"a count of 10,000", pair, options(false, "0100", 10000u), -1, "outside its segment"},
        {"version 0200", pair, options(false, "0200"), -1, "version"},
        {"multi-angle pictures",
         {pic(left(), 0x020003), pic(right(), 0x020003)},
         plain,
         -1,
         "not the two views"},
        {"a gain map",
         {pic(left(), 0x030000), pic(right(), 0x000000)},
         plain,
         -1,
         "not the two views"},
        {"a second picture in another format",
         {pic(left()), pic(right(), 0x01020002)},
         plain,
         -1,
         "not the two views"},
        {"an offset past the end",
         {pic(left()), declared(pic(right()), {}, 1u << 30)},
         plain,
         -1,
         "past the end"},
        {"a size past the end",
         {pic(left()), declared(pic(right()), 1u << 30)},
         plain,
         -1,
         "past the end"},
        {"the file cut inside view 2", pair, plain, left().size() + 500, "past the end"},
        {"overlapping pictures",
         {pic(left()), declared(pic(right()), {}, 100u)},
         plain,
         -1,
         "overlap"},
        {"a zero-size picture", {pic(left()), declared(pic(right()), 0u)}, plain, -1, "empty"},
        {"a first picture that does not start the file",
         {declared(pic(left()), {}, 40u), pic(right())},
         plain,
         -1,
         "does not start"},
        {"view 2 without its start marker",
         {pic(left()), pic(right().mid(2))},
         plain,
         -1,
         "view 2 is not a complete"},
        {"view 2 without its end marker",
         {pic(left()), pic(cut)},
         plain,
         -1,
         "view 2 is not a complete"},
        {"view 2's end past its declared size",
         {pic(left()), declared(pic(right()), std::uint32_t(right().size() - 10))},
         plain,
         -1,
         "view 2 is not a complete"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QByteArray bytes = assembleMpo(row.pictures, row.options);
        if (row.keep >= 0)
            bytes.truncate(row.keep);
        const TStereoFile file = read(bytes);
        EXPECT_EQ(file.format, TStereoFormat::None);
        EXPECT_FALSE(file.problem.isEmpty());
        EXPECT_TRUE(file.index.present);
        EXPECT_TRUE(file.problem.contains(QLatin1String(row.reason))) << file.problem.toStdString();
    }
}

TEST(StereoFile, AMovedFileIsRebuiltExactlyFromItsViews)
{
    struct Row
    {
        const char *name;
        QByteArray bytes;
    } rows[] = {
        {"the real camera file", photo(QStringLiteral("mpo/sugarshack.mpo"))},
        {"view 1 stored second, padding between and after",
         assembleMpo({pic(left(), Disparity, 2), pic(right(), Disparity, 1, "pad")},
                     options(false, "0100", {}, "trailing bytes"))},
        {"a primary picture and a thumbnail around the views",
         assembleMpo({pic(left(), 0x030000), pic(right(), Disparity, 1), pic(third(), Disparity, 2),
                      pic(left(), 0x010001)})},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const TStereoFile file = read(row.bytes);
        ASSERT_TRUE(file.isStereo()) << file.problem.toStdString();
        const auto views = split(row.bytes, file);
        TMemorySource source(row.bytes);
        const std::optional<TStereoRemainder> remainder = MpoRemainder(source, file);
        ASSERT_TRUE(remainder);
        EXPECT_EQ(remainder->keptBytes() + views[0].jpeg.size() + views[1].jpeg.size(),
                  row.bytes.size());
        // Through the journal's byte form and back.
        const std::optional<TStereoRemainder> stored =
            TStereoRemainder::parse(remainder->serialize());
        ASSERT_TRUE(stored);
        EXPECT_EQ(RebuildStereoFile(views[0].jpeg, views[1].jpeg, *stored), row.bytes);
        // Views swapped or changed since: no rebuild, never a wrong file.
        EXPECT_FALSE(RebuildStereoFile(views[1].jpeg, views[0].jpeg, *stored));
        QByteArray touched = views[1].jpeg;
        touched[touched.size() / 2] = char(touched[touched.size() / 2] ^ 1);
        EXPECT_FALSE(RebuildStereoFile(views[0].jpeg, touched, *stored));
        EXPECT_FALSE(RebuildStereoFile(views[0].jpeg, views[1].jpeg.left(100), *stored));
        TStereoRemainder huge = *stored; // a size from a damaged journal: refused, not allocated
        huge.fileSize = qint64(1) << 62;
        EXPECT_FALSE(RebuildStereoFile(views[0].jpeg, views[1].jpeg, huge));
        // A damaged byte form is refused, not read past its end.
        const QByteArray form = remainder->serialize();
        for (const qsizetype length :
             {qsizetype(0), qsizetype(10), form.size() / 2, form.size() - 1})
            EXPECT_FALSE(TStereoRemainder::parse(form.left(length))) << length;
    }
    // A JPS's halves are new streams: nothing rebuilds it.
    const QByteArray jps =
        assembleJps(QImage::fromData(left()), QImage::fromData(right()), false, {});
    TMemorySource source(jps);
    EXPECT_FALSE(MpoRemainder(source, read(jps, true)));
}
