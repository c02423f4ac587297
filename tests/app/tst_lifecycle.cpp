#include "../support/pty.h"
#include "lifecycle.h"
#include "mainwindow.h"
#include "traycontroller.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace blinds;

namespace {

// A started program whose COM1 is a pseudo-terminal and whose port file lives
// in a folder of the test's own.
struct Started
{
    QTemporaryDir dir;
    Pty pty;
    QString previousDir = QDir::currentPath();
    Lifecycle lifecycle;

    Started()
    {
        QDir::setCurrent(dir.path());
        QFile::link(pty.slaveName(), dir.filePath(QStringLiteral("COM1")));
        if (!lifecycle.start())
            return;
        MainWindow *w = lifecycle.window();
        w->serialPort().setPortsDirectory(dir.path());
        w->ports().startSelectedPort();
    }
    ~Started() { QDir::setCurrent(previousDir); }

    QByteArray portFile() const
    {
        QFile f(dir.filePath(QStringLiteral("端口列表.TXT")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

} // namespace

class TestLifecycle : public QObject
{
    Q_OBJECT
private slots:
    void startShowsWindowWithIcon();
    void closeOnceWhateverAsksTwice();
    void replyInFlightIsShownBeforeClose();
    void exitItemsClose_data();
    void exitItemsClose();
};

void TestLifecycle::startShowsWindowWithIcon()
{
    Started s;
    MainWindow *w = s.lifecycle.window();
    QVERIFY(w);
    QVERIFY(w->isVisible());
    QVERIFY(s.lifecycle.tray()->hasTrayIcon());
    QCOMPARE(s.lifecycle.tray()->trayIcon()->toolTip(), QStringLiteral("电机增量控制程序"));
    QCOMPARE(s.portFile(), QByteArray()); // created empty by the start
    QVERIFY(w->serialPort().isOpen());
    QCOMPARE(w->receiver().position(), 1);
}

void TestLifecycle::closeOnceWhateverAsksTwice()
{
    Started s;
    QSignalSpy willGo(&s.lifecycle, &Lifecycle::windowWillBeDestroyed);
    QSignalSpy closed(&s.lifecycle, &Lifecycle::closed);
    QPointer<MainWindow> window = s.lifecycle.window();
    // A second request queued while the first is handling pending events.
    emit window->closeRequested();
    s.lifecycle.closeProgram();
    s.lifecycle.closeProgram();
    QCoreApplication::processEvents();
    QVERIFY(window.isNull());
    QCOMPARE(willGo.count(), 1);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(s.portFile(), QByteArray("1"));
}

void TestLifecycle::replyInFlightIsShownBeforeClose()
{
    Started s;
    MainWindow *w = s.lifecycle.window();
    QString shown;
    connect(&s.lifecycle, &Lifecycle::windowWillBeDestroyed, this,
            [&] { shown = w->fieldText(Field::Address) + "/" + w->fieldText(Field::SendCount); });
    // The reply has reached the driver, no event has run for it yet.
    QVERIFY(s.pty.write(QByteArray::fromHex("0A0B0C000526")));
    s.lifecycle.closeProgram();
    QCOMPARE(shown, QStringLiteral("0C0B0A/5"));
}

void TestLifecycle::exitItemsClose_data()
{
    QTest::addColumn<int>("item");
    QTest::newRow("退出程序") << 0;
    QTest::newRow("退出") << 3;
}

void TestLifecycle::exitItemsClose()
{
    QFETCH(int, item);
    Started s;
    QSignalSpy closed(&s.lifecycle, &Lifecycle::closed);
    QAction *action = s.lifecycle.window()->trayMenu()->actions().at(item);
    action->trigger();
    QVERIFY(closed.isEmpty()); // acts once the menu has closed, from the event loop
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(!s.lifecycle.window());
    QCOMPARE(s.portFile(), QByteArray("1"));
}

QTEST_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
