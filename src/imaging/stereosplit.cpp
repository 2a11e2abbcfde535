#include "imaging/stereosplit.h"

#include "imaging/mpformat.h"
#include "imaging/rangecopy.h"

#include <QCoreApplication>
#include <QCryptographicHash>

#include <turbojpeg.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

using namespace mpformat;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("StereoFile", text);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Larger pictures are not decoded (the same bound as the imaging module's decoders).
constexpr qint64 MaxDecodedPixels = 150'000'000;

struct TjDeleter
{
    void operator()(void *handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

QByteArray takeTjBuffer(unsigned char *buffer, unsigned long size)
{
    QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    tjFree(buffer);
    return bytes;
}

// The header segments of a JPEG in memory that keep selects, as whole segments.
QByteArray headerSegments(const QByteArray &jpeg,
                          const std::function<bool(const Segment &, const QByteArray &)> &keep)
{
    QByteArray kept;
    TMemorySource source(jpeg);
    WalkHeader(source, 0, jpeg.size(), [&](const Segment &segment) {
        const QByteArray bytes = jpeg.mid(segment.pos, segment.length);
        if (keep(segment, bytes))
            kept += bytes;
        return Walk::Continue;
    });
    return kept;
}

bool isJpsDescriptor(const Segment &segment, const QByteArray &bytes)
{
    return segment.code == MarkerApp3 && bytes.mid(4, 8) == "_JPSJPS_";
}

// The JPEG without the segments drop selects (all of them in its header).
QByteArray withoutSegments(const QByteArray &jpeg,
                           const std::function<bool(const Segment &, const QByteArray &)> &drop)
{
    QList<TByteRange> dropped;
    TMemorySource source(jpeg);
    WalkHeader(source, 0, jpeg.size(), [&](const Segment &segment) {
        if (drop(segment, jpeg.mid(segment.pos, segment.length)))
            dropped.append({segment.pos, segment.length});
        return Walk::Continue;
    });
    QByteArray result;
    qint64 pos = 0;
    for (const TByteRange &range : dropped) {
        result += jpeg.mid(pos, range.offset - pos);
        pos = range.offset + range.length;
    }
    return result + jpeg.mid(pos);
}

// A lossless cut of the rectangle; its offset lies on the MCU grid.
std::optional<QByteArray> cropLosslessly(const QByteArray &jpeg, const TStereoView &view,
                                         QString *error)
{
    TjHandle handle(tjInitTransform());
    tjtransform transform{};
    transform.r = {view.x, view.y, view.width, view.height};
    transform.op = TJXOP_NONE;
    transform.options = TJXOPT_CROP;
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    if (!handle ||
        tjTransform(handle.get(), reinterpret_cast<const unsigned char *>(jpeg.constData()),
                    (unsigned long)jpeg.size(), 1, &out, &outSize, &transform, 0) != 0) {
        setError(error, tr("the picture could not be cut: %1")
                            .arg(QString::fromUtf8(tjGetErrorStr2(handle.get()))));
        if (out)
            tjFree(out);
        return std::nullopt;
    }
    // The descriptor would call a single view a stereo picture.
    return withoutSegments(takeTjBuffer(out, outSize), isJpsDescriptor);
}

// Both halves decoded and encoded again, with the file's EXIF, ICC profile and comments.
std::optional<std::array<TSplitView, 2>> reencodeHalves(const QByteArray &jpeg,
                                                        const TStereoFile &file, QString *error)
{
    TjHandle decoder(tjInitDecompress());
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    const auto *data = reinterpret_cast<const unsigned char *>(jpeg.constData());
    if (!decoder || tjDecompressHeader3(decoder.get(), data, (unsigned long)jpeg.size(), &width,
                                        &height, &subsampling, &colorspace) != 0) {
        setError(error, tr("the picture cannot be decoded"));
        return std::nullopt;
    }
    if (qint64(width) * height > MaxDecodedPixels) {
        setError(error, tr("the picture is too large to be decoded"));
        return std::nullopt;
    }
    const bool gray = subsampling == TJSAMP_GRAY;
    const int format = gray ? TJPF_GRAY : TJPF_RGB;
    const int pixelSize = tjPixelSize[format];
    std::vector<unsigned char> pixels(std::size_t(width) * height * pixelSize);
    if (tjDecompress2(decoder.get(), data, (unsigned long)jpeg.size(), pixels.data(), width,
                      width * pixelSize, height, format, 0) != 0) {
        setError(error, tr("the picture cannot be decoded: %1")
                            .arg(QString::fromUtf8(tjGetErrorStr2(decoder.get()))));
        return std::nullopt;
    }
    const QByteArray metadata =
        headerSegments(jpeg, [](const Segment &segment, const QByteArray &) {
            return segment.code == MarkerApp1 || segment.code == MarkerApp2 || segment.code == 0xFE;
        });
    TjHandle encoder(tjInitCompress());
    std::array<TSplitView, 2> views;
    for (int v = 0; v < 2; ++v) {
        const TStereoView &view = file.views[v];
        unsigned char *out = nullptr;
        unsigned long outSize = 0;
        const unsigned char *origin =
            pixels.data() + (std::size_t(view.y) * width + view.x) * pixelSize;
        if (!encoder || tjCompress2(encoder.get(), origin, view.width, width * pixelSize,
                                    view.height, format, &out, &outSize,
                                    gray ? TJSAMP_GRAY : subsampling, JpsReencodeQuality, 0) != 0) {
            if (out)
                tjFree(out);
            setError(error, tr("a view cannot be encoded"));
            return std::nullopt;
        }
        QByteArray encoded = takeTjBuffer(out, outSize);
        // The encoder writes SOI and a JFIF APP0 segment first: the metadata goes after them.
        qint64 at = 2;
        TMemorySource source(encoded);
        WalkHeader(source, 0, encoded.size(), [&](const Segment &segment) {
            if (segment.code != MarkerApp0)
                return Walk::Stop;
            at = segment.pos + segment.length;
            return Walk::Continue;
        });
        encoded.insert(at, metadata);
        views[v] = {encoded, true};
    }
    return views;
}

std::optional<std::array<TSplitView, 2>> splitJps(TByteSource &source, const TStereoFile &file,
                                                  QString *error)
{
    const std::optional<QByteArray> jpeg = ReadRange(source, 0, source.size());
    if (!jpeg) {
        setError(error, tr("the file cannot be read"));
        return std::nullopt;
    }
    const bool across = file.layout == TJpsLayout::SideBySide;
    const int cut = across ? file.views[0].width : file.views[0].height;
    const bool onGrid = cut % (across ? file.mcuWidth : file.mcuHeight) == 0;
    if (!onGrid)
        return reencodeHalves(*jpeg, file, error);
    std::array<TSplitView, 2> views;
    for (int v = 0; v < 2; ++v) {
        const std::optional<QByteArray> half = cropLosslessly(*jpeg, file.views[v], error);
        if (!half)
            return std::nullopt;
        views[v].jpeg = *half;
    }
    return views;
}

std::optional<QByteArray> sha256(TByteSource &source)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qint64 pos = 0; pos < source.size();) {
        const qint64 n =
            source.readAt(pos, chunk.data(), std::min<qint64>(chunk.size(), source.size() - pos));
        if (n <= 0)
            return std::nullopt;
        hash.addData(QByteArrayView(chunk.constData(), n));
        pos += n;
    }
    return hash.result();
}

} // namespace

QList<TByteRange> MpoViewRanges(const TStereoView &view)
{
    if (view.mpfLength == 0)
        return {{view.offset, view.length}};
    const qint64 afterMpf = view.mpfOffset + view.mpfLength;
    return {{view.offset, view.mpfOffset - view.offset},
            {afterMpf, view.offset + view.length - afterMpf}};
}

bool WriteMpoView(int stereoFd, const TStereoView &view, int out, QString *error)
{
    for (const TByteRange &range : MpoViewRanges(view)) {
        if (!CopyFileRange(stereoFd, range.offset, range.length, out, error))
            return false;
    }
    return true;
}

std::optional<std::array<TSplitView, 2>> SplitStereoFile(TByteSource &source,
                                                         const TStereoFile &file, QString *error)
{
    if (file.format == TStereoFormat::Jps)
        return splitJps(source, file, error);
    if (file.format != TStereoFormat::Mpo) {
        setError(error, tr("it is not a stereo file"));
        return std::nullopt;
    }
    std::array<TSplitView, 2> views;
    for (int v = 0; v < 2; ++v) {
        for (const TByteRange &range : MpoViewRanges(file.views[v])) {
            const std::optional<QByteArray> bytes = ReadRange(source, range.offset, range.length);
            if (!bytes) {
                setError(error, tr("the file cannot be read"));
                return std::nullopt;
            }
            views[v].jpeg += *bytes;
        }
    }
    return views;
}

std::optional<TStereoRemainder> MpoRemainder(TByteSource &source, const TStereoFile &file,
                                             QString *error)
{
    if (file.format != TStereoFormat::Mpo) {
        setError(error, tr("only a multi-picture file can be rebuilt from its views"));
        return std::nullopt;
    }
    TStereoRemainder remainder;
    remainder.fileSize = source.size();
    const std::optional<QByteArray> digest = sha256(source);
    if (!digest) {
        setError(error, tr("the file cannot be read"));
        return std::nullopt;
    }
    remainder.sha256 = *digest;

    // The views' pieces in file order; everything around them is kept here.
    struct Placed
    {
        qint64 offset; // in the stereo file
        TStereoRemainder::Piece piece;
    };
    QList<Placed> fromViews;
    for (int v = 0; v < 2; ++v) {
        qint64 inView = 0;
        for (const TByteRange &range : MpoViewRanges(file.views[v])) {
            fromViews.append(
                Placed{range.offset, TStereoRemainder::Piece{v, inView, range.length, {}}});
            inView += range.length;
        }
    }
    std::sort(fromViews.begin(), fromViews.end(),
              [](const Placed &a, const Placed &b) { return a.offset < b.offset; });
    qint64 pos = 0;
    auto keep = [&](qint64 until) -> bool {
        if (until <= pos)
            return true;
        const std::optional<QByteArray> bytes = ReadRange(source, pos, until - pos);
        if (!bytes)
            return false;
        remainder.pieces.append(TStereoRemainder::Piece{-1, 0, bytes->size(), *bytes});
        return true;
    };
    for (const Placed &placed : fromViews) {
        if (placed.offset < pos || !keep(placed.offset)) {
            setError(error, tr("the file cannot be read"));
            return std::nullopt;
        }
        remainder.pieces.append(placed.piece);
        pos = placed.offset + placed.piece.length;
    }
    if (!keep(remainder.fileSize)) {
        setError(error, tr("the file cannot be read"));
        return std::nullopt;
    }
    return remainder;
}

qint64 TStereoRemainder::keptBytes() const
{
    qint64 sum = 0;
    for (const Piece &piece : pieces)
        sum += piece.view < 0 ? piece.bytes.size() : 0;
    return sum;
}

namespace {

constexpr char RemainderMagic[] = "DMSR1";

void put64(QByteArray &out, quint64 v)
{
    for (int shift = 56; shift >= 0; shift -= 8)
        out.append(char(v >> shift));
}

} // namespace

QByteArray TStereoRemainder::serialize() const
{
    //  "DMSR1" | file size(8) | SHA-256(32) | pieces(4) | per piece: source(1: 0, 1 or FF)
    //  then a view's piece: from(8) length(8); kept bytes: length(8) bytes
    QByteArray out(RemainderMagic);
    put64(out, quint64(fileSize));
    out += sha256.leftJustified(32, '\0', true);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char(quint32(pieces.size()) >> shift));
    for (const Piece &piece : pieces) {
        out.append(char(piece.view < 0 ? 0xFF : piece.view));
        if (piece.view >= 0)
            put64(out, quint64(piece.from));
        put64(out, quint64(piece.view < 0 ? piece.bytes.size() : piece.length));
        if (piece.view < 0)
            out += piece.bytes;
    }
    return out;
}

std::optional<TStereoRemainder> TStereoRemainder::parse(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 size = bytes.size();
    qint64 pos = 0;
    auto get64 = [&](qint64 &v) {
        if (size - pos < 8)
            return false;
        quint64 x = 0;
        for (int i = 0; i < 8; ++i)
            x = x << 8 | p[pos + i];
        pos += 8;
        if (x > quint64(std::numeric_limits<qint64>::max()))
            return false;
        v = qint64(x);
        return true;
    };
    const qint64 magic = qint64(sizeof RemainderMagic) - 1;
    if (!bytes.startsWith(RemainderMagic))
        return std::nullopt;
    pos = magic;
    TStereoRemainder remainder;
    if (!get64(remainder.fileSize) || size - pos < 32 + 4)
        return std::nullopt;
    remainder.sha256 = bytes.mid(pos, 32);
    pos += 32;
    const quint32 count =
        quint32(p[pos]) << 24 | quint32(p[pos + 1]) << 16 | quint32(p[pos + 2]) << 8 | p[pos + 3];
    pos += 4;
    if (count > quint64(size - pos) / 9) // every piece takes at least 9 bytes
        return std::nullopt;
    for (quint32 i = 0; i < count; ++i) {
        if (pos >= size)
            return std::nullopt;
        Piece piece;
        const uchar source = p[pos++];
        if (source > 1 && source != 0xFF)
            return std::nullopt;
        piece.view = source == 0xFF ? -1 : source;
        if (piece.view >= 0 && !get64(piece.from))
            return std::nullopt;
        if (!get64(piece.length))
            return std::nullopt;
        if (piece.view < 0) {
            if (piece.length > size - pos)
                return std::nullopt;
            piece.bytes = bytes.mid(pos, piece.length);
            pos += piece.length;
        }
        remainder.pieces.append(piece);
    }
    if (pos != size)
        return std::nullopt;
    return remainder;
}

std::optional<QByteArray> RebuildStereoFile(const QByteArray &view1, const QByteArray &view2,
                                            const TStereoRemainder &remainder)
{
    // Every piece checked, and the sizes added up, before anything is allocated: the
    // remainder comes from a journal, whose size field may be anything.
    qint64 total = 0;
    for (const TStereoRemainder::Piece &piece : remainder.pieces) {
        qint64 length = piece.bytes.size();
        if (piece.view >= 0) {
            const QByteArray &view = piece.view == 0 ? view1 : view2;
            if (piece.from < 0 || piece.length < 0 || piece.from > view.size() ||
                piece.length > view.size() - piece.from)
                return std::nullopt;
            length = piece.length;
        }
        if (length > remainder.fileSize - total)
            return std::nullopt;
        total += length;
    }
    if (total != remainder.fileSize)
        return std::nullopt;
    QByteArray file;
    file.reserve(total);
    for (const TStereoRemainder::Piece &piece : remainder.pieces) {
        if (piece.view < 0)
            file += piece.bytes;
        else
            file +=
                QByteArrayView(piece.view == 0 ? view1 : view2).sliced(piece.from, piece.length);
    }
    if (QCryptographicHash::hash(file, QCryptographicHash::Sha256) != remainder.sha256)
        return std::nullopt;
    return file;
}
