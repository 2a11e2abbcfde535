#pragma once
// The loading of files into the two lists and the main window's idle processing.
//
// Adding a file is quick: an existence check and two new rows (the image in its list, a
// new gap opposite it). Everything slow happens afterwards, in idle time: the idle pass
// walks DatensatzList from IdleIndex on, takes over every entry's metadata (LoadMetadata)
// and hands the capture time of an image to its new gap. When the last entry is read, the
// chronological ordering runs by itself, and only then are the sorting actions enabled.
//
// Metadata first: the idle pass reads only the metadata of the new pictures (microseconds
// per file), orders the lists and enables the actions; then the thumbnails (a 1/8-scale
// decode each, milliseconds) are filled in on the thread pool, rows on screen first
// (TThumbnailFill), while the user already works. The status reads "Ready" as soon as the
// lists are ordered; meanwhile the progress bar follows the thumbnails.
//
// The metadata reads run on a thread pool, up to a few files ahead of IdleIndex; the
// results are applied on the user interface thread strictly in IdleIndex order. The pass never
// blocks for long: when the next result is not ready yet it waits a few milliseconds at a time and
// lets pending events through in between, as it does at every 15th entry. Anything may happen while
// events go through (files dropped, rows deleted, both lists cleared); the pass stops when the
// entry it was working on has gone and picks up again at its next run.
#include "session/loading.h"
#include "session/readahead.h"
#include "session/thumbnailfill.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <vector>

class ListRowModel;
class QThreadPool;
class TDatensatz;
class TDatensatzList;
class TOrderingPass;
struct TMainWindowState;

class TIdleProcessor : public QObject
{
    Q_OBJECT
public:
    // left, right: the two lists (side values 2 and 3). view: the main window. pool: the
    // application's pool for the file reads (null: QThreadPool::globalInstance()).
    TIdleProcessor(ListRowModel &left, ListRowModel &right, TLoadingView &view,
                   QThreadPool *pool = nullptr, QObject *parent = nullptr);
    // Waits for the file reads still running.
    ~TIdleProcessor() override;

    // The ordering pass run after the last entry has been read (ActionSortExecute with the
    // window's state). Without one the lists are not ordered after loading.
    void SetOrdering(TOrderingPass *pass, TMainWindowState *state);
    // The function that reads a file on the pool; the default is readImageMetadata with
    // the program-wide imaging library (a function that also reads the thumbnail, as
    // readImageData does, leaves nothing to the thumbnail fill).
    void SetReadFunction(ImageReadFunction read);
    // The function that reads a thumbnail after the metadata; the default is
    // readImageThumbnail with the program-wide library.
    void SetThumbnailReadFunction(ThumbnailReadFunction read);
    // Without a window nothing shows a thumbnail: false reads none (duomira-cli).
    void SetThumbnailsWanted(bool wanted);
    // Thumbnail reads running at once (default: twice the pool's threads).
    void SetThumbnailReadLimit(int limit) { m_thumbs.SetLimit(limit); }
    // How many metadata reads may be started ahead of the entry being applied (at least
    // 1). The default, eight per pool thread and at least 32, keeps the pool busy and the
    // results ready: a read takes microseconds, handing it between threads about as long.
    void SetReadAheadLimit(int limit);
    // The longest wait for a result between two calls of LetEventsThrough (default 5 ms).
    void SetWaitSlice(std::chrono::milliseconds slice) { m_waitSlice = slice; }

    // ---- Window state ----
    // Index into DatensatzList of the next entry whose metadata the idle pass reads.
    int IdleIndex() const { return m_idleIndex; }
    // All rows must be refreshed at the next idle pass (WM_ENTRIES_CHANGED, changed
    // suffixes or folders). Schedules a pass.
    void SetRefreshPending();
    bool RefreshPending() const { return m_refreshPending; }

    // ---- Loading ----
    // Adds the file at path: to the left list when its name (upper case) contains "_L.",
    // else to the right list when it contains "_R.", else to target. The new entry takes
    // the number start number + rows before it - 1 and the defaults of its side; a new gap
    // opposite it takes its time and the row index as number, and the two are linked.
    // IdleIndex := 0. Returns the new entry, or null when path is not an existing regular
    // file (nothing happens then).
    TDatensatz *AddFile(const QString &path, ListRowModel &target,
                        const NewEntryDefaults &defaults);
    // A batch of files for target (dropped or chosen in an open dialog): folders are
    // expanded to the image files they hold, which become shots (GroupShots, by the
    // defaults' KeepShotsTogether); the actions that conflict with loading are
    // disabled and the lists hidden meanwhile; the progress bar moves every fifth file.
    // Returns the number of entries added.
    int LoadFiles(const QStringList &paths, ListRowModel &target, LoadSource source,
                  const NewEntryDefaults &defaults);

    // ---- Idle processing ----
    // One idle pass: reads the metadata from IdleIndex on (ordering after the last entry),
    // enables the sorting actions and the batch job, refreshes all rows when pending, sets
    // the status and calls the view's IdlePreviews. A call while a pass runs (from an event
    // let through) does nothing but asks for another pass afterwards.
    void IdleProcess();
    // Runs IdleProcess once the event queue is empty (a zero-interval single-shot timer;
    // several requests make one pass). The processor asks for its own passes when entries
    // are added, rows must be refreshed or a pass stopped early; the window asks whenever
    // something else of the pass is due (previews marked dirty).
    void ScheduleIdle();
    // A pass is running (possibly suspended in LetEventsThrough).
    bool IsProcessing() const { return m_inPass; }
    // No entry is left to read (metadata and thumbnails) and no pass is running or
    // scheduled.
    bool IsIdle() const;
    // The metadata of every entry is read (the thumbnails may still be coming).
    bool MetadataRead() const;

    // ---- Clearing and the batch job ----
    // "Remove all items from both lists": ask returns the pressed button of the question
    // RemoveAllQuestion() (DlgAnswerYes removes). The idle pass is held off while the
    // question is open. Afterwards the sorting actions and "Execute Batch Job" are disabled
    // and IdleIndex := 0 either way. Returns true when the lists were cleared. While an
    // ordering pass runs (it lets events through while it holds entries) nothing happens.
    bool RemoveAllItems(const std::function<int(const QString &question)> &ask);
    // While the batch wizard is open no idle pass reads or reorders rows under the job:
    // Hold before it opens, Resume after it has closed (passes are counted).
    void Hold() { ++m_held; }
    void Resume();
    // Before the batch wizard opens: false when there are no entries; otherwise sorts
    // registry chronologically (capture time, then file name) and returns true.
    static bool PrepareBatchJob(TDatensatzList &registry);

Q_SIGNALS:
    // The status reads "Ready": every entry read and the lists ordered. The thumbnails may
    // still be coming (the progress bar follows them).
    void ready();
    // The thumbnails are in too: every entry read and ordered, every thumbnail read. Once
    // each time the last of them arrives.
    void thumbnailsDone();

private:
    enum class Step
    {
        Applied,    // the entry's metadata is taken over
        Vanished,   // the entry's file was gone when it was read
        EntryGone,  // the entry disappeared while events went through: stop the loop
        IndexMoved, // IdleIndex or the entry at it changed meanwhile: look again
    };
    void readLoop();
    Step loadEntry(TDatensatz *entry);
    bool letEventsThrough(TDatensatz *entry, int index);
    void startReadsAhead();
    int firstUnreadEntry() const;
    void runOrdering();
    void updateEnabling();
    void updateStatus();
    void fillThumbnails();
    void dropEntries(const std::vector<TDatensatz *> &entries);
    void stopForMemory();
    void reportProblems();
    // A stereo file at path becomes two entries, its views, as one pair (the left view's
    // entry is returned); null when the file is not a stereo file.
    TDatensatz *addStereoFile(const QString &path, const NewEntryDefaults &defaults);
    void thumbnailArrived(TDatensatz *entry);
    void thumbnailsFinished();
    void signalThumbnailsDone();

    ListRowModel &m_left;
    ListRowModel &m_right;
    TLoadingView &m_view;
    TReadAhead m_reads;
    TThumbnailFill m_thumbs;
    bool m_thumbnailsWanted = true;
    bool m_thumbsRestartDue = false;        // metadata was read since the fill last restarted
    int m_thumbsTotal = 0;                  // thumbnails to read when the fill last restarted
    bool m_thumbnailsDoneSignalled = false; // thumbnailsDone since the fill last restarted
    QStringList m_vanished;                 // files gone before they were read, not yet reported
    QStringList m_damagedStereo; // stereo files loaded as single pictures, not yet reported
    TOrderingPass *m_ordering = nullptr;
    TMainWindowState *m_state = nullptr;
    QTimer m_idleTimer;
    int m_idleIndex = 0;
    int m_scanIndex = 0; // the next registry position that read-ahead looks at
    // the registry's Registrations() when every entry was last found read: until another
    // entry comes, none can be unread (an entry is never unread again), and the idle passes
    // that follow every click need not walk tens of thousands of entries.
    mutable quint64 m_allReadAt = ~quint64(0);
    int m_readAheadLimit = 2;
    std::chrono::milliseconds m_waitSlice{5};
    bool m_refreshPending = false;
    bool m_inPass = false;
    bool m_passRequested = false; // asked for while a pass was running
    bool m_orderingDue = false;   // entries were added or read since the last ordering
    int m_held = 0;               // "Remove all items" asks its question: no reading
    int m_adding = 0;             // LoadFiles is adding files: no pass yet
};
