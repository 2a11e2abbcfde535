#pragma once
// Search and replace over the new names of the entries of both lists, without any widget:
// the walk from row to row that tests both entries of each row, the three buttons of the
// search window ("Search" / "Search next", "Search and Replace", "Replace all"), the
// window's state and its history lists.
//
// The walk visits every row once per pass. In each row it tests both entries one after
// the other; the side tested first alternates from row to row. A hit is selected alone
// (without its partner) and becomes the entry the next search starts from.
#include <QMetaType>
#include <QString>
#include <QStringList>

class ListRowModel;
class TDatensatz;
class TReplaceQuestion;

// What the search window hands over with every button.
struct TSearchOptions
{
    QString SearchText;
    QString ReplaceText;
    bool SelectedOnly = true;   // range "Selected entries only" (else "All Entries")
    bool Forward = true;        // "Forward direction" (else "Backward direction")
    bool CaseSensitive = false; // "Case sensitive"
    bool Confirm = false;       // "Confirmation required"
};

// State of the search window.
enum class TSearchState
{
    New = 0,          // "Search"; "Search and Replace" disabled
    Hit = 1,          // "Search next"; all three buttons enabled
    NothingFound = 2, // "Search next"; all three buttons disabled
};

// What the search needs from the windows around it.
class TSearchView
{
public:
    virtual ~TSearchView() = default;
    // "Search reached end of list\rContinue at the beginning?" with Yes and No; true for Yes.
    virtual bool AskContinueAtBeginning() = 0;
    // Closes the search window (the answer No to the question above).
    virtual void CloseSearchWindow() = 0;
    // Hides the search window while replacements are confirmed, and shows it again.
    virtual void SetSearchWindowVisible(bool visible) = 0;
    // A selected entry had been freed meanwhile.
    virtual void Beep() = 0;
};

// The question asked at the end of the list.
QString SearchEndOfListText();

// Puts text at the top of a history list unless it is blank or the list already holds
// it (letters compared without regard to case); the list keeps at most 10 items.
void UpdateSearchHistory(QStringList &items, const QString &text);
inline constexpr int SearchHistoryLength = 10;

class TSearchReplace
{
public:
    // lastEntry: the main window's entry selected last (read as the start of a new walk,
    // written when the search selects an entry, as a selection by the user would).
    TSearchReplace(ListRowModel &left, ListRowModel &right, TDatensatz *&lastEntry);

    // The window opens: every row's selection state is saved in its entry (the range
    // "Selected entries only" reads it), the position is cleared, the state is New.
    void Open();

    TSearchState State() const { return m_state; }
    // Any change of the search text starts a new search.
    void SearchTextChanged() { m_state = TSearchState::New; }

    // "Search" / "Search next".
    void SearchNext(const TSearchOptions &options, TSearchView &view);
    // "Search and Replace": replaces in the current hit, then searches the next one.
    void SearchAndReplace(const TSearchOptions &options, TSearchView &view,
                          TReplaceQuestion *question);
    // "Replace all": walks from the start entry to the end of the list and replaces in
    // every hit, until nothing more is found or the question is cancelled. Returns the
    // number of hits visited.
    int ReplaceAll(const TSearchOptions &options, TSearchView &view, TReplaceQuestion *question);

    // ---- The walk, for the buttons and for tests ----
    // The next hit from the current position (and the position moved past it), or null
    // when the walk reached the end of the list.
    TDatensatz *FindNext(const TSearchOptions &options);
    void ClearPosition();

private:
    TDatensatz *startEntry() const;
    TDatensatz *rowAfter(const TDatensatz *entry, bool forward) const;
    bool isHit(const TDatensatz *candidate, const TSearchOptions &options) const;
    bool replaceIn(TDatensatz *entry, const TSearchOptions &options, TReplaceQuestion *question);
    void selectAlone(TDatensatz *entry, TSearchView &view);
    void searchStep(const TSearchOptions &options, TSearchView &view);

    ListRowModel &m_left;
    ListRowModel &m_right;
    TDatensatz *&m_lastEntry;
    TDatensatz *m_searchEntry = nullptr;
    bool m_searchOnPartner = false;
    TSearchState m_state = TSearchState::New;
};

Q_DECLARE_METATYPE(TSearchOptions)
