#include "entries/listoperations.h"
#include "entries/entrystore.h"

#include "entries/datensatzlist.h"
#include "entries/entrieslog.h"
#include "entries/listrows.h"
#include "imaging/dsorgbild.h"

#include <algorithm>
#include <functional>
#include <unordered_set>

namespace {

// The one of e and its partner that stands in the left list goes to left, the other to
// right. False when they are not in two different lists.
bool splitBySide(TDatensatz *e, TDatensatz *&left, TDatensatz *&right)
{
    TDatensatz *p = e ? e->Partner() : nullptr;
    if (!p)
        return false;
    const ListRowModel *le = e->List();
    const ListRowModel *lp = p->List();
    if (!le || !lp || le == lp)
        return false;
    if (le->Side() == dsLeft) {
        left = e;
        right = p;
    } else {
        left = p;
        right = e;
    }
    return true;
}

bool isGapPartner(const TDatensatz *e)
{
    const TDatensatz *p = e->Partner();
    return p && (p->Attribute() == daGapNew || p->Attribute() == daGap);
}

// Marking stereo pairs from consecutive selected rows: a couple is made of two selected
// entries (in row order) of which at least one side is unassigned.
struct PairMarker
{
    bool toggle = false;
    TDatensatz *first = nullptr;

    bool step(TDatensatz *e)
    {
        if (e->Attribute() != daUnassigned && e->Partner()->Attribute() != daUnassigned)
            return false; // neither side is free: not part of any couple
        if (!toggle) {
            first = e;
            toggle = true;
            return false;
        }
        TDatensatz *p = first;
        const TDsAttribute a = e->Attribute();
        // Two entries of the same kind stand in the same list: move the second one's pair
        // around so that the two images end up in different lists.
        if (a == p->Attribute())
            SwapPair(e);
        if (p->Attribute() == daStereoPair)
            SplitPair(p);
        if (e->Attribute() == daStereoPair)
            SplitPair(e);
        // A selected gap row stands for the unassigned image opposite it.
        if (p->Attribute() != daUnassigned)
            p = p->Partner();
        if (e->Attribute() != daUnassigned)
            e = e->Partner();
        LinkPair(p, e);
        toggle = false;
        first = nullptr;
        return true;
    }
};

// The rows that "Remove from list" gives up, deleted together once the walk is done: one
// deletion per row would move the rows behind it and renumber them each time, which makes
// removing many rows quadratic. Until then a removed image stands in its row as a gap
// opposite a gap; the walk skips gaps, so it visits exactly the rows it would visit if each
// row pair went at once. Deleting a row frees its entry.
class DoomedRows
{
public:
    // Gives up the rows of entry and of its partner, both gaps now; an entry without a row
    // is freed at once.
    void add(TDatensatz *entry)
    {
        TDatensatz *partner = entry->Partner();
        for (TDatensatz *e : {partner, entry}) {
            if (ListRow *row = e->Item()) {
                m_rows.insert(row);
                m_order.push_back(row);
            } else {
                delete e;
            }
        }
    }

    ~DoomedRows()
    {
        if (m_rows.empty())
            return;
        // One row pair goes row by row, which the views follow without starting over.
        if (m_order.size() <= 2) {
            for (ListRow *row : m_order)
                row->Model()->DeleteRow(row);
            return;
        }
        std::vector<ListRowModel *> lists;
        for (const ListRow *row : m_rows)
            if (std::find(lists.begin(), lists.end(), row->Model()) == lists.end())
                lists.push_back(row->Model());
        for (ListRowModel *list : lists)
            list->DeleteRowsIf([this](const ListRow &row) { return m_rows.count(&row) > 0; });
    }

private:
    std::unordered_set<const ListRow *> m_rows;
    std::vector<ListRow *> m_order; // the rows in the order they were given up
};

// DeleteEntryPair, with the rows given up into doomed instead of deleted.
bool deleteEntryPair(TDatensatz *entry, DoomedRows &doomed)
{
    if (!entry || !entry->Partner() || IsGapAttribute(entry->Attribute()))
        return false;
    entry->SetAttribute(daGap);
    TDatensatz *partner = entry->Partner();
    if (!IsGapAttribute(partner->Attribute())) {
        partner->SetAttribute(daUnassigned);
        return false;
    }
    doomed.add(entry);
    return true;
}

} // namespace

TSelectActionResult RunSelectAction(ListRowModel &list, int code,
                                    std::vector<TDatensatz *> *collection)
{
    TSelectActionResult result;
    ListUpdateGuard guardThis(&list);
    ListUpdateGuard guardOther(list.OtherList());
    // Declared after the guards: the rows go before the lists signal their changes, also
    // when an error stops the walk.
    DoomedRows doomed;
    PairMarker marker;

    ListRow *row = list.Row(list.FirstSelected());
    while (row) {
        TDatensatz *e = row->Data();
        if (!e || !e->Partner()) {
            result.Error = QString::fromLatin1(RunSelectActionNilError);
            qCWarning(lcEntries) << result.Error << "at row" << row->Index() << "of list"
                                 << list.Side();
            return result;
        }
        switch (code) {
        case saRotate0:
        case saRotate90:
        case saRotate180:
        case saRotate270:
            e->SetRotation(code);
            break;
        case saSwapPair:
            SwapPair(e);
            break;
        case saMarkStereoPairs:
            if (marker.step(e))
                result.RowsChanged = true;
            break;
        case saSplitPair:
            if (e->Attribute() == daStereoPair) {
                SplitPair(e);
                result.RowsChanged = true;
            }
            break;
        case saMarkUnassigned:
            if (isGapPartner(e))
                e->SetAttribute(daUnassigned);
            break;
        case saMarkMono:
            if (isGapPartner(e))
                e->SetAttribute(daMono);
            break;
        case saBatchOn:
            e->SetBatch(true);
            break;
        case saBatchOff:
            e->SetBatch(false);
            break;
        case saDeleteEntryPair:
            if (deleteEntryPair(e, doomed))
                result.RowsChanged = true;
            break;
        case saInvertOn:
            e->SetInvert(true);
            break;
        case saInvertOff:
            e->SetInvert(false);
            break;
        case saMirrorOn:
            e->SetMirror(true);
            break;
        case saMirrorOff:
            e->SetMirror(false);
            break;
        case saCollect:
            if (collection)
                collection->push_back(e);
            break;
        default:
            break;
        }
        row = list.Row(list.NextSelected(row->Index()));
    }
    return result;
}

void SwapPair(TDatensatz *entry)
{
    TDatensatz *left = nullptr;
    TDatensatz *right = nullptr;
    if (!splitBySide(entry, left, right))
        return;
    ListRow *leftRow = left->Item();
    ListRow *rightRow = right->Item();
    leftRow->SetData(right);
    rightRow->SetData(left);
    right->AttachItem(leftRow);
    left->AttachItem(rightRow);
}

void LinkPair(TDatensatz *a, TDatensatz *b)
{
    if (!a || !b)
        return;
    TDatensatz *oldA = a->Partner();
    TDatensatz *oldB = b->Partner();
    if (oldA)
        oldA->SetPartner(nullptr);
    if (oldB)
        oldB->SetPartner(nullptr);
    LinkBothWays(a, b);
    a->SetAttribute(daStereoPair);
    b->SetAttribute(daStereoPair);
    // The former partners are left behind; the next ordering pass deletes their rows. An
    // entry of the new pair itself is never marked (it would lose its file).
    if (oldA && oldA != a && oldA != b)
        oldA->SetAttribute(daObsolete);
    if (oldB && oldB != a && oldB != b)
        oldB->SetAttribute(daObsolete);
}

void SplitPair(TDatensatz *entry)
{
    TDatensatz *left = nullptr;
    TDatensatz *right = nullptr;
    if (!splitBySide(entry, left, right))
        return;
    ListRowModel *leftList = left->List();
    ListRowModel *rightList = right->List();

    TDatensatz *gapRight = CreateGap(*rightList);
    gapRight->SetGapTime(right->CaptureTime());
    gapRight->SetSortTime(right->SortTime());
    LinkBothWays(left, gapRight);

    TDatensatz *gapLeft = CreateGap(*leftList);
    gapLeft->SetGapTime(left->CaptureTime());
    gapLeft->SetSortTime(left->SortTime());
    LinkBothWays(right, gapLeft);

    left->SetAttribute(daUnassigned);
    right->SetAttribute(daUnassigned);
    left->SetSide(dsMono);
    right->SetSide(dsMono);
}

bool DeleteEntryPair(TDatensatz *entry)
{
    DoomedRows doomed; // both rows go at the end of this call
    return deleteEntryPair(entry, doomed);
}

void SelectByAttribute(ListRowModel &list, int mode)
{
    ListUpdateGuard guard(&list);
    if (mode == 0) {
        list.SelectAll();
        return;
    }
    const int n = list.Count();
    for (int i = 0; i < n; ++i) {
        const TDatensatz *e = list.EntryAt(i);
        if (!e)
            continue;
        const TDsAttribute a = e->Attribute();
        bool match = false;
        switch (mode) {
        case 1:
            match = a == daStereoPair;
            break;
        case 2:
            match = a == daMono;
            break;
        case 3:
            match = a == daUnassigned;
            break;
        case 5:
            match = e->IsDoubtful();
            break;
        case 6:
            match = e->PairMark() != TPairMark::None;
            break;
        case 4:
            match = a == daGapNew || a == daGap;
            break;
        default:
            return;
        }
        if (match)
            list.SetSelected(i, true);
    }
}

void ScrollRowIntoPlace(const TDatensatz *entry, int offset)
{
    if (!entry)
        return;
    ListRowModel *list = entry->List();
    if (!list)
        return;
    const int h = list->RowHeight();
    list->ScrollBy(h * (offset + entry->RowIndex() - list->TopRow()));
}

namespace {
void selectOnly(TDatensatz *e)
{
    ListRowModel *list = e->List();
    if (!list)
        return;
    ListUpdateGuard guard(list);
    const int row = e->RowIndex();
    list->ClearSelection();
    list->SetItemIndex(-1);
    list->SetItemIndex(row);
    list->SetSelected(row, true);
    list->SetFocusedRow(row);
}
} // namespace

SelectEntryResult SelectEntry(const TDatensatzList &registry, TDatensatz *entry, bool withPartner)
{
    if (!entry)
        return SelectEntryResult::NoEntry;
    if (!registry.Contains(entry))
        return SelectEntryResult::Gone;
    selectOnly(entry);
    TDatensatz *partner = withPartner ? entry->Partner() : nullptr;
    if (partner)
        selectOnly(partner);
    ScrollRowIntoPlace(entry, -1);
    if (partner)
        ScrollRowIntoPlace(partner, -1);
    return SelectEntryResult::Selected;
}

namespace {

// Runs work on every registered entry, in registry order, with the lists they stand in
// counting one update, so that each list signals its row changes once at the end.
void forEveryEntry(const TDatensatzList &registry, const std::function<void(TDatensatz *)> &work)
{
    std::vector<ListRowModel *> lists;
    const std::vector<TDatensatz *> entries = registry.Entries();
    for (TDatensatz *e : entries) {
        ListRowModel *list = e->List();
        if (list && std::find(lists.begin(), lists.end(), list) == lists.end()) {
            list->BeginUpdate();
            lists.push_back(list);
        }
    }
    for (TDatensatz *e : entries)
        work(e);
    for (ListRowModel *list : lists)
        list->EndUpdate();
}

} // namespace

void RefreshAllEntries(const TDatensatzList &registry)
{
    forEveryEntry(registry, [](TDatensatz *e) { e->Refresh(); });
}

void ClearThumbnails(TEntryStore &store, TImageList &imageList)
{
    store.Holders.ResetImageIndexes(imageList);
    // The rows' icon indexes point into the emptied list. Each row that shows it takes its
    // icon again now: a row whose new index happens to equal the old one would otherwise
    // signal no change, and the views would keep showing no icon for it.
    forEveryEntry(store.Registry, [&imageList](TDatensatz *e) {
        ListRow *row = e->Item();
        if (!row || !row->Model() || row->Model()->SmallImages() != &imageList)
            return;
        row->SetImageIndex(-1);
        e->RefreshThumbnail();
    });
}

void ClearHolderFlags(const TDatensatzList &registry)
{
    for (TDatensatz *e : registry.Entries())
        e->SetHolderFlags(0);
}

TDatensatz *CreateGap(ListRowModel &list)
{
    auto *gap = new TDatensatz(list.Store(), list.AppendRow(), -1, QString(), dsGap,
                               {.Rotation = -1, .Batch = false});
    gap->SetAttribute(daGapNew);
    return gap;
}

TDatensatz *AppendEntry(ListRowModel &list, qint32 number, const QString &path, TDsSide side,
                        const TEntryOptions &options)
{
    return new TDatensatz(list.Store(), list.AppendRow(), number, path, side, options);
}
