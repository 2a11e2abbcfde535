#pragma once
// The rules of the full-screen stereo view that need no window: which key does what, which
// row a step leads to, where the lists scroll so that the row stays in sight, and which
// pair is read ahead while the user steps.
#include <QtCore/qnamespace.h>

enum class TFullScreenAction
{
    None,
    Next,            // Right, Down, Space
    Previous,        // Left, Up, Backspace
    PageNext,        // Page Down
    PagePrevious,    // Page Up
    First,           // Home
    Last,            // End
    SwapEyes,        // S: the two pictures change places, for this view only
    ToggleAlignment, // A: vertical offset, rotation and scale of the pair corrected
    ToggleCaption,   // I: the caption line stays shown or goes
    Close,           // Escape, F11
};

// The action of key with modifiers; None for any other key, and for keys held with Ctrl or
// Alt (those belong to the window's shortcuts).
TFullScreenAction FullScreenAction(int key, Qt::KeyboardModifiers modifiers);

// The row a step action leads to from row in a list of rowCount rows that shows pageRows
// rows at once (0: unknown, a page is then one row). Steps stop at the first and the last
// row; from no row (-1) any step goes to the first row. Other actions, and an empty list,
// leave row as it is.
int FullScreenStepRow(TFullScreenAction action, int row, int rowCount, int pageRows);

// The top row that keeps row in sight in a list showing visibleRows rows from top: top as
// it is when row is already in sight, else the least scroll that shows it (row at the top
// when it lies above, at the bottom when below), as the keyboard scrolls a list.
int TopRowShowing(int row, int top, int visibleRows);

// The direction the user steps in, from the rows shown one after the other, and the row
// read ahead: the next one in that direction (forward until a step goes back).
class TPairStepper
{
public:
    // The row now shown (-1: none); returns the row to read ahead (-1: none).
    int Shown(int row);
    int Direction() const { return m_direction; }
    int AheadRow() const { return m_row < 0 ? -1 : m_row + m_direction; }

private:
    int m_row = -1;
    int m_direction = 1;
};
