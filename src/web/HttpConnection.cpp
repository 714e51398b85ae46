#include "HttpConnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace halvane {

namespace {

// The largest piece of a document read at once while it is sent.
constexpr size_t kFileChunk = 64 * 1024;
// What one turn of the loop reads and drops from a client that goes on sending after its
// reply, so that a fast one cannot hold the loop.
constexpr size_t kDrainPerTurn = 256 * 1024;

bool WouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

} // namespace

HttpConnection::HttpConnection(UniqueFd socket, const WebServerLimits& limits,
                               Clock::time_point now)
    : m_socket(std::move(socket)), m_limits(limits), m_deadline(now + limits.requestTime) {}

short HttpConnection::Events() const {
    switch (m_phase) {
    case Phase::Request:
    case Phase::Closing:
        return POLLIN;
    case Phase::Reply:
        return POLLOUT;
    case Phase::Answering:
        return m_clientDone ? 0 : POLLRDHUP;
    case Phase::Ended:
        break;
    }
    return 0;
}

std::optional<HttpRequestHead> HttpConnection::Continue(Clock::time_point now) {
    switch (m_phase) {
    case Phase::Request:
        return ReadRequest(now);
    case Phase::Reply:
        WriteReply(now);
        break;
    case Phase::Closing:
        DrainUntilClosed();
        break;
    case Phase::Answering:
        WatchClient();
        break;
    case Phase::Ended:
        break;
    }
    return std::nullopt;
}

void HttpConnection::Answer(HttpReply reply, Clock::time_point now) {
    std::string().swap(m_input);
    m_reply = std::move(reply);
    m_sent = m_sentEarly;
    m_phase = Phase::Reply;
    m_deadline = now + m_limits.replyTime;
}

void HttpConnection::Expire(Clock::time_point now) {
    if (m_phase == Phase::Request)
        Answer(RefusalReply(408), now);
    else
        m_phase = Phase::Ended;
}

std::optional<HttpRequestHead> HttpConnection::ReadRequest(Clock::time_point now) {
    if (!Receive(m_request ? m_requestEnd : kMaxHeadBytes)) {
        m_phase = Phase::Ended;
        return std::nullopt;
    }
    if (!m_request) {
        if (const auto headEnd = FindHeadEnd())
            return TakeHead(*headEnd, now);
        if (m_input.size() >= kMaxHeadBytes)
            Answer(RefusalReply(m_lineStart == 0 ? 414 : 431), now);
        else if (m_clientDone)
            m_phase = Phase::Ended;
        return std::nullopt;
    }
    if (m_input.size() < m_requestEnd) {
        if (m_clientDone)
            m_phase = Phase::Ended;
        return std::nullopt;
    }
    m_phase = Phase::Answering;
    m_deadline = Clock::time_point::max();
    if (m_clientDone)
        SendReplyStart();
    return std::move(m_request);
}

// Poll reported the client closing its sending side, or, once the reply's start went out,
// a reset or hang-up: the client has gone.
void HttpConnection::WatchClient() {
    if (m_clientDone) {
        m_phase = Phase::Ended;
        return;
    }
    m_clientDone = true;
    SendReplyStart();
}

void HttpConnection::SendReplyStart() {
    const ssize_t n = ::send(m_socket.Get(), kReplyStart.data(), kReplyStart.size(), MSG_NOSIGNAL);
    if (n < 0 && !WouldBlock())
        m_phase = Phase::Ended;
    m_sentEarly = static_cast<size_t>(std::max<ssize_t>(n, 0));
}

// A client that has closed its sending side may still wait for the reply.
bool HttpConnection::Receive(size_t limit) {
    char buffer[4096];
    while (m_input.size() < limit && !m_clientDone) {
        const ssize_t n =
            ::recv(m_socket.Get(), buffer, std::min(sizeof buffer, limit - m_input.size()), 0);
        if (n > 0)
            m_input.append(buffer, static_cast<size_t>(n));
        if (n == 0)
            m_clientDone = true;
        else if (n < 0 && errno != EINTR)
            return WouldBlock();
    }
    return true;
}

std::optional<size_t> HttpConnection::FindHeadEnd() {
    while (m_lineStart < m_input.size()) {
        const std::string_view line = std::string_view(m_input).substr(m_lineStart);
        if (line.starts_with('\n'))
            return m_lineStart + 1;
        if (line.starts_with("\r\n"))
            return m_lineStart + 2;
        if (line == "\r")
            return std::nullopt;
        const size_t end = m_input.find('\n', std::max(m_scanned, m_lineStart));
        if (end == std::string::npos) {
            m_scanned = m_input.size();
            return std::nullopt;
        }
        m_lineStart = end + 1;
    }
    return std::nullopt;
}

std::optional<HttpRequestHead> HttpConnection::TakeHead(size_t headEnd, Clock::time_point now) {
    auto parsed = ParseRequestHead(std::string_view(m_input).substr(0, m_lineStart));
    if (const auto* refusal = std::get_if<HttpRefusal>(&parsed)) {
        Answer(RefusalReply(refusal->status), now);
        return std::nullopt;
    }
    m_request = std::move(std::get<HttpRequestHead>(parsed));
    m_requestEnd = headEnd + m_request->bodyLength;
    // The body may have come with the head; if not, it is read up to its length.
    return ReadRequest(now);
}

void HttpConnection::WriteReply(Clock::time_point now) {
    for (;;) {
        if (m_sent == m_reply.bytes.size()) {
            if (m_reply.fileLength == 0) {
                ::shutdown(m_socket.Get(), SHUT_WR);
                m_phase = Phase::Closing;
                m_deadline = now + m_limits.closingTime;
                return;
            }
            if (!RefillFromFile()) {
                m_phase = Phase::Ended;
                return;
            }
        }
        const ssize_t n = ::send(m_socket.Get(), m_reply.bytes.data() + m_sent,
                                 m_reply.bytes.size() - m_sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (!WouldBlock())
                m_phase = Phase::Ended;
            return;
        }
        m_sent += static_cast<size_t>(n);
    }
}

// The next piece of the document. False when the document ends before the length that the
// reply announced (it was cut meanwhile): the reply cannot be completed.
bool HttpConnection::RefillFromFile() {
    m_reply.bytes.resize(std::min(kFileChunk, m_reply.fileLength));
    const ssize_t n =
        ::pread(m_reply.file.Get(), m_reply.bytes.data(), m_reply.bytes.size(), m_reply.fileOffset);
    if (n <= 0)
        return false;
    m_reply.bytes.resize(static_cast<size_t>(n));
    m_reply.fileOffset += n;
    m_reply.fileLength -= static_cast<size_t>(n);
    m_sent = 0;
    return true;
}

void HttpConnection::DrainUntilClosed() {
    std::array<char, 16 * 1024> dropped;
    for (size_t total = 0; total < kDrainPerTurn;) {
        const ssize_t n = ::recv(m_socket.Get(), dropped.data(), dropped.size(), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0 || !WouldBlock())
                m_phase = Phase::Ended;
            return;
        }
        total += static_cast<size_t>(n);
    }
}

} // namespace halvane
