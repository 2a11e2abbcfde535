// The full-screen stereo view stepping through 50 pairs of 12-megapixel JPEGs (4000 x 3000,
// with the grain a camera writes) on a 1920 x 1080 screen, as the window drives it: at each
// step the view is handed the new pair and the pair after it, which it decodes ahead.
//
// BM_FullScreenStepping/<mode>/<ms between steps>, mode 0 cross-eyed, 1 anaglyph:
//   longest_stall_ms   the longest stretch in which the user interface thread did not get to
//                      a 1 ms timer (target: at most 50)
//   longest_show_ms    the longest time one step's Show took on that thread
//   longest_show_cpu_ms  the most processor time it took (without the waits for a core on
//                      a busy machine)
//   rows_sharp_in_time pairs that showed both sharp pictures before the next step (of 50)
//   sharp_median_ms, sharp_max_ms  time from a step to both sharp pictures on screen
//   sequential_ms      the reference of the same run: one pair decoded at full size with
//                      plain libjpeg-turbo, one file after the other
#include "entries/datensatz.h"
#include "entries/entrystore.h"
#include "imaging/jpegcodec.h"
#include "preview/widgets/fullscreenview.h"
#include "support/photo_generator.h"
#include "support/run.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr int pairCount = 50;
const QSize screenSize(1920, 1080);

QStringList photos(const char *name)
{
    benchsupport::PhotoSetOptions options;
    options.namePrefix = QString::fromLatin1(name) + QLatin1Char('_');
    options.grain = 9;
    return benchsupport::generatePhotoSet(benchsupport::photoCacheDir(QString::fromLatin1(name)),
                                          pairCount, 4000, 3000, options);
}

struct Entries
{
    TEntryStore store; // first: outlives the entries
    std::vector<std::unique_ptr<TDatensatz>> left, right;
    Entries()
    {
        const QStringList l = photos("fullscreen_left"), r = photos("fullscreen_right");
        for (int i = 0; i < pairCount && i < l.size() && i < r.size(); ++i) {
            left.emplace_back(new TDatensatz(store, nullptr, i, l[i], dsLeft));
            right.emplace_back(new TDatensatz(store, nullptr, i, r[i], dsRight));
            left.back()->LoadMetadata();
            right.back()->LoadMetadata();
        }
    }
    TDatensatz *at(const std::vector<std::unique_ptr<TDatensatz>> &side, int row) const
    {
        return row >= 0 && row < int(side.size()) ? side[std::size_t(row)].get() : nullptr;
    }
};

std::unique_ptr<Entries> g_entries;

qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void BM_FullScreenStepping(benchmark::State &state)
{
    if (!g_entries)
        g_entries = std::make_unique<Entries>();
    Entries &e = *g_entries;
    if (int(e.left.size()) < pairCount) {
        state.SkipWithError("the photos could not be made");
        return;
    }
    const TDisplayMode mode = state.range(0) == 1 ? TDisplayMode::Anaglyph : TDisplayMode::CrossEyed;
    const int stepMs = int(state.range(1));

    QElapsedTimer clock;
    clock.start();
    benchmark::DoNotOptimize(DecodeJpegFile(e.left[0]->SourcePath(), 1));
    benchmark::DoNotOptimize(DecodeJpegFile(e.right[0]->SourcePath(), 1));
    const double sequentialMs = clock.nsecsElapsed() / 1e6;

    for (auto _ : state) {
        TFullScreenView view;
        view.setMode(mode);
        view.setSpacing(16);
        view.resize(screenSize);
        view.show();
        QApplication::processEvents();
        TStereoPreview &preview = view.presenter().Preview();

        qint64 longestStall = 0, longestShow = 0, longestShowCpu = 0;
        int sharpRows = 0, sharpThisRow = 0;
        std::vector<double> sharpMs;
        QElapsedTimer tick, stepClock;
        // Sharp on screen: both pictures, or the anaglyph composed of them.
        if (mode == TDisplayMode::Anaglyph)
            QObject::connect(&preview, &TStereoPreview::sharpAnaglyphShown, [&] {
                if (sharpThisRow < 2)
                    sharpMs.push_back(stepClock.nsecsElapsed() / 1e6);
                sharpThisRow = 2;
            });
        else
            QObject::connect(&preview, &TStereoPreview::sharpPictureShown, [&] {
                if (++sharpThisRow == 2)
                    sharpMs.push_back(stepClock.nsecsElapsed() / 1e6);
            });
        // The window hands the pair over again whenever the view asks (a resize).
        int row = 0;
        const auto showRow = [&](int r) {
            view.Show(e.at(e.left, r), e.at(e.right, r), e.at(e.left, r + 1), e.at(e.right, r + 1));
        };
        QObject::connect(&view, &TFullScreenView::redrawWanted, [&] { showRow(row - 1); });
        QTimer probe;
        probe.setInterval(1);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longestStall = std::max(longestStall, tick.nsecsElapsed());
            tick.restart();
        });
        QTimer stepper;
        stepper.setInterval(stepMs);
        QEventLoop loop;
        const auto step = [&] {
            if (row > 0 && sharpThisRow >= 2)
                ++sharpRows;
            else if (row > 0)
                std::fprintf(stderr, "row %d: %d sharp pictures before the next step\n", row - 1,
                             sharpThisRow);
            if (row == pairCount) {
                loop.quit();
                return;
            }
            sharpThisRow = 0;
            stepClock.restart();
            QElapsedTimer show;
            show.start();
            const qint64 cpu = threadCpuNs();
            showRow(row);
            longestShow = std::max(longestShow, show.nsecsElapsed());
            longestShowCpu = std::max(longestShowCpu, threadCpuNs() - cpu);
            ++row;
        };
        QObject::connect(&stepper, &QTimer::timeout, step);
        tick.start();
        probe.start();
        stepper.start();
        step();
        loop.exec();
        preview.Decoder().WaitForIdle();
        std::sort(sharpMs.begin(), sharpMs.end());
        state.counters["longest_stall_ms"] = longestStall / 1e6;
        state.counters["longest_show_ms"] = longestShow / 1e6;
        state.counters["longest_show_cpu_ms"] = longestShowCpu / 1e6;
        state.counters["rows_sharp_in_time"] = sharpRows;
        state.counters["sharp_median_ms"] = sharpMs.empty() ? 0 : sharpMs[sharpMs.size() / 2];
        state.counters["sharp_max_ms"] = sharpMs.empty() ? 0 : sharpMs.back();
        state.counters["sequential_ms"] = sequentialMs;
    }
}
BENCHMARK(BM_FullScreenStepping)
    ->ArgNames({"mode", "step_ms"})
    ->Args({0, 250})
    ->Args({1, 250})
    ->Args({0, 150})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int result = benchsupport::runBenchmarks(argc, argv);
    g_entries.reset();
    return result;
}
