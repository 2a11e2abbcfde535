#include "batch/laufwerke.h"

#include "batch/protokoll.h"
#include "naming/maskformat.h"
#include "ui/markup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace {

// "\040" and the other octal escapes of the mount tables.
QString unescapeMountField(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && value < 256) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return QString::fromUtf8(out);
}

// The second field of every line of a mount table (comments and blank lines skipped).
QStringList mountPointsOf(const QString &fileName)
{
    QStringList points;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return points;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &raw : lines) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        const QString point = unescapeMountField(fields[1]);
        if (point.startsWith(u'/'))
            points.append(QDir::cleanPath(point));
    }
    return points;
}

bool within(const QString &path, const QString &folder)
{
    if (folder == QLatin1String("/"))
        return path.startsWith(u'/');
    return path == folder ||
           (path.size() > folder.size() && path.startsWith(folder) && path[folder.size()] == u'/');
}

QString parentOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

QString TVolumeSource::ExistingCanonicalPath(const QString &path) const
{
    return QFileInfo(path).canonicalFilePath();
}

QList<TMountPlace> TVolumeSource::MountPlaces() const
{
    return SystemMountPlaces();
}

QList<TMountPlace> SystemMountPlaces()
{
    return {{QStringLiteral("/media"), 2, true},
            {QStringLiteral("/run/media"), 2, true},
            {QStringLiteral("/mnt"), 1, false}};
}

QStringList TSystemVolumes::MountPoints() const
{
    QStringList mounts = mountPointsOf(QStringLiteral("/proc/self/mounts"));
    if (!mounts.contains(QStringLiteral("/")))
        mounts.append(QStringLiteral("/"));
    return mounts;
}

QStringList TSystemVolumes::ConfiguredMountPoints() const
{
    QStringList points = mountPointsOf(QStringLiteral("/etc/fstab"));
    points.removeAll(QStringLiteral("/"));
    return points;
}

qint64 TSystemVolumes::FreeBytes(const QString &mountPoint) const
{
    const QStorageInfo info(mountPoint);
    if (!info.isValid() || !info.isReady())
        return -1;
    return info.bytesAvailable();
}

TVolumeSource &SystemVolumes()
{
    static TSystemVolumes volumes;
    return volumes;
}

namespace {

// The place folder is a mount point of, if it is one by place.
const TMountPlace *placeOf(const QString &folder, const QList<TMountPlace> &places)
{
    for (const TMountPlace &p : places) {
        if (!folder.startsWith(p.Location + u'/'))
            continue;
        const QString below = folder.mid(p.Location.size() + 1);
        if (!below.isEmpty() && below.count(u'/') == p.Depth - 1 && !below.endsWith(u'/'))
            return &p;
    }
    return nullptr;
}

// True when the folder holds nothing (hidden entries count) or cannot be read.
bool isEmptyFolder(const QString &path)
{
    return QDir(path).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                              QDir::System);
}

} // namespace

TVolumeOfPath VolumeOfPath(const QString &path, const TVolumeSource &source)
{
    if (!path.startsWith(u'/'))
        return {path, false};
    // The nearest existing folder, and the first part of the path below it that is missing.
    QString existing = QDir::cleanPath(path);
    QString missingName;
    QString canonical = source.ExistingCanonicalPath(existing);
    while (canonical.isEmpty() && existing != QLatin1String("/")) {
        missingName = existing.mid(existing.lastIndexOf(u'/') + 1);
        existing = parentOf(existing);
        canonical = source.ExistingCanonicalPath(existing);
    }
    if (canonical.isEmpty())
        return {existing, false};

    const QStringList mounts = source.MountPoints();
    QString root;
    for (const QString &m : mounts) {
        if (within(canonical, m) && m.size() > root.size())
            root = m;
    }
    if (root.isEmpty())
        return {canonical, false};

    // A disk's mount point where no disk is mounted now.
    const QList<TMountPlace> places = source.MountPlaces();
    const QStringList configured = source.ConfiguredMountPoints();
    if (!mounts.contains(canonical) &&
        (placeOf(canonical, places) || configured.contains(canonical)) && isEmptyFolder(canonical))
        return {canonical, false};
    // A disk's mount point that is missing where the desktop removes it with the disk.
    if (!missingName.isEmpty()) {
        const QString target = QDir::cleanPath(path);
        for (const TMountPlace &p : places) {
            if (!p.FolderGoesWithTheDisk || !target.startsWith(p.Location + u'/'))
                continue;
            qsizetype end = p.Location.size();
            for (int level = 0; level < p.Depth && end >= 0; ++level)
                end = target.indexOf(u'/', end + 1);
            const QString point = end < 0 ? target : target.left(end);
            if (point.size() > existing.size())
                return {point, false};
        }
    }
    return {root, true};
}

void TLaufwerke::Clear()
{
    m_rows.clear();
    m_folderDrive.clear();
    m_insufficient = false;
}

TLwSizeDs &TLaufwerke::rowFor(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folder = slash >= 0 ? path.left(slash + 1) : path;
    auto cached = m_folderDrive.constFind(folder);
    QString name;
    qint64 free = -1;
    bool fresh = false;
    if (cached != m_folderDrive.constEnd()) {
        name = *cached;
    } else {
        const TVolumeOfPath volume = VolumeOfPath(path, *m_source);
        name = volume.Name;
        if (volume.Available)
            free = m_source->FreeBytes(volume.Name);
        m_folderDrive.insert(folder, name);
        fresh = true;
    }
    auto it = std::lower_bound(m_rows.begin(), m_rows.end(), name,
                               [](const TLwSizeDs &row, const QString &n) { return row.Name < n; });
    if (it != m_rows.end() && it->Name == name)
        return *it;
    if (!fresh) {
        // A cached folder always has its row; kept for safety should the table change.
        const TVolumeOfPath volume = VolumeOfPath(path, *m_source);
        if (volume.Available)
            free = m_source->FreeBytes(volume.Name);
    }
    TLwSizeDs row;
    row.Name = name;
    row.Free = free;
    return *m_rows.insert(it, row);
}

void TLaufwerke::AddRequirement(const QString &path, qint64 bytes)
{
    TLwSizeDs &row = rowFor(path);
    row.Required += bytes;
    if (!m_insufficient)
        m_insufficient = row.Free < 0 || row.Free - row.Required <= 0;
}

QString TLaufwerke::Report(const QString &rowFormat, TProtokoll *log) const
{
    const QString separator = QStringLiteral(" ");
    QString text;
    for (const TLwSizeDs &row : m_rows) {
        const QString additional = FormatByteSize(row.Required, separator, true);
        const qint64 remaining = row.Free - row.Required;
        QString third;
        QString message;
        QString logMessage;
        QColor color = logcolor::Black;
        QString prefix;
        if (row.Free < 0) {
            message = logMessage = QStringLiteral("Storage device is not available");
            prefix = QStringLiteral("<c3>");
            color = logcolor::Red;
        } else {
            third = FormatByteSize(remaining, separator, false);
            if (remaining < 0) {
                message = logMessage = QStringLiteral("Avialable memory is low.");
                prefix = QStringLiteral("<c3>");
                color = logcolor::Red;
            } else if (remaining < LowSpaceLimit) {
                message = QStringLiteral("<c7>Out of memory!");
                logMessage = QStringLiteral("Out of memory!");
                color = logcolor::Fuchsia;
            }
        }
        // The page shows the mount point's name as it is; "<" and control characters in it
        // take no effect there.
        text += prefix +
                FormatLogText(rowFormat, {MarkupLiteral(row.Name), additional, third, message}) +
                QStringLiteral("<FN><LF>");
        if (log)
            log->AddFormatted(rowFormat, {row.Name, additional, third, logMessage}, color);
    }
    return text;
}
