// A job's stereo files: listed by the right-hand picture of every pair, counted by the
// checks, planned by the dry run, made from both files as the job left them, journaled and
// undone; and left out, with the reason, where a pair cannot have them.
#include "batchfixture.h"
#include "wizardfixture.h"

#include "batch/prerunchecks.h"
#include "batch/stereooutputjob.h"
#include "batch/undo.h"
#include "imaging/jpegcodec.h"
#include "support/testdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

class StereoOutputJob : public BatchFixture
{
public:
    StereoOutputJob()
    {
        settings->Outputs = {TStereoOutput::Mpo, TStereoOutput::SideBySide};
        settings->Folder = dest(QStringLiteral("S"));
        engine.SetExtraFiles(StereoOutputProvider(settings));
    }

    QSize pictureSize(const QString &relative)
    {
        return DecodeJpegFile(m_root.path() + u'/' + relative, 1).size();
    }

    static TBatchJobSettings job(bool rename, bool copy, bool move)
    {
        TBatchJobSettings s;
        s.RenameSource = rename;
        s.CopyToDestination = copy;
        s.MoveToDestination = move;
        s.RenameDestination = copy || move;
        s.FolderMask = copy || move ? 7 : 0;
        return s;
    }

    std::shared_ptr<TStereoOutputSettings> settings = std::make_shared<TStereoOutputSettings>();
};

const QStringList BothFiles = {QStringLiteral("dest/S/P1.mpo"),
                               QStringLiteral("dest/S/P1_SBS.jpg")};

QStringList under(const QStringList &names, const QString &folder)
{
    QStringList found;
    for (const QString &name : names)
        if (name.startsWith(folder))
            found << name;
    return found;
}

TEST_F(StereoOutputJob, FilesAreCheckedPlannedWrittenAndUndoneWithEveryKindOfJob)
{
    struct Row
    {
        const char *name;
        TBatchJobSettings settings;
    } rows[] = {
        {"rename in the source folder", job(true, false, false)},
        {"copy", job(false, true, false)},
        {"rename and copy", job(true, true, false)},
        {"move", job(false, false, true)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        settings->JobCopiesOrMoves =
            row.settings.CopyToDestination || row.settings.MoveToDestination;
        const auto setUp = [this] {
            startRow();
            addPair(QStringLiteral("a"), QStringLiteral("P1"));
            return store.Registry.Entries();
        };
        const std::vector<TDatensatz *> entries = setUp();
        const auto before = files();

        // The checks see both files: once each, and a file in the way is in the way.
        TNameCheckOptions o;
        o.RenameSource = row.settings.RenameSource;
        o.CopyToDestination = row.settings.CopyToDestination;
        o.MoveToDestination = row.settings.MoveToDestination;
        o.RenameDestination = row.settings.RenameDestination;
        o.ExtraFiles = StereoOutputProvider(settings);
        EXPECT_EQ(CheckNames(entries, o, log).ConflictCount(), 0);
        QDir().mkpath(dest(QStringLiteral("S")));
        QFile(dest(QStringLiteral("S/p1.MPO"))).open(QIODevice::WriteOnly);
        EXPECT_EQ(CheckNames(entries, o, log).Overwrites, 0) << "a name differing in case only";
        QFile(dest(QStringLiteral("S/P1.mpo"))).open(QIODevice::WriteOnly);
        EXPECT_EQ(CheckNames(entries, o, log).Overwrites, 1);
        QDir(dest(QStringLiteral("S"))).removeRecursively();
        if (settings->JobCopiesOrMoves) {
            // The space check adds what the two files are expected to take.
            FakeVolumes volumes;
            TLaufwerke table(volumes);
            const bool move = row.settings.MoveToDestination;
            CheckSpace(entries, {.Move = move}, table, log);
            const qint64 without = table.Rows().at(0).Required;
            CheckSpace(entries, {.Move = move, .ExtraFiles = o.ExtraFiles}, table, log);
            const qint64 l = QFileInfo(entries[0]->SourcePath()).size();
            const qint64 r = QFileInfo(entries[1]->SourcePath()).size();
            ASSERT_GT(l, 0);
            EXPECT_EQ(table.Rows().at(0).Required - without,
                      EstimatedStereoFileSize(TStereoOutput::Mpo, l, r, 95) +
                          EstimatedStereoFileSize(TStereoOutput::SideBySide, l, r, 95));
        }

        TPlanFileOps plan;
        EXPECT_FALSE(run(row.settings, &plan));
        const QString text = plan.PlanText().join(u'\n');
        EXPECT_TRUE(text.contains(QStringLiteral("create ") + dest(QStringLiteral("S/P1_SBS.jpg"))))
            << qPrintable(text);
        EXPECT_EQ(files(), before);

        setUp();
        EXPECT_FALSE(run(row.settings)) << qPrintable(log.PlainText());
        EXPECT_EQ(under(files().keys(), QStringLiteral("dest/S/")), BothFiles);
        EXPECT_EQ(pictureSize(QStringLiteral("dest/S/P1_SBS.jpg")), QSize(128, 48));
        EXPECT_EQ(logLines(QStringLiteral("Writing the stereo file")).size(), 2);
        const TUndoReport undo = UndoJob(engine.JournalPath(), realOps, false);
        EXPECT_TRUE(undo.Complete()) << qPrintable(undo.lines.join(u'\n'));
        EXPECT_EQ(files(), before);
    }
}

TEST_F(StereoOutputJob, PairsThatCannotHaveThemAreLeftOutAndFailuresReported)
{
    struct Row
    {
        const char *name;
        std::function<void(StereoOutputJob &, TDatensatz *right)> prepare;
        QStringList written; // under dest/S
        bool failed;
        const char *logged;
    } rows[] = {
        {"the right picture is excluded",
         [](StereoOutputJob &, TDatensatz *r) { r->SetBatch(false); },
         {},
         false,
         nullptr},
        {"the right picture's copy failed",
         [](StereoOutputJob &t, TDatensatz *) {
             QDir().mkpath(t.dest(QStringLiteral("R")));
             QFile f(t.dest(QStringLiteral("R/P1_R.jpg")));
             f.open(QIODevice::WriteOnly);
         },
         {},
         true,
         nullptr}, // its red line says why
        {"the left picture's copy failed",
         [](StereoOutputJob &t, TDatensatz *) {
             QDir().mkpath(t.dest(QStringLiteral("L")));
             QFile f(t.dest(QStringLiteral("L/P1_L.jpg")));
             f.open(QIODevice::WriteOnly);
         },
         {},
         true,
         "No stereo file for image"},
        {"a stereo file's name is taken: the other one is written",
         [](StereoOutputJob &t, TDatensatz *) {
             QDir().mkpath(t.dest(QStringLiteral("S")));
             QFile f(t.dest(QStringLiteral("S/P1.mpo")));
             f.open(QIODevice::WriteOnly);
             f.write("mine");
         },
         BothFiles, true, "Error writing the stereo file"},
        {"the left file is not a picture: no MPO, no side by side",
         [](StereoOutputJob &, TDatensatz *r) {
             QFile f(r->Partner()->SourcePath());
             f.open(QIODevice::WriteOnly | QIODevice::Truncate);
             f.write("not a picture");
         },
         {},
         true,
         "Error writing the stereo file"},
    };
    settings->JobCopiesOrMoves = true;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        startRow();
        auto [l, r] = addPair(QStringLiteral("a"), QStringLiteral("P1"));
        row.prepare(*this, r);
        EXPECT_EQ(run(job(false, true, false)), row.failed);
        EXPECT_EQ(under(files().keys(), QStringLiteral("dest/S/")), row.written);
        if (row.logged) {
            EXPECT_FALSE(logLines(QString::fromUtf8(row.logged)).isEmpty())
                << qPrintable(log.PlainText());
        }
        if (row.written == BothFiles) {
            EXPECT_EQ(fileBytes(dest(QStringLiteral("S/P1.mpo"))), "mine"); // never replaced
        }
    }
}

} // namespace
