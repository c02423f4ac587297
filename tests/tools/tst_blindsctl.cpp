#include "../support/pty.h"
#include "serialport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace blinds;

namespace {

// Where a reply is expected the time-out is long, so that a busy machine
// does not turn a late reply into a failure; where none is, it is short.
const QStringList patient{"--timeout", "5s"};

// blinds-sim as a child process, with its log.
class Sim
{
public:
    explicit Sim(const QStringList &args)
    {
        m_process.setProgram(BLINDS_SIM);
        // A long gap, so that a writer held up by a busy machine does not
        // have its frame cut in two.
        m_process.setArguments(
            QStringList{"--no-pacing", "--log", "--seed", "1", "--gap", "500ms"} + args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            m_log += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        });
        m_process.start();
    }
    ~Sim()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
        }
    }
    // The pseudo-terminal's path, the first line the simulator prints.
    QString device()
    {
        QDeadlineTimer deadline(10000);
        while (!m_log.contains('\n') && !deadline.hasExpired() &&
               m_process.state() != QProcess::NotRunning)
            m_process.waitForReadyRead(100);
        return m_log.section('\n', 0, 0);
    }
    // The frames the simulator has read, as hexadecimal text.
    QStringList framesIn()
    {
        m_process.waitForReadyRead(0);
        static const QRegularExpression in(" in  ([0-9A-F ]+?)  ");
        QStringList frames;
        for (auto it = in.globalMatch(m_log); it.hasNext();)
            frames << it.next().captured(1);
        return frames;
    }
    QString log() const { return m_log; }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QString m_log;
};

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run blindsctl(const QStringList &args)
{
    QProcess p;
    p.start(BLINDSCTL, args);
    Run run;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        run.err = "blindsctl hung";
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    run.out = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    run.err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    return run;
}

} // namespace

class TestBlindsctl : public QObject
{
    Q_OBJECT
private slots:
    void commands_data();
    void commands();
    void jsonReply();
    void faults_data();
    void faults();
    void everySecondReplyBad();
    void collisions_data();
    void collisions();
    void resynchronisesAfterStrayBytes();
    void missingPort_data();
    void missingPort();
    void portInUse();
    void usageErrors_data();
    void usageErrors();
    void help();
    void monitor();
    void simulatorStopsCleanly();
    void simulatorUsageError();
};

// Two controllers; read-address hears the first. Each row gets a fresh
// simulator with the blinds at 40 % (0x28).
void TestBlindsctl::commands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reply");

    QTest::newRow("open") << QStringList{"open"} << "03 02 01 01 01 01 09" << 0
                          << "address=010203 fourth=01 data=40";
    QTest::newRow("stop") << QStringList{"stop"} << "03 02 01 02 01 01 0A" << 0
                          << "address=010203 fourth=02 data=40";
    QTest::newRow("close") << QStringList{"close"} << "03 02 01 03 01 01 0B" << 0
                           << "address=010203 fourth=03 data=40";
    QTest::newRow("angle-open") << QStringList{"angle-open"} << "03 02 01 04 01 01 0C" << 0
                                << "address=010203 fourth=04 data=45";
    QTest::newRow("proportional sends the same")
        << QStringList{"proportional"} << "03 02 01 04 01 01 0C" << 0
        << "address=010203 fourth=04 data=45";
    QTest::newRow("angle-close") << QStringList{"angle-close"} << "03 02 01 06 01 01 0E" << 0
                                 << "address=010203 fourth=06 data=35";
    QTest::newRow("read-position") << QStringList{"read-position"} << "03 02 01 00 01 01 08" << 0
                                   << "address=010203 fourth=00 data=40";
    QTest::newRow("read-address is broadcast")
        << QStringList{"read-address", "--address", "7"} << "00 00 00 20 01 01 22" << 0
        << "address=010203 fourth=20 data=40";
    QTest::newRow("pair to ABCDEF, channel and count 255")
        << QStringList{"pair", "-a", "ABCDEF", "-c", "255", "-n", "255"} << "EF CD AB 80 FF FF E5"
        << 0 << "address=ABCDEF fourth=80 data=255";
    QTest::newRow("lower-case address")
        << QStringList{"stop", "-a", "abcdef"} << "EF CD AB 02 01 01 6B" << 0
        << "address=ABCDEF fourth=02 data=40";
    QTest::newRow("short address, nobody there")
        << QStringList{"stop", "-a", "7", "-t", "150ms"} << "07 00 00 02 01 01 0B" << 1 << "";
    QTest::newRow("channel 0, empty count")
        << QStringList{"open", "-c", "0", "-n", ""} << "03 02 01 01 00 00 07" << 0
        << "address=010203 fourth=01 data=40";
    QTest::newRow("raw, checksum appended")
        << QStringList{"raw", "03 02 01 00 01 01"} << "03 02 01 00 01 01 08" << 0
        << "address=010203 fourth=00 data=40";
    QTest::newRow("raw as given") << QStringList{"raw", "--no-checksum", "03020100010108"}
                                  << "03 02 01 00 01 01 08" << 0
                                  << "address=010203 fourth=00 data=40";
    QTest::newRow("raw with a bad checksum is ignored")
        << QStringList{"raw", "--no-checksum", "03020100010109", "-t", "150ms"}
        << "03 02 01 00 01 01 09" << 1 << "";
}

void TestBlindsctl::commands()
{
    QFETCH(QStringList, args);
    QFETCH(QString, frame);
    QFETCH(int, exitCode);
    QFETCH(QString, reply);

    QTemporaryDir dir;
    Sim sim({"--controller", "010203", "--controller", "ABCDEF", "--collisions", "first",
             "--position", "40", "--link", dir.filePath("ports/COM1")});
    QVERIFY(!sim.device().isEmpty());
    const Run run = blindsctl(QStringList{"--ports-dir", dir.filePath("ports"), "--port", "COM1"} +
                              patient + args);
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.err + "\n" + sim.log()));
    QCOMPARE(run.out, reply);
    QTRY_COMPARE(sim.framesIn(), QStringList{frame});
    if (exitCode == 1)
        QVERIFY2(run.err.contains("no reply"), qPrintable(run.err));
}

void TestBlindsctl::jsonReply()
{
    Sim sim({"--position", "40"});
    const Run run =
        blindsctl(QStringList{"--port", sim.device(), "--json", "read-position"} + patient);
    QCOMPARE(run.exitCode, 0);
    const QJsonObject o = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(o.value("status").toString(), QString("ok"));
    QCOMPARE(o.value("sent").toString(), QString("03 02 01 00 01 01 08"));
    QCOMPARE(o.value("device").toString(), sim.device());
    const QJsonObject reply = o.value("reply").toObject();
    QCOMPARE(reply.value("address").toString(), QString("010203"));
    QCOMPARE(reply.value("fourthByte").toInt(), 0);
    QCOMPARE(reply.value("data").toInt(), 40);
    QCOMPARE(reply.value("bytes").toString(), QString("03 02 01 00 28 2E"));

    const Run none =
        blindsctl({"--port", sim.device(), "--json", "-a", "000001", "-t", "100ms", "stop"});
    QCOMPARE(none.exitCode, 1);
    const QJsonObject n = QJsonDocument::fromJson(none.out.toUtf8()).object();
    QCOMPARE(n.value("status").toString(), QString("no-reply"));
    QVERIFY(n.value("reply").isNull());
}

void TestBlindsctl::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("no-reply") << "no-reply" << 1 << "no reply";
    QTest::newRow("bad-checksum") << "bad-checksum" << 2 << "bad checksum";
    QTest::newRow("drop-byte") << "drop-byte" << 1 << "no whole reply";
    QTest::newRow("extra-byte") << "extra-byte" << 2 << "bad checksum";
    QTest::newRow("noise") << "noise" << 2 << "bad checksum";
    QTest::newRow("delay past the time-out") << "delay=2s" << 1 << "no reply";
    QTest::newRow("delay within the time-out") << "delay=100ms" << 0 << "";
}

void TestBlindsctl::faults()
{
    QFETCH(QString, fault);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    Sim sim({"--fault", fault});
    const Run run = blindsctl({"--port", sim.device(), "--timeout", "1s", "open"});
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.err + "\n" + sim.log()));
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    if (exitCode == 0)
        QCOMPARE(run.out, QString("address=010203 fourth=01 data=0"));
    else
        QVERIFY(run.out.isEmpty());
}

// The simulator keeps its terminal while each blindsctl opens and closes it.
void TestBlindsctl::everySecondReplyBad()
{
    Sim sim({"--fault", "bad-checksum,every=2"});
    QList<int> codes;
    for (int i = 0; i < 4; ++i)
        codes << blindsctl({"--port", sim.device(), "-t", "1s", "read-position"}).exitCode;
    QCOMPARE(codes, QList<int>({0, 2, 0, 2}));
}

void TestBlindsctl::collisions_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reply");
    QTest::newRow("garble") << "garble" << 2 << "";
    QTest::newRow("first") << "first" << 0 << "address=0A0B0C fourth=20 data=0";
}

void TestBlindsctl::collisions()
{
    QFETCH(QString, mode);
    QFETCH(int, exitCode);
    QFETCH(QString, reply);
    Sim sim({"--controller", "0A0B0C", "--controller", "010203", "--collisions", mode});
    const Run run = blindsctl({"--port", sim.device(), "-t", "1s", "read-address"});
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.err + "\n" + sim.log()));
    QCOMPARE(run.out, reply);
    // An addressed command is answered by that controller alone.
    const Run one =
        blindsctl(QStringList{"--port", sim.device(), "-a", "010203", "read-position"} + patient);
    QCOMPARE(one.exitCode, 0);
    QCOMPARE(one.out, QString("address=010203 fourth=00 data=0"));
}

void TestBlindsctl::resynchronisesAfterStrayBytes()
{
    Sim sim({});
    // Stray bytes alone get no answer...
    const Run stray =
        blindsctl({"--port", sim.device(), "-t", "700ms", "raw", "--no-checksum", "01 02 03"});
    QCOMPARE(stray.exitCode, 1);
    // ...and after the quiet of the time-out, longer than the simulator's
    // gap, the next frame is heard whole.
    const Run run = blindsctl(QStringList{"--port", sim.device(), "open"} + patient);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err + "\n" + sim.log()));
    QTRY_VERIFY(sim.log().contains("ignored: 3 bytes and then a gap"));
}

void TestBlindsctl::missingPort_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("device path") << QStringList{"--port", "/dev/blinds-no-such-device"}
                                 << "/dev/blinds-no-such-device does not exist";
    QTest::newRow("number without a device")
        << QStringList{"--port", "COM200"} << "maps to no device";
    QTest::newRow("link to an unplugged adapter")
        << QStringList{"--port", "COM5"} << "does not exist";
}

void TestBlindsctl::missingPort()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("ports");
    QVERIFY(QFile::link(dir.filePath("unplugged"), dir.filePath("ports/COM5")));
    const Run run =
        blindsctl(QStringList{"--ports-dir", dir.filePath("ports")} + args + QStringList{"open"});
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    // The cure: the ports that do exist, or that there are none.
    QVERIFY2(run.err.contains("Ports that exist") || run.err.contains("No serial ports"),
             qPrintable(run.err));
}

void TestBlindsctl::portInUse()
{
    Sim sim({});
    SerialPort holder;
    holder.setDevice(sim.device());
    QCOMPARE(holder.start(), 1);
    const Run run = blindsctl(QStringList{"--port", sim.device(), "open"});
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains("in use"), qPrintable(run.err));
    QVERIFY(sim.framesIn().isEmpty());
    holder.stop();
    QCOMPARE(blindsctl(QStringList{"--port", sim.device(), "open"} + patient).exitCode, 0);
}

void TestBlindsctl::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no command") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"fly"};
    QTest::newRow("bad address") << QStringList{"-a", "01020G", "open"};
    QTest::newRow("channel 300") << QStringList{"-c", "300", "open"};
    QTest::newRow("bad timeout") << QStringList{"-t", "soon", "open"};
    QTest::newRow("raw odd digits") << QStringList{"raw", "030"};
    QTest::newRow("unknown option") << QStringList{"--bogus", "open"};
}

void TestBlindsctl::usageErrors()
{
    QFETCH(QStringList, args);
    const Run run = blindsctl(args);
    QCOMPARE(run.exitCode, 64);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("blindsctl --help"), qPrintable(run.err));
}

void TestBlindsctl::help()
{
    const Run run = blindsctl({"--help"});
    QCOMPARE(run.exitCode, 0);
    for (const char *word : {"read-address", "raw HEX", "monitor", "--timeout", "Exit status"})
        QVERIFY2(run.out.contains(word), word);
}

// The test is the bus: it writes byte groups to the monitor's terminal.
void TestBlindsctl::monitor()
{
    Pty bus;
    QVERIFY(bus.isValid());
    QProcess p;
    p.start(BLINDSCTL, {"--port", bus.slaveName(), "monitor", "--gap", "20ms"});
    QVERIFY(p.waitForStarted());
    QString out;
    QObject::connect(&p, &QProcess::readyReadStandardOutput,
                     [&] { out += QString::fromLocal8Bit(p.readAllStandardOutput()); });
    QString err;
    QObject::connect(&p, &QProcess::readyReadStandardError,
                     [&] { err += QString::fromLocal8Bit(p.readAllStandardError()); });
    QTRY_VERIFY_WITH_TIMEOUT(err.contains("Monitoring"), 10000);

    QVERIFY(bus.write(QByteArray::fromHex("03020101010109")));
    QTRY_VERIFY(out.contains("command open"));
    QVERIFY(bus.write(QByteArray::fromHex("030201003239")));
    QTRY_VERIFY(out.contains("BAD"));
    QVERIFY(bus.write(QByteArray::fromHex("FF030201003238")));
    QTRY_VERIFY(out.contains("stray"));

    p.terminate();
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    const QStringList lines = out.trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    static const QRegularExpression stamp("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ");
    for (const QString &line : lines)
        QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
    QVERIFY2(lines[0].contains(
                 "03 02 01 01 01 01 09  command open to 010203, channel 1, count 1, checksum ok"),
             qPrintable(lines[0]));
    QVERIFY2(lines[1].contains("+") && lines[1].contains("ms "), qPrintable(lines[1]));
    QVERIFY2(lines[1].contains("data 50, checksum 39 BAD, should be 38"), qPrintable(lines[1]));
    QVERIFY2(lines[2].contains("FF  1 stray byte"), qPrintable(lines[2]));
    QVERIFY2(lines[3].contains("03 02 01 00 32 38  reply of 010203"), qPrintable(lines[3]));
}

void TestBlindsctl::simulatorStopsCleanly()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("ports/COM1");
    auto sim = std::make_unique<Sim>(QStringList{"--link", link});
    const QString device = sim->device();
    QCOMPARE(QFileInfo(link).symLinkTarget(), device);
    sim->process().terminate();
    QVERIFY(sim->process().waitForFinished(5000));
    QCOMPARE(sim->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim->process().exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestBlindsctl::simulatorUsageError()
{
    for (const QStringList &args :
         {QStringList{"--controller", "12"}, QStringList{"--fault", "fire"},
          QStringList{"--collisions", "both"}}) {
        QProcess p;
        p.start(BLINDS_SIM, args);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 64);
        QVERIFY(p.readAllStandardOutput().isEmpty());
        QVERIFY(p.readAllStandardError().contains("blinds-sim --help"));
    }
}

QTEST_GUILESS_MAIN(TestBlindsctl)
#include "tst_blindsctl.moc"
