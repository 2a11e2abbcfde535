// Jobs and undos killed at every step of their file operations (a child process that the
// file layer's fault hook kills, as kill -9 or a power cut would): no final name ever holds
// a partial file, and undo brings back exactly the files that were there before, with no
// temporary file left. And undo knows the job's files by their bytes, on any file system.
#include "batchfixture.h"

#include "batch/undo.h"
#include "entries/listoperations.h"
#include "entries/namingsettings.h"
#include "support/testdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <csignal>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Job
{
    Copy,
    Move,
    UndoOfMove,
    Rotate
};

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool isTemporary(const QString &relativePath)
{
    const QString name = QFileInfo(relativePath).fileName();
    return name.startsWith(QLatin1String(".duomira-")) || name.endsWith(QLatin1String(".jp_"));
}

// The fault hook of a move to another volume: every rename that would move a file
// between the two folders fails as it does between two disks.
int acrossVolumes(TFaultPoint point)
{
    return point == TFaultPoint::RenameNoReplace ? EXDEV : 0;
}

// Kills this process the hit-th time the file layer reaches point. At a turn, the library
// is taken to have written part of its ".jp_" file first.
TFaultHook killAt(TFaultPoint point, int hit, bool crossVolume)
{
    auto count = std::make_shared<int>(0);
    return [=](TFaultPoint p, const QString &path) {
        if (p == point && ++*count == hit) {
            if (p == TFaultPoint::Rotate) {
                QFile part(RotationTemporaryPath(path));
                part.open(QIODevice::WriteOnly);
                part.write(readFile(path).left(700));
                part.close();
            }
            ::kill(::getpid(), SIGKILL);
        }
        return crossVolume ? acrossVolumes(p) : 0;
    };
}

// Replaces a file by a byte-identical copy with a new inode and the same modification
// time, as a FAT card shows its files after it was unplugged and plugged in again.
void remount(const QString &path)
{
    const TFileStamp before = StatPath(path);
    const QString fresh = path + QStringLiteral(".new");
    QFile f(fresh);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(readFile(path));
    f.close();
    const struct timespec times[2] = {
        {0, UTIME_OMIT}, {time_t(before.mtimeNs / 1000000000), long(before.mtimeNs % 1000000000)}};
    ::utimensat(AT_FDCWD, QFile::encodeName(fresh).constData(), times, 0);
    ASSERT_EQ(::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()),
              0);
    ASSERT_NE(StatPath(path).inode, before.inode);
}

// Rewrites one byte in the middle of a file and puts its modification time back: an edit
// that neither size nor time shows.
void editKeepingSizeAndTime(const QString &path)
{
    const TFileStamp before = StatPath(path);
    QByteArray bytes = readFile(path);
    bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x55);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.write(bytes);
    f.close();
    const struct timespec times[2] = {
        {0, UTIME_OMIT}, {time_t(before.mtimeNs / 1000000000), long(before.mtimeNs % 1000000000)}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

} // namespace

class KilledJobs : public BatchFixture
{
protected:
    // A stereo pair and a monoscopic picture from real cameras, each to be turned by 90°.
    void addCameraFiles()
    {
        const char *names[] = {"Konica_Minolta_DiMAGE_Z3.jpg", "Samsung_Digimax_i50_MP3.jpg",
                               "Canon_PowerShot_S40.jpg"};
        std::vector<TDatensatz *> images;
        for (int i = 0; i < 3; ++i) {
            const QString path = src(QString::fromLatin1(names[i]));
            ASSERT_TRUE(QFile::copy(
                testDataPath(QStringLiteral("photos/jpg/") + QString::fromLatin1(names[i])), path));
            ListRowModel &list = i == 1 ? right : left;
            images.push_back(
                AppendEntry(list, list.Count(), path, i == 1 ? dsRight : dsLeft, {.Rotation = 1}));
        }
        LinkBothWays(images[0], images[1]);
        images[0]->SetAttribute(daStereoPair);
        images[1]->SetAttribute(daStereoPair);
        TDatensatz *gap = CreateGap(right);
        gap->SetAttribute(daGap);
        LinkBothWays(images[2], gap);
        images[2]->SetAttribute(daMono);
        for (TDatensatz *e : images)
            e->SetNewName(QStringLiteral("Shot"));
    }

    QString onlyJournal() const
    {
        const QStringList journals = QDir(journalFolder()).entryList(QDir::Files);
        return journals.size() == 1 ? journalFolder() + u'/' + journals.first() : QString();
    }
};

TEST_F(KilledJobs, NoFinalNameHoldsAPartialFileAndUndoRestoresEveryByte)
{
    if (!library())
        GTEST_SKIP() << "the imaging modules could not be loaded";
    GTEST_FLAG_SET(death_test_style, "fast");
    struct Row
    {
        const char *name;
        Job job;
        TFaultPoint point;
        int hit;
        int filesPerSync = 64; // copies and moves settled together
    } rows[] = {
        {"copy: before the first copy is created", Job::Copy, TFaultPoint::OpenTarget, 1},
        {"copy: half-way through the first copy", Job::Copy, TFaultPoint::Write, 3},
        {"copy: written, not yet synced", Job::Copy, TFaultPoint::Sync, 1},
        {"copy: synced, not yet named", Job::Copy, TFaultPoint::FinalName, 1},
        {"copy: the first copy done", Job::Copy, TFaultPoint::OpenTarget, 2},
        {"copy: the last copy synced", Job::Copy, TFaultPoint::FinalName, 3},
        {"copy: every copy named, the names not yet synced", Job::Copy, TFaultPoint::SyncFolder, 1},
        {"copy: the second batch written, not yet synced", Job::Copy, TFaultPoint::Sync, 3, 2},
        {"move: half-way through the first copy", Job::Move, TFaultPoint::Write, 3},
        {"move: synced, not yet named", Job::Move, TFaultPoint::FinalName, 1},
        {"move: named, source not yet deleted", Job::Move, TFaultPoint::UnlinkSource, 1},
        {"move: the first move done", Job::Move, TFaultPoint::OpenTarget, 2},
        {"move: the last source not yet deleted", Job::Move, TFaultPoint::UnlinkSource, 3},
        {"move: every copy named, the names not yet synced", Job::Move, TFaultPoint::SyncFolder, 1},
        {"move: the second batch named, its source not yet deleted", Job::Move,
         TFaultPoint::UnlinkSource, 3, 2},
        {"move: the first batch done, the next copy not yet begun", Job::Move,
         TFaultPoint::OpenTarget, 3, 2},
        {"undo: half-way through the first copy back", Job::UndoOfMove, TFaultPoint::Write, 3},
        {"undo: copied back, not yet named", Job::UndoOfMove, TFaultPoint::FinalName, 1},
        {"undo: copied back, the moved file not yet deleted", Job::UndoOfMove,
         TFaultPoint::UnlinkSource, 1},
        {"undo: the first file back", Job::UndoOfMove, TFaultPoint::OpenTarget, 2},
        {"turn: during the first turn", Job::Rotate, TFaultPoint::Rotate, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        startRow();
        addCameraFiles();
        const auto before = files();
        const bool acrossDisks = row.job == Job::Move || row.job == Job::UndoOfMove;
        TBatchJobSettings s;
        s.FolderMask = 7;
        s.CopyToDestination = row.job == Job::Copy;
        s.MoveToDestination = acrossDisks;
        s.RenameDestination = true;
        s.RotateSource = row.job == Job::Rotate;

        TRealFileOps ops(library());
        ops.SetChunkSize(4096);
        ops.SetSettleLimits(row.filesPerSync, qint64(1) << 30);
        if (row.job == Job::UndoOfMove) {
            ops.SetFaultHook([](TFaultPoint p, const QString &) { return acrossVolumes(p); });
            engine.SetFileOps(&ops);
            engine.RunBatchJob(s);
            ASSERT_FALSE(engine.JobFailed());
            const QString journal = engine.JournalPath();
            EXPECT_EXIT(
                {
                    TRealFileOps undoOps(library());
                    undoOps.SetChunkSize(4096);
                    undoOps.SetFaultHook(killAt(row.point, row.hit, true));
                    UndoJob(journal, undoOps, false);
                    std::_Exit(0);
                },
                ::testing::KilledBySignal(SIGKILL), "");
        } else {
            EXPECT_EXIT(
                {
                    ops.SetFaultHook(killAt(row.point, row.hit, acrossDisks));
                    engine.SetFileOps(&ops);
                    engine.RunBatchJob(s);
                    std::_Exit(0);
                },
                ::testing::KilledBySignal(SIGKILL), "");
        }
        // Whatever bears a picture's name holds the whole picture.
        const auto killed = files();
        const QList<QByteArray> originals = before.values();
        for (auto it = killed.cbegin(); it != killed.cend(); ++it) {
            if (!isTemporary(it.key())) {
                EXPECT_TRUE(originals.contains(it.value()))
                    << "partial file " << it.key().toStdString();
            }
        }

        const QString journal = onlyJournal();
        ASSERT_FALSE(journal.isEmpty());
        TRealFileOps undoOps(library());
        if (acrossDisks)
            undoOps.SetFaultHook([](TFaultPoint p, const QString &) { return acrossVolumes(p); });
        const TUndoReport undo = UndoJob(journal, undoOps, false);
        EXPECT_TRUE(undo.Complete()) << undo.lines.join(u'\n').toStdString();
        EXPECT_EQ(files(), before) << undo.lines.join(u'\n').toStdString();
        EXPECT_FALSE(QFileInfo::exists(dest(QString())));
        engine.SetFileOps(nullptr);
    }
}

// A move to another disk: the copy is synced and named before the source goes, and the
// journal line that says so is on the disk by then; a copy that fails keeps the source.
TEST_F(KilledJobs, AMoveDeletesItsSourceOnlyAfterItsCopyIsDurable)
{
    struct Row
    {
        const char *name;
        int failingChunk; // 0: none
        QStringList after;
    } rows[] = {
        {"the copy fails on its third chunk", 3, {"src/a_l.jpg"}},
        {"the copy succeeds", 0, {"dest/L/a_l.jpg"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        startRow();
        TDatensatz *e = addMono(QStringLiteral("a_l.jpg"), QStringLiteral("Solo"));
        makePhoto(QStringLiteral("a_l.jpg"), QSize(640, 480));
        store.Naming.FolderMono = dest(QStringLiteral("L"));
        (void)e;
        TBatchJobSettings s;
        s.MoveToDestination = true;
        s.FolderMask = 7;
        QStringList trace;
        bool journalHadCopy = false;
        TRealFileOps ops;
        ops.SetChunkSize(1000);
        int chunks = 0;
        ops.SetFaultHook([&](TFaultPoint p, const QString &) {
            trace << QString::number(int(p));
            if (p == TFaultPoint::UnlinkSource)
                journalHadCopy = readFile(onlyJournal()).contains("\"event\":\"copied\"");
            if (p == TFaultPoint::Write && ++chunks == row.failingChunk)
                return EIO;
            return acrossVolumes(p);
        });
        engine.SetFileOps(&ops);
        engine.RunBatchJob(s);
        EXPECT_EQ(engine.JobFailed(), row.failingChunk > 0);
        engine.SetFileOps(nullptr);
        QStringList names = files().keys();
        EXPECT_EQ(names, row.after);
        if (row.failingChunk == 0) {
            // Synced, named, the name synced, and only then the source deleted.
            const auto at = [&](TFaultPoint p) { return trace.indexOf(QString::number(int(p))); };
            EXPECT_LT(at(TFaultPoint::Sync), at(TFaultPoint::FinalName));
            EXPECT_LT(at(TFaultPoint::FinalName), at(TFaultPoint::SyncFolder));
            EXPECT_LT(at(TFaultPoint::SyncFolder), at(TFaultPoint::UnlinkSource));
            EXPECT_TRUE(journalHadCopy);
        }
    }
}

// A job writes all its copies before one sync of the destination names any of them; a copy
// the disk refuses to sync is reported and leaves nothing, and a move then keeps its source.
TEST_F(KilledJobs, CopiesAreSyncedTogetherAndARefusedSyncLeavesTheSourceAlone)
{
    struct Row
    {
        const char *name;
        bool move;
        QStringList after;
    } rows[] = {
        {"copy", false, {"dest/L/a_l.jpg", "src/a_l.jpg", "src/b_l.jpg"}},
        {"move across volumes", true, {"dest/L/a_l.jpg", "src/b_l.jpg"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        startRow();
        addMono(QStringLiteral("a_l.jpg"), QStringLiteral("A"));
        addMono(QStringLiteral("b_l.jpg"), QStringLiteral("B"));
        makePhoto(QStringLiteral("a_l.jpg"), QSize(640, 480));
        makePhoto(QStringLiteral("b_l.jpg"), QSize(640, 480));
        store.Naming.FolderMono = dest(QStringLiteral("L"));
        TBatchJobSettings s;
        s.CopyToDestination = !row.move;
        s.MoveToDestination = row.move;
        s.FolderMask = 7;
        QStringList trace;
        TRealFileOps ops;
        ops.SetFaultHook([&](TFaultPoint p, const QString &path) {
            trace << QStringLiteral("%1 %2").arg(int(p)).arg(QFileInfo(path).fileName());
            if (p == TFaultPoint::Sync && path.endsWith(QLatin1String("b_l.jpg")))
                return EIO;
            return row.move ? acrossVolumes(p) : 0;
        });
        engine.SetFileOps(&ops);
        engine.RunBatchJob(s);
        engine.SetFileOps(nullptr);
        EXPECT_TRUE(engine.JobFailed());
        EXPECT_EQ(files().keys(), row.after);
        EXPECT_EQ(logLines(QStringLiteral("b_l.jpg")).size(), 1);
        EXPECT_EQ(redLines(), 2); // the failure and its reason
        // Both targets opened before the first sync.
        const auto at = [&](TFaultPoint p, const char *name) {
            return trace.indexOf(QStringLiteral("%1 %2").arg(int(p)).arg(QLatin1String(name)));
        };
        EXPECT_LT(at(TFaultPoint::OpenTarget, "b_l.jpg"), at(TFaultPoint::Sync, "a_l.jpg"));
        EXPECT_LT(at(TFaultPoint::Sync, "b_l.jpg"), at(TFaultPoint::FinalName, "a_l.jpg"));
        // The journal says what happened to each: a done line after the sync, failed for b.
        const QByteArray journal = readFile(onlyJournal());
        EXPECT_EQ(journal.count("\"event\":\"done\",\"seq\":"), 5); // three folders, two files
        EXPECT_EQ(journal.count("\"ok\":false"), 1);
    }
}

class UndoAfterTheJob : public KilledJobs
{
};

// Undo knows a copy by the digest of its bytes, and deletes it only while its source still
// holds them; it knows a renamed file by size and modification time. Neither inode nor
// change time is asked for: a FAT card has neither stable inodes nor its own change time.
TEST_F(UndoAfterTheJob, KnowsTheJobsFilesByTheirBytesOnAnyFileSystem)
{
    struct Row
    {
        const char *name;
        bool copy;
        std::function<void(UndoAfterTheJob &)> afterJob;
        QStringList afterUndo;
        const char *leftAlone; // the reason in the one "left alone" line, or null
    } rows[] = {
        {"a copy edited since, size and time kept",
         true,
         [](UndoAfterTheJob &f) { editKeepingSizeAndTime(f.dest(QStringLiteral("L/A_L.jpg"))); },
         {"dest/L/A_L.jpg", "src/a_l.jpg", "src/a_r.jpg"},
         "(its bytes are not those the job wrote)"},
        {"a copy whose source was deleted",
         true,
         [](UndoAfterTheJob &f) { QFile::remove(f.src(QStringLiteral("a_l.jpg"))); },
         {"dest/L/A_L.jpg", "src/a_r.jpg"},
         "(its source is gone)"},
        {"a copy whose source was edited",
         true,
         [](UndoAfterTheJob &f) { editKeepingSizeAndTime(f.src(QStringLiteral("a_l.jpg"))); },
         {"dest/L/A_L.jpg", "src/a_l.jpg", "src/a_r.jpg"},
         "(its source has changed since the job)"},
        {"copies after a remount",
         true,
         [](UndoAfterTheJob &f) {
             remount(f.dest(QStringLiteral("L/A_L.jpg")));
             remount(f.dest(QStringLiteral("R/A_R.jpg")));
         },
         {"src/a_l.jpg", "src/a_r.jpg"},
         nullptr},
        {"renamed files after a remount",
         false,
         [](UndoAfterTheJob &f) {
             remount(f.src(QStringLiteral("A_L.jpg")));
             remount(f.src(QStringLiteral("A_R.jpg")));
         },
         {"src/a_l.jpg", "src/a_r.jpg"},
         nullptr},
        {"a renamed file edited since goes back with its edit",
         false,
         [](UndoAfterTheJob &f) { editKeepingSizeAndTime(f.src(QStringLiteral("A_L.jpg"))); },
         {"src/a_l.jpg", "src/a_r.jpg"},
         nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        startRow();
        addPair(QStringLiteral("a"), QStringLiteral("A"));
        TBatchJobSettings s;
        s.CopyToDestination = row.copy;
        s.RenameDestination = row.copy;
        s.RenameSource = !row.copy;
        s.FolderMask = 7;
        EXPECT_FALSE(run(s));
        row.afterJob(*this);
        const auto changed = files();

        // The dry run foretells the undo, folders that stay because a file stays included.
        const TUndoReport dry = UndoJob(engine.JournalPath(), realOps, true);
        const TUndoReport undo = UndoJob(engine.JournalPath(), realOps, false);
        EXPECT_EQ(dry.undone, undo.undone) << dry.lines.join(u'\n').toStdString();
        EXPECT_EQ(dry.leftAlone, undo.leftAlone) << dry.lines.join(u'\n').toStdString();
        EXPECT_EQ(dry.lines.filter(QStringLiteral("(not empty)")),
                  undo.lines.filter(QStringLiteral("(not empty)")));
        QStringList lines = undo.lines.filter(QStringLiteral("left alone: "));
        lines.removeIf(
            [](const QString &line) { return line.endsWith(QLatin1String("(not empty)")); });
        if (row.leftAlone) {
            ASSERT_EQ(lines.size(), 1) << undo.lines.join(u'\n').toStdString();
            EXPECT_TRUE(lines.first().endsWith(QString::fromUtf8(row.leftAlone)))
                << lines.first().toStdString();
        } else {
            EXPECT_TRUE(undo.Complete()) << undo.lines.join(u'\n').toStdString();
        }
        EXPECT_EQ(files().keys(), row.afterUndo);
        // Nothing that was there is lost, edits included.
        const QList<QByteArray> after = files().values();
        for (const QByteArray &bytes : changed)
            EXPECT_TRUE(after.contains(bytes));
    }
}

TEST_F(UndoAfterTheJob, TwoJobsUndoneInReverseOrder)
{
    auto [l, r] = addPair(QStringLiteral("a"), QStringLiteral("First"));
    const auto before = files();
    TBatchJobSettings rename;
    rename.RenameSource = true;
    EXPECT_FALSE(run(rename));
    const QString first = engine.JournalPath();
    l->SetNewName(QStringLiteral("Second"));
    r->SetNewName(QStringLiteral("Second"));
    TBatchJobSettings move;
    move.MoveToDestination = move.RenameDestination = true;
    move.FolderMask = 7;
    EXPECT_FALSE(run(move));
    const QString second = engine.JournalPath();
    ASSERT_NE(first, second);

    const TUndoReport undoSecond = UndoJob(second, realOps, false);
    EXPECT_TRUE(undoSecond.Complete()) << undoSecond.lines.join(u'\n').toStdString();
    const TUndoReport undoFirst = UndoJob(first, realOps, false);
    EXPECT_TRUE(undoFirst.Complete()) << undoFirst.lines.join(u'\n').toStdString();
    EXPECT_EQ(files(), before);
}

// Where the machine can loop-mount a FAT image, the remount above for real.
TEST_F(UndoAfterTheJob, ACopyJobOnARealFatCardIsUndoneAfterARemount)
{
    QTemporaryDir outside;
    const QString image = outside.filePath(QStringLiteral("card.img"));
    const QString card = outside.filePath(QStringLiteral("card"));
    QDir().mkpath(card);
    QFile(image).open(QIODevice::WriteOnly);
    ::truncate(QFile::encodeName(image).constData(), 16 << 20);
    auto sh = [](const QStringList &args) {
        return QProcess::execute(args.first(), args.mid(1)) == 0;
    };
    if (!sh({QStringLiteral("mkfs.vfat"), image}) ||
        !sh({QStringLiteral("mount"), QStringLiteral("-o"), QStringLiteral("loop"), image, card}))
        GTEST_SKIP() << "SKIP: this machine cannot loop-mount a FAT image";
    store.Naming.FolderLeft = card + QStringLiteral("/L");
    store.Naming.FolderRight = card + QStringLiteral("/R");
    addPair(QStringLiteral("a"), QStringLiteral("A"));
    const auto before = files();
    TBatchJobSettings s;
    s.CopyToDestination = true;
    s.FolderMask = 3;
    EXPECT_FALSE(run(s));
    EXPECT_TRUE(sh({QStringLiteral("umount"), card}));
    EXPECT_TRUE(
        sh({QStringLiteral("mount"), QStringLiteral("-o"), QStringLiteral("loop"), image, card}));
    const TUndoReport undo = UndoJob(engine.JournalPath(), realOps, false);
    EXPECT_TRUE(undo.Complete()) << undo.lines.join(u'\n').toStdString();
    EXPECT_TRUE(QDir(card).isEmpty());
    sh({QStringLiteral("umount"), card});
    EXPECT_EQ(files(), before);
}
