#pragma once
// Files dragged from a file manager onto the main window or one of its lists.
#include <QDropEvent>
#include <QMimeData>
#include <QStringList>
#include <QUrl>

// Local file paths of a drag, in order; other URLs are left out.
inline QStringList localFiles(const QMimeData *mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

// Accepts a drag or drop as a copy when it carries local files and returns them;
// otherwise ignores it and returns nothing. Enter and move events are drop events too.
inline QStringList acceptFileDrop(QDropEvent *event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return paths;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return paths;
}
