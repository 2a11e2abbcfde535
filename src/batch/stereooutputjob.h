#pragma once
// The stereo files a batch job writes for each of its pairs (MPO, side by side, above/below,
// anaglyph; see stereooutput.h), brought into the job through the extra-files seam: the
// right-hand entry of every pair lists one produced file per chosen output, so that the
// checks count them (name clashes, existing files, disk space), the dry run plans them,
// and the run makes them once both files of the pair are final and journals them.
#include "batch/extrafiles.h"
#include "batch/stereooutput.h"

#include <memory>

struct TStereoOutputSettings
{
    QList<TStereoOutput> Outputs; // none: the job writes no stereo files
    QString Folder;               // the "Stereo" destination folder
    int Quality = DefaultStereoQuality;
    bool Align = false;
    // Set by the host with the job's own choices: the files are listed with the copy or
    // move step of a job that copies or moves, else with the rename step (a job that does
    // both would list them twice).
    bool JobCopiesOrMoves = false;

    // No outputs, <home>/Stereos/Stereo, quality 95, not aligned.
    static TStereoOutputSettings Defaults();
};

// The provider reads settings when it is asked, so the host may change them until the
// checks and the run.
TExtraFileProvider StereoOutputProvider(std::shared_ptr<const TStereoOutputSettings> settings);

// The base name of a pair's stereo files: the left picture's new name.
QString StereoPairBaseName(const TDatensatz &left);
