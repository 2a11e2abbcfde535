#pragma once
// Stereo files people can view, made from the two files of a pair as a batch job leaves
// them: an MPO (the two JPEG streams joined losslessly), side-by-side and above/below
// pictures at full or half size, and red/cyan anaglyphs. All but the MPO are decoded,
// composed and encoded again; they carry the left file's EXIF with the orientation set to
// normal, show each side turned, mirrored and inverted as the preview does, and can be
// aligned first with the pair check's figures.
//
// Pure functions on files and pictures, safe on worker threads.
#include "preview/previewlogic.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

enum class TStereoOutput
{
    Mpo,
    SideBySide,     // 2W x H, left view on the left (parallel viewing)
    HalfSideBySide, // each view squeezed to W/2 x H (3D TVs)
    CrossEyed,      // 2W x H, right view on the left
    Jps,            // the cross-eyed picture with the .jps extension
    OverUnder,      // W x 2H, left view on top
    HalfOverUnder,  // each view squeezed to W x H/2
    Anaglyph,       // red/cyan, least-squares colour matrix
    AnaglyphSimple, // red/cyan, the preview's mix
};

struct TStereoOutputInfo
{
    TStereoOutput Output;
    QString Key;       // the name duomira-cli and the settings use
    QString Suffix;    // after the pair's base name
    QString Extension; // with its dot
    QString Label;     // what the wizard shows
};

// Every output, in the order the wizard and the job list them.
const QList<TStereoOutputInfo> &StereoOutputs();
const TStereoOutputInfo &StereoOutputInfo(TStereoOutput output);
std::optional<TStereoOutput> StereoOutputByKey(const QString &key);
// The outputs of a comma-separated list of keys; nothing, with the unknown key in
// *unknown, when one is not a key. Repeated keys count once; the order is StereoOutputs'.
std::optional<QList<TStereoOutput>> ParseStereoOutputs(const QString &keys,
                                                       QString *unknown = nullptr);
QString StereoOutputKeys(const QList<TStereoOutput> &outputs);
// The file name of an output of the pair whose files are named baseName (no extension).
QString StereoOutputFileName(const QString &baseName, TStereoOutput output);

inline constexpr int DefaultStereoQuality = 95;

// One side of a pair: its file as the job leaves it and how the preview shows it (the
// quarter turns not yet done on the file, mirror, invert).
struct TStereoSide
{
    QString Path;
    TEntryLook Look;
};

// The two views, ready to be composed: one size, turned, mirrored, inverted and (when
// asked) aligned and cropped to what both show.
struct TStereoViews
{
    QImage Left, Right;     // Format_RGB32, the same size
    QByteArray LeftHeader;  // the left file's first bytes (its EXIF)
    bool Aligned = false;   // the pair check measured the pair and the views were aligned
    double WindowShift = 0; // pixels the right view was moved to the left for the window
    QString Note;           // for the job log (why a pair was not aligned, say)
};

// Reads and decodes both files (JPEG through libjpeg-turbo, other formats through Qt's
// image readers) and prepares the views. With align, the right view is corrected for the
// vertical offset, rotation and scale the pair check measures, both are cropped to the
// area they share, and the right view is moved so that the nearest point of the scene
// lies at the stereo window. Nothing, with the reason in *error, when a file cannot be
// read or decoded.
std::optional<TStereoViews> PrepareStereoViews(const TStereoSide &left, const TStereoSide &right,
                                               bool align, QString *error = nullptr);

// The picture of a re-encoded output (null for the MPO).
QImage ComposeStereoPicture(const TStereoViews &views, TStereoOutput output);

// The red/cyan anaglyph of two pictures of one size with the least-squares colour matrices
// (less rivalry between the eyes than the preview's channel mix).
QImage LeastSquaresAnaglyph(const QImage &left, const QImage &right);

struct TStereoFileResult
{
    QByteArray Bytes; // empty on failure
    QString Error;    // why nothing was made
    QString Note;     // a line for the job log beside the file
};

// The encoded file of a re-encoded output at quality (1..100).
TStereoFileResult EncodeStereoFile(const TStereoViews &views, TStereoOutput output, int quality);

// The MPO of the two files as they are on disk. A side that is not a JPEG file gives no
// MPO; the looks are not applied (the MPO is lossless) and the note says so when one asks
// for a turn, mirror or inversion.
TStereoFileResult MakeMpoFile(const TStereoSide &left, const TStereoSide &right);

// The stereo files of one pair, made on demand and from any thread: the files are read
// and the views prepared once, by the first output that needs them, and kept until the
// object goes.
class TStereoPairRender
{
public:
    TStereoPairRender(TStereoSide left, TStereoSide right, int quality, bool align);
    TStereoFileResult Make(TStereoOutput output);
    const TStereoSide &LeftSide() const { return m_left; }
    const TStereoSide &RightSide() const { return m_right; }

private:
    TStereoSide m_left, m_right;
    int m_quality;
    bool m_align;
    std::mutex m_mutex;
    bool m_prepared = false;
    std::optional<TStereoViews> m_views;
    QString m_error;
};

// The size a stereo file of output is expected to reach, for the disk space check, from
// the sizes of the two files (a little more than it will be, as a rule).
qint64 EstimatedStereoFileSize(TStereoOutput output, qint64 leftBytes, qint64 rightBytes,
                               int quality);
