#pragma once
// The ordering pass ArrangeLists(Mode): turns the left and the right list into row pairs.
//
// Mode 0 only sorts both lists by capture time and restores the row pairs. The assigning
// modes dissolve assignments first, find the clock offset between the two cameras from the
// first run of matching shot intervals (or from a pair the user selected), pair pictures
// whose offset capture times lie within 2 seconds of each other and put a gap opposite
// every picture left without partner.
//
//   mode  entries taken         dissolve  offset from selection  run search + pairing  gaps
//   0     0, 2, 3, 4            -         -                      -                     -
//   1     0, 2, 3, 4            yes       -                      yes                   mono
//   2     0, 4 (unassigned)     yes       -                      yes                   mono
//   3     0, 2, 3, 4            -         -                      -                     unassigned
//   4     0, 2, 3, 4            yes       yes                    yes                   mono
//   5     0, 4                  yes       yes                    yes                   mono
//   6     0, 2, 3, 4            -         -                      -                     -
//
// When mode 1 or 2 finds no run, the pass stops before pairing and says so in its outcome
// (NoRun when both lists had entries, ListEmpty otherwise); the caller asks the user for one
// known pair or tells why nothing was paired, and the entries stay dissolved until its
// follow-up pass.
// Every other pass ends with the final phase (FinishOrdering): afterwards both lists have
// the same number of rows, row i of both lists are partners, every number equals its row
// index and no entry is "unpaired", "Gap (New)" or obsolete.
#include <QStringList>
#include <QtGlobal>

#include <vector>

class ListRowModel;
class TDatensatz;
class TOrderingProgress;

// The modes of the pass, as the table above numbers them. The numbers are kept: they are
// what duomira-cli pair takes (--mode) and prints ("mode"), and the window carries a mode in
// its WM_ASSIGN_STEP message.
enum class OrderingMode : quint8
{
    SortOnly = 0,                    // sort by capture time, keep the row pairs
    AssignAll = 1,                   // pair every picture anew
    AssignUnpaired = 2,              // pair the pictures without partner, keep the pairs
    MarkUnassigned = 3,              // a gap opposite every unassigned picture (pair prompt)
    AssignAllFromSelection = 4,      // as 1, the clock offset from the selected pair
    AssignUnpairedFromSelection = 5, // as 2, the clock offset from the selected pair
    AfterPrompt = 6,                 // sorts as 0, when the pair prompt closes
};

// Modes 1, 2, 4 and 5 dissolve the assignments they take and pair them again.
constexpr bool IsAssigningMode(OrderingMode m)
{
    return m == OrderingMode::AssignAll || m == OrderingMode::AssignUnpaired ||
           m == OrderingMode::AssignAllFromSelection ||
           m == OrderingMode::AssignUnpairedFromSelection;
}
// Modes 4 and 5 take the clock offset from the pair selected in both lists.
constexpr bool TakesOffsetFromSelection(OrderingMode m)
{
    return m == OrderingMode::AssignAllFromSelection ||
           m == OrderingMode::AssignUnpairedFromSelection;
}
// Modes 2 and 5 take only the pictures without partner; stereo pairs stay.
constexpr bool KeepsPairs(OrderingMode m)
{
    return m == OrderingMode::AssignUnpaired || m == OrderingMode::AssignUnpairedFromSelection;
}

enum class ArrangeOutcome
{
    Completed, // the pass ran to its end: the lists are aligned row pairs
    NoRun,     // AssignAll/AssignUnpaired found no run in two non-empty lists: ask for a pair
    ListEmpty, // AssignAll/AssignUnpaired found no run and a list was empty: nothing to pair
    Busy,      // another pass of these lists is running (a nested call): nothing done
    BadMode,   // mode above 6: nothing done
};

// How an assigning pass pairs: by the first run of agreeing shot intervals and time
// (the default), or by the rhythm alignment (src/pairing/rhythmalignment.h), which
// tolerates bursts, clock drift and clocks changed during a session. Both are pairing
// methods (pairingmethod.h) that replace only the run search and the pairing by time;
// everything else of the pass stays.
enum class PairingMethod
{
    RunAndTime, // the first run of agreeing shot intervals gives the clock offset; pairs by time
    Alignment,  // the rhythm alignment
};

// What the last assigning pass with the alignment found.
struct TPairingReport
{
    bool aligned = false; // the last assigning pass used the alignment and paired
    int pairs = 0;
    int doubtful = 0;
    QStringList clockFindings; // "Right camera: clock −1 h from DSC01234", ...
};

class TOrderingPass
{
public:
    // progress may be null. A window that must ignore its lists' changes while the pass
    // lets events through marks itself busy around ArrangeLists.
    explicit TOrderingPass(ListRowModel &left, ListRowModel &right,
                           TOrderingProgress *progress = nullptr);

    ListRowModel &Left() const { return m_left; }
    ListRowModel &Right() const { return m_right; }
    void SetProgress(TOrderingProgress *progress) { m_progress = progress; }

    // True while a pass runs. The pass lets pending events through at every step; the
    // window keeps actions that change the lists disabled meanwhile.
    bool IsRunning() const { return m_running; }

    ArrangeOutcome ArrangeLists(OrderingMode mode);

    void SetPairingMethod(PairingMethod method) { m_method = method; }
    PairingMethod Method() const { return m_method; }
    const TPairingReport &LastReport() const { return m_report; }

private:
    struct Work;
    void collect(ListRowModel &list, OrderingMode mode, std::vector<TDatensatz *> &work,
                 int &position);
    void fillGaps(Work &work, OrderingMode mode);
    void step(int number, int maximum);
    void row(int position);

    ListRowModel &m_left;
    ListRowModel &m_right;
    TOrderingProgress *m_progress;
    bool m_running = false;
    PairingMethod m_method = PairingMethod::RunAndTime;
    TPairingReport m_report;
};
