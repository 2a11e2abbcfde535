#include "session/loading.h"

#include "entries/datensatz.h"
#include "ui/markup.h"
#include "ui/visibletext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <dirent.h>

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
    // Stereo cameras' own files are JPEG files too.
    QStringList extensions{QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("mpo"),
                           QStringLiteral("jps")};
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

namespace {

// A name that does not come back to the same bytes: the file cannot be opened by it.
bool roundTrips(const QByteArray &bytes)
{
    return QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

// The entries of folder whose names are not valid UTF-8 and whose extension is one of
// extensions (any extension when extensions is empty), their undecodable bytes written as
// "\xNN".
QStringList unaddressableIn(const QString &folder, const QStringList &extensions)
{
    QStringList found;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return found;
    while (const dirent *d = ::readdir(dir)) {
        const QByteArray bytes(d->d_name);
        if (roundTrips(bytes))
            continue;
        const QString name = QFile::decodeName(bytes);
        if (extensions.isEmpty() || extensions.contains(QFileInfo(name).suffix().toLower()))
            found << QDir(folder).filePath(NameFromBytes(bytes));
    }
    ::closedir(dir);
    found.sort();
    return found;
}

} // namespace

QString UnaddressableFilesMessage()
{
    return QStringLiteral("These files have names that are not valid UTF-8 and cannot be "
                          "opened; rename them and load them again:");
}

QString DamagedStereoFilesMessage()
{
    return QStringLiteral(
        "These stereo files are damaged and have been loaded as single pictures:");
}

QString VanishedFilesMessage()
{
    return QStringLiteral("These files were gone when their turn came to be read and have "
                          "been left out:");
}

QString LoadingProblemText(const QString &message, const QStringList &files)
{
    QString text = QStringLiteral("<FB><c4><FS12>Loading:<FN><LF>") + message;
    constexpr int shown = 20;
    for (qsizetype i = 0; i < files.size() && i < shown; ++i)
        text += QStringLiteral("<LF>  ") + MarkupLiteral(files[i]);
    if (files.size() > shown)
        text += QStringLiteral("<LF>  ... and %1 more").arg(files.size() - shown);
    return text;
}

QString OutOfMemoryMessage(int loaded, int total)
{
    return QStringLiteral("Not enough memory to load more pictures: %1 of %2 loaded")
        .arg(loaded)
        .arg(total);
}

QStringList ExpandDroppedPaths(const QStringList &paths, const QStringList &extensions,
                               QStringList *unaddressable)
{
    QStringList files;
    files.reserve(paths.size());
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (!info.isDir()) {
            // A dropped file whose name is not valid UTF-8: the drop names it with those
            // bytes escaped (or lost them on the way, U+FFFD), so it is not found.
            if (unaddressable && !info.exists() &&
                (path.contains(QChar::ReplacementCharacter) ||
                 unaddressableIn(info.absolutePath(), {}).contains(info.absoluteFilePath())))
                *unaddressable << path;
            files << path;
            continue;
        }
        if (unaddressable)
            *unaddressable << unaddressableIn(path, extensions);
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

void TQuietLoadingView::LetEventsThrough()
{
    QCoreApplication::processEvents();
}
