#include "session/sessionfile.h"

#include "batch/fileops.h"

#include <QDateTime>
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
