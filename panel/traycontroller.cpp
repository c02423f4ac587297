#include "traycontroller.h"

#include "conversions.h"

#include <QAction>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWidget>

namespace blinds {

QString cutTooltip(const QString &tooltip, int maxBytes)
{
    QString cut;
    int bytes = 0;
    for (qsizetype i = 0; i < tooltip.size();) {
        const qsizetype length = tooltip.at(i).isHighSurrogate() && i + 1 < tooltip.size() ? 2 : 1;
        const QString character = tooltip.mid(i, length);
        const int size = int(toGbk(character).size());
        if (bytes + size > maxBytes)
            break;
        cut += character;
        bytes += size;
        i += length;
    }
    return cut;
}

TrayController::TrayController(QWidget &window, QMenu &menu, QObject *parent)
    : QObject(parent), m_window(window), m_menu(menu),
      m_trayAvailable([] { return QSystemTrayIcon::isSystemTrayAvailable(); })
{
    m_window.installEventFilter(this);
    const QList<QAction *> items = m_menu.actions();
    // The items act once the menu has closed, as ordinary events.
    if (items.size() >= 3) {
        connect(items.at(1), &QAction::triggered, this, &TrayController::showWindow,
                Qt::QueuedConnection);
        connect(items.at(2), &QAction::triggered, this, &TrayController::minimiseToTray,
                Qt::QueuedConnection);
    }
}

TrayController::~TrayController()
{
    m_window.removeEventFilter(this);
    removeTrayIcon();
}

void TrayController::installTrayIcon(const QByteArray &imageBytes, const QString &tooltip)
{
    QPixmap image;
    if (!image.loadFromData(imageBytes, "ICO")) {
        removeTrayIcon();
        return;
    }
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(this);
        connect(m_icon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    switch (reason) {
                    case QSystemTrayIcon::Trigger:
                        onTrayEvent(LeftButtonUp);
                        break;
                    case QSystemTrayIcon::DoubleClick:
                        // The second click of a double click is reported only
                        // as the double click; it toggles like any other.
                        onTrayEvent(LeftButtonUp);
                        onTrayEvent(LeftDoubleClick);
                        break;
                    case QSystemTrayIcon::Context:
                        onTrayEvent(RightButtonUp);
                        break;
                    default:
                        break;
                    }
                });
    }
    m_icon->setIcon(QIcon(image));
    m_icon->setToolTip(cutTooltip(tooltip, TooltipMaxBytes));
    m_icon->show();
}

void TrayController::removeTrayIcon()
{
    if (!m_icon)
        return;
    m_icon->hide();
    delete m_icon;
}

bool TrayController::hasTrayIcon() const
{
    return m_icon && m_icon->isVisible();
}

bool TrayController::trayUsable() const
{
    return hasTrayIcon() && m_trayAvailable && m_trayAvailable();
}

bool TrayController::visible() const
{
    return m_window.isVisible();
}

void TrayController::setVisible(bool visible)
{
    m_window.setVisible(visible);
}

WindowPosition TrayController::position() const
{
    const Qt::WindowStates state = m_window.windowState();
    if (state & Qt::WindowMinimized)
        return WindowPosition::Minimised;
    if (state & Qt::WindowMaximized)
        return WindowPosition::Maximised;
    return WindowPosition::Normal;
}

void TrayController::setPosition(WindowPosition position)
{
    if (!m_window.isVisible())
        return;
    const Qt::WindowStates state = m_window.windowState();
    switch (position) {
    case WindowPosition::Normal:
        m_window.setWindowState(state & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        m_window.raise();
        m_window.activateWindow();
        break;
    case WindowPosition::Centred: {
        m_window.setWindowState(state & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        const QScreen *screen =
            m_window.screen() ? m_window.screen() : QGuiApplication::primaryScreen();
        if (!screen)
            break;
        const QRect area = screen->geometry();
        const QSize outer = m_window.frameGeometry().size();
        const QPoint topLeft(area.x() + (area.width() - outer.width()) / 2,
                             area.y() + (area.height() - outer.height()) / 2);
        if (m_window.frameGeometry().topLeft() != topLeft)
            m_window.move(topLeft);
        break;
    }
    case WindowPosition::Minimised:
        m_window.setWindowState(state | Qt::WindowMinimized);
        break;
    case WindowPosition::Maximised:
        m_window.setWindowState((state & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        break;
    }
}

void TrayController::onTrayEvent(int code)
{
    switch (code) {
    case RightButtonUp:
        popupTrayMenu();
        break;
    case LeftButtonUp:
        toggleWindow();
        break;
    default:
        break;
    }
}

void TrayController::toggleWindow()
{
    if (position() != WindowPosition::Normal)
        showWindow();
    else
        setPosition(WindowPosition::Minimised);
}

void TrayController::showWindow()
{
    // A hidden window comes back restored rather than minimised and then
    // restored: the platform may report the minimised state of the mapping
    // after the restore, which would hide the window again.
    if (!m_window.isVisible())
        m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
    // Shown first: restoring is a command only a visible window carries out.
    setVisible(true);
    setPosition(WindowPosition::Normal);
}

void TrayController::minimiseToTray()
{
    setPosition(WindowPosition::Minimised);
    if (trayUsable())
        setVisible(false);
}

void TrayController::onSizeChanged()
{
    if (position() == WindowPosition::Minimised && trayUsable())
        setVisible(false);
}

void TrayController::onFirstActivated()
{
    setPosition(WindowPosition::Normal);
}

void TrayController::popupTrayMenu()
{
    if (m_window.isVisible())
        m_window.activateWindow();
    const QPoint cursor = QCursor::pos();
    const QSize size = m_menu.sizeHint();
    // Top-right corner 5 pixels left of and above the cursor.
    m_menu.exec(QPoint(cursor.x() - 5 - size.width(), cursor.y() - 5));
}

bool TrayController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_window) {
        switch (event->type()) {
        case QEvent::WindowStateChange:
            // Hidden from the event loop rather than from inside the state
            // change, which the platform is still delivering.
            QMetaObject::invokeMethod(this, &TrayController::onSizeChanged, Qt::QueuedConnection);
            break;
        case QEvent::WindowActivate:
            if (!m_activatedOnce) {
                m_activatedOnce = true;
                onFirstActivated();
            }
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace blinds
