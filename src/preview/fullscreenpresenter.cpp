#include "preview/fullscreenpresenter.h"

#include "entries/datensatz.h"
#include "ui/visibletext.h"

#include <QFileInfo>
#include <QMetaObject>

namespace {

// Pair checks kept; a session of a few thousand pairs stays far below it.
constexpr int MeasuredCapacity = 4096;

TEntryLook lookOf(const TDatensatz *entry)
{
    if (!entry)
        return {};
    return {int(entry->Rotation() & 3), entry->Mirror(), entry->Invert()};
}

QString pathOf(const TDatensatz *entry)
{
    return entry ? entry->SourcePath() : QString();
}

// The part of its file an entry shows: a stereo file's two views share the path.
TPicturePart partOf(const TDatensatz *entry)
{
    return entry && entry->OrgBild() ? entry->OrgBild()->Part : TPicturePart{};
}

TAlignmentPicture pictureOf(const TDatensatz *entry)
{
    return {pathOf(entry), partOf(entry), lookOf(entry)};
}

// The file's name, and which view of a stereo file (both views have the file's name).
QString shownName(const TAlignmentPicture &p)
{
    const QString name = QFileInfo(p.Path).fileName();
    if (p.Part.view == 0 || name.isEmpty())
        return name;
    return name + QStringLiteral(" (view %1)").arg(p.Part.view);
}

QString lookText(const TAlignmentPicture &p)
{
    return QString::number(p.Look.Rotation) + (p.Look.Mirror ? u'm' : u'-') + u'v' +
           QString::number(p.Part.view);
}

} // namespace

QString FullScreenCaption(const TFullScreenStatus &status)
{
    const QString none = QStringLiteral("–");
    QString caption = QStringLiteral("left eye: ") +
                      (status.LeftName.isEmpty() ? none : VisibleText(status.LeftName)) +
                      QStringLiteral(" · right eye: ") +
                      (status.RightName.isEmpty() ? none : VisibleText(status.RightName));
    const QString dot = QStringLiteral(" · ");
    if (status.EyesSwapped)
        caption += dot + QStringLiteral("eyes swapped");
    switch (status.Alignment) {
    case TAlignmentState::Off:
        break;
    case TAlignmentState::Measuring:
        caption += dot + QStringLiteral("measuring the alignment…");
        break;
    case TAlignmentState::Measured:
        caption += dot + QStringLiteral("aligned: vertical %1 %, rotation %2°, scale %3 %")
                             .arg(status.Correction.VerticalOffset, 0, 'f', 2)
                             .arg(status.Correction.Rotation, 0, 'f', 2)
                             .arg(status.Correction.Scale, 0, 'f', 2);
        break;
    case TAlignmentState::Failed:
        caption += dot + QStringLiteral("not aligned: ") + VisibleText(status.Problem);
        break;
    }
    return caption;
}

QString TFullScreenPresenter::PairKey::Text() const
{
    if (Left.Path.isEmpty() || Right.Path.isEmpty())
        return {};
    // Paths cannot hold a NUL, so it separates the parts unambiguously. The view tells the
    // two pictures of one stereo file apart.
    const QChar nul(0);
    return Left.Path + nul + lookText(Left) + nul + Right.Path + nul + lookText(Right);
}

bool TFullScreenPresenter::SideKey::operator==(const SideKey &o) const
{
    return Path == o.Path && Part == o.Part && Look.Rotation == o.Look.Rotation &&
           Look.Mirror == o.Look.Mirror && Look.Invert == o.Look.Invert &&
           Correction == o.Correction;
}

TFullScreenPresenter::TFullScreenPresenter(TPreviewView &view, const TGflLibrary *gfl,
                                           QObject *parent)
    : QObject(parent), m_preview(view, m_flags, gfl)
{
    TPreviewOptions options;
    options.AlwaysReload = true; // sharp at the screen's size, never the thumbnail alone
    m_preview.SetOptions(options);
    // One pair check at a time, below the decodes: the pictures come first.
    m_pool.setMaxThreadCount(1);
    m_pool.setObjectName(QStringLiteral("AlignmentCheck"));
}

TFullScreenPresenter::~TFullScreenPresenter()
{
    m_pool.clear();
    m_pool.waitForDone();
}

void TFullScreenPresenter::SetMode(TDisplayMode mode)
{
    TPreviewOptions options = m_preview.Options();
    if (options.Mode == mode)
        return;
    options.Mode = mode;
    m_preview.SetOptions(options);
    PanelsResized();
}

void TFullScreenPresenter::PanelsResized()
{
    m_drawn[PreviewLeft] = SideKey{};
    m_drawn[PreviewRight] = SideKey{};
    m_flags.LeftDirty = m_flags.RightDirty = true;
    m_flags.AnaglyphDirty = m_preview.Options().Mode == TDisplayMode::Anaglyph;
}

TFullScreenPresenter::PairKey TFullScreenPresenter::keyOf(const TDatensatz *left,
                                                          const TDatensatz *right)
{
    return PairKey{pictureOf(left), pictureOf(right)};
}

void TFullScreenPresenter::Show(const TDatensatz *left, const TDatensatz *right,
                                const TDatensatz *aheadLeft, const TDatensatz *aheadRight)
{
    m_current = keyOf(left, right);
    m_ahead = keyOf(aheadLeft, aheadRight);

    // The correction belongs to the right camera's picture, wherever swapping puts it.
    TDisplayCorrection rightCorrection;
    if (m_aligning) {
        const auto found = m_measured.constFind(m_current.Text());
        if (found != m_measured.constEnd())
            rightCorrection = found->Correction;
    }
    const TDatensatz *shown[2] = {m_swapped ? right : left, m_swapped ? left : right};
    TPreviewOptions options = m_preview.Options();
    options.Correction[PreviewLeft] = m_swapped ? rightCorrection : TDisplayCorrection{};
    options.Correction[PreviewRight] = m_swapped ? TDisplayCorrection{} : rightCorrection;
    m_preview.SetOptions(options);

    bool changed = false;
    for (int side : {PreviewLeft, PreviewRight}) {
        const SideKey key{pathOf(shown[side]), partOf(shown[side]), lookOf(shown[side]),
                          options.Correction[side]};
        if (key == m_drawn[side])
            continue;
        m_drawn[side] = key;
        (side == PreviewLeft ? m_flags.LeftDirty : m_flags.RightDirty) = true;
        changed = true;
    }
    if (changed && options.Mode == TDisplayMode::Anaglyph)
        m_flags.AnaglyphDirty = true;
    m_preview.IdleDraw(shown[PreviewLeft], shown[PreviewRight]);
    m_preview.Prefetch(m_swapped ? aheadRight : aheadLeft, m_swapped ? aheadLeft : aheadRight);
    if (m_aligning)
        measureNext();
}

void TFullScreenPresenter::measureNext()
{
    if (!m_running.isEmpty())
        return; // the next one starts when this one is done
    if (m_measured.size() >= MeasuredCapacity)
        m_measured.clear();
    // The pair shown first, then the pair read ahead.
    for (const PairKey &pair : {m_current, m_ahead}) {
        const QString text = pair.Text();
        if (text.isEmpty() || m_measured.contains(text))
            continue;
        m_running = text;
        ++m_measures;
        const TPictureDecoder decode = m_preview.Decoder().Source();
        m_pool.start([this, pair, text, decode] {
            RunBelowInterface();
            const TAlignmentMeasure measure = MeasureAlignment(decode, pair.Left, pair.Right);
            QMetaObject::invokeMethod(
                this,
                [this, text, measure] {
                    m_measured.insert(text, measure);
                    m_running.clear();
                    if (m_aligning && text == m_current.Text())
                        Q_EMIT redrawWanted();
                    if (m_aligning)
                        measureNext();
                },
                Qt::QueuedConnection);
        });
        return;
    }
}

TFullScreenStatus TFullScreenPresenter::Status() const
{
    TFullScreenStatus status;
    const QString left = shownName(m_current.Left);
    const QString right = shownName(m_current.Right);
    status.LeftName = m_swapped ? right : left;
    status.RightName = m_swapped ? left : right;
    status.EyesSwapped = m_swapped;
    if (!m_aligning)
        return status;
    const QString text = m_current.Text();
    const auto found = m_measured.constFind(text);
    if (text.isEmpty()) {
        status.Alignment = TAlignmentState::Failed;
        status.Problem = QStringLiteral("no pair");
    } else if (found == m_measured.constEnd()) {
        status.Alignment = TAlignmentState::Measuring;
    } else if (found->Correction.Active) {
        status.Alignment = TAlignmentState::Measured;
        status.Correction = found->Correction;
    } else {
        status.Alignment = TAlignmentState::Failed;
        status.Problem = found->Problem;
    }
    return status;
}
