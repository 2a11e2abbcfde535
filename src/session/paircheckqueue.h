#pragma once
// The window's background pair check: every stereo pair of the two lists is checked by its
// pictures (pairchecking.h) on a thread pool of its own, at a low priority, while the user
// works; the pairs on screen go first. Results are kept per pair (TPairKey: both files and
// how each is shown), so a pair that changes is checked again as the pair it has become,
// and one that comes back (a partner restored, a turn undone) finds its result at once.
//
// The rows show a result through their entries' marks (TDatensatz::SetPairMark): "check"
// and "bad" pairs stand out in both lists, with the reasons in the tooltip. The queue never
// holds an entry: each result is applied on the user interface thread to the pair that is
// in the rows now, and only when it is still the pair that was checked.
//
// The lists change under the queue (sorting, pairing, deleting, turning): any change marks
// it out of date (Sync() walks the rows again at the next Fill, sets every mark from the
// kept results and counts), and the caller tells it of changes the rows do not signal
// (MarkOutOfDate after turning or mirroring pictures).
#include "session/pairchecking.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ListRowModel;
class TDatensatz;

class TPairCheckQueue : public QObject
{
    Q_OBJECT
public:
    using CheckFunction = std::function<TPairCheck(const TPairKey &key)>;

    // left, right: the two lists (left's rows on screen go first). The queue's own pool has
    // as many threads as the machine has cores, below the window's priority.
    TPairCheckQueue(ListRowModel &left, ListRowModel &right, QObject *parent = nullptr);
    // Waits for the checks still running.
    ~TPairCheckQueue() override;

    // The check run for each pair on the pool (default CheckPairFiles, JPEG files only).
    void SetCheckFunction(CheckFunction check) { m_check = std::move(check); }
    // Checks running at once (at least 1; default: the pool's threads).
    void SetLimit(int limit);

    // Checks start only once started (the window starts them when the thumbnails are in);
    // Stop() lets those running finish and starts no more.
    void Start();
    void Stop() { m_started = false; }
    bool Started() const { return m_started; }

    // The rows changed in a way they do not signal (pictures turned or mirrored).
    void MarkOutOfDate() { m_outOfDate = true; }
    // Files may hold other pictures now (a batch job turned them): every pair is checked
    // again, and the checks still running are dropped when they finish (they may have read
    // the files before).
    void ForgetResults()
    {
        m_results.clear();
        ++m_generation;
        m_outOfDate = true;
    }
    // Brings every pair's mark and the counts up to date with the rows, when out of date.
    void Sync();
    // Once started: syncs, then starts checks up to the limit: pairs on screen first, then
    // in row order. Call whenever the rows may have changed (the window: every idle pass).
    void Fill();

    // The result of the pair of entry (either side), when its present pair was checked.
    const TPairCheck *ResultFor(const TDatensatz *entry) const;

    int PairCount() const { return m_pairs; }      // stereo pairs of two pictures in the rows
    int CheckedCount() const { return m_checked; } // of them with a result
    int SuspectCount() const { return m_suspect; } // of those marked "check" or "bad"
    int Running() const { return int(m_jobs.size()); }
    // Every pair in the rows checked and nothing running.
    bool Done() const { return m_checked == m_pairs && m_jobs.empty(); }
    // For the status line: "Checking pairs: 12 of 40, 3 suspect" while checks go on, "40
    // pairs checked, 3 suspect" when done; empty before the first pair was checked.
    QString StatusText() const;
    // The last run of checks (from a check started with none running to the last one done):
    // how many pairs it checked and how long it took, for the throughput in the log.
    struct Run
    {
        int Checks = 0;
        qint64 Milliseconds = 0;
    };
    Run LastRun() const { return m_lastRun; }

Q_SIGNALS:
    // A result was applied to the pair whose left entry is left (its rows show it).
    void pairChecked(TDatensatz *left);
    // The last pair in the rows has been checked.
    void finished();

private:
    struct Job;
    std::optional<TPairKey> dueAt(int row) const;
    bool startNext();
    void start(int row, const TPairKey &key);
    void deliver(const std::shared_ptr<Job> &job);
    void connectList(ListRowModel &list);
    void applyMark(TDatensatz *left, const TPairCheck *result);

    ListRowModel &m_left;
    ListRowModel &m_right;
    QThreadPool m_pool;
    CheckFunction m_check = [](const TPairKey &key) { return CheckPairFiles(key); };
    int m_limit = 1;
    bool m_started = false;
    bool m_outOfDate = true;
    int m_scan = 0; // the next left row to look at in row order
    int m_pairs = 0, m_checked = 0, m_suspect = 0;
    QHash<TPairKey, TPairCheck> m_results;
    QSet<TPairKey> m_inFlight;
    QSet<TPairKey> m_uncounted;
    QElapsedTimer m_run; // since the run of checks started
    int m_runChecks = 0;
    int m_generation = 0; // of the results: ForgetResults drops the checks running
    Run m_lastRun;        // pairs the last walk counted as not yet checked
    std::vector<std::shared_ptr<Job>> m_jobs;
};
