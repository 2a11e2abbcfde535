#include "mainwindow/loading.h"

#include "entries/datensatz.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

int validRotation(int itemIndex)
{
    return itemIndex >= 0 && itemIndex <= 3 ? itemIndex : 0;
}

} // namespace

int NewEntryDefaults::RotationOf(int side) const
{
    return validRotation(side == dsLeft ? RotationLeft : RotationRight);
}

bool NewEntryDefaults::MirrorOf(int side) const
{
    return side == dsLeft ? MirrorLeft : MirrorRight;
}

bool NewEntryDefaults::BatchOf(int side) const
{
    return !(side == dsLeft ? ExcludeLeft : ExcludeRight);
}

QString StatusAddingFiles()
{
    return QLatin1String(StatusReadingData) + QLatin1String(" 1/3");
}

QString StatusReadingMetadata(int index, int count)
{
    return QLatin1String(StatusReadingData) + QStringLiteral(" 3/3  (%1/%2)").arg(index).arg(count);
}

QString RemoveAllQuestion()
{
    return QStringLiteral(
        "<FB><c4><FS12>Confirmation required:<FN> <LF>Remove all entries from both lists?");
}

QStringList ReadableImageExtensions(bool libraryAvailable, const QString &fileFilter)
{
    QStringList extensions{QStringLiteral("jpg"), QStringLiteral("jpeg")};
    if (!libraryAvailable)
        return extensions;
    // "description|patterns|description|patterns...": every second field holds patterns.
    const QStringList fields = fileFilter.split(QLatin1Char('|'));
    for (qsizetype i = 1; i < fields.size(); i += 2) {
        for (const QString &pattern : fields[i].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.startsWith(QLatin1String("*.")))
                continue;
            const QString extension = trimmed.mid(2).toLower();
            if (extension.isEmpty() || extension.contains(QLatin1Char('*')) ||
                extension.contains(QLatin1Char('?')))
                continue;
            if (!extensions.contains(extension))
                extensions << extension;
        }
    }
    return extensions;
}

QStringList ExpandDroppedPaths(const QStringList &paths, const QStringList &extensions)
{
    QStringList files;
    files.reserve(paths.size());
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (!info.isDir()) {
            files << path;
            continue;
        }
        const QDir dir(path);
        QStringList names;
        for (const QFileInfo &child : dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot)) {
            if (child.isFile() && extensions.contains(child.suffix().toLower()))
                names << child.fileName();
        }
        // Sorted by name, letter case aside (and then by case, so the order is total).
        std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
            const int order = a.compare(b, Qt::CaseInsensitive);
            return order != 0 ? order < 0 : a < b;
        });
        for (const QString &name : names)
            files << dir.filePath(name);
    }
    return files;
}
