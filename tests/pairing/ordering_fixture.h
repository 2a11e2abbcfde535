#pragma once
// Two linked lists with entries whose capture times are set in memory (their holders are
// marked loaded, no file is read), and the checks every completed ordering pass must pass.
#include "entries/datensatz.h"
#include "entries/entrystore.h"
#include "entries/listrows.h"
#include "pairing/ordering.h"

#include <QString>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

// A day number as the EXIF reader makes it: 1 May 2024 plus the time of day.
double at(int hour, int minute, double second);

class OrderingFixture : public ::testing::Test
{
protected:
    OrderingFixture();
    ~OrderingFixture() override;

    TEntryStore store; // a fresh session's entries, holders and naming settings
    ListRowModel left{store, dsLeft};
    ListRowModel right{store, dsRight};
    TOrderingPass pass{left, right};

    // An image at the end of list; path "/mem/<name>" unless name holds a '/'.
    TDatensatz *image(ListRowModel &list, const QString &name, double time,
                      TDsAttribute attribute = daUnassigned);
    // A gap at the end of list standing for time.
    TDatensatz *gap(ListRowModel &list, double time, TDsAttribute attribute = daGap);
    // An image opposite a new gap in the other list, as loading a file leaves it.
    TDatensatz *single(ListRowModel &list, const QString &name, double time,
                       TDsAttribute attribute = daUnassigned);
    // Two images as a stereo pair.
    std::pair<TDatensatz *, TDatensatz *> stereo(const QString &leftName, double leftTime,
                                                 const QString &rightName, double rightTime);
    // Selects exactly the given row of list (-1: none).
    void selectRow(ListRowModel &list, int row);
    // Entry names (file names; "-" for gaps) of a list in row order.
    std::vector<std::string> names(const ListRowModel &list) const;

    // Empty when the lists form aligned row pairs as every completed pass leaves them:
    // the same row count, row i of both lists partners of each other, numbers and captions
    // equal to the row index, no entry "unpaired", "Gap (New)" or obsolete, every image a
    // stereo pair exactly when its partner is an image, and the registry holds exactly the
    // entries of the rows.
    std::string alignmentFault() const;
};

#define EXPECT_ALIGNED()                                                                           \
    do {                                                                                           \
        const std::string fault_ = alignmentFault();                                               \
        EXPECT_TRUE(fault_.empty()) << fault_;                                                     \
    } while (0)
