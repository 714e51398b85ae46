#include "ShutdownSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace halvane {

namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void OnShutdownSignal(int) {
    const char byte = 1;
    // Only async-signal-safe calls here: one byte wakes the UI thread.
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[0], &byte, 1);
}

} // namespace

ShutdownSignals::ShutdownSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    ::fcntl(g_signalPipe[0], F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[1], buffer, sizeof buffer);
        if (m_onSignal)
            m_onSignal();
    });
    struct sigaction action {};
    action.sa_handler = OnShutdownSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

ShutdownSignals::~ShutdownSignals() {
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    for (int& fd : g_signalPipe)
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
}

} // namespace halvane
