#include "fakeview.h"
#include "replyreceiver.h"

#include <QTest>

using namespace blinds;

class TestReplyReceiver : public QObject
{
    Q_OBJECT
private slots:
    void reply_data();
    void reply();
    void flashEndsAtTick();
    void secondReplyDoesNotRestartFlash();
    void silenceResetsAfterThreeTicks();
    void positionWrapsAfterSixBytes();
    void fieldsWrittenBeforeEventsRun();
};

namespace {
void feed(ReplyReceiver &receiver, const QByteArray &bytes)
{
    for (char b : bytes)
        receiver.receiveByte(quint8(b));
}
} // namespace

void TestReplyReceiver::reply_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("data");

    QTest::newRow("plain") << QByteArray::fromHex("030201003238") << true << "010203" << "50";
    QTest::newRow("two digits a byte") << QByteArray::fromHex("0AB00007FFC0") << true << "00B00A" << "255";
    QTest::newRow("sum 1275") << QByteArray::fromHex("FFFFFFFFFFFB") << true << "FFFFFF" << "255";
    QTest::newRow("data 0") << QByteArray::fromHex("010000000001") << true << "000001" << "0";
    QTest::newRow("bad checksum") << QByteArray::fromHex("030201003239") << false << "" << "";
}

void TestReplyReceiver::reply()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    QFETCH(QString, address);
    QFETCH(QString, data);

    FakeView view;
    view.texts[Field::Address] = "ABCDEF";
    view.texts[Field::SendCount] = "9";
    ReplyReceiver receiver(view);
    feed(receiver, bytes.left(5));
    QCOMPARE(receiver.position(), 6);
    QVERIFY(view.colours.isEmpty());
    feed(receiver, bytes.right(1));
    QCOMPARE(receiver.position(), 1);

    if (accepted) {
        QCOMPARE(view.texts[Field::SendCount], data);
        QCOMPARE(view.texts[Field::Address], address);
        QCOMPARE(view.texts[Field::FoundAddress], address);
        QCOMPARE(view.periods[PanelTimer::Flash], 500);
        for (Field f : {Field::FoundAddress, Field::Address, Field::SendCount})
            QCOMPARE(view.colours.value(f), FlashGreen);
    } else {
        QCOMPARE(view.texts[Field::Address], QStringLiteral("ABCDEF"));
        QCOMPARE(view.texts[Field::SendCount], QStringLiteral("9"));
        QVERIFY(view.colours.isEmpty());
        QVERIFY(view.periods.isEmpty());
    }
}

void TestReplyReceiver::flashEndsAtTick()
{
    FakeView view;
    ReplyReceiver receiver(view);
    feed(receiver, QByteArray::fromHex("030201003238"));
    receiver.onFlashTick();
    QCOMPARE(view.periods[PanelTimer::Flash], 0);
    for (Field f : {Field::FoundAddress, Field::Address, Field::SendCount})
        QCOMPARE(view.colours.value(f), DefaultColour);
}

void TestReplyReceiver::secondReplyDoesNotRestartFlash()
{
    // The receiver asks for 500 ms again; it is the timer's rule that the
    // same period leaves a running timer alone (see the PeriodTimer test).
    FakeView view;
    ReplyReceiver receiver(view);
    feed(receiver, QByteArray::fromHex("030201003238"));
    feed(receiver, QByteArray::fromHex("030201003238"));
    QCOMPARE(view.periods[PanelTimer::Flash], 500);
}

void TestReplyReceiver::silenceResetsAfterThreeTicks()
{
    FakeView view;
    ReplyReceiver receiver(view);
    feed(receiver, QByteArray::fromHex("03020100"));
    receiver.onSilenceTick();
    receiver.onSilenceTick();
    QCOMPARE(receiver.position(), 5);
    receiver.onSilenceTick();
    QCOMPARE(receiver.position(), 1);
    // The next byte starts a new reply.
    feed(receiver, QByteArray::fromHex("030201003238"));
    QCOMPARE(view.texts[Field::SendCount], QStringLiteral("50"));

    // A byte in between restarts the count of silent ticks.
    feed(receiver, QByteArray::fromHex("0302"));
    receiver.onSilenceTick();
    receiver.onSilenceTick();
    feed(receiver, QByteArray::fromHex("01"));
    receiver.onSilenceTick();
    receiver.onSilenceTick();
    QCOMPARE(receiver.position(), 4);
}

void TestReplyReceiver::positionWrapsAfterSixBytes()
{
    FakeView view;
    ReplyReceiver receiver(view);
    // A rejected group, then a good reply straight after it: the seventh byte
    // counts as byte 1.
    feed(receiver, QByteArray::fromHex("030201003239" "0A0B0C000122"));
    QCOMPARE(view.texts[Field::Address], QStringLiteral("0C0B0A"));
    QCOMPARE(view.texts[Field::SendCount], QStringLiteral("1"));
}

void TestReplyReceiver::fieldsWrittenBeforeEventsRun()
{
    FakeView view;
    ReplyReceiver receiver(view);
    QStringList seen;
    int calls = 0;
    view.onProcessPendingEvents = [&] {
        ++calls;
        seen << view.texts[Field::Address] + "/" + view.texts[Field::FoundAddress];
        QVERIFY(receiver.isHandlingByte());
    };
    feed(receiver, QByteArray::fromHex("030201003238"));
    QCOMPARE(calls, 2);
    QCOMPARE(seen.first(), QStringLiteral("010203/010203"));
    QVERIFY(!receiver.isHandlingByte());
}

QTEST_APPLESS_MAIN(TestReplyReceiver)
#include "tst_replyreceiver.moc"
