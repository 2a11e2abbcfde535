#pragma once
// Preview panels for tests of the drawing step: each side keeps the picture last shown, the
// panels have one fixed size; and a wait for both sides' sharp pictures.
#include "preview/stereopreview.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QSize>

class TPanelRecorder : public TPreviewView
{
public:
    explicit TPanelRecorder(QSize panel = {480, 360}) : m_panel(panel) {}

    QImage shown[2];
    QSize PanelClientSize(int) const override { return m_panel; }
    void ShowPicture(int side, const QImage &bitmap, const QImage &) override
    {
        shown[side] = bitmap;
    }
    void HidePicture(int side) override { shown[side] = QImage(); }
    void ShowExifText(int, const QString &, const QString &) override {}
    void ShowAnaglyph(const QImage &, const QImage &) override {}
    void HideAnaglyph() override {}

private:
    QSize m_panel;
};

// Runs the event loop until both sides of preview are sharp (or 10 s pass).
inline bool BothSidesSharp(const TStereoPreview &preview)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (preview.IsSharp(PreviewLeft) && preview.IsSharp(PreviewRight))
            return true;
    }
    return false;
}
