#pragma once
// The pairing methods of the assigning ordering pass, behind one small interface.
//
// The pass (ordering.h) collects the entries of its mode, dissolves them, sorts both work
// lists by capture time, fills the gaps and finishes the lists the same way for every
// method. A method only decides which pictures become stereo pairs:
//  - TRunAndTimePairing, the default: the first run of agreeing shot intervals (or the
//    selected pair) gives one clock offset, then pictures pair greedily within 2 seconds;
//  - TAlignmentPairing: the rhythm alignment (rhythmalignment.h), which survives bursts,
//    clock drift and clocks changed during a session, and rates every pair.
#include "pairing/ordering.h"

#include <QtGlobal>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TDatensatz;

// What a method works on. The work lists are in chronological order; the entries the pass
// dissolved are unassigned and without partner.
struct TPairingWork
{
    std::vector<TDatensatz *> &left;
    std::vector<TDatensatz *> &right;
    TPairingReport &report; // what the alignment found, for the status line
    OrderingMode mode = OrderingMode::AssignAll;
    // Modes 4 and 5: the pictures of the selected rows (either may be null).
    const TDatensatz *selectedLeft = nullptr;
    const TDatensatz *selectedRight = nullptr;
    // Stereo pairs the pass leaves alone (modes 2 and 5 take only unassigned entries).
    std::vector<std::pair<const TDatensatz *, const TDatensatz *>> keptPairs;
    std::function<void(int number, int maximum)> step; // progress: a step starts
    std::function<void(int position)> row;             // progress: a row is done
};

class TPairingMethod
{
public:
    virtual ~TPairingMethod() = default;
    // Finds how the two cameras' clocks relate, with the pairs that shows for sure. False
    // when the lists show no usable relation: the pass then asks for one known pair.
    virtual bool FindClock(TPairingWork &work) = 0;
    // Pairs what is still unassigned once the clock relation is known. Afterwards both
    // work lists are in the order of their sort times.
    virtual void PairRest(TPairingWork &work) = 0;
};

std::unique_ptr<TPairingMethod> MakePairingMethod(PairingMethod method);
std::unique_ptr<TPairingMethod> MakeRunAndTimePairing();
std::unique_ptr<TPairingMethod> MakeAlignmentPairing();

// Makes left and right a stereo pair (attributes, sides and links both ways).
void MakeStereoPair(TDatensatz *left, TDatensatz *right);
