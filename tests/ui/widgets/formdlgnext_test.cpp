#include "ui/widgets/formdlgnext.h"
#include "ui/widgets/labelformat.h"

#include <QPushButton>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// What a prompt reported, as (code, tag): 4 for "Next", 6 for hidden (the codes the main
// window posts them with).
class FormDlgNextTest : public ::testing::Test
{
protected:
    using Reports = std::vector<std::pair<int, int>>;
    Reports reports;

    void record(TFormDlgNext &prompt)
    {
        QObject::connect(&prompt, &TFormDlgNext::nextPressed,
                         [this](int tag) { reports.emplace_back(4, tag); });
        QObject::connect(&prompt, &TFormDlgNext::promptHidden,
                         [this](int tag) { reports.emplace_back(6, tag); });
    }
    Reports take() { return std::exchange(reports, {}); }
};

} // namespace

TEST_F(FormDlgNextTest, NextReportsCode4AndStaysOpen)
{
    TFormDlgNext prompt;
    record(prompt);
    prompt.setTag(2);
    prompt.show();
    prompt.nextButton()->click();
    EXPECT_EQ(take(), (Reports{{4, 2}}));
    EXPECT_TRUE(prompt.isVisible());

    prompt.hide(); // the main window hides it after handling code 4
    EXPECT_EQ(take(), (Reports{{6, 2}}));
}

TEST_F(FormDlgNextTest, EveryWayOfHidingReportsCode6)
{
    TFormDlgNext prompt;
    record(prompt);
    prompt.setTag(1);
    prompt.show();
    prompt.cancelButton()->click();
    EXPECT_FALSE(prompt.isVisible());
    EXPECT_EQ(take(), (Reports{{6, 1}}));

    prompt.show();
    prompt.close();
    EXPECT_EQ(take(), (Reports{{6, 1}}));

    prompt.show();
    prompt.reject(); // Escape
    EXPECT_EQ(take(), (Reports{{6, 1}}));

    prompt.hide(); // already hidden: nothing more
    EXPECT_TRUE(take().empty());
}

TEST_F(FormDlgNextTest, NeverShownReportsNothing)
{
    {
        TFormDlgNext prompt;
        record(prompt);
        prompt.hide();
    }
    EXPECT_TRUE(take().empty());
}

TEST_F(FormDlgNextTest, WindowLayout)
{
    TFormDlgNext prompt;
    EXPECT_EQ(prompt.windowTitle(), "Confirmation required");
    EXPECT_EQ(prompt.size(), QSize(303, 218));
    EXPECT_TRUE(prompt.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(prompt.isModal());
    EXPECT_EQ(prompt.nextButton()->text(), "&Next");
    EXPECT_EQ(prompt.cancelButton()->text(), "Cancel");
    EXPECT_EQ(prompt.nextButton()->size(), QSize(105, 25));
    EXPECT_EQ(prompt.cancelButton()->size(), QSize(105, 25));
    EXPECT_LT(prompt.cancelButton()->x(), prompt.nextButton()->x());
    EXPECT_EQ(prompt.cancelButton()->y(), prompt.nextButton()->y());
    EXPECT_GT(prompt.nextButton()->y(), prompt.height() / 2);
    EXPECT_FALSE(prompt.nextButton()->icon().isNull());

    // The hint fits its fixed label.
    const TLabelFormat *hint = prompt.hintLabel();
    EXPECT_FALSE(hint->autoSize());
    EXPECT_TRUE(hint->caption().startsWith("<C4><FB><FS12>Hint<FN> <LF>Unable to successfuly"));
    EXPECT_LE(hint->measuredSize().width(), hint->width());
    EXPECT_LE(hint->measuredSize().height(), hint->height());

    const QByteArray dir = qgetenv("DUOMIRA_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        prompt.show();
        EXPECT_TRUE(prompt.grab().save(QString::fromLocal8Bit(dir) + "/dlgnext.png"));
        prompt.hide();
    }
}
