// Stereo cameras' files in a batch job: their views are written as JPEG files of their own,
// an MPO byte for byte, and a move takes the stereo file away only where undo can rebuild it.
#include "batchfixture.h"

#include "batch/prerunchecks.h"
#include "batch/stereojob.h"
#include "batch/undo.h"
#include "entries/listoperations.h"
#include "imaging/stereofile.h"
#include "imaging/stereosplit.h"
#include "support/stereoassembler.h"
#include "support/testdata.h"

#include <QDir>
#include <QFile>

namespace {

class StereoJob : public BatchFixture
{
public:
    // The stereo file at path as its two views' entries, one pair named newName.
    std::pair<TDatensatz *, TDatensatz *> addStereo(const QString &path, const QString &newName)
    {
        const TStereoFile file = ReadStereoFile(path);
        EXPECT_TRUE(file.isStereo()) << qPrintable(file.problem);
        TDatensatz *views[2] = {};
        for (int v = 0; v < 2; ++v) {
            TPicturePart part;
            part.view = v + 1;
            part.offset = file.views[std::size_t(v)].offset;
            part.length = file.format == TStereoFormat::Mpo ? file.views[std::size_t(v)].length
                                                            : file.fileSize;
            ListRowModel &list = v == 0 ? left : right;
            views[v] =
                AppendEntry(list, list.Count(), path, v == 0 ? dsLeft : dsRight, {.Part = part});
            views[v]->SetAttribute(daStereoPair);
            views[v]->SetNewName(newName);
        }
        LinkBothWays(views[0], views[1]);
        return {views[0], views[1]};
    }
    // The dry run's operations, by their first word.
    static QStringList plannedKinds(const TPlanFileOps &plan)
    {
        QStringList kinds;
        for (const QString &line : plan.PlanText())
            kinds << line.section(u' ', 0, 0);
        return kinds;
    }
    QString copyIn(const QByteArray &bytes, const QString &name)
    {
        QFile f(src(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return src(name);
    }
};

TEST_F(StereoJob, ViewsAreWrittenExactlyAndAMoveIsUndoneByRebuildingTheFile)
{
    const QByteArray camera = fileBytes(testDataPath("photos/mpo/sugarshack.mpo"));
    const TStereoFile structure = [&] {
        TMemorySource source(camera);
        return ReadStereoFile(source, false);
    }();
    // What each view file must hold: its stream with only its MPF segment left out.
    QByteArray expected[2];
    for (int v = 0; v < 2; ++v)
        for (const TByteRange &range : MpoViewRanges(structure.views[std::size_t(v)]))
            expected[v] += camera.mid(range.offset, range.length);
    ASSERT_FALSE(expected[1].isEmpty());

    auto copy = [] {
        TBatchJobSettings s;
        s.CopyToDestination = s.RenameDestination = true;
        s.FolderMask = 3;
        return s;
    };
    auto move = [] {
        TBatchJobSettings s;
        s.MoveToDestination = s.RenameDestination = true;
        s.FolderMask = 3;
        return s;
    };
    const struct
    {
        const char *name;
        TBatchJobSettings settings;
        bool rightExcluded;
        bool stereoFileStays;
        QStringList planned; // the dry run's operations, by their first word
    } rows[] = {
        {"copy", copy(), false, true, {"mkdir", "mkdir", "extract", "extract"}},
        {"move", move(), false, false, {"mkdir", "mkdir", "extract", "extract", "remove-stereo"}},
        {"move, right view excluded", move(), true, true, {"mkdir", "mkdir", "extract"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        for (bool dry : {true, false}) {
            startRow();
            const QString path = copyIn(camera, QStringLiteral("DSCF0001.MPO"));
            auto [l, r] = addStereo(path, QStringLiteral("S1"));
            r->SetBatch(!row.rightExcluded);
            engine.SetExtraFiles(StereoFileProvider());
            const auto before = files();
            TPlanFileOps plan;
            EXPECT_FALSE(run(row.settings, dry ? &plan : nullptr));
            if (dry) {
                EXPECT_EQ(plannedKinds(plan), row.planned);
                EXPECT_EQ(files(), before);
                continue;
            }
            EXPECT_EQ(fileBytes(dest("L/S1_L.JPG")), expected[0]);
            EXPECT_EQ(QFile::exists(dest("R/S1_R.JPG")), !row.rightExcluded);
            if (!row.rightExcluded) {
                EXPECT_EQ(fileBytes(dest("R/S1_R.JPG")), expected[1]);
            }
            EXPECT_EQ(QFile::exists(path), row.stereoFileStays);
            EXPECT_EQ(redLines(), 0);
            // The entries follow the pictures: still the stereo file's views where it stays,
            // else plain entries of the view files written, read from those files.
            EXPECT_EQ(l->IsStereoView(), row.stereoFileStays);
            EXPECT_EQ(r->IsStereoView(), row.stereoFileStays);
            EXPECT_EQ(l->SourcePath(), row.stereoFileStays ? path : dest("L/S1_L.JPG"));
            EXPECT_EQ(r->SourcePath(), row.stereoFileStays ? path : dest("R/S1_R.JPG"));
            if (!row.stereoFileStays) {
                EXPECT_EQ(r->Metadata().FileSize, expected[1].size());
            }

            const TUndoReport undo = UndoJob(engine.JournalPath(), realOps, false);
            EXPECT_TRUE(undo.Complete()) << qPrintable(undo.lines.join(u'\n'));
            EXPECT_EQ(files(), before) << "the stereo file back byte for byte, the views gone";
        }
    }
}

TEST_F(StereoJob, AMoveKeepsAFileItCannotRebuildAndASideBySideFile)
{
    TBatchJobSettings move;
    move.MoveToDestination = true;
    move.FolderMask = 3;

    // The views are in place, but the stereo file changed after they were listed.
    const QString path =
        copyIn(fileBytes(testDataPath("photos/mpo/sugarshack.mpo")), QStringLiteral("A.MPO"));
    addStereo(path, QStringLiteral("A"));
    const std::vector<TExtraFile> files =
        StereoFileProvider()(*left.EntryAt(0), TEntryStep::Move, dest("L/A_L.JPG"));
    ASSERT_EQ(files.size(), 2u);
    ASSERT_EQ(files[1].kind, TExtraFileKind::RemoveStereo);
    QDir().mkpath(dest("L"));
    QDir().mkpath(dest("R"));
    TRealFileOps ops;
    ASSERT_TRUE(ops.Extract(path, files[0].ranges, dest("L/A_L.JPG")).ok);
    const std::vector<TExtraFile> rightFiles =
        StereoFileProvider()(*right.EntryAt(0), TEntryStep::Move, dest("R/A_R.JPG"));
    ASSERT_TRUE(ops.Extract(path, rightFiles[0].ranges, dest("R/A_R.JPG")).ok);
    QFile grow(path);
    ASSERT_TRUE(grow.open(QIODevice::Append));
    grow.write("x");
    grow.close();
    EXPECT_FALSE(ops.RemoveStereo(path, files[1].remainder, files[1].parts).ok);
    EXPECT_TRUE(QFile::exists(path));

    // A side-by-side file: its halves are new pictures, so the file stays.
    startRow();
    QImage a(64, 32, QImage::Format_RGB32), b(64, 32, QImage::Format_RGB32);
    a.fill(Qt::red);
    b.fill(Qt::blue);
    const QString jps =
        copyIn(stereotest::assembleJps(a, b, false, std::nullopt), QStringLiteral("B.jps"));
    addStereo(jps, QStringLiteral("B"));
    engine.SetExtraFiles(StereoFileProvider());
    EXPECT_FALSE(run(move));
    EXPECT_TRUE(QFile::exists(jps));
    EXPECT_EQ(JpegPixelSize(dest("L/B_L.jpg")), QSize(64, 32));
    EXPECT_EQ(JpegPixelSize(dest("R/B_R.jpg")), QSize(64, 32));
    const TUndoReport undo = UndoJob(engine.JournalPath(), realOps, false);
    EXPECT_TRUE(undo.Complete()) << qPrintable(undo.lines.join(u'\n'));
    EXPECT_FALSE(QFile::exists(dest("L/B_L.jpg")));
}

TEST_F(StereoJob, RenameOnlyRenamesTheStereoFileOnceUnderThePairsName)
{
    const QByteArray camera = fileBytes(testDataPath("photos/mpo/sugarshack.mpo"));
    TBatchJobSettings rename;
    rename.RenameSource = true;
    const struct
    {
        const char *name;
        QString suffix;
        bool rightExcluded;
        bool clash;       // a file stands where the stereo file's new name would go
        QString renamed;  // the stereo file's name after the run (empty: kept)
        QStringList plan; // the dry run's operations
    } rows[] = {
        {"no suffix", {}, false, false, "S1.MPO", {"rename"}},
        {"suffix", "_3D", false, false, "S1_3D.MPO", {"rename"}},
        {"right view excluded", {}, true, false, {}, {}},
        {"new name taken", {}, false, true, {}, {"rename"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        for (bool dry : {true, false}) {
            startRow();
            store.Naming.SuffixStereo = row.suffix;
            const QString path = copyIn(camera, QStringLiteral("DSCF0001.MPO"));
            if (row.clash)
                copyIn("in the way", QStringLiteral("S1.MPO"));
            auto [l, r] = addStereo(path, QStringLiteral("S1"));
            r->SetBatch(!row.rightExcluded);
            engine.SetExtraFiles(StereoFileProvider());

            TNameCheckOptions o;
            o.RenameSource = true;
            o.ExtraFiles = StereoFileProvider();
            EXPECT_EQ(CheckNames(store.Registry.Entries(), o, log).Overwrites, row.clash ? 1 : 0);

            const auto before = files();
            TPlanFileOps plan;
            EXPECT_EQ(run(rename, dry ? &plan : nullptr), row.clash && !dry);
            if (dry) {
                EXPECT_EQ(plannedKinds(plan), row.plan);
                EXPECT_EQ(files(), before);
                continue;
            }
            const QString now = row.renamed.isEmpty() ? path : src(row.renamed);
            EXPECT_EQ(QDir(src({})).entryList(QDir::Files).size(), row.clash ? 2 : 1)
                << "one stereo file, never split or copied";
            EXPECT_EQ(fileBytes(now), camera);
            EXPECT_EQ(l->SourcePath(), now);
            EXPECT_EQ(r->SourcePath(), now);
            EXPECT_TRUE(l->IsStereoView());
            EXPECT_TRUE(r->IsStereoView());
            EXPECT_EQ(logLines(QStringLiteral("keeps its name")).size(),
                      row.renamed.isEmpty() && !row.clash ? 1 : 0);
            if (row.clash) {
                EXPECT_EQ(fileBytes(src("S1.MPO")), "in the way");
            }

            if (!row.renamed.isEmpty()) {
                const TUndoReport undo = UndoJob(engine.JournalPath(), realOps, false);
                EXPECT_TRUE(undo.Complete()) << qPrintable(undo.lines.join(u'\n'));
            }
            EXPECT_EQ(files(), before) << "the stereo file back under its old name";
        }
    }
}

} // namespace
