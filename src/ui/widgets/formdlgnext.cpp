#include "ui/widgets/formdlgnext.h"

#include "ui/widgets/labelformat.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHideEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace {
constexpr QSize ClientSize{303, 218};
constexpr QSize ButtonSize{105, 25};
constexpr int Margin = 6;

const char *const HintCaption =
    "<C4><FB><FS12>Hint<FN> <LF>Unable to successfuly group a stereo pair.<LF> <FB><LF>"
    "Please select a pair from the<LF>file list views<FN> <LF> <LF>and confirm by "
    "pressing<FB> Finish ";
} // namespace

TFormDlgNext::TFormDlgNext(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("FormDlgNext"));
    setWindowTitle(QStringLiteral("Confirmation required"));
    setModal(false);
    setFixedSize(ClientSize);

    const int buttonTop = ClientSize.height() - Margin - ButtonSize.height();
    auto *frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(Margin, Margin, ClientSize.width() - 2 * Margin, buttonTop - 2 * Margin);

    m_label = new TLabelFormat(frame);
    m_label->setObjectName(QStringLiteral("LabelFormatHint"));
    m_label->setAutoSize(false);
    m_label->setGeometry(frame->rect().adjusted(Margin, Margin, -Margin, -Margin));
    m_label->setCaption(QString::fromLatin1(HintCaption));

    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("ButtonCancel"));
    m_cancel->setGeometry(QRect(QPoint(Margin, buttonTop), ButtonSize));
    connect(m_cancel, &QPushButton::clicked, this, &QWidget::hide);

    m_next = new QPushButton(QStringLiteral("&Next"), this);
    m_next->setObjectName(QStringLiteral("ButtonNext"));
    m_next->setIcon(style()->standardIcon(QStyle::SP_ArrowForward, nullptr, this));
    m_next->setLayoutDirection(Qt::RightToLeft); // the picture to the right of the caption
    m_next->setGeometry(
        QRect(QPoint(ClientSize.width() - Margin - ButtonSize.width(), buttonTop), ButtonSize));
    m_next->setDefault(true);
    connect(m_next, &QPushButton::clicked, this, [this] { Q_EMIT nextPressed(m_tag); });

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TFormDlgNext::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    // A minimised window is not hidden by the program: only report real hides.
    if (!event->spontaneous())
        Q_EMIT promptHidden(m_tag);
}
