#include "session/paircheckqueue.h"

#include "entries/datensatz.h"
#include "entries/datensatzlist.h"
#include "entries/entrystore.h"
#include "entries/listrows.h"

#include <algorithm>

struct TPairCheckQueue::Job
{
    TDatensatz *left = nullptr; // checked against the registry before use
    TPairKey key;
    TPairCheck result; // written on the pool before the job is posted back
    int generation = 0;
};

TPairCheckQueue::TPairCheckQueue(ListRowModel &left, ListRowModel &right, QObject *parent)
    : QObject(parent), m_left(left), m_right(right)
{
    LimitPairCheckThreads();
    m_pool.setThreadPriority(QThread::LowPriority);
    m_limit = std::max(1, m_pool.maxThreadCount());
    connectList(left);
    connectList(right);
}

TPairCheckQueue::~TPairCheckQueue()
{
    m_pool.clear();
    m_pool.waitForDone();
}

void TPairCheckQueue::connectList(ListRowModel &list)
{
    const auto outOfDate = [this] { m_outOfDate = true; };
    connect(&list, &ListRowModel::rowsInserted, this, outOfDate);
    connect(&list, &ListRowModel::rowsRemoved, this, outOfDate);
    connect(&list, &ListRowModel::modelReset, this, outOfDate);
    // Texts change with a new partner ("Attributes") and a turn (the icon).
    connect(&list, &ListRowModel::rowsChanged, this, outOfDate);
}

void TPairCheckQueue::SetLimit(int limit)
{
    m_limit = std::max(1, limit);
    m_pool.setMaxThreadCount(std::max(m_pool.maxThreadCount(), m_limit));
}

void TPairCheckQueue::Start()
{
    m_started = true;
    Fill();
}

void TPairCheckQueue::applyMark(TDatensatz *left, const TPairCheck *result)
{
    const TPairMark mark = result ? PairMarkOf(*result) : TPairMark::None;
    const QString reason = mark == TPairMark::None ? QString() : PairMarkReasonOf(*result);
    left->SetPairMark(mark, reason);
    if (TDatensatz *right = left->Partner())
        right->SetPairMark(mark, reason);
}

void TPairCheckQueue::Sync()
{
    if (!m_outOfDate)
        return;
    m_pairs = m_checked = m_suspect = 0;
    m_scan = 0;
    m_uncounted.clear();
    // Marks of entries that left a pair go first; the pairs then set theirs. Setting a mark
    // tells the rows, which would mark the queue out of date again.
    for (ListRowModel *list : {&m_left, &m_right})
        for (int r = 0; r < list->Count(); ++r) {
            TDatensatz *e = list->EntryAt(r);
            if (e && !StereoPairKeyOf(list == &m_left ? e : e->Partner()))
                e->SetPairMark(TPairMark::None, QString());
        }
    for (int r = 0; r < m_left.Count(); ++r) {
        TDatensatz *e = m_left.EntryAt(r);
        const std::optional<TPairKey> key = StereoPairKeyOf(e);
        if (!key)
            continue;
        ++m_pairs;
        const auto it = m_results.constFind(*key);
        const TPairCheck *result = it == m_results.cend() ? nullptr : &*it;
        applyMark(e, result);
        if (result) {
            ++m_checked;
            m_suspect += PairMarkOf(*result) != TPairMark::None;
        } else {
            m_uncounted.insert(*key);
        }
    }
    m_outOfDate = false;
}

std::optional<TPairKey> TPairCheckQueue::dueAt(int row) const
{
    std::optional<TPairKey> key = StereoPairKeyOf(m_left.EntryAt(row));
    if (key && (m_results.contains(*key) || m_inFlight.contains(*key)))
        return std::nullopt;
    return key;
}

bool TPairCheckQueue::startNext()
{
    // The rows on screen (and one screen below) first: what the user sees gets its marks.
    const int page = std::max(1, m_left.VisibleRowCount());
    const int first = std::max(0, m_left.TopRow());
    const int last = std::min(m_left.Count() - 1, first + 2 * page - 1);
    for (int r = first; r <= last; ++r)
        if (const std::optional<TPairKey> key = dueAt(r)) {
            start(r, *key);
            return true;
        }
    for (; m_scan < m_left.Count(); ++m_scan)
        if (const std::optional<TPairKey> key = dueAt(m_scan)) {
            start(m_scan++, *key);
            return true;
        }
    return false;
}

void TPairCheckQueue::Fill()
{
    if (!m_started)
        return;
    Sync();
    while (m_started && Running() < m_limit && startNext()) {
    }
}

void TPairCheckQueue::start(int row, const TPairKey &key)
{
    auto job = std::make_shared<Job>();
    job->left = m_left.EntryAt(row);
    job->key = key;
    job->generation = m_generation;
    m_inFlight.insert(key);
    if (m_jobs.empty() && !m_run.isValid()) {
        m_run.start();
        m_runChecks = 0;
    }
    m_jobs.push_back(job);
    m_pool.start([this, job, check = m_check] {
        job->result = check(job->key);
        // Handed to the user interface thread; the destructor waits for this task first.
        QMetaObject::invokeMethod(
            this, [this, job] { deliver(job); }, Qt::QueuedConnection);
    });
}

void TPairCheckQueue::deliver(const std::shared_ptr<Job> &job)
{
    m_jobs.erase(std::remove(m_jobs.begin(), m_jobs.end(), job), m_jobs.end());
    m_inFlight.remove(job->key);
    const bool valid = job->generation == m_generation;
    if (valid) {
        m_results.insert(job->key, job->result);
        ++m_runChecks;
    }
    // Applied only to the pair that was checked, if it is still in the rows as it was.
    TDatensatz *left = job->left;
    const bool current = valid && m_left.Store().Registry.Contains(left) &&
                         left->List() == &m_left && StereoPairKeyOf(left) == job->key;
    if (current && !m_outOfDate && m_uncounted.remove(job->key)) {
        applyMark(left, &job->result);
        // The marks' row signals said "out of date"; the counts follow here instead.
        m_outOfDate = false;
        ++m_checked;
        m_suspect += PairMarkOf(job->result) != TPairMark::None;
    } else if (current) {
        // The pair came after the last walk (a change the rows did not signal): walk again.
        m_outOfDate = true;
    }
    if (current)
        Q_EMIT pairChecked(left);
    Fill();
    if (m_jobs.empty()) {
        m_lastRun = {m_runChecks, m_run.elapsed()};
        m_run.invalidate();
        if (m_checked == m_pairs && m_pairs > 0)
            Q_EMIT finished();
    }
}

const TPairCheck *TPairCheckQueue::ResultFor(const TDatensatz *entry) const
{
    if (!entry)
        return nullptr;
    const TDatensatz *left = entry->List() == &m_right ? entry->Partner() : entry;
    const std::optional<TPairKey> key = StereoPairKeyOf(left);
    if (!key)
        return nullptr;
    const auto it = m_results.constFind(*key);
    return it == m_results.cend() ? nullptr : &*it;
}

QString TPairCheckQueue::StatusText() const
{
    if (m_checked == 0 && m_jobs.empty())
        return {};
    if (Done())
        return QStringLiteral("%1 pairs checked, %2 suspect").arg(m_checked).arg(m_suspect);
    return QStringLiteral("Checking pairs: %1 of %2, %3 suspect")
        .arg(m_checked)
        .arg(m_pairs)
        .arg(m_suspect);
}
