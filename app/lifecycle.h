#pragma once

#include "mainwindow.h"

#include <QObject>
#include <QPointer>

namespace blinds {

class TrayController;

// The life of the program is the life of its one window: start-up builds it,
// restores the port and installs the tray icon; every way of ending it goes
// through closeProgram, which saves the port once and destroys the window.
class Lifecycle : public QObject
{
    Q_OBJECT
public:
    explicit Lifecycle(QObject *parent = nullptr);
    ~Lifecycle() override;

    // Builds the window and shows it centred; false when it could not be built.
    bool start();
    void closeProgram();

    MainWindow *window() const { return m_window; }
    TrayController *tray() const { return m_tray; }
    bool isClosing() const { return m_closing; }

    static constexpr const char *TrayTooltip = "电机增量控制程序";

signals:
    // The window is about to go: its controls still hold what they show.
    void windowWillBeDestroyed();
    // The window is gone and the port saved; the event loop has been asked to end.
    void closed();

private:
    void onCreated();
    void onWillBeDestroyed();
    void centreOnScreen();

    QPointer<MainWindow> m_window;
    TrayController *m_tray = nullptr;
    bool m_closing = false;
};

} // namespace blinds
