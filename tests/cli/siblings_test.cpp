// A shot's siblings through duomira-cli, as separate processes on real files: run moves them
// with their pictures and stops on a clash only a sibling has; pair groups them (or, with
// --no-siblings, does not) and shows them; inspect lists them.
#include "clijpeg.h"
#include "support/qstringprint.h"
#include "support/testdata.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Result
{
    int exitCode = -1;
    QString out;
};

Result cli(const QString &root, const QStringList &arguments)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/.xdg-data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/.xdg-config"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(root);
    p.start(QStringLiteral(DUOMIRA_CLI_PATH), arguments);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

QStringList filesBelow(const QString &root)
{
    QStringList out;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = QDir(root).relativeFilePath(it.next());
        if (!f.startsWith(u'.'))
            out << f;
    }
    out.sort();
    return out;
}

// L/L0..2.jpg and R/R0..2.jpg taken at the same irregular times; L0 has a RAW (L0.dng)
// with an XMP file, L1 a "L1.jpg.xmp" edit.
void makeShots(const QString &root)
{
    QDir(root).mkpath(QStringLiteral("L"));
    QDir(root).mkpath(QStringLiteral("R"));
    const char *const seconds[] = {"05", "16", "38"};
    for (int i = 0; i < 3; ++i) {
        for (const char *side : {"L", "R"}) {
            QFile f(QStringLiteral("%1/%2/%2%3.jpg").arg(root, QLatin1String(side)).arg(i));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(jpegTakenAt(QByteArray("2024:05:01 10:00:") + seconds[i]));
        }
    }
    ASSERT_TRUE(QFile::copy(testDataPath(QStringLiteral("photos/raw/turned.dng")),
                            root + QStringLiteral("/L/L0.dng")));
    for (const char *name : {"/L/L0.xmp", "/L/L1.jpg.xmp"}) {
        QFile f(root + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<x:xmpmeta/>");
    }
}

const QStringList Sources{"L/L0.dng", "L/L0.jpg", "L/L0.xmp", "L/L1.jpg", "L/L1.jpg.xmp",
                          "L/L2.jpg", "R/R0.jpg", "R/R1.jpg", "R/R2.jpg"};

TEST(CliSiblings, RunMovesSiblingsAndStopsOnAClashOnlyASiblingHas)
{
    const QStringList move{"run",
                           "--mask",
                           "P#",
                           "--move",
                           "--rename-destination",
                           "--create-folders",
                           "--dest-left",
                           "dest/L",
                           "--dest-right",
                           "dest/R",
                           "--dest-mono",
                           "dest/M",
                           "--left",
                           "L",
                           "--right",
                           "R"};
    struct Case
    {
        const char *name;
        QStringList blocking; // files that exist before the run
        int exitCode;
        QStringList files;
    } cases[] = {
        {"the RAW and both XMP files move with their pictures",
         {},
         0,
         {"dest/L/P1_L.dng", "dest/L/P1_L.jpg", "dest/L/P1_L.xmp", "dest/L/P2_L.jpg",
          "dest/L/P2_L.jpg.xmp", "dest/L/P3_L.jpg", "dest/R/P1_R.jpg", "dest/R/P2_R.jpg",
          "dest/R/P3_R.jpg"}},
        {"a clash only a sibling has stops the job before anything happens",
         {"dest/L/P1_L.dng"},
         3,
         Sources + QStringList{"dest/L/P1_L.dng"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        makeShots(dir.path());
        for (const QString &f : c.blocking) {
            QDir(dir.path()).mkpath(QFileInfo(f).path());
            QFile(dir.filePath(f)).open(QIODevice::WriteOnly);
        }
        const Result r = cli(dir.path(), move);
        EXPECT_EQ(r.exitCode, c.exitCode) << qPrintable(r.out);
        QStringList expected = c.files;
        expected.sort();
        EXPECT_EQ(filesBelow(dir.path()), expected) << qPrintable(r.out);
    }
}

TEST(CliSiblings, PairShowsTheShotsSiblingsOrEveryFileWithNoSiblings)
{
    QTemporaryDir dir;
    makeShots(dir.path());
    const QString root = dir.path();
    struct Case
    {
        QStringList options;
        // Left paths and their siblings, "path: sibling sibling", relative to the folder.
        QStringList left;
    } cases[] = {
        {{}, {"L/L0.jpg: L/L0.dng L/L0.xmp", "L/L1.jpg: L/L1.jpg.xmp", "L/L2.jpg:"}},
        {{"--no-siblings"},
         {"L/L0.dng: L/L0.xmp", "L/L0.jpg:", "L/L1.jpg: L/L1.jpg.xmp", "L/L2.jpg:"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options.join(u' ').toStdString());
        const Result r = cli(root, QStringList{"pair", "--mode", "0"} + c.options +
                                       QStringList{"--left", "L", "--right", "R"});
        ASSERT_EQ(r.exitCode, 0) << qPrintable(r.out);
        QStringList left;
        const QJsonArray rows =
            QJsonDocument::fromJson(r.out.toUtf8()).object().value("rows").toArray();
        for (const QJsonValue row : rows) {
            const QJsonObject e = row.toObject().value("left").toObject();
            if (e.value("path").isNull())
                continue;
            QString line = QDir(root).relativeFilePath(e.value("path").toString()) + u':';
            for (const QJsonValue s : e.value("siblings").toArray())
                line += u' ' + QDir(root).relativeFilePath(s.toString());
            left << line;
        }
        left.sort();
        EXPECT_EQ(left, c.left) << qPrintable(r.out);
    }

    const Result inspect = cli(root, {"inspect", "L/L0.dng", "R/R0.jpg"});
    ASSERT_EQ(inspect.exitCode, 0) << qPrintable(inspect.out);
    const QJsonArray records = QJsonDocument::fromJson(inspect.out.toUtf8()).array();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].toObject().value("siblings").toArray().toVariantList(),
              QVariantList({"L/L0.jpg", "L/L0.xmp"}));
    EXPECT_FALSE(records[1].toObject().contains("siblings"));
}

} // namespace
