// duomira-cli pair: loads left and right pictures as dropping them on the two lists would,
// reads their metadata, orders the lists (mode 0) and runs the requested ordering pass. When
// the assignment finds no run it continues like a user at the pair prompt: with
// --offset-pair the user selects those two pictures and presses "Next", without it the user
// closes the prompt. Prints the outcome and both lists, row by row, as JSON.
#include "cli/commands.h"
#include "cli/fileproblem.h"
#include "entries/datensatz.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "mainwindow/idleprocessor.h"
#include "mainwindow/loading.h"
#include "mainwindow/mainstate.h"
#include "mainwindow/ordering.h"
#include "mainwindow/pairing.h"
#include "naming/entryrenamemask.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <optional>

namespace {

const char kUsage[] = "Usage: duomira-cli pair [--mode 0|1|2] [--offset-pair LEFTFILE RIGHTFILE] "
                      "[--start N] [--mask MASK] --left FILE... --right FILE...\n";

struct PairOptions
{
    int mode = 1;
    std::optional<std::pair<QString, QString>> offsetPair;
    std::optional<int> start;
    std::optional<QString> mask;
    QStringList left, right;
};

int fail(int status, const QString &message)
{
    std::fprintf(stderr, "duomira-cli pair: %s\n", qPrintable(message));
    if (status == 2)
        std::fputs(kUsage, stderr);
    return status;
}

// Parses the arguments; returns an error text or an empty string.
QString parse(const QStringList &arguments, PairOptions &o)
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
        } else if (a == QLatin1String("--offset-pair")) {
            const auto l = value();
            const auto r = l ? value() : std::nullopt;
            if (!r)
                return QStringLiteral("--offset-pair needs a left and a right file");
            o.offsetPair = std::make_pair(*l, *r);
            files = nullptr;
        } else if (a.startsWith(QLatin1String("--"))) {
            return QStringLiteral("unknown option '%1'").arg(a);
        } else if (!files) {
            return QStringLiteral("'%1' is neither an option nor after --left or --right").arg(a);
        } else {
            files->append(a);
        }
    }
    if (o.left.isEmpty() && o.right.isEmpty())
        return QStringLiteral("no files given");
    return {};
}

// The main window's loading, without a window: nothing to show, events go through.
class HeadlessLoadingView : public TLoadingView
{
public:
    void SetStatusText(const QString &) override {}
    void SetProgressMaximum(int) override {}
    void SetProgressPosition(int) override {}
    void SetProgressToMaximum() override {}
    void LetEventsThrough() override { QCoreApplication::processEvents(); }
    void SetSortActionEnabled(bool) override {}
    void SetSortingActionsEnabled(bool) override {}
    void SetSortingRadioButtonsEnabled(bool) override {}
    void SetBatchJobEnabled(bool) override {}
    void SetOpenActionsEnabled(bool) override {}
    void SetListsVisible(bool) override {}
    void MarkPreviewsDirty() override {}
    void IdlePreviews() override {}
    // Every file left out is a line on standard error, and the run fails.
    void ReportLoadingProblem(const QString &message, const QStringList &files) override
    {
        std::fprintf(stderr, "duomira-cli pair: %s\n", qPrintable(message));
        for (const QString &f : files)
            std::fprintf(stderr, "  %s\n", qPrintable(f));
        failed = true;
    }
    void ReportOutOfMemory(const QString &message) override
    {
        std::fprintf(stderr, "duomira-cli pair: %s\n", qPrintable(message));
        outOfMemory = true;
    }

    bool failed = false;
    bool outOfMemory = false;
};

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

// Every row selected, as "Renaming" walks them: the left rows with their partners, then
// the right rows with theirs.
void renameAll(ListRowModel &left, ListRowModel &right, const QString &mask)
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

QJsonObject timeObject(double days)
{
    QJsonObject o;
    o.insert(QStringLiteral("iso"),
             days == 0 ? QJsonValue() : QJsonValue(DaysToDateTime(days).toString(Qt::ISODate)));
    o.insert(QStringLiteral("days"), days);
    return o;
}

QJsonObject entryObject(const TDatensatz *e, bool withName)
{
    QJsonObject o;
    const bool gap = IsGapAttribute(e->Attribute());
    o.insert(QStringLiteral("path"), gap ? QJsonValue() : QJsonValue(e->SourcePath()));
    o.insert(QStringLiteral("attribute"), AttributeText(e->Attribute()));
    o.insert(QStringLiteral("side"), SideText(e->Side()));
    o.insert(QStringLiteral("number"), e->Number());
    o.insert(QStringLiteral("captureTime"), timeObject(e->CaptureTime()));
    if (withName)
        o.insert(QStringLiteral("newName"), gap ? QJsonValue() : QJsonValue(e->NewFileName()));
    return o;
}

} // namespace

int runPairCommand(const QStringList &arguments)
{
    PairOptions o;
    const QString error = parse(arguments, o);
    if (!error.isEmpty())
        return fail(2, error);

    // Files are named by their absolute paths, as a drop names them.
    for (QStringList *files : {&o.left, &o.right}) {
        for (QString &f : *files) {
            if (const QString problem = FileProblem(f); !problem.isEmpty())
                return fail(1, QStringLiteral("%1: %2").arg(f, problem));
            f = QFileInfo(f).absoluteFilePath();
        }
    }
    if (o.offsetPair) {
        o.offsetPair->first = QFileInfo(o.offsetPair->first).absoluteFilePath();
        o.offsetPair->second = QFileInfo(o.offsetPair->second).absoluteFilePath();
    }
    if (o.start)
        NamingSettings().StartNumber = *o.start;

    int status = 0;
    {
        ListRowModel left(dsLeft), right(dsRight);
        ListRowModel::LinkLists(left, right);
        TMainWindowState state;
        TOrderingPass pass(left, right, &state);
        TPairEditing editing(pass, state);
        HeadlessLoadingView view;
        TIdleProcessor loading(left, right, view);
        loading.SetOrdering(&pass, &state);
        // Pairing needs the capture times, never a picture.
        loading.SetThumbnailsWanted(false);

        // Dropped on the left list, then on the right one; the idle processing reads the
        // metadata in registry order and orders the lists (mode 0) after the last entry.
        NewEntryDefaults defaults;
        defaults.RotationLeft = 0;
        defaults.RotationRight = 0;
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

        if (view.outOfMemory)
            return 1; // the message is out; a pairing of part of the files would mislead
        if (view.failed)
            status = 1;
        const ArrangeOutcome outcome = pass.ArrangeLists(static_cast<quint8>(o.mode));

        QJsonObject result;
        result.insert(QStringLiteral("mode"), o.mode);
        bool offsetApplied = false;
        switch (outcome) {
        case ArrangeOutcome::NoRun:
            result.insert(QStringLiteral("outcome"), QStringLiteral("no run found"));
            editing.HandleAssignStep(3, o.mode);
            if (o.offsetPair) {
                left.ClearSelection();
                right.ClearSelection();
                left.SetItemIndex(rowOfPath(left, o.offsetPair->first));
                right.SetItemIndex(rowOfPath(right, o.offsetPair->second));
                editing.HandleAssignStep(4, state.PairDialogMode);
                offsetApplied = true;
            }
            editing.HandleAssignStep(6, o.mode); // the prompt closes
            break;
        case ArrangeOutcome::ListEmpty:
            result.insert(QStringLiteral("outcome"), QStringLiteral("a list is empty"));
            editing.HandleAssignStep(7, o.mode);
            break;
        default:
            result.insert(QStringLiteral("outcome"), QStringLiteral("paired"));
            break;
        }
        if (o.offsetPair)
            result.insert(QStringLiteral("offsetPairUsed"), offsetApplied);

        if (o.mask)
            renameAll(left, right, *o.mask);
        QJsonArray rows;
        for (int r = 0; r < qMax(left.Count(), right.Count()); ++r) {
            QJsonObject row;
            if (const TDatensatz *e = left.EntryAt(r))
                row.insert(QStringLiteral("left"), entryObject(e, o.mask.has_value()));
            if (const TDatensatz *e = right.EntryAt(r))
                row.insert(QStringLiteral("right"), entryObject(e, o.mask.has_value()));
            rows.append(row);
        }
        result.insert(QStringLiteral("rows"), rows);
        const QByteArray json = QJsonDocument(result).toJson(QJsonDocument::Indented);
        if (std::fwrite(json.constData(), 1, size_t(json.size()), stdout) != size_t(json.size()))
            status = 1;
        if (view.outOfMemory) // while ordering or pairing
            status = 1;
    }
    return status;
}
