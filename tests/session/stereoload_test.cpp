// Stereo cameras' files in the lists: a stereo file becomes its two views as one pair, which
// the ordering passes and "Connect"/"Split" leave together; files that only look like one
// load as the single picture they are.
#include "loading_fixture.h"

#include "imaging/dsorgbild.h"
#include "imaging/jpegcodec.h"
#include "imaging/stereofile.h"
#include "preview/fullscreenpresenter.h"
#include "session/pairchecking.h"
#include "session/paireditor.h"
#include "support/panelrecorder.h"
#include "support/stereoassembler.h"
#include "support/testdata.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>

namespace {

class StereoLoading : public LoadingFixture
{
protected:
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    // Two real camera pictures as the views of an MPO, bent by bend.
    QString mpo(const QString &name,
                const std::function<void(QList<stereotest::MpoPicture> &)> &bend = {})
    {
        QList<stereotest::MpoPicture> pictures(2);
        pictures[0].jpeg = fileBytes(testDataPath("photos/jpg/Canon_40D.jpg"));
        pictures[0].individualNumber = 1;
        pictures[1].jpeg = fileBytes(testDataPath("photos/jpg/Nikon_D70.jpg"));
        pictures[1].individualNumber = 2;
        if (bend)
            bend(pictures);
        return write(name, stereotest::assembleMpo(pictures));
    }
};

TEST_F(StereoLoading, AStereoFileBecomesOnePairThatOnlyItsFileDecides)
{
    const struct
    {
        const char *name;
        std::function<QString()> make;
        bool pair;    // its two views as one pair
        bool damaged; // named in a loading problem
    } rows[] = {
        {"camera MPO", [this] { return copyPhoto("mpo/sugarshack.mpo", "DSCF0001.MPO"); }, true,
         false},
        {"MPO named .JPG", [this] { return mpo("P_L.JPG"); }, true, false},
        {"JPS",
         [this] {
             QImage a(64, 32, QImage::Format_RGB32), b(64, 32, QImage::Format_RGB32);
             a.fill(Qt::red);
             b.fill(Qt::blue);
             return write("sbs.jps", stereotest::assembleJps(a, b, false, std::nullopt));
         },
         true, false},
        {"gain-map style multi-picture",
         [this] { return copyPhoto("mpo/frame_size.mpo", "F.MPO"); }, false, false},
        {"view past the end",
         [this] { return mpo("bad.mpo", [](auto &p) { p[1].declaredOffset = 0x7FFFFFF0; }); },
         false, true},
        {"second view cut short",
         [this] { return mpo("cut.mpo", [](auto &p) { p[1].jpeg.chop(2); }); }, false, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        left.Clear();
        right.Clear();
        view.problems.clear();
        const QString path = row.make();
        processor->LoadFiles({path}, right, LoadSource::Drop, defaults);
        ASSERT_TRUE(runUntilIdle());
        ASSERT_EQ(left.Count(), 1);
        TDatensatz *l = left.EntryAt(0);
        TDatensatz *r = right.EntryAt(0);
        EXPECT_EQ(l->IsStereoView(), row.pair);
        EXPECT_EQ(r->IsStereoView(), row.pair);
        EXPECT_EQ(l->Attribute() == daStereoPair && r->Attribute() == daStereoPair, row.pair);
        EXPECT_EQ(view.problems.size() == 1 && view.problems[0].join(' ').contains(path),
                  row.damaged);
        if (!row.pair)
            continue;
        EXPECT_EQ(l->Partner(), r);
        EXPECT_EQ(l->SourcePath(), path);
        EXPECT_EQ(r->SourcePath(), path);
        EXPECT_NE(l->OrgBild(), r->OrgBild()) << "a holder per view";
        EXPECT_EQ(l->OrgBild()->Part.view, 1);
        EXPECT_EQ(r->OrgBild()->Part.view, 2);
        // Each view's record and picture come from its own stream (or half).
        QImage leftPicture, rightPicture;
        QString error;
        ASSERT_TRUE(l->LoadBitmap(leftPicture, error));
        ASSERT_TRUE(r->LoadBitmap(rightPicture, error));
        EXPECT_FALSE(l->Thumbnail().isNull());
        EXPECT_NE(leftPicture, rightPicture);
        const TStereoFile stereo = ReadStereoFile(path);
        if (stereo.format == TStereoFormat::Mpo) {
            const QByteArray bytes =
                fileBytes(path).mid(stereo.views[1].offset, stereo.views[1].length);
            EXPECT_EQ(rightPicture, DecodeJpeg(reinterpret_cast<const uchar *>(bytes.constData()),
                                               bytes.size(), 1));
            EXPECT_EQ(r->Metadata().FileSize, stereo.views[1].length);
        } else {
            EXPECT_EQ(leftPicture.size(), QSize(64, 32));
            EXPECT_EQ(qRed(leftPicture.pixel(32, 16)), 0)
                << "the right half is view 1 in cross-eyed order";
        }
    }
}

TEST_F(StereoLoading, OrderingAndPairEditingLeaveTheViewsTogether)
{
    const QString stereo = copyPhoto("mpo/sugarshack.mpo", "DSCF0001.MPO");
    const QStringList twins = copyPhotos(3, QStringLiteral("IMG_"), QStringLiteral("_L"));
    processor->LoadFiles(QStringList{stereo} + twins, left, LoadSource::Drop, defaults);
    ASSERT_TRUE(runUntilIdle());
    auto stereoRow = [&] {
        for (int i = 0; i < left.Count(); ++i)
            if (left.EntryAt(i)->IsStereoView())
                return i;
        return -1;
    };
    for (OrderingMode mode :
         {OrderingMode::AssignAll, OrderingMode::SortOnly, OrderingMode::MarkUnassigned}) {
        SCOPED_TRACE(int(mode));
        // Without a second camera's pictures a re-assignment finds no run; the window then
        // puts the pictures opposite gaps again.
        if (pass.ArrangeLists(mode) != ArrangeOutcome::Completed) {
            ASSERT_EQ(pass.ArrangeLists(OrderingMode::MarkUnassigned), ArrangeOutcome::Completed);
        }
        const int row = stereoRow();
        ASSERT_GE(row, 0);
        ASSERT_EQ(left.EntryAt(row)->Partner(), right.EntryAt(row));
        EXPECT_EQ(right.EntryAt(row)->OrgBild()->Part.view, 2);
        EXPECT_EQ(left.EntryAt(row)->Attribute(), daStereoPair);
    }

    // "Split" on the pair, "Connect" of a view with another picture: refused, with a reason.
    TPairEditing editing{pass, state};
    const int row = stereoRow();
    const int other = row == 0 ? 1 : 0;
    for (const auto &[l, r] : {std::pair{row, row}, std::pair{other, row}}) {
        left.ClearSelection();
        right.ClearSelection();
        left.SetSelected(l, true);
        right.SetSelected(r, true);
        EXPECT_FALSE(editing.PanelLinkClick());
        EXPECT_TRUE(editing.LinkRefusal().contains("DSCF0001.MPO"))
            << qPrintable(editing.LinkRefusal());
        EXPECT_EQ(left.EntryAt(row)->Partner(), right.EntryAt(row));
    }
}

// The two views of a stereo file share its path: the pair check, the full-screen view's
// alignment and its swapped eyes must each take the view an entry shows, never the file's
// first picture twice (which measures nothing and shows one eye's picture to both).
TEST_F(StereoLoading, ChecksAndTheFullScreenViewTakeEachViewOfTheFile)
{
    const QString path = copyPhoto("mpo/sugarshack.mpo", "DSCF0001.MPO");
    processor->LoadFiles({path}, left, LoadSource::Drop, defaults);
    ASSERT_TRUE(runUntilIdle());
    TDatensatz *l = left.EntryAt(0);
    TDatensatz *r = right.EntryAt(0);
    ASSERT_TRUE(l->IsStereoView() && r->IsStereoView());

    // What the views are: the camera's two streams, decoded on their own.
    const TStereoFile stereo = ReadStereoFile(path);
    const QByteArray bytes = fileBytes(path);
    QImage views[2];
    for (int v : {0, 1}) {
        const QByteArray stream = bytes.mid(stereo.views[v].offset, stereo.views[v].length);
        views[v] = DecodeJpeg(reinterpret_cast<const uchar *>(stream.constData()),
                              std::size_t(stream.size()), 1);
    }
    const TPairCheck expected = CheckPair(ToWorkingPicture(views[0]), ToWorkingPicture(views[1]));
    ASSERT_TRUE(expected.Measured) << qPrintable(expected.Problem);
    ASSERT_GT(expected.DepthRange(), 0.5) << "the views differ by their depth";

    const std::optional<TPairKey> key = StereoPairKeyOf(l);
    ASSERT_TRUE(key);
    const TPairCheck checked = CheckPairFiles(*key);
    const TAlignmentMeasure aligned =
        MeasureAlignment(TPreviewDecoder::DefaultSourceDecoder(nullptr),
                         {path, l->OrgBild()->Part, {}}, {path, r->OrgBild()->Part, {}});
    ASSERT_TRUE(checked.Measured);
    ASSERT_TRUE(aligned.Correction.Active) << qPrintable(aligned.Problem);
    const struct
    {
        const char *name;
        double got, want;
    } figures[] = {
        {"check: near parallax", checked.NearParallax, expected.NearParallax},
        {"check: far parallax", checked.FarParallax, expected.FarParallax},
        {"check: vertical", checked.VerticalOffset, expected.VerticalOffset},
        {"alignment: vertical", aligned.Correction.VerticalOffset, expected.VerticalOffset},
        {"alignment: rotation", aligned.Correction.Rotation, expected.Rotation},
        {"alignment: scale", aligned.Correction.Scale, expected.Scale},
    };
    for (const auto &f : figures)
        EXPECT_DOUBLE_EQ(f.got, f.want) << f.name;

    // Swapping the eyes puts view 2 in the left panel, though its path is the same.
    TPanelRecorder panels({320, 240});
    TFullScreenPresenter presenter(panels);
    presenter.SetMode(TDisplayMode::Parallel);
    presenter.Show(l, r, nullptr, nullptr);
    ASSERT_TRUE(BothSidesSharp(presenter.Preview()));
    const QImage rightEye = panels.shown[PreviewRight];
    EXPECT_NE(panels.shown[PreviewLeft], rightEye);
    presenter.SwapEyes();
    presenter.Show(l, r, nullptr, nullptr);
    ASSERT_TRUE(BothSidesSharp(presenter.Preview()));
    EXPECT_EQ(panels.shown[PreviewLeft], rightEye);
    EXPECT_TRUE(presenter.Status().LeftName.endsWith(QStringLiteral("(view 2)")))
        << qPrintable(presenter.Status().LeftName);
}

} // namespace
