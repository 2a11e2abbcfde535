#include "session/sessionrows.h"

#include "entries/datensatz.h"
#include "entries/listrows.h"
#include "imaging/dsorgbild.h"
#include "session/session.h"

namespace {

// The path an image entry's row names (the holder's path at the entry's index), without
// making a copy of it.
const QString &pathOf(const TDatensatz &e)
{
    static const QString none;
    const TDsOrgBild *holder = e.OrgBild();
    const qint32 index = e.PathIndex();
    if (!holder || index < 0 || index >= holder->Paths.size())
        return none;
    return holder->Paths.at(index);
}

// The same text without comparing characters: the row holds a shared copy of the entry's
// text, so the two share their characters until the entry's text is replaced (a text is
// never changed in place while it is shared). A text replaced by an equal one counts as
// changed, which only costs a copy.
bool same(const QString &a, const QString &b)
{
    return a.constData() == b.constData() && a.size() == b.size();
}

bool sameRecord(const TJPEGData &a, const TJPEGData &b)
{
    for (std::size_t i = 0; i < a.Str.size(); ++i) {
        if (!same(a.Str[i], b.Str[i]))
            return false;
    }
    return a.CaptureTime == b.CaptureTime && a.CaptureSubSecond == b.CaptureSubSecond &&
           a.FileTime == b.FileTime && a.FileSize == b.FileSize &&
           a.OrientationCode == b.OrientationCode && a.HasExif == b.HasExif;
}

// Whether r is still the row of e: every value SessionRowOf takes, compared.
bool sameRow(const TDatensatz &e, const TSessionRow &r)
{
    if (e.Attribute() != r.Attribute || e.Side() != r.Side || e.Number() != r.Number ||
        !same(e.NewName(), r.NewName) || e.Rotation() != r.Rotation || e.Mirror() != r.Mirror ||
        e.Invert() != r.Invert || e.Batch() != r.Batch || e.SavedSelected() != r.Selected ||
        e.ClockCorrection() != r.ClockCorrection || e.PairConfidence() != r.PairConfidence ||
        e.SortTime() != r.SortTime || e.FileCheck() != r.Check)
        return false;
    for (int i = 0; i < 3; ++i) {
        if (!same(e.TextField(i + 1), r.Texts[std::size_t(i)]))
            return false;
    }
    if (IsGapAttribute(e.Attribute()))
        return r.Path.isEmpty() && r.HasMeta == (e.GapData().CaptureTime != 0) &&
               sameRecord(e.GapData(), r.Meta);
    const TDsOrgBild *holder = e.OrgBild();
    const bool loaded = holder && holder->Loaded;
    const int view = holder ? holder->Part.view : 0;
    return same(pathOf(e), r.Path) && e.Siblings() == r.Siblings && view == r.View &&
           loaded == r.HasMeta && (!loaded || sameRecord(holder->JpegData, r.Meta));
}

} // namespace

TSessionRow SessionRowOf(const TDatensatz &e)
{
    TSessionRow r;
    r.Attribute = e.Attribute();
    r.Side = e.Side();
    r.Number = e.Number();
    r.NewName = e.NewName();
    r.Rotation = e.Rotation();
    r.Mirror = e.Mirror();
    r.Invert = e.Invert();
    r.Batch = e.Batch();
    r.Selected = e.SavedSelected();
    r.ClockCorrection = e.ClockCorrection();
    r.PairConfidence = e.PairConfidence();
    r.SortTime = e.SortTime();
    for (int i = 0; i < 3; ++i)
        r.Texts[std::size_t(i)] = e.TextField(i + 1);
    r.Check = e.FileCheck();
    if (IsGapAttribute(e.Attribute())) {
        r.HasMeta = e.GapData().CaptureTime != 0;
        r.Meta = e.GapData();
    } else {
        r.Path = pathOf(e);
        r.Siblings = e.Siblings();
        const TDsOrgBild *holder = e.OrgBild();
        r.View = quint8(holder ? holder->Part.view : 0);
        r.HasMeta = holder && holder->Loaded;
        if (r.HasMeta)
            r.Meta = holder->JpegData;
    }
    return r;
}

bool PartnerOf(const TDatensatz &e, int &list, int &row)
{
    const TDatensatz *p = e.Partner();
    const ListRowModel *model = p ? p->List() : nullptr;
    if (!model)
        return false;
    list = model->Side() == dsLeft ? 0 : 1;
    row = p->RowIndex();
    return true;
}

TSessionSnapshot TSessionRows::Expand() const
{
    TSessionSnapshot s;
    s.Naming = Naming;
    s.Mask = Mask;
    for (std::size_t l = 0; l < 2; ++l) {
        std::vector<TSessionRow> &rows = s.Lists[l];
        rows.reserve(Rows[l].size());
        for (std::size_t i = 0; i < Rows[l].size(); ++i) {
            TSessionRow &r = rows.emplace_back(*Rows[l][i]);
            r.PartnerList = Partners[l][i].first;
            r.PartnerRow = Partners[l][i].second;
        }
    }
    return s;
}

quint64 TSessionRows::Fingerprint() const
{
    return SessionFingerprint(Naming, Mask, {Rows[0].size(), Rows[1].size()},
                              [this](std::size_t list, std::size_t i, int &partnerList,
                                     int &partnerRow) -> const TSessionRow & {
                                  partnerList = Partners[list][i].first;
                                  partnerRow = Partners[list][i].second;
                                  return *Rows[list][i];
                              });
}

const std::shared_ptr<const TSessionRow> *TSessionRowCache::kept(const TDatensatz &e, int list,
                                                                 int index)
{
    const auto l = std::size_t(list);
    if (std::size_t(index) < m_entries[l].size() && m_entries[l][std::size_t(index)] == &e)
        return &m_kept[l][std::size_t(index)];
    // The rows have moved (a sort, a removal): find the entry's row by the entry.
    if (!m_byEntryMade) {
        m_byEntry.clear();
        for (std::size_t k = 0; k < 2; ++k)
            for (std::size_t i = 0; i < m_entries[k].size(); ++i)
                m_byEntry.insert(m_entries[k][i], &m_kept[k][i]);
        m_byEntryMade = true;
    }
    return m_byEntry.value(&e);
}

TSessionRows TSessionRowCache::Take(TSession &session)
{
    TSessionRows out;
    out.Naming = session.Naming();
    out.Mask = session.RenameMask();
    std::array<std::vector<const TDatensatz *>, 2> entries;
    m_byEntryMade = false;
    ListRowModel *lists[] = {&session.Left(), &session.Right()};
    for (std::size_t l = 0; l < 2; ++l) {
        const int count = lists[l]->Count();
        out.Rows[l].reserve(std::size_t(count));
        out.Partners[l].reserve(std::size_t(count));
        entries[l].reserve(std::size_t(count));
        for (int i = 0; i < count; ++i) {
            // A row without entry exists only for a moment inside list operations.
            const TDatensatz *e = lists[l]->EntryAt(i);
            if (!e)
                continue;
            const std::shared_ptr<const TSessionRow> *row =
                kept(*e, int(l), int(entries[l].size()));
            if (row && *row && sameRow(*e, **row))
                out.Rows[l].push_back(*row);
            else
                out.Rows[l].push_back(std::make_shared<const TSessionRow>(SessionRowOf(*e)));
            std::pair<qint32, qint32> &partner = out.Partners[l].emplace_back(-1, -1);
            PartnerOf(*e, partner.first, partner.second);
            entries[l].push_back(e);
        }
    }
    m_entries = std::move(entries);
    m_kept = out.Rows;
    m_byEntry.clear();
    return out;
}
