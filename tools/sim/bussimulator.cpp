#include "bussimulator.h"

#include "conversions.h"
#include "textargs.h"

namespace blinds {

namespace {

QString describeCommand(const DecodedCommand &c)
{
    const bool broadcast = c.command == quint8(CommandCode::ReadAddress) && c.address == 0;
    return QStringLiteral("%1 to %2, channel %3, count %4")
        .arg(commandName(c.command),
             broadcast ? QStringLiteral("all") : QString::fromLatin1(addressToText(c.address)))
        .arg(c.channel)
        .arg(c.sendCount);
}

QString describeReply(const QByteArray &bytes)
{
    if (bytes.size() == ReplyFrameSize) {
        ReplyFrame f;
        std::copy_n(reinterpret_cast<const quint8 *>(bytes.constData()), ReplyFrameSize, f.begin());
        if (const auto r = decodeReply(f))
            return QStringLiteral("reply of %1 to %2, data %3")
                .arg(QString::fromLatin1(addressToText(r->address)), commandName(r->fourthByte))
                .arg(r->data);
    }
    return QStringLiteral("%1 bytes that are no good reply").arg(bytes.size());
}

} // namespace

BusSimulator::BusSimulator(const SimConfig &config, QObject *parent)
    : QObject(parent), m_config(config),
      m_controllers(config.controllers, config.travelSeconds, config.position, config.collisions),
      m_faults(config.faults, config.seed), m_assembler(config.gapMs)
{
    m_wall.start();
    m_clock = [this] { return m_wall.elapsed(); };
    m_sendTimer.setSingleShot(true);
    m_sendTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_sendTimer, &QTimer::timeout, this, &BusSimulator::pump);
    m_expireTimer.setSingleShot(true);
    connect(&m_expireTimer, &QTimer::timeout, this, &BusSimulator::expirePartial);
}

int BusSimulator::queued() const
{
    int n = 0;
    for (const Chunk &c : m_queue)
        n += int(c.bytes.size()) - c.sent;
    return n;
}

void BusSimulator::log(const QString &text)
{
    if (m_config.log)
        emit logLine(timeOfDay() + QLatin1Char(' ') + text);
}

void BusSimulator::receive(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    const qint64 nowUs = wallMicros();
    const QList<FrameAssembler::Piece> pieces = m_assembler.push(bytes, now());
    // On a real line the bytes cannot have come faster than the baud rate:
    // the frame is complete only when its last byte would have ended.
    qint64 arrivalUs = nowUs;
    if (m_config.pacing)
        arrivalUs = qMax(nowUs, m_lastArrivalUs + ByteMicros * bytes.size());
    m_lastArrivalUs = arrivalUs;
    for (const auto &piece : pieces)
        handle(piece, arrivalUs);
    if (m_assembler.pending() > 0)
        m_expireTimer.start(m_config.gapMs + 1);
    else
        m_expireTimer.stop();
    pump();
}

void BusSimulator::expirePartial()
{
    for (const auto &piece : m_assembler.expire(now()))
        handle(piece, wallMicros());
}

void BusSimulator::handle(const FrameAssembler::Piece &piece, qint64 completedUs)
{
    const QString hex = hexText(piece.bytes);
    if (!piece.complete) {
        log(QStringLiteral("in  %1  ignored: %2 bytes and then a gap, no whole frame")
                .arg(hex)
                .arg(piece.bytes.size()));
        return;
    }
    CommandFrame frame;
    std::copy_n(reinterpret_cast<const quint8 *>(piece.bytes.constData()), CommandFrameSize,
                frame.begin());
    const auto command = decodeCommand(frame);
    if (!command) {
        log(QStringLiteral("in  %1  ignored: checksum %2, should be %3")
                .arg(hex, hexText(piece.bytes.right(1)),
                     QString::fromLatin1(byteToHex(checksum(frame.data(), 6)))));
        return;
    }
    const ControllerSet::Answer answer = m_controllers.answer(frame, now());
    if (answer.bytes.isEmpty()) {
        log(QStringLiteral("in  %1  %2: ignored, %3")
                .arg(hex, describeCommand(*command), answer.note));
        return;
    }
    log(QStringLiteral("in  %1  %2").arg(hex, describeCommand(*command)));
    if (!answer.note.isEmpty())
        log(QStringLiteral("    %1").arg(answer.note));
    const FaultInjector::Outcome out = m_faults.apply(answer.bytes);
    for (const QString &note : out.notes)
        log(QStringLiteral("    fault %1").arg(note));
    if (out.bytes.isEmpty())
        return;
    schedule(out.bytes, completedUs + qint64(out.delayMs) * 1000,
             QStringLiteral("out %1  %2").arg(hexText(out.bytes), describeReply(out.bytes)));
}

void BusSimulator::schedule(const QByteArray &bytes, qint64 startUs, const QString &logText)
{
    // One driver at a time: a reply waits for the end of the one before it.
    const qint64 start = qMax(startUs, m_lineFreeUs);
    m_lineFreeUs = start + (m_config.pacing ? ByteMicros * bytes.size() : 0);
    m_queue.push_back({bytes, start, logText});
}

void BusSimulator::pump()
{
    const qint64 nowUs = wallMicros();
    QByteArray out;
    while (!m_queue.empty()) {
        Chunk &chunk = m_queue.front();
        while (chunk.sent < chunk.bytes.size()) {
            const qint64 due = chunk.startUs + (m_config.pacing ? ByteMicros * chunk.sent : 0);
            if (due > nowUs)
                break;
            if (chunk.sent == 0)
                log(chunk.logText);
            out.append(chunk.bytes.at(chunk.sent++));
        }
        if (chunk.sent < chunk.bytes.size())
            break;
        m_queue.pop_front();
    }
    if (!out.isEmpty())
        emit transmit(out);
    if (!m_queue.empty()) {
        const Chunk &chunk = m_queue.front();
        const qint64 due = chunk.startUs + (m_config.pacing ? ByteMicros * chunk.sent : 0);
        m_sendTimer.start(int(qMax<qint64>(0, (due - nowUs + 999) / 1000)));
    }
}

} // namespace blinds
