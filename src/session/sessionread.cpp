// Reading a session file: one pass of a pull reader over the bytes (no document tree of the
// whole file), each row's values gathered by key and then checked in a fixed order, so
// that a file says the same first fault whatever order its keys come in.
#include "entries/siblings.h"
#include "session/jsonpull.h"
#include "session/sessionfile.h"

#include <cmath>
#include <functional>
#include <limits>

namespace {

using Kind = TJsonPull::Kind;

constexpr int MaxTextLength = 65536;
constexpr int MaxSiblings = 64;
// Day numbers of capture and file times: far beyond any camera's, but finite.
constexpr double MaxDays = 3.0e6;

// One value as the file gave it. Lists keep their scalar items; the contents of objects
// and of lists inside lists are skipped, only their kind is kept.
struct RawScalar
{
    Kind kind = Kind::Invalid; // Invalid: the key was not there
    bool boolean = false;
    TJsonPull::Number number;
    QString text;
};

struct RawValue : RawScalar
{
    std::vector<RawScalar> items;
};

// The keys of one kind of object, in the order the writer writes them: a reader that
// looks for each key after the previous one finds it at the first try.
struct KeySet
{
    const char *const *names;
    int count;

    // The slot of key, or -1 for a key this version does not know.
    int find(QByteArrayView key, int &hint) const
    {
        for (int tried = 0; tried < count; ++tried) {
            const int slot = (hint + tried) % count;
            if (key == QByteArrayView(names[slot])) {
                hint = slot + 1;
                return slot;
            }
        }
        return -1;
    }
};

enum RowKey
{
    rkAttribute,
    rkSide,
    rkPath,
    rkView,
    rkSize,
    rkMtime,
    rkNumber,
    rkPartner,
    rkNewName,
    rkRotation,
    rkMirror,
    rkInvert,
    rkBatch,
    rkSelected,
    rkClock,
    rkConfidence,
    rkSortTime,
    rkTexts,
    rkFileCheck,
    rkSiblings,
    rkMeta,
    RowKeyCount
};
const char *const RowKeyNames[RowKeyCount] = {"attribute",
                                              "side",
                                              "path",
                                              "view",
                                              "size",
                                              "mtime_ns",
                                              "number",
                                              "partner",
                                              "new_name",
                                              "rotation",
                                              "mirror",
                                              "invert",
                                              "batch",
                                              "selected",
                                              "clock_correction",
                                              "pair_confidence",
                                              "sort_time",
                                              "texts",
                                              "file_check",
                                              "siblings",
                                              "meta"};

enum MetaKey
{
    mkStr,
    mkCapture,
    mkSubsec,
    mkFileTime,
    mkFileSize,
    mkOrientation,
    mkExif,
    MetaKeyCount
};
const char *const MetaKeyNames[MetaKeyCount] = {"str",       "capture",     "subsec", "file_time",
                                                "file_size", "orientation", "exif"};

enum NamingKey
{
    nkSuffixLeft,
    nkSuffixRight,
    nkSuffixMono,
    nkFolderLeft,
    nkFolderRight,
    nkFolderMono,
    nkStartNumber,
    nkCreateFolders,
    nkSuffixStereo, // absent from older files: none
    NamingKeyCount
};
const char *const NamingKeyNames[NamingKeyCount] = {
    "suffix_left", "suffix_right", "suffix_mono",    "folder_left",  "folder_right",
    "folder_mono", "start_number", "create_folders", "suffix_stereo"};

enum RootKey
{
    tkFormat,
    tkVersion,
    tkNaming,
    tkMask,
    tkSavedAs,
    tkLeft,
    tkRight,
    RootKeyCount
};
const char *const RootKeyNames[RootKeyCount] = {"format",   "version", "naming", "mask",
                                                "saved_as", "left",    "right"};

// ---- Gathering values ----

bool readScalar(TJsonPull &in, RawScalar &v)
{
    v.kind = in.Peek();
    switch (v.kind) {
    case Kind::Null:
        return in.ReadNull();
    case Kind::Bool:
        return in.ReadBool(v.boolean);
    case Kind::Number:
        return in.ReadNumber(v.number);
    case Kind::String:
        return in.ReadString(v.text);
    case Kind::Array:
    case Kind::Object:
    case Kind::Invalid:
        break;
    }
    return in.SkipValue();
}

bool readValue(TJsonPull &in, RawValue &v)
{
    v.items.clear();
    if (in.Peek() != Kind::Array)
        return readScalar(in, v);
    v.kind = Kind::Array;
    if (!in.BeginArray())
        return false;
    while (in.NextItem()) {
        // A hostile list of millions of items is kept only as far as a check needs it.
        if (v.items.size() > 64)
            in.SkipValue();
        else if (!readScalar(in, v.items.emplace_back()))
            return false;
    }
    return in.Ok();
}

// The values of an object's known keys into slots (count of them); unknown keys are
// skipped. nested, when given, takes the object under key slot nestedSlot.
bool readObject(TJsonPull &in, const KeySet &keys, RawValue *slots, int nestedSlot = -1,
                const KeySet *nestedKeys = nullptr, RawValue *nested = nullptr)
{
    for (int i = 0; i < keys.count; ++i)
        slots[i].kind = Kind::Invalid;
    if (nested) {
        for (int i = 0; i < nestedKeys->count; ++i)
            nested[i].kind = Kind::Invalid;
    }
    if (!in.BeginObject())
        return false;
    QByteArrayView key;
    int hint = 0;
    while (in.NextKey(key)) {
        const int slot = keys.find(key, hint);
        if (slot < 0) {
            if (!in.SkipValue())
                return false;
        } else if (slot == nestedSlot && in.Peek() == Kind::Object) {
            slots[slot].kind = Kind::Object;
            if (!readObject(in, *nestedKeys, nested))
                return false;
        } else if (!readValue(in, slots[slot])) {
            return false;
        }
    }
    return in.Ok();
}

// ---- Checking values ----

// Checks one value after another of an object's slots and remembers the first problem.
// The place named in a message is made only when there is one.
class Fields
{
public:
    Fields(const RawValue *slots, const char *const *names, std::function<QString()> where)
        : m_slots(slots), m_names(names), m_where(std::move(where))
    {
    }

    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }
    void fail(const QString &what)
    {
        if (m_error.isEmpty())
            m_error = m_where() + QStringLiteral(": ") + what;
    }
    bool has(int slot) const { return m_slots[slot].kind != Kind::Invalid; }

    QString text(int slot, const QString &fallback = QString())
    {
        const RawValue &v = m_slots[slot];
        if (v.kind == Kind::Invalid)
            return fallback;
        if (v.kind != Kind::String) {
            fail(QStringLiteral("\"%1\" is not a text").arg(name(slot)));
            return fallback;
        }
        if (v.text.size() > MaxTextLength) {
            fail(QStringLiteral("\"%1\" is longer than %2 characters")
                     .arg(name(slot))
                     .arg(MaxTextLength));
            return fallback;
        }
        return v.text;
    }
    qint64 integer(int slot, qint64 fallback, qint64 low, qint64 high)
    {
        const RawValue &v = m_slots[slot];
        if (v.kind == Kind::Invalid)
            return fallback;
        // A whole number, exact (nanosecond times exceed what a double holds exactly);
        // fractions and huge values are refused.
        qint64 value = v.number.integer;
        bool whole = v.kind == Kind::Number && v.number.integral;
        if (v.kind == Kind::Number && !whole) {
            const double d = v.number.value;
            whole = std::isfinite(d) && d == std::trunc(d) && d >= -9.2e18 && d <= 9.2e18;
            value = whole ? qint64(d) : 0;
        }
        if (!whole || value < low || value > high) {
            fail(QStringLiteral("\"%1\" is not a whole number from %2 to %3")
                     .arg(name(slot))
                     .arg(low)
                     .arg(high));
            return fallback;
        }
        return value;
    }
    double number(int slot, double fallback, double low = -1e9, double high = 1e9)
    {
        const RawValue &v = m_slots[slot];
        if (v.kind == Kind::Invalid)
            return fallback;
        const double d = v.number.value;
        if (v.kind != Kind::Number || !std::isfinite(d) || d < low || d > high) {
            fail(QStringLiteral("\"%1\" is not a number from %2 to %3")
                     .arg(name(slot))
                     .arg(low)
                     .arg(high));
            return fallback;
        }
        return d;
    }
    bool flag(int slot, bool fallback)
    {
        const RawValue &v = m_slots[slot];
        if (v.kind == Kind::Invalid)
            return fallback;
        if (v.kind != Kind::Bool) {
            fail(QStringLiteral("\"%1\" is not true or false").arg(name(slot)));
            return fallback;
        }
        return v.boolean;
    }
    // A list of exactly N texts into out.
    template <std::size_t N> void texts(int slot, std::array<QString, N> &out)
    {
        const RawValue &v = m_slots[slot];
        if (v.kind == Kind::Invalid)
            return;
        if (v.kind != Kind::Array || v.items.size() != N) {
            fail(QStringLiteral("\"%1\" is not a list of %2 texts").arg(name(slot)).arg(N));
            return;
        }
        for (std::size_t i = 0; i < N; ++i) {
            const RawScalar &t = v.items[i];
            if (t.kind != Kind::String || t.text.size() > MaxTextLength) {
                fail(QStringLiteral("\"%1\" holds something other than a text").arg(name(slot)));
                return;
            }
            out[i] = t.text;
        }
    }
    // A list of sibling name endings (siblings.h) into out: each valid and none twice.
    void siblings(int slot, QStringList &out)
    {
        const RawValue &v = m_slots[slot];
        if (v.kind == Kind::Invalid)
            return;
        if (v.kind != Kind::Array || v.items.size() > std::size_t(MaxSiblings)) {
            fail(QStringLiteral("\"%1\" is not a list of at most %2 file name endings")
                     .arg(name(slot))
                     .arg(MaxSiblings));
            return;
        }
        for (const RawScalar &t : v.items) {
            if (t.kind != Kind::String || !IsValidSiblingTail(t.text) || out.contains(t.text)) {
                fail(QStringLiteral("\"%1\" holds something other than a file name ending "
                                    "(\".CR2\", \".xmp\") or one twice")
                         .arg(name(slot)));
                out.clear();
                return;
            }
            out << t.text;
        }
    }
    // Whether the slot holds an object (a present value of another kind fails).
    bool object(int slot)
    {
        const RawValue &v = m_slots[slot];
        if (v.kind != Kind::Invalid && v.kind != Kind::Object)
            fail(QStringLiteral("\"%1\" is not an object").arg(name(slot)));
        return v.kind == Kind::Object;
    }

private:
    QLatin1String name(int slot) const { return QLatin1String(m_names[slot]); }

    const RawValue *m_slots;
    const char *const *m_names;
    std::function<QString()> m_where;
    QString m_error;
};

void checkMeta(Fields &f, const RawValue *slots, TJPEGData &meta)
{
    Fields m(slots, MetaKeyNames, [] { return QStringLiteral("metadata"); });
    m.texts(mkStr, meta.Str);
    meta.CaptureTime = m.number(mkCapture, 0, -MaxDays, MaxDays);
    meta.CaptureSubSecond = m.number(mkSubsec, -1, -1, 1);
    meta.FileTime = m.number(mkFileTime, 0, -MaxDays, MaxDays);
    meta.FileSize = m.integer(mkFileSize, 0, 0, std::numeric_limits<qint64>::max());
    meta.OrientationCode = qint32(m.integer(mkOrientation, 0, -1, 3));
    meta.HasExif = m.flag(mkExif, false);
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

// The file (or the view of a stereo file) a row names, and its identity.
void checkRowFile(Fields &f, TSessionRow &row)
{
    row.Path = f.text(rkPath);
    if (f.ok() && IsGapAttribute(row.Attribute) != row.Path.isEmpty())
        f.fail(IsGapAttribute(row.Attribute) ? QStringLiteral("a gap names a file")
                                             : QStringLiteral("an image names no file"));
    if (row.Path.contains(QChar(0)))
        f.fail(QStringLiteral("the path holds a NUL character"));
    row.View = quint8(f.integer(rkView, 0, 1, 2));
    if (f.ok() && row.View != 0 && row.Path.isEmpty())
        f.fail(QStringLiteral("a gap names a view"));
    row.FileSize = f.integer(rkSize, -1, -1, std::numeric_limits<qint64>::max());
    row.FileMtimeNs = f.integer(rkMtime, -1, std::numeric_limits<qint64>::min() + 1,
                                std::numeric_limits<qint64>::max());
}

void checkRow(Fields &f, const RawValue *meta, TSessionRow &row)
{
    if (!f.has(rkAttribute) || !f.has(rkSide))
        f.fail(QStringLiteral("\"attribute\" or \"side\" is missing"));
    row.Attribute = quint8(f.integer(rkAttribute, 0, daUnassigned, daGap));
    row.Side = quint8(f.integer(rkSide, 0, dsMono, dsRight));
    checkRowFile(f, row);
    row.Number = qint32(f.integer(rkNumber, 0, std::numeric_limits<qint32>::min(),
                                  std::numeric_limits<qint32>::max()));
    if (f.has(rkPartner)) {
        const QString partner = f.text(rkPartner);
        if (f.ok() && !readPartner(partner, row.PartnerList, row.PartnerRow))
            f.fail(QStringLiteral("\"partner\" is not L<row> or R<row>"));
    }
    row.NewName = f.text(rkNewName);
    row.Rotation = qint32(f.integer(rkRotation, 0, -1, 3));
    row.Mirror = f.flag(rkMirror, false);
    row.Invert = f.flag(rkInvert, false);
    row.Batch = f.flag(rkBatch, true);
    row.Selected = f.flag(rkSelected, false);
    row.ClockCorrection = f.number(rkClock, 0);
    row.PairConfidence = f.number(rkConfidence, -1, -1, 1);
    row.SortTime = f.number(rkSortTime, 0, -MaxDays, MaxDays);
    f.texts(rkTexts, row.Texts);
    row.Check = TFileCheck(f.integer(rkFileCheck, 0, 0, 2));
    f.siblings(rkSiblings, row.Siblings);
    if (!row.Siblings.isEmpty() && row.Path.isEmpty())
        f.fail(QStringLiteral("a gap has siblings"));
    if (f.object(rkMeta) && f.ok()) {
        row.HasMeta = true;
        checkMeta(f, meta, row.Meta);
    }
}

// ---- The lists ----

const char *const ListNames[2] = {"left", "right"};

// One list as it is read: its rows up to the first fault in them.
struct ListRead
{
    bool present = false; // the key was there with a list
    qint64 rows = 0;      // rows in the file
    QString error;        // the first row's fault
};

// Row buffers reused from row to row.
struct RowBuffers
{
    RawValue row[RowKeyCount];
    RawValue meta[MetaKeyCount];
};

bool readList(TJsonPull &in, int list, ListRead &read, std::vector<TSessionRow> &out,
              RowBuffers &buffers)
{
    read = ListRead();
    out.clear();
    if (in.Peek() != Kind::Array)
        return in.SkipValue();
    read.present = true;
    in.BeginArray();
    static const KeySet rowKeys{RowKeyNames, RowKeyCount};
    static const KeySet metaKeys{MetaKeyNames, MetaKeyCount};
    while (in.NextItem()) {
        const qint64 index = read.rows++;
        auto where = [list, index] {
            return QStringLiteral("%1 list, row %2")
                .arg(QLatin1String(ListNames[list]))
                .arg(index + 1);
        };
        // After the first fault (or beyond the most rows a list may have) the rest is only
        // read through, for the faults of the text itself.
        if (!read.error.isEmpty() || read.rows > SessionMaxRows) {
            if (!in.SkipValue())
                return false;
            continue;
        }
        if (in.Peek() != Kind::Object) {
            if (!in.SkipValue())
                return false;
            read.error = where() + QStringLiteral(": not an object");
            continue;
        }
        if (!readObject(in, rowKeys, buffers.row, rkMeta, &metaKeys, buffers.meta))
            return false;
        Fields f(buffers.row, RowKeyNames, where);
        TSessionRow &row = out.emplace_back();
        checkRow(f, buffers.meta, row);
        read.error = f.error();
    }
    return in.Ok();
}

QString checkNaming(const RawValue *slots, TNamingSettings &n)
{
    Fields f(slots, NamingKeyNames, [] { return QStringLiteral("naming settings"); });
    n.SuffixLeft = f.text(nkSuffixLeft, n.SuffixLeft);
    n.SuffixStereo = f.text(nkSuffixStereo, n.SuffixStereo);
    n.SuffixRight = f.text(nkSuffixRight, n.SuffixRight);
    n.SuffixMono = f.text(nkSuffixMono, n.SuffixMono);
    n.FolderLeft = f.text(nkFolderLeft, n.FolderLeft);
    n.FolderRight = f.text(nkFolderRight, n.FolderRight);
    n.FolderMono = f.text(nkFolderMono, n.FolderMono);
    n.StartNumber =
        qint32(f.integer(nkStartNumber, n.StartNumber, std::numeric_limits<qint32>::min(),
                         std::numeric_limits<qint32>::max()));
    n.CreateMissingFolders = f.flag(nkCreateFolders, n.CreateMissingFolders);
    return f.error();
}

// Partner links must point at a row that exists and links back: the lists are rebuilt from
// them, and a one-sided link would leave an entry pointing at a row that does not know it.
QString checkPartners(const TSessionSnapshot &s)
{
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
                    .arg(QLatin1String(ListNames[list]))
                    .arg(i + 1);
        }
    }
    return {};
}

// Everything of the file but its rows, as found.
struct RootRead
{
    RawValue slots[RootKeyCount];
    RawValue naming[NamingKeyCount];
    ListRead lists[2];
};

// One pass over the text: the top level's values, both lists' rows.
bool readRoot(TJsonPull &in, RootRead &root, TSessionSnapshot &s)
{
    static const KeySet rootKeys{RootKeyNames, RootKeyCount};
    static const KeySet namingKeys{NamingKeyNames, NamingKeyCount};
    RowBuffers buffers;
    for (RawValue &v : root.slots)
        v.kind = Kind::Invalid;
    if (!in.BeginObject())
        return false;
    QByteArrayView key;
    int hint = 0;
    while (in.NextKey(key)) {
        const int slot = rootKeys.find(key, hint);
        bool ok = true;
        if (slot == tkLeft || slot == tkRight) {
            const int list = slot == tkLeft ? 0 : 1;
            ok = readList(in, list, root.lists[list], s.Lists[std::size_t(list)], buffers);
        } else if (slot == tkNaming && in.Peek() == Kind::Object) {
            root.slots[slot].kind = Kind::Object;
            ok = readObject(in, {NamingKeyNames, NamingKeyCount}, root.naming);
        } else if (slot >= 0) {
            ok = readValue(in, root.slots[slot]);
        } else {
            ok = in.SkipValue();
        }
        if (!ok)
            return false;
    }
    (void)namingKeys;
    return in.Finish();
}

// The first fault of what was read, in the order: what the file is, its version, its
// settings, then each list.
QString checkRoot(const RootRead &root, TSessionSnapshot &s)
{
    const RawValue &format = root.slots[tkFormat];
    if (format.kind != Kind::String || format.text != QLatin1String("duomira-session"))
        return QStringLiteral("not a session file");
    const RawValue &version = root.slots[tkVersion];
    const double v = version.number.value;
    if (version.kind != Kind::Number || !std::isfinite(v) || v < 1 || v != std::floor(v))
        return QStringLiteral("the file has no valid format version");
    if (v > SessionFormatVersion)
        return QStringLiteral("the file was written by a newer version of the program "
                              "(format %1; this version reads format %2)")
            .arg(qint64(std::min(v, 1e15)))
            .arg(SessionFormatVersion);
    const RawValue &naming = root.slots[tkNaming];
    if (naming.kind != Kind::Invalid && naming.kind != Kind::Object)
        return QStringLiteral("the naming settings are not an object");
    if (naming.kind == Kind::Object) {
        if (QString error = checkNaming(root.naming, s.Naming); !error.isEmpty())
            return error;
    }
    const RawValue &mask = root.slots[tkMask];
    if (mask.kind != Kind::Invalid &&
        (mask.kind != Kind::String || mask.text.size() > MaxTextLength))
        return QStringLiteral("the rename mask is not a text");
    s.Mask = mask.kind == Kind::String ? mask.text : QString();
    const RawValue &savedAs = root.slots[tkSavedAs];
    if (savedAs.kind != Kind::Invalid &&
        (savedAs.kind != Kind::String || savedAs.text.size() > MaxTextLength))
        return QStringLiteral("\"saved_as\" is not a text");
    s.SavedAs = savedAs.kind == Kind::String ? savedAs.text : QString();
    for (int list = 0; list < 2; ++list) {
        const ListRead &l = root.lists[list];
        if (!l.present)
            return QStringLiteral("the %1 list is missing").arg(QLatin1String(ListNames[list]));
        if (l.rows > SessionMaxRows)
            return QStringLiteral("the %1 list has more than %2 rows")
                .arg(QLatin1String(ListNames[list]))
                .arg(SessionMaxRows);
        if (!l.error.isEmpty())
            return l.error;
    }
    return checkPartners(s);
}

} // namespace

TSessionReadResult ReadSessionFile(const QByteArray &bytes)
{
    TSessionReadResult result;
    if (bytes.size() > SessionFileMaxBytes) {
        result.Error =
            QStringLiteral("the file is larger than any session (%1 bytes)").arg(bytes.size());
        return result;
    }
    TJsonPull in(bytes);
    RootRead root;
    TSessionSnapshot &s = result.Snapshot;
    const Kind top = in.Peek();
    if (top == Kind::Object) {
        readRoot(in, root, s);
    } else if (in.SkipValue() && in.Finish()) {
        result.Error = QStringLiteral("not a session file");
        return result;
    }
    if (!in.Ok()) {
        result.Error =
            in.EndedEarly()
                ? QStringLiteral("the file ends too early (truncated?): %1").arg(in.Error())
                : QStringLiteral("damaged at byte %1: %2").arg(in.ErrorOffset()).arg(in.Error());
        return result;
    }
    result.Error = checkRoot(root, s);
    result.Ok = result.Error.isEmpty();
    return result;
}
