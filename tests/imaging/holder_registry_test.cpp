// The holder list: one holder per file, shared by reference count, found by any of its paths.
#include "imaging/dsorgbild.h"
#include "imaging/pathcompare.h"
#include "imaging/stereofile.h"
#include "support/testdata.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

TEST(HolderRegistry, EntriesOfOnePathShareOneHolderUntilTheLastReleasesIt)
{
    THolderList list;
    int first = -1, second = -1;
    TDsOrgBild *a = list.FindOrCreateHolder(QStringLiteral("/photos/left/IMG_1.jpg"), first);
    TDsOrgBild *b = list.FindOrCreateHolder(QStringLiteral("/photos/left/IMG_1.jpg"), second);
    ASSERT_EQ(a, b);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(a->RefCount, 2);
    EXPECT_EQ(a->FileName, QStringLiteral("IMG_1.jpg"));
    EXPECT_EQ(list.Count(), 1);

    EXPECT_FALSE(list.ReleaseHolder(a));
    EXPECT_TRUE(list.ReleaseHolder(a));
    list.RemoveHolder(a);
    EXPECT_EQ(list.Count(), 0);
}

TEST(HolderRegistry, NamesDifferingInCaseAreTwoFilesWhereTheFileSystemSaysSo)
{
    THolderList list;
    int index = -1;
    TDsOrgBild *lower = list.FindOrCreateHolder(QStringLiteral("/a/x.jpg"), index);
    TDsOrgBild *upper = list.FindOrCreateHolder(QStringLiteral("/A/X.JPG"), index);
    if (PathCaseSensitivity == Qt::CaseSensitive) {
        EXPECT_NE(lower, upper);
        EXPECT_EQ(list.Count(), 2);
    } else {
        EXPECT_EQ(lower, upper);
        EXPECT_EQ(lower->GetPath(0), QStringLiteral("/a/x.jpg")); // the first spelling stays
    }
}

TEST(HolderRegistry, AllGapsShareTheHolderOfTheEmptyPath)
{
    THolderList list;
    int index = -1;
    TDsOrgBild *image = list.FindOrCreateHolder(QStringLiteral("/p/a.jpg"), index);
    TDsOrgBild *gap1 = list.FindOrCreateHolder(QString(), index);
    TDsOrgBild *gap2 = list.FindOrCreateHolder(QString(), index);
    EXPECT_NE(image, gap1);
    EXPECT_EQ(gap1, gap2);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(gap1->RefCount, 2);
    EXPECT_EQ(gap1->FileName, QString());
    // The gap holder reads nothing and makes no thumbnail.
    gap1->LoadImageData(0, nullptr);
    EXPECT_TRUE(gap1->Loaded);
    EXPECT_TRUE(gap1->Thumbnail.isNull());
    EXPECT_EQ(gap1->JpegData.CaptureTime, 0);
}

TEST(HolderRegistry, AddedPathsFindTheSameHolderWithTheirIndex)
{
    THolderList list;
    int index = -1;
    TDsOrgBild *holder = list.FindOrCreateHolder(QStringLiteral("/src/IMG_1.jpg"), index);
    EXPECT_EQ(holder->AddPath(QStringLiteral("/dst/Pair_001_L.jpg")), 1);
    EXPECT_EQ(holder->AddPath(QStringLiteral("/src/IMG_1.jpg")), 0); // known: same index

    TDsOrgBild *again = list.FindOrCreateHolder(QStringLiteral("/dst/Pair_001_L.jpg"), index);
    EXPECT_EQ(again, holder);
    EXPECT_EQ(index, 1);

    holder->ReplacePath(0, QStringLiteral("/src/renamed.jpg"));
    EXPECT_EQ(holder->GetPath(0), QStringLiteral("/src/renamed.jpg"));
    EXPECT_EQ(holder->FileName, QStringLiteral("IMG_1.jpg")); // the name it was loaded under
    EXPECT_EQ(holder->GetPath(2), QString());
    EXPECT_EQ(holder->GetPath(-1), QString());
    holder->ReplacePath(5, QStringLiteral("/ignored"));
    EXPECT_EQ(holder->Paths.size(), 2);

    // The old name no longer leads to this holder.
    TDsOrgBild *other = list.FindOrCreateHolder(QStringLiteral("/src/IMG_1.jpg"), index);
    EXPECT_NE(other, holder);
}

TEST(HolderRegistry, RemovingOneHolderKeepsTheOthersInOrder)
{
    THolderList list;
    int index = -1;
    TDsOrgBild *a = list.FindOrCreateHolder(QStringLiteral("/a.jpg"), index);
    TDsOrgBild *b = list.FindOrCreateHolder(QStringLiteral("/b.jpg"), index);
    TDsOrgBild *c = list.FindOrCreateHolder(QStringLiteral("/c.jpg"), index);
    ASSERT_TRUE(list.ReleaseHolder(b));
    list.RemoveHolder(b);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(0), a);
    EXPECT_EQ(list.At(1), c);
    EXPECT_EQ(list.IndexOf(b), -1);
    EXPECT_EQ(list.At(2), nullptr);
}

} // namespace

// The registry keeps a path index; these cases change paths behind the lookup's back the
// way the batch run does (rename, copy) and check the lookup still finds the first holder
// in creation order, and never a removed one.
TEST(HolderRegistryIndex, LookupFollowsRenamedCopiedAndRemovedPaths)
{
    THolderList list;
    int index = -1;
    TDsOrgBild *a = list.FindOrCreateHolder(QStringLiteral("/src/a.jpg"), index);
    TDsOrgBild *b = list.FindOrCreateHolder(QStringLiteral("/src/b.jpg"), index);

    a->ReplacePath(0, QStringLiteral("/src/renamed.jpg")); // renamed on disk
    EXPECT_EQ(list.FindOrCreateHolder(QStringLiteral("/src/renamed.jpg"), index), a);
    TDsOrgBild *fresh = list.FindOrCreateHolder(QStringLiteral("/src/a.jpg"), index);
    EXPECT_NE(fresh, a); // the old name is a new file now
    EXPECT_EQ(list.Count(), 3);

    EXPECT_EQ(b->AddPath(QStringLiteral("/dst/b_R.jpg")), 1); // copied to the destination
    EXPECT_EQ(list.FindOrCreateHolder(QStringLiteral("/dst/b_R.jpg"), index), b);
    EXPECT_EQ(index, 1);

    // Two holders that know one path: the earlier one wins.
    fresh->AddPath(QStringLiteral("/dst/b_R.jpg"));
    EXPECT_EQ(list.FindOrCreateHolder(QStringLiteral("/dst/b_R.jpg"), index), b);

    // A holder that knows a path twice keeps it after one of them is replaced.
    a->AddPath(QStringLiteral("/x/one.jpg"));
    a->ReplacePath(1, QStringLiteral("/src/renamed.jpg"));
    a->ReplacePath(0, QStringLiteral("/x/two.jpg"));
    EXPECT_EQ(list.FindOrCreateHolder(QStringLiteral("/src/renamed.jpg"), index), a);
    EXPECT_EQ(index, 1);

    while (!list.ReleaseHolder(b)) {
    }
    list.RemoveHolder(b);
    EXPECT_EQ(list.IndexOf(b), -1);
    TDsOrgBild *again = list.FindOrCreateHolder(QStringLiteral("/dst/b_R.jpg"), index);
    EXPECT_EQ(again, fresh); // the removed holder is never handed out
    EXPECT_EQ(list.IndexOf(a), 0);
    EXPECT_EQ(list.IndexOf(fresh), 1);
}

TEST(HolderRegistryIndex, ThousandsOfDistinctFilesEachGetTheirOwnHolder)
{
    THolderList list;
    int index = -1;
    for (int i = 0; i < 5000; ++i)
        list.FindOrCreateHolder(QStringLiteral("/p/IMG_%1.jpg").arg(i), index);
    ASSERT_EQ(list.Count(), 5000);
    for (int i = 0; i < 5000; i += 997) {
        TDsOrgBild *h = list.FindOrCreateHolder(QStringLiteral("/p/IMG_%1.jpg").arg(i), index);
        EXPECT_EQ(list.IndexOf(h), i);
        EXPECT_EQ(h->RefCount, 2);
    }
}

// Two names of one file (a hard link) share a holder, for a whole file and for each view of
// a stereo file; the two views of one file, and a copy of it, never share one.
TEST(HolderRegistryIndex, HardLinkedNamesOfAFileOrOfAViewShareOneHolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString jpeg = dir.filePath(QStringLiteral("IMG_1.jpg"));
    const QString mpo = dir.filePath(QStringLiteral("DSCF0001.MPO"));
    ASSERT_TRUE(QFile::copy(testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg")), jpeg));
    ASSERT_TRUE(QFile::copy(testDataPath(QStringLiteral("photos/mpo/sugarshack.mpo")), mpo));
    const TStereoFile stereo = ReadStereoFile(mpo);
    ASSERT_TRUE(stereo.isStereo());
    const auto viewPart = [&](int v) {
        const TStereoView &view = stereo.views[std::size_t(v - 1)];
        return TPicturePart{v, view.offset, view.length, QRect()};
    };
    const auto linked = [&](const QString &path, const QString &name) {
        const QString link = dir.filePath(name);
        EXPECT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()),
                  0);
        return link;
    };
    const QString copy = dir.filePath(QStringLiteral("copy.MPO"));
    ASSERT_TRUE(QFile::copy(mpo, copy));

    THolderList list;
    int index = -1;
    const struct
    {
        const char *name;
        QString first, second;
        TPicturePart firstPart, secondPart;
        bool shared;
    } rows[] = {
        {"a JPEG and its hard link",
         jpeg,
         linked(jpeg, QStringLiteral("IMG_1_link.jpg")),
         {},
         {},
         true},
        {"view 1 under two names", mpo, linked(mpo, QStringLiteral("P_L.MPO")), viewPart(1),
         viewPart(1), true},
        {"view 2 under two names", mpo, dir.filePath(QStringLiteral("P_L.MPO")), viewPart(2),
         viewPart(2), true},
        {"the two views of one file", mpo, dir.filePath(QStringLiteral("P_L.MPO")), viewPart(1),
         viewPart(2), false},
        {"a view and the same view of a copy", mpo, copy, viewPart(1), viewPart(1), false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TDsOrgBild *a = list.FindOrCreateHolder(row.first, index, row.firstPart);
        TDsOrgBild *b = list.FindOrCreateHolder(row.second, index, row.secondPart);
        EXPECT_EQ(a == b, row.shared);
        EXPECT_EQ(b->Part, row.secondPart);
        if (row.shared) {
            EXPECT_EQ(b->GetPath(index), row.second) << "the name it was asked for";
        }
    }
}
