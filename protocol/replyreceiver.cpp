#include "replyreceiver.h"

#include "conversions.h"

namespace blinds {

namespace {
constexpr Field flashOrder[] = {Field::FoundAddress, Field::Address, Field::SendCount};
}

void ReplyReceiver::receiveByte(quint8 value)
{
    m_silenceTicks = 0;
    m_buffer[m_position] = value;
    ++m_position;
    if (m_position <= ReplyFrameSize)
        return;

    m_position = 1;
    ReplyFrame frame;
    std::copy_n(m_buffer.begin() + 1, ReplyFrameSize, frame.begin());
    if (replyChecksumMatches(frame)) {
        ++m_depth;
        showReply();
        --m_depth;
    }
    m_position = 1;
}

void ReplyReceiver::showReply()
{
    // The fields are written before any queued event may run, so what is
    // shown is always the frame whose checksum matched.
    m_view.setFieldText(Field::SendCount, QString::number(m_buffer[5]));
    const QByteArray address = byteToHex(m_buffer[3]) + byteToHex(m_buffer[2]) + byteToHex(m_buffer[1]);
    m_view.setFieldText(Field::Address, QString::fromLatin1(address));
    m_view.setFieldText(Field::FoundAddress, m_view.fieldText(Field::Address));
    m_view.processPendingEvents();
    m_view.setTimerPeriod(PanelTimer::Flash, FlashMilliseconds);
    for (Field field : flashOrder)
        m_view.setFieldColour(field, FlashGreen);
    m_view.processPendingEvents();
}

void ReplyReceiver::onSilenceTick()
{
    ++m_silenceTicks;
    if (m_silenceTicks >= SilenceTicksToReset)
        m_position = 1;
}

void ReplyReceiver::onFlashTick()
{
    m_view.setTimerPeriod(PanelTimer::Flash, 0);
    for (Field field : flashOrder)
        m_view.setFieldColour(field, DefaultColour);
    m_view.processPendingEvents();
}

} // namespace blinds
