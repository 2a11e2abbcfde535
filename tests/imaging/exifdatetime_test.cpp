#include "imaging/jpegdata.h"
#include "support/paramnames.h"

#include <gtest/gtest.h>

namespace {

struct DateCase
{
    const char *text;
    double expected; // day number, 0 for a rejected text
};

void PrintTo(const DateCase &c, std::ostream *os)
{
    *os << '"' << c.text << '"';
}

class ParseExifDateTimeTest : public ::testing::TestWithParam<DateCase>
{
};

TEST_P(ParseExifDateTimeTest, GivesDayNumber)
{
    const DateCase c = GetParam();
    EXPECT_NEAR(ParseExifDateTime(QString::fromLatin1(c.text)), c.expected, 1e-9) << c.text;
}

// Day numbers computed independently: 2009-05-12 is day 39945, 2000-02-29 is day 36585.
INSTANTIATE_TEST_SUITE_P(
    Texts, ParseExifDateTimeTest,
    ::testing::Values(DateCase{"2009:05:12 14:30:00", 39945 + (14 * 3600 + 30 * 60) / 86400.0},
                      DateCase{"2009:05:12 14:33:10", 39945 + (14 * 3600 + 33 * 60 + 10) / 86400.0},
                      DateCase{"2000:02:29 00:00:00", 36585},
                      DateCase{"1899:12:30 23:59:59", 86399 / 86400.0},
                      // The separators are not checked, trailing characters are ignored.
                      DateCase{"2009-05-12T14:30:00+02:00", 39945 + 52200 / 86400.0},
                      DateCase{"2009:05:12 14:30:0", 0},                   // too short
                      DateCase{"", 0}, DateCase{"0000:00:00 00:00:00", 0}, // unset camera clock
                      DateCase{"    :  :     :  :  ", 0},                  // blank date
                      DateCase{"2001:02:29 10:00:00", 0},                  // no 29 February in 2001
                      DateCase{"2009:13:01 10:00:00", 0}, DateCase{"2009:05:12 24:00:00", 0},
                      DateCase{"2009:05:12 12:60:00", 0}, DateCase{"2009:05:12 12:00:60", 0},
                      DateCase{"2009:05:1x 12:00:00", 0}, DateCase{"20O9:05:12 12:00:00", 0}),
    ParamNameFrom(&DateCase::text));

TEST(DayNumbers, RoundTripLocalTimes)
{
    const QDateTime t(QDate(2009, 5, 12), QTime(14, 30, 0, 250));
    const double days = DateTimeToDays(t);
    EXPECT_NEAR(days, 39945 + (52200.25) / 86400.0, 1e-9);
    EXPECT_EQ(DaysToDateTime(days), t);
    EXPECT_EQ(DaysToDateTime(ParseExifDateTime(QStringLiteral("2009:05:12 14:30:00"))),
              QDateTime(QDate(2009, 5, 12), QTime(14, 30)));
    EXPECT_FALSE(DaysToDateTime(std::nan("")).isValid());
    EXPECT_EQ(DateTimeToDays(QDateTime()), 0);
}

} // namespace
