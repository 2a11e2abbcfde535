#include "preview/stereopreview.h"

#include "entries/datensatz.h"
#include "imaging/jpegcodec.h"
#include "preview/bitmapops.h"

#include <QFileInfo>

TStereoPreview::TStereoPreview(TPreviewView &view, TPreviewFlags &flags, const TGflLibrary *gfl,
                               QObject *parent)
    : QObject(parent), m_view(view), m_flags(flags), m_decoder(gfl)
{
    connect(&m_decoder, &TPreviewDecoder::decoded, this, &TStereoPreview::pictureDecoded);
    connect(&m_decoder, &TPreviewDecoder::failed, this, &TStereoPreview::decodeFailed);
    connect(&m_decoder, &TPreviewDecoder::fitted, this, &TStereoPreview::pictureFitted);
}

QSize TStereoPreview::panelSize(int side) const
{
    // The anaglyph lays the right picture over the left one: both are drawn for the left
    // panel, so that they come out the same size.
    if (m_options.Mode == TDisplayMode::Anaglyph)
        return m_view.PanelClientSize(PreviewLeft);
    return m_view.PanelClientSize(side);
}

bool TStereoPreview::sideShown(int side) const
{
    // A monoscopic view does not draw the other side; it stays dirty until it is shown.
    if (m_options.Mode == TDisplayMode::MonoLeft)
        return side == PreviewLeft;
    if (m_options.Mode == TDisplayMode::MonoRight)
        return side == PreviewRight;
    return true;
}

bool TStereoPreview::IdleDraw(const TDatensatz *left, const TDatensatz *right)
{
    bool drawn = false;
    const TDatensatz *entries[2] = {left, right};
    bool *dirty[2] = {&m_flags.LeftDirty, &m_flags.RightDirty};
    bool *exifDirty[2] = {&m_flags.ExifDirtyL, &m_flags.ExifDirtyR};
    bool pairChanged = false;
    for (int side : {PreviewLeft, PreviewRight}) {
        const TDatensatz *entry = entries[side];
        pairChanged = pairChanged || m_sides[side].Present != (entry != nullptr);
        m_sides[side].Present = entry != nullptr;
        if (!entry) {
            hideSide(side);
            m_view.ShowExifText(side, QString(), QString());
            continue;
        }
        if ((*dirty[side] || m_flags.AnaglyphDirty) && sideShown(side)) {
            *dirty[side] = false;
            showEntryImage(side, *entry);
            *exifDirty[side] = true;
            drawn = true;
        }
        if (*exifDirty[side]) {
            const TExifTexts texts = ExifTexts(entry->Metadata(), m_options.ExifChecked);
            m_view.ShowExifText(side, texts.Names, texts.Values);
            *exifDirty[side] = false;
        }
    }
    if ((drawn || pairChanged || m_flags.AnaglyphDirty) &&
        m_options.Mode == TDisplayMode::Anaglyph) {
        m_flags.AnaglyphDirty = false;
        composeAnaglyph();
    }
    return drawn;
}

void TStereoPreview::showEntryImage(int side, const TDatensatz &entry)
{
    Side &s = m_sides[side];
    const QString path = entry.SourcePath();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        hideSide(side);
        return;
    }
    const TEntryLook look{int(entry.Rotation() & 3), entry.Mirror(), entry.Invert()};
    const QSize panel = panelSize(side);
    const QImage thumbnail = TrimThumbnailBands(entry.Thumbnail(), ThumbnailBackground);
    const bool reload = m_options.AlwaysReload || thumbnail.isNull();
    const TPicturePart part = entry.OrgBild() ? entry.OrgBild()->Part : TPicturePart{};
    const bool sameFile = s.Path == path && s.Part == part && !s.Bitmap.isNull();

    if (!reload) {
        m_decoder.Cancel(side);
        const QImage bitmap = BuildEntryBitmap(thumbnail, look, panel);
        s.Path = path;
        s.Part = part;
        s.Look = look;
        s.Panel = panel;
        s.Sharp = false;
        s.Bitmap = bitmap;
        showStandIn(side);
        return;
    }
    // The sharp picture is decoded in the background. Meanwhile the thumbnail stands in,
    // unless the side already shows this file sharp (a turn or a resize of the same file
    // keeps the sharp picture until the new one arrives). The request goes first, so that
    // the stand-in knows that a sharp picture is on its way.
    m_decoder.Request(side, TDecodeRequest{path, part, look, panel, m_options.Correction[side]});
    if (!(sameFile && s.Sharp)) {
        s.Sharp = false;
        s.Bitmap = BuildEntryBitmap(thumbnail, look, panel);
        s.Panel = panel;
        showStandIn(side);
    }
    s.Path = path;
    s.Part = part;
    s.Look = look;
    s.Panel = panel;
}

// No decode is on its way to the side: what it shows now stays.
bool TStereoPreview::settled(int side) const
{
    return m_sides[side].Sharp || m_decoder.CurrentTicket(side) == 0;
}

// Shows the side's bitmap at once; the widget stretches it until the Lanczos fit, made on a
// worker, arrives (pictureFitted). A side waiting for its sharp picture is not fitted (the
// workers decode first), and the anaglyph is fitted as a whole instead.
void TStereoPreview::showStandIn(int side)
{
    const Side &s = m_sides[side];
    if (s.Bitmap.isNull()) {
        m_decoder.CancelFit(side);
        m_view.HidePicture(side);
        return;
    }
    if (m_options.Mode == TDisplayMode::Anaglyph) {
        // The anaglyph shows both sides at once when it is composed; the side alone would
        // flash in colour until then.
        m_decoder.CancelFit(side);
        return;
    }
    m_view.ShowPicture(side, s.Bitmap, QImage());
    if (!settled(side))
        m_decoder.CancelFit(side);
    else
        m_decoder.Fit(side, s.Bitmap, s.Panel);
}

void TStereoPreview::hideSide(int side)
{
    m_decoder.Cancel(side);
    m_decoder.CancelFit(side);
    m_sides[side].Bitmap = QImage();
    m_sides[side].Path.clear();
    m_sides[side].Sharp = false;
    m_view.HidePicture(side);
}

void TStereoPreview::composeAnaglyph()
{
    const Side &l = m_sides[PreviewLeft];
    const Side &r = m_sides[PreviewRight];
    if (!l.Present || !r.Present || l.Bitmap.isNull() || r.Bitmap.isNull()) {
        // Without a pair the left picture (if any) stands alone.
        m_anaglyph = QImage();
        m_decoder.CancelFit(AnaglyphSlot);
        m_view.HideAnaglyph();
        if (l.Present && !l.Bitmap.isNull()) {
            m_view.ShowPicture(PreviewLeft, l.Bitmap, QImage());
            m_decoder.Fit(PreviewLeft, l.Bitmap, panelSize(PreviewLeft));
        }
        return;
    }
    // Composed on a worker (at the screen's size it takes tens of milliseconds); what is
    // shown stays until it arrives. It is fitted once no sharp picture is on its way.
    m_decoder.ComposeAnaglyph(l.Bitmap, r.Bitmap, panelSize(PreviewLeft),
                              settled(PreviewLeft) && settled(PreviewRight));
}

void TStereoPreview::pictureFitted(int slot, quint64 ticket, const QImage &bitmap,
                                   const QImage &fitted)
{
    if (ticket != m_decoder.CurrentFit(slot))
        return;
    if (slot == AnaglyphSlot) {
        // The current composition (a later one, or a side alone, makes it stale).
        m_anaglyph = bitmap;
        m_view.ShowAnaglyph(m_anaglyph, fitted);
        if (!fitted.isNull() && m_sides[PreviewLeft].Sharp && m_sides[PreviewRight].Sharp)
            Q_EMIT sharpAnaglyphShown();
        return;
    }
    // Only while the side still shows that very bitmap (a sharp picture brings its own fit).
    const Side &s = m_sides[slot];
    if (s.Present && !s.Bitmap.isNull() && s.Bitmap.cacheKey() == bitmap.cacheKey())
        m_view.ShowPicture(slot, s.Bitmap, fitted);
}

void TStereoPreview::pictureDecoded(int side, quint64 ticket, const QImage &bitmap,
                                    const QImage &fitted)
{
    if (ticket != m_decoder.CurrentTicket(side) || !m_sides[side].Present)
        return;
    Side &s = m_sides[side];
    s.Bitmap = bitmap;
    s.Sharp = true;
    m_decoder.CancelFit(side);
    if (m_options.Mode == TDisplayMode::Anaglyph)
        composeAnaglyph();
    else
        m_view.ShowPicture(side, bitmap, fitted);
    Q_EMIT sharpPictureShown(side);
}

void TStereoPreview::decodeFailed(int side, quint64 ticket)
{
    // A thumbnail already shown stays; without one the side stays empty.
    if (ticket != m_decoder.CurrentTicket(side))
        return;
    m_decoder.Cancel(side);
    // The stand-in stays: now it gets its fit.
    if (m_options.Mode == TDisplayMode::Anaglyph)
        composeAnaglyph();
    else if (m_sides[side].Present && !m_sides[side].Bitmap.isNull())
        m_decoder.Fit(side, m_sides[side].Bitmap, m_sides[side].Panel);
}

void TStereoPreview::Prefetch(const TDatensatz *left, const TDatensatz *right)
{
    if (!m_options.AlwaysReload)
        return;
    const TDatensatz *entries[2] = {left, right};
    for (int side : {PreviewLeft, PreviewRight}) {
        const TDatensatz *entry = entries[side];
        if (!entry || !sideShown(side))
            continue;
        const QString path = entry->SourcePath();
        if (path.isEmpty())
            continue;
        m_decoder.Prefetch(
            TDecodeRequest{path, entry->OrgBild()->Part,
                           TEntryLook{int(entry->Rotation() & 3), entry->Mirror(), entry->Invert()},
                           panelSize(side), TDisplayCorrection{}});
    }
}
