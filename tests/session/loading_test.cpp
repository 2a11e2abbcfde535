// Adding files to the lists: routing by the side marker of the name, numbering, the
// defaults of new pictures, the gap opposite each new picture, what is skipped, dropped
// folders, long paths, and what a batch of files does to the window.
#include "loading_fixture.h"

#include "entries/namingsettings.h"
#include "imaging/dsorgbild.h"
#include "support/paramnames.h"
#include "support/testdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

struct RoutingCase
{
    const char *name;
    int target; // the list dropped on
    int expected;
};

void PrintTo(const RoutingCase &c, std::ostream *os)
{
    *os << c.name << " dropped on the " << (c.target == dsLeft ? "left" : "right") << " list";
}

class LoadingRouting : public LoadingFixture, public ::testing::WithParamInterface<RoutingCase>
{
};

} // namespace

TEST_P(LoadingRouting, NameMarkerDecidesTheList)
{
    const RoutingCase c = GetParam();
    const QString path = copyPhoto(QStringLiteral("jpg/Canon_40D.jpg"), QString::fromUtf8(c.name));
    ListRowModel &target = c.target == dsLeft ? left : right;
    TDatensatz *entry = processor->AddFile(path, target, defaults);
    ASSERT_NE(entry, nullptr);

    ListRowModel &expected = c.expected == dsLeft ? left : right;
    ListRowModel &other = c.expected == dsLeft ? right : left;
    ASSERT_EQ(expected.Count(), 1);
    ASSERT_EQ(other.Count(), 1);
    EXPECT_EQ(expected.EntryAt(0), entry);
    EXPECT_EQ(entry->Side(), c.expected);
    EXPECT_EQ(entry->SourcePath(), path);

    TDatensatz *gap = other.EntryAt(0);
    EXPECT_EQ(gap->Attribute(), daGapNew);
    EXPECT_EQ(gap->Side(), dsGap);
    EXPECT_EQ(gap->Partner(), entry);
    EXPECT_EQ(entry->Partner(), gap);
    EXPECT_EQ(entry->Attribute(), daUnassigned);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LoadingRouting,
    ::testing::Values(RoutingCase{"IMG_0001_L.JPG", dsRight, dsLeft},
                      RoutingCase{"IMG_0001_R.JPG", dsLeft, dsRight},
                      RoutingCase{"img_0002_l.jpg", dsRight, dsLeft}, // upper-cased first
                      RoutingCase{"IMG_0003.JPG", dsRight, dsRight},  // no marker: target
                      RoutingCase{"IMG_0003.JPG", dsLeft, dsLeft},
                      RoutingCase{"IMG_L_0004.JPG", dsRight, dsRight},  // "_L" without dot
                      RoutingCase{"IMG_0005_L.R.JPG", dsRight, dsLeft}, // "_L." wins over "_R."
                      RoutingCase{"IMG_0006_R_L.JPG", dsRight, dsLeft},
                      RoutingCase{"IMG_0007_R.L.JPG", dsLeft, dsRight}),
    [](const ::testing::TestParamInfo<RoutingCase> &param) {
        return ParamName(param.index, std::string(param.param.name) + "_on_" +
                                          (param.param.target == dsLeft ? "left" : "right"));
    });

TEST_F(LoadingFixture, MarkerInTheFolderNameDoesNotCount)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Cam_L.Set")));
    const QString path = dir.filePath(QStringLiteral("Cam_L.Set/IMG_0001.JPG"));
    ASSERT_TRUE(
        QFile::copy(copyPhoto(QStringLiteral("jpg/Canon_40D.jpg"), QStringLiteral("x.jpg")), path));
    ASSERT_NE(processor->AddFile(path, right, defaults), nullptr);
    EXPECT_EQ(right.EntryAt(0)->SourcePath(), path);
    EXPECT_EQ(left.EntryAt(0)->Attribute(), daGapNew);
}

TEST_F(LoadingFixture, NumbersCountFromStartNumberAndGapsTakeTheirRowIndex)
{
    const QStringList paths = copyPhotos(3);
    for (const QString &path : paths)
        processor->AddFile(path, left, defaults);
    ASSERT_EQ(left.Count(), 3);
    ASSERT_EQ(right.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(left.EntryAt(i)->Number(), i);
        EXPECT_EQ(right.EntryAt(i)->Number(), i);
        EXPECT_EQ(right.EntryAt(i)->Partner(), left.EntryAt(i));
    }

    // Another start number moves the numbers of new pictures, not of their gaps.
    store.Naming.StartNumber = 10;
    TDatensatz *fourth = processor->AddFile(
        copyPhoto(QStringLiteral("jpg/Nikon_D70.jpg"), QStringLiteral("D.JPG")), left, defaults);
    EXPECT_EQ(fourth->Number(), 10 + 3 - 1);
    EXPECT_EQ(right.EntryAt(3)->Number(), 3);
    EXPECT_EQ(left.Row(3)->Text(lcNumber), QString(QChar(0xA0)) + QStringLiteral("  12"));
}

TEST_F(LoadingFixture, HugeStartNumberWrapsInsteadOfOverflowing)
{
    store.Naming.StartNumber = std::numeric_limits<qint32>::max();
    const QStringList paths = copyPhotos(3);
    processor->AddFile(paths[0], left, defaults);
    processor->AddFile(paths[1], left, defaults);
    TDatensatz *third = processor->AddFile(paths[2], left, defaults);
    EXPECT_EQ(third->Number(), std::numeric_limits<qint32>::min());
}

TEST_F(LoadingFixture, NewPicturesTakeTheDefaultsOfTheirSide)
{
    defaults.Invert = true;
    defaults.RotationLeft = 3;
    defaults.RotationRight = 1;
    defaults.MirrorLeft = true;
    defaults.MirrorRight = false;
    defaults.ExcludeLeft = false;
    defaults.ExcludeRight = true;
    const QString l = copyPhoto(QStringLiteral("jpg/Canon_40D.jpg"), QStringLiteral("A_L.JPG"));
    const QString r = copyPhoto(QStringLiteral("jpg/Nikon_D70.jpg"), QStringLiteral("A_R.JPG"));
    TDatensatz *le = processor->AddFile(l, right, defaults);
    TDatensatz *re = processor->AddFile(r, left, defaults);

    EXPECT_TRUE(le->Invert());
    EXPECT_EQ(le->Rotation(), 3);
    EXPECT_TRUE(le->Mirror());
    EXPECT_TRUE(le->Batch());
    EXPECT_TRUE(re->Invert());
    EXPECT_EQ(re->Rotation(), 1);
    EXPECT_FALSE(re->Mirror());
    EXPECT_FALSE(re->Batch());
    // An excluded picture shows its source folder as target.
    EXPECT_EQ(re->TargetFolder(), QDir(dir.path()).absolutePath() + QLatin1Char('/'));

    // Gaps take none of them.
    for (TDatensatz *gap : {le->Partner(), re->Partner()}) {
        EXPECT_FALSE(gap->Invert());
        EXPECT_FALSE(gap->Mirror());
        EXPECT_EQ(gap->Rotation(), -1);
    }
}

TEST(NewEntryDefaults, RotationItemOutsideTheGroupCountsAsNone)
{
    NewEntryDefaults d;
    EXPECT_EQ(d.RotationOf(dsLeft), 2); // "180°" is the left group's default item
    EXPECT_EQ(d.RotationOf(dsRight), 0);
    d.RotationLeft = -1;
    d.RotationRight = 4;
    EXPECT_EQ(d.RotationOf(dsLeft), 0);
    EXPECT_EQ(d.RotationOf(dsRight), 0);
}

TEST_F(LoadingFixture, WhatIsNotARegularFileIsSkippedSilently)
{
    const QString fifo = dir.filePath(QStringLiteral("pipe_L.jpg"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder_L.jpg")));
    const QString broken = dir.filePath(QStringLiteral("broken_L.jpg"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere.jpg")), broken));

    for (const QString &path : {dir.filePath(QStringLiteral("missing_L.jpg")), fifo,
                                dir.filePath(QStringLiteral("folder_L.jpg")), broken, QString()}) {
        EXPECT_EQ(processor->AddFile(path, left, defaults), nullptr) << path.toStdString();
    }
    EXPECT_EQ(left.Count(), 0);
    EXPECT_EQ(right.Count(), 0);
    EXPECT_EQ(store.Registry.Count(), 0);

    // A link to a photo is a file.
    const QString link = dir.filePath(QStringLiteral("link_L.jpg"));
    ASSERT_TRUE(
        QFile::link(copyPhoto(QStringLiteral("jpg/Canon_40D.jpg"), QStringLiteral("p.jpg")), link));
    EXPECT_NE(processor->AddFile(link, right, defaults), nullptr);
    EXPECT_EQ(left.Count(), 1);
}

TEST_F(LoadingFixture, PathsLongerThan254CharactersLoad)
{
    QString folder = dir.path();
    while (folder.size() < 300) {
        folder += QStringLiteral("/a_rather_long_folder_name_for_a_stereo_series");
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    const QString path = folder + QStringLiteral("/IMG_0001_L.JPG");
    ASSERT_TRUE(
        QFile::copy(copyPhoto(QStringLiteral("jpg/Canon_40D.jpg"), QStringLiteral("x.jpg")), path));
    ASSERT_GT(path.size(), 254);

    EXPECT_EQ(processor->LoadFiles({path}, right, LoadSource::Drop, defaults), 1);
    ASSERT_TRUE(runUntilIdle());
    TDatensatz *entry = left.EntryAt(0);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->SourcePath(), path);
    EXPECT_EQ(entry->Metadata().Str[jdModel], QStringLiteral("Canon EOS 40D"));
    EXPECT_FALSE(entry->Thumbnail().isNull());
}

TEST(ReadableImageExtensions, JpegAlwaysAndTheLibraryFormatsWhenLoaded)
{
    const QString filter = QStringLiteral("All supported types|*.jpg;*.jpeg;*.png;*.TIF|"
                                          "PNG (*.png)|*.png|TIFF (*.tif;*.tiff)|*.tif;*.tiff|"
                                          "Odd (*.a?c;*.x*)|*.a?c;*.x*|All files (*.*)|*.*");
    EXPECT_EQ(ReadableImageExtensions(false, filter), (QStringList{"jpg", "jpeg", "mpo", "jps"}));
    EXPECT_EQ(ReadableImageExtensions(true, filter),
              (QStringList{"jpg", "jpeg", "mpo", "jps", "png", "tif", "tiff"}));
    EXPECT_EQ(ReadableImageExtensions(true, QString()), (QStringList{"jpg", "jpeg", "mpo", "jps"}));
}

TEST_F(LoadingFixture, DroppedFolderStandsForItsImageFilesSortedByName)
{
    QDir root(dir.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("drop/sub")));
    const QString photo = testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg"));
    for (const char *name :
         {"b.jpg", "A.JPG", "c.jpeg", "d.png", "e.txt", "sub/f.jpg", ".hidden.jpg"})
        ASSERT_TRUE(
            QFile::copy(photo, dir.filePath(QStringLiteral("drop/") + QLatin1String(name))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("drop/b.jpg")),
                            dir.filePath(QStringLiteral("drop/l.jpg"))));
    ASSERT_TRUE(root.mkdir(QStringLiteral("drop/g.jpg"))); // a folder with an image name
    const QString single = dir.filePath(QStringLiteral("drop/e.txt"));
    const QString folder = dir.filePath(QStringLiteral("drop"));

    const QString p = folder + QLatin1Char('/');
    EXPECT_EQ(ExpandDroppedPaths({single, folder, single}, {"jpg", "jpeg"}),
              (QStringList{single, p + "A.JPG", p + "b.jpg", p + "c.jpeg", p + "l.jpg", single}));
    EXPECT_EQ(ExpandDroppedPaths({folder}, {"jpg", "jpeg", "png"}),
              (QStringList{p + "A.JPG", p + "b.jpg", p + "c.jpeg", p + "d.png", p + "l.jpg"}));
    EXPECT_TRUE(
        ExpandDroppedPaths({dir.filePath(QStringLiteral("drop/sub/..//sub"))}, {"png"}).isEmpty());

    // Dropped on a list, the folder's pictures arrive in name order.
    EXPECT_EQ(processor->LoadFiles({folder}, right, LoadSource::Drop, defaults), 4);
    QStringList names;
    for (TDatensatz *e : rowEntries(right))
        names << QFileInfo(e->SourcePath()).fileName();
    EXPECT_EQ(names, (QStringList{"A.JPG", "b.jpg", "c.jpeg", "l.jpg"}));
}

TEST_F(LoadingFixture, BatchOfFilesDisablesConflictingActionsAndMovesProgressEveryFifthFile)
{
    QStringList paths = copyPhotos(12);
    paths.insert(3, dir.filePath(QStringLiteral("missing.jpg")));
    view.sortingActions = true;
    int eventsAtStart = 0;
    bool listsHiddenWhileAdding = true;
    QObject::connect(&left, &ListRowModel::rowsInserted, [&] {
        listsHiddenWhileAdding = listsHiddenWhileAdding && !view.listsVisible && !view.sortAction &&
                                 !view.openActions && !view.batchJob && !view.sortingActions;
        eventsAtStart = view.eventsLetThrough;
    });

    EXPECT_EQ(processor->LoadFiles(paths, left, LoadSource::Drop, defaults), 12);
    EXPECT_TRUE(listsHiddenWhileAdding);
    EXPECT_EQ(eventsAtStart, 1); // a drop lets events through once before adding
    EXPECT_EQ(view.statusHistory.first(), StatusAddingFiles());
    EXPECT_EQ(view.status, QStringLiteral("Reading data 1/3"));
    EXPECT_EQ(view.progressMaximum, 13);
    EXPECT_EQ(view.progressPositions, (std::vector<int>{0, 5, 10}));
    // Afterwards: ordering and opening enabled again, the rest waits for the idle pass.
    EXPECT_TRUE(view.listsVisible);
    EXPECT_TRUE(view.sortAction);
    EXPECT_TRUE(view.openActions);
    EXPECT_FALSE(view.sortingActions);
    EXPECT_FALSE(view.batchJob);
    EXPECT_EQ(left.Count(), 12);
    EXPECT_EQ(processor->IdleIndex(), 0);

    // The open dialogs count the maximum one lower and let no events through first.
    view.eventsLetThrough = 0;
    view.progressPositions.clear();
    EXPECT_EQ(processor->LoadFiles(copyPhotos(2, QStringLiteral("OPEN_")), right,
                                   LoadSource::OpenDialog, defaults),
              2);
    EXPECT_EQ(view.progressMaximum, 1);
    EXPECT_EQ(view.eventsLetThrough, 0);
    EXPECT_EQ(right.Count(), 14);
}
