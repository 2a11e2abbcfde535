// The files an entry brings into a job besides its own, through one provider: a sidecar
// beside each picture ("x.jpg" brings "x.xmp") follows its picture through the checks, the
// run, the journal, undo and the plan.
#include "batchfixture.h"
#include "wizardfixture.h"

#include "batch/extrafiles.h"
#include "batch/prerunchecks.h"
#include "batch/undo.h"
#include "entries/datensatz.h"

#include <QDir>
#include <QFile>

namespace {

class ExtraFiles : public BatchFixture
{
public:
    static QString sidecarOf(const QString &picture)
    {
        return picture.left(picture.lastIndexOf(u'.')) + ".xmp";
    }

    // The provider under test: the sidecar goes where the picture goes, the way it goes.
    static std::vector<TExtraFile> sidecars(const TDatensatz &e, TEntryStep step,
                                            const QString &target)
    {
        const QString source = sidecarOf(e.SourcePath());
        if (!QFile::exists(source))
            return {};
        const TExtraFileKind kind = step == TEntryStep::Rename ? TExtraFileKind::Rename
                                    : step == TEntryStep::Move ? TExtraFileKind::Move
                                                               : TExtraFileKind::Copy;
        TExtraFile sidecar;
        sidecar.kind = kind;
        sidecar.source = source;
        sidecar.target = sidecarOf(target);
        return {sidecar};
    }

    void writeSidecar(const QString &picture, const QByteArray &bytes)
    {
        QFile f(sidecarOf(picture));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

TEST_F(ExtraFiles, SidecarsAreCheckedRunJournaledUndoneAndPlannedWithTheirPictures)
{
    struct Row
    {
        const char *name;
        TBatchJobSettings settings;
        QStringList sidecarsAfter; // every .xmp file after the run
        const char *planLine;      // the sidecar's line in the dry run
        qint64 spaceOnVolume;      // what the space check adds for the pair's two sidecars
    } rows[] = {
        {"rename",
         [] {
             TBatchJobSettings s;
             s.RenameSource = true;
             return s;
         }(),
         {"src/P1_L.xmp", "src/P1_R.xmp"},
         "rename SRC/a_l.xmp -> SRC/P1_L.xmp",
         -1},
        {"copy",
         [] {
             TBatchJobSettings s;
             s.CopyToDestination = s.RenameDestination = true;
             s.FolderMask = 7;
             return s;
         }(),
         {"dest/L/P1_L.xmp", "dest/R/P1_R.xmp", "src/a_l.xmp", "src/a_r.xmp"},
         "copy SRC/a_l.xmp -> DEST/L/P1_L.xmp",
         10},
        {"move",
         [] {
             TBatchJobSettings s;
             s.MoveToDestination = s.RenameDestination = true;
             s.FolderMask = 7;
             return s;
         }(),
         {"dest/L/P1_L.xmp", "dest/R/P1_R.xmp"},
         "move SRC/a_l.xmp -> DEST/L/P1_L.xmp",
         0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const auto setUp = [this] {
            startRow();
            auto [l, r] = addPair(QStringLiteral("a"), QStringLiteral("P1"));
            writeSidecar(l->SourcePath(), "left!");
            writeSidecar(r->SourcePath(), "right");
            return store.Registry.Entries();
        };
        const std::vector<TDatensatz *> entries = setUp();
        engine.SetExtraFiles(sidecars);
        const auto before = files();

        // The checks: nothing in the way; then a file where a sidecar would go, and a
        // sidecar target that another entry claims, are conflicts.
        TNameCheckOptions o;
        o.RenameSource = row.settings.RenameSource;
        o.CopyToDestination = row.settings.CopyToDestination;
        o.MoveToDestination = row.settings.MoveToDestination;
        o.RenameDestination = row.settings.RenameDestination;
        o.ExtraFiles = sidecars;
        EXPECT_EQ(CheckNames(entries, o, log).ConflictCount(), 0);
        const QString firstTarget = m_root.path() + u'/' + row.sidecarsAfter.first();
        QDir().mkpath(PathFolder(firstTarget));
        QFile(firstTarget).open(QIODevice::WriteOnly);
        EXPECT_EQ(CheckNames(entries, o, log).Overwrites, 1);
        QFile::remove(firstTarget);
        o.ExtraFiles = [](const TDatensatz &e, TEntryStep step, const QString &target) {
            auto files = sidecars(e, step, target);
            for (TExtraFile &f : files)
                f.target = PathFolder(e.SourcePath()) + "same.xmp";
            return files;
        };
        EXPECT_EQ(CheckNames(entries, o, log).Duplicates, 1);

        if (row.spaceOnVolume >= 0) {
            FakeVolumes volumes;
            TLaufwerke table(volumes);
            CheckSpace(entries, {.Move = row.settings.MoveToDestination}, table, log);
            const qint64 without = table.Rows().at(0).Required;
            CheckSpace(entries, {.Move = row.settings.MoveToDestination, .ExtraFiles = sidecars},
                       table, log);
            EXPECT_EQ(table.Rows().at(0).Required - without, row.spaceOnVolume);
        }

        // The dry run lists the sidecar's operation after its picture's.
        TPlanFileOps plan;
        EXPECT_FALSE(run(row.settings, &plan));
        QString text = plan.PlanText().join(u'\n');
        text.replace(src(QString()), "SRC/").replace(dest(QString()), "DEST/");
        EXPECT_TRUE(text.contains(QString::fromUtf8(row.planLine))) << qPrintable(text);
        EXPECT_EQ(files(), before);

        // The run moves the sidecars with their pictures and journals them; undo puts
        // everything back as it was.
        setUp();
        EXPECT_FALSE(run(row.settings));
        QStringList sidecarsAfter;
        for (const QString &name : files().keys())
            if (name.endsWith(".xmp"))
                sidecarsAfter << name;
        EXPECT_EQ(sidecarsAfter, row.sidecarsAfter);
        EXPECT_EQ(logLines(QStringLiteral("a file of image")).size(), 2);
        EXPECT_EQ(redLines(), 0);
        QFile journal(engine.JournalPath());
        ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
        EXPECT_EQ(journal.readAll().count(".xmp\",\"target\""), 2)
            << "an intent line for each sidecar";
        const TUndoReport undo = UndoJob(engine.JournalPath(), realOps, false);
        EXPECT_TRUE(undo.Complete()) << qPrintable(undo.lines.join(u'\n'));
        EXPECT_EQ(files(), before);
    }
}

} // namespace
