#include "session_ordering_fixture.h"

#include "session/assignstep.h"

std::vector<std::pair<int, TDatensatz *>> AssignStepRecorder::takePartnerRequests()
{
    std::vector<std::pair<int, TDatensatz *>> result;
    result.swap(partnerRequests);
    return result;
}

std::vector<std::pair<int, int>> AssignStepRecorder::take()
{
    std::vector<std::pair<int, int>> result;
    result.swap(steps);
    return result;
}

SessionOrderingFixture::SessionOrderingFixture()
{
    state.AssignStepNeeded = [this](TAssignStep step, OrderingMode mode) {
        recorder.steps.emplace_back(int(step), int(mode));
    };
    state.PartnerSelectionNeeded = [this](int row, TDatensatz *entry) {
        recorder.partnerRequests.emplace_back(row, entry);
    };
}
