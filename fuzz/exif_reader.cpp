// libFuzzer target for the built-in EXIF reader: the input is read as a JPEG file, as a
// TIFF file and as a bare EXIF block, and the metadata record is filled from each.
#include "imaging/exifreader.h"
#include "imaging/jpegdata.h"

#include <cstddef>
#include <cstdint>

namespace {

void fill(const TimgData &image)
{
    TJPEGData record;
    record.CaptureTime = record.FileTime = 40000;
    fillJpegDataFromImage(image, record);
    if (image.ExifInfo) {
        for (const TTagEntry &e : image.ExifInfo->tags())
            (void)image.ExifInfo->rawBytes(e);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    TimgData jpeg;
    jpeg.readBuffer(bytes, TImageFileKind::Jpeg);
    fill(jpeg);

    TimgData tiff;
    tiff.readBuffer(bytes, TImageFileKind::Tiff);
    fill(tiff);

    const TImageInfo block = TImageInfo::fromExifSection(bytes);
    (void)block.lookup(u"DateTimeOriginal");
    (void)ParseExifDateTime(block.DateTime);
    return 0;
}
