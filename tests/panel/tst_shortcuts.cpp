#include "panelfixture.h"
#include "virtualkeys.h"

#include <QKeyEvent>
#include <QLineEdit>

using namespace blinds;

namespace {

const QByteArray openFrame = "03 02 01 01 01 01 09";
const QByteArray stopFrame = "03 02 01 02 01 01 0a";
const QByteArray closeFrame = "03 02 01 03 01 01 0b";
const QByteArray proportionalFrame = "03 02 01 04 01 01 0c"; // AngleOpen sends the same
const QByteArray readPositionFrame = "03 02 01 00 01 01 08";
const QByteArray angleCloseFrame = "03 02 01 06 01 01 0e";
const QByteArray readAddressFrame = "00 00 00 20 01 01 22";

} // namespace

class TestShortcuts : public QObject
{
    Q_OBJECT
private slots:
    void virtualKeys_data();
    void virtualKeys();
    void onlyLettersAndFourFunctionKeysGiveCommands();
    void keys_data();
    void keys();
    void heldKeyGivesOneCommand();
    void lettersTypeIntoFields();
    void spaceClicks();
};

void TestShortcuts::virtualKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("code");
    const int none = Qt::NoModifier, pad = Qt::KeypadModifier, shift = Qt::ShiftModifier;
    QTest::newRow("A") << int(Qt::Key_A) << none << 0x41;
    QTest::newRow("Shift+Z") << int(Qt::Key_Z) << shift << 0x5A;
    QTest::newRow("0") << int(Qt::Key_0) << none << 0x30;
    QTest::newRow("keypad 7") << int(Qt::Key_7) << pad << 0x37;
    QTest::newRow("keypad minus") << int(Qt::Key_Minus) << pad << 0xBD;
    QTest::newRow("keypad point") << int(Qt::Key_Period) << pad << 0xBE;
    QTest::newRow("keypad comma") << int(Qt::Key_Comma) << pad << 0xBE;
    QTest::newRow("keypad divide") << int(Qt::Key_Slash) << pad << 0xBF;
    QTest::newRow("keypad times") << int(Qt::Key_Asterisk) << pad << 0x6A;
    QTest::newRow("keypad plus") << int(Qt::Key_Plus) << pad << 0x6B;
    QTest::newRow("keypad enter") << int(Qt::Key_Enter) << pad << 0x0D;
    QTest::newRow("minus") << int(Qt::Key_Minus) << none << 0xBD;
    QTest::newRow("Shift+1") << int(Qt::Key_Exclam) << shift << 0x31;
    QTest::newRow("Shift+8") << int(Qt::Key_Asterisk) << shift << 0x38;
    QTest::newRow("F1") << int(Qt::Key_F1) << none << 0x70;
    QTest::newRow("F4") << int(Qt::Key_F4) << none << 0x73;
    QTest::newRow("F12") << int(Qt::Key_F12) << none << 0x7B;
    QTest::newRow("Space") << int(Qt::Key_Space) << none << 0x20;
    QTest::newRow("Return") << int(Qt::Key_Return) << none << 0x0D;
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << none << 0x08;
    QTest::newRow("Left") << int(Qt::Key_Left) << none << 0x25;
    QTest::newRow("Down") << int(Qt::Key_Down) << none << 0x28;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << none << 0x2E;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << none << 0x1B;
    QTest::newRow("Tab") << int(Qt::Key_Tab) << none << 0x09;
    QTest::newRow("unknown") << int(Qt::Key_unknown) << none << 0;
    QTest::newRow("Cyrillic letter") << 0x0416 << none << 0;
}

void TestShortcuts::virtualKeys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, code);
    QCOMPARE(virtualKeyCode(key, Qt::KeyboardModifiers(modifiers)), code);
}

// The shortcut table compares the low byte of the code with letters, so a
// key whose code falls on a letter would give a command it should not.
void TestShortcuts::onlyLettersAndFourFunctionKeysGiveCommands()
{
    const QByteArray table = "zZcCvVxXnNmMbBaAsSdDfFgG";
    QList<int> keys;
    for (int k = 0x20; k <= 0xFF; ++k)
        keys << k;
    for (int k = 0x01000000; k <= 0x010000FF; ++k)
        keys << k;
    for (int k = 0x01000100; k <= 0x0100011F; ++k)
        keys << k;
    for (int key : keys) {
        for (Qt::KeyboardModifiers m :
             {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::KeypadModifier)}) {
            const int code = virtualKeyCode(key, m);
            const bool letter = key >= Qt::Key_A && key <= Qt::Key_Z;
            const bool command = table.contains(char(code & 0xFF)) && code != 0;
            const bool expected = (letter && table.contains(char(key))) || key == Qt::Key_F4 ||
                                  key == Qt::Key_F7 || key == Qt::Key_F9 || key == Qt::Key_F11;
            QVERIFY2(
                command == expected,
                qPrintable(QStringLiteral("key 0x%1 gives 0x%2").arg(key, 0, 16).arg(code, 0, 16)));
        }
    }
}

void TestShortcuts::keys_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("focus");

    const int none = Qt::NoModifier, pad = Qt::KeypadModifier;
    auto row = [](const char *name, const char *start, int key, int modifiers, QByteArray frame,
                  const char *focus) {
        QTest::newRow(name) << QString::fromUtf8(start) << key << modifiers << frame
                            << QString::fromUtf8(focus);
    };
    row("Z", "按钮_开", Qt::Key_Z, none, openFrame, "按钮_开");
    row("C from Stop", "按钮_停", Qt::Key_C, none, openFrame, "按钮_开");
    row("Shift+Z", "按钮_关", Qt::Key_Z, Qt::ShiftModifier, openFrame, "按钮_开");
    row("Ctrl+Z", "按钮_关", Qt::Key_Z, Qt::ControlModifier, openFrame, "按钮_开");
    row("Alt+Z", "按钮_关", Qt::Key_Z, Qt::AltModifier, openFrame, "按钮_开");
    row("M from COM+", "按钮_COM加", Qt::Key_M, none, closeFrame, "按钮_关");
    row("B from COM-", "按钮_COM减", Qt::Key_B, none, closeFrame, "按钮_关");
    row("N", "按钮_关", Qt::Key_N, none, stopFrame, "按钮_停");
    row("V", "按钮_开", Qt::Key_V, none, stopFrame, "按钮_停");
    row("X", "按钮_全速开", Qt::Key_X, none, stopFrame, "按钮_停");
    row("F", "按钮_开", Qt::Key_F, none, proportionalFrame, "按钮_全速开");
    row("G", "按钮_开", Qt::Key_G, none, angleCloseFrame, "按钮_全速关");
    // Disabled buttons: the command goes out, the focus stays.
    row("A", "按钮_全速关", Qt::Key_A, none, readAddressFrame, "按钮_全速关");
    row("S", "按钮_开", Qt::Key_S, none, proportionalFrame, "按钮_开");
    row("D", "按钮_COM加", Qt::Key_D, none, readPositionFrame, "按钮_COM加");
    row("F11", "按钮_关", Qt::Key_F11, none, openFrame, "按钮_开");
    row("F7", "按钮_开", Qt::Key_F7, none, stopFrame, "按钮_停");
    row("F9", "按钮_开", Qt::Key_F9, none, stopFrame, "按钮_停");
    row("F4", "按钮_关", Qt::Key_F4, none, proportionalFrame, "按钮_关");
    for (Qt::Key k : {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F5, Qt::Key_F6, Qt::Key_F8,
                      Qt::Key_F10, Qt::Key_F12}) {
        const QByteArray name = "F" + QByteArray::number(k - Qt::Key_F1 + 1);
        row(name.constData(), "按钮_开", k, none, {}, "按钮_开");
    }
    for (Qt::Key k : {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_6, Qt::Key_7}) {
        const QByteArray name = "keypad " + QByteArray(1, char(k));
        row(name.constData(), "按钮_开", k, pad, {}, "按钮_开");
    }
    row("keypad minus", "按钮_开", Qt::Key_Minus, pad, {}, "按钮_开");
    row("keypad point", "按钮_开", Qt::Key_Period, pad, {}, "按钮_开");
    row("keypad divide", "按钮_开", Qt::Key_Slash, pad, {}, "按钮_开");
    row("digit", "按钮_开", Qt::Key_3, none, {}, "按钮_开");
    row("H", "按钮_开", Qt::Key_H, none, {}, "按钮_开");
    row("Enter", "按钮_停", Qt::Key_Return, none, {}, "按钮_停");
    row("Backspace", "按钮_停", Qt::Key_Backspace, none, {}, "按钮_停");
    row("Left", "按钮_停", Qt::Key_Left, none, {}, "按钮_停");
    row("Tab", "按钮_COM加", Qt::Key_Tab, none, {}, "按钮_COM减");
    // 按钮1 has no letter keys.
    row("Z on Pair", "按钮1", Qt::Key_Z, none, {}, "按钮1");
}

void TestShortcuts::keys()
{
    QFETCH(QString, start);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QByteArray, frame);
    QFETCH(QString, focus);
    Panel p;
    QVERIFY(p.ready());
    p.window.requestFocus(p.window.findChild<QWidget *>(start));
    QCOMPARE(p.focusName(), start);
    p.key(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(p.sent(), frame);
    QCOMPARE(p.focusName(), focus);
    QCOMPARE(p.window.ports().portNumber(), quint8(1));
}

void TestShortcuts::heldKeyGivesOneCommand()
{
    Panel p;
    QVERIFY(p.ready());
    QWidget *button = QApplication::focusWidget();
    QCOMPARE(button->objectName(), "按钮_开");
    QTest::keyPress(button, Qt::Key_M);
    // X11 repeats a held key as release-press pairs marked as repeats.
    for (int i = 0; i < 10; ++i) {
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_M, Qt::NoModifier, "m", true);
        QApplication::sendEvent(QApplication::focusWidget(), &release);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_M, Qt::NoModifier, "m", true);
        QApplication::sendEvent(QApplication::focusWidget(), &press);
    }
    QVERIFY(p.sent().isEmpty());
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_M);
    QCOMPARE(p.sent(), closeFrame);
    QCOMPARE(p.focusName(), "按钮_关");
}

void TestShortcuts::lettersTypeIntoFields()
{
    Panel p;
    QVERIFY(p.ready());
    QLineEdit *address = p.control<QLineEdit>("编辑框_目标地址");
    p.window.requestFocus(address);
    address->setText("12");
    address->setCursorPosition(2);
    p.key(Qt::Key_C);
    QCOMPARE(address->text(), "12c");
    p.key(Qt::Key_Z);
    QCOMPARE(address->text(), "12c");

    QLineEdit *channel = p.control<QLineEdit>("编辑框_目标位置");
    p.window.requestFocus(channel);
    for (Qt::Key k : {Qt::Key_Z, Qt::Key_M, Qt::Key_A, Qt::Key_F11})
        p.key(k);
    QCOMPARE(channel->text(), "1");
    QVERIFY(p.sent().isEmpty());
    QCOMPARE(p.focusName(), "编辑框_目标位置");
}

void TestShortcuts::spaceClicks()
{
    Panel p;
    QVERIFY(p.ready());
    p.key(Qt::Key_Space);
    QCOMPARE(p.sent(), openFrame);
    p.window.requestFocus(p.control("按钮_COM减"));
    p.key(Qt::Key_Space);
    QVERIFY(p.sent().isEmpty());
    QCOMPARE(p.window.ports().portNumber(), quint8(1));
    p.window.requestFocus(p.control("按钮1"));
    p.key(Qt::Key_Space);
    QCOMPARE(p.sent(), QByteArray("03 02 01 80 01 01 88"));
}

QTEST_MAIN(TestShortcuts)
#include "tst_shortcuts.moc"
