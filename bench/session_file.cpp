// Session files with 20,000 + 20,000 entries (small JPEG files with EXIF capture times; the
// count per list can be set with DUOMIRA_BENCH_SESSION_COUNT). One round each:
//   load_ms            the files loaded fresh: every metadata record read, lists ordered
//                      (the yardstick, measured in the same run)
//   save_ms            "Save Session": the lists copied, written, synced and renamed
//                      (target: at most 500)
//   open_ms            opening the saved session with every file unchanged, lists shown
//                      (target: at most 1000)
//   open_vs_load       open_ms / load_ms
//   recovery_ui_ms     what a recovery save costs the user interface thread (the copy of
//                      the lists; digest and write run on a worker) (target: at most 5)
//   file_mb            size of the session file
#include "cli/clijpeg.h"
#include "pairing/ordering.h"
#include "session/idleprocessor.h"
#include "session/loading.h"
#include "session/session.h"
#include "session/sessionkeeper.h"
#include "support/run.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

int countPerList()
{
    const int n = qEnvironmentVariableIntValue("DUOMIRA_BENCH_SESSION_COUNT");
    return n > 0 ? n : 20000;
}

// The files, made once per run.
const QTemporaryDir &files()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        const int n = countPerList();
        for (const char *side : {"L", "R"}) {
            QDir(dir.path()).mkpath(QLatin1String(side));
            for (int i = 0; i < n; ++i) {
                const int s = i * 7 + (i % 5);
                const QByteArray when = QStringLiteral("2024:05:%1 %2:%3:%4")
                                            .arg(1 + s / 86400, 2, 10, QChar(u'0'))
                                            .arg(s / 3600 % 24, 2, 10, QChar(u'0'))
                                            .arg(s / 60 % 60, 2, 10, QChar(u'0'))
                                            .arg(s % 60, 2, 10, QChar(u'0'))
                                            .toLatin1();
                QFile f(QStringLiteral("%1/%2/IMG_%3.jpg").arg(dir.path(), QLatin1String(side)).arg(i, 5, 10, QChar(u'0')));
                if (f.open(QIODevice::WriteOnly))
                    f.write(jpegTakenAt(when));
            }
        }
        made = true;
    }
    return dir;
}

void loadFresh(TSession &session)
{
    TQuietLoadingView view;
    TOrderingPass pass(session.Left(), session.Right());
    TIdleProcessor idle(session.Left(), session.Right(), view);
    idle.SetOrdering(&pass, &session.State());
    idle.SetThumbnailsWanted(false);
    NewEntryDefaults defaults;
    const QString root = files().path();
    for (const char *side : {"L", "R"}) {
        ListRowModel &list = side[0] == 'L' ? session.Left() : session.Right();
        const QStringList names = QDir(root + u'/' + QLatin1String(side)).entryList(QDir::Files, QDir::Name);
        for (const QString &name : names)
            idle.AddFile(root + u'/' + QLatin1String(side) + u'/' + name, list, defaults);
    }
    while (!idle.IsIdle()) {
        idle.IdleProcess();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

void BM_SessionFile(benchmark::State &state)
{
    files();
    for (auto _ : state) {
        QElapsedTimer t;
        auto session = std::make_unique<TSession>();
        t.start();
        loadFresh(*session);
        const double loadMs = t.nsecsElapsed() / 1e6;

        TSessionKeeper keeper(*session);
        QTemporaryDir out;
        const QString path = out.filePath(QStringLiteral("bench.duomira"));
        QString error;
        t.restart();
        if (!keeper.Save(path, error))
            state.SkipWithError(qPrintable(error));
        const double saveMs = t.nsecsElapsed() / 1e6;

        // The recovery save: a change, then the look the timer runs.
        keeper.EnableRecovery(out.filePath(QStringLiteral("state")), error);
        keeper.SetTimings(std::chrono::milliseconds(1), std::chrono::milliseconds(0));
        session->Left().EntryAt(0)->SetNewName(QStringLiteral("changed"));
        keeper.NoteChange();
        QElapsedTimer wait;
        wait.start();
        while (keeper.RecoveryWrites() == 0 && !wait.hasExpired(60000))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double recoveryUiMs = keeper.LastLookCost().count() / 1e6;

        TSession reopened;
        TSessionKeeper second(reopened);
        t.restart();
        const TSessionOpenOutcome opened = second.Open(path, {}, nullptr);
        const double openMs = t.nsecsElapsed() / 1e6;
        if (!opened.Ok || !opened.Report.Changed.isEmpty() || !opened.Report.Missing.isEmpty())
            state.SkipWithError("the session did not open unchanged");

        state.counters["load_ms"] = loadMs;
        state.counters["save_ms"] = saveMs;
        state.counters["open_ms"] = openMs;
        state.counters["open_vs_load"] = openMs / loadMs;
        state.counters["recovery_ui_ms"] = recoveryUiMs;
        state.counters["file_mb"] = QFileInfo(path).size() / 1e6;
        state.counters["entries"] = reopened.Left().Count() + reopened.Right().Count();
    }
}
BENCHMARK(BM_SessionFile)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    return benchsupport::runBenchmarks(argc, argv);
}
