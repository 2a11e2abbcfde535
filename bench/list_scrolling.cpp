// Scrolling through the main window's lists with 20,000 + 20,000 small real JPEG files
// loaded (640 x 480 with a camera-like EXIF block and thumbnail, the sets bench_cli_pair
// uses): page by page from the first row to the last, as a user does, both lists scrolling
// together. Two ways of paging: clicks into the scroll bar's track of the left list, and
// the Page Down key in the left list (the selection, the edit panels and the preview follow
// the focused row). Each at the smallest ("16 x 16", the default) and the largest
// ("128 x 128") "Thumbnail Dimensions". The window (offscreen, 1920 x 1080) is loaded once,
// until "Ready"; the icons of the rows that come into view are built as the lists are drawn.
//
// Every step is followed by event-loop turns until the window has nothing more to do; each
// turn is timed, the step's own handling counting with the turn after it.
//
// Counters:
//   max_stall_ms     the longest turn: the longest time the user interface thread could not
//                    react (target: at most 50)
//   max_stall_cpu_ms the most processor time a turn took: max_stall_ms without the waits for
//                    a core on a busy machine
//   longest_gap_ms   the longest interval between two shots of a 1 ms timer during the pass
//                    (the same thing measured from inside the event loop)
//   mean_step_ms     all turns of a step together, on average
//   steps            pages from the first row to the last
//   rows_per_page    rows the left list shows at once
//   ready_s          the loading until "Ready", once before the first benchmark
//
// DUOMIRA_BENCH_SCROLL_COUNT sets the files per list (default 20000).
#include "entries/datensatz.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "imaging/dsorgbild.h"
#include "imaging/imagelist.h"
#include "mainwindow/widgets/formmain.h"
#include "session/session.h"
#include "mainwindow/widgets/imagelistview.h"
#include "mainwindow/widgets/optionstack.h"
#include "session/idleprocessor.h"
#include "support/photo_generator.h"
#include "support/run.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

int perSide()
{
    const int n = qEnvironmentVariableIntValue("DUOMIRA_BENCH_SCROLL_COUNT");
    return n > 0 ? n : 20000;
}

struct LoadedWindow
{
    std::unique_ptr<TFormMain> window;
    double readySeconds = 0;
    bool ready = false;
};

std::unique_ptr<LoadedWindow> g_loaded;

// The window with both sets loaded, made on first use.
LoadedWindow &loadedWindow()
{
    if (g_loaded)
        return *g_loaded;
    g_loaded = std::make_unique<LoadedWindow>();
    LoadedWindow &l = *g_loaded;
    const int count = perSide();
    const QStringList left = benchsupport::smallPhotoSet(QStringLiteral("L"), count);
    const QStringList right = benchsupport::smallPhotoSet(QStringLiteral("R"), count);
    if (left.size() != count || right.size() != count)
        return l;

    l.window = std::make_unique<TFormMain>();
    TFormMain &w = *l.window;
    w.resize(1920, 1080);
    w.show();
    QCoreApplication::processEvents();
    QEventLoop loop;
    // Scrolling is measured over lists whose thumbnails are all in.
    QObject::connect(&w.idleProcessor(), &TIdleProcessor::thumbnailsDone, &loop, &QEventLoop::quit);
    QTimer::singleShot(1800 * 1000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    w.loadFiles(left, w.leftList(), LoadSource::Drop);
    w.loadFiles(right, w.rightList(), LoadSource::Drop);
    loop.exec();
    l.readySeconds = double(clock.nsecsElapsed()) / 1e9;
    // Rows of pictures without a partner face a gap: at least count rows in each list.
    l.ready = w.optionStack()->LabelStatus->text() == QLatin1String("Ready") &&
              w.leftList().Count() >= count && w.rightList().Count() >= count;
    std::fprintf(stderr, "loaded %d + %d files in %.1f s: %d rows, status \"%s\"\n", count, count,
                 l.readySeconds, int(w.leftList().Count()),
                 qPrintable(w.optionStack()->LabelStatus->text()));
    return l;
}

// The longest interval between two shots of a 1 ms timer, i.e. between event-loop turns.
class GapWatch
{
public:
    GapWatch()
    {
        m_timer.setInterval(1);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            longestNs = std::max(longestNs, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    qint64 longestNs = 0;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
};

enum class Paging
{
    ScrollBar,
    PageDownKey,
};

void pressKey(QWidget *target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
}

qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Turns of the event loop until one finds nothing to do (at most 8); returns the longest
// wall-clock time of a turn, and in *cpuNs the most processor time one took (on a busy
// machine a turn may also wait for a core).
qint64 settle(QElapsedTimer &turn, qint64 &cpuStart, qint64 *cpuNs)
{
    qint64 longest = 0;
    for (int i = 0; i < 8; ++i) {
        QCoreApplication::processEvents();
        const qint64 ns = turn.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        longest = std::max(longest, ns);
        *cpuNs = std::max(*cpuNs, cpu - cpuStart);
        if (i > 0 && ns < 200000) // 0.2 ms: nothing left
            break;
        turn.restart();
        cpuStart = cpu;
    }
    return longest;
}

void BM_ScrollThroughLists(benchmark::State &state, Paging paging)
{
    LoadedWindow &loaded = loadedWindow();
    if (!loaded.ready) {
        state.SkipWithError("the window did not load the sets to \"Ready\"");
        return;
    }
    TFormMain &w = *loaded.window;
    TImageListView *view = w.listView(w.leftList());
    QScrollBar *bar = view->verticalScrollBar();
    w.optionStack()->ComboBoxThumbSize->setCurrentIndex(int(state.range(0)));

    for (auto _ : state) {
        // Back to the top, the icons built so far dropped.
        ClearThumbnails(w.session().Entries(), w.smallImages());
        RefreshAllEntries(w.session().Registry());
        view->setFocus();
        QElapsedTimer turn;
        pressKey(view, Qt::Key_Home); // the focused row too
        bar->setValue(0);
        turn.start();
        qint64 cpuStart = threadCpuNs();
        qint64 longestCpuNs = 0;
        settle(turn, cpuStart, &longestCpuNs);
        longestCpuNs = 0;
        if (bar->value() != 0 || w.listView(w.rightList())->verticalScrollBar()->value() != 0) {
            std::fprintf(stderr, "top rows %d and %d\n", bar->value(),
                         w.listView(w.rightList())->verticalScrollBar()->value());
            state.SkipWithError("the lists are not at the top");
            return;
        }

        GapWatch gaps;
        QElapsedTimer total;
        total.start();
        qint64 longestNs = 0;
        int steps = 0;
        int stalledAt = -1;
        while (bar->value() < bar->maximum() ||
               (paging == Paging::PageDownKey &&
                w.leftList().FocusedRow() < w.leftList().Count() - 1)) {
            turn.restart();
            cpuStart = threadCpuNs();
            if (paging == Paging::ScrollBar)
                bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
            else
                pressKey(view, Qt::Key_PageDown);
            const qint64 ns = settle(turn, cpuStart, &longestCpuNs);
            if (ns > longestNs) {
                longestNs = ns;
                stalledAt = bar->value();
            }
            ++steps;
            if (steps > 2 * w.leftList().Count()) {
                state.SkipWithError("paging does not reach the last row");
                return;
            }
        }
        const double totalMs = double(total.nsecsElapsed()) / 1e6;

        // Both lists ended at the last page, with the icons of the pictures on it built
        // (a row may face a gap).
        const int otherTop = w.listView(w.rightList())->verticalScrollBar()->value();
        if (otherTop != bar->value()) {
            state.SkipWithError("the right list did not follow");
            return;
        }
        for (ListRowModel *list : {&w.leftList(), &w.rightList()}) {
            const int end = std::min(list->Count(), list->TopRow() + list->VisibleRowCount());
            for (int r = list->TopRow(); r < end; ++r) {
                TDatensatz *e = list->EntryAt(r);
                if (e && e->OrgBild() && !e->OrgBild()->Thumbnail.isNull() &&
                    e->OrgBild()->BuiltImageIndex(w.smallImages(), e->Rotation()) < 0) {
                    state.SkipWithError("a picture on the last page has no icon");
                    return;
                }
            }
        }

        state.SetIterationTime(totalMs / 1000);
        state.counters["max_stall_ms"] = double(longestNs) / 1e6;
        state.counters["max_stall_cpu_ms"] = double(longestCpuNs) / 1e6;
        state.counters["longest_gap_ms"] = double(gaps.longestNs) / 1e6;
        state.counters["mean_step_ms"] = totalMs / steps;
        state.counters["steps"] = steps;
        state.counters["rows_per_page"] = w.leftList().VisibleRowCount();
        state.counters["ready_s"] = loaded.readySeconds;
        std::fprintf(stderr, "%d steps in %.0f ms, the longest turn %.1f ms at top row %d\n", steps,
                     totalMs, double(longestNs) / 1e6, stalledAt);
    }
}

// Thumbnail size item 0 is 16 x 16, item 7 128 x 128.
BENCHMARK_CAPTURE(BM_ScrollThroughLists, ScrollBar, Paging::ScrollBar)
    ->Arg(0)
    ->Arg(7)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScrollThroughLists, PageDownKey, Paging::PageDownKey)
    ->Arg(0)
    ->Arg(7)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window reads and writes its settings: keep them out of the user's.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    QApplication app(argc, argv);
    const int result = benchsupport::runBenchmarks(argc, argv);
    g_loaded.reset();
    return result;
}
