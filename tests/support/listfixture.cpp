#include "support/listfixture.h"

#include "imaging/dsorgbild.h"
#include "support/testdata.h"

#include <QDir>

#include <map>
#include <set>
#include <sstream>

ListFixture::ListFixture()
{
    ListRowModel::LinkLists(left, right);
}

ListFixture::~ListFixture()
{
    left.Clear();
    right.Clear();
    // Entries made without rows by a test are freed here too.
    store.Registry.FreeAll();
    EXPECT_EQ(store.Registry.Count(), 0);
    // Every holder goes with its last entry.
    EXPECT_EQ(store.Holders.Count(), 0);
}

TDatensatz *ListFixture::addSingle(ListRowModel &list, const QString &path)
{
    TDatensatz *image = AppendEntry(list, list.Count(), path, TDsSide(list.Side()));
    TDatensatz *gap = CreateGap(*list.OtherList());
    gap->SetAttribute(daGap);
    gap->SetNumber(image->Number());
    LinkBothWays(image, gap);
    return image;
}

std::pair<TDatensatz *, TDatensatz *> ListFixture::addPair(const QString &leftPath,
                                                           const QString &rightPath)
{
    TDatensatz *l = AppendEntry(left, left.Count(), leftPath, dsLeft);
    TDatensatz *r = AppendEntry(right, right.Count(), rightPath, dsRight);
    LinkBothWays(l, r);
    l->SetAttribute(daStereoPair);
    r->SetAttribute(daStereoPair);
    return {l, r};
}

void ListFixture::select(ListRowModel &list, std::initializer_list<int> rows)
{
    list.ClearSelection();
    for (int r : rows)
        list.SetSelected(r, true);
}

void ListFixture::realign()
{
    auto obsolete = [](const ListRow &row) {
        return row.Data() && row.Data()->Attribute() == daObsolete;
    };
    left.DeleteRowsIf(obsolete);
    right.DeleteRowsIf(obsolete);
    for (ListRowModel *list : {&left, &right}) {
        for (int i = 0; i < list->Count(); ++i) {
            TDatensatz *e = list->EntryAt(i);
            if (e && e->Attribute() == daGapNew)
                e->SetAttribute(daGap);
        }
    }
    // Right row order follows the left row of each partner.
    right.SortRows([](const ListRow &a, const ListRow &b) {
        auto key = [](const ListRow &row) {
            const TDatensatz *p = row.Data() ? row.Data()->Partner() : nullptr;
            return p ? p->RowIndex() : 1 << 30;
        };
        return key(a) - key(b);
    });
    for (ListRowModel *list : {&left, &right}) {
        for (int i = 0; i < list->Count(); ++i) {
            if (TDatensatz *e = list->EntryAt(i))
                e->SetNumber(i);
        }
    }
}

std::string ListFixture::invariantFault(bool aligned) const
{
    std::ostringstream out;
    std::set<const TDatensatz *> inRows;
    for (const ListRowModel *list : {&left, &right}) {
        for (int i = 0; i < list->Count(); ++i) {
            const ListRow *row = list->Row(i);
            if (row->Index() != i)
                return (out << "row " << i << " of list " << list->Side() << " has index "
                            << row->Index(),
                        out.str());
            const TDatensatz *e = row->Data();
            if (!e)
                return (out << "row " << i << " of list " << list->Side() << " has no entry",
                        out.str());
            if (!store.Registry.Contains(e))
                return (out << "row " << i << " of list " << list->Side() << " shows a freed entry",
                        out.str());
            if (e->Item() != row)
                return (out << "entry of row " << i << " of list " << list->Side()
                            << " does not know its row",
                        out.str());
            if (!inRows.insert(e).second)
                return (out << "an entry is in two rows", out.str());
        }
    }
    if (static_cast<int>(inRows.size()) != store.Registry.Count())
        return (out << "DatensatzList holds " << store.Registry.Count() << " entries, rows "
                    << inRows.size(),
                out.str());

    std::map<const TDsOrgBild *, int> uses;
    for (int i = 0; i < store.Registry.Count(); ++i) {
        const TDatensatz *e = store.Registry.At(i);
        if (store.Registry.IndexOf(e) != i)
            return (out << "DatensatzList position " << i << " does not match", out.str());
        if (!inRows.count(e))
            return (out << "registered entry " << i << " is in no row", out.str());
        const TDatensatz *p = e->Partner();
        if (p) {
            if (!store.Registry.Contains(p))
                return (out << "entry " << i << " points to a freed partner", out.str());
            if (p->Partner() != e)
                return (out << "partner link of entry " << i << " is one-sided", out.str());
        }
        ++uses[e->OrgBild()];
        if (e->SourcePath() != e->OrgBild()->GetPath(e->PathIndex()) || e->PathIndex() < 0 ||
            e->PathIndex() >= e->OrgBild()->Paths.size())
            return (out << "entry " << i << " has path index " << e->PathIndex(), out.str());
        if (IsGapAttribute(e->Attribute()) != e->SourcePath().isEmpty())
            return (out << "entry " << i << " (attribute " << int(e->Attribute())
                        << ") has source path '" << e->SourcePath().toStdString() << "'",
                    out.str());
        if (aligned) {
            if (!p)
                return (out << "entry " << i << " has no partner", out.str());
            if (p->List() == e->List() || p->RowIndex() != e->RowIndex())
                return (out << "entry " << i << " and its partner are not a row pair", out.str());
            if (e->Attribute() == daObsolete || e->Attribute() == daGapNew ||
                e->Attribute() == daUnpaired)
                return (out << "entry " << i << " has transient attribute " << int(e->Attribute()),
                        out.str());
            if (IsGapAttribute(e->Attribute()) && IsGapAttribute(p->Attribute()))
                return (out << "row " << e->RowIndex() << " holds two gaps", out.str());
        }
    }
    for (int h = 0; h < store.Holders.Count(); ++h) {
        const TDsOrgBild *holder = store.Holders.At(h);
        const auto it = uses.find(holder);
        const int used = it == uses.end() ? 0 : it->second;
        if (holder->RefCount != used)
            return (out << "holder '" << holder->FileName.toStdString() << "' counts "
                        << holder->RefCount << " references, " << used << " entries use it",
                    out.str());
        uses.erase(holder);
    }
    if (!uses.empty())
        return "an entry uses a holder that is not in HolderList";
    if (aligned && left.Count() != right.Count())
        return (out << "lists have " << left.Count() << " and " << right.Count() << " rows",
                out.str());
    return {};
}

QStringList fixturePhotos()
{
    QStringList paths;
    const QDir dir(testDataPath(QStringLiteral("photos/jpg")));
    for (const QString &name : dir.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}
