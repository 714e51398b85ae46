#include "ConnectionGuard.h"

#include "HttpReply.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string_view>
#include <system_error>
#include <vector>

namespace halvane {

namespace {

// An interim answer that a client waiting for its final answer reads past.
constexpr std::string_view kProcessing = "HTTP/1.1 102 Processing\r\n\r\n";

int PollTimeout(ConnectionGuard::Clock::time_point deadline,
                ConnectionGuard::Clock::time_point now) {
    if (deadline == ConnectionGuard::Clock::time_point::max())
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        std::max(deadline - now, ConnectionGuard::Clock::duration{}));
    return static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count(), INT_MAX));
}

} // namespace

ConnectionGuard::ConnectionGuard(std::chrono::milliseconds requestTime,
                                 std::chrono::milliseconds closingTime)
    : m_requestTime(requestTime), m_closingTime(closingTime),
      m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!m_wake.Valid())
        throw std::system_error(errno, std::generic_category(), "eventfd");
    m_thread = std::jthread([this](std::stop_token stop) { Run(stop); });
}

ConnectionGuard::~ConnectionGuard() = default;

void ConnectionGuard::Open(const void* key, int socket) {
    const std::lock_guard lock(m_mutex);
    Link& link = m_links[key];
    link = Link{};
    link.socket = socket;
    SetDeadline(link, Clock::now() + m_requestTime);
}

void ConnectionGuard::Close(const void* key) {
    const std::lock_guard lock(m_mutex);
    m_links.erase(key);
}

ConnectionGuard::Link* ConnectionGuard::Find(const void* key) {
    const auto it = m_links.find(key);
    return it == m_links.end() ? nullptr : &it->second;
}

void ConnectionGuard::RequestBegins(const void* key) {
    const std::lock_guard lock(m_mutex);
    Link* link = Find(key);
    if (!link || link->phase != Phase::Idle)
        return;
    link->phase = Phase::Request;
    SetDeadline(*link, Clock::now() + m_requestTime);
}

// The thread is woken only when it would otherwise sleep past the new deadline: deadlines
// mostly come later than those it waits for already.
void ConnectionGuard::SetDeadline(Link& link, Clock::time_point deadline) {
    link.deadline = deadline;
    if (deadline < m_sleepsUntil) {
        m_sleepsUntil = deadline;
        Wake();
    }
}

bool ConnectionGuard::HeadArrived(const void* key) {
    const std::lock_guard lock(m_mutex);
    Link* link = Find(key);
    if (!link)
        return true;
    if (link->phase == Phase::Closing)
        return false;
    link->phase = Phase::Body;
    return true;
}

void ConnectionGuard::Watch(const void* key, std::stop_source work, bool canProbe) {
    {
        const std::lock_guard lock(m_mutex);
        Link* link = Find(key);
        if (!link)
            return;
        link->phase = Phase::Answering;
        link->deadline = Clock::time_point::max();
        link->work = std::move(work);
        link->watched = true;
        link->canProbe = canProbe;
        link->probed = false;
        link->hangUpEnds = false;
    }
    Wake();
}

void ConnectionGuard::WatchStream(const void* key, std::stop_source stream) {
    Watch(key, std::move(stream), false);
    const std::lock_guard lock(m_mutex);
    if (Link* link = Find(key))
        link->hangUpEnds = true;
}

void ConnectionGuard::ShutDown(const void* key) {
    const std::lock_guard lock(m_mutex);
    if (const Link* link = Find(key))
        ::shutdown(link->socket, SHUT_RDWR);
}

void ConnectionGuard::Answered(const void* key) {
    const std::lock_guard lock(m_mutex);
    Link* link = Find(key);
    if (!link)
        return;
    link->phase = Phase::Idle;
    link->deadline = Clock::time_point::max();
    link->watched = false;
    link->work = std::stop_source(std::nostopstate);
}

void ConnectionGuard::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wake.Get(), &one, sizeof one);
}

void ConnectionGuard::Run(std::stop_token stop) {
    const std::stop_callback wakeOnStop(stop, [this] { Wake(); });
    std::vector<pollfd> fds;
    std::vector<const void*> keys;
    while (!stop.stop_requested()) {
        fds.assign({{m_wake.Get(), POLLIN, 0}});
        keys.clear();
        Clock::time_point next = Clock::time_point::max();
        {
            const std::lock_guard lock(m_mutex);
            for (const auto& [key, link] : m_links) {
                next = std::min(next, link.deadline);
                if (!link.watched)
                    continue;
                fds.push_back({link.socket, static_cast<short>(link.probed ? 0 : POLLRDHUP), 0});
                keys.push_back(key);
            }
            m_sleepsUntil = next;
        }
        while (::poll(fds.data(), fds.size(), PollTimeout(next, Clock::now())) < 0 &&
               errno == EINTR) {
        }
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_wake.Get(), &count, sizeof count);
        const std::lock_guard lock(m_mutex);
        for (size_t i = 1; i < fds.size(); ++i) {
            Link* link = Find(keys[i - 1]);
            if (fds[i].revents != 0 && link && link->watched)
                CheckClient(*link, fds[i].revents);
        }
        ExpireDue(Clock::now());
    }
}

// A request still arriving is answered 408 and the connection's sending side closed; the
// client gets the closing time to read it and close too before reading ends. A body still
// arriving cannot be answered any more: the connection ends at once.
void ConnectionGuard::ExpireDue(Clock::time_point now) {
    for (auto& [key, link] : m_links) {
        if (link.deadline > now)
            continue;
        if (link.phase == Phase::Request) {
            const std::string refusal = RefusalBytes(408);
            [[maybe_unused]] const ssize_t n =
                ::send(link.socket, refusal.data(), refusal.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            ::shutdown(link.socket, SHUT_WR);
            link.deadline = now + m_closingTime;
        } else {
            ::shutdown(link.socket, SHUT_RDWR);
            link.deadline = Clock::time_point::max();
        }
        link.phase = Phase::Closing;
    }
}

// The client has closed its sending side, or, once probed, reset or hung up: it has gone. A
// stream's client that closes its side has gone too.
void ConnectionGuard::CheckClient(Link& link, short revents) {
    bool gone =
        (revents & (POLLHUP | POLLERR)) != 0 || (link.hangUpEnds && (revents & POLLRDHUP) != 0);
    if (!gone && !link.probed && link.canProbe) {
        gone = ::send(link.socket, kProcessing.data(), kProcessing.size(),
                      MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
               errno != EAGAIN && errno != EWOULDBLOCK;
    }
    link.probed = true;
    if (gone) {
        link.work.request_stop();
        link.watched = false;
    }
}

} // namespace halvane
