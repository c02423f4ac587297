#include "conversions.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <cmath>
#include <cstdlib>

namespace blinds {

QByteArray toGbk(const QString &text)
{
    // Constructed by name: the enum API has no GBK, ICU provides it.
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

QString fromGbk(const QByteArray &bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

namespace {

QByteArray foldFullWidth(const QByteArray &gbk)
{
    QByteArray out;
    out.reserve(gbk.size());
    for (qsizetype i = 0; i < gbk.size(); ++i) {
        const auto lead = static_cast<quint8>(gbk[i]);
        if (lead < 0x80) {
            out.append(char(lead));
            continue;
        }
        if (i + 1 >= gbk.size())
            break; // a lead byte without its second byte is dropped
        const auto trail = static_cast<quint8>(gbk[++i]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            out.append(char(trail - 0x80));
        } else if (lead == 0xA1 && trail == 0xA1) {
            out.append(' ');
        } else if (lead == 0xA1 && trail == 0xAB) {
            out.append('~');
        } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
            out.append('*');
        } else {
            out.append(char(lead));
            out.append(char(trail));
        }
    }
    return out;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

} // namespace

double textToNumber(const QByteArray &gbk)
{
    const QByteArray text = foldFullWidth(gbk);
    const char *s = text.constData();
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && isSpace(s[i]))
        ++i;
    const qsizetype start = i;
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(s[i]))
        ++i, ++digits;
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && isDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        qsizetype j = i + 1;
        if (j < n && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < n && isDigit(s[j])) {
            while (j < n && isDigit(s[j]))
                ++j;
            i = j;
        }
    }
    // strtod only sees the span validated above, so locale-specific forms
    // (hex floats, "inf", "nan") can never slip in.
    const std::string number(s + start, s + i);
    return std::strtod(number.c_str(), nullptr);
}

quint8 toByte(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double truncated = std::trunc(value);
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (truncated >= limit || truncated <= -limit)
        return 0;
    return static_cast<quint8>(static_cast<quint64>(static_cast<qint64>(truncated)) & 0xFF);
}

quint32 hexToNumber(const QByteArray &text)
{
    quint32 result = 0;
    for (const char ch : text) {
        quint32 digit = 0;
        if (ch >= '0' && ch <= '9')
            digit = ch - '0';
        else if (ch >= 'A' && ch <= 'F')
            digit = ch - 'A' + 10;
        else if (ch >= 'a' && ch <= 'f')
            digit = ch - 'a' + 10;
        result = result * 16 + digit;
    }
    return result;
}

QByteArray byteToHex(quint8 value)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    QByteArray text(2, '0');
    text[0] = digits[value >> 4];
    text[1] = digits[value & 0x0F];
    return text;
}

} // namespace blinds
