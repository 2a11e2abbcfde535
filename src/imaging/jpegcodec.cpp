#include "imaging/jpegcodec.h"

#include "imaging/rounding.h"

#include <QFile>
#include <QPainter>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>
#include <turbojpeg.h>

namespace {

// Limits against hostile files: libjpeg's own working memory (progressive files keep all
// coefficients), the decoded picture, and the number of scans of a progressive file.
constexpr long MaxCodecMemory = 768L * 1024 * 1024;
constexpr qint64 MaxOutputPixels = 150'000'000;
constexpr int MaxScans = 500;

struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void failDecode(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(cinfo->err)->jump, 1);
}

// Warnings about damaged entropy data end the decode; warnings about metadata do not.
void emitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace messages
    switch (cinfo->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_BOGUS_ICC:
        return;
    default:
        failDecode(cinfo);
    }
}

void silentOutput(j_common_ptr) {}

void checkScans(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > MaxScans)
        failDecode(cinfo);
}

// Everything the decode touches after setjmp lives here, in memory the caller owns:
// a longjmp back into decode() neither skips a destructor nor reads a clobbered register.
struct DecodeJob
{
    const unsigned char *data = nullptr;
    std::size_t size = 0;
    std::FILE *file = nullptr;
    int scaleDenominator = 8;
    const std::function<int(int, int)> *choose = nullptr; // picks scaleDenominator
    bool cmyk = false;
    bool adobe = false;
    std::vector<unsigned char> cmykRow;
    QImage result;
};

void cmykToRgb32(const unsigned char *cmyk, QRgb *target, JDIMENSION width, bool adobeInverted)
{
    for (JDIMENSION x = 0; x < width; ++x) {
        int c = cmyk[4 * x], m = cmyk[4 * x + 1], y = cmyk[4 * x + 2], k = cmyk[4 * x + 3];
        if (!adobeInverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        target[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
    }
}

bool validDenominator(int denominator)
{
    return denominator == 1 || denominator == 2 || denominator == 4 || denominator == 8;
}

bool decode(DecodeJob &job)
{
    jpeg_decompress_struct cinfo;
    ErrorManager error;
    jpeg_progress_mgr progress;
    cinfo.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = failDecode;
    error.pub.emit_message = emitMessage;
    error.pub.output_message = silentOutput;
    progress.progress_monitor = checkScans;

    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        job.result = QImage();
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = MaxCodecMemory;
    cinfo.progress = &progress;
    if (job.file)
        jpeg_stdio_src(&cinfo, job.file);
    else
        jpeg_mem_src(&cinfo, job.data, static_cast<unsigned long>(job.size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
        failDecode(reinterpret_cast<j_common_ptr>(&cinfo));

    if (job.choose) {
        job.scaleDenominator = (*job.choose)(int(cinfo.image_width), int(cinfo.image_height));
        if (!validDenominator(job.scaleDenominator))
            failDecode(reinterpret_cast<j_common_ptr>(&cinfo));
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned int>(job.scaleDenominator);
    job.cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    job.adobe = cinfo.saw_Adobe_marker;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    // Format_RGB32 pixels are the bytes B, G, R, 0xFF in memory: written directly.
    cinfo.out_color_space = job.cmyk ? JCS_CMYK : JCS_EXT_BGRX;
#else
    cinfo.out_color_space = job.cmyk ? JCS_CMYK : JCS_EXT_XRGB;
#endif
    jpeg_calc_output_dimensions(&cinfo);
    if (cinfo.output_width < 1 || cinfo.output_height < 1 ||
        qint64(cinfo.output_width) * qint64(cinfo.output_height) > MaxOutputPixels)
        failDecode(reinterpret_cast<j_common_ptr>(&cinfo));
    job.result = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    if (job.result.isNull())
        failDecode(reinterpret_cast<j_common_ptr>(&cinfo));
    if (job.cmyk)
        job.cmykRow.resize(std::size_t(cinfo.output_width) * 4);

    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        JSAMPROW row = job.cmyk ? job.cmykRow.data() : job.result.scanLine(y);
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
            failDecode(reinterpret_cast<j_common_ptr>(&cinfo));
        if (job.cmyk)
            cmykToRgb32(job.cmykRow.data(), reinterpret_cast<QRgb *>(job.result.scanLine(y)),
                        cinfo.output_width, job.adobe);
    }
    // Every row is decoded; what may follow the last scan is of no interest.
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

QImage DecodeJpeg(const unsigned char *data, std::size_t size, int scaleDenominator)
{
    if (!data || size == 0 || !validDenominator(scaleDenominator))
        return QImage();
    DecodeJob job;
    job.data = data;
    job.size = size;
    job.scaleDenominator = scaleDenominator;
    return decode(job) ? job.result : QImage();
}

QImage DecodeJpegFile(const QString &path, int scaleDenominator)
{
    if (!validDenominator(scaleDenominator))
        return QImage();
    DecodeJob job;
    job.file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!job.file)
        return QImage();
    job.scaleDenominator = scaleDenominator;
    const bool ok = decode(job);
    std::fclose(job.file);
    return ok ? job.result : QImage();
}

QImage DecodeJpegFileScaled(const QString &path, const std::function<int(int, int)> &choose)
{
    if (!choose)
        return QImage();
    DecodeJob job;
    job.file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!job.file)
        return QImage();
    job.choose = &choose;
    const bool ok = decode(job);
    std::fclose(job.file);
    return ok ? job.result : QImage();
}

QImage DecodeJpegScaled(const unsigned char *data, std::size_t size,
                        const std::function<int(int, int)> &choose)
{
    if (!choose || !data || size == 0)
        return QImage();
    DecodeJob job;
    job.data = data;
    job.size = size;
    job.choose = &choose;
    return decode(job) ? job.result : QImage();
}

QSize JpegPictureSize(const unsigned char *data, std::size_t size)
{
    if (!data || size == 0)
        return {};
    tjhandle handle = tjInitDecompress();
    if (!handle)
        return {};
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    const int failed = tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &width,
                                           &height, &subsampling, &colorspace);
    tjDestroy(handle);
    return failed || width < 1 || height < 1 ? QSize() : QSize(width, height);
}

QRect SquarePlace(QSize picture, int size)
{
    if (picture.width() < 1 || picture.height() < 1 || size < 1)
        return {};
    const double ratio = double(picture.width()) / double(picture.height());
    QRect place;
    if (ratio >= 1) {
        const int h = int(RoundHalfEven(size / ratio));
        const int top = int(RoundHalfEven((size - h) / 2.0));
        place = QRect(0, top, size, h);
    } else {
        const int w = int(RoundHalfEven(ratio * size));
        const int left = int(RoundHalfEven((size - w) / 2.0));
        place = QRect(left, 0, w, size);
    }
    return place.width() < 1 || place.height() < 1 ? QRect() : place;
}

QImage FitIntoSquare(const QImage &picture, int size, QColor background)
{
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1 || size < 1)
        return QImage();
    QImage square(size, size, QImage::Format_RGB32);
    if (square.isNull())
        return QImage();
    square.fill(background);
    const QRect target = SquarePlace(picture.size(), size);
    if (target.isEmpty())
        return square;
    const QImage scaled =
        picture.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&square);
    painter.drawImage(target.topLeft(), scaled);
    painter.end();
    return square;
}

QImage CreateJpegThumbnail(const QString &path, int size, QColor background)
{
    if (!QFile::exists(path))
        return QImage();
    return FitIntoSquare(DecodeJpegFile(path, 8), size, background);
}

QImage CreateJpegThumbnail(const unsigned char *data, std::size_t bytes, int size,
                           QColor background)
{
    return FitIntoSquare(DecodeJpeg(data, bytes, 8), size, background);
}
