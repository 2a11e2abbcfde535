#pragma once
// What the views of stereo cameras' files bring into a batch job: a copy or move writes each
// view as a JPEG file of its own where the entry's file would go (an MPO view byte for byte
// without its multi-picture segment; a side-by-side half cut losslessly where it can be, else
// encoded again), and a move removes an MPO file once both its views are written and it can
// be rebuilt from them and the bytes the journal keeps. A rename in the source folder renames
// the stereo file once, under its pair's new name; a stereo file itself is never turned.
#include "batch/extrafiles.h"

#include <vector>

class TDatensatz;

TExtraFileProvider StereoFileProvider();

// The stereo files whose views the job writes (counted once per file).
int CountStereoFiles(const std::vector<TDatensatz *> &entries);
