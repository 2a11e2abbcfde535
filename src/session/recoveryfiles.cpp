#include "session/recoveryfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>

namespace {

QString lockPathOf(const QString &recoveryPath)
{
    return recoveryPath.left(recoveryPath.size() - qsizetype(sizeof(".duomira") - 1)) +
           QStringLiteral(".lock");
}

} // namespace

QString RecoveryFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Duomira");
}

TRecoveryFile::~TRecoveryFile()
{
    if (m_lockFd < 0)
        return;
    // Without a recovery file the lock file has nothing left to guard.
    if (!QFileInfo::exists(m_path))
        QFile::remove(lockPathOf(m_path));
    ::close(m_lockFd);
}

bool TRecoveryFile::Claim(const QString &folder, QString &error)
{
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    const QString base =
        folder +
        QStringLiteral("/recovery-%1-%2").arg(::getpid()).arg(QDateTime::currentMSecsSinceEpoch());
    const QByteArray lock = QFile::encodeName(base + QStringLiteral(".lock"));
    const int fd = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = QStringLiteral("cannot lock %1: %2")
                    .arg(QFile::decodeName(lock), QString::fromLocal8Bit(strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_lockFd = fd;
    m_path = base + QStringLiteral(".duomira");
    return true;
}

void TRecoveryFile::Remove()
{
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

QStringList OrphanedRecoveryFiles(const QString &folder)
{
    const QDir dir(folder);
    QFileInfoList found =
        dir.entryInfoList({QStringLiteral("recovery-*.duomira")}, QDir::Files, QDir::Time);
    QStringList orphans;
    for (const QFileInfo &info : std::as_const(found)) {
        const QByteArray lock = QFile::encodeName(lockPathOf(info.absoluteFilePath()));
        const int fd = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            continue;
        // Free: the instance that held it has ended. Taken only to look, then given back.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            orphans << info.absoluteFilePath();
            ::flock(fd, LOCK_UN);
        }
        ::close(fd);
    }
    return orphans;
}

void RemoveOrphanedRecoveryFile(const QString &path)
{
    QFile::remove(path);
    QFile::remove(lockPathOf(path));
}
