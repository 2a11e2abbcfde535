#include "pairing/sorting.h"

#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/entrystore.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "pairing/ordering.h"
#include "pairing/ordering_time.h"
#include "pairing/orderingprogress.h"

#include <QStringView>

#include <climits>
#include <unordered_set>

namespace {

char16_t upperAscii(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
}

// Ordinal comparison of two names with ASCII letters upper-cased.
int compareNames(QStringView a, QStringView b)
{
    const qsizetype n = qMin(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ca = upperAscii(a[i].unicode()), cb = upperAscii(b[i].unicode());
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// What an entry is ordered by: the time and file name of the entry it stands for.
struct SortKey
{
    double time;
    QString name;
};

const TDatensatz *represented(const TDatensatz *e)
{
    const TDsAttribute a = e->Attribute();
    if ((a == daGapNew || a == daGap) && e->Partner())
        return e->Partner();
    return e;
}

SortKey keyOf(const TDatensatz *e)
{
    const TDatensatz *r = represented(e);
    return SortKey{r->CaptureTime() + r->ClockCorrection() / 86400.0,
                   PathFileName(r->SourcePath())};
}

int compareKeys(const SortKey &x, const SortKey &y)
{
    const int t = CompareTimes(x.time, y.time);
    return t != 0 ? t : compareNames(x.name, y.name);
}

// Bottom-up merge sort of positions 0..n-1 by compare(i, j). Stable, and it only ever
// reads inside the array whatever the comparison answers.
template <typename Compare> std::vector<int> mergeSortedPositions(int n, Compare compare)
{
    std::vector<int> a(n), b(n);
    for (int i = 0; i < n; ++i)
        a[i] = i;
    for (int width = 1; width < n; width *= 2) {
        for (int lo = 0; lo < n; lo += 2 * width) {
            const int mid = qMin(lo + width, n), hi = qMin(lo + 2 * width, n);
            int i = lo, j = mid, out = lo;
            while (i < mid && j < hi)
                b[out++] = compare(a[j], a[i]) < 0 ? a[j++] : a[i++];
            while (i < mid)
                b[out++] = a[i++];
            while (j < hi)
                b[out++] = a[j++];
        }
        a.swap(b);
    }
    return a;
}

// SetNumber rewrites the row caption; an entry that already has the number keeps it.
void setNumber(TDatensatz *e, int n)
{
    if (e->Number() != n)
        e->SetNumber(n);
}

int compareNumbers(int a, int b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

// The row order of the final phase: by number; a gap that carries its partner's row index
// and an image with the same own index have no order of their own, the image goes first.
int compareByNumber(const ListRow &a, const ListRow &b)
{
    const TDatensatz *x = a.Data(), *y = b.Data();
    if (!x || !y)
        return x ? -1 : (y ? 1 : 0);
    const int byNumber = compareNumbers(x->Number(), y->Number());
    if (byNumber != 0)
        return byNumber;
    return compareNumbers(IsGapAttribute(x->Attribute()), IsGapAttribute(y->Attribute()));
}

// Every row of list whose entry belongs to work takes the next entry of work, in row order.
void writeBack(ListRowModel &list, const std::vector<TDatensatz *> &work,
               TOrderingProgress *progress, int &position)
{
    const std::unordered_set<const TDatensatz *> members(work.begin(), work.end());
    size_t next = 0;
    for (int r = 0; r < list.Count() && next < work.size(); ++r) {
        ListRow *row = list.Row(r);
        if (!members.count(row->Data()))
            continue;
        TDatensatz *e = work[next++];
        if (row->Data() != e || e->Item() != row) {
            row->SetData(e);
            e->AttachItem(row);
        }
        setNumber(e, r);
        if (progress)
            progress->RowDone(++position);
    }
}

} // namespace

int CompareEntries(const TDatensatz *x, const TDatensatz *y)
{
    return compareKeys(keyOf(x), keyOf(y));
}

int CompareRows(const ListRow &a, const ListRow &b, bool byNumber)
{
    const TDatensatz *x = a.Data(), *y = b.Data();
    if (!x || !y)
        return x ? -1 : (y ? 1 : 0);
    if (byNumber)
        return compareNumbers(x->Number(), y->Number());
    return CompareEntries(x, y);
}

void SortChronologically(std::vector<TDatensatz *> &entries)
{
    std::vector<SortKey> keys;
    keys.reserve(entries.size());
    for (const TDatensatz *e : entries)
        keys.push_back(keyOf(e));
    const std::vector<int> order =
        mergeSortedPositions(static_cast<int>(entries.size()),
                             [&](int i, int j) { return compareKeys(keys[i], keys[j]); });
    std::vector<TDatensatz *> sorted;
    sorted.reserve(entries.size());
    for (int i : order)
        sorted.push_back(entries[i]);
    entries.swap(sorted);
}

void FinishOrdering(ListRowModel &left, ListRowModel &right,
                    const std::vector<TDatensatz *> &leftWork,
                    const std::vector<TDatensatz *> &rightWork, TOrderingProgress *progress)
{
    if (progress)
        progress->StepStarted(OrderingStepText(5), left.Count() + right.Count());

    // Obsolete gaps leave (deleting a row frees its entry).
    const auto obsolete = [](const ListRow &row) {
        return row.Data() && row.Data()->Attribute() == daObsolete;
    };
    left.DeleteRowsIf(obsolete);
    right.DeleteRowsIf(obsolete);

    int position = 0;
    writeBack(left, leftWork, progress, position);
    writeBack(right, rightWork, progress, position);

    for (const auto *work : {&leftWork, &rightWork})
        for (TDatensatz *e : *work)
            if (e->Attribute() == daGapNew)
                e->SetAttribute(daGap);

    // Images take their row index; a gap opposite an image takes the image's.
    const TDatensatzList &registry = left.Store().Registry;
    for (int i = 0; i < registry.Count(); ++i) {
        TDatensatz *e = registry.At(i);
        if (e->Attribute() == daUnpaired)
            e->SetAttribute(daUnassigned);
        if (IsGapAttribute(e->Attribute()))
            continue;
        const int row = e->RowIndex();
        setNumber(e, row);
        TDatensatz *partner = e->Partner();
        if (partner && IsGapAttribute(partner->Attribute()))
            setNumber(partner, row);
    }

    left.SortRows(compareByNumber);
    right.SortRows(compareByNumber);
    for (int i = 0; i < left.Count(); ++i) {
        TDatensatz *e = left.EntryAt(i);
        if (!e)
            continue;
        setNumber(e, i);
        if (e->Partner())
            setNumber(e->Partner(), i);
    }
    right.SortRows(compareByNumber);
}
