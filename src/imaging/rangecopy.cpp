#include "imaging/rangecopy.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

bool fail(QString *error, int code)
{
    if (error)
        *error = code ? QString::fromLocal8Bit(std::strerror(code))
                      : QCoreApplication::translate("RangeCopy", "the file ended early");
    return false;
}

} // namespace

bool CopyFileRange(int in, qint64 offset, qint64 length, int out, QString *error)
{
    bool kernelCopy = true;
    char buffer[1 << 16];
    while (length > 0) {
        if (kernelCopy) {
            loff_t from = offset;
            const ssize_t n = ::copy_file_range(in, &from, out, nullptr, size_t(length), 0);
            if (n > 0) {
                offset += n;
                length -= n;
                continue;
            }
            if (n == 0)
                return fail(error, 0);
            if (errno == EINTR)
                continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
                return fail(error, errno);
            kernelCopy = false; // this pair of files cannot: read and write
        }
        const ssize_t got =
            ::pread(in, buffer, size_t(std::min<qint64>(length, sizeof buffer)), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return fail(error, got < 0 ? errno : 0);
        if (!WriteAll(out, QByteArray::fromRawData(buffer, got), error))
            return false;
        offset += got;
        length -= got;
    }
    return true;
}

bool WriteAll(int out, const QByteArray &bytes, QString *error)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(out, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(error, n < 0 ? errno : ENOSPC);
        done += n;
    }
    return true;
}
