#pragma once

#include "frames.h"

#include <QByteArray>
#include <QList>

namespace blinds {

// Cuts the byte stream from the bus into 7-byte command frames the way a
// controller does without a start marker: by counting, and starting afresh
// whenever the line has been quiet for longer than the gap.
class FrameAssembler
{
public:
    explicit FrameAssembler(int gapMs) : m_gapMs(gapMs) {}

    struct Piece
    {
        bool complete = false; // a whole frame, good checksum or not
        QByteArray bytes;      // the frame, or a partial one given up at a gap
    };
    // Bytes that came off the line at nowMs.
    QList<Piece> push(const QByteArray &bytes, qint64 nowMs);
    // Gives up a partial frame once the gap has passed without a byte.
    QList<Piece> expire(qint64 nowMs);

    int pending() const { return int(m_buffer.size()); }

private:
    int m_gapMs;
    QByteArray m_buffer;
    qint64 m_lastByteMs = 0;
};

} // namespace blinds
