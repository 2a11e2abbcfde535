#include "imaging/dsorgbild.h"

#include "imaging/gflfunctions.h"
#include "imaging/imagelist.h"
#include "imaging/jpegcodec.h"
#include "imaging/libgfl.h"
#include "imaging/pathcompare.h"
#include "imaging/rounding.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <sys/stat.h>

namespace {

bool hasJpgExtension(const QString &path)
{
    return QFileInfo(path).suffix().toUpper() == QLatin1String("JPG");
}

// The thumbnail of a picture of another format: its own aspect, 300 pixels on its longer
// side, the picture filling it (over the button-face colour where it is transparent).
TThumbnail aspectThumbnail(const QImage &picture)
{
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1)
        return {};
    const double ratio = double(picture.width()) / double(picture.height());
    int width = ThumbnailSize;
    int height = ThumbnailSize;
    if (ratio >= 1)
        height = int(std::max<long long>(1, RoundHalfEven(ThumbnailSize / ratio)));
    else
        width = int(std::max<long long>(1, RoundHalfEven(ThumbnailSize * ratio)));
    return TThumbnail::Placed(picture, QSize(width, height), QRect(0, 0, width, height),
                              ThumbnailBackground);
}

// The bytes read at first from a JPEG file: its header segments, where the EXIF block with
// its embedded thumbnail lies (an APP1 segment holds at most 64 KB).
constexpr qint64 JpegHeadBytes = 128 * 1024;

// The square thumbnail of a JPEG file: its embedded EXIF thumbnail when that is large
// enough, else its 1/8-scale decode. Null when it is not a regular file or cannot be
// decoded.
TThumbnail jpegFileThumbnail(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (TThumbnail embedded = ExifSquareThumbnail(file.read(JpegHeadBytes)); !embedded.isNull())
        return embedded;
    file.close();
    // Decoded as it is read: a large file is never held whole.
    return SquareThumbnail(DecodeJpegFile(path, 8));
}

} // namespace

QByteArray ReadPictureBytes(const QString &path, const TPicturePart &part)
{
    QFile file(path);
    if (part.view == 0 || part.offset < 0 || part.length <= 0 || !file.open(QIODevice::ReadOnly) ||
        !file.seek(part.offset))
        return QByteArray();
    QByteArray bytes = file.read(part.length);
    return bytes.size() == part.length ? bytes : QByteArray();
}

TJPEGData readImageMetadata(const QString &path, const TJPEGData &current, const TGflLibrary *gfl,
                            bool *missing, JpegReadResult *readResult, const TPicturePart &part)
{
    TJPEGData record = current;
    const JpegReadResult read = part.view > 0 ? ReadJpegData(path, part.offset, part.length, record)
                                              : ReadJpegData(path, record);
    if (missing)
        *missing = read == JpegReadResult::FileMissing;
    if (readResult)
        *readResult = read;
    if (hasJpgExtension(path) || part.view > 0)
        return record;
    // Other formats (".jpeg" and ".jpe" too) need the library; without it: the built-in
    // reader only.
    const QFileInfo info(path);
    if (!gfl || !gfl->available() || path.isEmpty() || !info.exists())
        return record;
    const double fileTime = DateTimeToDays(info.lastModified());
    record.CaptureTime = fileTime;
    record.FileTime = fileTime;
    // The library's EXIF list is read from the file, not from a decoded picture: a file
    // whose picture cannot be decoded still has its capture time and texts.
    ReadGflFileExif(gfl, path, record);
    // HEIF and RAW pictures come out of the library upright; their EXIF orientation must
    // not turn them a second time. Like a JPEG marked "Normal", the entry then keeps its
    // preset rotation.
    GFL_FILE_INFORMATION format{};
    if (record.HasExif && gfl->fileInformation(path, format) == GFL_NO_ERROR &&
        (format.Flags & GFL_FILE_ORIENTATION_APPLIED))
        record.OrientationCode = -1;
    return record;
}

ImageDataResult readImageData(const QString &path, const TJPEGData &current, const TGflLibrary *gfl,
                              const TPicturePart &part)
{
    bool missing = false;
    const TJPEGData record = readImageMetadata(path, current, gfl, &missing, nullptr, part);
    ImageDataResult result = readImageThumbnail(path, record, gfl, part);
    result.fileMissing = missing;
    return result;
}

ImageDataResult readImageThumbnail(const QString &path, const TJPEGData &current,
                                   const TGflLibrary *gfl, const TPicturePart &part)
{
    ImageDataResult result;
    result.jpegData = current;
    result.thumbnailRead = true;

    if (part.view > 0) {
        const QByteArray bytes = ReadPictureBytes(path, part);
        const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
        result.thumbnailReplaced = true;
        if (part.crop.isEmpty()) {
            result.thumbnail = SquareThumbnail(DecodeJpeg(data, std::size_t(bytes.size()), 8));
        } else {
            const QImage eighth = DecodeJpeg(data, std::size_t(bytes.size()), 8);
            const QRect crop(part.crop.x() / 8, part.crop.y() / 8,
                             std::max(1, part.crop.width() / 8),
                             std::max(1, part.crop.height() / 8));
            result.thumbnail = eighth.isNull() ? TThumbnail() : SquareThumbnail(eighth.copy(crop));
        }
        return result;
    }

    if (hasJpgExtension(path)) {
        result.thumbnailReplaced = true;
        result.thumbnail = jpegFileThumbnail(path);
        return result;
    }
    if (!gfl || !gfl->available() || path.isEmpty() || !QFileInfo::exists(path))
        return result;

    GflBitmapPtr gflBitmap;
    QImage picture;
    QList<QRgb> palette;
    result.loadErrorSet = true;
    // The library may hand an embedded thumbnail or preview that is large enough.
    if (!LoadGflThumbnail(gfl, path, ThumbnailSize, gflBitmap, picture, result.loadError, palette))
        return result; // the thumbnail stays as it was
    if (picture.format() == QImage::Format_Mono || picture.format() == QImage::Format_Indexed8) {
        result.paletteSet = true;
        result.palette = palette;
    }
    gflBitmap.reset();
    result.thumbnailReplaced = true;
    result.thumbnail = aspectThumbnail(picture);
    return result;
}

TDsOrgBild::TDsOrgBild(const QString &path) : FileName(QFileInfo(path).fileName())
{
    Paths << path;
}

int TDsOrgBild::IndexOfPath(const QString &path) const
{
    for (qsizetype i = 0; i < Paths.size(); ++i) {
        if (pathsEqual(Paths[i], path))
            return int(i);
    }
    return -1;
}

int TDsOrgBild::AddPath(const QString &path)
{
    const int index = IndexOfPath(path);
    if (index >= 0) {
        Paths[index] = path; // same key, new spelling: the index is unchanged
        return index;
    }
    Paths << path;
    if (m_owner)
        m_owner->PathChanged(this, nullptr, path);
    return int(Paths.size()) - 1;
}

void TDsOrgBild::ReplacePath(int index, const QString &path)
{
    if (index < 0 || index >= Paths.size())
        return;
    const QString old = Paths[index];
    Paths[index] = path;
    if (m_owner)
        m_owner->PathChanged(this, &old, path);
}

QString TDsOrgBild::GetPath(int index) const
{
    return index >= 0 && index < Paths.size() ? Paths[index] : QString();
}

void TDsOrgBild::LoadImageData(int index)
{
    LoadImageData(index, &Gfl());
}

void TDsOrgBild::LoadImageData(int index, const TGflLibrary *gfl)
{
    if (Loaded)
        return;
    Loaded = true;
    applyImageData(readImageData(GetPath(index), JpegData, gfl, Part));
}

void TDsOrgBild::ReloadImageData(int index)
{
    ReloadImageData(index, &Gfl());
}

void TDsOrgBild::ReloadImageData(int index, const TGflLibrary *gfl)
{
    Loaded = false;
    ThumbnailLoaded = false;
    LoadImageData(index, gfl);
}

void TDsOrgBild::applyImageData(const ImageDataResult &result)
{
    Loaded = true;
    JpegData = result.jpegData;
    Missing = result.fileMissing;
    applyThumbnail(result);
}

void TDsOrgBild::applyThumbnail(const ImageDataResult &result)
{
    if (!result.thumbnailRead)
        return;
    ThumbnailLoaded = true;
    if (result.loadErrorSet)
        LoadError = result.loadError;
    if (result.paletteSet)
        Palette = result.palette;
    if (result.thumbnailReplaced) {
        ImageIndex.fill(-1);
        Thumbnail = result.thumbnail;
    }
}

bool TDsOrgBild::LoadBitmap(int index, QImage &bitmap, QString &errorText)
{
    return LoadBitmap(index, bitmap, errorText, &Gfl());
}

bool TDsOrgBild::LoadBitmap(int index, QImage &bitmap, QString &errorText, const TGflLibrary *gfl)
{
    const QString path = GetPath(index);
    if (Part.view > 0) {
        const QByteArray bytes = ReadPictureBytes(path, Part);
        bitmap = DecodeJpeg(reinterpret_cast<const unsigned char *>(bytes.constData()),
                            std::size_t(bytes.size()), 1);
        if (!bitmap.isNull() && !Part.crop.isEmpty())
            bitmap = bitmap.copy(Part.crop);
        if (bitmap.isNull()) {
            errorText = QStringLiteral("The view cannot be decoded");
            bitmap = QImage(1, 1, QImage::Format_RGB32);
            bitmap.fill(QColor::fromRgb(FullPictureBackground));
            return false;
        }
        return true;
    }
    if (gfl && gfl->available()) {
        GflBitmapPtr gflBitmap;
        QList<QRgb> palette;
        const bool ok = LoadGflBitmap(gfl, path, gflBitmap, bitmap, errorText, palette);
        if (ok &&
            (bitmap.format() == QImage::Format_Mono || bitmap.format() == QImage::Format_Indexed8))
            Palette = palette;
        return ok;
    }
    bitmap = DecodeJpegFile(path, 1);
    if (bitmap.isNull()) {
        bitmap = QImage(1, 1, QImage::Format_RGB32);
        bitmap.fill(QColor::fromRgb(FullPictureBackground));
        return false;
    }
    return true;
}

namespace {

// Where a thumbnail of that aspect goes in an icon of width x height: as large as it fits,
// centred.
QRect iconPlace(QSize thumbnail, int width, int height)
{
    const double ratio = double(thumbnail.width()) / double(thumbnail.height());
    if (ratio >= 1) {
        const int h = int(std::max<long long>(1, RoundHalfEven(height / ratio)));
        return QRect(0, int(RoundHalfEven((height - h) / 2.0)), width, h);
    }
    const int w = int(std::max<long long>(1, RoundHalfEven(ratio * width)));
    return QRect(int(RoundHalfEven((width - w) / 2.0)), 0, w, height);
}

// icon turned by rotation quarter turns clockwise.
QImage turnIcon(const QImage &icon, int rotation)
{
    if (rotation == 0)
        return icon;
    const int width = icon.width();
    const int height = icon.height();
    // Quarter turns clockwise: pixel (x, y) goes to (H-1-y, x) for one turn, to
    // (W-1-x, H-1-y) for two and to (y, W-1-x) for three.
    const bool quarter = rotation == 1 || rotation == 3;
    QImage turned(quarter ? height : width, quarter ? width : height, icon.format());
    for (int y = 0; y < height; ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(icon.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            int tx = x, ty = y;
            switch (rotation) {
            case 1:
                tx = height - 1 - y;
                ty = x;
                break;
            case 2:
                tx = width - 1 - x;
                ty = height - 1 - y;
                break;
            case 3:
                tx = y;
                ty = width - 1 - x;
                break;
            default:
                break;
            }
            reinterpret_cast<QRgb *>(turned.scanLine(ty))[tx] = row[x];
        }
    }
    return turned;
}

} // namespace

QImage MakeRotatedIcon(const QImage &thumbnail, int width, int height, int rotation)
{
    if (thumbnail.isNull() || width < 1 || height < 1)
        return QImage();
    QImage icon(width, height, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    {
        QPainter painter(&icon);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(iconPlace(thumbnail.size(), width, height), thumbnail);
    }
    return turnIcon(icon, rotation);
}

QImage MakeRotatedIcon(const TThumbnail &thumbnail, int width, int height, int rotation)
{
    if (thumbnail.isNull() || width < 1 || height < 1)
        return QImage();
    // A reduced drawing of the thumbnail is enough for an icon and several times quicker.
    const int side = std::max(width, height);
    return MakeRotatedIcon(thumbnail.image(QSize(side, side)), width, height, rotation);
}

namespace {

// What an icon in the image list belongs to: a holder and a rotation (holders are
// aligned, so the rotation fits into the address's low bits).
quintptr iconOwner(const TDsOrgBild *holder, int rotation)
{
    return reinterpret_cast<quintptr>(holder) + quintptr(rotation);
}

} // namespace

int TDsOrgBild::BuiltImageIndex(const TImageList &imageList, int rotation) const
{
    if (Thumbnail.isNull() || rotation < 0 || rotation > 3)
        return -1;
    const int known = ImageIndex[std::size_t(rotation)];
    return known >= 0 && imageList.OwnerOf(known) == iconOwner(this, rotation) ? known : -1;
}

int TDsOrgBild::GetImageIndex(TImageList &imageList, int rotation)
{
    if (Thumbnail.isNull() || rotation < 0 || rotation > 3)
        return -1;
    if (const int known = BuiltImageIndex(imageList, rotation); known >= 0) {
        imageList.Touch(known);
        return known;
    }
    const QImage icon = MakeRotatedIcon(Thumbnail, imageList.Width(), imageList.Height(), rotation);
    if (icon.isNull())
        return -1;
    const int index = imageList.Add(icon, iconOwner(this, rotation));
    ImageIndex[std::size_t(rotation)] = index;
    return index;
}

TDsOrgBild *THolderList::FindOrCreateHolder(const QString &path, int &index,
                                            const TPicturePart &part)
{
    // The first holder in creation order that knows the path (and shows the same view).
    const QString key = pathKey(path);
    TDsOrgBild *first = nullptr;
    for (auto it = m_byPath.constFind(key); it != m_byPath.cend() && it.key() == key; ++it) {
        if (it.value()->Part.view == part.view &&
            (!first || it.value()->m_sequence < first->m_sequence))
            first = it.value();
    }
    if (first) {
        index = first->IndexOfPath(path);
        ++first->RefCount;
        return first;
    }
    // Another name of a file that already has a holder (for a view: of that view).
    struct stat st
    {
    };
    const bool known = !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0;
    const Identity identity({quint64(st.st_dev), quint64(st.st_ino)}, part.view);
    if (known) {
        TDsOrgBild *same = m_byIdentity.value(identity);
        // A view is shared only where it lies in the same place (the file may have changed).
        if (same && same->Part == part) {
            // Only while one of the holder's names still leads to that file: an inode
            // number is reused once its file is gone.
            const bool still =
                std::any_of(same->Paths.cbegin(), same->Paths.cend(), [&](const QString &p) {
                    struct stat other
                    {
                    };
                    return ::stat(QFile::encodeName(p).constData(), &other) == 0 &&
                           other.st_dev == st.st_dev && other.st_ino == st.st_ino;
                });
            if (still) {
                index = same->AddPath(path);
                ++same->RefCount;
                return same;
            }
            m_byIdentity.remove(identity);
            m_identityOf.remove(same);
        }
    }
    m_holders.push_back(std::make_unique<TDsOrgBild>(path));
    index = 0;
    TDsOrgBild *holder = m_holders.back().get();
    holder->Part = part;
    holder->m_owner = this;
    holder->m_sequence = m_nextSequence++;
    m_slotSequence.push_back(holder->m_sequence);
    m_sequenceOf.insert(holder, holder->m_sequence);
    m_byPath.insert(key, holder);
    if (known) {
        m_byIdentity.insert(identity, holder);
        m_identityOf.insert(holder, identity);
    }
    ++holder->RefCount;
    return holder;
}

void THolderList::PathChanged(TDsOrgBild *holder, const QString *oldPath, const QString &newPath)
{
    // A holder may know the old path under a second index; then it stays indexed.
    if (oldPath && holder->IndexOfPath(*oldPath) < 0)
        m_byPath.remove(pathKey(*oldPath), holder);
    if (!m_byPath.contains(pathKey(newPath), holder))
        m_byPath.insert(pathKey(newPath), holder);
}

void THolderList::Clear()
{
    m_byPath.clear();
    m_sequenceOf.clear();
    m_byIdentity.clear();
    m_identityOf.clear();
    m_holders.clear();
    m_slotSequence.clear();
    m_dead = 0;
}

bool THolderList::ReleaseHolder(TDsOrgBild *holder)
{
    if (!holder)
        return false;
    --holder->RefCount;
    return holder->RefCount < 1;
}

void THolderList::RemoveHolder(TDsOrgBild *holder)
{
    const int slot = slotOf(holder);
    if (slot < 0)
        return;
    for (const QString &path : std::as_const(holder->Paths))
        m_byPath.remove(pathKey(path), holder);
    m_sequenceOf.remove(holder);
    if (const auto it = m_identityOf.constFind(holder); it != m_identityOf.cend()) {
        m_byIdentity.remove(it.value());
        m_identityOf.erase(it);
    }
    m_holders[std::size_t(slot)].reset();
    ++m_dead;
    if (m_dead > 64 && std::size_t(m_dead) * 2 > m_holders.size())
        compact();
}

void THolderList::ResetImageIndexes(TImageList &imageList)
{
    for (const std::unique_ptr<TDsOrgBild> &holder : m_holders)
        if (holder)
            holder->ImageIndex.fill(-1);
    imageList.Clear();
}

int THolderList::slotOf(const TDsOrgBild *holder) const
{
    const auto found = m_sequenceOf.constFind(holder);
    if (found == m_sequenceOf.cend())
        return -1;
    // Holders stay in creation order, so their sequence numbers ascend.
    const auto it = std::lower_bound(m_slotSequence.begin(), m_slotSequence.end(), found.value());
    if (it == m_slotSequence.end() || *it != found.value())
        return -1;
    const auto slot = std::size_t(it - m_slotSequence.begin());
    return m_holders[slot].get() == holder ? int(slot) : -1;
}

void THolderList::compact() const
{
    if (m_dead == 0)
        return;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_holders.size(); ++i) {
        if (!m_holders[i])
            continue;
        m_holders[kept] = std::move(m_holders[i]);
        m_slotSequence[kept] = m_slotSequence[i];
        ++kept;
    }
    m_holders.resize(kept);
    m_slotSequence.resize(kept);
    m_dead = 0;
}

int THolderList::IndexOf(const TDsOrgBild *holder) const
{
    compact();
    return slotOf(holder);
}
