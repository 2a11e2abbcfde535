#include "session/sessionfile.h"

#include "batch/fileops.h"
#include "entries/siblings.h"

#include <QtConcurrent/QtConcurrentMap>

#include <xxhash.h>

#include <charconv>
#include <cmath>
#include <limits>

namespace {

// ---- Writing ----

// JSON text is written directly into one buffer: tens of thousands of rows go out without a
// temporary text or number object per value.
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
        m_out.append('"');
        // Plain ASCII goes straight across; anything else through UTF-8.
        const QChar *c = text.constData();
        const qsizetype n = text.size();
        qsizetype i = 0;
        while (i < n && c[i].unicode() < 0x80)
            ++i;
        if (i == n) {
            escaped(reinterpret_cast<const char16_t *>(c), n);
        } else {
            const QByteArray utf8 = text.toUtf8();
            escaped(utf8.constData(), utf8.size());
        }
        m_out.append('"');
    }
    void integer(qint64 value)
    {
        comma();
        char buffer[24];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
        m_out.append(buffer, r.ptr - buffer);
    }
    // Shortest text that reads back as the same double; JSON has no NaN or infinity.
    void number(double value)
    {
        comma();
        if (!std::isfinite(value))
            value = 0;
        char buffer[32];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
        m_out.append(buffer, r.ptr - buffer);
    }
    // A partner link: "L<row>" or "R<row>".
    void partner(char list, int row)
    {
        comma();
        char buffer[16] = {'"', list};
        const auto r = std::to_chars(buffer + 2, buffer + sizeof buffer - 1, row);
        *r.ptr = '"';
        m_out.append(buffer, r.ptr + 1 - buffer);
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
    // Code units below 0x80 (ASCII text), or UTF-8 bytes, with quotes, backslashes and
    // control characters escaped.
    template <typename Unit> void escaped(const Unit *text, qsizetype n)
    {
        static const char hex[] = "0123456789abcdef";
        qsizetype start = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const auto u = static_cast<std::make_unsigned_t<Unit>>(text[i]);
            if (u >= 0x20 && u != '"' && u != '\\')
                continue;
            plain(text + start, i - start);
            start = i + 1;
            if (u == '"' || u == '\\') {
                m_out.append('\\').append(char(u));
            } else {
                const char code[] = {'\\', 'u', '0', '0', hex[u >> 4], hex[u & 15]};
                m_out.append(code, sizeof code);
            }
        }
        plain(text + start, n - start);
    }
    void plain(const char *text, qsizetype n) { m_out.append(text, n); }
    void plain(const char16_t *text, qsizetype n)
    {
        const qsizetype at = m_out.size();
        m_out.resize(at + n);
        char *to = m_out.data() + at;
        for (qsizetype i = 0; i < n; ++i)
            to[i] = char(text[i]);
    }

    QByteArray m_out;
    bool m_fresh = true;
};

// The identity stored for a row's file.
struct Identity
{
    qint64 size = -1;
    qint64 mtimeNs = -1; // -1: unknown
};

// The identity to store for a row's file: its size and modification time now, when they
// are still those of the record that was read; else the record's size and an unknown time.
// The record of a stereo file's view holds the size of its own picture, not the file's:
// there the time tells, and the view must still fit in the file.
Identity fileIdentity(const TSessionRow &row)
{
    Identity id;
    id.size = row.HasMeta ? row.Meta.FileSize : row.FileSize;
    if (!row.HasMeta) {
        id.mtimeNs = row.FileMtimeNs;
        return id;
    }
    const TFileStamp stamp = StatPath(row.Path);
    if (!stamp.exists || !stamp.isRegular)
        return id;
    if (row.View == 0 ? stamp.size != row.Meta.FileSize : stamp.size < row.Meta.FileSize)
        return id;
    // The record keeps the time as a day number to the millisecond.
    const double days = EpochMsecsToDays(stamp.mtimeNs / 1000000);
    if (std::abs(days - row.Meta.FileTime) * 86400000.0 < 1.5) {
        id.size = stamp.size;
        id.mtimeNs = stamp.mtimeNs;
    }
    return id;
}

// Every row's identity, one stat per file, spread over the pool's threads.
std::array<std::vector<Identity>, 2> fileIdentities(const TSessionSnapshot &snapshot)
{
    std::array<std::vector<Identity>, 2> ids;
    for (std::size_t l = 0; l < 2; ++l)
        ids[l].resize(snapshot.Lists[l].size());
    ForEachFileRowInParallel(snapshot, [&](std::size_t list, std::size_t row) {
        ids[list][row] = fileIdentity(snapshot.Lists[list][row]);
    });
    return ids;
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

void writeRow(JsonOut &out, const TSessionRow &row, const Identity &id)
{
    out.open('{');
    out.key("attribute");
    out.integer(row.Attribute);
    out.key("side");
    out.integer(row.Side);
    if (!row.Path.isEmpty()) {
        out.key("path");
        out.string(row.Path);
        if (row.View != 0) {
            out.key("view");
            out.integer(row.View);
        }
        out.key("size");
        out.integer(id.size);
        out.key("mtime_ns");
        out.integer(id.mtimeNs);
    }
    out.key("number");
    out.integer(row.Number);
    if (row.PartnerList >= 0) {
        out.key("partner");
        out.partner(row.PartnerList == 0 ? 'L' : 'R', row.PartnerRow);
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
    if (row.PairConfidence != -1) { // -1: none; any other value the reader takes comes back
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

void writeNaming(JsonOut &out, const TNamingSettings &n)
{
    out.open('{');
    out.key("suffix_left");
    out.string(n.SuffixLeft);
    out.key("suffix_right");
    out.string(n.SuffixRight);
    out.key("suffix_mono");
    out.string(n.SuffixMono);
    out.key("suffix_stereo");
    out.string(n.SuffixStereo);
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

} // namespace

QByteArray WriteSessionFile(const TSessionSnapshot &snapshot)
{
    const std::size_t rowCount = snapshot.Lists[0].size() + snapshot.Lists[1].size();
    JsonOut out(qsizetype(1024 + rowCount * 700));
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
    const std::array<std::vector<Identity>, 2> ids = fileIdentities(snapshot);
    static const char *keys[] = {"left", "right"};
    for (std::size_t list = 0; list < 2; ++list) {
        out.key(keys[list]);
        out.open('[');
        const std::vector<TSessionRow> &rows = snapshot.Lists[list];
        for (std::size_t i = 0; i < rows.size(); ++i) {
            writeRow(out, rows[i], ids[list][i]);
            out.raw("\n");
        }
        out.close(']');
    }
    out.close('}');
    out.raw("\n");
    return out.take();
}

void ForEachFileRowInParallel(const TSessionSnapshot &snapshot,
                              const std::function<void(std::size_t list, std::size_t row)> &work)
{
    // Chunks of rows, so that a task is worth handing to another thread.
    constexpr std::size_t chunk = 256;
    std::vector<std::pair<std::size_t, std::size_t>> starts;
    for (std::size_t l = 0; l < 2; ++l)
        for (std::size_t i = 0; i < snapshot.Lists[l].size(); i += chunk)
            starts.emplace_back(l, i);
    QtConcurrent::blockingMap(starts, [&](const std::pair<std::size_t, std::size_t> &start) {
        const std::vector<TSessionRow> &rows = snapshot.Lists[start.first];
        const std::size_t end = std::min(rows.size(), start.second + chunk);
        for (std::size_t i = start.second; i < end; ++i) {
            if (!rows[i].Path.isEmpty())
                work(start.first, i);
        }
    });
}

quint64 SessionFingerprint(const TNamingSettings &n, const QString &mask,
                           const std::array<std::size_t, 2> &counts, const TFingerprintRow &rowAt)
{
    XXH3_state_t *state = XXH3_createState();
    XXH3_64bits_reset(state);
    auto add = [state](const void *data, std::size_t size) {
        XXH3_64bits_update(state, data, size);
    };
    auto addText = [&](const QString &s) {
        const qsizetype size = s.size();
        add(&size, sizeof size);
        add(s.constData(), std::size_t(size) * sizeof(QChar));
    };
    auto addValue = [&](const auto &v) { add(&v, sizeof v); };
    for (const QString *s : {&n.SuffixLeft, &n.SuffixRight, &n.SuffixMono, &n.SuffixStereo,
                             &n.FolderLeft, &n.FolderRight, &n.FolderMono})
        addText(*s);
    addValue(n.StartNumber);
    addValue(n.CreateMissingFolders);
    addText(mask);
    for (std::size_t list = 0; list < 2; ++list) {
        addValue(counts[list]);
        for (std::size_t i = 0; i < counts[list]; ++i) {
            int partnerList = -1;
            int partnerRow = -1;
            const TSessionRow &r = rowAt(list, i, partnerList, partnerRow);
            addText(r.Path);
            addValue(r.View);
            addValue(r.Attribute);
            addValue(r.Side);
            addValue(r.Number);
            addValue(partnerList);
            addValue(partnerRow);
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

quint64 SessionFingerprint(const TSessionSnapshot &snapshot)
{
    return SessionFingerprint(snapshot.Naming, snapshot.Mask,
                              {snapshot.Lists[0].size(), snapshot.Lists[1].size()},
                              [&](std::size_t list, std::size_t i, int &partnerList,
                                  int &partnerRow) -> const TSessionRow & {
                                  const TSessionRow &r = snapshot.Lists[list][i];
                                  partnerList = r.PartnerList;
                                  partnerRow = r.PartnerRow;
                                  return r;
                              });
}
