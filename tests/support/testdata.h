#pragma once
// Paths of the test fixtures in tests/data.
#include <QByteArray>
#include <QFile>
#include <QString>

inline QString testDataPath(const QString &relative = {})
{
    QString base = QStringLiteral(DUOMIRA_TEST_DATA_DIR);
    return relative.isEmpty() ? base : base + QLatin1Char('/') + relative;
}

// The bytes of a file (empty when it cannot be read).
inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
