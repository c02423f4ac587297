#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>

class QMenu;
class QWidget;

namespace blinds {

enum class WindowPosition
{
    Normal = 0,
    Centred = 1, // a command only; never read back
    Minimised = 2,
    Maximised = 3,
};

// Mouse activity over the tray icon, as the handlers see it.
enum TrayEvent
{
    LeftButtonUp = 1,
    LeftDoubleClick = 2,
    RightButtonUp = 3,
};

// The window's life between the desktop and the notification area: a
// minimised window hides into the tray, the icon toggles it, and the tray
// menu shows or hides it.
class TrayController : public QObject
{
    Q_OBJECT
public:
    TrayController(QWidget &window, QMenu &menu, QObject *parent = nullptr);
    ~TrayController() override;

    // Adds the icon, or replaces the image and tooltip of the one there is;
    // an image that is no icon removes it instead.
    void installTrayIcon(const QByteArray &imageBytes, const QString &tooltip);
    void removeTrayIcon();
    bool hasTrayIcon() const;
    QSystemTrayIcon *trayIcon() const { return m_icon; }

    bool visible() const;
    void setVisible(bool visible);
    WindowPosition position() const;
    void setPosition(WindowPosition position);

    void onTrayEvent(int code);
    void toggleWindow();
    void showWindow();
    void minimiseToTray();
    void onSizeChanged();
    void onFirstActivated();
    void popupTrayMenu();

    // Hiding on minimise is only safe where a notification area shows our
    // icon: otherwise the window could never be brought back.
    bool trayUsable() const;
    // Tests stand in for the desktop's notification area with this.
    void setTrayAvailabilityCheck(std::function<bool()> check)
    {
        m_trayAvailable = std::move(check);
    }

    static constexpr int TooltipMaxBytes = 62;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget &m_window;
    QMenu &m_menu;
    QPointer<QSystemTrayIcon> m_icon;
    std::function<bool()> m_trayAvailable;
    bool m_activatedOnce = false;
};

// Cuts a tooltip to the byte limit of its GBK form, never inside a character.
QString cutTooltip(const QString &tooltip, int maxBytes);

} // namespace blinds
