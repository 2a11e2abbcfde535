#pragma once
// The rename mask evaluated for an image entry of the two lists: builds the read-only view
// of the entry and its partner that the mask evaluation works on.
#include "naming/renamemask.h"

class ListRowModel;
class TDatensatz;

// The view of entry: its source path, counter (row index plus the program's start number),
// side (2 when its row is in leftList, 3 in rightList), attribute and metadata. The
// partner is not set.
MaskEntry MaskEntryOf(const TDatensatz &entry, const ListRowModel *leftList,
                      const ListRowModel *rightList);

// The new base name of entry, as EvaluateRenameMask of a view of entry and its partner.
// The text field records' Current texts are the caller's to fill and to keep. A null entry
// gives an empty name.
QString EvaluateRenameMask(const QString &mask, const TDatensatz *entry,
                           const ListRowModel *leftList, const ListRowModel *rightList,
                           TRenameTextFields &textFields, const MaskContext &context);
QString EvaluateRenameMask(const QString &mask, const TDatensatz *entry,
                           const ListRowModel *leftList, const ListRowModel *rightList,
                           TRenameTextFields &textFields);
