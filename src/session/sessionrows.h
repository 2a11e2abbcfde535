#pragma once
// The rows of a session's lists as plain data (TSessionRow), taken from the entries.
//
// TSessionRowCache keeps the rows it took, each shared and never changed afterwards: the
// next time it looks, a row whose entry still shows the same values is taken over as it is
// and only the rows that changed are copied again. A look at tens of thousands of rows
// thus costs the user interface thread a walk over the entries, not a copy of them; the
// result (TSessionRows) goes to another thread, where it becomes a full snapshot.
#include "session/sessionfile.h"

#include <QHash>

#include <memory>

class TDatensatz;
class TSession;

// The row of one entry. Its partner is not filled in (PartnerList -1): a partner's row
// changes whenever rows move, so it is taken apart from the row (PartnerOf).
TSessionRow SessionRowOf(const TDatensatz &entry);
// The partner of entry as the file names it: list (0 left, 1 right) and row; false when it
// has none, or one without a list.
bool PartnerOf(const TDatensatz &entry, int &list, int &row);

// Both lists as shared rows with their partner links, and the settings.
struct TSessionRows
{
    TNamingSettings Naming;
    QString Mask;
    std::array<std::vector<std::shared_ptr<const TSessionRow>>, 2> Rows;
    // Per row: the partner's list and row (-1 none).
    std::array<std::vector<std::pair<qint32, qint32>>, 2> Partners;

    // The snapshot they make (copies every row: meant for a worker thread).
    TSessionSnapshot Expand() const;
    // SessionFingerprint of that snapshot, without making it.
    quint64 Fingerprint() const;
    bool Empty() const { return Rows[0].empty() && Rows[1].empty(); }
};

class TSessionRowCache
{
public:
    // The rows of session now; unchanged rows are those of the last call.
    TSessionRows Take(TSession &session);

private:
    const std::shared_ptr<const TSessionRow> *kept(const TDatensatz &e, int list, int index);

    // The entries and rows of the last call, by list and position, and (made when rows
    // have moved) the rows by entry.
    std::array<std::vector<const TDatensatz *>, 2> m_entries;
    std::array<std::vector<std::shared_ptr<const TSessionRow>>, 2> m_kept;
    QHash<const TDatensatz *, const std::shared_ptr<const TSessionRow> *> m_byEntry;
    bool m_byEntryMade = false;
};
