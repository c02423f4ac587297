#pragma once

#include "fieldview.h"
#include "frames.h"
#include "replyreceiver.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

namespace blinds {

// Waits for the reply to one command. The bytes go through the panel's own
// reply receiver, so they are counted into replies exactly as the panel
// counts them: a group of six with a bad checksum is dropped and the count
// starts again, and a good reply may still follow before the time-out.
class ReplyWaiter : public QObject
{
    Q_OBJECT
public:
    enum class Result
    {
        Waiting,
        Accepted,
        NoReply,
        BadChecksum
    };

    static constexpr int SilenceTickMs = 500;

    ReplyWaiter(FieldView &view, ReplyReceiver &receiver, QObject *parent = nullptr);

    // Call right after the command has been sent.
    void start(int timeoutMs);
    void onByte(int value);

    Result result() const { return m_result; }
    Reply reply() const { return m_reply; }
    QByteArray replyBytes() const { return m_replyBytes; }
    QList<QByteArray> rejected() const { return m_rejected; }
    QByteArray received() const { return m_received; }

signals:
    void finished();

private:
    void finish(Result result);

    FieldView &m_view;
    ReplyReceiver &m_receiver;
    QTimer m_timeout;
    QTimer m_silence;
    Result m_result = Result::Waiting;
    ReplyFrame m_group{};
    Reply m_reply;
    QByteArray m_replyBytes;
    QList<QByteArray> m_rejected;
    QByteArray m_received;
};

} // namespace blinds
