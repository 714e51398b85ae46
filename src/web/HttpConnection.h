#pragma once

#include "HttpReply.h"
#include "HttpRequestHead.h"
#include "UniqueFd.h"
#include "WebServerLimits.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace halvane {

// One client's connection on a non-blocking socket, moved on by the server's poll loop and
// never waiting itself. It reads one request, all of it within the request time, and hands
// it out; once answered, it writes the reply within the reply time, closes its sending side
// and gives the client the closing time to close too, dropping what still arrives. A
// request that breaks a limit is answered with its refusal instead.
class HttpConnection final {
public:
    using Clock = std::chrono::steady_clock;

    HttpConnection(UniqueFd socket, const WebServerLimits& limits, Clock::time_point now);

    int Socket() const { return m_socket.Get(); }
    // The poll events it waits for (0: only a failure or a hang-up, which poll always
    // reports).
    short Events() const;
    // When Expire is due; never while its request is being answered.
    Clock::time_point Deadline() const { return m_deadline; }
    bool WaitsForRequest() const { return m_phase == Phase::Request; }
    bool Ended() const { return m_phase == Phase::Ended; }

    // Reads or writes what poll reported; the request once all of it has arrived, which
    // then waits for Answer. While it waits, a client that has gone ends the connection:
    // one that closes its sending side is sent the first bytes of every reply, which a
    // client still waiting takes and one that has closed altogether answers with a reset.
    std::optional<HttpRequestHead> Continue(Clock::time_point now);
    void Answer(HttpReply reply, Clock::time_point now);
    // The deadline has passed: a request still arriving gets 408, anything else ends.
    void Expire(Clock::time_point now);

private:
    enum class Phase { Request, Answering, Reply, Closing, Ended };

    std::optional<HttpRequestHead> ReadRequest(Clock::time_point now);
    // Receives up to `limit` bytes of request in all; false when the connection failed.
    bool Receive(size_t limit);
    // Where the head ends (after its empty line) once it has arrived.
    std::optional<size_t> FindHeadEnd();
    std::optional<HttpRequestHead> TakeHead(size_t headEnd, Clock::time_point now);
    void WatchClient();
    void SendReplyStart();
    void WriteReply(Clock::time_point now);
    bool RefillFromFile();
    void DrainUntilClosed();

    UniqueFd m_socket;
    const WebServerLimits& m_limits;
    Phase m_phase = Phase::Request;
    Clock::time_point m_deadline;
    std::string m_input;
    size_t m_lineStart = 0; // the first line of the head not yet complete
    size_t m_scanned = 0;   // how far a line end has been looked for
    std::optional<HttpRequestHead> m_request;
    size_t m_requestEnd = 0;   // the end of the head and body, once the head is read
    bool m_clientDone = false; // the client has closed its sending side
    HttpReply m_reply;
    size_t m_sentEarly = 0; // bytes of kReplyStart written before the reply was known
    size_t m_sent = 0;      // bytes of m_reply.bytes written
};

} // namespace halvane
