// Row 2: from the last byte of a reply written at the bus end to the fields
// holding it (the third field write of an accepted reply). Replies are spaced
// 2 ms apart, so each one meets an idle event loop, as on the real wire,
// where a 6-byte reply takes 6.25 ms.

#include "benchsupport.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

using namespace blinds;
using namespace bench;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int replies = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int warmUp = 50;
    const int total = warmUp + replies;

    BenchPanel panel;
    if (!panel.open())
        return 1;
    LinkedPort &link = panel.link;
    BenchView &view = panel.view;
    ReplyReceiver &receiver = panel.receiver;
    QObject::connect(&link.port, &SerialPort::byteReceived,
                     [&](int value) { receiver.receiveByte(quint8(value)); });

    // Reply i carries the data byte i % 256 and an address made from i, so a
    // late or lost reply cannot be mistaken for the one being timed.
    auto replyFor = [](int i) {
        return makeReplyFrame(quint32(i * 2654435761u) & 0xFFFFFF, 0, quint8(i));
    };

    std::vector<Clock::time_point> writtenAt(total), shownAt(total);
    // The peer sleeps until the reply is shown: a waiting thread that spun
    // would take the second core from the event loop it is timing.
    std::mutex mutex;
    std::condition_variable shownChanged;
    std::atomic<int> shown{0};
    int mismatches = 0;
    view.onFieldText = [&](Field field, const QString &text) {
        if (field != Field::FoundAddress)
            return;
        const Clock::time_point now = Clock::now();
        const int i = shown.load();
        const ReplyFrame f = replyFor(i);
        if (text.toLatin1() != addressToText(quint32(f[0]) | f[1] << 8 | f[2] << 16) ||
            view.fieldText(Field::SendCount) != QString::number(f[4]))
            ++mismatches;
        shownAt[i] = now;
        {
            std::lock_guard lock(mutex);
            shown.store(i + 1);
        }
        shownChanged.notify_one();
    };

    std::atomic<bool> failed{false};
    std::thread peer([&] {
        for (int i = 0; i < total; ++i) {
            const ReplyFrame f = replyFor(i);
            const int fd = link.pty.masterFd();
            // Five bytes first, then the stamp, then the last byte alone.
            if (!waitFor(fd, POLLOUT, 1000) || ::write(fd, f.data(), 5) != 5) {
                failed = true;
                break;
            }
            writtenAt[i] = Clock::now();
            if (::write(fd, f.data() + 5, 1) != 1) {
                failed = true;
                break;
            }
            std::unique_lock lock(mutex);
            if (!shownChanged.wait_for(lock, std::chrono::seconds(2),
                                       [&] { return shown.load() > i; })) {
                failed = true;
                break;
            }
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    peer.join();
    if (failed || mismatches) {
        std::fprintf(stderr, "reply %d was not shown (%d shown wrongly)\n", shown.load(),
                     mismatches);
        return 1;
    }

    std::vector<double> latency;
    for (int i = warmUp; i < total; ++i)
        latency.push_back(microsecondsBetween(writtenAt[i], shownAt[i]));
    std::printf("replies: %d (after %d to warm up)\n", replies, warmUp);
    std::printf("last byte written to fields holding the reply: median %.1f us, p99 %.1f us, "
                "max %.1f us\n",
                median(latency), percentile(latency, 99), percentile(latency, 100));
    printRow("2", "reply latency: last byte written at the peer to fields holding it",
             figure(median(latency) / 1000, 3, "ms"),
             figure(percentile(latency, 99) / 1000, 3, "ms"), "< 1 ms",
             percentile(latency, 99) < 1000);
    return 0;
}
