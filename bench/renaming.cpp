// The "Text" tab's costs: the preview evaluated again after each keystroke in the mask,
// and "Renaming" of 20,000 selected rows (10,000 pairs, both lists selected), in the core
// and through the main window with its list views, where the views must be told once.
#include "entries/entrystore.h"
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "naming/maskeditor.h"
#include "naming/windowrenaming.h"
#include "support/photo_generator.h"
#include "support/run.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHash>

#include <benchmark/benchmark.h>

#include <algorithm>

#if defined(QT_WIDGETS_LIB) && __has_include("naming/widgets/frameedittext.h")
#define DUOMIRA_BENCH_WINDOW
#include "mainwindow/widgets/editarea.h"
#include "mainwindow/widgets/formmain.h"
#include "mainwindow/widgets/optionstack.h"
#include "naming/widgets/frameedittext.h"
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#endif

namespace {

constexpr int pairCount = 10000;

// pairCount stereo pairs in aligned rows of left and right, every row selected. The core
// never opens the files; the window reads them, so it is given real ones (leftFiles and
// rightFiles, pairCount each): a row whose file exists nowhere is named in a message box
// that waits for a click.
void fillPairs(ListRowModel &left, ListRowModel &right, const QStringList &leftFiles = {},
               const QStringList &rightFiles = {})
{
    ListUpdateGuard l(&left);
    ListUpdateGuard r(&right);
    for (int i = 0; i < pairCount; ++i) {
        const QString leftPath = leftFiles.isEmpty()
                                     ? QStringLiteral("/home/anna/Fotos/links/IMG_%1.JPG").arg(i)
                                     : leftFiles[i];
        const QString rightPath = rightFiles.isEmpty()
                                      ? QStringLiteral("/home/anna/Fotos/rechts/DSC%1.JPG").arg(i)
                                      : rightFiles[i];
        TDatensatz *a = AppendEntry(left, i, leftPath, dsLeft);
        TDatensatz *b = AppendEntry(right, i, rightPath, dsRight);
        LinkBothWays(a, b);
        a->SetAttribute(daStereoPair);
        b->SetAttribute(daStereoPair);
    }
    left.SelectAll();
    right.SelectAll();
}

TRenameTextFields venedig()
{
    TRenameTextFields fields;
    fields[0] = {rtmReplace, QString(), QStringLiteral("Venedig")};
    return fields;
}

// The preview after one keystroke: the mask grows by one character each time.
void BM_PreviewPerKeystroke(benchmark::State &state)
{
    TEntryStore store;
    ListRowModel left(store, dsLeft), right(store, dsRight);
    ListRowModel::LinkLists(left, right);
    fillPairs(left, right);
    left.ClearSelection();
    right.ClearSelection();
    left.SetSelected(pairCount / 2, true);
    const QString mask = DefaultRenameMask();
    int length = 0;
    for (auto _ : state) {
        length = length % int(mask.size()) + 1;
        benchmark::DoNotOptimize(RenamePreview(mask.left(length), venedig(), left, right));
    }
    left.Clear();
    right.Clear();
}
BENCHMARK(BM_PreviewPerKeystroke)->Unit(benchmark::kMicrosecond);

void BM_RenameSelected_Core(benchmark::State &state)
{
    TEntryStore store;
    ListRowModel left(store, dsLeft), right(store, dsRight);
    ListRowModel::LinkLists(left, right);
    fillPairs(left, right);
    int rowSignals = 0;
    for (ListRowModel *list : {&left, &right})
        QObject::connect(list, &ListRowModel::rowsChanged, [&rowSignals] { ++rowSignals; });
    int evaluations = 0;
    int refreshes = 0; // the first run changes every name; the later ones change nothing
    for (auto _ : state) {
        rowSignals = 0;
        evaluations = RenameSelected(DefaultRenameMask(), venedig(), left, right);
        refreshes = std::max(refreshes, rowSignals);
    }
    state.counters["selected_rows"] = left.SelectedCount() + right.SelectedCount();
    state.counters["evaluations"] = evaluations;
    state.counters["row_signals"] = refreshes;
    left.Clear();
    right.Clear();
}
BENCHMARK(BM_RenameSelected_Core)->Unit(benchmark::kMillisecond);

#ifdef DUOMIRA_BENCH_WINDOW
// pairCount real small JPEG files of one camera (the cached sets duomira-cli's benchmarks
// share).
QStringList windowFiles(const QString &side)
{
    static QHash<QString, QStringList> sets;
    if (!sets.contains(side))
        sets.insert(side, benchsupport::smallPhotoSet(side, 20000).mid(0, pairCount));
    return sets.value(side);
}

// Fills the window's lists with real files, or false when they cannot be made.
bool fillWindow(TFormMain &window, benchmark::State &state)
{
    const QStringList left = windowFiles(QStringLiteral("L"));
    const QStringList right = windowFiles(QStringLiteral("R"));
    if (left.size() != pairCount || right.size() != pairCount) {
        state.SkipWithError("no photo sets");
        return false;
    }
    fillPairs(window.leftList(), window.rightList(), left, right);
    return true;
}

// Lets the window's idle pass read the files and order the lists first, so that it does
// not run inside the measured time.
void waitUntilReady(TFormMain &window)
{
    window.show();
    QElapsedTimer clock;
    clock.start();
    while (window.optionStack()->LabelStatus->text() != QStringLiteral("Ready") &&
           clock.elapsed() < 120000) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
}

// Typing one character into the mask edit: the selected schema follows, the preview is
// evaluated and shown.
void BM_PreviewPerKeystroke_Window(benchmark::State &state)
{
    TFormMain window;
    if (!fillWindow(window, state))
        return;
    window.leftList().ClearSelection();
    window.rightList().ClearSelection();
    waitUntilReady(window);
    window.leftList().SetSelected(pairCount / 2, true);
    TFrameEditText *frame = window.editArea()->FrameEditText1;
    frame->EditMaske->setText(QString());
    QCoreApplication::processEvents();
    const QString mask = DefaultRenameMask();
    int i = 0;
    for (auto _ : state) {
        if (i == mask.size()) {
            frame->EditMaske->setText(QString());
            i = 0;
        }
        frame->EditMaske->insert(mask.mid(i++, 1));
    }
    window.leftList().Clear();
    window.rightList().Clear();
}
BENCHMARK(BM_PreviewPerKeystroke_Window)->Unit(benchmark::kMicrosecond);

// "Renaming" pressed in the window: the rows change, the views repaint once.
void BM_RenameSelected_Window(benchmark::State &state)
{
    TFormMain window;
    if (!fillWindow(window, state))
        return;
    waitUntilReady(window);
    window.leftList().SelectAll();
    window.rightList().SelectAll();
    QCoreApplication::processEvents();
    TFrameEditText *frame = window.editArea()->FrameEditText1;
    int rowSignals = 0;
    for (ListRowModel *list : {&window.leftList(), &window.rightList()})
        QObject::connect(list, &ListRowModel::rowsChanged, [&rowSignals] { ++rowSignals; });
    int refreshes = 0;
    for (auto _ : state) {
        rowSignals = 0;
        QElapsedTimer clock;
        clock.start();
        frame->BitBtnRename->click();
        QCoreApplication::processEvents(); // the views' repaint
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        refreshes = std::max(refreshes, rowSignals);
    }
    state.counters["row_signals"] = refreshes;
    window.leftList().Clear();
    window.rightList().Clear();
}
BENCHMARK(BM_RenameSelected_Window)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
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
    const int result = benchsupport::runBenchmarks(argc, argv);
    return result;
}
