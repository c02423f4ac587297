#include "serialport.h"

#include "portnames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace blinds {

namespace {

const QEvent::Type DeliverByteEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// The group whose members may open the device, if there is one.
QString groupOf(const QString &device)
{
#ifndef Q_OS_WIN
    struct stat info;
    if (::stat(QFile::encodeName(device).constData(), &info) == 0 &&
        (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
        if (const group *g = ::getgrgid(info.st_gid))
            return QString::fromLocal8Bit(g->gr_name);
    }
#else
    Q_UNUSED(device);
#endif
    return {};
}

} // namespace

QString describeOpenFailure(const QString &device, QSerialPort::SerialPortError code,
                            const QString &systemText)
{
    if (device.isEmpty())
        return QStringLiteral("This port number maps to no device.");
    switch (code) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1 does not exist: is the adapter plugged in?").arg(device);
    case QSerialPort::PermissionError: {
        const QString group = groupOf(device);
        if (!group.isEmpty() && !QFileInfo(device).isWritable())
            return QStringLiteral("No permission to open %1: add the user to the group '%2' "
                                  "(sudo usermod -aG %2 $USER), then log in again.")
                .arg(device, group);
        if (!QFileInfo(device).isWritable())
            return QStringLiteral("No permission to open %1: ask the administrator for read and "
                                  "write access to it.")
                .arg(device);
        return QStringLiteral("%1 is in use by another program.").arg(device);
    }
    case QSerialPort::OpenError:
        return QStringLiteral("%1 is already open.").arg(device);
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("%1 refused the settings 9600 8N1.").arg(device);
    case QSerialPort::ResourceError:
        return QStringLiteral("%1 went away: the adapter was unplugged.").arg(device);
    default:
        return systemText.isEmpty() ? QStringLiteral("%1 could not be opened.").arg(device)
                                    : QStringLiteral("%1: %2").arg(device, systemText);
    }
}

SerialPort::SerialPort(QObject *parent)
    : QObject(parent), m_portsDirectory(defaultPortsDirectory())
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPort::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPort::onErrorOccurred);
}

SerialPort::~SerialPort()
{
    stop();
}

void SerialPort::setPortNumber(int n)
{
    m_portNumber = qMax(1, n);
}

QString SerialPort::deviceName() const
{
    if (!m_device.isEmpty())
        return m_device;
    return deviceForPort(m_portNumber, m_portsDirectory);
}

int SerialPort::start()
{
    stop();
    m_failureReason.clear();
    m_failureCode = QSerialPort::NoError;

    const QString device = deviceName();
    if (device.isEmpty()) {
        m_failureCode = QSerialPort::DeviceNotFoundError;
        m_failureReason = describeOpenFailure(device, m_failureCode, {});
        return 0;
    }
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_failureCode = m_port.error();
        m_failureReason = describeOpenFailure(device, m_failureCode, m_port.errorString());
        m_port.clearError();
        return 0;
    }
    if (!lockExclusively()) {
        m_port.close();
        m_failureCode = QSerialPort::PermissionError;
        m_failureReason = QStringLiteral("%1 is in use by another program.").arg(device);
        return 0;
    }
    const bool configured = m_port.setBaudRate(QSerialPort::Baud9600) &&
                            m_port.setDataBits(QSerialPort::Data8) &&
                            m_port.setParity(QSerialPort::NoParity) &&
                            m_port.setStopBits(QSerialPort::OneStop) &&
                            m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        m_failureCode = QSerialPort::UnsupportedOperationError;
        m_failureReason = describeOpenFailure(device, m_failureCode, m_port.errorString());
        m_port.close();
        m_port.clearError();
        return 0;
    }
    // RTS is held on for adapters that key their driver with it; a device
    // without modem lines (a pseudo-terminal) refuses, which is harmless.
    m_port.setRequestToSend(true);
    m_port.clearError();
    // Bytes that waited in the driver before we opened belong to nobody.
    m_port.clear();
    m_openDevice = device;
    return 1;
}

bool SerialPort::lockExclusively()
{
#ifndef Q_OS_WIN
    // Serial devices are not exclusive on Unix, and TIOCEXCL does not stop a
    // privileged process; an advisory lock on the device does, for every
    // program that asks for it.
    return ::flock(int(m_port.handle()), LOCK_EX | LOCK_NB) == 0;
#else
    return true; // Windows opens COM ports exclusively by itself
#endif
}

void SerialPort::stop()
{
    m_pending.clear();
    m_pendingHead = 0;
    m_readErrorsWithDevice = 0;
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

int SerialPort::sendByte(quint8 byte)
{
    if (!m_port.isOpen())
        return 0;
    const char c = static_cast<char>(byte);
    if (m_port.write(&c, 1) != 1)
        return 0;
    // waitForBytesWritten may emit readyRead from in here; received bytes
    // only go to the queue, so nothing is handed out before we return.
    if (!m_port.waitForBytesWritten(WriteTimeoutMs))
        return 0;
    return 1;
}

void SerialPort::onReadyRead()
{
    const QByteArray data = m_port.readAll();
    if (data.isEmpty())
        return;
    m_readErrorsWithDevice = 0;
    if (m_pendingHead > 0 && m_pendingHead == m_pending.size()) {
        m_pending.clear();
        m_pendingHead = 0;
    }
    // A peer that sends faster than the bytes can be handled would otherwise
    // grow the queue without end; past the limit the newest bytes are lost,
    // as in an overrun UART. At 9600 baud the limit is some 18 minutes of input.
    const qsizetype room = MaxPendingBytes - (m_pending.size() - m_pendingHead);
    const qsizetype kept = qBound(qsizetype(0), data.size(), room);
    m_pending.append(data.constData(), kept);
    m_droppedBytes += data.size() - kept;
    scheduleDelivery();
}

void SerialPort::scheduleDelivery()
{
    if (m_deliveryPosted || m_pendingHead >= m_pending.size())
        return;
    m_deliveryPosted = true;
    QCoreApplication::postEvent(this, new QEvent(DeliverByteEvent));
}

bool SerialPort::event(QEvent *event)
{
    if (event->type() == DeliverByteEvent) {
        m_deliveryPosted = false;
        deliverOne();
        return true;
    }
    return QObject::event(event);
}

void SerialPort::deliverOne()
{
    if (m_delivering)
        return; // handed out again once the byte in hand is done
    // Bytes that arrived together are handed out in one run of at most
    // MaxRunNs: a pass of the event loop per byte spends more time polling
    // than handling once a peer floods the line, while a run this short keeps
    // a click or a timer waiting no longer than the wire takes for one byte.
    QElapsedTimer run;
    run.start();
    do {
        if (m_pendingHead >= m_pending.size())
            return;
        const auto value = static_cast<quint8>(m_pending.at(m_pendingHead++));
        if (m_pendingHead == m_pending.size()) {
            m_pending.clear();
            m_pendingHead = 0;
        } else if (m_pendingHead > 65536 && m_pendingHead * 2 > m_pending.size()) {
            m_pending.remove(0, m_pendingHead);
            m_pendingHead = 0;
        }
        m_delivering = true;
        emit byteReceived(value);
        m_delivering = false;
    } while (run.nsecsElapsed() < MaxRunNs);
    scheduleDelivery();
}

void SerialPort::deliverWaitingBytes()
{
    if (m_delivering)
        return;
    if (m_port.isOpen()) {
        m_port.waitForReadyRead(0);
        onReadyRead();
    }
    while (m_pendingHead < m_pending.size()) {
        const auto value = static_cast<quint8>(m_pending.at(m_pendingHead++));
        m_delivering = true;
        emit byteReceived(value);
        m_delivering = false;
    }
    m_pending.clear();
    m_pendingHead = 0;
}

bool SerialPort::deviceGone() const
{
#ifndef Q_OS_WIN
    if (!m_port.isOpen())
        return false;
    termios settings;
    return ::tcgetattr(int(m_port.handle()), &settings) != 0 && (errno == EIO || errno == ENXIO || errno == ENODEV || errno == EBADF);
#else
    return true;
#endif
}

void SerialPort::onErrorOccurred(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ReadError && error != QSerialPort::WriteError &&
        error != QSerialPort::ResourceError)
        return;
    if (!m_port.isOpen())
        return;
    if (!deviceGone() && ++m_readErrorsWithDevice <= MaxReadErrorsWithDevice) {
        // A read woken for bytes that another read took first finds nothing,
        // and Qt reports whatever errno was left: when that is EAGAIN, it
        // takes the device for gone and stops reading. It is still there, so
        // reading goes on (a read re-arms Qt's notifier).
        m_port.clearError();
        if (error == QSerialPort::ResourceError)
            onReadyRead();
        return;
    }
    // Left open, a hung-up device keeps the read notifier firing; close it at
    // once so that the process goes idle and the device name is freed for a
    // re-plugged adapter.
    const QString device = m_openDevice;
    fail(QSerialPort::ResourceError, describeOpenFailure(device, QSerialPort::ResourceError, {}));
}

void SerialPort::fail(QSerialPort::SerialPortError code, const QString &reason)
{
    stop();
    m_failureCode = code;
    m_failureReason = reason;
    // Reported from the event loop: this may run inside sendByte, in the
    // middle of a command.
    QMetaObject::invokeMethod(this, &SerialPort::linkLost, Qt::QueuedConnection);
}

} // namespace blinds
