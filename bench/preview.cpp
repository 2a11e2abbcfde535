// The stereo preview with photo-sized pictures.
//
// BM_Anaglyph      composing the anaglyph of two 900 x 700 pictures (target: under 10 ms).
// BM_SharpPair     "Always reload images" on a pair of 4000 x 3000 JPEGs in a 900 x 700
//                  panel each: the time from drawing a new current row to both sharp pictures
//                  shown, against decoding both files at full size one after the other with
//                  plain libjpeg-turbo (counter sharp_vs_sequential; target at most 0.6).
// BM_Stepping      stepping through 50 such pairs, one row every 150 ms, as the window does
//                  (draw the dirty sides, decode the next pair ahead), with the real preview
//                  panels when the widgets are built: the longest stretch in which the user
//                  interface thread did not get to a 1 ms timer (longest_stall_ms; target at
//                  most 50) and how many rows showed their sharp pair before the next step.
#include "entries/entrystore.h"
#include "entries/datensatz.h"
#include "imaging/jpegcodec.h"
#include "preview/bitmapops.h"
#include "preview/stereopreview.h"
#include "support/photo_generator.h"
#include "support/run.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <benchmark/benchmark.h>

#if defined(QT_WIDGETS_LIB) && __has_include("preview/widgets/previewarea.h")
#define DUOMIRA_BENCH_WIDGETS 1
#include "preview/widgets/previewarea.h"
#include <QApplication>
#endif

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int pairCount = 50;
const QSize panelSize(900, 700);

QStringList photos(const char *name)
{
    static std::map<std::string, QStringList> sets;
    QStringList &set = sets[name];
    if (set.isEmpty()) {
        benchsupport::PhotoSetOptions options;
        options.namePrefix = QString::fromLatin1(name) + QLatin1Char('_');
        set = benchsupport::generatePhotoSet(benchsupport::photoCacheDir(QString::fromLatin1(name)),
                                             pairCount, 4000, 3000, options);
    }
    return set;
}

// A view with fixed panel sizes that shows nothing.
class PlainView : public TPreviewView
{
public:
    QSize PanelClientSize(int) const override { return panelSize; }
    void ShowPicture(int, const QImage &, const QImage &) override {}
    void HidePicture(int) override {}
    void ShowExifText(int, const QString &, const QString &) override {}
    void ShowAnaglyph(const QImage &, const QImage &) override {}
    void HideAnaglyph() override {}
};

struct Entries
{
    TEntryStore store; // first: outlives the entries
    std::vector<std::unique_ptr<TDatensatz>> left, right;
    Entries()
    {
        const QStringList l = photos("preview_left"), r = photos("preview_right");
        for (int i = 0; i < pairCount; ++i) {
            left.emplace_back(new TDatensatz(store, nullptr, i, l[i], dsLeft));
            right.emplace_back(new TDatensatz(store, nullptr, i, r[i], dsRight));
            left.back()->LoadMetadata();
            right.back()->LoadMetadata();
        }
    }
};

// Made on first use and freed before the application object goes.
std::unique_ptr<Entries> g_entries;

Entries &entries()
{
    if (!g_entries)
        g_entries = std::make_unique<Entries>();
    return *g_entries;
}

QImage photoSized(int seed)
{
    QImage image(panelSize, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = qRgb((x * 7 + seed) & 255, (y * 3 + x) & 255, (x ^ y ^ seed) & 255);
    }
    return image;
}

void BM_Anaglyph(benchmark::State &state)
{
    const QImage left = photoSized(1), right = photoSized(2);
    for (auto _ : state)
        benchmark::DoNotOptimize(ComposeAnaglyph(left, right));
}
BENCHMARK(BM_Anaglyph)->Unit(benchmark::kMillisecond);

void BM_SharpPair(benchmark::State &state)
{
    Entries &e = entries();
    double sequentialMs = 1e9, sharpMs = 1e9;
    int row = 0;
    for (auto _ : state) {
        const QString l = e.left[row]->SourcePath(), r = e.right[row]->SourcePath();
        QElapsedTimer clock;
        clock.start();
        benchmark::DoNotOptimize(DecodeJpegFile(l, 1));
        benchmark::DoNotOptimize(DecodeJpegFile(r, 1));
        sequentialMs = std::min(sequentialMs, clock.nsecsElapsed() / 1e6);

        PlainView view;
        TPreviewFlags flags;
        TStereoPreview preview(view, flags);
        TPreviewOptions options;
        options.AlwaysReload = true;
        preview.SetOptions(options);
        int sharp = 0;
        QEventLoop loop;
        QObject::connect(&preview, &TStereoPreview::sharpPictureShown, &loop, [&] {
            if (++sharp == 2)
                loop.quit();
        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        clock.restart();
        flags.LeftDirty = flags.RightDirty = true;
        preview.IdleDraw(e.left[row].get(), e.right[row].get());
        loop.exec();
        sharpMs = std::min(sharpMs, clock.nsecsElapsed() / 1e6);
        if (sharp != 2)
            state.SkipWithError("the sharp pair did not arrive");
        row = (row + 1) % pairCount;
    }
    state.counters["sequential_ms"] = sequentialMs;
    state.counters["sharp_ms"] = sharpMs;
    state.counters["sharp_vs_sequential"] = sharpMs / sequentialMs;
}
BENCHMARK(BM_SharpPair)->Unit(benchmark::kMillisecond)->Iterations(6);

void BM_Stepping(benchmark::State &state)
{
    Entries &e = entries();
    for (auto _ : state) {
#ifdef DUOMIRA_BENCH_WIDGETS
        TPreviewArea area;
        area.setMode(TDisplayMode::Parallel);
        area.resize(2 * panelSize.width() + 16 + 8, panelSize.height() + 4);
        area.show();
        TPreviewView &view = area;
#else
        PlainView view;
#endif
        TPreviewFlags flags;
        TStereoPreview preview(view, flags);
        TPreviewOptions options;
        options.Mode = TDisplayMode::Parallel;
        options.AlwaysReload = true;
        options.ExifChecked = {2, 4, 5, 6, 7, 12};
        preview.SetOptions(options);

        qint64 longestStall = 0, longestDraw = 0;
        int sharpRows = 0, sharpThisRow = 0;
        QObject::connect(&preview, &TStereoPreview::sharpPictureShown, [&] { ++sharpThisRow; });
        QElapsedTimer clock, tick;
        clock.start();
        tick.start();
        QTimer probe;
        probe.setInterval(1);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longestStall = std::max(longestStall, tick.nsecsElapsed());
            tick.restart();
        });
        int row = 0;
        QTimer stepper;
        stepper.setInterval(150);
        QEventLoop loop;
        const auto step = [&] {
            if (row > 0 && sharpThisRow >= 2)
                ++sharpRows;
            if (row == pairCount) {
                loop.quit();
                return;
            }
            sharpThisRow = 0;
            QElapsedTimer draw;
            draw.start();
            flags.LeftDirty = flags.RightDirty = true;
            preview.IdleDraw(e.left[row].get(), e.right[row].get());
            if (row + 1 < pairCount)
                preview.Prefetch(e.left[row + 1].get(), e.right[row + 1].get());
            longestDraw = std::max(longestDraw, draw.nsecsElapsed());
            ++row;
        };
        QObject::connect(&stepper, &QTimer::timeout, step);
        probe.start();
        stepper.start();
        step();
        loop.exec();
        preview.Decoder().WaitForIdle();
        state.counters["longest_stall_ms"] = longestStall / 1e6;
        state.counters["longest_draw_ms"] = longestDraw / 1e6;
        state.counters["rows_sharp_in_time"] = sharpRows;
    }
}
BENCHMARK(BM_Stepping)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef DUOMIRA_BENCH_WIDGETS
    QApplication app(argc, argv);
#else
    QGuiApplication app(argc, argv);
#endif
    const int result = benchsupport::runBenchmarks(argc, argv);
    g_entries.reset();
    return result;
}
