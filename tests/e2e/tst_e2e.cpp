// The real program on a desktop with a notification area, a pseudo-terminal
// as its COM1, and a user's keys and mouse.

#include "../support/pty.h"
#include "desktop.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

const QString TitlePart = QStringLiteral("QD2271");
const QString PortFileName = QStringLiteral("端口列表.TXT");

// A copy of the program in a folder of its own, as an installation has it,
// with ports/COM1 linked to the test's pseudo-terminal.
class Panel
{
public:
    Panel(Desktop &desktop, const Pty &pty) : m_desktop(desktop)
    {
        const QString binary = m_dir.filePath(QStringLiteral("blinds-panel"));
        QFile::copy(QStringLiteral(BLINDS_PANEL_BINARY), binary);
        QDir(m_dir.path()).mkdir(QStringLiteral("ports"));
        QFile::link(pty.slaveName(), m_dir.filePath(QStringLiteral("ports/COM1")));
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~Panel()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    QString folder() const { return m_dir.path(); }
    QString portFilePath() const { return m_dir.filePath(PortFileName); }
    void writePortFile(const QByteArray &content)
    {
        QFile f(portFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray portFile() const
    {
        QFile f(portFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    bool start(const QString &workingDirectory = {})
    {
        m_process.setProcessEnvironment(m_desktop.environment());
        m_process.setWorkingDirectory(workingDirectory.isEmpty() ? m_dir.path() : workingDirectory);
        m_process.start(m_dir.filePath(QStringLiteral("blinds-panel")), {});
        if (!m_process.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired() && (mainWindow().isEmpty() || trayIcon().isEmpty()))
            QTest::qWait(50);
        return !mainWindow().isEmpty() && !trayIcon().isEmpty();
    }

    qint64 pid() const { return m_process.processId(); }
    QProcess &process() { return m_process; }

    QString mainWindow() const
    {
        // --all: xdotool matches any one of the conditions unless told otherwise.
        return m_desktop
            .xdotool({"search", "--all", "--pid", QString::number(pid()), "--name", TitlePart})
            .section('\n', 0, 0);
    }
    bool windowShown() const { return m_desktop.windowsOf(pid()).contains(mainWindow()); }
    // The icon is the small window of ours that the tray host has embedded.
    QString trayIcon() const
    {
        for (const QString &w : m_desktop.windowsOf(pid())) {
            const QSize size = m_desktop.windowSize(w);
            if (size.width() > 0 && size.width() <= 48 && size.height() <= 48)
                return w;
        }
        return {};
    }

    void focus() { m_desktop.xdotool({"windowfocus", "--sync", mainWindow()}); }
    void key(const QString &keys) { m_desktop.xdotool({"key", "--delay", "30", keys}); }
    void clickTray(int button)
    {
        m_desktop.xdotool(
            {"mousemove", "--window", trayIcon(), "8", "8", "click", QString::number(button)});
    }

    // Exit status once the program has ended, -1 while it has not.
    int waitForExit(int timeoutMs = 10000)
    {
        if (!m_process.waitForFinished(timeoutMs))
            return -1;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -2;
    }

private:
    Desktop &m_desktop;
    QTemporaryDir m_dir;
    QProcess m_process;
};

QByteArray hex(const QByteArray &bytes)
{
    return bytes.toHex(' ');
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void firstStartWithoutPortFile();
    void keyAndReply();
    void trayIconTogglesWindow();
    void closeRoutes_data();
    void closeRoutes();
    void startedFromAnotherFolder();
    void secondInstanceOnSamePort();
    void noDisplay_data();
    void noDisplay();

private:
    Desktop m_desktop;
};

void TestEndToEnd::initTestCase()
{
    QVERIFY2(QFile::exists(QStringLiteral(BLINDS_PANEL_BINARY)), BLINDS_PANEL_BINARY);
    QVERIFY2(m_desktop.start(), "Xvfb with trayer did not start (make test installs them)");
}

void TestEndToEnd::firstStartWithoutPortFile()
{
    Pty pty;
    Panel panel(m_desktop, pty);
    QVERIFY(!QFile::exists(panel.portFilePath()));
    QVERIFY(panel.start());
    QVERIFY(panel.windowShown());
    QCOMPARE(panel.portFile(), QByteArray()); // created empty at start
    panel.focus();
    panel.key("Escape");
    QCOMPARE(panel.waitForExit(), 0);
    QCOMPARE(panel.portFile(), QByteArray("1"));
}

void TestEndToEnd::keyAndReply()
{
    Pty pty;
    Panel panel(m_desktop, pty);
    QVERIFY(panel.start());
    panel.focus();
    panel.key("z");
    QCOMPARE(hex(pty.read(7)), QByteArray("03 02 01 01 01 01 09"));

    // The controller 0C0B0A answers with data 5: the next command goes to it
    // and carries 5 as its send count.
    QVERIFY(pty.write(QByteArray::fromHex("0A0B0C000526")));
    QByteArray frame;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && !frame.startsWith(QByteArray::fromHex("0A0B0C"))) {
        panel.key("x");
        frame = pty.read(7);
    }
    QCOMPARE(hex(frame), QByteArray("0a 0b 0c 02 01 05 29"));
    panel.key("Escape");
    QCOMPARE(panel.waitForExit(), 0);
}

void TestEndToEnd::trayIconTogglesWindow()
{
    Pty pty;
    Panel panel(m_desktop, pty);
    QVERIFY(panel.start());
    QVERIFY(panel.windowShown());
    panel.clickTray(1);
    QTRY_VERIFY_WITH_TIMEOUT(!panel.windowShown(), 5000);
    QVERIFY(!panel.trayIcon().isEmpty());
    panel.clickTray(1);
    QTRY_VERIFY_WITH_TIMEOUT(panel.windowShown(), 5000);
    // The keys work again once the window is back.
    panel.focus();
    panel.key("m");
    QCOMPARE(hex(pty.read(7)), QByteArray("03 02 01 03 01 01 0b"));
    ::kill(pid_t(panel.pid()), SIGTERM);
    QCOMPARE(panel.waitForExit(), 0);
}

void TestEndToEnd::closeRoutes_data()
{
    QTest::addColumn<QString>("route");
    QTest::newRow("Esc") << "Escape";
    QTest::newRow("tray menu 退出") << "menu-last";
    QTest::newRow("tray menu 退出程序 while hidden") << "menu-first-hidden";
    QTest::newRow("SIGTERM") << "SIGTERM";
    QTest::newRow("SIGINT") << "SIGINT";
    QTest::newRow("SIGHUP") << "SIGHUP";
}

void TestEndToEnd::closeRoutes()
{
    QFETCH(QString, route);
    Pty pty;
    Panel panel(m_desktop, pty);
    // A line with CR LF and more behind it: rewritten as just the number.
    panel.writePortFile("1\r\nsomething else\r\n");
    QVERIFY(panel.start());
    panel.focus();

    if (route == "Escape") {
        panel.key("Escape");
    } else if (route.startsWith("menu")) {
        if (route.endsWith("hidden")) {
            panel.clickTray(1);
            QTRY_VERIFY_WITH_TIMEOUT(!panel.windowShown(), 5000);
        }
        const int before = m_desktop.windowsOf(panel.pid()).size();
        panel.clickTray(3);
        QTRY_VERIFY_WITH_TIMEOUT(m_desktop.windowsOf(panel.pid()).size() > before, 5000);
        // With nothing selected, Up selects the last item, Down the first.
        panel.key(route.startsWith("menu-last") ? "Up" : "Down");
        panel.key("Return");
        if (route.endsWith("hidden"))
            QVERIFY(!panel.windowShown());
    } else {
        const int signal = route == "SIGTERM" ? SIGTERM : route == "SIGINT" ? SIGINT : SIGHUP;
        ::kill(pid_t(panel.pid()), signal);
    }
    QCOMPARE(panel.waitForExit(), 0);
    QCOMPARE(panel.portFile(), QByteArray("1"));
}

void TestEndToEnd::startedFromAnotherFolder()
{
    Pty pty;
    Panel panel(m_desktop, pty);
    QTemporaryDir elsewhere;
    QVERIFY(panel.start(elsewhere.path()));
    // COM1 resolved beside the program: the port works.
    panel.focus();
    panel.key("z");
    QCOMPARE(hex(pty.read(7)), QByteArray("03 02 01 01 01 01 09"));
    panel.key("Escape");
    QCOMPARE(panel.waitForExit(), 0);
    QCOMPARE(panel.portFile(), QByteArray("1"));
    QVERIFY(!QFile::exists(QDir(elsewhere.path()).filePath(PortFileName)));
}

void TestEndToEnd::secondInstanceOnSamePort()
{
    Pty pty;
    Panel first(m_desktop, pty);
    Panel second(m_desktop, pty);
    QVERIFY(first.start());
    QVERIFY(second.start());
    // The second could not open the port: its command goes nowhere.
    second.focus();
    second.key("z");
    QCOMPARE(hex(pty.read(7, 1000)), QByteArray());
    // The first keeps working.
    first.focus();
    first.key("c");
    QCOMPARE(hex(pty.read(7)), QByteArray("03 02 01 01 01 01 09"));
    ::kill(pid_t(second.pid()), SIGTERM);
    ::kill(pid_t(first.pid()), SIGTERM);
    QCOMPARE(second.waitForExit(), 0);
    QCOMPARE(first.waitForExit(), 0);
}

void TestEndToEnd::noDisplay_data()
{
    QTest::addColumn<QString>("display");
    QTest::newRow("DISPLAY not set") << QString();
    QTest::newRow("DISPLAY unreachable") << QStringLiteral(":199");
}

void TestEndToEnd::noDisplay()
{
    QFETCH(QString, display);
    QProcessEnvironment env = m_desktop.environment();
    env.remove(QStringLiteral("DISPLAY"));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    QProcess panel;
    panel.setProcessEnvironment(env);
    panel.start(QStringLiteral(BLINDS_PANEL_BINARY), {});
    QVERIFY(panel.waitForFinished(10000));
    QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(panel.exitCode(), 1);
    QVERIFY(panel.readAllStandardError().contains("cannot start"));
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
