#include "portfile.h"
#include "portselection.h"
#include "serialport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/file.h>
#include <sys/stat.h>

using namespace blinds;

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeContent(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

// A port selection over a folder without port links, so that every number
// maps to a device that does not exist and nothing real is opened.
struct Selection
{
    QTemporaryDir dir;
    SerialPort port;
    PortSelection ports{port};

    Selection()
    {
        port.setPortsDirectory(dir.filePath("ports"));
        ports.setPortFilePath(dir.filePath("端口列表.TXT"));
        QDir().mkpath(dir.filePath("ports"));
        for (int n = 1; n <= 255; ++n)
            QFile::link(dir.filePath("nothing"), dir.filePath("ports/COM%1").arg(n));
    }
    QString filePath() const { return ports.portFilePath(); }
};

} // namespace

class TestPortFile : public QObject
{
    Q_OBJECT
private slots:
    void firstLineRules_data();
    void firstLineRules();
    void portNumberLines_data();
    void portNumberLines();
    void restore_data();
    void restore();
    void missingFileIsCreatedEmpty();
    void lockedFileIsNeitherReadNorWritten();
    void readOnlyFileGivesPortOne();
    void fifoDoesNotBlock();
    void saveReplacesEverything();
    void roundTrip();
};

void TestPortFile::firstLineRules_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("line");

    const QByteArray max(PortFileLineLimit, '1');
    QTest::newRow("crlf") << QByteArray("12\r\n") << QByteArray("12");
    QTest::newRow("no line end") << QByteArray("07") << QByteArray("07");
    QTest::newRow("further lines") << QByteArray("255\n3\n") << QByteArray("255");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("empty first line") << QByteArray("\r\n9") << QByteArray();
    QTest::newRow("one cr removed") << QByteArray("1\r\r\n") << QByteArray("1\r");
    QTest::newRow("lone cr") << QByteArray("\r") << QByteArray();
    QTest::newRow("nul") << QByteArray("5\0007", 3) << QByteArray("5");
    QTest::newRow("ctrl-z") << QByteArray("5\x1a\n") << QByteArray("5");
    QTest::newRow("gbk taken whole")
        << QByteArray("\xb6\xcb\xbf\xda\n") << QByteArray("\xb6\xcb\xbf\xda");
    QTest::newRow("gbk trail 0x40") << QByteArray("\x81\x40x\n") << QByteArray("\x81\x40x");
    QTest::newRow("lead before lf") << QByteArray("3\xb6\n4") << QByteArray("3\xb6");
    QTest::newRow("lead before nul") << QByteArray("3\xb6\0004", 4) << QByteArray("3\xb6");
    QTest::newRow("lead at end") << QByteArray("3\xb6") << QByteArray("3\xb6");
    QTest::newRow("longest line") << max << max;
    QTest::newRow("longest line, lf") << max + "\n" << max;
    QTest::newRow("longest line with cr") << max.left(PortFileLineLimit - 1) + "\r\n"
                                          << max.left(PortFileLineLimit - 1);
    QTest::newRow("one byte too long") << max + "1" << QByteArray();
    QTest::newRow("one byte too long, lf") << max + "1\n" << QByteArray();
    QTest::newRow("gbk across the limit")
        << max.left(PortFileLineLimit - 1) + "\xb6\xcb" << QByteArray();
    QTest::newRow("huge") << QByteArray(1 << 20, '7') << QByteArray();
}

void TestPortFile::firstLineRules()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, line);
    QCOMPARE(firstLine(content).toHex(' '), line.toHex(' '));
}

void TestPortFile::portNumberLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("names");
    for (const char *yes : {"1", "9", "12", "07", "255", "0000000003"})
        QTest::newRow(yes) << QByteArray(yes) << true;
    for (const char *no : {"", "0", "000", "256", "300", "99999999999999999999", "abc", "COM3",
                           " 3", "3 ", "+3", "-3", "3.0", "\xa3\xb3"})
        QTest::newRow(no) << QByteArray(no) << false;
}

void TestPortFile::portNumberLines()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, names);
    QCOMPARE(isPortNumberLine(line), names);
}

void TestPortFile::restore_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("portText");
    QTest::addColumn<int>("portNumber");

    QTest::newRow("crlf") << QByteArray("12\r\n") << "12" << 12;
    QTest::newRow("leading zero") << QByteArray("07") << "07" << 7;
    QTest::newRow("further lines") << QByteArray("255\r\n17\r\n") << "255" << 255;
    QTest::newRow("empty") << QByteArray() << "1" << 1;
    QTest::newRow("0") << QByteArray("0") << "1" << 1;
    QTest::newRow("300") << QByteArray("300") << "1" << 1;
    QTest::newRow("abc") << QByteArray("abc") << "1" << 1;
    QTest::newRow("COM3") << QByteArray("COM3") << "1" << 1;
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n", 8) << "1" << 1;
    QTest::newRow("huge") << QByteArray(4 << 20, '5') << "1" << 1;
    QTest::newRow("huge after a good line")
        << QByteArray("9\n") + QByteArray(4 << 20, 'x') << "9" << 9;
}

void TestPortFile::restore()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, portText);
    QFETCH(int, portNumber);

    Selection s;
    writeContent(s.filePath(), content);
    s.ports.restorePort();
    QCOMPARE(s.ports.portText(), portText);
    QCOMPARE(int(s.ports.portNumber()), portNumber);
    QCOMPARE(s.port.portNumber(), portNumber);
    QCOMPARE(s.ports.portCaption(), "COM" + portText);
    QCOMPARE(s.ports.statusCaption(), "串口 " + portText + " 启动失败，请重新选择！");
    // Reading leaves the file as it was.
    QCOMPARE(contentOf(s.filePath()).size(), content.size());
}

void TestPortFile::missingFileIsCreatedEmpty()
{
    Selection s;
    QVERIFY(!QFile::exists(s.filePath()));
    s.ports.restorePort();
    QCOMPARE(s.ports.portText(), "1");
    QCOMPARE(contentOf(s.filePath()), QByteArray());
    s.ports.savePort();
    QCOMPARE(contentOf(s.filePath()), QByteArray("1"));
}

void TestPortFile::lockedFileIsNeitherReadNorWritten()
{
    Selection s;
    writeContent(s.filePath(), "42");
    QFile holder(s.filePath());
    QVERIFY(holder.open(QIODevice::ReadWrite));
    QCOMPARE(::flock(holder.handle(), LOCK_EX | LOCK_NB), 0);

    s.ports.restorePort();
    QCOMPARE(s.ports.portText(), "1");
    QCOMPARE(int(s.ports.portNumber()), 1);
    s.ports.stepPortUp();
    s.ports.savePort();
    QCOMPARE(contentOf(s.filePath()), QByteArray("42"));

    holder.close();
    s.ports.savePort();
    QCOMPARE(contentOf(s.filePath()), QByteArray("2"));
}

void TestPortFile::readOnlyFileGivesPortOne()
{
    if (::geteuid() == 0)
        QSKIP("root opens read-only files for writing");
    Selection s;
    writeContent(s.filePath(), "42");
    QVERIFY(QFile::setPermissions(s.filePath(), QFile::ReadOwner));
    s.ports.restorePort();
    QCOMPARE(s.ports.portText(), "1");
    s.ports.savePort();
    QCOMPARE(contentOf(s.filePath()), QByteArray("42"));
}

void TestPortFile::fifoDoesNotBlock()
{
    Selection s;
    QCOMPARE(::mkfifo(QFile::encodeName(s.filePath()).constData(), 0600), 0);
    QVERIFY(!readPortFile(s.filePath()).has_value());
    QVERIFY(!writePortFile(s.filePath(), 3));
    s.ports.restorePort();
    QCOMPARE(s.ports.portText(), "1");
}

void TestPortFile::saveReplacesEverything()
{
    Selection s;
    writeContent(s.filePath(), "255\r\nand some more lines\r\n");
    s.ports.restorePort();
    QCOMPARE(int(s.ports.portNumber()), 255);
    for (int i = 0; i < 9; ++i)
        s.ports.stepPortUp();
    s.ports.savePort();
    QCOMPARE(contentOf(s.filePath()), QByteArray("9"));
}

void TestPortFile::roundTrip()
{
    Selection s;
    for (int n : {1, 7, 12, 99, 100, 255}) {
        QVERIFY(writePortFile(s.filePath(), quint8(n)));
        QCOMPARE(contentOf(s.filePath()), QByteArray::number(n));
        s.ports.restorePort();
        QCOMPARE(int(s.ports.portNumber()), n);
        QCOMPARE(s.ports.portText(), QString::number(n));
    }
    writeContent(s.filePath(), "07");
    s.ports.restorePort();
    s.ports.stepPortUp();
    QCOMPARE(s.ports.portCaption(), "COM8");
    s.ports.savePort();
    QCOMPARE(contentOf(s.filePath()), QByteArray("8"));
}

QTEST_GUILESS_MAIN(TestPortFile)
#include "tst_portfile.moc"
