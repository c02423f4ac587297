#pragma once

// A shown and active MainWindow whose COM1 is a pseudo-terminal: the test
// reads the frames off the master end. Every other port number is a link to
// nothing, so that no device of the machine is ever opened.

#include "../support/pty.h"
#include "mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class Panel
{
public:
    QTemporaryDir dir;
    Pty pty;
    blinds::MainWindow window;

    explicit Panel(bool startPort = true)
    {
        QDir().mkpath(dir.filePath("ports"));
        QFile::link(pty.slaveName(), dir.filePath("ports/COM1"));
        for (int n = 2; n <= 255; ++n)
            QFile::link(dir.filePath("nothing"), dir.filePath("ports/COM%1").arg(n));
        window.serialPort().setPortsDirectory(dir.filePath("ports"));
        window.setPortFilePath(portFilePath());
        if (startPort)
            window.ports().restorePort();
        window.show();
        m_active = QTest::qWaitForWindowActive(&window);
    }

    bool ready() const { return m_active && pty.isValid(); }
    QString portFilePath() const { return dir.filePath("端口列表.TXT"); }

    template <typename T = QWidget> T *control(const char *name) const
    {
        return window.findChild<T *>(QString::fromUtf8(name));
    }
    QString focusName() const
    {
        QWidget *w = QApplication::focusWidget();
        return w ? w->objectName() : QStringLiteral("<none>");
    }

    // The frames sent so far, as spaced hexadecimal; sending is synchronous,
    // so whatever a handler sent is already waiting.
    QByteArray sent() { return pty.readAvailable().toHex(' '); }

    // A key pressed and released as a keyboard delivers it: to whichever
    // control has the focus at that moment.
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyPress(QApplication::focusWidget(), key, modifiers);
        QTest::keyRelease(QApplication::focusWidget(), key, modifiers);
    }

private:
    bool m_active = false;
};
