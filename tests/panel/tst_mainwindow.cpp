#include "fieldedit.h"
#include "panelfixture.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

using namespace blinds;

namespace {

QString textOf(QWidget *w)
{
    if (auto *b = qobject_cast<QPushButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    return QStringLiteral("<unknown kind>");
}

const QStringList focusOrder = {"按钮_开",         "按钮_关",     "按钮_停",
                                "按钮_COM加",      "按钮_COM减",  "编辑框_目标地址",
                                "编辑框_目标位置", "按钮_全速关", "按钮_全速开",
                                "编辑框_实际位置", "按钮1"};

QColor baseOf(QWidget *w)
{
    return w->palette().color(QPalette::Active, QPalette::Base);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void controls_data();
    void controls();
    void windowSettings();
    void trayMenuItems();
    void appearance_data();
    void appearance();
    void fieldSettings();
    void members();
    void accessibleNames_data();
    void accessibleNames();
    void firstActivationFocus();
    void tabOrder();
    void mouseClickFocuses();
    void focusRequests();
    void focusRemembered();
    void escapeRequestsClose();
    void closeBoxRequestsClose();
    void enterAndArrowsDoNothing();
    void systemTextsBypassFieldRules();
    void colours();
    void replyShowsAndFlashes();
    void comButtonsStepOnPress();
    void statusAfterLinkLost();
    void destroyedWithFocusInField();
};

void TestMainWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("tabStop");

    const QString box = "QGroupBox", button = "QPushButton", label = "QLabel",
                  edit = "blinds::FieldEdit", central = "centralwidget";
    auto row = [](const char *name, QString kind, QString parent, QRect geometry, QString text,
                  bool enabled, bool tabStop) {
        QTest::newRow(name) << QString::fromUtf8(name) << kind << parent << geometry << text
                            << enabled << tabStop;
    };
    row("分组框5", box, central, {8, 8, 208, 152}, "", true, false);
    row("按钮_COM减", button, "分组框5", {8, 16, 48, 24}, "COM-", true, true);
    row("标签_COM", label, "分组框5", {72, 16, 64, 24}, "COM1", true, false);
    row("按钮_COM加", button, "分组框5", {152, 16, 48, 24}, "COM+", true, true);
    row("标签_端口选择", label, "分组框5", {8, 40, 192, 24}, "标签", true, false);
    row("按钮_通读地址", button, "分组框5", {8, 80, 192, 24}, "--", false, true);
    row("标签6", label, "分组框5", {8, 120, 104, 24}, "通读所取得的地址=", false, false);
    row("编辑框_通读地址", edit, "分组框5", {120, 120, 80, 24}, "", false, true);
    row("分组框1", box, central, {232, 8, 224, 152}, "地址为十六进制(HEX)", true, false);
    row("标签1", label, "分组框1", {24, 32, 88, 24}, "通道号", true, false);
    row("编辑框_目标位置", edit, "分组框1", {112, 32, 96, 24}, "1", true, true);
    row("标签2", label, "分组框1", {24, 72, 88, 24}, "发送次数", true, false);
    row("编辑框_实际位置", edit, "分组框1", {112, 72, 96, 24}, "1", true, true);
    row("标签3", label, "分组框1", {24, 120, 88, 24}, "目标地址", true, false);
    row("编辑框_目标地址", edit, "分组框1", {112, 120, 96, 24}, "010203", true, true);
    row("分组框3", box, central, {8, 160, 448, 128}, "", true, false);
    row("按钮_开", button, "分组框3", {8, 16, 80, 40}, "开ZC", true, true);
    row("按钮_停", button, "分组框3", {176, 16, 80, 40}, "停XVN", true, true);
    row("按钮_关", button, "分组框3", {352, 16, 80, 40}, "关BM", true, true);
    row("按钮_全速开", button, "分组框3", {8, 72, 80, 40}, "调角度开", true, true);
    row("按钮_比例控制", button, "分组框3", {112, 72, 96, 40}, "--", false, true);
    row("按钮_读当前位置", button, "分组框3", {224, 72, 112, 40}, "--", false, true);
    row("按钮_全速关", button, "分组框3", {352, 72, 80, 40}, "调角度关", true, true);
    row("按钮1", button, central, {200, 320, 96, 40}, "对码", true, true);
}

void TestMainWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(bool, tabStop);

    MainWindow window; // as loaded: before the port file is read
    const auto all = window.findChildren<QWidget *>(name);
    QCOMPARE(all.size(), 1);
    QWidget *w = all.first();
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), kind);
    QCOMPARE(w->parentWidget()->objectName(), parent);
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(textOf(w), text);
    QCOMPARE(w->isEnabled(), enabled);
    QCOMPARE(bool(w->focusPolicy() & Qt::TabFocus), tabStop);
    QVERIFY(w->isVisibleTo(&window));
    if (auto *b = qobject_cast<QPushButton *>(w)) {
        QVERIFY(!b->isDefault());
        QVERIFY(!b->autoDefault());
    }
}

void TestMainWindow::windowSettings()
{
    Panel p;
    QVERIFY(p.ready());
    MainWindow &w = p.window;
    QCOMPARE(w.objectName(), "MainWindow");
    QCOMPARE(w.windowTitle(), "2016-12-28-KVT-朗帷特-QD2271-485控制程序-7字节程序-9600-垂直帘专用");
    // No window manager frames an offscreen window: the client area is the outer size.
    QCOMPARE(w.frameGeometry().size(), QSize(622, 432));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    const Qt::WindowFlags flags = w.windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowStaysOnTopHint));

    // Places count from the client area below the menu bar.
    QCOMPARE(w.centralWidget()->objectName(), "centralwidget");
    QCOMPARE(w.centralWidget()->y(), w.menuBar()->geometry().bottom() + 1);
    QVERIFY(w.centralWidget()->autoFillBackground());
    QCOMPARE(w.centralWidget()->palette().color(QPalette::Active, QPalette::Window),
             QColor(255, 128, 0));
    QCOMPARE(w.centralWidget()->palette().color(QPalette::Disabled, QPalette::Window),
             QColor(255, 128, 0));
    QCOMPARE(w.centralWidget()->palette().color(QPalette::Active, QPalette::WindowText),
             QColor(0, 0, 0));
}

void TestMainWindow::trayMenuItems()
{
    MainWindow w;
    QMenu *menu = w.trayMenu();
    QVERIFY(menu);
    QCOMPARE(menu->objectName(), "TrayMenu");
    QCOMPARE(menu->title(), "托盘右键");
    QCOMPARE(w.findChildren<QMenu *>().size(), 1);
    // The menu bar's only menu.
    QCOMPARE(w.menuBar()->actions().size(), 1);
    QCOMPARE(w.menuBar()->actions().first()->menu(), menu);
    QStringList texts;
    for (QAction *a : menu->actions()) {
        QVERIFY(!a->isSeparator());
        QVERIFY(a->isEnabled());
        QVERIFY(a->isVisible());
        QVERIFY(!a->isCheckable());
        QVERIFY(a->shortcut().isEmpty());
        texts << a->text();
    }
    QCOMPARE(texts, QStringList({"退出程序", "显示窗口", "窗口最小化", "退出"}));
}

void TestMainWindow::appearance_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QColor>("base"); // edit boxes only
    const int centre = Qt::AlignCenter, left = Qt::AlignLeft | Qt::AlignVCenter;
    for (const char *name : {"标签_COM", "标签_端口选择", "标签1", "标签2", "标签3"})
        QTest::newRow(name) << QString::fromUtf8(name) << centre << QColor();
    QTest::newRow("标签6") << "标签6" << left << QColor();
    for (const char *name : {"编辑框_目标位置", "编辑框_实际位置", "编辑框_目标地址"})
        QTest::newRow(name) << QString::fromUtf8(name) << centre << QColor(255, 255, 255);
    QTest::newRow("编辑框_通读地址") << "编辑框_通读地址" << centre << QColor(192, 192, 192);
}

void TestMainWindow::appearance()
{
    QFETCH(QString, name);
    QFETCH(int, alignment);
    QFETCH(QColor, base);
    MainWindow w;
    QWidget *control = w.findChild<QWidget *>(name);
    QVERIFY(control);
    if (auto *label = qobject_cast<QLabel *>(control)) {
        QCOMPARE(int(label->alignment()), alignment);
        QCOMPARE(label->frameShape(), QFrame::NoFrame);
        QCOMPARE(label->palette().color(QPalette::Active, QPalette::Window), QColor(255, 128, 0));
        QCOMPARE(label->palette().color(QPalette::Active, QPalette::WindowText), QColor(0, 0, 0));
        if (name == "标签_端口选择") {
            QCOMPARE(label->font().pixelSize(), 12);
            QCOMPARE(label->font().weight(), QFont::Normal);
        } else {
            QCOMPARE(label->font(), w.font());
        }
    } else {
        auto *edit = qobject_cast<QLineEdit *>(control);
        QVERIFY(edit);
        QCOMPARE(int(edit->alignment()), alignment);
        QVERIFY(edit->hasFrame());
        // Disabled or not, the field keeps its own background.
        QCOMPARE(edit->palette().color(QPalette::Active, QPalette::Base), base);
        QCOMPARE(edit->palette().color(QPalette::Disabled, QPalette::Base), base);
        QCOMPARE(edit->palette().color(QPalette::Active, QPalette::Text), QColor(0, 0, 0));
    }
}

void TestMainWindow::fieldSettings()
{
    MainWindow w;
    const struct
    {
        Field field;
        const char *name;
        int maxBytes;
        FieldEdit::InputMode mode;
    } fields[] = {
        {Field::Address, "编辑框_目标地址", 6, FieldEdit::anyText},
        {Field::Channel, "编辑框_目标位置", 3, FieldEdit::byteNumber},
        {Field::SendCount, "编辑框_实际位置", 3, FieldEdit::byteNumber},
        {Field::FoundAddress, "编辑框_通读地址", 0, FieldEdit::readOnly},
    };
    for (const auto &f : fields) {
        FieldEdit *edit = w.field(f.field);
        QCOMPARE(edit->objectName(), QString::fromUtf8(f.name));
        QCOMPARE(edit->maxBytes(), f.maxBytes);
        QCOMPARE(edit->inputMode(), f.mode);
        QCOMPARE(edit->isReadOnly(), f.mode == FieldEdit::readOnly);
        QVERIFY(!edit->acceptDrops());
        QCOMPARE(edit->echoMode(), QLineEdit::Normal);
    }
}

void TestMainWindow::members()
{
    QTemporaryDir dir;
    MainWindow w;
    w.setPortFilePath(dir.filePath("端口列表.TXT"));
    QCOMPARE(w.serialPort().objectName(), "串口");
    QVERIFY(!w.serialPort().isOpen());
    QCOMPARE(w.ports().portFilePath(), dir.filePath("端口列表.TXT"));
    QVERIFY(!QFile::exists(dir.filePath("端口列表.TXT")));
    QCOMPARE(w.timer(PanelTimer::Silence).objectName(), "时钟1");
    QCOMPARE(w.timer(PanelTimer::Silence).period(), 500);
    QVERIFY(w.timer(PanelTimer::Silence).isActive());
    QCOMPARE(w.timer(PanelTimer::Flash).objectName(), "时钟_闪烁定时");
    QCOMPARE(w.timer(PanelTimer::Flash).period(), 0);
    QVERIFY(!w.timer(PanelTimer::Flash).isActive());
    // The silence timer drives the reply receiver.
    w.receiver().receiveByte(0x03);
    QCOMPARE(w.receiver().position(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(w.receiver().position(), 1, 3000);
}

void TestMainWindow::accessibleNames_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("name");
    QTest::newRow("channel") << "编辑框_目标位置"
                             << "通道号";
    QTest::newRow("send count") << "编辑框_实际位置"
                                << "发送次数";
    QTest::newRow("address") << "编辑框_目标地址"
                             << "目标地址";
    QTest::newRow("found address") << "编辑框_通读地址"
                                   << "通读所取得的地址=";
}

void TestMainWindow::accessibleNames()
{
    QFETCH(QString, field);
    QFETCH(QString, name);
    MainWindow w;
    QWidget *edit = w.findChild<QWidget *>(field);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(edit);
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Name), name);
}

void TestMainWindow::firstActivationFocus()
{
    Panel p;
    QVERIFY(p.ready());
    QCOMPARE(p.focusName(), "按钮_开");
}

void TestMainWindow::tabOrder()
{
    Panel p;
    QVERIFY(p.ready());
    QStringList forward;
    for (int i = 0; i <= focusOrder.size(); ++i) {
        forward << p.focusName();
        p.key(Qt::Key_Tab);
    }
    QCOMPARE(forward, focusOrder + QStringList{"按钮_开"});

    p.window.requestFocus(p.control("按钮_开"));
    QStringList backward;
    for (int i = 0; i <= focusOrder.size(); ++i) {
        backward << p.focusName();
        p.key(Qt::Key_Backtab, Qt::ShiftModifier);
    }
    QStringList expected{"按钮_开"};
    for (auto it = focusOrder.crbegin(); it != focusOrder.crend(); ++it)
        expected << *it;
    QCOMPARE(backward, expected);
    // Tab is never typed into a field.
    QCOMPARE(p.window.fieldText(Field::Channel), "1");
    QCOMPARE(p.window.fieldText(Field::SendCount), "1");
    QCOMPARE(p.window.fieldText(Field::Address), "010203");
    QVERIFY(p.sent().isEmpty());
}

void TestMainWindow::mouseClickFocuses()
{
    Panel p;
    QVERIFY(p.ready());
    for (const char *name : {"编辑框_实际位置", "按钮_COM减", "按钮1", "编辑框_目标地址"}) {
        QTest::mouseClick(p.control(name), Qt::LeftButton);
        QCOMPARE(p.focusName(), QString::fromUtf8(name));
    }
    // Disabled controls ignore the mouse.
    QTest::mouseClick(p.control("按钮_读当前位置"), Qt::LeftButton);
    QTest::mouseClick(p.control("编辑框_通读地址"), Qt::LeftButton);
    QCOMPARE(p.focusName(), "编辑框_目标地址");
    QVERIFY(p.sent().isEmpty());
}

void TestMainWindow::focusRequests()
{
    Panel p;
    QVERIFY(p.ready());
    for (const char *disabled :
         {"按钮_通读地址", "按钮_比例控制", "按钮_读当前位置", "编辑框_通读地址"}) {
        p.window.requestFocus(p.control(disabled));
        QCOMPARE(p.focusName(), "按钮_开");
    }
    p.window.requestFocus(nullptr);
    QCOMPARE(p.focusName(), "按钮_开");
    p.window.requestFocus(p.control("按钮_全速关"));
    QCOMPARE(p.focusName(), "按钮_全速关");
}

void TestMainWindow::focusRemembered()
{
    Panel p;
    QVERIFY(p.ready());
    p.window.requestFocus(p.control("编辑框_实际位置"));

    // Another window takes the focus and gives it back.
    QWidget other;
    other.resize(100, 100);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QCOMPARE(p.control("编辑框_实际位置")->hasFocus(), false);
    p.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&p.window));
    QCOMPARE(p.focusName(), "编辑框_实际位置");

    // Hidden (as in the tray) and shown again. The offscreen platform does
    // not move its focus away from a hidden window; a desktop gives it to
    // another window, as done here.
    auto hideAndShow = [&] {
        p.window.hide();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(!p.window.isActiveWindow());
    };
    p.window.requestFocus(p.control("按钮_COM加"));
    hideAndShow();
    p.window.show();
    p.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&p.window));
    QCOMPARE(p.focusName(), "按钮_COM加");

    // A focus request while hidden is where the focus lands on return.
    hideAndShow();
    p.window.requestFocus(p.control("按钮_关"));
    p.window.show();
    p.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&p.window));
    QCOMPARE(p.focusName(), "按钮_关");

    // A click into the inactive window focuses what was clicked, even when
    // the click is handled before the activation.
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTest::mouseClick(p.control("编辑框_目标地址"), Qt::LeftButton);
    p.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&p.window));
    QCOMPARE(p.focusName(), "编辑框_目标地址");
}

void TestMainWindow::escapeRequestsClose()
{
    Panel p;
    QVERIFY(p.ready());
    QSignalSpy close(&p.window, &MainWindow::closeRequested);
    for (Qt::KeyboardModifiers m : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier})
        p.key(Qt::Key_Escape, m);
    QCOMPARE(close.count(), 0);
    p.key(Qt::Key_Escape);
    QCOMPARE(close.count(), 1);
    // From inside a field just the same, and the field keeps its text.
    p.window.requestFocus(p.control("编辑框_目标地址"));
    p.key(Qt::Key_Escape);
    QCOMPARE(close.count(), 2);
    QCOMPARE(p.window.fieldText(Field::Address), "010203");
    QVERIFY(p.window.isVisible());
    QVERIFY(p.sent().isEmpty());
}

void TestMainWindow::closeBoxRequestsClose()
{
    Panel p;
    QVERIFY(p.ready());
    QSignalSpy close(&p.window, &MainWindow::closeRequested);
    QVERIFY(!p.window.close());
    QCOMPARE(close.count(), 1);
    QVERIFY(p.window.isVisible());
}

void TestMainWindow::enterAndArrowsDoNothing()
{
    Panel p;
    QVERIFY(p.ready());
    QSignalSpy close(&p.window, &MainWindow::closeRequested);
    for (const char *start : {"按钮_开", "按钮_COM加", "按钮1", "编辑框_目标位置"}) {
        p.window.requestFocus(p.control(start));
        for (Qt::Key k : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Left, Qt::Key_Right, Qt::Key_Up,
                          Qt::Key_Down, Qt::Key_F1}) {
            p.key(k);
            QCOMPARE(p.focusName(), QString::fromUtf8(start));
        }
    }
    QVERIFY(p.sent().isEmpty());
    QCOMPARE(close.count(), 0);
    QCOMPARE(int(p.window.ports().portNumber()), 1);
}

void TestMainWindow::systemTextsBypassFieldRules()
{
    MainWindow w;
    const QString texts[] = {"ZZZZZZZZZZ", "12345", "-7", "通道", ""};
    for (Field f : {Field::Channel, Field::SendCount, Field::Address, Field::FoundAddress}) {
        for (const QString &text : texts) {
            w.setFieldText(f, text);
            QCOMPARE(w.fieldText(f), text);
        }
    }
}

void TestMainWindow::colours()
{
    MainWindow w;
    const QColor face = QApplication::palette(w.field(Field::Address)).color(QPalette::Button);
    for (Field f : {Field::FoundAddress, Field::Address, Field::SendCount}) {
        w.setFieldColour(f, FlashGreen);
        QCOMPARE(baseOf(w.field(f)), QColor(0, 255, 0));
        w.setFieldColour(f, 0x00FF8000); // 0x00BBGGRR: blue 255, green 128
        QCOMPARE(baseOf(w.field(f)), QColor(0, 128, 255));
        w.setFieldColour(f, DefaultColour);
        QCOMPARE(baseOf(w.field(f)), face);
        QCOMPARE(w.field(f)->palette().color(QPalette::Disabled, QPalette::Base), face);
    }
}

void TestMainWindow::replyShowsAndFlashes()
{
    Panel p;
    QVERIFY(p.ready());
    QVERIFY(p.pty.write(QByteArray::fromHex("0ab00007ffc0")));
    QTRY_COMPARE(p.window.fieldText(Field::Address), "00B00A");
    QCOMPARE(p.window.fieldText(Field::FoundAddress), "00B00A");
    QCOMPARE(p.window.fieldText(Field::SendCount), "255");
    for (Field f : {Field::FoundAddress, Field::Address, Field::SendCount})
        QCOMPARE(baseOf(p.window.field(f)), QColor(0, 255, 0));
    QVERIFY(p.window.timer(PanelTimer::Flash).isActive());
    const QColor face =
        QApplication::palette(p.window.field(Field::Address)).color(QPalette::Button);
    QTRY_COMPARE_WITH_TIMEOUT(baseOf(p.window.field(Field::SendCount)), face, 2000);
    QCOMPARE(baseOf(p.window.field(Field::FoundAddress)), face);
    QVERIFY(!p.window.timer(PanelTimer::Flash).isActive());
}

void TestMainWindow::comButtonsStepOnPress()
{
    Panel p;
    QVERIFY(p.ready());
    auto *com = p.control<QLabel>("标签_COM");
    auto *status = p.control<QLabel>("标签_端口选择");
    QCOMPARE(com->text(), "COM1");
    QCOMPARE(status->text(), "串口 1 启动成功！");

    // The press steps, before any release.
    QTest::mousePress(p.control("按钮_COM加"), Qt::LeftButton);
    QCOMPARE(com->text(), "COM2");
    QCOMPARE(status->text(), "串口 2 启动失败，请重新选择！");
    QVERIFY(status->toolTip().startsWith("COM2 is "));
    QTest::mouseRelease(p.control("按钮_COM加"), Qt::LeftButton);
    QCOMPARE(com->text(), "COM2");

    // Other buttons of the mouse, Space and Enter do not step.
    QTest::mouseClick(p.control("按钮_COM加"), Qt::RightButton);
    p.window.requestFocus(p.control("按钮_COM加"));
    p.key(Qt::Key_Space);
    p.key(Qt::Key_Return);
    QCOMPARE(com->text(), "COM2");

    QTest::mouseClick(p.control("按钮_COM减"), Qt::LeftButton);
    QCOMPARE(com->text(), "COM1");
    QCOMPARE(status->text(), "串口 1 启动成功！");
    QTest::mouseClick(p.control("按钮_COM减"), Qt::LeftButton);
    QCOMPARE(com->text(), "COM255");
    QVERIFY(p.sent().isEmpty()); // no command
}

void TestMainWindow::statusAfterLinkLost()
{
    Panel p;
    QVERIFY(p.ready());
    auto *status = p.control<QLabel>("标签_端口选择");
    QCOMPARE(status->text(), "串口 1 启动成功！");
    p.pty.closeMaster();
    p.pty.closeSlave();
    QTRY_COMPARE(status->text(), "串口 1 启动失败，请重新选择！");
    QVERIFY(status->toolTip().contains(p.window.serialPort().failureReason()));
    QCOMPARE(p.control<QLabel>("标签_COM")->text(), "COM1");
}

// Closing the window on its way out takes the focus from the field, which
// normalises and reports it while the window is half gone.
void TestMainWindow::destroyedWithFocusInField()
{
    auto p = std::make_unique<Panel>();
    QVERIFY(p->ready());
    p->window.requestFocus(p->control("编辑框_目标位置"));
    p->window.setFieldText(Field::Channel, "300");
    p.reset();
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
