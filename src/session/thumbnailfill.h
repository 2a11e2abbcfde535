#pragma once
// Filling in the thumbnails after the metadata: the idle processing reads the metadata of
// every new picture first (microseconds per file), orders the lists and shows them; the
// thumbnails (a decode of milliseconds per file) follow on a thread pool while the user
// already works with the lists.
//
// TThumbnailFill keeps a few reads running (twice the pool's threads). Each free place goes
// to the first picture without thumbnail among the rows on screen (from each list's top
// row on, with one screen above and below), else to the next one in registry order. A
// result is applied on the user interface thread when the read still fits: its entry is
// still registered, uses that holder under that path, and the holder has no thumbnail
// yet; the rows of the holder's entries then show their icons. Reads are never cancelled;
// the destructor waits for those still running (they may use the imaging library).
#include "imaging/dsorgbild.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class ListRowModel;
class QThreadPool;
class TDatensatz;
class TGflLibrary;

// Reads the thumbnail of the file at path for a holder whose record is current. Called on
// pool threads, several at once.
using ThumbnailReadFunction = std::function<ImageDataResult(
    const QString &path, const TPicturePart &part, const TJPEGData &current)>;

// readImageThumbnail with the given library (null or unavailable: JPEG-only mode).
ThumbnailReadFunction LibraryThumbnailReader(const TGflLibrary *gfl);

class TThumbnailFill : public QObject
{
    Q_OBJECT
public:
    // left, right: the lists whose visible rows go first. pool null: the global pool.
    TThumbnailFill(ListRowModel &left, ListRowModel &right, QThreadPool *pool,
                   QObject *parent = nullptr);
    ~TThumbnailFill() override;

    void SetReadFunction(ThumbnailReadFunction read) { m_read = std::move(read); }
    // Reads running at once (at least 1).
    void SetLimit(int limit);

    // True when entry is a registered image whose metadata is read and whose thumbnail is not.
    static bool NeedsThumbnail(const TDatensatz *entry);

    // Starts reads until the limit is reached or no picture needs one. Call after entries
    // were added or their metadata read.
    void Fill();
    // Starts again from the first registry entry (new files were added).
    void Restart();
    // Forgets the pending reads (their results will be dropped) and stops filling.
    void Clear();
    // Stops filling (no memory left); Restart() resumes.
    void Stop() { m_stopped = true; }

    // No read running and no picture left whose thumbnail this fill would read.
    bool Done() const;
    int Pending() const { return int(m_pending.size()); }
    // Thumbnails applied since the last Restart.
    int Applied() const { return m_applied; }

Q_SIGNALS:
    // A thumbnail was stored in entry's holder; its rows show it.
    void thumbnailApplied(TDatensatz *entry);
    // A read failed for lack of memory; the fill has stopped.
    void outOfMemory();
    // The last pending read has been handled and nothing is left to read.
    void finished();

private:
    struct Read;
    bool start(TDatensatz *entry);
    TDatensatz *nextVisible() const;
    TDatensatz *nextInRegistry();
    void deliver(const std::shared_ptr<Read> &read);
    bool pendingFor(const TDsOrgBild *holder) const;

    ListRowModel &m_left;
    ListRowModel &m_right;
    QThreadPool *m_pool;
    ThumbnailReadFunction m_read;
    int m_limit = 2;
    int m_scan = 0; // the next registry position to look at
    int m_applied = 0;
    bool m_stopped = false;
    std::vector<std::shared_ptr<Read>> m_pending; // started, not yet delivered
    std::vector<std::shared_ptr<Read>> m_running; // may still run (the destructor waits)
};
