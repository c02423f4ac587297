#include "faults.h"

#include "frames.h"
#include "textargs.h"

#include <QRegularExpression>

namespace blinds {

namespace {

struct Name
{
    FaultKind kind;
    const char *text;
};
constexpr Name names[] = {
    {FaultKind::NoReply, "no-reply"},   {FaultKind::BadChecksum, "bad-checksum"},
    {FaultKind::DropByte, "drop-byte"}, {FaultKind::ExtraByte, "extra-byte"},
    {FaultKind::Noise, "noise"},        {FaultKind::Delay, "delay"}};

bool firstSixCheckOut(const QByteArray &bytes)
{
    if (bytes.size() < ReplyFrameSize)
        return false;
    ReplyFrame f;
    std::copy_n(reinterpret_cast<const quint8 *>(bytes.constData()), ReplyFrameSize, f.begin());
    return replyChecksumMatches(f);
}

} // namespace

QString faultName(FaultKind kind)
{
    for (const Name &name : names) {
        if (name.kind == kind)
            return QLatin1String(name.text);
    }
    return {};
}

std::optional<FaultSpec> parseFault(const QString &text, QString *error)
{
    const QStringList parts = text.split(QLatin1Char(','));
    FaultSpec parsed;
    const QString head = parts.first().trimmed();
    const QString kindText = head.section(QLatin1Char('='), 0, 0);
    const QString value = head.section(QLatin1Char('='), 1);
    bool known = false;
    for (const Name &name : names) {
        if (kindText == QLatin1String(name.text)) {
            parsed.kind = name.kind;
            known = true;
        }
    }
    if (!known) {
        *error = QStringLiteral("unknown fault '%1': use no-reply, bad-checksum, drop-byte, "
                                "extra-byte, noise or delay=MS")
                     .arg(kindText);
        return std::nullopt;
    }
    if (parsed.kind == FaultKind::Delay) {
        const auto ms = parseDuration(value);
        if (!ms) {
            *error = QStringLiteral("delay needs a time, as in delay=800 or delay=1.5s");
            return std::nullopt;
        }
        parsed.delayMs = *ms;
    } else if (head.contains(QLatin1Char('='))) {
        *error = QStringLiteral("fault '%1' takes no value").arg(kindText);
        return std::nullopt;
    }
    bool frequencyGiven = false;
    for (const QString &part : parts.mid(1)) {
        const QString key = part.section(QLatin1Char('='), 0, 0).trimmed();
        const QString v = part.section(QLatin1Char('='), 1).trimmed();
        bool ok = false;
        if (frequencyGiven) {
            *error = QStringLiteral("give either every=N or p=P, once");
            return std::nullopt;
        }
        if (key == QLatin1String("every")) {
            parsed.every = v.toInt(&ok);
            ok = ok && parsed.every >= 1;
        } else if (key == QLatin1String("p")) {
            parsed.probability = v.toDouble(&ok);
            ok = ok && parsed.probability > 0.0 && parsed.probability <= 1.0;
        }
        if (!ok) {
            *error = QStringLiteral("'%1' in --fault %2: use every=N (N >= 1) or p=P (0 < P <= 1)")
                         .arg(part, text);
            return std::nullopt;
        }
        frequencyGiven = true;
    }
    return parsed;
}

FaultInjector::FaultInjector(const QList<FaultSpec> &faults, quint32 seed)
    : m_faults(faults), m_counts(faults.size(), 0), m_random(seed)
{
}

bool FaultInjector::strikes(int index)
{
    const FaultSpec &parsed = m_faults.at(index);
    const int count = ++m_counts[index];
    if (parsed.probability < 1.0)
        return std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < parsed.probability;
    return count % parsed.every == 0;
}

FaultInjector::Outcome FaultInjector::apply(const QByteArray &reply)
{
    Outcome out{reply, 0, {}};
    // Every fault decides for every reply, so that the counts of "every=N"
    // stay true while another fault swallows a reply.
    QList<bool> struck;
    for (int i = 0; i < m_faults.size(); ++i)
        struck << strikes(i);

    for (int i = 0; i < m_faults.size(); ++i) {
        if (!struck[i] || out.bytes.isEmpty())
            continue;
        const FaultSpec &parsed = m_faults.at(i);
        QByteArray &b = out.bytes;
        switch (parsed.kind) {
        case FaultKind::NoReply:
            b.clear();
            out.notes << QStringLiteral("no-reply: the reply is withheld");
            break;
        case FaultKind::Delay:
            out.delayMs += parsed.delayMs;
            out.notes << QStringLiteral("delay: the reply waits %1 ms").arg(parsed.delayMs);
            break;
        case FaultKind::BadChecksum: {
            const int last = int(b.size()) - 1;
            b[last] = char(~quint8(b[last]));
            out.notes << QStringLiteral("bad-checksum: checksum byte %1").arg(hexText(b.mid(last)));
            break;
        }
        case FaultKind::DropByte: {
            const int at = std::uniform_int_distribution<int>(0, int(b.size()) - 1)(m_random);
            out.notes << QStringLiteral("drop-byte: byte %1 (%2) is lost")
                             .arg(at + 1)
                             .arg(hexText(b.mid(at, 1)));
            b.remove(at, 1);
            break;
        }
        case FaultKind::ExtraByte: {
            // Inside the first six, and chosen so that those six do not pass
            // as a reply: an extra byte at the end would go unnoticed.
            const int at = std::uniform_int_distribution<int>(
                0, qMin(int(b.size()), ReplyFrameSize - 1))(m_random);
            b.insert(at, char(std::uniform_int_distribution<int>(0, 255)(m_random)));
            if (firstSixCheckOut(b))
                b[at] = char(quint8(b[at]) + 1);
            out.notes << QStringLiteral("extra-byte: %1 slipped in before byte %2")
                             .arg(hexText(b.mid(at, 1)))
                             .arg(at + 1);
            break;
        }
        case FaultKind::Noise: {
            // 1 to 5 bytes: never a whole reply's worth, so the count slips.
            const int n = std::uniform_int_distribution<int>(1, ReplyFrameSize - 1)(m_random);
            QByteArray noise;
            for (int k = 0; k < n; ++k)
                noise.append(char(std::uniform_int_distribution<int>(0, 255)(m_random)));
            b.prepend(noise);
            if (firstSixCheckOut(b))
                b[n - 1] = char(quint8(b[n - 1]) + 1);
            out.notes << QStringLiteral("noise: %1 ahead of the reply").arg(hexText(b.left(n)));
            break;
        }
        }
    }
    return out;
}

} // namespace blinds
