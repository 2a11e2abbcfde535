// Search and replace over the new names of both lists: the walk from row to row, the three
// buttons, the question before each replacement and the end of the list.
#include "maskfixture.h"
#include "naming/searchreplace.h"
#include "support/listfixture.h"

#include <deque>
#include <vector>

namespace {

// Answers the end-of-list question and records what the search asked of the windows.
struct FakeView : TSearchView
{
    bool continueAnswer = false;
    int questions = 0;
    int closed = 0;
    std::vector<bool> visibility;
    bool AskContinueAtBeginning() override
    {
        ++questions;
        return continueAnswer;
    }
    void CloseSearchWindow() override { ++closed; }
    void SetSearchWindowVisible(bool visible) override { visibility.push_back(visible); }
    void Beep() override {}
};

// Answers the replace question from a script and records the names it was asked about.
struct ScriptedQuestion : TReplaceQuestion
{
    std::deque<ReplaceAnswer> answers;
    std::vector<QString> asked;
    ReplaceAnswer AskReplace(const QString &, const QString &, ReplaceFlags,
                             const QString &name) override
    {
        asked.push_back(name);
        const ReplaceAnswer a = answers.empty() ? ReplaceAnswer::Yes : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return a;
    }
};

class SearchReplace : public ListFixture
{
protected:
    TDatensatz *lastEntry = nullptr;
    TSearchReplace search{left, right, lastEntry};
    FakeView view;

    static TSearchOptions find(const char *text, bool allEntries = true)
    {
        TSearchOptions o;
        o.SearchText = QString::fromLatin1(text);
        o.SelectedOnly = !allEntries;
        return o;
    }
    static TSearchOptions replace(const char *text, const char *by, bool confirm = false)
    {
        TSearchOptions o = find(text);
        o.ReplaceText = QString::fromLatin1(by);
        o.Confirm = confirm;
        return o;
    }
    // Names of the hits, walking from the current position until the end of the list.
    std::vector<QString> walk(const TSearchOptions &o)
    {
        std::vector<QString> hits;
        while (TDatensatz *e = search.FindNext(o)) {
            hits.push_back(e->NewName());
            if (hits.size() > 100)
                break;
        }
        return hits;
    }
    // Three pairs; the hits are marked with an "x" in their names.
    void threeRows(const char *l0, const char *r0, const char *l1, const char *r1, const char *l2,
                   const char *r2)
    {
        const char *names[] = {l0, r0, l1, r1, l2, r2};
        for (int i = 0; i < 3; ++i)
            addPair(QStringLiteral("/c/%1.JPG").arg(QLatin1String(names[2 * i])),
                    QStringLiteral("/c/%1.JPG").arg(QLatin1String(names[2 * i + 1])));
    }
};

TEST_F(SearchReplace, WalkTestsBothEntriesOfEachRowAlternatingTheSideTestedFirst)
{
    threeRows("a0", "b0x", "a1x", "b1", "a2x", "b2x");
    search.Open();
    EXPECT_EQ(walk(find("x")), (std::vector<QString>{"b0x", "a1x", "b2x", "a2x"}));

    // Backward from the last left row.
    lastEntry = left.EntryAt(2);
    search.ClearPosition();
    TSearchOptions back = find("x");
    back.Forward = false;
    EXPECT_EQ(walk(back), (std::vector<QString>{"a2x", "b2x", "a1x", "b0x"}));
}

TEST_F(SearchReplace, StartEntryIsTheLastEntryThenTheSelectionThenTheFirstEntry)
{
    threeRows("x0", "y0", "x1", "y1", "x2", "y2");
    const struct
    {
        const char *name;
        TDatensatz *last;
        int leftSelected, rightSelected;
        const char *firstHit;
    } cases[] = {
        {"last entry", right.EntryAt(1), 2, -1, "y1"},
        {"selected left row", nullptr, 2, 0, "x2"},
        {"selected right row", nullptr, -1, 1, "y1"},
        {"first registered entry", nullptr, -1, -1, "x0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        lastEntry = c.last;
        select(left, {});
        select(right, {});
        if (c.leftSelected >= 0)
            select(left, {c.leftSelected});
        if (c.rightSelected >= 0)
            select(right, {c.rightSelected});
        search.ClearPosition();
        TSearchOptions letter;
        letter.SelectedOnly = false;
        letter.SearchText = QString::fromLatin1(c.firstHit).left(1);
        TDatensatz *hit = search.FindNext(letter);
        ASSERT_NE(hit, nullptr);
        EXPECT_EQ(hit->NewName(), QString::fromLatin1(c.firstHit));
    }
}

TEST_F(SearchReplace, MatchingHonoursCaseAndTheSavedSelection)
{
    addPair(QStringLiteral("/c/Pict_001.JPG"), QStringLiteral("/c/Pict_002.JPG"));
    search.Open();
    EXPECT_EQ(walk(find("PICT")).size(), 2u);

    TSearchOptions exact = find("PICT");
    exact.CaseSensitive = true;
    search.ClearPosition();
    EXPECT_TRUE(walk(exact).empty());

    // "Selected entries only" reads the selection saved when the window opened.
    search.Open();
    select(right, {0});
    EXPECT_TRUE(walk(find("Pict", false)).empty());
    search.Open();
    EXPECT_EQ(walk(find("Pict", false)), (std::vector<QString>{"Pict_002"}));
}

TEST_F(SearchReplace, ReplaceAllReplacesTheFirstOccurrenceInEachName)
{
    addPair(QStringLiteral("/c/Pict_001_a_a.JPG"), QStringLiteral("/c/Pict_002_b.JPG"));
    addSingle(left, QStringLiteral("/c/Pict.003_a.JPG")); // "_a" only after the last "."
    search.Open();
    EXPECT_EQ(search.ReplaceAll(replace("_a", "_x"), view, nullptr), 2);
    EXPECT_EQ(left.EntryAt(0)->NewName(), QStringLiteral("Pict_001_x_a"));
    EXPECT_EQ(right.EntryAt(0)->NewName(), QStringLiteral("Pict_002_b"));
    EXPECT_EQ(left.EntryAt(1)->NewName(), QStringLiteral("Pict.003_a"));
    EXPECT_EQ(search.State(), TSearchState::New) << "Replace all leaves the window's state";
    EXPECT_EQ(view.questions, 0) << "and never asks about the end of the list";
}

TEST_F(SearchReplace, ConfirmedReplacementsAskForEachHitAndCancelStops)
{
    threeRows("a_1", "b_1", "c_1", "d_1", "e_1", "f_1");
    ScriptedQuestion question;
    question.answers = {ReplaceAnswer::Yes, ReplaceAnswer::No, ReplaceAnswer::Yes,
                        ReplaceAnswer::Cancel};
    search.Open();
    search.ReplaceAll(replace("_1", "-2-", true), view, &question);

    EXPECT_EQ(question.asked, (std::vector<QString>{"a_1", "b_1", "c_1", "d_1"}));
    std::vector<QString> names;
    for (int i = 0; i < 3; ++i)
        names.insert(names.end(), {left.EntryAt(i)->NewName(), right.EntryAt(i)->NewName()});
    EXPECT_EQ(names, (std::vector<QString>{"a-2-", "b_1", "c-2-", "d_1", "e_1", "f_1"}));
    // The entry asked about is shown selected; a replaced name gives its texts back.
    EXPECT_TRUE(right.IsSelected(1));
    EXPECT_EQ(left.EntryAt(1)->GetText(1), QStringLiteral("2"));
    EXPECT_EQ(view.visibility, (std::vector<bool>{false, true}));
}

TEST_F(SearchReplace, SearchNextSelectsEachHitAloneAndWrapsWhenAsked)
{
    threeRows("a0", "b0x", "a1", "b1", "a2x", "b2");
    search.Open();
    search.SearchNext(find("x"), view);
    EXPECT_EQ(search.State(), TSearchState::Hit);
    EXPECT_TRUE(right.IsSelected(0));
    EXPECT_EQ(left.SelectedCount() + right.SelectedCount(), 1);

    search.SearchNext(find("x"), view);
    EXPECT_TRUE(left.IsSelected(2));
    EXPECT_EQ(lastEntry, left.EntryAt(2));

    // The end: No closes the window.
    search.SearchNext(find("x"), view);
    EXPECT_EQ(search.State(), TSearchState::NothingFound);
    EXPECT_EQ(view.questions, 1);
    EXPECT_EQ(view.closed, 1);

    // Reopened, the search starts at the last hit; at the end Yes continues at the first
    // row, from which the next search starts.
    search.Open();
    view.continueAnswer = true;
    search.SearchNext(find("x"), view);
    EXPECT_TRUE(left.IsSelected(2));
    search.SearchNext(find("x"), view);
    EXPECT_EQ(view.questions, 2);
    EXPECT_EQ(search.State(), TSearchState::New);
    EXPECT_TRUE(left.IsSelected(0));
    search.SearchNext(find("x"), view);
    EXPECT_TRUE(right.IsSelected(0));
}

TEST_F(SearchReplace, SearchAndReplaceReplacesTheHitThenMovesOn)
{
    threeRows("a0x", "b0", "a1", "b1x", "a2", "b2");
    search.Open();
    search.SearchNext(find("x"), view);
    search.SearchAndReplace(replace("x", "y"), view, nullptr);
    EXPECT_EQ(left.EntryAt(0)->NewName(), QStringLiteral("a0y"));
    EXPECT_TRUE(right.IsSelected(1)) << "the next hit is selected";
    EXPECT_EQ(right.EntryAt(1)->NewName(), QStringLiteral("b1x")) << "but not yet replaced";
    EXPECT_EQ(search.State(), TSearchState::Hit);
}

TEST_F(SearchReplace, CrossedPartnersEndTheWalk)
{
    // Rows whose partners cross (before an ordering pass aligns them) must not make the
    // walk go round in circles.
    for (int i = 0; i < 3; ++i) {
        AppendEntry(left, i, QStringLiteral("/c/L%1.JPG").arg(i), dsLeft);
        AppendEntry(right, i, QStringLiteral("/c/R%1.JPG").arg(i), dsRight);
    }
    LinkBothWays(left.EntryAt(0), right.EntryAt(1));
    LinkBothWays(left.EntryAt(1), right.EntryAt(0));
    LinkBothWays(left.EntryAt(2), right.EntryAt(2));
    lastEntry = left.EntryAt(1);
    search.Open();
    EXPECT_TRUE(walk(find("nowhere")).empty());
}

TEST(SearchHistory, NewTextsGoOnTopAndTheEleventhPushesOutTheOldest)
{
    QStringList items;
    for (int i = 1; i <= 10; ++i)
        UpdateSearchHistory(items, QStringLiteral("t%1").arg(i));
    UpdateSearchHistory(items, QStringLiteral("T5")); // already there, ignoring case
    UpdateSearchHistory(items, QStringLiteral("  "));
    EXPECT_EQ(items.size(), 10);
    EXPECT_EQ(items.first(), QStringLiteral("t10"));
    UpdateSearchHistory(items, QStringLiteral("t11"));
    EXPECT_EQ(items.size(), 10);
    EXPECT_EQ(items.first(), QStringLiteral("t11"));
    EXPECT_FALSE(items.contains(QStringLiteral("t1")));
}

} // namespace
