#include "ordering_fixture.h"

#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/namingsettings.h"
#include "imaging/dsorgbild.h"

#include <set>
#include <sstream>

double at(int hour, int minute, double second)
{
    return 45413.0 + (hour * 3600 + minute * 60 + second) / 86400.0;
}

OrderingFixture::OrderingFixture()
{
    ListRowModel::LinkLists(left, right);
}

OrderingFixture::~OrderingFixture()
{
    left.Clear();
    right.Clear();
}

TDatensatz *OrderingFixture::image(ListRowModel &list, const QString &name, double time,
                                   TDsAttribute attribute)
{
    const QString path = name.contains(u'/') ? name : QStringLiteral("/mem/") + name;
    TDatensatz *e = AppendEntry(list, list.Count(), path, static_cast<TDsSide>(list.Side()));
    e->OrgBild()->JpegData.CaptureTime = time;
    e->OrgBild()->Loaded = true;
    e->SetAttribute(attribute);
    if (attribute == daUnassigned || attribute == daMono)
        e->SetSide(dsMono);
    return e;
}

TDatensatz *OrderingFixture::gap(ListRowModel &list, double time, TDsAttribute attribute)
{
    TDatensatz *g = CreateGap(list);
    g->SetGapTime(time);
    g->SetAttribute(attribute);
    return g;
}

TDatensatz *OrderingFixture::single(ListRowModel &list, const QString &name, double time,
                                    TDsAttribute attribute)
{
    TDatensatz *e = image(list, name, time, attribute);
    LinkBothWays(e, gap(*list.OtherList(), time));
    return e;
}

std::pair<TDatensatz *, TDatensatz *> OrderingFixture::stereo(const QString &leftName,
                                                              double leftTime,
                                                              const QString &rightName,
                                                              double rightTime)
{
    TDatensatz *l = image(left, leftName, leftTime, daStereoPair);
    TDatensatz *r = image(right, rightName, rightTime, daStereoPair);
    LinkBothWays(l, r);
    return {l, r};
}

void OrderingFixture::selectRow(ListRowModel &list, int row)
{
    list.ClearSelection();
    if (row >= 0)
        list.SetSelected(row, true);
}

std::vector<std::string> OrderingFixture::names(const ListRowModel &list) const
{
    std::vector<std::string> result;
    for (int r = 0; r < list.Count(); ++r) {
        const TDatensatz *e = list.EntryAt(r);
        result.push_back(!e ? "?"
                         : IsGapAttribute(e->Attribute())
                             ? "-"
                             : PathFileName(e->SourcePath()).toStdString());
    }
    return result;
}

std::string OrderingFixture::alignmentFault() const
{
    std::ostringstream out;
    if (left.Count() != right.Count())
        out << "row counts " << left.Count() << " and " << right.Count() << "; ";
    std::set<const TDatensatz *> inRows;
    for (const ListRowModel *list : {&left, &right}) {
        for (int r = 0; r < list->Count(); ++r) {
            const TDatensatz *e = list->EntryAt(r);
            if (!e) {
                out << "list " << list->Side() << " row " << r << " without entry; ";
                continue;
            }
            inRows.insert(e);
            const TDatensatz *other = list->OtherList()->EntryAt(r);
            if (e->Partner() != other || !other || other->Partner() != e)
                out << "list " << list->Side() << " row " << r << ": partner not in the same row; ";
            if (e->Number() != r)
                out << "list " << list->Side() << " row " << r << ": number " << e->Number()
                    << "; ";
            if (list->Row(r)->Text(lcNumber) != QChar(0xA0) + QString::asprintf("%4d", r))
                out << "list " << list->Side() << " row " << r << ": caption; ";
            const TDsAttribute a = e->Attribute();
            if (a == daUnpaired || a == daGapNew || a == daObsolete)
                out << "list " << list->Side() << " row " << r << ": attribute " << int(a) << "; ";
            if (other && !IsGapAttribute(a) &&
                (a == daStereoPair) != !IsGapAttribute(other->Attribute()))
                out << "list " << list->Side() << " row " << r << ": attribute " << int(a)
                    << " opposite attribute " << int(other->Attribute()) << "; ";
            if (other && IsGapAttribute(a) && IsGapAttribute(other->Attribute()))
                out << "row " << r << ": two gaps; ";
        }
    }
    if (static_cast<int>(inRows.size()) != store.Registry.Count())
        out << "registry holds " << store.Registry.Count() << " entries, rows " << inRows.size()
            << "; ";
    return out.str();
}
