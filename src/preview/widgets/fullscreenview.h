#pragma once
// TFullScreenView: the selected pair over the whole screen, in the preview's display mode.
// It shows what TFullScreenPresenter draws into its panels (a TPreviewArea without frames
// on black) and turns keys into actions (FullScreenAction): steps go to the window, which
// moves the lists' selection and hands the new pair back (Show); swapping the eyes and the
// alignment stay within this view; Escape, F11 or a double click close it.
#include "preview/fullscreen.h"
#include "preview/fullscreenpresenter.h"

#include <QTimer>
#include <QWidget>

class QLabel;
class TPreviewArea;

class TFullScreenView : public QWidget
{
    Q_OBJECT

public:
    // A window of its own (deleted when closed), not yet shown: showFullScreen() shows it.
    explicit TFullScreenView(const TGflLibrary *gfl = nullptr, QWidget *parent = nullptr);
    ~TFullScreenView() override;

    void setMode(TDisplayMode mode);
    // "SbS: Inner Spacing".
    void setSpacing(int spacing);
    // The pair of the selected row and the pair read ahead (see TFullScreenPresenter).
    void Show(const TDatensatz *left, const TDatensatz *right, const TDatensatz *aheadLeft,
              const TDatensatz *aheadRight);

    TFullScreenPresenter &presenter() { return *m_presenter; }
    TPreviewArea *area() const { return m_area; }
    QLabel *caption() const { return m_caption; }

Q_SIGNALS:
    // A step key was pressed: the window selects the row it leads to.
    void stepRequested(TFullScreenAction action);
    // The pair must be handed over again (the window's next idle pass does it).
    void redrawWanted();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showCaption();
    void placeCaption();

    TPreviewArea *m_area = nullptr;
    QLabel *m_caption = nullptr;
    std::unique_ptr<TFullScreenPresenter> m_presenter;
    QTimer m_captionTimer;
    bool m_captionKept = false; // "I": the caption stays
};
