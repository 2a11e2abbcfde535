// Untrusted picture files through the core imaging module's loading, as the holders use
// it: the EXIF list read from the file (without decoding the picture), the file
// information, the thumbnail load and the full load, all through the Qt image readers
// with the format decided from the content (PNG, GIF, BMP, TIFF, WebP, ...).
//
// Mostly third-party decoders: the smoke test replays the stored corpus only; mutation runs
// are on demand. A fault found inside a decoder is guarded in the module or reported.
#include "imaging/gflabi.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

extern "C" {
GFL_ERROR gflLibraryInit(void);
void gflGetDefaultLoadParams(GFL_LOAD_PARAMS *params);
GFL_ERROR gflLoadBitmap(const char *fileName, GFL_BITMAP **bitmap, const GFL_LOAD_PARAMS *params,
                        GFL_FILE_INFORMATION *info);
GFL_ERROR gflLoadThumbnail(const char *fileName, int32_t width, int32_t height,
                           GFL_BITMAP **bitmap, const GFL_LOAD_PARAMS *params,
                           GFL_FILE_INFORMATION *info);
GFL_ERROR gflGetFileInformation(const char *fileName, int32_t formatIndex,
                                GFL_FILE_INFORMATION *info);
GFL_EXIF_DATA *gflLoadEXIF(const char *fileName, uint32_t flags);
void gflFreeEXIF(GFL_EXIF_DATA *data);
void gflFreeBitmap(GFL_BITMAP *bitmap);
}

namespace {

// The module reads files by name; every input is written to this one.
const std::string &inputPath()
{
    static const std::string path =
        "/tmp/duomira_fuzz_qt_picture_" + std::to_string(::getpid()) + ".img";
    return path;
}

void removeInput()
{
    std::remove(inputPath().c_str());
}

// A loaded bitmap is whole: every byte of its rows can be read (the sanitizer checks).
void checkBitmap(const GFL_BITMAP *bitmap)
{
    if (!bitmap || bitmap->Width < 1 || bitmap->Height < 1 || !bitmap->Data ||
        bitmap->BytesPerLine < std::uint32_t(bitmap->Width) * bitmap->BytesPerPixel)
        __builtin_trap();
    volatile std::uint8_t sum = 0;
    const std::size_t rows = std::size_t(bitmap->Height);
    for (std::size_t y = 0; y < rows; y += rows > 64 ? rows / 64 : 1)
        sum = std::uint8_t(sum + bitmap->Data[y * bitmap->BytesPerLine + bitmap->BytesPerLine - 1]);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (gflLibraryInit() != GFL_NO_ERROR)
        std::abort();
    std::atexit(removeInput);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string &path = inputPath();
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written)
        return 0;

    if (GFL_EXIF_DATA *exif = gflLoadEXIF(path.c_str(), 0))
        gflFreeEXIF(exif);
    GFL_FILE_INFORMATION info{};
    gflGetFileInformation(path.c_str(), -1, &info);

    GFL_LOAD_PARAMS params;
    gflGetDefaultLoadParams(&params);
    params.LinePadding = 4;
    GFL_BITMAP *bitmap = nullptr;
    if (gflLoadThumbnail(path.c_str(), 300, 300, &bitmap, &params, nullptr) == GFL_NO_ERROR) {
        checkBitmap(bitmap);
        gflFreeBitmap(bitmap);
    }
    bitmap = nullptr;
    if (size < 64 * 1024 && gflLoadBitmap(path.c_str(), &bitmap, &params, nullptr) == GFL_NO_ERROR) {
        checkBitmap(bitmap);
        gflFreeBitmap(bitmap);
    }
    return 0;
}
