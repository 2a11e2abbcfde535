#include "batch/extrafiles.h"

qint64 TExtraFile::size() const
{
    if (kind == TExtraFileKind::Create)
        return bytes.size();
    if (kind == TExtraFileKind::Produce)
        return estimatedSize;
    if (kind != TExtraFileKind::Extract)
        return StatPath(source).size;
    qint64 sum = 0;
    for (const TByteRange &range : ranges)
        sum += range.length;
    return sum;
}

std::vector<TExtraFile> ExtraFilesOf(const TExtraFileProvider &provider, const TDatensatz &entry,
                                     TEntryStep step, const QString &entryTarget)
{
    return provider ? provider(entry, step, entryTarget) : std::vector<TExtraFile>();
}

TExtraFileProvider CombineProviders(std::vector<TExtraFileProvider> providers)
{
    return [providers = std::move(providers)](const TDatensatz &entry, TEntryStep step,
                                              const QString &entryTarget) {
        std::vector<TExtraFile> all;
        for (const TExtraFileProvider &provider : providers) {
            std::vector<TExtraFile> files = ExtraFilesOf(provider, entry, step, entryTarget);
            all.insert(all.end(), std::make_move_iterator(files.begin()),
                       std::make_move_iterator(files.end()));
        }
        return all;
    };
}
