#pragma once

#include "controllerset.h"
#include "faults.h"
#include "frameassembler.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

namespace blinds {

struct SimConfig
{
    QList<quint32> controllers{0x010203};
    QString link;
    double travelSeconds = 10.0;
    int position = 0;
    Collisions collisions = Collisions::Garble;
    bool pacing = true;
    int gapMs = 50;
    QList<FaultSpec> faults;
    quint32 seed = 1;
    bool log = false;
};

// The simulated bus behind the pseudo-terminal, apart from the terminal
// itself: bytes from the line go in through receive(), the controllers'
// answers come out through transmit(), paced like a 9600-baud line unless
// pacing is off.
class BusSimulator : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 ByteMicros = 1'000'000 * 10 / 9600; // start, 8 data, stop bit

    explicit BusSimulator(const SimConfig &config, QObject *parent = nullptr);

    // The time the motors and the gap detection go by, in ms; a test may
    // replace it to move the motors without waiting.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

    void receive(const QByteArray &bytes);

    const ControllerSet &controllers() const { return m_controllers; }
    qint64 now() const { return m_clock(); }
    // Bytes scheduled but not yet on the line.
    int queued() const;

signals:
    void transmit(const QByteArray &bytes);
    void logLine(const QString &line);

private:
    void handle(const FrameAssembler::Piece &piece, qint64 completedUs);
    void schedule(const QByteArray &bytes, qint64 startUs, const QString &logText);
    void pump();
    void expirePartial();
    void log(const QString &text);
    qint64 wallMicros() const { return m_wall.nsecsElapsed() / 1000; }

    SimConfig m_config;
    ControllerSet m_controllers;
    FaultInjector m_faults;
    FrameAssembler m_assembler;
    std::function<qint64()> m_clock;
    QElapsedTimer m_wall;
    QTimer m_sendTimer;
    QTimer m_expireTimer;
    qint64 m_lastArrivalUs = 0; // when the last byte in would have ended on a real line
    qint64 m_lineFreeUs = 0;    // when our last byte out ends

    struct Chunk
    {
        QByteArray bytes;
        qint64 startUs;
        QString logText;
        int sent = 0;
    };
    std::deque<Chunk> m_queue;
};

} // namespace blinds
