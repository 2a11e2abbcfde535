#pragma once
// A shot's files: a camera that saves RAW and JPEG writes IMG_0042.CR2 and IMG_0042.JPG, and
// raw developers and photo managers keep edits beside them (IMG_0042.xmp, IMG_0042.CR2.xmp,
// .pp3, .dop; phones write .AAE; some cameras .THM and .WAV). The loaded pictures of one
// folder with one base name are one shot: one entry for its main picture, the others its
// siblings; sidecars found on disk travel with the picture they belong to.
//
// An entry records each sibling as its tail: what follows the main picture's base name
// (".CR2", ".xmp", ".CR2.xmp"). A sibling's path is the main picture's base plus its tail,
// and a job that gives the main picture a new name gives it to every sibling, so the tails
// stay true after a rename, a copy or a move.
#include <QString>
#include <QStringList>

#include <vector>

// What a file of a shot is, by its extension.
enum class TShotFileKind
{
    Jpeg,
    Heif,
    Raw,
    Stereo,  // MPO, JPS: never a sibling, never grouped
    Picture, // any other picture (TIFF, PNG, ...)
    Sidecar, // .xmp .pp3 .dop .aae .thm .wav
};

// The kind of a file name or path, letter case aside.
TShotFileKind ShotFileKindOf(const QString &name);

// One entry's files: its main picture and the tails of its siblings (pictures first, in the
// order they were loaded, then sidecars by name).
struct TShot
{
    QString main;
    QStringList siblings;
};

// The loaded files (paths in load order) as shots, in the order of each shot's first file.
// With keepTogether the pictures of one folder with one base name (letter case counts) are
// one shot whose main picture is the JPEG, else the HEIF, another picture, the RAW (the
// first loaded of a kind); without it each picture is a shot of its own. Sidecars are found
// with one listing of each folder: "NAME.EXT.xmp" belongs to the loaded picture NAME.EXT
// (extension letter case aside), "NAME.xmp" to the shot, or with keepTogether off to the
// loaded RAW of that name, else to the main picture of that name. A stereo file, a file
// without extension and a file loaded twice are shots of their own without siblings.
std::vector<TShot> GroupShots(const QStringList &files, bool keepTogether);

// The other files of the shot that the picture at path is in when its folder is loaded with
// keepTogether: the pictures beside it with its base name and one of extensions (lower
// case, without dot), and the shot's sidecars; paths, the main picture first when path is
// not it. Empty for a stereo file.
QStringList ShotSiblingsOnDisk(const QString &path, const QStringList &extensions);

// The path of a sibling of the picture at mainPath.
QString SiblingPath(const QString &mainPath, const QString &tail);
// Where a sibling goes when the picture at mainPath goes to mainTarget: the target's base
// name (the target without mainPath's extension) plus the tail.
QString SiblingTarget(const QString &mainPath, const QString &mainTarget, const QString &tail);
// A tail names a sidecar (else a picture).
bool IsSidecarTail(const QString &tail);
// "+RAW +XMP": what the siblings are, each kind once, in the order of tails.
QString SiblingSummary(const QStringList &tails);
// A tail a session file may hold: a dot, then a name part without separators or control
// characters, at most 255 characters.
bool IsValidSiblingTail(const QString &tail);
