#include "../support/pty.h"
#include "portselection.h"
#include "serialport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace blinds;

namespace {

const QString started = QStringLiteral(" 启动成功！");
const QString failed = QStringLiteral(" 启动失败，请重新选择！");

// COM1 is a pseudo-terminal; every other number is a link to nothing, so
// that no real device of the machine is ever opened.
struct Bench
{
    QTemporaryDir dir;
    Pty pty;
    SerialPort port;
    PortSelection ports{port};

    Bench()
    {
        QDir().mkpath(portsDir());
        QFile::link(pty.slaveName(), portsDir() + "/COM1");
        for (int n = 2; n <= 255; ++n)
            QFile::link(dir.filePath("nothing"), portsDir() + QStringLiteral("/COM%1").arg(n));
        port.setPortsDirectory(portsDir());
        ports.setPortFilePath(dir.filePath("端口列表.TXT"));
    }
    QString portsDir() const { return dir.filePath("ports"); }
    void startAt(int n)
    {
        QFile file(ports.portFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray::number(n));
        file.close();
        ports.restorePort();
        QCOMPARE(int(ports.portNumber()), n);
    }
};

} // namespace

class TestPortSelection : public QObject
{
    Q_OBJECT
private slots:
    void stepping_data();
    void stepping();
    void startResultTexts();
    void eachPressStopsThePort();
    void captionsAreSignalled();
    void toolTipNamesDeviceAndReason();
    void linkLostShowsFailure();
};

void TestPortSelection::stepping_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("steps"); // positive: COM+, negative: COM-
    QTest::addColumn<int>("to");
    QTest::newRow("up") << 7 << 1 << 8;
    QTest::newRow("down") << 8 << -1 << 7;
    QTest::newRow("up wraps to 1") << 255 << 1 << 1;
    QTest::newRow("down wraps to 255") << 1 << -1 << 255;
    QTest::newRow("up twice past the end") << 254 << 2 << 1;
    QTest::newRow("down twice past the start") << 2 << -2 << 255;
    QTest::newRow("round the whole range") << 5 << 255 << 5;
    QTest::newRow("round the whole range down") << 5 << -255 << 5;
}

void TestPortSelection::stepping()
{
    QFETCH(int, from);
    QFETCH(int, steps);
    QFETCH(int, to);
    Bench b;
    b.startAt(from);
    for (int i = 0; i < qAbs(steps); ++i) {
        steps > 0 ? b.ports.stepPortUp() : b.ports.stepPortDown();
        QVERIFY(b.ports.portNumber() != 0);
    }
    QCOMPARE(int(b.ports.portNumber()), to);
    QCOMPARE(b.ports.portText(), QString::number(to));
    QCOMPARE(b.ports.portCaption(), QStringLiteral("COM%1").arg(to));
    QCOMPARE(b.port.portNumber(), to);
}

void TestPortSelection::startResultTexts()
{
    Bench b;
    b.ports.restorePort();
    QCOMPARE(b.ports.portCaption(), "COM1");
    QCOMPARE(b.ports.statusCaption(), "串口 1" + started);
    QVERIFY(b.port.isOpen());
    b.ports.stepPortUp();
    QCOMPARE(b.ports.portCaption(), "COM2");
    QCOMPARE(b.ports.statusCaption(), "串口 2" + failed);
}

void TestPortSelection::eachPressStopsThePort()
{
    Bench b;
    b.ports.restorePort();
    QVERIFY(b.port.isOpen());
    b.ports.stepPortUp(); // COM2 fails: COM1 must have been let go
    QVERIFY(!b.port.isOpen());
    SerialPort other;
    other.setPortsDirectory(b.portsDir());
    other.setPortNumber(1);
    QCOMPARE(other.start(), 1);
    other.stop();
    b.ports.stepPortDown();
    QVERIFY(b.port.isOpen());
    QCOMPARE(b.ports.statusCaption(), "串口 1" + started);
}

void TestPortSelection::captionsAreSignalled()
{
    Bench b;
    QStringList order;
    connect(&b.ports, &PortSelection::portCaptionChanged, this,
            [&](const QString &caption) { order << caption; });
    connect(&b.ports, &PortSelection::statusChanged, this,
            [&](const QString &caption, const QString &) { order << caption; });
    b.ports.restorePort();
    b.ports.stepPortDown();
    QCOMPARE(order, QStringList({"COM1", "串口 1" + started, "COM255", "串口 255" + failed}));
}

void TestPortSelection::toolTipNamesDeviceAndReason()
{
    Bench b;
    b.ports.restorePort();
    QVERIFY2(b.ports.statusToolTip().contains(QFileInfo(b.pty.slaveName()).canonicalFilePath()),
             qPrintable(b.ports.statusToolTip()));
    QVERIFY(b.ports.statusToolTip().startsWith("COM1 is "));

    b.ports.stepPortUp();
    const QString tip = b.ports.statusToolTip();
    QVERIFY2(tip.startsWith("COM2 is " + b.portsDir() + "/COM2."), qPrintable(tip));
    QVERIFY(!b.port.failureReason().isEmpty());
    QVERIFY2(tip.contains(b.port.failureReason()), qPrintable(tip));

    // A number without any device: nothing to name but that.
    QFile::remove(b.portsDir() + "/COM200");
    for (int i = 0; i < 198; ++i)
        b.ports.stepPortUp();
    QCOMPARE(int(b.ports.portNumber()), 200);
    QCOMPARE(b.ports.statusToolTip(), "COM200 maps to no device.");
}

void TestPortSelection::linkLostShowsFailure()
{
    Bench b;
    b.ports.restorePort();
    QCOMPARE(b.ports.statusCaption(), "串口 1" + started);
    QSignalSpy status(&b.ports, &PortSelection::statusChanged);
    b.pty.closeMaster();
    b.pty.closeSlave();
    QTRY_COMPARE(b.ports.statusCaption(), "串口 1" + failed);
    QCOMPARE(status.count(), 1);
    QVERIFY(!b.ports.statusToolTip().isEmpty());
    QVERIFY(b.ports.statusToolTip().contains(b.port.failureReason()));

    // The next press recovers as usual once the adapter is back.
    Pty replugged;
    QFile::remove(b.portsDir() + "/COM1");
    QVERIFY(QFile::link(replugged.slaveName(), b.portsDir() + "/COM1"));
    b.ports.stepPortUp();
    b.ports.stepPortDown();
    QCOMPARE(b.ports.statusCaption(), "串口 1" + started);
}

QTEST_GUILESS_MAIN(TestPortSelection)
#include "tst_portselection.moc"
