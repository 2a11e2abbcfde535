#include "ui/inifile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(IniFile, ItemListsAreUpperCaseHexOfUtf8ItemsEachEndedByCrLf)
{
    struct Case
    {
        QStringList items;
        QString hex;
    };
    const Case cases[] = {
        {{QStringLiteral(" Pict_###")}, QStringLiteral("20506963745F2323230D0A")},
        {{QStringLiteral("Don't modify"), QStringLiteral("Delete"), QStringLiteral("Replace")},
         QStringLiteral("446F6E2774206D6F646966790D0A44656C6574650D0A5265706C6163650D0A")},
        {{}, QString()},
        {{QString()}, QStringLiteral("0D0A")},
        {{QStringLiteral("0\u00B0")}, QStringLiteral("30C2B00D0A")},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(EncodeItemList(c.items), c.hex);
        EXPECT_EQ(DecodeItemList(c.hex), c.items) << c.hex.toStdString();
    }
    // Lower-case digits and a last item without CR LF are read too.
    EXPECT_EQ(DecodeItemList(QStringLiteral("410d0a42")),
              QStringList({QStringLiteral("A"), QStringLiteral("B")}));
    // Damaged lists give no value, so the control keeps its items.
    for (const char *bad : {"4", "4G0D0A", "41 0D0A", "ZZ"})
        EXPECT_FALSE(DecodeItemList(QString::fromLatin1(bad))) << bad;
    EXPECT_FALSE(DecodeItemList(QString(QStringLiteral("0D0A")).repeated(MaxDecodedItems + 1)));
}

TEST(IniFile, ReadsValuesAndKeepsDefaultsForWhatIsMissingOrDamaged)
{
    static const char raw[] = "junk before any section=1\n"
                              "[FormMain_EditMaske]\r\n"
                              "Text=\" Pict_### \"\r\n"
                              "  text = \"second\"\n" // a repeated key: the first counts
                              "[formmain_spin]\n"
                              "ItemIndex= 42 \n"
                              "Huge=99999999999999999999\n"
                              "Word=abc\n"
                              "NoEquals\n"
                              "=no key\n"
                              "[Broken\n"
                              "Lost=1\n"
                              "[Quotes]\n"
                              "Inner=\"\"a\"\"\n"
                              "Single=\"\n"
                              "Plain= not quoted \n"
                              "\xff\xfe\x00garbage\x01\n"
                              "[FormMain_EditMaske]\n"
                              "Extra=1\n";
    const TIniFile ini = TIniFile::FromBytes(QByteArrayView(raw, sizeof raw - 1));
    EXPECT_EQ(ini.Sections(),
              QStringList({QStringLiteral("FormMain_EditMaske"), QStringLiteral("formmain_spin"),
                           QStringLiteral("Quotes")}));

    struct Case
    {
        const char *section, *key, *expected;
    };
    const Case strings[] = {
        {"FormMain_EditMaske", "Text", " Pict_### "}, // blanks inside quotes survive
        {"FORMMAIN_EDITMASKE", "TEXT", " Pict_### "}, // names ignore letter case
        {"FormMain_EditMaske", "Extra", "1"},         // a repeated section adds its keys
        {"Quotes", "Inner", "\"a\""},                 // one pair of quotes is removed
        {"Quotes", "Single", "\""},
        {"Quotes", "Plain", "not quoted"},
        {"Broken", "Lost", "<default>"},
        {"Quotes", "Missing", "<default>"},
    };
    for (const Case &c : strings)
        EXPECT_EQ(ini.ReadString(QString::fromLatin1(c.section), QString::fromLatin1(c.key),
                                 QStringLiteral("<default>")),
                  QString::fromLatin1(c.expected))
            << c.section << "/" << c.key;

    const QString spin = QStringLiteral("FormMain_Spin");
    EXPECT_EQ(ini.ReadInteger(spin, QStringLiteral("ItemIndex"), -7), 42);
    EXPECT_EQ(ini.ReadInteger(spin, QStringLiteral("Huge"), -7), -7);
    EXPECT_EQ(ini.ReadInteger(spin, QStringLiteral("Word"), -7), -7);
    EXPECT_FALSE(ini.ValueExists(spin, QStringLiteral("NoEquals")));
}

TEST(IniFile, WritingReplacesInPlaceAppendsAtTheEndAndNeverBreaksALine)
{
    TIniFile ini = TIniFile::FromBytes("[A]\nx=1\ny=2\n[B]\nz=3\n");
    ini.WriteString(QStringLiteral("a"), QStringLiteral("X"), QStringLiteral("10"));
    ini.WriteString(QStringLiteral("A"), QStringLiteral("w"), QStringLiteral("new"));
    ini.WriteInteger(QStringLiteral("C"), QStringLiteral("n"), -1);
    ini.WriteString(QStringLiteral("B"), QStringLiteral("multi"),
                    QStringLiteral("line1\r\nline2\n[Evil]"));
    ini.WriteString(QStringLiteral("D]x\n"), QStringLiteral("k=ey"), QStringLiteral("v"));
    EXPECT_EQ(ini.ToBytes(), QByteArray("[A]\nx=10\ny=2\nw=new\n\n"
                                        "[B]\nz=3\nmulti=line1  line2 [Evil]\n\n"
                                        "[C]\nn=-1\n\n"
                                        "[D x]\nk ey=v\n"));
    // What was written reads back the same.
    const TIniFile again = TIniFile::FromBytes(ini.ToBytes());
    EXPECT_EQ(again.ToBytes(), ini.ToBytes());
}

TEST(IniFile, SavingReplacesTheFileOnlyWhenTheNewOneIsComplete)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Duomira.INI"));
    const QByteArray old = "[Old]\nKept=1\n";
    writeAll(path, old);

    TIniFile ini;
    for (int i = 0; i < 200; ++i)
        ini.WriteString(QStringLiteral("Section%1").arg(i), QStringLiteral("Text"),
                        QuotedText(QStringLiteral("a value long enough to fill the disk")));

    // A disk that fills up during the write: the file size limit makes the write fail.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool written = ini.SaveToFile(path, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readAll(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({QStringLiteral("Duomira.INI")}));

    // Without the fault the new file replaces the old one.
    ASSERT_TRUE(ini.SaveToFile(path));
    EXPECT_EQ(readAll(path), ini.ToBytes());
    TIniFile loaded;
    ASSERT_TRUE(loaded.LoadFromFile(path));
    EXPECT_EQ(loaded.ToBytes(), ini.ToBytes());
    EXPECT_FALSE(loaded.LoadFromFile(dir.filePath(QStringLiteral("missing.INI"))));
    EXPECT_TRUE(loaded.Sections().isEmpty());
}

TEST(IniFile, SettingsFileLiesBesideTheProgramOnlyWhenItIsThereAndWritable)
{
    QTemporaryDir program, config;
    ASSERT_TRUE(program.isValid() && config.isValid());
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QString xdg = config.filePath(QStringLiteral("Duomira/Duomira.INI"));
    const QString portable = program.filePath(QStringLiteral("Duomira.INI"));

    EXPECT_EQ(SettingsFilePath(program.path()), xdg);
    writeAll(portable, "[Copyright]\n");
    EXPECT_EQ(SettingsFilePath(program.path()), portable);
    if (geteuid() != 0) { // root may write a read-only file
        QFile::setPermissions(portable, QFile::ReadOwner);
        EXPECT_EQ(SettingsFilePath(program.path()), xdg);
    }
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFilePath(QString()),
              QDir::home().filePath(QStringLiteral(".config/Duomira/Duomira.INI")));
    qputenv("XDG_CONFIG_HOME", savedConfig);
}
