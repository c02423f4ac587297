#include "busmonitor.h"

#include "conversions.h"
#include "frames.h"
#include "textargs.h"

namespace blinds {

namespace {

QString verdict(bool ok, quint8 got, quint8 expected)
{
    if (ok)
        return QStringLiteral("checksum ok");
    return QStringLiteral("checksum %1 BAD, should be %2")
        .arg(QString::fromLatin1(byteToHex(got)), QString::fromLatin1(byteToHex(expected)));
}

BusItem commandItem(const QByteArray &bytes)
{
    CommandFrame f;
    std::copy_n(reinterpret_cast<const quint8 *>(bytes.constData()), CommandFrameSize, f.begin());
    const quint32 address = quint32(f[0]) | quint32(f[1]) << 8 | quint32(f[2]) << 16;
    const quint8 expected = checksum(f.data(), 6);
    BusItem item{BusItem::Kind::Command, bytes, expected == f[6], {}, {}};
    const QString target = f[3] == quint8(CommandCode::ReadAddress) && address == 0
                               ? QStringLiteral("all")
                               : QString::fromLatin1(addressToText(address));
    item.text = QStringLiteral("command %1 to %2, channel %3, count %4, %5")
                    .arg(commandName(f[3]), target)
                    .arg(f[4])
                    .arg(f[5])
                    .arg(verdict(item.checksumOk, f[6], expected));
    item.json = {{QStringLiteral("kind"), QStringLiteral("command")},
                 {QStringLiteral("command"), commandName(f[3])},
                 {QStringLiteral("address"), QString::fromLatin1(addressToText(address))},
                 {QStringLiteral("channel"), f[4]},
                 {QStringLiteral("count"), f[5]},
                 {QStringLiteral("checksumOk"), item.checksumOk}};
    return item;
}

BusItem replyItem(const QByteArray &bytes)
{
    ReplyFrame f;
    std::copy_n(reinterpret_cast<const quint8 *>(bytes.constData()), ReplyFrameSize, f.begin());
    const quint32 address = quint32(f[0]) | quint32(f[1]) << 8 | quint32(f[2]) << 16;
    const quint8 expected = checksum(f.data(), 5);
    BusItem item{BusItem::Kind::Reply, bytes, expected == f[5], {}, {}};
    item.text = QStringLiteral("reply of %1, fourth byte %2 (%3), data %4, %5")
                    .arg(QString::fromLatin1(addressToText(address)),
                         QString::fromLatin1(byteToHex(f[3])), commandName(f[3]))
                    .arg(f[4])
                    .arg(verdict(item.checksumOk, f[5], expected));
    item.json = {{QStringLiteral("kind"), QStringLiteral("reply")},
                 {QStringLiteral("address"), QString::fromLatin1(addressToText(address))},
                 {QStringLiteral("fourthByte"), f[3]},
                 {QStringLiteral("data"), f[4]},
                 {QStringLiteral("checksumOk"), item.checksumOk}};
    return item;
}

bool goodCommandAt(const QByteArray &g, qsizetype i)
{
    if (g.size() - i < CommandFrameSize)
        return false;
    const auto *p = reinterpret_cast<const quint8 *>(g.constData()) + i;
    return checksum(p, 6) == p[6];
}

bool goodReplyAt(const QByteArray &g, qsizetype i)
{
    if (g.size() - i < ReplyFrameSize)
        return false;
    const auto *p = reinterpret_cast<const quint8 *>(g.constData()) + i;
    return checksum(p, 5) == p[5];
}

} // namespace

static QList<BusItem> splitGroup(const QByteArray &group)
{
    QList<BusItem> items;
    if (goodCommandAt(group, 0) && group.size() == CommandFrameSize)
        return {commandItem(group)};
    if (goodReplyAt(group, 0) && group.size() == ReplyFrameSize)
        return {replyItem(group)};
    bool anyGood = false;
    QByteArray stray;
    auto flushStray = [&] {
        if (stray.isEmpty())
            return;
        BusItem item{BusItem::Kind::Stray, stray, false, {}, {}};
        item.text =
            QStringLiteral("%1 stray byte%2").arg(stray.size()).arg(stray.size() == 1 ? "" : "s");
        item.json = {{QStringLiteral("kind"), QStringLiteral("stray")}};
        items << item;
        stray.clear();
    };
    qsizetype i = 0;
    while (i < group.size()) {
        if (goodCommandAt(group, i)) {
            flushStray();
            items << commandItem(group.mid(i, CommandFrameSize));
            i += CommandFrameSize;
            anyGood = true;
        } else if (goodReplyAt(group, i)) {
            flushStray();
            items << replyItem(group.mid(i, ReplyFrameSize));
            i += ReplyFrameSize;
            anyGood = true;
        } else {
            stray.append(group.at(i++));
        }
    }
    flushStray();
    // Nothing good inside: a group of a frame's length is that frame, spoilt.
    if (!anyGood && group.size() == CommandFrameSize)
        return {commandItem(group)};
    if (!anyGood && group.size() == ReplyFrameSize)
        return {replyItem(group)};
    return items;
}

QList<BusItem> decodeGroup(const QByteArray &group)
{
    QList<BusItem> items = splitGroup(group);
    for (BusItem &item : items)
        item.json.insert(QStringLiteral("bytes"), hexText(item.bytes));
    return items;
}

BusMonitor::BusMonitor(int gapMs, QObject *parent) : QObject(parent)
{
    m_gap.setSingleShot(true);
    m_gap.setInterval(gapMs);
    connect(&m_gap, &QTimer::timeout, this, &BusMonitor::flush);
}

void BusMonitor::onByte(int value)
{
    if (m_bytes.isEmpty()) {
        m_firstByte = QDateTime::currentDateTime();
        m_since = m_sincePrevious.isValid() ? m_sincePrevious.restart() : -1;
        if (!m_sincePrevious.isValid())
            m_sincePrevious.start();
    }
    m_bytes.append(char(quint8(value)));
    m_gap.start();
}

void BusMonitor::flush()
{
    m_gap.stop();
    if (m_bytes.isEmpty())
        return;
    const QByteArray bytes = m_bytes;
    m_bytes.clear();
    emit group(m_firstByte, m_since, bytes);
}

} // namespace blinds
