#include "session/shotloading.h"

#include "entries/datensatz.h"
#include "entries/listrows.h"
#include "session/idleprocessor.h"

#include <QFileInfo>

namespace {

// The siblings of shot (tails of its main picture) that are on disk: a picture named in a
// drop that is no file is no sibling (sidecars come from the folder's listing).
QStringList existingSiblings(const TShot &shot)
{
    QStringList siblings = shot.siblings;
    siblings.removeIf([&](const QString &tail) {
        return !IsSidecarTail(tail) && !QFileInfo(SiblingPath(shot.main, tail)).isFile();
    });
    return siblings;
}

} // namespace

TDatensatz *AddShot(TIdleProcessor &loading, const TShot &shot, ListRowModel &target,
                    const NewEntryDefaults &defaults)
{
    TDatensatz *entry = loading.AddFile(shot.main, target, defaults);
    if (entry && !entry->IsStereoView()) {
        entry->SetSiblings(existingSiblings(shot));
        return entry;
    }
    for (const QString &tail : shot.siblings) {
        if (IsSidecarTail(tail))
            continue;
        TDatensatz *picture = loading.AddFile(SiblingPath(shot.main, tail), target, defaults);
        if (!entry)
            entry = picture;
    }
    return entry;
}

QHash<QString, TDatensatz *> LoadedShots(const ListRowModel &list)
{
    QHash<QString, TDatensatz *> shots;
    for (int row = 0; row < list.Count(); ++row) {
        TDatensatz *e = list.EntryAt(row);
        if (e && !e->SourcePath().isEmpty() && !e->IsStereoView())
            shots.insert(PathWithoutExtension(e->SourcePath()), e);
    }
    return shots;
}

TDatensatz *JoinLoadedShot(const QHash<QString, TDatensatz *> &loaded, const TShot &shot)
{
    if (loaded.isEmpty() || ShotFileKindOf(shot.main) == TShotFileKind::Stereo)
        return nullptr;
    const QString base = PathWithoutExtension(shot.main);
    TDatensatz *e = loaded.value(base);
    if (!e || e->SourcePath() == shot.main)
        return nullptr;
    // The shot's base name is the entry's, so its tails are the entry's tails too.
    QStringList siblings = e->Siblings();
    const QString ownTail = e->SourcePath().mid(base.size());
    for (const QString &tail : QStringList{shot.main.mid(base.size())} + existingSiblings(shot)) {
        if (tail != ownTail && !siblings.contains(tail))
            siblings << tail;
    }
    e->SetSiblings(siblings);
    return e;
}
