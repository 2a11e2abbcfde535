// Long random sequences of list actions on lists built from real photos and generated paths
// (some paths used by several entries); the invariants are checked after every step.
#include "support/listfixture.h"

#include "imaging/dsorgbild.h"
#include "imaging/imagelist.h"

#include <random>

namespace {

class RandomLists : public ListFixture
{
protected:
    std::mt19937 rng;
    QStringList photos = fixturePhotos();
    TImageList icons{16, 16};
    // What the sequences did, so that a change that makes them trivial shows.
    int structuralChanges = 0;
    int sharedHolders = 0;

    int pick(int n) { return n <= 0 ? 0 : int(rng() % unsigned(n)); }
    bool chance(int percent) { return pick(100) < percent; }

    QString randomPath()
    {
        if (chance(40) && !photos.isEmpty())
            return photos[pick(int(photos.size()))];
        // A small pool of generated names, so that paths repeat and holders are shared.
        return QStringLiteral("/generated/cam%1/IMG_%2.JPG").arg(pick(2)).arg(pick(30));
    }

    TDatensatz *addRandomFile()
    {
        TDatensatz *e = addSingle(chance(50) ? left : right, randomPath());
        if (chance(50))
            e->LoadMetadata();
        return e;
    }

    TDatensatz *randomEntry()
    {
        ListRowModel &list = chance(50) ? left : right;
        return list.EntryAt(pick(list.Count()));
    }

    void randomSelection(ListRowModel &list)
    {
        list.ClearSelection();
        const int percent = 5 + pick(40);
        for (int i = 0; i < list.Count(); ++i) {
            if (chance(percent))
                list.SetSelected(i, true);
        }
    }

    // "Combinations": copies of every two selected images as new pairs, then the originals
    // leave their lists.
    void combinations()
    {
        std::vector<TDatensatz *> collected;
        for (ListRowModel *list : {&left, &right}) {
            randomSelection(*list);
            ASSERT_FALSE(RunSelectAction(*list, saCollect, &collected).Failed());
        }
        std::erase_if(collected, [](TDatensatz *e) { return IsGapAttribute(e->Attribute()); });
        if (collected.size() > 4)
            collected.resize(4);
        for (size_t i = 0; i + 1 < collected.size(); ++i) {
            for (size_t j = i + 1; j < collected.size(); ++j) {
                TDatensatz *l = TDatensatz::CreateCopy(left.AppendRow(), *collected[i], dsLeft,
                                                       left.Count() - 1);
                TDatensatz *r = TDatensatz::CreateCopy(right.AppendRow(), *collected[j], dsRight,
                                                       right.Count() - 1);
                LinkBothWays(l, r);
                l->SetAttribute(daStereoPair);
                r->SetAttribute(daStereoPair);
            }
        }
        for (auto it = collected.rbegin(); it != collected.rend(); ++it)
            DeleteEntryPair(*it);
    }

    void step()
    {
        const int op = pick(100);
        if (op < 45) {
            ListRowModel &list = chance(50) ? left : right;
            randomSelection(list);
            const int code = pick(18);
            std::vector<TDatensatz *> collected;
            const TSelectActionResult r = RunSelectAction(list, code, &collected);
            ASSERT_FALSE(r.Failed()) << "code " << code << ": " << r.Error.toStdString();
            structuralChanges += r.RowsChanged ? 1 : 0;
            if (code == saCollect) {
                ASSERT_EQ(int(collected.size()), list.SelectedCount());
            }
        } else if (op < 55) {
            SwapPair(randomEntry());
        } else if (op < 63) {
            TDatensatz *e = randomEntry();
            if (e && e->Attribute() == daStereoPair)
                SplitPair(e);
        } else if (op < 70) {
            combinations();
        } else if (op < 80) {
            addRandomFile();
        } else if (op < 85) {
            SelectByAttribute(chance(50) ? left : right, pick(6));
        } else if (op < 90) {
            TDatensatz *e = randomEntry();
            if (e) {
                EXPECT_EQ(SelectEntry(store.Registry, e, chance(50)), SelectEntryResult::Selected);
            }
        } else if (op < 95) {
            RefreshAllEntries(store.Registry);
        } else {
            DeleteEntryPair(randomEntry());
        }
        for (int i = 0; i < store.Registry.Count(); ++i) {
            const TDatensatz *e = store.Registry.At(i);
            sharedHolders += !IsGapAttribute(e->Attribute()) && e->HolderRefCount() > 1;
        }
        // Structural changes leave the rows unaligned until the ordering pass.
        EXPECT_INVARIANTS(false);
        realign();
        EXPECT_INVARIANTS(true);
    }
};

TEST_F(RandomLists, LongRandomActionSequencesKeepTheInvariants)
{
    left.SetSmallImages(&icons);
    right.SetSmallImages(&icons);
    for (unsigned seed = 1; seed <= 10; ++seed) {
        rng.seed(seed);
        const int files = 5 + pick(25);
        for (int i = 0; i < files; ++i)
            addRandomFile();
        realign();
        ASSERT_TRUE(invariantFault(true).empty()) << invariantFault(true);
        for (int s = 0; s < 200; ++s) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " step " << s);
            step();
            if (HasFatalFailure() || HasFailure())
                return;
        }
        left.Clear();
        right.Clear();
        ASSERT_EQ(store.Registry.Count(), 0);
        ASSERT_EQ(store.Holders.Count(), 0);
    }
    EXPECT_GT(structuralChanges, 50);
    EXPECT_GT(sharedHolders, 1000);
}

} // namespace
