#include "batch/widgets/formassistent2.h"

#include "batch/runengine.h"
#include "batch/spmlistsetting.h"
#include "batch/widgets/frameassistent.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextBlock>
#include <QTextEdit>
#include <QVBoxLayout>

TFormAssistent2::TFormAssistent2(TBatchContext context, QWidget *parent,
                                 const TVolumeSource &volumes)
    : QDialog(parent), m_ctrl(context, *this, volumes)
{
    setObjectName(QStringLiteral("FormAssistent2"));
    setWindowTitle(QStringLiteral("Batch Assistent"));
    setMinimumSize(415, 450);
    // Modal to the main window only: the log window, which the result pages open, stays
    // usable (scrolling, saving) while the wizard is open.
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);

    RichEditVerlauf = new QTextEdit(this);
    RichEditVerlauf->setObjectName(QStringLiteral("RichEditVerlauf"));
    RichEditVerlauf->setReadOnly(true);
    RichEditVerlauf->setFixedWidth(177);
    RichEditVerlauf->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_stack = new QStackedWidget(this);
    m_pages = CreateAssistentPages(context, m_stack);
    for (size_t i = 1; i < m_pages.size(); ++i) {
        m_stack->addWidget(m_pages[i]);
        connect(m_pages[i], &TFrameCustomAssistent::choiceChanged, this,
                [this](int page, int option) { m_ctrl.SetChoice(page, option); });
        connect(m_pages[i], &TFrameCustomAssistent::showLogRequested, this,
                &TFormAssistent2::showLogRequested);
    }

    auto button = [this](const char *name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    BitBtnRetry = button("BitBtnRetry", QStringLiteral("&Retry"));
    BitBtnRetry->setToolTip(QStringLiteral("Re-apply settings of last run"));
    BitBtnPrev = button("BitBtnPrev", QStringLiteral("&Previous"));
    BitBtnNext = button("BitBtnNext", QStringLiteral("&Next"));
    BitBtnCancel = button("BitBtnCancel", QStringLiteral("&Cancel"));
    connect(BitBtnRetry, &QPushButton::clicked, this, [this] { m_ctrl.Retry(); });
    connect(BitBtnPrev, &QPushButton::clicked, this, [this] { m_ctrl.Previous(); });
    connect(BitBtnNext, &QPushButton::clicked, this, [this] { m_ctrl.Next(); });
    connect(BitBtnCancel, &QPushButton::clicked, this, [this] { m_ctrl.Cancel(); });

    auto *top = new QHBoxLayout;
    top->addWidget(RichEditVerlauf);
    top->addWidget(m_stack, 1);
    auto *bar = new QHBoxLayout;
    bar->addWidget(BitBtnRetry);
    bar->addStretch();
    bar->addWidget(BitBtnPrev);
    bar->addWidget(BitBtnNext);
    bar->addWidget(BitBtnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bar);
    resize(760, 560);

    // The run page is the engine's progress display; Cancel during the run only sets the
    // engine's request, which it reads before each entry.
    m_engine = std::make_unique<TBatchRun>(context.Entries, context.Log, *runPage());
    setJobRunner(
        [this](const TBatchJobSettings &settings, TRunProgress &) {
            m_engine->SetSpmListFile(m_ctrl.Context().SpmListFile);
            m_engine->SetExtraFiles(m_ctrl.Context().ExtraFiles);
            m_engine->RunBatchJob(settings);
            return m_engine->JobFailed();
        },
        [this] { m_engine->RequestCancel(); });
}

TFormAssistent2::~TFormAssistent2() = default;

void TFormAssistent2::setJobRunner(JobRunner run, std::function<void()> cancel)
{
    m_run = std::move(run);
    m_cancel = std::move(cancel);
}

TFrameAssistentRun *TFormAssistent2::runPage() const
{
    return static_cast<TFrameAssistentRun *>(m_pages.at(pgRun));
}

void TFormAssistent2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        m_ctrl.ShowWizard();
}

void TFormAssistent2::showHistory()
{
    const QVector<TProtokollLine> lines = m_ctrl.HistoryLines();
    RichEditVerlauf->clear();
    QTextCursor cursor(RichEditVerlauf->document());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QTextCharFormat format;
        format.setForeground(lines[i].Color);
        format.setFontWeight(lines[i].Style == LogStyle::Bold ? QFont::Bold : QFont::Normal);
        if (i > 0)
            cursor.insertBlock();
        cursor.insertText(lines[i].Text, format);
    }
    RichEditVerlauf->moveCursor(QTextCursor::End);
    RichEditVerlauf->ensureCursorVisible();
    m_historyShown = int(m_ctrl.History().size());
}

void TFormAssistent2::StateChanged()
{
    showHistory();
    const int number = m_ctrl.CurrentPage();
    if (number >= 1 && number <= AssistentPageCount) {
        m_pages[size_t(number)]->showState(m_ctrl);
        m_stack->setCurrentWidget(m_pages[size_t(number)]);
    }
    const TAssistentButtons &b = m_ctrl.Buttons();
    BitBtnPrev->setEnabled(b.PrevEnabled);
    BitBtnNext->setEnabled(b.NextEnabled);
    BitBtnNext->setText(b.NextText);
    BitBtnCancel->setEnabled(b.CancelEnabled);
    BitBtnRetry->setVisible(b.RetryVisible);
}

void TFormAssistent2::PreparePage(int page)
{
    if (page >= 1 && page <= AssistentPageCount)
        m_pages[size_t(page)]->prepare();
}

bool TFormAssistent2::RunJob(const TBatchJobSettings &settings)
{
    if (!m_run)
        return true;
    return m_run(settings, *runPage());
}

void TFormAssistent2::RequestCancel()
{
    if (m_cancel)
        m_cancel();
}

void TFormAssistent2::ShowLog()
{
    Q_EMIT showLogRequested();
}

void TFormAssistent2::CloseWizard(bool ok)
{
    done(ok ? QDialog::Accepted : QDialog::Rejected);
}

void TFormAssistent2::reject()
{
    m_ctrl.Cancel();
}
