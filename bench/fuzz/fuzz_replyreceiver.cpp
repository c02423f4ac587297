// The reply receiver fed an arbitrary stream of events: received bytes,
// silence and flash ticks, commands and edits of the fields, some of them
// queued so that they run nested inside the receiver when it lets pending
// events run, as they do in the window.
//
// Checked after every event: the receive position is within 1..6 and where
// a plain count of the events puts it. Checked whenever the receiver writes
// a field: the six bytes just received pass their checksum and the field
// shows exactly them.

#include "fuzzsupport.h"

#include "replyreceiver.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <deque>

using namespace blinds;

namespace {

struct Event
{
    enum Kind
    {
        Byte,
        SilenceTick,
        FlashTick,
        Command,
        Edit
    } kind;
    quint8 value = 0;
    Field field = Field::Channel;
    QString text = {};
};

class Harness : public fuzz::TextView
{
public:
    ReplyReceiver receiver{*this};
    fuzz::RecordingPort port;
    CommandIssuer issuer{*this, port, receiver};
    std::deque<Event> queued;

    void dispatch(const Event &event)
    {
        switch (event.kind) {
        case Event::Byte:
            deliver(event.value);
            break;
        case Event::SilenceTick:
            if (++m_silenceTicks >= ReplyReceiver::SilenceTicksToReset)
                m_position = 1;
            receiver.onSilenceTick();
            break;
        case Event::FlashTick:
            receiver.onFlashTick();
            break;
        case Event::Command: {
            const CommandCode code = fuzz::commandFrom(event.value);
            m_position = 1;
            m_inCommand = true;
            port.bytes.clear();
            issuer.issueCommand(code);
            m_inCommand = false;
            fuzz::checkFrame(port.bytes, code);
            break;
        }
        case Event::Edit:
            texts[event.field] = event.text;
            break;
        }
        FUZZ_CHECK(receiver.position() >= 1 && receiver.position() <= 6);
        FUZZ_CHECK(receiver.position() == m_position);
    }

    void setFieldText(Field field, const QString &text) override
    {
        fuzz::TextView::setFieldText(field, text);
        if (m_inCommand || !receiver.isHandlingByte())
            return;
        // The receiver only writes fields for the reply it has just taken in.
        FUZZ_CHECK(m_history.size() >= ReplyFrameSize);
        ReplyFrame frame;
        std::copy_n(reinterpret_cast<const quint8 *>(m_history.constData()) + m_history.size() -
                        ReplyFrameSize,
                    ReplyFrameSize, frame.begin());
        const auto reply = decodeReply(frame);
        FUZZ_CHECK(reply.has_value());
        switch (field) {
        case Field::SendCount:
            FUZZ_CHECK(text == QString::number(reply->data));
            ++m_shown;
            break;
        case Field::Address:
            FUZZ_CHECK(text.toLatin1() == addressToText(reply->address));
            break;
        case Field::FoundAddress:
            FUZZ_CHECK(text.toLatin1() == addressToText(reply->address));
            break;
        case Field::Channel:
            FUZZ_CHECK(false);
        }
    }

    void processPendingEvents() override
    {
        while (!queued.empty()) {
            const Event event = queued.front();
            queued.pop_front();
            dispatch(event);
        }
    }

private:
    void deliver(quint8 value)
    {
        m_history.append(char(value));
        m_silenceTicks = 0;
        const bool complete = ++m_position > ReplyFrameSize;
        bool valid = false;
        if (complete) {
            m_position = 1;
            ReplyFrame frame;
            std::copy_n(reinterpret_cast<const quint8 *>(m_history.constData()) + m_history.size() -
                            ReplyFrameSize,
                        ReplyFrameSize, frame.begin());
            valid = replyChecksumMatches(frame);
        }
        const int shownBefore = m_shown;
        receiver.receiveByte(value);
        if (complete) {
            // Whatever ran nested inside it, the handler of a sixth byte ends
            // at position 1.
            m_position = 1;
            if (valid)
                FUZZ_CHECK(m_shown > shownBefore);
            else
                FUZZ_CHECK(m_shown == shownBefore);
        }
    }

    QByteArray m_history;
    int m_position = 1;
    quint8 m_silenceTicks = 0;
    int m_shown = 0;
    bool m_inCommand = false;
};

Event makeEvent(FuzzedDataProvider &data)
{
    const int kind = data.ConsumeIntegralInRange(0, 15);
    if (kind < 10)
        return {Event::Byte, data.ConsumeIntegral<quint8>()};
    switch (kind) {
    case 10:
        return {Event::SilenceTick};
    case 11:
        return {Event::FlashTick};
    case 12:
        return {Event::Command, data.ConsumeIntegral<quint8>()};
    default: {
        static constexpr Field fields[] = {Field::Channel, Field::SendCount, Field::Address};
        const Field field = fields[data.ConsumeIntegralInRange(0, 2)];
        return {Event::Edit, 0, field,
                fromGbk(QByteArray::fromStdString(data.ConsumeRandomLengthString(12)))};
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    Harness harness;
    while (data.remaining_bytes() > 0) {
        const int step = data.ConsumeIntegralInRange(0, 7);
        if (step == 0) {
            // A few events wait in the queue; the next time the receiver lets
            // pending events run, they run inside it.
            for (int n = data.ConsumeIntegralInRange(1, 8); n > 0 && data.remaining_bytes(); --n)
                harness.queued.push_back(makeEvent(data));
        } else if (step == 1) {
            // A whole reply, valid or one off, to reach the display often.
            const auto address = data.ConsumeIntegral<quint32>() & 0xFFFFFF;
            const auto fourthByte = data.ConsumeIntegral<quint8>();
            const auto value = data.ConsumeIntegral<quint8>();
            ReplyFrame frame = makeReplyFrame(address, fourthByte, value);
            frame[5] += data.ConsumeBool() ? 0 : 1;
            for (quint8 b : frame)
                harness.dispatch({Event::Byte, b});
        } else {
            harness.dispatch(makeEvent(data));
        }
    }
    harness.processPendingEvents();
    return 0;
}
