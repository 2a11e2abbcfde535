// Value texts of the rename mask: date formats, byte sizes, counters.
#include "maskfixture.h"
#include "naming/maskformat.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const QLocale german(QLocale::German, QLocale::Germany);

TEST(FormatMaskDate, LettersLiteralsAndLocaleNames)
{
    // Wednesday, 24 December 2008, 15:30:10.
    const double days = maskDays(2008, 12, 24, 15, 30, 10);
    struct Case
    {
        const char *format;
        const QLocale &locale;
        const char *expected;
    };
    const QLocale c = QLocale::c();
    const Case cases[] = {
        {"Y-m-d_H.M", c, "2008-12-24_15.30"},
        {"y/m/d S", c, "08/12/24 10"},
        {"b B a A", c, "Dec December Wed Wednesday"},
        {"B, A", german, "Dezember, Mittwoch"},
        {"'Ymd' Y 'H", c, "Ymd 2008 H"},
        {"''Y''", c, "2008"},
        {"x-z", c, "x-z"},
        {"", c, "24 Dec 2008 15:30:10"},
        {"", german, "24.12.08 15:30:10"},
    };
    for (const Case &k : cases)
        EXPECT_EQ(FormatMaskDate(QString::fromUtf8(k.format), days, k.locale),
                  QString::fromUtf8(k.expected))
            << k.format;
}

TEST(FormatMaskDate, NoDateGivesNoText)
{
    EXPECT_EQ(FormatMaskDate(u"Y", 0, QLocale::c()), QString());
    EXPECT_EQ(FormatMaskDate(u"", 0, QLocale::c()), QString());
    EXPECT_EQ(FormatMaskDate(u"Y", std::numeric_limits<double>::quiet_NaN(), QLocale::c()),
              QString());
    EXPECT_EQ(FormatMaskDate(u"Y", 1e300, QLocale::c()), QString());
}

// The mask splits day numbers itself; it must agree with the metadata record's conversion,
// also before day zero and at fractions that round up to the next day.
TEST(FormatMaskDate, AgreesWithTheDayNumberConversion)
{
    const double samples[] = {
        1.0,         39806.64594907,   -1.25,     -700000.75, 2958465.99999999,
        0.999999999, 45000.5000000001, 12.3456789};
    for (const double days : samples) {
        const QDateTime expected = DaysToDateTime(days);
        ASSERT_TRUE(expected.isValid()) << days;
        EXPECT_EQ(FormatMaskDate(u"Y-m-d H:M:S", days, QLocale::c()),
                  QLocale::c().toString(expected, QStringLiteral("yyyy-MM-dd HH:mm:ss")))
            << days;
    }
}

TEST(FormatMaskDate, MidnightLeavesOutTheTime)
{
    EXPECT_EQ(FormatMaskDate(u"", maskDays(2008, 12, 24), QLocale::c()),
              QStringLiteral("24 Dec 2008"));
    EXPECT_EQ(FormatMaskDate(u"", maskDays(2008, 12, 24, 0, 0, 1), QLocale::c()),
              QStringLiteral("24 Dec 2008 00:00:01"));
}

TEST(FormatMaskDate, TimeHasNoZoneName)
{
    const double days = maskDays(2008, 12, 24, 15, 30, 10);
    for (const QLocale &l :
         {QLocale(QLocale::English, QLocale::UnitedStates),
          QLocale(QLocale::Chinese, QLocale::China), QLocale(QLocale::Persian, QLocale::Iran)}) {
        const QString text = FormatMaskDate(u"", days, l);
        const QString zone = QDateTime(QDate(2008, 12, 24), QTime(15, 30)).timeZoneAbbreviation();
        EXPECT_FALSE(text.contains(zone)) << text.toStdString();
        EXPECT_FALSE(text.contains(QLatin1String("()"))) << text.toStdString();
        EXPECT_EQ(text, text.simplified());
    }
}

TEST(FormatByteSize, UnitThresholds)
{
    struct Case
    {
        qint64 size;
        const char *expected;
    };
    const Case cases[] = {
        {0, "0Byte"},
        {1024, "1024Byte"},
        {1025, "   1.001KB"},
        {1048576, "1024.000KB"},
        {1048577, "   1.000MB"},
        {2500000, "   2.384MB"},
        {1073741824, "1024.000MB"},
        {1073741825, "   1.000GB"},
        {Q_INT64_C(5000000000000), "4656.613GB"},
        {-5, "-5Byte"},
        {-2500000, "  -2.384MB"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatByteSize(c.size, QLocale::c()), QLatin1String(c.expected)) << c.size;
    EXPECT_EQ(FormatByteSize(2500000, german), QStringLiteral("   2,384MB"));
    // No group separator, even where the locale has one.
    EXPECT_EQ(FormatByteSize(1048576, QLocale(QLocale::English, QLocale::UnitedStates)),
              QStringLiteral("1024.000KB"));
}

TEST(FormatByteSize, SignAndSeparator)
{
    struct Case
    {
        qint64 size;
        bool withSign;
        const char *expected;
    };
    const Case cases[] = {
        {2500000, true, "+   2.384 MB"},
        {0, true, "-0 Byte"},
        {1, true, "+1 Byte"},
        {-2500000, true, "-   2.384 MB"},
        {-1024, true, "-1024 Byte"},
        {-2500000, false, "  -2.384 MB"},
        {-1025, false, "  -1.001 KB"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatByteSize(c.size, QStringLiteral(" "), c.withSign, QLocale::c()),
                  QLatin1String(c.expected))
            << c.size;
    const qint64 smallest = std::numeric_limits<qint64>::min();
    EXPECT_EQ(FormatByteSize(smallest, QStringLiteral(" "), true, QLocale::c()),
              QStringLiteral("-8589934592.000 GB"));
}

TEST(FormatCounter, PadsNeverCuts)
{
    EXPECT_EQ(FormatCounter(5, 3), QStringLiteral("005"));
    EXPECT_EQ(FormatCounter(-5, 3), QStringLiteral("-005"));
    EXPECT_EQ(FormatCounter(1234, 2), QStringLiteral("1234"));
    EXPECT_EQ(FormatCounter(0, 1), QStringLiteral("0"));
    EXPECT_EQ(FormatCounter(std::numeric_limits<qint64>::min(), 1),
              QStringLiteral("-9223372036854775808"));
}

TEST(ExpandCounters, LongestRunsFirst)
{
    EXPECT_EQ(ExpandCounters(QStringLiteral("A###B#"), 5), QStringLiteral("A005B5"));
    EXPECT_EQ(ExpandCounters(QStringLiteral("no counter"), 5), QStringLiteral("no counter"));
    const QString longRun(100000, u'#');
    const QString expanded = ExpandCounters(longRun, 7);
    EXPECT_EQ(expanded.size(), MaxRenameTextLength);
    EXPECT_TRUE(expanded.startsWith(QStringLiteral("0000")));
}

} // namespace
