// duomira-cli check: loads and pairs the pictures as pair does, then checks every stereo pair
// by its pictures (as the window's background check does: each view turned and mirrored as
// its entry says) and prints one line per pair in row order: both files and the pair's
// figures and verdict, or with --json one JSON object per line. A summary line follows (with
// --json an object holding "summary"). The checks run on the thread pool, one per core.
// Exit 0 when the check ran, whatever it found; 1 when files could not be loaded, 2 for a
// usage error.
#include "cli/commands.h"
#include "cli/pairsetup.h"
#include "imaging/libgfl.h"
#include "session/pairchecking.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtConcurrent>

#include <cstdio>
#include <vector>

namespace {

struct CheckOptions
{
    bool json = false;
    PairOptions pair;
};

// --json, then the options of pair.
TCliTable<CheckOptions> makeCheckTable()
{
    TCliTable<CheckOptions> t;
    t.command = QStringLiteral("check");
    t.summary = QStringLiteral(
        "pair as pair does, then check each stereo pair by its pictures: vertical offset, "
        "rotation, scale, depth range, swapped sides, not the same scene; one line per pair "
        "and a summary line");
    t.options = {
        {{.name = QStringLiteral("--json"),
          .help = QStringLiteral("print one JSON object per pair and one holding the summary")},
         [](CheckOptions &o, const QStringList &) {
             o.json = true;
             return true;
         }},
    };
    const TCliTable<PairOptions> &pair = PairTable();
    t.options += CliOptionsOfPart(pair.options, &CheckOptions::pair);
    t.strayOperand = pair.strayOperand;
    t.finish = [pairFinish = pair.finish](const CheckOptions &o) { return pairFinish(o.pair); };
    return t;
}

const TCliTable<CheckOptions> &checkTable()
{
    static const TCliTable<CheckOptions> table = makeCheckTable();
    return table;
}

struct CheckedPair
{
    TPairKey Key;
    TPairCheck Result;
};

// "12 pairs checked: 9 good, 2 check, 1 bad, 0 without verdict".
QString SummaryLine(const std::vector<CheckedPair> &pairs, int counts[4])
{
    return QStringLiteral("%1 pairs checked: %2 good, %3 check, %4 bad, %5 without verdict")
        .arg(pairs.size())
        .arg(counts[int(TPairVerdict::Good)])
        .arg(counts[int(TPairVerdict::Check)])
        .arg(counts[int(TPairVerdict::Bad)])
        .arg(counts[int(TPairVerdict::None)]);
}

} // namespace

TCliSyntax checkSyntax()
{
    return checkTable().Syntax();
}

int runCheckCommand(const QStringList &arguments)
{
    CheckOptions options;
    if (const int status = ParseCliCommand(checkTable(), arguments, options); status >= 0)
        return status;
    const bool json = options.json;

    PairedLists lists;
    QJsonObject ignored;
    if (const int failed = LoadAndPair(options.pair, lists, ignored, "check"))
        return failed;

    std::vector<CheckedPair> pairs;
    for (int r = 0; r < lists.left.Count(); ++r)
        if (const std::optional<TPairKey> key = StereoPairKeyOf(lists.left.EntryAt(r)))
            pairs.push_back({*key, {}});
    LimitPairCheckThreads();
    QtConcurrent::blockingMap(pairs,
                              [](CheckedPair &p) { p.Result = CheckPairFiles(p.Key, &Gfl()); });

    int counts[4] = {};
    QByteArray out;
    for (const CheckedPair &p : pairs) {
        ++counts[int(p.Result.Verdict)];
        if (json) {
            QJsonObject o = PairCheckJson(p.Result);
            o.insert(QStringLiteral("left"), p.Key.LeftPath);
            o.insert(QStringLiteral("right"), p.Key.RightPath);
            out += QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
        } else {
            out += QStringLiteral("%1\t%2\t%3\n")
                       .arg(p.Key.LeftPath, p.Key.RightPath, PairCheckLine(p.Result))
                       .toUtf8();
        }
    }
    const QString summary = SummaryLine(pairs, counts);
    if (json) {
        QJsonObject s;
        s.insert(QStringLiteral("pairs"), int(pairs.size()));
        for (TPairVerdict v :
             {TPairVerdict::Good, TPairVerdict::Check, TPairVerdict::Bad, TPairVerdict::None})
            s.insert(PairVerdictName(v), counts[int(v)]);
        s.insert(QStringLiteral("text"), summary);
        out += QJsonDocument(QJsonObject{{QStringLiteral("summary"), s}})
                   .toJson(QJsonDocument::Compact) +
               '\n';
    } else {
        out += summary.toUtf8() + '\n';
    }
    if (std::fwrite(out.constData(), 1, size_t(out.size()), stdout) != size_t(out.size()) ||
        std::fflush(stdout) != 0)
        return 1;
    // Files left out were named on standard error; the pairs of the others were checked.
    return lists.view.failed ? 1 : 0;
}
