#pragma once
// What an assigning ordering pass needs next, as the session tells the window or the command
// line (TMainWindowState::AssignStepNeeded) and as the pair editing handles it
// (TPairEditing::HandleAssignStep). The window carries it in its WM_ASSIGN_STEP message.

enum TAssignStepCode : int
{
    AssignStepNoRun = 3,          // no run of matching intervals: ask the user for one pair
    AssignStepNext = 4,           // the pair prompt's "Next": assign from the selected pair
    AssignStepPromptHidden = 6,   // the pair prompt was hidden (after "Next" or "Cancel")
    AssignStepNoRunEmptyList = 7, // no run because a list is empty: tell the user
};
