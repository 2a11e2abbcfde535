#include "session/idleprocessor.h"
#include "entries/entrystore.h"

#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "imaging/libgfl.h"
#include "imaging/stereofile.h"
#include "imaging/stereoviewpart.h"
#include "pairing/ordering.h"
#include "pairing/sorting.h"
#include "session/shotloading.h"
#include "session/sortaction.h"

#include <QFileInfo>
#include <QThreadPool>

#include <algorithm>
#include <limits>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace {

// Clears a flag when it goes out of scope, also when an error interrupts the work.
class FlagGuard
{
public:
    explicit FlagGuard(bool &flag) : m_flag(flag) { m_flag = true; }
    ~FlagGuard() { m_flag = false; }
    FlagGuard(const FlagGuard &) = delete;
    FlagGuard &operator=(const FlagGuard &) = delete;

private:
    bool &m_flag;
};

// Counts a nestable state up for its lifetime.
class CountGuard
{
public:
    explicit CountGuard(int &count) : m_count(count) { ++m_count; }
    ~CountGuard() { --m_count; }
    CountGuard(const CountGuard &) = delete;
    CountGuard &operator=(const CountGuard &) = delete;

private:
    int &m_count;
};

} // namespace

TIdleProcessor::TIdleProcessor(ListRowModel &left, ListRowModel &right, TLoadingView &view,
                               QThreadPool *pool, QObject *parent)
    : QObject(parent), m_left(left), m_right(right), m_view(view),
      m_reads(left.Store().Registry, pool, LibraryMetadataReader(&Gfl())),
      m_thumbs(left, right, pool)
{
    m_thumbs.SetReadFunction(LibraryThumbnailReader(&Gfl()));
    connect(&m_thumbs, &TThumbnailFill::thumbnailApplied, this, &TIdleProcessor::thumbnailArrived);
    connect(&m_thumbs, &TThumbnailFill::finished, this, &TIdleProcessor::thumbnailsFinished);
    connect(&m_thumbs, &TThumbnailFill::outOfMemory, this, [this] {
        // The lists are complete; only the remaining thumbnails are not read.
        m_view.ReportOutOfMemory(OutOfMemoryMessage(m_thumbs.Applied(), m_thumbsTotal));
        thumbnailsFinished();
    });
    // Metadata reads are short next to handing a result over between threads: many in
    // flight keep the user interface thread from waiting for each one.
    m_readAheadLimit = std::max(32, 8 * m_reads.Pool()->maxThreadCount());
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(0);
    connect(&m_idleTimer, &QTimer::timeout, this, &TIdleProcessor::IdleProcess);
}

TIdleProcessor::~TIdleProcessor() = default;

void TIdleProcessor::SetOrdering(TOrderingPass *pass, TMainWindowState *state)
{
    m_ordering = pass;
    m_state = state;
}

void TIdleProcessor::SetReadFunction(ImageReadFunction read)
{
    m_reads.SetReadFunction(std::move(read));
}

void TIdleProcessor::SetThumbnailReadFunction(ThumbnailReadFunction read)
{
    if (m_thumbnailsWanted)
        m_thumbs.SetReadFunction(std::move(read));
}

void TIdleProcessor::SetThumbnailsWanted(bool wanted)
{
    m_thumbnailsWanted = wanted;
    m_thumbs.SetReadFunction(wanted ? LibraryThumbnailReader(&Gfl()) : ThumbnailReadFunction());
}

void TIdleProcessor::SetReadAheadLimit(int limit)
{
    m_readAheadLimit = std::max(1, limit);
}

void TIdleProcessor::SetRefreshPending()
{
    m_refreshPending = true;
    ScheduleIdle();
}

// ---- Loading ----

TDatensatz *TIdleProcessor::AddFile(const QString &path, ListRowModel &target,
                                    const NewEntryDefaults &defaults)
{
    // A regular file (or a link to one). Anything else would block or fail the reader.
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return nullptr;

    if (TDatensatz *view = addStereoFile(path, defaults))
        return view;
    const QString name = info.fileName().toUpper();
    ListRowModel *list = &target;
    if (name.contains(QLatin1String("_L.")))
        list = &m_left;
    else if (name.contains(QLatin1String("_R.")))
        list = &m_right;
    ListRowModel &other = list == &m_left ? m_right : m_left;

    const auto side = static_cast<TDsSide>(list->Side());
    // Start number + rows before the new one - 1 (the spin edits have no limits, so the sum
    // is taken in 64 bits and wraps like the counter field does).
    const qint64 number = qint64(m_left.Store().Naming.StartNumber) + list->Count() - 1;
    TDatensatz *entry = AppendEntry(*list, static_cast<qint32>(number), path, side,
                                    {.Invert = defaults.Invert,
                                     .Rotation = defaults.RotationOf(side),
                                     .Mirror = defaults.MirrorOf(side),
                                     .Batch = defaults.BatchOf(side)});
    m_idleIndex = 0;
    m_scanIndex = 0;
    m_orderingDue = true;

    TDatensatz *gap = CreateGap(other);
    gap->SetSortTime(entry->SortTime());
    gap->SetNumber(gap->RowIndex());
    LinkBothWays(entry, gap);
    ScheduleIdle();
    return entry;
}

namespace {

// Names under which stereo cameras' files come: a JPEG extension, or ".mpo", ".jps".
bool mayBeStereoFile(const QString &path)
{
    const QString suffix = PathExtension(path).toLower();
    return suffix == QLatin1String(".jpg") || suffix == QLatin1String(".jpeg") ||
           suffix == QLatin1String(".mpo") || suffix == QLatin1String(".jps");
}

// A file that says it holds two views but cannot be split into them (rather than an
// ordinary multi-picture file: a phone's gain map, a large thumbnail).
bool damagedStereoFile(const TStereoFile &file)
{
    if (file.problem.isEmpty())
        return false;
    if (!file.index.present)
        return false;
    int views = 0;
    for (const TMpImage &image : file.index.images)
        views += image.type() == 0x020002;
    return views >= 2 || file.index.images.isEmpty();
}

} // namespace

TDatensatz *TIdleProcessor::addStereoFile(const QString &path, const NewEntryDefaults &defaults)
{
    if (!mayBeStereoFile(path))
        return nullptr;
    const TStereoFile stereo = ReadStereoFile(path);
    if (!stereo.isStereo()) {
        if (damagedStereoFile(stereo) || (IsJpsFileName(path) && !stereo.problem.isEmpty()))
            m_damagedStereo << path + QStringLiteral(" (") + stereo.problem + u')';
        return nullptr;
    }
    // View 1 on the left, view 2 on the right, already one pair. Each view turns by its
    // own EXIF orientation: the rotation presets are for the cameras of a twin rig.
    const qint64 number =
        qint64(m_left.Store().Naming.StartNumber) + std::max(m_left.Count(), m_right.Count()) - 1;
    TDatensatz *views[2] = {};
    for (int v = 0; v < 2; ++v) {
        ListRowModel &list = v == 0 ? m_left : m_right;
        const TDsSide side = v == 0 ? dsLeft : dsRight;
        const TPicturePart part = StereoViewPart(stereo, v + 1);
        views[v] =
            AppendEntry(list, static_cast<qint32>(number), path, side,
                        {.Invert = defaults.Invert, .Batch = defaults.BatchOf(side), .Part = part});
    }
    LinkBothWays(views[0], views[1]);
    for (TDatensatz *view : views) {
        view->SetAttribute(daStereoPair);
        view->SetNewName(views[0]->NewName());
    }
    m_idleIndex = 0;
    m_scanIndex = 0;
    m_orderingDue = true;
    ScheduleIdle();
    return views[0];
}

int TIdleProcessor::LoadFiles(const QStringList &paths, ListRowModel &target, LoadSource source,
                              const NewEntryDefaults &defaults)
{
    QStringList unaddressable;
    const std::vector<TShot> shots = GroupShots(
        ExpandDroppedPaths(paths, ReadableImageExtensions(GflAvailable(), GflFileFilter()),
                           &unaddressable),
        defaults.KeepShotsTogether);
    const int count = int(std::min<size_t>(shots.size(), std::numeric_limits<int>::max()));

    m_view.SetSortActionEnabled(false);
    m_view.SetSortingActionsEnabled(false);
    m_view.SetOpenActionsEnabled(false);
    m_view.SetBatchJobEnabled(false);
    m_view.SetListsVisible(false);
    m_view.SetStatusText(StatusAddingFiles());
    m_view.SetProgressMaximum(source == LoadSource::OpenDialog ? std::max(0, count - 1) : count);
    int added = 0;
    QString outOfMemory;
    {
        // An idle pass due now waits until the files are in: run inside this handler it
        // would read and enable actions while the lists are half filled.
        CountGuard adding(m_adding);
        if (source == LoadSource::Drop)
            m_view.LetEventsThrough();
        // Row texts are signalled once per list at the end instead of once per row.
        ListUpdateGuard leftUpdate(&m_left);
        ListUpdateGuard rightUpdate(&m_right);
        // Pictures of a shot already in the list (a RAW dropped after its JPEG) join it.
        const QHash<QString, TDatensatz *> loaded =
            defaults.KeepShotsTogether ? LoadedShots(target) : QHash<QString, TDatensatz *>();
        try {
            for (int i = 0; i < count; ++i) {
                if (i % 5 == 0)
                    m_view.SetProgressPosition(i);
                if (JoinLoadedShot(loaded, shots[i]))
                    continue;
                if (AddShot(*this, shots[i], target, defaults))
                    ++added;
            }
        } catch (const std::bad_alloc &) {
            // The files added so far stay and are read; the rest is not added.
            outOfMemory = OutOfMemoryMessage(added, count);
        }
    }

    m_view.SetSortActionEnabled(true);
    m_view.SetOpenActionsEnabled(true);
    m_view.SetListsVisible(true);
    ScheduleIdle();
    if (!unaddressable.isEmpty())
        m_view.ReportLoadingProblem(UnaddressableFilesMessage(), unaddressable);
    if (!outOfMemory.isEmpty())
        m_view.ReportOutOfMemory(outOfMemory);
    return added;
}

// ---- Idle processing ----

void TIdleProcessor::ScheduleIdle()
{
    if (!m_idleTimer.isActive())
        m_idleTimer.start();
}

bool TIdleProcessor::IsIdle() const
{
    return !m_inPass && m_adding == 0 && !m_idleTimer.isActive() && !m_refreshPending &&
           MetadataRead() && !m_thumbsRestartDue && m_thumbs.Done();
}

bool TIdleProcessor::MetadataRead() const
{
    return m_left.Store().Registry.At(m_idleIndex) == nullptr;
}

void TIdleProcessor::IdleProcess()
{
    if (m_inPass || m_adding > 0 || m_held > 0) {
        // Called from an event let through by the running pass, while files are being added
        // or while "Remove all items" asks: that work goes on, and another pass follows.
        m_passRequested = true;
        return;
    }
    {
        FlagGuard inPass(m_inPass);
        try {
            readLoop();
        } catch (const std::bad_alloc &) {
            stopForMemory();
        }
        reportProblems();
        updateEnabling();
        if (m_refreshPending) {
            RefreshAllEntries(m_left.Store().Registry);
            m_refreshPending = false;
        }
        fillThumbnails();
        updateStatus();
        m_view.IdlePreviews();
    }
    const bool unread = !MetadataRead();
    if (m_passRequested || unread) {
        m_passRequested = false;
        ScheduleIdle();
    }
    if (!unread && m_left.Store().Registry.Count() > 0) {
        Q_EMIT ready();
        signalThumbnailsDone();
    }
}

void TIdleProcessor::signalThumbnailsDone()
{
    if (m_thumbnailsDoneSignalled || !MetadataRead() || m_thumbsRestartDue || !m_thumbs.Done() ||
        m_left.Store().Registry.Count() == 0)
        return;
    m_thumbnailsDoneSignalled = true;
    Q_EMIT thumbnailsDone();
}

void TIdleProcessor::fillThumbnails()
{
    // Only once every picture's metadata is in and the lists are ordered: the thumbnails
    // must not hold up the sorted lists.
    if (!MetadataRead())
        return;
    if (m_thumbsRestartDue) {
        m_thumbsRestartDue = false;
        m_thumbnailsDoneSignalled = false;
        m_thumbs.Restart();
        m_thumbsTotal = 0;
        for (const TDatensatz *e : m_left.Store().Registry.Entries())
            m_thumbsTotal += TThumbnailFill::NeedsThumbnail(e) ? 1 : 0;
    }
    m_thumbs.Fill();
}

void TIdleProcessor::thumbnailArrived(TDatensatz *entry)
{
    // A selected picture (or the partner of one) shows its thumbnail in the preview.
    const TDatensatz *partner = entry->Partner();
    const bool shown = (entry->Item() && entry->Item()->Selected()) ||
                       (partner && partner->Item() && partner->Item()->Selected());
    if (shown) {
        m_view.MarkPreviewsDirty();
        ScheduleIdle();
    }
    if (m_inPass || m_adding > 0 || m_held > 0)
        return; // the pass (or the one that follows) goes on from here
    fillThumbnails();
    // The status follows every 15th picture, as while the metadata is read.
    if (m_thumbs.Applied() % 15 == 0)
        updateStatus();
}

void TIdleProcessor::thumbnailsFinished()
{
    if (m_inPass || m_adding > 0 || m_held > 0)
        return;
    fillThumbnails();
    updateStatus();
    signalThumbnailsDone();
}

void TIdleProcessor::readLoop()
{
    const TDatensatzList &registry = m_left.Store().Registry;
    for (;;) {
        TDatensatz *entry = registry.At(m_idleIndex);
        if (!entry) {
            // Deleting entries before IdleIndex moves the later ones down, so an entry can
            // slip behind the walk; the walk takes it up before declaring the lists read.
            const int unread = firstUnreadEntry();
            if (unread < 0)
                break;
            m_idleIndex = unread;
            m_scanIndex = 0;
            continue;
        }
        if (m_idleIndex % 15 == 0) {
            const int index = m_idleIndex;
            if (!letEventsThrough(entry, index))
                return; // the entry has gone: stop here, the next pass goes on
            if (m_idleIndex != index || registry.At(m_idleIndex) != entry)
                continue; // files were added or rows deleted meanwhile
        }
        switch (loadEntry(entry)) {
        case Step::EntryGone:
            return;
        case Step::IndexMoved:
            continue;
        case Step::Vanished:
            // Left out, with its new gap: a file-less entry would pair as a picture taken
            // at no time. The next entry moves up to IdleIndex.
            m_vanished << entry->SourcePath();
            dropEntries({entry});
            m_orderingDue = true;
            continue;
        case Step::Applied:
            break;
        }
        TDatensatz *partner = entry->Partner();
        if (partner && partner->Attribute() == daGapNew) {
            partner->SetGapTime(entry->CaptureTime());
            partner->SetAttribute(daGap);
        }
        m_orderingDue = true;
        ++m_idleIndex;
    }
    if (m_orderingDue) {
        m_orderingDue = false;
        m_thumbsRestartDue = true;
        runOrdering();
    }
}

bool TIdleProcessor::letEventsThrough(TDatensatz *entry, int index)
{
    const int count = m_left.Store().Registry.Count();
    m_view.SetProgressMaximum(count);
    m_view.SetProgressPosition(index);
    m_view.SetStatusText(StatusReadingMetadata(index, count));
    m_view.LetEventsThrough();
    return m_left.Store().Registry.Contains(entry);
}

TIdleProcessor::Step TIdleProcessor::loadEntry(TDatensatz *entry)
{
    const TDatensatzList &registry = m_left.Store().Registry;
    const int index = m_idleIndex;
    startReadsAhead();
    while (TReadAhead::NeedsRead(entry)) {
        const TReadAhead::ReadPtr read = m_reads.ReadFor(entry);
        if (!read)
            break;
        // Wait in short slices; between them the window gets its events.
        while (!read->WaitFor(m_waitSlice)) {
            m_view.LetEventsThrough();
            if (!registry.Contains(entry))
                return Step::EntryGone;
            if (m_idleIndex != index || registry.At(index) != entry)
                return Step::IndexMoved;
            startReadsAhead();
        }
        // A read that no longer fits (the entry changed its file meanwhile) is dropped and
        // the loop starts the right one.
        m_reads.Apply(entry, read);
    }
    const bool fresh = !entry->MetaLoaded();
    entry->LoadMetadata();
    if (fresh && entry->OrgBild()->Missing && !entry->SourcePath().isEmpty())
        return Step::Vanished;
    return Step::Applied;
}

void TIdleProcessor::dropEntries(const std::vector<TDatensatz *> &entries)
{
    // Each entry goes with its gap; both lists lose their rows in one sweep each.
    std::unordered_set<const TDatensatz *> doomed;
    for (TDatensatz *e : entries) {
        doomed.insert(e);
        if (TDatensatz *partner = e->Partner(); partner && IsGapAttribute(partner->Attribute()))
            doomed.insert(partner);
    }
    for (ListRowModel *list : {&m_left, &m_right})
        list->DeleteRowsIf([&doomed](const ListRow &row) { return doomed.count(row.Data()) != 0; });
}

void TIdleProcessor::stopForMemory()
{
    // What is read stays; the rest is left out, so that the lists can be ordered and paired
    // and the memory of the unread entries comes back.
    m_reads.Clear();
    m_thumbs.Stop();
    int loaded = 0;
    std::vector<TDatensatz *> unread;
    for (TDatensatz *e : m_left.Store().Registry.Entries()) {
        if (e->SourcePath().isEmpty())
            continue;
        if (e->MetaLoaded())
            ++loaded;
        else
            unread.push_back(e);
    }
    const QString message = OutOfMemoryMessage(loaded, loaded + int(unread.size()));
    try {
        dropEntries(unread);
    } catch (const std::bad_alloc &) {
        // Not even the sweep fits: the entries stay unread; the message still goes out.
    }
    m_idleIndex = m_left.Store().Registry.Count();
    m_scanIndex = 0;
    m_orderingDue = false;
    try {
        runOrdering();
    } catch (const std::bad_alloc &) {
    }
    m_view.ReportOutOfMemory(message);
}

void TIdleProcessor::reportProblems()
{
    if (!m_damagedStereo.isEmpty())
        m_view.ReportLoadingProblem(DamagedStereoFilesMessage(),
                                    std::exchange(m_damagedStereo, {}));
    if (m_vanished.isEmpty())
        return;
    const QStringList files = std::exchange(m_vanished, {});
    m_view.ReportLoadingProblem(VanishedFilesMessage(), files);
}

void TIdleProcessor::startReadsAhead()
{
    const TDatensatzList &registry = m_left.Store().Registry;
    m_reads.Prune();
    int k = std::max(m_scanIndex, m_idleIndex);
    while (m_reads.Pending() < m_readAheadLimit) {
        TDatensatz *entry = registry.At(k);
        if (!entry)
            break;
        m_reads.Start(entry);
        ++k;
    }
    m_scanIndex = k;
}

int TIdleProcessor::firstUnreadEntry() const
{
    const TDatensatzList &registry = m_left.Store().Registry;
    if (registry.Registrations() == m_allReadAt)
        return -1;
    for (int i = 0; i < registry.Count(); ++i) {
        if (!registry.At(i)->MetaLoaded())
            return i;
    }
    m_allReadAt = registry.Registrations();
    return -1;
}

void TIdleProcessor::runOrdering()
{
    if (m_ordering)
        ActionSortExecute(*m_ordering, m_state);
}

void TIdleProcessor::updateEnabling()
{
    const TDatensatzList &registry = m_left.Store().Registry;
    const bool any = registry.Count() > 0;
    const bool allRead = registry.At(m_idleIndex) == nullptr;
    m_view.SetSortingActionsEnabled(allRead && any);
    m_view.SetSortingRadioButtonsEnabled(allRead && any);
    // The job must not start on half-read data: an unread file has size 0 for the space
    // check and no capture time for the job's order.
    m_view.SetBatchJobEnabled(allRead && any);
}

void TIdleProcessor::updateStatus()
{
    const TDatensatzList &registry = m_left.Store().Registry;
    const int count = registry.Count();
    if (count == 0) {
        m_view.SetProgressMaximum(NoDataProgressMaximum);
        m_view.SetProgressPosition(0);
        m_view.SetStatusText(QLatin1String(StatusNoData));
    } else if (registry.At(m_idleIndex)) {
        m_view.SetProgressMaximum(count);
        m_view.SetProgressPosition(std::min(m_idleIndex, count));
        m_view.SetStatusText(QLatin1String(StatusReadingData));
    } else if (m_thumbsRestartDue || !m_thumbs.Done()) {
        // The lists are complete and can be worked with; the progress bar follows the
        // thumbnails still coming.
        const int total = std::max(m_thumbsTotal, m_thumbs.Applied());
        m_view.SetProgressMaximum(std::max(1, total));
        m_view.SetProgressPosition(m_thumbs.Applied());
        m_view.SetStatusText(QLatin1String(StatusReady));
    } else {
        m_view.SetProgressMaximum(count);
        m_view.SetProgressToMaximum();
        m_view.SetStatusText(QLatin1String(StatusReady));
    }
}

// ---- Clearing and the batch job ----

bool TIdleProcessor::RemoveAllItems(const std::function<int(const QString &)> &ask)
{
    // An ordering pass lets events through while it holds the entries it works on; freeing
    // them under it is not an option. The click is ignored.
    if (m_ordering && m_ordering->IsRunning())
        return false;
    // IdleIndex beyond the end and the pass held off while the question is open.
    m_idleIndex = std::numeric_limits<int>::max();
    bool removed = false;
    {
        CountGuard held(m_held);
        const int answer = ask ? ask(RemoveAllQuestion()) : DlgAnswerNo;
        if (answer == DlgAnswerYes) {
            m_reads.Clear();
            m_thumbs.Clear();
            m_left.Clear();
            m_right.Clear();
            m_view.MarkPreviewsDirty();
            m_left.Store().Registry.FreeAll();
            if (TImageList *images = m_left.SmallImages())
                ClearThumbnails(m_left.Store(), *images);
            if (TImageList *images = m_right.SmallImages();
                images && images != m_left.SmallImages())
                ClearThumbnails(m_left.Store(), *images);
            removed = true;
        }
    }
    m_view.SetSortingActionsEnabled(false);
    m_view.SetBatchJobEnabled(false);
    m_idleIndex = 0;
    m_scanIndex = 0;
    ScheduleIdle();
    return removed;
}

void TIdleProcessor::Resume()
{
    if (m_held > 0)
        --m_held;
    ScheduleIdle();
}

bool TIdleProcessor::PrepareBatchJob(TDatensatzList &registry)
{
    if (registry.Count() == 0)
        return false;
    // Two entries "at the same time" (within a millisecond) are not an equivalence, so the
    // order is found with the stable merge sort made for it and then handed to the registry
    // as plain ranks, which any sort handles.
    std::vector<TDatensatz *> order = registry.Entries();
    SortChronologically(order);
    std::unordered_map<const TDatensatz *, int> rank;
    rank.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        rank.emplace(order[i], int(i));
    registry.Sort(
        [&rank](const TDatensatz *a, const TDatensatz *b) { return rank.at(a) - rank.at(b); });
    return true;
}
