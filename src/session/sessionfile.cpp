#include "session/sessionfile.h"

#include "batch/fileops.h"
#include "entries/siblings.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>

#include <xxhash.h>

#include <cmath>
#include <limits>

namespace {

// ---- Writing ----

// JSON text is written directly: tens of thousands of rows go out in a fraction of the
// time a QJsonDocument needs to build and print them.
class JsonOut
{
public:
    explicit JsonOut(qsizetype reserve) { m_out.reserve(reserve); }

    void raw(const char *text) { m_out.append(text); }
    void key(const char *name)
    {
        comma();
        m_out.append('"').append(name).append("\":");
        m_fresh = true;
    }
    void string(const QString &text)
    {
        comma();
        const QByteArray utf8 = text.toUtf8();
        m_out.append('"');
        for (const char c : utf8) {
            const auto u = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                m_out.append('\\').append(c);
            } else if (u < 0x20) {
                static const char hex[] = "0123456789abcdef";
                m_out.append("\\u00").append(hex[u >> 4]).append(hex[u & 15]);
            } else {
                m_out.append(c);
            }
        }
        m_out.append('"');
    }
    void integer(qint64 value)
    {
        comma();
        m_out.append(QByteArray::number(value));
    }
    // Shortest text that reads back as the same double; JSON has no NaN or infinity.
    void number(double value)
    {
        comma();
        if (!std::isfinite(value))
            value = 0;
        m_out.append(QByteArray::number(value, 'g', QLocale::FloatingPointShortest));
    }
    void boolean(bool value)
    {
        comma();
        m_out.append(value ? "true" : "false");
    }
    void open(char bracket)
    {
        comma();
        m_out.append(bracket);
        m_fresh = true;
    }
    void close(char bracket)
    {
        m_out.append(bracket);
        m_fresh = false;
    }
    QByteArray take() { return std::move(m_out); }

private:
    void comma()
    {
        if (!m_fresh)
            m_out.append(',');
        m_fresh = false;
    }
    QByteArray m_out;
    bool m_fresh = true;
};

// The identity to store for a row's file: its size and modification time now, when they
// are still those of the record that was read; else the record's size and an unknown time.
void fileIdentity(const TSessionRow &row, qint64 &size, qint64 &mtimeNs)
{
    size = row.HasMeta ? row.Meta.FileSize : row.FileSize;
    mtimeNs = -1;
    if (!row.HasMeta) {
        mtimeNs = row.FileMtimeNs;
        return;
    }
    const TFileStamp stamp = StatPath(row.Path);
    if (!stamp.exists || !stamp.isRegular || stamp.size != row.Meta.FileSize)
        return;
    const double days = DateTimeToDays(QDateTime::fromMSecsSinceEpoch(stamp.mtimeNs / 1000000));
    // The record keeps the time as a day number to the millisecond.
    if (std::abs(days - row.Meta.FileTime) * 86400000.0 < 1.5)
        mtimeNs = stamp.mtimeNs;
}

void writeMeta(JsonOut &out, const TJPEGData &meta)
{
    out.open('{');
    out.key("str");
    out.open('[');
    for (const QString &s : meta.Str)
        out.string(s);
    out.close(']');
    out.key("capture");
    out.number(meta.CaptureTime);
    out.key("subsec");
    out.number(meta.CaptureSubSecond);
    out.key("file_time");
    out.number(meta.FileTime);
    out.key("file_size");
    out.integer(meta.FileSize);
    out.key("orientation");
    out.integer(meta.OrientationCode);
    out.key("exif");
    out.boolean(meta.HasExif);
    out.close('}');
}

void writeRow(JsonOut &out, const TSessionRow &row)
{
    out.open('{');
    out.key("attribute");
    out.integer(row.Attribute);
    out.key("side");
    out.integer(row.Side);
    if (!row.Path.isEmpty()) {
        qint64 size = -1;
        qint64 mtime = -1;
        fileIdentity(row, size, mtime);
        out.key("path");
        out.string(row.Path);
        out.key("size");
        out.integer(size);
        out.key("mtime_ns");
        out.integer(mtime);
    }
    out.key("number");
    out.integer(row.Number);
    if (row.PartnerList >= 0) {
        out.key("partner");
        out.string((row.PartnerList == 0 ? QStringLiteral("L") : QStringLiteral("R")) +
                   QString::number(row.PartnerRow));
    }
    if (!row.NewName.isEmpty()) {
        out.key("new_name");
        out.string(row.NewName);
    }
    out.key("rotation");
    out.integer(row.Rotation);
    if (row.Mirror) {
        out.key("mirror");
        out.boolean(true);
    }
    if (row.Invert) {
        out.key("invert");
        out.boolean(true);
    }
    if (!row.Batch) {
        out.key("batch");
        out.boolean(false);
    }
    if (row.Selected) {
        out.key("selected");
        out.boolean(true);
    }
    if (row.ClockCorrection != 0) {
        out.key("clock_correction");
        out.number(row.ClockCorrection);
    }
    if (row.PairConfidence >= 0) {
        out.key("pair_confidence");
        out.number(row.PairConfidence);
    }
    out.key("sort_time");
    out.number(row.SortTime);
    if (!row.Texts[0].isEmpty() || !row.Texts[1].isEmpty() || !row.Texts[2].isEmpty()) {
        out.key("texts");
        out.open('[');
        for (const QString &t : row.Texts)
            out.string(t);
        out.close(']');
    }
    if (row.Check != TFileCheck::Unchanged) {
        out.key("file_check");
        out.integer(int(row.Check));
    }
    if (!row.Siblings.isEmpty()) {
        out.key("siblings");
        out.open('[');
        for (const QString &tail : row.Siblings)
            out.string(tail);
        out.close(']');
    }
    if (row.HasMeta) {
        out.key("meta");
        writeMeta(out, row.Meta);
    }
    out.close('}');
}

// ---- Reading ----

constexpr int MaxTextLength = 65536;
constexpr int MaxSiblings = 64;

// Reads one value after another from an object and remembers the first problem.
class Fields
{
public:
    Fields(const QJsonObject &object, QString where) : m_object(object), m_where(std::move(where))
    {
    }

    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }
    void fail(const QString &what)
    {
        if (m_error.isEmpty())
            m_error = m_where + QStringLiteral(": ") + what;
    }
    bool has(const char *key) const { return m_object.contains(QLatin1String(key)); }

    QString text(const char *key, const QString &fallback = QString())
    {
        const QJsonValue v = m_object.value(QLatin1String(key));
        if (v.isUndefined())
            return fallback;
        if (!v.isString()) {
            fail(QStringLiteral("\"%1\" is not a text").arg(QLatin1String(key)));
            return fallback;
        }
        QString s = v.toString();
        if (s.size() > MaxTextLength) {
            fail(QStringLiteral("\"%1\" is longer than %2 characters")
                     .arg(QLatin1String(key))
                     .arg(MaxTextLength));
            return fallback;
        }
        return s;
    }
    qint64 integer(const char *key, qint64 fallback, qint64 low, qint64 high)
    {
        const QJsonValue v = m_object.value(QLatin1String(key));
        if (v.isUndefined())
            return fallback;
        // A whole number the parser kept as an integer (nanosecond times exceed what a
        // double holds exactly); anything else, fractions and huge values, is refused.
        const qint64 value = v.toInteger(0);
        const bool whole = v.isDouble() && value == v.toInteger(1);
        if (!whole || value < low || value > high) {
            fail(QStringLiteral("\"%1\" is not a whole number from %2 to %3")
                     .arg(QLatin1String(key))
                     .arg(low)
                     .arg(high));
            return fallback;
        }
        return value;
    }
    double number(const char *key, double fallback, double low = -1e9, double high = 1e9)
    {
        const QJsonValue v = m_object.value(QLatin1String(key));
        if (v.isUndefined())
            return fallback;
        const double d = v.toDouble(std::numeric_limits<double>::quiet_NaN());
        if (!v.isDouble() || !std::isfinite(d) || d < low || d > high) {
            fail(QStringLiteral("\"%1\" is not a number from %2 to %3")
                     .arg(QLatin1String(key))
                     .arg(low)
                     .arg(high));
            return fallback;
        }
        return d;
    }
    bool flag(const char *key, bool fallback)
    {
        const QJsonValue v = m_object.value(QLatin1String(key));
        if (v.isUndefined())
            return fallback;
        if (!v.isBool()) {
            fail(QStringLiteral("\"%1\" is not true or false").arg(QLatin1String(key)));
            return fallback;
        }
        return v.toBool();
    }
    // An array of exactly n texts into out.
    template <std::size_t N> void texts(const char *key, std::array<QString, N> &out)
    {
        const QJsonValue v = m_object.value(QLatin1String(key));
        if (v.isUndefined())
            return;
        const QJsonArray a = v.toArray();
        if (!v.isArray() || a.size() != qsizetype(N)) {
            fail(QStringLiteral("\"%1\" is not a list of %2 texts").arg(QLatin1String(key)).arg(N));
            return;
        }
        for (std::size_t i = 0; i < N; ++i) {
            const QJsonValue t = a.at(qsizetype(i));
            if (!t.isString() || t.toString().size() > MaxTextLength) {
                fail(QStringLiteral("\"%1\" holds something other than a text")
                         .arg(QLatin1String(key)));
                return;
            }
            out[i] = t.toString();
        }
    }
    // A list of sibling tails (siblings.h) into out.
    void siblings(const char *key, QStringList &out)
    {
        const QJsonValue v = m_object.value(QLatin1String(key));
        if (v.isUndefined())
            return;
        const QJsonArray a = v.toArray();
        if (!v.isArray() || a.size() > MaxSiblings) {
            fail(QStringLiteral("\"%1\" is not a list of at most %2 file name endings")
                     .arg(QLatin1String(key))
                     .arg(MaxSiblings));
            return;
        }
        for (const QJsonValue t : a) {
            if (!t.isString() || !IsValidSiblingTail(t.toString()) || out.contains(t.toString())) {
                fail(QStringLiteral("\"%1\" holds something other than a file name ending "
                                    "(\".CR2\", \".xmp\") or one twice")
                         .arg(QLatin1String(key)));
                out.clear();
                return;
            }
            out << t.toString();
        }
    }
    QJsonObject object(const char *key, bool &present)
    {
        const QJsonValue v = m_object.value(QLatin1String(key));
        present = !v.isUndefined();
        if (present && !v.isObject())
            fail(QStringLiteral("\"%1\" is not an object").arg(QLatin1String(key)));
        return v.toObject();
    }

private:
    const QJsonObject &m_object;
    QString m_where;
    QString m_error;
};

// Day numbers of capture and file times: far beyond any camera's, but finite.
constexpr double MaxDays = 3.0e6;

void readMeta(Fields &f, const QJsonObject &o, TJPEGData &meta)
{
    Fields m(o, QStringLiteral("metadata"));
    m.texts("str", meta.Str);
    meta.CaptureTime = m.number("capture", 0, -MaxDays, MaxDays);
    meta.CaptureSubSecond = m.number("subsec", -1, -1, 1);
    meta.FileTime = m.number("file_time", 0, -MaxDays, MaxDays);
    meta.FileSize = m.integer("file_size", 0, 0, std::numeric_limits<qint64>::max());
    meta.OrientationCode = qint32(m.integer("orientation", 0, -1, 3));
    meta.HasExif = m.flag("exif", false);
    if (!m.ok())
        f.fail(m.error());
}

bool readPartner(const QString &text, int &list, int &row)
{
    if (text.size() < 2 || (text[0] != u'L' && text[0] != u'R'))
        return false;
    bool ok = false;
    const QStringView digits = QStringView(text).mid(1);
    for (const QChar c : digits) {
        if (!c.isDigit() || c.unicode() > '9')
            return false;
    }
    const int n = digits.toInt(&ok);
    if (!ok || n < 0)
        return false;
    list = text[0] == u'L' ? 0 : 1;
    row = n;
    return true;
}

bool readRow(const QJsonValue &value, const QString &where, TSessionRow &row, QString &error)
{
    if (!value.isObject()) {
        error = where + QStringLiteral(": not an object");
        return false;
    }
    const QJsonObject o = value.toObject();
    Fields f(o, where);
    if (!f.has("attribute") || !f.has("side"))
        f.fail(QStringLiteral("\"attribute\" or \"side\" is missing"));
    if (f.has("view"))
        f.fail(QStringLiteral(
            "names a view of a stereo camera's file, which this version cannot open"));
    row.Attribute = quint8(f.integer("attribute", 0, daUnassigned, daGap));
    row.Side = quint8(f.integer("side", 0, dsMono, dsRight));
    row.Path = f.text("path");
    if (f.ok() && IsGapAttribute(row.Attribute) != row.Path.isEmpty())
        f.fail(IsGapAttribute(row.Attribute) ? QStringLiteral("a gap names a file")
                                             : QStringLiteral("an image names no file"));
    if (row.Path.contains(QChar(0)))
        f.fail(QStringLiteral("the path holds a NUL character"));
    row.FileSize = f.integer("size", -1, -1, std::numeric_limits<qint64>::max());
    row.FileMtimeNs = f.integer("mtime_ns", -1, std::numeric_limits<qint64>::min() + 1,
                                std::numeric_limits<qint64>::max());
    row.Number = qint32(f.integer("number", 0, std::numeric_limits<qint32>::min(),
                                  std::numeric_limits<qint32>::max()));
    if (f.has("partner")) {
        const QString partner = f.text("partner");
        if (f.ok() && !readPartner(partner, row.PartnerList, row.PartnerRow))
            f.fail(QStringLiteral("\"partner\" is not L<row> or R<row>"));
    }
    row.NewName = f.text("new_name");
    row.Rotation = qint32(f.integer("rotation", 0, -1, 3));
    row.Mirror = f.flag("mirror", false);
    row.Invert = f.flag("invert", false);
    row.Batch = f.flag("batch", true);
    row.Selected = f.flag("selected", false);
    row.ClockCorrection = f.number("clock_correction", 0);
    row.PairConfidence = f.number("pair_confidence", -1, -1, 1);
    row.SortTime = f.number("sort_time", 0, -MaxDays, MaxDays);
    f.texts("texts", row.Texts);
    row.Check = TFileCheck(f.integer("file_check", 0, 0, 2));
    f.siblings("siblings", row.Siblings);
    if (!row.Siblings.isEmpty() && row.Path.isEmpty())
        f.fail(QStringLiteral("a gap has siblings"));
    bool hasMeta = false;
    const QJsonObject meta = f.object("meta", hasMeta);
    if (hasMeta && f.ok()) {
        row.HasMeta = true;
        readMeta(f, meta, row.Meta);
    }
    error = f.error();
    return f.ok();
}

void writeNaming(JsonOut &out, const TNamingSettings &n)
{
    out.open('{');
    out.key("suffix_left");
    out.string(n.SuffixLeft);
    out.key("suffix_right");
    out.string(n.SuffixRight);
    out.key("suffix_mono");
    out.string(n.SuffixMono);
    out.key("folder_left");
    out.string(n.FolderLeft);
    out.key("folder_right");
    out.string(n.FolderRight);
    out.key("folder_mono");
    out.string(n.FolderMono);
    out.key("start_number");
    out.integer(n.StartNumber);
    out.key("create_folders");
    out.boolean(n.CreateMissingFolders);
    out.close('}');
}

QString readNaming(const QJsonObject &o, TNamingSettings &n)
{
    Fields f(o, QStringLiteral("naming settings"));
    n.SuffixLeft = f.text("suffix_left", n.SuffixLeft);
    n.SuffixRight = f.text("suffix_right", n.SuffixRight);
    n.SuffixMono = f.text("suffix_mono", n.SuffixMono);
    n.FolderLeft = f.text("folder_left", n.FolderLeft);
    n.FolderRight = f.text("folder_right", n.FolderRight);
    n.FolderMono = f.text("folder_mono", n.FolderMono);
    n.StartNumber =
        qint32(f.integer("start_number", n.StartNumber, std::numeric_limits<qint32>::min(),
                         std::numeric_limits<qint32>::max()));
    n.CreateMissingFolders = f.flag("create_folders", n.CreateMissingFolders);
    return f.error();
}

// Partner links must point at a row that exists and links back: the lists are rebuilt from
// them, and a one-sided link would leave an entry pointing at a row that does not know it.
QString checkPartners(const TSessionSnapshot &s)
{
    static const char *names[] = {"left", "right"};
    for (int list = 0; list < 2; ++list) {
        const auto &rows = s.Lists[std::size_t(list)];
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const TSessionRow &r = rows[i];
            if (r.PartnerList < 0)
                continue;
            const auto &other = s.Lists[std::size_t(r.PartnerList)];
            const bool back = std::size_t(r.PartnerRow) < other.size() &&
                              other[std::size_t(r.PartnerRow)].PartnerList == list &&
                              other[std::size_t(r.PartnerRow)].PartnerRow == int(i) &&
                              !(r.PartnerList == list && r.PartnerRow == int(i));
            if (!back)
                return QStringLiteral(
                           "%1 list, row %2: its partner does not exist or does not link back")
                    .arg(QLatin1String(names[list]))
                    .arg(i + 1);
        }
    }
    return {};
}

} // namespace

QByteArray WriteSessionFile(const TSessionSnapshot &snapshot)
{
    const std::size_t rows = snapshot.Lists[0].size() + snapshot.Lists[1].size();
    JsonOut out(qsizetype(1024 + rows * 700));
    out.open('{');
    out.key("format");
    out.string(QStringLiteral("duomira-session"));
    out.key("version");
    out.integer(SessionFormatVersion);
    out.key("naming");
    writeNaming(out, snapshot.Naming);
    out.key("mask");
    out.string(snapshot.Mask);
    if (!snapshot.SavedAs.isEmpty()) {
        out.key("saved_as");
        out.string(snapshot.SavedAs);
    }
    static const char *keys[] = {"left", "right"};
    for (int list = 0; list < 2; ++list) {
        out.key(keys[list]);
        out.open('[');
        for (const TSessionRow &row : snapshot.Lists[std::size_t(list)]) {
            writeRow(out, row);
            out.raw("\n");
        }
        out.close(']');
    }
    out.close('}');
    out.raw("\n");
    return out.take();
}

TSessionReadResult ReadSessionFile(const QByteArray &bytes)
{
    TSessionReadResult result;
    if (bytes.size() > SessionFileMaxBytes) {
        result.Error =
            QStringLiteral("the file is larger than any session (%1 bytes)").arg(bytes.size());
        return result;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.Error = parseError.offset >= bytes.size() - 1
                           ? QStringLiteral("the file ends too early (truncated?): %1")
                                 .arg(parseError.errorString())
                           : QStringLiteral("damaged at byte %1: %2")
                                 .arg(parseError.offset)
                                 .arg(parseError.errorString());
        return result;
    }
    if (!doc.isObject()) {
        result.Error = QStringLiteral("not a session file");
        return result;
    }
    const QJsonObject root = doc.object();
    if (root.value(QLatin1String("format")).toString() != QLatin1String("duomira-session")) {
        result.Error = QStringLiteral("not a session file");
        return result;
    }
    const QJsonValue version = root.value(QLatin1String("version"));
    const double v = version.toDouble(-1);
    if (!version.isDouble() || v < 1 || v != std::floor(v)) {
        result.Error = QStringLiteral("the file has no valid format version");
        return result;
    }
    if (v > SessionFormatVersion) {
        result.Error = QStringLiteral("the file was written by a newer version of the program "
                                      "(format %1; this version reads format %2)")
                           .arg(qint64(std::min(v, 1e15)))
                           .arg(SessionFormatVersion);
        return result;
    }
    TSessionSnapshot &s = result.Snapshot;
    const QJsonValue naming = root.value(QLatin1String("naming"));
    if (!naming.isUndefined()) {
        if (!naming.isObject()) {
            result.Error = QStringLiteral("the naming settings are not an object");
            return result;
        }
        result.Error = readNaming(naming.toObject(), s.Naming);
        if (!result.Error.isEmpty())
            return result;
    }
    const QJsonValue mask = root.value(QLatin1String("mask"));
    if (!mask.isUndefined() && (!mask.isString() || mask.toString().size() > MaxTextLength)) {
        result.Error = QStringLiteral("the rename mask is not a text");
        return result;
    }
    s.Mask = mask.toString();
    const QJsonValue savedAs = root.value(QLatin1String("saved_as"));
    if (!savedAs.isUndefined() &&
        (!savedAs.isString() || savedAs.toString().size() > MaxTextLength)) {
        result.Error = QStringLiteral("\"saved_as\" is not a text");
        return result;
    }
    s.SavedAs = savedAs.toString();
    static const char *keys[] = {"left", "right"};
    for (int list = 0; list < 2; ++list) {
        const QJsonValue rows = root.value(QLatin1String(keys[list]));
        if (!rows.isArray()) {
            result.Error = QStringLiteral("the %1 list is missing").arg(QLatin1String(keys[list]));
            return result;
        }
        const QJsonArray array = rows.toArray();
        if (array.size() > SessionMaxRows) {
            result.Error = QStringLiteral("the %1 list has more than %2 rows")
                               .arg(QLatin1String(keys[list]))
                               .arg(SessionMaxRows);
            return result;
        }
        auto &out = s.Lists[std::size_t(list)];
        out.resize(std::size_t(array.size()));
        for (qsizetype i = 0; i < array.size(); ++i) {
            if (!readRow(
                    array.at(i),
                    QStringLiteral("%1 list, row %2").arg(QLatin1String(keys[list])).arg(i + 1),
                    out[std::size_t(i)], result.Error))
                return result;
        }
    }
    result.Error = checkPartners(s);
    result.Ok = result.Error.isEmpty();
    return result;
}

quint64 SessionFingerprint(const TSessionSnapshot &snapshot)
{
    XXH3_state_t *state = XXH3_createState();
    XXH3_64bits_reset(state);
    auto add = [state](const void *data, std::size_t size) {
        XXH3_64bits_update(state, data, size);
    };
    auto addText = [&](const QString &s) {
        const qsizetype n = s.size();
        add(&n, sizeof n);
        add(s.constData(), std::size_t(n) * sizeof(QChar));
    };
    auto addValue = [&](const auto &v) { add(&v, sizeof v); };
    const TNamingSettings &n = snapshot.Naming;
    for (const QString *s : {&n.SuffixLeft, &n.SuffixRight, &n.SuffixMono, &n.FolderLeft,
                             &n.FolderRight, &n.FolderMono})
        addText(*s);
    addValue(n.StartNumber);
    addValue(n.CreateMissingFolders);
    addText(snapshot.Mask);
    for (const auto &rows : snapshot.Lists) {
        const std::size_t count = rows.size();
        addValue(count);
        for (const TSessionRow &r : rows) {
            addText(r.Path);
            addValue(r.Attribute);
            addValue(r.Side);
            addValue(r.Number);
            addValue(r.PartnerList);
            addValue(r.PartnerRow);
            addText(r.NewName);
            addValue(r.Rotation);
            const quint8 flags =
                quint8(r.Mirror | r.Invert << 1 | r.Batch << 2 | quint8(r.Check) << 3);
            addValue(flags);
            addValue(r.ClockCorrection);
            addValue(r.PairConfidence);
            for (const QString &t : r.Texts)
                addText(t);
        }
    }
    const quint64 digest = XXH3_64bits_digest(state);
    XXH3_freeState(state);
    return digest;
}
