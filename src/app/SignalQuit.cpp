#include "SignalQuit.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace corvane {

namespace {
// One socket pair per signal number, written by the signal handler.
int g_pipes[NSIG][2];

void writeByte(int signal)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_pipes[signal][1], &c, 1);
}
} // namespace

void onSignal(QCoreApplication &app, int signal, std::function<void()> handler)
{
    if (signal <= 0 || signal >= NSIG || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipes[signal]) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipes[signal][0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [signal, handler = std::move(handler)] {
        char c;
        [[maybe_unused]] const auto n = ::read(g_pipes[signal][0], &c, 1);
        handler();
    });
    struct sigaction sa
    {
    };
    sa.sa_handler = writeByte;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(signal, &sa, nullptr);
}

void installSignalQuit(QCoreApplication &app)
{
    // exit, not quit: quit asks the windows to close, and a screen whose window
    // refuses (it unloads instead) would cancel it. Once: a second signal during the
    // clean shutdown changes nothing.
    auto quit = [] {
        static bool quitting = false;
        if (!std::exchange(quitting, true))
            QCoreApplication::exit(0);
    };
    onSignal(app, SIGINT, quit);
    onSignal(app, SIGTERM, quit);
}

} // namespace corvane
