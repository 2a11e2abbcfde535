#pragma once
// The drive table of the disk space checks: one row per volume with its free bytes when
// the row was made and the sum of the bytes the job adds to it (negative for space a move
// frees). A "drive" is a mounted volume, named by its mount point.
//
// Targets of a job usually do not exist yet, so a path is placed on the volume of its
// nearest existing folder. The exception is an unplugged disk, whose files would land on
// the system disk under its mount point: the volume counts as "not available" and blocks
// the job when nothing is mounted at a mount point (a folder where disks are mounted,
// TMountPlace, or an entry of /etc/fstab) and
//  - that mount point is the nearest existing folder and is empty, or
//  - the mount point is missing where the desktop mounts removable disks and removes the
//    folder again when the disk goes (/media/USER/DISK, /run/media/USER/DISK).
// A new folder below an ordinary folder there (/mnt/photos/new with /mnt/photos holding
// files) is an ordinary folder on the volume it lies on.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// A folder whose sub-folders at a given depth are mount points: /media/USER/DISK (depth 2),
// /run/media/USER/DISK (depth 2), /mnt/DISK (depth 1).
struct TMountPlace
{
    QString Location;
    int Depth = 1;
    // The desktop creates the mount point when it mounts a disk and removes it afterwards.
    bool FolderGoesWithTheDisk = false;
};

// Where the drive table learns about volumes; tests inject a mount table and free figures.
class TVolumeSource
{
public:
    virtual ~TVolumeSource() = default;
    // Mount points of the volumes mounted now (absolute, "/" included).
    virtual QStringList MountPoints() const = 0;
    // Mount points listed in the file system table, mounted or not ("/" excluded).
    virtual QStringList ConfiguredMountPoints() const = 0;
    // Free bytes for an unprivileged user on the volume mounted at mountPoint; -1 unknown.
    virtual qint64 FreeBytes(const QString &mountPoint) const = 0;
    // The path with symbolic links resolved when it exists, else empty.
    virtual QString ExistingCanonicalPath(const QString &path) const;
    // Where disks are mounted by place (TMountPlace); the system's by default.
    virtual QList<TMountPlace> MountPlaces() const;
};

// The mount places of the running system.
QList<TMountPlace> SystemMountPlaces();

// The running system: /proc/self/mounts, /etc/fstab and statvfs through QStorageInfo. The
// tables are read on every question, so a disk plugged in while a check page is open counts
// at the next check.
class TSystemVolumes : public TVolumeSource
{
public:
    QStringList MountPoints() const override;
    QStringList ConfiguredMountPoints() const override;
    qint64 FreeBytes(const QString &mountPoint) const override;
};

// The program-wide source of the system's volumes.
TVolumeSource &SystemVolumes();

// The volume a path lives on or would live on once its folders are created.
struct TVolumeOfPath
{
    QString Name;           // mount point; for an unavailable volume the unmounted location
    bool Available = false; // false: the volume is not mounted (or the path is not absolute)
};
TVolumeOfPath VolumeOfPath(const QString &path, const TVolumeSource &source);

// Free space below which a drive row is flagged (5 MiB).
inline constexpr qint64 LowSpaceLimit = 5242880;

struct TLwSizeDs
{
    QString Name;
    qint64 Free = -1;    // -1: the volume's free space cannot be determined
    qint64 Required = 0; // sum of the byte counts added for this drive; may be negative
};

class TProtokoll;

class TLaufwerke
{
public:
    explicit TLaufwerke(const TVolumeSource &source) : m_source(&source) {}

    void SetSource(const TVolumeSource &source) { m_source = &source; }
    // Removes every row; Insufficient := false.
    void Clear();
    // Adds bytes to the row of path's volume (made on first use with the volume's free
    // bytes); then, unless already set, Insufficient := nothing left on that volume.
    void AddRequirement(const QString &path, qint64 bytes);
    // The rows' texts (markup) in table order, each rowFormat filled with drive name (as
    // literal text), additional, remaining and message; with log, one coloured log line per
    // row as well.
    QString Report(const QString &rowFormat, TProtokoll *log = nullptr) const;

    bool Insufficient() const { return m_insufficient; }
    // Rows sorted by drive name.
    const std::vector<TLwSizeDs> &Rows() const { return m_rows; }

private:
    TLwSizeDs &rowFor(const QString &path);

    const TVolumeSource *m_source;
    std::vector<TLwSizeDs> m_rows;
    // Folder of a path -> drive name, so that a job of thousands of files in a few folders
    // asks the mount table once per folder.
    QHash<QString, QString> m_folderDrive;
    bool m_insufficient = false;
};
