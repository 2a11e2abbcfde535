#pragma once
// Adding a shot's files as one entry: the main picture through the idle processor, its
// siblings recorded on the new entry.
#include "entries/siblings.h"

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
