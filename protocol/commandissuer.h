#pragma once

#include "frames.h"
#include "panelview.h"

#include <array>

namespace blinds {

class ReplyReceiver;

// Turns the texts of the channel, send-count and address fields into one
// command frame and hands it to the port a byte at a time.
class CommandIssuer
{
public:
    CommandIssuer(PanelView &view, ByteSink &port, ReplyReceiver &receiver)
        : m_view(view), m_port(port), m_receiver(receiver)
    {
    }

    // The handler behind every command button and letter key.
    void issueCommand(CommandCode code);
    void sendCommand(CommandCode code, qint32 channel, bool broadcast);

    // The last frame sent, as it stands in the send buffer.
    CommandFrame lastFrame() const;

private:
    quint32 readAddressField();

    PanelView &m_view;
    ByteSink &m_port;
    ReplyReceiver &m_receiver;
    std::array<quint8, 8> m_buffer{}; // elements 1..7 hold the frame, as on the wire
};

} // namespace blinds
