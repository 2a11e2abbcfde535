// The rename mask evaluation: worked examples, side resolution, the order of the steps and
// the matching rules.
#include "maskfixture.h"
#include "naming/renamemask.h"

#include <gtest/gtest.h>

namespace {

const QString defaultMask =
    QStringLiteral("Pict_###<Textfield 1><Textfield 2><Textfield 3>_L<FileName_L>+R<FileName_R>");

// Row 4 of both lists, start number 1: a left image and its right partner.
struct PairFixture : ::testing::Test
{
    MaskEntry left = maskImage(QStringLiteral("D:/Fotos/Urlaub/IMG_0815.JPG"), MaskListLeft, 5);
    MaskEntry right = maskImage(QStringLiteral("D:/Fotos/Urlaub/DSC01234.JPG"), MaskListRight, 5);
    void SetUp() override
    {
        left.Partner = &right;
        right.Partner = &left;
    }
};

TEST_F(PairFixture, DefaultMaskGivesTheSameNameForBothImagesOfAPair)
{
    EXPECT_EQ(evalMask(defaultMask, left), QStringLiteral("Pict_005_LIMG_0815+RDSC01234"));
    EXPECT_EQ(evalMask(defaultMask, right), QStringLiteral("Pict_005_LIMG_0815+RDSC01234"));
}

TEST_F(PairFixture, TextFieldModesSetTheNameAndTheCurrentText)
{
    struct Case
    {
        int mode1;
        int mode2;
        const char *expected;
        const char *current1;
        const char *current2;
    };
    const Case cases[] = {
        {rtmReplace, rtmDontModify, "Pict_005-Venedig--alt-_LIMG_0815+RDSC01234", "Venedig", "alt"},
        {rtmReplace, rtmReplace, "Pict_005-Venedig--Nacht-_LIMG_0815+RDSC01234", "Venedig",
         "Nacht"},
        {rtmDelete, rtmDontModify, "Pict_005-alt-_LIMG_0815+RDSC01234", "Venedig", "alt"},
        {rtmDontModify, rtmDelete, "Pict_005_LIMG_0815+RDSC01234", "", "Nacht"},
        {-1, rtmDontModify, "Pict_005-alt-_LIMG_0815+RDSC01234", "", "alt"},
    };
    for (const Case &c : cases) {
        TRenameTextFields fields;
        fields[0] = {c.mode1, QString(), QStringLiteral("Venedig")};
        fields[1] = {c.mode2, QStringLiteral("alt"), QStringLiteral("Nacht")};
        EXPECT_EQ(EvaluateRenameMask(defaultMask, left, fields, pinnedContext()),
                  QLatin1String(c.expected))
            << c.mode1 << " " << c.mode2;
        EXPECT_EQ(fields[0].Current, QLatin1String(c.current1));
        EXPECT_EQ(fields[1].Current, QLatin1String(c.current2));
        EXPECT_EQ(fields[2].Current, QString());
    }
}

TEST_F(PairFixture, FileTokensReadTheirSideWhicheverEntryIsEvaluated)
{
    left.Metadata.Str[jdModel] = QStringLiteral("LeftCam");
    right.Metadata.Str[jdModel] = QStringLiteral("RightCam");
    left.Metadata.FileSize = 100;
    right.Metadata.FileSize = 200;
    const QString mask = QStringLiteral("<Model_L>.<Model_R>.<Size_L>.<Size_R>");
    EXPECT_EQ(evalMask(mask, left), QStringLiteral("LeftCam.RightCam.100Byte.200Byte"));
    EXPECT_EQ(evalMask(mask, right), QStringLiteral("LeftCam.RightCam.100Byte.200Byte"));
}

TEST_F(PairFixture, CounterIsThatOfTheEvaluatedEntry)
{
    right.CounterValue = 7;
    EXPECT_EQ(evalMask(QStringLiteral("###"), left), QStringLiteral("005"));
    EXPECT_EQ(evalMask(QStringLiteral("###"), right), QStringLiteral("007"));
}

TEST(RenameMask, ImageWithoutPartnerReadsItselfOnBothSides)
{
    const MaskEntry lone = maskImage(QStringLiteral("/p/DSC01234.JPG"), MaskListRight, 1);
    EXPECT_EQ(evalMask(QStringLiteral("<Filename_L>+<Filename_R>"), lone),
              QStringLiteral("DSC01234+DSC01234"));
}

TEST(RenameMask, FolderTokens)
{
    struct Case
    {
        const char *path;
        const char *mask;
        const char *expected;
    };
    const Case cases[] = {
        {"D:/Fotos/Urlaub/IMG_0815.JPG", "<Directory_L>", "D__Fotos_Urlaub"},
        {"D:/Fotos/Urlaub/IMG_0815.JPG", "<Folder name_L>", "Urlaub"},
        {"/home/anna/Fotos//IMG_0815.JPG", "<Directory_R>", "_home_anna_Fotos"},
        {"/IMG_0815.JPG", "x<Directory_L>x<Folder name_L>x", "xxx"},
        {"IMG_0815.JPG", "x<Folder name_L>x<Filename_L>", "xxIMG_0815"},
        {"/media/Disk: Urlaub/IMG.JPG", "<Folder name_L>", "Urlaub"},
        {"/a/b.c/IMG.tar.gz", "<Filename_L>-<Folder name_L>", "IMG.tar-b.c"},
    };
    for (const Case &c : cases) {
        const MaskEntry e = maskImage(QString::fromUtf8(c.path), MaskListLeft, 1);
        EXPECT_EQ(evalMask(QString::fromUtf8(c.mask), e), QString::fromUtf8(c.expected))
            << c.path << " " << c.mask;
    }
}

TEST(RenameMask, CountersAndEmptyMasks)
{
    struct Case
    {
        const char *mask;
        qint64 counter;
        const char *expected;
    };
    const Case cases[] = {
        {"#", 0, "0"},         {"", 5, ""},
        {"   ", 5, ""},        {"A###B#", 5, "A005B5"},
        {"#####", 5, "00005"}, {"##", 1234, "1234"},
        {"x###", -5, "x-005"}, {"#-##-###", 42, "42-42-042"},
    };
    for (const Case &c : cases) {
        MaskEntry e = maskImage(QStringLiteral("/p/IMG.JPG"), MaskListLeft, c.counter);
        EXPECT_EQ(evalMask(QString::fromUtf8(c.mask), e), QString::fromUtf8(c.expected)) << c.mask;
    }
}

TEST(RenameMask, FileNumberTokens)
{
    struct Case
    {
        const char *file;
        const char *mask;
        const char *expected;
    };
    const Case cases[] = {
        {"IMG_20081224_1530.JPG", "<Filename Number_L>", "20081224"},
        {"IMG_20081224_1530.JPG", "<Filename Number_L[2]>", "1530"},
        {"IMG_20081224_1530.JPG", "<Filename Number_L[R]>", "1530"},
        {"IMG_20081224_1530.JPG", "<Filename Number_L[R2]>", "20081224"},
        {"IMG_20081224_1530.JPG", "<Filename Number_L[r2]>", "20081224"},
        {"IMG_20081224_1530.JPG", "<Filename Number_L[3]>", ""},
        {"IMG_20081224_1530.JPG", "<Filename Number_L[0]>", ""},
        {"IMG_20081224_1530.JPG", "<Filename Number_L[R2]>-<Filename Number_L[2]>",
         "20081224-1530"},
        {"IMG_20081224_1530.JPG", "<filename number_l>", "20081224"},
        {"DSC01234.JPG", "<Filename Number_L>", "01234"},
        {"clip.mp4", "<Filename Number_L>", "4"},
        {"clip.mp4", "<Filename Number_L[R]>", ""},
        {"0815", "<Filename Number_L[R]>", ""},
        {"0815", "<Filename Number_L>", "0815"},
        {"2008_IMG.JPG", "<Filename Number_L[R]>", "2008"},
        {"IMG_1_22_333.JPG", "<Filename Number_L[x-3y]>", "333"},
        {"IMG_1.JPG", "<Filename Number_L[99999999999999]>", ""},
    };
    for (const Case &c : cases) {
        const MaskEntry e =
            maskImage(QStringLiteral("/f/") + QString::fromUtf8(c.file), MaskListLeft, 1);
        EXPECT_EQ(evalMask(QString::fromUtf8(c.mask), e), QString::fromUtf8(c.expected))
            << c.file << " " << c.mask;
    }
}

TEST(RenameMask, DateTokens)
{
    MaskEntry e = maskImage(QStringLiteral("/f/IMG.JPG"), MaskListLeft, 1);
    e.Metadata.FileTime = maskDays(2008, 12, 24, 15, 30, 10);
    e.Metadata.CaptureTime = maskDays(2007, 1, 2, 3, 4, 5);
    struct Case
    {
        const char *mask;
        const char *expected;
    };
    const Case cases[] = {
        {"<Creation Date_L[Y-m-d_H.M]>", "2008-12-24_15.30"},
        {"<Creation Date_L>", "24 Dec 2008 15_30_10"},
        {"<Creation Date_L[Y]>+<CREATION DATE_L[Y]>", "2008+2008"},
        {"<Creation Date_L[y]>.<Creation Date_L[b]>", "08.Dec"},
        {"<Date Taken_L[Ymd HMS]>", "20070102 030405"},
        {"<Date Taken_R[A 'Ymd']>", "Tuesday Ymd"},
        {"<Current Date>", "12 May 2009"},
        {"<Current Date[Y.m.d-H]>.<Current Date[]>", "2009.05.12-14.12 May 2009"},
        // Wrong case in a parameterised token: not found, left as text.
        {"<creation date_L>", "_creation date_L_"},
        {"<Creation Date_L", "_Creation Date_L"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(evalMask(QString::fromUtf8(c.mask), e), QString::fromUtf8(c.expected)) << c.mask;

    // A gap yields no capture date even if it carries one; no file time, no creation date.
    e.Attribute = MaskFirstGapAttribute + 2;
    e.Metadata.FileTime = 0;
    EXPECT_EQ(evalMask(QStringLiteral("a<Date Taken_L[Y]>b<Creation Date_L>c"), e),
              QStringLiteral("abc"));
}

TEST(RenameMask, CurrentDateFollowsTheLocaleAndReadsTheClockOnce)
{
    int reads = 0;
    MaskContext context = pinnedContext(QLocale(QLocale::German, QLocale::Germany));
    context.Now = [&reads] {
        ++reads;
        return QDateTime(QDate(2009, 12, 12), QTime(14, 30, 0));
    };
    TRenameTextFields fields;
    const MaskEntry e = maskImage(QStringLiteral("/f/IMG.JPG"), MaskListLeft, 1);
    EXPECT_EQ(
        EvaluateRenameMask(QStringLiteral("<Current Date[B]> <Current Date>"), e, fields, context),
        QStringLiteral("Dezember 12.12.09"));
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(EvaluateRenameMask(QStringLiteral("no date"), e, fields, context),
              QStringLiteral("no date"));
    EXPECT_EQ(reads, 1);
}

TEST(RenameMask, SizeTokens)
{
    MaskEntry e = maskImage(QStringLiteral("/f/IMG.JPG"), MaskListLeft, 1);
    e.Metadata.FileSize = 2500000;
    EXPECT_EQ(evalMask(QStringLiteral("<Size auto_L>x"), e), QStringLiteral("2.384MBx"));
    EXPECT_EQ(evalMask(QStringLiteral("x<Size auto_L>"), e), QStringLiteral("x   2.384MB"));
    EXPECT_EQ(evalMask(QStringLiteral("<Size_L>|<Size KB_L>|<Size MB_L>"), e),
              QStringLiteral("2500000Byte_2441.41KB_2.38MB"));
    const MaskContext german = pinnedContext(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(evalMask(QStringLiteral("<Size KB_L> <Size auto_L>"), e, german),
              QStringLiteral("2441,41KB    2,384MB"));
    // Sizes beyond 32 bits are printed whole.
    e.Metadata.FileSize = Q_INT64_C(3221225472);
    EXPECT_EQ(evalMask(QStringLiteral("<Size_L> <Size auto_L>"), e),
              QStringLiteral("3221225472Byte    3.000GB"));
}

TEST(RenameMask, EachMetadataTokenReadsItsText)
{
    struct Case
    {
        const char *name;
        int index;
    };
    const Case cases[] = {
        {"Marke", jdManufacturer},
        {"Model", jdModel},
        {"Exposure Time", jdShutterSpeed},
        {"F-Number", jdAperture},
        {"ISO Value", jdIsoSpeed},
        {"Focal Length", jdFocalLength},
        {"Focal Length 35mm", jdFocalLength35mm},
        {"Flash", jdFlash},
        {"Exposure Bias", jdExposureCompensation},
        {"Metering Mode", jdMeteringMode},
        {"Image Size", jdSize},
        {"Compression", jdCompression},
        {"Colour space", jdColorSpace},
        {"X-Res", jdHorizontalResolution},
        {"Y-Res", jdVerticalResolution},
    };
    MaskEntry left = maskImage(QStringLiteral("/l/L.JPG"), MaskListLeft, 1);
    MaskEntry right = maskImage(QStringLiteral("/r/R.JPG"), MaskListRight, 1);
    left.Partner = &right;
    right.Partner = &left;
    for (int i = 0; i < JpegDataTextCount; ++i) {
        left.Metadata.Str[i] = QStringLiteral("l%1").arg(i);
        right.Metadata.Str[i] = QStringLiteral("r%1").arg(i);
    }
    for (const Case &c : cases) {
        const QString name = QString::fromUtf8(c.name);
        const QString mask = u'<' + name + QStringLiteral("_L>=<") + name + QStringLiteral("_R>");
        EXPECT_EQ(evalMask(mask, right), QStringLiteral("l%1=r%1").arg(c.index)) << c.name;
    }
}

TEST(RenameMask, MetadataTextsAreMadeFileNameSafe)
{
    MaskEntry e = maskImage(QStringLiteral("/f/IMG.JPG"), MaskListLeft, 1);
    e.Metadata.Str[jdShutterSpeed] = QStringLiteral("1/250 sec");
    e.Metadata.Str[jdFocalLength] = QStringLiteral(" 6.30 mm");
    EXPECT_EQ(evalMask(QStringLiteral("<Exposure Time_L><Focal Length_L>"), e),
              QStringLiteral("1_250 sec 6.30 mm"));
    EXPECT_EQ(evalMask(QStringLiteral("<Focal Length_L>"), e), QStringLiteral("6.30 mm"));
}

// Values inserted by a step are subject to the steps after it, never to those before.
TEST(RenameMask, InsertedValuesMeetOnlyTheLaterSteps)
{
    struct Case
    {
        const char *path;
        const char *mask;
        const char *textField;
        const char *expected;
    };
    const Case cases[] = {
        // A "#" in the file name becomes the counter; one typed into a text field stays.
        {"/f/Shot#.JPG", "<Filename_L>", "", "Shot7"},
        {"/f/IMG.JPG", "<Textfield 1>", "No#", "-No#-"},
        // A "#" in the folder comes after the counters.
        {"/f#/IMG.JPG", "<Directory_L>", "", "_f#"},
        // A file name holding a token: expanded by the later folder step.
        {"/Urlaub/<Folder name_L>.JPG", "<Filename_L>", "", "Urlaub"},
        // Text field values meet the date, metadata and cleaning steps ...
        {"/f/IMG.JPG", "<Textfield 1>", "<Model_L>", "-Cam-"},
        {"/f/IMG.JPG", "<Textfield 1>", "<Current Date[Y]>", "-2009-"},
        // ... but not the file and counter steps before them.
        {"/f/IMG.JPG", "<Textfield 1>", "<Filename_L>##", "-_Filename_L_##-"},
        // Unknown tokens stay as text.
        {"/f/IMG.JPG", "<Camera_L>", "", "_Camera_L_"},
        // Case does not matter for tokens without parameter.
        {"/f/IMG.JPG", "<filename_l>+<FILENAME_R>", "", "IMG+IMG"},
    };
    for (const Case &c : cases) {
        MaskEntry e = maskImage(QString::fromUtf8(c.path), MaskListLeft, 7);
        e.Metadata.Str[jdModel] = QStringLiteral("Cam");
        TRenameTextFields fields;
        fields[0] = {rtmReplace, QString(), QString::fromUtf8(c.textField)};
        EXPECT_EQ(EvaluateRenameMask(QString::fromUtf8(c.mask), e, fields, pinnedContext()),
                  QString::fromUtf8(c.expected))
            << c.path << " " << c.mask;
    }
}

TEST(FindMaskToken, ReportsTokenAndParameter)
{
    struct Case
    {
        const char *text;
        const char *token;
        bool found;
        const char *foundToken;
        const char *parameter;
    };
    const Case cases[] = {
        {"a<Creation Date_L[Y-m]>b", "<Creation Date_L>", true, "<Creation Date_L[Y-m]>", "Y-m"},
        {"a<Creation Date_L>b", "<Creation Date_L>", false, "<Creation Date_L>", ""},
        {"<Creation Date_L[x", "<Creation Date_L>", false, "", ""},
        {"<Creation Date_L]x[>", "<Creation Date_L>", false, "<Creation Date_L]x[>", ""},
        {"<Creation Date_L[]>", "<Creation Date_L>", true, "<Creation Date_L[]>", ""},
        {"<creation date_L[Y]>", "<Creation Date_L>", false, "", ""},
        {"<Current Date[a]b]><Current Date[Y]>", "<Current Date>", true, "<Current Date[a]b]>",
         "a"},
        {"x", "", false, "", ""},
    };
    for (const Case &c : cases) {
        const MaskTokenMatch m =
            FindMaskToken(QString::fromUtf8(c.text), QString::fromUtf8(c.token));
        EXPECT_EQ(m.Found, c.found) << c.text;
        EXPECT_EQ(m.Token, QString::fromUtf8(c.foundToken)) << c.text;
        EXPECT_EQ(m.Parameter, QString::fromUtf8(c.parameter)) << c.text;
    }
}

TEST(CleanFileName, TrimsAndReplacesUnsafeCharacters)
{
    struct Case
    {
        QString text;
        bool allowEmpty;
        QString expected;
    };
    const Case cases[] = {
        {QStringLiteral("  a?b*c<d/e|f\\g>h:i\"j  "), true, QStringLiteral("a_b_c_d_e_f_g_h_i_j")},
        {QStringLiteral("\t\r\nname\x01"), true, QStringLiteral("name")},
        {QStringLiteral("a\tb"), true, QStringLiteral("a_b")},
        {QString::fromUtf16(u"a\u0000b", 3), true, QStringLiteral("a_b")},
        {QString::fromUtf16(u"\u00a0x\u2028y\u3000"), true, QStringLiteral("x_y")},
        {QString::fromUtf16(u"\U0001F600 ok"), true, QString::fromUtf16(u"\U0001F600 ok")},
        {QString(QChar(0xD800)) + u'x', true, QStringLiteral("_x")},
        {QStringLiteral("a  b"), true, QStringLiteral("a  b")},
        {QStringLiteral(""), false, QStringLiteral("noname")},
        {QStringLiteral(" \t "), false, QStringLiteral("noname")},
        {QStringLiteral(""), true, QStringLiteral("")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CleanFileName(c.text, c.allowEmpty), c.expected) << c.text.toStdString();
}

} // namespace
