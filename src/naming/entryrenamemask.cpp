#include "naming/entryrenamemask.h"

#include "entries/datensatz.h"
#include "entries/entrystore.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "naming/naminglog.h"

MaskEntry MaskEntryOf(const TDatensatz &entry, const ListRowModel *leftList,
                      const ListRowModel *rightList)
{
    MaskEntry view;
    view.SourcePath = entry.SourcePath();
    // Row index plus start number, counted in 64 bits so that a start number near the top
    // of its range still gives the true counter.
    view.CounterValue = qint64(entry.RowIndex()) + entry.Store().Naming.StartNumber;
    const ListRowModel *list = entry.List();
    if (list && list == leftList)
        view.ListSide = MaskListLeft;
    else if (list && list == rightList)
        view.ListSide = MaskListRight;
    view.Attribute = entry.Attribute();
    view.Metadata = entry.Metadata();
    return view;
}

QString EvaluateRenameMask(const QString &mask, const TDatensatz *entry,
                           const ListRowModel *leftList, const ListRowModel *rightList,
                           TRenameTextFields &textFields, const MaskContext &context)
{
    if (!entry) {
        qCWarning(lcNaming) << "EvaluateRenameMask without entry";
        return {};
    }
    MaskEntry view = MaskEntryOf(*entry, leftList, rightList);
    MaskEntry partner;
    if (const TDatensatz *p = entry->Partner()) {
        partner = MaskEntryOf(*p, leftList, rightList);
        view.Partner = &partner;
    }
    return EvaluateRenameMask(mask, view, textFields, context);
}

QString EvaluateRenameMask(const QString &mask, const TDatensatz *entry,
                           const ListRowModel *leftList, const ListRowModel *rightList,
                           TRenameTextFields &textFields)
{
    return EvaluateRenameMask(mask, entry, leftList, rightList, textFields, MaskContext{});
}
