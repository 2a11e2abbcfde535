#include "ui/appinfo.h"

namespace appinfo {
QString applicationTitle()
{
    return QStringLiteral("Duomira");
}
QString versionText()
{
    return QStringLiteral(DUOMIRA_VERSION);
}
} // namespace appinfo
