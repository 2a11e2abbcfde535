#include "batch/assistentcode.h"

QString AssistentCodeText(int code)
{
    switch (code) {
    case TAssistentCode(TAssistentStep::Start):
        return QStringLiteral("Destination folder");
    case TAssistentCode(TAssistentStep::AskRenameSourceRemain):
    case TAssistentCode(TAssistentStep::AskRenameSourceCopy):
        return QStringLiteral("Rename source images?");
    case TAssistentCode(TAssistentStep::AskRenameDestMove):
    case TAssistentCode(TAssistentStep::AskRenameDestCopy):
        return QStringLiteral("Rename destination folder?");
    case TAssistentCode(TAssistentStep::AskRotateSourceRemain):
    case TAssistentCode(TAssistentStep::AskRotateSourceCopy):
    case TAssistentCode(TAssistentStep::AskRotateSourceAfterShared):
        return QStringLiteral("Rotate JPG-Files in source folder?");
    case TAssistentCode(TAssistentStep::SharedFilesRemain):
    case TAssistentCode(TAssistentStep::SharedFilesCopy):
        return QStringLiteral("Resolve conflict?");
    case TAssistentCode(TAssistentStep::CheckFoldersMove):
    case TAssistentCode(TAssistentStep::CheckFoldersCopy):
        return QStringLiteral("Create required folders?");
    case TAssistentCode(TAssistentStep::CheckNames):
        return QStringLiteral("Resolve naming conflict?");
    case TAssistentCode(TAssistentStep::AskRotateDestMove):
        return QStringLiteral("Rotate JPG-Files in destination folder?");
    case TAssistentCode(TAssistentStep::AskRotateDestCopy):
        return QStringLiteral("Rotate JPG-Files in destination folder");
    case TAssistentCode(TAssistentStep::AskSpmList):
        return QStringLiteral("Create SPM compatible list file?");
    case TAssistentCode(TAssistentStep::AskStereoOutputs):
        return QStringLiteral("Write stereo files?");
    case TAssistentCode(TAssistentStep::Confirm):
        return QStringLiteral("Confirm Batch Job");
    case TAssistentCode(TAssistentStep::Run):
        return QStringLiteral("Execute Batch Job");
    case acDontRenameSource:
        return QStringLiteral("Don't rename source images");
    case acRenameSource:
        return QStringLiteral("Rename source images");
    case acDontRenameDest:
        return QStringLiteral("Don't rename files in destination folder");
    case acRenameDest:
        return QStringLiteral("Rename files in destination folder");
    case acDontRotateSource:
        return QStringLiteral("Don't rotate source images");
    case acDontRotateDest:
        return QStringLiteral("Don't rotate images in destination folder");
    case acRotateSource:
        return QStringLiteral("Rotate source images");
    case acRotateDest:
        return QStringLiteral("Rotate images in destination folder");
    case acDontCreateFolders:
        return QStringLiteral("Don't create any folders");
    case acCreateFolders:
        return QStringLiteral("Yes, create required folders");
    case acCreateMissingFolders:
        return QStringLiteral("Create missing folders");
    case acKeepIncomplete:
        return QStringLiteral("Don't complete missing images");
    case acCompletePartners:
        return QStringLiteral("Complete partner image with a copy");
    case acCopyMoveNothing:
        return QStringLiteral("Copy/Move nothing");
    case acCopy:
        return QStringLiteral("Copy images");
    case acMove:
        return QStringLiteral("Move images");
    case acWriteSpmList:
        return QStringLiteral("Create SPM compatible list file");
    case acNoSpmList:
        return QStringLiteral("Don't create SPM compatible list file");
    case acWriteStereoFiles:
        return QStringLiteral("Write stereo files");
    case acScheduled:
        return QStringLiteral("Batch Job has been scheduled");
    case acSuccessful:
        return QStringLiteral("Batch Job was successful");
    case acIncomplete:
        return QStringLiteral("Batch Job incomplete");
    default:
        return QString();
    }
}
