// The program ends in order when the desktop session ends it: SIGTERM, SIGHUP and SIGINT
// make it close as "Exit" does, writing its settings and the recovery file of the unsaved
// work, and exit normally.
#include "session/recoveryfiles.h"
#include "support/testdata.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// True once the process has a handler for signal (the SigCgt mask of /proc/PID/status).
bool catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

} // namespace

TEST(Shutdown, ASignalEndsTheWindowInOrderAndItsSettingsAreWritten)
{
#ifndef DUOMIRA_APP_PATH
    GTEST_SKIP() << "built without the window";
#else
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        QTemporaryDir config;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("XDG_STATE_HOME"), config.filePath(QStringLiteral("state")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess app;
        app.setProcessEnvironment(env);
        // A picture handed over: unsaved work.
        app.start(QStringLiteral(DUOMIRA_APP_PATH),
                  {testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg"))});
        ASSERT_TRUE(app.waitForStarted(10000));
        for (int i = 0; i < 400 && !catches(app.processId(), signal); ++i)
            QThread::msleep(25);
        ASSERT_TRUE(catches(app.processId(), signal)) << "the program never took the signal";
        // The picture is in: its unsaved work reached the recovery file.
        const QDir state(config.filePath(QStringLiteral("state/Duomira")));
        for (int i = 0;
             i < 400 && state.entryList({QStringLiteral("recovery-*.duomira")}).isEmpty(); ++i)
            QThread::msleep(25);
        ::kill(pid_t(app.processId()), signal);
        ASSERT_TRUE(app.waitForFinished(30000));
        EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().constData();
        EXPECT_TRUE(QFile::exists(config.filePath(QStringLiteral("Duomira/Duomira.INI"))));
        // The work waits in the recovery file for the next start.
        EXPECT_EQ(OrphanedRecoveryFiles(config.filePath(QStringLiteral("state/Duomira"))).size(),
                  1);
    }
#endif
}
