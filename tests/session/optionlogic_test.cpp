// The logic behind the option boxes: counter range, thumbnail sizes, the open dialogs'
// name filters and the EXIF list.
#include "entries/namingsettings.h"
#include "imaging/jpegdata.h"
#include "session/optionlogic.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct CounterCase
{
    const char *name;
    qint32 start;
    int leftRows;
    qint64 end;
};

void PrintTo(const CounterCase &c, std::ostream *os)
{
    *os << c.name;
}

class CounterTest : public ::testing::TestWithParam<CounterCase>
{
protected:
    TNamingSettings naming = TNamingSettings::Defaults();
};

} // namespace

TEST_P(CounterTest, EndDescribesTheRowsAndTypingItMovesTheStart)
{
    const CounterCase &c = GetParam();
    CounterStartChanged(naming, c.start);
    EXPECT_EQ(CounterRange(naming, c.leftRows).Start, c.start);
    EXPECT_EQ(CounterRange(naming, c.leftRows).End, c.end);
    // Typing the end back gives the same start.
    CounterEndChanged(naming, c.end, c.leftRows);
    EXPECT_EQ(naming.StartNumber, c.start);
}

INSTANTIATE_TEST_SUITE_P(Ranges, CounterTest,
                         ::testing::Values(CounterCase{"TenRowsFromOne", 1, 10, 10},
                                           CounterCase{"Empty", 1, 0, 0},
                                           CounterCase{"Negative", -5, 3, -3},
                                           // The 32-bit counter wraps instead of overflowing.
                                           CounterCase{"Wraps", std::numeric_limits<qint32>::max(),
                                                       2, std::numeric_limits<qint32>::min()}),
                         [](const auto &param) { return std::string(param.param.name); });

TEST(Counter, TypingTwentyAsEndOfTenRowsStartsAtEleven)
{
    TNamingSettings naming = TNamingSettings::Defaults();
    CounterEndChanged(naming, 20, 10);
    EXPECT_EQ(naming.StartNumber, 11);
    EXPECT_EQ(CounterRange(naming, 10).Start, 11);
    EXPECT_EQ(CounterRange(naming, 10).End, 20);
}

TEST(ThumbnailSizes, EightSquareSizesFrom16To128)
{
    const QStringList items = ThumbnailSizeItems();
    ASSERT_EQ(items.size(), 8);
    EXPECT_EQ(items.first(), "16 x 16");
    EXPECT_EQ(items.last(), "128 x 128");
    EXPECT_EQ(ThumbnailSizeOf(0), 16);
    EXPECT_EQ(ThumbnailSizeOf(4), 80);
    EXPECT_EQ(ThumbnailSizeOf(7), 128);
    // A restored index outside the list stays within the sizes.
    EXPECT_EQ(ThumbnailSizeOf(-1), 16);
    EXPECT_EQ(ThumbnailSizeOf(99), 128);
    EXPECT_EQ(NumberColumnWidth(48), 78);
}

TEST(OpenFilter, DefaultFilterBecomesDialogFiltersWithTheirPatterns)
{
    EXPECT_EQ(OpenDialogFilter(false, "ignored|*.x"), DefaultOpenFilter());
    EXPECT_EQ(OpenDialogFilter(true, QString()), DefaultOpenFilter());
    EXPECT_EQ(DialogNameFilters(DefaultOpenFilter()),
              (QStringList{"All (*.jpg *.jpeg *.bmp *)", "JPEG-File (*.jpg)", "JPEG-File (*.jpeg)",
                           "Bitmaps (*.bmp)"}));
}

TEST(OpenFilter, LibraryFilterIsUsedWhenAvailable)
{
    const QString library = "All supported types|*.jpg;*.jpeg;*.tif;*.tiff|JPEG (*.jpg;*.jpeg)|"
                            "*.jpg;*.jpeg|TIFF (*.tif;*.tiff)|*.tif;*.tiff|All files (*.*)|*.*";
    EXPECT_EQ(OpenDialogFilter(true, library), library);
    EXPECT_EQ(DialogNameFilters(library),
              (QStringList{"All supported types (*.jpg *.jpeg *.tif *.tiff)", "JPEG (*.jpg *.jpeg)",
                           "TIFF (*.tif *.tiff)", "All files (*.*)"}));
}

TEST(OpenFilter, MalformedFiltersGiveNoEmptyEntries)
{
    // An odd field count, empty pattern lists and a description without text.
    EXPECT_EQ(DialogNameFilters("A|;;|B|*.b|(*.c)|*.c|dangling"),
              (QStringList{"B (*.b)", "*.c (*.c)"}));
    EXPECT_TRUE(DialogNameFilters(QString()).isEmpty());
}

TEST(ExifList, OffersFourteenFieldsWithSixChecked)
{
    const QList<int> indexes = ExifListIndexes();
    ASSERT_EQ(indexes.size(), 14);
    for (int never : {8, 9, 16, 17})
        EXPECT_FALSE(indexes.contains(never)) << never;
    QStringList checked;
    for (int i : indexes)
        if (ExifCheckedAtStart(i))
            checked << QString(ExifLabels[size_t(i)]);
    EXPECT_EQ(checked, (QStringList{"Date/Time", "Shutter Speed", "Aperture", "ISO Speed Ratings",
                                    "Focal Length (35mm)", "Metering mode"}));
}

TEST(QuickHelp, HoldsTheStepsAndTheHint)
{
    const QString text = QuickHelpText();
    EXPECT_TRUE(text.startsWith("<FB><C4>Quick Help:<FN><LF>1.<T2><FB>Drag and Drop"));
    EXPECT_TRUE(text.endsWith(" <LF><FB><C4>Hint:<FN><LF>Select header line on the<LF>left in "
                              "order to show option panel"));
}
