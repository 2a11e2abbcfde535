#pragma once
// The session state a batch job works on, handed to the wizard's controller and its window:
// the entries (registry, holders, naming settings), the job log and the SPM list path the
// wizard edits. The session owns all three; the context only refers to them. ExtraFiles
// lists the files entries bring into the job besides their own (none when empty);
// StereoOutputs are the stereo files the job writes for its pairs, which the wizard's page
// edits and the ExtraFiles provider reads (none: the wizard has no such page).
#include "batch/extrafiles.h"

#include <QString>

class TProtokoll;
struct TEntryStore;
struct TStereoOutputSettings;

struct TBatchContext
{
    TEntryStore &Entries;
    TProtokoll &Log;
    QString &SpmListFile;
    TExtraFileProvider ExtraFiles = {};
    TStereoOutputSettings *StereoOutputs = nullptr;
};
