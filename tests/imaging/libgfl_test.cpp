// Start-up of the imaging library: module loading, version check, entry points,
// initialisation, messages, release, and the open dialogs' file filter.
#include "imaging/libgfl.h"
#include "ui/markup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

const QString Core = QStringLiteral(GFL_CORE_MODULE_NAME);
const QString Effects = QStringLiteral(GFL_EFFECTS_MODULE_NAME);

QString testModules()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/testmodules");
}

QStringList lines(const QString &messages)
{
    // Every line is preceded by CR LF.
    EXPECT_TRUE(messages.isEmpty() || messages.startsWith(QStringLiteral("\r\n")))
        << messages.toStdString();
    QStringList result = messages.split(QStringLiteral("\r\n"));
    result.removeFirst();
    return result;
}

TEST(GflLoad, LoadsTheModulesItWasBuiltWithFromTheProgramFolder)
{
    TGflLibrary library;
    QString messages;
    ASSERT_TRUE(library.GflLoad(Core, Effects, QStringLiteral("Plugins"), messages))
        << messages.toStdString();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(library.available());
    EXPECT_EQ(library.coreVersion(), QStringLiteral(GFL_MODULE_VERSION));
    EXPECT_EQ(library.effectsVersion(), QStringLiteral(GFL_MODULE_VERSION));
    EXPECT_EQ(library.coreVersion(), QStringLiteral(DUOMIRA_VERSION "/" GFL_MODULE_ABI));

    EXPECT_TRUE(library.GflUnload(messages));
    EXPECT_FALSE(library.available());
    EXPECT_TRUE(messages.isEmpty());
    // No retry is needed in a run, but a released library can be loaded again.
    EXPECT_TRUE(library.GflLoad(Core, Effects, QString(), messages));
}

TEST(GflLoad, MissingCoreModuleGivesOneLineAndNoEntryPointLines)
{
    TGflLibrary library;
    QString messages;
    EXPECT_FALSE(library.GflLoad(QStringLiteral("libgfl_missing.so"), Effects,
                                 QStringLiteral("Plugins"), messages));
    EXPECT_FALSE(library.available());
    const QStringList got = lines(messages);
    ASSERT_EQ(got.size(), 1) << messages.toStdString();
    EXPECT_TRUE(
        got[0].startsWith(QStringLiteral("libgfl.Load gfl: \"libgfl_missing.so\" failed: ")));
    // The loader's own text follows.
    EXPECT_TRUE(
        got[0].contains(QStringLiteral("libgfl_missing.so: cannot open shared object file")));
}

TEST(GflLoad, MissingEffectsModuleMakesTheLibraryUnavailable)
{
    TGflLibrary library;
    QString messages;
    EXPECT_FALSE(library.GflLoad(Core, QStringLiteral("libgfle_missing.so"),
                                 QStringLiteral("Plugins"), messages));
    EXPECT_FALSE(library.available());
    const QStringList got = lines(messages);
    ASSERT_EQ(got.size(), 1);
    EXPECT_TRUE(
        got[0].startsWith(QStringLiteral("libgfl.Load gfle: \"libgfle_missing.so\" failed: ")));
}

TEST(GflLoad, BothModulesMissingGiveTwoLines)
{
    TGflLibrary library(QStringLiteral("/nonexistent"));
    QString messages;
    EXPECT_FALSE(library.GflLoad(QStringLiteral("libgfl_none.so"),
                                 QStringLiteral("libgfle_none.so"), QString(), messages));
    const QStringList got = lines(messages);
    ASSERT_EQ(got.size(), 2);
    EXPECT_TRUE(got[0].startsWith(QStringLiteral("libgfl.Load gfl: ")));
    EXPECT_TRUE(got[1].startsWith(QStringLiteral("libgfl.Load gfle: ")));
}

TEST(GflLoad, FailingInitialisationEndsTheMessagesWithItsText)
{
    TGflLibrary library(testModules());
    QString messages;
    EXPECT_FALSE(library.GflLoad(QStringLiteral("libgfl_init6.so"),
                                 QCoreApplication::applicationDirPath() + "/" + Effects,
                                 QStringLiteral("Plugins"), messages));
    EXPECT_FALSE(library.available());
    EXPECT_EQ(messages, QStringLiteral("\r\nlibgfl.Load Init: failed: Unknown format"));
}

TEST(GflLoad, MissingEntryPointIsReportedAndTheLibraryNotUsed)
{
    TGflLibrary library(testModules());
    QString messages;
    EXPECT_FALSE(library.GflLoad(QStringLiteral("libgfl_noexif.so"),
                                 QCoreApplication::applicationDirPath() + "/" + Effects,
                                 QStringLiteral("Plugins"), messages));
    EXPECT_FALSE(library.available());
    const QStringList got = lines(messages);
    ASSERT_EQ(got.size(), 1) << messages.toStdString();
    EXPECT_TRUE(got[0].startsWith(QStringLiteral("libgfl.GetProc: \"gflBitmapGetEXIF\" failed: ")));
    EXPECT_TRUE(got[0].contains(QStringLiteral("undefined symbol")));

    // The library was never initialised, so its exit is not called at release.
    void *module = dlopen(QFile::encodeName(testModules() + "/libgfl_noexif.so").constData(),
                          RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(module, nullptr);
    auto initCount = reinterpret_cast<int (*)()>(dlsym(module, "fakeInitCount"));
    ASSERT_NE(initCount, nullptr);
    EXPECT_EQ(initCount(), 0);
    dlclose(module);
}

TEST(GflLoad, ModuleOfAnotherBuildIsRefused)
{
    TGflLibrary library(testModules());
    QString messages;
    EXPECT_FALSE(library.GflLoad(QStringLiteral("libgfl_oldversion.so"),
                                 QCoreApplication::applicationDirPath() + "/" + Effects, QString(),
                                 messages));
    const QStringList got = lines(messages);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0],
              QStringLiteral("libgfl.Load gfl: \"libgfl_oldversion.so\" failed: module version "
                             "0.9.0.0/duomira-gfl-0, expected " GFL_MODULE_VERSION));
}

TEST(GflLoad, ProgramFolderComesBeforeTheSystemSearch)
{
    // A copy of a broken module under the real name in the chosen folder wins.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QFile::copy(testModules() + "/libgfl_init6.so", folder.filePath(Core)));
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/" + Effects,
                            folder.filePath(Effects)));
    TGflLibrary library(folder.path());
    QString messages;
    EXPECT_FALSE(library.GflLoad(Core, Effects, QString(), messages));
    EXPECT_EQ(messages, QStringLiteral("\r\nlibgfl.Load Init: failed: Unknown format"));
}

TEST(GflInitCodeText, KnownCodesHaveTextsOthersTheirNumber)
{
    const std::pair<int, const char *> rows[] = {
        {1, "File open"},
        {2, "File read"},
        {3, "File create"},
        {4, "File write"},
        {5, "No memory"},
        {6, "Unknown format"},
        {7, "Bad bitmap"},
        {10, "Bad format index"},
        {50, "Bad parameters"},
        {255, "Unknown error"},
        {8, "#8"},
        {-3, "#-3"},
    };
    for (const auto &[code, text] : rows)
        EXPECT_EQ(GflInitCodeText(code), QString::fromUtf8(text)) << code;
}

TEST(GflFileFilter, BuiltFromTheFormatList)
{
    const QList<TGflFormat> formats = {
        {QStringLiteral("JPEG image"),
         {QStringLiteral("JPG"), QStringLiteral("jpeg")},
         QStringLiteral("jpg")},
        {QStringLiteral("bitmap"), {QStringLiteral("bmp")}, QStringLiteral("bmp")},
        {QStringLiteral("No suffix"), {QStringLiteral("xyz")}, QString()}, // left out
        {QStringLiteral("No extensions"), {}, QStringLiteral("abc")},      // left out
        {QStringLiteral("JFIF"),
         {QStringLiteral("jpg"), QStringLiteral("JPEG")},
         QStringLiteral("jpg")}, // same text
        {QStringLiteral("Portable Network Graphics"),
         {QStringLiteral("png")},
         QStringLiteral("png")},
    };
    EXPECT_EQ(GflBuildFileFilter(formats),
              QStringLiteral("All supported types|*.jpg;*.jpeg;*.bmp;*.png"
                             "|bitmap (*.bmp)|*.bmp"
                             "|JPEG image / JFIF (*.jpg;*.jpeg)|*.jpg;*.jpeg"
                             "|Portable Network Graphics (*.png)|*.png"
                             "|All files (*.*)|*.*"));
    EXPECT_EQ(GflBuildFileFilter({}), QStringLiteral("All supported types||All files (*.*)|*.*"));
}

TEST(GflFileFilter, RealLibraryListsTheCommonFormats)
{
    TGflLibrary library;
    QString messages;
    ASSERT_TRUE(library.GflLoad(Core, Effects, QStringLiteral("Plugins"), messages));
    const QString filter = GflBuildFileFilter(library.formats());
    EXPECT_TRUE(filter.startsWith(QStringLiteral("All supported types|")));
    for (const char *pattern : {"*.jpg", "*.png", "*.bmp", "*.tif"})
        EXPECT_TRUE(filter.contains(QLatin1String(pattern))) << pattern;
    EXPECT_TRUE(filter.endsWith(QStringLiteral("|All files (*.*)|*.*")));
}

TEST(GflStartup, WarningCarriesEveryCollectedLineAsItIs)
{
    // A module's path may hold anything a folder name can: it shows as written, one line each.
    const QString messages = QStringLiteral(
        "\r\nlibgfl.Load gfl: \"/opt/<FB>x<\" failed: a\r\nlibgfl.Load gfle: \"y\" failed: b");
    const QString warning = GflStartupWarning(messages);
    EXPECT_TRUE(warning.startsWith(QStringLiteral("<FB><c3><FS12>Warning!<FN> <LF>")));
    EXPECT_TRUE(MarkupPlainText(warning).contains(
        QStringLiteral("Message: \nlibgfl.Load gfl: \"/opt/<FB>x<\" failed: a\n"
                       "libgfl.Load gfle: \"y\" failed: b \n")))
        << qPrintable(MarkupPlainText(warning));
}

} // namespace

// A library object that was started but never shut down releases the modules from its
// static destructor when the process ends, after the module's own static state may have
// been destroyed; the exit must still be clean.
TEST(GflLoadDeathTest, ExitWithoutShutdownIsClean)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            static TGflLibrary library; // made before the module's state: destroyed after it
            QString messages;
            if (!library.GflLoad(Core, Effects, QStringLiteral("Plugins"), messages))
                std::_Exit(3);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}
