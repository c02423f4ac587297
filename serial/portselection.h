#pragma once

#include <QObject>
#include <QString>

namespace blinds {

class SerialPort;

// The operator's choice of COM port: COM- and COM+ step through 1..255 and
// reopen the port at once, and the choice lives on in the port file.
//
// What it shows goes out through the signals: the caption of `标签_COM`
// ("COM" and the port text) and the start result for `标签_端口选择`, with a
// tooltip that names the device behind the number and why it failed.
class PortSelection : public QObject
{
    Q_OBJECT
public:
    explicit PortSelection(SerialPort &port, QObject *parent = nullptr);

    static QString defaultPortFilePath();
    void setPortFilePath(const QString &path) { m_portFilePath = path; }
    QString portFilePath() const { return m_portFilePath; }

    // Reads the port file and starts the port it names (COM1 when the file
    // cannot be read or its first line names no port).
    void restorePort();
    // Writes the port number to the port file; a file that cannot be opened
    // is left alone.
    void savePort();
    void stepPortUp();
    void stepPortDown();
    void startSelectedPort();

    quint8 portNumber() const { return m_portNumber; }
    // The number as shown: "07" stays "07" when the file says so.
    QString portText() const { return m_portText; }

    QString portCaption() const { return m_portCaption; }
    QString statusCaption() const { return m_statusCaption; }
    QString statusToolTip() const { return m_statusToolTip; }

signals:
    void portCaptionChanged(const QString &caption);
    void statusChanged(const QString &caption, const QString &toolTip);

private:
    void onLinkLost();
    void showStatus(bool started);

    SerialPort &m_port;
    QString m_portFilePath;
    quint8 m_portNumber = 0;
    QString m_portText;
    QString m_portCaption;
    QString m_statusCaption;
    QString m_statusToolTip;
};

} // namespace blinds
