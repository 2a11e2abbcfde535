#pragma once
// The main window's state that the ordering pass and the pair editing share with the window:
// the "Connect"/"Split" toggle, the last selected entry, the panel flags and the busy flags.
// One instance lives with the main window and is handed to the logic that needs it.
#include "pairing/ordering.h"
#include "session/assignstep.h"

#include <QString>
#include <QtGlobal>

#include <functional>

class ListRowModel;
class TDatensatz;

// Bits of TMainWindowState::PanelFlags.
enum TPanelFlag : quint8
{
    pfSynchronOff = 0x01,      // "Select counterpart permanently" is unchecked
    pfPairDialogOpen = 0x02,   // the pair prompt is open: lists are selected independently
    pfLeftDelete = 0x04,       // "Remove from list" (left) is running
    pfRightDelete = 0x08,      // "Remove from list" (right) is running
    pfSearchUnassigned = 0x10, // "Search unassigned" is running
    pfSearchReplaceStart = 0x20,
    pfReplaceStep = 0x40,
};

// Bits of TMainWindowState::BusyFlags. While any bit is set, the list change handlers ignore
// selection changes.
enum TBusyFlag : quint16
{
    bfConnect = 0x0001,          // "Connect"/"Split" reselects its rows
    bfPartnerSelection = 0x0002, // the counterpart is being selected
    bfOrdering = 0x0004,         // an ordering pass runs or reselects its rows
    bfSelectionButtons = 0x0008,
    bfLeftChange = 0x0040,
    bfRightChange = 0x0080,
    bfCombinations = 0x0100,
    bfListActions = 0x0200,
};

struct TMainWindowState
{
    bool LinkMode = false;           // the toggle reads "Split" and is down
    bool LinkEnabled = false;        // the "Connect"/"Split" button is enabled
    bool EditAreaEnabled = true;     // the controls below the preview are enabled
    TDatensatz *LastEntry = nullptr; // valid while DatensatzList contains it
    quint8 PanelFlags = 0;
    quint16 BusyFlags = 0;
    // The mode of the pass that opened the pair prompt, remembered while it is open.
    OrderingMode PairDialogMode = OrderingMode::SortOnly;
    // Told by ArrangeWindowLists when an assigning pass found no run: TAssignStep::NoRun (ask
    // for one known pair) or TAssignStep::NoRunEmptyList (a list is empty), with the pass's
    // mode. The window posts it to itself as WM_ASSIGN_STEP, so that the follow-up runs
    // after the current event; unset, the caller acts on the pass's outcome itself.
    std::function<void(TAssignStep step, OrderingMode mode)> AssignStepNeeded;
    // Told by the pair editing when entry (in row) should get its counterpart selected; the
    // window posts it to itself as WM_SELECT_PARTNER and then calls SelectPartner. Unset:
    // nobody is told.
    std::function<void(int row, TDatensatz *entry)> PartnerSelectionNeeded;
    // The content check of the pairs, run by ArrangeWindowLists after every pass that
    // completed (mode: the pass's), with both lists as the pass left them. Whoever links a
    // check sets it; the pairing library knows nothing of it. Unset: no check.
    std::function<void(ListRowModel &left, ListRowModel &right, OrderingMode mode)> PairCheck;
};

// What the window shows after an action on the lists: an internal error in an error box
// (empty: none), and the system beep when the entry to be selected again had been freed
// meanwhile.
struct [[nodiscard]] TActionOutcome
{
    QString Error;
    bool Beep = false;
};

// Sets a busy bit for its lifetime and clears it again, also when an error interrupts the
// work in between. A bit that was already set stays set.
class TBusyBit
{
public:
    TBusyBit(TMainWindowState *state, quint16 bit)
        : m_state(state), m_bit(bit), m_wasSet(state && (state->BusyFlags & bit))
    {
        if (m_state)
            m_state->BusyFlags |= m_bit;
    }
    ~TBusyBit()
    {
        if (m_state && !m_wasSet)
            m_state->BusyFlags &= static_cast<quint16>(~m_bit);
    }
    TBusyBit(const TBusyBit &) = delete;
    TBusyBit &operator=(const TBusyBit &) = delete;

private:
    TMainWindowState *m_state;
    quint16 m_bit;
    bool m_wasSet;
};
