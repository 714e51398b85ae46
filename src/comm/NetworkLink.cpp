#include "NetworkLink.h"

#include "PollWait.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace halvane {

namespace {

using Clock = std::chrono::steady_clock;

// 1 ready (a hang-up too: the next receive tells), 0 timed out or woken, −1 failed.
int WaitFor(int fd, short events, Clock::time_point deadline, const WakeEvent& wake) {
    const int revents = WaitForEvents(fd, events, deadline, wake);
    if (revents <= 0)
        return revents;
    return (revents & (events | POLLHUP | POLLERR)) ? 1 : -1;
}

struct AddrInfoDeleter {
    void operator()(addrinfo* info) const { ::freeaddrinfo(info); }
};

} // namespace

NetworkLink::~NetworkLink() {
    Close();
}

void NetworkLink::SetIoTimeout(int ms) {
    m_ioTimeoutMs = std::max(ms, 10);
}

bool NetworkLink::Connect(const std::string& host, int port) {
    Close();
    m_wake.Clear();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) {
        m_lastError = host + ": " + ::gai_strerror(rc);
        return false;
    }
    std::unique_ptr<addrinfo, AddrInfoDeleter> list(found);
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    for (const addrinfo* a = list.get(); a; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        int error = 0;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            error = errno;
            if (error == EINPROGRESS) {
                const int ready = WaitFor(fd, POLLOUT, deadline, m_wake);
                socklen_t length = sizeof error;
                error = ready == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0
                            ? error
                            : (ready == 0 ? ETIMEDOUT : errno);
            }
        }
        if (error == 0) {
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            m_fd = fd;
            m_lastError.clear();
            m_connected.store(true, std::memory_order_release);
            return true;
        }
        m_lastError = host + ":" + std::to_string(port) + ": " + std::strerror(error);
        ::close(fd);
    }
    return false;
}

void NetworkLink::Close() {
    m_connected.store(false, std::memory_order_release);
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}

bool NetworkLink::Send(std::span<const uint8_t> bytes) {
    if (m_fd < 0)
        return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_ioTimeoutMs);
    while (!bytes.empty()) {
        const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes = bytes.subspan(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN && WaitFor(m_fd, POLLOUT, deadline, m_wake) == 1)
            continue;
        m_lastError = n < 0 && errno != EAGAIN ? std::strerror(errno) : "send timed out";
        if (n < 0 && errno != EAGAIN)
            m_connected.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

NetworkLink::Received NetworkLink::ReceiveSome(std::span<uint8_t> buffer,
                                               Clock::time_point deadline) {
    if (m_fd < 0)
        return {ReceiveStatus::Error};
    for (;;) {
        const int ready = WaitFor(m_fd, POLLIN, deadline, m_wake);
        if (ready == 0)
            return {ReceiveStatus::Timeout};
        if (ready < 0)
            break;
        const ssize_t n = ::recv(m_fd, buffer.data(), buffer.size(), 0);
        if (n > 0)
            return {ReceiveStatus::Data, static_cast<size_t>(n)};
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        m_lastError = n == 0 ? "closed by the peer" : std::strerror(errno);
        break;
    }
    m_connected.store(false, std::memory_order_release);
    return {ReceiveStatus::Error};
}

} // namespace halvane
