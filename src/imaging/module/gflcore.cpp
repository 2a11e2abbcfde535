// Core module: picture decoding through QImageReader, HEIF/HEIC through libheif and camera
// RAW previews through LibRaw (decoders.h), the format list, the EXIF entry list
// (gflcoreexif.cpp) and the error texts.
//
// Every function may be called from several threads at once once the library is
// initialised: decoding works on per-call objects, the format list is built once by
// gflLibraryInit and only read afterwards.
#include "imaging/gflabi.h"
#include "imaging/module/decoders.h"
#include "imaging/module/gflcore_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMimeDatabase>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include <dlfcn.h>

namespace {

// Who decodes a format.
enum class Decoder
{
    Qt,
    Heif,
    Raw,
};

struct Format
{
    Decoder decoder = Decoder::Qt;
    QByteArray qtFormat; // QImageReader's name for it (Qt formats)
    std::string name;
    std::string description;
    std::string defaultSuffix;
    std::vector<std::string> extensions;
};

struct LibraryState
{
    std::mutex mutex;
    int initCount = 0;
    std::vector<Format> formats; // fixed between init and exit
    QString pluginFolder;
};

// Never destroyed: the program's library object may release the module (gflLibraryExit)
// from its own static destructor, which can run after this module's static destructors.
// The largest picture the Qt readers are asked to decode: the limit of the module's own
// decoders (150 million pixels, a 600 MB 32-bit bitmap), far beyond any camera's picture.
constexpr qint64 MaxPicturePixels = gflcore::MaxDecodedPixels;

LibraryState &state()
{
    static LibraryState *const s = new LibraryState;
    return *s;
}

void copyText(char *target, std::size_t capacity, const std::string &text)
{
    // Cut at a character boundary so that the text stays valid UTF-8.
    std::size_t length = std::min(text.size(), capacity - 1);
    while (length > 0 && length < text.size() &&
           (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    std::memcpy(target, text.data(), length);
    target[length] = '\0';
}

QString moduleFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&gflcore::initialiseExif), &info) && info.dli_fname)
        return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
    return QCoreApplication::applicationDirPath();
}

// MIME types of the module's own decoders, which a Qt plug-in must not claim as well.
bool isOwnMimeType(const QByteArray &name)
{
    return name.startsWith("image/heif") || name.startsWith("image/heic");
}

// HEIF/HEIC as one format, and one format per RAW suffix, described by the MIME database
// where it knows them.
void addOwnFormats(std::vector<Format> &formats, const QMimeDatabase &mimes)
{
    Format heif;
    heif.decoder = Decoder::Heif;
    heif.name = "heif";
    const QMimeType heifMime = mimes.mimeTypeForName(QStringLiteral("image/heif"));
    heif.description = heifMime.isValid() && !heifMime.comment().isEmpty()
                           ? heifMime.comment().toStdString()
                           : std::string("HEIF image");
    heif.defaultSuffix = "heic";
    heif.extensions = {"heic", "heif", "hif"};
    formats.push_back(std::move(heif));

    for (const char *suffix : gflcore::rawSuffixes()) {
        Format raw;
        raw.decoder = Decoder::Raw;
        raw.name = suffix;
        const QMimeType mime = mimes.mimeTypeForFile(QStringLiteral("x.") + QLatin1String(suffix),
                                                     QMimeDatabase::MatchExtension);
        raw.description = mime.isValid() && !mime.isDefault() && !mime.comment().isEmpty()
                              ? mime.comment().toStdString()
                              : QString::fromLatin1(suffix).toUpper().toStdString() + " raw image";
        raw.defaultSuffix = suffix;
        raw.extensions = {suffix};
        formats.push_back(std::move(raw));
    }
}

// One format per image MIME type the installed Qt image plug-ins can read: its
// description, file name extensions and preferred suffix from the MIME database; then the
// module's own formats.
std::vector<Format> buildFormats()
{
    std::vector<Format> formats;
    QMimeDatabase mimes;
    for (const QByteArray &mimeName : QImageReader::supportedMimeTypes()) {
        if (isOwnMimeType(mimeName))
            continue;
        const QMimeType mime = mimes.mimeTypeForName(QString::fromLatin1(mimeName));
        if (!mime.isValid())
            continue;
        Format format;
        const QList<QByteArray> qtFormats = QImageReader::imageFormatsForMimeType(mimeName);
        format.qtFormat = qtFormats.isEmpty() ? QByteArray() : qtFormats.first();
        format.name = format.qtFormat.toStdString();
        format.description = mime.comment().toStdString();
        format.defaultSuffix = mime.preferredSuffix().toStdString();
        for (const QString &suffix : mime.suffixes()) {
            if (suffix.isEmpty() || suffix.contains(QLatin1Char('.')) ||
                suffix.size() >= GFL_EXTENSION_SIZE ||
                format.extensions.size() >= GFL_MAX_EXTENSIONS)
                continue;
            format.extensions.push_back(suffix.toStdString());
        }
        formats.push_back(std::move(format));
    }
    addOwnFormats(formats, mimes);
    return formats;
}

int formatIndexOf(Decoder decoder, const QByteArray &qtFormat, const QString &path)
{
    const std::vector<Format> &formats = state().formats;
    const QByteArray suffix = QFileInfo(path).suffix().toLower().toLatin1();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        const Format &f = formats[i];
        if (f.decoder != decoder)
            continue;
        if ((decoder == Decoder::Qt && f.qtFormat == qtFormat) || decoder == Decoder::Heif ||
            (decoder == Decoder::Raw && f.name == suffix.toStdString()))
            return int(i);
    }
    return -1;
}

// The decoder of a file: the format asked for, else HEIF by content, RAW by suffix and
// everything else through the Qt plug-ins.
Decoder decoderFor(const QString &path, int formatIndex)
{
    const std::vector<Format> &formats = state().formats;
    if (formatIndex >= 0 && std::size_t(formatIndex) < formats.size())
        return formats[std::size_t(formatIndex)].decoder;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray head = file.read(64);
        if (gflcore::looksLikeHeif(reinterpret_cast<const std::uint8_t *>(head.constData()),
                                   std::size_t(head.size())))
            return Decoder::Heif;
    }
    return gflcore::hasRawSuffix(path) ? Decoder::Raw : Decoder::Qt;
}

// The whole file, mapped into memory (read when it cannot be mapped).
class FileBytes
{
public:
    explicit FileBytes(const QString &path) : m_file(path)
    {
        if (!m_file.open(QIODevice::ReadOnly) || m_file.size() <= 0)
            return;
        m_data = m_file.map(0, m_file.size());
        if (m_data) {
            m_size = std::size_t(m_file.size());
            return;
        }
        m_copy = m_file.readAll();
        m_data = reinterpret_cast<uchar *>(m_copy.data());
        m_size = std::size_t(m_copy.size());
    }
    bool opened() const { return m_file.isOpen(); }
    const std::uint8_t *data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    QFile m_file;
    QByteArray m_copy;
    uchar *m_data = nullptr;
    std::size_t m_size = 0;
};

// A picture of the module's own decoders.
gflcore::Decoded decodeOwn(Decoder decoder, const QString &path, gflcore::DecodeRequest request)
{
    if (decoder == Decoder::Raw)
        return gflcore::decodeRawFile(path, request);
    gflcore::Decoded result;
    const FileBytes bytes(path);
    if (!bytes.opened()) {
        result.error = QFileInfo::exists(path) ? GFL_ERROR_FILE_READ : GFL_ERROR_FILE_OPEN;
        return result;
    }
    return gflcore::decodeHeif(bytes.data(), bytes.size(), request);
}

GFL_ERROR readerError(QImageReader::ImageReaderError error)
{
    switch (error) {
    case QImageReader::FileNotFoundError:
        return GFL_ERROR_FILE_OPEN;
    case QImageReader::DeviceError:
        return GFL_ERROR_FILE_READ;
    case QImageReader::UnsupportedFormatError:
        return GFL_ERROR_UNKNOWN_FORMAT;
    case QImageReader::InvalidDataError:
        return GFL_ERROR_FILE_READ;
    default:
        return GFL_UNKNOWN_ERROR;
    }
}

// Pixel layout of the bitmap made from a QImage.
struct Layout
{
    uint16_t type = 0;
    uint16_t bytesPerPixel = 0;
    uint16_t bitsPerComponent = 8;
    uint16_t components = 0;
    QImage image; // converted source
};

Layout chooseLayout(const QImage &source, const GFL_LOAD_PARAMS &params)
{
    const bool keepDepth = params.Flags & GFL_LOAD_ORIGINAL_DEPTH;
    const bool bgr = (params.Flags & GFL_LOAD_FORCE_COLOR_MODEL) &&
                     (params.ColorModel == GFL_BGR || params.ColorModel == GFL_BGRA);
    Layout layout;
    if (keepDepth) {
        switch (source.format()) {
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
            layout.type = GFL_BINARY;
            layout.bitsPerComponent = 1;
            layout.components = 1;
            layout.image = source.convertToFormat(QImage::Format_Mono);
            return layout;
        case QImage::Format_Indexed8:
            layout.type = GFL_COLORS;
            layout.bytesPerPixel = 1;
            layout.components = 1;
            layout.image = source;
            return layout;
        case QImage::Format_Grayscale8:
            layout.type = GFL_GREY;
            layout.bytesPerPixel = 1;
            layout.components = 1;
            layout.image = source;
            return layout;
        case QImage::Format_Grayscale16:
            layout.type = GFL_GREY;
            layout.bytesPerPixel = 2;
            layout.bitsPerComponent = 16;
            layout.components = 1;
            layout.image = source;
            return layout;
        default:
            break;
        }
        if (source.depth() > 32) { // 16 bits or floating point per channel
            const bool alpha = source.hasAlphaChannel();
            layout.type = alpha ? (bgr ? GFL_BGRA : GFL_RGBA) : (bgr ? GFL_BGR : GFL_RGB);
            layout.components = alpha ? 4 : 3;
            layout.bitsPerComponent = 16;
            layout.bytesPerPixel = layout.components * 2;
            layout.image =
                source.convertToFormat(alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
            return layout;
        }
    }
    const bool alpha = source.hasAlphaChannel();
    layout.type = alpha ? (bgr ? GFL_BGRA : GFL_RGBA) : (bgr ? GFL_BGR : GFL_RGB);
    layout.components = alpha ? 4 : 3;
    layout.bytesPerPixel = layout.components;
    layout.image = source.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    return layout;
}

bool isBgr(uint16_t type)
{
    return type == GFL_BGR || type == GFL_BGRA;
}

// Copies the pixels row by row; rows are padded to the line padding with zero bytes.
void fillRows(const Layout &layout, GFL_BITMAP &bitmap)
{
    const QImage &image = layout.image;
    const int width = image.width();
    if (layout.type == GFL_BINARY) {
        // Bit value 1 must mean white: map the two colour table entries by brightness.
        const QList<QRgb> table = image.colorTable();
        const bool white0 = table.size() > 0 && qGray(table[0]) >= 128;
        const bool white1 = table.size() > 1 ? qGray(table[1]) >= 128 : !white0;
        const std::size_t rowBytes = std::size_t(width + 7) / 8;
        for (int y = 0; y < image.height(); ++y) {
            const uchar *src = image.constScanLine(y);
            uint8_t *dst = bitmap.Data + std::size_t(y) * bitmap.BytesPerLine;
            for (std::size_t i = 0; i < rowBytes; ++i) {
                if (!white0 && white1)
                    dst[i] = src[i];
                else if (white0 && !white1)
                    dst[i] = uint8_t(~src[i]);
                else
                    dst[i] = white0 ? 0xFF : 0x00;
            }
        }
        return;
    }
    const std::size_t rowBytes = std::size_t(width) * layout.bytesPerPixel;
    const bool swap = isBgr(layout.type);
    const int componentBytes = layout.bitsPerComponent / 8;
    for (int y = 0; y < image.height(); ++y) {
        uint8_t *dst = bitmap.Data + std::size_t(y) * bitmap.BytesPerLine;
        std::memcpy(dst, image.constScanLine(y), rowBytes);
        if (!swap)
            continue;
        // Exchange the first and third component of every pixel (RGB -> BGR).
        for (std::size_t px = 0; px < std::size_t(width); ++px) {
            uint8_t *pixel = dst + px * layout.bytesPerPixel;
            for (int b = 0; b < componentBytes; ++b)
                std::swap(pixel[b], pixel[2 * componentBytes + b]);
        }
    }
}

void freeBitmap(GFL_BITMAP *bitmap)
{
    if (!bitmap)
        return;
    std::free(bitmap->Data);
    std::free(bitmap->ColorMap);
    delete static_cast<gflcore::BitmapMetaData *>(bitmap->MetaData);
    std::free(bitmap);
}

GFL_ERROR makeBitmap(const QImage &source, const GFL_LOAD_PARAMS &params, GFL_BITMAP **result)
{
    Layout layout = chooseLayout(source, params);
    if (layout.image.isNull())
        return GFL_ERROR_NO_MEMORY;
    const QImage &image = layout.image;
    const std::size_t padding = params.LinePadding;
    const std::size_t rowBytes = layout.type == GFL_BINARY
                                     ? std::size_t(image.width() + 7) / 8
                                     : std::size_t(image.width()) * layout.bytesPerPixel;
    const std::size_t bytesPerLine = (rowBytes + padding - 1) / padding * padding;
    if (bytesPerLine > UINT32_MAX ||
        (image.height() > 0 && bytesPerLine > SIZE_MAX / std::size_t(image.height())))
        return GFL_ERROR_NO_MEMORY;

    auto *bitmap = static_cast<GFL_BITMAP *>(std::calloc(1, sizeof(GFL_BITMAP)));
    if (!bitmap)
        return GFL_ERROR_NO_MEMORY;
    bitmap->Type = layout.type;
    bitmap->Width = image.width();
    bitmap->Height = image.height();
    bitmap->BytesPerLine = uint32_t(bytesPerLine);
    bitmap->BytesPerPixel = layout.bytesPerPixel;
    bitmap->BitsPerComponent = layout.bitsPerComponent;
    bitmap->ComponentsPerPixel = layout.components;
    bitmap->Data = static_cast<uint8_t *>(
        std::calloc(std::max<std::size_t>(1, bytesPerLine * image.height()), 1));
    if (!bitmap->Data) {
        freeBitmap(bitmap);
        return GFL_ERROR_NO_MEMORY;
    }
    if (layout.type == GFL_COLORS) {
        bitmap->ColorMap = static_cast<GFL_COLORMAP *>(std::calloc(1, sizeof(GFL_COLORMAP)));
        if (!bitmap->ColorMap) {
            freeBitmap(bitmap);
            return GFL_ERROR_NO_MEMORY;
        }
        const QList<QRgb> table = image.colorTable();
        const int used = std::min<int>(256, int(table.size()));
        for (int i = 0; i < used; ++i) {
            bitmap->ColorMap->Red[i] = uint8_t(qRed(table[i]));
            bitmap->ColorMap->Green[i] = uint8_t(qGreen(table[i]));
            bitmap->ColorMap->Blue[i] = uint8_t(qBlue(table[i]));
        }
        bitmap->ColorUsed = uint16_t(used);
    }
    fillRows(layout, *bitmap);
    *result = bitmap;
    return GFL_NO_ERROR;
}

// Format, description, flags and file size of an information record.
void fillFormat(GFL_FILE_INFORMATION &info, Decoder decoder, const QByteArray &qtFormat,
                const QString &path)
{
    std::memset(&info, 0, sizeof info);
    const std::vector<Format> &formats = state().formats;
    info.FormatIndex = formatIndexOf(decoder, qtFormat, path);
    if (info.FormatIndex >= 0) {
        const Format &format = formats[std::size_t(info.FormatIndex)];
        copyText(info.Description, sizeof info.Description, format.description);
        copyText(info.FormatName, sizeof info.FormatName, format.name);
    } else {
        copyText(info.FormatName, sizeof info.FormatName, qtFormat.toStdString());
    }
    if (decoder != Decoder::Qt)
        info.Flags |= GFL_FILE_ORIENTATION_APPLIED;
    info.FileSize = QFileInfo(path).size();
}

GFL_ERROR fileInformation(const char *fileName, int32_t formatIndex, GFL_FILE_INFORMATION *info)
{
    if (!fileName || !info)
        return GFL_ERROR_BAD_PARAMETERS;
    const std::vector<Format> &formats = state().formats;
    if (formatIndex >= 0 && std::size_t(formatIndex) >= formats.size())
        return GFL_ERROR_BAD_FORMAT_INDEX;
    const QString path = QString::fromUtf8(fileName);
    if (!QFileInfo(path).isFile())
        return GFL_ERROR_FILE_OPEN;
    const Decoder decoder = decoderFor(path, formatIndex);
    if (decoder != Decoder::Qt) {
        fillFormat(*info, decoder, QByteArray(), path);
        return GFL_NO_ERROR;
    }
    QImageReader reader(path);
    reader.setAutoTransform(false);
    if (formatIndex >= 0) {
        reader.setFormat(formats[std::size_t(formatIndex)].qtFormat);
        reader.setDecideFormatFromContent(false);
    } else {
        reader.setDecideFormatFromContent(true);
    }
    if (!reader.canRead())
        return GFL_ERROR_UNKNOWN_FORMAT;
    fillFormat(*info, decoder, reader.format(), path);
    const QSize size = reader.size();
    if (size.isValid()) {
        info->Width = size.width();
        info->Height = size.height();
    }
    return GFL_NO_ERROR;
}

GFL_EXIF_DATA *exifList(const std::vector<gflcore::ExifEntry> &entries)
{
    if (entries.empty())
        return nullptr;
    auto *data = static_cast<GFL_EXIF_DATA *>(std::calloc(1, sizeof(GFL_EXIF_DATA)));
    if (!data)
        return nullptr;
    data->ItemsList =
        static_cast<GFL_EXIF_ENTRY *>(std::calloc(entries.size(), sizeof(GFL_EXIF_ENTRY)));
    if (!data->ItemsList) {
        std::free(data);
        return nullptr;
    }
    for (const gflcore::ExifEntry &entry : entries) {
        GFL_EXIF_ENTRY &item = data->ItemsList[data->NumberOfItems++];
        item.Flag = entry.flag;
        item.Tag = entry.tag;
        item.Name = strdup(entry.name.c_str());
        item.Value = strdup(entry.value.c_str());
    }
    return data;
}

GFL_LOAD_PARAMS defaultLoadParams()
{
    GFL_LOAD_PARAMS params;
    std::memset(&params, 0, sizeof params);
    params.Flags = 0;
    params.FormatIndex = -1;
    params.ColorModel = GFL_RGB;
    params.LinePadding = 1;
    return params;
}

GFL_ERROR loadBitmap(const char *fileName, GFL_BITMAP **bitmap, const GFL_LOAD_PARAMS *params,
                     GFL_FILE_INFORMATION *info, int thumbnailSide)
{
    if (!fileName || !bitmap)
        return GFL_ERROR_BAD_PARAMETERS;
    *bitmap = nullptr;
    const GFL_LOAD_PARAMS p = params ? *params : defaultLoadParams();
    if (p.LinePadding == 0 || p.LinePadding > 64)
        return GFL_ERROR_BAD_PARAMETERS;
    if ((p.Flags & GFL_LOAD_FORCE_COLOR_MODEL) && p.ColorModel != GFL_RGB &&
        p.ColorModel != GFL_RGBA && p.ColorModel != GFL_BGR && p.ColorModel != GFL_BGRA)
        return GFL_ERROR_BAD_PARAMETERS;

    const QString path = QString::fromUtf8(fileName);
    const std::vector<Format> &formats = state().formats;
    if (p.FormatIndex >= 0 && std::size_t(p.FormatIndex) >= formats.size())
        return GFL_ERROR_BAD_FORMAT_INDEX;
    const Decoder decoder = decoderFor(path, p.FormatIndex);
    QImageReader reader;
    QImage image;
    if (decoder == Decoder::Qt) {
        reader.setFileName(path);
        reader.setAutoTransform(false); // the program applies rotations itself
        if (p.FormatIndex >= 0) {
            reader.setFormat(formats[std::size_t(p.FormatIndex)].qtFormat);
            reader.setDecideFormatFromContent(false);
        } else {
            reader.setDecideFormatFromContent(true);
        }
        // A header may claim any size; a picture beyond what a camera makes is refused
        // before its reader allocates and clears gigabytes for it.
        if (const QSize claimed = reader.size();
            claimed.isValid() && qint64(claimed.width()) * claimed.height() > MaxPicturePixels)
            return GFL_ERROR_NO_MEMORY;
        if (!reader.read(&image))
            return readerError(reader.error());
    } else {
        gflcore::Decoded decoded = decodeOwn(decoder, path, gflcore::DecodeRequest{thumbnailSide});
        if (decoded.error != GFL_NO_ERROR)
            return decoded.error;
        image = std::move(decoded.image);
    }
    if (image.isNull() || image.width() < 1 || image.height() < 1)
        return GFL_ERROR_BAD_BITMAP;

    GFL_ERROR code = makeBitmap(image, p, bitmap);
    if (code != GFL_NO_ERROR)
        return code;
    if (p.Flags & GFL_LOAD_METADATA) {
        auto *meta = new (std::nothrow) gflcore::BitmapMetaData;
        if (meta) {
            meta->exif = gflcore::readExifEntries(std::string(fileName));
            (*bitmap)->MetaData = meta;
        }
    }
    if (info) {
        fillFormat(*info, decoder, decoder == Decoder::Qt ? reader.format() : QByteArray(), path);
        info->Width = image.width();
        info->Height = image.height();
        info->BitsPerComponent = (*bitmap)->BitsPerComponent;
        info->ComponentsPerPixel = (*bitmap)->ComponentsPerPixel;
        info->FileSize = QFileInfo(path).size();
    }
    return GFL_NO_ERROR;
}

} // namespace

extern "C" {

GFL_API const char *gflGetModuleVersion(void)
{
    return GFL_MODULE_VERSION;
}

GFL_API GFL_ERROR gflLibraryInit(void)
{
    try {
        LibraryState &s = state();
        std::lock_guard lock(s.mutex);
        if (s.initCount++ == 0) {
            gflcore::initialiseExif();
            // Photographs of 100 megapixels and more must not hit Qt's default limit.
            if (QImageReader::allocationLimit() < 2048)
                QImageReader::setAllocationLimit(2048);
            s.formats = buildFormats();
        }
        return GFL_NO_ERROR;
    } catch (...) {
        return GFL_UNKNOWN_ERROR;
    }
}

GFL_API void gflLibraryExit(void)
{
    LibraryState &s = state();
    std::lock_guard lock(s.mutex);
    if (s.initCount > 0 && --s.initCount == 0)
        s.formats.clear();
}

// Relative folders are taken relative to the module's own folder; formats come from the
// Qt image plug-ins found in its "imageformats" sub-folder, added to the ones Qt finds.
GFL_API void gflSetPluginsPathnameW(const wchar_t *folder)
{
    if (!folder)
        return;
    try {
        QString path = QString::fromWCharArray(folder);
        if (path.isEmpty())
            return;
        if (QDir::isRelativePath(path))
            path = moduleFolder() + QLatin1Char('/') + path;
        LibraryState &s = state();
        std::lock_guard lock(s.mutex);
        s.pluginFolder = QDir::cleanPath(path);
        if (QFileInfo(s.pluginFolder).isDir())
            QCoreApplication::addLibraryPath(s.pluginFolder);
    } catch (...) {
    }
}

// LZW-compressed TIFF files are always readable here; the call is accepted as it is.
GFL_API void gflEnableLZW(int /*enable*/) {}

GFL_API void gflGetDefaultLoadParams(GFL_LOAD_PARAMS *params)
{
    if (params)
        *params = defaultLoadParams();
}

GFL_API GFL_ERROR gflLoadBitmap(const char *fileName, GFL_BITMAP **bitmap,
                                const GFL_LOAD_PARAMS *params, GFL_FILE_INFORMATION *info)
{
    try {
        return loadBitmap(fileName, bitmap, params, info, 0);
    } catch (const std::bad_alloc &) {
        return GFL_ERROR_NO_MEMORY;
    } catch (...) {
        return GFL_UNKNOWN_ERROR;
    }
}

GFL_API GFL_ERROR gflLoadThumbnail(const char *fileName, int32_t width, int32_t height,
                                   GFL_BITMAP **bitmap, const GFL_LOAD_PARAMS *params,
                                   GFL_FILE_INFORMATION *info)
{
    if (width < 1 || height < 1)
        return GFL_ERROR_BAD_PARAMETERS;
    try {
        return loadBitmap(fileName, bitmap, params, info, std::max(width, height));
    } catch (const std::bad_alloc &) {
        return GFL_ERROR_NO_MEMORY;
    } catch (...) {
        return GFL_UNKNOWN_ERROR;
    }
}

GFL_API GFL_ERROR gflGetFileInformation(const char *fileName, int32_t formatIndex,
                                        GFL_FILE_INFORMATION *info)
{
    try {
        return fileInformation(fileName, formatIndex, info);
    } catch (const std::bad_alloc &) {
        return GFL_ERROR_NO_MEMORY;
    } catch (...) {
        return GFL_UNKNOWN_ERROR;
    }
}

GFL_API GFL_EXIF_DATA *gflLoadEXIF(const char *fileName, uint32_t /*flags*/)
{
    if (!fileName)
        return nullptr;
    try {
        return exifList(gflcore::readExifEntries(std::string(fileName)));
    } catch (...) {
        return nullptr;
    }
}

GFL_API void gflFreeBitmap(GFL_BITMAP *bitmap)
{
    freeBitmap(bitmap);
}

GFL_API const char *gflGetErrorString(GFL_ERROR code)
{
    switch (code) {
    case GFL_NO_ERROR:
        return "No error";
    case GFL_WARNING_EDGES_TRIMMED:
        return "No error (edges trimmed to whole blocks)";
    case GFL_ERROR_FILE_OPEN:
        return "Cannot open the file";
    case GFL_ERROR_FILE_READ:
        return "Cannot read the file";
    case GFL_ERROR_FILE_CREATE:
        return "Cannot create the file";
    case GFL_ERROR_FILE_WRITE:
        return "Cannot write the file";
    case GFL_ERROR_NO_MEMORY:
        return "Not enough memory";
    case GFL_ERROR_UNKNOWN_FORMAT:
        return "Unknown format";
    case GFL_ERROR_BAD_BITMAP:
        return "Bad bitmap";
    case GFL_ERROR_DATA_AFTER_PICTURE:
        return "Not turned: the file holds more after its picture (a second view, a gain map) "
               "that the turn would lose";
    case GFL_ERROR_SMALLER_THAN_BLOCK:
        return "Not turned: the picture is smaller than one JPEG block across the edge the turn "
               "moves, so it would come out mirrored";
    case GFL_ERROR_BAD_FORMAT_INDEX:
        return "Bad format index";
    case GFL_ERROR_BAD_PARAMETERS:
        return "Bad parameters";
    default:
        return code < 0 ? "No error" : "Unknown error";
    }
}

GFL_API int gflBitmapHasEXIF(const GFL_BITMAP *bitmap)
{
    const auto *meta =
        bitmap ? static_cast<const gflcore::BitmapMetaData *>(bitmap->MetaData) : nullptr;
    return meta && !meta->exif.empty() ? 1 : 0;
}

GFL_API GFL_EXIF_DATA *gflBitmapGetEXIF(const GFL_BITMAP *bitmap, uint32_t /*flags*/)
{
    const auto *meta =
        bitmap ? static_cast<const gflcore::BitmapMetaData *>(bitmap->MetaData) : nullptr;
    if (!meta)
        return nullptr;
    try {
        return exifList(meta->exif);
    } catch (...) {
        return nullptr;
    }
}

GFL_API void gflFreeEXIF(GFL_EXIF_DATA *data)
{
    if (!data)
        return;
    for (uint32_t i = 0; i < data->NumberOfItems; ++i) {
        std::free(data->ItemsList[i].Name);
        std::free(data->ItemsList[i].Value);
    }
    std::free(data->ItemsList);
    std::free(data);
}

GFL_API int32_t gflGetNumberOfFormat(void)
{
    return int32_t(state().formats.size());
}

GFL_API GFL_ERROR gflGetFormatInformationByIndex(int32_t index, GFL_FORMAT_INFORMATION *info)
{
    const std::vector<Format> &formats = state().formats;
    if (!info)
        return GFL_ERROR_BAD_PARAMETERS;
    if (index < 0 || std::size_t(index) >= formats.size())
        return GFL_ERROR_BAD_FORMAT_INDEX;
    const Format &format = formats[std::size_t(index)];
    std::memset(info, 0, sizeof *info);
    info->Index = index;
    copyText(info->Name, sizeof info->Name, format.name);
    copyText(info->Description, sizeof info->Description, format.description);
    info->NumberOfExtension = uint32_t(format.extensions.size());
    for (std::size_t i = 0; i < format.extensions.size(); ++i)
        copyText(info->Extension[i], GFL_EXTENSION_SIZE, format.extensions[i]);
    return GFL_NO_ERROR;
}

GFL_API const char *gflGetDefaultFormatSuffixByIndex(int32_t index)
{
    const std::vector<Format> &formats = state().formats;
    if (index < 0 || std::size_t(index) >= formats.size())
        return "";
    return formats[std::size_t(index)].defaultSuffix.c_str();
}

} // extern "C"
