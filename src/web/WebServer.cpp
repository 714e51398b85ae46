#include "WebServer.h"

#include "BasicAuthorization.h"
#include "HandlerPool.h"
#include "HttpConnection.h"
#include "HttpReply.h"
#include "WebRequest.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <map>
#include <mutex>
#include <stop_token>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace halvane {

namespace {

using Clock = HttpConnection::Clock;

// Connections waiting to be accepted; bursts of browsers reloading must not be refused.
constexpr int kBacklog = 512;
// How long accepting rests when the process is out of file descriptors.
constexpr std::chrono::milliseconds kAcceptPause{100};

struct Listening {
    UniqueFd socket;
    int error = 0;
};

// A listening socket on every interface of `family`. SO_REUSEADDR alone (not SO_REUSEPORT,
// which would let a second server bind a port in use) lets a restart bind while old
// connections linger; close-on-exec keeps programs that the station starts from holding
// the port. An IPv6 socket also takes IPv4 connections (as ::ffff:a.b.c.d), whatever the
// system's default.
Listening Listen(int family, int port) {
    Listening listening{UniqueFd(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)),
                        0};
    const int fd = listening.socket.Get();
    sockaddr_storage address{};
    if (family == AF_INET6) {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(static_cast<uint16_t>(port));
        v6.sin6_addr = in6addr_any;
    } else {
        auto& v4 = reinterpret_cast<sockaddr_in&>(address);
        v4.sin_family = AF_INET;
        v4.sin_port = htons(static_cast<uint16_t>(port));
        v4.sin_addr.s_addr = htonl(INADDR_ANY);
    }
    const int yes = 1;
    const int no = 0;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        (family == AF_INET6 && ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no) != 0) ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, kBacklog) != 0) {
        listening.error = errno;
        listening.socket.Reset();
    }
    return listening;
}

// IPv6 and IPv4 through one socket, or IPv4 alone when IPv6 cannot be had. A port in use
// stays a failure: another program may hold it on IPv6 only.
Listening ListenEverywhere(int port) {
    Listening listening = Listen(AF_INET6, port);
    if (listening.socket.Valid() || listening.error == EADDRINUSE)
        return listening;
    return Listen(AF_INET, port);
}

int BoundPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.ss_family == AF_INET6
                     ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                     : reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

// The handler's answer to one request; a failure is status 500 with its message (never in
// a header).
HttpReply Answer(const HttpRequestHead& request, const WebContext& context, std::stop_token stop) {
    try {
        const Credentials credentials = DecodeBasicAuthorization(request.authorization);
        return ComposeReply(request,
                            HandleWebRequest({request.method, request.path, credentials.user,
                                              credentials.password, request.query},
                                             context, stop));
    } catch (const std::exception& e) {
        return ComposeReply(request, FailureMessage(e.what()));
    } catch (...) {
        return ComposeReply(request, FailureMessage("Internal Server Error"));
    }
}

int PollTimeout(Clock::time_point deadline, Clock::time_point now) {
    if (deadline == Clock::time_point::max())
        return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(std::max(deadline - now, Clock::duration{}));
    return static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count(), INT_MAX));
}

} // namespace

// The listening socket, the connections and the loop that moves them all on, on one
// thread; requests go to the handler pool and come back as replies through a pipe that
// wakes the loop.
class WebServer::Service final {
public:
    Service(const WebContext& context, const WebServerLimits& limits, UniqueFd listener)
        : m_context(context), m_limits(limits), m_listener(std::move(listener)) {
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            throw std::system_error(errno, std::generic_category(), "pipe");
        m_wakeRead = UniqueFd(pipe[0]);
        m_wakeWrite = UniqueFd(pipe[1]);
        m_loop = std::thread([this] { Run(); });
    }

    ~Service() {
        m_stopping = true;
        Wake();
        m_loop.join();
    }

    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

private:
    void Wake() {
        const char byte = 0;
        [[maybe_unused]] const ssize_t n = ::write(m_wakeWrite.Get(), &byte, 1);
    }

    void Run() {
        std::vector<pollfd> fds;
        std::vector<uint64_t> ids;
        while (!m_stopping) {
            Clock::time_point deadline = PollSet(fds, ids, Clock::now());
            while (::poll(fds.data(), fds.size(), PollTimeout(deadline, Clock::now())) < 0 &&
                   errno == EINTR) {
            }
            const auto now = Clock::now();
            if (fds[0].revents != 0)
                TakeReplies(now);
            for (size_t i = 2; i < fds.size(); ++i) {
                if (fds[i].revents != 0)
                    Continue(ids[i - 2], now);
            }
            if (fds[1].revents != 0)
                Accept(now);
            ExpireAndRemove(now);
        }
        m_connections.clear();
    }

    // The wake pipe, the listening socket (when a connection can be taken) and every
    // connection; the earliest deadline.
    Clock::time_point PollSet(std::vector<pollfd>& fds, std::vector<uint64_t>& ids,
                              Clock::time_point now) {
        const bool paused = now < m_acceptPausedUntil;
        const bool accepting = !paused && CanTakeConnection();
        Clock::time_point deadline = paused ? m_acceptPausedUntil : Clock::time_point::max();
        fds.assign({{m_wakeRead.Get(), POLLIN, 0}, {accepting ? m_listener.Get() : -1, POLLIN, 0}});
        ids.clear();
        for (const auto& [id, connection] : m_connections) {
            deadline = std::min(deadline, connection.Deadline());
            fds.push_back({connection.Socket(), connection.Events(), 0});
            ids.push_back(id);
        }
        return deadline;
    }

    bool CanTakeConnection() const {
        return m_connections.size() < m_limits.maxConnections ||
               std::any_of(m_connections.begin(), m_connections.end(),
                           [](const auto& entry) { return entry.second.WaitsForRequest(); });
    }

    // Makes room by dropping the connection that has waited longest for its request.
    void DropOldestWaiting() {
        auto oldest = m_connections.end();
        for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
            if (it->second.WaitsForRequest() && (oldest == m_connections.end() ||
                                                 it->second.Deadline() < oldest->second.Deadline()))
                oldest = it;
        }
        if (oldest != m_connections.end())
            m_connections.erase(oldest);
    }

    void Accept(Clock::time_point now) {
        while (CanTakeConnection()) {
            UniqueFd socket(
                ::accept4(m_listener.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!socket.Valid()) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    m_acceptPausedUntil = now + kAcceptPause; // out of file descriptors
                return;
            }
            if (m_connections.size() >= m_limits.maxConnections)
                DropOldestWaiting();
            m_connections.emplace(m_nextId++, HttpConnection(std::move(socket), m_limits, now));
        }
    }

    // A request goes to the handlers with a stop of its own, requested when the server
    // stops or its connection ends before the answer (the client has gone).
    void Continue(uint64_t id, Clock::time_point now) {
        const auto it = m_connections.find(id);
        if (it == m_connections.end())
            return;
        auto request = it->second.Continue(now);
        if (!request)
            return;
        const std::stop_source work = m_work.emplace(id, std::stop_source()).first->second;
        m_handlers.Post([this, id, work, request = std::move(*request)](std::stop_token stop) {
            const std::stop_callback stopWithServer(stop,
                                                    [work]() mutable { work.request_stop(); });
            HttpReply reply = Answer(request, m_context, work.get_token());
            {
                const std::lock_guard lock(m_repliesMutex);
                m_replies.emplace_back(id, std::move(reply));
            }
            Wake();
        });
    }

    void TakeReplies(Clock::time_point now) {
        char drained[256];
        while (::read(m_wakeRead.Get(), drained, sizeof drained) > 0) {
        }
        std::vector<std::pair<uint64_t, HttpReply>> replies;
        {
            const std::lock_guard lock(m_repliesMutex);
            replies.swap(m_replies);
        }
        for (auto& [id, reply] : replies) {
            m_work.erase(id);
            const auto it = m_connections.find(id);
            if (it != m_connections.end())
                it->second.Answer(std::move(reply), now);
        }
    }

    void ExpireAndRemove(Clock::time_point now) {
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            if (it->second.Deadline() <= now)
                it->second.Expire(now);
            if (it->second.Ended()) {
                StopWork(it->first);
                it = m_connections.erase(it);
            } else {
                ++it;
            }
        }
    }

    // Asks the handler at work for a connection that has ended to stop: nobody waits for
    // its answer.
    void StopWork(uint64_t id) {
        const auto work = m_work.find(id);
        if (work == m_work.end())
            return;
        work->second.request_stop();
        m_work.erase(work);
    }

    const WebContext m_context;
    const WebServerLimits m_limits;
    UniqueFd m_listener;
    UniqueFd m_wakeRead;
    UniqueFd m_wakeWrite;
    std::atomic<bool> m_stopping = false;
    Clock::time_point m_acceptPausedUntil;
    std::map<uint64_t, HttpConnection> m_connections; // the loop's own
    std::map<uint64_t, std::stop_source> m_work;      // of requests being answered; the loop's own
    uint64_t m_nextId = 0;
    std::mutex m_repliesMutex;
    std::vector<std::pair<uint64_t, HttpReply>> m_replies;
    HandlerPool m_handlers{kHandlerThreads};
    std::thread m_loop;
};

WebServer::WebServer(WebContext context, WebServerLimits limits)
    : m_context(context), m_limits(limits) {}

WebServer::~WebServer() {
    Stop();
}

bool WebServer::Start(int port) {
    Stop();
    if (port < 0 || port > 65535) {
        m_lastError = "Invalid port " + std::to_string(port);
        return false;
    }
    Listening listening = ListenEverywhere(port);
    if (!listening.socket.Valid()) {
        m_lastError =
            "Cannot listen on port " + std::to_string(port) +
            (listening.error ? ": " + std::generic_category().message(listening.error) : "");
        return false;
    }
    const int boundPort = BoundPort(listening.socket.Get());
    try {
        m_service = std::make_unique<Service>(m_context, m_limits, std::move(listening.socket));
    } catch (const std::system_error& e) {
        m_lastError = e.what();
        return false;
    }
    m_lastError.clear();
    m_port = boundPort;
    return true;
}

void WebServer::Stop() {
    m_service.reset();
    m_port = 0;
}

} // namespace halvane
