// The background pair check in the window: it starts once the thumbnails are in, goes on
// while the user works, and shows what it finds in the lists (the rows' marks), in the line
// below the preview and in the status line. The queue (src/session/paircheckqueue.h) holds
// the logic; the window only shows it.
#include "mainwindow/widgets/formmain.h"

#include "entries/listrows.h"
#include "imaging/libgfl.h"
#include "mainwindow/widgets/optionstack.h"
#include "session/idleprocessor.h"
#include "session/loading.h"
#include "session/paircheckqueue.h"

#include <QLabel>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcPairCheckWindow, "duomira.paircheck")

void TFormMain::connectPairCheck()
{
    m_checks = std::make_unique<TPairCheckQueue>(*m_left, *m_right);
    // HEIF and RAW pairs are checked by their embedded pictures or previews.
    m_checks->SetCheckFunction([](const TPairKey &key) { return CheckPairFiles(key, &Gfl()); });
    // Rows and thumbnails first: the checks start when the thumbnails are in (the status
    // reads "Ready" before, as soon as the lists are ordered). Both decode pictures on the
    // same cores; the rows' icons come first.
    connect(m_idle.get(), &TIdleProcessor::thumbnailsDone, this, [this] {
        if (!m_checks->Started())
            m_checks->Start();
    });
    connect(m_checks.get(), &TPairCheckQueue::pairChecked, this, [this](TDatensatz *left) {
        if (m_statusReady)
            SetStatusText(QString::fromLatin1(StatusReady));
        if (left == m_left->SelectedEntry() || left->Partner() == m_right->SelectedEntry())
            showPairCheckLine();
    });
    connect(m_checks.get(), &TPairCheckQueue::finished, this, [this] {
        const TPairCheckQueue::Run run = m_checks->LastRun();
        qCInfo(lcPairCheckWindow, "%d pairs checked in %lld ms (%.1f a second)", run.Checks,
               run.Milliseconds,
               run.Milliseconds > 0 ? 1000.0 * run.Checks / run.Milliseconds : 0.0);
    });
}

void TFormMain::showPairCheckLine()
{
    const TDatensatz *selected = m_left->SelectedEntry();
    if (!selected)
        selected = m_right->SelectedEntry();
    const TPairCheck *result = m_checks->ResultFor(selected);
    LabelPairCheck->setText(result ? QStringLiteral("Pair check: ") + PairCheckLine(*result)
                                   : QString());
    LabelPairCheck->setToolTip(result ? PairMarkReasonOf(*result) : QString());
}

QString TFormMain::readyStatusText() const
{
    QStringList parts;
    if (!m_pairingNote.isEmpty())
        parts << m_pairingNote;
    if (m_checks && !m_checks->StatusText().isEmpty())
        parts << m_checks->StatusText();
    return parts.join(QStringLiteral(". "));
}
