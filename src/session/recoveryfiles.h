#pragma once
// The crash recovery files: one per running instance under $XDG_STATE_HOME/Duomira
// (~/.local/state/Duomira by default), "recovery-<pid>-<ms>.duomira", each with a lock file
// beside it that its instance holds locked (flock) for as long as it runs. The kernel drops
// that lock when the process ends in any way, also when it is killed, so a recovery file
// whose lock can be taken belongs to an instance that is gone: that is the work to offer
// at the next start.
#include <QString>
#include <QStringList>

// $XDG_STATE_HOME/Duomira (XDG_STATE_HOME defaults to ~/.local/state).
QString RecoveryFolder();

class TRecoveryFile
{
public:
    TRecoveryFile() = default;
    // Releases the lock; the recovery file stays (an orderly end removes it with Remove).
    ~TRecoveryFile();
    TRecoveryFile(const TRecoveryFile &) = delete;
    TRecoveryFile &operator=(const TRecoveryFile &) = delete;

    // Takes a new name in folder (made when missing) and locks it. False with error set
    // when the folder or the lock file cannot be made.
    bool Claim(const QString &folder, QString &error);
    bool IsClaimed() const { return m_lockFd >= 0; }
    // The recovery file of this instance (it exists once something was written).
    QString Path() const { return m_path; }
    // Deletes the recovery file (the lock stays held).
    void Remove();

private:
    QString m_path;
    int m_lockFd = -1;
};

// The recovery files in folder whose instance has ended (their lock is free), newest first.
QStringList OrphanedRecoveryFiles(const QString &folder);
// Deletes an orphaned recovery file and its lock file, once it was restored or declined.
void RemoveOrphanedRecoveryFile(const QString &path);
