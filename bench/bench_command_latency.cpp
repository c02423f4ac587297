// Row 1: from issueCommand to the seventh byte readable at the bus end.
//
// A pseudo-terminal has no baud rate, so the bytes arrive as soon as the
// program has written them: what this measures is our own overhead, which
// comes on top of the 7.29 ms that seven bytes take at 9600 baud.

#include "benchsupport.h"

#include "commandissuer.h"

#include <QCoreApplication>

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
    const int commands = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int warmUp = 50;

    BenchPanel panel;
    if (!panel.open())
        return 1;
    LinkedPort &link = panel.link;
    CommandIssuer &issuer = panel.issuer;
    const CommandFrame expected = makeCommandFrame(0x010203, CommandCode::Open, 1, 1);

    // The bus end reads on its own thread and stamps the moment the seventh
    // byte of each frame is in its hands.
    std::mutex mutex;
    std::condition_variable arrived;
    int framesSeen = 0;
    Clock::time_point seventhByteAt;
    bool wrongBytes = false;
    std::atomic<bool> stop{false};
    std::thread peer([&] {
        QByteArray frame;
        while (!stop) {
            if (!waitFor(link.pty.masterFd(), POLLIN, 100))
                continue;
            char buffer[64];
            const ssize_t n = ::read(link.pty.masterFd(), buffer, sizeof buffer);
            const Clock::time_point now = Clock::now();
            if (n <= 0)
                continue;
            frame.append(buffer, n);
            while (frame.size() >= CommandFrameSize) {
                std::lock_guard lock(mutex);
                if (std::memcmp(frame.constData(), expected.data(), CommandFrameSize) != 0)
                    wrongBytes = true;
                frame.remove(0, CommandFrameSize);
                seventhByteAt = now;
                ++framesSeen;
                arrived.notify_one();
            }
        }
    });

    std::vector<double> total, inIssue;
    for (int i = 0; i < warmUp + commands; ++i) {
        QCoreApplication::processEvents();
        const Clock::time_point start = Clock::now();
        issuer.issueCommand(CommandCode::Open);
        const Clock::time_point returned = Clock::now();
        std::unique_lock lock(mutex);
        if (!arrived.wait_for(lock, std::chrono::seconds(2), [&] { return framesSeen > i; })) {
            std::fprintf(stderr, "command %d did not arrive\n", i);
            stop = true;
            lock.unlock();
            peer.join();
            return 1;
        }
        if (i >= warmUp) {
            total.push_back(microsecondsBetween(start, seventhByteAt));
            inIssue.push_back(microsecondsBetween(start, returned));
        }
    }
    stop = true;
    peer.join();
    if (wrongBytes) {
        std::fprintf(stderr, "the bus end saw bytes other than the expected frame\n");
        return 1;
    }

    std::printf("commands: %d (after %d to warm up)\n", commands, warmUp);
    std::printf("issueCommand to 7th byte at the peer: median %.1f us, p99 %.1f us, max %.1f us\n",
                median(total), percentile(total, 99), percentile(total, 100));
    std::printf("  of which inside issueCommand:        median %.1f us, p99 %.1f us\n",
                median(inIssue), percentile(inIssue, 99));
    std::printf("at 9600 baud the frame itself takes 7290 us on the wire; the figures above "
                "come on top of it\n");
    printRow("1", "command latency: issueCommand to 7th byte at the peer (on top of 7.29 ms wire)",
             figure(median(total) / 1000, 3, "ms"), figure(percentile(total, 99) / 1000, 3, "ms"),
             "< 0.3 ms", percentile(total, 99) < 300);
    return 0;
}
