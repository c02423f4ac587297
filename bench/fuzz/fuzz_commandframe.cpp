// Frame building from arbitrary field texts: every command puts exactly seven
// bytes on the wire with a matching checksum, the channel and send count are
// the low bytes of the numbers the fields read as, and the address is that of
// the address field after it has been filled up to six characters (or 0 for
// the broadcast, which leaves the field alone).

#include "fuzzsupport.h"

#include "replyreceiver.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace blinds;

namespace {

// A field's text as the operator might leave it: GBK-decoded bytes, raw
// UTF-16 (lone surrogates included) or Latin-1.
QString fieldText(FuzzedDataProvider &data)
{
    const int form = data.ConsumeIntegralInRange(0, 2);
    const std::string bytes = data.ConsumeRandomLengthString(24);
    switch (form) {
    case 0:
        return fromGbk(QByteArray::fromStdString(bytes));
    case 1:
        return QString(reinterpret_cast<const QChar *>(bytes.data()), qsizetype(bytes.size() / 2));
    default:
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    fuzz::TextView view;
    fuzz::RecordingPort port;
    ReplyReceiver receiver(view);
    CommandIssuer issuer(view, port, receiver);

    while (data.remaining_bytes() > 0) {
        view.texts[Field::Channel] = fieldText(data);
        view.texts[Field::SendCount] = fieldText(data);
        view.texts[Field::Address] = fieldText(data);
        const CommandCode code = fuzz::commandFrom(data.ConsumeIntegral<quint8>());
        const QString addressBefore = view.texts[Field::Address];

        port.bytes.clear();
        issuer.issueCommand(code);
        fuzz::checkFrame(port.bytes, code);
        const CommandFrame frame = issuer.lastFrame();
        FUZZ_CHECK(QByteArray(reinterpret_cast<const char *>(frame.data()), frame.size()) ==
                   port.bytes);
        FUZZ_CHECK(receiver.position() == 1);

        FUZZ_CHECK(frame[4] == toByte(textToNumber(view.texts[Field::Channel])));
        FUZZ_CHECK(frame[5] == toByte(textToNumber(view.texts[Field::SendCount])));

        const QString addressAfter = view.texts[Field::Address];
        const quint32 address =
            quint32(frame[0]) | quint32(frame[1]) << 8 | quint32(frame[2]) << 16;
        if (isBroadcast(code)) {
            FUZZ_CHECK(address == 0);
            FUZZ_CHECK(addressAfter == addressBefore);
        } else {
            const QByteArray gbk = toGbk(addressAfter);
            FUZZ_CHECK(gbk.size() >= 6);
            FUZZ_CHECK(address == addressFromText(gbk));
            // Only leading zeros are ever added, and only up to six bytes.
            const QByteArray gbkBefore = toGbk(addressBefore);
            if (gbkBefore.size() >= 6) {
                FUZZ_CHECK(addressAfter == addressBefore);
            } else {
                FUZZ_CHECK(gbk == QByteArray(6 - gbkBefore.size(), '0') + gbkBefore);
            }
        }
    }
    return 0;
}
