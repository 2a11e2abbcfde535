#include "ui/folderchoice.h"

#include "ui/markup.h"

#include <QDir>
#include <QFileInfo>

TFolderStart FolderChooserStart(const QString &fieldText)
{
    const QString text = fieldText.trimmed();
    if (text.isEmpty() || QDir::isRelativePath(text))
        return {QDir::homePath(), QString()};
    QString existing = QDir::cleanPath(text);
    QStringList missing;
    // Up from the text to the first folder that exists; the root always does, but a
    // name that exists as a file is no place to open either.
    while (!QFileInfo(existing).isDir()) {
        const QFileInfo info(existing);
        const QString parent = info.path();
        if (parent == existing)
            return {QDir::homePath(), QString()};
        missing.prepend(info.fileName());
        existing = parent;
    }
    if (!missing.isEmpty() && QFileInfo(QDir(existing).filePath(missing.first())).exists())
        missing.clear(); // a file stands where the folder should be
    return {existing, missing.join(QLatin1Char('/'))};
}

QString CreateFolderQuestion(const QString &folder)
{
    return QStringLiteral("The folder<LF><FB>%1<FN><LF>does not exist. Create it?")
        .arg(MarkupLiteral(QDir::toNativeSeparators(folder)));
}

QString CreateFolderFailedText(const QString &folder)
{
    return QStringLiteral("The folder<LF><FB>%1<FN><LF>could not be created.")
        .arg(MarkupLiteral(QDir::toNativeSeparators(folder)));
}
