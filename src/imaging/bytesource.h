#pragma once
// Where the EXIF reader's file walk gets its bytes: a file, a device or memory, read at
// a position; and a sequential stream over such a source that reads ahead in chunks, so
// that walking the sections of a JPEG file costs a few reads of its header part only.
#include <QByteArray>
#include <QString>

#include <vector>

class QIODevice;

class TByteSource
{
public:
    virtual ~TByteSource() = default;
    virtual qint64 size() const = 0;
    // Reads up to n bytes at pos; returns the number read (fewer at the end), -1 on error.
    virtual qint64 readAt(qint64 pos, char *dst, qint64 n) = 0;
};

class TMemorySource : public TByteSource
{
public:
    explicit TMemorySource(const QByteArray &bytes) : m_bytes(bytes) {}
    qint64 size() const override { return m_bytes.size(); }
    qint64 readAt(qint64 pos, char *dst, qint64 n) override;

private:
    QByteArray m_bytes;
};

// A random-access device (QFile, QBuffer); a sequential device has no size and reads
// as empty.
class TDeviceSource : public TByteSource
{
public:
    explicit TDeviceSource(QIODevice &device) : m_device(device) {}
    qint64 size() const override;
    qint64 readAt(qint64 pos, char *dst, qint64 n) override;

private:
    QIODevice &m_device;
};

// A file opened for reading, with its size and modification time taken from the open
// file (one system call each).
class TFileSource : public TByteSource
{
public:
    enum class OpenResult
    {
        Opened,
        Missing,
        NotAFile,
        Unreadable
    };

    TFileSource() = default;
    TFileSource(const TFileSource &) = delete;
    TFileSource &operator=(const TFileSource &) = delete;
    ~TFileSource() override;

    // Opens path. Unreadable: the file exists but cannot be opened, or is no regular
    // file (a pipe, a device); its modification time is still known.
    OpenResult open(const QString &path);
    qint64 size() const override { return m_size; }
    qint64 readAt(qint64 pos, char *dst, qint64 n) override;
    // Last modification, milliseconds since 1970-01-01 UTC.
    qint64 modifiedMsecs() const { return m_modifiedMsecs; }

private:
    int m_fd = -1;
    QString m_path; // where there is no POSIX file access
    qint64 m_size = 0;
    qint64 m_modifiedMsecs = 0;
};

// length bytes of another source from offset on, as a source of their own (one view of a
// stereo file). Reads stop at the window's end.
class TWindowSource : public TByteSource
{
public:
    TWindowSource(TByteSource &inner, qint64 offset, qint64 length);
    qint64 size() const override { return m_length; }
    qint64 readAt(qint64 pos, char *dst, qint64 n) override;

private:
    TByteSource &m_inner;
    qint64 m_offset;
    qint64 m_length;
};

class TByteStream
{
public:
    explicit TByteStream(TByteSource &source, qint64 chunk = 8192)
        : m_source(source), m_size(source.size()), m_chunk(chunk)
    {
    }

    qint64 pos() const { return m_pos; }
    qint64 size() const { return m_size; }
    bool getByte(uchar &byte);
    // Reads up to n bytes; returns the number read.
    qint64 read(char *dst, qint64 n);
    // Moves on n bytes; false (and at the end) when fewer were left.
    bool skip(qint64 n);

private:
    bool fill(qint64 at);

    TByteSource &m_source;
    qint64 m_size;
    qint64 m_chunk;
    qint64 m_pos = 0;
    std::vector<char> m_buffer;
    qint64 m_bufferStart = 0;
    qint64 m_bufferLength = 0;
};
