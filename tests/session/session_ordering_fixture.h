#pragma once
// The ordering fixture's lists driven the way the session drives them: through the window
// state, whose callbacks record what the session asks the window (or duomira-cli) for.
#include "pairing/ordering_fixture.h"
#include "session/mainstate.h"

// Records what the session asks the window for: the assignment steps (state.AssignStepNeeded)
// as (code, mode) and the counterpart selections (state.PartnerSelectionNeeded) as
// (row, entry).
class AssignStepRecorder
{
public:
    std::vector<std::pair<int, int>> steps;
    std::vector<std::pair<int, TDatensatz *>> partnerRequests;
    // Returns the recorded steps (then forgets them).
    std::vector<std::pair<int, int>> take();
    std::vector<std::pair<int, TDatensatz *>> takePartnerRequests();
};

class SessionOrderingFixture : public OrderingFixture
{
protected:
    SessionOrderingFixture();

    TMainWindowState state;
    AssignStepRecorder recorder;
};
