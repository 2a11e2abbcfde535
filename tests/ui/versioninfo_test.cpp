#include "ui/versioninfo.h"

#include <QStringList>
#include <gtest/gtest.h>

TEST(VersionInfo, VersionTextSplitsAtItsSecondDot)
{
    struct Case
    {
        const char *version, *first, *second;
    };
    const Case cases[] = {
        {"1.0.0.0", "1.0", "0.0"},
        {"2.5", "2.5", ""},
        {"1.2.3", "1.2", "3"},
        {"7", "7", ""},
        {"", "", ""},
        {"1..2", "1.", "2"},
        {"1.2.", "1.2", ""},
    };
    for (const Case &c : cases) {
        const auto [first, second] = VersionParts(QString::fromLatin1(c.version));
        EXPECT_EQ(first, QString::fromLatin1(c.first)) << c.version;
        EXPECT_EQ(second, QString::fromLatin1(c.second)) << c.version;
    }
}

TEST(VersionInfo, TheProgramsRecordHoldsTheBuildVersionAndOtherFilesHaveNone)
{
    const TVersionInfoFile own;
    ASSERT_TRUE(own.HasBlock());
    EXPECT_GT(own.Size(), 0);
    const QString build = QStringLiteral(DUOMIRA_VERSION);
    EXPECT_EQ(own.GetField(2), build);
    EXPECT_EQ(own.GetField(3) + QLatin1Char('.') + own.GetField(4), build);
    EXPECT_FALSE(own.GetField(1).isEmpty());
    EXPECT_EQ(own.GetString(QStringLiteral("ProductName")), QStringLiteral("Duomira"));
    EXPECT_TRUE(own.GetString(QStringLiteral("NoSuchValue")).isEmpty());
    EXPECT_TRUE(own.GetField(0).isEmpty());
    EXPECT_TRUE(own.GetField(5).isEmpty());
    EXPECT_EQ(AboutVersionText(own),
              QStringLiteral("Version: %1 %2").arg(own.GetField(3), own.GetField(4)));

    const TVersionInfoFile other(QStringLiteral("/bin/sh"));
    EXPECT_FALSE(other.HasBlock());
    EXPECT_TRUE(other.GetField(2).isEmpty());
}
