#include "textargs.h"

#include <QRegularExpression>

namespace blinds {

std::optional<int> parseDuration(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d+(?:\\.\\d+)?)\\s*(ms|s)?\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto match = re.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    double value = match.captured(1).toDouble();
    if (match.captured(2).compare(QLatin1String("s"), Qt::CaseInsensitive) == 0)
        value *= 1000.0;
    if (value > 24.0 * 3600 * 1000)
        return std::nullopt;
    return static_cast<int>(value + 0.5);
}

std::optional<QByteArray> parseHexBytes(const QStringList &words)
{
    static const QRegularExpression hex(QStringLiteral("^(?:0[xX])?([0-9A-Fa-f]+)$"));
    QByteArray out;
    for (const QString &word : words) {
        for (const QString &part :
             word.split(QRegularExpression(QStringLiteral("[\\s,:]+")), Qt::SkipEmptyParts)) {
            const auto match = hex.match(part);
            if (!match.hasMatch() || match.captured(1).size() % 2 != 0)
                return std::nullopt;
            out.append(QByteArray::fromHex(match.captured(1).toLatin1()));
        }
    }
    if (out.isEmpty())
        return std::nullopt;
    return out;
}

std::optional<quint32> parseAddress(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    if (!re.match(text).hasMatch())
        return std::nullopt;
    return text.toUInt(nullptr, 16);
}

QString timeOfDay(const QDateTime &when)
{
    return when.toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

void printLine(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace blinds
