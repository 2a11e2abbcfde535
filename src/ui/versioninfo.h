#pragma once
// TVersionInfoFile: reads the version record of a file. The program's own record is set
// once in the build (the project version in CMakeLists.txt) and compiled in; it holds the
// string values "FileVersion", "ProductVersion", "ProductName", "FileDescription" and
// "LegalCopyright". Other files carry no record this reader knows.
#include <QByteArray>
#include <QString>

#include <utility>

class TVersionInfoFile
{
public:
    // fileName empty: the program's own file.
    explicit TVersionInfoFile(const QString &fileName = QString());

    // Size of the version record in bytes; 0 when the file has none.
    qsizetype Size() const { return m_block.size(); }
    bool HasBlock() const { return !m_block.isEmpty(); }

    // The string value name of the record, or an empty text.
    QString GetString(const QString &name) const;
    // 1 "LegalCopyright", 2 "FileVersion", 3 and 4 the first and second part of
    // "FileVersion" (VersionParts); any other number gives an empty text.
    QString GetField(int field) const;

private:
    QByteArray m_block; // "Name=Value" lines, UTF-8
};

// Splits a version text at its second ".": "1.0.0.0" gives "1.0" and "0.0", "2.5" gives
// "2.5" and an empty second part.
std::pair<QString, QString> VersionParts(const QString &fileVersion);

// The About box's version line: "Version: 1.0 0.0".
QString AboutVersionText(const TVersionInfoFile &info);
