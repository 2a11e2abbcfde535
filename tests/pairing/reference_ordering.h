#pragma once
// A plain model of the two lists and a straightforward, step-by-step implementation of the
// ordering pass on it (quadratic scans, vector insertions, insertion sorts). The tests run the
// production pass and this one on the same inputs and compare the results row by row.
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace ref {

struct Entry
{
    int id = 0;         // identity for the comparison (images: unique, gaps: -1 if new)
    QString path;       // empty for gaps
    double capture = 0; // capture time of an image's file
    double gapTime = 0; // capture time of a gap (its own record)
    int attribute = 0;  // 0..6
    int side = 0;       // 0 mono, 1 gap, 2 left, 3 right
    int number = -1;
    Entry *partner = nullptr;
    double sortTime = 0;
    bool alive = true;

    bool isGap() const { return attribute >= 4; }
    double captureTime() const { return isGap() ? gapTime : capture; }
};

// One WM_ASSIGN_STEP the pass posted.
struct Posted
{
    int code;
    int mode;
};

struct Model
{
    std::vector<std::unique_ptr<Entry>> storage; // every entry ever made (freed ones stay)
    std::vector<Entry *> left, right;            // the rows
    std::vector<Entry *> registry;               // live entries in creation order
    int selectedLeft = -1, selectedRight = -1;   // first selected row, -1 none
    std::vector<Posted> posted;

    Entry *create(std::vector<Entry *> &list);
    Entry *createGap(std::vector<Entry *> &list); // appended row, attribute 4
    void deleteRow(std::vector<Entry *> &list, int row);
    int rowOf(const Entry *e) const; // row index in its list, -1 if none
    bool inLeft(const Entry *e) const;
};

enum class Outcome
{
    Completed,
    NoRun,     // code 3 posted
    ListEmpty, // code 7 posted
};

// Where the program departs on purpose from the pass as first written down. Each switch on
// is the program's behaviour; AsWritten() turns them all off, so the reference can also run
// the pass literally and the tests can show what each departure changes and why.
struct Departures
{
    // Whole seconds between two times survive the rounding of day numbers: 3 s stay 3 s
    // instead of truncating 2.99999... to 2 (which pairs pictures 3 s apart).
    bool wholeSecondsSurviveRounding = true;
    // A dissolving pass never takes a gap into a work list as an unassigned "image": it
    // becomes obsolete (or stays with an image the mode leaves alone). Taken literally, the
    // gap turns into an image without a file.
    bool gapsNeverBecomeImages = true;
    // A dissolving pass also clears the obsolete gap's link to the picture it stood
    // opposite. Taken literally, the gap keeps a one-way link, which points at a freed
    // entry when the picture is removed before the follow-up pass.
    bool obsoleteGapsDropTheirLinks = true;
    // In modes 4 and 5, the run's offset replaces the one taken from the selected pair.
    // Taken literally, when the two move different lists, both shifts stay and the lists
    // end up apart by the difference of the two offsets, which neither measured.
    bool runOffsetReplacesSelectedOffset = true;

    static Departures AsWritten() { return {false, false, false, false}; }
};

// The ordering pass of the given mode (0..6).
Outcome ArrangeLists(Model &model, int mode, const Departures &departures = {});

// The plain run search for one left start: the literal walk over the right intervals.
struct Run
{
    int leftStart, leftEnd, rightStart, rightEnd;
};
std::optional<Run> FindRun(const std::vector<long long> &left, const std::vector<long long> &right,
                           int l0);

// The plain pairing by time: index of the paired right time for each left time, or -1.
std::vector<int> PairByTime(const std::vector<double> &leftTimes, std::vector<bool> leftFree,
                            const std::vector<double> &rightTimes, std::vector<bool> rightFree);

} // namespace ref
