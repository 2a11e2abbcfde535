// The wizard's controller driven headless through the step table: which pages a job shows,
// what it records, and the job settings it derives.
#include "wizardfixture.h"

#include "batch/assistent.h"
#include "entries/listoperations.h"
#include "entries/namingsettings.h"

#include <QDir>
#include <QFile>

#include <functional>
#include <map>
#include <memory>

namespace {

class RecordingHost : public TAssistentHost
{
public:
    std::vector<int> pages;
    std::vector<TBatchJobSettings> runs;
    std::function<void()> duringRun;
    bool cancelled = false;
    int logShown = 0;
    int closed = 0;
    bool closedOk = false;

    void PageShown(int page) override { pages.push_back(page); }
    bool RunJob(const TBatchJobSettings &settings) override
    {
        runs.push_back(settings);
        if (duringRun)
            duringRun();
        return cancelled;
    }
    void RequestCancel() override { cancelled = true; }
    void ShowLog() override { ++logShown; }
    void CloseWizard(bool ok) override
    {
        ++closed;
        closedOk = ok;
    }
};

class Wizard : public WizardFixture
{
public:
    Wizard() { reset(); }

    // A fresh wizard over one stereo pair, with the settings of a first start.
    void reset()
    {
        left.Clear();
        right.Clear();
        log.Clear();
        store.Naming = TNamingSettings::Defaults();
        setDestinations(true);
        gfl = true;
        host = RecordingHost();
        m_ctrl = std::make_unique<TAssistentController>(context(), host, volumes);
        m_ctrl->SetGflAvailable([this] { return gfl; });
        addPair("P1_L.jpg", "P1_R.jpg", "New1");
    }
    TAssistentController &ctrl() { return *m_ctrl; }

    // Opens the wizard and presses Next until it reaches the confirmation or a page that
    // holds it (a check page or a disabled Next).
    void walk()
    {
        ctrl().ShowWizard();
        for (int i = 0; i < 40; ++i) {
            const int p = ctrl().CurrentPage();
            if (p == pgBestAuftrag || p == pgChkDstSpace || p == pgChkNamen ||
                !ctrl().Buttons().NextEnabled)
                return;
            ctrl().Next();
        }
        FAIL() << "the wizard did not stop";
    }
    // Two pairs whose left pictures are one file ("Combinations").
    void shareLeftFile()
    {
        TDatensatz *l = entries().front();
        TDatensatz *second = AppendEntry(left, 1, l->SourcePath(), dsLeft);
        TDatensatz *partner = AppendEntry(right, 1, photo("P2_R.jpg", 3), dsRight);
        LinkBothWays(second, partner);
        for (TDatensatz *e : {second, partner}) {
            e->SetAttribute(daStereoPair);
            e->LoadMetadata();
            e->SetNewName("New2");
        }
    }

    RecordingHost host;
    std::unique_ptr<TAssistentController> m_ctrl;
    bool gfl = true;
};

struct Journey
{
    const char *name;
    std::function<void(Wizard &)> setup;
    std::map<int, int> choices; // page -> radio button
    std::vector<int> pages;
    TBatchJobSettings settings;
};

TBatchJobSettings settingsOf(std::function<void(TBatchJobSettings &)> f)
{
    TBatchJobSettings s;
    f(s);
    return s;
}

} // namespace

TEST_F(Wizard, JourneysShowTheirPagesAndDeriveTheirSettings)
{
    const Journey journeys[] = {
        {"RenameOnly",
         [](Wizard &) {},
         {{1, 1}, {3, 2}, {10, 1}},
         {1, 3, 10, 15, 8},
         settingsOf([](auto &s) { s.RenameSource = s.WriteSpmList = true; })},
        {"CopyCreatesMissingFoldersWithoutAsking",
         [](Wizard &w) {
             w.setDestinations(false);
             w.store.Naming.CreateMissingFolders = true;
         },
         {{1, 3}, {3, 1}, {5, 2}, {10, 1}},
         {1, 3, 5, 10, 15, 8},
         settingsOf([](auto &s) {
             s.CopyToDestination = s.RenameDestination = s.WriteSpmList = true;
             s.FolderMask = 3;
         })},
        {"CopyAsksForMissingFolders",
         [](Wizard &w) {
             w.setDestinations(false);
             w.store.Naming.CreateMissingFolders = false;
         },
         {{1, 3}, {3, 1}, {2, 2}, {5, 1}, {10, 2}},
         {1, 3, 2, 5, 10, 15, 8},
         settingsOf([](auto &s) {
             s.CopyToDestination = true;
             s.FolderMask = 3;
         })},
        {"MoveRotatesInTheDestination",
         [](Wizard &w) { w.entries().front()->SetRotation(1); },
         {{1, 2}, {5, 2}, {7, 2}, {10, 1}},
         {1, 5, 7, 10, 15, 8},
         settingsOf([](auto &s) {
             s.MoveToDestination = s.RenameDestination = s.RotateDestination = true;
             s.WriteSpmList = true;
         })},
        {"CopyAsksBothRotations",
         [](Wizard &w) { w.entries().front()->SetRotation(2); },
         {{1, 3}, {3, 1}, {6, 2}, {5, 2}, {7, 1}, {10, 2}},
         {1, 3, 6, 5, 7, 10, 15, 8},
         settingsOf(
             [](auto &s) { s.CopyToDestination = s.RotateSource = s.RenameDestination = true; })},
        {"NoRotationPagesWithoutTheLibrary",
         [](Wizard &w) {
             w.entries().front()->SetRotation(1);
             w.gfl = false;
         },
         {{1, 3}, {3, 1}, {5, 2}, {10, 2}},
         {1, 3, 5, 10, 15, 8},
         settingsOf([](auto &s) { s.CopyToDestination = s.RenameDestination = true; })},
        {"SharedFileIsCompletedInTheSource",
         [](Wizard &w) { w.shareLeftFile(); },
         {{1, 1}, {3, 2}, {4, 1}, {10, 2}},
         {1, 3, 4, 10, 15, 8},
         settingsOf([](auto &s) { s.RenameSource = s.CompletePartners = true; })},
        {"SharedFileOfACopyJobStaysIncomplete",
         [](Wizard &w) { w.shareLeftFile(); },
         {{1, 3}, {3, 2}, {4, 2}, {5, 2}, {10, 2}},
         {1, 3, 4, 5, 10, 15, 8},
         settingsOf([](auto &s) {
             s.CopyToDestination = s.RenameSource = s.RenameDestination = true;
             s.KeepPartnersIncomplete = true;
         })},
    };
    for (const Journey &j : journeys) {
        SCOPED_TRACE(j.name);
        reset();
        j.setup(*this);
        RefreshAllEntries(store.Registry);
        for (auto [page, option] : j.choices)
            ctrl().SetChoice(page, option);
        walk();
        EXPECT_EQ(host.pages, j.pages);
        EXPECT_TRUE(ctrl().Settings() == j.settings);
        EXPECT_EQ(ctrl().HasCode(acCreateMissingFolders),
                  store.Naming.CreateMissingFolders && j.settings.FolderMask != 0);
    }
}

TEST_F(Wizard, PreviousReturnsToTheLastQuestionAndForgetsLaterAnswers)
{
    ctrl().SetChoice(pgRenameSource, 2);
    walk();
    ASSERT_EQ(ctrl().CurrentPage(), pgBestAuftrag);
    QStringList texts;
    for (const TProtokollLine &line : ctrl().HistoryLines())
        texts << line.Text;
    EXPECT_EQ(texts,
              QStringList({"Destination folder", "Copy/Move nothing", " ", "Rename source images?",
                           "Rename source images", " ", "Create SPM compatible list file?",
                           "Create SPM compatible list file", " ", "Write stereo files?", " ",
                           "Confirm Batch Job"}));
    EXPECT_EQ(ctrl().HistoryLines().front().Color, logcolor::Blue);
    EXPECT_EQ(ctrl().HistoryLines()[1].Style, LogStyle::Normal);

    ctrl().Previous();
    EXPECT_EQ(ctrl().CurrentPage(), pgStereoOutputs);
    ctrl().Previous();
    EXPECT_EQ(ctrl().CurrentPage(), pgSpmListe);
    EXPECT_EQ(ctrl().History().last(), TAssistentCode(TAssistentStep::AskSpmList));
    EXPECT_FALSE(ctrl().HasCode(acWriteSpmList));
    ctrl().Previous();
    EXPECT_EQ(ctrl().CurrentPage(), pgRenameSource);
    EXPECT_FALSE(ctrl().HasCode(acRenameSource));
}

TEST_F(Wizard, RetryReplaysTheLastJobAndStopsWhereTheUserMustLook)
{
    ctrl().SetChoice(pgRenameSource, 2);
    walk();
    const QVector<TAssistentCode> answered = ctrl().History();
    ctrl().Next(); // Finish
    ASSERT_EQ(host.runs.size(), 1u);
    EXPECT_EQ(ctrl().CurrentPage(), pgAuftragSucc);
    EXPECT_EQ(log.Lines().last(),
              (TProtokollLine{"Batch Job was successful", logcolor::Green, LogStyle::Bold}));
    EXPECT_EQ(log.Lines().front().Text, "Destination folder");
    ctrl().Next(); // Exit
    EXPECT_EQ(host.closed, 1);
    EXPECT_TRUE(host.closedOk);

    ctrl().ShowWizard();
    ctrl().Retry();
    EXPECT_EQ(ctrl().CurrentPage(), pgBestAuftrag);
    EXPECT_EQ(ctrl().History(), answered);

    // A file in the way of a new name stops the replay on the naming page, and Next there
    // keeps it until the file has gone.
    QFile::copy(entries().front()->SourcePath(), root() + "/src/New1_L.jpg");
    ctrl().ShowWizard();
    ctrl().Retry();
    EXPECT_EQ(ctrl().CurrentPage(), pgChkNamen);
    EXPECT_EQ(ctrl().NameCheck().Overwrites, 1);
    ctrl().Next();
    EXPECT_EQ(ctrl().CurrentPage(), pgChkNamen);
    QFile::remove(root() + "/src/New1_L.jpg");
    ctrl().Next();
    EXPECT_EQ(ctrl().CurrentPage(), pgBestAuftrag);
}

TEST_F(Wizard, TheSpaceGatesHoldUntilTheSpaceIsThere)
{
    volumes.free[root()] = 0;
    ctrl().SetChoice(pgSpeicherort, 3);
    ctrl().SetChoice(pgRenameSource, 1);
    walk();
    EXPECT_EQ(ctrl().CurrentPage(), pgChkDstSpace);
    ctrl().Next();
    EXPECT_EQ(host.pages, (std::vector<int>{1, 3, 9, 9}));
    EXPECT_TRUE(ctrl().Title(pgChkDstSpace).contains("Avialable memory is low."));
    volumes.free.clear();
    ctrl().Next();
    EXPECT_EQ(ctrl().CurrentPage(), pgRenameDest);

    // Completing shared files in the source needs room there: Next waits for "No".
    ctrl().Cancel();
    shareLeftFile();
    volumes.free[root()] = 1000;
    ctrl().SetChoice(pgSpeicherort, 1);
    ctrl().SetChoice(pgRenameSource, 2);
    ctrl().SetChoice(pg1zuNSource, 1);
    ctrl().ShowWizard();
    ctrl().Retry();
    EXPECT_EQ(ctrl().CurrentPage(), pg1zuNSource);
    EXPECT_FALSE(ctrl().Buttons().NextEnabled);
    EXPECT_TRUE(ctrl().Title(pg1zuNSource).contains("<LF>1 images were added"));
    ctrl().SetChoice(pg1zuNSource, 2);
    EXPECT_TRUE(ctrl().Buttons().NextEnabled);
}

TEST_F(Wizard, CancelDuringTheRunEndsTheJobAndThenCloses)
{
    host.duringRun = [this] {
        ctrl().Cancel();
        EXPECT_EQ(host.closed, 0); // not while the run is still inside
    };
    walk();
    ctrl().Next();
    EXPECT_TRUE(host.cancelled);
    EXPECT_EQ(host.closed, 1);
    EXPECT_FALSE(host.closedOk);
    EXPECT_EQ(host.logShown, 1);
    EXPECT_EQ(ctrl().History().last(), TAssistentCode(TAssistentStep::Failed));
    EXPECT_EQ(log.Lines().last(),
              (TProtokollLine{"Batch Job incomplete", logcolor::Red, LogStyle::Bold}));
    EXPECT_TRUE(log.Lines().at(log.Lines().size() - 2).Text.startsWith("Date: "));
}

TEST_F(Wizard, OnlyCopyAndMoveJobsCreateFolders)
{
    setDestinations(false);
    store.Naming.CreateMissingFolders = true;
    ctrl().SetChoice(pgSpeicherort, 3);
    walk();
    EXPECT_EQ(ctrl().Settings().FolderMask, 3);
    ctrl().SetChoice(pgSpeicherort, 1);
    walk();
    EXPECT_EQ(ctrl().Settings().FolderMask, 0);
}

// A pair whose pictures were re-paired after they got their names would be renamed apart:
// the naming check lists it, and the confirmation page counts it, but the job may go on.
TEST_F(Wizard, PairsNamedApartAreAWarningTheUserCanPass)
{
    ctrl().SetChoice(pgRenameSource, 2);
    walk();
    EXPECT_FALSE(ctrl().Title(pgBestAuftrag).contains("different names"));

    reset();
    entries().back()->SetNewName("New2");
    ctrl().SetChoice(pgRenameSource, 2);
    walk();
    ASSERT_EQ(ctrl().CurrentPage(), pgBestAuftrag);
    EXPECT_EQ(ctrl().NameCheck().PartnersNamedApart, 1);
    EXPECT_TRUE(ctrl().Title(pgBestAuftrag).contains("1 stereo pairs get different names"));
    EXPECT_TRUE(logText().contains(" N° 0 (Left) New1  and  N° 0 (Right) New2"));
}

// Stereo files chosen on their page, after the space check of a copy or move has run: the
// checks count them before the job may start, and the confirmation says what is written.
TEST_F(Wizard, StereoFilesChosenOnTheirPageAreCountedBeforeTheJob)
{
    struct Case
    {
        const char *name;
        int destination; // page 1's choice
        std::function<void(Wizard &)> obstacle;
        int stopsAt;
        const char *confirmation; // part of the confirmation's title when it is reached
    };
    const auto stereoPath = [](Wizard &w) {
        const TDatensatz &l = *w.entries().front();
        return w.stereo->Folder + "/" +
               StereoOutputFileName(StereoPairBaseName(l), TStereoOutput::Mpo);
    };
    // The stereo folder is a volume of its own, too small for an MPO of the pair.
    const auto smallStereoVolume = [](Wizard &w) {
        QDir().mkpath(w.stereo->Folder);
        w.volumes.mounts.append(w.stereo->Folder);
        w.volumes.free[w.stereo->Folder] = 1000;
    };
    const Case cases[] = {
        {"RenameOnlyWritesThem", 1, [](Wizard &) {}, pgBestAuftrag,
         "1 stereo files (MPO (lossless)) will be written"},
        {"CopyListsThemOnce", 3, [](Wizard &) {}, pgBestAuftrag,
         "1 stereo files (MPO (lossless)) will be written"},
        {"AClashOnlyTheStereoFileHas", 3,
         [&](Wizard &w) {
             QDir().mkpath(w.stereo->Folder);
             QFile::copy(w.entries().front()->SourcePath(), stereoPath(w));
         },
         pgChkNamen, ""},
        {"TheirSizeOnACopy", 3, smallStereoVolume, pgChkDstSpace, ""},
        {"TheirSizeWhenThePicturesStay", 1, smallStereoVolume, pgChkDstSpace, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        stereo->Outputs.clear();
        c.obstacle(*this);
        ctrl().SetChoice(pgSpeicherort, c.destination);
        ctrl().SetChoice(pgRenameSource, 2);
        // Without stereo files nothing holds the job.
        walk();
        ASSERT_EQ(ctrl().CurrentPage(), pgBestAuftrag);
        EXPECT_FALSE(ctrl().Title(pgBestAuftrag).contains("stereo files ("));
        // Back to their page, one chosen, and on: the checks see it.
        ctrl().Previous();
        ASSERT_EQ(ctrl().CurrentPage(), pgStereoOutputs);
        stereo->Outputs = {TStereoOutput::Mpo};
        ctrl().Next();
        EXPECT_EQ(ctrl().CurrentPage(), c.stopsAt);
        EXPECT_EQ(stereo->JobCopiesOrMoves, c.destination != 1);
        if (c.stopsAt == pgBestAuftrag) {
            EXPECT_TRUE(ctrl().HasCode(acWriteStereoFiles));
            EXPECT_TRUE(ctrl().Title(pgBestAuftrag).contains(c.confirmation));
        }
        if (c.stopsAt == pgChkNamen) {
            EXPECT_EQ(ctrl().NameCheck().Overwrites, 1);
        }
        // The check page holds the job until the obstacle has gone; Back leads to the page.
        if (c.stopsAt != pgBestAuftrag) {
            ctrl().Next();
            EXPECT_EQ(ctrl().CurrentPage(), c.stopsAt);
            ctrl().Previous();
            EXPECT_EQ(ctrl().CurrentPage(), pgStereoOutputs);
        }
    }
}
