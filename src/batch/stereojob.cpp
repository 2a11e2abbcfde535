#include "batch/stereojob.h"

#include "entries/datensatz.h"
#include "entries/entrystore.h"
#include "imaging/bytesource.h"
#include "imaging/dsorgbild.h"
#include "imaging/stereofile.h"
#include "imaging/stereosplit.h"

#include <QSet>

namespace {

// Renamed in its folder, a stereo file stays one file under its pair's new name (the left
// view's) with the stereo suffix and its own extension. View 1 lists it, and only while the
// other view is in the job too: a pair half left out keeps the file's name.
std::vector<TExtraFile> stereoRename(const TDatensatz &e)
{
    const QString path = e.SourcePath();
    const TDatensatz *other = e.Partner();
    if (e.OrgBild()->Part.view != 1 || !other || !other->IsStereoView() || !other->Batch() ||
        IsGapAttribute(other->Attribute()) || other->SourcePath() != path)
        return {};
    const TDatensatz &leftView = e.Side() == dsRight ? *other : e;
    TExtraFile renamed;
    renamed.kind = TExtraFileKind::Rename;
    renamed.source = path;
    renamed.target =
        PathFolder(path) + leftView.NewName() + e.Store().Naming.SuffixStereo + PathExtension(path);
    return {renamed};
}

std::vector<TExtraFile> stereoFiles(const TDatensatz &e, TEntryStep step, const QString &target)
{
    if (!e.IsStereoView())
        return {};
    if (step == TEntryStep::Rename)
        return stereoRename(e);
    const QString path = e.SourcePath();
    const int view = e.OrgBild()->Part.view - 1;
    TFileSource source;
    if (view < 0 || view > 1 || source.open(path) != TFileSource::OpenResult::Opened)
        return {};
    const TStereoFile file = ReadStereoFile(source, IsJpsFileName(path));
    if (!file.isStereo())
        return {};

    std::vector<TExtraFile> files;
    TExtraFile written;
    written.source = path;
    written.target = target;
    if (file.format == TStereoFormat::Mpo) {
        written.kind = TExtraFileKind::Extract;
        written.ranges = MpoViewRanges(file.views[std::size_t(view)]);
    } else {
        const auto split = SplitStereoFile(source, file);
        if (!split)
            return {};
        const TSplitView &half = (*split)[std::size_t(view)];
        written.kind = TExtraFileKind::Create;
        written.bytes = half.jpeg;
        if (half.reencoded)
            written.note =
                QStringLiteral(
                    "its half of the side-by-side picture does not fall on the JPEG block "
                    "grid and was encoded again at quality %1")
                    .arg(JpsReencodeQuality);
    }
    files.push_back(written);

    // A move takes the stereo file away only when both views go with it and it can be
    // rebuilt from them: an MPO whose other view is in the job too. A JPS's halves are new
    // pictures, so a JPS stays where it is.
    const TDatensatz *other = e.Partner();
    if (step == TEntryStep::Move && view == 0 && file.format == TStereoFormat::Mpo && other &&
        other->IsStereoView() && other->Batch() && other->SourcePath() == path) {
        if (const auto remainder = MpoRemainder(source, file)) {
            const bool renamed = PathFileName(target) == e.DestinationFileName(true);
            TExtraFile removal;
            removal.kind = TExtraFileKind::RemoveStereo;
            removal.source = path;
            removal.parts = {target, WithTrailingSeparator(other->TargetFolder()) +
                                         other->DestinationFileName(renamed)};
            removal.remainder = *remainder;
            files.push_back(removal);
        }
    }
    return files;
}

} // namespace

TExtraFileProvider StereoFileProvider()
{
    return stereoFiles;
}

int CountStereoFiles(const std::vector<TDatensatz *> &entries)
{
    QSet<QString> files;
    for (const TDatensatz *e : entries) {
        if (e->IsStereoView() && e->Batch() && !IsGapAttribute(e->Attribute()))
            files.insert(e->SourcePath());
    }
    return int(files.size());
}
