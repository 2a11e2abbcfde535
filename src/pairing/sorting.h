#pragma once
// The chronological order of image entries and the final phase of every ordering pass,
// which brings both lists back into aligned, numbered row pairs.
#include <vector>

class ListRow;
class ListRowModel;
class TDatensatz;
class TOrderingPass;
class TOrderingProgress;

// Chronological order of two entries (negative: x first). A gap with a partner (attribute
// 4 or 6) stands for its partner; the capture times decide unless they lie within a
// millisecond, then the file names (without folder, ASCII letters compared upper-cased).
// Two gaps that stand for themselves compare equal.
int CompareEntries(const TDatensatz *x, const TDatensatz *y);

// The row sort callback: with byNumber the entries' numbers decide, otherwise
// CompareEntries. Rows without entry sort last.
int CompareRows(const ListRow &a, const ListRow &b, bool byNumber);

// Sorts entries with CompareEntries. Stable, and safe although "within a millisecond" is not
// transitive (times 0.6 ms apart: a = b, b = c, a < c), which a quicksort may not survive.
void SortChronologically(std::vector<TDatensatz *> &entries);

// The final phase of an ordering pass: deletes the obsolete rows, writes the sorted work
// lists back into the rows that held their entries, turns "Gap (New)" into "Gap" and the
// transient "unpaired" into "Unassigned", and sorts both lists so that right row i holds
// the partner of left row i and every number equals its row index. progress may be null.
void FinishOrdering(ListRowModel &left, ListRowModel &right,
                    const std::vector<TDatensatz *> &leftWork,
                    const std::vector<TDatensatz *> &rightWork, TOrderingProgress *progress);
