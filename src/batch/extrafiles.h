#pragma once
// The files an entry brings into its part of a batch job besides its own file (a shot's
// sidecars, a stereo file's view files, a pair's outputs). A provider set on the job lists
// them for each step the job takes with the entry's own file; the checks (name clashes,
// existing files, disk space), the run, the journal (and so undo) and the dry-run plan all
// walk that one list, so that a new kind of extra file touches none of them.
#include "batch/fileops.h"
#include "imaging/stereosplit.h"

#include <QList>
#include <QString>

#include <functional>
#include <vector>

class TDatensatz;

// What the job does with an entry's own file in one step.
enum class TEntryStep
{
    Rename, // in the source folder
    Copy,   // into the destination folder (also a shared file's further copy)
    Move,   // into the destination folder
};

enum class TExtraFileKind
{
    Rename,  // source renamed to target
    Copy,    // source copied to target
    Move,    // source moved to target
    Extract, // target made of byte ranges of source (a stereo file's view)
    Create,  // target written from bytes (a view cut from a side-by-side stereo file)
    // source removed once the files in parts and the remainder rebuild it exactly (a moved
    // stereo file whose views were written); no target
    RemoveStereo,
    // target written once every entry's steps are done, from the files the job left (a
    // pair's stereo files need both files in their final state); its bytes are made then
    Produce,
};

// What a Produce file's maker returns.
struct TProducedFile
{
    QByteArray bytes; // empty: nothing to write, error says why
    QString error;
    QString note; // a line for the job log beside the file
};

// Makes a Produce file from the files of its entries as the job left them: their paths
// and the quarter turns still to do on each (the entry's rotation the job did not apply).
// Runs on a worker thread.
using TFileMaker =
    std::function<TProducedFile(const QStringList &paths, const QList<int> &turnsLeft)>;

struct TExtraFile
{
    TExtraFileKind kind = TExtraFileKind::Copy;
    QString source;
    QString target;
    // Extract: the ranges of source, in order, that make the target.
    QList<TByteRange> ranges;
    // Create: the target's bytes.
    QByteArray bytes;
    // RemoveStereo: the view files and the rest of source's bytes.
    QStringList parts;
    TStereoRemainder remainder;
    // A line for the job log when the file is written (a view encoded again, say).
    QString note;
    // Produce: the entries whose files it is made of, its maker, and the size expected.
    std::vector<const TDatensatz *> from;
    TFileMaker make;
    qint64 estimatedSize = 0;

    // Bytes the target will hold (for the space check; a removal frees them): the ranges'
    // sum, the bytes' size, a produced file's estimate, else the source's size.
    qint64 size() const;
};

// The extra files of entry for one step; entryTarget is where that step puts the entry's
// own file (its new name in the source folder, or its destination path).
using TExtraFileProvider = std::function<std::vector<TExtraFile>(
    const TDatensatz &entry, TEntryStep step, const QString &entryTarget)>;

// The extra files of entry for step (none without a provider).
std::vector<TExtraFile> ExtraFilesOf(const TExtraFileProvider &provider, const TDatensatz &entry,
                                     TEntryStep step, const QString &entryTarget);

// One provider listing, for each call, the files of every provider in providers in turn (a
// stereo file's views, a shot's siblings, a pair's outputs come from separate providers).
TExtraFileProvider CombineProviders(std::vector<TExtraFileProvider> providers);
