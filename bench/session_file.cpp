// Session files with 20,000 + 20,000 paired entries: the small real JPEG files of two
// cameras (640 x 480 with a camera-like EXIF block, the right camera's clock 37 s ahead;
// smallPhotoSet, cached), loaded and paired by time so that every row has its partner. The
// count per list can be set with DUOMIRA_BENCH_SESSION_COUNT, the rounds with
// DUOMIRA_BENCH_ROUNDS (default 3). Every figure is the median of the rounds, all measured
// in the same run:
//   load_ms            the files loaded fresh: every metadata record read, lists ordered
//                      (the yardstick)
//   save_ms            "Save Session": the lists copied, written, synced and renamed
//                      (target: at most 500)
//   open_ms            opening the saved session with every file unchanged until the lists
//                      are shown (target: at most 1000)
//   open_vs_load       open_ms / load_ms
//   recovery_ui_ms     what one recovery save costs the user interface thread, the median
//                      of several changes (target: at most 5)
//   file_mb            size of the session file
//   pairs              stereo pairs in the lists that were saved (all of them, when paired)
#include "entries/datensatz.h"
#include "pairing/ordering.h"
#include "session/idleprocessor.h"
#include "session/loading.h"
#include "session/session.h"
#include "session/sessionkeeper.h"
#include "session/sortaction.h"
#include "support/photo_generator.h"
#include "support/process.h"
#include "support/run.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

int countPerList()
{
    const int n = qEnvironmentVariableIntValue("DUOMIRA_BENCH_SESSION_COUNT");
    return n > 0 ? n : 20000;
}

int rounds()
{
    const int n = qEnvironmentVariableIntValue("DUOMIRA_BENCH_ROUNDS");
    return n > 0 ? n : 3;
}

// Loads both sets as a drop does and returns the time until the sorted lists show.
double loadFresh(TSession &session, const QStringList &left, const QStringList &right)
{
    QElapsedTimer t;
    t.start();
    TQuietLoadingView view;
    TOrderingPass pass(session.Left(), session.Right());
    TIdleProcessor idle(session.Left(), session.Right(), view);
    idle.SetOrdering(&pass, &session.State());
    idle.SetThumbnailsWanted(false);
    NewEntryDefaults defaults;
    for (const QString &f : left)
        idle.AddFile(f, session.Left(), defaults);
    for (const QString &f : right)
        idle.AddFile(f, session.Right(), defaults);
    while (!idle.IsIdle()) {
        idle.IdleProcess();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    const double ms = t.nsecsElapsed() / 1e6;
    // Paired by time (not timed): the session then holds partner links in every row.
    ArrangeWindowLists(pass, &session.State(), OrderingMode::AssignAll);
    return ms;
}

int pairsIn(ListRowModel &list)
{
    int pairs = 0;
    for (int i = 0; i < list.Count(); ++i)
        if (const TDatensatz *e = list.EntryAt(i); e && e->Attribute() == daStereoPair)
            ++pairs;
    return pairs;
}

// The interface thread's part of recovery saves: changes rows one at a time and waits for
// each write to reach the file.
std::vector<double> recoveryCosts(TSession &session, TSessionKeeper &keeper, const QString &folder,
                                  QString &error)
{
    std::vector<double> costs;
    if (!keeper.EnableRecovery(folder, error))
        return costs;
    keeper.SetTimings(std::chrono::milliseconds(1), std::chrono::milliseconds(0));
    for (int change = 0; change < 5; ++change) {
        const int writes = keeper.RecoveryWrites();
        session.Left().EntryAt(change)->SetNewName(QStringLiteral("changed %1").arg(change));
        keeper.NoteChange();
        QElapsedTimer wait;
        wait.start();
        while (keeper.RecoveryWrites() == writes && !wait.hasExpired(60000))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        costs.push_back(keeper.LastLookCost().count() / 1e6);
    }
    keeper.DropRecovery();
    return costs;
}

void BM_SessionFile(benchmark::State &state)
{
    const int n = countPerList();
    const QStringList left = benchsupport::smallPhotoSet(QStringLiteral("L"), n);
    const QStringList right = benchsupport::smallPhotoSet(QStringLiteral("R"), n);
    if (left.size() != n || right.size() != n) {
        state.SkipWithError("no photo sets");
        return;
    }
    for (auto _ : state) {
        std::map<std::string, std::vector<double>> figures;
        for (int round = 0; round < rounds(); ++round) {
            auto session = std::make_unique<TSession>();
            figures["load_ms"].push_back(loadFresh(*session, left, right));
            figures["pairs"].push_back(pairsIn(session->Left()));

            QTemporaryDir out;
            const QString path = out.filePath(QStringLiteral("bench.duomira"));
            {
                TSessionKeeper keeper(*session);
                QString error;
                QElapsedTimer t;
                t.start();
                if (!keeper.Save(path, error))
                    state.SkipWithError(qPrintable(error));
                figures["save_ms"].push_back(t.nsecsElapsed() / 1e6);
                figures["file_mb"].push_back(QFileInfo(path).size() / 1e6);
                const QString folder = out.filePath(QStringLiteral("state"));
                for (double cost : recoveryCosts(*session, keeper, folder, error))
                    figures["recovery_ui_ms"].push_back(cost);
            }
            session.reset();

            TSession reopened;
            TSessionKeeper second(reopened);
            QElapsedTimer t;
            t.start();
            const TSessionOpenOutcome opened = second.Open(path, {}, nullptr);
            figures["open_ms"].push_back(t.nsecsElapsed() / 1e6);
            if (!opened.Ok || !opened.Report.Changed.isEmpty() || !opened.Report.Missing.isEmpty())
                state.SkipWithError("the session did not open unchanged");
            figures["entries"].push_back(reopened.Left().Count() + reopened.Right().Count());
            figures["reopened_pairs"].push_back(pairsIn(reopened.Left()));
        }
        for (const auto &[name, values] : figures)
            state.counters[name] = benchsupport::median(values);
        state.counters["open_vs_load"] =
            benchsupport::median(figures["open_ms"]) / benchsupport::median(figures["load_ms"]);
    }
}
BENCHMARK(BM_SessionFile)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    return benchsupport::runBenchmarks(argc, argv);
}
