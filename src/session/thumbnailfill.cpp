#include "session/thumbnailfill.h"
#include "entries/entrystore.h"

#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listrows.h"

#include <QThreadPool>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>

namespace {

} // namespace

struct TThumbnailFill::Read
{
    TDatensatz *entry = nullptr;  // checked against DatensatzList before use
    TDsOrgBild *holder = nullptr; // compared only; dereferenced through a live entry
    QString path;
    TPicturePart part;
    TJPEGData current;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool outOfMemory = false;
    ImageDataResult result;
};

ThumbnailReadFunction LibraryThumbnailReader(const TGflLibrary *gfl)
{
    return [gfl](const QString &path, const TPicturePart &part, const TJPEGData &current) {
        return readImageThumbnail(path, current, gfl, part);
    };
}

TThumbnailFill::TThumbnailFill(ListRowModel &left, ListRowModel &right, QThreadPool *pool,
                               QObject *parent)
    : QObject(parent), m_left(left), m_right(right),
      m_pool(pool ? pool : QThreadPool::globalInstance())
{
    m_limit = std::max(2, 2 * m_pool->maxThreadCount());
}

TThumbnailFill::~TThumbnailFill()
{
    for (const std::shared_ptr<Read> &read : m_running) {
        std::unique_lock lock(read->mutex);
        read->finished.wait(lock, [&read] { return read->done; });
    }
}

void TThumbnailFill::SetLimit(int limit)
{
    m_limit = std::max(1, limit);
}

bool TThumbnailFill::NeedsThumbnail(const TDatensatz *entry)
{
    if (!entry || !entry->MetaLoaded())
        return false;
    const TDsOrgBild *holder = entry->OrgBild();
    return holder->Loaded && !holder->ThumbnailLoaded &&
           !holder->GetPath(entry->PathIndex()).isEmpty();
}

bool TThumbnailFill::pendingFor(const TDsOrgBild *holder) const
{
    return std::any_of(m_pending.begin(), m_pending.end(),
                       [holder](const std::shared_ptr<Read> &r) { return r->holder == holder; });
}

TDatensatz *TThumbnailFill::nextVisible() const
{
    for (const ListRowModel *list : {&m_left, &m_right}) {
        // The rows on screen and one screen above and below: a short scroll finds its
        // icons ready.
        const int page = std::max(1, list->VisibleRowCount());
        const int first = std::max(0, list->TopRow() - page);
        const int last = std::min(list->Count() - 1, list->TopRow() + 2 * page - 1);
        for (int r = first; r <= last; ++r) {
            TDatensatz *entry = list->EntryAt(r);
            if (NeedsThumbnail(entry) && !pendingFor(entry->OrgBild()))
                return entry;
        }
    }
    return nullptr;
}

TDatensatz *TThumbnailFill::nextInRegistry()
{
    const TDatensatzList &registry = m_left.Store().Registry;
    while (TDatensatz *entry = registry.At(m_scan)) {
        ++m_scan;
        if (NeedsThumbnail(entry) && !pendingFor(entry->OrgBild()))
            return entry;
    }
    return nullptr;
}

void TThumbnailFill::Fill()
{
    if (m_stopped || !m_read)
        return;
    while (Pending() < m_limit) {
        TDatensatz *entry = nextVisible();
        if (!entry)
            entry = nextInRegistry();
        if (!entry || !start(entry))
            break;
    }
}

void TThumbnailFill::Restart()
{
    m_scan = 0;
    m_applied = 0;
    m_stopped = false;
}

void TThumbnailFill::Clear()
{
    m_pending.clear();
    m_scan = 0;
}

bool TThumbnailFill::Done() const
{
    if (!m_pending.empty())
        return false;
    if (m_stopped || !m_read)
        return true;
    return !m_left.Store().Registry.At(m_scan) && !nextVisible();
}

bool TThumbnailFill::start(TDatensatz *entry)
{
    auto read = std::make_shared<Read>();
    read->entry = entry;
    read->holder = entry->OrgBild();
    read->path = entry->SourcePath();
    read->part = entry->OrgBild()->Part;
    read->current = entry->OrgBild()->JpegData;
    m_running.erase(std::remove_if(m_running.begin(), m_running.end(),
                                   [](const std::shared_ptr<Read> &r) {
                                       std::lock_guard lock(r->mutex);
                                       return r->done;
                                   }),
                    m_running.end());
    m_pending.push_back(read);
    m_running.push_back(read);
    m_pool->start([this, read, readFile = m_read] {
        ImageDataResult result;
        bool outOfMemory = false;
        try {
            result = readFile(read->path, read->part, read->current);
        } catch (const std::bad_alloc &) {
            outOfMemory = true;
        } catch (...) {
            // A picture that cannot be read gets no thumbnail, as a failed decode.
            result = ImageDataResult();
            result.thumbnailRead = true;
        }
        {
            std::lock_guard lock(read->mutex);
            read->result = std::move(result);
            read->outOfMemory = outOfMemory;
        }
        // Handed to the user interface thread (dropped if this object is gone by then).
        // Posted before the read counts as done: the destructor waits for that, so this
        // object is alive while the result is posted.
        QMetaObject::invokeMethod(
            this, [this, read] { deliver(read); }, Qt::QueuedConnection);
        {
            std::lock_guard lock(read->mutex);
            read->done = true;
        }
        read->finished.notify_all();
    });
    return true;
}

void TThumbnailFill::deliver(const std::shared_ptr<Read> &read)
{
    const auto it = std::find(m_pending.begin(), m_pending.end(), read);
    if (it == m_pending.end())
        return; // cleared meanwhile
    m_pending.erase(it);
    if (read->outOfMemory) {
        m_stopped = true;
        Q_EMIT outOfMemory();
        return;
    }
    TDatensatz *entry = read->entry;
    const TDatensatzList &registry = m_left.Store().Registry;
    if (registry.Contains(entry) && entry->OrgBild() == read->holder &&
        !read->holder->ThumbnailLoaded && entry->SourcePath() == read->path) {
        {
            std::lock_guard lock(read->mutex);
            read->holder->applyThumbnail(read->result);
            read->result = ImageDataResult();
        }
        ++m_applied;
        entry->RefreshThumbnail();
        // The same file may stand in more rows (both lists); those show it too.
        if (read->holder->RefCount > 1) {
            for (TDatensatz *other : registry.Entries())
                if (other != entry && other->OrgBild() == read->holder)
                    other->RefreshThumbnail();
        }
        Q_EMIT thumbnailApplied(entry);
    }
    if (m_pending.empty() && Done())
        Q_EMIT finished();
}
