#include "ui/dlgbox.h"

#include <gtest/gtest.h>

TEST(DlgBoxButtons, PlacingOrderCaptionsAndResults)
{
    const DlgButtons all = DlgButton::Yes | DlgButton::No | DlgButton::OK | DlgButton::Cancel |
                           DlgButton::Abort | DlgButton::Retry | DlgButton::Ignore |
                           DlgButton::All | DlgButton::NoToAll | DlgButton::YesToAll;
    const std::vector<DlgButtonInfo> order = DlgButtonsInOrder(all);
    const char *captions[] = {"&Yes",   "&No",     "OK",   "Cancel",     "Cancel",
                              "&Retry", "&Ignore", "&All", "N&o to All", "Yes to &All"};
    const int results[] = {6, 7, 1, 2, 3, 4, 5, 8, 9, 10};
    ASSERT_EQ(order.size(), 10u);
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_STREQ(order[i].Caption, captions[i]) << i;
        EXPECT_EQ(order[i].Result, results[i]) << i;
    }
    // The order of the set does not matter, the table's order does.
    const std::vector<DlgButtonInfo> two = DlgButtonsInOrder(DlgButton::No | DlgButton::Yes);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].Button, DlgButton::Yes);
    EXPECT_TRUE(DlgButtonsInOrder({}).empty());
}

TEST(DlgBoxKinds, Captions)
{
    EXPECT_EQ(DlgKindCaption(DlgKind::Warning), "Warning");
    EXPECT_EQ(DlgKindCaption(DlgKind::Error), "Error");
    EXPECT_EQ(DlgKindCaption(DlgKind::Information), "Information");
    EXPECT_EQ(DlgKindCaption(DlgKind::Confirmation), "Confirmation required");
    EXPECT_EQ(DlgKindCaption(DlgKind::Custom), "Duomira");
    EXPECT_EQ(DlgKindCaption(static_cast<DlgKind>(9)), "Duomira");
}

TEST(DlgBoxLayout, SizeFollowsMessageAndButtons)
{
    struct Case
    {
        const char *what;
        QSize label;
        int buttons;
        QSize client;
    };
    const Case cases[] = {
        {"short line: start width, icon decides the height", {120, 14}, 1, {300, 78 + 58}},
        {"label right edge 222 still fits", {146, 14}, 1, {300, 136}},
        {"long line: label right edge plus 21", {400, 14}, 1, {76 + 400 + 21, 136}},
        {"tall message: label bottom decides", {100, 200}, 2, {300, 32 + 200 + 58}},
        {"three buttons need 94 * 3 + 56", {50, 14}, 3, {338, 136}},
        {"ten buttons", {50, 14}, 10, {996, 136}},
        {"wide label wider than ten buttons", {1000, 14}, 10, {1097, 136}},
        {"no buttons", {10, 10}, 0, {300, 136}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const DlgBoxLayout layout = ComputeDlgBoxLayout(c.label, c.buttons);
        EXPECT_EQ(layout.ClientSize, c.client);
        EXPECT_EQ(layout.Label, QRect(QPoint(76, 32), c.label));
        ASSERT_EQ(int(layout.Buttons.size()), c.buttons);
        if (c.buttons == 0)
            continue;
        // A centred row of 90 x 25 buttons, 4 apart, 41 above the bottom.
        const int rowWidth = 94 * c.buttons - 4;
        EXPECT_EQ(layout.Buttons.front().left(), (c.client.width() - rowWidth) / 2);
        for (size_t i = 0; i < layout.Buttons.size(); ++i) {
            EXPECT_EQ(layout.Buttons[i].size(), QSize(90, 25));
            EXPECT_EQ(layout.Buttons[i].top(), c.client.height() - 41);
            if (i > 0) {
                EXPECT_EQ(layout.Buttons[i].left() - layout.Buttons[i - 1].right(), 5);
            }
        }
    }
}

TEST(DlgBoxLayout, PartsKeepTheirDistancesWhenResized)
{
    for (QSize size : {QSize(300, 250), QSize(300, 136), QSize(800, 500)}) {
        const DlgBoxParts parts = DlgBoxPartsFor(size);
        EXPECT_EQ(parts.Frame, QRect(7, 7, size.width() - 14, size.height() - 14));
        EXPECT_EQ(parts.SeparatorLeft, 21);
        EXPECT_EQ(parts.SeparatorRight, size.width() - 21);
        EXPECT_EQ(size.height() - parts.SeparatorY, 51);
        // Button top: middle of the strip between separator and frame bottom, minus 12.
        EXPECT_EQ(parts.ButtonTop, (parts.SeparatorY + size.height() - 7) / 2 - 12);
    }
    // The separator lies 7 below the lower of message and icon.
    const DlgBoxLayout small = ComputeDlgBoxLayout({100, 10}, 1);
    EXPECT_EQ(small.Parts.SeparatorY, 78 + 7);
    const DlgBoxLayout tall = ComputeDlgBoxLayout({100, 120}, 1);
    EXPECT_EQ(tall.Parts.SeparatorY, 32 + 120 + 7);
}

TEST(DlgBoxPlacement, StackedBoxesAndWrapping)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize box(300, 136);
    EXPECT_EQ(DlgBoxPosition(screen, box, 1), QPoint(960 - 150 + 20, 540 - 68 + 20));
    EXPECT_EQ(DlgBoxPosition(screen, box, 2) - DlgBoxPosition(screen, box, 1), QPoint(20, 20));
    // Far down the stack the position wraps before the right and bottom edges.
    EXPECT_EQ(DlgBoxPosition(screen, box, 60), QPoint((810 + 1200) % 1870, (472 + 1200) % 1030));
    // A second screen keeps its origin.
    EXPECT_EQ(DlgBoxPosition(QRect(1920, 100, 1920, 1080), box, 1), QPoint(1920 + 830, 100 + 492));
}

TEST(DlgBoxPlacement, NeverLeftOfOrAboveTheScreen)
{
    // A box wider and higher than the screen would get a negative position.
    EXPECT_EQ(DlgBoxPosition(QRect(0, 0, 800, 600), QSize(1000, 900), 1), QPoint(0, 0));
    // A tiny screen has nothing to wrap at.
    EXPECT_EQ(DlgBoxPosition(QRect(0, 0, 40, 40), QSize(10, 10), 1), QPoint(35, 35));
}
