#include "entries/listoperations.h"

#include "entries/datensatzlist.h"
#include "entries/entrieslog.h"
#include "entries/listrows.h"
#include "imaging/dsorgbild.h"

#include <algorithm>

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

} // namespace

TSelectActionResult RunSelectAction(ListRowModel &list, int code,
                                    std::vector<TDatensatz *> *collection)
{
    TSelectActionResult result;
    ListUpdateGuard guardThis(&list);
    ListUpdateGuard guardOther(list.OtherList());
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
        bool restart = false;
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
            if (DeleteEntryPair(e)) {
                // The current row is gone: walk again from the first selected row.
                result.RowsChanged = true;
                restart = true;
            }
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
        row = restart ? list.Row(list.FirstSelected()) : list.Row(list.NextSelected(row->Index()));
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
    if (!entry || !entry->Partner() || IsGapAttribute(entry->Attribute()))
        return false;
    entry->SetAttribute(daGap);
    TDatensatz *partner = entry->Partner();
    if (!IsGapAttribute(partner->Attribute())) {
        partner->SetAttribute(daUnassigned);
        return false;
    }
    // Both are gaps now: the row pair goes. Deleting a row frees its entry; an entry
    // without row is freed directly.
    if (ListRow *row = partner->Item())
        row->Model()->DeleteRow(row);
    else
        delete partner;
    if (ListRow *row = entry->Item())
        row->Model()->DeleteRow(row);
    else
        delete entry;
    return true;
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

SelectEntryResult SelectEntry(TDatensatz *entry, bool withPartner)
{
    if (!entry)
        return SelectEntryResult::NoEntry;
    if (!DatensatzList().Contains(entry))
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

void RefreshAllEntries()
{
    // Row texts change for every entry: signal each list once at the end.
    std::vector<ListRowModel *> lists;
    const std::vector<TDatensatz *> entries = DatensatzList().Entries();
    for (TDatensatz *e : entries) {
        ListRowModel *list = e->List();
        if (list && std::find(lists.begin(), lists.end(), list) == lists.end()) {
            list->BeginUpdate();
            lists.push_back(list);
        }
    }
    for (TDatensatz *e : entries)
        e->Refresh();
    for (ListRowModel *list : lists)
        list->EndUpdate();
}

void ClearThumbnails(TImageList &imageList)
{
    HolderList().ResetImageIndexes(imageList);
}

void ClearHolderFlags()
{
    for (TDatensatz *e : DatensatzList().Entries())
        e->SetHolderFlags(0);
}

TDatensatz *CreateGap(ListRowModel &list)
{
    auto *gap = new TDatensatz(list.AppendRow(), -1, QString(), dsGap, false, -1, false, false);
    gap->SetAttribute(daGapNew);
    return gap;
}

TDatensatz *AppendEntry(ListRowModel &list, qint32 number, const QString &path, TDsSide side,
                        bool invert, qint32 rotation, bool mirror, bool batch)
{
    return new TDatensatz(list.AppendRow(), number, path, side, invert, rotation, mirror, batch);
}
