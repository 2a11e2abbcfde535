#pragma once
// Two linked lists, the ordering pass and the loading core (TIdleProcessor) on a pool of two
// threads, driven through a window stand-in that records what the window would show: the
// status texts, the progress bar, the enabled actions and how often pending events were let
// through. A test can act "as the user" inside LetEventsThrough (drop more files, delete
// rows, clear both lists) through onEvents.
#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/entrystore.h"
#include "entries/listrows.h"
#include "pairing/ordering.h"
#include "session/idleprocessor.h"
#include "session/mainstate.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

class RecordingView : public TLoadingView
{
public:
    QString status;
    QStringList statusHistory;
    int progressMaximum = 0;
    int progressPosition = 0;
    std::vector<int> progressPositions;
    int eventsLetThrough = 0;
    bool sortAction = true;
    bool sortingActions = false;
    bool radioButtons = false;
    bool batchJob = true;
    bool openActions = true;
    bool listsVisible = true;
    int previewsMarkedDirty = 0;
    int idlePreviewCalls = 0;
    // The longest stretch between two LetEventsThrough calls, in milliseconds.
    qint64 longestStretchMs = 0;
    // Runs inside LetEventsThrough, before the pending events are processed.
    std::function<void()> onEvents;

    void SetStatusText(const QString &text) override;
    void SetProgressMaximum(int maximum) override;
    void SetProgressPosition(int position) override;
    void SetProgressToMaximum() override { progressPosition = progressMaximum; }
    void LetEventsThrough() override;
    void SetSortActionEnabled(bool enabled) override { sortAction = enabled; }
    void SetSortingActionsEnabled(bool enabled) override { sortingActions = enabled; }
    void SetSortingRadioButtonsEnabled(bool enabled) override { radioButtons = enabled; }
    void SetBatchJobEnabled(bool enabled) override { batchJob = enabled; }
    void SetOpenActionsEnabled(bool enabled) override { openActions = enabled; }
    void SetListsVisible(bool visible) override { listsVisible = visible; }
    void MarkPreviewsDirty() override { ++previewsMarkedDirty; }
    // Each report as its message followed by its files.
    std::vector<QStringList> problems;
    void ReportLoadingProblem(const QString &message, const QStringList &files) override
    {
        problems.push_back(QStringList{message} + files);
    }
    void ReportOutOfMemory(const QString &message) override { problems.push_back({message}); }
    void IdlePreviews() override { ++idlePreviewCalls; }

    void startTiming() { m_sinceEvents.start(); }

private:
    QElapsedTimer m_sinceEvents;
};

class LoadingFixture : public ::testing::Test
{
protected:
    LoadingFixture();
    ~LoadingFixture() override;

    // Copies the fixture photo tests/data/photos/<relative> into the temporary folder as
    // name and returns the copy's path.
    QString copyPhoto(const QString &relative, const QString &name);
    // Copies of n different fixture photos named <prefix>0001<suffix>.JPG, ...
    QStringList copyPhotos(int n, const QString &prefix = QStringLiteral("IMG_"),
                           const QString &suffix = QString());

    // Lets the event loop run until the idle processing is done and the status reads
    // "Ready" (or "No data" for empty lists); false after timeoutMs.
    bool runUntilIdle(int timeoutMs = 20000);

    // The entries of list in row order.
    static std::vector<TDatensatz *> rowEntries(const ListRowModel &list);
    // Capture times of the image entries of list in row order.
    static std::vector<double> captureTimes(const ListRowModel &list);

    QTemporaryDir dir;
    TEntryStore store; // a fresh session's entries, holders and naming settings
    ListRowModel left{store, dsLeft};
    ListRowModel right{store, dsRight};
    TMainWindowState state;
    TOrderingPass pass{left, right};
    QThreadPool pool;
    RecordingView view;
    NewEntryDefaults defaults;
    TIdleProcessor *processor = nullptr;
};

// The JPEG fixtures with an EXIF capture time (paths relative to tests/data/photos).
QStringList datedPhotos();
