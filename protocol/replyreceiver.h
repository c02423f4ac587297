#pragma once

#include "frames.h"
#include "panelview.h"

#include <array>

namespace blinds {

// Collects controller replies byte by byte. The wire has no start marker, so
// a reply starts wherever the count says: after every sixth byte, at every
// command and after three silent ticks.
class ReplyReceiver
{
public:
    explicit ReplyReceiver(PanelView &view) : m_view(view) {}

    void receiveByte(quint8 value);
    void onSilenceTick();
    void onFlashTick();
    void resetPosition() { m_position = 1; }

    // 1-based element of the receive buffer that takes the next byte.
    int position() const { return m_position; }
    int silenceTicks() const { return m_silenceTicks; }
    bool isHandlingByte() const { return m_depth > 0; }

    static constexpr int SilenceTicksToReset = 3;
    static constexpr int FlashMilliseconds = 500;

private:
    void showReply();

    PanelView &m_view;
    std::array<quint8, 8> m_buffer{}; // elements 1..6 are used, as on the wire
    quint8 m_position = 1;
    quint8 m_silenceTicks = 0;
    int m_depth = 0;
};

} // namespace blinds
