#include "ctlrunner.h"

#include "busmonitor.h"
#include "commandissuer.h"
#include "conversions.h"
#include "fieldview.h"
#include "portlist.h"
#include "portnames.h"
#include "replywaiter.h"
#include "serialport.h"
#include "terminationsignals.h"
#include "textargs.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace blinds {

namespace {

// Counts the bytes that did not reach the port: the panel may ignore a failed
// write, a script must not be told that its command went out.
class CheckedSink : public ByteSink
{
public:
    explicit CheckedSink(SerialPort &port) : m_port(port) {}
    int sendByte(quint8 byte) override
    {
        const int ok = m_port.sendByte(byte);
        if (ok)
            m_sent.append(char(byte));
        else
            ++m_failures;
        return ok;
    }
    QByteArray sent() const { return m_sent; }
    int failures() const { return m_failures; }

private:
    SerialPort &m_port;
    QByteArray m_sent;
    int m_failures = 0;
};

QString compactJson(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

} // namespace

struct CtlRunner::Command
{
    explicit Command(const CtlArguments &args, SerialPort &port)
        : view(args.address, args.channel, args.count), receiver(view), sink(port),
          issuer(view, sink, receiver), waiter(view, receiver)
    {
    }
    FieldView view;
    ReplyReceiver receiver;
    CheckedSink sink;
    CommandIssuer issuer;
    ReplyWaiter waiter;
    BusMonitor *monitor = nullptr;
    TerminationSignals *signalWatcher = nullptr;
};

CtlRunner::CtlRunner(const CtlArguments &args, Print out, Print err, QObject *parent)
    : QObject(parent), m_args(args), m_out(std::move(out)), m_err(std::move(err))
{
}

CtlRunner::~CtlRunner() = default;

void CtlRunner::finish(int code)
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_port)
        m_port->stop();
    emit finished(code);
}

QString CtlRunner::portLabel() const
{
    const QString device = m_port ? m_port->deviceName() : QString();
    if (!m_args.device.isEmpty() || device.isEmpty())
        return m_args.device.isEmpty() ? QStringLiteral("COM%1").arg(m_args.portNumber) : device;
    return QStringLiteral("COM%1 (%2)").arg(m_args.portNumber).arg(device);
}

void CtlRunner::start()
{
    switch (m_args.action) {
    case CtlArguments::Action::Ports:
        listPortsNow();
        return;
    case CtlArguments::Action::Monitor:
        if (openPort())
            runMonitor();
        return;
    case CtlArguments::Action::Command:
    case CtlArguments::Action::Raw:
        if (openPort())
            runCommand();
        return;
    default:
        finish(ExitUsage);
        return;
    }
}

bool CtlRunner::openPort()
{
    m_port = std::make_unique<SerialPort>();
    if (!m_args.portsDirectory.isEmpty())
        m_port->setPortsDirectory(m_args.portsDirectory);
    if (!m_args.device.isEmpty())
        m_port->setDevice(m_args.device);
    else
        m_port->setPortNumber(m_args.portNumber);
    if (m_port->start() == 1)
        return true;

    const QString device = m_port->deviceName();
    QStringList lines{
        QStringLiteral("blindsctl: cannot open %1: %2").arg(portLabel(), m_port->failureReason())};
    const bool missing = device.isEmpty() || !QFileInfo::exists(device) ||
                         m_port->failureCode() == QSerialPort::DeviceNotFoundError;
    if (device.isEmpty())
        lines << QStringLiteral("Give --port a device path, or link a device as %1/COM%2.")
                     .arg(m_port->portsDirectory())
                     .arg(m_args.portNumber);
    if (missing) {
        const QString ports = portSummary(listPorts(systemPorts(), m_port->portsDirectory()));
        lines << (ports.isEmpty() ? QStringLiteral("No serial ports were found: plug in the "
                                                   "adapter, then see 'blindsctl ports'.")
                                  : QStringLiteral("Ports that exist: %1.").arg(ports));
    } else if (m_port->failureReason().contains(QLatin1String("in use"))) {
        lines << QStringLiteral("Close the program that holds it (the panel, a terminal or "
                                "another blindsctl), then try again.");
    }
    m_err(lines.join(QLatin1Char('\n')));
    if (m_args.json)
        m_out(compactJson({{QStringLiteral("status"), QStringLiteral("port-error")},
                           {QStringLiteral("port"), m_args.port},
                           {QStringLiteral("device"), device},
                           {QStringLiteral("error"), m_port->failureReason()},
                           {QStringLiteral("exitCode"), int(ExitPortFailed)}}));
    finish(ExitPortFailed);
    return false;
}

void CtlRunner::runCommand()
{
    m_command = std::make_unique<Command>(m_args, *m_port);
    Command &c = *m_command;
    connect(m_port.get(), &SerialPort::byteReceived, &c.waiter, &ReplyWaiter::onByte);
    connect(&c.waiter, &ReplyWaiter::finished, this, &CtlRunner::reportCommand);
    connect(m_port.get(), &SerialPort::linkLost, this, [this] {
        m_err(QStringLiteral("blindsctl: %1").arg(m_port->failureReason()));
        finish(ExitPortFailed);
    });

    if (m_args.action == CtlArguments::Action::Raw) {
        QByteArray bytes = m_args.raw;
        if (m_args.appendChecksum)
            bytes.append(char(
                checksum(reinterpret_cast<const quint8 *>(bytes.constData()), int(bytes.size()))));
        c.receiver.resetPosition();
        for (char b : bytes)
            c.sink.sendByte(quint8(b));
    } else {
        c.issuer.issueCommand(m_args.code);
    }
    if (m_args.verbose)
        m_err(QStringLiteral("sent %1 on %2").arg(hexText(c.sink.sent()), portLabel()));
    if (c.sink.failures() > 0) {
        m_err(QStringLiteral("blindsctl: %1 of the bytes could not be written to %2: %3")
                  .arg(c.sink.failures())
                  .arg(portLabel(), m_port->failureReason().isEmpty()
                                        ? QStringLiteral("the device stopped taking data")
                                        : m_port->failureReason()));
        finish(ExitPortFailed);
        return;
    }
    c.waiter.start(m_args.timeoutMs);
}

void CtlRunner::reportCommand()
{
    Command &c = *m_command;
    const ReplyWaiter::Result result = c.waiter.result();
    if (m_args.verbose && !c.waiter.received().isEmpty())
        m_err(QStringLiteral("received %1").arg(hexText(c.waiter.received())));

    const bool broadcast =
        m_args.action == CtlArguments::Action::Command && isBroadcast(m_args.code);
    const QString target = broadcast ? QStringLiteral("any controller")
                                     : QString::fromLatin1(addressToText(addressFromText(
                                           c.view.fieldText(Field::Address).toLatin1())));
    int code = ExitAccepted;
    QString status = QStringLiteral("ok");
    if (result == ReplyWaiter::Result::Accepted) {
        const Reply r = c.waiter.reply();
        if (!m_args.json)
            m_out(QStringLiteral("address=%1 fourth=%2 data=%3")
                      .arg(QString::fromLatin1(addressToText(r.address)),
                           QString::fromLatin1(byteToHex(r.fourthByte)))
                      .arg(r.data));
    } else if (result == ReplyWaiter::Result::NoReply) {
        code = ExitNoReply;
        status = QStringLiteral("no-reply");
        QString text =
            QStringLiteral("blindsctl: no reply from %1 within %2 ms on %3.")
                .arg(m_args.action == CtlArguments::Action::Raw ? QStringLiteral("the bus")
                                                                : target)
                .arg(m_args.timeoutMs)
                .arg(portLabel());
        if (!c.waiter.received().isEmpty())
            text += QStringLiteral(" %1 byte(s) came, no whole reply: %2.")
                        .arg(c.waiter.received().size())
                        .arg(hexText(c.waiter.received()));
        text += QStringLiteral("\nCheck that the controller has power, that the address and "
                               "channel are its own, the A/B wiring of the bus, or give a longer "
                               "--timeout.");
        m_err(text);
    } else {
        code = ExitBadChecksum;
        status = QStringLiteral("bad-checksum");
        QStringList groups;
        for (const QByteArray &g : c.waiter.rejected())
            groups << hexText(g);
        m_err(QStringLiteral("blindsctl: the reply on %1 had a bad checksum (%2).\n"
                             "Noise on the line, or two controllers answering at once: check the "
                             "wiring and the termination, that no two controllers share an "
                             "address, and try again.")
                  .arg(portLabel(), groups.join(QStringLiteral("; "))));
    }

    if (m_args.json) {
        QJsonObject o{{QStringLiteral("command"), m_args.commandWord},
                      {QStringLiteral("port"), m_args.port},
                      {QStringLiteral("device"), m_port->deviceName()},
                      {QStringLiteral("sent"), hexText(c.sink.sent())},
                      {QStringLiteral("received"), hexText(c.waiter.received())},
                      {QStringLiteral("status"), status},
                      {QStringLiteral("exitCode"), code}};
        if (result == ReplyWaiter::Result::Accepted) {
            const Reply r = c.waiter.reply();
            o.insert(QStringLiteral("reply"),
                     QJsonObject{
                         {QStringLiteral("bytes"), hexText(c.waiter.replyBytes())},
                         {QStringLiteral("address"), QString::fromLatin1(addressToText(r.address))},
                         {QStringLiteral("fourthByte"), r.fourthByte},
                         {QStringLiteral("data"), r.data}});
        } else {
            o.insert(QStringLiteral("reply"), QJsonValue::Null);
        }
        m_out(compactJson(o));
    }
    finish(code);
}

void CtlRunner::runMonitor()
{
    auto *monitor = new BusMonitor(m_args.gapMs, this);
    connect(m_port.get(), &SerialPort::byteReceived, monitor, &BusMonitor::onByte);
    connect(
        monitor, &BusMonitor::group, this,
        [this](const QDateTime &when, qint64 since, const QByteArray &bytes) {
            const QString stamp = timeOfDay(when);
            const QString delta = since < 0 ? QString() : QStringLiteral("+%1ms").arg(since);
            for (const BusItem &item : decodeGroup(bytes)) {
                if (m_args.json) {
                    QJsonObject o = item.json;
                    o.insert(QStringLiteral("time"), when.toString(Qt::ISODateWithMs));
                    if (since >= 0)
                        o.insert(QStringLiteral("sincePreviousMs"), since);
                    m_out(compactJson(o));
                } else {
                    m_out(QStringLiteral("%1 %2 %3  %4")
                              .arg(stamp, delta.leftJustified(8), hexText(item.bytes), item.text));
                }
            }
        });
    auto *watcher = new TerminationSignals(this);
    connect(watcher, &TerminationSignals::received, this, [this, monitor](int) {
        monitor->flush();
        finish(ExitAccepted);
    });
    connect(m_port.get(), &SerialPort::linkLost, this, [this, monitor] {
        monitor->flush();
        m_err(QStringLiteral("blindsctl: %1").arg(m_port->failureReason()));
        finish(ExitPortFailed);
    });
    m_err(QStringLiteral("Monitoring %1 at 9600 8N1; Ctrl+C ends.").arg(portLabel()));
}

void CtlRunner::listPortsNow()
{
    const QString dir =
        m_args.portsDirectory.isEmpty() ? defaultPortsDirectory() : m_args.portsDirectory;
    const QList<PortRow> rows = listPorts(systemPorts(), dir);
    if (m_args.json)
        m_out(QString::fromUtf8(QJsonDocument(portsToJson(rows)).toJson(QJsonDocument::Compact)));
    else
        m_out(formatPortTable(rows).chopped(1));
    finish(ExitAccepted);
}

} // namespace blinds
