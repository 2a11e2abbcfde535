#include "session/sessionopen.h"

#include "batch/fileops.h"
#include "entries/datensatz.h"
#include "entries/listoperations.h"
#include "imaging/dsorgbild.h"
#include "session/session.h"

#include <QHash>

namespace {

TSessionRow rowOf(const TDatensatz &e)
{
    TSessionRow r;
    const bool gap = IsGapAttribute(e.Attribute());
    r.Attribute = e.Attribute();
    r.Side = e.Side();
    r.Number = e.Number();
    if (const TDatensatz *p = e.Partner()) {
        if (const ListRowModel *list = p->List()) {
            r.PartnerList = list->Side() == dsLeft ? 0 : 1;
            r.PartnerRow = p->RowIndex();
        }
    }
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
        r.Texts[std::size_t(i)] = e.GetText(i + 1);
    r.Check = e.FileCheck();
    if (gap) {
        r.HasMeta = e.GapData().CaptureTime != 0;
        r.Meta = e.GapData();
    } else {
        r.Path = e.SourcePath();
        r.Siblings = e.Siblings();
        const TDsOrgBild *holder = e.OrgBild();
        r.HasMeta = holder && holder->Loaded;
        if (r.HasMeta)
            r.Meta = holder->JpegData;
    }
    return r;
}

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
            if (const TDatensatz *e = lists[l]->EntryAt(i))
                rows.push_back(rowOf(*e));
        }
    }
    return s;
}

TSessionOpenReport ApplySessionSnapshot(TSession &session, const TSessionSnapshot &snapshot,
                                        const TGflLibrary *gfl)
{
    TSessionOpenReport report;
    session.Naming() = snapshot.Naming;
    session.RenameMask() = snapshot.Mask;
    ListRowModel *lists[] = {&session.Left(), &session.Right()};
    std::array<std::vector<TDatensatz *>, 2> made;
    // A file named by several rows (a single picture shown in both lists) is checked once.
    QHash<const TDsOrgBild *, TFileCheck> checked;
    for (int l = 0; l < 2; ++l) {
        ListRowModel &list = *lists[l];
        ListUpdateGuard guard(&list);
        const auto &rows = snapshot.Lists[std::size_t(l)];
        made[std::size_t(l)].reserve(rows.size());
        for (const TSessionRow &r : rows) {
            TDatensatz *e = nullptr;
            TFileCheck check = TFileCheck::Unchanged;
            if (IsGapAttribute(r.Attribute)) {
                e = CreateGap(list);
                e->SetAttribute(TDsAttribute(r.Attribute));
                if (r.HasMeta)
                    e->SetGapTime(r.Meta.CaptureTime);
            } else {
                e = AppendEntry(list, r.Number, r.Path, TDsSide(r.Side),
                                {.Invert = r.Invert,
                                 .Rotation = r.Rotation,
                                 .Mirror = r.Mirror,
                                 .Batch = r.Batch});
                TDsOrgBild *holder = e->OrgBild();
                const auto known = checked.constFind(holder);
                if (known != checked.constEnd()) {
                    check = *known;
                } else if (r.HasMeta && !holder->Loaded) {
                    check = checkFile(r);
                    ImageDataResult data;
                    if (check == TFileCheck::Changed) {
                        bool missing = false;
                        data.jpegData = readImageMetadata(r.Path, TJPEGData(), gfl, &missing);
                        data.fileMissing = missing;
                        if (missing)
                            check = TFileCheck::Missing;
                    } else {
                        data.jpegData = r.Meta;
                        data.fileMissing = check == TFileCheck::Missing;
                    }
                    holder->applyImageData(data);
                    checked.insert(holder, check);
                    if (check == TFileCheck::Missing)
                        report.Missing << r.Path;
                    else if (check == TFileCheck::Changed)
                        report.Changed << r.Path;
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
            }
            e->SetNumber(r.Number);
            e->SetSide(TDsSide(r.Side));
            e->SetNewName(r.NewName);
            e->SetSortTime(r.SortTime);
            e->SetClockCorrection(r.ClockCorrection);
            e->SetSavedSelected(r.Selected);
            e->SetSiblings(r.Siblings);
            for (int i = 0; i < 3; ++i)
                e->SetText(i + 1, r.Texts[std::size_t(i)]);
            if (check != TFileCheck::Unchanged)
                e->SetBatch(false);
            e->SetFileCheck(check);
            made[std::size_t(l)].push_back(e);
        }
    }
    // Links after every row exists; the reader made sure that each one links back.
    for (int l = 0; l < 2; ++l) {
        const auto &rows = snapshot.Lists[std::size_t(l)];
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const TSessionRow &r = rows[i];
            TDatensatz *e = made[std::size_t(l)][i];
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
