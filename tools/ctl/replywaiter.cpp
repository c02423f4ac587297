#include "replywaiter.h"

namespace blinds {

ReplyWaiter::ReplyWaiter(FieldView &view, ReplyReceiver &receiver, QObject *parent)
    : QObject(parent), m_view(view), m_receiver(receiver)
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this,
            [this] { finish(m_rejected.isEmpty() ? Result::NoReply : Result::BadChecksum); });
    m_silence.setInterval(SilenceTickMs);
    connect(&m_silence, &QTimer::timeout, this, [this] { m_receiver.onSilenceTick(); });
}

void ReplyWaiter::start(int timeoutMs)
{
    m_result = Result::Waiting;
    m_view.takeAccepted();
    m_timeout.start(timeoutMs);
    m_silence.start();
}

void ReplyWaiter::onByte(int value)
{
    if (m_result != Result::Waiting)
        return;
    const auto byte = quint8(value);
    m_received.append(char(byte));
    // A shadow of the receiver's buffer, filled by its own count.
    const int position = m_receiver.position();
    m_group[size_t(position - 1)] = byte;
    m_receiver.receiveByte(byte);
    if (position < ReplyFrameSize)
        return;
    const QByteArray group(reinterpret_cast<const char *>(m_group.data()), ReplyFrameSize);
    if (m_view.takeAccepted()) {
        m_reply = *decodeReply(m_group);
        m_replyBytes = group;
        finish(Result::Accepted);
    } else {
        m_rejected << group;
    }
}

void ReplyWaiter::finish(Result result)
{
    if (m_result != Result::Waiting)
        return;
    m_result = result;
    m_timeout.stop();
    m_silence.stop();
    emit finished();
}

} // namespace blinds
