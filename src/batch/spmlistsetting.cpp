#include "batch/spmlistsetting.h"

#include <QDir>

QString DefaultSpmListFile()
{
    return QDir::homePath() + QStringLiteral("/Stereos/SPM_List.TXT");
}

QString ExpandUserPath(const QString &text)
{
    const QString t = text.trimmed();
    if (t == QLatin1String("~"))
        return QDir::homePath();
    if (t.startsWith(QLatin1String("~/")))
        return QDir::homePath() + t.mid(1);
    return t;
}
