#include "lifecycle.h"

#include "mainwindow.h"
#include "portselection.h"
#include "replyreceiver.h"
#include "traycontroller.h"
#include "trayicondata.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

#include <new>

namespace blinds {

Lifecycle::Lifecycle(QObject *parent) : QObject(parent) {}

Lifecycle::~Lifecycle()
{
    // Ends without a save when the program never got as far as closing.
    delete m_tray;
    delete m_window;
}

bool Lifecycle::start()
{
    try {
        m_window = new MainWindow;
    } catch (const std::bad_alloc &) {
        return false;
    }
    m_tray = new TrayController(*m_window, *m_window->trayMenu());

    // A close request arrives from inside the window's own event handling,
    // where the window cannot be destroyed; closing starts right after it.
    connect(m_window, &MainWindow::closeRequested, this, &Lifecycle::closeProgram,
            Qt::QueuedConnection);
    const QList<QAction *> items = m_window->trayMenu()->actions();
    for (int exitItem : {0, 3}) {
        if (exitItem < items.size())
            connect(items.at(exitItem), &QAction::triggered, this, &Lifecycle::closeProgram,
                    Qt::QueuedConnection);
    }

    onCreated();
    m_tray->onSizeChanged();
    centreOnScreen();
    m_window->show();
    m_window->activateWindow();
    return true;
}

void Lifecycle::onCreated()
{
    m_window->receiver().resetPosition();
    m_window->ports().restorePort();
    // The read-address button is disabled for good, so this request does
    // nothing; the first activation puts the focus on the open button.
    if (auto *readAddress = m_window->findChild<QPushButton *>(QStringLiteral("按钮_通读地址")))
        m_window->requestFocus(readAddress);
    m_tray->installTrayIcon(trayIconIco(), QString::fromUtf8(TrayTooltip));
}

void Lifecycle::centreOnScreen()
{
    const QScreen *screen =
        m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Before the first show the frame is not known yet; the window's outer
    // size is fixed, so centring on it is centring the framed window.
    const QSize outer = m_window->frameGeometry().size().expandedTo(
        QSize(MainWindow::OuterWidth, MainWindow::OuterHeight));
    const QRect area = screen->geometry();
    m_window->move(area.x() + (area.width() - outer.width()) / 2,
                   area.y() + (area.height() - outer.height()) / 2);
}

void Lifecycle::onWillBeDestroyed()
{
    m_window->ports().savePort();
    emit windowWillBeDestroyed();
}

void Lifecycle::closeProgram()
{
    if (m_closing || !m_window)
        return;
    m_closing = true;
    m_tray->removeTrayIcon();
    // Bytes and ticks already queued are handled while everything still
    // exists, a reply that was still in the driver included.
    m_window->processPendingEvents();
    m_window->serialPort().deliverWaitingBytes();
    onWillBeDestroyed();
    delete m_tray;
    m_tray = nullptr;
    delete m_window; // the serial port closes with it
    QCoreApplication::quit();
    emit closed();
}

} // namespace blinds
