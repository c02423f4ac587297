#pragma once

#include <QString>

// Which device a COM number opens. Windows has COM ports by name; elsewhere a
// link named COM<n> in a ports/ folder beside the program wins, so that any
// adapter (a /dev/serial/by-id link, say) can be given a number, and the usual
// device families fill the rest of the range.
namespace blinds {

// The ports/ folder beside the running program.
QString defaultPortsDirectory();

// The device for port n, or an empty text when n maps to no device.
QString deviceForPort(int n, const QString &portsDirectory);

// The built-in part of the mapping, without ports/ links: COM1-32 are
// ttyS0-31, COM33-64 ttyUSB0-31, COM65-96 ttyACM0-31.
QString builtInDeviceForPort(int n);

// The inverse of the built-in mapping: 0 for a device outside it.
int builtInPortForDevice(const QString &device);

} // namespace blinds
