#include "traycontroller.h"
#include "trayicondata.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QWidget>

using namespace blinds;

namespace {

// A window with the four-item tray menu, as the panel has it.
struct Fixture
{
    QWidget window;
    QMenu menu{QStringLiteral("托盘右键")};
    QAction *exitProgram = menu.addAction(QStringLiteral("退出程序"));
    QAction *show = menu.addAction(QStringLiteral("显示窗口"));
    QAction *minimise = menu.addAction(QStringLiteral("窗口最小化"));
    QAction *exit = menu.addAction(QStringLiteral("退出"));
    TrayController tray{window, menu};
    bool trayThere = true;

    Fixture()
    {
        tray.setTrayAvailabilityCheck([this] { return trayThere; });
        tray.installTrayIcon(trayIconIco(), QStringLiteral("电机增量控制程序"));
        window.resize(200, 100);
        window.show();
    }
    void settle() { QCoreApplication::processEvents(); }
    bool shown() const
    {
        return window.isVisible() && !(window.windowState() & Qt::WindowMinimized);
    }
    bool hidden() const
    {
        return !window.isVisible() && (window.windowState() & Qt::WindowMinimized);
    }
};

} // namespace

class TestTrayController : public QObject
{
    Q_OBJECT
private slots:
    void iconImage();
    void tooltipCut_data();
    void tooltipCut();
    void unreadableImageRemovesIcon();
    void leftClickToggles();
    void doubleClickTogglesPerClick();
    void minimiseHidesIntoTray();
    void menuItems();
    void withoutTrayMinimiseStaysReachable();
};

void TestTrayController::iconImage()
{
    const QByteArray ico = trayIconIco();
    QCOMPARE(ico.size(), TrayIconIcoSize);
    QCOMPARE(ico.left(6), QByteArray("\0\0\1\0\1\0", 6)); // an icon file with one image
    QCOMPARE(quint8(ico[8]), quint8(16));                 // 16 colours
    QCOMPARE(quint8(ico[12]), quint8(4));                 // 4 bits per pixel
    const QImage image = QImage::fromData(ico, "ICO");
    QCOMPARE(image.size(), QSize(16, 16));
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);              // the transparent top row
    QCOMPARE(image.pixel(0, 1), qRgb(0x80, 0x80, 0x80)); // the headrail
    QCOMPARE(image.pixel(15, 5), qRgb(0xFF, 0, 0));      // the pull cord
}

void TestTrayController::tooltipCut_data()
{
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QString>("expected");
    const QString chinese = QStringLiteral("电机增量控制程序");
    QTest::newRow("fits") << chinese << chinese;
    QTest::newRow("ascii at the limit") << QString(70, 'a') << QString(62, 'a');
    QTest::newRow("chinese at the limit") << chinese.repeated(5) << chinese.repeated(4).left(31);
    QTest::newRow("never half a character")
        << "a" + chinese.repeated(5) << "a" + chinese.repeated(4).left(30);
}

void TestTrayController::tooltipCut()
{
    QFETCH(QString, tooltip);
    QFETCH(QString, expected);
    QCOMPARE(cutTooltip(tooltip, TrayController::TooltipMaxBytes), expected);
}

void TestTrayController::unreadableImageRemovesIcon()
{
    Fixture f;
    QVERIFY(f.tray.hasTrayIcon());
    QCOMPARE(f.tray.trayIcon()->toolTip(), QStringLiteral("电机增量控制程序"));
    f.tray.installTrayIcon(QByteArray("not an icon"), QStringLiteral("x"));
    QVERIFY(!f.tray.hasTrayIcon());
    f.tray.removeTrayIcon(); // twice is harmless
    QVERIFY(!f.tray.hasTrayIcon());
}

void TestTrayController::leftClickToggles()
{
    Fixture f;
    f.tray.onTrayEvent(LeftButtonUp);
    f.settle();
    QVERIFY(f.hidden());
    f.tray.onTrayEvent(LeftButtonUp);
    f.settle();
    QVERIFY(f.shown());
    // A right click pops the menu up without showing a hidden window.
    f.tray.onTrayEvent(LeftButtonUp);
    f.settle();
    QTimer::singleShot(0, &f.menu, &QMenu::close);
    f.tray.onTrayEvent(RightButtonUp);
    QVERIFY(f.hidden());
}

void TestTrayController::doubleClickTogglesPerClick()
{
    Fixture f;
    f.tray.onTrayEvent(LeftDoubleClick);
    f.settle();
    QVERIFY(f.shown());
    // What the icon reports for a double click: a click, then the double click.
    emit f.tray.trayIcon()->activated(QSystemTrayIcon::Trigger);
    f.settle();
    emit f.tray.trayIcon()->activated(QSystemTrayIcon::DoubleClick);
    f.settle();
    QVERIFY(f.shown());
}

void TestTrayController::minimiseHidesIntoTray()
{
    Fixture f;
    f.window.setWindowState(Qt::WindowMinimized); // the title bar's minimise box
    f.settle();
    QVERIFY(f.hidden());
    QCOMPARE(f.tray.position(), WindowPosition::Minimised);
}

void TestTrayController::menuItems()
{
    Fixture f;
    f.minimise->trigger();
    f.settle();
    QVERIFY(f.hidden());
    f.minimise->trigger(); // on a hidden window: nothing changes
    f.settle();
    QVERIFY(f.hidden());
    f.show->trigger();
    f.settle();
    QVERIFY(f.shown());
    f.show->trigger();
    f.settle();
    QVERIFY(f.shown());
}

void TestTrayController::withoutTrayMinimiseStaysReachable()
{
    Fixture f;
    f.trayThere = false;
    f.window.setWindowState(Qt::WindowMinimized);
    f.settle();
    QVERIFY(f.window.isVisible());
    f.minimise->trigger();
    f.settle();
    QVERIFY(f.window.isVisible());
    // Once a tray host is there, minimising hides again.
    f.trayThere = true;
    f.tray.showWindow();
    f.window.setWindowState(Qt::WindowMinimized);
    f.settle();
    QVERIFY(f.hidden());
}

QTEST_MAIN(TestTrayController)
#include "tst_traycontroller.moc"
