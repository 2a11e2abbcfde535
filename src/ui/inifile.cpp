#include "ui/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString FileName = QStringLiteral("Duomira.INI");

// Names may hold neither line breaks nor the characters that end a name in its line.
QString cleanName(const QString &name, bool section)
{
    QString out = name;
    for (QChar &c : out) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') ||
            (section && c == QLatin1Char(']')) || (!section && c == QLatin1Char('=')))
            c = QLatin1Char(' ');
    }
    return out.trimmed();
}

QString cleanValue(const QString &value)
{
    QString out = value;
    for (QChar &c : out) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    }
    return out;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

} // namespace

TIniFile TIniFile::FromBytes(QByteArrayView bytes)
{
    TIniFile ini;
    if (bytes.size() > MaxFileBytes)
        bytes = bytes.first(MaxFileBytes);
    // Keys before the first section, and keys after a damaged section line, belong to no
    // section and are dropped.
    Section *current = nullptr;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            end = bytes.size();
        const QString line = QString::fromUtf8(bytes.sliced(pos, end - pos)).trimmed();
        pos = end + 1;
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            const QString name = close < 0 ? QString() : line.mid(1, close - 1).trimmed();
            current = name.isEmpty() ? nullptr : &ini.sectionFor(name);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!current || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!key.isEmpty())
            setValue(*current, key, line.mid(eq + 1).trimmed(), false);
    }
    return ini;
}

QByteArray TIniFile::ToBytes() const
{
    QByteArray out;
    for (const Section &s : m_sections) {
        if (!out.isEmpty())
            out += '\n';
        out += '[' + s.name.toUtf8() + "]\n";
        for (const Entry &e : s.entries)
            out += e.key.toUtf8() + '=' + e.value.toUtf8() + '\n';
    }
    return out;
}

bool TIniFile::LoadFromFile(const QString &path)
{
    *this = TIniFile();
    QFile file(path);
    // Only a regular file is read (never a pipe or a device).
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    *this = FromBytes(file.read(MaxFileBytes));
    return true;
}

bool TIniFile::SaveToFile(const QString &path, QString *error) const
{
    // Every write is checked, including short writes: a full disk or a file size limit
    // must fail the save, never leave a cut-off file behind the old file's name.
    const auto fail = [error](const QString &what, int code) {
        if (error)
            *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(code));
        return false;
    };
    const QFileInfo target(path);
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    QByteArray temp = QFile::encodeName(target.absoluteFilePath()) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return fail(QStringLiteral("cannot create a temporary file"), errno);
    const auto discard = [&](const QString &what) {
        const int code = errno;
        ::close(fd);
        ::unlink(temp.constData());
        return fail(what, code);
    };
    // The new file keeps the permissions of the old one.
    struct stat old
    {
    };
    if (::stat(QFile::encodeName(target.absoluteFilePath()).constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
    const QByteArray bytes = ToBytes();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return discard(QStringLiteral("cannot write the settings"));
        }
        done += n;
    }
    if (::fsync(fd) != 0)
        return discard(QStringLiteral("cannot write the settings"));
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        return fail(QStringLiteral("cannot write the settings"), code);
    }
    if (::rename(temp.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        return fail(QStringLiteral("cannot replace the settings file"), code);
    }
    // The rename itself reaches the disk with the folder.
    if (const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

QStringList TIniFile::Sections() const
{
    QStringList names;
    for (const Section &s : m_sections)
        names << s.name;
    return names;
}

QStringList TIniFile::Keys(const QString &section) const
{
    QStringList keys;
    if (const Section *s = find(section)) {
        for (const Entry &e : s->entries)
            keys << e.key;
    }
    return keys;
}

bool TIniFile::SectionExists(const QString &section) const
{
    return find(section) != nullptr;
}

bool TIniFile::ValueExists(const QString &section, const QString &key) const
{
    return findValue(section, key) != nullptr;
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    const QString *value = findValue(section, key);
    if (!value)
        return def;
    if (value->size() >= 2 && value->startsWith(QLatin1Char('"')) &&
        value->endsWith(QLatin1Char('"')))
        return value->mid(1, value->size() - 2);
    return *value;
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int def) const
{
    const QString *value = findValue(section, key);
    if (!value)
        return def;
    bool ok = false;
    const int n = value->trimmed().toInt(&ok, 10);
    return ok ? n : def;
}

void TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    const QString s = cleanName(section, true);
    const QString k = cleanName(key, false);
    if (s.isEmpty() || k.isEmpty())
        return;
    setValue(sectionFor(s), k, cleanValue(value), true);
}

void TIniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

const TIniFile::Section *TIniFile::find(const QString &section) const
{
    const auto it = m_index.constFind(section.toLower());
    return it == m_index.cend() ? nullptr : &m_sections[*it];
}

const QString *TIniFile::findValue(const QString &section, const QString &key) const
{
    const Section *s = find(section);
    if (!s)
        return nullptr;
    const auto it = s->index.constFind(key.toLower());
    return it == s->index.cend() ? nullptr : &s->entries[*it].value;
}

TIniFile::Section &TIniFile::sectionFor(const QString &name)
{
    const QString lower = name.toLower();
    const auto it = m_index.constFind(lower);
    if (it != m_index.cend())
        return m_sections[*it];
    m_index.insert(lower, m_sections.size());
    m_sections.push_back(Section{name, {}, {}});
    return m_sections.back();
}

void TIniFile::setValue(Section &section, const QString &key, const QString &value, bool replace)
{
    const QString lower = key.toLower();
    const auto it = section.index.constFind(lower);
    if (it != section.index.cend()) {
        if (replace)
            section.entries[*it].value = value;
        return;
    }
    section.index.insert(lower, section.entries.size());
    section.entries.push_back(Entry{key, value});
}

QString QuotedText(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString EncodeItemList(const QStringList &items)
{
    QByteArray bytes;
    for (const QString &item : items)
        bytes += item.toUtf8() + "\r\n";
    return QString::fromLatin1(bytes.toHex().toUpper());
}

std::optional<QStringList> DecodeItemList(const QString &hex)
{
    const QString digits = hex.trimmed();
    if (digits.size() % 2 != 0)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(digits.size() / 2);
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const int hi = hexDigit(digits[i]);
        const int lo = hexDigit(digits[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes += char(hi * 16 + lo);
    }
    QStringList items;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf("\r\n", pos);
        const qsizetype next = end < 0 ? bytes.size() : end + 2;
        if (end < 0)
            end = bytes.size();
        if (items.size() >= MaxDecodedItems)
            return std::nullopt;
        items << QString::fromUtf8(bytes.sliced(pos, end - pos));
        pos = next;
    }
    return items;
}

QString SettingsFilePath(const QString &programFolder)
{
    if (!programFolder.isEmpty()) {
        const QFileInfo portable(QDir(programFolder).filePath(FileName));
        // The file is replaced through a temporary file beside it: its folder must be
        // writable too.
        if (portable.isFile() && portable.isWritable() &&
            QFileInfo(portable.absolutePath()).isWritable())
            return portable.absoluteFilePath();
    }
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::home().filePath(QStringLiteral(".config"));
    return QDir(config).filePath(QStringLiteral("Duomira/") + FileName);
}
