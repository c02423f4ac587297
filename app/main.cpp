#include "lifecycle.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSessionManager>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler defaultHandler = nullptr;

// Qt gives up on a display it cannot reach with a fatal message and an
// abort; an operator should get a plain sentence and a failure status.
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    defaultHandler(type, context, message);
    if (type == QtFatalMsg) {
        std::fputs("blinds-panel: cannot start: no usable display (start it from a desktop "
                   "session, or check DISPLAY)\n",
                   stderr);
        std::_Exit(EXIT_FAILURE);
    }
}

bool displayConfigured()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    if (!displayConfigured()) {
        std::fputs("blinds-panel: cannot start: no display (DISPLAY is not set); start it from a "
                   "desktop session\n",
                   stderr);
        return EXIT_FAILURE;
    }
    defaultHandler = qInstallMessageHandler(messageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(defaultHandler);
    // The window hides into the tray; only closeProgram ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    // The port file and the ports/ links live beside the program, whatever
    // folder it was started from.
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    blinds::Lifecycle lifecycle;
    blinds::TerminationSignals termination;
    QObject::connect(&termination, &blinds::TerminationSignals::received, &lifecycle,
                     &blinds::Lifecycle::closeProgram);
    // Logging off or shutting down: save and go, without asking.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &lifecycle,
                     [&lifecycle](QSessionManager &) { lifecycle.closeProgram(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &lifecycle,
                     &blinds::Lifecycle::closeProgram);

    if (!lifecycle.start()) {
        QMessageBox::critical(nullptr, QStringLiteral("blinds-panel"),
                              QStringLiteral("程序无法启动：主窗口无法创建。"));
        return EXIT_FAILURE;
    }
    app.exec();
    return EXIT_SUCCESS;
}
