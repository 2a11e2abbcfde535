#include "imaging/bytesource.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

qint64 TMemorySource::readAt(qint64 pos, char *dst, qint64 n)
{
    if (pos < 0 || n < 0)
        return -1;
    if (pos >= m_bytes.size() || n == 0)
        return 0;
    const qint64 count = std::min(n, m_bytes.size() - pos);
    std::memcpy(dst, m_bytes.constData() + pos, size_t(count));
    return count;
}

TWindowSource::TWindowSource(TByteSource &inner, qint64 offset, qint64 length)
    : m_inner(inner), m_offset(std::clamp<qint64>(offset, 0, inner.size())),
      m_length(std::clamp<qint64>(length, 0, inner.size() - m_offset))
{
}

qint64 TWindowSource::readAt(qint64 pos, char *dst, qint64 n)
{
    if (pos < 0 || n < 0)
        return -1;
    if (pos >= m_length || n == 0)
        return 0;
    return m_inner.readAt(m_offset + pos, dst, std::min(n, m_length - pos));
}

qint64 TDeviceSource::size() const
{
    return m_device.isSequential() ? 0 : m_device.size();
}

qint64 TDeviceSource::readAt(qint64 pos, char *dst, qint64 n)
{
    if (m_device.isSequential() || !m_device.seek(pos))
        return -1;
    return m_device.read(dst, n);
}

TFileSource::~TFileSource()
{
#ifdef Q_OS_UNIX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

#ifdef Q_OS_UNIX

TFileSource::OpenResult TFileSource::open(const QString &path)
{
    // O_NONBLOCK: opening a named pipe must not wait for a writer. Only regular files are
    // read; a pipe or device exists but is not read.
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    int fd;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        if (::fstat(fd, &st) != 0) {
            ::close(fd);
            return OpenResult::Unreadable;
        }
    } else if (::stat(name.constData(), &st) != 0) {
        return OpenResult::Missing;
    }
    if (S_ISDIR(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        return OpenResult::NotAFile;
    }
    m_size = S_ISREG(st.st_mode) ? qint64(st.st_size) : 0;
    m_modifiedMsecs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    if (fd >= 0 && !S_ISREG(st.st_mode)) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0)
        return OpenResult::Unreadable;
    m_fd = fd;
    return OpenResult::Opened;
}

qint64 TFileSource::readAt(qint64 pos, char *dst, qint64 n)
{
    if (m_fd < 0 || pos < 0 || n < 0)
        return -1;
    qint64 done = 0;
    while (done < n) {
        const ssize_t got = ::pread(m_fd, dst + done, size_t(n - done), off_t(pos + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? done : -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

#else

// Without POSIX file access the file is read through QFile, opened for each read.
TFileSource::OpenResult TFileSource::open(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return OpenResult::Missing;
    if (info.isDir())
        return OpenResult::NotAFile;
    m_size = info.size();
    m_modifiedMsecs = info.lastModified().toMSecsSinceEpoch();
    m_path = path;
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? OpenResult::Opened : OpenResult::Unreadable;
}

qint64 TFileSource::readAt(qint64 pos, char *dst, qint64 n)
{
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(pos))
        return -1;
    return f.read(dst, n);
}

#endif

bool TByteStream::fill(qint64 at)
{
    if (at >= m_size)
        return false;
    const qint64 n = std::min(m_chunk, m_size - at);
    m_buffer.resize(size_t(n));
    const qint64 got = m_source.readAt(at, m_buffer.data(), n);
    m_bufferStart = at;
    m_bufferLength = got > 0 ? got : 0;
    return m_bufferLength > 0;
}

bool TByteStream::getByte(uchar &byte)
{
    if (m_pos < m_bufferStart || m_pos >= m_bufferStart + m_bufferLength) {
        if (!fill(m_pos))
            return false;
    }
    byte = uchar(m_buffer[size_t(m_pos - m_bufferStart)]);
    ++m_pos;
    return true;
}

qint64 TByteStream::read(char *dst, qint64 n)
{
    qint64 done = 0;
    // What the read-ahead buffer already holds.
    if (m_pos >= m_bufferStart && m_pos < m_bufferStart + m_bufferLength) {
        const qint64 count = std::min(n, m_bufferStart + m_bufferLength - m_pos);
        std::memcpy(dst, m_buffer.data() + (m_pos - m_bufferStart), size_t(count));
        done = count;
        m_pos += count;
    }
    if (done < n && m_pos < m_size) {
        // The rest straight from the source.
        const qint64 got = m_source.readAt(m_pos, dst + done, std::min(n - done, m_size - m_pos));
        if (got > 0) {
            done += got;
            m_pos += got;
        }
    }
    return done;
}

bool TByteStream::skip(qint64 n)
{
    if (n < 0 || n > m_size - m_pos) {
        m_pos = m_size;
        return false;
    }
    m_pos += n;
    return true;
}
