// bench_startwatch [--settle MS] [--timeout MS] PROGRAM [ARGS...]
//
// Starts PROGRAM on the current X display and prints, on one line,
//   startup_ms=<exec to first paint> mapped_ms=<exec to map> rss_kib=<VmRSS after settling>
// then ends the program. "Mapped" is the MapNotify the X server sends for the
// first top-level window of the program's (its _NET_WM_PID, where set), which
// is when the window appears on a display without a window manager; "paint"
// is the first drawing into that window after it, reported by the DAMAGE
// extension. A program may map its window before it has loaded any font and
// draw it later, so only the paint says when the window shows something.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double nowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

long residentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

// The process that owns a window, or 0 when the window does not say.
long windowPid(Display *display, Window window)
{
    static const Atom netWmPid = XInternAtom(display, "_NET_WM_PID", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    long pid = 0;
    if (XGetWindowProperty(display, window, netWmPid, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data && count == 1 && format == 32)
        pid = *reinterpret_cast<long *>(data);
    if (data)
        XFree(data);
    return pid;
}

int ignoreXErrors(Display *, XErrorEvent *)
{
    return 0;
} // a window may vanish under us

void endChild(pid_t child)
{
    kill(child, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(child, nullptr, WNOHANG) == child)
            return;
        usleep(10000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

} // namespace

int main(int argc, char **argv)
{
    int settleMs = 1000;
    int timeoutMs = 20000;
    int arg = 1;
    for (; arg + 1 < argc && std::strncmp(argv[arg], "--", 2) == 0; arg += 2) {
        if (std::strcmp(argv[arg], "--settle") == 0)
            settleMs = std::atoi(argv[arg + 1]);
        else if (std::strcmp(argv[arg], "--timeout") == 0)
            timeoutMs = std::atoi(argv[arg + 1]);
    }
    if (arg >= argc) {
        std::fprintf(stderr, "usage: %s [--settle MS] [--timeout MS] PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    // A display busy with the previous program's exit may refuse a moment.
    Display *display = nullptr;
    for (int attempt = 0; !display && attempt < 50; ++attempt) {
        display = XOpenDisplay(nullptr);
        if (!display)
            usleep(100000);
    }
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreXErrors);
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "the X server has no DAMAGE extension\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const double startedAt = nowMs();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[arg], argv + arg);
        std::perror(argv[arg]);
        _exit(127);
    }
    if (child < 0) {
        std::perror("fork");
        return 2;
    }

    double mappedAt = -1, paintedAt = -1;
    Window window = None;
    const int fd = ConnectionNumber(display);
    while (paintedAt < 0) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify && event.xcreatewindow.parent == root &&
                !event.xcreatewindow.override_redirect) {
                // Watched from creation on, so that no drawing slips in
                // between the map and the start of the watch.
                XDamageCreate(display, event.xcreatewindow.window, XDamageReportNonEmpty);
            } else if (event.type == MapNotify && window == None && event.xmap.event == root &&
                       !event.xmap.override_redirect) {
                const long pid = windowPid(display, event.xmap.window);
                if (pid == 0 || pid == child) {
                    mappedAt = nowMs();
                    window = event.xmap.window;
                }
            } else if (event.type == damageEvent + XDamageNotify && window != None) {
                const auto &damage = reinterpret_cast<const XDamageNotifyEvent &>(event);
                if (damage.drawable == window) {
                    paintedAt = nowMs();
                    break;
                }
            }
        }
        if (paintedAt >= 0)
            break;
        const double left = startedAt + timeoutMs - nowMs();
        int status;
        if (left <= 0 || waitpid(child, &status, WNOHANG) == child) {
            std::fprintf(stderr, "%s showed no window\n", argv[arg]);
            endChild(child);
            return 1;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        timeval tv{0, 20000};
        select(fd + 1, &readable, nullptr, nullptr, &tv);
    }
    usleep(useconds_t(settleMs) * 1000);
    const long rss = residentKiB(child);
    std::printf("startup_ms=%.2f mapped_ms=%.2f rss_kib=%ld\n", paintedAt - startedAt,
                mappedAt - startedAt, rss);
    std::fflush(stdout);
    endChild(child);
    XCloseDisplay(display);
    return 0;
}
