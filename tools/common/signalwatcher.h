#pragma once

#include <QObject>

class QSocketNotifier;

namespace blinds {

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the event loop. The
// handler only writes the signal number into a pipe; everything else happens
// when the loop reads it.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

    bool isValid() const { return m_notifier != nullptr; }

signals:
    void signalled(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace blinds
