#include "batch/prerunchecks.h"

#include "ui/markup.h"

#include "batch/batchjobsettings.h"
#include "batch/fileops.h"
#include "batch/protokoll.h"
#include "entries/datensatz.h"
#include "entries/namingsettings.h"
#include "imaging/dsorgbild.h"
#include "ui/markup.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStorageInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

namespace {

bool isBatchImage(const TDatensatz *e)
{
    return !IsGapAttribute(e->Attribute()) && e->Batch();
}

QString sideText(const TDatensatz *e)
{
    return SideText(e->Side());
}

struct FileId
{
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileId &) const = default;
};

size_t qHash(const FileId &id, size_t seed = 0)
{
    return ::qHash(id.device, seed) ^ ::qHash(id.inode, seed);
}

std::optional<FileId> fileIdOf(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileId{quint64(st.st_dev), quint64(st.st_ino)};
}

bool fileExists(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

// ---- Missing destination folders ----

void TFolderCheck::Run(const std::vector<TDatensatz *> &entries, const TNamingSettings &naming)
{
    MissingFolders = 0;
    MissingText.clear();
    quint8 needed = 0;
    for (const TDatensatz *e : entries) {
        if (needed == 7)
            break;
        if (!isBatchImage(e))
            continue;
        needed |= e->Attribute() == daStereoPair ? quint8(fbLeft | fbRight) : quint8(fbMono);
    }
    const struct
    {
        quint8 bit;
        const QString &folder;
        const char *format;
    } kinds[] = {
        {fbLeft, naming.FolderLeft, "for left view images: <T10><c3>%s<FN><LF>"},
        {fbRight, naming.FolderRight, "for right view images: <T10><c3>%s<FN><LF>"},
        {fbMono, naming.FolderMono, "for monoscopic images:   <T10><c3>%s<FN><LF>"},
    };
    for (const auto &k : kinds) {
        // Missing is a folder that can be made: nothing of that name exists and the nearest
        // existing parent is a folder. A file in the way is a naming conflict instead.
        const bool missing =
            !StatPath(k.folder, false).exists && StatPath(NearestExistingPath(k.folder)).isFolder;
        if ((needed & k.bit) && missing) {
            MissingFolders |= k.bit;
            MissingText += FormatLogText(QLatin1String(k.format), {MarkupLiteral(k.folder)});
        }
    }
}

QString TFolderCheck::Title() const
{
    return FormatLogText(QStringLiteral("<FB><FS12><C4>Create missing directories?<LF><FN> "
                                        "<LF>Unable to locate directories:<LF>%s <LF>Do you want "
                                        "to create these folders?"),
                         {MissingText});
}

QString FolderCheckDescription(bool createChosen)
{
    if (createChosen)
        return QStringLiteral(
            "Required but missing directories will be created only at this run.<LF> "
            "<LF><c4><FB>Hint:<FN><LF>Choose in the option stack (to the left) <c5>\"Always "
            "create missing folders\"<FN><LF>in order to skip this confirmation page.<LF>");
    return QStringLiteral("No folders will be created!<LF>-<T1>Make sure the missing folders or "
                          "disk drives become present.<LF>-<T1>Press button labeled as "
                          "<c5>\"Next\"<FN> to run a test again!<LF> <LF>");
}

// ---- File names ----

QString UnusableTargetReason(const QString &folder, const QString &fileName)
{
    if (!folder.startsWith(u'/'))
        return QStringLiteral("the folder is not a full path");
    if (fileName.contains(u'/'))
        return QStringLiteral("the name contains \"/\"");
    if (fileName.isEmpty() || fileName.startsWith(u'.'))
        return QStringLiteral("the name is empty");
    if (fileName.toUtf8().size() > 255)
        return QStringLiteral("the name is longer than 255 bytes");
    return QString();
}

QString ForbiddenNameReason(const QString &fileName, const QString &fileSystemType)
{
    static const QStringList restricted = {
        QStringLiteral("vfat"),    QStringLiteral("msdos"),      QStringLiteral("fat"),
        QStringLiteral("exfat"),   QStringLiteral("ntfs"),       QStringLiteral("ntfs3"),
        QStringLiteral("fuseblk"), QStringLiteral("fuse.exfat"), QStringLiteral("fuse.ntfs-3g")};
    if (!restricted.contains(fileSystemType))
        return QString();
    for (const QChar c : fileName) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("the name contains a control character, which a %1 file system "
                                  "does not allow")
                .arg(fileSystemType);
        if (QStringView(u"\"<>:|?*\\").contains(c))
            return QStringLiteral("the name contains \"%1\", which a %2 file system does not allow")
                .arg(c)
                .arg(fileSystemType);
    }
    return QString();
}

QString NearestExistingPath(const QString &path)
{
    QString probe = QDir::cleanPath(path);
    while (!StatPath(probe, false).exists) {
        const QString parent = QFileInfo(probe).path();
        if (parent == probe || parent.isEmpty())
            break;
        probe = parent;
    }
    return probe;
}

namespace {

QString systemFileSystemType(const QString &folder)
{
    return QString::fromLatin1(QStorageInfo(folder).fileSystemType());
}

class NameCheck
{
public:
    NameCheck(const std::vector<TDatensatz *> &entries, TProtokoll &log,
              std::function<QString(const QString &)> fileSystemType)
        : m_entries(entries), m_log(log), m_fileSystemType(std::move(fileSystemType))
    {
        if (!m_fileSystemType)
            m_fileSystemType = systemFileSystemType;
        m_table.reserve(qsizetype(entries.size()) * 2);
        m_order.reserve(entries.size() * 2);
    }

    // Adds (path, e) to the name table; a path already claimed (letter case ignored) is a
    // duplicate. A target that cannot be created is reported once and not added. source:
    // the file that goes there when it is not e's own (an extra file of e).
    void check(const QString &folder, const QString &fileName, TDatensatz *e,
               const QString &source = QString())
    {
        const QString path = folder + fileName;
        QString reason = UnusableTargetReason(folder, fileName);
        if (reason.isEmpty()) {
            const Place &where = place(folder);
            reason = where.reason.isEmpty() ? ForbiddenNameReason(fileName, where.fileSystemType)
                                            : where.reason;
        }
        if (!reason.isEmpty()) {
            ++result.Unusable;
            m_log.AddFormatted(QStringLiteral(" N° %d (%s) cannot be created: %s  (%s)"),
                               {e->Number(), sideText(e), path, reason}, logcolor::Red);
            return;
        }
        if (!add(path, e, source)) {
            TDatensatz *other = m_table.value(path.toCaseFolded());
            if (result.Duplicates == 0)
                m_log.AddLine(QStringLiteral("Same filename with image:"));
            ++result.Duplicates;
            m_log.AddFormatted(QStringLiteral(" N° %d (%s) An N° %d (%s)  %s"),
                               {e->Number(), sideText(e), other->Number(), sideText(other), path});
        }
    }

    // Adds without checking; false when the path was claimed already.
    bool add(const QString &path, TDatensatz *e, const QString &source = QString())
    {
        const QString key = path.toCaseFolded();
        if (m_table.contains(key))
            return false;
        m_table.insert(key, e);
        m_order.push_back({key, path, e, source});
        return true;
    }

    void checkExtraFiles(const TExtraFileProvider &provider, TDatensatz *e, TEntryStep step,
                         const QString &target)
    {
        for (const TExtraFile &extra : ExtraFilesOf(provider, *e, step, target)) {
            if (!extra.target.isEmpty())
                check(PathFolder(extra.target), PathFileName(extra.target), e, extra.source);
        }
    }

    void checkOverwrites()
    {
        std::sort(m_order.begin(), m_order.end(),
                  [](const Claim &a, const Claim &b) { return a.key < b.key; });
        for (const Claim &c : m_order) {
            const QString source = c.source.isEmpty() ? c.entry->SourcePath() : c.source;
            if (c.path == source || !fileExists(c.path))
                continue;
            const std::optional<FileId> target = fileIdOf(c.path);
            // The entry's own file under another spelling; a symbolic link is a file of its
            // own, even one that points at the entry's file.
            if (target && target == fileIdOf(source) && !StatPath(c.path, false).isLink)
                continue;
            ++result.Overwrites;
            if (const TDatensatz *owner = jobFileOwner(c.path, target)) {
                result.JobFileOverwritten = true;
                m_log.AddFormatted(
                    QStringLiteral("File gets overwritten by image. %d (%s):  %s is image N° %d "
                                   "(%s) of this job"),
                    {c.entry->Number(), sideText(c.entry), c.path, owner->Number(),
                     sideText(owner)});
            } else {
                m_log.AddFormatted(QStringLiteral("File gets overwritten by image. %d (%s):  %s "),
                                   {c.entry->Number(), sideText(c.entry), c.path});
            }
        }
    }

    // The SPM list and the job log are more targets: not a source or target of any image.
    // The list replaces an earlier list as a whole; the log replaces nothing.
    void checkExtraTarget(const QString &path, const TVolumeSource &volumes, bool isLog)
    {
        const QString folder = PathFolder(path);
        QString reason = UnusableTargetReason(folder, PathFileName(path));
        if (reason.isEmpty()) {
            if (const TDatensatz *other = m_table.value(path.toCaseFolded()))
                reason = FormatLogText(QStringLiteral("it is also the target of image N° %d (%s)"),
                                       {other->Number(), sideText(other)});
            else if (const TDatensatz *owner = jobFileOwner(path, fileIdOf(path)))
                reason = FormatLogText(QStringLiteral("it is image N° %d (%s) of this job"),
                                       {owner->Number(), sideText(owner)});
            // A missing folder is created by the run, like the destination folders, but
            // never below the mount point of an unplugged disk.
            else if (!QFileInfo(folder).isDir() && !VolumeOfPath(folder, volumes).Available)
                reason =
                    QStringLiteral("its folder lies on a storage device that is not available");
        }
        if (reason.isEmpty() && isLog && StatPath(path, false).exists)
            reason = QStringLiteral("a file of that name exists");
        if (reason.isEmpty() && isLog && !StatPath(folder).isFolder)
            reason = QStringLiteral("its folder does not exist");
        if (reason.isEmpty())
            reason = place(folder).reason;
        if (reason.isEmpty())
            return;
        ++result.Unusable;
        m_log.AddFormatted(isLog ? QStringLiteral(" Job log file cannot be written: %s  (%s)")
                                 : QStringLiteral(" SPM list file cannot be written: %s  (%s)"),
                           {path, reason}, logcolor::Red);
    }

    TNameCheckResult result;

private:
    // What the file system says about writing into a folder, looked up once per folder.
    struct Place
    {
        QString reason;         // why nothing can be written there, or empty
        QString fileSystemType; // of the nearest existing folder
    };
    const Place &place(const QString &folder)
    {
        auto it = m_places.find(folder);
        if (it != m_places.end())
            return *it;
        Place p;
        const QString existing = NearestExistingPath(folder);
        const TFileStamp stamp = StatPath(existing);
        if (stamp.exists && !stamp.isFolder) {
            p.reason = QStringLiteral("%1 is a file, not a folder").arg(existing);
        } else if (stamp.exists &&
                   ::access(QFile::encodeName(existing).constData(), W_OK | X_OK) != 0) {
            p.reason = existing == QDir::cleanPath(folder)
                           ? QStringLiteral("the folder cannot be written to")
                           : QStringLiteral(
                                 "the folder cannot be created in %1, which cannot be written to")
                                 .arg(existing);
        } else if (stamp.exists) {
            p.fileSystemType = m_fileSystemType(existing);
        }
        return *m_places.insert(folder, p);
    }

    // The image of the job whose current file is path (same path, or the same file).
    const TDatensatz *jobFileOwner(const QString &path, const std::optional<FileId> &id)
    {
        if (m_byPath.isEmpty()) {
            for (TDatensatz *e : m_entries) {
                if (!IsGapAttribute(e->Attribute()))
                    m_byPath.insert(e->SourcePath(), e);
            }
        }
        if (const TDatensatz *e = m_byPath.value(path))
            return e;
        if (!id)
            return nullptr;
        if (!m_idsRead) {
            m_idsRead = true;
            for (TDatensatz *e : m_entries) {
                if (IsGapAttribute(e->Attribute()))
                    continue;
                if (const std::optional<FileId> own = fileIdOf(e->SourcePath()))
                    m_byId.insert(*own, e);
            }
        }
        return m_byId.value(*id);
    }

    struct Claim
    {
        QString key;
        QString path;
        TDatensatz *entry;
        QString source; // empty: the entry's own file
    };
    const std::vector<TDatensatz *> &m_entries;
    TProtokoll &m_log;
    QHash<QString, TDatensatz *> m_table;
    std::vector<Claim> m_order;
    QHash<QString, const TDatensatz *> m_byPath;
    QHash<FileId, const TDatensatz *> m_byId;
    bool m_idsRead = false;
    std::function<QString(const QString &)> m_fileSystemType;
    QHash<QString, Place> m_places;
};

} // namespace

int ReportPartnersNamedApart(const std::vector<TDatensatz *> &entries, TProtokoll &log)
{
    int count = 0;
    for (const TDatensatz *e : entries) {
        const TDatensatz *partner = e->Partner();
        if (!isBatchImage(e) || e->Side() != dsLeft || e->Attribute() != daStereoPair || !partner ||
            !isBatchImage(partner) || partner->NewName() == e->NewName())
            continue;
        if (count++ == 0)
            log.AddLine(QStringLiteral("Stereo pairs whose pictures get different names:"),
                        logcolor::Fuchsia);
        log.AddFormatted(QStringLiteral(" N° %d (%s) %s  and  N° %d (%s) %s"),
                         {e->Number(), sideText(e), e->NewName(), partner->Number(),
                          sideText(partner), partner->NewName()},
                         logcolor::Fuchsia);
    }
    return count;
}

// The title and hints of the message that stops the job when names clash, targets exist or
// cannot be created.
static void DescribeNameConflicts(TNameCheckResult &r)
{
    r.Title = QStringLiteral("<FB><FS12><C3>Naming conflict!<LF><FN> <LF>");
    r.Description = QStringLiteral("<FB><c4>Hint:<FN><LF>-<T1>Go back to choose another "
                                   "destination folder.<LF>");
    if (r.Duplicates > 0) {
        r.Title += FormatLogText(QStringLiteral("%d files of equal name would be created by "
                                                "copy'ing, moving or renaming <LF>"),
                                 {r.Duplicates});
        r.Description += QStringLiteral(
            "-<T1>Cancel the Batch Job Wizard<LF>-<T1>Please use a <c5>Suffix<FN> if left and "
            "right images have the same destination directory.<LF>-<T1>Resolve conflicts by "
            "changing filename patterns in tab folder <c5>Rename<FN>.<LF>-<T1>Change numbering "
            "settings in option panel <c5>Numbering<FN> to the left.<LF>-<T1>Restart process by "
            "pushing the button labeled as <c5>Execute Batch Job<c5><LF>");
    }
    if (r.Overwrites > 0) {
        r.Title += FormatLogText(
            QStringLiteral("Destination folder contains %d files with such names <LF>"),
            {r.Overwrites});
        if (r.JobFileOverwritten)
            r.Description += QStringLiteral(
                "-<T1>Some new names are current names of other images of this job.<LF><T1>Use "
                "a name pattern that does not reuse current names<LF><T1>(for example another "
                "prefix) and start the Batch Job again.<LF>");
        else
            r.Description += QStringLiteral("-<T1>Remove files from destination folder.<LF><T1>"
                                            "Proceed with 'Next' when files are removed<LF>");
    }
    if (r.Unusable > 0) {
        r.Title += FormatLogText(QStringLiteral("%d targets cannot be created <LF>"), {r.Unusable});
        r.Description += QStringLiteral(
            "-<T1>Destination folders and the SPM list need full paths.<LF>-<T1>New names must "
            "not be empty, contain <c5>\"/\"<FN> or be longer than 255 bytes.<LF>");
    }
}

TNameCheckResult CheckNames(const std::vector<TDatensatz *> &entries, const TNameCheckOptions &o,
                            TProtokoll &log)
{
    NameCheck check(entries, log, o.FileSystemType);
    log.AddLine(QStringLiteral("Check for duplicate file names"), logcolor::Black, LogStyle::Bold);
    QSet<const TDsOrgBild *> renamed;
    QSet<const TDsOrgBild *> moved;
    const bool renameStep = o.RenameSource && (o.CopyToDestination || !o.MoveToDestination);
    for (TDatensatz *e : entries) {
        if (!isBatchImage(e))
            continue;
        const QString newName = e->NewFileName();
        // A view of a stereo file has no file of its own: its view file is one of the
        // extra files.
        const bool ownFile = !e->IsStereoView();
        if (renameStep && ownFile) {
            const QString folder = PathFolder(e->SourcePath());
            // The first entry of a file renames it; a further one gets a copy, or (kept
            // incomplete) shares the renamed file.
            const bool first = !renamed.contains(e->OrgBild());
            renamed.insert(e->OrgBild());
            if (first || !o.KeepPartnersIncomplete)
                check.check(folder, newName, e);
            else
                check.add(folder + newName, e);
            if (first || !o.KeepPartnersIncomplete)
                check.checkExtraFiles(o.ExtraFiles, e,
                                      first ? TEntryStep::Rename : TEntryStep::Copy,
                                      folder + newName);
        }
        // Renamed in place, a stereo file keeps being one file: one of its views lists it.
        if (renameStep && !ownFile && !o.CopyToDestination && !o.MoveToDestination)
            check.checkExtraFiles(o.ExtraFiles, e, TEntryStep::Rename,
                                  PathFolder(e->SourcePath()) + newName);
        if (o.MoveToDestination || o.CopyToDestination) {
            const QString folder = e->TargetFolder();
            const QString fileName = e->DestinationFileName(o.RenameDestination);
            if (ownFile)
                check.check(folder, fileName, e);
            const bool move = o.MoveToDestination && !moved.contains(e->OrgBild());
            moved.insert(e->OrgBild());
            check.checkExtraFiles(o.ExtraFiles, e, move ? TEntryStep::Move : TEntryStep::Copy,
                                  WithTrailingSeparator(folder) + fileName);
        }
    }
    TNameCheckResult &r = check.result;
    if (renameStep || o.RenameDestination)
        r.PartnersNamedApart = ReportPartnersNamedApart(entries, log);
    if (r.Duplicates == 0)
        log.AddLine(QStringLiteral("No duplicate file names found."));
    else
        log.AddFormatted(QStringLiteral("%d duplicte filenames diagnosed"), {r.Duplicates});
    if (o.WriteSpmList)
        check.checkExtraTarget(o.SpmListFile, o.Volumes ? *o.Volumes : SystemVolumes(), false);
    if (!o.LogFile.isEmpty())
        check.checkExtraTarget(o.LogFile, o.Volumes ? *o.Volumes : SystemVolumes(), true);
    if (r.Unusable > 0)
        log.AddFormatted(QStringLiteral("%d target names cannot be used"), {r.Unusable},
                         logcolor::Red);
    log.AddLine(QStringLiteral(" "));

    log.AddLine(QStringLiteral("Check for possible file overrides"), logcolor::Black,
                LogStyle::Bold);
    check.checkOverwrites();
    if (r.Overwrites == 0)
        log.AddLine(QStringLiteral("No files will be overwritten."));
    else
        log.AddFormatted(QStringLiteral("%d existing files will be overwritten!"), {r.Overwrites});
    log.AddLine(QStringLiteral(" "));

    DescribeNameConflicts(r);
    return r;
}

// ---- Disk space ----

namespace {
// What the files an entry brings into one step add to (or free on) their volumes; a
// renamed file stays where it was.
void addExtraFileSpace(const TExtraFileProvider &provider, const TDatensatz &e, TEntryStep step,
                       const QString &entryTarget, TLaufwerke &table)
{
    for (const TExtraFile &extra : ExtraFilesOf(provider, e, step, entryTarget)) {
        if (extra.kind == TExtraFileKind::Rename)
            continue;
        const qint64 bytes = extra.size();
        if (extra.kind == TExtraFileKind::Move || extra.kind == TExtraFileKind::RemoveStereo)
            table.AddRequirement(extra.source, -bytes);
        if (!extra.target.isEmpty())
            table.AddRequirement(extra.target, bytes);
    }
}
} // namespace

void CheckSpace(const std::vector<TDatensatz *> &entries, const TSpaceCheckJob &job,
                TLaufwerke &table, TProtokoll &log)
{
    table.Clear();
    QSet<const TDsOrgBild *> counted;
    QSet<const TDsOrgBild *> moved;
    for (const TDatensatz *e : entries) {
        if (IsGapAttribute(e->Attribute()))
            continue;
        const qint64 size = e->Metadata().FileSize;
        if (job.CompletePartners && e->HolderRefCount() > 1 && !counted.contains(e->OrgBild())) {
            counted.insert(e->OrgBild());
            table.AddRequirement(e->RenamedSourcePath(), size * (e->HolderRefCount() - 1));
        }
        if (!e->Batch())
            continue;
        if (job.InPlace) {
            addExtraFileSpace(job.ExtraFiles, *e, TEntryStep::Rename, e->RenamedSourcePath(),
                              table);
            continue;
        }
        const bool moves = job.Move && !moved.contains(e->OrgBild());
        if (moves && !e->IsStereoView())
            table.AddRequirement(e->RenamedSourcePath(), -size);
        if (moves)
            moved.insert(e->OrgBild());
        if (!e->IsStereoView()) // its view file is one of its extra files
            table.AddRequirement(e->NewFullPath(), size);
        addExtraFileSpace(job.ExtraFiles, *e, moves ? TEntryStep::Move : TEntryStep::Copy,
                          e->NewFullPath(), table);
    }
    log.AddLine(QStringLiteral("Checking for required disk space"), logcolor::Black,
                LogStyle::Bold);
    log.AddLine(QStringLiteral("Required disk space:"));
    log.AddLine(QStringLiteral(" Drive\t\tadditional\t\tremaining"));
    table.Report(QStringLiteral("    %s\t\t%s\t%s\t\t\t%s"), &log);
    log.AddLine(QStringLiteral(" "));
}

QString SpaceCheckTitle(const TLaufwerke &table)
{
    return QStringLiteral("<FB><FS12><C3>Insufficient disk space!<LF><FN> <LF>Disk space "
                          "required:<LF><T3>Drive<T12>additional<T22>remaining<LF>") +
           table.Report(QStringLiteral("<T3>%s<T12>%s<T22>%s<FB> %s"));
}

QString SpaceCheckDescription()
{
    return QStringLiteral(
        "<FB><c4>Caution!<FN><LF>-<T1>Make sure enough disk space is available on the disk "
        "drives required <LF><T1>for operation<LF><T1>Hit button labeled <c4>\"Next\"<FN> for "
        "testing again.<LF>-<T1>Missing external storage devices should get "
        "connected.<LF><T1>Hit button labeled <c4>\"Next\"<FN> for testing again.<LF>-<T1>"
        "Eventually you could go back to change to another destination<LF><T1>disk drive with "
        "sufficient disk space or permissions.<LF>-<T1>If this doesn't meet the requirements, "
        "cancel the Batch Job<LF><T1>assistant and mark some of the images as to "
        "<c5>\"Exclude from Batch Job\"<FN><LF><T1>in order to minimize the disk space needed "
        "for operation.<LF>");
}

// ---- Files used by several pairs ----

int ComputeSharedFiles(const std::vector<TDatensatz *> &entries, int mode, TLaufwerke &table)
{
    table.Clear();
    QSet<const TDsOrgBild *> counted;
    int shared = 0;
    for (const TDatensatz *e : entries) {
        if (IsGapAttribute(e->Attribute()))
            continue;
        const qint64 size = e->Metadata().FileSize;
        if (e->HolderRefCount() > 1 && !counted.contains(e->OrgBild())) {
            counted.insert(e->OrgBild());
            table.AddRequirement(e->RenamedSourcePath(), size * (e->HolderRefCount() - 1));
            ++shared;
        }
        if (mode == 2 && e->Batch())
            table.AddRequirement(e->NewFullPath(), size);
    }
    return shared;
}

int CountRotations(const std::vector<TDatensatz *> &entries)
{
    return int(std::count_if(entries.begin(), entries.end(), [](const TDatensatz *e) {
        return !IsGapAttribute(e->Attribute()) && e->Rotation() != 0;
    }));
}

int CountUnrotatable(const std::vector<TDatensatz *> &entries)
{
    QSet<QString> seen; // a file shared by several entries is counted once
    int count = 0;
    for (const TDatensatz *e : entries) {
        if (IsGapAttribute(e->Attribute()) || e->Rotation() == 0)
            continue;
        const QString path = e->SourcePath();
        if (seen.contains(path))
            continue;
        seen.insert(path);
        if (!LosslessRotationApplies(path))
            ++count;
    }
    return count;
}
