#pragma once
// The decisions of one batch job, filled by the wizard from its history of answers and
// handed to the run engine.
#include <QtGlobal>

// Bits of TBatchJobSettings::FolderMask: destination folders to create before the first file.
enum TFolderBit : quint8
{
    fbLeft = 1,
    fbRight = 2,
    fbMono = 4,
};

struct TBatchJobSettings
{
    quint8 FolderMask = 0;               // TFolderBit set; 0 unless the job copies or moves
    bool CompletePartners = false;       // a shared file gets its own copy for every further entry
    bool KeepPartnersIncomplete = false; // only read by the name check
    bool WriteSpmList = false;
    bool RotateSource = false;
    bool RotateDestination = false;
    bool RenameSource = false;
    bool RenameDestination = false;
    bool CopyToDestination = false; // never together with MoveToDestination
    bool MoveToDestination = false;

    bool operator==(const TBatchJobSettings &) const = default;
};
