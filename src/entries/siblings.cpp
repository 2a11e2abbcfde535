#include "entries/siblings.h"

#include "entries/datensatz.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

#include <dirent.h>

namespace {

struct KindOfExtension
{
    const char *extension;
    TShotFileKind kind;
};

constexpr KindOfExtension KnownExtensions[] = {
    {"jpg", TShotFileKind::Jpeg},    {"jpeg", TShotFileKind::Jpeg},
    {"jpe", TShotFileKind::Jpeg},    {"jfif", TShotFileKind::Jpeg},
    {"heic", TShotFileKind::Heif},   {"heif", TShotFileKind::Heif},
    {"hif", TShotFileKind::Heif},    {"avif", TShotFileKind::Heif},
    {"mpo", TShotFileKind::Stereo},  {"jps", TShotFileKind::Stereo},
    {"xmp", TShotFileKind::Sidecar}, {"pp3", TShotFileKind::Sidecar},
    {"dop", TShotFileKind::Sidecar}, {"aae", TShotFileKind::Sidecar},
    {"thm", TShotFileKind::Sidecar}, {"wav", TShotFileKind::Sidecar},
    {"cr2", TShotFileKind::Raw},     {"cr3", TShotFileKind::Raw},
    {"crw", TShotFileKind::Raw},     {"nef", TShotFileKind::Raw},
    {"nrw", TShotFileKind::Raw},     {"arw", TShotFileKind::Raw},
    {"srf", TShotFileKind::Raw},     {"sr2", TShotFileKind::Raw},
    {"orf", TShotFileKind::Raw},     {"rw2", TShotFileKind::Raw},
    {"raf", TShotFileKind::Raw},     {"dng", TShotFileKind::Raw},
    {"pef", TShotFileKind::Raw},     {"srw", TShotFileKind::Raw},
    {"x3f", TShotFileKind::Raw},     {"3fr", TShotFileKind::Raw},
    {"erf", TShotFileKind::Raw},     {"kdc", TShotFileKind::Raw},
    {"mrw", TShotFileKind::Raw},     {"mos", TShotFileKind::Raw},
    {"iiq", TShotFileKind::Raw},     {"rwl", TShotFileKind::Raw},
    {"raw", TShotFileKind::Raw},
};

// The names in folder with a sidecar's extension that are files (or links to files), from
// one reading of the folder; only those names are decoded and looked at further.
QStringList sidecarNamesIn(const QString &folder)
{
    static const std::vector<QByteArray> extensions = [] {
        std::vector<QByteArray> e;
        for (const KindOfExtension &k : KnownExtensions)
            if (k.kind == TShotFileKind::Sidecar)
                e.push_back(QByteArray(".") + k.extension);
        return e;
    }();
    QStringList names;
    const QByteArray path = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    DIR *dir = ::opendir(path.constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        const bool sidecar =
            std::any_of(extensions.begin(), extensions.end(), [&](const QByteArray &e) {
                return name.size() > e.size() && qstrnicmp(name.data() + name.size() - e.size(),
                                                           e.constData(), e.size()) == 0;
            });
        if (!sidecar ||
            (entry->d_type != DT_REG && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN))
            continue;
        const QString decoded = QFile::decodeName(entry->d_name);
        if (entry->d_type == DT_REG || QFileInfo(folder + decoded).isFile())
            names << decoded;
    }
    ::closedir(dir);
    return names;
}

// Which of two pictures of one shot is shown: fast thumbnails and previews first.
int mainPriority(TShotFileKind kind)
{
    switch (kind) {
    case TShotFileKind::Jpeg:
        return 0;
    case TShotFileKind::Heif:
        return 1;
    case TShotFileKind::Picture:
        return 2;
    default:
        return 3;
    }
}

struct Member
{
    qsizetype file;
    TShotFileKind kind;
    int shot = -1; // the shot the member's file is (or is part of)
};

// The loaded pictures of one folder with one base name.
struct Group
{
    QString key; // the path without extension
    std::vector<Member> members;
    int main = 0; // the member that is the shot's main picture
};

class ShotGrouping
{
public:
    ShotGrouping(const QStringList &files, bool keepTogether)
        : m_files(files), m_keepTogether(keepTogether)
    {
    }

    std::vector<TShot> run()
    {
        collectGroups();
        makeShots();
        findSidecars();
        return std::move(m_shots);
    }

private:
    void collectGroups()
    {
        m_groupOfFile.assign(m_files.size(), -1);
        for (qsizetype i = 0; i < m_files.size(); ++i) {
            const QString &path = m_files[i];
            const QString extension = PathExtension(path);
            const TShotFileKind kind = ShotFileKindOf(extension);
            if (extension.size() < 2 || kind == TShotFileKind::Stereo ||
                kind == TShotFileKind::Sidecar)
                continue;
            const QString key = path.left(path.size() - extension.size());
            int g = m_groupIndex.value(key, -1);
            if (g < 0) {
                g = int(m_groups.size());
                m_groupIndex.insert(key, g);
                m_groups.push_back({key, {}});
            }
            Group &group = m_groups[std::size_t(g)];
            const bool twice =
                std::any_of(group.members.begin(), group.members.end(),
                            [&](const Member &m) { return m_files[m.file] == path; });
            if (twice)
                continue; // a file loaded twice is a shot of its own
            group.members.push_back({i, kind});
            m_groupOfFile[std::size_t(i)] = g;
        }
        for (Group &group : m_groups) {
            for (int m = 1; m < int(group.members.size()); ++m)
                if (mainPriority(group.members[m].kind) <
                    mainPriority(group.members[group.main].kind))
                    group.main = m;
        }
    }

    void makeShots()
    {
        m_shots.reserve(m_files.size());
        for (qsizetype i = 0; i < m_files.size(); ++i) {
            const int g = m_groupOfFile[i];
            if (g < 0) {
                m_shots.push_back({m_files[i], {}});
                continue;
            }
            Group &group = m_groups[g];
            Member &member = *std::find_if(group.members.begin(), group.members.end(),
                                           [i](const Member &m) { return m.file == i; });
            if (!m_keepTogether) {
                member.shot = int(m_shots.size());
                m_shots.push_back({m_files[i], {}});
            } else if (&member == &group.members.front()) {
                const int shot = int(m_shots.size());
                TShot together{m_files[group.members[group.main].file], {}};
                for (Member &m : group.members) {
                    m.shot = shot;
                    if (&m != &group.members[group.main])
                        together.siblings << m_files[m.file].mid(group.key.size());
                }
                m_shots.push_back(std::move(together));
            }
        }
    }

    // One listing of each folder that holds a group; only names with a sidecar's extension
    // are looked at further.
    void findSidecars()
    {
        QSet<QString> listed;
        for (const Group &group : m_groups) {
            const QString folder = PathFolder(group.key);
            if (listed.contains(folder))
                continue;
            listed.insert(folder);
            for (const QString &name : sidecarNamesIn(folder)) {
                const auto [shot, tail] = ownerOf(folder, name);
                if (shot >= 0)
                    m_sidecars[shot] << tail;
            }
        }
        for (auto it = m_sidecars.begin(); it != m_sidecars.end(); ++it) {
            it->sort();
            m_shots[it.key()].siblings << *it;
        }
    }

    // The shot a sidecar named name in folder belongs to, and its tail there.
    std::pair<int, QString> ownerOf(const QString &folder, const QString &name) const
    {
        const QString stem = folder + PathWithoutExtension(name);
        // NAME.EXT.xmp: the picture NAME.EXT.
        const QString pictureExtension = PathExtension(stem);
        if (pictureExtension.size() > 1) {
            const QString key = stem.left(stem.size() - pictureExtension.size());
            if (const auto g = m_groupIndex.constFind(key); g != m_groupIndex.cend()) {
                const Group &group = m_groups[*g];
                for (const Member &m : group.members)
                    if (PathExtension(m_files[m.file])
                            .compare(pictureExtension, Qt::CaseInsensitive) == 0)
                        return {m.shot, tailIn(group, m, name)};
            }
        }
        // NAME.xmp: the shot, else the loaded RAW, else the main picture.
        const auto g = m_groupIndex.constFind(stem);
        if (g == m_groupIndex.cend())
            return {-1, {}};
        const Group &group = m_groups[*g];
        const Member *owner = &group.members[group.main];
        if (!m_keepTogether) {
            const auto raw =
                std::find_if(group.members.begin(), group.members.end(),
                             [](const Member &m) { return m.kind == TShotFileKind::Raw; });
            if (raw != group.members.end())
                owner = &*raw;
        }
        return {owner->shot, tailIn(group, *owner, name)};
    }

    // A sidecar's tail is counted from the base name of its shot's main picture, which in a
    // group is the group's base name.
    static QString tailIn(const Group &group, const Member &, const QString &name)
    {
        return name.mid(PathFileName(group.key).size());
    }

    const QStringList &m_files;
    const bool m_keepTogether;
    std::vector<int> m_groupOfFile;
    QHash<QString, int> m_groupIndex;
    std::vector<Group> m_groups;
    std::vector<TShot> m_shots;
    QHash<int, QStringList> m_sidecars;
};

} // namespace

TShotFileKind ShotFileKindOf(const QString &name)
{
    static const QHash<QString, TShotFileKind> kinds = [] {
        QHash<QString, TShotFileKind> k;
        for (const KindOfExtension &known : KnownExtensions)
            k.insert(QLatin1String(known.extension), known.kind);
        return k;
    }();
    const QString extension = PathExtension(name);
    if (extension.size() < 2 || extension.size() > 5)
        return TShotFileKind::Picture;
    return kinds.value(extension.mid(1).toLower(), TShotFileKind::Picture);
}

std::vector<TShot> GroupShots(const QStringList &files, bool keepTogether)
{
    return ShotGrouping(files, keepTogether).run();
}

QStringList ShotSiblingsOnDisk(const QString &path, const QStringList &extensions)
{
    const QString folder = PathFolder(path);
    const QString base = PathFileName(PathWithoutExtension(path)) + u'.';
    QStringList files{path};
    QDirIterator it(folder.isEmpty() ? QStringLiteral(".") : folder, QDir::Files);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        const QString other = folder + name;
        if (other != path && name.startsWith(base) && name.indexOf(u'.', base.size()) < 0 &&
            extensions.contains(PathExtension(name).mid(1).toLower()))
            files << other;
    }
    for (const TShot &shot : GroupShots(files, true)) {
        QStringList all{shot.main};
        for (const QString &tail : shot.siblings)
            all << SiblingPath(shot.main, tail);
        if (all.removeAll(path) > 0)
            return all;
    }
    return {};
}

QString SiblingPath(const QString &mainPath, const QString &tail)
{
    return PathWithoutExtension(mainPath) + tail;
}

QString SiblingTarget(const QString &mainPath, const QString &mainTarget, const QString &tail)
{
    const QString extension = PathExtension(mainPath);
    const QString base = !extension.isEmpty() && mainTarget.endsWith(extension, Qt::CaseInsensitive)
                             ? mainTarget.chopped(extension.size())
                             : PathWithoutExtension(mainTarget);
    return base + tail;
}

bool IsSidecarTail(const QString &tail)
{
    return ShotFileKindOf(tail) == TShotFileKind::Sidecar;
}

QString SiblingSummary(const QStringList &tails)
{
    QStringList labels;
    for (const QString &tail : tails) {
        QString label;
        switch (ShotFileKindOf(tail)) {
        case TShotFileKind::Raw:
            label = QStringLiteral("RAW");
            break;
        case TShotFileKind::Jpeg:
            label = QStringLiteral("JPEG");
            break;
        case TShotFileKind::Heif:
            label = QStringLiteral("HEIF");
            break;
        default:
            label = PathExtension(tail).mid(1).toUpper();
        }
        label.prepend(u'+');
        if (!labels.contains(label))
            labels << label;
    }
    return labels.join(u' ');
}

bool IsValidSiblingTail(const QString &tail)
{
    if (tail.size() < 2 || tail.size() > 255 || !tail.startsWith(u'.'))
        return false;
    for (const QChar c : tail)
        if (c == u'/' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return ShotFileKindOf(tail) != TShotFileKind::Stereo;
}
