#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <random>

namespace blinds {

enum class FaultKind
{
    NoReply,
    BadChecksum,
    DropByte,
    ExtraByte,
    Noise,
    Delay
};

// One --fault: a kind, its delay for Delay, and how often it strikes: every
// reply, every Nth reply, or each reply with a probability.
struct FaultSpec
{
    FaultKind kind = FaultKind::NoReply;
    int delayMs = 0;
    int every = 1;
    double probability = 1.0;
};

// "no-reply", "bad-checksum", "drop-byte", "extra-byte", "noise" or
// "delay=MS", optionally followed by ",every=N" or ",p=P".
std::optional<FaultSpec> parseFault(const QString &text, QString *error);
QString faultName(FaultKind kind);

// Applies the faults to each reply in turn. Each fault counts the replies on
// its own, so "every=3" strikes the 3rd, 6th, ... reply whatever others do.
class FaultInjector
{
public:
    explicit FaultInjector(const QList<FaultSpec> &faults = {}, quint32 seed = 1);

    struct Outcome
    {
        QByteArray bytes; // empty: no reply at all
        int delayMs = 0;
        QStringList notes;
    };
    Outcome apply(const QByteArray &reply);

private:
    bool strikes(int index);

    QList<FaultSpec> m_faults;
    QList<int> m_counts;
    std::mt19937 m_random;
};

} // namespace blinds
