#include "portfile.h"

#include <QFile>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace blinds {

namespace {

bool isGbkLead(quint8 c)
{
    return c >= 0x81 && c <= 0xFE;
}
bool isGbkTrail(quint8 c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE);
}
bool endsLine(quint8 c)
{
    return c == 0x0A || c == 0x00 || c == 0x1A;
}

// Opening a file is not exclusive on Unix; an advisory lock held while the
// file is open keeps two copies of the program (or a cooperating tool) from
// reading and rewriting it at the same time.
bool openExclusively(QFile &file, QIODevice::OpenMode mode)
{
#ifndef Q_OS_WIN
    // Opened without blocking and checked before any read or write: a FIFO
    // under the file's name would otherwise hang the open, a device would
    // feed the read without end.
    int flags = O_CREAT | O_CLOEXEC | O_NONBLOCK;
    flags |= mode.testFlag(QIODevice::ReadOnly) ? O_RDWR : O_WRONLY;
    if (mode.testFlag(QIODevice::Append))
        flags |= O_APPEND;
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), flags, 0666);
    if (fd < 0)
        return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        !file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    return file.open(mode);
#endif
}

} // namespace

QByteArray firstLine(const QByteArray &content)
{
    const qsizetype scan = qMin(content.size(), PortFileLineLimit + 1);
    qsizetype end = 0;
    while (end < scan) {
        const auto c = static_cast<quint8>(content[end]);
        if (endsLine(c))
            break;
        if (isGbkLead(c) && end + 1 < content.size() &&
            isGbkTrail(static_cast<quint8>(content[end + 1])))
            end += 2;
        else
            ++end;
    }
    if (end > PortFileLineLimit)
        return {};
    QByteArray line = content.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool isPortNumberLine(const QByteArray &line)
{
    if (line.isEmpty())
        return false;
    int value = 0;
    for (char c : line) {
        if (c < '0' || c > '9')
            return false;
        value = qMin(value * 10 + (c - '0'), 1000);
    }
    return value >= 1 && value <= 255;
}

std::optional<QByteArray> readPortFile(const QString &path)
{
    QFile file(path);
    // Read and write, so that a missing file is created (and a read-only one
    // is refused) but never truncated.
    if (!openExclusively(file, QIODevice::ReadWrite))
        return std::nullopt;
    if (!file.seek(0))
        return std::nullopt;
    return firstLine(file.read(PortFileLineLimit + 1));
}

bool writePortFile(const QString &path, quint8 portNumber)
{
    QFile file(path);
    // Emptied only once the lock is held: opening with truncation would wipe
    // the file under another process that holds it.
    if (!openExclusively(file, QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray digits = QByteArray::number(portNumber);
    return file.resize(0) && file.write(digits) == digits.size() && file.flush();
}

} // namespace blinds
