// The image entry: holders, row texts, names and folders by kind, the text fields of file
// names, replacing in new names, metadata and the change notification.
#include "support/listfixture.h"

#include "imaging/dsorgbild.h"
#include "support/testdata.h"

#include <QDir>
#include <QLocale>

namespace {

using EntryTest = ListFixture;

QString home(const QString &rest)
{
    return QDir::homePath() + rest;
}

TEST_F(EntryTest, EntriesOfOnePathShareOneHolderUntilTheLastGoes)
{
    TDatensatz *a = addSingle(left, QStringLiteral("/d/A/x.jpg"));
    TDatensatz *b = addSingle(left, QStringLiteral("/d/A/x.jpg"));
    // On Linux letter case makes another file.
    TDatensatz *c = addSingle(left, QStringLiteral("/d/a/X.JPG"));
    EXPECT_EQ(a->OrgBild(), b->OrgBild());
    EXPECT_NE(a->OrgBild(), c->OrgBild());
    EXPECT_EQ(a->HolderRefCount(), 2);
    EXPECT_EQ(c->HolderRefCount(), 1);
    TDsOrgBild *shared = a->OrgBild();
    const int holders = store.Holders.Count();

    left.DeleteRow(a->Item());
    EXPECT_EQ(store.Holders.Count(), holders);
    EXPECT_EQ(shared->RefCount, 1);
    left.DeleteRow(b->Item());
    EXPECT_EQ(store.Holders.Count(), holders - 1);
    EXPECT_EQ(store.Holders.IndexOf(shared), -1);
    EXPECT_INVARIANTS(false);
}

TEST_F(EntryTest, NewEntryWritesItsRow)
{
    TDatensatz *e = AppendEntry(left, 7, QStringLiteral("/P/IMG_1.jpg"), dsLeft,
                                {.Invert = true, .Rotation = 2, .Mirror = true});
    const ListRow *row = e->Item();
    EXPECT_EQ(row->Data(), e);
    EXPECT_EQ(row->Text(lcNumber), QStringLiteral("\u00A0   7"));
    EXPECT_EQ(row->Text(lcAttributes), QStringLiteral("Unassigned (Empty)"));
    EXPECT_EQ(row->Text(lcType), QStringLiteral("Left"));
    EXPECT_EQ(row->Text(lcNewName), QStringLiteral("IMG_1_M.jpg"));
    EXPECT_EQ(row->Text(lcTargetFolder), home("/Stereos/Test_M/"));
    EXPECT_EQ(row->ImageIndex(), -1);
    EXPECT_EQ(e->NewName(), QStringLiteral("IMG_1"));
    EXPECT_EQ(e->Rotation(), 2);
    EXPECT_TRUE(e->Invert());
    EXPECT_TRUE(e->Mirror());
    EXPECT_EQ(e->PathIndex(), 0);
    EXPECT_EQ(e->SortTime(), 0);
    EXPECT_EQ(e->Partner(), nullptr);
    EXPECT_EQ(store.Registry.At(store.Registry.Count() - 1), e);
    // Original name and source folder are written by the first refresh.
    e->Refresh();
    EXPECT_EQ(row->Text(lcOriginalName), QStringLiteral("IMG_1.jpg"));
    EXPECT_EQ(row->Text(lcSourceFolder), QStringLiteral("/P/"));
    EXPECT_EQ(row->Text(lcDateTime), QString()); // file does not exist: no time
    EXPECT_EQ(e->CounterValue(), 1);
    store.Naming.StartNumber = 5;
    EXPECT_EQ(e->CounterValue(), 5);
}

// Name kind, suffix and target folder for each attribute, list and batch state.
TEST_F(EntryTest, NamesAndFoldersFollowKindListAndBatch)
{
    struct Case
    {
        int side;
        TDsAttribute attribute;
        bool batch;
        const char *newName;
        QString folder;
    };
    const QList<Case> cases = {
        {dsLeft, daUnassigned, true, "IMG_1_M.jpg", home("/Stereos/Test_M/")},
        {dsLeft, daUnassigned, false, "IMG_1_M.jpg", QStringLiteral("/P/")},
        {dsRight, daMono, true, "IMG_1_M.jpg", home("/Stereos/Test_M/")},
        {dsLeft, daStereoPair, true, "IMG_1_L.jpg", home("/Stereos/Test_L/")},
        {dsRight, daStereoPair, true, "IMG_1_R.jpg", home("/Stereos/Test_R/")},
        {dsRight, daStereoPair, false, "IMG_1_R.jpg", QStringLiteral("/P/")},
        {dsLeft, daUnpaired, true, "IMG_1_L.jpg", home("/Stereos/Test_L/")},
    };
    for (const Case &c : cases) {
        ListRowModel &list = listOf(c.side);
        TDatensatz *e = AppendEntry(list, 0, QStringLiteral("/P/IMG_1.jpg"), TDsSide(c.side),
                                    {.Batch = c.batch});
        e->SetAttribute(c.attribute);
        e->Refresh();
        SCOPED_TRACE(testing::Message()
                     << "side " << c.side << " attribute " << c.attribute << " batch " << c.batch);
        EXPECT_EQ(e->Item()->Text(lcNewName), QString::fromLatin1(c.newName));
        EXPECT_EQ(e->Item()->Text(lcTargetFolder), c.folder);
        EXPECT_EQ(e->NewFullPath(), c.folder + QString::fromLatin1(c.newName));
        EXPECT_EQ(e->RenamedSourcePath(), QStringLiteral("/P/") + QString::fromLatin1(c.newName));
        EXPECT_EQ(e->TargetPathOriginalName(), c.folder + QStringLiteral("IMG_1.jpg"));
        EXPECT_EQ(e->TargetPathHolderName(), c.folder + QStringLiteral("IMG_1.jpg"));
        EXPECT_EQ(e->SourcePathHolderName(), QStringLiteral("/P/IMG_1.jpg"));
        list.DeleteRow(e->Item());
    }

    // Changed settings show at the next refresh: empty left suffix, folder with separator.
    auto [l, r] = addPair(QStringLiteral("/P/IMG_2.jpg"), QStringLiteral("/Q/IMG_3.JPG"));
    store.Naming.SuffixLeft.clear();
    store.Naming.FolderRight = QStringLiteral("/out/right/");
    l->Refresh();
    r->Refresh();
    EXPECT_EQ(l->Item()->Text(lcNewName), QStringLiteral("IMG_2.jpg"));
    EXPECT_EQ(r->NewFullPath(), QStringLiteral("/out/right/IMG_3_R.JPG"));
}

TEST_F(EntryTest, GapRowsAndNames)
{
    TDatensatz *image = addSingle(left, QStringLiteral("/P/IMG_9.jpg"));
    TDatensatz *gap = image->Partner();
    ASSERT_NE(gap, nullptr);
    gap->Refresh();
    const ListRow *row = gap->Item();
    EXPECT_EQ(row->Text(lcAttributes), QStringLiteral("Gap"));
    EXPECT_EQ(row->Text(lcNewName), QString());
    EXPECT_EQ(row->Text(lcDateTime), QString());
    EXPECT_EQ(row->Text(lcTargetFolder), QString());
    EXPECT_EQ(row->Text(lcType), QStringLiteral("Gap"));
    EXPECT_EQ(gap->NewFileName(), QString());
    EXPECT_EQ(gap->NameKind(), dsGap);
    EXPECT_FALSE(gap->IsLoneGap());

    TDatensatz *lone = CreateGap(right);
    EXPECT_EQ(lone->Item()->Text(lcAttributes), QStringLiteral("Gap (New) (Empty)"));
    EXPECT_EQ(lone->Number(), -1);
    EXPECT_EQ(lone->Rotation(), -1);
    EXPECT_FALSE(lone->Batch());
    EXPECT_TRUE(lone->IsLoneGap());
    EXPECT_EQ(lone->OrgBild(), gap->OrgBild()); // one holder for every gap
    EXPECT_EQ(gap->HolderRefCount(), 2);

    // The gap's time is its own record's; loading its metadata makes its rotation 0.
    lone->SetGapTime(44000.5);
    EXPECT_EQ(lone->CaptureTime(), 44000.5);
    EXPECT_EQ(lone->Metadata().CaptureTime, 44000.5);
    EXPECT_EQ(lone->Rotation(), 0);
    EXPECT_TRUE(lone->MetaLoaded());
    image->SetGapTime(1.0); // not a gap: ignored
    EXPECT_EQ(image->GapData().CaptureTime, 0);
    EXPECT_INVARIANTS(false);
}

TEST_F(EntryTest, ImageTurnedIntoGapGivesUpItsFile)
{
    TDatensatz *image = addSingle(left, QStringLiteral("/P/IMG_4-Rome-.jpg"));
    TDsOrgBild *file = image->OrgBild();
    const int gapsBefore = image->Partner()->HolderRefCount();
    image->SetAttribute(daGap);
    EXPECT_EQ(store.Holders.IndexOf(file), -1);
    EXPECT_EQ(image->SourcePath(), QString());
    EXPECT_EQ(image->NewName(), QString());
    EXPECT_EQ(image->HolderRefCount(), gapsBefore + 1);
    EXPECT_EQ(image->Item()->Text(lcOriginalName), QString());
    EXPECT_EQ(image->Item()->Text(lcAttributes), QStringLiteral("Gap"));
    // There is no way back to the file.
    image->SetAttribute(daUnassigned);
    EXPECT_EQ(image->Attribute(), daUnassigned);
    EXPECT_EQ(image->SourcePath(), QString());
    EXPECT_EQ(image->OrgBild(), image->Partner()->OrgBild());
}

TEST_F(EntryTest, CopySharesTheHolderAndTakesTheState)
{
    TDatensatz *src = AppendEntry(left, 3, QStringLiteral("/P/IMG-a--b-.jpg"), dsLeft,
                                  {.Invert = true, .Rotation = 3, .Mirror = true, .Batch = false});
    src->SetAttribute(daMono);
    src->RenameTo(QStringLiteral("Renamed"));
    src->SetSortTime(123.25);
    src->SetText(3, QStringLiteral("three"));
    src->ParseTextFields(src->SourcePath());
    src->SetSavedSelected(true);
    TDatensatz *copy = TDatensatz::CreateCopy(right.AppendRow(), *src, dsRight, 9);
    EXPECT_EQ(copy->OrgBild(), src->OrgBild());
    EXPECT_EQ(src->HolderRefCount(), 2);
    EXPECT_EQ(copy->Attribute(), daMono);
    EXPECT_EQ(copy->NewName(), QStringLiteral("Renamed"));
    EXPECT_EQ(copy->SortTime(), 123.25);
    EXPECT_EQ(copy->GetText(1), QStringLiteral("a"));
    EXPECT_EQ(copy->GetText(2), QStringLiteral("b"));
    EXPECT_EQ(copy->GetText(3), QStringLiteral("three"));
    EXPECT_TRUE(copy->SavedSelected());
    EXPECT_FALSE(copy->Batch());
    EXPECT_TRUE(copy->Invert());
    EXPECT_TRUE(copy->Mirror());
    EXPECT_EQ(copy->Rotation(), 3);
    EXPECT_EQ(copy->Side(), dsRight);
    EXPECT_EQ(copy->Number(), 9);
    EXPECT_EQ(copy->Partner(), nullptr);
    EXPECT_EQ(copy->Item()->Data(), copy);
}

TEST_F(EntryTest, TextFieldsOfFileNames)
{
    struct Case
    {
        const char *path;
        const char *t1, *t2, *t3;
    };
    // Texts start as "x", "y", "z": an empty field leaves its text unchanged.
    const QList<Case> cases = {
        {"/p/IMG-Venedig--2005--Nacht-_L.jpg", "Venedig", "2005", "Nacht"},
        {"/p/IMG-Venedig-2005-.jpg", "Venedig", "y", "z"},
        {"/p/a-b-c", "b", "y", "z"},
        {"/p/abc.jpg", "x", "y", "z"},
        {"/p/a-b", "x", "y", "z"},
        {"/p/a--b-.jpg", "x", "y", "z"},
        {"/p/-1--2--3--4-.jpg", "1", "2", "3"},
        {"/p-x-/-q-.jpg", "q", "y", "z"},   // folders are not read
        {"/p/-a-.b-c-.jpg", "a", "c", "z"}, // only the last dot starts the extension
        {"", "x", "y", "z"},
    };
    TDatensatz *e = AppendEntry(left, 0, QStringLiteral("/p/plain.jpg"), dsLeft);
    for (const Case &c : cases) {
        e->SetText(1, QStringLiteral("x"));
        e->SetText(2, QStringLiteral("y"));
        e->SetText(3, QStringLiteral("z"));
        e->ParseTextFields(QString::fromUtf8(c.path));
        SCOPED_TRACE(c.path);
        EXPECT_EQ(e->GetText(1), QString::fromUtf8(c.t1));
        EXPECT_EQ(e->GetText(2), QString::fromUtf8(c.t2));
        EXPECT_EQ(e->GetText(3), QString::fromUtf8(c.t3));
    }
    e->SetText(0, QStringLiteral("no"));
    e->SetText(4, QStringLiteral("no"));
    EXPECT_EQ(e->GetText(0), QString());
    EXPECT_EQ(e->GetText(4), QString());
}

TEST_F(EntryTest, RotationTexts)
{
    TDatensatz *e = AppendEntry(left, 0, QStringLiteral("/p/r.jpg"), dsLeft);
    const QStringList expected = {QStringLiteral("  0\u00B0"), QStringLiteral(" 90\u00B0"),
                                  QStringLiteral("180\u00B0"), QStringLiteral("270\u00B0"),
                                  QStringLiteral("  0\u00B0"), QStringLiteral("  0\u00B0")};
    const QList<int> rotations = {0, 1, 2, 3, 4, -1};
    for (int i = 0; i < rotations.size(); ++i) {
        e->SetRotation(rotations[i]);
        EXPECT_EQ(e->RotationText(), expected[i]);
        EXPECT_EQ(e->RotationText().size(), 4);
    }
}

class FakeQuestion : public TReplaceQuestion
{
public:
    ReplaceAnswer answer = ReplaceAnswer::Yes;
    int asked = 0;
    QString lastName;
    ReplaceAnswer AskReplace(const QString &, const QString &, ReplaceFlags,
                             const QString &name) override
    {
        ++asked;
        lastName = name;
        return answer;
    }
};

TEST_F(EntryTest, ReplaceInNewName)
{
    struct Case
    {
        const char *newName;
        const char *search, *replace;
        bool ignoreCase;
        bool ask;
        ReplaceAnswer answer;
        const char *expectedName;
        ReplaceResult result;
        int asked;
    };
    const QList<Case> cases = {
        {"IMG_0001", "0001", "-Rome-", false, false, ReplaceAnswer::Yes, "IMG_-Rome-",
         ReplaceResult::GoOn, 0},
        {"IMG_0001", "zzz", "a", false, true, ReplaceAnswer::Yes, "IMG_0001", ReplaceResult::GoOn,
         0},
        {"IMG_0001", "img", "Pic", false, false, ReplaceAnswer::Yes, "IMG_0001",
         ReplaceResult::GoOn, 0},
        {"IMG_0001", "img", "Pic", true, false, ReplaceAnswer::Yes, "Pic_0001", ReplaceResult::GoOn,
         0},
        {"aXaXa", "X", "Y", false, true, ReplaceAnswer::Yes, "aYaXa", ReplaceResult::GoOn,
         1}, // first only
        {"aXaXa", "X", "Y", false, true, ReplaceAnswer::No, "aXaXa", ReplaceResult::GoOn, 1},
        {"aXaXa", "X", "Y", false, true, ReplaceAnswer::Cancel, "aXaXa", ReplaceResult::Stop, 1},
        {"aXa", "X", "X", false, true, ReplaceAnswer::Yes, "aXa", ReplaceResult::GoOn,
         0}, // no change
        {"aXa", "", "Q", false, true, ReplaceAnswer::Yes, "aXa", ReplaceResult::GoOn, 0},
        // Folder and extension parts of the new name are kept and not searched.
        {"sub/x.part.jpg", "part", "P", false, false, ReplaceAnswer::Yes, "sub/x.P.jpg",
         ReplaceResult::GoOn, 0},
        {"sub/x.jpg", "jpg", "png", false, false, ReplaceAnswer::Yes, "sub/x.jpg",
         ReplaceResult::GoOn, 0},
        {"sub/x.jpg", "sub", "dir", false, false, ReplaceAnswer::Yes, "sub/x.jpg",
         ReplaceResult::GoOn, 0},
    };
    TDatensatz *e = AppendEntry(left, 0, QStringLiteral("/p/IMG_0001.jpg"), dsLeft);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.newName << " / " << c.search);
        e->SetNewName(QString::fromUtf8(c.newName));
        FakeQuestion q;
        q.answer = c.answer;
        ReplaceFlags flags;
        if (c.ignoreCase)
            flags |= ReplaceFlag::IgnoreCase;
        EXPECT_EQ(e->ReplaceInNewName(QString::fromUtf8(c.search), QString::fromUtf8(c.replace),
                                      c.ask, flags, &q),
                  c.result);
        EXPECT_EQ(e->NewName(), QString::fromUtf8(c.expectedName));
        EXPECT_EQ(q.asked, c.asked);
    }
    // The new name's text fields are read again after a replacement.
    e->SetNewName(QStringLiteral("IMG-Rome-"));
    EXPECT_EQ(
        e->ReplaceInNewName(QStringLiteral("Rome"), QStringLiteral("Paris"), false, {}, nullptr),
        ReplaceResult::GoOn);
    EXPECT_EQ(e->GetText(1), QStringLiteral("Paris"));
    EXPECT_EQ(e->Item()->Text(lcNewName), QStringLiteral("IMG-Paris-_M.jpg"));
    // Asking without anyone to ask changes nothing and stops.
    EXPECT_EQ(
        e->ReplaceInNewName(QStringLiteral("Paris"), QStringLiteral("Oslo"), true, {}, nullptr),
        ReplaceResult::Stop);
    EXPECT_EQ(e->NewName(), QStringLiteral("IMG-Paris-"));
    // Replace-all replaces every occurrence.
    e->SetNewName(QStringLiteral("a-a-a"));
    e->ReplaceInNewName(QStringLiteral("A"), QStringLiteral("b"), false,
                        ReplaceFlag::IgnoreCase | ReplaceFlag::ReplaceAll, nullptr);
    EXPECT_EQ(e->NewName(), QStringLiteral("b-b-b"));
}

TEST_F(EntryTest, RenameToKeepsTheFolderPartOfTheNewName)
{
    TDatensatz *e = AppendEntry(left, 0, QStringLiteral("/p/a.jpg"), dsLeft);
    e->SetNewName(QStringLiteral("sub/old"));
    e->RenameTo(QStringLiteral("new"));
    EXPECT_EQ(e->NewName(), QStringLiteral("sub/new"));
    EXPECT_EQ(e->Item()->Text(lcNewName), QStringLiteral("new_M.jpg"));
}

// The camera's orientation presets the rotation once; the user's later choice stays.
TEST_F(EntryTest, OrientationPresetsRotationOnce)
{
    struct Case
    {
        int created;
        int orientationCode; // of the holder's record
        int loaded;
    };
    const QList<Case> cases = {
        {2, 1, 1},  // turned: 90 degrees clockwise
        {2, 3, 3},  //
        {2, -1, 2}, // normal or no orientation: the preset of the new entry stays
        {1, 0, 0},  // no EXIF at all: the empty record's code 0
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.orientationCode);
        TDatensatz *e = AppendEntry(left, 0, QStringLiteral("/p/IMG_%1.jpg").arg(n++), dsLeft,
                                    {.Rotation = c.created});
        // The holder has read its file already.
        e->OrgBild()->Loaded = true;
        e->OrgBild()->JpegData.OrientationCode = c.orientationCode;
        e->LoadMetadata();
        EXPECT_TRUE(e->MetaLoaded());
        EXPECT_EQ(e->Rotation(), c.loaded);
        e->SetRotation(3 - c.loaded);
        e->LoadMetadata();
        EXPECT_EQ(e->Rotation(), 3 - c.loaded);
    }
}

TEST_F(EntryTest, DateTimeColumnShowsTheCaptureTimeInTheSystemFormat)
{
    TDatensatz *e = AppendEntry(left, 0, QStringLiteral("/p/IMG_1.jpg"), dsLeft);
    const QDateTime taken(QDate(2008, 5, 30), QTime(15, 56, 1));
    e->OrgBild()->Loaded = true;
    e->OrgBild()->JpegData.CaptureTime = DateTimeToDays(taken);
    e->LoadMetadata();
    e->Refresh();
    EXPECT_EQ(e->Item()->Text(lcDateTime), QLocale::system().toString(taken, QLocale::ShortFormat));
    EXPECT_EQ(e->Metadata().CaptureTime, DateTimeToDays(taken));
    e->SetAttribute(daGap);
    e->Refresh();
    EXPECT_EQ(e->Item()->Text(lcDateTime), QString());
}

// The same with the metadata read from real photos (orientation and date by exiftool).
TEST_F(EntryTest, RealPhotosPresetRotationAndShowTheirDate)
{
    struct Case
    {
        QString path;
        int created;
        int loaded;
    };
    const QList<Case> cases = {
        // EXIF orientation 6 (turned counter-clockwise): turn 90 degrees clockwise.
        {testDataPath(QStringLiteral("photos/jpg/orientation/landscape_6.jpg")), 2, 1},
        // EXIF orientation 1 (normal) keeps the preset of the new entry.
        {testDataPath(QStringLiteral("photos/jpg/orientation/landscape_1.jpg")), 2, 2},
        // No file, no record: the empty record's code 0.
        {QStringLiteral("/nonexistent/IMG_1.jpg"), 2, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        TDatensatz *e = AppendEntry(left, 0, c.path, dsLeft, {.Rotation = c.created});
        e->LoadMetadata();
        EXPECT_EQ(e->Rotation(), c.loaded);
        e->SetRotation(3);
        e->ReloadMetadata();
        EXPECT_EQ(e->Rotation(), 3);
    }

    TDatensatz *e =
        AppendEntry(left, 0, testDataPath(QStringLiteral("photos/jpg/Canon_40D.jpg")), dsLeft);
    e->LoadMetadata();
    e->Refresh();
    const QDateTime taken(QDate(2008, 5, 30), QTime(15, 56, 1)); // DateTimeOriginal
    EXPECT_EQ(e->Item()->Text(lcDateTime), QLocale::system().toString(taken, QLocale::ShortFormat));
}

TEST_F(EntryTest, CreationAndDeletionTellTheEntriesChangedHandler)
{
    int changed = 0;
    store.Registry.SetEntriesChangedHandler([&changed] { ++changed; });
    TDatensatz *e = addSingle(left, QStringLiteral("/p/a.jpg")); // image and gap
    EXPECT_EQ(changed, 2);
    left.DeleteRow(e->Item());
    EXPECT_EQ(changed, 3);
    store.Registry.SetEntriesChangedHandler({});
}

// Freeing an entry leaves no pointer to it behind: not in its row, not in its partner.
TEST_F(EntryTest, FreedEntryIsUnreachable)
{
    auto [l, r] = addPair(QStringLiteral("/p/l.jpg"), QStringLiteral("/p/r.jpg"));
    ListRow *row = l->Item();
    delete l;
    EXPECT_EQ(row->Data(), nullptr);
    EXPECT_EQ(r->Partner(), nullptr);
    EXPECT_EQ(r->Item()->Text(lcAttributes), QStringLiteral("Stereo Pair (Empty)"));
    EXPECT_FALSE(store.Registry.Contains(l));
    left.DeleteRow(row); // an empty row goes quietly
    EXPECT_EQ(left.Count(), 0);

    // A partner that points elsewhere keeps its link.
    auto [a, b] = addPair(QStringLiteral("/p/a.jpg"), QStringLiteral("/p/b.jpg"));
    TDatensatz *stale = CreateGap(right);
    stale->SetPartner(a);
    right.DeleteRow(stale->Item());
    EXPECT_EQ(a->Partner(), b);
}

} // namespace
