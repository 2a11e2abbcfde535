#pragma once
// The session file (".duomira"): both lists with everything the user set, so that an
// evening's work of pairing and naming can be saved, reopened and recovered after a crash.
//
// The file is UTF-8 JSON:
//   { "format": "duomira-session", "version": 1,
//     "naming": { "suffix_left", "suffix_right", "suffix_mono", "folder_left",
//                 "folder_right", "folder_mono", "start_number", "create_folders" },
//     "mask": "...",
//     "saved_as": "..."   (recovery files only: the session file the work belongs to)
//     "left": [ row, ... ], "right": [ row, ... ] }
// A row is an object. Every key but "attribute" and "side" may be left out and then has the
// value of a new entry:
//   "path"            the file (absent for a gap)
//   "view"            1 or 2: the row shows that view of a stereo camera's file (MPO, JPS),
//                     found in the file again when it is opened; absent: the whole file
//   "size", "mtime_ns" the file's identity when its metadata was read (mtime_ns -1: unknown)
//   "attribute", "side", "number", "new_name", "rotation", "mirror", "invert", "batch",
//   "clock_correction", "pair_confidence", "sort_time", "selected"
//   "partner"         "L<row>" or "R<row>"
//   "texts"           the three text fields
//   "file_check"      1 changed (not yet confirmed), 2 missing
//   "meta"            the metadata record: "str" (18 texts), "capture", "subsec",
//                     "file_time", "file_size", "orientation", "exif"
// Reading is strict: the file comes from disk and may be truncated, damaged, made by a newer
// version or made to harm. Every value is checked for type and range before it is used, and
// the reader says what is wrong; nothing of the session changes on failure.
#include "entries/datensatz.h"
#include "entries/namingsettings.h"
#include "imaging/jpegdata.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>
#include <vector>

inline constexpr int SessionFormatVersion = 1;
// A session file larger than this is refused before it is parsed.
inline constexpr qint64 SessionFileMaxBytes = qint64(1) << 30;
// Rows per list a session may hold.
inline constexpr int SessionMaxRows = 2000000;

// One row of a list as the session file keeps it.
struct TSessionRow
{
    QString Path;         // empty: a gap
    quint8 View = 0;      // the view of a stereo file (1 or 2) the row shows; 0 the whole file
    qint64 FileSize = -1; // identity of the file when its metadata was read
    qint64 FileMtimeNs = -1;
    quint8 Attribute = daUnassigned;
    quint8 Side = dsMono;
    qint32 Number = 0;
    int PartnerList = -1; // 0 left, 1 right; -1 none
    int PartnerRow = -1;
    QString NewName;
    qint32 Rotation = 0;
    bool Mirror = false;
    bool Invert = false;
    bool Batch = true;
    bool Selected = false;
    double ClockCorrection = 0;
    double PairConfidence = -1;
    double SortTime = 0;
    std::array<QString, 3> Texts;
    TFileCheck Check = TFileCheck::Unchanged;
    QStringList Siblings; // the other files of the picture's shot (TDatensatz::Siblings)
    bool HasMeta = false; // the metadata record was read
    TJPEGData Meta;       // the file's record; a gap's own time record
};

// Both lists and the settings of a session, as plain data: taken on the user interface
// thread, written (or compared) on any thread.
struct TSessionSnapshot
{
    TNamingSettings Naming = TNamingSettings::Defaults();
    QString Mask;
    QString SavedAs; // recovery files: the session file the work belongs to ("" none)
    std::array<std::vector<TSessionRow>, 2> Lists; // left, right
};

// The JSON text of snapshot. Pure; runs on any thread. The identity of each file is taken
// now (one stat per file): the size and modification time when they still agree with the
// record, else "unknown", so that a file changed since it was read counts as changed.
QByteArray WriteSessionFile(const TSessionSnapshot &snapshot);

struct TSessionReadResult
{
    bool Ok = false;
    QString Error; // what is wrong with the file (when !Ok)
    TSessionSnapshot Snapshot;
};

// Parses and checks a session file's bytes. Pure.
TSessionReadResult ReadSessionFile(const QByteArray &bytes);

// Calls work(list, row) for every row of both lists of snapshot that names a file, spread
// over the pool's threads in chunks: the stat calls and file reads of saving and opening
// run side by side, off the calling thread.
void ForEachFileRowInParallel(const TSessionSnapshot &snapshot,
                              const std::function<void(std::size_t list, std::size_t row)> &work);

// A 64-bit digest of everything the user set (not the metadata or the identities, which the
// files give): two snapshots with the same digest hold the same work.
quint64 SessionFingerprint(const TSessionSnapshot &snapshot);
// The same over rows kept elsewhere: rowAt gives row i of a list and its partner link.
using TFingerprintRow = std::function<const TSessionRow &(std::size_t list, std::size_t row,
                                                          int &partnerList, int &partnerRow)>;
quint64 SessionFingerprint(const TNamingSettings &naming, const QString &mask,
                           const std::array<std::size_t, 2> &counts, const TFingerprintRow &rowAt);
