#include "mainwindow.h"

#include "conversions.h"
#include "fieldedit.h"
#include "fieldrules.h"
#include "ui_mainwindow.h"
#include "virtualkeys.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QShortcut>
#include <QWindow>

#include <cmath>
#include <string_view>

namespace blinds {

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), m_ui(new Ui::MainWindow)
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    // A font of its own, by pixel height, which the form file cannot express.
    QFont statusFont = font();
    statusFont.setPixelSize(12);
    statusFont.setWeight(QFont::Normal);
    m_ui->标签_端口选择->setFont(statusFont);

    m_ui->编辑框_目标地址->setCharacterFilter(&filterAddressChar);
    connect(m_ui->编辑框_目标位置, &FieldEdit::lostFocus, this, &MainWindow::onChannelLostFocus);

    m_serialPort.setObjectName(QStringLiteral("串口"));
    connect(&m_serialPort, &SerialPort::byteReceived, this,
            [this](int value) { m_receiver.receiveByte(static_cast<quint8>(value)); });

    m_silenceTimer.setObjectName(QStringLiteral("时钟1"));
    m_flashTimer.setObjectName(QStringLiteral("时钟_闪烁定时"));
    connect(&m_silenceTimer, &PeriodTimer::tick, this, [this] { m_receiver.onSilenceTick(); });
    connect(&m_flashTimer, &PeriodTimer::tick, this, [this] { m_receiver.onFlashTick(); });
    m_silenceTimer.setPeriod(500);

    connect(&m_ports, &PortSelection::portCaptionChanged, m_ui->标签_COM, &QLabel::setText);
    connect(&m_ports, &PortSelection::statusChanged, this,
            [this](const QString &caption, const QString &toolTip) {
                m_ui->标签_端口选择->setText(caption);
                m_ui->标签_端口选择->setToolTip(toolTip);
            });

    connectCommands();

    m_shortcutButtons = {m_ui->按钮_开,         m_ui->按钮_停,       m_ui->按钮_关,
                         m_ui->按钮_全速开,     m_ui->按钮_全速关,   m_ui->按钮_比例控制,
                         m_ui->按钮_读当前位置, m_ui->按钮_通读地址, m_ui->按钮_COM减,
                         m_ui->按钮_COM加};
    m_buttons = m_shortcutButtons;
    m_buttons << m_ui->按钮1;
    for (QPushButton *button : std::as_const(m_buttons))
        button->installEventFilter(this);

    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &MainWindow::closeRequested);
}

MainWindow::~MainWindow()
{
    // The base class hides the window and moves the focus as it takes the
    // controls down, after the members here are gone: nothing may call back.
    for (QPushButton *button : std::as_const(m_buttons))
        button->removeEventFilter(this);
    m_ui->编辑框_目标位置->disconnect(this);
}

void MainWindow::connectCommands()
{
    const std::pair<QPushButton *, CommandCode> commands[] = {
        {m_ui->按钮_开, CommandCode::Open},
        {m_ui->按钮_停, CommandCode::Stop},
        {m_ui->按钮_关, CommandCode::Close},
        {m_ui->按钮_全速开, CommandCode::AngleOpen},
        {m_ui->按钮_比例控制, CommandCode::Proportional},
        {m_ui->按钮_读当前位置, CommandCode::ReadPosition},
        {m_ui->按钮_全速关, CommandCode::AngleClose},
        {m_ui->按钮_通读地址, CommandCode::ReadAddress},
        {m_ui->按钮1, CommandCode::Pair},
    };
    for (const auto &[button, code] : commands) {
        connect(button, &QPushButton::clicked, this,
                [this, code = code] { m_commands.issueCommand(code); });
    }
}

FieldEdit *MainWindow::field(Field field) const
{
    switch (field) {
    case Field::Channel:
        return m_ui->编辑框_目标位置;
    case Field::SendCount:
        return m_ui->编辑框_实际位置;
    case Field::Address:
        return m_ui->编辑框_目标地址;
    case Field::FoundAddress:
        return m_ui->编辑框_通读地址;
    }
    return nullptr;
}

PeriodTimer &MainWindow::timer(PanelTimer timer)
{
    return timer == PanelTimer::Silence ? m_silenceTimer : m_flashTimer;
}

QString MainWindow::fieldText(Field f) const
{
    return field(f)->text();
}

void MainWindow::setFieldText(Field f, const QString &text)
{
    field(f)->setText(text);
}

void MainWindow::setFieldColour(Field f, quint32 bgr)
{
    FieldEdit *edit = field(f);
    // The default is the 3D-face colour, what buttons are painted with.
    const QColor colour =
        bgr == DefaultColour ? QApplication::palette(edit).color(QPalette::Active, QPalette::Button)
                             : QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, colour);
    edit->setPalette(palette);
}

void MainWindow::setTimerPeriod(PanelTimer t, int milliseconds)
{
    timer(t).setPeriod(milliseconds);
}

void MainWindow::processPendingEvents()
{
    QCoreApplication::processEvents();
}

QMenu *MainWindow::trayMenu() const
{
    return m_ui->TrayMenu;
}

void MainWindow::requestFocus(QWidget *control)
{
    if (!control || !control->isEnabled())
        return;
    // While the window is inactive or hidden this only marks the control as
    // the window's focus, which it gets when the window comes back.
    control->setFocus(Qt::OtherFocusReason);
}

void MainWindow::onShortcutKeyReleased(int keyCode, int modifierState)
{
    Q_UNUSED(modifierState);
    const char text = static_cast<char>(keyCode & 0xFF);
    auto give = [this](CommandCode code, QPushButton *button) {
        m_commands.issueCommand(code);
        requestFocus(button);
    };
    if (std::string_view("zZcC").find(text) != std::string_view::npos)
        give(CommandCode::Open, m_ui->按钮_开);

    const struct
    {
        std::string_view texts;
        CommandCode code;
        QPushButton *button;
    } groups[] = {
        {"vVxXnN", CommandCode::Stop, m_ui->按钮_停},
        {"mMbB", CommandCode::Close, m_ui->按钮_关},
        {"aA", CommandCode::ReadAddress, m_ui->按钮_通读地址},
        {"sS", CommandCode::Proportional, m_ui->按钮_比例控制},
        {"dD", CommandCode::ReadPosition, m_ui->按钮_读当前位置},
        {"fF", CommandCode::AngleOpen, m_ui->按钮_全速开},
        {"gG", CommandCode::AngleClose, m_ui->按钮_全速关},
    };
    for (const auto &group : groups) {
        if (group.texts.find(text) != std::string_view::npos) {
            give(group.code, group.button);
            return;
        }
    }
}

void MainWindow::onChannelLostFocus()
{
    const double x = textToNumber(fieldText(Field::Channel));
    if (x - 255 > 1e-7)
        setFieldText(Field::Channel, QStringLiteral("255"));
    const double y = textToNumber(fieldText(Field::Channel));
    if (std::abs(y) <= 1e-7)
        setFieldText(Field::Channel, QStringLiteral("0"));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    auto *button = qobject_cast<QPushButton *>(watched);
    if (!button || !m_buttons.contains(button))
        return QMainWindow::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::KeyPress: {
        // Arrow keys would move the focus between buttons; only Tab does here.
        const int key = static_cast<QKeyEvent *>(event)->key();
        return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up ||
               key == Qt::Key_Down;
    }
    case QEvent::KeyRelease: {
        auto *key = static_cast<QKeyEvent *>(event);
        // A held key repeats as release-press pairs; only the last release counts.
        if (!key->isAutoRepeat() && m_shortcutButtons.contains(button))
            onShortcutKeyReleased(virtualKeyCode(*key), modifierState(key->modifiers()));
        return false;
    }
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            if (button == m_ui->按钮_COM加)
                m_ports.stepPortUp();
            else if (button == m_ui->按钮_COM减)
                m_ports.stepPortDown();
        }
        return false;
    default:
        return false;
    }
}

bool MainWindow::event(QEvent *event)
{
    const bool result = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate)
        restoreFocus();
    return result;
}

// The window's focus widget outlives deactivation and hiding; Qt alone would
// give it back, but at the first activation it would pick the first control
// of its focus chain, whatever that is.
void MainWindow::restoreFocus()
{
    QWidget *target = focusWidget();
    if (!target || target == this || !target->isEnabled() || !target->isVisible())
        target = m_ui->按钮_开;
    target->setFocus(Qt::ActiveWindowFocusReason);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    emit closeRequested();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    fitOuterSize();
}

void MainWindow::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    fitOuterSize();
}

// The form's size is the outer size, frame and title bar included; the frame
// is only known once a window manager has framed the window.
void MainWindow::fitOuterSize()
{
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QSize client(OuterWidth - frame.left() - frame.right(),
                       OuterHeight - frame.top() - frame.bottom());
    if (minimumSize() != client || maximumSize() != client)
        setFixedSize(client);
}

} // namespace blinds
