// Session files over real photos: what the user set survives a save and an open; changed
// and missing files on opening; files that must be refused; the question before work is
// lost; the recovery file of a killed process.
#include "entries/datensatz.h"
#include "entries/listoperations.h"
#include "imaging/dsorgbild.h"
#include "session/idleprocessor.h"
#include "session/loading.h"
#include "session/recoveryfiles.h"
#include "session/session.h"
#include "session/sessionfile.h"
#include "session/sessionkeeper.h"
#include "session/sessionopen.h"
#include "session/sessionrows.h"
#include "support/paramnames.h"
#include "support/qstringprint.h"
#include "support/testdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace {

const char *const Photos[] = {"Canon_40D.jpg",
                              "Nikon_D70.jpg",
                              "Canon_PowerShot_S40.jpg",
                              "Kodak_CX7530.jpg",
                              "Fujifilm_FinePix_E500.jpg",
                              "Nikon_COOLPIX_P1.jpg"};

// A session over copies of real photos: three left and three right images, read as the
// idle pass reads them, paired row by row.
struct PhotoSession
{
    QTemporaryDir dir;
    TSession session;
    std::vector<TDatensatz *> left, right;

    PhotoSession()
    {
        for (int i = 0; i < 6; ++i) {
            const QString to = dir.filePath(QString::fromLatin1(Photos[i]));
            QFile::copy(testDataPath(QStringLiteral("photos/jpg/") + QLatin1String(Photos[i])), to);
            ListRowModel &list = i < 3 ? session.Left() : session.Right();
            TDatensatz *e = AppendEntry(list, list.Count() + 1, to, TDsSide(list.Side()));
            e->OrgBild()->LoadImageData(0, nullptr);
            e->LoadMetadata();
            (i < 3 ? left : right).push_back(e);
        }
        for (int i = 0; i < 3; ++i) {
            LinkBothWays(left[std::size_t(i)], right[std::size_t(i)]);
            left[std::size_t(i)]->SetAttribute(daStereoPair);
            right[std::size_t(i)]->SetAttribute(daStereoPair);
        }
    }
    QString file(int i) const { return dir.filePath(QString::fromLatin1(Photos[i])); }
};

bool sameMeta(const TJPEGData &a, const TJPEGData &b)
{
    return a.Str == b.Str && a.CaptureTime == b.CaptureTime &&
           a.CaptureSubSecond == b.CaptureSubSecond && a.FileTime == b.FileTime &&
           a.FileSize == b.FileSize && a.OrientationCode == b.OrientationCode &&
           a.HasExif == b.HasExif;
}

void expectSameLists(const TSessionSnapshot &a, const TSessionSnapshot &b)
{
    EXPECT_EQ(SessionFingerprint(a), SessionFingerprint(b));
    for (std::size_t l = 0; l < 2; ++l) {
        ASSERT_EQ(a.Lists[l].size(), b.Lists[l].size());
        for (std::size_t i = 0; i < a.Lists[l].size(); ++i) {
            const TSessionRow &x = a.Lists[l][i];
            const TSessionRow &y = b.Lists[l][i];
            EXPECT_EQ(x.Path, y.Path);
            EXPECT_EQ(x.SortTime, y.SortTime);
            EXPECT_EQ(x.Selected, y.Selected);
            EXPECT_EQ(x.HasMeta, y.HasMeta);
            EXPECT_EQ(x.Siblings, y.Siblings);
            EXPECT_TRUE(sameMeta(x.Meta, y.Meta)) << "list " << l << " row " << i;
        }
    }
}

struct RoundTripCase
{
    const char *name;
    std::function<void(PhotoSession &)> edit;
};

class SessionRoundTrip : public ::testing::TestWithParam<RoundTripCase>
{
};

} // namespace

TEST_P(SessionRoundTrip, EverythingTheUserSetComesBack)
{
    PhotoSession s;
    GetParam().edit(s);
    TSessionKeeper keeper(s.session);
    const QString path = s.dir.filePath(QStringLiteral("work.duomira"));
    QString error;
    ASSERT_TRUE(keeper.Save(path, error)) << error.toStdString();
    EXPECT_FALSE(keeper.IsDirty());
    EXPECT_EQ(keeper.DisplayName(), QStringLiteral("work"));

    TSession reopened;
    TSessionKeeper second(reopened);
    const TSessionOpenOutcome outcome = second.Open(path, {}, nullptr);
    ASSERT_TRUE(outcome.Ok) << outcome.Error.toStdString();
    EXPECT_TRUE(outcome.Report.Missing.isEmpty());
    EXPECT_TRUE(outcome.Report.Changed.isEmpty());
    expectSameLists(TakeSessionSnapshot(s.session), TakeSessionSnapshot(reopened));
    // Names no row shows yet (a stereo file renamed in its folder) come back too.
    EXPECT_EQ(reopened.Naming().SuffixStereo, s.session.Naming().SuffixStereo);
    // The rows show what they showed (names, attributes, folders), once both are refreshed
    // as the idle pass does.
    RefreshAllEntries(s.session.Registry());
    RefreshAllEntries(reopened.Registry());
    for (ListRowModel *list : {&reopened.Left(), &reopened.Right()}) {
        const ListRowModel &was = list == &reopened.Left() ? s.session.Left() : s.session.Right();
        for (int i = 0; i < list->Count(); ++i)
            for (int c = 0; c < ListColumnCount; ++c)
                EXPECT_EQ(list->Row(i)->Text(c), was.Row(i)->Text(c))
                    << "row " << i << " column " << c;
    }
    // Opening is no change.
    EXPECT_FALSE(second.IsDirty());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SessionRoundTrip,
    ::testing::Values(RoundTripCase{"pairs", [](PhotoSession &) {}},
                      RoundTripCase{"single with gap opposite",
                                    [](PhotoSession &s) {
                                        SplitPair(s.left[1]);
                                        s.left[1]->SetAttribute(daMono);
                                    }},
                      RoundTripCase{"new gap with its time",
                                    [](PhotoSession &s) {
                                        TDatensatz *gap = CreateGap(s.session.Right());
                                        TDatensatz *img =
                                            AppendEntry(s.session.Left(), 9, s.file(0), dsLeft);
                                        img->LoadMetadata();
                                        LinkBothWays(img, gap);
                                        gap->SetGapTime(img->CaptureTime());
                                    }},
                      RoundTripCase{"excluded, rotated, mirrored, inverted",
                                    [](PhotoSession &s) {
                                        s.left[0]->SetBatch(false);
                                        s.right[2]->SetRotation(3);
                                        s.left[2]->SetMirror(true);
                                        s.right[0]->SetInvert(true);
                                    }},
                      RoundTripCase{"renamed with text fields",
                                    [](PhotoSession &s) {
                                        s.left[0]->SetNewName(
                                            QStringLiteral("Trip-Harbour-_0001 \"quoted\"\\"));
                                        s.left[0]->SetText(2, QStringLiteral("Harbour"));
                                        s.right[1]->SetNewName(
                                            QStringLiteral("Überfahrt\u00a0\u2013 \U0001F4F7"));
                                    }},
                      RoundTripCase{"a shot's siblings",
                                    [](PhotoSession &s) {
                                        s.left[0]->SetSiblings({".CR2", ".CR2.xmp", ".xmp"});
                                    }},
                      RoundTripCase{"clock correction and confidence",
                                    [](PhotoSession &s) {
                                        s.right[1]->SetClockCorrection(-3601.25);
                                        s.left[1]->SetPairConfidence(0.4375);
                                        s.right[1]->SetPairConfidence(0.4375);
                                    }},
                      RoundTripCase{"naming settings and mask",
                                    [](PhotoSession &s) {
                                        s.session.Naming().SuffixLeft = QStringLiteral("-links");
                                        s.session.Naming().SuffixStereo = QStringLiteral("_3D");
                                        s.session.Naming().FolderMono =
                                            QStringLiteral("/media/card/out");
                                        s.session.Naming().StartNumber = 41;
                                        s.session.Naming().CreateMissingFolders = false;
                                        s.session.RenameMask() = QStringLiteral("<date>_<nr4>");
                                    }}),
    [](const ::testing::TestParamInfo<RoundTripCase> &param) {
        return ParamName(param.index, param.param.name);
    });

TEST(SessionOpen, ChangedAndMissingFilesAreMarkedExcludedAndNamedOnce)
{
    PhotoSession s;
    TSessionKeeper keeper(s.session);
    const QString path = s.dir.filePath(QStringLiteral("card.duomira"));
    QString error;
    ASSERT_TRUE(keeper.Save(path, error));
    // The card was formatted: another photo under the first name; two files are gone.
    QFile::remove(s.file(0));
    QFile::copy(testDataPath(QStringLiteral("photos/jpg/Canon_DIGITAL_IXUS_400.jpg")), s.file(0));
    QFile::remove(s.file(1));
    QFile::remove(s.file(4));

    TSession reopened;
    TSessionKeeper second(reopened);
    const TSessionOpenOutcome outcome = second.Open(path, {}, nullptr);
    ASSERT_TRUE(outcome.Ok);
    EXPECT_EQ(outcome.Report.Changed, QStringList{s.file(0)});
    EXPECT_EQ(outcome.Report.Missing, (QStringList{s.file(1), s.file(4)}));
    const QString message = MissingFilesMessage(outcome.Report.Missing);
    EXPECT_TRUE(message.startsWith(QStringLiteral("2 files"))) << message.toStdString();
    EXPECT_TRUE(message.contains(s.file(1)) && message.contains(s.file(4)));

    struct Expect
    {
        TDatensatz *entry;
        TFileCheck check;
        bool batch;
    };
    TDatensatz *changed = reopened.Left().EntryAt(0);
    const Expect expected[] = {{changed, TFileCheck::Changed, false},
                               {reopened.Left().EntryAt(1), TFileCheck::Missing, false},
                               {reopened.Left().EntryAt(2), TFileCheck::Unchanged, true},
                               {reopened.Right().EntryAt(1), TFileCheck::Missing, false}};
    for (const Expect &e : expected) {
        EXPECT_EQ(e.entry->FileCheck(), e.check) << e.entry->SourcePath().toStdString();
        EXPECT_EQ(e.entry->Batch(), e.batch) << e.entry->SourcePath().toStdString();
    }
    // The changed file was read again: its record is the new photo's, its pair is kept.
    EXPECT_NE(changed->Metadata().Str[jdModel], s.left[0]->Metadata().Str[jdModel]);
    EXPECT_EQ(changed->Partner(), reopened.Right().EntryAt(0));
    EXPECT_TRUE(
        reopened.Left().Row(0)->Text(lcAttributes).contains(QStringLiteral("file changed")));
    // A missing file keeps its saved record.
    EXPECT_TRUE(sameMeta(reopened.Left().EntryAt(1)->Metadata(), s.left[1]->Metadata()));
    EXPECT_FALSE(second.IsDirty());

    // Including the changed image again confirms it.
    changed->SetBatch(true);
    EXPECT_EQ(changed->FileCheck(), TFileCheck::Unchanged);
    EXPECT_TRUE(second.IsDirty());
}

TEST(SessionOpen, APictureInBothListsIsCheckedOnceForBothRows)
{
    PhotoSession s;
    // The left list's first picture shown in the right list as well.
    AppendEntry(s.session.Right(), 9, s.file(0), dsRight)->LoadMetadata();
    CreateGap(s.session.Left());
    LinkBothWays(s.session.Left().EntryAt(3), s.session.Right().EntryAt(3));
    TSessionKeeper keeper(s.session);
    const QString path = s.dir.filePath(QStringLiteral("both.duomira"));
    QString error;
    ASSERT_TRUE(keeper.Save(path, error)) << error.toStdString();
    QFile::remove(s.file(0));

    TSession reopened;
    TSessionKeeper second(reopened);
    const TSessionOpenOutcome outcome = second.Open(path, {}, nullptr);
    ASSERT_TRUE(outcome.Ok) << outcome.Error.toStdString();
    EXPECT_EQ(outcome.Report.Missing, QStringList{s.file(0)});
    for (TDatensatz *e : {reopened.Left().EntryAt(0), reopened.Right().EntryAt(3)}) {
        EXPECT_EQ(e->FileCheck(), TFileCheck::Missing);
        EXPECT_FALSE(e->Batch());
    }
}

namespace {

struct BadFileCase
{
    const char *name;
    QByteArray bytes;
    const char *says;
};

QByteArray goodFile()
{
    return QByteArrayLiteral(
        R"({"format":"duomira-session","version":1,"left":[{"attribute":2,"side":2,"path":"/x/a.jpg","partner":"R0"}],"right":[{"attribute":2,"side":3,"path":"/x/b.jpg","partner":"L0"}]})");
}

QByteArray replaced(const char *from, const char *to)
{
    return goodFile().replace(from, to);
}

class SessionBadFile : public ::testing::TestWithParam<BadFileCase>
{
};

} // namespace

TEST_P(SessionBadFile, IsRefusedWithItsReasonAndTheListsStay)
{
    PhotoSession s;
    TSessionKeeper keeper(s.session);
    const QString path = s.dir.filePath(QStringLiteral("bad.duomira"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(GetParam().bytes);
    f.close();
    const quint64 before = SessionFingerprint(TakeSessionSnapshot(s.session));
    bool cleared = false;
    const TSessionOpenOutcome outcome = keeper.Open(
        path, [&] { cleared = true; }, nullptr);
    EXPECT_FALSE(outcome.Ok);
    EXPECT_TRUE(outcome.Error.contains(QLatin1String(GetParam().says)))
        << outcome.Error.toStdString();
    EXPECT_FALSE(cleared);
    EXPECT_EQ(SessionFingerprint(TakeSessionSnapshot(s.session)), before);
    EXPECT_TRUE(keeper.FilePath().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, SessionBadFile,
    ::testing::Values(
        BadFileCase{"truncated", goodFile().left(goodFile().size() - 30), "ends too early"},
        BadFileCase{"damaged", replaced("\"side\":3", "\"side\"3"), "damaged at byte"},
        BadFileCase{"not a session", QByteArrayLiteral("{\"left\":[]}"), "not a session file"},
        BadFileCase{"newer version", replaced("\"version\":1", "\"version\":7"), "newer version"},
        BadFileCase{"partner that does not link back",
                    replaced("\"partner\":\"L0\"", "\"partner\":\"L5\""),
                    "left list, row 1: its partner does not"},
        BadFileCase{"gap with a file",
                    replaced("\"attribute\":2,\"side\":3", "\"attribute\":6,\"side\":1"),
                    "a gap names a file"},
        BadFileCase{"rotation out of range", replaced("\"side\":2,", "\"side\":2,\"rotation\":90,"),
                    "\"rotation\""},
        BadFileCase{"number too large", replaced("\"side\":2,", "\"side\":2,\"number\":1e300,"),
                    "\"number\""},
        BadFileCase{"path of the wrong type", replaced("\"/x/a.jpg\"", "[]"),
                    "\"path\" is not a text"},
        BadFileCase{"a sibling that is a path",
                    replaced("\"side\":2,", "\"side\":2,\"siblings\":[\"/../etc/x\"],"),
                    "\"siblings\""},
        BadFileCase{"view that a stereo file does not have",
                    replaced("\"side\":2,", "\"side\":2,\"view\":3,"), "\"view\""},
        BadFileCase{"gap that names a view",
                    replaced("\"attribute\":2,\"side\":3,\"path\":\"/x/b.jpg\",",
                             "\"attribute\":6,\"side\":1,\"view\":2,"),
                    "a gap names a view"},
        BadFileCase{"metadata of the wrong shape",
                    replaced("\"partner\":\"R0\"", "\"partner\":\"R0\",\"meta\":{\"str\":[1]}"),
                    "\"str\""}),
    [](const ::testing::TestParamInfo<BadFileCase> &param) {
        return ParamName(param.index, param.param.name);
    });

namespace {

// Texts the reader must take as any JSON writer may have laid them out, or refuse.
struct SessionTextCase
{
    const char *name;
    QByteArray bytes;
    const char *says; // "" when the file is sound
    std::function<void(const TSessionSnapshot &)> check;
};

QByteArray sessionText(const char *leftRow, const char *tail = "")
{
    return QByteArray(R"({"format":"duomira-session","version":1,"left":[)") + leftRow +
           R"(],"right":[])" + tail + "}";
}

class SessionText : public ::testing::TestWithParam<SessionTextCase>
{
};

} // namespace

TEST_P(SessionText, IsReadAsJsonOrRefusedWithItsReason)
{
    const SessionTextCase &c = GetParam();
    const TSessionReadResult read = ReadSessionFile(c.bytes);
    if (*c.says) {
        EXPECT_FALSE(read.Ok);
        EXPECT_TRUE(read.Error.contains(QLatin1String(c.says))) << read.Error.toStdString();
        return;
    }
    ASSERT_TRUE(read.Ok) << read.Error.toStdString();
    ASSERT_EQ(read.Snapshot.Lists[0].size(), 1u);
    c.check(read.Snapshot);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SessionText,
    ::testing::Values(
        SessionTextCase{"keys in another order, unknown ones with nested values skipped",
                        QByteArray(R"({"right":[],"future":{"a":[1,{"b":[[],{}]}],"c":null},)"
                                   R"("left":[{"later":[true,false,"x"],"path":"/x/a.jpg",)"
                                   R"("side":0,"attribute":0,"meta":{"extra":{},"capture":2.5}}],)"
                                   R"("version":1,"format":"duomira-session"})"),
                        "",
                        [](const TSessionSnapshot &s) {
                            EXPECT_EQ(s.Lists[0][0].Path, QStringLiteral("/x/a.jpg"));
                            EXPECT_EQ(s.Lists[0][0].Meta.CaptureTime, 2.5);
                        }},
        SessionTextCase{"escapes and characters beyond the first plane",
                        sessionText(R"({"attribute":0,"side":0,"path":"/x/a.jpg",)"
                                    R"("new_name":"\u00e9\ud83d\udcf7 \"q\"\\\/\t\u0001 √"})"),
                        "",
                        [](const TSessionSnapshot &s) {
                            EXPECT_EQ(s.Lists[0][0].NewName,
                                      QStringLiteral("é\U0001F4F7 \"q\"\\/\t\u0001 √"));
                        }},
        SessionTextCase{"whole numbers with a fraction or exponent, exact nanoseconds",
                        sessionText(R"({"attribute":0,"side":0,"path":"/x/a.jpg","rotation":2.0,)"
                                    R"("number":1e2,"mtime_ns":1715000000123456789})"),
                        "",
                        [](const TSessionSnapshot &s) {
                            EXPECT_EQ(s.Lists[0][0].Rotation, 2);
                            EXPECT_EQ(s.Lists[0][0].Number, 100);
                            EXPECT_EQ(s.Lists[0][0].FileMtimeNs, 1715000000123456789LL);
                        }},
        SessionTextCase{"a lone surrogate",
                        sessionText(R"({"attribute":0,"side":0,"path":"/x/\ud83d.jpg"})"),
                        "surrogate",
                        {}},
        SessionTextCase{"bytes that are not UTF-8",
                        sessionText("{\"attribute\":0,\"side\":0,\"path\":\"/x/\xC3\x28.jpg\"}"),
                        "not UTF-8",
                        {}},
        SessionTextCase{"a raw control character in a text",
                        sessionText("{\"attribute\":0,\"side\":0,\"path\":\"/x/\n.jpg\"}"),
                        "control character",
                        {}},
        SessionTextCase{"values nested without end",
                        sessionText(R"({"attribute":0,"side":0,"path":"/x/a.jpg","deep":)" +
                                    QByteArray(100, '[') + QByteArray(100, ']') + "}"),
                        "nested too deeply",
                        {}},
        SessionTextCase{"a comma before the end of a list",
                        sessionText(R"({"attribute":0,"side":0,"path":"/x/a.jpg"},)"),
                        "damaged at byte",
                        {}},
        SessionTextCase{"text after the document",
                        sessionText(R"({"attribute":0,"side":0,"path":"/x/a.jpg"})") + " {}",
                        "more text after",
                        {}},
        SessionTextCase{
            "a number beyond any double",
            sessionText(R"({"attribute":0,"side":0,"path":"/x/a.jpg","sort_time":1e999})"),
            "\"sort_time\"",
            {}},
        SessionTextCase{
            "a newer version says so before its rows are judged",
            sessionText(R"({"attribute":0,"side":0,"path":"/x/a.jpg","rotation":"new"})")
                .replace("\"version\":1", "\"version\":2"),
            "newer version",
            {}},
        SessionTextCase{"the first fault of a row in the order the values are checked",
                        sessionText(R"({"rotation":"x","attribute":9,"side":0,"path":"/x/a.jpg"})"),
                        "left list, row 1: \"attribute\"",
                        {}}),
    [](const ::testing::TestParamInfo<SessionTextCase> &param) {
        return ParamName(param.index, param.param.name);
    });

namespace {

struct QuestionCase
{
    const char *name;
    TLoseWorkPath path;
    bool dirty;
    TLoseWorkAnswer answer;
    bool hasFile;       // the session was saved before
    QString chosenPath; // what "Save As" returns for an untitled session ("" cancels)
    bool goesOn;
    bool asked;
    bool fileHoldsWork; // the session file afterwards holds the changed lists
};

class LoseWorkQuestion : public ::testing::TestWithParam<QuestionCase>
{
};

} // namespace

TEST_P(LoseWorkQuestion, AsksOnlyWithUnsavedWorkAndDoesWhatTheAnswerSays)
{
    const QuestionCase &c = GetParam();
    PhotoSession s;
    TSessionKeeper keeper(s.session);
    const QString saved = s.dir.filePath(QStringLiteral("saved.duomira"));
    QString error;
    if (c.hasFile)
        ASSERT_TRUE(keeper.Save(saved, error));
    else
        QFile::remove(saved);
    if (!c.hasFile || c.dirty) {
        if (c.dirty)
            s.left[0]->SetNewName(QStringLiteral("edited"));
    }
    if (!c.hasFile && !c.dirty) {
        // An untitled session whose lists are as they were made: nothing to save.
        TSession empty;
        TSessionKeeper fresh(empty);
        EXPECT_TRUE(fresh.ConfirmLoseWork(
            c.path,
            [] {
                ADD_FAILURE();
                return TLoseWorkAnswer::Cancel;
            },
            {}, error));
        return;
    }
    bool asked = false;
    const bool goesOn = keeper.ConfirmLoseWork(
        c.path,
        [&] {
            asked = true;
            return c.answer;
        },
        [&] { return c.chosenPath.isEmpty() ? QString() : s.dir.filePath(c.chosenPath); }, error);
    EXPECT_EQ(goesOn, c.goesOn);
    EXPECT_EQ(asked, c.asked);
    const QString target = c.hasFile ? saved : s.dir.filePath(c.chosenPath);
    QFile f(target);
    const bool holdsWork = !c.chosenPath.isEmpty() || c.hasFile
                               ? f.open(QIODevice::ReadOnly) && f.readAll().contains("edited")
                               : false;
    EXPECT_EQ(holdsWork, c.fileHoldsWork);
    if (c.goesOn && c.answer == TLoseWorkAnswer::Save) {
        EXPECT_FALSE(keeper.IsDirty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    PathsAndAnswers, LoseWorkQuestion,
    ::testing::Values(QuestionCase{"exit clean",
                                   TLoseWorkPath::Exit,
                                   false,
                                   TLoseWorkAnswer::Cancel,
                                   true,
                                   {},
                                   true,
                                   false,
                                   false},
                      QuestionCase{"exit save",
                                   TLoseWorkPath::Exit,
                                   true,
                                   TLoseWorkAnswer::Save,
                                   true,
                                   {},
                                   true,
                                   true,
                                   true},
                      QuestionCase{"exit discard",
                                   TLoseWorkPath::Exit,
                                   true,
                                   TLoseWorkAnswer::Discard,
                                   true,
                                   {},
                                   true,
                                   true,
                                   false},
                      QuestionCase{"exit cancel",
                                   TLoseWorkPath::Exit,
                                   true,
                                   TLoseWorkAnswer::Cancel,
                                   true,
                                   {},
                                   false,
                                   true,
                                   false},
                      QuestionCase{"close save untitled", TLoseWorkPath::CloseWindow, true,
                                   TLoseWorkAnswer::Save, false, QStringLiteral("new.duomira"),
                                   true, true, true},
                      QuestionCase{"close save untitled, chooser cancelled",
                                   TLoseWorkPath::CloseWindow,
                                   true,
                                   TLoseWorkAnswer::Save,
                                   false,
                                   {},
                                   false,
                                   true,
                                   false},
                      QuestionCase{"close discard",
                                   TLoseWorkPath::CloseWindow,
                                   true,
                                   TLoseWorkAnswer::Discard,
                                   true,
                                   {},
                                   true,
                                   true,
                                   false},
                      QuestionCase{"close save into a folder that is not there",
                                   TLoseWorkPath::CloseWindow, true, TLoseWorkAnswer::Save, false,
                                   QStringLiteral("no/such/folder/x.duomira"), false, true, false},
                      QuestionCase{"open another save",
                                   TLoseWorkPath::OpenSession,
                                   true,
                                   TLoseWorkAnswer::Save,
                                   true,
                                   {},
                                   true,
                                   true,
                                   true},
                      QuestionCase{"open another cancel",
                                   TLoseWorkPath::OpenSession,
                                   true,
                                   TLoseWorkAnswer::Cancel,
                                   true,
                                   {},
                                   false,
                                   true,
                                   false},
                      QuestionCase{"untitled, nothing loaded",
                                   TLoseWorkPath::Exit,
                                   false,
                                   TLoseWorkAnswer::Cancel,
                                   false,
                                   {},
                                   true,
                                   false,
                                   false}),
    [](const ::testing::TestParamInfo<QuestionCase> &param) {
        return ParamName(param.index, param.param.name);
    });

// ---- Stereo files ----

namespace {

struct StereoCase
{
    const char *name;
    // What happens to the stereo file between saving and opening.
    std::function<void(const QString &path)> meanwhile;
    TFileCheck check;
    bool inBatch;
};

class SessionStereoFile : public ::testing::TestWithParam<StereoCase>
{
};

} // namespace

TEST_P(SessionStereoFile, OpensAgainAsTheSameLinkedViews)
{
    const StereoCase &c = GetParam();
    QTemporaryDir dir;
    const QString mpo = dir.filePath(QStringLiteral("DSCF0001.MPO"));
    ASSERT_TRUE(QFile::copy(testDataPath(QStringLiteral("photos/mpo/sugarshack.mpo")), mpo));
    TSession session;
    {
        TQuietLoadingView view;
        TIdleProcessor idle(session.Left(), session.Right(), view);
        idle.SetThumbnailsWanted(false);
        ASSERT_NE(idle.AddFile(mpo, session.Left(), NewEntryDefaults()), nullptr);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                idle.IdleProcess();
                return idle.IsIdle();
            },
            20000));
    }
    ASSERT_EQ(session.Left().Count(), 1);
    const TPicturePart parts[] = {session.Left().EntryAt(0)->OrgBild()->Part,
                                  session.Right().EntryAt(0)->OrgBild()->Part};
    ASSERT_EQ(parts[0].view, 1);
    ASSERT_EQ(parts[1].view, 2);
    session.Right().EntryAt(0)->SetNewName(QStringLiteral("Sugar shack"));
    TSessionKeeper keeper(session);
    const QString saved = dir.filePath(QStringLiteral("stereo.duomira"));
    QString error;
    ASSERT_TRUE(keeper.Save(saved, error)) << error.toStdString();
    c.meanwhile(mpo);

    TSession reopened;
    TSessionKeeper second(reopened);
    const TSessionOpenOutcome outcome = second.Open(saved, {}, nullptr);
    ASSERT_TRUE(outcome.Ok) << outcome.Error.toStdString();
    // The file is named once, not once per view.
    EXPECT_EQ(outcome.Report.Changed,
              c.check == TFileCheck::Changed ? QStringList{mpo} : QStringList());
    EXPECT_EQ(outcome.Report.Missing,
              c.check == TFileCheck::Missing ? QStringList{mpo} : QStringList());
    ASSERT_EQ(reopened.Left().Count(), 1);
    ASSERT_EQ(reopened.Right().Count(), 1);
    TDatensatz *views[] = {reopened.Left().EntryAt(0), reopened.Right().EntryAt(0)};
    EXPECT_EQ(views[0]->Partner(), views[1]);
    EXPECT_EQ(views[1]->Partner(), views[0]);
    EXPECT_EQ(views[1]->NewName(), QStringLiteral("Sugar shack"));
    for (int v = 0; v < 2; ++v) {
        SCOPED_TRACE(v + 1);
        EXPECT_EQ(views[v]->SourcePath(), mpo);
        EXPECT_EQ(views[v]->Attribute(), daStereoPair);
        EXPECT_EQ(views[v]->FileCheck(), c.check);
        EXPECT_EQ(views[v]->Batch(), c.inBatch);
        EXPECT_TRUE(views[v]->IsStereoView());
        // Each view is found in the file again; a file that lost its views keeps only the
        // view number.
        if (c.check == TFileCheck::Unchanged)
            EXPECT_EQ(views[v]->OrgBild()->Part, parts[v]);
        else
            EXPECT_EQ(views[v]->OrgBild()->Part.view, v + 1);
    }
    if (c.check == TFileCheck::Unchanged)
        expectSameLists(TakeSessionSnapshot(session), TakeSessionSnapshot(reopened));
}

INSTANTIATE_TEST_SUITE_P(
    Files, SessionStereoFile,
    ::testing::Values(StereoCase{"unchanged", [](const QString &) {}, TFileCheck::Unchanged, true},
                      StereoCase{"another picture under its name",
                                 [](const QString &path) {
                                     QFile::remove(path);
                                     QFile::copy(
                                         testDataPath(QStringLiteral("photos/jpg/Nikon_D70.jpg")),
                                         path);
                                 },
                                 TFileCheck::Changed, false},
                      StereoCase{"gone", [](const QString &path) { QFile::remove(path); },
                                 TFileCheck::Missing, false}),
    [](const ::testing::TestParamInfo<StereoCase> &param) {
        return ParamName(param.index, param.param.name);
    });

// ---- Rows taken again ----

namespace {

struct RowChangeCase
{
    const char *name;
    std::function<void(PhotoSession &)> change;
    int list; // the row that changed (-1: none)
    int row;
};

class SessionRowsTakenAgain : public ::testing::TestWithParam<RowChangeCase>
{
};

} // namespace

TEST_P(SessionRowsTakenAgain, CopyOnlyWhatChangedAndShowTheListsAsTheyAre)
{
    const RowChangeCase &c = GetParam();
    PhotoSession s;
    TSessionRowCache cache;
    const TSessionRows before = cache.Take(s.session);
    c.change(s);
    const TSessionRows after = cache.Take(s.session);
    // What the worker gets is what the lists hold now.
    expectSameLists(after.Expand(), TakeSessionSnapshot(s.session));
    EXPECT_EQ(SessionFingerprint(after.Expand()),
              SessionFingerprint(TakeSessionSnapshot(s.session)));
    // Only the changed row is a new copy; every other row, moved or not, is shared.
    for (std::size_t l = 0; l < 2; ++l) {
        const auto &was = before.Rows[l];
        for (std::size_t i = 0; i < after.Rows[l].size(); ++i) {
            const bool copied = std::find(was.begin(), was.end(), after.Rows[l][i]) == was.end();
            EXPECT_EQ(copied, int(l) == c.list && int(i) == c.row) << "list " << l << " row " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, SessionRowsTakenAgain,
    ::testing::Values(
        RowChangeCase{"nothing", [](PhotoSession &) {}, -1, -1},
        RowChangeCase{"new name",
                      [](PhotoSession &s) { s.left[1]->SetNewName(QStringLiteral("x")); }, 0, 1},
        RowChangeCase{"rotation", [](PhotoSession &s) { s.right[2]->SetRotation(1); }, 1, 2},
        RowChangeCase{"mirror", [](PhotoSession &s) { s.left[0]->SetMirror(true); }, 0, 0},
        RowChangeCase{"invert", [](PhotoSession &s) { s.right[0]->SetInvert(true); }, 1, 0},
        RowChangeCase{"excluded", [](PhotoSession &s) { s.left[2]->SetBatch(false); }, 0, 2},
        RowChangeCase{"text field",
                      [](PhotoSession &s) { s.right[1]->SetText(3, QStringLiteral("t")); }, 1, 1},
        RowChangeCase{"clock correction",
                      [](PhotoSession &s) { s.left[1]->SetClockCorrection(2.5); }, 0, 1},
        RowChangeCase{"selection kept", [](PhotoSession &s) { s.right[2]->SetSavedSelected(true); },
                      1, 2},
        RowChangeCase{"file check",
                      [](PhotoSession &s) { s.left[0]->SetFileCheck(TFileCheck::Missing); }, 0, 0},
        RowChangeCase{"record read again",
                      [](PhotoSession &s) {
                          QFile::remove(s.file(4));
                          QFile::copy(
                              testDataPath(QStringLiteral("photos/jpg/Canon_DIGITAL_IXUS_400.jpg")),
                              s.file(4));
                          s.right[1]->ReloadMetadata();
                      },
                      1, 1},
        RowChangeCase{"attribute and number",
                      [](PhotoSession &s) {
                          s.left[2]->SetAttribute(daUnassigned);
                          s.left[2]->SetNumber(77);
                      },
                      0, 2},
        RowChangeCase{"rows sorted the other way: moved rows are shared, partners follow",
                      [](PhotoSession &s) {
                          for (ListRowModel *list : {&s.session.Left(), &s.session.Right()})
                              list->SortRows([](const ListRow &a, const ListRow &b) {
                                  return b.Index() - a.Index();
                              });
                      },
                      -1, -1}),
    [](const ::testing::TestParamInfo<RowChangeCase> &param) {
        return ParamName(param.index, param.param.name);
    });

// ---- Crash recovery ----

// Runs only in the child process that RecoveryAfterKill starts: makes a change, waits until
// the recovery file holds it, says so and waits to be killed.
TEST(RecoveryChild, WritesAndWaits)
{
    const QString folder = qEnvironmentVariable("DUOMIRA_RECOVERY_CHILD");
    if (folder.isEmpty())
        GTEST_SKIP() << "runs as the child of RecoveryAfterKill";
    PhotoSession s;
    TSessionKeeper keeper(s.session);
    QString error;
    ASSERT_TRUE(keeper.EnableRecovery(folder, error)) << error.toStdString();
    keeper.SetTimings(std::chrono::milliseconds(10), std::chrono::milliseconds(10));
    s.left[2]->SetNewName(QStringLiteral("worked-on"));
    s.right[1]->SetRotation(2);
    keeper.NoteChange();
    ASSERT_TRUE(QTest::qWaitFor([&] { return keeper.RecoveryWrites() > 0; }, 10000));
    std::printf("written %s\n", qPrintable(keeper.RecoveryPath()));
    std::fflush(stdout);
    QTest::qWait(60000);
}

TEST(RecoveryAfterKill, TheNextStartRestoresTheWork)
{
    QTemporaryDir state;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DUOMIRA_RECOVERY_CHILD"), state.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=RecoveryChild.*")});
    ASSERT_TRUE(child.waitForStarted());
    QByteArray out;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            child.waitForReadyRead(100);
            out += child.readAllStandardOutput();
            return out.contains("written ");
        },
        30000))
        << out.toStdString();
    // While it runs its file is no orphan.
    EXPECT_TRUE(OrphanedRecoveryFiles(state.path()).isEmpty());
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished();

    const QStringList orphans = OrphanedRecoveryFiles(state.path());
    ASSERT_EQ(orphans.size(), 1);
    TSession restored;
    TSessionKeeper keeper(restored);
    const TSessionOpenOutcome outcome = keeper.Restore(orphans.first(), {}, nullptr);
    ASSERT_TRUE(outcome.Ok) << outcome.Error.toStdString();
    // The child's photos were in its own temporary folder, gone with it: the entries come
    // back missing, with their names and settings.
    ASSERT_EQ(restored.Left().Count(), 3);
    EXPECT_EQ(restored.Left().EntryAt(2)->NewName(), QStringLiteral("worked-on"));
    EXPECT_EQ(restored.Right().EntryAt(1)->Rotation(), 2);
    EXPECT_EQ(restored.Left().EntryAt(0)->Partner(), restored.Right().EntryAt(0));
    EXPECT_TRUE(keeper.IsDirty());
    RemoveOrphanedRecoveryFile(orphans.first());
    EXPECT_TRUE(QDir(state.path()).entryList(QDir::Files).isEmpty());
}

TEST(Recovery, FollowsChangesAndKeepsWhatRemoveAllRemoved)
{
    QTemporaryDir state;
    PhotoSession s;
    TSessionKeeper keeper(s.session);
    QString error;
    ASSERT_TRUE(keeper.EnableRecovery(state.path(), error));
    keeper.SetTimings(std::chrono::milliseconds(1), std::chrono::milliseconds(0));
    auto recovered = [&] {
        QFile f(keeper.RecoveryPath());
        return f.open(QIODevice::ReadOnly) ? ReadSessionFile(f.readAll()) : TSessionReadResult{};
    };
    // A clean session leaves no recovery file; a change writes one.
    keeper.Flush();
    EXPECT_FALSE(QFile::exists(keeper.RecoveryPath()));
    s.left[0]->SetNewName(QStringLiteral("first"));
    keeper.NoteChange();
    keeper.Flush();
    ASSERT_TRUE(recovered().Ok);
    EXPECT_EQ(recovered().Snapshot.Lists[0][0].NewName, QStringLiteral("first"));

    // "Remove all items": the recovery file still holds the lists until the next change.
    s.session.Left().Clear();
    s.session.Right().Clear();
    keeper.KeepRecoveryThroughClear();
    keeper.Flush();
    EXPECT_EQ(recovered().Snapshot.Lists[0].size(), 3u);
    EXPECT_TRUE(keeper.WriteRecoveryNow());
    EXPECT_EQ(recovered().Snapshot.Lists[0].size(), 3u);
    AppendEntry(s.session.Left(), 1, s.file(5), dsLeft);
    keeper.Flush();
    EXPECT_EQ(recovered().Snapshot.Lists[0].size(), 1u);

    // Saved work needs no recovery file.
    ASSERT_TRUE(keeper.Save(s.dir.filePath(QStringLiteral("done.duomira")), error));
    EXPECT_FALSE(QFile::exists(keeper.RecoveryPath()));
}
