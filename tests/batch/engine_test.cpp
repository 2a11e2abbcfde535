// The batch run on real files: every kind of job leaves the expected files, log lines and
// SPM list, and its journal undoes it; faults leave every original intact.
#include "batchfixture.h"

#include "batch/spmlist.h"
#include "batch/undo.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/namingsettings.h"
#include "imaging/dsorgbild.h"
#include "imaging/jpegcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <set>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QSize pixelSize(const QString &path)
{
    return JpegPixelSize(path);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList names(const QMap<QString, QByteArray> &files)
{
    QStringList out = files.keys();
    out.removeIf([](const QString &n) { return n == QLatin1String("list.txt"); });
    return out;
}

} // namespace

class EngineJobs : public BatchFixture
{
};

TEST_F(EngineJobs, EveryKindOfJobLeavesItsFilesAndListAndIsUndoneFromItsJournal)
{
    if (!library())
        GTEST_SKIP() << "the imaging modules could not be loaded";
    auto flags = [](auto set) {
        TBatchJobSettings s;
        set(s);
        s.WriteSpmList = true;
        return s;
    };
    struct Row
    {
        const char *name;
        TBatchJobSettings settings;
        QStringList after;    // every file afterwards besides list.txt
        const char *logText;  // appears once per picture
        const char *listLeft; // the left path in the SPM list line
        const char *listRight;
        QSize turnedLeft; // pixel size of the left picture's file afterwards
        int leftRotation; // the left entry's rotation afterwards
    } rows[] = {
        {"rename",
         flags([](auto &s) { s.RenameSource = true; }),
         {"src/Pair_001_L.jpg", "src/Pair_001_R.jpg", "src/Solo_002_M.jpg"},
         "Rename image-N°",
         "src/Pair_001_L.jpg",
         "src/Pair_001_R.jpg",
         {64, 48},
         1},
        {"copy",
         flags([](auto &s) {
             s.CopyToDestination = true;
             s.FolderMask = 7;
         }),
         {"dest/L/a_l.jpg", "dest/M/m.jpg", "dest/R/a_r.jpg", "src/a_l.jpg", "src/a_r.jpg",
          "src/m.jpg"},
         "Copy'ing of image",
         "dest/L/a_l.jpg",
         "dest/R/a_r.jpg",
         {64, 48},
         1},
        {"copy renamed",
         flags([](auto &s) {
             s.CopyToDestination = s.RenameDestination = true;
             s.FolderMask = 7;
         }),
         {"dest/L/Pair_001_L.jpg", "dest/M/Solo_002_M.jpg", "dest/R/Pair_001_R.jpg", "src/a_l.jpg",
          "src/a_r.jpg", "src/m.jpg"},
         "Copy'ing of image",
         "dest/L/Pair_001_L.jpg",
         "dest/R/Pair_001_R.jpg",
         {64, 48},
         1},
        {"move",
         flags([](auto &s) {
             s.MoveToDestination = s.RenameDestination = true;
             s.FolderMask = 7;
         }),
         {"dest/L/Pair_001_L.jpg", "dest/M/Solo_002_M.jpg", "dest/R/Pair_001_R.jpg"},
         "Moving image",
         "dest/L/Pair_001_L.jpg",
         "dest/R/Pair_001_R.jpg",
         {64, 48},
         1},
        {"rotate in source",
         flags([](auto &s) { s.RotateSource = s.RenameSource = true; }),
         {"src/Pair_001_L.jpg", "src/Pair_001_R.jpg", "src/Solo_002_M.jpg"},
         "Rename image-N°",
         "src/Pair_001_L.jpg",
         "src/Pair_001_R.jpg",
         {48, 64},
         0},
        {"copy, rotate copies",
         flags([](auto &s) {
             s.CopyToDestination = s.RotateDestination = true;
             s.FolderMask = 7;
         }),
         {"dest/L/a_l.jpg", "dest/M/m.jpg", "dest/R/a_r.jpg", "src/a_l.jpg", "src/a_r.jpg",
          "src/m.jpg"},
         "Copy'ing of image",
         "dest/L/a_l.jpg",
         "dest/R/a_r.jpg",
         {48, 64},
         1},
        {"copy, rotate both",
         flags([](auto &s) {
             s.CopyToDestination = s.RotateDestination = s.RotateSource = true;
             s.FolderMask = 7;
         }),
         {"dest/L/a_l.jpg", "dest/M/m.jpg", "dest/R/a_r.jpg", "src/a_l.jpg", "src/a_r.jpg",
          "src/m.jpg"},
         "Copy'ing of image",
         "dest/L/a_l.jpg",
         "dest/R/a_r.jpg",
         {48, 64},
         0},
        {"move, rotate",
         flags([](auto &s) {
             s.MoveToDestination = s.RotateDestination = true;
             s.FolderMask = 7;
         }),
         {"dest/L/a_l.jpg", "dest/M/m.jpg", "dest/R/a_r.jpg"},
         "Moving image",
         "dest/L/a_l.jpg",
         "dest/R/a_r.jpg",
         {48, 64},
         0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        startRow();
        auto [l, r] = addPair(QStringLiteral("a"), QStringLiteral("Pair_001"));
        TDatensatz *m = addMono(QStringLiteral("m.jpg"), QStringLiteral("Solo_002"));
        l->SetRotation(1);
        m->SetRotation(2);
        const auto before = files();
        const QImage leftPixels = DecodeJpegFile(l->SourcePath(), 1);
        const qint64 leftTime = StatPath(l->SourcePath()).mtimeNs;
        engine.SetSpmListFile(QStringLiteral("list.txt"));

        EXPECT_FALSE(run(row.settings));
        const auto after = files();
        QStringList expected;
        for (const QString &name : row.after)
            expected << name;
        expected.sort();
        EXPECT_EQ(names(after), expected);
        EXPECT_EQ(logLines(QString::fromUtf8(row.logText)).size(), 3);
        EXPECT_EQ(redLines(), 0);
        const QString leftFile = m_root.path() + u'/' + QString::fromUtf8(row.listLeft);
        EXPECT_EQ(pixelSize(leftFile), row.turnedLeft);
        EXPECT_EQ(readFile(m_root.filePath(QStringLiteral("list.txt"))),
                  SpmListLine(leftFile, m_root.path() + u'/' + QString::fromUtf8(row.listRight), 1,
                              QStringLiteral("Pair_001")));
        // Files turned in their place show the turn; nothing is left pending for them.
        EXPECT_EQ(l->Rotation(), row.leftRotation);
        ASSERT_FALSE(engine.JournalPath().isEmpty());
        EXPECT_TRUE(logLines(engine.JournalPath()).size() == 1);

        const TUndoReport undo = UndoJob(engine.JournalPath(), realOps, false);
        EXPECT_TRUE(undo.Complete()) << undo.lines.join(u'\n').toStdString();
        const auto restored = files();
        EXPECT_EQ(names(restored), names(before));
        const QString leftOriginal = src(QStringLiteral("a_l.jpg"));
        EXPECT_EQ(DecodeJpegFile(leftOriginal, 1), leftPixels);
        EXPECT_EQ(StatPath(leftOriginal).mtimeNs, leftTime);
        if (!row.settings.RotateSource && !row.settings.RotateDestination) {
            EXPECT_EQ(restored, before);
        }
        EXPECT_FALSE(QDir(dest(QString())).exists() && !QDir(dest(QString())).isEmpty());
    }
}

TEST_F(EngineJobs, SharedFilesAreCompletedOrLeftAloneAndMovedOnce)
{
    struct Row
    {
        const char *name;
        bool complete;
        bool move;
        QStringList after;
        const char *line; // the second entry's log line
    } rows[] = {
        {"complete",
         true,
         false,
         {"src/A_L.jpg", "src/A_R.jpg", "src/B_L.jpg"},
         "Copy'ing of image"},
        {"left alone",
         false,
         false,
         {"src/A_L.jpg", "src/A_R.jpg"},
         "N° 1 shares the file renamed for N° 0"},
        {"move",
         false,
         true,
         {"dest/L/A_L.jpg", "dest/L/B_L.jpg", "dest/R/A_R.jpg"},
         "Copy'ing of image"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        startRow();
        // "Combinations": the left picture of the first pair also forms a second pair.
        auto [l, r] = addPair(QStringLiteral("s"), QStringLiteral("A"));
        TDatensatz *l2 = TDatensatz::CreateCopy(left.AppendRow(), *l, dsLeft, 1);
        auto *r2 = TDatensatz::CreateCopy(right.AppendRow(), *r, dsRight, 1);
        LinkBothWays(l2, r2);
        l2->SetNewName(QStringLiteral("B"));
        r2->SetNewName(QStringLiteral("B"));
        r2->SetBatch(false);
        TBatchJobSettings s;
        s.CompletePartners = row.complete;
        if (row.move) {
            s.MoveToDestination = s.RenameDestination = true;
            s.FolderMask = 7;
        } else {
            s.RenameSource = true;
        }
        EXPECT_FALSE(run(s));
        EXPECT_EQ(names(files()), row.after);
        EXPECT_EQ(logLines(QString::fromUtf8(row.line)).size(), 1);
        EXPECT_EQ(redLines(), 0);
        if (row.complete) {
            EXPECT_EQ(l2->SourcePath(), src(QStringLiteral("B_L.jpg")));
        }
    }
}

TEST_F(EngineJobs, FaultsAreRedLinesAndLoseNothing)
{
    struct Row
    {
        const char *name;
        std::function<void(BatchFixture &, TBatchJobSettings &, TRealFileOps &)> arrange;
        const char *line;  // the first red line starts so
        QStringList extra; // files afterwards that were not there before
    } rows[] = {
        {"target exists",
         [](BatchFixture &f, TBatchJobSettings &s, TRealFileOps &) {
             s.RenameSource = true;
             f.makePhoto(QStringLiteral("Pair_001_L.jpg"));
         },
         "Error renaming image N°. 0 (Left)",
         {"src/Pair_001_R.jpg", "src/Solo_002_M.jpg"}},
        {"no destination folder",
         [](BatchFixture &, TBatchJobSettings &s, TRealFileOps &) { s.CopyToDestination = true; },
         "Error copy'ing image 0 (Left)",
         {}},
        {"disk full",
         [](BatchFixture &, TBatchJobSettings &s, TRealFileOps &ops) {
             s.CopyToDestination = true;
             s.FolderMask = 7;
             ops.SetChunkSize(100);
             auto writes = std::make_shared<int>(0);
             ops.SetFaultHook([writes](TFaultPoint p, const QString &) {
                 return p == TFaultPoint::Write && ++*writes % 3 == 0 ? ENOSPC : 0;
             });
         },
         "Error copy'ing image 0 (Left)",
         {}},
        {"source deleted",
         [](BatchFixture &f, TBatchJobSettings &s, TRealFileOps &) {
             s.MoveToDestination = true;
             s.FolderMask = 7;
             QFile::remove(f.src(QStringLiteral("a_r.jpg")));
         },
         "Error moving image 0 (Right)",
         {"dest/L/a_l.jpg", "dest/M/m.jpg"}},
        {"list not writable",
         [](BatchFixture &f, TBatchJobSettings &s, TRealFileOps &) {
             s.RenameSource = true;
             s.WriteSpmList = true;
             // A folder where the list should go: it cannot be replaced by a file.
             QDir().mkpath(f.dest(QStringLiteral("list.txt")));
             f.engine.SetSpmListFile(f.dest(QStringLiteral("list.txt")));
         },
         "Error writing the SPM list",
         {"src/Pair_001_L.jpg", "src/Pair_001_R.jpg", "src/Solo_002_M.jpg"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        startRow();
        addPair(QStringLiteral("a"), QStringLiteral("Pair_001"));
        addMono(QStringLiteral("m.jpg"), QStringLiteral("Solo_002"));
        TBatchJobSettings s;
        TRealFileOps ops;
        row.arrange(*this, s, ops);
        const auto before = files();
        engine.SetFileOps(&ops);
        engine.RunBatchJob(s);
        EXPECT_TRUE(engine.JobFailed());
        QStringList red;
        for (const TProtokollLine &line : log.Lines())
            if (line.Color == logcolor::Red)
                red << line.Text;
        ASSERT_GE(red.size(), 2);
        EXPECT_TRUE(red.first().startsWith(QString::fromUtf8(row.line)))
            << red.first().toStdString();
        EXPECT_TRUE(red.at(1).startsWith(u'\t')) << "the system's reason follows";
        // Every file that was there still exists with its bytes, wherever the job put it,
        // and no file exists that the job should not have left.
        const auto after = files();
        const std::multiset<QByteArray> hashesAfter(after.begin(), after.end());
        for (const QByteArray &h : before)
            EXPECT_TRUE(hashesAfter.count(h)) << "a file was lost";
        for (const QString &n : after.keys())
            EXPECT_TRUE(before.contains(n) || row.extra.contains(n))
                << "extra file " << n.toStdString();
    }
}

TEST_F(EngineJobs, CancelStopsBeforeTheNextEntryAndStillWritesTheList)
{
    addPair(QStringLiteral("a"), QStringLiteral("P1"));
    addPair(QStringLiteral("b"), QStringLiteral("P2"));
    addPair(QStringLiteral("c"), QStringLiteral("P3"));
    TBatchJobSettings s;
    s.RenameSource = true;
    s.WriteSpmList = true;
    engine.SetSpmListFile(QStringLiteral("list.txt"));
    // DatensatzList holds l1 r1 l2 r2 l3 r3: cancel during the third entry.
    progress.onStep = [&](int steps) {
        if (steps == 3)
            engine.RequestCancel();
    };
    EXPECT_TRUE(run(s));
    EXPECT_EQ(logLines(QStringLiteral("Rename image-N°")).size(), 3);
    EXPECT_EQ(logLines(QStringLiteral("Canceled by request")).size(), 1);
    EXPECT_TRUE(QFile::exists(src(QStringLiteral("P2_L.jpg"))));
    EXPECT_TRUE(QFile::exists(src(QStringLiteral("b_r.jpg"))));
    // The list names the files where they are: the cancelled pair is not a renamed pair.
    const QByteArray list = readFile(m_root.filePath(QStringLiteral("list.txt")));
    EXPECT_TRUE(list.contains("P1_L.jpg"));
    EXPECT_TRUE(list.contains("b_r.jpg"));
    EXPECT_TRUE(list.contains("c_l.jpg"));
}

// One job, run for real and as a dry run: a missing folder, a rename to the file's own
// name and two entries that want different turns of one file. Both logs tell the same
// story; the dry run's says what would be done and touches nothing.
TEST_F(EngineJobs, OneCopyJobsLogRealAndDryRun)
{
    if (!library())
        GTEST_SKIP() << "the imaging modules could not be loaded";
    struct Row
    {
        const char *name;
        bool dry;
        const char *folderLine;
    } rows[] = {{"real", false, "Folder %1 created"},
                {"dry run", true, "Folder %1 would be created"}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        startRow();
        auto [l, r] = addPair(QStringLiteral("a"), QStringLiteral("P"));
        TDatensatz *same = addMono(QStringLiteral("Same_M.jpg"), QStringLiteral("Same"));
        l->SetRotation(1);
        TDatensatz *twin = TDatensatz::CreateCopy(left.AppendRow(), *l, dsLeft, 2);
        LinkBothWays(twin, CreateGap(right));
        twin->SetAttribute(daMono);
        twin->SetRotation(2);
        const auto before = files();
        TBatchJobSettings s;
        s.RenameSource = s.RotateSource = s.CopyToDestination = true;
        s.FolderMask = 7;
        TPlanFileOps plan;
        EXPECT_TRUE(run(s, row.dry ? &plan : nullptr));
        EXPECT_EQ(
            logLines(QString::fromLatin1(row.folderLine).arg(dest(QStringLiteral("L")))).size(), 1)
            << log.PlainText().toStdString();
        EXPECT_EQ(logLines(QStringLiteral("Unchanged image %1 (Left)").arg(same->Number())).size(),
                  1);
        const QStringList red = logLines(
            QStringLiteral("asks for a rotation by 180° of a file already turned by  90°"));
        EXPECT_EQ(red.size(), 1);
        EXPECT_EQ(redLines(), 1);
        EXPECT_EQ(logLines(QStringLiteral("Dry run")).size(), row.dry ? 1 : 0);
        if (row.dry) {
            EXPECT_EQ(files(), before);
        }
        (void)r;
    }
}

TEST_F(EngineJobs, APlanTouchesNothingAndListsEveryOperationInOrder)
{
    auto [l, r] = addPair(QStringLiteral("a"), QStringLiteral("P"));
    l->SetRotation(3);
    TBatchJobSettings s;
    s.CopyToDestination = s.RenameDestination = s.RotateDestination = true;
    s.FolderMask = fbLeft;
    const auto before = files();
    TPlanFileOps plan;
    EXPECT_FALSE(run(s, &plan));
    EXPECT_EQ(files(), before);
    EXPECT_TRUE(engine.JournalPath().isEmpty());
    EXPECT_EQ(
        plan.PlanText(),
        (QStringList{QStringLiteral("mkdir ") + dest(QStringLiteral("L")),
                     QStringLiteral("copy %1 -> %2")
                         .arg(src(QStringLiteral("a_l.jpg")), dest(QStringLiteral("L/P_L.jpg"))),
                     QStringLiteral("rotate %1 by 270").arg(dest(QStringLiteral("L/P_L.jpg"))),
                     QStringLiteral("copy %1 -> %2")
                         .arg(src(QStringLiteral("a_r.jpg")), dest(QStringLiteral("R/P_R.jpg")))}));
}

namespace {
// Stands for a crash: throws once the given number of operations have started.
class CrashingOps : public TRealFileOps
{
public:
    explicit CrashingOps(int survive) : m_left(survive) {}
    TFileOpResult Rename(const QString &from, const QString &to) override
    {
        if (m_left-- == 0)
            throw std::runtime_error("killed");
        return TRealFileOps::Rename(from, to);
    }

private:
    int m_left;
};
} // namespace

TEST_F(EngineJobs, AnInterruptedJobIsUndoneFromItsJournal)
{
    for (const char *base : {"a", "b", "c"})
        addPair(QString::fromLatin1(base), QStringLiteral("N") + QString::fromLatin1(base));
    const auto before = files();
    TBatchJobSettings s;
    s.RenameSource = true;
    CrashingOps ops(4);
    engine.SetFileOps(&ops);
    EXPECT_THROW(engine.RunBatchJob(s), std::runtime_error);
    EXPECT_FALSE(engine.Running());
    EXPECT_TRUE(QFile::exists(src(QStringLiteral("Nb_R.jpg"))));
    const QStringList journals = QDir(journalFolder()).entryList(QDir::Files);
    ASSERT_EQ(journals.size(), 1);
    TRealFileOps real;
    const TUndoReport undo = UndoJob(journalFolder() + u'/' + journals.first(), real, false);
    EXPECT_TRUE(undo.Complete()) << undo.lines.join(u'\n').toStdString();
    EXPECT_EQ(undo.undone, 4);
    EXPECT_EQ(files(), before);
}

TEST_F(EngineJobs, TwoNamesOfOneFileShareAHolderAndTheFileTurnsOnce)
{
    if (!library())
        GTEST_SKIP() << "the imaging modules could not be loaded";
    const QString photo = makePhoto(QStringLiteral("p.jpg"));
    const QString hard = src(QStringLiteral("hard.jpg"));
    const QString soft = src(QStringLiteral("soft.jpg"));
    ASSERT_EQ(::link(QFile::encodeName(photo).constData(), QFile::encodeName(hard).constData()), 0);
    ASSERT_TRUE(QFile::link(photo, soft));
    std::vector<TDatensatz *> entries;
    for (const QString &path : {photo, soft, hard}) {
        entries.push_back(AppendEntry(left, left.Count(), path, dsLeft, {.Rotation = 1}));
        TDatensatz *gap = CreateGap(right);
        LinkBothWays(entries.back(), gap);
        entries.back()->SetAttribute(daMono);
    }
    EXPECT_EQ(entries[1]->OrgBild(), entries[0]->OrgBild());
    EXPECT_EQ(entries[2]->OrgBild(), entries[0]->OrgBild());
    EXPECT_EQ(entries[1]->SourcePath(), soft);
    // The link's entry finds the picture already turned: it is not turned a second time.
    // (The turned picture is a new file, so the hard link keeps the old one, and that is
    // turned once in its own right.)
    TBatchJobSettings s;
    s.RotateSource = true;
    EXPECT_FALSE(run(s));
    EXPECT_EQ(pixelSize(photo), QSize(48, 64));
    EXPECT_EQ(pixelSize(hard), QSize(48, 64));
    EXPECT_TRUE(QFileInfo(soft).isSymLink());
}
