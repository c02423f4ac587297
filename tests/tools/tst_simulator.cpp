#include "bussimulator.h"
#include "controllerset.h"
#include "faults.h"
#include "motormodel.h"
#include "ptyline.h"
#include "simoptions.h"
#include "textargs.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace blinds;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray frame(quint32 address, CommandCode code, quint8 channel = 1, quint8 count = 1)
{
    const CommandFrame f = makeCommandFrame(address, code, channel, count);
    return QByteArray(reinterpret_cast<const char *>(f.data()), f.size());
}

QByteArray makeReplyBytes(quint32 address, quint8 fourth, quint8 data)
{
    const ReplyFrame f = makeReplyFrame(address, fourth, data);
    return QByteArray(reinterpret_cast<const char *>(f.data()), f.size());
}

bool firstSixPass(const QByteArray &bytes)
{
    if (bytes.size() < ReplyFrameSize)
        return false;
    ReplyFrame f;
    std::copy_n(reinterpret_cast<const quint8 *>(bytes.constData()), ReplyFrameSize, f.begin());
    return replyChecksumMatches(f);
}

SimConfig quietConfig(QList<quint32> controllers = {0x010203})
{
    SimConfig c;
    c.controllers = controllers;
    c.pacing = false;
    c.travelSeconds = 10;
    c.position = 40;
    return c;
}

// The simulator with a clock the test moves by hand.
struct Bench
{
    explicit Bench(const SimConfig &config) : bus(config), spy(&bus, &BusSimulator::transmit)
    {
        bus.setClock([this] { return now; });
    }
    QByteArray out()
    {
        QByteArray all;
        for (const auto &args : spy)
            all += args.at(0).toByteArray();
        spy.clear();
        return all;
    }
    qint64 now = 1000;
    BusSimulator bus;
    QSignalSpy spy;
};

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT
private slots:
    void motorModel_data();
    void motorModel();
    void replies_data();
    void replies();
    void resynchronisation_data();
    void resynchronisation();
    void faultsNeverLetTheReplyThrough_data();
    void faultsNeverLetTheReplyThrough();
    void faultFrequency();
    void delayHoldsTheReplyBack();
    void parseFaults_data();
    void parseFaults();
    void pacingTakesWireTime();
    void arguments_data();
    void arguments();
    void linkLifecycle();
};

// Each step is "TIME command channel" (ms); data lists the reply's data byte
// for each step, and the last column the position at the end.
void TestSimulator::motorModel_data()
{
    QTest::addColumn<double>("travel");
    QTest::addColumn<int>("start");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("data");
    QTest::addColumn<qint64>("endMs");
    QTest::addColumn<int>("endPosition");

    QTest::newRow("open runs at its speed")
        << 10.0 << 0 << QStringList{"0 01", "5000 00"} << QList<int>{0, 50} << qint64(5000) << 50;
    QTest::newRow("open stops at the end")
        << 10.0 << 0 << QStringList{"0 01"} << QList<int>{0} << qint64(30000) << 100;
    QTest::newRow("stop halts") << 10.0 << 0 << QStringList{"0 01", "3000 02", "9000 00"}
                                << QList<int>{0, 30, 30} << qint64(20000) << 30;
    QTest::newRow("close from open") << 10.0 << 100 << QStringList{"0 03", "2500 00"}
                                     << QList<int>{100, 75} << qint64(2500) << 75;
    QTest::newRow("close stops at 0")
        << 4.0 << 20 << QStringList{"0 03"} << QList<int>{20} << qint64(60000) << 0;
    QTest::newRow("angle commands step") << 10.0 << 50 << QStringList{"0 04", "10 04", "20 06"}
                                         << QList<int>{55, 60, 55} << qint64(100) << 55;
    QTest::newRow("angle steps stop at the ends")
        << 10.0 << 98 << QStringList{"0 04", "1 06", "2 06"} << QList<int>{100, 95, 90} << qint64(2)
        << 90;
    QTest::newRow("an angle step halts a run")
        << 10.0 << 0 << QStringList{"0 01", "2000 04", "8000 00"} << QList<int>{0, 25, 25}
        << qint64(8000) << 25;
    QTest::newRow("reversing mid-run") << 10.0 << 0 << QStringList{"0 01", "4000 03", "5000 00"}
                                       << QList<int>{0, 40, 30} << qint64(5000) << 30;
    QTest::newRow("travel 0 moves at once")
        << 0.0 << 0 << QStringList{"0 01", "0 00"} << QList<int>{0, 100} << qint64(0) << 100;
    QTest::newRow("pair answers with the channel")
        << 10.0 << 30 << QStringList{"0 80 7"} << QList<int>{7} << qint64(0) << 30;
    QTest::newRow("read-address reports the position")
        << 10.0 << 30 << QStringList{"0 20"} << QList<int>{30} << qint64(0) << 30;
}

void TestSimulator::motorModel()
{
    QFETCH(double, travel);
    QFETCH(int, start);
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, data);
    QFETCH(qint64, endMs);
    QFETCH(int, endPosition);

    MotorModel motor(travel, start);
    QList<int> got;
    for (const QString &step : steps) {
        const QStringList f = step.split(' ');
        got << motor.handle(quint8(f[1].toUInt(nullptr, 16)), quint8(f.value(2, "1").toUInt()),
                            f[0].toLongLong());
    }
    QCOMPARE(got, data);
    QCOMPARE(motor.position(endMs), endPosition);
}

void TestSimulator::replies_data()
{
    QTest::addColumn<QList<quint32>>("controllers");
    QTest::addColumn<Collisions>("collisions");
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");

    const QList<quint32> one{0x010203};
    const QList<quint32> two{0x010203, 0x0A0B0C};
    // Starting position 40 (0x28).
    QTest::newRow("open") << one << Collisions::Garble << frame(0x010203, CommandCode::Open)
                          << hex("03020101282F");
    QTest::newRow("angle-open steps 5")
        << one << Collisions::Garble << frame(0x010203, CommandCode::AngleOpen)
        << hex("03020104 2D 37");
    QTest::newRow("pair on channel 9")
        << one << Collisions::Garble << frame(0x010203, CommandCode::Pair, 9)
        << makeReplyBytes(0x010203, 0x80, 9);
    QTest::newRow("read-address, one controller")
        << one << Collisions::Garble << frame(0, CommandCode::ReadAddress) << hex("0302012028 4E");
    QTest::newRow("read-address, two garbled")
        << two << Collisions::Garble << frame(0, CommandCode::ReadAddress)
        << hex("0002002028 48"); // 03&0C 02&0B 01&0A 20 28, checksums 4E&69
    QTest::newRow("read-address, first heard")
        << two << Collisions::First << frame(0, CommandCode::ReadAddress) << hex("0302012028 4E");
    QTest::newRow("addressed: only that one answers")
        << two << Collisions::Garble << frame(0x0A0B0C, CommandCode::Stop)
        << makeReplyBytes(0x0A0B0C, 0x02, 40);
    QTest::newRow("unknown address")
        << two << Collisions::Garble << frame(0x000007, CommandCode::Stop) << QByteArray();
    QTest::newRow("bad checksum") << one << Collisions::Garble << hex("03020101010108")
                                  << QByteArray();
    QTest::newRow("unknown command 05")
        << one << Collisions::Garble << hex("0302010501010D") << QByteArray();
}

void TestSimulator::replies()
{
    QFETCH(QList<quint32>, controllers);
    QFETCH(Collisions, collisions);
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);

    SimConfig config = quietConfig(controllers);
    config.collisions = collisions;
    Bench bench(config);
    bench.bus.receive(in);
    QCOMPARE(bench.out().toHex(' '), out.toHex(' '));
}

// Each input is "TIME HEX" (ms); gap 50 ms.
void TestSimulator::resynchronisation_data()
{
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<QByteArray>("out");

    const QByteArray reply = hex("03020100282E"); // read-position, position 40
    QTest::newRow("stray bytes, a gap, a frame")
        << QStringList{"0 0102", "100 03020100010108"} << reply;
    QTest::newRow("stray bytes without a gap shift the count")
        << QStringList{"0 0102", "10 03020100010108"} << QByteArray();
    QTest::newRow("and the next frame after a gap is heard again")
        << QStringList{"0 0102", "10 03020100010108", "200 03020100010108"} << reply;
    QTest::newRow("a frame in pieces with short pauses")
        << QStringList{"0 0302", "30 0100", "60 010108"} << reply;
    QTest::newRow("a frame cut by a long pause is given up")
        << QStringList{"0 030201", "100 00010108"} << QByteArray();
    QTest::newRow("a bad frame is ignored, the next one heard")
        << QStringList{"0 03020100010109", "1 03020100010108"} << reply;
    QTest::newRow("two frames back to back")
        << QStringList{"0 0302010001010803020100010108"} << reply + reply;
}

void TestSimulator::resynchronisation()
{
    QFETCH(QStringList, input);
    QFETCH(QByteArray, out);

    Bench bench(quietConfig());
    for (const QString &step : input) {
        bench.now = 1000 + step.section(' ', 0, 0).toLongLong();
        bench.bus.receive(QByteArray::fromHex(step.section(' ', 1).toLatin1()));
    }
    QCOMPARE(bench.out().toHex(' '), out.toHex(' '));
}

void TestSimulator::faultsNeverLetTheReplyThrough_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("minSize");
    QTest::addColumn<int>("maxSize");
    QTest::newRow("no-reply") << "no-reply" << 0 << 0;
    QTest::newRow("bad-checksum") << "bad-checksum" << 6 << 6;
    QTest::newRow("drop-byte") << "drop-byte" << 5 << 5;
    QTest::newRow("extra-byte") << "extra-byte" << 7 << 7;
    QTest::newRow("noise") << "noise" << 7 << 11;
}

// Whatever the random choices, a reader that counts six bytes from the start
// must not be handed a good reply: that is what each fault is for.
void TestSimulator::faultsNeverLetTheReplyThrough()
{
    QFETCH(QString, fault);
    QFETCH(int, minSize);
    QFETCH(int, maxSize);

    QString error;
    const auto parsed = parseFault(fault, &error);
    QVERIFY2(parsed, qPrintable(error));
    for (quint32 seed = 1; seed <= 300; ++seed) {
        FaultInjector faults({*parsed}, seed);
        for (int data = 0; data < 256; data += 51) {
            const QByteArray reply = makeReplyBytes(0x010203, 0x01, quint8(data));
            const auto out = faults.apply(reply);
            QVERIFY(out.bytes.size() >= minSize && out.bytes.size() <= maxSize);
            QVERIFY2(!firstSixPass(out.bytes), qPrintable(hexText(out.bytes)));
            QCOMPARE(out.notes.size(), 1);
            if (parsed->kind == FaultKind::Noise)
                QVERIFY(out.bytes.endsWith(reply));
        }
    }
}

void TestSimulator::faultFrequency()
{
    QString error;
    FaultInjector every3({*parseFault("no-reply,every=3", &error)}, 1);
    QString pattern;
    for (int i = 0; i < 9; ++i)
        pattern += every3.apply(hex("03020101282F")).bytes.isEmpty() ? 'x' : '.';
    QCOMPARE(pattern, QString("..x..x..x"));

    FaultInjector half({*parseFault("bad-checksum,p=0.5", &error)}, 7);
    int struck = 0;
    for (int i = 0; i < 1000; ++i)
        struck += !firstSixPass(half.apply(hex("03020101282F")).bytes);
    QVERIFY2(struck > 400 && struck < 600, qPrintable(QString::number(struck)));
}

void TestSimulator::delayHoldsTheReplyBack()
{
    SimConfig config = quietConfig();
    QString error;
    config.faults << *parseFault("delay=30ms", &error);
    BusSimulator bus(config);
    QSignalSpy spy(&bus, &BusSimulator::transmit);
    QElapsedTimer clock;
    clock.start();
    bus.receive(frame(0x010203, CommandCode::ReadPosition));
    QCOMPARE(spy.count(), 0);
    QVERIFY(spy.wait(5000));
    QVERIFY(clock.elapsed() >= 29);
    QCOMPARE(spy.at(0).at(0).toByteArray(), hex("03020100282E"));
}

void TestSimulator::parseFaults_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("every");
    QTest::addColumn<double>("probability");
    QTest::newRow("plain") << "drop-byte" << true << 0 << 1 << 1.0;
    QTest::newRow("delay ms") << "delay=800" << true << 800 << 1 << 1.0;
    QTest::newRow("delay s") << "delay=1.5s" << true << 1500 << 1 << 1.0;
    QTest::newRow("every") << "noise,every=4" << true << 0 << 4 << 1.0;
    QTest::newRow("probability") << "extra-byte,p=0.25" << true << 0 << 1 << 0.25;
    QTest::newRow("unknown kind") << "fire" << false << 0 << 0 << 0.0;
    QTest::newRow("delay without time") << "delay" << false << 0 << 0 << 0.0;
    QTest::newRow("value on a plain fault") << "noise=3" << false << 0 << 0 << 0.0;
    QTest::newRow("every 0") << "noise,every=0" << false << 0 << 0 << 0.0;
    QTest::newRow("p above 1") << "noise,p=1.5" << false << 0 << 0 << 0.0;
    QTest::newRow("both") << "noise,every=2,p=0.5" << false << 0 << 0 << 0.0;
    QTest::newRow("unknown key") << "noise,often=2" << false << 0 << 0 << 0.0;
}

void TestSimulator::parseFaults()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QString error;
    const auto parsed = parseFault(text, &error);
    QCOMPARE(bool(parsed), valid);
    if (!valid) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QFETCH(int, delayMs);
    QFETCH(int, every);
    QFETCH(double, probability);
    QCOMPARE(parsed->delayMs, delayMs);
    QCOMPARE(parsed->every, every);
    QCOMPARE(parsed->probability, probability);
}

// At 9600 baud the 7 bytes in and the 6 bytes out take 13.5 ms; the reply
// can come no sooner, however fast the pseudo-terminal is.
void TestSimulator::pacingTakesWireTime()
{
    SimConfig config = quietConfig();
    config.pacing = true;
    BusSimulator bus(config);
    QByteArray out;
    connect(&bus, &BusSimulator::transmit, this, [&](const QByteArray &b) { out += b; });
    QElapsedTimer clock;
    clock.start();
    bus.receive(frame(0x010203, CommandCode::ReadPosition));
    QTRY_COMPARE(out.size(), 6);
    QVERIFY2(clock.nsecsElapsed() >= 13 * BusSimulator::ByteMicros * 1000,
             qPrintable(QString::number(clock.nsecsElapsed())));
    QCOMPARE(out, hex("03020100282E"));
}

void TestSimulator::arguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("valid");
    QTest::newRow("defaults") << QStringList{} << true;
    QTest::newRow("everything") << QStringList{"--controller",
                                               "010203",
                                               "--controller",
                                               "abcdef",
                                               "--link",
                                               "x/COM1",
                                               "--travel-seconds",
                                               "0.5",
                                               "--position",
                                               "100",
                                               "--collisions",
                                               "first",
                                               "--no-pacing",
                                               "--gap",
                                               "20ms",
                                               "--fault",
                                               "noise,every=2",
                                               "--fault",
                                               "delay=1s",
                                               "--seed",
                                               "3",
                                               "--log"}
                                << true;
    QTest::newRow("short address") << QStringList{"--controller", "0102"} << false;
    QTest::newRow("not hex") << QStringList{"--controller", "01020G"} << false;
    QTest::newRow("position 101") << QStringList{"--position", "101"} << false;
    QTest::newRow("negative travel") << QStringList{"--travel-seconds", "-1"} << false;
    QTest::newRow("collisions mode") << QStringList{"--collisions", "both"} << false;
    QTest::newRow("bad fault") << QStringList{"--fault", "fire"} << false;
    QTest::newRow("unknown option") << QStringList{"--speed", "3"} << false;
    QTest::newRow("stray argument") << QStringList{"COM1"} << false;
}

void TestSimulator::arguments()
{
    QFETCH(QStringList, args);
    QFETCH(bool, valid);
    const SimArguments parsed = parseSimArguments(QStringList{"blinds-sim"} + args);
    QCOMPARE(parsed.action == SimArguments::Action::Run, valid);
    if (!valid)
        QVERIFY(!parsed.text.isEmpty());
}

void TestSimulator::linkLifecycle()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("ports/COM1");
    PtyLine line;
    QString error;
    QVERIFY2(line.open(&error), qPrintable(error));
    QVERIFY2(line.makeLink(link, &error), qPrintable(error));
    QCOMPARE(QFileInfo(link).symLinkTarget(), line.slaveName());

    // A second simulator must not steal a live link...
    PtyLine other;
    QVERIFY(other.open(&error));
    QVERIFY(!other.makeLink(link, &error));
    QVERIFY(error.contains(link));
    // ...nor a file that is no link at all.
    QFile plain(dir.filePath("COM2"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(!other.makeLink(plain.fileName(), &error));

    line.removeLink();
    QVERIFY(!QFileInfo(link).isSymLink());

    // A link left behind by a killed run points at nothing and is replaced.
    QVERIFY(QFile::link(dir.filePath("gone"), link));
    QVERIFY2(other.makeLink(link, &error), qPrintable(error));
    QCOMPARE(QFileInfo(link).symLinkTarget(), other.slaveName());
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
