#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// The port file keeps the number of the COM port last used as its first line.
// It may hold anything a person or another program put there, so reading it
// is bounded and a line that names no port counts as empty.
namespace blinds {

// The longest first line, trailing CR included, that is taken from the file;
// a longer one names no port. Reading takes at most one byte more than this.
constexpr qsizetype PortFileLineLimit = 256;

// The bytes before the first LF, NUL or Ctrl-Z, without one trailing CR. A GBK
// double-byte character is taken whole; a byte of 0x81 or above that is not
// followed by a valid second byte stands alone, so a line end right after it
// still ends the line. A line that does not end within PortFileLineLimit bytes
// gives an empty line.
QByteArray firstLine(const QByteArray &content);

// Whether a first line names a port: ASCII digits only (leading zeros allowed),
// with a value from 1 to 255.
bool isPortNumberLine(const QByteArray &line);

// The first line of the file, created empty when missing. Nothing when the
// file cannot be opened, is no regular file or another process holds it.
std::optional<QByteArray> readPortFile(const QString &path);

// Replaces the file's content with the decimal digits of portNumber, without a
// line end. false when it cannot be opened or another process holds it; the
// content is left alone then.
bool writePortFile(const QString &path, quint8 portNumber);

} // namespace blinds
