#include "shared/Platform.h"

#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace Platform {

#ifdef Q_OS_UNIX
namespace {

    int signalPipe[2] = { -1, -1 };

    std::function<void()> &callback()
    {
        static std::function<void()> c;
        return c;
    }

    void onSignal(int)
    {
        // Only async-signal-safe work here: wake the event loop through the pipe.
        const int savedErrno = errno;
        const char c = 1;
        [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
        errno = savedErrno;
    }

    // The pipe from the signal handler to the event loop, made once.
    bool ensurePipe()
    {
        if (signalPipe[0] >= 0)
            return true;
        if (!QCoreApplication::instance() || ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
            return false;
        // A burst of signals must never block the handler, and programs we start must not inherit it.
        for (const int fd : signalPipe) {
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        }
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
            // Signals that arrived together ask for one ending.
            char buffer[64];
            while (::read(signalPipe[0], buffer, sizeof buffer) > 0) { }
            if (callback())
                callback()();
        });
        return true;
    }

} // namespace

void InstallTerminationHandler(std::function<void()> onTerminate)
{
    callback() = std::move(onTerminate);
    struct sigaction sa = {};
    sigemptyset(&sa.sa_mask);
    sa.sa_handler = SIG_DFL;
    if (callback()) {
        if (!ensurePipe())
            return;
        sa.sa_handler = onSignal;
        sa.sa_flags = SA_RESTART;
    }
    for (const int sig : { SIGTERM, SIGINT, SIGHUP })
        ::sigaction(sig, &sa, nullptr);
}
#elif defined(Q_OS_WIN)
namespace {

    std::function<void()> &callback()
    {
        static std::function<void()> c;
        return c;
    }

    // Runs on a thread the system starts for the event. The panel, a program without a console,
    // hears of the session's end through commitDataRequest instead; this is for the exporter.
    BOOL WINAPI onConsoleEvent(DWORD event)
    {
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return FALSE;
        QMetaObject::invokeMethod(
            app,
            [] {
                if (callback())
                    callback()();
            },
            Qt::QueuedConnection);
        // The process ends when this returns from a closed console, a logoff or a shutdown: wait
        // here for the event loop to finish; the system's own time limit still applies.
        if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
            ::Sleep(INFINITE);
        return TRUE;
    }

} // namespace

void InstallTerminationHandler(std::function<void()> onTerminate)
{
    // Replaced on the user-interface thread only, where the queued call reads it.
    callback() = std::move(onTerminate);
    static bool installed = false;
    const bool wanted = bool(callback());
    if (wanted != installed && ::SetConsoleCtrlHandler(onConsoleEvent, wanted ? TRUE : FALSE))
        installed = wanted;
}
#else
void InstallTerminationHandler(std::function<void()> onTerminate)
{
    Q_UNUSED(onTerminate)
}
#endif

} // namespace Platform
