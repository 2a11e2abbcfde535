#pragma once
// The main window's side of the mask editor, without any widget: the entry whose new name
// the preview shows, the entry whose texts "From selected entry..." fetches, and
// "Renaming", which applies the mask to the selected rows of both lists.
#include "naming/renamemask.h"

class ListRowModel;
class TDatensatz;

// The preview text when there is no entry to show a name for.
QString NoPreviewText();

// The entry the preview shows: the selected entry of the left list if it is an image,
// otherwise the selected entry of the right list (whatever it is); without either, the
// first image of DatensatzList; null when there is none.
TDatensatz *PreviewEntry(const ListRowModel &left, const ListRowModel &right);

// The preview of mask: evaluated for PreviewEntry with the entry's texts as the text
// fields' current texts (the changes the evaluation makes to them are dropped), or
// NoPreviewText().
QString RenamePreview(const QString &mask, TRenameTextFields fields, const ListRowModel &left,
                      const ListRowModel &right, const MaskContext &context = {});

// The entry whose texts "From selected entry..." shows: the selected entry of activeList
// if it is an image with attribute 0, 2 or 3, else its partner if that is one; or null.
const TDatensatz *TextSourceEntry(const ListRowModel *activeList);

// Puts the texts of TextSourceEntry(activeList) into the fields' current texts; without
// such an entry they stay as they are.
void FetchEntryTexts(const ListRowModel *activeList, TRenameTextFields &fields);

// "Renaming": every selected row of the left list, then of the right list, in row order:
// the row's entry and then its partner get the new base name computed from mask (images
// only; gaps keep theirs). Each entry's texts are the fields' current texts for its own
// evaluation, and what the evaluation makes of them is stored back into the entry. A
// stereo pair member's partner gets the same texts and base name. Both lists signal their
// changed rows once, at the end. Returns the number of evaluations.
int RenameSelected(const QString &mask, const TRenameTextFields &fields, ListRowModel &left,
                   ListRowModel &right, const MaskContext &context = {});

// Renames one entry as "Renaming" does (nothing for null or a gap). Returns true when the
// mask was evaluated.
bool RenameEntry(const QString &mask, TRenameTextFields &fields, TDatensatz *entry,
                 const ListRowModel &left, const ListRowModel &right, const MaskContext &context);
