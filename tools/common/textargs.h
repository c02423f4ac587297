#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

// Parsing and formatting shared by the command-line tools.
namespace blinds {

// "500ms", "2s", "1.5s" or a bare number of milliseconds.
std::optional<int> parseDuration(const QString &text);

// Hexadecimal bytes, given as separate words ("03 02 01"), run together
// ("030201") or with a 0x prefix; an odd number of digits is refused.
std::optional<QByteArray> parseHexBytes(const QStringList &words);

// Exactly six hexadecimal digits.
std::optional<quint32> parseAddress(const QString &text);

// Wall-clock time of day with milliseconds, for log lines.
QString timeOfDay(const QDateTime &when = QDateTime::currentDateTime());

QString hexText(const QByteArray &bytes); // "03 02 01"

// Writes text and a line end, flushed at once (output may go to a pipe).
void printLine(FILE *stream, const QString &text);

} // namespace blinds
