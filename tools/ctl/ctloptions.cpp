#include "ctloptions.h"

#include "textargs.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace blinds {

namespace {

struct Word
{
    const char *word;
    CommandCode code;
};
constexpr Word commandWords[] = {
    {"open", CommandCode::Open},
    {"stop", CommandCode::Stop},
    {"close", CommandCode::Close},
    {"angle-open", CommandCode::AngleOpen},
    {"angle-close", CommandCode::AngleClose},
    {"proportional", CommandCode::Proportional},
    {"read-position", CommandCode::ReadPosition},
    {"read-address", CommandCode::ReadAddress},
    {"pair", CommandCode::Pair},
};

// What the panel's number boxes can hold: digits only, 0 to 255 (they take
// nothing else and clamp the rest when they lose the focus). Wrapping 300
// round to 44 here would send a frame the panel never sends.
bool isByteText(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]*$"));
    if (!digits.match(text).hasMatch())
        return false;
    bool ok = false;
    return text.isEmpty() || (text.toULongLong(&ok) <= 255 && ok);
}

// What the panel's address box can hold: up to six hexadecimal digits; a
// shorter one is filled up with leading zeros when it is sent.
bool isAddressText(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{0,6}$"));
    return hex.match(text).hasMatch();
}

} // namespace

CtlArguments parseCtlArguments(const QStringList &args)
{
    CtlArguments result;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends one command to the blind controllers on an RS-485 bus and prints the reply.\n\n"
        "Commands:\n"
        "  open, stop, close, angle-open, angle-close, proportional,\n"
        "  read-position, read-address, pair   the panel's commands\n"
        "  raw HEX...                           these bytes (checksum appended)\n"
        "  ports                                list the serial ports and their COM numbers\n"
        "  monitor                              print every byte group on the bus until ^C\n\n"
        "Exit status: 0 reply accepted, 1 no reply before the time-out, 2 a reply with a\n"
        "bad checksum, 3 the port could not be opened, 64 a usage error.\n\n"
        "Examples:\n"
        "  blindsctl --port COM3 --address 010203 open\n"
        "  blindsctl --port /dev/ttyUSB0 --json read-position\n"
        "  blindsctl --port COM3 raw 03 02 01 00 01 01"));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version."));
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")},
                                  QStringLiteral("COM3, 3 or a device path such as /dev/ttyUSB0 "
                                                 "(default COM1)."),
                                  QStringLiteral("PORT"), QStringLiteral("COM1"));
    const QCommandLineOption portsDir(QStringLiteral("ports-dir"),
                                      QStringLiteral("Folder of COM<n> links (default: ports/ "
                                                     "beside blindsctl, as for the panel)."),
                                      QStringLiteral("DIR"));
    const QCommandLineOption address({QStringLiteral("a"), QStringLiteral("address")},
                                     QStringLiteral("Controller address, up to six hexadecimal "
                                                    "digits (default 010203)."),
                                     QStringLiteral("HEX6"), QStringLiteral("010203"));
    const QCommandLineOption channel({QStringLiteral("c"), QStringLiteral("channel")},
                                     QStringLiteral("Channel, 0 to 255 (default 1)."),
                                     QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption count({QStringLiteral("n"), QStringLiteral("count")},
                                   QStringLiteral("Send count, 0 to 255 (default 1)."),
                                   QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption timeout({QStringLiteral("t"), QStringLiteral("timeout")},
                                     QStringLiteral("How long to wait for the reply, as 500ms or "
                                                    "2s (default 500ms)."),
                                     QStringLiteral("TIME"), QStringLiteral("500ms"));
    const QCommandLineOption noChecksum(QStringLiteral("no-checksum"),
                                        QStringLiteral("raw: send the bytes exactly as given."));
    const QCommandLineOption gap(QStringLiteral("gap"),
                                 QStringLiteral("monitor: quiet time that ends a byte group "
                                                "(default 20ms)."),
                                 QStringLiteral("TIME"), QStringLiteral("20ms"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print JSON."));
    const QCommandLineOption verbose({QStringLiteral("v"), QStringLiteral("verbose")},
                                     QStringLiteral("Show the bytes sent and received on stderr."));
    parser.addOptions({help, version, port, portsDir, address, channel, count, timeout, noChecksum,
                       gap, json, verbose});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do."),
                                 QStringLiteral("COMMAND [HEX...]"));

    auto fail = [&](const QString &why) {
        result.action = CtlArguments::Action::UsageError;
        result.text = why;
        return result;
    };
    if (!parser.parse(args))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        result.action = CtlArguments::Action::Help;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CtlArguments::Action::Version;
        return result;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return fail(QStringLiteral("no command given"));
    const QString word = positional.first();
    result.commandWord = word;
    bool known = false;
    for (const Word &w : commandWords) {
        if (word == QLatin1String(w.word)) {
            result.action = CtlArguments::Action::Command;
            result.code = w.code;
            known = true;
        }
    }
    if (word == QLatin1String("raw")) {
        const auto bytes = parseHexBytes(positional.mid(1));
        if (!bytes)
            return fail(
                QStringLiteral("raw needs bytes in hexadecimal, as in: raw 03 02 01 01 01 01"));
        result.action = CtlArguments::Action::Raw;
        result.raw = *bytes;
        known = true;
    } else if (word == QLatin1String("ports")) {
        result.action = CtlArguments::Action::Ports;
        known = true;
    } else if (word == QLatin1String("monitor")) {
        result.action = CtlArguments::Action::Monitor;
        known = true;
    }
    if (!known)
        return fail(QStringLiteral("unknown command '%1'").arg(word));
    if (result.action != CtlArguments::Action::Raw && positional.size() > 1)
        return fail(
            QStringLiteral("unexpected argument '%1' after %2").arg(positional.at(1), word));
    if (parser.isSet(noChecksum) && result.action != CtlArguments::Action::Raw)
        return fail(QStringLiteral("--no-checksum goes with raw only"));
    result.appendChecksum = !parser.isSet(noChecksum);

    result.port = parser.value(port);
    static const QRegularExpression com(QStringLiteral("^(?:COM)?([0-9]{1,3})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (const auto match = com.match(result.port); match.hasMatch()) {
        result.portNumber = match.captured(1).toInt();
        if (result.portNumber < 1)
            return fail(QStringLiteral("--port %1: COM numbers start at 1").arg(result.port));
    } else if (result.port.contains(QLatin1Char('/'))) {
        result.device = result.port;
    } else {
        return fail(QStringLiteral("--port %1: give COM<n> or a device path such as /dev/ttyUSB0")
                        .arg(result.port));
    }
    result.portsDirectory = parser.value(portsDir);

    result.address = parser.value(address);
    if (!isAddressText(result.address))
        return fail(QStringLiteral("--address %1: give up to six hexadecimal digits, as in 010203")
                        .arg(result.address));
    result.channel = parser.value(channel);
    if (!isByteText(result.channel))
        return fail(
            QStringLiteral("--channel %1: give a whole number from 0 to 255").arg(result.channel));
    result.count = parser.value(count);
    if (!isByteText(result.count))
        return fail(
            QStringLiteral("--count %1: give a whole number from 0 to 255").arg(result.count));

    const auto timeoutMs = parseDuration(parser.value(timeout));
    if (!timeoutMs || *timeoutMs < 1)
        return fail(QStringLiteral("--timeout %1: give a time such as 500ms or 2s")
                        .arg(parser.value(timeout)));
    result.timeoutMs = *timeoutMs;
    const auto gapMs = parseDuration(parser.value(gap));
    if (!gapMs || *gapMs < 1)
        return fail(QStringLiteral("--gap %1: give a time such as 20ms").arg(parser.value(gap)));
    result.gapMs = *gapMs;
    result.json = parser.isSet(json);
    result.verbose = parser.isSet(verbose);
    return result;
}

} // namespace blinds
