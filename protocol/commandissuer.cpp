#include "commandissuer.h"

#include "conversions.h"
#include "replyreceiver.h"

#include <cmath>

namespace blinds {

namespace {

// Only the low byte of the truncated channel travels; taking it through
// toByte keeps huge or non-finite values defined, where a cast to 32 bits
// would not be.
qint32 toChannel(double value)
{
    return static_cast<qint32>(static_cast<qint8>(toByte(value)));
}

} // namespace

void CommandIssuer::issueCommand(CommandCode code)
{
    m_receiver.resetPosition();
    const double channel = textToNumber(m_view.fieldText(Field::Channel));
    sendCommand(code, toChannel(channel), isBroadcast(code));
}

quint32 CommandIssuer::readAddressField()
{
    QByteArray text = toGbk(m_view.fieldText(Field::Address));
    // A short address is filled up in the field itself, one zero at a time,
    // so that the operator sees the address that was actually used.
    for (int step = 0; text.size() < 6 && step < 6; ++step) {
        m_view.setFieldText(Field::Address, fromGbk("0" + text));
        text = toGbk(m_view.fieldText(Field::Address));
    }
    // A field that would not take the text (it cannot happen with the real
    // window) still yields a six-character address rather than a short read.
    if (text.size() < 6)
        text.prepend(QByteArray(6 - text.size(), '0'));
    return addressFromText(text);
}

void CommandIssuer::sendCommand(CommandCode code, qint32 channel, bool broadcast)
{
    const quint32 address = broadcast ? 0 : readAddressField();
    const quint8 sendCount = toByte(textToNumber(m_view.fieldText(Field::SendCount)));
    const CommandFrame frame =
        makeCommandFrame(address, code, static_cast<quint8>(channel & 0xFF), sendCount);
    std::copy(frame.begin(), frame.end(), m_buffer.begin() + 1);
    for (int i = 1; i <= CommandFrameSize; ++i)
        m_port.sendByte(m_buffer[i]);
}

CommandFrame CommandIssuer::lastFrame() const
{
    CommandFrame frame;
    std::copy_n(m_buffer.begin() + 1, CommandFrameSize, frame.begin());
    return frame;
}

} // namespace blinds
