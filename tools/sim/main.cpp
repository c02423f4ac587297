#include "bussimulator.h"
#include "ptyline.h"
#include "terminationsignals.h"
#include "simoptions.h"
#include "textargs.h"

#include <QCoreApplication>

#include <cstdio>

using namespace blinds;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("blinds-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BLINDS_VERSION));

    const SimArguments args = parseSimArguments(QCoreApplication::arguments());
    switch (args.action) {
    case SimArguments::Action::Help:
        std::fputs(args.text.toLocal8Bit().constData(), stdout);
        return 0;
    case SimArguments::Action::Version:
        printLine(stdout, QStringLiteral("blinds-sim " BLINDS_VERSION));
        return 0;
    case SimArguments::Action::UsageError:
        printLine(stderr,
                  QStringLiteral("blinds-sim: %1\nTry 'blinds-sim --help'.").arg(args.text));
        return 64;
    case SimArguments::Action::Run:
        break;
    }

    TerminationSignals watcher;
    QObject::connect(&watcher, &TerminationSignals::received, &app,
                     [](int) { QCoreApplication::quit(); });

    PtyLine line;
    QString error;
    if (!line.open(&error)) {
        printLine(stderr, QStringLiteral("blinds-sim: %1").arg(error));
        return 1;
    }
    if (!args.config.link.isEmpty() && !line.makeLink(args.config.link, &error)) {
        printLine(stderr, QStringLiteral("blinds-sim: %1").arg(error));
        return 1;
    }

    BusSimulator bus(args.config);
    QObject::connect(&line, &PtyLine::received, &bus, &BusSimulator::receive);
    QObject::connect(&bus, &BusSimulator::transmit, &line, &PtyLine::write);
    QObject::connect(&bus, &BusSimulator::logLine, &app,
                     [](const QString &text) { printLine(stdout, text); });

    // The first line is the device, for scripts that start us and wait for it.
    printLine(stdout, line.slaveName());
    if (args.config.log) {
        QStringList addresses;
        for (quint32 a : args.config.controllers)
            addresses << QString::fromLatin1(addressToText(a));
        printLine(stdout, QStringLiteral("%1 controllers %2 on %3%4, %5, seed %6")
                              .arg(timeOfDay(), addresses.join(QLatin1Char(' ')), line.slaveName(),
                                   args.config.link.isEmpty()
                                       ? QString()
                                       : QStringLiteral(" (linked as %1)").arg(args.config.link),
                                   args.config.pacing ? QStringLiteral("9600 baud")
                                                      : QStringLiteral("no pacing"))
                              .arg(args.config.seed));
    }

    const int status = app.exec();
    line.removeLink();
    return status;
}
