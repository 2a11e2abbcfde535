#include "support/testdata.h"

QString testDataPath(const QString &relative)
{
    QString base = QStringLiteral(DUOMIRA_TEST_DATA_DIR);
    return relative.isEmpty() ? base : base + QLatin1Char('/') + relative;
}
