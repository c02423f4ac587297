#pragma once

#include "bussimulator.h"

#include <QString>
#include <QStringList>

namespace blinds {

struct SimArguments
{
    enum class Action
    {
        Run,
        Help,
        Version,
        UsageError
    };
    Action action = Action::Run;
    SimConfig config;
    QString text; // the help text, or what is wrong with the arguments
};

// args includes the program name, as QCoreApplication::arguments() gives it.
SimArguments parseSimArguments(const QStringList &args);

} // namespace blinds
