#pragma once
// What an assigning ordering pass needs next, as the session tells the window or the command
// line (TMainWindowState::AssignStepNeeded) and as the pair editing handles it
// (TPairEditing::HandleAssignStep). The window carries it as the first parameter of its
// WM_ASSIGN_STEP message, which is why the numbers are fixed.
enum class TAssignStep : int
{
    NoRun = 3,          // no run of matching intervals: ask the user for one pair
    Next = 4,           // the pair prompt's "Next": assign from the selected pair
    PromptHidden = 6,   // the pair prompt was hidden (after "Next" or "Cancel")
    NoRunEmptyList = 7, // no run because a list is empty: tell the user
};
