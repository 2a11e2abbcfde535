#include "ui/versioninfo.h"

#include "ui/appinfo.h"

#include <QList>

namespace {

QByteArray ownRecord()
{
    const QString record = QStringLiteral("FileVersion=") + appinfo::versionText() +
                           QStringLiteral("\nProductVersion=") + appinfo::versionText() +
                           QStringLiteral("\nProductName=") + appinfo::applicationTitle() +
                           QStringLiteral("\nFileDescription=Stereo picture pairing and "
                                          "renaming\nLegalCopyright=") +
                           appinfo::copyrightText() + QLatin1Char('\n');
    return record.toUtf8();
}

} // namespace

TVersionInfoFile::TVersionInfoFile(const QString &fileName)
{
    if (fileName.isEmpty())
        m_block = ownRecord();
}

QString TVersionInfoFile::GetString(const QString &name) const
{
    if (m_block.isEmpty() || name.isEmpty())
        return {};
    const QByteArray key = name.toUtf8() + '=';
    for (const QByteArray &line : m_block.split('\n')) {
        if (line.startsWith(key))
            return QString::fromUtf8(line.mid(key.size()));
    }
    return {};
}

QString TVersionInfoFile::GetField(int field) const
{
    switch (field) {
    case 1:
        return GetString(QStringLiteral("LegalCopyright"));
    case 2:
        return GetString(QStringLiteral("FileVersion"));
    case 3:
        return VersionParts(GetString(QStringLiteral("FileVersion"))).first;
    case 4:
        return VersionParts(GetString(QStringLiteral("FileVersion"))).second;
    default:
        return {};
    }
}

std::pair<QString, QString> VersionParts(const QString &fileVersion)
{
    int dots = 0;
    qsizetype i = 0;
    for (; i < fileVersion.size(); ++i) {
        if (fileVersion[i] == QLatin1Char('.') && ++dots == 2)
            break;
    }
    if (i >= fileVersion.size())
        return {fileVersion, QString()};
    return {fileVersion.left(i), fileVersion.mid(i + 1)};
}

QString AboutVersionText(const TVersionInfoFile &info)
{
    return QStringLiteral("Version: %1 %2").arg(info.GetField(3), info.GetField(4));
}
