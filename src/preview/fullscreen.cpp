#include "preview/fullscreen.h"

#include <algorithm>

TFullScreenAction FullScreenAction(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return TFullScreenAction::None;
    switch (key) {
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Space:
        return TFullScreenAction::Next;
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Backspace:
        return TFullScreenAction::Previous;
    case Qt::Key_PageDown:
        return TFullScreenAction::PageNext;
    case Qt::Key_PageUp:
        return TFullScreenAction::PagePrevious;
    case Qt::Key_Home:
        return TFullScreenAction::First;
    case Qt::Key_End:
        return TFullScreenAction::Last;
    case Qt::Key_S:
        return TFullScreenAction::SwapEyes;
    case Qt::Key_A:
        return TFullScreenAction::ToggleAlignment;
    case Qt::Key_I:
        return TFullScreenAction::ToggleCaption;
    case Qt::Key_Escape:
    case Qt::Key_F11:
        return TFullScreenAction::Close;
    default:
        return TFullScreenAction::None;
    }
}

int FullScreenStepRow(TFullScreenAction action, int row, int rowCount, int pageRows)
{
    if (rowCount <= 0)
        return row;
    const int last = rowCount - 1;
    const int page = std::max(1, pageRows);
    const bool none = row < 0 || row > last;
    switch (action) {
    case TFullScreenAction::Next:
        return none ? 0 : std::min(last, row + 1);
    case TFullScreenAction::Previous:
        return none ? 0 : std::max(0, row - 1);
    case TFullScreenAction::PageNext:
        return none ? 0 : int(std::min<qint64>(last, qint64(row) + page));
    case TFullScreenAction::PagePrevious:
        return none ? 0 : std::max(0, row - page);
    case TFullScreenAction::First:
        return 0;
    case TFullScreenAction::Last:
        return last;
    default:
        return row;
    }
}

int TopRowShowing(int row, int top, int visibleRows)
{
    if (row < 0)
        return top;
    if (row < top)
        return row;
    if (visibleRows > 0 && row >= top + visibleRows)
        return row - visibleRows + 1;
    return top;
}

int TPairStepper::Shown(int row)
{
    if (row >= 0 && m_row >= 0 && row != m_row)
        m_direction = row < m_row ? -1 : 1;
    m_row = row;
    return AheadRow();
}
