#pragma once

#include "frames.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace blinds {

struct CtlArguments
{
    enum class Action
    {
        Command,
        Raw,
        Ports,
        Monitor,
        Help,
        Version,
        UsageError
    };
    Action action = Action::UsageError;

    QString commandWord; // as typed: open, angle-open, read-address, ...
    CommandCode code = CommandCode::Open;
    QByteArray raw; // for raw: the bytes as given
    bool appendChecksum = true;

    QString port = QStringLiteral("COM1"); // as given, for messages
    int portNumber = 1;
    QString device;         // a path given with --port; empty for a COM number
    QString portsDirectory; // empty: ports/ beside the program

    // The texts of the panel's three fields, as given.
    QString address = QStringLiteral("010203");
    QString channel = QStringLiteral("1");
    QString count = QStringLiteral("1");

    int timeoutMs = 500;
    int gapMs = 20;
    bool json = false;
    bool verbose = false;

    QString text; // help text, or what is wrong with the arguments
};

// args includes the program name, as QCoreApplication::arguments() gives it.
CtlArguments parseCtlArguments(const QStringList &args);

} // namespace blinds
