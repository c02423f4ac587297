#include "portlist.h"

#include "portnames.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>

namespace blinds {

namespace {

QString canonical(const QString &path)
{
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? path : c;
}

QString comList(const QList<int> &numbers)
{
    QStringList names;
    for (int n : numbers)
        names << QStringLiteral("COM%1").arg(n);
    return names.isEmpty() ? QStringLiteral("-") : names.join(QLatin1Char(','));
}

} // namespace

QList<SystemPort> systemPorts()
{
    QList<SystemPort> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports << SystemPort{info.systemLocation(), info.description(), info.manufacturer(),
                            info.serialNumber()};
    return ports;
}

QList<PortRow> listPorts(const QList<SystemPort> &system, const QString &portsDirectory,
                         const QString &byIdDirectory)
{
    QMap<QString, PortRow> byDevice;
    QList<PortRow> missing;
    auto rowFor = [&](const QString &device) -> PortRow & {
        PortRow &row = byDevice[device];
        row.device = device;
        return row;
    };

    for (const SystemPort &port : system) {
        PortRow &row = rowFor(canonical(port.device));
        QStringList parts;
        for (const QString &part : {port.description, port.manufacturer})
            if (!part.isEmpty() && !parts.contains(part))
                parts << part;
        if (!port.serialNumber.isEmpty())
            parts << QStringLiteral("serial %1").arg(port.serialNumber);
        row.description = parts.join(QStringLiteral(", "));
    }

    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]*)$"));
    if (!portsDirectory.isEmpty()) {
        const QDir dir(portsDirectory);
        for (const QFileInfo &entry :
             dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            const auto match = comName.match(entry.fileName());
            if (!match.hasMatch())
                continue;
            const int n = match.captured(1).toInt();
            if (!entry.exists()) {
                PortRow row;
                row.numbers << n;
                row.exists = false;
                row.linked = true;
                row.linkTarget = entry.symLinkTarget();
                missing << row;
                continue;
            }
            PortRow &row = rowFor(canonical(entry.filePath()));
            row.numbers << n;
            row.linked = true;
        }
    }

    for (auto it = byDevice.begin(); it != byDevice.end(); ++it) {
        PortRow &row = it.value();
        const int n = builtInPortForDevice(row.device);
        // A link of the same number sends that number elsewhere.
        if (n > 0 && canonical(deviceForPort(n, portsDirectory)) == row.device &&
            !row.numbers.contains(n))
            row.numbers << n;
        std::sort(row.numbers.begin(), row.numbers.end());
    }

    const QDir byId(byIdDirectory);
    for (const QFileInfo &entry :
         byId.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const auto it = byDevice.find(canonical(entry.filePath()));
        if (it != byDevice.end())
            it->byId << entry.absoluteFilePath();
    }

    QList<PortRow> rows = byDevice.values();
    rows << missing;
    std::stable_sort(rows.begin(), rows.end(), [](const PortRow &a, const PortRow &b) {
        const int na = a.numbers.isEmpty() ? INT_MAX : a.numbers.first();
        const int nb = b.numbers.isEmpty() ? INT_MAX : b.numbers.first();
        return na != nb ? na < nb : a.device < b.device;
    });
    return rows;
}

QString formatPortTable(const QList<PortRow> &rows)
{
    if (rows.isEmpty())
        return QStringLiteral("No serial ports found.\n");
    QString out;
    for (const PortRow &row : rows) {
        QString line = comList(row.numbers).leftJustified(8) + QLatin1Char(' ');
        if (!row.exists) {
            line += QStringLiteral("(missing)       link to %1: is the adapter plugged in?")
                        .arg(row.linkTarget);
        } else {
            line += row.device.leftJustified(15) + QLatin1Char(' ');
            QStringList notes;
            if (!row.description.isEmpty())
                notes << row.description;
            if (row.linked)
                notes << QStringLiteral("linked in ports/");
            if (row.numbers.isEmpty())
                notes << QStringLiteral("no COM number: link it as ports/COM<n>");
            line += notes.join(QStringLiteral("; "));
            for (const QString &id : row.byId)
                line += QStringLiteral("\n%1 %2").arg(QString(24, QLatin1Char(' ')), id);
        }
        out += line.trimmed() + QLatin1Char('\n');
    }
    return out;
}

QJsonArray portsToJson(const QList<PortRow> &rows)
{
    QJsonArray array;
    for (const PortRow &row : rows) {
        QJsonArray numbers;
        for (int n : row.numbers)
            numbers << QStringLiteral("COM%1").arg(n);
        QJsonObject o{{QStringLiteral("com"), numbers},
                      {QStringLiteral("device"), row.exists ? row.device : QString()},
                      {QStringLiteral("exists"), row.exists},
                      {QStringLiteral("description"), row.description},
                      {QStringLiteral("byId"), QJsonArray::fromStringList(row.byId)},
                      {QStringLiteral("linked"), row.linked}};
        if (!row.exists)
            o.insert(QStringLiteral("linkTarget"), row.linkTarget);
        array << o;
    }
    return array;
}

QString portSummary(const QList<PortRow> &rows)
{
    QStringList parts;
    for (const PortRow &row : rows) {
        if (!row.exists)
            continue;
        QString part = row.numbers.isEmpty() ? row.device
                                             : comList(row.numbers) + QLatin1Char(' ') + row.device;
        QStringList notes;
        if (!row.description.isEmpty())
            notes << row.description;
        if (row.numbers.isEmpty())
            notes << QStringLiteral("no COM number");
        if (!notes.isEmpty())
            part += QStringLiteral(" (%1)").arg(notes.join(QStringLiteral(", ")));
        parts << part;
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace blinds
