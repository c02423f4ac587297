#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Every text the panel reads as a number is a GBK byte string: lengths and
// positions count bytes, and full-width digits typed through a Chinese input
// method count as their ASCII twins.
namespace blinds {

QByteArray toGbk(const QString &text);
QString fromGbk(const QByteArray &bytes);

// The leading decimal number of a GBK text (full-width characters folded to
// ASCII first); 0 when the text does not start with a number.
double textToNumber(const QByteArray &gbk);
inline double textToNumber(const QString &text) { return textToNumber(toGbk(text)); }

// Truncate toward zero to 64 bits and keep the low byte (-1 -> 0xFF, 300 -> 0x2C).
// NaN and magnitudes of 2^63 or more give 0.
quint8 toByte(double value);

// Value of a text of hexadecimal digits; any other byte counts as the digit 0.
quint32 hexToNumber(const QByteArray &text);

// Two upper-case hexadecimal digits.
QByteArray byteToHex(quint8 value);

} // namespace blinds
