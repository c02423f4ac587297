#include "../protocol/fakeview.h"
#include "../support/pty.h"
#include "commandissuer.h"
#include "replyreceiver.h"
#include "serialport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>

using namespace blinds;

namespace {

// Opens the pseudo-terminal's slave as COM1 through a ports/ link.
struct LinkedPort
{
    Pty pty;
    QTemporaryDir dir;
    SerialPort port;

    LinkedPort()
    {
        QFile::link(pty.slaveName(), dir.filePath("COM1"));
        port.setPortsDirectory(dir.path());
        port.setPortNumber(1);
    }
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT
private slots:
    void settingsApplied();
    void everyByteBothWays();
    void commandLeavesAsSevenBytes();
    void secondOpenFails();
    void missingDevice();
    void closedPortSendsNothing();
    void stopDropsUndelivered();
    void noDeliveryInsideSendByte();
    void unplugClosesAndIdles();
    void burstOfRepliesInOrder();
    void floodKeepsQueueBounded();
    void eventsRunDuringFlood();
    void readWokenForNothing();
};

void TestSerialPort::settingsApplied()
{
    LinkedPort link;
    QVERIFY(link.pty.isValid());
    QCOMPARE(link.port.start(), 1);
    QVERIFY(link.port.isOpen());
    termios t{};
    QCOMPARE(tcgetattr(int(link.port.port().handle()), &t), 0);
    QCOMPARE(cfgetospeed(&t), speed_t(B9600));
    QCOMPARE(cfgetispeed(&t), speed_t(B9600));
    QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), tcflag_t(0));
    QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
    QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));
    link.port.stop();
    QVERIFY(!link.port.isOpen());
}

void TestSerialPort::everyByteBothWays()
{
    LinkedPort link;
    QCOMPARE(link.port.start(), 1);
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));

    for (char c : all)
        QCOMPARE(link.port.sendByte(quint8(c)), 1);
    QCOMPARE(link.pty.read(256).toHex(), all.toHex());

    QByteArray received;
    connect(&link.port, &SerialPort::byteReceived, this, [&](int v) { received.append(char(v)); });
    QVERIFY(link.pty.write(all));
    QTRY_COMPARE(received.size(), 256);
    QCOMPARE(received.toHex(), all.toHex());
}

void TestSerialPort::commandLeavesAsSevenBytes()
{
    LinkedPort link;
    QCOMPARE(link.port.start(), 1);
    FakeView view;
    ReplyReceiver receiver(view);
    CommandIssuer issuer(view, link.port, receiver);
    issuer.issueCommand(CommandCode::Open);
    issuer.issueCommand(CommandCode::ReadAddress);
    QCOMPARE(link.pty.read(14).toHex(' '), QByteArray("03 02 01 01 01 01 09 00 00 00 20 01 01 22"));
    QTest::qWait(50);
    QVERIFY(link.pty.readAvailable().isEmpty());
}

void TestSerialPort::secondOpenFails()
{
    LinkedPort link;
    QCOMPARE(link.port.start(), 1);
    SerialPort second;
    second.setPortsDirectory(link.dir.path());
    second.setPortNumber(1);
    QCOMPARE(second.start(), 0);
    QVERIFY(!second.isOpen());
    QVERIFY(!second.failureReason().isEmpty());
    // The first one still works.
    QCOMPARE(link.port.sendByte(0x5A), 1);
    QCOMPARE(link.pty.read(1), QByteArray("\x5A"));
    // Once it lets go, the device is free again.
    link.port.stop();
    QCOMPARE(second.start(), 1);
}

void TestSerialPort::missingDevice()
{
    QTemporaryDir dir;
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("COM3")));
    SerialPort port;
    port.setPortsDirectory(dir.path());
    for (int n : {3, 200}) {
        port.setPortNumber(n);
        QCOMPARE(port.start(), 0);
        QVERIFY(!port.isOpen());
        QVERIFY(!port.failureReason().isEmpty());
    }
    port.setPortNumber(0); // counts as 1
    QCOMPARE(port.portNumber(), 1);
}

void TestSerialPort::closedPortSendsNothing()
{
    LinkedPort link;
    QCOMPARE(link.port.sendByte(0x01), 0);
    QCOMPARE(link.port.start(), 1);
    link.port.stop();
    QCOMPARE(link.port.sendByte(0x01), 0);
    QTest::qWait(20);
    QVERIFY(link.pty.readAvailable().isEmpty());
}

void TestSerialPort::stopDropsUndelivered()
{
    LinkedPort link;
    QCOMPARE(link.port.start(), 1);
    int received = 0;
    connect(&link.port, &SerialPort::byteReceived, this, [&](int) {
        if (++received == 1)
            link.port.stop();
    });
    QVERIFY(link.pty.write(QByteArray(100, 'x')));
    QTRY_VERIFY(received >= 1);
    QTest::qWait(50);
    QCOMPARE(received, 1);
}

void TestSerialPort::noDeliveryInsideSendByte()
{
    LinkedPort link;
    QCOMPARE(link.port.start(), 1);
    bool inSend = false;
    int received = 0, receivedInSend = 0;
    connect(&link.port, &SerialPort::byteReceived, this, [&](int) {
        ++received;
        receivedInSend += inSend;
    });
    QVERIFY(link.pty.write(QByteArray::fromHex("030201003238")));
    QTest::qWait(20); // let the bytes reach the port's buffer
    inSend = true;
    for (int i = 0; i < 7; ++i)
        link.port.sendByte(0x11);
    inSend = false;
    QTRY_COMPARE(received, 6);
    QCOMPARE(receivedInSend, 0);
}

void TestSerialPort::unplugClosesAndIdles()
{
    LinkedPort link;
    QCOMPARE(link.port.start(), 1);
    QSignalSpy lost(&link.port, &SerialPort::linkLost);
    link.pty.closeMaster();
    link.pty.closeSlave();
    QVERIFY(lost.wait(3000));
    QVERIFY(!link.port.isOpen());
    QCOMPARE(link.port.sendByte(0x01), 0);
    QVERIFY(!link.port.failureReason().isEmpty());
    // A hung-up device left open spins the event loop; closed, we sleep.
    const double before = cpuSeconds();
    QTest::qWait(500);
    QVERIFY2(cpuSeconds() - before < 0.2, "the event loop keeps spinning after the hang-up");
    QCOMPARE(lost.count(), 1);
}

void TestSerialPort::burstOfRepliesInOrder()
{
    LinkedPort link;
    QCOMPARE(link.port.start(), 1);
    FakeView view;
    ReplyReceiver receiver(view);
    connect(&link.port, &SerialPort::byteReceived, this,
            [&](int v) { receiver.receiveByte(quint8(v)); });
    // The window lets queued events run from inside the receiver (twice per
    // accepted reply); a reply right behind another must still be whole.
    QList<int> shown;
    int calls = 0;
    view.onProcessPendingEvents = [&] {
        if (calls++ % 2 == 0)
            shown << view.texts[Field::SendCount].toInt();
        QCoreApplication::processEvents();
    };

    const int replies = 20000;
    QByteArray stream;
    for (int i = 0; i < replies; ++i) {
        const ReplyFrame f = makeReplyFrame(0x010203, 0, quint8(i));
        stream.append(reinterpret_cast<const char *>(f.data()), f.size());
    }
    QVERIFY(link.pty.write(stream));
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), replies, 60000);
    for (int i = 0; i < replies; ++i)
        QCOMPARE(shown[i], i % 256);
    QCOMPARE(receiver.position(), 1);
}

void TestSerialPort::floodKeepsQueueBounded()
{
    LinkedPort link;
    QCOMPARE(link.port.start(), 1);
    QByteArray stream(SerialPort::MaxPendingBytes + 100000, Qt::Uninitialized);
    for (qsizetype i = 0; i < stream.size(); ++i)
        stream[i] = char(i * 7 + i / 256);
    const qint64 expectedDrop = stream.size() - 1 - SerialPort::MaxPendingBytes;

    // While the first byte is being handled, the whole stream arrives: only
    // as much as the queue holds may wait, the rest is dropped.
    QByteArray received;
    connect(&link.port, &SerialPort::byteReceived, this, [&](int v) {
        received.append(char(v));
        if (received.size() == 1) {
            QVERIFY(link.pty.write(stream.mid(1)));
            QDeadlineTimer deadline(5000);
            while (!deadline.hasExpired() && link.port.droppedBytes() < expectedDrop)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    });
    QVERIFY(link.pty.write(stream.left(1)));
    QTRY_COMPARE(received.size(), 1 + SerialPort::MaxPendingBytes);
    QCOMPARE(received, stream.left(received.size()));
    QCOMPARE(link.port.droppedBytes(), expectedDrop);
}

void TestSerialPort::eventsRunDuringFlood()
{
    LinkedPort link;
    QCOMPARE(link.port.start(), 1);
    // The whole backlog is queued while the first byte is in hand; at 20 us a
    // byte it takes a second to hand out, and a call queued meanwhile must
    // not wait for all of it.
    const QByteArray backlog(50000, 'x');
    qsizetype received = 0;
    qsizetype receivedWhenCalled = -1;
    connect(&link.port, &SerialPort::byteReceived, this, [&](int) {
        if (++received == 1) {
            QVERIFY(link.pty.write(backlog));
            // Let the port read it all while this byte is still in hand.
            QDeadlineTimer deadline(5000);
            int waiting = -1;
            while (!deadline.hasExpired() &&
                   (::ioctl(int(link.port.port().handle()), FIONREAD, &waiting) != 0 ||
                    waiting > 0 || link.port.port().bytesAvailable() > 0))
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QVERIFY(!deadline.hasExpired());
            QMetaObject::invokeMethod(
                this, [&] { receivedWhenCalled = received; }, Qt::QueuedConnection);
        }
        QElapsedTimer busy;
        busy.start();
        while (busy.nsecsElapsed() < 20000) {
        }
    });
    QVERIFY(link.pty.write("y"));
    QTRY_VERIFY(receivedWhenCalled >= 0);
    QVERIFY2(
        receivedWhenCalled < backlog.size() / 2,
        qPrintable(QStringLiteral("the queued call ran after %1 bytes").arg(receivedWhenCalled)));
    QTRY_COMPARE_WITH_TIMEOUT(received, 1 + backlog.size(), 20000);
}

void TestSerialPort::readWokenForNothing()
{
    // Another reader of the same terminal, woken first, takes the bytes the
    // port was woken for. The port's own read then finds nothing and returns
    // 0, leaving errno as it was: here EAGAIN, as any non-blocking call that
    // found nothing to do leaves it, which Qt takes for a vanished device.
    LinkedPort link;
    const int thief =
        ::open(QFile::encodeName(link.pty.slaveName()).constData(), O_RDWR | O_NONBLOCK | O_NOCTTY);
    QVERIFY(thief >= 0);
    QSocketNotifier steal(thief, QSocketNotifier::Read);
    int stolen = 0;
    connect(&steal, &QSocketNotifier::activated, this, [&] {
        char buffer[64];
        ssize_t n;
        while ((n = ::read(thief, buffer, sizeof buffer)) > 0)
            stolen += int(n);
        errno = EAGAIN;
    });
    QCOMPARE(link.port.start(), 1);
    QSignalSpy lost(&link.port, &SerialPort::linkLost);
    QByteArray received;
    connect(&link.port, &SerialPort::byteReceived, this, [&](int v) { received.append(char(v)); });

    for (int i = 0; i < 20; ++i) {
        QVERIFY(link.pty.write(QByteArray(1, char(i))));
        QTRY_COMPARE(stolen + received.size(), i + 1);
    }
    QVERIFY2(link.port.isOpen(), qPrintable(link.port.failureReason()));
    QCOMPARE(lost.count(), 0);

    // Once the other reader is gone, the port still reads.
    steal.setEnabled(false);
    ::close(thief);
    QVERIFY(link.pty.write("\x30\x31"));
    QTRY_VERIFY(received.endsWith("\x30\x31"));
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
