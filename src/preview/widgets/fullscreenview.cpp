#include "preview/widgets/fullscreenview.h"

#include "preview/widgets/previewarea.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// How long the caption stays after a key or a change of what it says.
constexpr int CaptionMs = 3000;

} // namespace

TFullScreenView::TFullScreenView(const TGflLibrary *gfl, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FormFullScreen"));
    setWindowTitle(QStringLiteral("Duomira – stereo view"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_area = new TPreviewArea(this);
    m_area->setPlain();
    layout->addWidget(m_area);
    m_presenter = std::make_unique<TFullScreenPresenter>(*m_area, gfl);

    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("LabelCaption"));
    m_caption->setTextFormat(Qt::PlainText);
    m_caption->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_caption->setStyleSheet(QStringLiteral(
        "QLabel { color: #e0e0e0; background: rgba(0, 0, 0, 160); padding: 4px 10px; }"));
    m_captionTimer.setSingleShot(true);
    m_captionTimer.setInterval(CaptionMs);
    connect(&m_captionTimer, &QTimer::timeout, this, [this] {
        if (!m_captionKept)
            m_caption->hide();
    });

    connect(m_area, &TPreviewArea::panelResized, this, [this] {
        m_presenter->PanelsResized();
        Q_EMIT redrawWanted();
    });
    connect(m_area, &TPreviewArea::doubleClicked, this, &QWidget::close);
    connect(m_presenter.get(), &TFullScreenPresenter::redrawWanted, this,
            &TFullScreenView::redrawWanted);
}

// The presenter (and its decoder) goes before the panels it draws into.
TFullScreenView::~TFullScreenView()
{
    m_presenter.reset();
}

void TFullScreenView::setMode(TDisplayMode mode)
{
    m_area->setMode(mode);
    m_presenter->SetMode(mode);
}

void TFullScreenView::setSpacing(int spacing)
{
    m_area->setSpacing(spacing);
}

void TFullScreenView::Show(const TDatensatz *left, const TDatensatz *right,
                           const TDatensatz *aheadLeft, const TDatensatz *aheadRight)
{
    m_presenter->Show(left, right, aheadLeft, aheadRight);
    const QString now = FullScreenCaption(m_presenter->Status());
    if (now != m_caption->text()) {
        m_caption->setText(now);
        showCaption();
    }
}

void TFullScreenView::showCaption()
{
    m_caption->adjustSize();
    placeCaption();
    m_caption->show();
    m_caption->raise();
    m_captionTimer.start();
}

void TFullScreenView::placeCaption()
{
    m_caption->move(12, std::max(0, height() - m_caption->height() - 12));
}

void TFullScreenView::keyPressEvent(QKeyEvent *event)
{
    const TFullScreenAction action = FullScreenAction(event->key(), event->modifiers());
    switch (action) {
    case TFullScreenAction::None:
        QWidget::keyPressEvent(event);
        return;
    case TFullScreenAction::Close:
        close();
        break;
    case TFullScreenAction::SwapEyes:
        m_presenter->SwapEyes();
        Q_EMIT redrawWanted();
        break;
    case TFullScreenAction::ToggleAlignment:
        m_presenter->ToggleAlignment();
        Q_EMIT redrawWanted();
        break;
    case TFullScreenAction::ToggleCaption:
        m_captionKept = !m_captionKept;
        if (m_captionKept)
            showCaption();
        else
            m_caption->hide();
        break;
    default:
        Q_EMIT stepRequested(action);
        break;
    }
    event->accept();
}

void TFullScreenView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeCaption();
}
