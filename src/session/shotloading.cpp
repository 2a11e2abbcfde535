#include "session/shotloading.h"

#include "entries/datensatz.h"
#include "session/idleprocessor.h"

#include <QFileInfo>

TDatensatz *AddShot(TIdleProcessor &loading, const TShot &shot, ListRowModel &target,
                    const NewEntryDefaults &defaults)
{
    TDatensatz *entry = loading.AddFile(shot.main, target, defaults);
    if (entry && !entry->IsStereoView()) {
        // A picture named in a drop that is no file is no sibling (sidecars come from the
        // folder's listing).
        QStringList siblings = shot.siblings;
        siblings.removeIf([&](const QString &tail) {
            return !IsSidecarTail(tail) && !QFileInfo(SiblingPath(shot.main, tail)).isFile();
        });
        entry->SetSiblings(siblings);
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
