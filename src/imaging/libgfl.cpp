#include "imaging/libgfl.h"

#include "imaging/imaginglog.h"
#include "ui/markup.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cfenv>
#include <exception>
#include <mutex>

#include <dlfcn.h>

namespace {

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The loader's own text for the last failed dlopen/dlsym/dlclose.
QString systemErrorText()
{
    const char *error = dlerror();
    QString text = error ? QString::fromLocal8Bit(error) : QStringLiteral("unknown error");
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

void appendLine(QString &messages, const QString &line)
{
    messages += QStringLiteral("\r\n") + line;
}

template <typename Fn> bool resolve(void *module, const char *name, Fn &slot, QString &messages)
{
    dlerror();
    slot = reinterpret_cast<Fn>(dlsym(module, name));
    if (slot)
        return true;
    appendLine(messages, QStringLiteral("libgfl.GetProc: ") + quoted(QLatin1String(name)) +
                             QStringLiteral(" failed: ") + systemErrorText());
    return false;
}

} // namespace

QString GflInitCodeText(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("File open");
    case 2:
        return QStringLiteral("File read");
    case 3:
        return QStringLiteral("File create");
    case 4:
        return QStringLiteral("File write");
    case 5:
        return QStringLiteral("No memory");
    case 6:
        return QStringLiteral("Unknown format");
    case 7:
        return QStringLiteral("Bad bitmap");
    case 10:
        return QStringLiteral("Bad format index");
    case 50:
        return QStringLiteral("Bad parameters");
    case 255:
        return QStringLiteral("Unknown error");
    default:
        return QLatin1Char('#') + QString::number(code);
    }
}

QString GflBuildFileFilter(const QList<TGflFormat> &formats)
{
    QStringList descriptions;
    QStringList extensionTexts;
    for (const TGflFormat &format : formats) {
        if (format.defaultSuffix.isEmpty() || format.extensions.isEmpty())
            continue;
        QStringList patterns;
        for (const QString &extension : format.extensions)
            patterns << QStringLiteral("*.") + extension.toLower();
        const QString extensionText = patterns.join(QLatin1Char(';'));
        qsizetype known = -1;
        for (qsizetype i = 0; i < extensionTexts.size() && known < 0; ++i) {
            if (extensionTexts[i].compare(extensionText, Qt::CaseInsensitive) == 0)
                known = i;
        }
        if (known >= 0) {
            descriptions[known] += QStringLiteral(" / ") + format.description;
        } else {
            descriptions << format.description;
            extensionTexts << extensionText;
        }
    }
    QStringList entries;
    for (qsizetype i = 0; i < descriptions.size(); ++i)
        entries << QStringLiteral("|%1 (%2)|%2").arg(descriptions[i], extensionTexts[i]);
    std::stable_sort(entries.begin(), entries.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    entries << QStringLiteral("|All files (*.*)|*.*");
    QString all = QStringLiteral("All supported types|");
    for (const QString &text : extensionTexts)
        all += text + QLatin1Char(';');
    if (all.endsWith(QLatin1Char(';')))
        all.chop(1);
    return all + entries.join(QString());
}

TGflLibrary::TGflLibrary(QString moduleFolder) : m_moduleFolder(std::move(moduleFolder)) {}

TGflLibrary::~TGflLibrary()
{
    QString ignored;
    GflUnload(ignored);
}

void *TGflLibrary::openModule(const QString &name, const char *part, QString &messages)
{
    // A name without folder is looked for in the module folder first: the given one, or
    // the program's folder and then the installed programs' module folder
    // "<prefix>/lib/duomira" beside "<prefix>/bin". Then the platform's library search.
    QString path = name;
    if (!name.contains(QLatin1Char('/'))) {
        QStringList folders;
        if (!m_moduleFolder.isEmpty()) {
            folders << m_moduleFolder;
        } else if (const QString program = QCoreApplication::applicationDirPath();
                   !program.isEmpty()) {
            folders << program << program + QStringLiteral("/../lib/duomira");
        }
        for (const QString &folder : folders) {
            const QString candidate = folder + QLatin1Char('/') + name;
            if (QFileInfo::exists(candidate)) {
                path = QFileInfo(candidate).absoluteFilePath();
                break;
            }
        }
    }
    // RTLD_NODELETE: freeing the module forgets the handle but keeps the code mapped until
    // the process ends, since the libraries it uses (exiv2, Qt's plug-in registry) keep
    // process-wide state that is not made to be unloaded.
    void *handle =
        dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        appendLine(messages, QStringLiteral("libgfl.Load %1: ").arg(QLatin1String(part)) +
                                 quoted(name) + QStringLiteral(" failed: ") + systemErrorText());
        return nullptr;
    }
    // A module of another build may differ in any record layout: refuse it.
    dlerror();
    auto version = reinterpret_cast<GflGetModuleVersionFn>(dlsym(handle, "gflGetModuleVersion"));
    const QString expected = QStringLiteral(GFL_MODULE_VERSION);
    const QString found = version ? QString::fromUtf8(version()) : QStringLiteral("none");
    if (found != expected) {
        appendLine(
            messages,
            QStringLiteral("libgfl.Load %1: ").arg(QLatin1String(part)) + quoted(name) +
                QStringLiteral(" failed: module version %1, expected %2").arg(found, expected));
        dlclose(handle);
        return nullptr;
    }
    qCDebug(lcImaging) << "loaded imaging module" << path << found;
    return handle;
}

bool TGflLibrary::resolveCore(QString &messages)
{
    bool ok = true;
    ok &= resolve(m_core, "gflGetModuleVersion", m_fn.coreVersion, messages);
    ok &= resolve(m_core, "gflLibraryInit", m_fn.libraryInit, messages);
    ok &= resolve(m_core, "gflLibraryExit", m_fn.libraryExit, messages);
    ok &= resolve(m_core, "gflSetPluginsPathnameW", m_fn.setPluginsPathnameW, messages);
    ok &= resolve(m_core, "gflEnableLZW", m_fn.enableLZW, messages);
    ok &= resolve(m_core, "gflGetDefaultLoadParams", m_fn.getDefaultLoadParams, messages);
    ok &= resolve(m_core, "gflLoadBitmap", m_fn.loadBitmap, messages);
    ok &= resolve(m_core, "gflFreeBitmap", m_fn.freeBitmap, messages);
    ok &= resolve(m_core, "gflGetErrorString", m_fn.getErrorString, messages);
    ok &= resolve(m_core, "gflBitmapHasEXIF", m_fn.bitmapHasEXIF, messages);
    ok &= resolve(m_core, "gflBitmapGetEXIF", m_fn.bitmapGetEXIF, messages);
    ok &= resolve(m_core, "gflFreeEXIF", m_fn.freeEXIF, messages);
    ok &= resolve(m_core, "gflGetNumberOfFormat", m_fn.getNumberOfFormat, messages);
    ok &= resolve(m_core, "gflGetFormatInformationByIndex", m_fn.getFormatInformationByIndex,
                  messages);
    ok &= resolve(m_core, "gflGetDefaultFormatSuffixByIndex", m_fn.getDefaultFormatSuffixByIndex,
                  messages);
    ok &= resolve(m_core, "gflGetFileInformation", m_fn.getFileInformation, messages);
    ok &= resolve(m_core, "gflLoadThumbnail", m_fn.loadThumbnail, messages);
    ok &= resolve(m_core, "gflLoadEXIF", m_fn.loadEXIF, messages);
    return ok;
}

bool TGflLibrary::resolveEffects(QString &messages)
{
    bool ok = true;
    ok &= resolve(m_effects, "gflGetModuleVersion", m_fn.effectsVersion, messages);
    ok &= resolve(m_effects, "gflJpegLosslessTransform", m_fn.jpegLosslessTransform, messages);
    return ok;
}

bool TGflLibrary::GflLoad(const QString &coreModule, const QString &effectsModule,
                          const QString &pluginFolder, QString &messages)
{
    if (!m_core)
        m_core = openModule(coreModule, "gfl", messages);
    if (!m_effects)
        m_effects = openModule(effectsModule, "gfle", messages);

    // Every entry point listed here is called by the program; a library without one of
    // them is reported and not used, rather than called through a null pointer.
    bool complete = true;
    if (m_core) {
        complete &= resolveCore(messages);
        if (!pluginFolder.isEmpty() && m_fn.setPluginsPathnameW) {
            const std::wstring folder = pluginFolder.toStdWString();
            m_fn.setPluginsPathnameW(folder.c_str());
        }
    }
    if (m_effects)
        complete &= resolveEffects(messages);

    bool result = m_core && m_effects && complete;
    if (result && !m_initialised) {
        const GFL_ERROR code = m_fn.libraryInit();
        if (code == GFL_NO_ERROR) {
            m_initialised = true;
        } else {
            messages += QStringLiteral("\r\nlibgfl.Load Init: failed: ") + GflInitCodeText(code);
            result = false;
        }
    }
    m_available.store(result && m_initialised, std::memory_order_release);
    return result;
}

bool TGflLibrary::GflUnload(QString &messages)
{
    m_available.store(false, std::memory_order_release);
    try {
        if (m_initialised && m_fn.libraryExit)
            m_fn.libraryExit();
        m_initialised = false;
        bool ok = true;
        if (m_core) {
            if (dlclose(m_core) != 0) {
                appendLine(messages, QStringLiteral("libgfl.Unload gfl: ") +
                                         QStringLiteral(" failed: ") + systemErrorText());
                ok = false;
            }
            m_core = nullptr;
        }
        if (m_effects) {
            if (dlclose(m_effects) != 0) {
                appendLine(messages, QStringLiteral("libgfl.Unload gfle: ") +
                                         QStringLiteral(" failed: ") + systemErrorText());
                ok = false;
            }
            m_effects = nullptr;
        }
        m_fn = Functions();
        return ok;
    } catch (...) {
        appendLine(messages, QStringLiteral("libgfl.Unload exception"));
        return false;
    }
}

QString TGflLibrary::coreVersion() const
{
    return m_fn.coreVersion ? QString::fromUtf8(m_fn.coreVersion()) : QString();
}

QString TGflLibrary::effectsVersion() const
{
    return m_fn.effectsVersion ? QString::fromUtf8(m_fn.effectsVersion()) : QString();
}

void TGflLibrary::enableLZW(bool enable) const
{
    m_fn.enableLZW(enable ? 1 : 0);
}

GFL_LOAD_PARAMS TGflLibrary::defaultLoadParams() const
{
    GFL_LOAD_PARAMS params{};
    m_fn.getDefaultLoadParams(&params);
    return params;
}

GFL_ERROR TGflLibrary::loadBitmap(const QString &path, GFL_BITMAP **bitmap,
                                  const GFL_LOAD_PARAMS &params) const
{
    *bitmap = nullptr;
    std::fenv_t saved;
    std::feholdexcept(&saved);
    GFL_FILE_INFORMATION info{};
    const GFL_ERROR code =
        m_fn.loadBitmap(QFile::encodeName(path).constData(), bitmap, &params, &info);
    std::fesetenv(&saved);
    return code;
}

GFL_ERROR TGflLibrary::loadThumbnail(const QString &path, int width, int height,
                                     GFL_BITMAP **bitmap, const GFL_LOAD_PARAMS &params) const
{
    *bitmap = nullptr;
    std::fenv_t saved;
    std::feholdexcept(&saved);
    GFL_FILE_INFORMATION info{};
    const GFL_ERROR code = m_fn.loadThumbnail(QFile::encodeName(path).constData(), width, height,
                                              bitmap, &params, &info);
    std::fesetenv(&saved);
    return code;
}

GFL_ERROR TGflLibrary::fileInformation(const QString &path, GFL_FILE_INFORMATION &info) const
{
    info = GFL_FILE_INFORMATION{};
    return m_fn.getFileInformation(QFile::encodeName(path).constData(), -1, &info);
}

GFL_EXIF_DATA *TGflLibrary::loadExif(const QString &path) const
{
    return m_fn.loadEXIF(QFile::encodeName(path).constData(), GFL_EXIF_WANT_TEXT);
}

void TGflLibrary::freeBitmap(GFL_BITMAP *bitmap) const
{
    if (bitmap)
        m_fn.freeBitmap(bitmap);
}

QString TGflLibrary::errorString(GFL_ERROR code) const
{
    if (!m_fn.getErrorString)
        return GflInitCodeText(code);
    const char *text = m_fn.getErrorString(code);
    return text ? QString::fromUtf8(text) : QString();
}

bool TGflLibrary::bitmapHasExif(const GFL_BITMAP *bitmap) const
{
    return bitmap && m_fn.bitmapHasEXIF(bitmap) == 1;
}

GFL_EXIF_DATA *TGflLibrary::bitmapGetExif(const GFL_BITMAP *bitmap) const
{
    return bitmap ? m_fn.bitmapGetEXIF(bitmap, GFL_EXIF_WANT_TEXT) : nullptr;
}

void TGflLibrary::freeExif(GFL_EXIF_DATA *data) const
{
    if (data)
        m_fn.freeEXIF(data);
}

QList<TGflFormat> TGflLibrary::formats() const
{
    QList<TGflFormat> result;
    const int32_t count = m_fn.getNumberOfFormat();
    for (int32_t i = 0; i < count; ++i) {
        GFL_FORMAT_INFORMATION info{};
        if (m_fn.getFormatInformationByIndex(i, &info) != GFL_NO_ERROR)
            continue;
        TGflFormat format;
        format.description = QString::fromUtf8(info.Description,
                                               qstrnlen(info.Description, sizeof info.Description));
        const uint32_t extensions = std::min<uint32_t>(info.NumberOfExtension, GFL_MAX_EXTENSIONS);
        for (uint32_t e = 0; e < extensions; ++e)
            format.extensions << QString::fromUtf8(info.Extension[e],
                                                   qstrnlen(info.Extension[e], GFL_EXTENSION_SIZE));
        const char *suffix = m_fn.getDefaultFormatSuffixByIndex(i);
        format.defaultSuffix = suffix ? QString::fromUtf8(suffix) : QString();
        result << format;
    }
    return result;
}

GFL_ERROR TGflLibrary::jpegLosslessTransform(const QString &path, int rotation) const
{
    if (rotation < 1 || rotation > 3)
        return GFL_ERROR_BAD_PARAMETERS;
    return m_fn.jpegLosslessTransform(QFile::encodeName(path).constData(), uint16_t(rotation));
}

namespace {
QString &programFileFilter()
{
    static QString filter;
    return filter;
}
} // namespace

TGflLibrary &Gfl()
{
    static TGflLibrary library;
    return library;
}

bool GflAvailable()
{
    return Gfl().available();
}

QString GflFileFilter()
{
    return programFileFilter();
}

bool GflStartup(QString &messages)
{
    const bool ok =
        Gfl().GflLoad(QStringLiteral(GFL_CORE_MODULE_NAME), QStringLiteral(GFL_EFFECTS_MODULE_NAME),
                      QStringLiteral("Plugins"), messages);
    if (ok)
        programFileFilter() = GflBuildFileFilter(Gfl().formats());
    else
        qCWarning(lcImaging) << "imaging library unavailable:" << messages;
    return ok;
}

QString GflStartupWarning(const QString &messages)
{
    // The messages name modules, folders and the loader's own texts: each line is shown as
    // it is, and the lines stay lines.
    QStringList lines = messages.split(QStringLiteral("\r\n"));
    for (QString &line : lines)
        line = MarkupLiteral(line);
    return QStringLiteral(
               "<FB><c3><FS12>Warning!<FN> <LF><FB>Components required to run the program are "
               "incomplete!<FN><LF>The functioning of this program is limited.<LF>Only JPG files "
               "can "
               "be processed and<LF> lossless rotation of JPG files is not available<LF><LF> "
               "<LF><c5><FB>Message:<FB> %1 <LF>  <LF> <LF>")
        .arg(lines.join(QStringLiteral("<LF>")));
}

void GflShutdown()
{
    QString ignored;
    Gfl().GflUnload(ignored);
    programFileFilter().clear();
}
