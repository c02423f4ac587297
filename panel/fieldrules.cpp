#include "fieldrules.h"

#include "conversions.h"

namespace blinds {

int filterAddressChar(int code)
{
    const bool passes = code == 8 || (code >= '0' && code <= '9') || (code >= 'A' && code <= 'F') ||
                        (code >= 'a' && code <= 'f') || code == 127;
    return passes ? code : 0;
}

bool isByteNumberChar(int code)
{
    return (code >= 0 && code < 32) || (code >= '0' && code <= '9');
}

QString normaliseByteNumber(const QString &text)
{
    const QByteArray bytes = toGbk(text);
    qsizetype i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || (bytes[i] >= '\t' && bytes[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < bytes.size() && (bytes[i] == '+' || bytes[i] == '-'))
        negative = bytes[i++] == '-';
    int value = 0;
    for (; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; ++i)
        value = qMin(value * 10 + (bytes[i] - '0'), 256); // anything above 255 is 255
    if (negative || value == 0)
        return {};
    return QString::number(qMin(value, 255));
}

} // namespace blinds
