#pragma once

#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace blinds {

// A serial device as the system reports it.
struct SystemPort
{
    QString device; // /dev/ttyUSB0
    QString description;
    QString manufacturer;
    QString serialNumber;
};

QList<SystemPort> systemPorts();

// One line of `blindsctl ports`: a device and the COM numbers that open it,
// or a COM<n> link whose device is missing.
struct PortRow
{
    QList<int> numbers;
    QString device;
    bool exists = true;
    QString linkTarget; // for a link to a missing device: where it points
    QString description;
    QStringList byId;    // /dev/serial/by-id links to the device
    bool linked = false; // reached through the ports/ folder
};

// The COM numbers follow the panel's mapping: links in portsDirectory first,
// then the built-in device families.
QList<PortRow> listPorts(const QList<SystemPort> &system, const QString &portsDirectory,
                         const QString &byIdDirectory = QStringLiteral("/dev/serial/by-id"));

QString formatPortTable(const QList<PortRow> &rows);
QJsonArray portsToJson(const QList<PortRow> &rows);
// "COM33 /dev/ttyUSB0 (USB serial), COM1 /dev/ttyS0", for error messages.
QString portSummary(const QList<PortRow> &rows);

} // namespace blinds
