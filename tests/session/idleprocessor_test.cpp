// The idle processing after files were added: metadata read on the pool and applied in
// IdleIndex order, new gaps taking their partner's time, the ordering after the last entry,
// the enabled actions and the status texts, and what the user may do while it reads
// (drop more files, delete rows, clear both lists).
#include "loading_fixture.h"

#include "entries/listoperations.h"
#include "entries/namingsettings.h"
#include "imaging/dsorgbild.h"
#include "imaging/imagelist.h"
#include "imaging/libgfl.h"
#include "pairing/orderingprogress.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>

namespace {

// The real reader, slowed down per file name and recording the order in which reads finish.
struct SlowReader
{
    std::function<int(const QString &name)> delayMs;
    std::shared_ptr<std::mutex> mutex = std::make_shared<std::mutex>();
    std::shared_ptr<QStringList> finished = std::make_shared<QStringList>();

    ImageReadFunction function() const
    {
        return [delay = delayMs, mutex = mutex, finished = finished](
                   const QString &path, const TPicturePart &, const TJPEGData &current) {
            const QString name = QFileInfo(path).fileName();
            if (delay)
                QThread::msleep(static_cast<unsigned long>(delay(name)));
            ImageDataResult result = readImageData(path, current, nullptr);
            std::lock_guard lock(*mutex);
            *finished << name;
            return result;
        };
    }
};

// Every image entry at a registry position below IdleIndex has its metadata, none at or
// after it has: results were taken over in IdleIndex order, whatever order the pool
// finished in.
bool appliedInIdleOrder(const TDatensatzList &registry, int idleIndex, std::string &fault)
{
    for (int i = 0; i < registry.Count(); ++i) {
        const TDatensatz *e = registry.At(i);
        if (e->SourcePath().isEmpty())
            continue;
        const bool loaded = e->OrgBild()->Loaded;
        if (loaded != (i < idleIndex)) {
            fault = "entry " + std::to_string(i) + (loaded ? " loaded" : " not loaded") +
                    " at IdleIndex " + std::to_string(idleIndex);
            return false;
        }
    }
    return true;
}

int imageCount(const ListRowModel &list)
{
    int n = 0;
    for (int i = 0; i < list.Count(); ++i)
        n += list.EntryAt(i)->Attribute() < daGapNew ? 1 : 0;
    return n;
}

} // namespace

TEST_F(LoadingFixture, ThreeFilesOnTheLeftListAreReadOrderedAndReady)
{
    // Registry order (drop order) is not capture order.
    const QStringList paths = {
        copyPhoto(QStringLiteral("jpg/Canon_40D.jpg"), QStringLiteral("A.JPG")), // 2008
        copyPhoto(QStringLiteral("jpg/Fujifilm_FinePix6900ZOOM.jpg"),
                  QStringLiteral("B.JPG")),                                          // 2001
        copyPhoto(QStringLiteral("jpg/Kodak_CX7530.jpg"), QStringLiteral("C.JPG"))}; // 2005
    processor->LoadFiles(paths, left, LoadSource::Drop, defaults);
    // Before the idle pass: images unassigned, gaps new, nothing enabled.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(left.Row(i)->Text(lcAttributes), QStringLiteral("Unassigned"));
        EXPECT_EQ(right.EntryAt(i)->Attribute(), daGapNew);
    }
    EXPECT_FALSE(view.sortingActions);
    EXPECT_FALSE(view.batchJob);

    ASSERT_TRUE(runUntilIdle());
    EXPECT_EQ(view.status, QStringLiteral("Ready"));
    EXPECT_EQ(view.progressPosition, view.progressMaximum);
    EXPECT_TRUE(view.sortingActions);
    EXPECT_TRUE(view.radioButtons);
    EXPECT_TRUE(view.batchJob);
    EXPECT_GE(view.idlePreviewCalls, 1);

    ASSERT_EQ(left.Count(), 3);
    ASSERT_EQ(right.Count(), 3);
    QStringList order;
    for (int i = 0; i < 3; ++i) {
        TDatensatz *image = left.EntryAt(i);
        TDatensatz *gap = right.EntryAt(i);
        order << QFileInfo(image->SourcePath()).fileName();
        EXPECT_EQ(image->Number(), i);
        EXPECT_EQ(gap->Number(), i);
        EXPECT_EQ(gap->Partner(), image);
        EXPECT_EQ(gap->Attribute(), daGap);
        EXPECT_EQ(right.Row(i)->Text(lcAttributes), QStringLiteral("Gap"));
        EXPECT_DOUBLE_EQ(gap->CaptureTime(), image->CaptureTime());
        EXPECT_TRUE(image->MetaLoaded());
        EXPECT_EQ(image->Rotation(), 2); // orientation "normal" keeps the left default (180°)
        EXPECT_FALSE(left.Row(i)->Text(lcDateTime).isEmpty());
    }
    EXPECT_EQ(order, (QStringList{"B.JPG", "C.JPG", "A.JPG"}));
}

TEST_F(LoadingFixture, NewGapsTakeTheirPartnersTimeInTheIdlePassItself)
{
    processor->SetOrdering(nullptr, nullptr); // only the idle pass, no ordering afterwards
    const QStringList paths = copyPhotos(4);
    processor->LoadFiles(paths, right, LoadSource::Drop, defaults);
    ASSERT_TRUE(runUntilIdle());
    for (int i = 0; i < 4; ++i) {
        TDatensatz *image = right.EntryAt(i);
        TDatensatz *gap = left.EntryAt(i);
        EXPECT_EQ(gap->Attribute(), daGap);
        EXPECT_EQ(gap->Rotation(), 0); // a gap's rotation becomes 0 when its record is taken
        EXPECT_GT(image->CaptureTime(), 0);
        EXPECT_DOUBLE_EQ(gap->CaptureTime(), image->CaptureTime());
    }
}

TEST_F(LoadingFixture, OrientationTagPresetsTheRotationOnce)
{
    // The left default is 180°: orientation "normal" keeps it, a file without EXIF has
    // code 0, the turned ones set their quarter turns.
    struct Case
    {
        const char *file;
        int rotation;
    };
    const Case cases[] = {{"landscape_1.jpg", 2},
                          {"landscape_3.jpg", 2},
                          {"landscape_6.jpg", 1},
                          {"landscape_8.jpg", 3},
                          {"no_exif.jpg", 0}};
    for (const Case &c : cases) {
        const QString name = QLatin1String(c.file);
        if (name == QLatin1String("no_exif.jpg")) {
            QImage plain(64, 48, QImage::Format_RGB32);
            plain.fill(Qt::darkCyan);
            ASSERT_TRUE(plain.save(dir.filePath(name), "JPEG"));
            processor->AddFile(dir.filePath(name), left, defaults);
        } else {
            processor->AddFile(copyPhoto(QStringLiteral("jpg/orientation/") + name, name), left,
                               defaults);
        }
    }
    ASSERT_TRUE(runUntilIdle());
    std::map<QString, int> rotations;
    for (TDatensatz *e : rowEntries(left))
        rotations[QFileInfo(e->SourcePath()).fileName()] = e->Rotation();
    for (const Case &c : cases)
        EXPECT_EQ(rotations[QLatin1String(c.file)], c.rotation) << c.file;

    // The user's rotation survives another loading walk.
    TDatensatz *turned = left.EntryAt(0);
    turned->SetRotation(1);
    processor->AddFile(copyPhoto(QStringLiteral("jpg/Nikon_D70.jpg"), QStringLiteral("n.jpg")),
                       left, defaults);
    ASSERT_TRUE(runUntilIdle());
    EXPECT_EQ(turned->Rotation(), 1);
}

TEST_F(LoadingFixture, StatusAndProgressEveryFifteenthEntry)
{
    processor->SetOrdering(nullptr, nullptr);
    processor->LoadFiles(copyPhotos(20), left, LoadSource::OpenDialog, defaults);
    view.statusHistory.clear();
    ASSERT_TRUE(runUntilIdle());
    QStringList reading;
    for (const QString &text : view.statusHistory) {
        if (text.startsWith(QStringLiteral("Reading data 3/3")))
            reading << text;
    }
    EXPECT_EQ(reading, (QStringList{"Reading data 3/3  (0/40)", "Reading data 3/3  (15/40)",
                                    "Reading data 3/3  (30/40)"}));
    EXPECT_EQ(view.statusHistory.back(), QStringLiteral("Ready"));
    EXPECT_EQ(view.progressMaximum, 40);
    EXPECT_EQ(view.progressPosition, 40);
}

TEST_F(LoadingFixture, EmptyListsReadNoData)
{
    processor->IdleProcess();
    EXPECT_EQ(view.status, QStringLiteral("No data"));
    EXPECT_EQ(view.progressMaximum, 1000);
    EXPECT_EQ(view.progressPosition, 0);
    EXPECT_FALSE(view.sortingActions);
    EXPECT_FALSE(view.radioButtons);
    EXPECT_FALSE(view.batchJob);
}

TEST_F(LoadingFixture, ResultsAreAppliedInIdleOrderWhenThePoolFinishesOutOfOrder)
{
    processor->SetOrdering(nullptr, nullptr);
    SlowReader reader;
    // The first files take longest, so later reads finish first.
    reader.delayMs = [](const QString &name) {
        return name == QLatin1String("IMG_0001.JPG") ? 150 : 10;
    };
    processor->SetReadFunction(reader.function());
    processor->SetReadAheadLimit(6);
    processor->SetWaitSlice(std::chrono::milliseconds(2));
    processor->LoadFiles(copyPhotos(8), left, LoadSource::Drop, defaults);

    std::string fault;
    int checks = 0;
    view.onEvents = [&] {
        if (fault.empty() && !appliedInIdleOrder(store.Registry, processor->IdleIndex(), fault))
            return;
        ++checks;
    };
    ASSERT_TRUE(runUntilIdle());
    EXPECT_TRUE(fault.empty()) << fault;
    EXPECT_GT(checks, 5);

    // The pool did finish out of order.
    std::lock_guard lock(*reader.mutex);
    ASSERT_EQ(reader.finished->size(), 8);
    EXPECT_NE(reader.finished->indexOf(QStringLiteral("IMG_0001.JPG")), 0);
    EXPECT_GT(reader.finished->indexOf(QStringLiteral("IMG_0001.JPG")),
              reader.finished->indexOf(QStringLiteral("IMG_0004.JPG")));
    for (TDatensatz *e : rowEntries(left))
        EXPECT_TRUE(e->MetaLoaded());
}

TEST_F(LoadingFixture, WaitingForASlowFileKeepsEventsFlowing)
{
    processor->SetOrdering(nullptr, nullptr);
    SlowReader reader;
    reader.delayMs = [](const QString &) { return 300; };
    processor->SetReadFunction(reader.function());
    processor->LoadFiles(copyPhotos(3), left, LoadSource::Drop, defaults);
    view.longestStretchMs = 0;
    view.startTiming();
    ASSERT_TRUE(runUntilIdle());
    // Three reads of 300 ms, two at a time: the pass waited about 600 ms in slices of 5 ms.
    // Waiting for a read in one piece would leave a stretch of 300 ms without events.
    EXPECT_GE(view.eventsLetThrough, 20);
    EXPECT_LT(view.longestStretchMs, 150);
}

TEST_F(LoadingFixture, TheSameFileTwiceIsReadOnce)
{
    processor->SetOrdering(nullptr, nullptr);
    SlowReader reader;
    processor->SetReadFunction(reader.function());
    const QString path = copyPhoto(QStringLiteral("jpg/Canon_40D.jpg"), QStringLiteral("same.jpg"));
    processor->AddFile(path, left, defaults);
    processor->AddFile(path, right, defaults);
    ASSERT_TRUE(runUntilIdle());
    EXPECT_EQ(store.Holders.Count(), 2); // the file's holder and the gaps' holder
    std::lock_guard lock(*reader.mutex);
    EXPECT_EQ(*reader.finished, QStringList{"same.jpg"});
    EXPECT_TRUE(left.EntryAt(0)->MetaLoaded());
    EXPECT_TRUE(right.EntryAt(1)->MetaLoaded());
}

TEST_F(LoadingFixture, FilesDroppedWhileReadingAreReadAndOrderedToo)
{
    SlowReader reader;
    reader.delayMs = [](const QString &) { return 10; };
    processor->SetReadFunction(reader.function());
    const QStringList first = copyPhotos(10, QStringLiteral("IMG_"));
    const QStringList later = {
        copyPhoto(QStringLiteral("jpg/Fujifilm_FinePix6900ZOOM.jpg"),
                  QStringLiteral("A_LATE_L.JPG")),
        copyPhoto(QStringLiteral("jpg/WWL_(Polaroid)_ION230.jpg"), QStringLiteral("LATE2.JPG"))};
    processor->LoadFiles(first, left, LoadSource::Drop, defaults);
    bool dropped = false;
    view.onEvents = [&] {
        if (!dropped && processor->IdleIndex() >= 6) {
            dropped = true;
            processor->LoadFiles(later, right, LoadSource::Drop, defaults);
            EXPECT_EQ(processor->IdleIndex(), 0);
        }
    };
    ASSERT_TRUE(runUntilIdle());
    ASSERT_TRUE(dropped);
    EXPECT_EQ(imageCount(left), 11);
    EXPECT_EQ(imageCount(right), 1);
    for (TDatensatz *e : store.Registry.Entries())
        EXPECT_TRUE(e->MetaLoaded());
    const std::vector<double> times = captureTimes(left);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    // The dropped left picture has the earliest time (shared with IMG_0004, its name is first).
    EXPECT_EQ(QFileInfo(left.EntryAt(0)->SourcePath()).fileName(), QStringLiteral("A_LATE_L.JPG"));
    EXPECT_EQ(view.status, QStringLiteral("Ready"));
}

TEST_F(LoadingFixture, RowsDeletedWhileTheirFilesAreReadAreDroppedAndNothingIsSkipped)
{
    processor->SetOrdering(nullptr, nullptr);
    SlowReader reader;
    reader.delayMs = [](const QString &) { return 15; };
    processor->SetReadFunction(reader.function());
    processor->SetReadAheadLimit(4);
    processor->LoadFiles(copyPhotos(30), left, LoadSource::Drop, defaults);

    // Registry: image i at 2i, its gap at 2i + 1. While the walk is around image 9, the
    // user removes an image already read (row 2), the one being read and one read ahead.
    std::set<QString> removed;
    bool done = false;
    view.onEvents = [&] {
        if (done || processor->IdleIndex() < 18)
            return;
        done = true;
        for (int row : {14, 10, 2}) { // the rows of IMG_0015, IMG_0011, IMG_0003
            TDatensatz *e = left.EntryAt(row);
            removed.insert(QFileInfo(e->SourcePath()).fileName());
            EXPECT_TRUE(DeleteEntryPair(e)); // image and gap rows go
        }
    };
    ASSERT_TRUE(runUntilIdle());
    ASSERT_TRUE(done);
    EXPECT_EQ(removed, (std::set<QString>{"IMG_0003.JPG", "IMG_0011.JPG", "IMG_0015.JPG"}));
    EXPECT_EQ(left.Count(), 27);
    EXPECT_EQ(store.Registry.Count(), 54);
    for (TDatensatz *e : store.Registry.Entries()) {
        EXPECT_TRUE(e->MetaLoaded()) << e->SourcePath().toStdString();
        EXPECT_TRUE(removed.count(QFileInfo(e->SourcePath()).fileName()) == 0);
    }
    for (int i = 0; i < right.Count(); ++i)
        EXPECT_EQ(right.EntryAt(i)->Attribute(), daGap);
    EXPECT_EQ(view.status, QStringLiteral("Ready"));
}

TEST_F(LoadingFixture, RemoveAllWhileReadingStopsTheWalkAndDiscardsTheReads)
{
    SlowReader reader;
    reader.delayMs = [](const QString &) { return 20; };
    processor->SetReadFunction(reader.function());
    processor->LoadFiles(copyPhotos(20), left, LoadSource::Drop, defaults);
    QString asked;
    bool cleared = false;
    view.onEvents = [&] {
        if (cleared || processor->IdleIndex() < 10)
            return;
        cleared = true;
        EXPECT_TRUE(processor->RemoveAllItems([&](const QString &question) {
            asked = question;
            EXPECT_EQ(left.Count(), 20);
            return DlgAnswerYes;
        }));
    };
    ASSERT_TRUE(runUntilIdle());
    ASSERT_TRUE(cleared);
    EXPECT_EQ(
        asked,
        QStringLiteral(
            "<FB><c4><FS12>Confirmation required:<FN> <LF>Remove all entries from both lists?"));
    EXPECT_EQ(left.Count(), 0);
    EXPECT_EQ(right.Count(), 0);
    EXPECT_EQ(store.Registry.Count(), 0);
    EXPECT_GE(view.previewsMarkedDirty, 1);
    EXPECT_EQ(view.status, QStringLiteral("No data"));
    EXPECT_EQ(view.progressMaximum, 1000);
    EXPECT_FALSE(view.sortingActions);
    EXPECT_FALSE(view.batchJob);

    // Loading works again afterwards.
    view.onEvents = nullptr;
    processor->LoadFiles(copyPhotos(2, QStringLiteral("NEW_")), left, LoadSource::Drop, defaults);
    ASSERT_TRUE(runUntilIdle());
    EXPECT_EQ(left.Count(), 2);
    EXPECT_EQ(view.status, QStringLiteral("Ready"));
}

TEST_F(LoadingFixture, RemoveAllAnsweredNoKeepsTheListsButDisablesUntilTheNextIdlePass)
{
    processor->LoadFiles(copyPhotos(3), left, LoadSource::Drop, defaults);
    // While the question is open, an idle pass reads nothing and enables nothing.
    EXPECT_FALSE(processor->RemoveAllItems([&](const QString &) {
        processor->IdleProcess();
        for (TDatensatz *e : store.Registry.Entries())
            EXPECT_FALSE(e->MetaLoaded());
        EXPECT_FALSE(view.sortingActions);
        EXPECT_FALSE(view.batchJob);
        return DlgAnswerNo;
    }));
    ASSERT_TRUE(runUntilIdle());
    ASSERT_TRUE(view.sortingActions);
    const std::vector<TDatensatz *> before = rowEntries(left);

    // Rows out of time order (as list actions may leave them): the walk that the answer No
    // starts ends with the chronological ordering, as every walk does.
    const auto backwards = [](const ListRow &a, const ListRow &b) {
        return b.Data()->Number() - a.Data()->Number();
    };
    left.SortRows(backwards);
    right.SortRows(backwards);
    EXPECT_FALSE(processor->RemoveAllItems([](const QString &) { return DlgAnswerNo; }));
    EXPECT_NE(rowEntries(left), before);
    EXPECT_EQ(right.Count(), 3);
    EXPECT_FALSE(view.sortingActions);
    EXPECT_FALSE(view.batchJob);
    EXPECT_EQ(processor->IdleIndex(), 0);

    ASSERT_TRUE(runUntilIdle());
    EXPECT_TRUE(view.sortingActions);
    EXPECT_TRUE(view.batchJob);
    EXPECT_EQ(rowEntries(left), before);
    EXPECT_EQ(view.status, QStringLiteral("Ready"));

    // Yes clears, also the thumbnails of the small image list.
    TImageList images(32, 32);
    left.SetSmallImages(&images);
    right.SetSmallImages(&images);
    RefreshAllEntries(store.Registry);
    for (TDatensatz *e : store.Registry.Entries())
        e->IconIndex();
    EXPECT_GT(images.Count(), 0);
    EXPECT_TRUE(processor->RemoveAllItems([](const QString &) { return DlgAnswerYes; }));
    EXPECT_EQ(images.Count(), 0);
    EXPECT_EQ(store.Registry.Count(), 0);
    left.SetSmallImages(nullptr);
    right.SetSmallImages(nullptr);
}

TEST_F(LoadingFixture, SortingActionsStayDisabledWhileReading)
{
    SlowReader reader;
    reader.delayMs = [](const QString &) { return 5; };
    processor->SetReadFunction(reader.function());
    processor->LoadFiles(copyPhotos(16), left, LoadSource::Drop, defaults);
    bool enabledWhileReading = false;
    int looks = 0;
    view.onEvents = [&] {
        ++looks;
        enabledWhileReading =
            enabledWhileReading || view.sortingActions || view.radioButtons || view.batchJob;
    };
    ASSERT_TRUE(runUntilIdle());
    EXPECT_GT(looks, 2);
    EXPECT_FALSE(enabledWhileReading);
    EXPECT_TRUE(view.sortingActions);
}

TEST_F(LoadingFixture, RefreshPendingRewritesAllRowsAtTheNextPass)
{
    processor->LoadFiles(copyPhotos(2), left, LoadSource::Drop, defaults);
    ASSERT_TRUE(runUntilIdle());
    store.Naming.SuffixMono = QStringLiteral("_MONO");
    const QString name = left.Row(0)->Text(lcNewName);
    EXPECT_TRUE(name.endsWith(QStringLiteral("_M.JPG"))) << name.toStdString();
    processor->SetRefreshPending();
    EXPECT_TRUE(processor->RefreshPending());
    ASSERT_TRUE(runUntilIdle());
    EXPECT_FALSE(processor->RefreshPending());
    EXPECT_EQ(left.Row(0)->Text(lcNewName), name.chopped(6) + QStringLiteral("_MONO.JPG"));
}

TEST_F(LoadingFixture, ACallFromAnEventLetThroughDoesNotStartASecondPass)
{
    processor->SetOrdering(nullptr, nullptr);
    processor->LoadFiles(copyPhotos(16), left, LoadSource::Drop, defaults);
    int nested = 0;
    view.onEvents = [&] {
        const int index = processor->IdleIndex();
        processor->IdleProcess();
        ++nested;
        EXPECT_EQ(processor->IdleIndex(), index);
        EXPECT_TRUE(processor->IsProcessing());
    };
    ASSERT_TRUE(runUntilIdle());
    EXPECT_GT(nested, 0);
    for (TDatensatz *e : store.Registry.Entries())
        EXPECT_TRUE(e->MetaLoaded());
}

TEST_F(LoadingFixture, BatchJobSortsTheRegistryByCaptureTimeThenName)
{
    EXPECT_FALSE(TIdleProcessor::PrepareBatchJob(store.Registry));
    processor->SetOrdering(nullptr, nullptr);
    // Two files with the same capture time: the file name decides.
    const QStringList paths = {
        copyPhoto(QStringLiteral("jpg/Canon_40D.jpg"), QStringLiteral("Z.JPG")),
        copyPhoto(QStringLiteral("jpg/Fujifilm_FinePix6900ZOOM.jpg"), QStringLiteral("M.JPG")),
        copyPhoto(QStringLiteral("jpg/Canon_40D.jpg"), QStringLiteral("A.JPG"))};
    processor->LoadFiles(paths, left, LoadSource::Drop, defaults);
    ASSERT_TRUE(runUntilIdle());
    ASSERT_TRUE(TIdleProcessor::PrepareBatchJob(store.Registry));
    QStringList names;
    for (TDatensatz *e : store.Registry.Entries()) {
        if (e->Attribute() < daGapNew)
            names << QFileInfo(e->SourcePath()).fileName();
    }
    EXPECT_EQ(names, (QStringList{"M.JPG", "A.JPG", "Z.JPG"}));
    // Each gap stands for its partner and follows the same order.
    const std::vector<TDatensatz *> all = store.Registry.Entries();
    for (size_t i = 1; i < all.size(); ++i)
        EXPECT_LE(all[i - 1]->CaptureTime(), all[i]->CaptureTime() + 1e-9);
}

TEST_F(LoadingFixture, ADropDoesNotRunTheDuePassBeforeItsFilesAreIn)
{
    processor->AddFile(copyPhoto(QStringLiteral("jpg/Canon_40D.jpg"), QStringLiteral("first.jpg")),
                       left, defaults);
    // The pass for the first file is due; the drop lets events through before adding.
    processor->LoadFiles(copyPhotos(3), left, LoadSource::Drop, defaults);
    EXPECT_EQ(view.eventsLetThrough, 1);
    for (TDatensatz *e : store.Registry.Entries())
        EXPECT_FALSE(e->MetaLoaded());
    EXPECT_FALSE(view.sortingActions);
    EXPECT_EQ(view.status, StatusAddingFiles());
    ASSERT_TRUE(runUntilIdle());
    EXPECT_EQ(left.Count(), 4);
}

TEST_F(LoadingFixture, RemoveAllIsIgnoredWhileTheOrderingPassLetsEventsThrough)
{
    struct ClickingProgress : TOrderingProgress
    {
        std::function<void()> click;
        void StepStarted(const QString &, int) override { click(); }
        void RowDone(int) override {}
    } progress;
    int asked = 0;
    int clicks = 0;
    progress.click = [&] {
        ++clicks;
        EXPECT_FALSE(processor->RemoveAllItems([&](const QString &) {
            ++asked;
            return DlgAnswerYes;
        }));
    };
    pass.SetProgress(&progress);
    processor->LoadFiles(copyPhotos(3), left, LoadSource::Drop, defaults);
    ASSERT_TRUE(runUntilIdle());
    pass.SetProgress(nullptr);
    EXPECT_GT(clicks, 0);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(left.Count(), 3);
    EXPECT_EQ(view.status, QStringLiteral("Ready"));
}
