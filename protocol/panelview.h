#pragma once

#include <QString>
#include <QtGlobal>

// What the protocol core needs of the window: the four fields it reads and
// writes, their background colours, the two timers and a way to let queued
// events run. The window implements it; tests use a fake.
namespace blinds {

enum class Field {
    Channel,      // 通道号
    SendCount,    // 发送次数
    Address,      // 目标地址
    FoundAddress, // 通读所取得的地址=
};

enum class PanelTimer {
    Silence, // gives up a partial reply
    Flash,   // ends the green flash of an accepted reply
};

// Colours are 0x00BBGGRR; DefaultColour asks for the toolkit's own.
constexpr quint32 DefaultColour = 0xFF000000;
constexpr quint32 FlashGreen = 0x0000FF00;

class PanelView
{
public:
    virtual ~PanelView() = default;
    virtual QString fieldText(Field field) const = 0;
    virtual void setFieldText(Field field, const QString &text) = 0;
    virtual void setFieldColour(Field field, quint32 bgr) = 0;
    // 0 (or less) stops; the period a timer already runs with leaves it untouched.
    virtual void setTimerPeriod(PanelTimer timer, int milliseconds) = 0;
    virtual void processPendingEvents() = 0;
};

// Anything a command frame can be written to, one byte per call.
class ByteSink
{
public:
    virtual ~ByteSink() = default;
    // 1 when the byte was written, 0 when it was not.
    virtual int sendByte(quint8 byte) = 0;
};

} // namespace blinds
