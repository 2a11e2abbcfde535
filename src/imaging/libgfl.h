#pragma once
// Binding of the run-time loaded imaging library (core and effects module) and its
// start-up: loading by name, resolution of the entry points, initialisation, the file
// filter of the open dialogs, and release at shut-down.
//
// After a successful GflLoad the binding only reads its function table, so its calls may
// be made from several threads at once (picture loading on a thread pool). GflLoad and
// GflUnload themselves belong to start-up and shut-down, when no other thread uses it.
#include "imaging/gflabi.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>

// One readable format of the library's list.
struct TGflFormat
{
    QString description;
    QStringList extensions; // without dot, as the library gives them
    QString defaultSuffix;  // empty: the format is left out of the file filter
};

// The file-type filter of the open dialogs, built from the format list:
// "All supported types|*.jpg;*.jpeg;*.png" followed by the sorted "|description (exts)|exts"
// entries and "|All files (*.*)|*.*". Formats with the same extension text share one entry
// whose description joins theirs with " / ".
QString GflBuildFileFilter(const QList<TGflFormat> &formats);

// Text of an initialisation code of the library ("Unknown format" for 6, "#17" for 17).
QString GflInitCodeText(int code);

class TGflLibrary
{
public:
    // moduleFolder: where module names without a folder are looked for first; empty means
    // the program's folder. The platform's library search follows.
    explicit TGflLibrary(QString moduleFolder = QString());
    ~TGflLibrary(); // releases the library silently
    TGflLibrary(const TGflLibrary &) = delete;
    TGflLibrary &operator=(const TGflLibrary &) = delete;

    // Loads both modules (unless loaded), checks their version, resolves their entry
    // points, hands the plug-in folder to the core module and initialises the library.
    // Every problem appends one line, preceded by "\r\n", to messages. True when the
    // library is ready; a missing entry point that the program calls makes it unusable.
    bool GflLoad(const QString &coreModule, const QString &effectsModule,
                 const QString &pluginFolder, QString &messages);
    // Calls the library's exit when it was initialised and frees both modules.
    bool GflUnload(QString &messages);

    // GflLoad succeeded and GflUnload has not run since.
    bool available() const { return m_available.load(std::memory_order_acquire); }
    // Version texts the loaded modules report (empty when not loaded).
    QString coreVersion() const;
    QString effectsVersion() const;

    // The library's calls; valid only while available().
    void enableLZW(bool enable) const;
    GFL_LOAD_PARAMS defaultLoadParams() const;
    // Floating-point exceptions are held during the call and the caller's state restored.
    GFL_ERROR loadBitmap(const QString &path, GFL_BITMAP **bitmap,
                         const GFL_LOAD_PARAMS &params) const;
    // A picture for a thumbnail of at most width x height (an embedded thumbnail or
    // preview where the file has one large enough); the caller scales it.
    GFL_ERROR loadThumbnail(const QString &path, int width, int height, GFL_BITMAP **bitmap,
                            const GFL_LOAD_PARAMS &params) const;
    // Format and flags of a file, without decoding its picture.
    GFL_ERROR fileInformation(const QString &path, GFL_FILE_INFORMATION &info) const;
    // The EXIF entry list of a file, without decoding its picture; null when it has none.
    GFL_EXIF_DATA *loadExif(const QString &path) const;
    void freeBitmap(GFL_BITMAP *bitmap) const;
    QString errorString(GFL_ERROR code) const;
    bool bitmapHasExif(const GFL_BITMAP *bitmap) const;
    GFL_EXIF_DATA *bitmapGetExif(const GFL_BITMAP *bitmap) const;
    void freeExif(GFL_EXIF_DATA *data) const;
    QList<TGflFormat> formats() const;
    // Turns the JPEG file in place by rotation (1, 2, 3) quarter turns clockwise;
    // 0 or less is success.
    GFL_ERROR jpegLosslessTransform(const QString &path, int rotation) const;

private:
    struct Functions
    {
        GflGetModuleVersionFn coreVersion = nullptr;
        GflLibraryInitFn libraryInit = nullptr;
        GflLibraryExitFn libraryExit = nullptr;
        GflSetPluginsPathnameWFn setPluginsPathnameW = nullptr;
        GflEnableLZWFn enableLZW = nullptr;
        GflGetDefaultLoadParamsFn getDefaultLoadParams = nullptr;
        GflLoadBitmapFn loadBitmap = nullptr;
        GflFreeBitmapFn freeBitmap = nullptr;
        GflGetErrorStringFn getErrorString = nullptr;
        GflBitmapHasEXIFFn bitmapHasEXIF = nullptr;
        GflBitmapGetEXIFFn bitmapGetEXIF = nullptr;
        GflFreeEXIFFn freeEXIF = nullptr;
        GflGetNumberOfFormatFn getNumberOfFormat = nullptr;
        GflGetFormatInformationByIndexFn getFormatInformationByIndex = nullptr;
        GflGetDefaultFormatSuffixByIndexFn getDefaultFormatSuffixByIndex = nullptr;
        GflGetFileInformationFn getFileInformation = nullptr;
        GflLoadThumbnailFn loadThumbnail = nullptr;
        GflLoadEXIFFn loadEXIF = nullptr;
        GflGetModuleVersionFn effectsVersion = nullptr;
        GflJpegLosslessTransformFn jpegLosslessTransform = nullptr;
    };

    void *openModule(const QString &name, const char *part, QString &messages);
    bool resolveCore(QString &messages);
    bool resolveEffects(QString &messages);

    QString m_moduleFolder;
    void *m_core = nullptr;
    void *m_effects = nullptr;
    bool m_initialised = false;
    std::atomic<bool> m_available{false};
    Functions m_fn;
};

// Program-wide library, loaded at start-up and released at shut-down.
TGflLibrary &Gfl();
// True when the imaging library is loaded and initialised; every user tests it first.
bool GflAvailable();
// The open dialogs' file filter; empty unless the library is available.
QString GflFileFilter();

// Start-up: loads the modules GFL_CORE_MODULE_NAME and GFL_EFFECTS_MODULE_NAME from the
// program's folder (else the platform's search) with the plug-in folder "Plugins" and,
// on success, builds the file filter. On failure the collected lines are in messages and
// the program runs in JPEG-only mode.
bool GflStartup(QString &messages);
// The warning the program shows once when GflStartup failed (a markup text).
QString GflStartupWarning(const QString &messages);
// Shut-down: the library is released and the filter emptied; problems are not reported.
void GflShutdown();
