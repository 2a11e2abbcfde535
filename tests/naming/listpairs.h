#pragma once
// Two linked lists of aligned rows for the naming tests: stereo pairs and single images
// opposite gaps, built row by row.
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"

#include <gtest/gtest.h>

class ListPairs : public ::testing::Test
{
protected:
    ListPairs()
    {
        ResetNamingSettings();
        ListRowModel::LinkLists(left, right);
    }
    ~ListPairs() override
    {
        left.Clear();
        right.Clear();
        DatensatzList().FreeAll();
        ResetNamingSettings();
    }

    // A stereo pair in a new last row of both lists.
    std::pair<TDatensatz *, TDatensatz *> addPair(const QString &l, const QString &r)
    {
        TDatensatz *a = AppendEntry(left, left.Count(), l, dsLeft, false, 0, false, true);
        TDatensatz *b = AppendEntry(right, right.Count(), r, dsRight, false, 0, false, true);
        LinkBothWays(a, b);
        a->SetAttribute(daStereoPair);
        b->SetAttribute(daStereoPair);
        return {a, b};
    }

    // An unassigned image in list opposite a gap in the other list; returns the image.
    TDatensatz *addSingle(ListRowModel &list, const QString &path)
    {
        TDatensatz *image =
            AppendEntry(list, list.Count(), path, TDsSide(list.Side()), false, 0, false, true);
        TDatensatz *gap = CreateGap(*list.OtherList());
        gap->SetAttribute(daGap);
        gap->SetNumber(image->Number());
        LinkBothWays(image, gap);
        return image;
    }

    static void select(ListRowModel &list, std::initializer_list<int> rows)
    {
        list.ClearSelection();
        for (int r : rows)
            list.SetSelected(r, true);
    }

    ListRowModel left{dsLeft};
    ListRowModel right{dsRight};
};
