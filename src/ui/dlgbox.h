#pragma once
// The message box's kinds, buttons and results, and the geometry rules that size and
// place it. The window itself is TFormDlgBox (ui/widgets/formdlgbox.h).
#include <QFlags>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <vector>

// The kind selects the icon and the window caption.
enum class DlgKind : int
{
    Warning = 0,
    Error = 1,
    Information = 2,
    Confirmation = 3,
    Custom = 4, // caption: the application title
};

// The buttons, in the order in which they are placed from left to right.
enum class DlgButton : unsigned
{
    Yes = 1u << 0,
    No = 1u << 1,
    OK = 1u << 2,
    Cancel = 1u << 3,
    Abort = 1u << 4,
    Retry = 1u << 5,
    Ignore = 1u << 6,
    All = 1u << 7,
    NoToAll = 1u << 8,
    YesToAll = 1u << 9,
};
Q_DECLARE_FLAGS(DlgButtons, DlgButton)
Q_DECLARE_OPERATORS_FOR_FLAGS(DlgButtons)

// What a message box or a question returns: the pressed button.
namespace DlgResult {
inline constexpr int OK = 1;
inline constexpr int Cancel = 2; // also: the window was closed without a button
inline constexpr int Abort = 3;
inline constexpr int Retry = 4;
inline constexpr int Ignore = 5;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
inline constexpr int All = 8;
inline constexpr int NoToAll = 9;
inline constexpr int YesToAll = 10;
} // namespace DlgResult

struct DlgButtonInfo
{
    DlgButton Button;
    const char *Caption; // with its mnemonic "&"
    int Result;
};

// Every button in placing order with its caption and result.
inline constexpr std::array<DlgButtonInfo, 10> DlgButtonTable = {{
    {DlgButton::Yes, "&Yes", DlgResult::Yes},
    {DlgButton::No, "&No", DlgResult::No},
    {DlgButton::OK, "OK", DlgResult::OK},
    {DlgButton::Cancel, "Cancel", DlgResult::Cancel},
    {DlgButton::Abort, "Cancel", DlgResult::Abort},
    {DlgButton::Retry, "&Retry", DlgResult::Retry},
    {DlgButton::Ignore, "&Ignore", DlgResult::Ignore},
    {DlgButton::All, "&All", DlgResult::All},
    {DlgButton::NoToAll, "N&o to All", DlgResult::NoToAll},
    {DlgButton::YesToAll, "Yes to &All", DlgResult::YesToAll},
}};

// The requested buttons in placing order.
std::vector<DlgButtonInfo> DlgButtonsInOrder(DlgButtons buttons);

// "Warning", "Error", "Information", "Confirmation required"; the application title for
// a custom box (and for a value outside the table).
QString DlgKindCaption(DlgKind kind);

// Fixed measures of the message box, in pixels.
namespace DlgBoxMeasure {
inline constexpr QSize StartClientSize{300, 250};
inline constexpr int FrameInset = 7;      // frame line on every side
inline constexpr int SeparatorInset = 21; // separator from 21 to width - 21
inline constexpr QRect IconRect{14, 14, 48, 64};
inline constexpr QPoint LabelPos{76, 32}; // icon width plus 28
inline constexpr QSize ButtonSize{90, 25};
inline constexpr int ButtonGap = 4;
inline constexpr int ButtonStartX = 21;
// Below the lower of message and icon: 7 to the separator, 58 to the bottom.
inline constexpr int SeparatorBelowContent = 7;
inline constexpr int BottomBelowContent = 58;
inline constexpr int ButtonMiddleOffset = 12; // button top = strip middle - 12
inline constexpr int StackStep = 20;          // offset of each further open box
inline constexpr int ScreenMargin = 50;
} // namespace DlgBoxMeasure

// Positions of the parts of a message box for a client size. The frame stretches, the
// separator keeps its distances to the bottom and both sides, the buttons their distance
// to the bottom (their horizontal places are set once, see DlgBoxLayout).
struct DlgBoxParts
{
    QRect Frame;
    int SeparatorY = 0;
    int SeparatorLeft = 0;
    int SeparatorRight = 0; // last x of the separator (exclusive end)
    int ButtonTop = 0;
};
DlgBoxParts DlgBoxPartsFor(QSize clientSize);

// The size of a new box and the places of its buttons, from the measured size of its
// message label and the number of buttons.
struct DlgBoxLayout
{
    QSize ClientSize;
    QRect Label;
    std::vector<QRect> Buttons;
    DlgBoxParts Parts;
};
DlgBoxLayout ComputeDlgBoxLayout(QSize labelSize, int buttonCount);

// Top left corner of a box of windowSize on screen when openBoxes boxes (this one
// included) are open: centred, each further box 20 pixels right and down, wrapping
// before the screen's right and bottom edges. The corner never lies left of or above
// the screen, so that the box's title bar stays reachable.
QPoint DlgBoxPosition(const QRect &screen, QSize windowSize, int openBoxes);
