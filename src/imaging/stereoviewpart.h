#pragma once
// Where one view of a stereo file lies, as an image holder shows it.
#include "imaging/dsorgbild.h"
#include "imaging/stereofile.h"

// The part of file that view (1 or 2) is: its JPEG stream in an MPO, its half of the
// picture in a JPS. file must be a stereo file.
TPicturePart StereoViewPart(const TStereoFile &file, int view);
