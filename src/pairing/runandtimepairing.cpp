// The default pairing: the first run of shot intervals that agree in both lists gives one
// clock offset, then each unassigned left picture takes the earliest unassigned right
// picture within 2 seconds.
#include "pairing/pairingmethod.h"

#include "entries/datensatz.h"
#include "pairing/ordering_search.h"
#include "pairing/ordering_time.h"

namespace {

// Every entry of work gets its capture time moved by seconds as sort time.
void moveSortTimes(const std::vector<TDatensatz *> &work, qint64 seconds)
{
    for (TDatensatz *e : work)
        e->SetSortTime(AddSeconds(e->CaptureTime(), seconds));
}

// The whole list whose picture is the earlier of a and b is moved forward by the whole
// seconds between them; the other list keeps its capture times.
void applyOffset(const TDatensatz *a, const TDatensatz *b, const std::vector<TDatensatz *> &left,
                 const std::vector<TDatensatz *> &right)
{
    const qint64 seconds = SecondsBetween(a->CaptureTime(), b->CaptureTime());
    const bool leftLater = CompareTimes(a->CaptureTime(), b->CaptureTime()) > 0;
    moveSortTimes(leftLater ? left : right, 0);
    moveSortTimes(leftLater ? right : left, seconds);
}

std::vector<double> captureTimes(const std::vector<TDatensatz *> &work)
{
    std::vector<double> times;
    times.reserve(work.size());
    for (const TDatensatz *e : work)
        times.push_back(e->CaptureTime());
    return times;
}

class TRunAndTimePairing final : public TPairingMethod
{
public:
    // Modes 4 and 5 start from the offset between the selected pictures; the first run of
    // agreeing intervals, when there is one, pairs its pictures and gives the offset.
    bool FindClock(TPairingWork &work) override
    {
        if (TakesOffsetFromSelection(work.mode) && work.selectedLeft && work.selectedRight)
            applyOffset(work.selectedLeft, work.selectedRight, work.left, work.right);
        const std::vector<qint64> leftGaps = IntervalsBetween(captureTimes(work.left));
        const std::vector<qint64> rightGaps = IntervalsBetween(captureTimes(work.right));
        work.step(3, static_cast<int>(leftGaps.size()));
        IntervalRunSearch search(leftGaps, rightGaps);
        const std::optional<IntervalRun> run = search.firstRun(work.row);
        if (!run)
            return false;
        for (int l = run->leftStart, k = run->rightStart; l <= run->leftEnd && k <= run->rightEnd;
             ++l, ++k)
            MakeStereoPair(work.left[l], work.right[k]);
        // The run's offset replaces one taken from a selected pair: applying both would
        // shift the lists by their difference, which neither measured.
        applyOffset(work.left[run->leftStart], work.right[run->rightStart], work.left, work.right);
        return true;
    }

    // Each unassigned left picture, in order, takes the earliest unassigned right picture
    // within 2 seconds of its sort time.
    void PairRest(TPairingWork &work) override
    {
        std::vector<double> leftTimes, rightTimes;
        std::vector<bool> leftFree, rightFree;
        for (const TDatensatz *e : work.left) {
            leftTimes.push_back(e->SortTime());
            leftFree.push_back(e->Attribute() == daUnassigned);
        }
        for (const TDatensatz *e : work.right) {
            rightTimes.push_back(e->SortTime());
            rightFree.push_back(e->Attribute() == daUnassigned);
        }
        const std::vector<int> partner =
            PairByTime(leftTimes, leftFree, rightTimes, rightFree, work.row);
        for (size_t k = 0; k < partner.size(); ++k)
            if (partner[k] >= 0)
                MakeStereoPair(work.left[k], work.right[partner[k]]);
    }
};

} // namespace

std::unique_ptr<TPairingMethod> MakeRunAndTimePairing()
{
    return std::make_unique<TRunAndTimePairing>();
}
