#include "batch/assistentcode.h"

QString AssistentCodeText(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("Destination folder");
    case 5:
    case 6:
        return QStringLiteral("Rename source images?");
    case 7:
    case 8:
        return QStringLiteral("Rename destination folder?");
    case 9:
    case 26:
    case 34:
        return QStringLiteral("Rotate JPG-Files in source folder?");
    case 10:
    case 11:
        return QStringLiteral("Resolve conflict?");
    case 15:
    case 19:
        return QStringLiteral("Create required folders?");
    case 30:
        return QStringLiteral("Resolve naming conflict?");
    case 31:
        return QStringLiteral("Rotate JPG-Files in destination folder?");
    case 39:
        return QStringLiteral("Rotate JPG-Files in destination folder");
    case 49:
        return QStringLiteral("Create SPM compatible list file?");
    case 52:
        return QStringLiteral("Confirm Batch Job");
    case 53:
        return QStringLiteral("Execute Batch Job");
    case 57:
        return QStringLiteral("Don't rename source images");
    case 58:
        return QStringLiteral("Rename source images");
    case 59:
        return QStringLiteral("Don't rename files in destination folder");
    case 60:
        return QStringLiteral("Rename files in destination folder");
    case 61:
        return QStringLiteral("Don't rotate source images");
    case 62:
        return QStringLiteral("Don't rotate images in destination folder");
    case 63:
        return QStringLiteral("Rotate source images");
    case 64:
        return QStringLiteral("Rotate images in destination folder");
    case 65:
        return QStringLiteral("Don't create any folders");
    case 66:
        return QStringLiteral("Yes, create required folders");
    case 67:
        return QStringLiteral("Create missing folders");
    case 68:
        return QStringLiteral("Don't complete missing images");
    case 69:
        return QStringLiteral("Complete partner image with a copy");
    case 70:
        return QStringLiteral("Copy/Move nothing");
    case 71:
        return QStringLiteral("Copy images");
    case 72:
        return QStringLiteral("Move images");
    case 73:
        return QStringLiteral("Create SPM compatible list file");
    case 74:
        return QStringLiteral("Don't create SPM compatible list file");
    case 75:
        return QStringLiteral("Batch Job has been scheduled");
    case 76:
        return QStringLiteral("Batch Job was successful");
    case 77:
        return QStringLiteral("Batch Job incomplete");
    default:
        return QString();
    }
}
