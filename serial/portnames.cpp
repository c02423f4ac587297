#include "portnames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace blinds {

namespace {

struct Family
{
    int firstPort;
    const char *prefix;
};

// Each family takes 32 consecutive numbers.
constexpr Family families[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
constexpr int familySize = 32;

} // namespace

QString defaultPortsDirectory()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("ports"));
}

QString builtInDeviceForPort(int n)
{
#ifdef Q_OS_WIN
    return n >= 1 ? QStringLiteral("COM%1").arg(n) : QString();
#else
    for (const Family &family : families) {
        if (n >= family.firstPort && n < family.firstPort + familySize)
            return QLatin1String(family.prefix) + QString::number(n - family.firstPort);
    }
    return {};
#endif
}

int builtInPortForDevice(const QString &device)
{
#ifdef Q_OS_WIN
    static const QRegularExpression com(QStringLiteral("^COM(\\d+)$"));
    const auto match = com.match(device);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
#else
    for (const Family &family : families) {
        const QString prefix = QLatin1String(family.prefix);
        if (!device.startsWith(prefix))
            continue;
        bool ok = false;
        const int index = device.mid(prefix.size()).toInt(&ok);
        if (ok && index >= 0 && index < familySize && QString::number(index) == device.mid(prefix.size()))
            return family.firstPort + index;
    }
    return 0;
#endif
}

QString deviceForPort(int n, const QString &portsDirectory)
{
#ifndef Q_OS_WIN
    if (n >= 1 && !portsDirectory.isEmpty()) {
        const QFileInfo link(QDir(portsDirectory).filePath(QStringLiteral("COM%1").arg(n)));
        if (link.exists()) {
            // Opened under its real name, so that every program that locks
            // the device agrees on which device it is.
            const QString target = link.canonicalFilePath();
            return target.isEmpty() ? link.absoluteFilePath() : target;
        }
        if (link.isSymLink())
            return link.absoluteFilePath(); // a dangling link: the adapter is unplugged
    }
#else
    Q_UNUSED(portsDirectory);
#endif
    return builtInDeviceForPort(n);
}

} // namespace blinds
