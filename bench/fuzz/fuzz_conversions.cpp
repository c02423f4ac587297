// textToNumber, toByte and hexToNumber on arbitrary input: no undefined
// behaviour (the sanitizers see to that), and each result equal to what a
// plain reading of its rule gives.

#include "fuzzsupport.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace blinds;

namespace {

// Low byte of the truncated value by arithmetic alone, without the integer
// conversions the real code relies on.
quint8 referenceToByte(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double truncated = std::trunc(value);
    if (std::fabs(truncated) >= 9223372036854775808.0)
        return 0;
    double low = std::fmod(truncated, 256.0);
    if (low < 0)
        low += 256.0;
    return static_cast<quint8>(low);
}

quint32 referenceHexToNumber(const QByteArray &text)
{
    quint32 result = 0;
    quint32 weight = 1;
    for (qsizetype i = text.size() - 1; i >= 0; --i, weight *= 16) {
        const char c = text[i];
        const QByteArray digits = "0123456789ABCDEF";
        const qsizetype upper = digits.indexOf(c);
        const qsizetype lower = QByteArray("0123456789abcdef").indexOf(c);
        const quint32 digit = upper >= 0 ? quint32(upper) : lower >= 0 ? quint32(lower) : 0;
        result += digit * weight;
    }
    return result;
}

void checkDouble(double value)
{
    FUZZ_CHECK(toByte(value) == referenceToByte(value));
}

} // namespace

// The first byte chooses: even, the rest is one text; odd, the rest is a
// run of doubles, eight bytes each.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    if (size == 0)
        return 0;
    if (bytes[0] & 1) {
        for (size_t at = 1; at + sizeof(double) <= size; at += sizeof(double)) {
            double value;
            std::memcpy(&value, bytes + at, sizeof value);
            checkDouble(value);
            checkDouble(-value);
            checkDouble(std::nextafter(value, 0.0));
        }
        return 0;
    }

    const QByteArray text(reinterpret_cast<const char *>(bytes) + 1, qsizetype(size - 1));
    const double number = textToNumber(text);
    // "nan" and "inf" are not numbers here; an overflowing exponent is.
    FUZZ_CHECK(!std::isnan(number));
    checkDouble(number);

    // An ASCII text typed in full-width characters reads the same.
    if (std::all_of(text.begin(), text.end(), [](char c) { return quint8(c) < 0x80; })) {
        QByteArray wide;
        for (char c : text) {
            if (c >= '!' && c <= '~')
                wide.append(char(0xA3)).append(char(quint8(c) + 0x80));
            else
                wide.append(c);
        }
        FUZZ_CHECK(textToNumber(wide) == number);
    }

    // Through the decoder and back, as a field's text is read.
    FUZZ_CHECK(!std::isnan(textToNumber(fromGbk(text))));

    FUZZ_CHECK(hexToNumber(text) == referenceHexToNumber(text));
    return 0;
}
