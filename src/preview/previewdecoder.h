#pragma once
// Full-quality preview pictures decoded off the user interface thread.
//
// A request names a file, how the entry wants it drawn (rotation, mirror, invert) and the
// panel's client size. On a worker thread the file is decoded at the smallest reduction of
// libjpeg-turbo (1/8, 1/4, 1/2 or full size) that still covers what the panel shows, then
// stretched, turned, mirrored and inverted as the preview's drawing rule says, and fitted
// into the panel with the Lanczos filter. The result comes back on the thread that owns
// the decoder through decoded(); a request made later for the same side makes the earlier
// one stale, and stale results are never delivered.
//
// Decoded files are kept in a small cache, so that a picture decoded ahead (Prefetch, for
// the row the user is likely to step to next) or decoded once already is only redrawn.
// Files other than JPEG are decoded through the imaging library at full size when it is
// available.
#include "imaging/dsorgbild.h"
#include "preview/alignment.h"
#include "preview/previewlogic.h"

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TGflLibrary;

// Lowers the calling worker thread a little below the user interface thread, once per
// thread (the preview's pools run only their own work).
void RunBelowInterface();

struct TDecodeRequest
{
    QString Path;
    TPicturePart Part; // the view of a stereo file, or the whole file
    TEntryLook Look;
    QSize Panel; // the panel's client size
    // The pair's misalignment undone on the picture (the right view's, in the full-screen
    // view with its alignment on), before it is fitted.
    TDisplayCorrection Correction;
};

class TPreviewDecoder : public QObject
{
    Q_OBJECT

public:
    // Decodes the part of path at the reduction that choose picks from the full width and
    // height (1, 2, 4 or 8; a decoder that cannot reduce may ignore it). Null on failure.
    // Thread-safe.
    using SourceDecoder = TPictureDecoder;

    // gfl: the imaging library for files other than JPEG (null: JPEG only).
    explicit TPreviewDecoder(const TGflLibrary *gfl = nullptr, QObject *parent = nullptr);
    // Waits for the decodes still running.
    ~TPreviewDecoder() override;

    // Replaces how files are decoded (tests and benchmarks count or slow the decodes).
    void SetSourceDecoder(SourceDecoder decoder);
    // The decoder used by default: libjpeg-turbo for JPEG files and stereo views, else the
    // imaging library (DecodePictureScaled).
    static SourceDecoder DefaultSourceDecoder(const TGflLibrary *gfl);
    // The decoder in use.
    SourceDecoder Source() const { return m_decoder; }

    // Starts the picture for side (0 left, 1 right) and returns its ticket. Any earlier
    // request of that side is stale from now on.
    quint64 Request(int side, const TDecodeRequest &request);
    // Makes the pending request of side stale.
    void Cancel(int side);
    // The ticket whose result side waits for (0: none).
    quint64 CurrentTicket(int side) const;
    // Decodes the file into the cache, behind every request, without delivering anything.
    void Prefetch(const TDecodeRequest &request);

    // Fits a picture already drawn (a thumbnail standing in, an anaglyph) into panel with
    // the Lanczos filter on a worker, so that the user interface thread only shows it.
    // slot: 0 and 1 the sides, 2 the anaglyph; a later Fit of a slot makes the earlier one
    // stale. The result comes back through fitted().
    quint64 Fit(int slot, const QImage &bitmap, QSize panel);
    // Composes the anaglyph of left and right (ComposeAnaglyph) on a worker and, when fit,
    // fits it into panel with the Lanczos filter; the result comes back through fitted() in
    // the anaglyph's slot (2), with bitmap the anaglyph and fitted null when not fit. A later
    // Fit or ComposeAnaglyph makes it stale. The user interface thread only shows it.
    quint64 ComposeAnaglyph(const QImage &left, const QImage &right, QSize panel, bool fit);
    // Makes the pending fit of slot stale.
    void CancelFit(int slot);
    quint64 CurrentFit(int slot) const;

    // Files held decoded in the cache; decodes started since construction.
    int CachedCount() const;
    int DecodeCount() const { return m_decodes.load(); }
    // Waits until no work is queued or running (tests and benchmarks).
    void WaitForIdle();

Q_SIGNALS:
    // The picture of a current request: bitmap is what the scale rule makes of the file,
    // fitted that bitmap fitted into the requested panel size.
    void decoded(int side, quint64 ticket, const QImage &bitmap, const QImage &fitted);
    // The current request of side could not decode its file.
    void failed(int side, quint64 ticket);
    // The current fit of slot: bitmap as handed to Fit, fitted it fitted into the panel.
    void fitted(int slot, quint64 ticket, const QImage &bitmap, const QImage &fitted);

private:
    struct CacheItem;
    using SourceCallback = std::function<void(const QImage &source)>;

    // Runs make on a worker for slot, fits its picture into panel (an empty panel: not at
    // all) and delivers both through fitted() unless the slot has moved on meanwhile.
    quint64 fitOnWorker(int slot, std::function<QImage()> make, QSize panel);
    void withSource(const TDecodeRequest &request, SourceCallback done);
    void decodeInto(const std::shared_ptr<CacheItem> &item, const TDecodeRequest &request);
    void deliver(int side, quint64 ticket, const QImage &bitmap, const QImage &fitted);

    QThreadPool m_pool;
    SourceDecoder m_decoder;
    std::atomic<quint64> m_current[2]{0, 0}; // read by workers to skip stale work
    std::atomic<quint64> m_currentFit[3]{0, 0, 0};
    quint64 m_nextTicket = 0;
    std::atomic<int> m_decodes{0};
    mutable std::mutex m_mutex; // guards m_items and m_useClock
    std::vector<std::shared_ptr<CacheItem>> m_items;
    quint64 m_useClock = 0;
};
