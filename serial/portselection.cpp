#include "portselection.h"

#include "conversions.h"
#include "portfile.h"
#include "serialport.h"

namespace blinds {

PortSelection::PortSelection(SerialPort &port, QObject *parent)
    : QObject(parent), m_port(port), m_portFilePath(defaultPortFilePath())
{
    connect(&m_port, &SerialPort::linkLost, this, &PortSelection::onLinkLost);
}

QString PortSelection::defaultPortFilePath()
{
    return QStringLiteral("端口列表.TXT");
}

void PortSelection::restorePort()
{
    const QByteArray line = readPortFile(m_portFilePath).value_or(QByteArray());
    // A line that names no port (0, 300, COM3, a binary blob) is taken as an
    // empty one, so the labels always name the port that is actually opened
    // and the next save writes a number that reads back.
    m_portText = isPortNumberLine(line) ? QString::fromLatin1(line) : QStringLiteral("1");
    m_portNumber = toByte(textToNumber(m_portText));
    startSelectedPort();
}

void PortSelection::savePort()
{
    writePortFile(m_portFilePath, m_portNumber);
}

void PortSelection::stepPortUp()
{
    m_port.stop();
    m_portNumber = static_cast<quint8>(m_portNumber + 1);
    if (m_portNumber == 0)
        m_portNumber = 1;
    m_portText = QString::number(m_portNumber);
    startSelectedPort();
}

void PortSelection::stepPortDown()
{
    m_port.stop();
    m_portNumber = static_cast<quint8>(m_portNumber - 1);
    if (m_portNumber == 0)
        m_portNumber = 255;
    m_portText = QString::number(m_portNumber);
    startSelectedPort();
}

void PortSelection::startSelectedPort()
{
    m_portCaption = QStringLiteral("COM") + m_portText;
    emit portCaptionChanged(m_portCaption);
    m_port.setPortNumber(m_portNumber);
    showStatus(m_port.start() == 1);
}

void PortSelection::onLinkLost()
{
    // The report is queued: a press that has reopened a port since then has
    // already shown its own result.
    if (m_port.isOpen())
        return;
    showStatus(false);
}

void PortSelection::showStatus(bool started)
{
    m_statusCaption =
        QStringLiteral("串口 ") + m_portText +
        (started ? QStringLiteral(" 启动成功！") : QStringLiteral(" 启动失败，请重新选择！"));
    const QString device = m_port.deviceName();
    const QString port = QStringLiteral("COM%1").arg(m_port.portNumber());
    if (device.isEmpty()) {
        m_statusToolTip = QStringLiteral("%1 maps to no device.").arg(port);
    } else {
        m_statusToolTip = QStringLiteral("%1 is %2.").arg(port, device);
        if (!started && !m_port.failureReason().isEmpty())
            m_statusToolTip += QLatin1Char('\n') + m_port.failureReason();
    }
    emit statusChanged(m_statusCaption, m_statusToolTip);
}

} // namespace blinds
