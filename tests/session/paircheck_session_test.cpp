// The pair check in the session: doubtful pairs of a burst decided by their pictures inside
// an ordering pass, and the window's background check with its kept results, marks and
// counts. The pictures are stereo views made from the test data's real photos.
#include "session/pairchecking.h"
#include "session/paircheckqueue.h"
#include "session/sortaction.h"
#include "session_ordering_fixture.h"

#include "entries/listoperations.h"
#include "imaging/jpegcodec.h"
#include "paircheck/stereopairmaker.h"
#include "paircheck/workingpicture.h"
#include "support/gflfixture.h"
#include "support/paramnames.h"
#include "support/testdata.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// The left and right view files of a stereo pair made from a real photo.
struct ViewFiles
{
    QString Left, Right;
};

ViewFiles WriteViews(const QTemporaryDir &dir, const char *photo, const QString &name,
                     const TPairRecipe &recipe = {})
{
    const QImage source = DecodeJpegFileScaled(
        testDataPath(QStringLiteral("photos/jpg/tests/") + QLatin1String(photo)),
        [](int w, int h) { return std::max(w, h) >= 2300 ? 2 : 1; });
    const TMadePair pair = MakeStereoPair(source, recipe);
    ViewFiles files{dir.filePath(name + QStringLiteral("_L.jpg")),
                    dir.filePath(name + QStringLiteral("_R.jpg"))};
    EXPECT_TRUE(pair.Left.save(files.Left, "JPEG", 92));
    EXPECT_TRUE(pair.Right.save(files.Right, "JPEG", 92));
    return files;
}

// Three photos shot in one second by both cameras: times cannot tell them apart.
constexpr const char *BurstPhotos[] = {"22-canon_tags.jpg", "45-gps_ifd.jpg", "11-tests.jpg"};

class PairCheckSessionTest : public SessionOrderingFixture
{
protected:
    QTemporaryDir dir;

    // A session of regular shots whose rhythm gives the clocks (the right camera 30 s
    // ahead), then a burst of the three photos in one second, of which the right camera took
    // only those in rightBurst (indexes into BurstPhotos).
    void ShootSession(const std::vector<int> &rightBurst)
    {
        const double shots[] = {0, 7, 19, 26, 41, 55, 63, 80};
        for (int i = 0; i < 8; ++i) {
            single(left, QStringLiteral("L%1.jpg").arg(i), at(10, 0, shots[i]));
            single(right, QStringLiteral("R%1.jpg").arg(i), at(10, 0, shots[i] + 30));
        }
        for (int b = 0; b < 3; ++b) {
            const ViewFiles views =
                WriteViews(dir, BurstPhotos[b], QStringLiteral("burst%1").arg(b));
            single(left, views.Left, at(10, 2, 0));
            if (std::find(rightBurst.begin(), rightBurst.end(), b) != rightBurst.end())
                single(right, views.Right, at(10, 2, 30));
        }
    }

    // "burstN_L.jpg" -> "burstN_R.jpg" for every burst pair in the rows.
    std::vector<std::string> BurstPairs() const
    {
        std::vector<std::string> pairs;
        for (int r = 0; r < left.Count(); ++r) {
            const TDatensatz *l = left.EntryAt(r);
            if (l && l->Attribute() == daStereoPair && l->SourcePath().contains("burst"))
                pairs.push_back(PathFileName(l->SourcePath()).toStdString() + " " +
                                PathFileName(l->Partner()->SourcePath()).toStdString());
        }
        return pairs;
    }
};

struct BurstCase
{
    const char *Name;
    PairingMethod Method;
    std::vector<int> RightBurst;
    std::vector<std::string> Pairs; // burst pairs after the pass, in row order
    int DecidedByContent;
};

class BurstPairing : public PairCheckSessionTest, public ::testing::WithParamInterface<BurstCase>
{
};

} // namespace

// Where the right camera missed a shot of the burst, the alignment cannot tell which left
// picture goes alone; the pictures can. The default method is left as it pairs, and a burst
// the times fit exactly needs no decision.
TEST_P(BurstPairing, PicturesDecideWhatTimesCannot)
{
    const BurstCase &c = GetParam();
    ShootSession(c.RightBurst);
    state.PairContent = MakeContentJudge();
    pass.SetPairingMethod(c.Method);
    ASSERT_EQ(ArrangeWindowLists(pass, &state, OrderingMode::AssignAll), ArrangeOutcome::Completed);
    EXPECT_ALIGNED();
    EXPECT_EQ(BurstPairs(), c.Pairs);
    EXPECT_EQ(pass.LastReport().decidedByContent, c.DecidedByContent);
}

INSTANTIATE_TEST_SUITE_P(
    Burst, BurstPairing,
    ::testing::Values(BurstCase{"MiddleShotMissing",
                                PairingMethod::Alignment,
                                {0, 2},
                                {"burst0_L.jpg burst0_R.jpg", "burst2_L.jpg burst2_R.jpg"},
                                1},
                      BurstCase{"FirstShotMissing",
                                PairingMethod::Alignment,
                                {1, 2},
                                {"burst1_L.jpg burst1_R.jpg", "burst2_L.jpg burst2_R.jpg"},
                                2},
                      BurstCase{"DefaultMethodByTimesAlone",
                                PairingMethod::RunAndTime,
                                {0, 2},
                                {"burst0_L.jpg burst0_R.jpg", "burst1_L.jpg burst2_R.jpg"},
                                0}),
    ParamNameFrom(&BurstCase::Name));

// A pair the user made by hand is kept by a pass that pairs only the unassigned pictures,
// even where its pictures do not match and a matching picture lies within the tolerance.
TEST_F(PairCheckSessionTest, APairMadeByHandIsNeverChanged)
{
    ShootSession({0, 2});
    state.PairContent = MakeContentJudge();
    pass.SetPairingMethod(PairingMethod::Alignment);
    TDatensatz *byHandLeft = nullptr, *byHandRight = nullptr;
    for (int r = 0; r < left.Count(); ++r)
        if (TDatensatz *e = left.EntryAt(r); e && e->SourcePath().endsWith("burst0_L.jpg"))
            byHandLeft = e;
    for (int r = 0; r < right.Count(); ++r)
        if (TDatensatz *e = right.EntryAt(r); e && e->SourcePath().endsWith("burst2_R.jpg"))
            byHandRight = e;
    ASSERT_TRUE(byHandLeft && byHandRight);
    // Connected by hand: their gaps go, they become a pair.
    for (TDatensatz *e : {byHandLeft, byHandRight})
        e->Partner()->SetAttribute(daObsolete);
    byHandLeft->SetAttribute(daStereoPair);
    byHandRight->SetAttribute(daStereoPair);
    LinkBothWays(byHandLeft, byHandRight);
    ASSERT_EQ(ArrangeWindowLists(pass, &state, OrderingMode::AssignUnpaired),
              ArrangeOutcome::Completed);
    EXPECT_EQ(byHandLeft->Partner(), byHandRight);
    EXPECT_EQ(byHandLeft->Attribute(), daStereoPair);
}

namespace {

class BackgroundCheck : public PairCheckSessionTest
{
protected:
    std::vector<std::pair<TDatensatz *, TDatensatz *>> pairs;

    // Stereo pairs of view files, one row each.
    void AddPairs(const std::vector<std::pair<QString, QString>> &files)
    {
        double t = at(9, 0, 0);
        for (const auto &[l, r] : files) {
            pairs.push_back(stereo(l, t, r, t));
            t += 10.0 / 86400;
        }
    }

    static bool Wait(TPairCheckQueue &queue)
    {
        return QTest::qWaitFor([&] { return queue.Done(); }, 60000);
    }
};

} // namespace

// Each pair gets its result and its mark in both lists: a good pair none, swapped sides and
// two different photos "bad" with the reason; the counts and the status line follow.
TEST_F(BackgroundCheck, EveryPairIsMarkedByItsResult)
{
    const ViewFiles good = WriteViews(dir, "22-canon_tags.jpg", "good");
    const ViewFiles other = WriteViews(dir, "45-gps_ifd.jpg", "other");
    const ViewFiles tilted =
        WriteViews(dir, "11-tests.jpg", "tilted", {-0.9, 0.1, 0.2, -4.0, -0.8, 2});
    AddPairs({{good.Left, good.Right},
              {good.Right, good.Left},
              {good.Left, other.Right},
              {tilted.Left, tilted.Right}});
    TPairCheckQueue queue(left, right);
    EXPECT_EQ(queue.StatusText(), "");
    queue.Start();
    ASSERT_TRUE(Wait(queue));

    const struct
    {
        TPairMark Mark;
        const char *Reason;
    } expected[] = {{TPairMark::None, ""},
                    {TPairMark::Bad, "sides swapped"},
                    {TPairMark::Bad, "not the same scene"},
                    {TPairMark::Check, "vertical offset"}};
    for (size_t i = 0; i < pairs.size(); ++i) {
        SCOPED_TRACE(i);
        for (TDatensatz *e : {pairs[i].first, pairs[i].second}) {
            EXPECT_EQ(e->PairMark(), expected[i].Mark);
            EXPECT_TRUE(e->PairMarkReason().contains(QLatin1String(expected[i].Reason)))
                << e->PairMarkReason().toStdString();
            ASSERT_NE(queue.ResultFor(e), nullptr);
        }
    }
    EXPECT_EQ(queue.PairCount(), 4);
    EXPECT_EQ(queue.CheckedCount(), 4);
    EXPECT_EQ(queue.SuspectCount(), 3);
    EXPECT_EQ(queue.StatusText(), "4 pairs checked, 3 suspect");
    left.ClearSelection();
    SelectByAttribute(left, 6);
    EXPECT_EQ(left.SelectedCount(), 3);
}

// A result belongs to the pair as it was checked: a turned picture or a new partner drops
// the mark until the pair as it now is has been checked, and the pair that comes back finds
// its result kept; after a batch job every pair is checked anew.
TEST_F(BackgroundCheck, AChangedPairIsCheckedAgainAsItNowIs)
{
    const ViewFiles a = WriteViews(dir, "22-canon_tags.jpg", "a");
    const ViewFiles b = WriteViews(dir, "45-gps_ifd.jpg", "b");
    AddPairs({{a.Left, a.Right}, {b.Left, b.Right}});
    std::atomic<int> checks = 0;
    TPairCheckQueue queue(left, right);
    queue.SetCheckFunction([&](const TPairKey &key) {
        ++checks;
        return CheckPairFiles(key);
    });
    queue.Start();
    ASSERT_TRUE(Wait(queue));
    ASSERT_EQ(checks, 2);
    ASSERT_EQ(queue.SuspectCount(), 0);

    // Turned: a different pair to look at, and a bad one.
    TDatensatz *turned = pairs[0].second;
    turned->SetRotation(1);
    queue.MarkOutOfDate();
    queue.Fill();
    EXPECT_EQ(queue.ResultFor(turned), nullptr);
    ASSERT_TRUE(Wait(queue));
    EXPECT_EQ(checks, 3);
    EXPECT_EQ(turned->PairMark(), TPairMark::Bad);
    EXPECT_EQ(queue.SuspectCount(), 1);

    // Turned back: the kept result, no new check.
    turned->SetRotation(0);
    queue.MarkOutOfDate();
    queue.Fill();
    EXPECT_TRUE(queue.Done());
    EXPECT_EQ(turned->PairMark(), TPairMark::None);
    EXPECT_EQ(checks, 3);

    // New partners (the rows' texts change with them): both cross pairs are checked.
    LinkBothWays(pairs[0].first, pairs[1].second);
    LinkBothWays(pairs[1].first, pairs[0].second);
    queue.Fill();
    ASSERT_TRUE(Wait(queue));
    EXPECT_EQ(checks, 5);
    EXPECT_EQ(pairs[0].first->PairMark(), TPairMark::Bad);
    EXPECT_EQ(queue.SuspectCount(), 2);

    // Files a batch job turned hold other pictures: every pair is checked anew.
    queue.ForgetResults();
    queue.Fill();
    ASSERT_TRUE(Wait(queue));
    EXPECT_EQ(checks, 7);
}

// The checks run beside the event loop: timers keep firing while they run, and results
// arrive through the loop.
TEST_F(BackgroundCheck, TheEventLoopKeepsTurningWhileChecksRun)
{
    const ViewFiles a = WriteViews(dir, "22-canon_tags.jpg", "a");
    AddPairs({{a.Left, a.Right}, {a.Right, a.Left}, {a.Left, a.Left}, {a.Right, a.Right}});
    TPairCheckQueue queue(left, right);
    queue.SetLimit(1);
    // Each check long enough that the four take a while.
    queue.SetCheckFunction([](const TPairKey &key) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return CheckPairFiles(key);
    });
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    queue.Start();
    EXPECT_EQ(queue.CheckedCount(), 0); // nothing is checked before the loop turns
    ASSERT_TRUE(Wait(queue));
    // 400 ms of checks: a loop blocked by them would have fired a handful of times at most.
    EXPECT_GE(ticks, 20);
    EXPECT_EQ(queue.CheckedCount(), 4);
}

namespace {

class PairCheckOfOtherFormats : public GflLibraryTest
{
};

} // namespace

// Phone and RAW pairs are checked by the pictures the imaging library hands (a HEIF file's
// picture, a RAW file's JPEG preview) at about the working size; without the library, or
// with JPEG decoding alone, they get no verdict.
TEST_F(PairCheckOfOtherFormats, HeifAndRawPairsAreCheckedThroughTheImagingLibrary)
{
    if (!library || !library->available()) {
        GTEST_SKIP() << "the imaging modules are not available";
    }
    const struct
    {
        const char *name;
        const char *file;
        int workingLongSide;
        bool detailed; // a photo, not a drawing of four flat quarters
    } rows[] = {
        {"a phone's HEIC", "heic/IMG_5195.HEIC", WorkingLongSide, true},
        {"a RAW file's JPEG preview", "raw/turned.dng", 0, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = testDataPath(QStringLiteral("photos/") + QLatin1String(row.file));
        const QImage working = DecodeWorkingPicture(path, {}, {}, library);
        ASSERT_FALSE(working.isNull());
        if (row.workingLongSide > 0) {
            EXPECT_EQ(std::max(working.width(), working.height()), row.workingLongSide);
        }
        EXPECT_TRUE(DecodeWorkingPicture(path).isNull()) << "JPEG decoding alone cannot read it";

        // The picture against itself: one scene, nothing to correct.
        const TPairKey key{path, path, {}, {}, {}, {}};
        EXPECT_EQ(CheckPairFiles(key).Verdict, TPairVerdict::None);
        const TPairCheck check = CheckPairFiles(key, library);
        EXPECT_FALSE(check.Problem.contains(QStringLiteral("cannot be read")));
        if (!row.detailed)
            continue;
        EXPECT_TRUE(check.Compared) << qPrintable(check.Problem);
        EXPECT_NE(check.Verdict, TPairVerdict::None) << qPrintable(check.Problem);
        EXPECT_NEAR(check.VerticalOffset, 0.0, 0.05);
    }
}
