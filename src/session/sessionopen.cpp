#include "session/sessionopen.h"

#include "batch/fileops.h"
#include "entries/datensatz.h"
#include "entries/listoperations.h"
#include "imaging/dsorgbild.h"
#include "imaging/stereoviewpart.h"
#include "session/session.h"
#include "session/sessionrows.h"

#include <QHash>
#include <QSet>

namespace {

// What the disk says of a row's file against its saved identity.
TFileCheck checkFile(const TSessionRow &row)
{
    const TFileStamp stamp = StatPath(row.Path);
    if (!stamp.exists || !stamp.isRegular)
        return TFileCheck::Missing;
    if (row.FileMtimeNs == -1 || stamp.size != row.FileSize || stamp.mtimeNs != row.FileMtimeNs)
        return TFileCheck::Changed;
    return TFileCheck::Unchanged;
}

// Where view (1 or 2) of the stereo file at path lies; false when the file is not (or no
// longer) a stereo file. The place comes from the file itself, never from the session file.
bool findView(const QString &path, int view, TPicturePart &part)
{
    const TStereoFile stereo = ReadStereoFile(path);
    if (!stereo.isStereo()) {
        part = TPicturePart();
        part.view = view;
        return false;
    }
    part = StereoViewPart(stereo, view);
    return true;
}

// What opening finds of one row's file, worked out on a worker thread: whether the file is
// as saved, its record (the saved one, or read again when the file changed) and, for a
// view of a stereo file, where the view lies in it.
struct FileProbe
{
    bool checked = false; // the row had a record to check against its file
    TFileCheck check = TFileCheck::Unchanged;
    ImageDataResult data;
    TPicturePart part;
};

FileProbe probeFile(const TSessionRow &row, const TGflLibrary *gfl)
{
    FileProbe p;
    bool viewFound = true;
    if (row.View != 0)
        viewFound = findView(row.Path, row.View, p.part);
    if (!row.HasMeta)
        return p;
    p.checked = true;
    p.check = checkFile(row);
    // A view that cannot be found again is another file now, whatever its identity says.
    if (p.check == TFileCheck::Unchanged && !viewFound)
        p.check = TFileCheck::Changed;
    if (p.check == TFileCheck::Changed) {
        bool missing = false;
        p.data.jpegData = readImageMetadata(row.Path, TJPEGData(), gfl, &missing, nullptr, p.part);
        p.data.fileMissing = missing;
        if (missing)
            p.check = TFileCheck::Missing;
    } else {
        p.data.jpegData = row.Meta;
        p.data.fileMissing = p.check == TFileCheck::Missing;
    }
    return p;
}

// The probes of every row of both lists, spread over the pool's threads (stat calls and,
// for changed files, header reads: the disk's work, not the interface's).
std::array<std::vector<FileProbe>, 2> probeFiles(const TSessionSnapshot &snapshot,
                                                 const TGflLibrary *gfl)
{
    std::array<std::vector<FileProbe>, 2> probes;
    for (std::size_t l = 0; l < 2; ++l)
        probes[l].resize(snapshot.Lists[l].size());
    ForEachFileRowInParallel(snapshot, [&](std::size_t list, std::size_t row) {
        probes[list][row] = probeFile(snapshot.Lists[list][row], gfl);
    });
    return probes;
}

// Rebuilds one list's rows: entries made in bulk (one reset, no signal per row), each with
// what the user set and, for images, the record its probe found.
class ListBuilder
{
public:
    // What both lists' builders share: the report, and the files already checked.
    struct Checked
    {
        TSessionOpenReport Report;
        // Holders named by more than one row, and holders of files not as saved.
        QHash<const TDsOrgBild *, TFileCheck> Holders;
        // Stereo files checked through one of their views (each view has its own holder).
        QSet<QString> ViewFiles;
    };

    ListBuilder(ListRowModel &list, Checked &checked) : m_list(list), m_checked(checked) {}

    std::vector<TDatensatz *> build(const std::vector<TSessionRow> &rows,
                                    const std::vector<FileProbe> &probes)
    {
        std::vector<TDatensatz *> made(rows.size());
        m_list.AppendRows(int(rows.size()), [&](ListRow &item, int i) {
            const TSessionRow &r = rows[std::size_t(i)];
            made[std::size_t(i)] =
                IsGapAttribute(r.Attribute) ? gap(item, r) : image(item, r, probes[std::size_t(i)]);
            settle(*made[std::size_t(i)], r);
        });
        return made;
    }

private:
    TDatensatz *gap(ListRow &item, const TSessionRow &r)
    {
        auto *e = new TDatensatz(m_list.Store(), &item, r.Number, QString(), TDsSide(r.Side),
                                 {.Rotation = -1, .Batch = false});
        e->SetAttribute(TDsAttribute(r.Attribute));
        if (r.HasMeta)
            e->SetGapTime(r.Meta.CaptureTime);
        return e;
    }

    TDatensatz *image(ListRow &item, const TSessionRow &r, const FileProbe &probe)
    {
        auto *e = new TDatensatz(m_list.Store(), &item, r.Number, r.Path, TDsSide(r.Side),
                                 {.Invert = r.Invert,
                                  .Rotation = r.Rotation,
                                  .Mirror = r.Mirror,
                                  .Batch = r.Batch,
                                  .Part = probe.part});
        TDsOrgBild *holder = e->OrgBild();
        TFileCheck check = TFileCheck::Unchanged;
        // A file named by several rows (a single picture shown in both lists) is taken
        // and reported once.
        if (holder->RefCount > 1 && m_checked.Holders.contains(holder)) {
            check = m_checked.Holders.value(holder);
        } else if (probe.checked && !holder->Loaded) {
            check = probe.check;
            holder->applyImageData(probe.data);
            if (holder->RefCount > 1 || check != TFileCheck::Unchanged)
                m_checked.Holders.insert(holder, check);
            // Both views of a stereo file have holders of their own: the file is named once.
            const bool named = r.View != 0 && m_checked.ViewFiles.contains(r.Path);
            if (r.View != 0)
                m_checked.ViewFiles.insert(r.Path);
            if (check == TFileCheck::Missing && !named)
                m_checked.Report.Missing << r.Path;
            else if (check == TFileCheck::Changed && !named)
                m_checked.Report.Changed << r.Path;
        }
        // A saved "changed" that the user had not confirmed stays unconfirmed.
        if (check == TFileCheck::Unchanged && r.Check == TFileCheck::Changed)
            check = TFileCheck::Changed;
        if (holder->Loaded) {
            // Takes the record over as loading does, then puts back what the user set.
            e->LoadMetadata();
            e->SetRotation(r.Rotation);
        }
        e->SetAttribute(TDsAttribute(r.Attribute));
        e->SetSiblings(r.Siblings);
        if (check != TFileCheck::Unchanged)
            e->SetBatch(false);
        e->SetFileCheck(check);
        return e;
    }

    // What the user set, on an entry of either kind.
    static void settle(TDatensatz &e, const TSessionRow &r)
    {
        if (e.NewName() != r.NewName)
            e.SetNewName(r.NewName);
        e.SetSortTime(r.SortTime);
        e.SetClockCorrection(r.ClockCorrection);
        e.SetSavedSelected(r.Selected);
        for (int i = 0; i < 3; ++i)
            e.SetText(i + 1, r.Texts[std::size_t(i)]);
    }

    ListRowModel &m_list;
    Checked &m_checked;
};

} // namespace

TSessionSnapshot TakeSessionSnapshot(TSession &session)
{
    TSessionSnapshot s;
    s.Naming = session.Naming();
    s.Mask = session.RenameMask();
    ListRowModel *lists[] = {&session.Left(), &session.Right()};
    for (int l = 0; l < 2; ++l) {
        auto &rows = s.Lists[std::size_t(l)];
        rows.reserve(std::size_t(lists[l]->Count()));
        for (int i = 0; i < lists[l]->Count(); ++i) {
            // A row without entry exists only for a moment inside list operations.
            if (const TDatensatz *e = lists[l]->EntryAt(i)) {
                TSessionRow &r = rows.emplace_back(SessionRowOf(*e));
                PartnerOf(*e, r.PartnerList, r.PartnerRow);
            }
        }
    }
    return s;
}

TSessionOpenReport ApplySessionSnapshot(TSession &session, const TSessionSnapshot &snapshot,
                                        const TGflLibrary *gfl)
{
    session.Naming() = snapshot.Naming;
    session.RenameMask() = snapshot.Mask;
    const std::array<std::vector<FileProbe>, 2> probes = probeFiles(snapshot, gfl);
    ListRowModel *lists[] = {&session.Left(), &session.Right()};
    std::array<std::vector<TDatensatz *>, 2> made;
    ListBuilder::Checked checked;
    for (std::size_t l = 0; l < 2; ++l) {
        ListBuilder builder(*lists[l], checked);
        made[l] = builder.build(snapshot.Lists[l], probes[l]);
    }
    TSessionOpenReport &report = checked.Report;
    // Links after every row exists; the reader made sure that each one links back.
    for (std::size_t l = 0; l < 2; ++l) {
        ListUpdateGuard guard(lists[l]);
        const auto &rows = snapshot.Lists[l];
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const TSessionRow &r = rows[i];
            TDatensatz *e = made[l][i];
            if (r.PartnerList >= 0 &&
                std::size_t(r.PartnerRow) < made[std::size_t(r.PartnerList)].size())
                e->SetPartner(made[std::size_t(r.PartnerList)][std::size_t(r.PartnerRow)]);
            // A new link forgets its confidence: the saved one comes after.
            e->SetPairConfidence(r.PairConfidence);
        }
        report.Rows += int(rows.size());
    }
    return report;
}

QString MissingFilesMessage(const QStringList &missing, int maxNamed)
{
    if (missing.isEmpty())
        return {};
    QString text = missing.size() == 1
                       ? QStringLiteral("1 file of the session could not be found. Its entry is "
                                        "kept and excluded from the batch job:\n")
                       : QStringLiteral("%1 files of the session could not be found. Their entries "
                                        "are kept and excluded from the batch job:\n")
                             .arg(missing.size());
    for (int i = 0; i < missing.size() && i < maxNamed; ++i)
        text += QStringLiteral("\n") + missing.at(i);
    if (missing.size() > maxNamed)
        text += QStringLiteral("\n... and %1 more").arg(missing.size() - maxNamed);
    return text;
}
