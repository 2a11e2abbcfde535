#pragma once
// The SPM list file's path: the session holds it (starting at DefaultSpmListFile()), the
// wizard's SPM page edits it, the settings file restores it, the run writes the list there.
#include <QString>

// <home>/Stereos/SPM_List.TXT
QString DefaultSpmListFile();

// A folder or file path as the user typed it: "~" and a leading "~/" stand for the home
// folder; surrounding blanks are dropped. Anything else is returned as it is (a relative
// path stays relative; the name check rejects it).
QString ExpandUserPath(const QString &text);
