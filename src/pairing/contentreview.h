#pragma once
// Pairs the rhythm alignment was unsure of, decided by their pictures.
//
// Within a burst, or where one camera fired alone, capture times cannot tell which picture
// belongs to which: the alignment then pairs with a low probability (a doubtful pair) and
// leaves the picture it could not place single. A content judge, handed in by whoever links
// a check of picture content (the pairing library knows none), compares the doubtful pair
// with each single picture on the other side whose time on the common timeline lies within
// the alignment's tolerance, and the pair whose pictures match is kept; the picture it
// replaces goes back to being single. Pairs the pass did not make (kept pairs, pairs the
// user made by hand) are never touched: only pairs with a probability of this pass are.
#include <functional>
#include <vector>

class TDatensatz;

// How the content of two pictures compares.
struct TContentMatch
{
    bool Known = false;   // both pictures could be read and compared
    bool Matches = false; // they show one scene, as the two views of a pair
    double Score = 0;     // how well they match (larger is better); compared between the
                          // candidates of one pair only
};

using TContentJudge = std::function<TContentMatch(const TDatensatz &left, const TDatensatz &right)>;

// Seconds a picture's partner may lie from it on the common timeline (capture time with its
// sub-second part and clock correction): the alignment's pairing tolerance, tighter when
// both pictures carry sub-second times.
double PairToleranceSeconds(const TDatensatz &a, const TDatensatz &b);
// The capture time of e on the common timeline, in seconds; NaN without a capture time.
double AlignedSeconds(const TDatensatz &e);

// Reviews the doubtful pairs among the work lists' entries (in left order) with judge and
// re-pairs where a single picture within the tolerance matches clearly better: where the
// pair does not match (or could not be compared) and the candidate does, or where the
// candidate's score is at least half as high again. The new pair keeps the old pair's
// probability (its times stay as doubtful as they were). row is told each reviewed pair's
// position (progress; it may let events through). Returns how many pairs were changed.
int ReviewDoubtfulPairs(std::vector<TDatensatz *> &left, std::vector<TDatensatz *> &right,
                        const TContentJudge &judge, const std::function<void(int)> &row);
