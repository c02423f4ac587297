#pragma once

#include <QString>

// What the operator may type into the fields, and what a number field turns
// its text into once it loses the focus. Codes are the single bytes of the
// GBK text, as the fields count them.
namespace blinds {

// The address field's filter: hexadecimal digits of either case, Backspace
// (8) and Ctrl+Backspace (127) go in as typed; every other byte gives 0 and is
// dropped.
int filterAddressChar(int code);

// A number field takes control characters and the digits 0 to 9.
bool isByteNumberChar(int code);

// The text a number field holds after losing the focus: the leading integer
// (white space, an optional sign, digits) clamped to 0..255, in decimal
// without leading zeros; 0 gives the empty text.
QString normaliseByteNumber(const QString &text);

} // namespace blinds
