// The preview's drawing step with real photos: thumbnails by default, sharp pictures
// decoded in the background with "Always reload images", stale results dropped, decoding
// ahead, empty sides, and the anaglyph of two sides drawn at one size.
#include "entries/datensatz.h"
#include "entries/entrystore.h"
#include "imaging/jpegcodec.h"
#include "preview/stereopreview.h"
#include "support/testdata.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <mutex>

namespace {

class RecordingView : public TPreviewView
{
public:
    QSize panel[2] = {QSize(400, 300), QSize(200, 150)};
    QImage shown[2];
    QString names[2];
    QImage anaglyph;

    QSize PanelClientSize(int side) const override { return panel[side]; }
    void ShowPicture(int side, const QImage &bitmap, const QImage &) override
    {
        shown[side] = bitmap;
    }
    void HidePicture(int side) override { shown[side] = QImage(); }
    void ShowExifText(int side, const QString &n, const QString &) override { names[side] = n; }
    void ShowAnaglyph(const QImage &bitmap, const QImage &) override { anaglyph = bitmap; }
    void HideAnaglyph() override { anaglyph = QImage(); }
};

struct Entry
{
    explicit Entry(const QString &relative, int rotation = 0)
        : e(new TDatensatz(store, nullptr, 0, testDataPath(relative), dsLeft,
                           {.Rotation = rotation}))
    {
        e->LoadMetadata();
    }
    ~Entry() { delete e; }
    TEntryStore store; // first: outlives e
    TDatensatz *e;
};

const QString big = QStringLiteral("photos/jpg/Reconyx_HC500_Hyperfire.jpg"); // 2048 x 1536
const QString small = QStringLiteral("photos/jpg/Canon_PowerShot_S40.jpg");   // 480 x 360

struct PreviewFixture : ::testing::Test
{
    RecordingView view;
    TPreviewFlags flags;
    TStereoPreview preview{view, flags};
    std::mutex mutex;
    QList<int> denominators; // chosen by the decodes, in order

    void SetUp() override
    {
        const auto plain = TPreviewDecoder::DefaultSourceDecoder(nullptr);
        preview.Decoder().SetSourceDecoder(
            [this, plain](const QString &path, const TPicturePart &part,
                          const std::function<int(int, int)> &choose) {
                return plain(path, part, [&](int w, int h) {
                    const int d = choose(w, h);
                    std::lock_guard lock(mutex);
                    denominators << d;
                    return d;
                });
            });
    }
    void reload(bool on)
    {
        TPreviewOptions o = preview.Options();
        o.AlwaysReload = on;
        o.ExifChecked = {2, 5};
        preview.SetOptions(o);
    }
    void dirty() { flags.LeftDirty = flags.RightDirty = true; }
};

} // namespace

TEST_F(PreviewFixture, ThumbnailsAreDrawnAtOnceAndEmptySidesHidden)
{
    reload(false);
    Entry left(big);
    Entry missing(QStringLiteral("photos/jpg/no_such_file.jpg"));
    dirty();
    EXPECT_TRUE(preview.IdleDraw(left.e, missing.e));
    EXPECT_FALSE(flags.LeftDirty || flags.RightDirty || flags.ExifDirtyL || flags.ExifDirtyR);
    // The thumbnail without its bands, stretched to the panel's height: 400 x 300.
    EXPECT_EQ(view.shown[PreviewLeft].size(), QSize(400, 300));
    EXPECT_FALSE(preview.IsSharp(PreviewLeft));
    EXPECT_EQ(view.names[PreviewLeft], QStringLiteral("Date/Time\rAperture\r"));
    EXPECT_TRUE(view.shown[PreviewRight].isNull());

    // Nothing dirty: nothing drawn. A deselected side is emptied.
    EXPECT_FALSE(preview.IdleDraw(left.e, nullptr));
    EXPECT_TRUE(view.names[PreviewRight].isEmpty());
    EXPECT_EQ(preview.Decoder().DecodeCount(), 0);
}

TEST_F(PreviewFixture, AlwaysReloadSwapsInTheSharpPictureDecodedJustLargeEnough)
{
    reload(true);
    Entry left(big, 1);
    Entry right(small);
    QSignalSpy sharp(&preview, &TStereoPreview::sharpPictureShown);
    dirty();
    preview.IdleDraw(left.e, right.e);
    const QImage thumbnail = view.shown[PreviewLeft];
    ASSERT_FALSE(thumbnail.isNull()); // the thumbnail stands in meanwhile
    EXPECT_FALSE(preview.IsSharp(PreviewLeft));
    while (sharp.count() < 2)
        ASSERT_TRUE(sharp.wait(5000));
    EXPECT_TRUE(preview.IsSharp(PreviewLeft) && preview.IsSharp(PreviewRight));
    EXPECT_EQ(view.shown[PreviewLeft].size(), QSize(400, 533)); // 533 x 400 turned
    EXPECT_NE(view.shown[PreviewLeft], thumbnail);
    // 2048 x 1536 turned needs 533 x 400 before turning: 1/2 covers it, 1/4 does not. The
    // 480 x 360 picture needs 200 x 150: 240 x 180 at 1/2, while 1/4 is too small.
    std::lock_guard lock(mutex);
    EXPECT_EQ(denominators, QList<int>({2, 2}));
}

TEST_F(PreviewFixture, AResultForARowNoLongerShownIsDropped)
{
    reload(true);
    Entry first(big);
    Entry second(small);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    const auto plain = TPreviewDecoder::DefaultSourceDecoder(nullptr);
    preview.Decoder().SetSourceDecoder([&, plain](const QString &path, const TPicturePart &part,
                                                  const std::function<int(int, int)> &choose) {
        if (path.endsWith(big))
            released.wait(); // the first file is slow
        return plain(path, part, choose);
    });
    QSignalSpy sharp(&preview, &TStereoPreview::sharpPictureShown);
    dirty();
    preview.IdleDraw(first.e, nullptr);
    flags.LeftDirty = true;
    preview.IdleDraw(second.e, nullptr); // the user stepped on
    ASSERT_TRUE(sharp.wait(5000));
    release.set_value();
    preview.Decoder().WaitForIdle();
    QCoreApplication::processEvents();
    EXPECT_EQ(sharp.count(), 1);
    // The second photo at the panel's height: 400 x 300.
    EXPECT_EQ(view.shown[PreviewLeft].size(), QSize(400, 300));
    EXPECT_EQ(view.shown[PreviewLeft], preview.Bitmap(PreviewLeft));
}

TEST_F(PreviewFixture, APairDecodedAheadIsNotDecodedAgain)
{
    reload(true);
    Entry left(big);
    Entry right(small);
    preview.Prefetch(left.e, right.e);
    preview.Decoder().WaitForIdle();
    EXPECT_EQ(preview.Decoder().DecodeCount(), 2);
    QSignalSpy sharp(&preview, &TStereoPreview::sharpPictureShown);
    dirty();
    preview.IdleDraw(left.e, right.e);
    while (sharp.count() < 2)
        ASSERT_TRUE(sharp.wait(5000));
    EXPECT_EQ(preview.Decoder().DecodeCount(), 2);
}

TEST_F(PreviewFixture, AnaglyphDrawsBothSidesForTheLeftPanel)
{
    TPreviewOptions o;
    o.Mode = TDisplayMode::Anaglyph;
    preview.SetOptions(o);
    Entry left(big);
    Entry right(small);
    flags.AnaglyphDirty = true;
    QSignalSpy composed(&preview.Decoder(), &TPreviewDecoder::fitted);
    preview.IdleDraw(left.e, right.e);
    EXPECT_FALSE(flags.AnaglyphDirty);
    // Composed on a worker: the user interface thread only shows it when it arrives.
    EXPECT_TRUE(view.anaglyph.isNull());
    EXPECT_TRUE(view.shown[PreviewLeft].isNull()) << "no side alone in colour meanwhile";
    ASSERT_TRUE(composed.wait(5000));
    // The right panel is 200 x 150, but both pictures are drawn 400 x 300.
    EXPECT_EQ(preview.Bitmap(PreviewRight).size(), QSize(400, 300));
    EXPECT_EQ(view.anaglyph.size(), QSize(400, 300));
    // Without a right row the left picture stands alone.
    preview.IdleDraw(left.e, nullptr);
    EXPECT_TRUE(view.anaglyph.isNull());
    EXPECT_FALSE(view.shown[PreviewLeft].isNull());
}
