#include "mainwindow/widgets/collapsiblebox.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int DesignCaptionHeight = 16;
constexpr int Inset = 4;
} // namespace

TCollapsibleBox::TCollapsibleBox(const QString &title, QWidget *parent)
    : QFrame(parent), m_title(title)
{
    m_body = new QWidget(this);
    m_body->setObjectName(QStringLiteral("Body"));
    m_layout = new QVBoxLayout(this);
    m_layout->addWidget(m_body);
    applyMargins();
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

int TCollapsibleBox::captionHeight() const
{
    QFont bold = font();
    bold.setBold(true);
    return std::max(DesignCaptionHeight, QFontMetrics(bold).height() + 4);
}

void TCollapsibleBox::applyMargins()
{
    m_layout->setContentsMargins(Inset, captionHeight() + 2, Inset, Inset);
}

QColor TCollapsibleBox::collapsedColor(int sign)
{
    return sign < 0 ? QColor(181, 181, 181) : QColor(212, 212, 212);
}

QColor TCollapsibleBox::backgroundColor() const
{
    return m_collapsed ? collapsedColor(m_sign) : palette().color(QPalette::Button);
}

void TCollapsibleBox::collapse(int sign)
{
    m_sign = sign < 0 ? -1 : 1;
    const bool was = m_collapsed;
    m_collapsed = true;
    m_body->hide();
    setFixedHeight(captionHeight());
    update();
    if (!was)
        Q_EMIT toggled(true);
}

void TCollapsibleBox::expand()
{
    if (!m_collapsed)
        return;
    m_collapsed = false;
    setMinimumHeight(0);
    setMaximumHeight(QWIDGETSIZE_MAX);
    m_body->show();
    update();
    Q_EMIT toggled(false);
}

void TCollapsibleBox::toggle()
{
    if (m_collapsed)
        expand();
    else
        collapse(m_sign);
}

void TCollapsibleBox::addToggleArea(QWidget *widget)
{
    if (widget)
        widget->installEventFilter(this);
}

void TCollapsibleBox::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton &&
        (m_anyClick || event->position().y() < captionHeight())) {
        toggle();
        event->accept();
        return;
    }
    QFrame::mousePressEvent(event);
}

bool TCollapsibleBox::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        toggle();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void TCollapsibleBox::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        applyMargins();
        if (m_collapsed)
            setFixedHeight(captionHeight());
    }
    QFrame::changeEvent(event);
}

void TCollapsibleBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(frame, 3, 3);
    p.fillPath(path, backgroundColor());
    p.setPen(palette().color(QPalette::Mid));
    p.drawPath(path);

    const int h = captionHeight();
    if (!m_collapsed) {
        // A slightly darker caption band over the open box's controls.
        QPainterPath band;
        band.addRoundedRect(QRectF(frame.left(), frame.top(), frame.width(), h), 3, 3);
        p.fillPath(band, palette().color(QPalette::Button).darker(108));
        p.drawLine(QPointF(frame.left(), h + 0.5), QPointF(frame.right(), h + 0.5));
    }

    // Fold indicator: a small triangle pointing right (folded) or down (open).
    const QPointF c(10, h / 2.0);
    QPolygonF arrow;
    if (m_collapsed)
        arrow << c + QPointF(-2, -4) << c + QPointF(3, 0) << c + QPointF(-2, 4);
    else
        arrow << c + QPointF(-4, -2) << c + QPointF(4, -2) << c + QPointF(0, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(palette().color(QPalette::ButtonText));
    p.drawPolygon(arrow);

    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(QRect(20, 0, width() - 24, h), Qt::AlignVCenter | Qt::AlignLeft, m_title);
}
