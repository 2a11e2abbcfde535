#include "entries/namingsettings.h"

#include <QDir>

TNamingSettings TNamingSettings::Defaults()
{
    TNamingSettings s;
    s.SuffixLeft = QStringLiteral("_L");
    s.SuffixRight = QStringLiteral("_R");
    s.SuffixMono = QStringLiteral("_M");
    const QString base = QDir::homePath() + QStringLiteral("/Stereos/");
    s.FolderLeft = base + QStringLiteral("Test_L");
    s.FolderRight = base + QStringLiteral("Test_R");
    s.FolderMono = base + QStringLiteral("Test_M");
    s.StartNumber = 1;
    s.CreateMissingFolders = true;
    return s;
}
