#include "pairing/orderingprogress.h"

#include <QCoreApplication>

QString OrderingStepText(int step)
{
    return QStringLiteral("Order data") + QString::asprintf(" %d/5", step);
}

TStatusProgress::TStatusProgress(QObject *parent) : QObject(parent) {}

void TStatusProgress::StepStarted(const QString &text, int maximum)
{
    m_maximum = qMax(0, maximum);
    m_stride = qMax(1, m_maximum / 500);
    m_nextShown = 0;
    Q_EMIT statusTextChanged(text);
    Q_EMIT progressRangeChanged(m_maximum);
    Q_EMIT progressValueChanged(0);
    QCoreApplication::processEvents();
}

void TStatusProgress::RowDone(int position)
{
    if (position < m_nextShown && position < m_maximum)
        return;
    m_nextShown = position + m_stride;
    Q_EMIT progressValueChanged(qMin(position, m_maximum));
}
