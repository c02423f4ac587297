#include "periodtimer.h"

namespace blinds {

PeriodTimer::PeriodTimer(QObject *parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PeriodTimer::tick);
}

void PeriodTimer::setPeriod(int milliseconds)
{
    milliseconds = qMax(0, milliseconds);
    if (milliseconds == m_period)
        return;
    m_period = milliseconds;
    if (m_period == 0)
        m_timer.stop();
    else
        m_timer.start(m_period);
}

} // namespace blinds
