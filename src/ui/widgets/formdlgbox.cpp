#include "ui/widgets/formdlgbox.h"

#include "ui/widgets/labelformat.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace {
int g_openBoxes = 0; // message boxes that exist right now; places stacked boxes
}

TFormDlgBox::TFormDlgBox(const QString &message, DlgKind kind, DlgButtons buttons, QWidget *parent)
    : QDialog(parent), m_kind(kind)
{
    ++g_openBoxes;
    setObjectName(QStringLiteral("FormDlgBox"));
    resize(DlgBoxMeasure::StartClientSize);

    m_label = new TLabelFormat(this);
    m_label->setObjectName(QStringLiteral("LabelMessage"));
    m_label->move(DlgBoxMeasure::LabelPos);
    m_label->setCaption(message);

    setWindowTitle(DlgKindCaption(kind));

    const std::vector<DlgButtonInfo> infos = DlgButtonsInOrder(buttons);
    const DlgBoxLayout layout = ComputeDlgBoxLayout(m_label->measuredSize(), int(infos.size()));
    for (size_t i = 0; i < infos.size(); ++i) {
        auto *button = new QPushButton(QString::fromLatin1(infos[i].Caption), this);
        button->setGeometry(layout.Buttons[i]);
        const int result = infos[i].Result;
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        m_buttons.append(button);
    }
    resize(layout.ClientSize);
    m_parts = layout.Parts;

    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        move(DlgBoxPosition(screen->geometry(), size(), g_openBoxes));
}

TFormDlgBox::~TFormDlgBox()
{
    --g_openBoxes;
}

int TFormDlgBox::openCount()
{
    return g_openBoxes;
}

void TFormDlgBox::reject()
{
    done(DlgResult::Cancel);
}

QIcon TFormDlgBox::kindIcon() const
{
    QStyle::StandardPixmap pixmap = QStyle::SP_MessageBoxInformation;
    switch (m_kind) {
    case DlgKind::Warning:
        pixmap = QStyle::SP_MessageBoxWarning;
        break;
    case DlgKind::Error:
        pixmap = QStyle::SP_MessageBoxCritical;
        break;
    case DlgKind::Information:
        pixmap = QStyle::SP_MessageBoxInformation;
        break;
    case DlgKind::Confirmation:
        pixmap = QStyle::SP_MessageBoxQuestion;
        break;
    case DlgKind::Custom:
        if (!QApplication::windowIcon().isNull())
            return QApplication::windowIcon();
        break;
    }
    return style()->standardIcon(pixmap, nullptr, this);
}

void TFormDlgBox::resizeEvent(QResizeEvent *event)
{
    m_parts = DlgBoxPartsFor(size());
    for (QPushButton *button : std::as_const(m_buttons))
        button->move(button->x(), m_parts.ButtonTop);
    QDialog::resizeEvent(event);
}

void TFormDlgBox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    raise();
    activateWindow();
}

void TFormDlgBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor dark = palette().color(QPalette::Mid);
    const QColor light = palette().color(QPalette::Light);

    // Etched frame and separator: a dark line with a light line beside it.
    const QRect frame = m_parts.Frame;
    painter.setPen(light);
    painter.drawRect(frame.adjusted(1, 1, 0, 0));
    painter.setPen(dark);
    painter.drawRect(frame.adjusted(0, 0, -1, -1));

    const int y = m_parts.SeparatorY;
    painter.setPen(dark);
    painter.drawLine(m_parts.SeparatorLeft, y, m_parts.SeparatorRight - 1, y);
    painter.setPen(light);
    painter.drawLine(m_parts.SeparatorLeft, y + 1, m_parts.SeparatorRight - 1, y + 1);

    kindIcon().paint(&painter, DlgBoxMeasure::IconRect, Qt::AlignCenter);
}

int ShowDlgBox(const QString &message, DlgKind kind, DlgButtons buttons, QWidget *parent)
{
    QWidget *owner = parent ? parent : QApplication::activeWindow();
    QPointer<TFormDlgBox> box = new TFormDlgBox(message, kind, buttons, owner);
    const int result = box->exec();
    if (!box) // destroyed with its owner while open
        return DlgResult::Cancel;
    delete box.data();
    return result;
}
