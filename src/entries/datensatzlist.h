#pragma once
// The entry registry: every image entry (TDatensatz) of both lists in creation order.
//
// An entry registers itself when it is created and leaves when it is freed; the registry
// does not own the entries (their list rows do) except at shut-down, when FreeAll frees
// whatever is still registered. It answers "is this entry still alive?" for references
// kept across events (the last selected entry, posted messages), gives the entries by
// position to the idle processing, and is sorted chronologically before a batch job.
//
// Costs: registering and leaving are O(1) (a leaving entry leaves a hole that the next
// positional access closes in one O(n) pass), so freeing thousands of entries in one go
// stays linear; Contains is O(1).
#include <QtGlobal>

#include <functional>
#include <unordered_set>
#include <utility>
#include <vector>

class TDatensatz;

class TDatensatzList
{
public:
    TDatensatzList() = default;
    TDatensatzList(const TDatensatzList &) = delete;
    TDatensatzList &operator=(const TDatensatzList &) = delete;
    ~TDatensatzList();

    // Number of registered entries.
    int Count() const { return static_cast<int>(m_live.size()); }
    // Entry at position i, null when i < 0 or i >= Count().
    TDatensatz *At(int i) const;
    // Position of entry, -1 when it is not registered.
    int IndexOf(const TDatensatz *entry) const;
    // True while entry is alive (registered). Works on pointers to freed entries.
    bool Contains(const TDatensatz *entry) const { return m_live.count(entry) != 0; }
    // Entries registered since the program started (those gone since included): a change
    // of it tells that an entry has come that may not have been looked at yet.
    quint64 Registrations() const { return m_registrations; }
    // A copy of the registered entries in order.
    std::vector<TDatensatz *> Entries() const;

    // Reorders the entries ascending by compare (negative: a before b); not stable.
    void Sort(const std::function<int(const TDatensatz *, const TDatensatz *)> &compare);

    // Frees every registered entry (their rows lose their data pointers). Used when both
    // lists are cleared and at shut-down.
    void FreeAll();

    // Called after an entry was created (with its new name set) and after one was freed:
    // the window sets it to refresh all rows at its next idle time. Unset: nobody is told.
    void SetEntriesChangedHandler(std::function<void()> handler)
    {
        m_entriesChanged = std::move(handler);
    }

private:
    friend class TDatensatz;
    void Add(TDatensatz *entry);
    void Remove(TDatensatz *entry);
    void entriesChanged() const
    {
        if (m_entriesChanged)
            m_entriesChanged();
    }
    void compact() const;

    mutable std::vector<TDatensatz *> m_slots; // null: hole left by a freed entry
    mutable int m_holes = 0;
    quint64 m_registrations = 0;
    std::unordered_set<const TDatensatz *> m_live;
    std::function<void()> m_entriesChanged;
};
