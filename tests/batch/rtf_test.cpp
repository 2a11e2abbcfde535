// The saved job log read back by a real RTF reader (unrtf): colours, bold lines and every
// character survive.
#include "batch/protokoll.h"
#include "batch/rtfwriter.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(RtfWriter, AReaderShowsTheColoursBoldLinesAndTextOfTheLog)
{
    const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
    if (unrtf.isEmpty())
        GTEST_SKIP() << "unrtf is not installed";
    TProtokoll log;
    log.AddLine(QStringLiteral("Datum: 1.2.2026"));
    log.AddLine(
        QStringLiteral("Error copy'ing image 3 (Left): \t{C:\\a} ==> \tN\u00B0 \u65E5\u672C"),
        logcolor::Red);
    log.AddLine(QStringLiteral("Batch Job was successful"), logcolor::Green, LogStyle::Bold);
    log.AddLine(QStringLiteral("plain again"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.rtf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(ProtokollToRtf(log.Lines()));
    file.close();

    QProcess reader;
    reader.start(unrtf, {QStringLiteral("--html"), path});
    ASSERT_TRUE(reader.waitForFinished(10000));
    const QString html = QString::fromUtf8(reader.readAllStandardOutput());
    const qsizetype black = html.indexOf(QStringLiteral("<font color=\"#000000\">Datum: 1.2.2026"));
    const qsizetype red =
        html.indexOf(QStringLiteral("<font color=\"#ff0000\">Error copy'ing image 3 (Left):"));
    const qsizetype green =
        html.indexOf(QStringLiteral("<font color=\"#008000\"><b>Batch Job was successful"));
    const qsizetype plain = html.indexOf(QStringLiteral("<font color=\"#000000\">plain again"));
    EXPECT_GE(black, 0) << html.toStdString();
    EXPECT_GT(red, black);
    EXPECT_GT(green, red);
    EXPECT_GT(plain, green);
    EXPECT_TRUE(html.contains(QStringLiteral("{C:\\a}")));
    for (const char *character : {"N&deg;", "&#26085;", "&#26412;"})
        EXPECT_TRUE(html.contains(QString::fromLatin1(character))) << character;
}
