#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

namespace blinds {

// One thing seen on the bus: a command frame, a reply, or bytes that are
// neither.
struct BusItem
{
    enum class Kind
    {
        Command,
        Reply,
        Stray
    };
    Kind kind = Kind::Stray;
    QByteArray bytes;
    bool checksumOk = false;
    QString text;     // decoded, with the checksum verdict
    QJsonObject json; // the same for --json
};

// A group is what arrived between two gaps. The good frames in it are picked
// out (a command followed by its reply with no gap in between, say) and the
// rest is reported as stray bytes; a group of seven or six bytes without a
// good frame in it is shown as a command or a reply with a bad checksum.
QList<BusItem> decodeGroup(const QByteArray &group);

// Cuts the received bytes into groups at every gap and reports each group.
class BusMonitor : public QObject
{
    Q_OBJECT
public:
    explicit BusMonitor(int gapMs, QObject *parent = nullptr);

    void onByte(int value);
    // Reports a group still being collected (at exit).
    void flush();

signals:
    // sincePreviousMs is -1 for the first group.
    void group(const QDateTime &when, qint64 sincePreviousMs, const QByteArray &bytes);

private:
    QTimer m_gap;
    QByteArray m_bytes;
    QDateTime m_firstByte;
    QElapsedTimer m_sincePrevious; // from the first byte of the previous group
    qint64 m_since = -1;
};

} // namespace blinds
