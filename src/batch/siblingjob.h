#pragma once
// What a shot's siblings bring into a batch job: every other file of the entry's shot (a RAW
// beside its JPEG, sidecars) is renamed, copied or moved as the entry's own file is, to the
// same new base name with its own extension ("NAME.CR2.xmp" follows "NAME.CR2"). A sibling
// that is missing or fails is the job's failure; the others go on.
#include "batch/extrafiles.h"

TExtraFileProvider SiblingFileProvider();
