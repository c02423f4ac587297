#include "busmonitor.h"
#include "commandissuer.h"
#include "ctloptions.h"
#include "fieldview.h"
#include "portlist.h"
#include "replywaiter.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace blinds;
using Action = CtlArguments::Action;

class TestCtlParts : public QObject
{
    Q_OBJECT
private slots:
    void arguments_data();
    void arguments();
    void usageErrors_data();
    void usageErrors();
    void fieldTextsAsThePanelSendsThem_data();
    void fieldTextsAsThePanelSendsThem();
    void replyCounting_data();
    void replyCounting();
    void decodeGroups_data();
    void decodeGroups();
    void portList();
};

void TestCtlParts::arguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("detail"); // what else must hold, as "field=value"

    QTest::newRow("defaults") << QStringList{"open"} << Action::Command
                              << "port=COM1 number=1 address=010203 channel=1 count=1 timeout=500";
    QTest::newRow("COM number") << QStringList{"--port", "com12", "stop"} << Action::Command
                                << "number=12 device=";
    QTest::newRow("bare number") << QStringList{"-p", "7", "stop"} << Action::Command << "number=7";
    QTest::newRow("device path") << QStringList{"--port", "/dev/ttyUSB0", "close"}
                                 << Action::Command << "device=/dev/ttyUSB0";
    QTest::newRow("options after the command") << QStringList{"pair", "-a", "abcdef", "-c", "255"}
                                               << Action::Command << "address=abcdef channel=255";
    QTest::newRow("short address as typed")
        << QStringList{"-a", "7", "stop"} << Action::Command << "address=7";
    QTest::newRow("empty count") << QStringList{"--count", "", "open"} << Action::Command
                                 << "count=";
    QTest::newRow("timeout in seconds")
        << QStringList{"-t", "1.5s", "open"} << Action::Command << "timeout=1500";
    QTest::newRow("timeout bare ms")
        << QStringList{"-t", "80", "open"} << Action::Command << "timeout=80";
    QTest::newRow("raw words") << QStringList{"raw", "03", "02", "01"} << Action::Raw
                               << "raw=030201 checksum=1";
    QTest::newRow("raw run together") << QStringList{"raw", "0x030201", "--no-checksum"}
                                      << Action::Raw << "raw=030201 checksum=0";
    QTest::newRow("ports") << QStringList{"ports", "--json"} << Action::Ports << "json=1";
    QTest::newRow("monitor") << QStringList{"monitor", "--gap", "5ms"} << Action::Monitor
                             << "gap=5";
    QTest::newRow("help") << QStringList{"--help"} << Action::Help << "";
}

void TestCtlParts::arguments()
{
    QFETCH(QStringList, args);
    QFETCH(Action, action);
    QFETCH(QString, detail);
    const CtlArguments a = parseCtlArguments(QStringList{"blindsctl"} + args);
    QCOMPARE(a.action, action);
    const QMap<QString, QString> got{{"port", a.port},
                                     {"number", QString::number(a.portNumber)},
                                     {"device", a.device},
                                     {"address", a.address},
                                     {"channel", a.channel},
                                     {"count", a.count},
                                     {"timeout", QString::number(a.timeoutMs)},
                                     {"raw", QString::fromLatin1(a.raw.toHex())},
                                     {"checksum", QString::number(a.appendChecksum)},
                                     {"json", QString::number(a.json)},
                                     {"gap", QString::number(a.gapMs)}};
    for (const QString &pair : detail.split(' ', Qt::SkipEmptyParts)) {
        const QString key = pair.section('=', 0, 0);
        QVERIFY2(got.contains(key), qPrintable(key));
        QCOMPARE(got.value(key), pair.section('=', 1));
    }
}

void TestCtlParts::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no command") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"fly"};
    QTest::newRow("address not hex") << QStringList{"-a", "01020G", "open"};
    QTest::newRow("address too long") << QStringList{"-a", "0102030", "open"};
    QTest::newRow("channel 300") << QStringList{"-c", "300", "open"};
    QTest::newRow("channel -1") << QStringList{"-c", "-1", "open"};
    QTest::newRow("channel 2.7") << QStringList{"-c", "2.7", "open"};
    QTest::newRow("count abc") << QStringList{"-n", "abc", "open"};
    QTest::newRow("count full-width") << QStringList{"-n", "１", "open"};
    QTest::newRow("huge count") << QStringList{"-n", "99999999999999999999999", "open"};
    QTest::newRow("timeout word") << QStringList{"-t", "soon", "open"};
    QTest::newRow("timeout 0") << QStringList{"-t", "0", "open"};
    QTest::newRow("raw without bytes") << QStringList{"raw"};
    QTest::newRow("raw odd digits") << QStringList{"raw", "030"};
    QTest::newRow("raw not hex") << QStringList{"raw", "zz"};
    QTest::newRow("no-checksum without raw") << QStringList{"--no-checksum", "open"};
    QTest::newRow("extra argument") << QStringList{"open", "now"};
    QTest::newRow("port name") << QStringList{"--port", "LPT1", "open"};
    QTest::newRow("COM0") << QStringList{"--port", "COM0", "open"};
    QTest::newRow("unknown option") << QStringList{"--bogus", "open"};
}

void TestCtlParts::usageErrors()
{
    QFETCH(QStringList, args);
    const CtlArguments a = parseCtlArguments(QStringList{"blindsctl"} + args);
    QCOMPARE(a.action, Action::UsageError);
    QVERIFY(!a.text.isEmpty());
}

// The field texts go through the panel's own frame builder.
void TestCtlParts::fieldTextsAsThePanelSendsThem_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("count");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("load texts, open") << "010203"
                                      << "1"
                                      << "1" << 0x01 << QByteArray("03 02 01 01 01 01 09");
    QTest::newRow("read-address ignores the address")
        << "7"
        << "1"
        << "1" << 0x20 << QByteArray("00 00 00 20 01 01 22");
    QTest::newRow("pair to ABCDEF") << "ABCDEF"
                                    << "255"
                                    << "255" << 0x80 << QByteArray("EF CD AB 80 FF FF E5");
    QTest::newRow("short address filled up") << "7"
                                             << "1"
                                             << "1" << 0x02 << QByteArray("07 00 00 02 01 01 0B");
    QTest::newRow("empty address") << ""
                                   << "0"
                                   << "" << 0x00 << QByteArray("00 00 00 00 00 00 00");
    QTest::newRow("lower case") << "abcdef"
                                << "1"
                                << "1" << 0x04 << QByteArray("EF CD AB 04 01 01 6D");
}

void TestCtlParts::fieldTextsAsThePanelSendsThem()
{
    QFETCH(QString, address);
    QFETCH(QString, channel);
    QFETCH(QString, count);
    QFETCH(int, code);
    QFETCH(QByteArray, frame);
    struct Sink : ByteSink
    {
        QByteArray bytes;
        int sendByte(quint8 b) override
        {
            bytes.append(char(b));
            return 1;
        }
    } sink;
    FieldView view(address, channel, count);
    ReplyReceiver receiver(view);
    CommandIssuer issuer(view, sink, receiver);
    issuer.issueCommand(CommandCode(code));
    QCOMPARE(sink.bytes.toHex(' ').toUpper(), frame);
}

// Bytes after a command, counted as the panel counts them.
void TestCtlParts::replyCounting_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<ReplyWaiter::Result>("result");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("good reply") << QByteArray::fromHex("030201003238")
                                << ReplyWaiter::Result::Accepted
                                << QByteArray::fromHex("030201003238");
    QTest::newRow("bad checksum") << QByteArray::fromHex("030201003239")
                                  << ReplyWaiter::Result::BadChecksum << QByteArray();
    QTest::newRow("a good one after a bad one")
        << QByteArray::fromHex("030201003239 0A B0 00 07 FF C0") << ReplyWaiter::Result::Accepted
        << QByteArray::fromHex("0AB00007FFC0");
    QTest::newRow("one byte short")
        << QByteArray::fromHex("0302010032") << ReplyWaiter::Result::NoReply << QByteArray();
    QTest::newRow("an extra byte in front shifts the count")
        << QByteArray::fromHex("77 030201003238") << ReplyWaiter::Result::BadChecksum
        << QByteArray();
    QTest::newRow("nothing") << QByteArray() << ReplyWaiter::Result::NoReply << QByteArray();
}

void TestCtlParts::replyCounting()
{
    QFETCH(QByteArray, bytes);
    QFETCH(ReplyWaiter::Result, result);
    QFETCH(QByteArray, reply);
    FieldView view("010203", "1", "1");
    ReplyReceiver receiver(view);
    ReplyWaiter waiter(view, receiver);
    QSignalSpy finished(&waiter, &ReplyWaiter::finished);
    waiter.start(50);
    for (char b : bytes)
        waiter.onByte(quint8(b));
    QVERIFY(finished.count() == 1 || finished.wait(5000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(waiter.result(), result);
    QCOMPARE(waiter.replyBytes().toHex(), reply.toHex());
    if (result == ReplyWaiter::Result::Accepted)
        QCOMPARE(waiter.reply().data, quint8(reply.at(4)));
}

void TestCtlParts::decodeGroups_data()
{
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<QString>(
        "kinds"); // one letter per item: C command, R reply, S stray; lower case: bad checksum
    QTest::addColumn<QString>("firstText");
    QTest::newRow("command") << QByteArray::fromHex("03020101010109") << "C"
                             << "command open to 010203, channel 1, count 1, checksum ok";
    QTest::newRow("broadcast") << QByteArray::fromHex("00000020010122") << "C"
                               << "command read-address to all, channel 1, count 1, checksum ok";
    QTest::newRow("command, bad checksum") << QByteArray::fromHex("0302010101010A") << "c"
                                           << "checksum 0A BAD, should be 09";
    QTest::newRow("reply")
        << QByteArray::fromHex("030201003238") << "R"
        << "reply of 010203, fourth byte 00 (read-position), data 50, checksum ok";
    QTest::newRow("reply, bad checksum") << QByteArray::fromHex("030201003239") << "r"
                                         << "checksum 39 BAD, should be 38";
    QTest::newRow("command and reply without a gap")
        << QByteArray::fromHex("03020101010109 030201013239") << "CR"
        << "command open";
    QTest::newRow("noise before a reply") << QByteArray::fromHex("FF 13 030201003238") << "SR"
                                          << "2 stray bytes";
    QTest::newRow("a stray byte before a reply, seven in all")
        << QByteArray::fromHex("FF 030201003238") << "SR"
        << "1 stray byte";
    QTest::newRow("seven bytes, nothing good") << QByteArray::fromHex("FF030201003239") << "c"
                                               << "checksum 39 BAD";
    QTest::newRow("one byte") << QByteArray::fromHex("55") << "S"
                              << "1 stray byte";
}

void TestCtlParts::decodeGroups()
{
    QFETCH(QByteArray, group);
    QFETCH(QString, kinds);
    QFETCH(QString, firstText);
    const QList<BusItem> items = decodeGroup(group);
    QString got;
    QByteArray joined;
    for (const BusItem &item : items) {
        const char letter = item.kind == BusItem::Kind::Command ? 'C'
                            : item.kind == BusItem::Kind::Reply ? 'R'
                                                                : 'S';
        got += item.checksumOk || item.kind == BusItem::Kind::Stray ? QChar(letter)
                                                                    : QChar(letter).toLower();
        joined += item.bytes;
        QCOMPARE(item.json.value("bytes").toString(), QString(item.bytes.toHex(' ').toUpper()));
    }
    QCOMPARE(got, kinds);
    QCOMPARE(joined, group); // every byte is reported, once
    QVERIFY2(items.first().text.contains(firstText), qPrintable(items.first().text));
}

void TestCtlParts::portList()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("ports");
    QDir(dir.path()).mkpath("by-id");
    QDir(dir.path()).mkpath("dev");
    const QString adapter = dir.filePath("dev/ttyRS485");
    QFile f(adapter);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    const QString ports = dir.filePath("ports");
    QVERIFY(QFile::link(adapter, ports + "/COM3"));
    QVERIFY(QFile::link(adapter, ports + "/COM4"));
    QVERIFY(QFile::link(dir.filePath("dev/unplugged"), ports + "/COM5"));
    QVERIFY(QFile::link(adapter, dir.filePath("by-id/usb-Maker_RS485_123-if00")));
    QVERIFY(QFile::link(adapter, ports + "/notes")); // not a COM link

    const QList<SystemPort> system{{adapter, "USB RS485", "Maker", "123"},
                                   {"/dev/ttyUSB1", "USB serial", "", ""},
                                   {"/dev/ttyS0", "", "", ""}};
    QFile::link("/dev/null", ports + "/COM1"); // COM1 now goes elsewhere than ttyS0
    const QList<PortRow> rows = listPorts(system, ports, dir.filePath("by-id"));

    QMap<QString, const PortRow *> byDevice;
    const PortRow *missing = nullptr;
    for (const PortRow &row : rows) {
        if (row.exists)
            byDevice[row.device] = &row;
        else
            missing = &row;
    }
    QVERIFY(byDevice.contains(adapter));
    QCOMPARE(byDevice[adapter]->numbers, QList<int>({3, 4}));
    QCOMPARE(byDevice[adapter]->byId, QStringList{dir.filePath("by-id/usb-Maker_RS485_123-if00")});
    QVERIFY(byDevice[adapter]->description.contains("USB RS485"));
    QVERIFY(byDevice[adapter]->description.contains("123"));
    QCOMPARE(byDevice["/dev/ttyUSB1"]->numbers, QList<int>{34});
    QCOMPARE(byDevice["/dev/ttyS0"]->numbers, QList<int>{});
    QCOMPARE(byDevice["/dev/null"]->numbers, QList<int>{1});
    QVERIFY(missing);
    QCOMPARE(missing->numbers, QList<int>{5});
    QCOMPARE(missing->linkTarget, dir.filePath("dev/unplugged"));

    const QString table = formatPortTable(rows);
    QVERIFY2(table.contains("COM3,COM4"), qPrintable(table));
    QVERIFY2(table.contains("(missing)"), qPrintable(table));
    QVERIFY2(table.contains("usb-Maker_RS485_123-if00"), qPrintable(table));
    QCOMPARE(portsToJson(rows).size(), rows.size());
    QVERIFY(!portSummary(rows).contains("unplugged"));
}

QTEST_GUILESS_MAIN(TestCtlParts)
#include "tst_ctlparts.moc"
