#include "cli/pairsetup.h"

#include "cli/fileproblem.h"
#include "entries/datensatz.h"
#include "entries/namingsettings.h"
#include "imaging/libgfl.h"
#include "naming/entryrenamemask.h"
#include "session/shotloading.h"
#include "session/sortaction.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>

#include <cstdio>

namespace {

// A value among fixed texts: its index in choices, or -1.
int choiceIndex(const QStringList &values, const QStringList &choices)
{
    return int(choices.indexOf(values.value(0)));
}

TCliOption<PairOptions> rotationOption(const char *name, const char *side,
                                       int PairOptions::*rotation)
{
    const QString option = QLatin1String(name);
    return {{.name = option,
             .values = QStringLiteral("0|90|180|270"),
             .help = QStringLiteral("the rotation the %1 pictures start with, in degrees "
                                    "clockwise (default 0)")
                         .arg(QLatin1String(side)),
             .valueCount = 1,
             .needs = QStringLiteral("%1 needs 0, 90, 180 or 270").arg(option)},
            [rotation](PairOptions &o, const QStringList &v) {
                const int index = choiceIndex(v, {"0", "90", "180", "270"});
                o.*rotation = index;
                return index >= 0;
            }};
}

TCliOption<PairOptions> filesOption(const char *name, const char *camera,
                                    QStringList PairOptions::*files)
{
    return {{.name = QLatin1String(name),
             .values = QStringLiteral("FILE|FOLDER..."),
             .help = QStringLiteral("the %1 camera's pictures; a folder stands for the pictures "
                                    "it holds")
                         .arg(QLatin1String(camera)),
             .list = true,
             .required = true},
            [files](PairOptions &o, const QStringList &v) {
                (o.*files).append(v);
                return true;
            }};
}

TCliTable<PairOptions> makePairTable()
{
    TCliTable<PairOptions> t;
    t.command = QStringLiteral("pair");
    t.summary =
        QStringLiteral("load pictures into the two lists, order and pair them, print the rows "
                       "as JSON");
    t.options = {
        {{.name = QStringLiteral("--mode"),
          .values = QStringLiteral("0|1|2"),
          .help = QStringLiteral("the ordering pass after loading: 0 only sorts by capture "
                                 "time, 1 pairs every picture anew (default), 2 pairs the "
                                 "pictures not yet paired"),
          .valueCount = 1,
          .needs = QStringLiteral("--mode needs 0, 1 or 2")},
         [](PairOptions &o, const QStringList &v) {
             const int index = choiceIndex(v, {"0", "1", "2"});
             o.mode = OrderingMode(index);
             return index >= 0;
         }},
        {{.name = QStringLiteral("--method"),
          .values = QStringLiteral("rhythm|alignment"),
          .help = QStringLiteral("how pictures are paired: rhythm, by the first run of agreeing "
                                 "shot intervals and the capture times (default); alignment, "
                                 "by aligning the shot rhythms, which tolerates bursts, clock "
                                 "drift and clocks changed during a session"),
          .valueCount = 1,
          .needs = QStringLiteral("--method needs rhythm or alignment")},
         [](PairOptions &o, const QStringList &v) {
             const int index = choiceIndex(v, {"rhythm", "alignment"});
             if (index >= 0)
                 o.method = index == 0 ? PairingMethod::RunAndTime : PairingMethod::Alignment;
             return index >= 0;
         }},
        {{.name = QStringLiteral("--offset-pair"),
          .values = QStringLiteral("LEFTFILE RIGHTFILE"),
          .help = QStringLiteral("when no run of agreeing intervals is found, pair from these "
                                 "two pictures as a known pair"),
          .valueCount = 2,
          .needs = QStringLiteral("--offset-pair needs a left and a right file")},
         [](PairOptions &o, const QStringList &v) {
             o.offsetPair = std::make_pair(v[0], v[1]);
             return true;
         }},
        {{.name = QStringLiteral("--start"),
          .values = QStringLiteral("N"),
          .help = QStringLiteral("the first number of the rename mask's counter"),
          .valueCount = 1,
          .needs = QStringLiteral("--start needs a whole number")},
         [](PairOptions &o, const QStringList &v) {
             bool ok = false;
             const int n = v[0].toInt(&ok);
             if (ok)
                 o.start = n;
             return ok;
         }},
        {{.name = QStringLiteral("--mask"),
          .values = QStringLiteral("MASK"),
          .help = QStringLiteral("compute each picture's new name with this rename mask (adds "
                                 "newName to every entry)"),
          .valueCount = 1,
          .needs = QStringLiteral("--mask needs a mask")},
         [](PairOptions &o, const QStringList &v) {
             o.mask = v[0];
             return true;
         }},
        {{.name = QStringLiteral("--save-session"),
          .values = QStringLiteral("FILE"),
          .help = QStringLiteral("also save the lists, pairs and new names as printed into this "
                                 "session file, which the window opens"),
          .valueCount = 1,
          .needs = QStringLiteral("--save-session needs a file")},
         [](PairOptions &o, const QStringList &v) {
             o.saveSession = v[0];
             return true;
         }},
        {{.name = QStringLiteral("--no-siblings"),
          .help = QStringLiteral("load each picture file as an entry of its own (by default the "
                                 "RAW and JPEG of one shot are one entry, with their sidecars)")},
         [](PairOptions &o, const QStringList &) {
             o.keepShotsTogether = false;
             return true;
         }},
        rotationOption("--rotation-left", "left", &PairOptions::rotationLeft),
        rotationOption("--rotation-right", "right", &PairOptions::rotationRight),
        filesOption("--left", "left", &PairOptions::left),
        filesOption("--right", "right", &PairOptions::right),
    };
    t.strayOperand = QStringLiteral("'%1' is neither an option nor after --left or --right");
    t.finish = [](const PairOptions &o) {
        return o.left.isEmpty() && o.right.isEmpty() ? QStringLiteral("no files given") : QString();
    };
    return t;
}

} // namespace

const TCliTable<PairOptions> &PairTable()
{
    static const TCliTable<PairOptions> table = makePairTable();
    return table;
}

void HeadlessLoadingView::ReportLoadingProblem(const QString &message, const QStringList &files)
{
    std::fprintf(stderr, "duomira-cli: %s\n", qPrintable(message));
    for (const QString &f : files)
        std::fprintf(stderr, "  %s\n", qPrintable(f));
    // A damaged stereo file is still loaded, as a single picture.
    if (message != DamagedStereoFilesMessage())
        failed = true;
}

void HeadlessLoadingView::ReportOutOfMemory(const QString &message)
{
    std::fprintf(stderr, "duomira-cli: %s\n", qPrintable(message));
    outOfMemory = true;
}

PairedLists::PairedLists()
{
    loading.SetOrdering(&pass, &state);
    // Pairing and the batch job need the capture times, never a picture.
    loading.SetThumbnailsWanted(false);
}

namespace {

int rowOfPath(const ListRowModel &list, const QString &path)
{
    for (int r = 0; r < list.Count(); ++r) {
        const TDatensatz *e = list.EntryAt(r);
        // A sibling names its shot's entry.
        if (e && !IsGapAttribute(e->Attribute()) &&
            (e->SourcePath() == path || e->SiblingPaths().contains(path)))
            return r;
    }
    return -1;
}

// "Renaming" for one picture: its texts go through the mask's text fields, the result is
// its new base name; a stereo pair partner gets the same texts and name.
void renameEntry(TDatensatz *e, const QString &mask, const ListRowModel &left,
                 const ListRowModel &right)
{
    if (!e || IsGapAttribute(e->Attribute()))
        return;
    TRenameTextFields fields;
    for (int i = 0; i < 3; ++i)
        fields[static_cast<size_t>(i)].Current = e->GetText(i + 1);
    const QString name = EvaluateRenameMask(mask, e, &left, &right, fields);
    for (int i = 0; i < 3; ++i)
        e->SetText(i + 1, fields[static_cast<size_t>(i)].Current);
    e->RenameTo(name);
    TDatensatz *p = e->Partner();
    if (e->Attribute() == daStereoPair && p) {
        for (int i = 0; i < 3; ++i)
            p->SetText(i + 1, fields[static_cast<size_t>(i)].Current);
        p->RenameTo(name);
    }
}

} // namespace

// Every row selected, as "Renaming" walks them: the left rows with their partners, then
// the right rows with theirs.
void RenameAll(ListRowModel &left, ListRowModel &right, const QString &mask)
{
    for (ListRowModel *list : {&left, &right}) {
        for (int r = 0; r < list->Count(); ++r) {
            TDatensatz *e = list->EntryAt(r);
            renameEntry(e, mask, left, right);
            if (e)
                renameEntry(e->Partner(), mask, left, right);
        }
    }
}

namespace {

// Why LoadAndPair stopped: the exit status, and the message (none when it is out already).
struct Stop
{
    int status;
    QString message;
};

// Files are named by their absolute paths, as a drop names them; a folder stands for the
// pictures it holds.
std::optional<Stop> resolveFiles(PairOptions &o, PairedLists &lists)
{
    const QStringList extensions = ReadableImageExtensions(GflAvailable(), GflFileFilter());
    QStringList unaddressable;
    for (QStringList *files : {&o.left, &o.right}) {
        for (QString &f : *files) {
            const QFileInfo info(f);
            if (!info.isDir()) {
                if (const QString problem = FileProblem(f); !problem.isEmpty())
                    return Stop{1, QStringLiteral("%1: %2").arg(f, problem)};
            } else if (!info.isReadable()) {
                return Stop{1, QStringLiteral("%1: cannot be read").arg(f)};
            }
            f = info.absoluteFilePath();
        }
        *files = ExpandDroppedPaths(*files, extensions, &unaddressable);
    }
    if (!unaddressable.isEmpty())
        lists.view.ReportLoadingProblem(UnaddressableFilesMessage(), unaddressable);
    if (o.offsetPair) {
        o.offsetPair->first = QFileInfo(o.offsetPair->first).absoluteFilePath();
        o.offsetPair->second = QFileInfo(o.offsetPair->second).absoluteFilePath();
    }
    return std::nullopt;
}

// Dropped on the left list, then on the right one; the idle processing reads the metadata
// in registry order and sorts the lists after the last entry.
std::optional<Stop> loadFiles(const PairOptions &o, PairedLists &lists)
{
    NewEntryDefaults defaults;
    defaults.RotationLeft = o.rotationLeft;
    defaults.RotationRight = o.rotationRight;
    defaults.KeepShotsTogether = o.keepShotsTogether;
    for (const TShot &shot : GroupShots(o.left, o.keepShotsTogether))
        AddShot(lists.loading, shot, lists.left, defaults);
    for (const TShot &shot : GroupShots(o.right, o.keepShotsTogether))
        AddShot(lists.loading, shot, lists.right, defaults);
    if (o.offsetPair) {
        if (rowOfPath(lists.left, o.offsetPair->first) < 0)
            return Stop{2, QStringLiteral("--offset-pair: %1 is not in the left list")
                               .arg(o.offsetPair->first)};
        if (rowOfPath(lists.right, o.offsetPair->second) < 0)
            return Stop{2, QStringLiteral("--offset-pair: %1 is not in the right list")
                               .arg(o.offsetPair->second)};
    }
    QElapsedTimer waited;
    waited.start();
    while (!lists.loading.IsIdle()) {
        lists.loading.IdleProcess();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (waited.hasExpired(10 * 60 * 1000))
            return Stop{1, QStringLiteral("reading the files did not finish")};
    }
    // The message is out; a pairing of part of the files would mislead.
    if (lists.view.outOfMemory)
        return Stop{1, {}};
    return std::nullopt;
}

// The ordering pass of o's mode. When it finds no run, the pair prompt's steps follow
// without a prompt: the offset pair is the user's choice.
void pairLoaded(const PairOptions &o, PairedLists &lists, QJsonObject &result)
{
    TPairEditing &editing = lists.editing;
    const ArrangeOutcome outcome = ArrangeWindowLists(lists.pass, &lists.state, o.mode);
    result.insert(QStringLiteral("mode"), int(o.mode));
    bool offsetApplied = false;
    switch (outcome) {
    case ArrangeOutcome::NoRun:
        result.insert(QStringLiteral("outcome"), QStringLiteral("no run found"));
        editing.OpenPairPrompt(o.mode);
        if (o.offsetPair) {
            lists.left.ClearSelection();
            lists.right.ClearSelection();
            lists.left.SetItemIndex(rowOfPath(lists.left, o.offsetPair->first));
            lists.right.SetItemIndex(rowOfPath(lists.right, o.offsetPair->second));
            editing.AssignFromSelectedPair(lists.state.PairDialogMode);
            offsetApplied = true;
        }
        editing.ClosePairPrompt();
        break;
    case ArrangeOutcome::ListEmpty:
        result.insert(QStringLiteral("outcome"), QStringLiteral("a list is empty"));
        editing.RestoreAfterEmptyList();
        break;
    default:
        result.insert(QStringLiteral("outcome"), QStringLiteral("paired"));
        break;
    }
    if (o.offsetPair)
        result.insert(QStringLiteral("offsetPairUsed"), offsetApplied);
    if (o.method == PairingMethod::Alignment) {
        const TPairingReport &report = lists.pass.LastReport();
        result.insert(QStringLiteral("method"), QStringLiteral("alignment"));
        result.insert(QStringLiteral("doubtfulPairs"), report.doubtful);
        result.insert(QStringLiteral("pairsDecidedByPictures"), report.decidedByContent);
        result.insert(QStringLiteral("clockFindings"),
                      QJsonArray::fromStringList(report.clockFindings));
    }
}

} // namespace

int LoadAndPair(PairOptions &o, PairedLists &lists, QJsonObject &result, const char *command)
{
    std::optional<Stop> stop = resolveFiles(o, lists);
    if (!stop) {
        if (o.start)
            lists.session.Naming().StartNumber = *o.start;
        lists.pass.SetPairingMethod(o.method);
        stop = loadFiles(o, lists);
    }
    if (stop) {
        if (!stop->message.isEmpty())
            std::fprintf(stderr, "duomira-cli %s: %s\n", command, qPrintable(stop->message));
        return stop->status;
    }
    pairLoaded(o, lists, result);
    if (o.mask)
        RenameAll(lists.left, lists.right, *o.mask);
    return 0;
}
