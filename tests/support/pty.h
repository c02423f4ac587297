#pragma once

// A pseudo-terminal pair standing in for a serial adapter: the program opens
// the slave as its port, the test reads and writes the master as the bus.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QString>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class Pty
{
public:
    Pty()
    {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (::openpty(&m_master, &m_slave, name, &raw, nullptr) == 0) {
            m_name = QString::fromLocal8Bit(name);
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pty()
    {
        closeMaster();
        closeSlave();
    }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool isValid() const { return !m_name.isEmpty(); }
    QString slaveName() const { return m_name; }
    int masterFd() const { return m_master; }

    // Our own slave handle keeps the pair alive while the program under test
    // opens and closes it; close it to test what a lone user sees.
    void closeSlave()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        m_slave = -1;
    }
    // An adapter pulled out: the program's end hangs up.
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    // Lets the event loop run while the terminal's buffer is full, so that a
    // program under test in this process can drain it.
    bool write(const QByteArray &bytes, int timeoutMs = 60000)
    {
        qsizetype done = 0;
        QDeadlineTimer deadline(timeoutMs);
        while (done < bytes.size() && !deadline.hasExpired()) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, bytes.size() - done);
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            } else {
                QTest::qWait(1);
            }
        }
        return done == bytes.size();
    }

    // Reads until `count` bytes have come or `timeoutMs` passed, letting the
    // Qt event loop run meanwhile so the program under test can work.
    QByteArray read(qsizetype count, int timeoutMs = 3000)
    {
        QByteArray out;
        QDeadlineTimer deadline(timeoutMs);
        while (out.size() < count && !deadline.hasExpired()) {
            char buffer[4096];
            const ssize_t n = ::read(m_master, buffer, qMin<qsizetype>(sizeof buffer, count - out.size()));
            if (n > 0)
                out.append(buffer, n);
            else
                QTest::qWait(2);
        }
        return out;
    }

    // Whatever is waiting, without blocking.
    QByteArray readAvailable()
    {
        QByteArray out;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(m_master, buffer, sizeof buffer)) > 0)
            out.append(buffer, n);
        return out;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_name;
};
