#pragma once
// What the full-screen stereo view shows, without the window: the selected pair drawn
// sharp at the screen's size by the preview's own drawing step (TStereoPreview: background
// decoding, Lanczos fit), the next pair decoded ahead, the eyes swapped for this view only,
// and the pair's alignment, measured by the pair check off the user interface thread and
// undone on the right picture while it is on.
//
// It keeps no entry pointers: the window hands it the pair at every idle pass (Show), and
// each side is drawn again only when its file, its look or its correction changed.
#include "preview/alignment.h"
#include "preview/stereopreview.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QThreadPool>

class TDatensatz;

// The alignment of the pair shown, for the caption.
enum class TAlignmentState
{
    Off,       // alignment not asked for
    Measuring, // the pair check is running
    Measured,  // corrected with the figures of Correction
    Failed,    // nothing to correct with: Problem says why
};

struct TFullScreenStatus
{
    QString LeftName, RightName; // the files' names as the panels show them (after a swap)
    bool EyesSwapped = false;
    TAlignmentState Alignment = TAlignmentState::Off;
    TDisplayCorrection Correction;
    QString Problem;
};

// One line for the full-screen view's caption: the file names of the pair as the eyes get
// them, then the state of the eyes and of the alignment, for example "left eye: DSC01_R.JPG
// · right eye: DSC01_L.JPG · eyes swapped · aligned: vertical 0.82 %, rotation -0.10°,
// scale 0.30 %". Control characters of a name show as symbols.
QString FullScreenCaption(const TFullScreenStatus &status);

class TFullScreenPresenter : public QObject
{
    Q_OBJECT

public:
    // view: the full-screen panels. gfl: the imaging library for files other than JPEG.
    TFullScreenPresenter(TPreviewView &view, const TGflLibrary *gfl = nullptr,
                         QObject *parent = nullptr);
    // Waits for a measurement still running.
    ~TFullScreenPresenter() override;

    void SetMode(TDisplayMode mode);
    TDisplayMode Mode() const { return m_preview.Options().Mode; }

    // The pair of the selected row (either may be null) and the pair read ahead. Draws the
    // sides that changed and starts what the next pair needs.
    void Show(const TDatensatz *left, const TDatensatz *right, const TDatensatz *aheadLeft,
              const TDatensatz *aheadRight);
    // The panels changed their size: everything is drawn again at the next Show.
    void PanelsResized();

    void SwapEyes() { m_swapped = !m_swapped; }
    void ToggleAlignment() { m_aligning = !m_aligning; }
    TFullScreenStatus Status() const;

    TStereoPreview &Preview() { return m_preview; }
    // Pair checks started since construction; waits for the one running (tests).
    int MeasureCount() const { return m_measures; }
    void WaitForMeasures() { m_pool.waitForDone(); }

Q_SIGNALS:
    // Something the view shows changed on its own (a measurement arrived): the window
    // should hand over the pair again.
    void redrawWanted();

private:
    struct PairKey
    {
        TAlignmentPicture Left, Right;
        QString Text() const;
    };
    struct SideKey
    {
        QString Path;
        TPicturePart Part;
        TEntryLook Look;
        TDisplayCorrection Correction;
        bool operator==(const SideKey &o) const;
    };

    static PairKey keyOf(const TDatensatz *left, const TDatensatz *right);
    void measureNext();

    TPreviewFlags m_flags;
    TStereoPreview m_preview;
    bool m_swapped = false;
    bool m_aligning = false;

    SideKey m_drawn[2];
    PairKey m_current, m_ahead;
    QHash<QString, TAlignmentMeasure> m_measured; // by PairKey::Text
    QString m_running;                            // the pair being measured
    QThreadPool m_pool;
    int m_measures = 0;
};
