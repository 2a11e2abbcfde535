#pragma once
// TIniFile: the settings file in INI layout, held in memory.
//
//   [Section]          a line with a name in square brackets starts a section
//   Key=Value          each following line holds a key, "=" and the value
//
// Names of sections and keys compare without regard to letter case. Writing a value
// replaces the key in place and adds missing keys and sections at the end. Reading takes
// the first occurrence of a section or key and never fails: a damaged file (binary
// garbage, a header without "]", a line without "=", a line of a megabyte) gives what can
// be read, and the rest keeps the caller's defaults.
//
// The file is written to a temporary file in the same folder that is renamed over the old
// one only when it is complete and on the disk, so an interrupted write (a full disk, a
// crash) leaves the old file as it was.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class TIniFile
{
public:
    // Files larger than this are read only up to this size.
    static constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;

    TIniFile() = default;

    // Parses the bytes of an INI file (UTF-8; CR LF or LF line ends).
    static TIniFile FromBytes(QByteArrayView bytes);
    // The file's text: "[Section]" lines followed by "Key=Value" lines, LF line ends.
    QByteArray ToBytes() const;

    // Reads the file at path; false when it does not exist or cannot be read (the object
    // is empty then).
    bool LoadFromFile(const QString &path);
    // Writes the file at path through a temporary file in the same folder; on failure the
    // old file is untouched and error (when given) says why.
    bool SaveToFile(const QString &path, QString *error = nullptr) const;

    QStringList Sections() const;
    QStringList Keys(const QString &section) const;
    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;

    // The value with one pair of surrounding double quotes removed, so that blanks at the
    // start and end of a quoted text survive; def when the key is missing.
    QString ReadString(const QString &section, const QString &key, const QString &def) const;
    // A decimal integer (optional sign, blanks around it); def when the key is missing or
    // its value is no number in the range of int.
    int ReadInteger(const QString &section, const QString &key, int def) const;

    // Stores value as it stands (callers quote texts with QuotedText). Line breaks in a
    // value, and characters that would end a name early, become blanks, so that no value
    // can break the line structure of the file.
    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);

private:
    struct Entry
    {
        QString key;
        QString value;
    };
    struct Section
    {
        QString name;
        std::vector<Entry> entries;
        QHash<QString, size_t> index; // lower-case key -> entry
    };

    const Section *find(const QString &section) const;
    const QString *findValue(const QString &section, const QString &key) const;
    Section &sectionFor(const QString &name);
    static void setValue(Section &section, const QString &key, const QString &value, bool replace);

    std::vector<Section> m_sections;
    QHash<QString, size_t> m_index; // lower-case name -> section
};

// A text value in double quotes.
QString QuotedText(const QString &text);

// An item list as the upper-case hexadecimal digits of its UTF-8 bytes, each item followed
// by CR LF, without separators; an empty list gives an empty text.
QString EncodeItemList(const QStringList &items);
// The inverse of EncodeItemList (lower-case digits are accepted; a last item without CR LF
// counts). An empty text gives an empty list. No value for an odd number of digits, a
// character that is no hexadecimal digit, or more than MaxDecodedItems items.
constexpr qsizetype MaxDecodedItems = 10000;
std::optional<QStringList> DecodeItemList(const QString &hex);

// Where the settings file lies: "Duomira.INI" in programFolder when that file exists and
// is writable (portable use), otherwise "Duomira/Duomira.INI" in the user's configuration
// folder ($XDG_CONFIG_HOME, by default ~/.config).
QString SettingsFilePath(const QString &programFolder);
