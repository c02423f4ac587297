#pragma once

#include "commandissuer.h"
#include "panelview.h"
#include "periodtimer.h"
#include "portselection.h"
#include "replyreceiver.h"
#include "serialport.h"

#include <QMainWindow>

#include <memory>

class QMenu;
class QPushButton;

namespace Ui {
class MainWindow;
}

namespace blinds {

class FieldEdit;

// The operator's whole panel. Its controls, texts, places and colours are
// fixed in mainwindow.ui; this class gives them their behaviour: the command
// buttons and letter keys, the field rules, the focus order and memory, and
// the port selection. It never closes itself: a close box, Alt+F4 or Esc
// only raise closeRequested.
class MainWindow : public QMainWindow, public PanelView
{
    Q_OBJECT
public:
    static constexpr int OuterWidth = 622;
    static constexpr int OuterHeight = 432;

    // Builds everything and starts `时钟1`; opens no port and reads no file.
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    QString fieldText(Field field) const override;
    void setFieldText(Field field, const QString &text) override;
    void setFieldColour(Field field, quint32 bgr) override;
    void setTimerPeriod(PanelTimer timer, int milliseconds) override;
    void processPendingEvents() override;

    SerialPort &serialPort() { return m_serialPort; }
    ReplyReceiver &receiver() { return m_receiver; }
    CommandIssuer &commands() { return m_commands; }
    PortSelection &ports() { return m_ports; }
    // Where the port file is read and written; "端口列表.TXT" in the working
    // directory unless set.
    void setPortFilePath(const QString &path) { m_ports.setPortFilePath(path); }

    // "托盘右键" with its four items, also the menu bar's only menu.
    QMenu *trayMenu() const;
    // Moves the keyboard focus to control; does nothing for a disabled one.
    void requestFocus(QWidget *control);

    FieldEdit *field(Field field) const;
    PeriodTimer &timer(PanelTimer timer);

    // The letter keys, on the release of a key while one of the ten
    // key-handling buttons has the focus. keyCode is a Windows virtual-key
    // code; the modifiers make no difference.
    void onShortcutKeyReleased(int keyCode, int modifierState);
    // The channel field once it has lost the focus: above 255 becomes 255,
    // and zero shows as "0".
    void onChannelLostFocus();

signals:
    void closeRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void connectCommands();
    void fitOuterSize();
    void restoreFocus();

    std::unique_ptr<Ui::MainWindow> m_ui;
    SerialPort m_serialPort;
    ReplyReceiver m_receiver{*this};
    CommandIssuer m_commands{*this, m_serialPort, m_receiver};
    PortSelection m_ports{m_serialPort};
    PeriodTimer m_silenceTimer;
    PeriodTimer m_flashTimer;
    QList<QPushButton *> m_shortcutButtons;
    QList<QPushButton *> m_buttons;
};

} // namespace blinds
