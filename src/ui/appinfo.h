#pragma once
// The program's name, version, copyright and contact texts as shown in titles, the About
// box and the settings file.
#include <QString>

namespace appinfo {
QString applicationTitle();
QString versionText(); // "1.0.0.0", set once in the build
QString copyrightText();
// The two contact lines of the About box (markup).
QString contactText();
// The acknowledgements of the About box (markup): the libraries Duomira uses.
QString acknowledgementsText();
} // namespace appinfo
