#include "controllerset.h"

#include "textargs.h"

namespace blinds {

bool isKnownCommand(quint8 code)
{
    switch (code) {
    case quint8(CommandCode::ReadPosition):
    case quint8(CommandCode::Open):
    case quint8(CommandCode::Stop):
    case quint8(CommandCode::Close):
    case quint8(CommandCode::AngleOpen):
    case quint8(CommandCode::AngleClose):
    case quint8(CommandCode::ReadAddress):
    case quint8(CommandCode::Pair):
        return true;
    default:
        return false;
    }
}

ControllerSet::ControllerSet(const QList<quint32> &addresses, double travelSeconds, int position,
                             Collisions collisions)
    : m_collisions(collisions)
{
    for (quint32 address : addresses)
        m_controllers.push_back({address, MotorModel(travelSeconds, position)});
}

int ControllerSet::position(int index, qint64 nowMs) const
{
    return m_controllers.at(size_t(index)).motor.position(nowMs);
}

ControllerSet::Answer ControllerSet::answer(const CommandFrame &frame, qint64 nowMs)
{
    Answer result;
    const auto command = decodeCommand(frame);
    if (!command)
        return result;
    if (!isKnownCommand(command->command)) {
        result.note = QStringLiteral("no controller knows command 0x%1")
                          .arg(command->command, 2, 16, QLatin1Char('0'));
        return result;
    }
    const bool broadcast = command->command == quint8(CommandCode::ReadAddress);
    QList<ReplyFrame> replies;
    for (Controller &controller : m_controllers) {
        const bool addressed =
            controller.address == command->address || (broadcast && command->address == 0);
        if (!addressed)
            continue;
        const quint8 data = controller.motor.handle(command->command, command->channel, nowMs);
        replies << makeReplyFrame(controller.address, command->command, data);
        result.answered << controller.address;
    }
    if (replies.isEmpty()) {
        result.note = QStringLiteral("no controller at %1")
                          .arg(QString::fromLatin1(addressToText(command->address)));
        return result;
    }
    ReplyFrame wire = replies.first();
    if (replies.size() > 1 && m_collisions == Collisions::Garble) {
        for (const ReplyFrame &other : replies) {
            for (int i = 0; i < ReplyFrameSize; ++i)
                wire[size_t(i)] &= other[size_t(i)];
        }
    }
    if (replies.size() > 1)
        result.note =
            QStringLiteral("%1 replies collided (%2)")
                .arg(replies.size())
                .arg(m_collisions == Collisions::Garble ? "garbled" : "the first one is heard");
    result.bytes = QByteArray(reinterpret_cast<const char *>(wire.data()), ReplyFrameSize);
    return result;
}

} // namespace blinds
