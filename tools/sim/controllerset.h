#pragma once

#include "frames.h"
#include "motormodel.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

namespace blinds {

// How simultaneous replies meet on the pair: Garble gives the wired-AND of
// the drivers' bytes (a low bit wins), First lets the first controller be
// heard alone.
enum class Collisions
{
    Garble,
    First
};

// Every command that a frame should be answered with is a known code.
bool isKnownCommand(quint8 code);

// The controllers on the simulated bus, each with its own motor.
class ControllerSet
{
public:
    ControllerSet(const QList<quint32> &addresses, double travelSeconds, int position,
                  Collisions collisions);

    struct Answer
    {
        QByteArray bytes;        // what goes on the wire; empty when nobody answers
        QList<quint32> answered; // the controllers that answered
        QString note;            // why nobody answered, or how replies collided
    };
    // frame has a good checksum.
    Answer answer(const CommandFrame &frame, qint64 nowMs);

    int position(int index, qint64 nowMs) const;
    int size() const { return int(m_controllers.size()); }

private:
    struct Controller
    {
        quint32 address;
        MotorModel motor;
    };
    std::vector<Controller> m_controllers;
    Collisions m_collisions;
};

} // namespace blinds
