#pragma once
// Entries on real files in a temporary folder for the wizard and check tests: two linked
// lists, fixture photos copied in, destination folders below the temporary folder, and a
// mount table in which that folder is a volume with a chosen free space, with the places
// where disks are mounted (media/USER/DISK, mnt/DISK) below it.
#include "batch/batchcontext.h"
#include "batch/laufwerke.h"
#include "batch/protokoll.h"
#include "batch/spmlistsetting.h"
#include "batch/stereooutputjob.h"
#include "entries/datensatz.h"
#include "entries/entrystore.h"
#include "entries/listrows.h"

#include <QHash>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class FakeVolumes : public TVolumeSource
{
public:
    QStringList mounts{QStringLiteral("/")};
    QStringList fstab;
    QHash<QString, qint64> free; // mount point -> free bytes; missing: 1 TiB
    QList<TMountPlace> places;   // the fixture puts them below its temporary folder

    QStringList MountPoints() const override { return mounts; }
    QStringList ConfiguredMountPoints() const override { return fstab; }
    qint64 FreeBytes(const QString &mountPoint) const override
    {
        return free.value(mountPoint, qint64(1) << 40);
    }
    QList<TMountPlace> MountPlaces() const override { return places; }
};

class WizardFixture : public ::testing::Test
{
public:
    WizardFixture();
    ~WizardFixture() override;

    // The temporary folder, a volume of its own in `volumes`.
    QString root() const { return m_root; }
    // A copy of a fixture photo as <root>/src/<name>; with a rotation, and metadata read.
    QString photo(const QString &name, int fixture = 0);
    // A stereo pair (new base name newName for both) and a monoscopic image.
    std::pair<TDatensatz *, TDatensatz *> addPair(const QString &leftFile, const QString &rightFile,
                                                  const QString &newName);
    TDatensatz *addMono(const QString &file, const QString &newName);
    // Destination folders <root>/dest_L, _R, _M (created when made is set).
    void setDestinations(bool made);
    std::vector<TDatensatz *> entries() const;
    // Lines of the log joined by "\n".
    QString logText() const { return log.PlainText(); }

    TEntryStore store; // a fresh session's entries, holders and naming settings
    ListRowModel left{store, dsLeft};
    ListRowModel right{store, dsRight};
    TProtokoll log;
    QString spmListFile = DefaultSpmListFile();
    // The stereo files the job writes (none at first; their folder is <root>/stereo).
    std::shared_ptr<TStereoOutputSettings> stereo =
        std::make_shared<TStereoOutputSettings>(TStereoOutputSettings::Defaults());
    FakeVolumes volumes;
    // What the wizard works on: the fixture's entries, log, SPM list path and stereo files.
    TBatchContext context()
    {
        return {store, log, spmListFile, StereoOutputProvider(stereo), stereo.get()};
    }

private:
    QTemporaryDir m_dir;
    QString m_root;
};
