#pragma once
// The image holder: one per image file, shared by every list entry that names the file.
// It holds the file's metadata record, its thumbnail (at most 300 x 300), the icons of
// the list rows per rotation, and loads the full picture for the preview.
//
// Reading a file (metadata and thumbnail) is split in two so that it can run ahead on a
// thread pool: readImageData() is pure and thread-safe, applyImageData() stores its
// result in the holder on the user interface thread. LoadImageData() does both at once.
// Everything else runs on the user interface thread.
#include "imaging/jpegdata.h"
#include "imaging/thumbnail.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QMultiHash>
#include <QRect>
#include <QRgb>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

class TGflLibrary;
class TImageList;
class THolderList;

// Bits of TDsOrgBild::HolderFlags, used by the batch job to treat a shared file once.
enum THolderFlag : quint8
{
    hfCounted = 1, // the file's extra copies have been counted
    hfMoved = 2,   // moved to the destination / its freed space counted
    hfRenamed = 4, // the rename in the source folder has been attempted / checked
    hfRotated = 8, // rotated in place in the source folder
    hfReload = 16, // changed on disk: reload the metadata after the run
};

// Where a holder's picture lies in its file: the whole file (view 0), or view 1 or 2 of a
// stereo file, a complete JPEG stream of length bytes at offset (an MPO's view), or the
// rectangle crop of the picture that stream holds (a JPS's half).
struct TPicturePart
{
    int view = 0;
    qint64 offset = 0;
    qint64 length = 0;
    QRect crop; // empty: the whole picture

    bool operator==(const TPicturePart &) const = default;
};

// The bytes of a view (empty for the whole file, or when they cannot be read).
QByteArray ReadPictureBytes(const QString &path, const TPicturePart &part);

// What reading one file produced; applied to a holder by TDsOrgBild::applyImageData.
struct ImageDataResult
{
    TJPEGData jpegData;             // the record after reading
    bool fileMissing = false;       // the file was not there when its metadata was read
    bool thumbnailRead = false;     // the thumbnail step ran (readImageData, readImageThumbnail)
    bool thumbnailReplaced = false; // the old thumbnail and icons are dropped
    TThumbnail thumbnail;           // the new thumbnail when replaced (null: none)
    bool loadErrorSet = false;      // a library load ran: loadError is its text (empty on success)
    QString loadError;
    bool paletteSet = false; // a 1-, 4- or 8-bit picture was loaded through the library
    QList<QRgb> palette;
};

// Reads the metadata record of the file at path as readImageData does, without the
// thumbnail: the built-in reader, and for files other than ".jpg" with the library its EXIF
// list (read without decoding the picture). Pure and thread-safe.
// *missing (when given) := the file was not there (or no longer a regular file); *read
// (when given) := what the built-in reader found, so that a caller needs no second look.
// A view of a stereo file (part) is read from its own JPEG stream.
TJPEGData readImageMetadata(const QString &path, const TJPEGData &current, const TGflLibrary *gfl,
                            bool *missing = nullptr, JpegReadResult *read = nullptr,
                            const TPicturePart &part = {});

// Reads the metadata and thumbnail of the file at path, starting from the record the
// holder has (a missing file leaves it unchanged). gfl is the imaging library, or null
// (or not available) for the JPEG-only mode. Pure and thread-safe.
ImageDataResult readImageData(const QString &path, const TJPEGData &current, const TGflLibrary *gfl,
                              const TPicturePart &part = {});
// The thumbnail step of readImageData alone, for a holder whose metadata is already read:
// the result's record is current, unchanged. Pure and thread-safe.
ImageDataResult readImageThumbnail(const QString &path, const TJPEGData &current,
                                   const TGflLibrary *gfl, const TPicturePart &part = {});

class TDsOrgBild
{
public:
    // A holder for path, with the path at index 0.
    explicit TDsOrgBild(const QString &path);

    bool Loaded = false;          // LoadImageData has run (the metadata is read)
    bool ThumbnailLoaded = false; // the thumbnail step has run too (it may have given none)
    bool Missing = false;         // the file was not there at the last metadata read
    QString LoadError;            // text of the last failed library load
    QStringList Paths;            // the paths the file is known under; entries keep an index
    std::array<int, 4> ImageIndex{-1, -1, -1, -1}; // icon per rotation 0..3; -1: not built
    TThumbnail Thumbnail;                          // kept compressed; null: none
    int RefCount = 0;                              // entries using the holder
    QString FileName;                              // file name part of the path given at creation
    QList<QRgb> Palette;    // colour table of the last palette picture loaded through the library
    quint8 HolderFlags = 0; // THolderFlag bits of the batch job
    TJPEGData JpegData;     // the file's metadata; all zero until loaded
    TPicturePart Part;      // the whole file, or the view of a stereo file this holder shows

    // Index of path in Paths (compared as the file system compares names), or -1.
    int IndexOfPath(const QString &path) const;
    // Index of path; a known path takes this spelling, a new one is appended.
    int AddPath(const QString &path);
    void ReplacePath(int index, const QString &path);
    QString GetPath(int index) const; // empty for an invalid index

    // Metadata and thumbnail of the path at index, once (until ReloadImageData).
    void LoadImageData(int index);                         // with the program-wide library
    void LoadImageData(int index, const TGflLibrary *gfl); // gfl null: JPEG-only mode
    void ReloadImageData(int index);
    void ReloadImageData(int index, const TGflLibrary *gfl);
    // Stores a result of readImageData (or of readImageMetadata alone) and sets Loaded.
    void applyImageData(const ImageDataResult &result);
    // Stores the thumbnail of a result of readImageThumbnail; the record stays as it is.
    void applyThumbnail(const ImageDataResult &result);

    // The full picture for the preview. With the library its error text is set on failure;
    // without it a failed JPEG decode gives a 1 x 1 picture and false.
    bool LoadBitmap(int index, QImage &bitmap, QString &errorText);
    bool LoadBitmap(int index, QImage &bitmap, QString &errorText, const TGflLibrary *gfl);

    // Index of the icon for rotation (0..3) in the image list, built on first use (and
    // again when the list has given its place to another icon); -1 without thumbnail or
    // for a rotation outside 0..3.
    int GetImageIndex(TImageList &imageList, int rotation);
    // The index of that icon when it is built and still in the list, else -1; builds
    // nothing.
    int BuiltImageIndex(const TImageList &imageList, int rotation) const;

private:
    friend class THolderList;
    THolderList *m_owner = nullptr; // the list that indexes this holder's paths, if any
    quint64 m_sequence = 0;         // creation order within the owner
};

// The icon of a thumbnail: fitted into width x height keeping its aspect, then turned by
// rotation quarter turns clockwise.
QImage MakeRotatedIcon(const QImage &thumbnail, int width, int height, int rotation);
// The same from a compressed thumbnail, drawn only as large as the icon needs.
QImage MakeRotatedIcon(const TThumbnail &thumbnail, int width, int height, int rotation);

// The list that owns every holder. The empty path has its own holder, shared by all gaps.
class THolderList
{
public:
    // The first holder whose Paths hold path (index: its position there); else the holder
    // of the same file under another name (a link, a hard link, a bind mount: same device
    // and inode), which takes path as a further name; else a new holder for path (index
    // 0), appended. The holder's RefCount grows by one. One file thus never has two
    // holders, so the batch job treats it once. The views of a stereo file (part) are the
    // exception: each has a holder of its own, keyed by path (or device and inode) and view.
    TDsOrgBild *FindOrCreateHolder(const QString &path, int &index, const TPicturePart &part = {});
    // Drops one reference; true when the holder is no longer used, and the caller then
    // removes it (RemoveHolder).
    bool ReleaseHolder(TDsOrgBild *holder);
    // Removes and destroys the holder.
    void RemoveHolder(TDsOrgBild *holder);
    // Every holder's icons become unbuilt and the image list is emptied.
    void ResetImageIndexes(TImageList &imageList);

    int Count() const { return int(m_holders.size()) - m_dead; }
    TDsOrgBild *At(int i) const
    {
        compact();
        return i >= 0 && i < Count() ? m_holders[std::size_t(i)].get() : nullptr;
    }
    int IndexOf(const TDsOrgBild *holder) const;
    void Clear();

private:
    friend class TDsOrgBild;
    // Keeps the path index true when a holder's path changes from oldPath to newPath
    // (either may be empty-null for "none").
    void PathChanged(TDsOrgBild *holder, const QString *oldPath, const QString &newPath);

    // The slot of holder in m_holders, or -1.
    int slotOf(const TDsOrgBild *holder) const;
    // Drops the empty slots of removed holders.
    void compact() const;

    // Holders in creation order (ascending m_sequence): only appended and removed. A
    // removed holder leaves an empty slot until the next compaction, so that freeing
    // tens of thousands of entries one by one does not move the rest each time.
    mutable std::vector<std::unique_ptr<TDsOrgBild>> m_holders;
    mutable std::vector<quint64> m_slotSequence; // m_sequence of each slot's holder
    mutable int m_dead = 0;                      // empty slots
    // Every path of every holder, by pathKey, so that a lookup does not walk all holders:
    // loading thousands of distinct files stays linear.
    QMultiHash<QString, TDsOrgBild *> m_byPath;
    // Creation number of every listed holder, by address: IndexOf may be asked about a
    // holder that is already destroyed, so it must not read the holder itself.
    QHash<const TDsOrgBild *, quint64> m_sequenceOf;
    // The file (device and inode) and view a holder was created for, and back.
    using Identity = QPair<QPair<quint64, quint64>, int>;
    QHash<Identity, TDsOrgBild *> m_byIdentity;
    QHash<const TDsOrgBild *, Identity> m_identityOf;
    quint64 m_nextSequence = 1;
};
