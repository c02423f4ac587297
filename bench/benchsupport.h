#pragma once

// What the wire benchmarks share: a pseudo-terminal peer linked in as COM1, a
// panel stand-in that behaves like the window where it matters for timing
// (nested event processing, the two period timers), clocks, percentiles and
// the one-line result format that bench/run.sh turns into its table.

#include "../tests/support/pty.h"

#include "commandissuer.h"
#include "periodtimer.h"
#include "replyreceiver.h"
#include "serialport.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <poll.h>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double microsecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::micro>(to - from).count();
}

// Nearest-rank percentile; p in 0..100.
inline double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

inline double median(const std::vector<double> &values)
{
    return percentile(values, 50);
}

// Resident memory of this process in KiB.
inline long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// A figure with its unit, e.g. "0.067 ms".
inline QByteArray figure(double value, int decimals, const char *unit)
{
    return QByteArray::number(value, 'f', decimals) + ' ' + unit;
}

// One table row for bench/run.sh, tab separated:
// ROW  id  what  median  p99  goal  verdict
inline void printRow(const char *id, const char *what, const QByteArray &median,
                     const QByteArray &p99, const char *goal, bool met)
{
    std::printf("ROW\t%s\t%s\t%s\t%s\t%s\t%s\n", id, what, median.constData(), p99.constData(),
                goal, met ? "met" : "MISSED");
    std::fflush(stdout);
}

// Blocks until the master has something to read (or room to write) or the
// timeout passes; the master is non-blocking.
inline bool waitFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & events);
}

// The pseudo-terminal's slave opened as COM1 through a ports/ link, as a
// user would give the panel an adapter.
struct LinkedPort
{
    Pty pty;
    QTemporaryDir dir;
    blinds::SerialPort port;

    LinkedPort()
    {
        QFile::link(pty.slaveName(), dir.filePath(QStringLiteral("COM1")));
        port.setPortsDirectory(dir.path());
        port.setPortNumber(1);
    }
};

// Stands in for the window: fields are plain texts, the timers are the real
// period timers wired to the receiver, and letting queued events run means
// what it means in the window, a nested QCoreApplication::processEvents().
class BenchView : public blinds::PanelView
{
public:
    explicit BenchView(blinds::ReplyReceiver *&receiver)
    {
        QObject::connect(&m_silence, &blinds::PeriodTimer::tick, [&receiver] {
            if (receiver)
                receiver->onSilenceTick();
        });
        QObject::connect(&m_flash, &blinds::PeriodTimer::tick, [&receiver] {
            if (receiver)
                receiver->onFlashTick();
        });
        m_silence.setPeriod(500);
    }

    std::function<void(blinds::Field, const QString &)> onFieldText;

    QString fieldText(blinds::Field field) const override { return m_texts.value(field); }
    void setFieldText(blinds::Field field, const QString &text) override
    {
        m_texts[field] = text;
        if (onFieldText)
            onFieldText(field, text);
    }
    void setFieldColour(blinds::Field field, quint32 bgr) override { m_colours[field] = bgr; }
    void setTimerPeriod(blinds::PanelTimer timer, int ms) override
    {
        (timer == blinds::PanelTimer::Flash ? m_flash : m_silence).setPeriod(ms);
    }
    void processPendingEvents() override { QCoreApplication::processEvents(); }

private:
    QMap<blinds::Field, QString> m_texts{{blinds::Field::Channel, QStringLiteral("1")},
                                         {blinds::Field::SendCount, QStringLiteral("1")},
                                         {blinds::Field::Address, QStringLiteral("010203")},
                                         {blinds::Field::FoundAddress, QString()}};
    QMap<blinds::Field, quint32> m_colours;
    blinds::PeriodTimer m_silence;
    blinds::PeriodTimer m_flash;
};

// The panel's core on a pseudo-terminal COM1, wired as the window wires it:
// the view's timers drive the receiver, commands go out through the port.
struct BenchPanel
{
    LinkedPort link;
    blinds::ReplyReceiver *receiverRef = nullptr;
    BenchView view{receiverRef};
    blinds::ReplyReceiver receiver{view};
    blinds::CommandIssuer issuer{view, link.port, receiver};

    BenchPanel() { receiverRef = &receiver; }

    bool open()
    {
        if (link.pty.isValid() && link.port.start() == 1)
            return true;
        std::fprintf(stderr, "cannot open the pseudo-terminal as COM1\n");
        return false;
    }
};

} // namespace bench
