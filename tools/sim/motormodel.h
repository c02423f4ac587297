#pragma once

#include <QtGlobal>

namespace blinds {

// One blind's motor: a position from 0 (closed) to 100 (open) that Open and
// Close drive at a constant speed until an end or a Stop, and that the angle
// commands nudge a few steps at a time. Time is passed in so that a test can
// move it at will.
class MotorModel
{
public:
    enum class Motion
    {
        Idle,
        Opening,
        Closing
    };

    static constexpr int AngleStep = 5;

    // travelSeconds: time for a full 0..100 run; 0 moves at once.
    explicit MotorModel(double travelSeconds = 10.0, int position = 0);

    // Acts on a command code and gives the data byte of the reply.
    quint8 handle(quint8 code, quint8 channel, qint64 nowMs);

    int position(qint64 nowMs) const;
    Motion motion(qint64 nowMs) const;

private:
    double positionAt(qint64 nowMs) const;
    void settle(qint64 nowMs);
    void move(Motion motion, qint64 nowMs);

    double m_travelMs;
    double m_position;
    Motion m_motion = Motion::Idle;
    qint64 m_since = 0;
};

} // namespace blinds
