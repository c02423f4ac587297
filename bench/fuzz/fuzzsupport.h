#pragma once

// Shared by the fuzz targets: a window stand-in with plain text fields, a
// port that records what it is given, and a check that stops the run with a
// message libFuzzer keeps beside the crashing input.

#include "commandissuer.h"
#include "conversions.h"
#include "frames.h"
#include "panelview.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace fuzz {

class TextView : public blinds::PanelView
{
public:
    QMap<blinds::Field, QString> texts{{blinds::Field::Channel, QStringLiteral("1")},
                                       {blinds::Field::SendCount, QStringLiteral("1")},
                                       {blinds::Field::Address, QStringLiteral("010203")},
                                       {blinds::Field::FoundAddress, QString()}};

    QString fieldText(blinds::Field field) const override { return texts.value(field); }
    void setFieldText(blinds::Field field, const QString &text) override { texts[field] = text; }
    void setFieldColour(blinds::Field, quint32 bgr) override
    {
        FUZZ_CHECK(bgr == blinds::FlashGreen || bgr == blinds::DefaultColour);
    }
    void setTimerPeriod(blinds::PanelTimer, int) override {}
    void processPendingEvents() override {}
};

class RecordingPort : public blinds::ByteSink
{
public:
    QByteArray bytes;
    int sendByte(quint8 byte) override
    {
        bytes.append(char(byte));
        return 1;
    }
};

// What every command frame must be: seven bytes whose last is the sum of the
// others, carrying the command code in its fourth.
inline void checkFrame(const QByteArray &sent, blinds::CommandCode code)
{
    FUZZ_CHECK(sent.size() == blinds::CommandFrameSize);
    const auto *bytes = reinterpret_cast<const quint8 *>(sent.constData());
    FUZZ_CHECK(blinds::checksum(bytes, 6) == bytes[6]);
    FUZZ_CHECK(bytes[3] == quint8(code));
}

inline blinds::CommandCode commandFrom(quint8 choice)
{
    using blinds::CommandCode;
    static constexpr CommandCode codes[] = {
        CommandCode::ReadPosition, CommandCode::Open,         CommandCode::Stop,
        CommandCode::Close,        CommandCode::Proportional, CommandCode::AngleOpen,
        CommandCode::AngleClose,   CommandCode::ReadAddress,  CommandCode::Pair};
    return codes[choice % (sizeof codes / sizeof codes[0])];
}

} // namespace fuzz
