// duomira-cli run end to end: a separate process on real JPEG files in a temporary folder.
// Each row is one kind of job; after it, the folder holds exactly the files the job should
// leave, and the exit status says what happened.
#include "clijpeg.h"
#include "support/qstringprint.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

namespace {

struct RunCase
{
    const char *name;
    QStringList options; // besides --left L --right R
    int exitCode;
    QStringList files;    // every file below the folder afterwards (sources included)
    QStringList outLines; // lines standard output must contain
};

// Every file below root, relative to it, sorted.
QStringList filesBelow(const QString &root)
{
    QStringList out;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

// L/L0..2.jpg and R/R0..2.jpg below root: both cameras at the same times, irregular enough
// to be paired.
bool makeThreePairs(const QString &root)
{
    QDir(root).mkpath(QStringLiteral("L"));
    QDir(root).mkpath(QStringLiteral("R"));
    const int seconds[] = {5, 16, 38};
    for (int i = 0; i < 3; ++i) {
        for (const char *side : {"L", "R"}) {
            QFile f(QStringLiteral("%1/%2/%2%3.jpg").arg(root, QLatin1String(side)).arg(i));
            if (!f.open(QIODevice::WriteOnly))
                return false;
            f.write(jpegTakenAt(QByteArray("2024:05:01 10:00:") +
                                QByteArray::number(seconds[i]).rightJustified(2, '0')));
        }
    }
    return true;
}

} // namespace

TEST(CliRun, JobsOnRealFiles)
{
    const QStringList sources{"L/L0.jpg", "L/L1.jpg", "L/L2.jpg",
                              "R/R0.jpg", "R/R1.jpg", "R/R2.jpg"};
    const QStringList renamed{"L/P001_L.jpg", "L/P002_L.jpg", "L/P003_L.jpg",
                              "R/P001_R.jpg", "R/P002_R.jpg", "R/P003_R.jpg"};
    QStringList copies;
    for (const QString &f : renamed)
        copies << QStringLiteral("dest/") + f;
    const QStringList dest{"--dest-left", "dest/L",      "--dest-right",
                           "dest/R",      "--dest-mono", "dest/M"};
    const RunCase cases[] = {
        {"copy, renamed in the destination, with an SPM list in a new folder",
         dest + QStringList{"--copy", "--rename-destination", "--create-folders", "--spm-list",
                            "lists/pairs.txt", "--log", "job.rtf"},
         0,
         QStringList{"job.rtf", "lists/pairs.txt"} + sources + copies,
         {"Batch Job was successful", "SPM list written to "}},
        {"move",
         dest + QStringList{"--move", "--rename-destination", "--create-folders"},
         0,
         copies,
         {"Batch Job was successful"}},
        {"rename only", {"--rename-source"}, 0, renamed, {"Batch Job was successful"}},
        {"a dry run touches nothing and prints the plan",
         dest + QStringList{"--copy", "--rename-destination", "--create-folders", "--dry-run"},
         0,
         sources,
         {"mkdir @/dest/L", "copy @/L/L0.jpg -> @/dest/L/P001_L.jpg"}},
        {"a dry run plans the new folder of the SPM list",
         dest + QStringList{"--copy", "--create-folders", "--spm-list", "lists/pairs.txt",
                            "--dry-run"},
         0,
         sources,
         {"mkdir @/lists", "write @/lists/pairs.txt"}},
        {"the log never replaces a file, not even a picture the job moves there",
         dest + QStringList{"--move", "--rename-destination", "--create-folders", "--log",
                            "dest/L/P001_L.jpg"},
         3,
         sources,
         {"Job log file cannot be written: @/dest/L/P001_L.jpg"}},
        {"a failed check touches nothing",
         dest + QStringList{"--copy"},
         3,
         sources,
         {"Missing destination folder: @/dest/L"}},
        {"a name clash is a failed check",
         {"--copy", "--rename-destination", "--create-folders", "--dest-left", "dest",
          "--dest-right", "dest", "--suffix-right", "_l"},
         3,
         sources,
         {"Same filename with image"}},
        {"a list that cannot be written makes the job incomplete",
         {"--rename-source", "--spm-list", "listdir"},
         1,
         renamed,
         {"Batch Job incomplete"}},
        {"a combination the wizard never offers", {"--move", "--rename-source"}, 2, sources, {}},
        {"stereo files of every pair, next to the renamed pictures",
         {"--rename-source", "--stereo-output", "half-sbs,mpo", "--dest-stereo", "3d"},
         0,
         renamed + QStringList{"3d/P001.mpo", "3d/P001_HSBS.jpg", "3d/P002.mpo", "3d/P002_HSBS.jpg",
                               "3d/P003.mpo", "3d/P003_HSBS.jpg"},
         {"Writing the stereo file of image 0 (Right): \t@/3d/P001_HSBS.jpg"}},
        {"a dry run plans the stereo files and their folder",
         dest + QStringList{"--copy", "--create-folders", "--stereo-output", "anaglyph",
                            "--dest-stereo", "3d", "--align", "--quality", "80", "--dry-run"},
         0,
         sources,
         {"mkdir @/3d", "create @/3d/P003_Anaglyph.jpg"}},
        {"an unknown stereo output",
         {"--rename-source", "--stereo-output", "mpo,3dtv"},
         2,
         sources,
         {}},
        {"a quality beyond 100",
         {"--rename-source", "--stereo-output", "sbs", "--quality", "101"},
         2,
         sources,
         {}},
        {"stereo files need a job that renames, copies or moves",
         {"--stereo-output", "sbs"},
         2,
         sources,
         {}},
    };
    for (const RunCase &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString root = dir.path();
        QDir(root).mkpath(QStringLiteral("listdir"));
        ASSERT_TRUE(makeThreePairs(root));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/.xdg-data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/.xdg-config"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(root);
        p.start(QStringLiteral(DUOMIRA_CLI_PATH), QStringList{"run", "--mask", "P###"} + c.options +
                                                      QStringList{"--left", "L", "--right", "R"});
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), c.exitCode) << qPrintable(out) << qPrintable(err);
        QStringList expected = c.files;
        expected.sort();
        QStringList found = filesBelow(root);
        found.removeIf([](const QString &f) { return f.startsWith(u'.'); });
        EXPECT_EQ(found, expected) << qPrintable(out);
        for (QString line : c.outLines) {
            line.replace(u'@', root);
            EXPECT_TRUE(out.contains(line)) << qPrintable(line) << "\n" << qPrintable(out);
        }
    }
}

// SIGTERM (as the desktop session or a service manager sends it) stops a running job
// between two files: the command ends with status 1, its journal is complete, and undo
// brings back the folder as it was.
TEST(CliRun, ASignalStopsTheJobBetweenFilesAndUndoReversesIt)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    QDir(root).mkpath(QStringLiteral("L"));
    QDir(root).mkpath(QStringLiteral("R"));
    const int pairs = 150;
    int second = 0;
    for (int i = 0; i < pairs; ++i) {
        second += 3 + (i * 7) % 11; // an irregular rhythm, the same in both cameras
        const QByteArray time = QStringLiteral("2024:05:01 %1:%2:%3")
                                    .arg(10 + second / 3600)
                                    .arg(second / 60 % 60, 2, 10, QChar(u'0'))
                                    .arg(second % 60, 2, 10, QChar(u'0'))
                                    .toLatin1();
        for (const char *side : {"L", "R"}) {
            QFile f(QStringLiteral("%1/%2/%2%3.jpg")
                        .arg(root, QLatin1String(side))
                        .arg(i, 3, 10, QChar(u'0')));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(jpegTakenAt(time));
        }
    }
    const QStringList before = filesBelow(root);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/.xdg-data"));
    // strace slows every copy down from the third on (its fsync takes 200 ms), so that the
    // signal lands in the middle of the job; the signal goes to duomira-cli itself.
    QProcess probe;
    probe.start(QStringLiteral("strace"), {"-qq", "-o", "/dev/null", "true"});
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0)
        GTEST_SKIP() << "strace cannot trace here";
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(root);
    p.start(QStringLiteral("strace"), {"-f",
                                       "-qq",
                                       "-o",
                                       "/dev/null",
                                       "-e",
                                       "trace=fsync",
                                       "-e",
                                       "inject=fsync:delay_exit=200000:when=3+",
                                       QStringLiteral(DUOMIRA_CLI_PATH),
                                       "run",
                                       "--copy",
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
                                       "R"});
    QByteArray err;
    p.setReadChannel(QProcess::StandardError);
    while (!err.contains("Copy'ing") && p.waitForReadyRead(30000))
        err += p.readAllStandardError();
    ASSERT_TRUE(err.contains("Copy'ing")) << err.constData();
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(p.processId()));
    ASSERT_TRUE(children.open(QIODevice::ReadOnly));
    const pid_t cli = pid_t(children.readAll().trimmed().split(' ').first().toInt());
    ASSERT_GT(cli, 0);
    ::kill(cli, SIGTERM);
    ASSERT_TRUE(p.waitForFinished(60000));
    err += p.readAllStandardError();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1) << err.constData();
    EXPECT_TRUE(err.contains("stopped by SIGTERM between two files")) << err.constData();
    const QStringList copies = filesBelow(root + QStringLiteral("/dest"));
    EXPECT_LT(copies.size(), 2 * pairs);

    const QString jobs = root + QStringLiteral("/.xdg-data/Duomira/jobs");
    const QStringList journals = QDir(jobs).entryList(QDir::Files);
    ASSERT_EQ(journals.size(), 1);
    QFile journal(jobs + u'/' + journals.first());
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = journal.readAll().trimmed().split('\n');
    EXPECT_TRUE(lines.last().contains("\"event\":\"end\"")) << lines.last().constData();

    QProcess undo;
    undo.setProcessEnvironment(env);
    undo.start(QStringLiteral(DUOMIRA_CLI_PATH), {"undo", journal.fileName()});
    ASSERT_TRUE(undo.waitForFinished(60000));
    EXPECT_EQ(undo.exitCode(), 0) << undo.readAllStandardOutput().constData();
    QStringList after = filesBelow(root);
    after.removeIf([](const QString &f) { return f.startsWith(u'.'); });
    EXPECT_EQ(after, before);
}

TEST(CliRun, EveryLineIsPlainTextWithTheNamesAsTheyAre)
{
    // Names that look like markup and one with a line break, turned in the source folder
    // (the progress line names the file) and renamed (the log names it).
    QTemporaryDir dir;
    const QString root = dir.path();
    QDir(root).mkpath(QStringLiteral("L"));
    QDir(root).mkpath(QStringLiteral("R"));
    const QString names[] = {QStringLiteral("lt<FB>gt"), QStringLiteral("c<c3>\nx")};
    const int seconds[] = {5, 16, 38};
    for (int i = 0; i < 3; ++i) {
        for (const char *side : {"L", "R"}) {
            const QString base = i < 2 ? names[i] : QStringLiteral("plain");
            QFile f(QStringLiteral("%1/%2/%3%4.jpg").arg(root, QLatin1String(side), base).arg(i));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(jpegTakenAt(QByteArray("2024:05:01 10:00:") + QByteArray::number(seconds[i])));
        }
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/.xdg-data"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(root);
    p.start(QStringLiteral(DUOMIRA_CLI_PATH),
            QStringList{"run", "--mask", "P###", "--rotation-left", "90", "--rotate-source",
                        "--left", "L", "--right", "R"});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    if (p.exitCode() == 3 && err.contains(QStringLiteral("imaging modules")))
        GTEST_SKIP() << "the imaging modules are not available";
    ASSERT_EQ(p.exitCode(), 0) << qPrintable(out) << qPrintable(err);
    // Into a pipe goes one line per status: what the run page shows, without its tags.
    EXPECT_TRUE(err.contains(QStringLiteral("\nRotating (lt<FB>gt0.jpg)\n"))) << qPrintable(err);
    EXPECT_TRUE(err.contains(QStringLiteral("\nRotating (c<c3>\u240Ax1.jpg)\n")))
        << qPrintable(err);
    for (const char *tag : {"<FN>", "<c6>", "<c8>", "<LT>"}) {
        EXPECT_FALSE(err.contains(QLatin1String(tag))) << tag;
        EXPECT_FALSE(out.contains(QLatin1String(tag))) << tag;
    }
    // The log names the files as they are, each on its own line.
    EXPECT_TRUE(out.contains(QStringLiteral("c<c3>\u240Ax1.jpg"))) << qPrintable(out);
    EXPECT_FALSE(out.contains(QStringLiteral("c<c3>\nx"))) << qPrintable(out);
}

// A job planned from a saved session (the lists as the window left them) is the job the
// same files and options give directly; a damaged session is a usage error.
TEST(CliRun, ASavedSessionPlansTheSameJob)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    ASSERT_TRUE(makeThreePairs(root));
    auto cli = [&](const QStringList &arguments, int expectedExit) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/.xdg-data"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(root);
        p.start(QStringLiteral(DUOMIRA_CLI_PATH), arguments);
        EXPECT_TRUE(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        EXPECT_EQ(p.exitCode(), expectedExit)
            << qPrintable(out) << qPrintable(p.readAllStandardError());
        return out;
    };
    const QStringList files{"--left", "L", "--right", "R"};
    const QStringList job{"--copy",           "--rename-destination",
                          "--create-folders", "--dest-left",
                          "dest/L",           "--dest-right",
                          "dest/R",           "--dest-mono",
                          "dest/M",           "--dry-run"};
    cli(QStringList{"pair", "--mask", "P###", "--save-session", "work.duomira"} + files, 0);
    ASSERT_TRUE(QFile::exists(root + QStringLiteral("/work.duomira")));
    const QString direct = cli(QStringList{"run", "--mask", "P###"} + job + files, 0);
    const QString fromSession = cli(QStringList{"run", "--session", "work.duomira"} + job, 0);
    EXPECT_TRUE(direct.contains(QStringLiteral("P001_L.jpg"))) << qPrintable(direct);
    EXPECT_EQ(fromSession, direct);

    QFile damaged(root + QStringLiteral("/work.duomira"));
    ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
    damaged.resize(damaged.size() / 2);
    damaged.close();
    cli(QStringList{"run", "--session", "work.duomira"} + job, 2);
}
