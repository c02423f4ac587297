#include "ctloptions.h"
#include "ctlrunner.h"
#include "textargs.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <cstdio>

using namespace blinds;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("blindsctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BLINDS_VERSION));

    const CtlArguments args = parseCtlArguments(QCoreApplication::arguments());
    switch (args.action) {
    case CtlArguments::Action::Help:
        std::fputs(args.text.toLocal8Bit().constData(), stdout);
        return 0;
    case CtlArguments::Action::Version:
        printLine(stdout, QStringLiteral("blindsctl " BLINDS_VERSION));
        return 0;
    case CtlArguments::Action::UsageError:
        printLine(stderr, QStringLiteral("blindsctl: %1\nTry 'blindsctl --help'.").arg(args.text));
        return ExitUsage;
    default:
        break;
    }

    CtlRunner runner(
        args, [](const QString &text) { printLine(stdout, text); },
        [](const QString &text) { printLine(stderr, text); });
    QObject::connect(
        &runner, &CtlRunner::finished, &app, [](int code) { QCoreApplication::exit(code); },
        Qt::QueuedConnection);
    QMetaObject::invokeMethod(&runner, &CtlRunner::start, Qt::QueuedConnection);
    return app.exec();
}
