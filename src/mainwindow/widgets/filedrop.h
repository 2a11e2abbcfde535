#pragma once
// Files dragged from a file manager onto the main window or one of its lists.
#include "ui/visibletext.h"

#include <QDropEvent>
#include <QMimeData>
#include <QStringList>
#include <QUrl>
#include <QUtf8StringView>

// Local file paths of a drag, in order; other URLs are left out. A path that is not valid
// UTF-8 cannot be opened by its Unicode name: it comes with its undecodable bytes written as
// "\xNN", so that the loading can name it as it is.
inline QStringList localFiles(const QMimeData *mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl &url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        const QByteArray bytes =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        paths << (QUtf8StringView(bytes).isValidUtf8() ? url.toLocalFile() : NameFromBytes(bytes));
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
