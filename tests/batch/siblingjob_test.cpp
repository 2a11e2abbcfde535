// A shot's siblings in a batch job on real files: a RAW beside its JPEG and sidecars in both
// naming patterns are renamed, copied and moved with their picture, byte for byte, checked
// before the run, journaled and undone; a vanished sibling fails alone.
#include "batchfixture.h"
#include "wizardfixture.h"

#include "batch/prerunchecks.h"
#include "batch/siblingjob.h"
#include "batch/undo.h"
#include "entries/datensatz.h"
#include "entries/siblings.h"
#include "support/testdata.h"

#include <QDir>
#include <QFile>

namespace {

class SiblingJob : public BatchFixture
{
public:
    // A mixed session: pair "a" whose left shot has a RAW with both kinds of XMP and whose
    // right shot has a ".jpg.pp3" edit, and pair "b" of plain JPEG files. The siblings are
    // grouped from the files as loading does.
    std::vector<TDatensatz *> setUp()
    {
        startRow();
        auto [l, r] = addPair(QStringLiteral("a"), QStringLiteral("P1"));
        addPair(QStringLiteral("b"), QStringLiteral("P2"));
        EXPECT_TRUE(QFile::copy(testDataPath(QStringLiteral("photos/raw/turned.dng")),
                                src(QStringLiteral("a_l.dng"))));
        write(QStringLiteral("a_l.xmp"), "shot edit");
        write(QStringLiteral("a_l.dng.xmp"), "raw edit");
        write(QStringLiteral("a_r.jpg.pp3"), "jpeg edit");
        for (TDatensatz *e : {l, r}) {
            QStringList loaded{e->SourcePath(), SiblingPath(e->SourcePath(), ".dng")};
            loaded.removeIf([](const QString &f) { return !QFile::exists(f); });
            e->SetSiblings(GroupShots(loaded, true).front().siblings);
        }
        engine.SetExtraFiles(SiblingFileProvider());
        return store.Registry.Entries();
    }

    void write(const QString &name, const QByteArray &bytes)
    {
        QFile f(src(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    static TBatchJobSettings job(const char *kind)
    {
        TBatchJobSettings s;
        const QByteArray k(kind);
        s.RenameSource = k == "rename";
        s.CopyToDestination = k == "copy";
        s.MoveToDestination = k == "move";
        s.RenameDestination = !s.RenameSource;
        s.FolderMask = s.RenameSource ? 0 : 7;
        return s;
    }
};

// Each file of the session before the job, and the name it has after it (in the source
// folder for a rename, in the side's destination folder otherwise).
const std::pair<const char *, const char *> NewNames[] = {
    {"a_l.jpg", "L/P1_L.jpg"},         {"a_l.dng", "L/P1_L.dng"}, {"a_l.xmp", "L/P1_L.xmp"},
    {"a_l.dng.xmp", "L/P1_L.dng.xmp"}, {"a_r.jpg", "R/P1_R.jpg"}, {"a_r.jpg.pp3", "R/P1_R.jpg.pp3"},
    {"b_l.jpg", "L/P2_L.jpg"},         {"b_r.jpg", "R/P2_R.jpg"},
};

TEST_F(SiblingJob, SiblingsAreRenamedCopiedAndMovedWithTheirPictureAndUndone)
{
    for (const char *kind : {"rename", "copy", "move"}) {
        SCOPED_TRACE(kind);
        setUp();
        const auto before = files();
        ASSERT_EQ(before.size(), 8);
        const TBatchJobSettings s = job(kind);

        EXPECT_FALSE(run(s)) << qPrintable(logLines(QString()).join(u'\n'));
        EXPECT_EQ(redLines(), 0);
        QMap<QString, QByteArray> expected;
        for (const auto &[old, renamed] : NewNames) {
            const QString name = QString::fromUtf8(renamed);
            const QString target = s.RenameSource ? QStringLiteral("src/") + name.mid(2)
                                                  : QStringLiteral("dest/") + name;
            expected.insert(target, before.value(QStringLiteral("src/") + QString::fromUtf8(old)));
            if (s.CopyToDestination)
                expected.insert(QStringLiteral("src/") + QString::fromUtf8(old),
                                before.value(QStringLiteral("src/") + QString::fromUtf8(old)));
        }
        EXPECT_EQ(files(), expected) << "every file where it belongs, with its bytes";
        // The entry's siblings are found under the new name afterwards.
        const TDatensatz *shot = left.EntryAt(0);
        for (const QString &path : shot->SiblingPaths())
            EXPECT_TRUE(QFile::exists(path)) << qPrintable(path);

        const TUndoReport undo = UndoJob(engine.JournalPath(), realOps, false);
        EXPECT_TRUE(undo.Complete()) << qPrintable(undo.lines.join(u'\n'));
        EXPECT_EQ(files(), before);
    }
}

TEST_F(SiblingJob, AVanishedSiblingFailsAloneAndTheRestGoesOn)
{
    setUp();
    QFile::remove(src(QStringLiteral("a_l.dng")));
    const auto before = files();
    EXPECT_TRUE(run(job("move"))) << "the job is incomplete";
    EXPECT_EQ(redLines(), 2) << "the error line and its reason";
    const QStringList failed = logLines(QStringLiteral("Error moving a file of image"));
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0].contains(QStringLiteral("a_l.dng"))) << qPrintable(failed[0]);
    QStringList moved = files().keys();
    EXPECT_EQ(moved, QStringList({"dest/L/P1_L.dng.xmp", "dest/L/P1_L.jpg", "dest/L/P1_L.xmp",
                                  "dest/L/P2_L.jpg", "dest/R/P1_R.jpg", "dest/R/P1_R.jpg.pp3",
                                  "dest/R/P2_R.jpg"}));
    EXPECT_TRUE(UndoJob(engine.JournalPath(), realOps, false).Complete());
    EXPECT_EQ(files(), before);
}

TEST_F(SiblingJob, AClashOnlyASiblingHasIsFoundByTheChecks)
{
    const std::vector<TDatensatz *> entries = setUp();
    TNameCheckOptions o;
    o.CopyToDestination = o.RenameDestination = true;
    o.ExtraFiles = SiblingFileProvider();
    EXPECT_EQ(CheckNames(entries, o, log).ConflictCount(), 0);
    QDir().mkpath(dest(QStringLiteral("L")));
    QFile(dest(QStringLiteral("L/P1_L.dng"))).open(QIODevice::WriteOnly);
    EXPECT_EQ(CheckNames(entries, o, log).Overwrites, 1);

    // The space check counts the siblings' bytes.
    FakeVolumes volumes;
    TLaufwerke table(volumes);
    CheckSpace(entries, {}, table, log);
    const qint64 without = table.Rows().at(0).Required;
    CheckSpace(entries, {.ExtraFiles = SiblingFileProvider()}, table, log);
    EXPECT_EQ(table.Rows().at(0).Required - without,
              QFileInfo(src(QStringLiteral("a_l.dng"))).size() + 9 + 8 + 9);
}

TEST_F(SiblingJob, OnlyTheJpegIsTurnedAndTheLogSaysSoForTheRaw)
{
    if (!library())
        GTEST_SKIP() << "the imaging modules could not be loaded";
    setUp();
    TDatensatz *shot = left.EntryAt(0);
    shot->SetRotation(1);
    const QByteArray raw = fileBytes(src(QStringLiteral("a_l.dng")));
    TBatchJobSettings s;
    s.RotateSource = true;
    EXPECT_FALSE(run(s));
    EXPECT_EQ(fileBytes(src(QStringLiteral("a_l.dng"))), raw);
    const QStringList notTurned = logLines(QStringLiteral("Not rotated by"));
    ASSERT_EQ(notTurned.size(), 1);
    EXPECT_TRUE(notTurned[0].contains(QStringLiteral("a_l.dng"))) << qPrintable(notTurned[0]);
    EXPECT_TRUE(notTurned[0].contains(QStringLiteral("DNG"))) << qPrintable(notTurned[0]);
    EXPECT_EQ(logLines(QStringLiteral("Rotate by")).size(), 1);
}

} // namespace
