#include "shared/Platform.h"

#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
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
#else
void InstallTerminationHandler(std::function<void()> onTerminate)
{
    // Windows ends a GUI program through its windows' close events (session end): nothing to add.
    Q_UNUSED(onTerminate)
}
#endif

} // namespace Platform
