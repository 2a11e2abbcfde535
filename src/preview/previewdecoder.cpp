#include "preview/previewdecoder.h"

#include "imaging/picturedecode.h"
#include "preview/bitmapops.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QThread>

#include <algorithm>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Decoded files kept: the two pictures shown, the two decoded ahead, and some room for
// stepping back.
constexpr std::size_t CacheCapacity = 8;
// Requests for the rows shown go before decoding ahead.
constexpr int FitPriority = 5;
constexpr int RequestPriority = 10;
constexpr int PrefetchPriority = 0;

} // namespace

// The workers run a little below the user interface thread: when both want the processor
// the window gets it first and the decodes take the rest, so that stepping through the
// rows stays smooth on a busy machine. (A pool thread runs only its owner's work.)
void RunBelowInterface()
{
    thread_local bool lowered = false;
    if (!lowered) {
        lowered = true;
        ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 5);
    }
}

// One decoded (or decoding) file. Full and Denominator say what the picture covers.
struct TPreviewDecoder::CacheItem
{
    QString Path;
    TPicturePart Part;
    qint64 FileSize = 0;
    QDateTime Modified;
    bool Pending = true;
    QImage Picture; // null: the decode failed
    QSize Full;     // the picture's full size
    int Denominator = 1;
    quint64 LastUse = 0;
    std::vector<std::pair<TDecodeRequest, SourceCallback>> Waiters;

    bool Covers(const TDecodeRequest &request) const
    {
        if (Picture.isNull() || Full.isEmpty())
            return true; // a failed decode fails again
        return Denominator <= CoveringScaleDenominator(Full.width(), Full.height(),
                                                       request.Look.Rotation, request.Panel);
    }
};

TPreviewDecoder::SourceDecoder TPreviewDecoder::DefaultSourceDecoder(const TGflLibrary *gfl)
{
    return [gfl](const QString &path, const TPicturePart &part,
                 const std::function<int(int, int)> &choose) {
        return DecodePictureScaled(path, part, choose, gfl);
    };
}

TPreviewDecoder::TPreviewDecoder(const TGflLibrary *gfl, QObject *parent)
    : QObject(parent), m_decoder(DefaultSourceDecoder(gfl))
{
    m_pool.setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
    m_pool.setObjectName(QStringLiteral("PreviewDecoder"));
}

TPreviewDecoder::~TPreviewDecoder()
{
    m_current[0] = 0;
    m_current[1] = 0;
    for (auto &fit : m_currentFit)
        fit = 0;
    m_pool.clear();
    m_pool.waitForDone();
}

void TPreviewDecoder::SetSourceDecoder(SourceDecoder decoder)
{
    m_pool.waitForDone();
    m_decoder = std::move(decoder);
    std::lock_guard lock(m_mutex);
    m_items.clear();
}

quint64 TPreviewDecoder::Request(int side, const TDecodeRequest &request)
{
    if (side < 0 || side > 1)
        return 0;
    const quint64 ticket = ++m_nextTicket;
    m_current[side] = ticket;
    m_pool.start(
        [this, side, ticket, request] {
            RunBelowInterface();
            if (m_current[side] != ticket)
                return;
            withSource(request, [this, side, ticket, request](const QImage &source) {
                if (m_current[side] != ticket)
                    return;
                const QImage bitmap = AlignPicture(
                    BuildEntryBitmap(source, request.Look, request.Panel), request.Correction);
                if (bitmap.isNull()) {
                    deliver(side, ticket, {}, {});
                    return;
                }
                const QRect fit = FitRect(bitmap.size(), request.Panel);
                deliver(side, ticket, bitmap, ResampleLanczos(bitmap, fit.size()));
            });
        },
        RequestPriority);
    return ticket;
}

quint64 TPreviewDecoder::Fit(int slot, const QImage &bitmap, QSize panel)
{
    return fitOnWorker(
        slot, [bitmap] { return bitmap; }, panel);
}

quint64 TPreviewDecoder::ComposeAnaglyph(const QImage &left, const QImage &right, QSize panel,
                                         bool fit)
{
    return fitOnWorker(
        2, [left, right] { return ::ComposeAnaglyph(left, right); }, fit ? panel : QSize());
}

quint64 TPreviewDecoder::fitOnWorker(int slot, std::function<QImage()> make, QSize panel)
{
    if (slot < 0 || slot > 2)
        return 0;
    const quint64 ticket = ++m_nextTicket;
    m_currentFit[slot] = ticket;
    // Behind the decodes of current requests (a sharp picture makes its side's fit stale
    // before it runs), ahead of the files decoded in advance.
    m_pool.start(
        [this, slot, ticket, make = std::move(make), panel] {
            RunBelowInterface();
            if (m_currentFit[slot] != ticket)
                return;
            const QImage bitmap = make();
            QImage result;
            if (!panel.isEmpty() && !bitmap.isNull() && m_currentFit[slot] == ticket)
                result = ResampleLanczos(bitmap, FitRect(bitmap.size(), panel).size());
            QMetaObject::invokeMethod(
                this,
                [this, slot, ticket, bitmap, result] {
                    if (m_currentFit[slot] == ticket)
                        Q_EMIT fitted(slot, ticket, bitmap, result);
                },
                Qt::QueuedConnection);
        },
        FitPriority);
    return ticket;
}

void TPreviewDecoder::CancelFit(int slot)
{
    if (slot >= 0 && slot <= 2)
        m_currentFit[slot] = 0;
}

quint64 TPreviewDecoder::CurrentFit(int slot) const
{
    return slot >= 0 && slot <= 2 ? m_currentFit[slot].load() : 0;
}

void TPreviewDecoder::Cancel(int side)
{
    if (side >= 0 && side <= 1)
        m_current[side] = 0;
}

quint64 TPreviewDecoder::CurrentTicket(int side) const
{
    return side >= 0 && side <= 1 ? m_current[side].load() : 0;
}

void TPreviewDecoder::Prefetch(const TDecodeRequest &request)
{
    m_pool.start(
        [this, request] {
            RunBelowInterface();
            withSource(request, [](const QImage &) {});
        },
        PrefetchPriority);
}

int TPreviewDecoder::CachedCount() const
{
    std::lock_guard lock(m_mutex);
    return int(std::count_if(m_items.begin(), m_items.end(),
                             [](const auto &item) { return !item->Pending; }));
}

void TPreviewDecoder::WaitForIdle()
{
    m_pool.waitForDone();
}

void TPreviewDecoder::withSource(const TDecodeRequest &request, SourceCallback done)
{
    const QFileInfo info(request.Path);
    // Only regular files are read: a pipe or a device would block the worker.
    if (request.Path.isEmpty() || !info.isFile()) {
        done(QImage());
        return;
    }
    std::shared_ptr<CacheItem> item;
    QImage ready;
    bool haveReady = false;
    {
        std::lock_guard lock(m_mutex);
        const auto found = std::find_if(m_items.begin(), m_items.end(), [&](const auto &i) {
            return i->Path == request.Path && i->Part == request.Part &&
                   i->FileSize == info.size() && i->Modified == info.lastModified();
        });
        if (found != m_items.end()) {
            std::shared_ptr<CacheItem> known = *found;
            if (known->Pending) {
                known->Waiters.emplace_back(request, std::move(done));
                return;
            }
            if (known->Covers(request)) {
                known->LastUse = ++m_useClock;
                ready = known->Picture;
                haveReady = true;
            } else {
                m_items.erase(found); // too small for this panel: decoded again below
            }
        }
    }
    if (haveReady) {
        done(ready);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        // Another worker may have started the same file in between.
        for (const std::shared_ptr<CacheItem> &i : m_items) {
            if (i->Pending && i->Path == request.Path && i->Part == request.Part &&
                i->FileSize == info.size() && i->Modified == info.lastModified()) {
                i->Waiters.emplace_back(request, std::move(done));
                return;
            }
        }
        // Files changed on disk since they were decoded are of no further use.
        m_items.erase(std::remove_if(m_items.begin(), m_items.end(),
                                     [&](const auto &i) {
                                         return !i->Pending && i->Path == request.Path &&
                                                i->Part == request.Part;
                                     }),
                      m_items.end());
        item = std::make_shared<CacheItem>();
        item->Path = request.Path;
        item->Part = request.Part;
        item->FileSize = info.size();
        item->Modified = info.lastModified();
        item->Waiters.emplace_back(request, std::move(done));
        m_items.push_back(item);
    }
    decodeInto(item, request);
}

void TPreviewDecoder::decodeInto(const std::shared_ptr<CacheItem> &item,
                                 const TDecodeRequest &request)
{
    QSize full;
    int denominator = 1;
    bool chosen = false;
    const std::function<int(int, int)> choose = [&](int width, int height) {
        full = QSize(width, height);
        denominator = CoveringScaleDenominator(width, height, request.Look.Rotation, request.Panel);
        chosen = true;
        return denominator;
    };
    ++m_decodes;
    const QImage picture = m_decoder(item->Path, item->Part, choose);

    std::vector<std::pair<TDecodeRequest, SourceCallback>> waiters;
    {
        std::lock_guard lock(m_mutex);
        item->Pending = false;
        item->Picture = picture;
        item->Full = chosen ? full : picture.size();
        item->Denominator = chosen ? denominator : 1;
        item->LastUse = ++m_useClock;
        waiters.swap(item->Waiters);
        // The least recently used decoded files go first.
        while (std::count_if(m_items.begin(), m_items.end(), [](const auto &i) {
                   return !i->Pending;
               }) > qsizetype(CacheCapacity)) {
            auto oldest = m_items.end();
            for (auto it = m_items.begin(); it != m_items.end(); ++it)
                if (!(*it)->Pending &&
                    (oldest == m_items.end() || (*it)->LastUse < (*oldest)->LastUse))
                    oldest = it;
            m_items.erase(oldest);
        }
    }
    for (auto &[waiting, callback] : waiters) {
        if (item->Covers(waiting))
            callback(picture);
        else
            withSource(waiting, std::move(callback)); // a larger panel: decode again
    }
}

void TPreviewDecoder::deliver(int side, quint64 ticket, const QImage &bitmap, const QImage &fitted)
{
    QMetaObject::invokeMethod(
        this,
        [this, side, ticket, bitmap, fitted] {
            // Checked again here: a newer request may have come while this one ran.
            if (m_current[side] != ticket)
                return;
            if (bitmap.isNull())
                Q_EMIT failed(side, ticket);
            else
                Q_EMIT decoded(side, ticket, bitmap, fitted);
        },
        Qt::QueuedConnection);
}
