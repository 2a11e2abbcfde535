// The pre-run checks on real files: names the job would produce twice, overwrite or could
// not create, the drive table, and the volume a target lands on.
#include "wizardfixture.h"

#include "batch/prerunchecks.h"
#include "batch/spmlistsetting.h"
#include "entries/listoperations.h"
#include "entries/namingsettings.h"
#include "ui/markup.h"

#include <QDir>
#include <QFile>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Check = WizardFixture;

TNameCheckOptions copyRenamed()
{
    TNameCheckOptions o;
    o.CopyToDestination = true;
    o.RenameDestination = true;
    return o;
}

TNameCheckOptions renameOnly()
{
    TNameCheckOptions o;
    o.RenameSource = true;
    return o;
}

void writeFile(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a photo");
}

struct NameCase
{
    const char *name;
    std::function<TNameCheckOptions(WizardFixture &)> setup;
    int duplicates, overwrites, unusable;
    const char *logLine;     // a line of the log that must be there
    const char *description; // part of the page description ("" for any)
};

} // namespace

TEST_F(Check, NameConflictsAreFoundAsTheRunWouldMeetThem)
{
    const NameCase cases[] = {
        {"NamesDifferingOnlyInCaseAreOneName",
         [](WizardFixture &f) {
             f.addPair("a1_L.jpg", "a1_R.jpg", "A");
             f.addPair("b1_L.jpg", "b1_R.jpg", "a");
             return copyRenamed();
         },
         2, 0, 0, " N° 2 (Left) An N° 1 (Left)  ", "Suffix"},
        {"OneFolderAndOneSuffixForBothSidesMakesEveryPairADuplicate",
         [](WizardFixture &f) {
             TNamingSettings &s = f.store.Naming;
             s.FolderRight = s.FolderLeft;
             s.SuffixRight = s.SuffixLeft;
             return copyRenamed();
         },
         1, 0, 0, "1 duplicte filenames diagnosed", ""},
        {"RenamingToTheCurrentNameOverwritesNothing",
         [](WizardFixture &f) {
             f.addPair("X_L.jpg", "X_R.jpg", "X");
             return renameOnly();
         },
         0, 0, 0, "No files will be overwritten.", ""},
        {"ANewNameThatIsAnotherImagesFileIsNamedAsSuch",
         [](WizardFixture &f) {
             for (TDatensatz *e : f.entries())
                 e->SetNewName("P2");
             f.addPair("P2_L.jpg", "P2_R.jpg", "P3");
             return renameOnly();
         },
         0, 2, 0, "of this job", "does not reuse current names"},
        {"AForeignFileInTheDestinationIsAnOverwrite",
         [](WizardFixture &f) {
             writeFile(f.root() + "/dest_L/P1_L.jpg");
             return copyRenamed();
         },
         0, 1, 0, "File gets overwritten by image. 0 (Left):  ", "Remove files"},
        {"ASlashInASuffixIsRejected",
         [](WizardFixture &f) {
             f.store.Naming.SuffixLeft = "/../x";
             return copyRenamed();
         },
         0, 0, 1, "the name contains \"/\"", "255 bytes"},
        {"AnEmptyNameIsRejected",
         [](WizardFixture &f) {
             f.store.Naming.SuffixMono.clear();
             f.addMono("m.jpg", "");
             return copyRenamed();
         },
         0, 0, 1, "the name is empty", ""},
        {"ARelativeDestinationIsRejected",
         [](WizardFixture &f) {
             f.store.Naming.FolderRight = "Test_R";
             return copyRenamed();
         },
         0, 0, 1, "the folder is not a full path", ""},
        {"ANameOverTheFileSystemLimitIsRejected",
         [](WizardFixture &f) {
             f.addMono("m.jpg", QString(252, u'n'));
             return copyRenamed();
         },
         0, 0, 1, "longer than 255 bytes", ""},
        {"TheSpmListMayNotBeAJobTarget",
         [](WizardFixture &f) {
             f.spmListFile = f.root() + "/dest_R/p1_r.JPG";
             TNameCheckOptions o = copyRenamed();
             o.WriteSpmList = true;
             o.SpmListFile = f.spmListFile;
             return o;
         },
         0, 0, 1, "SPM list file cannot be written", ""},
        {"TheSpmListMayNotBeAJobSource",
         [](WizardFixture &f) {
             TNameCheckOptions o = copyRenamed();
             o.WriteSpmList = true;
             o.SpmListFile = f.root() + "/src/P1_R.jpg";
             return o;
         },
         0, 0, 1, "it is image N° 0 (Right) of this job", ""},
        {"TheSpmListMayNotGoBelowAnUnpluggedDisk",
         [](WizardFixture &f) {
             TNameCheckOptions o = renameOnly();
             o.WriteSpmList = true;
             o.SpmListFile = f.root() + "/media/user/unplugged/SPM_List.TXT";
             o.Volumes = &f.volumes;
             return o;
         },
         0, 0, 1, "storage device that is not available", ""},
        {"ALinkToTheSourceInTheDestinationIsAnOverwrite",
         [](WizardFixture &f) {
             QFile::link(f.root() + "/src/P1_L.jpg", f.root() + "/dest_L/P1_L.jpg");
             TNameCheckOptions o;
             o.CopyToDestination = true;
             return o;
         },
         0, 1, 0, "File gets overwritten by image. 0 (Left):  ", ""},
        {"TheJobLogMayNotBeAJobTarget",
         [](WizardFixture &f) {
             TNameCheckOptions o = copyRenamed();
             o.LogFile = f.root() + "/dest_L/P1_L.jpg";
             return o;
         },
         0, 0, 1, "Job log file cannot be written", ""},
        {"TheJobLogReplacesNothing",
         [](WizardFixture &f) {
             writeFile(f.root() + "/dest_L/log.rtf");
             TNameCheckOptions o = copyRenamed();
             o.LogFile = f.root() + "/dest_L/log.rtf";
             return o;
         },
         0, 0, 1, "(a file of that name exists)", ""},
        {"ADestinationThatIsAFileIsNamedAsSuch",
         [](WizardFixture &f) {
             QDir(f.root() + "/dest_L").removeRecursively();
             writeFile(f.root() + "/dest_L");
             return copyRenamed();
         },
         0, 0, 1, "dest_L is a file, not a folder", ""},
        {"NamesAFatCardRefusesAreFoundBeforeTheRun",
         [](WizardFixture &f) {
             f.addMono("m.jpg", "10:17:00 \"best\"");
             TNameCheckOptions o = copyRenamed();
             o.FileSystemType = [](const QString &) { return QStringLiteral("vfat"); };
             return o;
         },
         0, 0, 1, "the name contains \":\", which a vfat file system does not allow", ""},
        {"TheSameNamesAreFineOnLinuxFileSystems",
         [](WizardFixture &f) {
             f.addMono("m.jpg", "10:17:00 \"best\"");
             TNameCheckOptions o = copyRenamed();
             o.FileSystemType = [](const QString &) { return QStringLiteral("ext4"); };
             return o;
         },
         0, 0, 0, "No files will be overwritten.", ""},
        {"AMissingSpmListFolderIsMadeByTheRun",
         [](WizardFixture &f) {
             TNameCheckOptions o = renameOnly();
             o.WriteSpmList = true;
             o.SpmListFile = f.root() + "/no such folder/SPM_List.TXT";
             o.Volumes = &f.volumes;
             return o;
         },
         0, 0, 0, "", ""},
    };
    for (const NameCase &c : cases) {
        SCOPED_TRACE(c.name);
        {
            left.Clear();
            right.Clear();
            log.Clear();
            store.Naming = TNamingSettings::Defaults();
            setDestinations(true);
            for (const QString &d : {QStringLiteral("/src"), QStringLiteral("/dest_L")}) {
                QFile::remove(root() + d); // a case made a file of it
                QDir(root() + d).removeRecursively();
                QDir().mkpath(root() + d);
            }
        }
        addPair("P1_L.jpg", "P1_R.jpg", "P1");
        const TNameCheckOptions o = c.setup(*this);
        RefreshAllEntries(store.Registry);
        const TNameCheckResult r = CheckNames(entries(), o, log);
        EXPECT_EQ(r.Duplicates, c.duplicates);
        EXPECT_EQ(r.Overwrites, c.overwrites);
        EXPECT_EQ(r.Unusable, c.unusable);
        EXPECT_TRUE(logText().contains(QString::fromUtf8(c.logLine))) << qPrintable(logText());
        EXPECT_TRUE(r.Description.contains(QLatin1String(c.description)));
        if (r.Overwrites > 0 && r.JobFileOverwritten) {
            // Never advise deleting a file that is one of the user's own photos.
            EXPECT_FALSE(r.Description.contains(QLatin1String("Remove files")));
        }
    }
}

// A folder that cannot be written to fails every file at run time: the check finds it.
// (Root ignores permissions; this case runs once more without that capability.)
TEST_F(Check, AFolderThatCannotBeWrittenToIsFoundBeforeTheRun)
{
    setDestinations(true);
    addPair("P1_L.jpg", "P1_R.jpg", "P1");
    ::chmod(QFile::encodeName(root() + "/dest_R").constData(), 0555);
    if (::access(QFile::encodeName(root() + "/dest_R").constData(), W_OK) == 0) {
        ::chmod(QFile::encodeName(root() + "/dest_R").constData(), 0755);
        if (qEnvironmentVariableIsSet("DUOMIRA_EXPECT_PERMISSIONS"))
            FAIL() << "permissions are not enforced";
        GTEST_SKIP() << "root ignores permissions here";
    }
    RefreshAllEntries(store.Registry);
    const TNameCheckResult r = CheckNames(entries(), copyRenamed(), log);
    ::chmod(QFile::encodeName(root() + "/dest_R").constData(), 0755);
    EXPECT_EQ(r.Unusable, 1);
    EXPECT_TRUE(logText().contains("the folder cannot be written to")) << qPrintable(logText());
}

TEST_F(Check, DriveTableRowsFollowTheSpaceLeft)
{
    auto [l, r] = addPair("P1_L.jpg", "P1_R.jpg", "P1");
    const qint64 bytes = l->Metadata().FileSize + r->Metadata().FileSize;
    ASSERT_GT(l->Metadata().FileSize, 0);
    TLaufwerke table(volumes);

    // A move within one volume frees what it fills.
    CheckSpace(entries(), {.Move = true}, table, log);
    EXPECT_FALSE(table.Insufficient());
    ASSERT_EQ(table.Rows().size(), 1u);
    EXPECT_EQ(table.Rows()[0].Name, root());
    EXPECT_TRUE(SpaceCheckTitle(table).contains("-0 Byte"));

    // Copies that fill the volume to the last byte do not fit.
    volumes.free[root()] = bytes;
    CheckSpace(entries(), {}, table, log);
    EXPECT_TRUE(table.Insufficient());
    EXPECT_TRUE(SpaceCheckTitle(table).contains("<c7>Out of memory!"));
    EXPECT_EQ(log.Lines().at(log.Lines().size() - 2).Color, logcolor::Fuchsia);

    // A destination on a disk that is not plugged in; its name shows as it is.
    volumes.free.clear();
    const QString unplugged = root() + "/media/user/<c7>disk<";
    store.Naming.FolderRight = unplugged + "/Test_R";
    RefreshAllEntries(store.Registry);
    CheckSpace(entries(), {}, table, log);
    EXPECT_TRUE(table.Insufficient());
    const QString title = SpaceCheckTitle(table);
    EXPECT_TRUE(title.contains("<c3>"));
    EXPECT_TRUE(MarkupPlainText(title).contains(unplugged + " +")) << qPrintable(title);
    EXPECT_TRUE(logText().contains(unplugged + "\t\t+"));
    EXPECT_TRUE(logText().contains("Storage device is not available"));
}

TEST_F(Check, FilesOfSeveralPairsNeedOneCopyPerFurtherPair)
{
    auto [l, r] = addPair("P1_L.jpg", "P1_R.jpg", "P1");
    TDatensatz *second = AppendEntry(left, 1, l->SourcePath(), dsLeft);
    TDatensatz *partner = AppendEntry(right, 1, photo("P2_R.jpg"), dsRight);
    LinkBothWays(second, partner);
    second->SetAttribute(daStereoPair);
    partner->SetAttribute(daStereoPair);
    TLaufwerke table(volumes);
    EXPECT_EQ(ComputeSharedFiles(entries(), 1, table), 1);
    ASSERT_EQ(table.Rows().size(), 1u);
    EXPECT_EQ(table.Rows()[0].Required, l->Metadata().FileSize);

    // A copy job copies the shared file once for each pair it belongs to.
    RefreshAllEntries(store.Registry);
    CheckSpace(entries(), {}, table, log);
    ASSERT_EQ(table.Rows().size(), 1u);
    EXPECT_EQ(table.Rows()[0].Required,
              2 * l->Metadata().FileSize + r->Metadata().FileSize + partner->Metadata().FileSize);
}

TEST_F(Check, TargetsLandOnTheVolumeOfTheirNearestFolder)
{
    // media/user/<disk> and mnt/<disk> are where disks are mounted (the fixture's places),
    // card is a mount point of the file system table. Nothing is mounted at any of them.
    const QString r = root();
    volumes.fstab = {r + "/card"};
    for (const char *folder : {"/card", "/media/user/empty", "/media/user/full/DCIM", "/mnt/usb",
                               "/mnt/photos/2024", "/mnt/dotted/.keep"})
        ASSERT_TRUE(QDir().mkpath(r + folder));
    const struct
    {
        const char *path; // below the temporary folder
        const char *name; // "" for the temporary folder's volume
        bool available;
    } cases[] = {
        {"/src/new/deeper/x.jpg", "", true},
        // Empty mount points where nothing is mounted: the disk is unplugged.
        {"/card", "/card", false},
        {"/card/new/x.jpg", "/card", false},
        {"/mnt/usb/x.jpg", "/mnt/usb", false},
        {"/mnt/usb/new/x.jpg", "/mnt/usb", false},
        {"/media/user/empty/DCIM/x.jpg", "/media/user/empty", false},
        // A disk's folder that the desktop removed when it unmounted the disk.
        {"/media/user/gone/DCIM/x.jpg", "/media/user/gone", false},
        {"/media/new-user/disk/x.jpg", "/media/new-user/disk", false},
        // Ordinary folders: not empty, or not where disks are mounted.
        {"/mnt/photos/new/x.jpg", "", true},
        {"/mnt/photos/2024/x.jpg", "", true},
        {"/mnt/dotted/new/x.jpg", "", true},
        {"/mnt/new/x.jpg", "", true},
        {"/media/user/full/new/x.jpg", "", true},
        {"/media/user/full/DCIM/new/x.jpg", "", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        const TVolumeOfPath v = VolumeOfPath(r + c.path, volumes);
        EXPECT_EQ(v.Name, r + c.name);
        EXPECT_EQ(v.Available, c.available);
    }
    const TVolumeOfPath relative = VolumeOfPath("relative/x.jpg", volumes);
    EXPECT_EQ(relative.Name, "relative/x.jpg");
    EXPECT_FALSE(relative.Available);
    // Once the disks are mounted, their folders are available.
    volumes.mounts << r + "/card" << r + "/mnt/usb";
    EXPECT_TRUE(VolumeOfPath(r + "/card/new/x.jpg", volumes).Available);
    EXPECT_EQ(VolumeOfPath(r + "/mnt/usb/x.jpg", volumes).Name, r + "/mnt/usb");
}

TEST_F(Check, MissingFoldersAreThoseTheJobsKindsNeed)
{
    addMono("m.jpg", "M1");
    setDestinations(false);
    TFolderCheck check;
    check.Run(entries(), store.Naming);
    EXPECT_EQ(check.MissingFolders, 4);
    addPair("P1_L.jpg", "P1_R.jpg", "P1");
    check.Run(entries(), store.Naming);
    EXPECT_EQ(check.MissingFolders, 7);
    EXPECT_TRUE(check.Title().contains("for right view images: <T10><c3>" + root() + "/dest_R"));
    // A folder's name shows as written: a tag in it takes no effect, a line break no line.
    store.Naming.FolderMono = root() + "/<FB>mono\n<";
    check.Run(entries(), store.Naming);
    EXPECT_TRUE(MarkupPlainText(check.Title()).contains(" " + root() + "/<FB>mono\u240A<\n"))
        << qPrintable(check.Title());
    // Excluded images need no folder.
    for (TDatensatz *e : entries())
        e->SetBatch(false);
    check.Run(entries(), store.Naming);
    EXPECT_EQ(check.MissingFolders, 0);
}
