#include "cli/pairsetup.h"

#include "cli/fileproblem.h"
#include "entries/datensatz.h"
#include "entries/namingsettings.h"
#include "imaging/libgfl.h"
#include "naming/entryrenamemask.h"
#include "session/sortaction.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>

#include <cstdio>

const char kPairOptionsUsage[] =
    "[--mode 0|1|2] [--method rhythm|alignment] [--offset-pair LEFTFILE RIGHTFILE] "
    "[--start N] [--mask MASK] [--save-session FILE] "
    "[--rotation-left 0|90|180|270] [--rotation-right 0|90|180|270] --left FILE|FOLDER... "
    "--right FILE|FOLDER...";

// Parses the arguments; returns an error text or an empty string.
QString ParsePairArguments(const QStringList &arguments, PairOptions &o, bool filesOptional)
{
    QStringList *files = nullptr;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        if (a == QLatin1String("--left")) {
            files = &o.left;
        } else if (a == QLatin1String("--right")) {
            files = &o.right;
        } else if (a == QLatin1String("--mode")) {
            const auto v = value();
            if (!v ||
                (*v != QLatin1String("0") && *v != QLatin1String("1") && *v != QLatin1String("2")))
                return QStringLiteral("--mode needs 0, 1 or 2");
            o.mode = v->toInt();
            files = nullptr;
        } else if (a == QLatin1String("--method")) {
            const auto v = value();
            if (v == QLatin1String("rhythm"))
                o.method = PairingMethod::Rhythm;
            else if (v == QLatin1String("alignment"))
                o.method = PairingMethod::Alignment;
            else
                return QStringLiteral("--method needs rhythm or alignment");
            files = nullptr;
        } else if (a == QLatin1String("--start")) {
            const auto v = value();
            bool ok = false;
            const int n = v ? v->toInt(&ok) : 0;
            if (!ok)
                return QStringLiteral("--start needs a whole number");
            o.start = n;
            files = nullptr;
        } else if (a == QLatin1String("--mask")) {
            const auto v = value();
            if (!v)
                return QStringLiteral("--mask needs a mask");
            o.mask = *v;
            files = nullptr;
        } else if (a == QLatin1String("--save-session")) {
            const auto v = value();
            if (!v)
                return QStringLiteral("--save-session needs a file");
            o.saveSession = *v;
            files = nullptr;
        } else if (a == QLatin1String("--offset-pair")) {
            const auto l = value();
            const auto r = l ? value() : std::nullopt;
            if (!r)
                return QStringLiteral("--offset-pair needs a left and a right file");
            o.offsetPair = std::make_pair(*l, *r);
            files = nullptr;
        } else if (a == QLatin1String("--rotation-left") ||
                   a == QLatin1String("--rotation-right")) {
            const auto v = value();
            static const QStringList degrees = {"0", "90", "180", "270"};
            const int index = v ? int(degrees.indexOf(*v)) : -1;
            if (index < 0)
                return QStringLiteral("%1 needs 0, 90, 180 or 270").arg(a);
            (a == QLatin1String("--rotation-left") ? o.rotationLeft : o.rotationRight) = index;
            files = nullptr;
        } else if (a.startsWith(QLatin1String("--"))) {
            return QStringLiteral("unknown option '%1'").arg(a);
        } else if (!files) {
            return QStringLiteral("'%1' is neither an option nor after --left or --right").arg(a);
        } else {
            files->append(a);
        }
    }
    if (o.left.isEmpty() && o.right.isEmpty() && !filesOptional)
        return QStringLiteral("no files given");
    return {};
}

void HeadlessLoadingView::ReportLoadingProblem(const QString &message, const QStringList &files)
{
    std::fprintf(stderr, "duomira-cli: %s\n", qPrintable(message));
    for (const QString &f : files)
        std::fprintf(stderr, "  %s\n", qPrintable(f));
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
        if (e && !IsGapAttribute(e->Attribute()) && e->SourcePath() == path)
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

int LoadAndPair(PairOptions &o, PairedLists &lists, QJsonObject &result, const char *command)
{
    auto fail = [command](int status, const QString &message) {
        std::fprintf(stderr, "duomira-cli %s: %s\n", command, qPrintable(message));
        return status;
    };
    // Files are named by their absolute paths, as a drop names them; a folder stands for
    // the pictures it holds.
    const QStringList extensions = ReadableImageExtensions(GflAvailable(), GflFileFilter());
    QStringList unaddressable;
    for (QStringList *files : {&o.left, &o.right}) {
        for (QString &f : *files) {
            const QFileInfo info(f);
            if (!info.isDir()) {
                if (const QString problem = FileProblem(f); !problem.isEmpty())
                    return fail(1, QStringLiteral("%1: %2").arg(f, problem));
            } else if (!info.isReadable()) {
                return fail(1, QStringLiteral("%1: cannot be read").arg(f));
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
    if (o.start)
        lists.session.Naming().StartNumber = *o.start;

    {
        ListRowModel &left = lists.left;
        ListRowModel &right = lists.right;
        TMainWindowState &state = lists.state;
        TOrderingPass &pass = lists.pass;
        TPairEditing &editing = lists.editing;
        TIdleProcessor &loading = lists.loading;
        pass.SetPairingMethod(o.method);

        // Dropped on the left list, then on the right one; the idle processing reads the
        // metadata in registry order and orders the lists (mode 0) after the last entry.
        NewEntryDefaults defaults;
        defaults.RotationLeft = o.rotationLeft;
        defaults.RotationRight = o.rotationRight;
        for (const QString &f : o.left)
            loading.AddFile(f, left, defaults);
        for (const QString &f : o.right)
            loading.AddFile(f, right, defaults);
        if (o.offsetPair) {
            if (rowOfPath(left, o.offsetPair->first) < 0)
                return fail(2, QStringLiteral("--offset-pair: %1 is not in the left list")
                                   .arg(o.offsetPair->first));
            if (rowOfPath(right, o.offsetPair->second) < 0)
                return fail(2, QStringLiteral("--offset-pair: %1 is not in the right list")
                                   .arg(o.offsetPair->second));
        }
        QElapsedTimer waited;
        waited.start();
        while (!loading.IsIdle()) {
            loading.IdleProcess();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            if (waited.hasExpired(10 * 60 * 1000))
                return fail(1, QStringLiteral("reading the files did not finish"));
        }
        // The message is out; a pairing of part of the files would mislead.
        if (lists.view.outOfMemory)
            return 1;

        const ArrangeOutcome outcome =
            ArrangeWindowLists(pass, &state, static_cast<quint8>(o.mode));

        result.insert(QStringLiteral("mode"), o.mode);
        bool offsetApplied = false;
        switch (outcome) {
        case ArrangeOutcome::NoRun:
            result.insert(QStringLiteral("outcome"), QStringLiteral("no run found"));
            // The pair prompt's steps without a prompt: the offset pair is the user's choice.
            editing.OpenPairPrompt(o.mode);
            if (o.offsetPair) {
                left.ClearSelection();
                right.ClearSelection();
                left.SetItemIndex(rowOfPath(left, o.offsetPair->first));
                right.SetItemIndex(rowOfPath(right, o.offsetPair->second));
                editing.AssignFromSelectedPair(state.PairDialogMode);
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
            const TPairingReport &report = pass.LastReport();
            result.insert(QStringLiteral("method"), QStringLiteral("alignment"));
            result.insert(QStringLiteral("doubtfulPairs"), report.doubtful);
            result.insert(QStringLiteral("clockFindings"),
                          QJsonArray::fromStringList(report.clockFindings));
        }
        if (o.mask)
            RenameAll(left, right, *o.mask);
    }
    return 0;
}
