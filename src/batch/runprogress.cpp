#include "batch/runprogress.h"

#include "batch/protokoll.h"

QString RunStatusPattern(int phase)
{
    return QStringLiteral("<FB><c8>%s<FN><FB><c8>  ") + QString::number(phase) +
           QStringLiteral("/2 (%d/%d)");
}

void TRunStatusState::Begin(int maximum, int phase)
{
    m_pattern = RunStatusPattern(phase);
    m_position = 0;
    m_maximum = maximum;
}

void TRunStatusState::Step()
{
    if (m_position < m_maximum)
        ++m_position;
}

QString TRunStatusState::StatusText(const QString &text) const
{
    return FormatLogText(m_pattern, {text, m_position, m_maximum});
}
