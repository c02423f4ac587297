#include "terminationsignals.h"

#include <QSocketNotifier>

#ifndef Q_OS_WIN
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace blinds {

#ifndef Q_OS_WIN
namespace {

int pipeFds[2] = {-1, -1};
constexpr int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};

void writeSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[0], &byte, 1);
    errno = savedErrno;
}

} // namespace
#endif

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
#ifndef Q_OS_WIN
    if (pipeFds[0] >= 0)
        return; // one listener per process
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeFds) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeFds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onReadable);
    struct sigaction action = {};
    action.sa_handler = writeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : handledSignals)
        ::sigaction(s, &action, nullptr);
#endif
}

TerminationSignals::~TerminationSignals()
{
#ifndef Q_OS_WIN
    if (!m_notifier)
        return;
    for (int s : handledSignals)
        ::signal(s, SIG_DFL);
    delete m_notifier;
    m_notifier = nullptr;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
#endif
}

void TerminationSignals::onReadable()
{
#ifndef Q_OS_WIN
    unsigned char byte = 0;
    while (::read(pipeFds[1], &byte, 1) == 1)
        emit received(byte);
#endif
}

} // namespace blinds
