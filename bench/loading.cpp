// Loading photo-sized JPEG files (4000 x 3000, 200 per list unless DUOMIRA_BENCH_LOADING_COUNT
// names another count per list, e.g. 2000; DUOMIRA_BENCH_LOADING_SMALL=1 makes them 640 x 480,
// the size for runs of 20,000 a list; DUOMIRA_BENCH_LOADING_NO_EXIF_THUMBNAIL=1 makes them without
// the 160 x 120 EXIF thumbnail, so that every thumbnail is decoded) until the status reads
// "Ready" and on until every thumbnail is in: LoadFiles for each list, then the idle processing
// (metadata read on the pool and applied in order, the chronological ordering: "Ready"; then
// the thumbnails on the pool, the rows on screen first, with their icons), run through the core
// API with a window stand-in that lets events through like the window, and through the window.
// duomira-cli pair on the same two folders is the reference: the same files read, ordered and
// paired without a window and without thumbnails.
// The same files are decoded at 1/8 scale one after another with plain libjpeg-turbo as
// the yardstick. Sets of other counts than 200 are cached in folders of their own (named
// with the count), so that the usual set is not made again after a larger run.
//
// Counters:
//   ready_ms            time from the first LoadFiles call to "Ready" (metadata read, lists
//                       ordered; best of the rounds)
//   sorted_ms           time until the sorted lists with their capture times are shown, as
//                       seen by a 1 ms timer, in that round
//   thumbnails_ms       time until every thumbnail is in, in that round
//   sorted_vs_ready     sorted_ms / ready_ms
//   pictures            pictures loaded (both lists)
//   sequential_ms       plain 1/8-scale decode of all files in a row (best of the rounds)
//   thumbnails_vs_sequential thumbnails_ms / sequential_ms (target: at most 0.6 on two cores)
//   longest_gap_ms      longest stretch without letting events through while loading (worst
//                       round)
//   peak_kb_per_picture rise of the peak resident memory (VmHWM) during the first loading,
//                       per picture
//   peak_mb             the peak resident memory of the whole program during the first
//                       loading (VmHWM, reset before it)
//   kept_kb_per_picture resident memory still held after "Ready", per picture
//   cpu_vs_sequential_cpu  processor time of the loading (all threads) against that of the
//                       sequential decode; ui_thread_cpu_ms: the user interface thread's part
#include "entries/entrystore.h"
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "imaging/dsorgbild.h"
#include "imaging/imagelist.h"
#include "imaging/mpowriter.h"
#include "pairing/ordering.h"
#include "pairing/orderingprogress.h"
#include "session/idleprocessor.h"
#include "session/mainstate.h"
#include "support/photo_generator.h"
#include "support/process.h"
#include "support/run.h"
#include "mainwindow/widgets/windowmessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <benchmark/benchmark.h>

// The window's own loading path when the main window is built.
#if defined(QT_WIDGETS_LIB) && __has_include("mainwindow/widgets/optionstack.h")
#define DUOMIRA_BENCH_WINDOW 1
#include "mainwindow/widgets/formmain.h"
#include "session/session.h"
#include "mainwindow/widgets/optionstack.h"
#include <QApplication>
#include <QLabel>
#endif

#include <cstdio>
#include <ctime>
#include <jpeglib.h>
#include <string>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

// Pictures per list: DUOMIRA_BENCH_LOADING_COUNT, default 200.
int perSide()
{
    const int n = qEnvironmentVariableIntValue("DUOMIRA_BENCH_LOADING_COUNT");
    return n > 0 ? n : 200;
}
const int photosPerSide = perSide();
// Rounds per run (the best one counts): DUOMIRA_BENCH_ROUNDS, default 3.
int rounds()
{
    const int n = qEnvironmentVariableIntValue("DUOMIRA_BENCH_ROUNDS");
    return n > 0 ? n : 3;
}
constexpr int iconSize = 64; // "Thumbnail Dimensions" 64 x 64

struct PhotoSets
{
    QStringList left;
    QStringList right;
};

const PhotoSets &photoSets()
{
    static const PhotoSets sets = [] {
        PhotoSets s;
        QString error;
        const bool small = qEnvironmentVariableIntValue("DUOMIRA_BENCH_LOADING_SMALL") != 0;
        const bool exifThumbnail =
            qEnvironmentVariableIntValue("DUOMIRA_BENCH_LOADING_NO_EXIF_THUMBNAIL") == 0;
        const int width = small ? 640 : 4000;
        const int height = small ? 480 : 3000;
        const QString size = QStringLiteral("%1x%2").arg(width).arg(height);
        const QString suffix =
            (photosPerSide == 200 ? QString() : QStringLiteral("_%1").arg(photosPerSide)) +
            (exifThumbnail ? QString() : QStringLiteral("_nothumb"));
        benchsupport::PhotoSetOptions leftOptions;
        leftOptions.exifThumbnail = exifThumbnail;
        leftOptions.namePrefix = QStringLiteral("L_");
        s.left = benchsupport::generatePhotoSet(
            benchsupport::photoCacheDir(QStringLiteral("loading_left_") + size + suffix),
            photosPerSide, width, height, leftOptions, &error);
        benchsupport::PhotoSetOptions rightOptions;
        rightOptions.namePrefix = QStringLiteral("R_");
        rightOptions.exifThumbnail = exifThumbnail;
        rightOptions.model = QStringLiteral("Canon EOS 5D Mark IV (right)");
        rightOptions.firstCapture = leftOptions.firstCapture.addSecs(37); // the other clock
        s.right = benchsupport::generatePhotoSet(
            benchsupport::photoCacheDir(QStringLiteral("loading_right_") + size + suffix),
            photosPerSide, width, height, rightOptions, &error);
        if (s.left.size() != photosPerSide || s.right.size() != photosPerSide)
            std::fprintf(stderr, "cannot generate the photo sets: %s\n", qPrintable(error));
        return s;
    }();
    return sets;
}

// The longest stretch without event processing, measured by a 1 ms timer: it fires each
// time the application processes events (the idle pass letting events through, the ordering
// pass at its steps, the event loop between passes), so the longest interval between two of
// its shots is the longest time the window could not react.
class GapWatch
{
public:
    GapWatch()
    {
        m_timer.setInterval(1);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { shot(); });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        longestNs = 0;
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    qint64 longestNs = 0;
    QString longestAt;               // what the status read when the longest stretch ended
    std::function<QString()> status; // optional

private:
    void shot()
    {
        const qint64 now = m_clock.nsecsElapsed();
        if (now - m_last > longestNs) {
            longestNs = now - m_last;
            if (status)
                longestAt = status();
        }
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
};

// The window stand-in of the core path: it records the status and lets events through as the
// window does.
class BenchView : public TQuietLoadingView
{
public:
    QString status;
    int eventsLetThrough = 0;

    void SetStatusText(const QString &text) override { status = text; }
    void LetEventsThrough() override
    {
        ++eventsLetThrough;
        TQuietLoadingView::LetEventsThrough();
    }
};

// The ordering pass lets events through at each of its steps, as the window's progress does.
class BenchOrderingProgress : public TOrderingProgress
{
public:
    explicit BenchOrderingProgress(BenchView &view) : m_view(view) {}
    void StepStarted(const QString &text, int) override
    {
        m_view.SetStatusText(text);
        m_view.LetEventsThrough();
    }
    void RowDone(int) override {}

private:
    BenchView &m_view;
};

// Receives WM_ENTRIES_CHANGED (posted by the registry's handler, as the main window posts
// it) like the main window: all rows are refreshed at the next pass.
class MessageReceiver : public QObject
{
public:
    TIdleProcessor *processor = nullptr;
    bool event(QEvent *event) override
    {
        if (event->type() == WindowMessageEvent::eventType()) {
            auto *message = static_cast<WindowMessageEvent *>(event);
            if (message->message() == WM_ENTRIES_CHANGED && processor)
                processor->SetRefreshPending();
            return true;
        }
        return QObject::event(event);
    }
};

qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

bool resetPeakMemory()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

// Plain libjpeg-turbo decode at 1/8 scale, the rows thrown away.
bool decodeEighth(const QString &path)
{
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file)
        return false;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = 1;
    cinfo.scale_denom = 8;
    jpeg_start_decompress(&cinfo);
    std::vector<JSAMPLE> row(size_t(cinfo.output_width) * size_t(cinfo.output_components));
    JSAMPROW rows[1] = {row.data()};
    while (cinfo.output_scanline < cinfo.output_height)
        jpeg_read_scanlines(&cinfo, rows, 1);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return true;
}

void warmFileCache(const QStringList &paths)
{
    for (const QString &path : paths) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            while (!f.read(1 << 20).isEmpty()) {
            }
    }
}

struct LoadingRun
{
    double sortedMs = -1; // every picture's metadata read and the lists ordered
    double readyMs = -1;  // the status read "Ready"
    double thumbnailsMs = 0;
    double cpuMs = 0;
    double uiCpuMs = 0;
    double addMs = 0;
    double longestGapMs = 0;
    QString longestGapAt;
    qint64 peakKb = -1;
    qint64 peakTotalKb = -1;
    qint64 keptKb = -1;
    bool ready = false;
};

// Measures one loading: addFiles adds both sets (returning at once), then the event loop
// runs until processor signals that the thumbnails are in; "Ready" comes before.
LoadingRun measureLoading(TIdleProcessor &processor, const TDatensatzList &registry, GapWatch &watch,
                          const std::function<void()> &addFiles,
                          const std::function<QString()> &status)
{
    LoadingRun run;
    const bool peakReset = resetPeakMemory();
    const qint64 baseKb = statusKb("VmRSS");
    QEventLoop loop;
    QElapsedTimer clock;
    QObject::connect(&processor, &TIdleProcessor::ready, &loop, [&] {
        if (run.readyMs < 0 && status() == QLatin1String(StatusReady) &&
            registry.Count() >= 2 * photosPerSide) {
            run.readyMs = double(clock.nsecsElapsed()) / 1e6;
            run.ready = true;
        }
    });
    QObject::connect(&processor, &TIdleProcessor::thumbnailsDone, &loop, &QEventLoop::quit);
    QTimer::singleShot(std::max(300000, 1000 * photosPerSide), &loop, &QEventLoop::quit);

    clock.start();
    const double cpuStart = processCpuMs();
    const double uiCpuStart = threadCpuMs();
    // The sorted lists with their dates are there once the metadata is read and the pass
    // that ordered them has ended; the thumbnails may still be coming.
    QTimer sortedWatch;
    sortedWatch.setInterval(1);
    sortedWatch.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sortedWatch, &QTimer::timeout, [&] {
        if (run.sortedMs < 0 && processor.MetadataRead() && !processor.IsProcessing() &&
            registry.Count() >= 2 * photosPerSide)
            run.sortedMs = double(clock.nsecsElapsed()) / 1e6;
    });
    sortedWatch.start();
    watch.status = status;
    watch.start();
    addFiles();
    run.addMs = double(clock.nsecsElapsed()) / 1e6;
    loop.exec();
    run.thumbnailsMs = double(clock.nsecsElapsed()) / 1e6;
    run.cpuMs = processCpuMs() - cpuStart;
    run.uiCpuMs = threadCpuMs() - uiCpuStart;
    watch.stop();
    run.ready = run.ready && processor.IsIdle();
    run.longestGapMs = double(watch.longestNs) / 1e6;
    run.longestGapAt = watch.longestAt;
    if (peakReset) {
        run.peakTotalKb = statusKb("VmHWM");
        run.peakKb = run.peakTotalKb - baseKb;
    }
    run.keptKb = statusKb("VmRSS") - baseKb;
    return run;
}

// Through the core API with the window stand-in; row icons of 64 x 64.
LoadingRun loadThroughCore(const PhotoSets &sets, QThreadPool &pool)
{
    TEntryStore store;
    ListRowModel left(store, dsLeft);
    ListRowModel right(store, dsRight);
    ListRowModel::LinkLists(left, right);
    TImageList icons(iconSize, iconSize);
    left.SetSmallImages(&icons);
    right.SetSmallImages(&icons);
    TMainWindowState state;
    BenchView view;
    BenchOrderingProgress progress(view);
    TOrderingPass pass(left, right, &progress);
    LoadingRun run;
    {
        TIdleProcessor processor(left, right, view, &pool);
        processor.SetOrdering(&pass, &state);
        MessageReceiver receiver;
        receiver.processor = &processor;
        setMessageReceiver(&receiver);
        store.Registry.SetEntriesChangedHandler([] { postWindowMessage(WM_ENTRIES_CHANGED); });
        GapWatch watch;
        const NewEntryDefaults defaults;
        run = measureLoading(
            processor, store.Registry, watch,
            [&] {
                processor.LoadFiles(sets.left, left, LoadSource::Drop, defaults);
                processor.LoadFiles(sets.right, right, LoadSource::Drop, defaults);
            },
            [&view] { return view.status; });
        setMessageReceiver(nullptr);
        store.Registry.SetEntriesChangedHandler({});
    }
    left.Clear();
    right.Clear();
    store.Registry.FreeAll();
    QCoreApplication::processEvents(); // drop the posted row notifications
    return run;
}

#ifdef DUOMIRA_BENCH_WINDOW
// Through the main window's own loading path (offscreen), with its default icon size.
LoadingRun loadThroughWindow(const PhotoSets &sets)
{
    LoadingRun run;
    {
        TFormMain window;
        window.show();
        QCoreApplication::processEvents();
        GapWatch watch;
        run = measureLoading(
            window.idleProcessor(), window.session().Registry(), watch,
            [&] {
                window.loadFiles(sets.left, window.leftList(), LoadSource::Drop);
                window.loadFiles(sets.right, window.rightList(), LoadSource::Drop);
            },
            [&window] { return window.optionStack()->LabelStatus->text(); });
    }
    QCoreApplication::processEvents();
    return run;
}
#endif

void runLoadingBenchmark(benchmark::State &state,
                         const std::function<LoadingRun(const PhotoSets &)> &load)
{
    const PhotoSets &sets = photoSets();
    if (sets.left.size() != photosPerSide || sets.right.size() != photosPerSide) {
        state.SkipWithError("no photo sets");
        return;
    }
    const QStringList all = sets.left + sets.right;
    warmFileCache(all);

    for (auto _ : state) {
        double bestSequential = 0;
        double sequentialCpu = 0;
        double longestGapMs = 0;
        LoadingRun best;
        LoadingRun first;
        for (int round = 0; round < rounds(); ++round) {
            QElapsedTimer sequential;
            sequential.start();
            const double cpuStart = processCpuMs();
            for (const QString &path : all) {
                if (!decodeEighth(path)) {
                    state.SkipWithError("decode failed");
                    return;
                }
            }
            const double sequentialMs = double(sequential.nsecsElapsed()) / 1e6;
            const double sequentialCpuMs = processCpuMs() - cpuStart;
            bestSequential = round == 0 ? sequentialMs : std::min(bestSequential, sequentialMs);
            sequentialCpu = round == 0 ? sequentialCpuMs : std::min(sequentialCpu, sequentialCpuMs);

            const LoadingRun run = load(sets);
            if (!run.ready) {
                state.SkipWithError("loading did not reach \"Ready\" with every thumbnail");
                return;
            }
            if (round == 0)
                first = run;
            longestGapMs = std::max(longestGapMs, run.longestGapMs);
            if (round == 0 || run.readyMs < best.readyMs)
                best = run;
            std::fprintf(stderr,
                         "round %d: sequential %.0f ms (cpu %.0f), ready %.0f ms, thumbnails %.0f ms "
                         "(cpu %.0f, user interface thread %.0f, adding %.0f ms), longest gap "
                         "%.1f ms (%s), peak %.0f MB\n",
                         round + 1, sequentialMs, sequentialCpuMs, run.readyMs, run.thumbnailsMs,
                         run.cpuMs, run.uiCpuMs, run.addMs, run.longestGapMs,
                         qPrintable(run.longestGapAt), double(run.peakTotalKb) / 1024.0);
        }
        state.SetIterationTime(best.readyMs / 1000.0);
        state.counters["ready_ms"] = best.readyMs;
        state.counters["sorted_ms"] = best.sortedMs;
        state.counters["thumbnails_ms"] = best.thumbnailsMs;
        state.counters["sorted_vs_ready"] = best.sortedMs / best.readyMs;
        state.counters["sequential_ms"] = bestSequential;
        state.counters["thumbnails_vs_sequential"] = best.thumbnailsMs / bestSequential;
        state.counters["longest_gap_ms"] = longestGapMs; // the worst round
        const int pictures = int(all.size());
        state.counters["pictures"] = pictures;
        state.counters["peak_kb_per_picture"] =
            first.peakKb >= 0 ? double(first.peakKb) / pictures : -1;
        state.counters["kept_kb_per_picture"] = double(first.keptKb) / pictures;
        state.counters["peak_mb"] = double(first.peakTotalKb) / 1024.0;
        // Work done (all threads) against the sequential decode, and the user interface
        // thread's share: on a busy machine these say more than the wall-clock times.
        state.counters["cpu_vs_sequential_cpu"] = best.cpuMs / sequentialCpu;
        state.counters["ui_thread_cpu_ms"] = best.uiCpuMs;
    }
}

void BM_LoadUntilReady_Core(benchmark::State &state)
{
    QThreadPool pool; // the application's pool: one thread per core
    pool.setMaxThreadCount(QThread::idealThreadCount());
    state.counters["pool_threads"] = pool.maxThreadCount();
    runLoadingBenchmark(state,
                        [&pool](const PhotoSets &sets) { return loadThroughCore(sets, pool); });
}
BENCHMARK(BM_LoadUntilReady_Core)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Stereo camera files: photosPerSide MPO files, file i made of left photo i and right photo
// i, cached beside the left set. Loading them (view 1 into the left list, view 2 into the
// right) is measured against loading the same photos as plain files, which are the views
// the MPO files hold (without their MPF segment): the target is at most 1.2.
const QStringList &stereoFiles()
{
    static const QStringList files = [] {
        const PhotoSets &sets = photoSets();
        QStringList made;
        if (sets.left.size() != photosPerSide || sets.right.size() != photosPerSide)
            return made;
        const QString dir = QFileInfo(sets.left.first()).absolutePath() + QStringLiteral("_mpo");
        QDir().mkpath(dir);
        for (int i = 0; i < photosPerSide; ++i) {
            const QString path = dir + QStringLiteral("/S_%1.mpo").arg(i, 5, 10, QLatin1Char('0'));
            if (!QFileInfo::exists(path)) {
                QFile left(sets.left[i]);
                QFile right(sets.right[i]);
                if (!left.open(QIODevice::ReadOnly) || !right.open(QIODevice::ReadOnly))
                    return QStringList();
                const std::optional<QByteArray> mpo = WriteMpo(left.readAll(), right.readAll());
                QFile out(path);
                if (!mpo || !out.open(QIODevice::WriteOnly) || out.write(*mpo) != mpo->size())
                    return QStringList();
            }
            made << path;
        }
        return made;
    }();
    return files;
}

void BM_StereoFilesVsViews_Core(benchmark::State &state)
{
    QThreadPool pool;
    pool.setMaxThreadCount(QThread::idealThreadCount());
    const PhotoSets &views = photoSets();
    const QStringList &stereo = stereoFiles();
    if (stereo.size() != photosPerSide) {
        state.SkipWithError("no stereo files");
        return;
    }
    warmFileCache(views.left + views.right + stereo);
    const PhotoSets stereoSets{stereo, {}};
    for (auto _ : state) {
        std::vector<double> ratios;
        double stereoMs = 0;
        double viewsMs = 0;
        // Alternating rounds; the median ratio counts.
        for (int round = 0; round < rounds(); ++round) {
            const LoadingRun plain = loadThroughCore(views, pool);
            const LoadingRun mpo = loadThroughCore(stereoSets, pool);
            if (!plain.ready || !mpo.ready) {
                state.SkipWithError("loading did not reach \"Ready\" with every thumbnail");
                return;
            }
            ratios.push_back(mpo.readyMs / plain.readyMs);
            stereoMs += mpo.readyMs;
            viewsMs += plain.readyMs;
            std::fprintf(stderr, "round %d: %d stereo files ready %.0f ms, %d view files %.0f ms\n",
                         round + 1, int(stereo.size()), mpo.readyMs, int(2 * stereo.size()),
                         plain.readyMs);
        }
        std::sort(ratios.begin(), ratios.end());
        state.SetIterationTime(stereoMs / rounds() / 1000.0);
        state.counters["stereo_ready_ms"] = stereoMs / rounds();
        state.counters["views_ready_ms"] = viewsMs / rounds();
        state.counters["stereo_vs_views"] = ratios[ratios.size() / 2];
    }
}
BENCHMARK(BM_StereoFilesVsViews_Core)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

#ifdef DUOMIRA_CLI_PATH
// The reference: duomira-cli pair --mode 1 on the two folders of the same files, its wall
// time and peak resident memory (from the kernel's account of the child process).
void BM_PairReference_Cli(benchmark::State &state)
{
    const PhotoSets &sets = photoSets();
    if (sets.left.size() != photosPerSide || sets.right.size() != photosPerSide) {
        state.SkipWithError("no photo sets");
        return;
    }
    const std::vector<std::string> args{
        benchsupport::cliPath(DUOMIRA_CLI_PATH),
        "pair",
        "--mode",
        "1",
        "--left",
        QFileInfo(sets.left.first()).absolutePath().toStdString(),
        "--right",
        QFileInfo(sets.right.first()).absolutePath().toStdString()};
    for (auto _ : state) {
        const benchsupport::ProcessRun run = benchsupport::runProcess(args);
        if (!run.ok) {
            state.SkipWithError("duomira-cli pair failed");
            return;
        }
        state.SetIterationTime(run.seconds);
        state.counters["pair_ms"] = run.seconds * 1e3;
        state.counters["peak_mb"] = run.peakMb;
        state.counters["pictures"] = 2 * photosPerSide;
    }
}
BENCHMARK(BM_PairReference_Cli)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

#ifdef DUOMIRA_BENCH_WINDOW
void BM_LoadUntilReady_Window(benchmark::State &state)
{
    runLoadingBenchmark(state, loadThroughWindow);
}
BENCHMARK(BM_LoadUntilReady_Window)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef DUOMIRA_BENCH_WINDOW
    QApplication app(argc, argv);
#else
    QGuiApplication app(argc, argv);
#endif
    return benchsupport::runBenchmarks(argc, argv);
}
