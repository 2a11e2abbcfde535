#include "ui/dlgbox.h"

#include "ui/appinfo.h"

#include <algorithm>

using namespace DlgBoxMeasure;

std::vector<DlgButtonInfo> DlgButtonsInOrder(DlgButtons buttons)
{
    std::vector<DlgButtonInfo> out;
    for (const DlgButtonInfo &info : DlgButtonTable) {
        if (buttons.testFlag(info.Button))
            out.push_back(info);
    }
    return out;
}

QString DlgKindCaption(DlgKind kind)
{
    switch (kind) {
    case DlgKind::Warning:
        return QStringLiteral("Warning");
    case DlgKind::Error:
        return QStringLiteral("Error");
    case DlgKind::Information:
        return QStringLiteral("Information");
    case DlgKind::Confirmation:
        return QStringLiteral("Confirmation required");
    case DlgKind::Custom:
        break;
    }
    return appinfo::applicationTitle();
}

DlgBoxParts DlgBoxPartsFor(QSize clientSize)
{
    const int w = clientSize.width();
    const int h = clientSize.height();
    DlgBoxParts parts;
    parts.Frame = QRect(FrameInset, FrameInset, w - 2 * FrameInset, h - 2 * FrameInset);
    parts.SeparatorY = h - (BottomBelowContent - SeparatorBelowContent);
    parts.SeparatorLeft = SeparatorInset;
    parts.SeparatorRight = w - SeparatorInset;
    const int frameBottom = h - FrameInset;
    parts.ButtonTop = (parts.SeparatorY + frameBottom) / 2 - ButtonMiddleOffset;
    return parts;
}

DlgBoxLayout ComputeDlgBoxLayout(QSize labelSize, int buttonCount)
{
    DlgBoxLayout layout;
    buttonCount = std::max(0, buttonCount);
    layout.Label = QRect(LabelPos, labelSize);
    int width = StartClientSize.width();

    const int labelRight = LabelPos.x() + labelSize.width();
    if (width - 2 * FrameInset < labelRight)
        width = labelRight + SeparatorInset;
    const int step = ButtonSize.width() + ButtonGap;
    if (buttonCount > 0 && width - 2 * FrameInset < step * buttonCount + 42)
        width = step * buttonCount + 56;

    const int labelBottom = LabelPos.y() + labelSize.height();
    const int iconBottom = IconRect.y() + IconRect.height();
    const int height = std::max(labelBottom, iconBottom) + BottomBelowContent;

    layout.ClientSize = QSize(width, height);
    layout.Parts = DlgBoxPartsFor(layout.ClientSize);

    // The row is laid out from x = 21 and then centred in the window.
    const int rowWidth = buttonCount > 0 ? step * buttonCount - ButtonGap : 0;
    const int rowLeft = buttonCount > 0 ? (width - rowWidth) / 2 : ButtonStartX;
    for (int i = 0; i < buttonCount; ++i) {
        layout.Buttons.emplace_back(QPoint(rowLeft + i * step, layout.Parts.ButtonTop), ButtonSize);
    }
    return layout;
}

QPoint DlgBoxPosition(const QRect &screen, QSize windowSize, int openBoxes)
{
    auto place = [&](int screenExtent, int windowExtent) {
        int v = screenExtent / 2 - windowExtent / 2 + StackStep * openBoxes;
        const int wrap = screenExtent - ScreenMargin;
        if (wrap > 0)
            v %= wrap;
        return std::max(0, v);
    };
    return QPoint(screen.x() + place(screen.width(), windowSize.width()),
                  screen.y() + place(screen.height(), windowSize.height()));
}
