#pragma once
// Adding a shot's files as one entry: the main picture through the idle processor, its
// siblings recorded on the new entry.
#include "entries/siblings.h"

#include <QHash>

class ListRowModel;
class TDatensatz;
class TIdleProcessor;
struct NewEntryDefaults;

// Adds shot.main (TIdleProcessor::AddFile) and gives the entry the shot's siblings. When the
// main picture is not added, or turns out to be a stereo file (whose views are entries of
// their own), the shot's other pictures are added each as an entry of its own. Returns the
// first entry added, or null.
TDatensatz *AddShot(TIdleProcessor &loading, const TShot &shot, ListRowModel &target,
                    const NewEntryDefaults &defaults);

// The entries of list that pictures of a later drop can join, by the path of their main
// picture without its extension (gaps and a stereo file's views are left out).
QHash<QString, TDatensatz *> LoadedShots(const ListRowModel &list);

// Joins shot to the entry of loaded (LoadedShots) with the same folder and base name: the
// shot's pictures and sidecars become that entry's siblings, so that a RAW dropped after its
// JPEG (or the other way round) is one shot as when both came in one drop; the entry keeps
// its main picture. Returns that entry, or null when no entry has the shot's base name, the
// shot is a stereo file, or it names the entry's own file again.
TDatensatz *JoinLoadedShot(const QHash<QString, TDatensatz *> &loaded, const TShot &shot);
