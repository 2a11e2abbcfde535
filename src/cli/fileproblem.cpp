#include "cli/fileproblem.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString FileProblem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st
    {
    };
    if (::stat(name.constData(), &st) != 0) {
        switch (errno) {
        case ENOENT:
            return QStringLiteral("no such file");
        case ENAMETOOLONG:
            return QStringLiteral("name too long for the file system");
        default:
            return QString::fromLocal8Bit(std::strerror(errno));
        }
    }
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("not a file");
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return QStringLiteral("cannot be read (%1)")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    ::close(fd);
    return {};
}

QString PrintableBytes(const char *argument)
{
    QString out;
    for (const char *p = argument; *p; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        if (byte >= 0x20 && byte < 0x7F)
            out += QLatin1Char(char(byte));
        else
            out += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return out;
}
