#include "ptyline.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace blinds {

namespace {
// Replies are small; this only matters while nobody reads the slave.
constexpr qsizetype MaxPending = 64 * 1024;
} // namespace

PtyLine::PtyLine(QObject *parent) : QObject(parent) {}

PtyLine::~PtyLine()
{
    removeLink();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyLine::open(QString *error)
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B9600);
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        *error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(strerror(errno));
        return false;
    }
    // We keep our own slave descriptor open for good: without it the master
    // reports a hang-up each time the program under test closes its port,
    // and the terminal would be gone before it can reopen it.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slaveName = QString::fromLocal8Bit(name);
    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyLine::onReadable);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyLine::flush);
    return true;
}

bool PtyLine::makeLink(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists()) {
        QFile::remove(path);
    } else if (info.exists() || info.isSymLink()) {
        *error = QStringLiteral("%1 already exists: remove it, or give another --link").arg(path);
        return false;
    }
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    if (::symlink(QFile::encodeName(m_slaveName).constData(),
                  QFile::encodeName(path).constData()) != 0) {
        *error = QStringLiteral("cannot create the link %1: %2").arg(path, strerror(errno));
        return false;
    }
    m_link = path;
    return true;
}

void PtyLine::removeLink()
{
    if (m_link.isEmpty())
        return;
    if (QFileInfo(m_link).symLinkTarget() == m_slaveName)
        QFile::remove(m_link);
    m_link.clear();
}

void PtyLine::onReadable()
{
    QByteArray in;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            in.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (!in.isEmpty())
        emit received(in);
}

void PtyLine::write(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    if (m_pending.size() + bytes.size() > MaxPending)
        return; // nobody has read the slave for a long time
    m_pending.append(bytes);
    flush();
}

void PtyLine::flush()
{
    while (!m_pending.isEmpty()) {
        const ssize_t n = ::write(m_master, m_pending.constData(), size_t(m_pending.size()));
        if (n > 0) {
            m_pending.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    m_writeNotifier->setEnabled(!m_pending.isEmpty());
}

} // namespace blinds
