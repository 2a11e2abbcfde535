// Effects module: lossless JPEG rotation through TurboJPEG.
//
// A file that the turn could not rewrite whole is refused and left as it is: one with
// pictures after the first (only the first would be written), and one so small that an
// edge block would come out mirrored instead of turned.
//
// The rotated file is written beside the original under the name with the extension
// ".jp_", synced, and only then renamed over the original; the folder is synced after the
// rename. Whatever fails, the original keeps its bytes and no ".jp_" file of ours stays.
#include "imaging/exifpatch.h"
#include "imaging/gflabi.h"
#include "imaging/jpegstream.h"

#include <turbojpeg.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    // Closes and reports whether the close succeeded (a failed close can lose data).
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

struct TjHandle
{
    tjhandle handle = nullptr;
    ~TjHandle()
    {
        if (handle)
            tjDestroy(handle);
    }
};

struct TjBuffer
{
    unsigned char *data = nullptr;
    unsigned long size = 0;
    ~TjBuffer()
    {
        if (data)
            tjFree(data);
    }
};

// The temporary file: the path with its extension (the part of the file name from the
// last dot) replaced by ".jp_", or ".jp_" appended when the name has no extension.
std::string temporaryPath(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    const std::string stem =
        dot != std::string::npos && dot > nameStart ? path.substr(0, dot) : path;
    return stem + ".jp_";
}

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool readAll(int fd, std::vector<unsigned char> &buffer, std::size_t size)
{
    buffer.resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer.data() + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

bool writeAll(int fd, const unsigned char *data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

void put32(std::uint8_t *p, std::uint32_t value, bool bigEndian)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(value >> (bigEndian ? 24 - 8 * i : 8 * i));
}

// The EXIF segment of the turned file with its embedded thumbnail turned the same way, so
// that other programs do not show it sideways; it replaces the bytes [from, to) of the
// file. The thumbnail is decoded, turned and encoded again (a lossless turn would have to
// trim its edge blocks, a large part of a small picture); when the new thumbnail is no
// longer than the old one it takes the old one's place, otherwise it is appended to the
// EXIF block (which must stay within one segment). Only the segment is built: the
// picture's megabytes are written from the turn's own buffer. False (the file stays as the
// main turn made it) when there is no thumbnail or anything is unexpected.
struct TurnedExif
{
    std::vector<unsigned char> segment;
    std::size_t from = 0;
    std::size_t to = 0;
};

bool turnedThumbnailSegment(const unsigned char *data, std::size_t size, int op, TurnedExif &out)
{
    const exifpatch::ThumbnailLocation where = exifpatch::findThumbnail(data, size);
    if (!where.found)
        return false;
    const std::size_t tiffStart = where.segment.tiffOffset;
    const unsigned char *thumbnail = data + tiffStart + where.thumbnailOffset;
    TjHandle decoder, encoder;
    decoder.handle = tjInitDecompress();
    encoder.handle = tjInitCompress();
    int w = 0, h = 0, subsampling = 0, colorspace = 0;
    if (!decoder.handle || !encoder.handle ||
        tjDecompressHeader3(decoder.handle, thumbnail, where.thumbnailLength, &w, &h, &subsampling,
                            &colorspace) != 0 ||
        w <= 0 || h <= 0 || w > 1024 || h > 1024)
        return false;
    std::vector<unsigned char> pixels(std::size_t(w) * std::size_t(h) * 3);
    if (tjDecompress2(decoder.handle, thumbnail, where.thumbnailLength, pixels.data(), w, 0, h,
                      TJPF_RGB, 0) != 0)
        return false;
    const bool quarter = op != TJXOP_ROT180;
    const int tw = quarter ? h : w, th = quarter ? w : h;
    std::vector<unsigned char> turnedPixels(pixels.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int nx = 0, ny = 0;
            if (op == TJXOP_ROT90) {
                nx = h - 1 - y;
                ny = x;
            } else if (op == TJXOP_ROT270) {
                nx = y;
                ny = w - 1 - x;
            } else {
                nx = w - 1 - x;
                ny = h - 1 - y;
            }
            std::memcpy(&turnedPixels[(std::size_t(ny) * std::size_t(tw) + std::size_t(nx)) * 3],
                        &pixels[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 3], 3);
        }
    }
    TjBuffer turned;
    if (tjCompress2(encoder.handle, turnedPixels.data(), tw, 0, th, TJPF_RGB, &turned.data,
                    &turned.size, TJSAMP_420, 90, 0) != 0)
        return false;
    std::vector<std::uint8_t> tiff(data + tiffStart, data + tiffStart + where.segment.tiffSize);
    std::uint32_t offset = where.thumbnailOffset;
    if (turned.size <= where.thumbnailLength) {
        std::memcpy(tiff.data() + offset, turned.data, turned.size);
        std::memset(tiff.data() + offset + turned.size, 0, where.thumbnailLength - turned.size);
    } else {
        // APP1 length: 2 length bytes + "Exif\0\0" + the TIFF block.
        if (2 + 6 + tiff.size() + turned.size > 0xFFFF)
            return false;
        offset = std::uint32_t(tiff.size());
        tiff.insert(tiff.end(), turned.data, turned.data + turned.size);
    }
    put32(tiff.data() + where.offsetValueAt, offset, where.bigEndian);
    put32(tiff.data() + where.lengthValueAt, std::uint32_t(turned.size), where.bigEndian);

    const std::size_t length = 2 + 6 + tiff.size();
    out.segment = {0xFF,
                   0xE1,
                   static_cast<unsigned char>(length >> 8),
                   static_cast<unsigned char>(length & 0xFF),
                   'E',
                   'x',
                   'i',
                   'f',
                   0,
                   0};
    out.segment.insert(out.segment.end(), tiff.begin(), tiff.end());
    out.from = where.segment.markerOffset;
    out.to = tiffStart + where.segment.tiffSize;
    return out.from <= out.to && out.to <= size;
}

// True when the turn would have to move an edge block that is also the picture's only
// block in that direction. TurboJPEG trims a partial edge block that a turn moves (the
// picture loses those rows or columns); a picture with no whole block on that side cannot
// be trimmed, and the block would be transposed without being moved: a mirror image, not a
// turn. A quarter turn clockwise moves the bottom edge, a quarter turn counter-clockwise the
// right edge, a half turn both. Sizes are those of the picture as stored.
bool edgeBlockCannotMove(int op, int width, int height, int subsampling)
{
    if (subsampling < 0 || subsampling >= TJ_NUMSAMP)
        return true;
    const int blockWidth = tjMCUWidth[subsampling], blockHeight = tjMCUHeight[subsampling];
    const bool movesBottom = op == TJXOP_ROT90 || op == TJXOP_ROT180;
    const bool movesRight = op == TJXOP_ROT270 || op == TJXOP_ROT180;
    return (movesBottom && height < blockHeight) || (movesRight && width < blockWidth);
}

// The file a turn works on: the one a symbolic link names (so that the link stays a link),
// with its status and bytes.
struct Original
{
    std::string path;
    struct stat status = {};
    std::vector<unsigned char> bytes;
};

// Reads the whole regular file fileName names, which must be writable.
GFL_ERROR readOriginal(const char *fileName, Original &o)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(fileName, nullptr), &std::free);
    if (!resolved)
        return GFL_ERROR_FILE_OPEN;
    o.path = resolved.get();
    Fd in(::open(o.path.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return GFL_ERROR_FILE_OPEN;
    if (::fstat(in.get(), &o.status) != 0 || !S_ISREG(o.status.st_mode))
        return GFL_ERROR_FILE_OPEN;
    // A file without any write permission is read-only, also for a user (root) whom the
    // system would let replace it.
    if ((o.status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
        ::access(o.path.c_str(), W_OK) != 0)
        return GFL_ERROR_FILE_WRITE;
    if (o.status.st_size <= 0 || std::uint64_t(o.status.st_size) > ULONG_MAX / 2)
        return GFL_ERROR_UNKNOWN_FORMAT;
    try {
        if (!readAll(in.get(), o.bytes, std::size_t(o.status.st_size)))
            return GFL_ERROR_FILE_READ;
    } catch (const std::bad_alloc &) {
        return GFL_ERROR_NO_MEMORY;
    }
    return GFL_NO_ERROR;
}

// The turned picture: its bytes, its EXIF segment with the turned thumbnail (when there is
// one), and whether edge blocks were trimmed.
struct Turned
{
    TjBuffer jpeg;
    TurnedExif exif;
    bool thumbnailTurned = false;
    bool trimmed = false;
};

GFL_ERROR turnPicture(const std::vector<unsigned char> &source, int op, Turned &t)
{
    TjHandle tj;
    tj.handle = tjInitTransform();
    if (!tj.handle)
        return GFL_ERROR_NO_MEMORY;
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(tj.handle, source.data(), static_cast<unsigned long>(source.size()),
                            &width, &height, &subsampling, &colorspace) != 0)
        return GFL_ERROR_UNKNOWN_FORMAT;
    const int sourceWidth = width, sourceHeight = height;
    // Only the first picture would be written: the pictures after it would be lost.
    if (jpegstream::hasDataAfterFirstStream(source.data(), source.size()))
        return GFL_ERROR_DATA_AFTER_PICTURE;
    if (edgeBlockCannotMove(op, width, height, subsampling))
        return GFL_ERROR_SMALLER_THAN_BLOCK;

    tjtransform xform{};
    xform.op = op;
    xform.options = TJXOPT_TRIM;
    // Warnings (truncated or corrupt entropy data) stop the transform: a damaged file is
    // left as it is rather than rewritten with filled-in blocks.
    if (tjTransform(tj.handle, source.data(), static_cast<unsigned long>(source.size()), 1,
                    &t.jpeg.data, &t.jpeg.size, &xform,
                    TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS) != 0)
        return GFL_ERROR_BAD_BITMAP;
    if (tjDecompressHeader3(tj.handle, t.jpeg.data, t.jpeg.size, &width, &height, &subsampling,
                            &colorspace) != 0)
        return GFL_ERROR_BAD_BITMAP;
    // The pixels now stand upright: other viewers must not turn them again.
    exifpatch::patchAfterRotation(t.jpeg.data, t.jpeg.size, std::uint32_t(width),
                                  std::uint32_t(height));
    try {
        t.thumbnailTurned = turnedThumbnailSegment(t.jpeg.data, t.jpeg.size, op, t.exif);
    } catch (const std::bad_alloc &) {
        return GFL_ERROR_NO_MEMORY;
    }
    // Edge blocks that did not fill a whole block are gone: the caller is told.
    const bool quarter = op != TJXOP_ROT180;
    t.trimmed = quarter ? (width != sourceHeight || height != sourceWidth)
                        : (width != sourceWidth || height != sourceHeight);
    return GFL_NO_ERROR;
}

// Writes the turned picture to a new temporary file beside the original, with the
// original's permissions, owner and times, synced; then replaces the original with it
// unless someone changed the original meanwhile.
GFL_ERROR replaceOriginal(const Original &o, const Turned &t)
{
    const std::string temp = temporaryPath(o.path);
    // O_EXCL: an existing file of that name (someone else's) is never overwritten.
    Fd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (out.get() < 0)
        return GFL_ERROR_FILE_CREATE;
    auto fail = [&](GFL_ERROR code) {
        out.close();
        ::unlink(temp.c_str());
        return code;
    };
    const unsigned char *data = t.jpeg.data;
    const bool written =
        t.thumbnailTurned ? writeAll(out.get(), data, t.exif.from) &&
                                writeAll(out.get(), t.exif.segment.data(), t.exif.segment.size()) &&
                                writeAll(out.get(), data + t.exif.to, t.jpeg.size - t.exif.to)
                          : writeAll(out.get(), data, t.jpeg.size);
    if (!written)
        return fail(GFL_ERROR_FILE_WRITE);
    // A turned picture was still taken when it was taken.
    ::fchmod(out.get(), o.status.st_mode & 07777);
    if (::fchown(out.get(), o.status.st_uid, o.status.st_gid) != 0) {
        // Not permitted for an ordinary user; the file then belongs to the user.
    }
    const struct timespec times[2] = {o.status.st_atim, o.status.st_mtim};
    ::futimens(out.get(), times);
    if (::fsync(out.get()) != 0)
        return fail(GFL_ERROR_FILE_WRITE);
    if (!out.close()) {
        ::unlink(temp.c_str());
        return GFL_ERROR_FILE_WRITE;
    }
    // Someone changed the original while it was being turned: keep their version.
    struct stat now
    {
    };
    if (::stat(o.path.c_str(), &now) != 0 || !sameFile(o.status, now)) {
        ::unlink(temp.c_str());
        return GFL_ERROR_FILE_WRITE;
    }
    if (::rename(temp.c_str(), o.path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return GFL_ERROR_FILE_WRITE;
    }
    Fd folder(::open(folderOf(o.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0)
        ::fsync(folder.get()); // the rename is done; a failed folder sync loses nothing
    return GFL_NO_ERROR;
}

GFL_ERROR rotate(const char *fileName, std::uint16_t transform)
{
    int op = 0;
    switch (transform) {
    case GFL_LOSSLESS_TRANSFORM_ROTATE90:
        op = TJXOP_ROT90;
        break;
    case GFL_LOSSLESS_TRANSFORM_ROTATE180:
        op = TJXOP_ROT180;
        break;
    case GFL_LOSSLESS_TRANSFORM_ROTATE270:
        op = TJXOP_ROT270;
        break;
    default:
        return GFL_ERROR_BAD_PARAMETERS;
    }
    if (!fileName || !*fileName)
        return GFL_ERROR_BAD_PARAMETERS;
    Original original;
    if (const GFL_ERROR e = readOriginal(fileName, original); e != GFL_NO_ERROR)
        return e;
    Turned turned;
    if (const GFL_ERROR e = turnPicture(original.bytes, op, turned); e != GFL_NO_ERROR)
        return e;
    if (const GFL_ERROR e = replaceOriginal(original, turned); e != GFL_NO_ERROR)
        return e;
    return turned.trimmed ? GFL_WARNING_EDGES_TRIMMED : GFL_NO_ERROR;
}

} // namespace

extern "C" {

GFL_API const char *gflGetModuleVersion(void)
{
    return GFL_MODULE_VERSION;
}

GFL_API GFL_ERROR gflJpegLosslessTransform(const char *fileName, uint16_t transform)
{
    try {
        return rotate(fileName, transform);
    } catch (...) {
        return GFL_UNKNOWN_ERROR;
    }
}

} // extern "C"
