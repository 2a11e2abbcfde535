#pragma once
// The checks before a batch job runs: destination folders that do not exist, file names
// that the job would produce twice, already exist or cannot be created, and disk space.
// Each takes the job's entries (DatensatzList order) and writes its findings into the job
// log; the wizard shows a check's page only when the check finds a problem. The checks
// use the same targets as the run.
#include "batch/extrafiles.h"
#include "batch/laufwerke.h"

#include <QString>

#include <functional>
#include <vector>

class TDatensatz;
class TProtokoll;
struct TNamingSettings;

// ---- Missing destination folders ----

struct TFolderCheck
{
    // Destination folders found missing by the last Run: TFolderBit set.
    quint8 MissingFolders = 0;
    // One markup line per missing folder, for the page title.
    QString MissingText;

    // Looks at the folders of the kinds the job's entries need (images with Batch set: a
    // stereo pair needs left and right, any other image the monoscopic folder).
    void Run(const std::vector<TDatensatz *> &entries, const TNamingSettings &naming);
    QString Title() const;
};
// The page's description for "No, don't create folders" (false) or "Yes" (true).
QString FolderCheckDescription(bool createChosen);

// ---- File names ----

struct TNameCheckOptions
{
    bool KeepPartnersIncomplete = false;
    bool MoveToDestination = false;
    bool CopyToDestination = false;
    bool RenameSource = false;
    bool RenameDestination = false;
    // The SPM list the job writes, or empty when it writes none (WriteSpmList false).
    bool WriteSpmList = false;
    QString SpmListFile;
    // The job log written after the run (duomira-cli run --log), or empty. Like the SPM
    // list it is no source or target of the job; unlike the list it replaces nothing.
    QString LogFile;
    // Where a missing folder of the SPM list would be created (null: the running system).
    const TVolumeSource *Volumes = nullptr;
    // The type of the file system a folder is on ("ext4", "vfat", "fuseblk"...); null: the
    // running system's. FAT, exFAT and NTFS refuse some characters in names.
    std::function<QString(const QString &folder)> FileSystemType;
    // The files the entries bring into the job besides their own: their targets are
    // checked like the entries' own.
    TExtraFileProvider ExtraFiles;
};

struct TNameCheckResult
{
    int Duplicates = 0; // targets (letter case ignored) claimed by two entries
    int Overwrites = 0; // targets where a file exists that is not the entry's own file
    int Unusable = 0;   // targets that cannot be created as intended
    // An overwritten target is the current file of another image of the job.
    bool JobFileOverwritten = false;
    // Stereo pairs whose two pictures get different new base names (re-paired after the
    // names were given): a warning, not a conflict.
    int PartnersNamedApart = 0;
    QString Title;
    QString Description;

    int ConflictCount() const { return Duplicates + Overwrites + Unusable; }
};

TNameCheckResult CheckNames(const std::vector<TDatensatz *> &entries,
                            const TNameCheckOptions &options, TProtokoll &log);

// Logs the stereo pairs of the job whose left and right pictures get different new base
// names (a warning the user may pass) and returns their number.
int ReportPartnersNamedApart(const std::vector<TDatensatz *> &entries, TProtokoll &log);

// Why a target (folder and new file name) cannot be created as intended, or empty: the
// folder is not a full path, the name holds a folder separator, has nothing before its
// extension or is longer than the 255 bytes a file system allows.
QString UnusableTargetReason(const QString &folder, const QString &fileName);
// Why a name cannot be created on a file system of type fileSystemType, or empty: FAT,
// exFAT and NTFS (also through FUSE) refuse " < > : | ? * \ and control characters.
QString ForbiddenNameReason(const QString &fileName, const QString &fileSystemType);
// The nearest existing path at or above path (path itself when it exists).
QString NearestExistingPath(const QString &path);

// ---- Disk space ----

// What the space check counts.
struct TSpaceCheckJob
{
    // Every further entry of a shared file adds one copy in the source folder.
    bool CompletePartners = false;
    // The files leave their source volumes and arrive on the destination volumes; otherwise
    // copies arrive.
    bool Move = false;
    // The files stay in their folders (renamed at most): only the files the entries bring
    // besides their own count (the stereo files written for the pairs, say).
    bool InPlace = false;
    // The files the entries bring besides their own add what they bring.
    TExtraFileProvider ExtraFiles = {};
};

// Fills table with the space the job needs and logs the drive table.
void CheckSpace(const std::vector<TDatensatz *> &entries, const TSpaceCheckJob &job,
                TLaufwerke &table, TProtokoll &log);
QString SpaceCheckTitle(const TLaufwerke &table);
QString SpaceCheckDescription();

// ---- Files used by several pairs ----

// Mode 1: a job that neither copies nor moves; mode 2: a copy job (the copies into the
// destination count too). Clears table, adds one copy per further entry of a shared file
// and returns the number of shared files.
int ComputeSharedFiles(const std::vector<TDatensatz *> &entries, int mode, TLaufwerke &table);

// Images (attribute below 4) with a rotation, excluded ones included.
int CountRotations(const std::vector<TDatensatz *> &entries);
// Of those, the images whose file is not a JPEG (HEIC, RAW, PNG, TIFF...): lossless
// rotation leaves them as they are.
int CountUnrotatable(const std::vector<TDatensatz *> &entries);
