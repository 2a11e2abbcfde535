#include "batch/siblingjob.h"

#include "entries/datensatz.h"
#include "entries/siblings.h"

namespace {

std::vector<TExtraFile> siblingFiles(const TDatensatz &e, TEntryStep step,
                                     const QString &entryTarget)
{
    std::vector<TExtraFile> files;
    if (e.Siblings().isEmpty() || e.IsStereoView())
        return files;
    const TExtraFileKind kind = step == TEntryStep::Rename ? TExtraFileKind::Rename
                                : step == TEntryStep::Move ? TExtraFileKind::Move
                                                           : TExtraFileKind::Copy;
    const QString source = e.SourcePath();
    files.reserve(e.Siblings().size());
    for (const QString &tail : e.Siblings()) {
        TExtraFile sibling;
        sibling.kind = kind;
        sibling.source = SiblingPath(source, tail);
        sibling.target = SiblingTarget(source, entryTarget, tail);
        files.push_back(std::move(sibling));
    }
    return files;
}

} // namespace

TExtraFileProvider SiblingFileProvider()
{
    return siblingFiles;
}
