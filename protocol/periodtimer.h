#pragma once

#include <QObject>
#include <QTimer>

namespace blinds {

// A timer driven by its period alone: 0 stops it, a positive period starts it,
// and setting the period it already has does nothing, so a running timer is
// never restarted by it (a second reply must not prolong the flash).
class PeriodTimer : public QObject
{
    Q_OBJECT
public:
    explicit PeriodTimer(QObject *parent = nullptr);

    void setPeriod(int milliseconds);
    int period() const { return m_period; }
    bool isActive() const { return m_timer.isActive(); }
    int remainingTime() const { return m_timer.remainingTime(); }

signals:
    void tick();

private:
    QTimer m_timer;
    int m_period = 0;
};

} // namespace blinds
