// A core imaging module that loads but misbehaves in one chosen way, for the start-up
// tests: FAKE_INIT_CODE (initialisation result), FAKE_WITHOUT_EXIF (an entry point the
// program calls is missing), FAKE_VERSION (a module of another build).
#include "imaging/gflabi.h"

#include <cstring>

#ifndef FAKE_INIT_CODE
#define FAKE_INIT_CODE 0
#endif
#ifndef FAKE_VERSION
#define FAKE_VERSION GFL_MODULE_VERSION
#endif

namespace {
int g_initCount = 0;
}

extern "C" {

GFL_API const char *gflGetModuleVersion(void)
{
    return FAKE_VERSION;
}
GFL_API GFL_ERROR gflLibraryInit(void)
{
    ++g_initCount;
    return FAKE_INIT_CODE;
}
GFL_API void gflLibraryExit(void)
{
    --g_initCount;
}
GFL_API int fakeInitCount(void)
{
    return g_initCount;
}
GFL_API void gflSetPluginsPathnameW(const wchar_t *) {}
GFL_API void gflEnableLZW(int) {}
GFL_API void gflGetDefaultLoadParams(GFL_LOAD_PARAMS *params)
{
    std::memset(params, 0, sizeof *params);
}
GFL_API GFL_ERROR gflLoadBitmap(const char *, GFL_BITMAP **bitmap, const GFL_LOAD_PARAMS *,
                                GFL_FILE_INFORMATION *)
{
    *bitmap = nullptr;
    return GFL_ERROR_UNKNOWN_FORMAT;
}
GFL_API GFL_ERROR gflLoadThumbnail(const char *, int32_t, int32_t, GFL_BITMAP **bitmap,
                                   const GFL_LOAD_PARAMS *, GFL_FILE_INFORMATION *)
{
    *bitmap = nullptr;
    return GFL_ERROR_FILE_OPEN;
}
GFL_API GFL_ERROR gflGetFileInformation(const char *, int32_t, GFL_FILE_INFORMATION *)
{
    return GFL_ERROR_FILE_OPEN;
}
GFL_API GFL_EXIF_DATA *gflLoadEXIF(const char *, uint32_t)
{
    return nullptr;
}
GFL_API void gflFreeBitmap(GFL_BITMAP *) {}
GFL_API const char *gflGetErrorString(GFL_ERROR)
{
    return "fake";
}
GFL_API int gflBitmapHasEXIF(const GFL_BITMAP *)
{
    return 0;
}
#ifndef FAKE_WITHOUT_EXIF
GFL_API GFL_EXIF_DATA *gflBitmapGetEXIF(const GFL_BITMAP *, uint32_t)
{
    return nullptr;
}
#endif
GFL_API void gflFreeEXIF(GFL_EXIF_DATA *) {}
GFL_API int32_t gflGetNumberOfFormat(void)
{
    return 0;
}
GFL_API GFL_ERROR gflGetFormatInformationByIndex(int32_t, GFL_FORMAT_INFORMATION *)
{
    return GFL_ERROR_BAD_FORMAT_INDEX;
}
GFL_API const char *gflGetDefaultFormatSuffixByIndex(int32_t)
{
    return "";
}

} // extern "C"
