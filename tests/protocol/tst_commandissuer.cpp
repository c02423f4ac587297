#include "commandissuer.h"
#include "fakeview.h"
#include "replyreceiver.h"

#include <QTest>

using namespace blinds;

Q_DECLARE_METATYPE(blinds::CommandCode)

class TestCommandIssuer : public QObject
{
    Q_OBJECT
private slots:
    void frame_data();
    void frame();
    void identicalCodes();
    void failedSendsStillSendSeven();
    void commandRestartsReplyCount();
};

void TestCommandIssuer::frame_data()
{
    QTest::addColumn<CommandCode>("code");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QStringList>("addressWrites"); // every text written to the address field

    const QStringList none;
    QTest::newRow("load texts, open") << CommandCode::Open << "1" << "1" << "010203"
                                      << QByteArray::fromHex("03020101010109") << none;
    QTest::newRow("broadcast ignores a short address")
        << CommandCode::ReadAddress << "1" << "1" << "7" << QByteArray::fromHex("00000020010122")
        << none;
    QTest::newRow("pair ABCDEF 255 255") << CommandCode::Pair << "255" << "255" << "ABCDEF"
                                         << QByteArray::fromHex("EFCDAB80FFFFE5") << none;
    QTest::newRow("pair FFFFFF") << CommandCode::Pair << "255" << "255" << "FFFFFF"
                                 << QByteArray::fromHex("FFFFFF80FFFF7B") << none;
    QTest::newRow("empty address padded")
        << CommandCode::Open << "1" << "1" << "" << QByteArray::fromHex("00000001010103")
        << QStringList{"0", "00", "000", "0000", "00000", "000000"};
    QTest::newRow("short address padded one zero at a time")
        << CommandCode::Stop << "1" << "1" << "7" << QByteArray::fromHex("0700000201010B")
        << QStringList{"07", "007", "0007", "00007", "000007"};
    QTest::newRow("lower case kept") << CommandCode::Open << "1" << "1" << "abcdef"
                                     << QByteArray::fromHex("EFCDAB0101016A")
                                     << none;
    QTest::newRow("seventh character ignored")
        << CommandCode::Open << "1" << "1" << "ABCDEF7"
        << QByteArray::fromHex("EFCDAB0101016A") << none;
    QTest::newRow("non-hex counts 0") << CommandCode::Open << "1" << "1" << "0G0203"
                                      << QByteArray::fromHex("03020001010108") << none;
    QTest::newRow("channel 300") << CommandCode::Open << "300" << "1" << "000000"
                                 << QByteArray::fromHex("000000012C012E") << none;
    QTest::newRow("channel -1") << CommandCode::Open << "-1" << "1" << "000000"
                                << QByteArray::fromHex("00000001FF0101") << none;
    QTest::newRow("channel 2.7") << CommandCode::Open << "2.7" << "1" << "000000"
                                 << QByteArray::fromHex("00000001020104") << none;
    QTest::newRow("channel -2.7") << CommandCode::Open << "-2.7" << "1" << "000000"
                                  << QByteArray::fromHex("00000001FE0100") << none;
    QTest::newRow("channel abc") << CommandCode::Open << "abc" << "1" << "000000"
                                 << QByteArray::fromHex("00000001000102") << none;
    QTest::newRow("channel huge") << CommandCode::Open << "1e300" << "1" << "000000"
                                  << QByteArray::fromHex("00000001000102") << none;
    QTest::newRow("count 300") << CommandCode::Open << "0" << "300" << "000000"
                               << QByteArray::fromHex("00000001002C2D") << none;
    QTest::newRow("count -2.7") << CommandCode::Open << "0" << "-2.7" << "000000"
                                << QByteArray::fromHex("0000000100FEFF") << none;
    QTest::newRow("count empty") << CommandCode::Open << "0" << "" << "000000"
                                 << QByteArray::fromHex("00000001000001") << none;
    QTest::newRow("full-width count") << CommandCode::Close << "1" << QStringLiteral("１２")
                                      << "000000" << QByteArray::fromHex("00000003010C10") << none;
    QTest::newRow("read position") << CommandCode::ReadPosition << "1" << "1" << "010203"
                                   << QByteArray::fromHex("03020100010108") << none;
    QTest::newRow("angle close") << CommandCode::AngleClose << "1" << "1" << "010203"
                                 << QByteArray::fromHex("0302010601010E") << none;
}

void TestCommandIssuer::frame()
{
    QFETCH(CommandCode, code);
    QFETCH(QString, channel);
    QFETCH(QString, count);
    QFETCH(QString, address);
    QFETCH(QByteArray, wire);
    QFETCH(QStringList, addressWrites);

    FakeView view;
    view.texts[Field::Channel] = channel;
    view.texts[Field::SendCount] = count;
    view.texts[Field::Address] = address;
    RecordingSink sink;
    ReplyReceiver receiver(view);
    CommandIssuer issuer(view, sink, receiver);

    issuer.issueCommand(code);

    QCOMPARE(sink.bytes.toHex(' '), wire.toHex(' '));
    QCOMPARE(sink.calls, 7);
    QCOMPARE(view.addressWrites, addressWrites);
    if (addressWrites.isEmpty())
        QCOMPARE(view.texts[Field::Address], address);
    const CommandFrame last = issuer.lastFrame();
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(last.data()), 7), wire);
}

void TestCommandIssuer::identicalCodes()
{
    FakeView view;
    RecordingSink sink;
    ReplyReceiver receiver(view);
    CommandIssuer issuer(view, sink, receiver);
    issuer.issueCommand(CommandCode::Proportional);
    issuer.issueCommand(CommandCode::AngleOpen);
    QCOMPARE(sink.bytes.left(7), sink.bytes.mid(7));
    QCOMPARE(quint8(sink.bytes[3]), quint8(0x04));
}

void TestCommandIssuer::failedSendsStillSendSeven()
{
    FakeView view;
    view.texts[Field::Address] = "12";
    RecordingSink sink;
    sink.result = 0; // a closed port
    ReplyReceiver receiver(view);
    CommandIssuer issuer(view, sink, receiver);
    issuer.issueCommand(CommandCode::Open);
    QCOMPARE(sink.calls, 7);
    QCOMPARE(view.texts[Field::Address], QStringLiteral("000012"));
    QCOMPARE(view.texts[Field::SendCount], QStringLiteral("1"));
    QVERIFY(view.colours.isEmpty());
}

void TestCommandIssuer::commandRestartsReplyCount()
{
    FakeView view;
    RecordingSink sink;
    ReplyReceiver receiver(view);
    CommandIssuer issuer(view, sink, receiver);
    for (quint8 b : {0x03, 0x02, 0x01})
        receiver.receiveByte(b);
    QCOMPARE(receiver.position(), 4);
    issuer.issueCommand(CommandCode::Stop);
    QCOMPARE(receiver.position(), 1);
}

QTEST_APPLESS_MAIN(TestCommandIssuer)
#include "tst_commandissuer.moc"
