// Row 3: how many bytes a second the receiver takes from a bus end that
// writes valid and random replies as fast as the pseudo-terminal accepts
// them, whether resident memory stays flat meanwhile, and how long a command
// given during the flood takes to leave.
//
// The command is requested from another thread as a queued call, the way the
// toolkit's input thread hands a click to the user-interface thread, so it
// has to find its way through the flood of byte events like a real press.

#include "benchsupport.h"

#include "commandissuer.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTimer>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

using namespace blinds;
using namespace bench;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    // Bytes a second the peer offers; 0 writes as fast as the terminal takes
    // them, which on two cores mostly measures the kernel's terminal work
    // competing with the receiver for the CPU.
    const qint64 offered = argc > 2 ? std::atoll(argv[2]) : 1'000'000;
    const int warmUpSeconds = 2;
    const int windowMs = 100;

    BenchPanel panel;
    if (!panel.open())
        return 1;
    LinkedPort &link = panel.link;
    BenchView &view = panel.view;
    ReplyReceiver &receiver = panel.receiver;
    CommandIssuer &issuer = panel.issuer;
    qint64 received = 0;
    qint64 accepted = 0;
    QObject::connect(&link.port, &SerialPort::byteReceived, [&](int value) {
        ++received;
        receiver.receiveByte(quint8(value));
    });
    view.onFieldText = [&](Field field, const QString &) { accepted += field == Field::SendCount; };

    // The stream: valid replies and random bytes in random runs.
    QByteArray pattern;
    QRandomGenerator random(6);
    while (pattern.size() < (1 << 20)) {
        if (random.bounded(2)) {
            for (int n = random.bounded(1, 20); n > 0; --n) {
                const ReplyFrame f =
                    makeReplyFrame(random.bounded(1 << 24), 0, quint8(random.bounded(256)));
                pattern.append(reinterpret_cast<const char *>(f.data()), f.size());
            }
        } else {
            for (int n = random.bounded(1, 120); n > 0; --n)
                pattern.append(char(random.bounded(256)));
        }
    }

    std::atomic<bool> stop{false};
    std::atomic<qint64> written{0};
    std::mutex commandMutex;
    std::vector<double> commandLatency;
    Clock::time_point requestedAt;
    bool commandPending = false;
    const int fd = link.pty.masterFd();

    // One thread is the bus: it keeps the pseudo-terminal full, reads what
    // the panel sends and, twice a second, asks the panel for a command.
    std::thread peer([&] {
        qsizetype offset = 0;
        QByteArray fromPanel;
        const Clock::time_point began = Clock::now();
        Clock::time_point nextCommand = began + std::chrono::milliseconds(500);
        while (!stop) {
            // Ahead of the offered rate, the peer only listens until the next
            // millisecond.
            const double due =
                offered > 0
                    ? std::chrono::duration<double>(Clock::now() - began).count() * double(offered)
                    : 1e300;
            const bool ahead = double(written.load()) >= due;
            pollfd p{fd, short(ahead ? POLLIN : POLLIN | POLLOUT), 0};
            ::poll(&p, 1, ahead ? 1 : 50);
            if (p.revents & POLLIN) {
                char buffer[256];
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                const Clock::time_point now = Clock::now();
                if (n > 0) {
                    fromPanel.append(buffer, n);
                    while (fromPanel.size() >= CommandFrameSize) {
                        fromPanel.remove(0, CommandFrameSize);
                        std::lock_guard lock(commandMutex);
                        if (commandPending) {
                            commandLatency.push_back(microsecondsBetween(requestedAt, now));
                            commandPending = false;
                        }
                    }
                }
            }
            if (p.revents & POLLOUT) {
                qsizetype chunk = qMin<qsizetype>(4096, pattern.size() - offset);
                if (offered > 0)
                    chunk = qMin<qsizetype>(chunk, qMax<qsizetype>(1, qsizetype(due) - written));
                const ssize_t n = ::write(fd, pattern.constData() + offset, chunk);
                if (n > 0) {
                    written += n;
                    offset = (offset + n) % pattern.size();
                }
            }
            const Clock::time_point now = Clock::now();
            std::lock_guard lock(commandMutex);
            if (!commandPending && now >= nextCommand) {
                commandPending = true;
                requestedAt = now;
                nextCommand = now + std::chrono::milliseconds(500);
                QMetaObject::invokeMethod(
                    &app, [&] { issuer.issueCommand(CommandCode::Stop); }, Qt::QueuedConnection);
            }
        }
    });

    std::vector<double> rates;
    std::vector<long> rss;
    qint64 lastReceived = 0;
    Clock::time_point lastAt = Clock::now();
    const Clock::time_point startedAt = lastAt;
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    int samples = 0;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - startedAt).count();
        if (elapsed >= warmUpSeconds) {
            const double rate = double(received - lastReceived) /
                                std::chrono::duration<double>(now - lastAt).count();
            rates.push_back(rate);
        }
        lastReceived = received;
        lastAt = now;
        if (++samples % (1000 / windowMs) == 0)
            rss.push_back(residentKiB());
        if (elapsed >= seconds + warmUpSeconds)
            app.quit();
    });
    sampler.start(windowMs);
    app.exec();
    stop = true;
    peer.join();

    // For a rate the bad tail is the low end: "p99" is the rate that 99 % of
    // the windows reached.
    const double med = median(rates);
    const double low = percentile(rates, 1);
    const long rssFirst = rss.size() > warmUpSeconds ? rss[warmUpSeconds] : -1;
    const long rssMax = rss.empty() ? -1 : *std::max_element(rss.begin(), rss.end());
    const long rssLast = rss.empty() ? -1 : rss.back();
    // Whatever the port's queue held at its fullest (up to 1 MiB, and the
    // slack of its buffer) stays resident afterwards; flat means no more.
    const bool flat = rssMax - rssFirst < 4096;
    std::printf("flood: %d s after %d s to warm up, peer offering %s, %lld bytes written, %lld "
                "received, %lld dropped by the port's queue limit, %lld replies accepted\n",
                seconds, warmUpSeconds,
                offered > 0 ? qPrintable(QStringLiteral("%1 B/s").arg(offered)) : "all it can",
                (long long)written.load(), (long long)received, (long long)link.port.droppedBytes(),
                (long long)accepted);
    std::printf("received per second (%d ms windows): median %.0f, p99 (low end) %.0f\n", windowMs,
                med, low);
    std::printf("resident memory: %ld KiB after warm-up, %ld KiB at most, %ld KiB at the end\n",
                rssFirst, rssMax, rssLast);
    if (!link.port.isOpen())
        std::printf("the port closed during the flood: %s\n",
                    qPrintable(link.port.failureReason()));
    std::lock_guard lock(commandMutex);
    std::printf("commands during the flood: %zu, request to 7th byte median %.1f ms, p99 %.1f "
                "ms, max %.1f ms\n",
                commandLatency.size(), median(commandLatency) / 1000,
                percentile(commandLatency, 99) / 1000, percentile(commandLatency, 100) / 1000);
    const QByteArray what =
        offered > 0 ? QStringLiteral("receive throughput, peer offering %1 B/s of valid and random "
                                     "replies (p99: low end)")
                          .arg(offered)
                          .toUtf8()
                    : QByteArray("receive throughput, peer flooding valid and random replies "
                                 "(p99: low end)");
    // The unbounded flood is a row of its own beside the paced one.
    const char *id = offered > 0 ? "3" : "3f";
    const char *idMemory = offered > 0 ? "3m" : "3fm";
    const char *idCommand = offered > 0 ? "3c" : "3fc";
    printRow(id, what.constData(), figure(med, 0, "B/s"), figure(low, 0, "B/s"), ">= 96000 B/s",
             low >= 96000);
    printRow(
        idMemory,
        "resident memory growth after warm-up (median column: at most; p99 column: at the end)",
        figure(rssMax - rssFirst, 0, "KiB"), figure(rssLast - rssFirst, 0, "KiB at the end"),
        "< 4 MiB (queue limit 1 MiB)", flat);
    printRow(idCommand, "command during the flood: request to 7th byte at the peer",
             figure(median(commandLatency) / 1000, 1, "ms"),
             figure(percentile(commandLatency, 99) / 1000, 1, "ms"), "< 100 ms",
             !commandLatency.empty() && percentile(commandLatency, 100) < 100000);
    return 0;
}
