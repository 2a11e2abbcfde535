#pragma once
// The session's pair assignment on top of the ordering pass: the follow-up passes of an
// automatic assignment (the window's WM_ASSIGN_STEP), manual pairing with "Connect"/"Split",
// "Combinations", and the selection of an entry's counterpart in the other list (the
// window's WM_SELECT_PARTNER). The window shows the results: it owns the pair prompt, the
// message boxes, the edit panels and the previews; this class only tells it what to show.
#include "pairing/ordering.h"
#include "session/mainstate.h"

#include <QString>

#include <functional>

class TOrderingPass;
struct TMainWindowState;

// What the window does after a WM_ASSIGN_STEP was handled.
enum class TAssignStepAction
{
    None,                 // unknown code: nothing was done
    ShowPairDialog,       // NoRun: disable the edit area, show the pair prompt (it keeps the mode)
    HidePairDialog,       // Next: hide the prompt (hiding posts PromptHidden)
    PairDialogClosed,     // PromptHidden: enable the edit area again, refresh both edit panels
    ShowNoAssignmentHint, // NoRunEmptyList: warning box "Warning" with NoAssignmentHintText()
};

// The hint shown when an automatic assignment finds nothing to pair in an empty list.
QString NoAssignmentHintText();

// "Create all combinations of the %d selected images?\r\nThis will create %d stereo pairs."
QString CombinationsQuestion(qint64 images, qint64 pairs);

// Which previews must be reloaded after a counterpart was selected.
struct TPartnerSelection
{
    bool LeftDirty = false;
    bool RightDirty = false;
};

class TPairEditing
{
public:
    TPairEditing(TOrderingPass &pass, TMainWindowState &state);

    // "Dissolve all assignments and re-assign": AssignAll with "All list entries", else
    // AssignUnpaired.
    ArrangeOutcome ActionSortAllExecute(bool allEntries);

    // WM_ASSIGN_STEP with its code and the mode of the pass that started the prompt: runs
    // the step below of that code and says what the window shows.
    TAssignStepAction HandleAssignStep(TAssignStep step, OrderingMode mode);

    // The follow-up steps of an assigning pass that found no run.
    // No run in two filled lists: a MarkUnassigned pass puts every dissolved picture opposite a
    // gap, and the pair prompt opens (it keeps mode; the edit area is disabled meanwhile).
    void OpenPairPrompt(OrderingMode mode);
    // The prompt's "Next": assigns from the pair selected in both lists, with
    // AssignAllFromSelection, or AssignUnpairedFromSelection when the prompt came from an
    // AssignUnpaired pass.
    void AssignFromSelectedPair(OrderingMode mode);
    // The prompt was hidden: the closing pass (AfterPrompt); the edit area is enabled again.
    void ClosePairPrompt();
    // No run because a list was empty: a MarkUnassigned pass puts the dissolved pictures opposite
    // gaps again (the window then shows NoAssignmentHintText()).
    void RestoreAfterEmptyList();

    // The enabling rule of the "Connect"/"Split" button for the selected entries a (left)
    // and b (right).
    static bool LinkButtonEnabled(const TDatensatz *a, const TDatensatz *b, bool linkMode,
                                  bool editAreaEnabled);
    // Sets LinkEnabled and LinkMode from the current selection (part of refreshing the edit
    // panels): the toggle reads "Split" exactly when the selected right entry is the
    // selected left entry's partner.
    void RefreshLinkButton();
    // The "Connect"/"Split" button (also the middle mouse button on a list). Returns true
    // when the pairs changed and the lists were ordered again; the window refreshes both
    // edit panels in any case.
    bool PanelLinkClick();

    // "Combinations": every selected image with every other, as new stereo pairs; the
    // originals leave the lists. confirm is asked (with CombinationsQuestion) from five
    // images on and must return true for Yes. The outcome carries an internal error text
    // when the selection met a broken pair structure (nothing is changed then), and asks
    // for the beep when the last selected entry had gone and could not be selected again.
    TActionOutcome ButtonKombiClick(const std::function<bool(const QString &)> &confirm);

    // A row was selected by the user in list (no busy bit set): with PanelFlags 0 asks for
    // its entry's counterpart (the state's PartnerSelectionNeeded), clears the other list's
    // selection and returns true;
    // otherwise returns false and the window only refreshes that list's edit panel.
    bool RequestPartnerSelection(ListRowModel &list, int row);
    // WM_SELECT_PARTNER: selects the counterpart of entry (ignored when entry was freed).
    TPartnerSelection SelectPartner(TDatensatz *entry);
    // "Select counterpart permanently" was (un)checked.
    void CheckBoxSynchronClick(bool checked);
    // After an ordering pass or a pair edit, with synchronous selection: the entry the user
    // works on (LastEntry while it is selected, else the selected left entry, else the
    // selected right one) gets its partner's row as the only selected row of the other
    // list, and both are scrolled into place, so that the counterpart highlight and the
    // previews show the pair as it is now; nothing changes while the other list's selected
    // entry is that partner already. Returns the sides whose previews must be drawn.
    TPartnerSelection SelectCurrentPair();

private:
    void partnerSelectionNeeded(int row, TDatensatz *entry);

    TOrderingPass &m_pass;
    TMainWindowState &m_state;
};
