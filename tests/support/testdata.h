#pragma once
// Paths of the test fixtures in tests/data.
#include <QString>

inline QString testDataPath(const QString &relative = {})
{
    QString base = QStringLiteral(DUOMIRA_TEST_DATA_DIR);
    return relative.isEmpty() ? base : base + QLatin1Char('/') + relative;
}
