#pragma once

#include "ctloptions.h"

#include <QObject>

#include <functional>
#include <memory>

namespace blinds {

enum ExitCode
{
    ExitAccepted = 0,
    ExitNoReply = 1,
    ExitBadChecksum = 2,
    ExitPortFailed = 3,
    ExitUsage = 64,
};

class SerialPort;

// Runs one blindsctl invocation on the event loop: a command and its reply,
// the port list or the monitor. finished() carries the exit status.
class CtlRunner : public QObject
{
    Q_OBJECT
public:
    using Print = std::function<void(const QString &)>;

    CtlRunner(const CtlArguments &args, Print out, Print err, QObject *parent = nullptr);
    ~CtlRunner() override;

    void start();

signals:
    void finished(int exitCode);

private:
    struct Command;

    bool openPort();
    void runCommand();
    void runMonitor();
    void listPortsNow();
    void reportCommand();
    void finish(int code);
    QString portLabel() const;

    CtlArguments m_args;
    Print m_out;
    Print m_err;
    std::unique_ptr<SerialPort> m_port;
    std::unique_ptr<Command> m_command;
    bool m_finished = false;
};

} // namespace blinds
