#include "frameassembler.h"

namespace blinds {

QList<FrameAssembler::Piece> FrameAssembler::push(const QByteArray &bytes, qint64 nowMs)
{
    QList<Piece> pieces;
    if (bytes.isEmpty())
        return pieces;
    pieces = expire(nowMs);
    m_lastByteMs = nowMs;
    for (char c : bytes) {
        m_buffer.append(c);
        if (m_buffer.size() == CommandFrameSize) {
            pieces << Piece{true, m_buffer};
            m_buffer.clear();
        }
    }
    return pieces;
}

QList<FrameAssembler::Piece> FrameAssembler::expire(qint64 nowMs)
{
    QList<Piece> pieces;
    if (!m_buffer.isEmpty() && nowMs - m_lastByteMs > m_gapMs) {
        pieces << Piece{false, m_buffer};
        m_buffer.clear();
    }
    return pieces;
}

} // namespace blinds
