#include "motormodel.h"

#include "frames.h"

#include <QtMath>

namespace blinds {

MotorModel::MotorModel(double travelSeconds, int position)
    : m_travelMs(qMax(0.0, travelSeconds) * 1000.0), m_position(qBound(0, position, 100))
{
}

double MotorModel::positionAt(qint64 nowMs) const
{
    if (m_motion == Motion::Idle)
        return m_position;
    const double travelled =
        m_travelMs <= 0 ? 100.0 : double(qMax<qint64>(0, nowMs - m_since)) * 100.0 / m_travelMs;
    const double target =
        m_motion == Motion::Opening ? m_position + travelled : m_position - travelled;
    return qBound(0.0, target, 100.0);
}

int MotorModel::position(qint64 nowMs) const
{
    return qRound(positionAt(nowMs));
}

MotorModel::Motion MotorModel::motion(qint64 nowMs) const
{
    const double p = positionAt(nowMs);
    if ((m_motion == Motion::Opening && p >= 100.0) || (m_motion == Motion::Closing && p <= 0.0))
        return Motion::Idle;
    return m_motion;
}

void MotorModel::settle(qint64 nowMs)
{
    m_position = positionAt(nowMs);
    m_motion = motion(nowMs);
    m_since = nowMs;
}

void MotorModel::move(Motion motion, qint64 nowMs)
{
    m_motion = motion;
    m_since = nowMs;
}

quint8 MotorModel::handle(quint8 code, quint8 channel, qint64 nowMs)
{
    settle(nowMs);
    // Open and Close answer with the position they start from; the angle
    // commands with the position they step to.
    const quint8 before = quint8(position(nowMs));
    switch (code) {
    case quint8(CommandCode::Open):
        move(Motion::Opening, nowMs);
        return before;
    case quint8(CommandCode::Close):
        move(Motion::Closing, nowMs);
        return before;
    case quint8(CommandCode::Stop):
        move(Motion::Idle, nowMs);
        return before;
    case quint8(CommandCode::AngleOpen):
        move(Motion::Idle, nowMs);
        m_position = qMin(100.0, qRound(m_position) + double(AngleStep));
        return quint8(position(nowMs));
    case quint8(CommandCode::AngleClose):
        move(Motion::Idle, nowMs);
        m_position = qMax(0.0, qRound(m_position) - double(AngleStep));
        return quint8(position(nowMs));
    case quint8(CommandCode::Pair):
        return channel; // the channel the controller is now paired on
    default:            // ReadPosition, ReadAddress
        return before;
    }
}

} // namespace blinds
