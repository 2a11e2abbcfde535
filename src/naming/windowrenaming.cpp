#include "naming/windowrenaming.h"

#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/entrystore.h"
#include "entries/listrows.h"
#include "naming/entryrenamemask.h"

namespace {

bool isImage(const TDatensatz *e)
{
    return e && !IsGapAttribute(e->Attribute());
}

// Images whose texts the text fields may show: unassigned, paired and monoscopic ones.
bool isTextSource(const TDatensatz *e)
{
    return e && (e->Attribute() == daUnassigned || e->Attribute() == daStereoPair ||
                 e->Attribute() == daMono);
}

void takeTexts(TRenameTextFields &fields, const TDatensatz &e)
{
    for (int k = 0; k < 3; ++k)
        fields[size_t(k)].Current = e.GetText(k + 1);
}

void storeTexts(TDatensatz &e, const TRenameTextFields &fields)
{
    for (int k = 0; k < 3; ++k)
        e.SetText(k + 1, fields[size_t(k)].Current);
}

} // namespace

QString NoPreviewText()
{
    return QStringLiteral("No data");
}

TDatensatz *PreviewEntry(const ListRowModel &left, const ListRowModel &right)
{
    if (TDatensatz *l = left.SelectedEntry(); isImage(l))
        return l;
    if (TDatensatz *r = right.SelectedEntry())
        return r;
    const TDatensatzList &all = left.Store().Registry;
    for (int i = 0; i < all.Count(); ++i) {
        if (TDatensatz *e = all.At(i); isImage(e))
            return e;
    }
    return nullptr;
}

QString RenamePreview(const QString &mask, TRenameTextFields fields, const ListRowModel &left,
                      const ListRowModel &right, const MaskContext &context)
{
    const TDatensatz *e = PreviewEntry(left, right);
    if (!e)
        return NoPreviewText();
    takeTexts(fields, *e);
    return EvaluateRenameMask(mask, e, &left, &right, fields, context);
}

const TDatensatz *TextSourceEntry(const ListRowModel *activeList)
{
    const TDatensatz *e = activeList ? activeList->SelectedEntry() : nullptr;
    if (isTextSource(e))
        return e;
    if (e && isTextSource(e->Partner()))
        return e->Partner();
    return nullptr;
}

void FetchEntryTexts(const ListRowModel *activeList, TRenameTextFields &fields)
{
    if (const TDatensatz *e = TextSourceEntry(activeList))
        takeTexts(fields, *e);
}

bool RenameEntry(const QString &mask, TRenameTextFields &fields, TDatensatz *entry,
                 const ListRowModel &left, const ListRowModel &right, const MaskContext &context)
{
    if (!isImage(entry))
        return false;
    takeTexts(fields, *entry);
    const QString name = EvaluateRenameMask(mask, entry, &left, &right, fields, context);
    storeTexts(*entry, fields);
    entry->RenameTo(name);
    if (entry->Attribute() == daStereoPair) {
        if (TDatensatz *partner = entry->Partner()) {
            storeTexts(*partner, fields);
            partner->RenameTo(name);
        }
    }
    return true;
}

int RenameSelected(const QString &mask, const TRenameTextFields &fields, ListRowModel &left,
                   ListRowModel &right, const MaskContext &context)
{
    // The rows' texts change many times over; each list tells its views once at the end.
    ListUpdateGuard leftUpdate(&left);
    ListUpdateGuard rightUpdate(&right);
    TRenameTextFields work = fields;
    int evaluations = 0;
    for (ListRowModel *list : {&left, &right}) {
        for (int row = list->FirstSelected(); row >= 0; row = list->NextSelected(row)) {
            TDatensatz *e = list->EntryAt(row);
            if (RenameEntry(mask, work, e, left, right, context))
                ++evaluations;
            // The partner of the entry just renamed (it may have changed its partner's
            // name already, which this evaluation then repeats).
            if (e && RenameEntry(mask, work, e->Partner(), left, right, context))
                ++evaluations;
        }
    }
    return evaluations;
}
