#include "conversions.h"
#include "fieldedit.h"
#include "fieldrules.h"
#include "panelfixture.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QMenu>
#include <QSignalSpy>

using namespace blinds;

namespace {

void paste(FieldEdit *edit, const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

void commit(FieldEdit *edit, const QString &text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(edit, &event);
}

// Types text as a keyboard would, characters that no key of QTest's
// keyboard has included.
void type(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClicks(widget, QString(c));
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

// Starts typing into an emptied field.
FieldEdit *emptied(Panel &p, Field field)
{
    FieldEdit *edit = p.window.field(field);
    p.window.requestFocus(edit);
    edit->setText(QString());
    return edit;
}

} // namespace

class TestFields : public QObject
{
    Q_OBJECT
private slots:
    void addressFilter();
    void normalisation_data();
    void normalisation();
    void typingIntoAddress_data();
    void typingIntoAddress();
    void typingIntoNumbers_data();
    void typingIntoNumbers();
    void addressKeepsClipboardOut();
    void addressFiltersInputMethod();
    void numbersTakePaste_data();
    void numbersTakePaste();
    void numberMenuPasteIsLimited();
    void normalisedBeforeLostFocus();
    void normalisedOnDeactivation();
    void foundAddressIsReadOnly();
    void clickUsesNormalisedChannel();
};

void TestFields::addressFilter()
{
    for (int code = 0; code < 256; ++code) {
        const bool passes = code == 8 || code == 127 || (code >= '0' && code <= '9') ||
                            (code >= 'A' && code <= 'F') || (code >= 'a' && code <= 'f');
        QCOMPARE(filterAddressChar(code), passes ? code : 0);
        QCOMPARE(isByteNumberChar(code), code < 32 || (code >= '0' && code <= '9'));
    }
}

void TestFields::normalisation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("normal");
    const char *rows[][2] = {
        {"1", "1"},     {"255", "255"}, {"256", "255"}, {"300", "255"},
        {"999", "255"}, {"007", "7"},   {"0", ""},      {"000", ""},
        {"", ""},       {"-5", ""},     {"-0", ""},     {"+12", "12"},
        {" 12", "12"},  {"\t12", "12"}, {"1a2", "1"},   {"abc", ""},
        {"12 3", "12"}, {"- 5", ""},    {"2.7", "2"},   {"99999999999999999999", "255"},
        {"１２", ""},   {"通道", ""},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]);
}

void TestFields::normalisation()
{
    QFETCH(QString, text);
    QFETCH(QString, normal);
    QCOMPARE(normaliseByteNumber(text), normal);
}

void TestFields::typingIntoAddress_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::newRow("digits") << "0123"
                            << "0123";
    QTest::newRow("hex both cases") << "aBcDeF"
                                    << "aBcDeF";
    QTest::newRow("g, minus, space refused") << "1G-2 g+3"
                                             << "123";
    QTest::newRow("seventh refused") << "1234567"
                                     << "123456";
    QTest::newRow("double-byte refused") << "1中２3"
                                         << "13";
    QTest::newRow("punctuation") << "#.,/A"
                                 << "A";
}

void TestFields::typingIntoAddress()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    Panel p(false);
    QVERIFY(p.ready());
    FieldEdit *edit = emptied(p, Field::Address);
    type(edit, typed);
    QCOMPARE(edit->text(), text);
    // Backspace deletes.
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), text.chopped(1));
}

void TestFields::typingIntoNumbers_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::newRow("digits") << "12"
                            << "12";
    QTest::newRow("letters refused") << "1a2"
                                     << "12";
    QTest::newRow("sign and point refused") << "-2.5"
                                            << "25";
    QTest::newRow("fourth refused") << "1234"
                                    << "123";
    QTest::newRow("double-byte refused") << "１中9"
                                         << "9";
    QTest::newRow("space refused") << " 7 "
                                   << "7";
}

void TestFields::typingIntoNumbers()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    Panel p(false);
    QVERIFY(p.ready());
    for (Field f : {Field::Channel, Field::SendCount}) {
        FieldEdit *edit = emptied(p, f);
        type(edit, typed);
        QCOMPARE(edit->text(), text);
    }
    // Letters with Ctrl or Alt held are no characters either.
    for (Field f : {Field::Channel, Field::Address}) {
        FieldEdit *edit = emptied(p, f);
        for (Qt::Key k : {Qt::Key_A, Qt::Key_G, Qt::Key_1}) {
            QTest::keyClick(edit, k, Qt::AltModifier);
            QTest::keyClick(edit, k, Qt::ControlModifier | Qt::AltModifier);
        }
        QCOMPARE(edit->text(), QString());
    }
    // The keypad's digits are digits.
    FieldEdit *edit = emptied(p, Field::SendCount);
    QTest::keyClick(edit, Qt::Key_4, Qt::KeypadModifier);
    QCOMPARE(edit->text(), "4");
}

void TestFields::addressKeepsClipboardOut()
{
    Panel p(false);
    QVERIFY(p.ready());
    FieldEdit *edit = p.window.field(Field::Address);
    p.window.requestFocus(edit);
    edit->setText("0102");
    QClipboard *clipboard = QGuiApplication::clipboard();

    paste(edit, "ABCDEF");
    QCOMPARE(edit->text(), "0102");
    QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(edit->text(), "0102");

    edit->selectAll();
    clipboard->setText("before");
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), "before");
    QCOMPARE(edit->text(), "0102");

    edit->setCursorPosition(4);
    QTest::keyClicks(edit, "A");
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(edit->text(), "0102A");

    // The X11 selection by the middle button.
    if (clipboard->supportsSelection()) {
        clipboard->setText("FF", QClipboard::Selection);
        QTest::mouseClick(edit, Qt::MiddleButton);
        QCOMPARE(edit->text(), "0102A");
    }
    QVERIFY(!edit->acceptDrops());
    QVERIFY(!edit->takesClipboard());

    // The context menu offers no way in either.
    clipboard->setText("ABCDEF");
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, edit->rect().center(),
                                edit->mapToGlobal(edit->rect().center()));
    QApplication::sendEvent(edit, &menuEvent);
    QMenu *menu = nullptr;
    QTRY_VERIFY((menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())));
    int found = 0;
    for (QAction *action : menu->actions()) {
        const QString name = action->objectName();
        if (name == "edit-paste" || name == "edit-undo" || name == "edit-redo" ||
            name == "edit-cut" || name == "edit-copy") {
            ++found;
            QVERIFY2(!action->isEnabled(), qPrintable(name));
            action->trigger();
        }
    }
    QCOMPARE(found, 5);
    menu->close();
    QCOMPARE(edit->text(), "0102A");
}

void TestFields::addressFiltersInputMethod()
{
    Panel p(false);
    QVERIFY(p.ready());
    FieldEdit *edit = emptied(p, Field::Address);
    commit(edit, "12中g3ｆ");
    QCOMPARE(edit->text(), "123");
    commit(edit, "abcdef");
    QCOMPARE(edit->text(), "123abc");

    FieldEdit *channel = emptied(p, Field::Channel);
    commit(channel, "9x通1２34");
    QCOMPARE(channel->text(), "913");
}

void TestFields::numbersTakePaste_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("channel");   // after losing the focus
    QTest::addColumn<QString>("sendCount"); // after losing the focus
    QTest::newRow("-5") << "-5"
                        << "-5"
                        << "0"
                        << "";
    QTest::newRow("1a2") << "1a2"
                         << "1a2"
                         << "1"
                         << "1";
    QTest::newRow("300") << "300"
                         << "300"
                         << "255"
                         << "255";
    QTest::newRow("007") << "007"
                         << "007"
                         << "7"
                         << "7";
    QTest::newRow("0") << "0"
                       << "0"
                       << "0"
                       << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "0"
                           << "";
    QTest::newRow("cut to three") << "12345"
                                  << "123"
                                  << "123"
                                  << "123";
    QTest::newRow("first line only") << "42\n7"
                                     << "42"
                                     << "42"
                                     << "42";
    QTest::newRow("double-byte counts two") << "1通2"
                                            << "1通"
                                            << "1"
                                            << "1";
}

void TestFields::numbersTakePaste()
{
    QFETCH(QString, clip);
    QFETCH(QString, pasted);
    QFETCH(QString, channel);
    QFETCH(QString, sendCount);
    Panel p(false);
    QVERIFY(p.ready());

    FieldEdit *edit = emptied(p, Field::Channel);
    paste(edit, clip);
    QCOMPARE(edit->text(), pasted);
    p.key(Qt::Key_Tab);
    QCOMPARE(p.focusName(), "按钮_全速关");
    QCOMPARE(edit->text(), channel);

    edit = emptied(p, Field::SendCount);
    paste(edit, clip);
    QCOMPARE(edit->text(), pasted);
    p.key(Qt::Key_Tab);
    QCOMPARE(p.focusName(), "按钮1");
    QCOMPARE(edit->text(), sendCount);
}

void TestFields::numberMenuPasteIsLimited()
{
    Panel p(false);
    QVERIFY(p.ready());
    FieldEdit *edit = emptied(p, Field::SendCount);
    edit->setText("9");
    edit->setCursorPosition(1);
    QGuiApplication::clipboard()->setText("12345");
    std::unique_ptr<QMenu> menu(edit->createContextMenu());
    QAction *pasteAction = menu->findChild<QAction *>("edit-paste");
    QVERIFY(pasteAction);
    QVERIFY(pasteAction->isEnabled());
    pasteAction->trigger();
    QCOMPARE(edit->text(), "912");
}

void TestFields::normalisedBeforeLostFocus()
{
    Panel p(false);
    QVERIFY(p.ready());
    for (Field f : {Field::Channel, Field::SendCount}) {
        FieldEdit *edit = p.window.field(f);
        p.window.requestFocus(edit);
        edit->setText("007");
        edit->setCursorPosition(3);
        QString seen = "<not raised>";
        QMetaObject::Connection c =
            connect(edit, &FieldEdit::lostFocus, this, [&] { seen = edit->text(); });
        p.window.requestFocus(p.control("按钮_开"));
        disconnect(c);
        QCOMPARE(seen, "7");
        QCOMPARE(edit->cursorPosition(), 1);
        QVERIFY(!edit->hasSelectedText());

        // Caret inside the new text stays where it was; nothing selected.
        p.window.requestFocus(edit);
        edit->setText("300");
        edit->setSelection(0, 2);
        p.window.requestFocus(p.control("按钮_开"));
        QCOMPARE(edit->text(), "255");
        QCOMPARE(edit->cursorPosition(), 2);
        QVERIFY(!edit->hasSelectedText());

        // An unchanged text is left alone, caret and all.
        p.window.requestFocus(edit);
        edit->setText("42");
        edit->setCursorPosition(1);
        p.window.requestFocus(p.control("按钮_开"));
        QCOMPARE(edit->cursorPosition(), 1);
    }
}

void TestFields::normalisedOnDeactivation()
{
    Panel p(false);
    QVERIFY(p.ready());
    FieldEdit *edit = p.window.field(Field::Channel);
    p.window.requestFocus(edit);
    edit->setText("300");
    QWidget other;
    other.resize(50, 50);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QCOMPARE(edit->text(), "255");
    p.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&p.window));
    QCOMPARE(p.focusName(), "编辑框_目标位置");
}

void TestFields::foundAddressIsReadOnly()
{
    Panel p(false);
    QVERIFY(p.ready());
    FieldEdit *edit = p.window.field(Field::FoundAddress);
    QVERIFY(!edit->isEnabled());
    QVERIFY(edit->isReadOnly());
    QCOMPARE(edit->text(), QString());
    // Even enabled, the operator cannot change it.
    edit->setEnabled(true);
    p.window.requestFocus(edit);
    QTest::keyClicks(edit, "12");
    paste(edit, "34");
    commit(edit, "56");
    QCOMPARE(edit->text(), QString());
}

void TestFields::clickUsesNormalisedChannel()
{
    Panel p;
    QVERIFY(p.ready());
    FieldEdit *channel = emptied(p, Field::Channel);
    QTest::keyClicks(channel, "300");
    QTest::mouseClick(p.control("按钮_开"), Qt::LeftButton);
    QCOMPARE(p.sent(), QByteArray("03 02 01 01 ff 01 07"));
    QCOMPARE(channel->text(), "255");

    // Emptied, the channel shows 0 and goes out as 0.
    channel = emptied(p, Field::Channel);
    QTest::mouseClick(p.control("按钮_停"), Qt::LeftButton);
    QCOMPARE(p.sent(), QByteArray("03 02 01 02 00 01 09"));
    QCOMPARE(channel->text(), "0");

    // A zero send count leaves its field empty.
    FieldEdit *count = emptied(p, Field::SendCount);
    QTest::keyClicks(count, "000");
    QTest::mouseClick(p.control("按钮1"), Qt::LeftButton);
    QCOMPARE(p.sent(), QByteArray("03 02 01 80 00 00 86"));
    QCOMPARE(count->text(), QString());
}

QTEST_MAIN(TestFields)
#include "tst_fields.moc"
