#include "frames.h"

#include "conversions.h"

namespace blinds {

quint8 checksum(const quint8 *bytes, int count)
{
    unsigned sum = 0;
    for (int i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<quint8>(sum & 0xFF);
}

CommandFrame makeCommandFrame(quint32 address, CommandCode code, quint8 channel, quint8 sendCount)
{
    CommandFrame f{quint8(address & 0xFF), quint8((address >> 8) & 0xFF),
                   quint8((address >> 16) & 0xFF), quint8(code), channel, sendCount, 0};
    f[6] = checksum(f.data(), 6);
    return f;
}

ReplyFrame makeReplyFrame(quint32 address, quint8 fourthByte, quint8 data)
{
    ReplyFrame f{quint8(address & 0xFF), quint8((address >> 8) & 0xFF),
                 quint8((address >> 16) & 0xFF), fourthByte, data, 0};
    f[5] = checksum(f.data(), 5);
    return f;
}

quint32 addressFromText(const QByteArray &text)
{
    const quint32 high = hexToNumber(text.mid(0, 2));
    const quint32 mid = hexToNumber(text.mid(2, 2));
    const quint32 low = hexToNumber(text.mid(4, 2));
    return (high << 16) | (mid << 8) | low;
}

QByteArray addressToText(quint32 address)
{
    return byteToHex(quint8(address >> 16)) + byteToHex(quint8(address >> 8)) +
           byteToHex(quint8(address));
}

bool replyChecksumMatches(const ReplyFrame &frame)
{
    return checksum(frame.data(), 5) == frame[5];
}

std::optional<Reply> decodeReply(const ReplyFrame &frame)
{
    if (!replyChecksumMatches(frame))
        return std::nullopt;
    return Reply{quint32(frame[0]) | quint32(frame[1]) << 8 | quint32(frame[2]) << 16, frame[3],
                 frame[4]};
}

std::optional<DecodedCommand> decodeCommand(const CommandFrame &frame)
{
    if (checksum(frame.data(), 6) != frame[6])
        return std::nullopt;
    return DecodedCommand{quint32(frame[0]) | quint32(frame[1]) << 8 | quint32(frame[2]) << 16,
                          frame[3], frame[4], frame[5]};
}

QString commandName(quint8 code)
{
    switch (code) {
    case 0x00: return QStringLiteral("read-position");
    case 0x01: return QStringLiteral("open");
    case 0x02: return QStringLiteral("stop");
    case 0x03: return QStringLiteral("close");
    case 0x04: return QStringLiteral("angle-open");
    case 0x06: return QStringLiteral("angle-close");
    case 0x20: return QStringLiteral("read-address");
    case 0x80: return QStringLiteral("pair");
    default: return QStringLiteral("0x%1").arg(code, 2, 16, QLatin1Char('0'));
    }
}

QByteArray toHex(const quint8 *bytes, int count)
{
    return QByteArray(reinterpret_cast<const char *>(bytes), count).toHex(' ').toUpper();
}

} // namespace blinds
