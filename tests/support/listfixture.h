#pragma once
// Two linked lists (left 2, right 3) with helpers to fill them with row pairs, the
// invariants every list operation must keep, and a plain row alignment that stands in for
// the ordering pass where a test needs aligned row pairs again. The naming settings are
// reset around each test; afterwards no entry and no holder may be left.
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/entrystore.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"

#include <QString>
#include <gtest/gtest.h>

#include <string>

class ListFixture : public ::testing::Test
{
protected:
    ListFixture();
    ~ListFixture() override;

    TEntryStore store; // a fresh session's entries, holders and naming settings
    ListRowModel left{store, dsLeft};
    ListRowModel right{store, dsRight};

    ListRowModel &listOf(int side) { return side == dsLeft ? left : right; }

    // An image in list opposite a new gap (both linked, gap "Gap"); attribute daUnassigned.
    TDatensatz *addSingle(ListRowModel &list, const QString &path);
    // Two images linked as a stereo pair in the same row of both lists.
    std::pair<TDatensatz *, TDatensatz *> addPair(const QString &leftPath,
                                                  const QString &rightPath);
    // Selects exactly the given rows of list.
    void select(ListRowModel &list, std::initializer_list<int> rows);

    // Deletes obsolete rows, turns "Gap (New)" into "Gap" and sorts the right rows so that
    // right row i holds the partner of left row i; numbers become row indexes.
    void realign();

    // Empty string when every invariant holds, else a description of the first fault:
    // rows and entries point at each other, DatensatzList holds exactly the entries of the
    // rows, partner links are symmetric and point at live entries, every holder's count is
    // the number of entries using it. With aligned, also: both lists have the same length,
    // every entry has its partner in the same row of the other list, no obsolete or new
    // gaps are left.
    std::string invariantFault(bool aligned) const;
};

#define EXPECT_INVARIANTS(aligned)                                                                 \
    do {                                                                                           \
        const std::string fault_ = invariantFault(aligned);                                        \
        EXPECT_TRUE(fault_.empty()) << fault_;                                                     \
    } while (0)

// Paths of real photos in tests/data/photos/jpg.
QStringList fixturePhotos();
