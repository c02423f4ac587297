#pragma once

// A headless desktop for end-to-end tests: an X server with a notification
// area, driven by xdotool as a user's mouse and keyboard.

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

class Desktop
{
public:
    ~Desktop() { stop(); }

    bool start()
    {
        for (int n = 90; n < 140 && m_display.isEmpty(); ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
                QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                continue;
            m_xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral(":%1").arg(n), "-screen", "0",
                                                  "1024x768x24", "-nolisten", "tcp"});
            if (!m_xvfb.waitForStarted(5000))
                return false;
            QDeadlineTimer deadline(10000);
            while (!deadline.hasExpired() && m_xvfb.state() == QProcess::Running &&
                   !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                QTest::qWait(20);
            if (m_xvfb.state() == QProcess::Running)
                m_display = QStringLiteral(":%1").arg(n);
        }
        if (m_display.isEmpty())
            return false;
        m_trayer.setProcessEnvironment(environment());
        m_trayer.start(QStringLiteral("trayer"),
                       {"--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width",
                        "64", "--heighttype", "pixel", "--height", "24"});
        if (!m_trayer.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && xdotool({"search", "--classname", "trayer"}).isEmpty())
            QTest::qWait(50);
        return !deadline.hasExpired();
    }

    void stop()
    {
        for (QProcess *p : {&m_trayer, &m_xvfb}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(3000))
                    p->kill();
                p->waitForFinished(3000);
            }
        }
    }

    QString display() const { return m_display; }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        return env;
    }

    QString xdotool(const QStringList &arguments) const
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral("xdotool"), arguments);
        if (!p.waitForFinished(10000))
            return {};
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }

    QStringList windowsOf(qint64 pid, bool onlyVisible = true) const
    {
        QStringList args{"search"};
        if (onlyVisible)
            args << "--onlyvisible";
        args << "--pid" << QString::number(pid);
        return xdotool(args).split('\n', Qt::SkipEmptyParts);
    }

    QSize windowSize(const QString &window) const
    {
        const QString out = xdotool({"getwindowgeometry", "--shell", window});
        int w = 0, h = 0;
        for (const QString &line : out.split('\n')) {
            if (line.startsWith("WIDTH="))
                w = line.mid(6).toInt();
            else if (line.startsWith("HEIGHT="))
                h = line.mid(7).toInt();
        }
        return {w, h};
    }

private:
    QTemporaryDir m_runtime; // private to the user, as a session's is
    QProcess m_xvfb;
    QProcess m_trayer;
    QString m_display;
};
