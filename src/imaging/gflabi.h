#pragma once
/*
 * Binary interface of the two run-time loaded imaging modules.
 *
 * The core module (libgfl311.so) decodes pictures, lists their EXIF entries and the
 * readable formats; the effects module (libgfle311.so) rotates JPEG files losslessly.
 * The program loads both by name and resolves every function below by name, so this
 * header is the whole contract between them: plain C types, C linkage, no exceptions
 * across the boundary. Memory handed out by a module is released by the same module.
 *
 * Every module also exports gflGetModuleVersion(); the loader refuses a module whose
 * version differs from the one the program was built with.
 */
#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define GFL_API __attribute__((visibility("default")))
#else
#define GFL_API
#endif

/* Interface revision; changes whenever a record layout or signature below changes. */
#define GFL_MODULE_ABI "duomira-gfl-3"
#ifdef DUOMIRA_VERSION
#define GFL_MODULE_VERSION DUOMIRA_VERSION "/" GFL_MODULE_ABI
#endif

#define GFL_CORE_MODULE_NAME "libgfl311.so"
#define GFL_EFFECTS_MODULE_NAME "libgfle311.so"

typedef int16_t GFL_ERROR;

/* Result codes. 0 is success; the lossless transform also counts a negative code as
 * success. The codes 1..255 double as initialisation codes of gflLibraryInit. */
enum
{
    /* Lossless transform only: done, but the edge rows or columns that did not fill a
     * whole JPEG block were dropped (the picture is smaller than a plain turn). */
    GFL_WARNING_EDGES_TRIMMED = -1,
    GFL_NO_ERROR = 0,
    GFL_ERROR_FILE_OPEN = 1,
    GFL_ERROR_FILE_READ = 2,
    GFL_ERROR_FILE_CREATE = 3,
    GFL_ERROR_FILE_WRITE = 4,
    GFL_ERROR_NO_MEMORY = 5,
    GFL_ERROR_UNKNOWN_FORMAT = 6,
    GFL_ERROR_BAD_BITMAP = 7,
    /* Lossless transform only: the file holds data after its picture's end-of-image marker
     * (the further pictures of a multi-picture file: a stereo camera's second view, a
     * phone's gain map) that rewriting the picture would drop. The file is left as it is. */
    GFL_ERROR_DATA_AFTER_PICTURE = 8,
    /* Lossless transform only: the picture is narrower or lower than one JPEG block (MCU)
     * on a side the turn would have to move; the block cannot be moved without loss and
     * cannot be trimmed away, so the file is left as it is. */
    GFL_ERROR_SMALLER_THAN_BLOCK = 9,
    GFL_ERROR_BAD_FORMAT_INDEX = 10,
    GFL_ERROR_BAD_PARAMETERS = 50,
    GFL_UNKNOWN_ERROR = 255
};

/* Bitmap types, also used as colour models of the load parameters. */
enum
{
    GFL_BINARY = 0x0001, /* 1 bit per pixel, rows packed most significant bit first,
                            bit 0 = black, 1 = white */
    GFL_GREY = 0x0002,   /* one grey component per pixel, no colour map */
    GFL_COLORS = 0x0004, /* one palette index byte per pixel, with colour map */
    GFL_RGB = 0x0010,
    GFL_RGBA = 0x0020,
    GFL_BGR = 0x0040,
    GFL_BGRA = 0x0080
};

/* Load flags. */
enum
{
    /* Colour pictures come in the colour model of the load parameters (else RGB/RGBA). */
    GFL_LOAD_FORCE_COLOR_MODEL = 0x0008,
    /* Black-and-white, palette, grey and 16-bit-per-channel pictures keep their depth
     * (else they become 8-bit-per-channel colour). */
    GFL_LOAD_ORIGINAL_DEPTH = 0x0400,
    /* The EXIF entries are read with the picture (gflBitmapHasEXIF, gflBitmapGetEXIF). */
    GFL_LOAD_METADATA = 0x0800
};

typedef struct GFL_LOAD_PARAMS
{
    uint32_t Flags;
    int32_t FormatIndex;  /* -1: by content */
    uint16_t ColorModel;  /* GFL_RGB, GFL_BGR; alpha pictures get the A variant */
    uint16_t LinePadding; /* rows are padded to a multiple of this many bytes (1..64) */
} GFL_LOAD_PARAMS;

typedef struct GFL_COLORMAP
{
    uint8_t Red[256];
    uint8_t Green[256];
    uint8_t Blue[256];
} GFL_COLORMAP;

typedef struct GFL_BITMAP
{
    uint16_t Type; /* GFL_BINARY, GFL_GREY, GFL_COLORS or the colour model */
    int32_t Width;
    int32_t Height;
    uint32_t BytesPerLine;
    uint16_t BytesPerPixel; /* 0 for GFL_BINARY */
    uint16_t BitsPerComponent;
    uint16_t ComponentsPerPixel;
    uint16_t ColorUsed;     /* entries of ColorMap in use */
    GFL_COLORMAP *ColorMap; /* GFL_COLORS only, else NULL */
    uint8_t *Data;          /* Height rows of BytesPerLine bytes, top row first */
    void *MetaData;         /* owned by the module */
} GFL_BITMAP;

typedef struct GFL_FILE_INFORMATION
{
    int32_t FormatIndex;
    char FormatName[32];
    char Description[64];
    int32_t Width;
    int32_t Height;
    uint16_t BitsPerComponent;
    uint16_t ComponentsPerPixel;
    int64_t FileSize;
    uint32_t Flags; /* GFL_FILE_* */
} GFL_FILE_INFORMATION;

/* GFL_FILE_INFORMATION flags */
enum
{
    /* The module delivers the picture upright: the file's own orientation (a HEIF
     * transformation, a RAW file's orientation) is applied while decoding, so the caller
     * must not turn it again by its EXIF orientation. */
    GFL_FILE_ORIENTATION_APPLIED = 0x0001
};

#define GFL_MAX_EXTENSIONS 16
#define GFL_EXTENSION_SIZE 8

typedef struct GFL_FORMAT_INFORMATION
{
    int32_t Index;
    char Name[32];
    char Description[64]; /* UTF-8, zero-terminated */
    uint32_t NumberOfExtension;
    char Extension[GFL_MAX_EXTENSIONS][GFL_EXTENSION_SIZE];
} GFL_FORMAT_INFORMATION;

/* Directory an EXIF entry comes from. */
enum
{
    GFL_EXIF_MAIN_IFD = 0x0001,
    GFL_EXIF_EXIF_IFD = 0x0002,
    GFL_EXIF_INTEROPERABILITY_IFD = 0x0004,
    GFL_EXIF_GPS_IFD = 0x0010
};

/* gflBitmapGetEXIF flags */
enum
{
    GFL_EXIF_WANT_TEXT = 0x0001 /* values as display texts */
};

typedef struct GFL_EXIF_ENTRY
{
    uint32_t Flag; /* GFL_EXIF_*_IFD */
    uint32_t Tag;
    char *Name;  /* UTF-8 */
    char *Value; /* UTF-8 */
} GFL_EXIF_ENTRY;

typedef struct GFL_EXIF_DATA
{
    GFL_EXIF_ENTRY *ItemsList;
    uint32_t NumberOfItems;
} GFL_EXIF_DATA;

/* Lossless transforms: clockwise quarter turns. */
enum
{
    GFL_LOSSLESS_TRANSFORM_ROTATE90 = 1,
    GFL_LOSSLESS_TRANSFORM_ROTATE180 = 2,
    GFL_LOSSLESS_TRANSFORM_ROTATE270 = 3
};

/* Core module */
typedef const char *(*GflGetModuleVersionFn)(void);
typedef GFL_ERROR (*GflLibraryInitFn)(void);
typedef void (*GflLibraryExitFn)(void);
typedef void (*GflSetPluginsPathnameWFn)(const wchar_t *folder);
typedef void (*GflEnableLZWFn)(int enable);
typedef void (*GflGetDefaultLoadParamsFn)(GFL_LOAD_PARAMS *params);
typedef GFL_ERROR (*GflLoadBitmapFn)(const char *fileName, GFL_BITMAP **bitmap,
                                     const GFL_LOAD_PARAMS *params, GFL_FILE_INFORMATION *info);
typedef void (*GflFreeBitmapFn)(GFL_BITMAP *bitmap);
typedef const char *(*GflGetErrorStringFn)(GFL_ERROR code);
typedef int (*GflBitmapHasEXIFFn)(const GFL_BITMAP *bitmap);
typedef GFL_EXIF_DATA *(*GflBitmapGetEXIFFn)(const GFL_BITMAP *bitmap, uint32_t flags);
typedef void (*GflFreeEXIFFn)(GFL_EXIF_DATA *data);
typedef int32_t (*GflGetNumberOfFormatFn)(void);
typedef GFL_ERROR (*GflGetFormatInformationByIndexFn)(int32_t index, GFL_FORMAT_INFORMATION *info);
typedef const char *(*GflGetDefaultFormatSuffixByIndexFn)(int32_t index);
/* Format and flags of a file without decoding its picture (Width and Height are 0 when
 * only a decode would tell them); GFL_ERROR_UNKNOWN_FORMAT when no decoder reads it. */
typedef GFL_ERROR (*GflGetFileInformationFn)(const char *fileName, int32_t formatIndex,
                                             GFL_FILE_INFORMATION *info);
/* A picture for a thumbnail of at most width x height: the smallest picture the file holds
 * whose longer side reaches the box's longer side (an embedded thumbnail or preview, or a
 * reduced decode), else the whole picture. The caller scales it to the box. */
typedef GFL_ERROR (*GflLoadThumbnailFn)(const char *fileName, int32_t width, int32_t height,
                                        GFL_BITMAP **bitmap, const GFL_LOAD_PARAMS *params,
                                        GFL_FILE_INFORMATION *info);
/* The EXIF entry list of a file, read without decoding its picture; NULL when the file
 * has none. Released with gflFreeEXIF. */
typedef GFL_EXIF_DATA *(*GflLoadEXIFFn)(const char *fileName, uint32_t flags);

/* Effects module */
typedef GFL_ERROR (*GflJpegLosslessTransformFn)(const char *fileName, uint16_t transform);

#ifdef __cplusplus
}
#endif
