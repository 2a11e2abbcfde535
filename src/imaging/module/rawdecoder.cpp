// Camera RAW files through LibRaw: only the embedded preview is read (unpack_thumb), never
// the sensor data, and turned as the file's orientation says. JPEG previews are decoded
// with TurboJPEG at the smallest scale that still gives the size asked for.
//
// LibRaw reads every file, whether named by the user or handed over as bytes (the fuzz
// target), through one stream of ours over a byte source: LibRaw's own file and buffer
// streams differ (its buffer stream reads and writes past its ends on some inputs), and
// the bytes the fuzzer tries must take the road users' files take.
#include "imaging/bytesource.h"
#include "imaging/module/decoders.h"
#include "imaging/module/rawcontainer.h"

#include <libraw/libraw.h>
#include <turbojpeg.h>

#include <QByteArray>
#include <QFileInfo>
#include <QTransform>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace gflcore {
namespace {

// LibRaw's view of a byte source: a read position over the source's bytes, served from a
// window of the source so that LibRaw's many one-byte reads cost no system call each.
// Reads never go past the source's end.
class SourceStream final : public LibRaw_abstract_datastream
{
public:
    explicit SourceStream(TByteSource &source)
        : m_source(source), m_size(std::max<qint64>(source.size(), 0))
    {
    }

    int valid() override { return 1; }
    int read(void *buffer, size_t itemSize, size_t count) override;
    int seek(INT64 offset, int whence) override;
    INT64 tell() override { return m_pos; }
    INT64 size() override { return m_size; }
    int get_char() override;
    char *gets(char *line, int capacity) override;
    int scanf_one(const char *format, void *value) override;
    int eof() override { return m_pos >= m_size ? 1 : 0; }
    void *make_jas_stream() override { return nullptr; }

private:
    static constexpr qint64 Window = 64 * 1024;

    // Makes the window hold the byte at m_pos; false at the end or on a read error.
    bool fill();
    // Copies up to n bytes from the current position on; returns how many were copied.
    qint64 copy(char *target, qint64 n);
    // Copies n bytes at at without moving the position (from the window where it has them).
    bool peek(qint64 at, std::uint8_t *target, qint64 n);
    // True when the bytes at at begin a directory entry that LibRaw overruns on.
    bool startsRunawayPattern(qint64 at);

    TByteSource &m_source;
    const qint64 m_size;
    qint64 m_pos = 0;
    std::vector<char> m_window;
    qint64 m_windowStart = 0;
    qint64 m_windowLength = 0;
};

bool SourceStream::fill()
{
    if (m_pos >= m_size)
        return false;
    if (m_pos >= m_windowStart && m_pos - m_windowStart < m_windowLength)
        return true;
    m_window.resize(std::size_t(Window));
    const qint64 got = m_source.readAt(m_pos, m_window.data(), std::min(Window, m_size - m_pos));
    m_windowStart = m_pos;
    m_windowLength = std::max<qint64>(got, 0);
    return m_windowLength > 0;
}

qint64 SourceStream::copy(char *target, qint64 n)
{
    n = std::min(n, std::max<qint64>(m_size - m_pos, 0));
    qint64 done = 0;
    while (done < n) {
        if (n - done >= Window &&
            !(m_pos >= m_windowStart && m_pos - m_windowStart < m_windowLength)) {
            // A large read (a preview) goes straight from the source.
            const qint64 got = m_source.readAt(m_pos, target + done, n - done);
            if (got <= 0)
                break;
            done += got;
            m_pos += got;
            continue;
        }
        if (!fill())
            break;
        const qint64 inWindow = m_windowLength - (m_pos - m_windowStart);
        const qint64 take = std::min(inWindow, n - done);
        std::memcpy(target + done, m_window.data() + (m_pos - m_windowStart), std::size_t(take));
        done += take;
        m_pos += take;
    }
    return done;
}

bool SourceStream::peek(qint64 at, std::uint8_t *target, qint64 n)
{
    if (at >= m_windowStart && n <= m_windowLength && at - m_windowStart <= m_windowLength - n) {
        std::memcpy(target, m_window.data() + (at - m_windowStart), std::size_t(n));
        return true;
    }
    return m_source.readAt(at, reinterpret_cast<char *>(target), n) == n;
}

// Debian's LibRaw 0.20 reads a colour filter pattern of 36 entries (TIFF tag 0x828E when no
// 6 x 6 repeat came before it, or tag 0xFD09) through the first row of its 6 x 6 array, in a
// loop its compiler left without end: it writes on until the program crashes. Every
// directory entry LibRaw reads starts with a two-byte read of its tag, so the stream sees
// such an entry coming, in either byte order, before LibRaw acts on it.
bool SourceStream::startsRunawayPattern(qint64 at)
{
    std::uint8_t entry[8];
    if (at < 0 || at > m_size - 8 || !peek(at, entry, 8))
        return false;
    for (const bool big : {false, true}) {
        const auto u16 = [big](const std::uint8_t *p) {
            return big ? p[0] << 8 | p[1] : p[1] << 8 | p[0];
        };
        const auto u32 = [&](const std::uint8_t *p) {
            return big ? std::uint32_t(u16(p)) << 16 | std::uint32_t(u16(p + 2))
                       : std::uint32_t(u16(p + 2)) << 16 | std::uint32_t(u16(p));
        };
        const int tag = u16(entry);
        if ((tag != 0x828E && tag != 0xFD09) || u32(entry + 4) != 36)
            continue;
        if (tag == 0xFD09)
            return true;
        // The pattern is read safely after a repeat of 6 x 6 (tag 0x828D, two shorts).
        std::uint8_t before[12];
        return at < 12 || !peek(at - 12, before, 12) || u16(before) != 0x828D ||
               u16(before + 2) != 3 || u32(before + 4) != 2 || u16(before + 8) != 6 ||
               u16(before + 10) != 6;
    }
    return false;
}

// As fread: the number of whole items read. Stops LibRaw, with the exception its own
// streams throw for damaged data, before it reads a pattern it would overrun on.
int SourceStream::read(void *buffer, size_t itemSize, size_t count)
{
    if (!buffer || itemSize == 0 || count == 0)
        return 0;
    if (itemSize * count == 2 && startsRunawayPattern(m_pos))
        throw LIBRAW_EXCEPTION_IO_CORRUPT;
    const qint64 left = std::max<qint64>(m_size - m_pos, 0);
    const qint64 wanted = count > std::size_t(left) / itemSize ? left : qint64(itemSize * count);
    const qint64 got = copy(static_cast<char *>(buffer), wanted);
    return int(std::min<qint64>(got / qint64(itemSize), INT_MAX));
}

int SourceStream::seek(INT64 offset, int whence)
{
    qint64 base = 0;
    switch (whence) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = m_pos;
        break;
    case SEEK_END:
        base = m_size;
        break;
    default:
        return -1;
    }
    // As in a file: a position past the end is kept (reads there find nothing, and LibRaw's
    // parsers compare positions with the size); one before the start is refused and the
    // position stays where it was.
    qint64 target = 0;
    if (__builtin_add_overflow(base, offset, &target) || target < 0)
        return -1;
    m_pos = target;
    return 0;
}

int SourceStream::get_char()
{
    if (!fill())
        return -1;
    return static_cast<unsigned char>(m_window[std::size_t(m_pos++ - m_windowStart)]);
}

// As fgets: at most capacity - 1 bytes, up to and with a line feed, always terminated;
// null when nothing is left to read.
char *SourceStream::gets(char *line, int capacity)
{
    if (!line || capacity <= 0 || m_pos >= m_size)
        return nullptr;
    int length = 0;
    while (length < capacity - 1) {
        const int c = get_char();
        if (c < 0)
            break;
        line[length++] = char(c);
        if (c == '\n')
            break;
    }
    line[length] = '\0';
    return length > 0 || capacity == 1 ? line : nullptr;
}

// LibRaw reads only single numbers this way ("%d" into an int, "%f" into a float): the
// number is taken from the next word of at most 63 characters, and the position moves past
// what was converted. Returns 1 for a number, 0 for none, -1 at the end.
int SourceStream::scanf_one(const char *format, void *value)
{
    const bool integer = format && std::strcmp(format, "%d") == 0;
    const bool real = format && std::strcmp(format, "%f") == 0;
    if (!value || (!integer && !real))
        return 0;
    int c = 0;
    while ((c = get_char()) >= 0 && std::isspace(c)) {
    }
    if (c < 0)
        return -1;
    const qint64 start = m_pos - 1;
    char word[64];
    int length = 0;
    for (; c >= 0 && !std::isspace(c) && length < int(sizeof word) - 1; c = get_char())
        word[length++] = char(c);
    word[length] = '\0';
    char *end = word;
    if (integer) {
        const long number = std::strtol(word, &end, 10);
        if (end != word)
            *static_cast<int *>(value) = int(std::clamp<long>(number, INT_MIN, INT_MAX));
    } else {
        const float number = std::strtof(word, &end);
        if (end != word)
            *static_cast<float *>(value) = number;
    }
    m_pos = start + (end - word);
    return end != word ? 1 : 0;
}

struct TurboDeleter
{
    void operator()(void *handle) const { tjDestroy(handle); }
};

// LibRaw's orientation: 0 none, 3 half turn, 5 quarter turn counter-clockwise, 6 quarter
// turn clockwise; the picture as stored is turned by that to stand upright.
QImage upright(const QImage &stored, int flip)
{
    QTransform turn;
    switch (flip) {
    case 3:
        turn.rotate(180);
        break;
    case 5:
        turn.rotate(270);
        break;
    case 6:
        turn.rotate(90);
        break;
    default:
        return stored;
    }
    return stored.transformed(turn);
}

// LibRaw with the checks it lacks before it reads a preview. Its preview loaders allocate
// from the sizes the file states and read from the place it states, and some read more
// than they allocated (the planar loader reads its colours times the stated length into
// colours times width by height bytes). The preview is read only when the loader that
// LibRaw chose is one this knows and everything it would read and allocate lies within the
// file; a raw-coded preview is never decoded (that would be developing RAW data).
class PreviewReader : public LibRaw
{
public:
    // Failures are reported through the codes, to nobody else.
    PreviewReader() : LibRaw(LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK)
    {
    }

    bool previewLoadIsSafe(std::int64_t fileSize)
    {
        const libraw_thumbnail_t &thumb = imgdata.thumbnail;
        const std::int64_t offset = libraw_internal_data.internal_data.toffset;
        const std::int64_t length = thumb.tlength;
        // What the file holds from the preview's start on.
        if (offset < 0 || offset > fileSize)
            return false;
        const std::int64_t available = fileSize - offset;
        if (length <= 0 || length > available || thumb_load_raw)
            return false;
        const unsigned misc = libraw_internal_data.unpacker_data.thumb_misc;
        const std::int64_t colours = (misc >> 5) & 7;
        const std::int64_t pixels = std::int64_t(thumb.twidth) * thumb.theight;
        // The bytes a bitmap loader reads for the stated size must be in the file.
        const auto stored = [&](std::int64_t bytesPerPixel) {
            return pixels > 0 && pixels <= MaxDecodedPixels && bytesPerPixel > 0 &&
                   pixels * bytesPerPixel <= available;
        };
        if (write_thumb == &PreviewReader::jpeg_thumb)
            return length >= 64; // the loader writes the first two bytes whatever the length
        if (write_thumb == &PreviewReader::layer_thumb)
            return (colours == 1 || colours == 3) && length <= pixels && stored(colours);
        if (write_thumb == &PreviewReader::rollei_thumb)
            return stored(2);
        if (write_thumb == &PreviewReader::ppm_thumb) // a shorter length makes it gather strips
            return length >= pixels * colours && stored(colours);
        if (write_thumb == &PreviewReader::ppm16_thumb)
            return stored(2 * colours);
        return false;
    }
};

Decoded previewOf(PreviewReader &raw, std::int64_t fileSize, DecodeRequest request)
{
    Decoded result;
    const libraw_thumbnail_t &thumb = raw.imgdata.thumbnail;
    // The preview must lie inside the file: LibRaw reads what it can of a cut file and
    // leaves the rest of its buffer as it was.
    if (!raw.previewLoadIsSafe(fileSize)) {
        result.error = GFL_ERROR_FILE_READ;
        return result;
    }
    const int code = raw.unpack_thumb();
    if (code != LIBRAW_SUCCESS || !thumb.thumb) {
        result.error =
            code == LIBRAW_UNSUFFICIENT_MEMORY ? GFL_ERROR_NO_MEMORY : GFL_ERROR_FILE_READ;
        return result;
    }
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(thumb.thumb);
    switch (thumb.tformat) {
    case LIBRAW_THUMBNAIL_JPEG:
        result = decodeJpegScaled(bytes, thumb.tlength, request.thumbnailSide);
        break;
    case LIBRAW_THUMBNAIL_BITMAP: {
        // 8-bit rows of tcolors components, no padding.
        const int width = thumb.twidth, height = thumb.theight, colours = thumb.tcolors;
        if (width < 1 || height < 1 || (colours != 1 && colours != 3) ||
            std::size_t(width) * std::size_t(height) * std::size_t(colours) > thumb.tlength) {
            result.error = GFL_ERROR_BAD_BITMAP;
            break;
        }
        QImage picture(width, height,
                       colours == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
        if (picture.isNull()) {
            result.error = GFL_ERROR_NO_MEMORY;
            break;
        }
        for (int y = 0; y < height; ++y)
            std::memcpy(picture.scanLine(y), bytes + std::size_t(y) * width * colours,
                        std::size_t(width) * colours);
        result.image = picture.convertToFormat(QImage::Format_RGB888);
        break;
    }
    default: // 16-bit and layered previews of a few old cameras
        result.error = GFL_ERROR_UNKNOWN_FORMAT;
        break;
    }
    if (result.error == GFL_NO_ERROR)
        result.image = upright(result.image, raw.imgdata.sizes.flip);
    if (result.error == GFL_NO_ERROR && result.image.isNull())
        result.error = GFL_ERROR_NO_MEMORY;
    return result;
}

GFL_ERROR openCode(int code)
{
    switch (code) {
    case LIBRAW_SUCCESS:
        return GFL_NO_ERROR;
    case LIBRAW_FILE_UNSUPPORTED:
        return GFL_ERROR_UNKNOWN_FORMAT;
    case LIBRAW_UNSUFFICIENT_MEMORY:
        return GFL_ERROR_NO_MEMORY;
    case LIBRAW_IO_ERROR:
        return GFL_ERROR_FILE_OPEN;
    default:
        return GFL_ERROR_FILE_READ;
    }
}

} // namespace

const std::vector<const char *> &rawSuffixes()
{
    static const std::vector<const char *> suffixes = {"cr2", "cr3", "nef", "nrw", "arw", "orf",
                                                       "rw2", "dng", "pef", "raf", "srw"};
    return suffixes;
}

bool hasRawSuffix(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const char *known : rawSuffixes())
        if (suffix == QLatin1String(known))
            return true;
    return false;
}

namespace {

Decoded decodeRaw(TByteSource &source, DecodeRequest request)
{
    Decoded result;
    const RawContainer container = rawContainerOf(source);
    if (container == RawContainer::Unknown || namesOverrunMaker(source, container)) {
        result.error = GFL_ERROR_UNKNOWN_FORMAT;
        return result;
    }
    try {
        // The stream outlives the LibRaw object that reads it.
        SourceStream stream(source);
        auto raw = std::make_unique<PreviewReader>();
        const int code = raw->open_datastream(&stream);
        if (code != LIBRAW_SUCCESS) {
            result.error = openCode(code);
            return result;
        }
        return previewOf(*raw, stream.size(), request);
    } catch (const std::bad_alloc &) {
        result.error = GFL_ERROR_NO_MEMORY;
    } catch (...) {
        result.error = GFL_ERROR_FILE_READ;
    }
    return result;
}

} // namespace

Decoded decodeRawFile(const QString &path, DecodeRequest request)
{
    TFileSource source;
    switch (source.open(path)) {
    case TFileSource::OpenResult::Opened:
        return decodeRaw(source, request);
    case TFileSource::OpenResult::Missing:
        return Decoded{GFL_ERROR_FILE_OPEN, QImage()};
    default:
        return Decoded{GFL_ERROR_FILE_READ, QImage()};
    }
}

Decoded decodeRawBuffer(const std::uint8_t *data, std::size_t size, DecodeRequest request)
{
    if (!data || size > std::size_t(std::numeric_limits<qsizetype>::max()))
        return Decoded{GFL_ERROR_FILE_READ, QImage()};
    TMemorySource source(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    return decodeRaw(source, request);
}

Decoded decodeJpegScaled(const std::uint8_t *data, std::size_t size, int thumbnailSide)
{
    Decoded result;
    result.error = GFL_ERROR_FILE_READ;
    if (!data || size < 4 || size > 0x7FFFFFFF)
        return result;
    std::unique_ptr<void, TurboDeleter> tj(tjInitDecompress());
    if (!tj) {
        result.error = GFL_ERROR_NO_MEMORY;
        return result;
    }
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(tj.get(), data, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colourspace) != 0 ||
        width < 1 || height < 1)
        return result;
    // Scales come largest first; keep the last (smallest) that still reaches the side.
    int count = 0;
    const tjscalingfactor *factors = tjGetScalingFactors(&count);
    int scaledWidth = width, scaledHeight = height;
    if (thumbnailSide > 0 && factors) {
        for (int i = 0; i < count; ++i) {
            if (factors[i].num > factors[i].denom)
                continue;
            const int w = TJSCALED(width, factors[i]);
            const int h = TJSCALED(height, factors[i]);
            if (std::max(w, h) >= thumbnailSide &&
                std::int64_t(w) * h < std::int64_t(scaledWidth) * scaledHeight) {
                scaledWidth = w;
                scaledHeight = h;
            }
        }
    }
    if (std::int64_t(scaledWidth) * scaledHeight > MaxDecodedPixels) {
        result.error = GFL_ERROR_BAD_BITMAP;
        return result;
    }
    QImage picture(scaledWidth, scaledHeight, QImage::Format_RGB888);
    if (picture.isNull()) {
        result.error = GFL_ERROR_NO_MEMORY;
        return result;
    }
    const int status =
        tjDecompress2(tj.get(), data, static_cast<unsigned long>(size), picture.bits(), scaledWidth,
                      int(picture.bytesPerLine()), scaledHeight, TJPF_RGB,
                      thumbnailSide > 0 ? TJFLAG_FASTDCT : 0);
    // A warning (stray bytes, a missing end marker) still leaves a whole picture.
    if (status != 0 && tjGetErrorCode(tj.get()) != TJERR_WARNING)
        return result;
    result.error = GFL_NO_ERROR;
    result.image = std::move(picture);
    return result;
}

} // namespace gflcore
