#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

// The wire format, apart from any transport: a 7-byte command to the bus and
// the 6-byte reply of a controller, each closed by an additive checksum.
namespace blinds {

enum class CommandCode : quint8 {
    ReadPosition = 0x00,
    Open = 0x01,
    Stop = 0x02,
    Close = 0x03,
    Proportional = 0x04,
    AngleOpen = 0x04, // the controllers know no 0x05: both buttons send 0x04
    AngleClose = 0x06,
    ReadAddress = 0x20,
    Pair = 0x80,
};

// The read-address command goes to every controller at once.
constexpr bool isBroadcast(CommandCode code) { return code == CommandCode::ReadAddress; }

constexpr int CommandFrameSize = 7;
constexpr int ReplyFrameSize = 6;

using CommandFrame = std::array<quint8, CommandFrameSize>;
using ReplyFrame = std::array<quint8, ReplyFrameSize>;

// Sum of the bytes modulo 256.
quint8 checksum(const quint8 *bytes, int count);

// address is the 24-bit device address; it leaves least significant byte first.
CommandFrame makeCommandFrame(quint32 address, CommandCode code, quint8 channel, quint8 sendCount);
ReplyFrame makeReplyFrame(quint32 address, quint8 fourthByte, quint8 data);

// The address bytes of a six-character address text: characters 1-2 are the
// high byte, 3-4 the middle, 5-6 the low; anything after the sixth is ignored.
quint32 addressFromText(const QByteArray &sixOrMore);
// Six upper-case hexadecimal digits, most significant first.
QByteArray addressToText(quint32 address);

struct Reply
{
    quint32 address = 0;
    quint8 fourthByte = 0;
    quint8 data = 0;
};

bool replyChecksumMatches(const ReplyFrame &frame);
std::optional<Reply> decodeReply(const ReplyFrame &frame);

struct DecodedCommand
{
    quint32 address = 0;
    quint8 command = 0;
    quint8 channel = 0;
    quint8 sendCount = 0;
};
std::optional<DecodedCommand> decodeCommand(const CommandFrame &frame);

QString commandName(quint8 code);
QByteArray toHex(const quint8 *bytes, int count); // "03 02 01 …"

} // namespace blinds
