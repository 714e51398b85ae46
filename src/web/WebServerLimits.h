#pragma once

#include <chrono>
#include <cstddef>

namespace halvane {

// What one client may make the web server hold. The transport library enforces most of
// them; a request that breaks a limit is answered with the status named here, or its
// connection closed where no answer can be sent.

// The whole head of a request (and its body) must arrive within this time from the
// connection's start, or from the end of the previous reply on a kept connection, however
// the client spreads its bytes (408).
inline constexpr std::chrono::milliseconds kRequestTime{10'000};
// After a request that took too long to arrive has been refused, the time the client has to
// read the refusal and close before the connection ends.
inline constexpr std::chrono::milliseconds kClosingTime{2'000};
// A connection on which nothing moves for this long, in either direction, is closed: a
// reader that takes none of its reply, or a kept connection that asks nothing more.
inline constexpr std::chrono::seconds kIdleTime{10};
// What the system holds of a reply that the client has not taken yet. Kept small, so that a
// client taking its reply at a few KB/s shows progress within the idle time (the system's own
// buffer grows to megabytes, which a slow link takes longer than that to empty) and slow
// readers hold little memory.
inline constexpr size_t kSendBuffer = 64 * 1024;
// The request line and the header lines together (414 when the request line alone does
// not fit, else 431), and the number of header lines (431).
inline constexpr size_t kMaxHeadBytes = 16 * 1024;
inline constexpr size_t kMaxHeaderLines = 100;
// What the library may hold per connection: the head as it arrives, its parsed lines and
// the piece of a reply being written (a document goes from its file, a picture from the
// one shared copy of its frame).
inline constexpr size_t kConnectionMemory = 32 * 1024;
// A request's body (the JSON of an action) is kept up to this size; a larger one is
// refused before it is read (413), and so is one of unknown length (411).
inline constexpr size_t kMaxBodyBytes = 16 * 1024;
// Connections open at once, and from one client address; beyond them new ones are closed
// at once, so that one busy or hostile client leaves room for the others.
inline constexpr size_t kMaxConnections = 512;
inline constexpr size_t kMaxConnectionsPerAddress = 32;
// Connections waiting to be accepted (the system may cap it: net.core.somaxconn); bursts of
// browsers reloading, or of clients the per-address limit turns away, must not be dropped.
inline constexpr size_t kListenBacklog = 4096;
// The history ("/history.csv") or journal ("/api/events") of one request is read within
// this time (503 beyond), so that no request holds a handler thread for long, however large
// the day files are.
inline constexpr std::chrono::milliseconds kHistoryReadTime{10'000};
// Threads that expand templates, encode pictures and list alarms, and those that read the
// history and the journal, so that long reads never hold up pages. Documents need none: they are
// answered from their files by the server's own thread.
inline constexpr size_t kHandlerThreads = 4;
inline constexpr size_t kHistoryThreads = 2;

// A live stream's connection takes its frames in pieces of this size.
inline constexpr size_t kStreamBlock = 16 * 1024;
// Live streams are sent a comment this often while nothing else is sent.
inline constexpr std::chrono::milliseconds kStreamKeepAlive{15'000};
// Live streams open at once; beyond them a new one is refused (503).
inline constexpr size_t kMaxStreams = 64;

struct WebServerLimits {
    std::chrono::milliseconds requestTime = kRequestTime;
    std::chrono::seconds idleTime = kIdleTime;
    size_t maxConnections = kMaxConnections;
    size_t maxConnectionsPerAddress = kMaxConnectionsPerAddress;
    // Connections kept for further requests (pipelined ones answered in order); without,
    // each connection carries one request and is closed after its reply.
    bool keepAlive = false;
    std::chrono::milliseconds streamKeepAlive = kStreamKeepAlive;
    size_t maxStreams = kMaxStreams;
};

} // namespace halvane
