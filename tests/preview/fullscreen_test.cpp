// The full-screen view's rules: keys, steps and scrolling, the pair read ahead, the
// alignment measured on real photos and undone, and the drawing of a pair (swapped eyes,
// alignment, reading ahead, nothing decoded twice).
#include "entries/datensatz.h"
#include "entries/entrystore.h"
#include "paircheck/stereopairmaker.h"
#include "preview/fullscreen.h"
#include "preview/fullscreenpresenter.h"
#include "support/panelrecorder.h"
#include "support/testdata.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

struct KeyCase
{
    int Key;
    Qt::KeyboardModifiers Modifiers;
    TFullScreenAction Action;
};

struct StepCase
{
    const char *Name;
    TFullScreenAction Action;
    int Row, Count, Page;
    int Expected;
};

} // namespace

TEST(FullScreenKeys, EachKeyHasItsAction)
{
    const KeyCase cases[] = {
        {Qt::Key_Right, Qt::NoModifier, TFullScreenAction::Next},
        {Qt::Key_Down, Qt::NoModifier, TFullScreenAction::Next},
        {Qt::Key_Space, Qt::NoModifier, TFullScreenAction::Next},
        {Qt::Key_Left, Qt::NoModifier, TFullScreenAction::Previous},
        {Qt::Key_Up, Qt::NoModifier, TFullScreenAction::Previous},
        {Qt::Key_Backspace, Qt::NoModifier, TFullScreenAction::Previous},
        {Qt::Key_PageDown, Qt::NoModifier, TFullScreenAction::PageNext},
        {Qt::Key_PageUp, Qt::NoModifier, TFullScreenAction::PagePrevious},
        {Qt::Key_Home, Qt::NoModifier, TFullScreenAction::First},
        {Qt::Key_End, Qt::NoModifier, TFullScreenAction::Last},
        {Qt::Key_S, Qt::NoModifier, TFullScreenAction::SwapEyes},
        {Qt::Key_S, Qt::ShiftModifier, TFullScreenAction::SwapEyes},
        {Qt::Key_A, Qt::NoModifier, TFullScreenAction::ToggleAlignment},
        {Qt::Key_I, Qt::NoModifier, TFullScreenAction::ToggleCaption},
        {Qt::Key_Escape, Qt::NoModifier, TFullScreenAction::Close},
        {Qt::Key_F11, Qt::NoModifier, TFullScreenAction::Close},
        // Arrows of the keypad are arrows.
        {Qt::Key_Right, Qt::KeypadModifier, TFullScreenAction::Next},
        // Shortcuts of the window are not steps.
        {Qt::Key_A, Qt::ControlModifier, TFullScreenAction::None},
        {Qt::Key_Right, Qt::AltModifier, TFullScreenAction::None},
        {Qt::Key_Q, Qt::NoModifier, TFullScreenAction::None},
    };
    for (const KeyCase &c : cases)
        EXPECT_EQ(FullScreenAction(c.Key, c.Modifiers), c.Action)
            << "key " << c.Key << " modifiers " << c.Modifiers.toInt();
}

TEST(FullScreenSteps, RowsStayInTheListAndPagesMoveByTheRowsShown)
{
    using A = TFullScreenAction;
    const StepCase cases[] = {
        {"next", A::Next, 3, 10, 4, 4},
        {"next at the end stays", A::Next, 9, 10, 4, 9},
        {"previous", A::Previous, 3, 10, 4, 2},
        {"previous at the start stays", A::Previous, 0, 10, 4, 0},
        {"page down", A::PageNext, 3, 10, 4, 7},
        {"page down stops at the last row", A::PageNext, 8, 10, 4, 9},
        {"page up stops at the first row", A::PagePrevious, 2, 10, 4, 0},
        {"page of unknown size is one row", A::PageNext, 3, 10, 0, 4},
        {"home", A::First, 7, 10, 4, 0},
        {"end", A::Last, 2, 10, 4, 9},
        {"no row: a step starts at the first", A::Next, -1, 10, 4, 0},
        {"no row: end goes to the last", A::Last, -1, 10, 4, 9},
        {"a row gone past the end", A::Previous, 12, 10, 4, 0},
        {"empty list", A::Next, -1, 0, 4, -1},
        {"not a step", A::SwapEyes, 3, 10, 4, 3},
        {"huge page", A::PageNext, 5, 10, 2147483647, 9},
    };
    for (const StepCase &c : cases)
        EXPECT_EQ(FullScreenStepRow(c.Action, c.Row, c.Count, c.Page), c.Expected) << c.Name;
}

TEST(FullScreenSteps, TheListScrollsOnlyAsFarAsTheRowNeeds)
{
    EXPECT_EQ(TopRowShowing(12, 10, 5), 10); // in sight: stays
    EXPECT_EQ(TopRowShowing(15, 10, 5), 11); // just below: one row
    EXPECT_EQ(TopRowShowing(40, 10, 5), 36); // far below: at the bottom
    EXPECT_EQ(TopRowShowing(3, 10, 5), 3);   // above: at the top
    EXPECT_EQ(TopRowShowing(30, 10, 0), 10); // rows shown unknown: only rows above scroll
    EXPECT_EQ(TopRowShowing(-1, 10, 5), 10);
}

TEST(FullScreenSteps, TheNextPairReadAheadFollowsTheDirectionOfTheLastStep)
{
    TPairStepper steps;
    EXPECT_EQ(steps.AheadRow(), -1);
    EXPECT_EQ(steps.Shown(5), 6);   // forward at first
    EXPECT_EQ(steps.Shown(5), 6);   // drawn again: no step
    EXPECT_EQ(steps.Shown(4), 3);   // stepped back
    EXPECT_EQ(steps.Shown(-1), -1); // nothing selected
    EXPECT_EQ(steps.Shown(2), 1);   // still backward
    EXPECT_EQ(steps.Shown(12), 13); // a page forward
}

namespace {

QImage photo(const char *name)
{
    return PairSourcePhoto(testDataPath(QStringLiteral("photos/jpg/tests/") + QLatin1String(name)));
}

// Mean absolute grey difference of a and b over their middle (where no edge moved in).
double middleDifference(const QImage &a, const QImage &b)
{
    const QImage ga = a.convertToFormat(QImage::Format_Grayscale8);
    const QImage gb = b.convertToFormat(QImage::Format_Grayscale8);
    const QRect middle(ga.width() / 6, ga.height() / 6, ga.width() * 2 / 3, ga.height() * 2 / 3);
    double sum = 0;
    int n = 0;
    for (int y = middle.top(); y <= middle.bottom(); ++y)
        for (int x = middle.left(); x <= middle.right(); ++x) {
            sum += std::abs(int(ga.constScanLine(y)[x]) - int(gb.constScanLine(y)[x]));
            ++n;
        }
    return sum / n;
}

} // namespace

// A pair made from a real photo with a known misalignment and no depth: measured from the
// files as the viewer decodes them, and with the correction undone the right view lies on
// the left one.
TEST(FullScreenAlignment, AMeasuredMisalignmentIsUndone)
{
    struct Case
    {
        const char *Name;
        TPairRecipe Recipe;
    };
    const Case cases[] = {
        {"lower", {2.0, 0.0, 0.0, 0.0, 0.0}},
        {"turned and larger", {0.0, 1.5, 2.5, 0.0, 0.0}},
        {"all three", {-1.2, -1.0, -2.0, 0.0, 0.0}},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage source = photo("22-canon_tags.jpg");
    ASSERT_FALSE(source.isNull());
    const auto decode = TPreviewDecoder::DefaultSourceDecoder(nullptr);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        const TMadePair pair = MakeStereoPair(source, c.Recipe);
        const QString l = dir.filePath(QStringLiteral("l.jpg")),
                      r = dir.filePath(QStringLiteral("r.jpg"));
        ASSERT_TRUE(pair.Left.save(l, "JPEG", 95));
        ASSERT_TRUE(pair.Right.save(r, "JPEG", 95));
        const TAlignmentMeasure m = MeasureAlignment(decode, {l, {}, {}}, {r, {}, {}});
        ASSERT_TRUE(m.Correction.Active) << m.Problem.toStdString();
        EXPECT_NEAR(m.Correction.VerticalOffset, c.Recipe.VerticalOffset, 0.15);
        EXPECT_NEAR(m.Correction.Rotation, c.Recipe.Rotation, 0.15);
        EXPECT_NEAR(m.Correction.Scale, c.Recipe.Scale, 0.3);

        const QImage right = pair.Right.convertToFormat(QImage::Format_RGB32);
        const QImage aligned = AlignPicture(right, m.Correction);
        EXPECT_EQ(aligned.size(), right.size());
        const double before = middleDifference(pair.Left, right);
        const double after = middleDifference(pair.Left, aligned);
        EXPECT_LT(after, before / 3) << "before " << before << " after " << after;
        EXPECT_LT(after, 6.0);
    }
}

TEST(FullScreenAlignment, NothingToCorrectWithoutAMeasurement)
{
    const auto decode = TPreviewDecoder::DefaultSourceDecoder(nullptr);
    const QString a = testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg"));
    const QString b = testDataPath(QStringLiteral("photos/jpg/Olympus_C8080WZ.jpg"));
    const TAlignmentMeasure unrelated = MeasureAlignment(decode, {a, {}, {}}, {b, {}, {}});
    EXPECT_FALSE(unrelated.Correction.Active);
    EXPECT_FALSE(unrelated.Problem.isEmpty());
    const TAlignmentMeasure missing = MeasureAlignment(
        decode, {a, {}, {}}, {testDataPath(QStringLiteral("no such.jpg")), {}, {}});
    EXPECT_FALSE(missing.Correction.Active);
    EXPECT_FALSE(missing.Problem.isEmpty());

    const QImage picture = QImage(testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg")));
    EXPECT_EQ(AlignPicture(picture, {}).cacheKey(), picture.cacheKey());
    // A scale that leaves no picture is not drawn.
    EXPECT_EQ(AlignPicture(picture, {true, 0, 0, -100}).cacheKey(), picture.cacheKey());
}

namespace {

struct Entries
{
    TEntryStore store; // first: outlives the entries
    std::vector<std::unique_ptr<TDatensatz>> all;
    TDatensatz *add(const QString &path)
    {
        all.emplace_back(new TDatensatz(store, nullptr, 0, path, dsLeft));
        all.back()->LoadMetadata();
        return all.back().get();
    }
};

} // namespace

TEST(FullScreenPresenter, SwappedEyesAlignmentAndReadingAhead)
{
    QTemporaryDir dir;
    const TMadePair made = MakeStereoPair(photo("22-canon_tags.jpg"), {1.5, 1.0, 0.0, 0.0, 0.0});
    const QString lp = dir.filePath(QStringLiteral("p_L.jpg")),
                  rp = dir.filePath(QStringLiteral("p_R.jpg"));
    ASSERT_TRUE(made.Left.save(lp, "JPEG", 95) && made.Right.save(rp, "JPEG", 95));
    Entries e;
    TDatensatz *left = e.add(lp), *right = e.add(rp);
    TDatensatz *nextLeft = e.add(testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg")));
    TDatensatz *nextRight = e.add(testDataPath(QStringLiteral("photos/jpg/Olympus_C8080WZ.jpg")));

    TPanelRecorder view;
    TFullScreenPresenter p(view);
    p.SetMode(TDisplayMode::Parallel);
    p.Show(left, right, nextLeft, nextRight);
    ASSERT_TRUE(BothSidesSharp(p.Preview()));
    EXPECT_EQ(p.Preview().ShownPath(PreviewLeft), lp);
    EXPECT_EQ(FullScreenCaption(p.Status()),
              QStringLiteral("left eye: p_L.jpg · right eye: p_R.jpg"));
    // The next pair was decoded ahead; the same pair handed over again decodes nothing.
    p.Preview().Decoder().WaitForIdle();
    EXPECT_EQ(p.Preview().Decoder().CachedCount(), 4);
    const int decodes = p.Preview().Decoder().DecodeCount();
    p.Show(left, right, nextLeft, nextRight);
    QCoreApplication::processEvents();
    EXPECT_EQ(p.Preview().Decoder().DecodeCount(), decodes);

    // Swapped: the right camera's picture in the left panel, for this view only.
    p.SwapEyes();
    p.Show(left, right, nextLeft, nextRight);
    EXPECT_EQ(p.Preview().ShownPath(PreviewLeft), rp);
    EXPECT_EQ(p.Preview().ShownPath(PreviewRight), lp);
    ASSERT_TRUE(BothSidesSharp(p.Preview()));
    EXPECT_EQ(right->SourcePath(), rp); // the entries are untouched
    EXPECT_EQ(FullScreenCaption(p.Status()),
              QStringLiteral("left eye: p_R.jpg · right eye: p_L.jpg · eyes swapped"));
    const QImage unaligned = view.shown[PreviewLeft];

    // Alignment: measured in the background, then the right camera's picture (now in the
    // left panel) is drawn again corrected; the left camera's is not touched.
    QSignalSpy redraw(&p, &TFullScreenPresenter::redrawWanted);
    p.ToggleAlignment();
    p.Show(left, right, nextLeft, nextRight);
    EXPECT_EQ(p.Status().Alignment, TAlignmentState::Measuring);
    ASSERT_TRUE(redraw.wait(20000));
    const QImage untouched = view.shown[PreviewRight];
    QSignalSpy sharp(&p.Preview(), &TStereoPreview::sharpPictureShown);
    p.Show(left, right, nextLeft, nextRight);
    ASSERT_EQ(p.Status().Alignment, TAlignmentState::Measured);
    EXPECT_NEAR(p.Status().Correction.VerticalOffset, 1.5, 0.15);
    EXPECT_NEAR(p.Status().Correction.Rotation, 1.0, 0.15);
    EXPECT_TRUE(p.Preview().Options().Correction[PreviewLeft].Active);
    EXPECT_FALSE(p.Preview().Options().Correction[PreviewRight].Active);
    ASSERT_TRUE(sharp.wait(10000));
    EXPECT_EQ(sharp.count(), 1);
    EXPECT_EQ(sharp.at(0).at(0).toInt(), PreviewLeft);
    EXPECT_TRUE(view.shown[PreviewLeft] != unaligned);
    EXPECT_EQ(view.shown[PreviewRight].cacheKey(), untouched.cacheKey());
    EXPECT_TRUE(FullScreenCaption(p.Status()).contains(QStringLiteral("aligned: vertical 1.")));

    // The pair read ahead is measured too; an unrelated pair says why it is not aligned.
    p.WaitForMeasures();
    QCoreApplication::processEvents();
    p.WaitForMeasures();
    EXPECT_EQ(p.MeasureCount(), 2);
    p.Show(nextLeft, nextRight, nullptr, nullptr);
    EXPECT_EQ(p.Status().Alignment, TAlignmentState::Failed);
    EXPECT_EQ(p.MeasureCount(), 2);
}
