#include "entries/datensatzlist.h"

#include "entries/datensatz.h"

#include <algorithm>

// Entries still registered at exit are left alone: the shut-down order frees them
// explicitly (FreeAll) while the holder registry and the message receiver still exist.
TDatensatzList::~TDatensatzList() = default;

void TDatensatzList::Add(TDatensatz *entry)
{
    if (!entry || !m_live.insert(entry).second)
        return;
    entry->m_RegistrySlot = static_cast<int>(m_slots.size());
    m_slots.push_back(entry);
    ++m_registrations;
}

void TDatensatzList::Remove(TDatensatz *entry)
{
    if (!entry || m_live.erase(entry) == 0)
        return;
    const int slot = entry->m_RegistrySlot;
    if (slot >= 0 && slot < static_cast<int>(m_slots.size()) &&
        m_slots[static_cast<size_t>(slot)] == entry) {
        m_slots[static_cast<size_t>(slot)] = nullptr;
        ++m_holes;
    }
    entry->m_RegistrySlot = -1;
    if (m_live.empty()) {
        m_slots.clear();
        m_holes = 0;
    }
}

void TDatensatzList::compact() const
{
    if (m_holes == 0)
        return;
    size_t out = 0;
    for (TDatensatz *entry : m_slots) {
        if (!entry)
            continue;
        entry->m_RegistrySlot = static_cast<int>(out);
        m_slots[out++] = entry;
    }
    m_slots.resize(out);
    m_holes = 0;
}

TDatensatz *TDatensatzList::At(int i) const
{
    if (i < 0 || i >= Count())
        return nullptr;
    compact();
    return m_slots[static_cast<size_t>(i)];
}

int TDatensatzList::IndexOf(const TDatensatz *entry) const
{
    if (!Contains(entry))
        return -1;
    compact();
    return entry->m_RegistrySlot;
}

std::vector<TDatensatz *> TDatensatzList::Entries() const
{
    compact();
    return m_slots;
}

void TDatensatzList::Sort(const std::function<int(const TDatensatz *, const TDatensatz *)> &compare)
{
    compact();
    // The chronological comparison treats times within 1 ms as equal, which is not
    // transitive; a merge sort stays within bounds and keeps equal entries in creation
    // order where std::sort's unguarded partitioning may not.
    std::stable_sort(
        m_slots.begin(), m_slots.end(),
        [&compare](const TDatensatz *a, const TDatensatz *b) { return compare(a, b) < 0; });
    for (size_t i = 0; i < m_slots.size(); ++i)
        m_slots[i]->m_RegistrySlot = static_cast<int>(i);
}

void TDatensatzList::FreeAll()
{
    // Entries leave the registry while they go; free from a copy.
    while (!m_live.empty()) {
        const std::vector<TDatensatz *> entries = Entries();
        for (TDatensatz *entry : entries) {
            if (Contains(entry))
                delete entry;
        }
    }
    m_slots.clear();
    m_holes = 0;
}
