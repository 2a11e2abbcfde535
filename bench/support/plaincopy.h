#pragma once
// The plain copy loop the batch benchmarks measure the program's file work against:
// copy_file_range into a new file (never replacing one), then fsync; and the other plain
// file work of those benchmarks.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <unistd.h>

namespace benchsupport {

inline bool plainCopy(const QString &from, const QString &to)
{
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool ok = in >= 0 && out >= 0;
    while (ok) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
    }
    ok = ok && ::fsync(out) == 0;
    if (in >= 0)
        ::close(in);
    if (out >= 0)
        ::close(out);
    return ok;
}

// The bytes written to a new file (never replacing one), then fsync: what the program's
// own writing of a file it made in memory costs at least.
inline bool writeNewFile(const QString &to, const QByteArray &bytes)
{
    const int out = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool ok = out >= 0;
    for (qsizetype done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(out, bytes.constData() + done, size_t(bytes.size() - done));
        ok = n > 0;
        done += ok ? n : 0;
    }
    ok = ok && ::fsync(out) == 0;
    if (out >= 0)
        ::close(out);
    return ok;
}

// The folder made empty, and everything written before on the disk, so that a timed run
// starts from the same state.
inline void emptyFolder(const QString &folder)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    ::sync();
}

} // namespace benchsupport
