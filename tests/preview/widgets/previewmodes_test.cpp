// The preview panels of the main window in each display mode, with a real pair selected:
// which panels show, where they stand, and what they show (colour probes on the grabbed
// panels: the left photo is brownish, the right one blue-green).
#include "mainwindow/widgets/editarea.h"
#include "mainwindow/widgets/formfixture.h"
#include "preview/widgets/previewarea.h"
#include "preview/widgets/previewimage.h"
#include "session/idleprocessor.h"
#include "support/testdata.h"
#include "ui/widgets/labelshadow.h"

#include <QCheckBox>
#include <QRadioButton>

#include <cmath>

namespace {

struct Colour
{
    double r = 0, g = 0, b = 0;
};

Colour mean(const QImage &image, const QRect &area)
{
    Colour c;
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); y += 2)
        for (int x = area.left(); x <= area.right(); x += 2) {
            const QRgb p = image.pixel(x, y);
            c.r += qRed(p);
            c.g += qGreen(p);
            c.b += qBlue(p);
            ++n;
        }
    if (n > 0)
        c = {c.r / n, c.g / n, c.b / n};
    return c;
}

Colour meanOfFile(const QString &relative)
{
    const QImage image = QImage(testDataPath(relative)).convertToFormat(QImage::Format_RGB32);
    return mean(image, image.rect());
}

// What the panel shows inside its display control's picture.
Colour shownIn(TPreviewPanel *panel, TPreviewImage *image)
{
    const QImage grabbed = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect picture = image->fittedRect().translated(image->pos());
    return mean(grabbed, picture.adjusted(2, 2, -2, -2));
}

::testing::AssertionResult near(const Colour &a, const Colour &b)
{
    const double d = std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
    if (d <= 24)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "shown (" << a.r << ", " << a.g << ", " << a.b << ") expected (" << b.r << ", " << b.g
           << ", " << b.b << ")";
}

const QString leftPhoto = QStringLiteral("photos/jpg/Canon_40D.jpg");
const QString rightPhoto = QStringLiteral("photos/jpg/Olympus_C8080WZ.jpg");

struct ModeCase
{
    const char *name;
    const char *radio;
    bool leftShown;
    bool rightShown;
    int leftPanelSide; // -1 at the left edge, +1 at the right edge, 0 the whole area
};

class PreviewModes : public FormFixture, public ::testing::WithParamInterface<ModeCase>
{
protected:
    void selectPair()
    {
        dropAndWait(
            left(),
            {copyFixture(QStringLiteral("jpg/Canon_40D.jpg"), QStringLiteral("pair_L.jpg")),
             copyFixture(QStringLiteral("jpg/Olympus_C8080WZ.jpg"), QStringLiteral("pair_R.jpg"))});
        // Rows are chosen on each side on their own.
        form->editArea()->CheckBoxSynchron->setChecked(false);
        child<QCheckBox>("CheckBoxZeigeExif")->setChecked(false);
        for (ListRowModel *list : {&left(), &right()})
            for (int row = 0; row < list->Count(); ++row)
                if (!list->EntryAt(row)->SourcePath().isEmpty())
                    clickRow(*list, row);
        ASSERT_TRUE(waitUntil([this] { return form->idleProcessor().IsIdle(); }));
        settle();
    }
};

} // namespace

TEST_P(PreviewModes, ShowTheSelectedPairInTheRightPanels)
{
    const ModeCase &c = GetParam();
    selectPair();
    click(c.radio);
    ASSERT_TRUE(waitUntil([this] { return form->idleProcessor().IsIdle(); }));
    settle();

    TPreviewArea *area = form->previewArea();
    TPreviewPanel *l = area->PanelImage_L;
    TPreviewPanel *r = area->PanelImage_R;
    EXPECT_EQ(l->isVisible(), c.leftShown);
    EXPECT_EQ(r->isVisible(), c.rightShown);
    if (c.leftPanelSide < 0) {
        EXPECT_EQ(l->x(), 0);
    } else if (c.leftPanelSide > 0) {
        EXPECT_EQ(l->geometry().right(), area->width() - 1);
    } else if (c.leftShown) {
        EXPECT_EQ(l->width(), area->width());
    }
    if (c.rightShown && !c.leftShown) {
        EXPECT_EQ(r->width(), area->width());
    }
    const bool anaglyph = std::string(c.name) == "Anaglyph";
    // The anaglyph is composed on a worker and shown when it arrives.
    if (anaglyph) {
        ASSERT_TRUE(waitUntil([l] { return l->ImageAnaglyph->isVisible(); }));
    }
    screenshot(QStringLiteral("preview_%1").arg(QLatin1String(c.name)));

    if (anaglyph) {
        ASSERT_TRUE(l->ImageAnaglyph->isVisible());
        EXPECT_FALSE(l->Image->isVisible());
        // Red: the left photo's brightness; green and blue: the right photo's.
        const Colour shown = shownIn(l, l->ImageAnaglyph);
        const Colour lc = meanOfFile(leftPhoto), rc = meanOfFile(rightPhoto);
        EXPECT_TRUE(near(shown, {0.299 * lc.r + 0.587 * lc.g + 0.114 * lc.b, rc.g, rc.b}));
        return;
    }
    if (c.leftShown) {
        ASSERT_TRUE(l->Image->isVisible());
        EXPECT_TRUE(near(shownIn(l, l->Image), meanOfFile(leftPhoto)));
    }
    if (c.rightShown) {
        ASSERT_TRUE(r->Image->isVisible());
        EXPECT_TRUE(near(shownIn(r, r->Image), meanOfFile(rightPhoto)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    , PreviewModes,
    ::testing::Values(ModeCase{"CrossEyed", "RadioButtonKreuz", true, true, +1},
                      ModeCase{"Parallel", "RadioButtonParallel", true, true, -1},
                      ModeCase{"Anaglyph", "RadioButtonAnaglyph", true, false, 0},
                      ModeCase{"Left", "RadioButtonMono_L", true, false, 0},
                      ModeCase{"Right", "RadioButtonMono_R", false, true, 0}),
    [](const ::testing::TestParamInfo<ModeCase> &mode) { return std::string(mode.param.name); });

// "Show EXIF" shows and hides the metadata texts over both pictures.
TEST_F(FormFixture, ShowExifShowsAndHidesTheTextsOverThePictures)
{
    dropAndWait(
        left(),
        {copyFixture(QStringLiteral("jpg/Canon_40D.jpg"), QStringLiteral("exif_L.jpg")),
         copyFixture(QStringLiteral("jpg/Olympus_C8080WZ.jpg"), QStringLiteral("exif_R.jpg"))});
    form->editArea()->CheckBoxSynchron->setChecked(false);
    for (ListRowModel *list : {&left(), &right()})
        for (int row = 0; row < list->Count(); ++row)
            if (!list->EntryAt(row)->SourcePath().isEmpty())
                clickRow(*list, row);
    ASSERT_TRUE(waitUntil([this] { return form->idleProcessor().IsIdle(); }));
    settle();
    QCheckBox *show = child<QCheckBox>("CheckBoxZeigeExif");
    ASSERT_TRUE(show->isChecked());
    const TPreviewArea *area = form->previewArea();
    for (const bool on : {true, false, true}) {
        SCOPED_TRACE(on);
        show->setChecked(on);
        settle();
        for (const TPreviewPanel *panel : {area->PanelImage_L, area->PanelImage_R}) {
            EXPECT_FALSE(panel->LabelValues->caption().isEmpty());
            EXPECT_EQ(panel->LabelNames->isVisible(), on);
            EXPECT_EQ(panel->LabelValues->isVisible(), on);
        }
    }
}
