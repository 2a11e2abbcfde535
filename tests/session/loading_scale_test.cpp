// Loading many pictures: the sorted lists come before the thumbnails, which follow rows on
// screen first; files that cannot be loaded (gone before they were read, names that are
// not UTF-8) and a lack of memory are reported, never passed over in silence.
#include "loading_fixture.h"

#include "imaging/dsorgbild.h"
#include "support/testdata.h"
#include "ui/markup.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>

#include <fcntl.h>
#include <unistd.h>

namespace {

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.hasExpired(timeoutMs))
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace

TEST_F(LoadingFixture, ReadyWithSortedListsThumbnailsFollowRowsOnScreenFirst)
{
    // Thumbnails wait at a gate that lets through as many reads as the test allows; one at
    // a time, in recorded order.
    struct Gate
    {
        std::mutex mutex;
        std::condition_variable changed;
        int allowed = 0;
        QStringList order;
    };
    auto gate = std::make_shared<Gate>();
    const auto allow = [gate](int reads) {
        {
            std::lock_guard lock(gate->mutex);
            gate->allowed += reads;
        }
        gate->changed.notify_all();
    };
    const auto readCount = [gate] {
        std::lock_guard lock(gate->mutex);
        return int(gate->order.size());
    };
    processor->SetThumbnailReadLimit(1);
    processor->SetThumbnailReadFunction(
        [gate](const QString &path, const TPicturePart &, const TJPEGData &current) {
            {
                std::unique_lock lock(gate->mutex);
                gate->changed.wait(lock, [&] { return gate->allowed > 0; });
                --gate->allowed;
                gate->order << QFileInfo(path).fileName();
            }
            return readImageThumbnail(path, current, nullptr);
        });
    int readySignals = 0;
    int doneSignals = 0;
    QObject::connect(processor, &TIdleProcessor::ready, [&] { ++readySignals; });
    QObject::connect(processor, &TIdleProcessor::thumbnailsDone, [&] { ++doneSignals; });
    const QStringList paths = copyPhotos(15);
    processor->LoadFiles(paths, left, LoadSource::Drop, defaults);
    left.SetVisibleRowCount(2);
    left.SetTopRow(10);

    // "Ready" with the sorted lists, before any thumbnail; the progress bar waits for them.
    ASSERT_TRUE(waitFor([&] { return processor->MetadataRead() && view.sortingActions; }));
    EXPECT_EQ(view.status, QStringLiteral("Ready"));
    EXPECT_GE(readySignals, 1);
    EXPECT_EQ(doneSignals, 0);
    EXPECT_FALSE(processor->IsIdle());
    const std::vector<double> times = captureTimes(left);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    for (int r = 0; r < left.Count(); ++r) {
        EXPECT_GT(times[std::size_t(r)], 0) << r;
        EXPECT_FALSE(left.EntryAt(r)->OrgBild()->ThumbnailLoaded) << r;
    }
    ASSERT_EQ(left.TopRow(), 10);
    QStringList onScreen; // rows 8..13: the visible two and a screen above and below
    for (int r = 8; r <= 13; ++r)
        onScreen << QFileInfo(left.EntryAt(r)->SourcePath()).fileName();
    const QString lastRow = QFileInfo(left.EntryAt(14)->SourcePath()).fileName();

    allow(6);
    ASSERT_TRUE(waitFor([&] {
        int loaded = 0;
        for (int r = 0; r < left.Count(); ++r)
            loaded += left.EntryAt(r)->OrgBild()->ThumbnailLoaded ? 1 : 0;
        return loaded == 6 && readCount() == 6;
    }));
    // Scrolling to the end: the last row comes next (after the read already started),
    // ahead of the rows above it that were left in registry order.
    left.SetTopRow(14);
    allow(100);
    ASSERT_TRUE(runUntilIdle());
    EXPECT_EQ(view.status, QStringLiteral("Ready"));
    EXPECT_EQ(doneSignals, 1);
    ASSERT_EQ(gate->order.size(), 15);
    QStringList first = gate->order.mid(0, 6);
    first.sort();
    onScreen.sort();
    EXPECT_EQ(first, onScreen);
    EXPECT_TRUE(gate->order.mid(6, 2).contains(lastRow)) << gate->order.join(u' ').toStdString();
    for (int r = 0; r < left.Count(); ++r)
        EXPECT_FALSE(left.EntryAt(r)->OrgBild()->Thumbnail.isNull()) << r;
}

TEST_F(LoadingFixture, FileGoneBeforeItWasReadIsLeftOutAndReported)
{
    const QStringList paths = copyPhotos(4);
    const QString doomed = paths[2];
    processor->SetReadFunction(
        [doomed](const QString &path, const TPicturePart &, const TJPEGData &current) {
            if (path == doomed)
                QFile::remove(path); // gone between the listing and the read
            ImageDataResult result;
            result.jpegData = readImageMetadata(path, current, nullptr, &result.fileMissing);
            return result;
        });
    processor->LoadFiles(paths, left, LoadSource::Drop, defaults);
    ASSERT_TRUE(runUntilIdle());

    ASSERT_EQ(view.problems.size(), 1u);
    EXPECT_EQ(view.problems[0], (QStringList{VanishedFilesMessage(), doomed}));
    ASSERT_EQ(left.Count(), 3);
    ASSERT_EQ(right.Count(), 3);
    for (int r = 0; r < 3; ++r) {
        EXPECT_NE(left.EntryAt(r)->SourcePath(), doomed);
        EXPECT_GT(left.EntryAt(r)->CaptureTime(), 0);
        EXPECT_EQ(right.EntryAt(r)->Partner(), left.EntryAt(r));
    }
    EXPECT_EQ(store.Registry.Count(), 6);
}

TEST_F(LoadingFixture, LackOfMemoryStopsTheLoadingAndKeepsWhatIsRead)
{
    const QStringList paths = copyPhotos(5);
    const QString third = paths[2];
    processor->SetReadFunction(
        [third](const QString &path, const TPicturePart &, const TJPEGData &current) {
            if (path == third)
                throw std::bad_alloc();
            return readImageData(path, current, nullptr);
        });
    processor->LoadFiles(paths, left, LoadSource::Drop, defaults);
    ASSERT_TRUE(runUntilIdle());

    ASSERT_EQ(view.problems.size(), 1u);
    EXPECT_EQ(view.problems[0].first(),
              QStringLiteral("Not enough memory to load more pictures: 2 of 5 loaded"));
    // The two read pictures stay, ordered and usable; the unread ones and their gaps went.
    ASSERT_EQ(left.Count(), 2);
    ASSERT_EQ(right.Count(), 2);
    for (int r = 0; r < 2; ++r) {
        EXPECT_TRUE(left.EntryAt(r)->MetaLoaded());
        EXPECT_TRUE(paths.mid(0, 2).contains(left.EntryAt(r)->SourcePath()));
    }
    EXPECT_TRUE(view.sortingActions);
    EXPECT_EQ(view.status, QStringLiteral("Ready"));
}

TEST_F(LoadingFixture, NamesThatAreNotUtf8AreReportedNotSkipped)
{
    const QString folder = dir.filePath(QStringLiteral("drop"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile::copy(testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg")),
                folder + QStringLiteral("/good.jpg"));
    // A valid JPEG named <FB>x<0xFF>.jpg, written by its bytes.
    const QByteArray bad = QFile::encodeName(folder) + QByteArray("/<FB>x\xff.jpg");
    QFile source(testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg")));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    const int fd = ::open(bad.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);

    EXPECT_EQ(processor->LoadFiles({folder}, left, LoadSource::Drop, defaults), 1);
    ASSERT_EQ(view.problems.size(), 1u);
    ASSERT_EQ(view.problems[0].size(), 2);
    EXPECT_EQ(view.problems[0][0], UnaddressableFilesMessage());
    // Named with the byte that is not UTF-8 written out, not as a replacement character.
    const QString shownName = folder + QStringLiteral("/<FB>x\\xff.jpg");
    EXPECT_EQ(view.problems[0][1], shownName);
    // The window's message shows the name as it is: "<FB>" in it sets no bold type.
    EXPECT_TRUE(MarkupPlainText(LoadingProblemText(view.problems[0][0], {view.problems[0][1]}))
                    .endsWith(QStringLiteral("\n  ") + shownName));
    ASSERT_TRUE(runUntilIdle());
    EXPECT_EQ(left.Count(), 1);

    // Dropped by itself, the file comes from the drop so named, and is reported alike.
    view.problems.clear();
    EXPECT_EQ(processor->LoadFiles({shownName}, left, LoadSource::Drop, defaults), 0);
    ASSERT_EQ(view.problems.size(), 1u);
    EXPECT_EQ(view.problems[0], QStringList({UnaddressableFilesMessage(), shownName}));
}
