#pragma once
// The program-wide naming settings: the suffixes and destination folders of the three kinds
// of picture, the counter start and the folder creation switch. The option panels of the
// main window write them, the settings file restores them, the entries and the batch job
// read them. There is exactly one instance; tests reset it with ResetNamingSettings().
#include <QString>

struct TNamingSettings
{
    QString SuffixLeft;               // "_L"
    QString SuffixRight;              // "_R"
    QString SuffixMono;               // "_M"
    QString FolderLeft;               // <home>/Stereos/Test_L
    QString FolderRight;              // <home>/Stereos/Test_R
    QString FolderMono;               // <home>/Stereos/Test_M
    qint32 StartNumber = 1;           // counter of the first row
    bool CreateMissingFolders = true; // "Always create missing folders"

    // The initial values: suffixes "_L", "_R", "_M", folders Test_L/_R/_M in
    // <home>/Stereos, start number 1, missing folders created.
    static TNamingSettings Defaults();
};

// The one program-wide instance.
TNamingSettings &NamingSettings();

// Puts the program-wide instance back to TNamingSettings::Defaults().
void ResetNamingSettings();
