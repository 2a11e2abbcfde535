#include "session/readahead.h"

#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "imaging/libgfl.h"

#include <QThreadPool>

#include <algorithm>
#include <new>

ImageReadFunction LibraryImageReader(const TGflLibrary *gfl)
{
    return [gfl](const QString &path, const TPicturePart &part, const TJPEGData &current) {
        return readImageData(path, current, gfl, part);
    };
}

ImageReadFunction LibraryMetadataReader(const TGflLibrary *gfl)
{
    return [gfl](const QString &path, const TPicturePart &part, const TJPEGData &current) {
        ImageDataResult result;
        result.jpegData = readImageMetadata(path, current, gfl, &result.fileMissing, nullptr, part);
        return result;
    };
}

bool TReadAhead::Read::Done() const
{
    std::lock_guard lock(m_mutex);
    return m_done;
}

bool TReadAhead::Read::WaitFor(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_finished.wait_for(lock, timeout, [this] { return m_done; });
}

TReadAhead::TReadAhead(const TDatensatzList &registry, QThreadPool *pool, ImageReadFunction read)
    : m_registry(registry), m_pool(pool ? pool : QThreadPool::globalInstance()),
      m_read(std::move(read))
{
}

TReadAhead::~TReadAhead()
{
    for (const ReadPtr &read : m_running) {
        std::unique_lock lock(read->m_mutex);
        read->m_finished.wait(lock, [&read] { return read->m_done; });
    }
}

bool TReadAhead::NeedsRead(const TDatensatz *entry)
{
    if (!entry)
        return false;
    const TDsOrgBild *holder = entry->OrgBild();
    return !holder->Loaded && !holder->GetPath(entry->PathIndex()).isEmpty();
}

TReadAhead::ReadPtr TReadAhead::find(const TDatensatz *entry, const QString &path) const
{
    for (const ReadPtr &read : m_pending) {
        if (read->m_holder == entry->OrgBild() && read->m_path == path)
            return read;
    }
    return nullptr;
}

bool TReadAhead::Start(TDatensatz *entry)
{
    if (!NeedsRead(entry))
        return false;
    const QString path = entry->SourcePath();
    if (find(entry, path))
        return false;
    auto read = std::make_shared<Read>();
    read->m_entry = entry;
    read->m_holder = entry->OrgBild();
    read->m_path = path;
    read->m_part = entry->OrgBild()->Part;
    read->m_current = entry->OrgBild()->JpegData;
    start(read);
    return true;
}

TReadAhead::ReadPtr TReadAhead::ReadFor(TDatensatz *entry)
{
    if (!NeedsRead(entry))
        return nullptr;
    if (ReadPtr read = find(entry, entry->SourcePath()))
        return read;
    Start(entry);
    return find(entry, entry->SourcePath());
}

void TReadAhead::start(const ReadPtr &read)
{
    // Reads that have finished no longer need waiting for.
    m_running.erase(std::remove_if(m_running.begin(), m_running.end(),
                                   [](const ReadPtr &r) { return r->Done(); }),
                    m_running.end());
    m_pending.push_back(read);
    m_running.push_back(read);
    m_pool->start([read, readFile = m_read] {
        ImageDataResult result;
        bool ok = false;
        bool outOfMemory = false;
        try {
            if (readFile) {
                result = readFile(read->m_path, read->m_part, read->m_current);
                ok = true;
            }
        } catch (const std::bad_alloc &) {
            outOfMemory = true;
        } catch (...) {
            // Loading failures are silent: the holder keeps its record and gets no thumbnail.
        }
        if (!ok) {
            result = ImageDataResult();
            result.jpegData = read->m_current;
        }
        {
            std::lock_guard lock(read->m_mutex);
            read->m_result = std::move(result);
            read->m_outOfMemory = outOfMemory;
            read->m_done = true;
        }
        read->m_finished.notify_all();
    });
}

bool TReadAhead::Apply(TDatensatz *entry, const ReadPtr &read)
{
    if (!read)
        return false;
    forget(read);
    if (!read->Done() || !entry || !m_registry.Contains(entry))
        return false;
    if (read->m_outOfMemory)
        throw std::bad_alloc();
    TDsOrgBild *holder = entry->OrgBild();
    if (holder != read->m_holder || holder->Loaded || entry->SourcePath() != read->m_path)
        return false;
    std::lock_guard lock(read->m_mutex);
    holder->applyImageData(read->m_result);
    read->m_result = ImageDataResult(); // the holder has its copy; free the thumbnail here
    return true;
}

void TReadAhead::forget(const ReadPtr &read)
{
    m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), read), m_pending.end());
}

void TReadAhead::Prune()
{
    const TDatensatzList &registry = m_registry;
    m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(),
                                   [&registry](const ReadPtr &read) {
                                       TDatensatz *entry = read->m_entry;
                                       return !registry.Contains(entry) ||
                                              entry->OrgBild() != read->m_holder ||
                                              !NeedsRead(entry) ||
                                              entry->SourcePath() != read->m_path;
                                   }),
                    m_pending.end());
}

void TReadAhead::Clear()
{
    m_pending.clear();
}
