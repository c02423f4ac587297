#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace blinds {

// The simulator's end of a pseudo-terminal: the program under test opens the
// slave as its serial device, we read and write the master.
class PtyLine : public QObject
{
    Q_OBJECT
public:
    explicit PtyLine(QObject *parent = nullptr);
    ~PtyLine() override;

    bool open(QString *error);
    QString slaveName() const { return m_slaveName; }

    // A symbolic link to the slave (a ports/COM<n> entry). An existing path is
    // only replaced when it is a link to nothing, left behind by a run that
    // was killed.
    bool makeLink(const QString &path, QString *error);
    // Removes the link if it still points at our slave.
    void removeLink();

    void write(const QByteArray &bytes);

signals:
    void received(const QByteArray &bytes);

private:
    void onReadable();
    void flush();

    int m_master = -1;
    int m_slave = -1;
    QString m_slaveName;
    QString m_link;
    QByteArray m_pending;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
};

} // namespace blinds
