#include "naming/searchreplace.h"

#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/entrystore.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"

QString SearchEndOfListText()
{
    return QStringLiteral("Search reached end of list\rContinue at the beginning?");
}

void UpdateSearchHistory(QStringList &items, const QString &text)
{
    if (text.trimmed().isEmpty() || items.contains(text, Qt::CaseInsensitive))
        return;
    items.prepend(text);
    while (items.size() > SearchHistoryLength)
        items.removeLast();
}

TSearchReplace::TSearchReplace(ListRowModel &left, ListRowModel &right, TDatensatz *&lastEntry)
    : m_left(left), m_right(right), m_lastEntry(lastEntry)
{
}

void TSearchReplace::Open()
{
    for (ListRowModel *list : {&m_left, &m_right}) {
        for (int i = 0; i < list->Count(); ++i) {
            if (TDatensatz *e = list->EntryAt(i))
                e->SetSavedSelected(list->IsSelected(i));
        }
    }
    ClearPosition();
    m_state = TSearchState::New;
}

void TSearchReplace::ClearPosition()
{
    m_searchEntry = nullptr;
    m_searchOnPartner = false;
}

TDatensatz *TSearchReplace::startEntry() const
{
    const TDatensatzList &all = m_left.Store().Registry;
    if (m_lastEntry && all.Contains(m_lastEntry))
        return m_lastEntry;
    if (TDatensatz *e = m_left.SelectedEntry())
        return e;
    if (TDatensatz *e = m_right.SelectedEntry())
        return e;
    return all.At(0);
}

TDatensatz *TSearchReplace::rowAfter(const TDatensatz *entry, bool forward) const
{
    const ListRowModel *list = entry ? entry->List() : nullptr;
    if (!list)
        return nullptr;
    const int row = entry->RowIndex() + (forward ? 1 : -1);
    return list->EntryAt(row); // null past either end
}

bool TSearchReplace::isHit(const TDatensatz *candidate, const TSearchOptions &options) const
{
    if (!candidate || options.SearchText.isEmpty())
        return false;
    const Qt::CaseSensitivity cs = options.CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (!candidate->NewName().contains(options.SearchText, cs))
        return false;
    return !options.SelectedOnly || candidate->SavedSelected();
}

TDatensatz *TSearchReplace::FindNext(const TSearchOptions &options)
{
    // Rows may have gone while the window was open (an ordering pass deletes obsolete
    // gaps); a position on a freed entry starts the walk anew.
    if (m_searchEntry && !m_left.Store().Registry.Contains(m_searchEntry))
        ClearPosition();

    if (!m_searchEntry) {
        m_searchEntry = startEntry();
        m_searchOnPartner = false;
    } else if (!m_searchOnPartner) {
        // The last hit was the partner of its row: go on with the next row of the list the
        // partner is in.
        const TDatensatz *partner = m_searchEntry->Partner();
        m_searchEntry = rowAfter(partner ? partner : m_searchEntry, options.Forward);
    }

    // Every row is visited once per pass, each entry at most twice; more steps mean that
    // the partner links cross (rows not yet aligned) and the walk would go round forever.
    qsizetype steps = 2 * (qsizetype(m_left.Count()) + m_right.Count()) + 2;
    while (m_searchEntry) {
        if (--steps < 0) {
            ClearPosition();
            return nullptr;
        }
        TDatensatz *candidate = m_searchOnPartner ? m_searchEntry->Partner() : m_searchEntry;
        const bool wasOnPartner = m_searchOnPartner;
        const bool hit = isHit(candidate, options);
        if (candidate)
            m_searchEntry = candidate;
        m_searchOnPartner = !m_searchOnPartner;
        if (hit)
            return candidate;
        if (wasOnPartner)
            m_searchEntry = rowAfter(m_searchEntry, options.Forward);
    }
    return nullptr;
}

void TSearchReplace::selectAlone(TDatensatz *entry, TSearchView &view)
{
    m_left.ClearSelection();
    m_right.ClearSelection();
    if (SelectEntry(m_left.Store().Registry, entry, false) == SelectEntryResult::Gone)
        view.Beep();
    else if (entry)
        m_lastEntry = entry;
}

void TSearchReplace::searchStep(const TSearchOptions &options, TSearchView &view)
{
    if (TDatensatz *hit = FindNext(options)) {
        selectAlone(hit, view);
        m_state = TSearchState::Hit;
        return;
    }
    m_state = TSearchState::NothingFound;
    if (!view.AskContinueAtBeginning()) {
        view.CloseSearchWindow();
        return;
    }
    // Continue at the first row (backward: the last row) of the left list, or of the
    // right list when the left one has no rows.
    const ListRowModel &list = m_left.Count() > 0 ? m_left : m_right;
    TDatensatz *first = list.EntryAt(options.Forward ? 0 : list.Count() - 1);
    m_searchEntry = first;
    m_searchOnPartner = false;
    if (first)
        selectAlone(first, view);
    m_state = TSearchState::New;
}

void TSearchReplace::SearchNext(const TSearchOptions &options, TSearchView &view)
{
    if (m_state == TSearchState::New)
        ClearPosition();
    searchStep(options, view);
}

bool TSearchReplace::replaceIn(TDatensatz *entry, const TSearchOptions &options,
                               TReplaceQuestion *question)
{
    if (options.Confirm) {
        // The user sees the row the question is about.
        m_left.ClearSelection();
        m_right.ClearSelection();
        SelectEntry(m_left.Store().Registry, entry, false);
    }
    ReplaceFlags flags;
    if (!options.CaseSensitive)
        flags |= ReplaceFlag::IgnoreCase;
    return entry->ReplaceInNewName(options.SearchText, options.ReplaceText, options.Confirm, flags,
                                   question) == ReplaceResult::GoOn;
}

void TSearchReplace::SearchAndReplace(const TSearchOptions &options, TSearchView &view,
                                      TReplaceQuestion *question)
{
    if (options.Confirm)
        view.SetSearchWindowVisible(false);
    if (m_searchEntry && m_left.Store().Registry.Contains(m_searchEntry))
        replaceIn(m_searchEntry, options, question);
    m_lastEntry = m_searchEntry;
    searchStep(options, view);
    if (options.Confirm)
        view.SetSearchWindowVisible(true);
}

int TSearchReplace::ReplaceAll(const TSearchOptions &options, TSearchView &view,
                               TReplaceQuestion *question)
{
    if (options.Confirm)
        view.SetSearchWindowVisible(false);
    ClearPosition();
    int hits = 0;
    while (TDatensatz *hit = FindNext(options)) {
        ++hits;
        if (!replaceIn(hit, options, question))
            break;
    }
    if (options.Confirm)
        view.SetSearchWindowVisible(true);
    return hits;
}
