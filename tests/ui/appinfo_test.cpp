#include "ui/appinfo.h"

#include <QStringList>
#include <gtest/gtest.h>

TEST(AppInfo, VersionHasFourNumbers)
{
    EXPECT_EQ(appinfo::versionText().split(QLatin1Char('.')).size(), 4);
    EXPECT_EQ(appinfo::applicationTitle(), QStringLiteral("Duomira"));
}
