#include "conversions.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace blinds;

class TestConversions : public QObject
{
    Q_OBJECT
private slots:
    void textToNumber_data();
    void textToNumber();
    void toByte_data();
    void toByte();
    void hexToNumber_data();
    void hexToNumber();
    void gbkRoundTrip();
};

void TestConversions::textToNumber_data()
{
    QTest::addColumn<QByteArray>("gbk");
    QTest::addColumn<double>("expected");
    QTest::newRow("integer") << QByteArray("255") << 255.0;
    QTest::newRow("leading zeros") << QByteArray("007") << 7.0;
    QTest::newRow("empty") << QByteArray() << 0.0;
    QTest::newRow("letters") << QByteArray("abc") << 0.0;
    QTest::newRow("trailing text") << QByteArray("1a2") << 1.0;
    QTest::newRow("spaces and sign") << QByteArray("  \t-12x") << -12.0;
    QTest::newRow("plus") << QByteArray("+3") << 3.0;
    QTest::newRow("fraction") << QByteArray("2.7") << 2.7;
    QTest::newRow("leading point") << QByteArray(".5") << 0.5;
    QTest::newRow("trailing point") << QByteArray("5.") << 5.0;
    QTest::newRow("lone sign") << QByteArray("-") << 0.0;
    QTest::newRow("lone point") << QByteArray(".") << 0.0;
    QTest::newRow("exponent") << QByteArray("1e3") << 1000.0;
    QTest::newRow("signed exponent") << QByteArray("25E-1") << 2.5;
    QTest::newRow("bare exponent ignored") << QByteArray("7e") << 7.0;
    QTest::newRow("exponent without digits") << QByteArray("7e+") << 7.0;
    QTest::newRow("no hex floats") << QByteArray("0x10") << 0.0;
    QTest::newRow("no infinity") << QByteArray("inf") << 0.0;
    QTest::newRow("no nan") << QByteArray("nan") << 0.0;
    // Full-width digits from a Chinese input method: A3 B1 is "1", A3 B2 is "2".
    QTest::newRow("full-width digits") << QByteArray("\xA3\xB1\xA3\xB2") << 12.0;
    QTest::newRow("full-width minus") << QByteArray("\xA3\xAD\xA3\xB5") << -5.0;
    QTest::newRow("full-width space") << QByteArray("\xA1\xA1" "8") << 8.0;
    QTest::newRow("other double-byte stays") << QByteArray("\xB5\xE7" "5") << 0.0;
    QTest::newRow("dangling lead byte") << QByteArray("9\xA3") << 9.0;
    QTest::newRow("huge") << QByteArray("1e400") << std::numeric_limits<double>::infinity();
}

void TestConversions::textToNumber()
{
    QFETCH(QByteArray, gbk);
    QFETCH(double, expected);
    QCOMPARE(blinds::textToNumber(gbk), expected);
}

void TestConversions::toByte_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("zero") << 0.0 << 0;
    QTest::newRow("255") << 255.0 << 255;
    QTest::newRow("300 wraps") << 300.0 << 0x2C;
    QTest::newRow("-1") << -1.0 << 0xFF;
    QTest::newRow("2.7 truncates") << 2.7 << 2;
    QTest::newRow("-2.7 truncates toward zero") << -2.7 << 0xFE;
    QTest::newRow("large exact") << 1253.0 << 0xE5;
    QTest::newRow("2^62") << 4611686018427387904.0 << 0;
    QTest::newRow("2^63") << 9223372036854775808.0 << 0;
    QTest::newRow("-2^63") << -9223372036854775808.0 << 0;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 0;
    QTest::newRow("-infinity") << -std::numeric_limits<double>::infinity() << 0;
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 0;
}

void TestConversions::toByte()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(int(blinds::toByte(value)), expected);
}

void TestConversions::hexToNumber_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<uint>("expected");
    QTest::newRow("upper") << QByteArray("AB") << 0xABu;
    QTest::newRow("lower") << QByteArray("ef") << 0xEFu;
    QTest::newRow("digits") << QByteArray("07") << 7u;
    QTest::newRow("non-digit counts 0") << QByteArray("0G") << 0u;
    QTest::newRow("non-digit first") << QByteArray("G5") << 5u;
    QTest::newRow("double-byte") << QByteArray("\xB5\xE7") << 0u;
    QTest::newRow("empty") << QByteArray() << 0u;
    QTest::newRow("six digits") << QByteArray("ABCDEF") << 0xABCDEFu;
}

void TestConversions::hexToNumber()
{
    QFETCH(QByteArray, text);
    QFETCH(uint, expected);
    QCOMPARE(blinds::hexToNumber(text), expected);
}

void TestConversions::gbkRoundTrip()
{
    const QString title = QStringLiteral("通道号");
    const QByteArray gbk = toGbk(title);
    QCOMPARE(gbk, QByteArray("\xCD\xA8\xB5\xC0\xBA\xC5"));
    QCOMPARE(fromGbk(gbk), title);
    QCOMPARE(blinds::textToNumber(QStringLiteral("１２３")), 123.0);
}

QTEST_APPLESS_MAIN(TestConversions)
#include "tst_conversions.moc"
