#include "batch/stereooutputjob.h"

#include "batch/fileops.h"
#include "entries/datensatz.h"
#include "entries/listoperations.h"
#include "imaging/dsorgbild.h"

#include <QDir>

#include <mutex>

TStereoOutputSettings TStereoOutputSettings::Defaults()
{
    TStereoOutputSettings s;
    s.Folder = QDir::homePath() + QStringLiteral("/Stereos/Stereo");
    return s;
}

QString StereoPairBaseName(const TDatensatz &left)
{
    const QString name = PathFileName(left.NewName());
    return name.isEmpty() ? PathWithoutExtension(PathFileName(left.SourcePath())) : name;
}

namespace {

// The size the loading read, else the file's size now.
qint64 fileSize(const TDatensatz &e)
{
    const qint64 read = e.Metadata().FileSize;
    return read > 0 ? read : StatPath(e.SourcePath()).size;
}

TEntryLook lookOf(const TDatensatz &e)
{
    return {0, e.Mirror(), e.Invert()};
}

std::vector<TExtraFile> stereoOutputs(const TStereoOutputSettings &s, const TDatensatz &right,
                                      TEntryStep step)
{
    const TDatensatz *left = right.Partner();
    if (s.Outputs.isEmpty() || (step == TEntryStep::Rename) == s.JobCopiesOrMoves ||
        right.Side() != dsRight || right.Attribute() != daStereoPair || !left ||
        IsGapAttribute(left->Attribute()) || !right.Batch() || !left->Batch())
        return {};
    const QString base = StereoPairBaseName(*left);
    const qint64 leftBytes = fileSize(*left), rightBytes = fileSize(right);
    // One maker for all outputs of the pair: the files are read and decoded once.
    const TEntryLook leftLook = lookOf(*left), rightLook = lookOf(right);
    const int quality = s.Quality;
    const bool align = s.Align;
    auto render = std::make_shared<std::shared_ptr<TStereoPairRender>>();
    auto mutex = std::make_shared<std::mutex>();
    // The decoded views go once the pair's last output is made.
    auto remaining = std::make_shared<int>(int(s.Outputs.size()));
    std::vector<TExtraFile> files;
    for (TStereoOutput output : s.Outputs) {
        TExtraFile file;
        file.kind = TExtraFileKind::Produce;
        file.target = WithTrailingSeparator(s.Folder) + StereoOutputFileName(base, output);
        file.from = {left, &right};
        file.estimatedSize = EstimatedStereoFileSize(output, leftBytes, rightBytes, quality);
        file.make = [=](const QStringList &paths, const QList<int> &turns) {
            std::shared_ptr<TStereoPairRender> pair;
            {
                const std::lock_guard lock(*mutex);
                if (!*render)
                    *render = std::make_shared<TStereoPairRender>(
                        TStereoSide{paths.value(0),
                                    {turns.value(0), leftLook.Mirror, leftLook.Invert}},
                        TStereoSide{paths.value(1),
                                    {turns.value(1), rightLook.Mirror, rightLook.Invert}},
                        quality, align);
                pair = *render;
            }
            const TStereoFileResult made = pair->Make(output);
            {
                const std::lock_guard lock(*mutex);
                if (--*remaining == 0)
                    render->reset();
            }
            return TProducedFile{made.Bytes, made.Error, made.Note};
        };
        files.push_back(std::move(file));
    }
    return files;
}

} // namespace

TExtraFileProvider StereoOutputProvider(std::shared_ptr<const TStereoOutputSettings> settings)
{
    return [settings](const TDatensatz &entry, TEntryStep step, const QString &) {
        return settings ? stereoOutputs(*settings, entry, step) : std::vector<TExtraFile>();
    };
}
