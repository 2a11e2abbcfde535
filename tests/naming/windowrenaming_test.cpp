// "Renaming", the preview and "From selected entry..." on entries of the two lists.
#include "maskfixture.h"
#include "naming/windowrenaming.h"
#include "support/listfixture.h"

#include <vector>

namespace {

class WindowRenaming : public ListFixture
{
protected:
    // Base names (without folder) of the new names of every row of list.
    static std::vector<QString> newNames(const ListRowModel &list)
    {
        std::vector<QString> names;
        for (int i = 0; i < list.Count(); ++i)
            names.push_back(PathFileName(list.EntryAt(i)->NewName()));
        return names;
    }
};

TEST_F(WindowRenaming, SelectedRowsAndTheirPartnersGetTheMaskGapsKeepTheirNames)
{
    addPair(QStringLiteral("/c/L0.JPG"), QStringLiteral("/c/R0.JPG"));
    addSingle(left, QStringLiteral("/c/L1.JPG"));  // gap in right row 1
    addSingle(right, QStringLiteral("/c/R2.JPG")); // gap in left row 2
    addPair(QStringLiteral("/c/L3.JPG"), QStringLiteral("/c/R3.JPG"));
    select(left, {0, 1, 2});

    int refreshes = 0;
    QObject counting; // ends the connections before refreshes goes (the lists outlive both)
    for (ListRowModel *list : {&left, &right})
        QObject::connect(list, &ListRowModel::rowsChanged, &counting,
                         [&refreshes] { ++refreshes; });
    RenameSelected(QStringLiteral("N##_<Filename_L>+<Filename_R>"), {}, left, right,
                   pinnedContext());

    // A single image's other side is its gap, which has no file name.
    EXPECT_EQ(newNames(left), (std::vector<QString>{"N01_L0+R0", "N02_L1+", "", "L3"}));
    EXPECT_EQ(newNames(right), (std::vector<QString>{"N01_L0+R0", "", "N03_+R2", "R3"}));
    EXPECT_EQ(refreshes, 2) << "each list tells its views once";
}

TEST_F(WindowRenaming, TextFieldsGoIntoTheNameAndIntoBothEntriesOfAPair)
{
    const auto [l, r] = addPair(QStringLiteral("/c/IMG_0815.JPG"), QStringLiteral("/c/DSC01.JPG"));
    TDatensatz *single = addSingle(left, QStringLiteral("/c/IMG_0816.JPG"));
    r->SetText(2, QStringLiteral("Alt"));
    l->SetText(2, QStringLiteral("Anders"));
    single->SetText(2, QStringLiteral("Eigen"));
    select(right, {0});
    select(left, {1});

    TRenameTextFields fields;
    fields[0] = {rtmReplace, {}, QStringLiteral("Venedig")};
    fields[2] = {rtmDelete, {}, QStringLiteral("Weg")};
    RenameSelected(QStringLiteral("P<Textfield 1><Textfield 2><Textfield 3>"), fields, left, right,
                   pinnedContext());

    // Each entry's own second text stays ("Don't modify"); "Delete" leaves the name but is
    // kept as the entry's text.
    EXPECT_EQ(PathFileName(r->NewName()), QStringLiteral("P-Venedig--Alt-"));
    EXPECT_EQ(PathFileName(l->NewName()), QStringLiteral("P-Venedig--Alt-"));
    EXPECT_EQ(PathFileName(single->NewName()), QStringLiteral("P-Venedig--Eigen-"));
    for (const TDatensatz *e : {l, r, single}) {
        EXPECT_EQ(e->GetText(1), QStringLiteral("Venedig"));
        EXPECT_EQ(e->GetText(3), QStringLiteral("Weg"));
    }
    EXPECT_EQ(l->GetText(2), QStringLiteral("Alt")) << "a pair shares the texts it was named with";
}

TEST_F(WindowRenaming, PreviewShowsTheSelectedImageOrTheFirstImage)
{
    const QString mask = QStringLiteral("<Filename_L>+<Filename_R>");
    const auto preview = [&](const TRenameTextFields &fields = {}, const QString &m = {}) {
        return RenamePreview(m.isEmpty() ? mask : m, fields, left, right, pinnedContext());
    };
    EXPECT_EQ(preview(), QStringLiteral("No data"));

    TDatensatz *r0 = addSingle(right, QStringLiteral("/c/R0.JPG")); // opposite a left gap
    addPair(QStringLiteral("/c/L1.JPG"), QStringLiteral("/c/R1.JPG"));
    EXPECT_EQ(preview(), QStringLiteral("+R0")) << "nothing selected: the first image";
    select(left, {1});
    EXPECT_EQ(preview(), QStringLiteral("L1+R1"));
    select(left, {0});
    select(right, {1});
    EXPECT_EQ(preview(), QStringLiteral("L1+R1")) << "a selected left gap gives way to the right";
    // The selected right entry counts whatever it is: a gap too (opposite L2), not the
    // first image of the registry.
    addSingle(left, QStringLiteral("/c/L2.JPG"));
    select(right, {2});
    EXPECT_EQ(preview(), QStringLiteral("L2+")) << "the selected right gap";

    // The preview reads the entry's texts and changes nothing.
    select(left, {});
    select(right, {0});
    r0->SetText(1, QStringLiteral("Rom"));
    TRenameTextFields fields;
    fields[1] = {rtmReplace, {}, QStringLiteral("Neu")};
    EXPECT_EQ(preview(fields, QStringLiteral("<Textfield 1><Textfield 2>")),
              QStringLiteral("-Rom--Neu-"));
    EXPECT_EQ(r0->GetText(2), QString());
    EXPECT_EQ(PathFileName(r0->NewName()), QStringLiteral("R0"));
}

TEST_F(WindowRenaming, FetchedTextsComeFromTheActiveListsImageOrItsPartner)
{
    addSingle(right, QStringLiteral("/c/R0.JPG"))->SetText(1, QStringLiteral("Rechts"));
    const auto [l, r] = addPair(QStringLiteral("/c/L1.JPG"), QStringLiteral("/c/R1.JPG"));
    l->SetText(3, QStringLiteral("Links"));

    TRenameTextFields fields;
    fields[0].Current = QStringLiteral("typed");
    FetchEntryTexts(&left, fields); // nothing selected: the texts stay
    EXPECT_EQ(fields[0].Current, QStringLiteral("typed"));

    select(left, {0}); // a gap: its partner's texts
    FetchEntryTexts(&left, fields);
    EXPECT_EQ(fields[0].Current, QStringLiteral("Rechts"));

    select(left, {1});
    FetchEntryTexts(&left, fields);
    EXPECT_EQ(fields[0].Current, QString());
    EXPECT_EQ(fields[2].Current, QStringLiteral("Links"));
}

} // namespace
