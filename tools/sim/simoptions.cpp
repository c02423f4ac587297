#include "simoptions.h"

#include "textargs.h"

#include <QCommandLineParser>

#include <random>

namespace blinds {

SimArguments parseSimArguments(const QStringList &args)
{
    SimArguments result;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated RS-485 bus of blind controllers on a pseudo-terminal.\n"
        "Prints the terminal's device path on the first line of its output, then\n"
        "answers command frames as the controllers would, until interrupted.\n\n"
        "Faults (--fault, repeatable): no-reply, bad-checksum, drop-byte, extra-byte,\n"
        "noise, delay=MS; each strikes every reply unless followed by ,every=N or ,p=P\n"
        "(for example --fault drop-byte,every=3 or --fault delay=800ms,p=0.5)."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version."));
    const QCommandLineOption controller(
        QStringLiteral("controller"),
        QStringLiteral("A controller with this address, six hexadecimal digits; repeatable "
                       "(default 010203)."),
        QStringLiteral("HEX6"));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Make a symbolic link to the terminal here, "
                                                 "such as ports/COM1 beside the panel; removed at "
                                                 "exit."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption travel(QStringLiteral("travel-seconds"),
                                    QStringLiteral("Time of a full run from closed to open "
                                                   "(default 10; 0 moves at once)."),
                                    QStringLiteral("S"), QStringLiteral("10"));
    const QCommandLineOption position(QStringLiteral("position"),
                                      QStringLiteral("Starting position, 0 (closed) to 100 (open); "
                                                     "default 0."),
                                      QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption collisions(QStringLiteral("collisions"),
                                        QStringLiteral("What two replies at once make: garble "
                                                       "(default) or first."),
                                        QStringLiteral("MODE"), QStringLiteral("garble"));
    const QCommandLineOption noPacing(QStringLiteral("no-pacing"),
                                      QStringLiteral("Send at once instead of at 9600 baud."));
    const QCommandLineOption gap(QStringLiteral("gap"),
                                 QStringLiteral("Quiet time after which a partial frame is given "
                                                "up (default 50ms)."),
                                 QStringLiteral("TIME"), QStringLiteral("50ms"));
    const QCommandLineOption fault(QStringLiteral("fault"),
                                   QStringLiteral("Inject a fault into the replies; repeatable."),
                                   QStringLiteral("FAULT"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed for the random choices of the faults."),
                                  QStringLiteral("N"));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Print every frame in and out, with a time stamp, "
                                                "decoded."));
    parser.addOptions({help, version, controller, link, travel, position, collisions, noPacing, gap,
                       fault, seed, log});

    auto fail = [&](const QString &why) {
        result.action = SimArguments::Action::UsageError;
        result.text = why;
        return result;
    };
    if (!parser.parse(args))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        result.action = SimArguments::Action::Help;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = SimArguments::Action::Version;
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    SimConfig &c = result.config;
    if (parser.isSet(controller)) {
        c.controllers.clear();
        for (const QString &text : parser.values(controller)) {
            const auto address = parseAddress(text);
            if (!address)
                return fail(QStringLiteral("--controller %1: give six hexadecimal digits, as in "
                                           "010203")
                                .arg(text));
            c.controllers << *address;
        }
    }
    c.link = parser.value(link);
    bool ok = false;
    c.travelSeconds = parser.value(travel).toDouble(&ok);
    if (!ok || c.travelSeconds < 0 || c.travelSeconds > 3600)
        return fail(QStringLiteral("--travel-seconds %1: give a number of seconds from 0 to 3600")
                        .arg(parser.value(travel)));
    c.position = parser.value(position).toInt(&ok);
    if (!ok || c.position < 0 || c.position > 100)
        return fail(QStringLiteral("--position %1: give a number from 0 to 100")
                        .arg(parser.value(position)));
    const QString mode = parser.value(collisions);
    if (mode == QLatin1String("garble"))
        c.collisions = Collisions::Garble;
    else if (mode == QLatin1String("first"))
        c.collisions = Collisions::First;
    else
        return fail(QStringLiteral("--collisions %1: use garble or first").arg(mode));
    c.pacing = !parser.isSet(noPacing);
    const auto gapMs = parseDuration(parser.value(gap));
    if (!gapMs || *gapMs < 1)
        return fail(QStringLiteral("--gap %1: give a time such as 50ms").arg(parser.value(gap)));
    c.gapMs = *gapMs;
    for (const QString &text : parser.values(fault)) {
        QString why;
        const auto parsed = parseFault(text, &why);
        if (!parsed)
            return fail(QStringLiteral("--fault %1: %2").arg(text, why));
        c.faults << *parsed;
    }
    if (parser.isSet(seed)) {
        c.seed = parser.value(seed).toUInt(&ok);
        if (!ok)
            return fail(QStringLiteral("--seed %1: give a whole number").arg(parser.value(seed)));
    } else {
        c.seed = std::random_device{}();
    }
    c.log = parser.isSet(log);
    return result;
}

} // namespace blinds
