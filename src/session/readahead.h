#pragma once
// Reading image files ahead of the idle processing on a thread pool.
//
// Reading a file's metadata and thumbnail (readImageData) is pure and thread-safe; storing
// the result in the file's holder is not. TReadAhead starts the reads of the entries that
// the idle processing will reach next on a pool and hands each result back on the user
// interface thread, where the idle processing applies it when the entry's turn comes.
//
// A read belongs to an entry, its holder and the holder's path at the time it started. A
// result is applied only when the entry is still registered in DatensatzList, still uses
// that holder, the holder still knows the file under that path and has not loaded meanwhile;
// otherwise it is dropped. Reads are never cancelled: a read whose entry has gone runs to its
// end and its result is thrown away. The destructor waits for the reads still running,
// because they may use the imaging library, which is released after the window.
#include "imaging/dsorgbild.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QThreadPool;
class TDatensatz;
class TDatensatzList;
class TGflLibrary;

// Reads the metadata and thumbnail of the file at path (or of its view part) starting from
// the holder's record current. Called on pool threads, several at once.
using ImageReadFunction = std::function<ImageDataResult(
    const QString &path, const TPicturePart &part, const TJPEGData &current)>;

// readImageData with the given library (null or unavailable: JPEG-only mode).
ImageReadFunction LibraryImageReader(const TGflLibrary *gfl);
// The metadata record only (readImageMetadata), no thumbnail: for work without a window.
ImageReadFunction LibraryMetadataReader(const TGflLibrary *gfl);

class TReadAhead
{
public:
    // One read: started on the pool, finished when Done().
    class Read
    {
    public:
        bool Done() const;
        // Waits at most timeout for the read to finish; true when it has.
        bool WaitFor(std::chrono::milliseconds timeout) const;

    private:
        friend class TReadAhead;
        TDatensatz *m_entry = nullptr;  // the entry that asked; checked against DatensatzList
        TDsOrgBild *m_holder = nullptr; // compared only; dereferenced through a live entry
        QString m_path;
        TPicturePart m_part;
        TJPEGData m_current;
        mutable std::mutex m_mutex;
        mutable std::condition_variable m_finished;
        bool m_done = false;
        bool m_outOfMemory = false; // the read ran out of memory
        ImageDataResult m_result;
    };
    using ReadPtr = std::shared_ptr<Read>;

    // pool null: QThreadPool::globalInstance(). read: the reading function (it must be
    // thread-safe).
    // registry: the session's entries; a result for an entry that has left it is dropped.
    TReadAhead(const TDatensatzList &registry, QThreadPool *pool, ImageReadFunction read);
    ~TReadAhead();
    TReadAhead(const TReadAhead &) = delete;
    TReadAhead &operator=(const TReadAhead &) = delete;

    void SetReadFunction(ImageReadFunction read) { m_read = std::move(read); }
    QThreadPool *Pool() const { return m_pool; }

    // True when entry is an image (a non-empty path) whose holder has not loaded yet.
    static bool NeedsRead(const TDatensatz *entry);

    // Number of reads started and neither applied nor dropped.
    int Pending() const { return int(m_pending.size()); }
    // Starts a read for entry unless it needs none or one is pending for its holder and
    // path. True when a read was started.
    bool Start(TDatensatz *entry);
    // The pending read for entry's holder and path, started now when there is none; null
    // when the entry needs no read.
    ReadPtr ReadFor(TDatensatz *entry);
    // Stores the finished read's result in entry's holder when the read still fits it (see
    // above) and forgets the read. True when applied. A read that ran out of memory throws
    // std::bad_alloc here, on the user interface thread, where the loading handles it.
    bool Apply(TDatensatz *entry, const ReadPtr &read);
    // Forgets the pending reads whose entries have gone or no longer need them.
    void Prune();
    // Forgets every pending read (their results will be dropped).
    void Clear();

private:
    ReadPtr find(const TDatensatz *entry, const QString &path) const;
    void forget(const ReadPtr &read);
    void start(const ReadPtr &read);

    const TDatensatzList &m_registry;
    QThreadPool *m_pool;
    ImageReadFunction m_read;
    std::vector<ReadPtr> m_pending; // started, not yet applied or dropped
    std::vector<ReadPtr> m_running; // every read that may still run (the destructor waits)
};
