#pragma once
// The program's name and version as shown in titles and the About box.
#include <QString>

namespace appinfo {
QString applicationTitle();
QString versionText(); // "1.0.0.0"
} // namespace appinfo
