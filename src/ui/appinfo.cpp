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
QString copyrightText()
{
    return QStringLiteral("Copyright \u00A9 2026 The Duomira developers");
}
QString contactText()
{
    return QStringLiteral("<c>Stereo photography: two cameras, one picture.<LF>"
                          "<c>Questions and reports: the project's issue tracker");
}
QString acknowledgementsText()
{
    return QStringLiteral("<c><FB>Thanks<FN><LF><LF>"
                          "<c>Duomira is built with<LF>"
                          "<c>the Qt toolkit (LGPL 3),<LF>"
                          "<c>libjpeg-turbo for decoding and lossless rotation of JPEG files,<LF>"
                          "<c>and exiv2 for the metadata of other picture formats.<LF><LF>"
                          "<c>Many thanks to the people who make and maintain them.");
}
} // namespace appinfo
