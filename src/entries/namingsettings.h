#pragma once
// The naming settings of a session: the suffixes and destination folders of the three kinds
// of picture, the counter start and the folder creation switch. The option panels of the
// main window write them, the settings file restores them, the entries and the batch job
// read them. The session's entry store (TEntryStore) holds them.
#include <QString>

struct TNamingSettings
{
    QString SuffixLeft;  // "_L"
    QString SuffixRight; // "_R"
    QString SuffixMono;  // "_M"
    // A stereo file renamed in its folder takes its pair's new name and this (empty: none).
    QString SuffixStereo;
    QString FolderLeft;               // <home>/Stereos/Test_L
    QString FolderRight;              // <home>/Stereos/Test_R
    QString FolderMono;               // <home>/Stereos/Test_M
    qint32 StartNumber = 1;           // counter of the first row
    bool CreateMissingFolders = true; // "Always create missing folders"

    // The initial values: suffixes "_L", "_R", "_M", folders Test_L/_R/_M in
    // <home>/Stereos, start number 1, missing folders created.
    static TNamingSettings Defaults();
};
