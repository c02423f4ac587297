#include "portnames.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace blinds;

class TestPortNames : public QObject
{
    Q_OBJECT
private slots:
    void builtIn_data();
    void builtIn();
    void linkInPortsFolder();
};

void TestPortNames::builtIn_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::newRow("0") << 0 << "";
    QTest::newRow("COM1") << 1 << "/dev/ttyS0";
    QTest::newRow("COM32") << 32 << "/dev/ttyS31";
    QTest::newRow("COM33") << 33 << "/dev/ttyUSB0";
    QTest::newRow("COM64") << 64 << "/dev/ttyUSB31";
    QTest::newRow("COM65") << 65 << "/dev/ttyACM0";
    QTest::newRow("COM96") << 96 << "/dev/ttyACM31";
    QTest::newRow("COM97") << 97 << "";
    QTest::newRow("COM255") << 255 << "";
}

void TestPortNames::builtIn()
{
    QFETCH(int, port);
    QFETCH(QString, device);
    QCOMPARE(builtInDeviceForPort(port), device);
    QCOMPARE(deviceForPort(port, QString()), device);
    if (!device.isEmpty())
        QCOMPARE(builtInPortForDevice(device), port);
}

void TestPortNames::linkInPortsFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath("adapter");
    QFile file(target);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::link(target, dir.filePath("COM7")));
    QVERIFY(QFile::link(dir.filePath("missing"), dir.filePath("COM8")));

    QCOMPARE(deviceForPort(7, dir.path()), QFileInfo(target).canonicalFilePath());
    // An unplugged adapter's by-id link dangles: the port still names it, so
    // that opening it fails as missing rather than falling back to ttyS7.
    QCOMPARE(deviceForPort(8, dir.path()), dir.filePath("COM8"));
    QCOMPARE(deviceForPort(9, dir.path()), QStringLiteral("/dev/ttyS8"));
    QCOMPARE(builtInPortForDevice("/dev/ttyUSB07"), 0);
    QCOMPARE(builtInPortForDevice("/dev/pts/3"), 0);
}

QTEST_GUILESS_MAIN(TestPortNames)
#include "tst_portnames.moc"
