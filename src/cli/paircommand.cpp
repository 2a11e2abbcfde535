// duomira-cli pair: loads left and right pictures as dropping them on the two lists would,
// reads their metadata, sorts the lists by capture time and runs the requested ordering pass. When
// the assignment finds no run it continues like a user at the pair prompt: with
// --offset-pair the user selects those two pictures and presses "Next", without it the user
// closes the prompt. Prints the outcome and both lists, row by row, as JSON. With
// --method alignment the assigning pass pairs by the rhythm alignment: every paired entry
// then carries its pair's confidence and its clock correction, and the output names the
// clock changes found.
#include "cli/commands.h"
#include "cli/pairsetup.h"
#include "entries/datensatz.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "naming/entryrenamemask.h"
#include "pairing/ordering.h"
#include "session/idleprocessor.h"
#include "session/loading.h"
#include "session/mainstate.h"
#include "session/paireditor.h"
#include "session/sessionkeeper.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <optional>

namespace {

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
    if (e->IsStereoView())
        o.insert(QStringLiteral("stereoView"), e->OrgBild()->Part.view);
    if (!e->Siblings().isEmpty())
        o.insert(QStringLiteral("siblings"), QJsonArray::fromStringList(e->SiblingPaths()));
    o.insert(QStringLiteral("attribute"), AttributeText(e->Attribute()));
    o.insert(QStringLiteral("side"), SideText(e->Side()));
    o.insert(QStringLiteral("number"), e->Number());
    o.insert(QStringLiteral("captureTime"), timeObject(e->CaptureTime()));
    if (!gap)
        o.insert(QStringLiteral("rotation"), e->Rotation() * 90);
    if (e->ClockCorrection() != 0)
        o.insert(QStringLiteral("clockCorrectionSeconds"), e->ClockCorrection());
    if (e->PairConfidence() >= 0) {
        o.insert(QStringLiteral("confidence"), std::round(e->PairConfidence() * 1000) / 1000);
        o.insert(QStringLiteral("doubtful"), e->IsDoubtful());
    }
    if (withName)
        o.insert(QStringLiteral("newName"), gap ? QJsonValue() : QJsonValue(e->NewFileName()));
    return o;
}

} // namespace

TCliSyntax pairSyntax()
{
    return PairTable().Syntax();
}

int runPairCommand(const QStringList &arguments)
{
    PairOptions o;
    if (const int status = ParseCliCommand(PairTable(), arguments, o); status >= 0)
        return status;

    int status = 0;
    {
        PairedLists lists;
        QJsonObject result;
        if (const int failed = LoadAndPair(o, lists, result, "pair"))
            return failed;
        const ListRowModel &left = lists.left;
        const ListRowModel &right = lists.right;
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
        if (o.saveSession) {
            // The window opens this file with the lists, pairs and names as printed.
            if (o.mask)
                lists.session.RenameMask() = *o.mask;
            TSessionKeeper keeper(lists.session);
            QString saveError;
            if (!keeper.Save(QFileInfo(*o.saveSession).absoluteFilePath(), saveError)) {
                std::fprintf(stderr, "duomira-cli pair: %s\n", qPrintable(saveError));
                return 1;
            }
        }
        const QByteArray json = QJsonDocument(result).toJson(QJsonDocument::Indented);
        if (std::fwrite(json.constData(), 1, size_t(json.size()), stdout) != size_t(json.size()))
            status = 1;
        // Files left out (gone before they were read, names that cannot be opened) were
        // named on standard error; the rows are printed, but the run did not take them all.
        if (lists.view.failed)
            status = 1;
    }
    return status;
}
