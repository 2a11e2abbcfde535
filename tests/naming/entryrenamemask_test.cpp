// The rename mask evaluated for entries in the two row lists: side, counter and metadata
// come from the entry, its row and its holder; texts written into the name read back.
#include "imaging/dsorgbild.h"
#include "maskfixture.h"
#include "naming/entryrenamemask.h"
#include "support/listfixture.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const QString defaultMask =
    QStringLiteral("Pict_###<Textfield 1><Textfield 2><Textfield 3>_L<FileName_L>+R<FileName_R>");

class EntryMask : public ListFixture
{
protected:
    QString eval(const QString &mask, const TDatensatz *e, TRenameTextFields &fields)
    {
        return EvaluateRenameMask(mask, e, &left, &right, fields, pinnedContext());
    }
    QString eval(const QString &mask, const TDatensatz *e)
    {
        TRenameTextFields fields;
        return eval(mask, e, fields);
    }
};

TEST_F(EntryMask, DefaultMaskForAPairInRowFour)
{
    for (int i = 0; i < 4; ++i)
        addPair(QStringLiteral("/x/L%1.JPG").arg(i), QStringLiteral("/x/R%1.JPG").arg(i));
    const auto [l, r] = addPair(QStringLiteral("D:/Fotos/Urlaub/IMG_0815.JPG"),
                                QStringLiteral("D:/Fotos/Urlaub/DSC01234.JPG"));
    EXPECT_EQ(eval(defaultMask, l), QStringLiteral("Pict_005_LIMG_0815+RDSC01234"));
    EXPECT_EQ(eval(defaultMask, r), QStringLiteral("Pict_005_LIMG_0815+RDSC01234"));

    store.Naming.StartNumber = 11;
    EXPECT_EQ(eval(QStringLiteral("###"), r), QStringLiteral("015"));
    store.Naming.StartNumber = std::numeric_limits<qint32>::max();
    EXPECT_EQ(eval(QStringLiteral("#"), r), QStringLiteral("2147483651"));
}

TEST_F(EntryMask, TextFieldsReadBackFromTheNewName)
{
    const auto [l, r] =
        addPair(QStringLiteral("/f/IMG_0815.JPG"), QStringLiteral("/f/DSC01234.JPG"));
    TRenameTextFields fields;
    fields[0] = {rtmReplace, l->GetText(1), QStringLiteral("Venedig")};
    fields[1] = {rtmReplace, l->GetText(2), QStringLiteral("Nacht")};
    const QString name = eval(defaultMask, l, fields);
    EXPECT_EQ(name, QStringLiteral("Pict_001-Venedig--Nacht-_LIMG_0815+RDSC01234"));

    r->ParseTextFields(QStringLiteral("/f/") + name + QStringLiteral("_R.JPG"));
    EXPECT_EQ(r->GetText(1), fields[0].Current);
    EXPECT_EQ(r->GetText(2), fields[1].Current);
    EXPECT_EQ(r->GetText(3), QString());
}

TEST_F(EntryMask, SidesMetadataAndGaps)
{
    const auto [l, r] = addPair(QStringLiteral("/l/L.JPG"), QStringLiteral("/r/R.JPG"));
    l->OrgBild()->JpegData.Str[jdModel] = QStringLiteral("LeftCam");
    r->OrgBild()->JpegData.Str[jdModel] = QStringLiteral("RightCam");
    r->OrgBild()->JpegData.CaptureTime = maskDays(2008, 12, 24);
    EXPECT_EQ(eval(QStringLiteral("<Model_L>+<Model_R>+<Date Taken_R[Y]>"), r),
              QStringLiteral("LeftCam+RightCam+2008"));

    // An image without partner reads itself on both sides.
    TDatensatz *lone = AppendEntry(right, right.Count(), QStringLiteral("/r/Lone.JPG"), dsRight);
    EXPECT_EQ(eval(QStringLiteral("<Filename_L>+<Filename_R>"), lone), QStringLiteral("Lone+Lone"));

    // A gap carries a time but yields no capture date.
    TDatensatz *gap = CreateGap(left);
    gap->SetAttribute(daGap);
    gap->SetGapTime(maskDays(2008, 12, 24));
    EXPECT_EQ(eval(QStringLiteral("a<Date Taken_L[Y]>b<Filename_L>c"), gap), QStringLiteral("abc"));

    EXPECT_EQ(eval(QStringLiteral("x"), nullptr), QString());
}

} // namespace
