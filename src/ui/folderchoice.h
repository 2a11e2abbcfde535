#pragma once
// Where the folder chooser opens for the text of a folder field, and its question before
// it creates a folder that does not exist yet. The window is TFolderDialog
// (ui/widgets/folderdialog.h).
#include <QString>

struct TFolderStart
{
    QString Existing; // the deepest folder of the text that exists: the chooser opens there
    QString Missing;  // the rest of the text below it ("Stereos/Test_L"), empty when none
};

// The chooser's start for a field's text: an absolute path opens at its deepest existing
// folder with the missing rest proposed as the name, so that accepting creates it. An empty
// or relative text (a folder written on another system, "C:\Stereos") opens at home.
TFolderStart FolderChooserStart(const QString &fieldText);

// The question before a folder is created (markup of the message box).
QString CreateFolderQuestion(const QString &folder);
// The message when it could not be created.
QString CreateFolderFailedText(const QString &folder);
