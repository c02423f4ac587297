#pragma once

#include <QObject>

class QSocketNotifier;

namespace blinds {

// Turns SIGTERM, SIGINT and SIGHUP (how a desktop session, a terminal or a
// service manager ends a program) into a Qt signal on the main thread. The
// signal handler only writes to a pipe; everything else happens in the
// event loop.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    bool isListening() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace blinds
