#pragma once

#include "panelview.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace blinds {

// The panel's link to the RS-485 adapter: 9600 8N1 without flow control.
//
// Received bytes are handed out one event per byte, in arrival order, on the
// thread the port lives in, and never while a byte is still being handled: a
// receiver that lets queued events run from inside its handler does not see
// the next byte until it has returned.
class SerialPort : public QObject, public ByteSink
{
    Q_OBJECT
public:
    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    static constexpr int WriteTimeoutMs = 1000;
    // Received bytes waiting to be handed out, at most.
    static constexpr qsizetype MaxPendingBytes = 1024 * 1024;

    void setPortNumber(int n);
    int portNumber() const { return m_portNumber; }
    // Where COM<n> links are looked up; defaults to ports/ beside the program.
    void setPortsDirectory(const QString &directory) { m_portsDirectory = directory; }
    QString portsDirectory() const { return m_portsDirectory; }
    // Opens this device instead of the numbered port; an empty path goes back
    // to the number.
    void setDevice(const QString &path) { m_device = path; }
    // The device the current port number maps to (empty when none).
    QString deviceName() const;

    // Closes the port if open, then opens the selected one: 1 on success, 0 when
    // the device is missing, in use or refuses the settings (the port stays closed).
    int start();
    // Closes the port; bytes not yet handed out are dropped.
    void stop();
    int sendByte(quint8 byte) override;
    // Hands out at once every byte that has arrived, those still waiting in
    // the driver included; for the last look at the line before closing.
    void deliverWaitingBytes();

    bool isOpen() const { return m_port.isOpen(); }
    // Bytes lost because more were waiting than MaxPendingBytes.
    qint64 droppedBytes() const { return m_droppedBytes; }
    // Why the last start failed, or why the link was lost; empty otherwise.
    QString failureReason() const { return m_failureReason; }
    QSerialPort::SerialPortError failureCode() const { return m_failureCode; }

    // For tests and diagnostics: the underlying port while it is open.
    const QSerialPort &port() const { return m_port; }

signals:
    void byteReceived(int value);
    // The open device went away (an adapter pulled out); the port is closed.
    void linkLost();

protected:
    bool event(QEvent *event) override;

private:
    void onReadyRead();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void scheduleDelivery();
    void deliverOne();
    void fail(QSerialPort::SerialPortError code, const QString &reason);
    bool deviceGone() const;
    bool lockExclusively();

    QSerialPort m_port;
    QString m_portsDirectory;
    QString m_openDevice;
    QString m_device;
    int m_portNumber = 1;
    QByteArray m_pending;
    qsizetype m_pendingHead = 0;
    bool m_deliveryPosted = false;
    bool m_delivering = false;
    qint64 m_droppedBytes = 0;
    static constexpr qint64 MaxRunNs = 1'000'000;
    // Read errors in a row on a device that is still there; past the limit it
    // counts as gone, so that a driver that keeps failing cannot spin us.
    int m_readErrorsWithDevice = 0;
    static constexpr int MaxReadErrorsWithDevice = 1000;
    QString m_failureReason;
    QSerialPort::SerialPortError m_failureCode = QSerialPort::NoError;
};

// A sentence that says why opening a device failed and what to do about it.
QString describeOpenFailure(const QString &device, QSerialPort::SerialPortError code,
                            const QString &systemText);

} // namespace blinds
