#pragma once

#include <chrono>
#include <cstddef>

namespace halvane {

// What one client may make the web server hold. A request that breaks a limit is answered
// with the status named here and its connection closed.

// The whole request, head and body, must arrive within this time from the connection's
// start, however the client spreads its bytes (408).
inline constexpr std::chrono::milliseconds kRequestTime{10'000};
// The whole reply must be taken by the client within this time, else it is cut off.
inline constexpr std::chrono::milliseconds kReplyTime{60'000};
// After the reply, the time the client has to close its side; what it still sends is
// read and dropped meanwhile, so that the reply is not lost to a reset.
inline constexpr std::chrono::milliseconds kClosingTime{2'000};
// The request line and the header lines together (414 when the request line alone does
// not fit, else 431), and the number of header lines (431).
inline constexpr size_t kMaxHeadBytes = 16 * 1024;
inline constexpr size_t kMaxHeaderLines = 100;
// No request needs a body; a small one (a form's fields) is read and dropped, a larger
// one is refused before it is read (413), and so is one of unknown length (411).
inline constexpr size_t kMaxBodyBytes = 16 * 1024;
// Connections open at once. When they are all taken, the one that has waited longest for
// its request is dropped to make room; when none is waiting for its request, new ones
// wait in the listen queue.
inline constexpr size_t kMaxConnections = 512;
// The history of one request ("/history.csv") is read within this time (503 beyond), so
// that no request holds a handler thread for long, however large the day files are.
inline constexpr std::chrono::milliseconds kHistoryReadTime{10'000};
// Threads that run the request handler; reading requests and writing replies needs none.
inline constexpr size_t kHandlerThreads = 4;

struct WebServerLimits {
    std::chrono::milliseconds requestTime = kRequestTime;
    std::chrono::milliseconds replyTime = kReplyTime;
    std::chrono::milliseconds closingTime = kClosingTime;
    size_t maxConnections = kMaxConnections;
};

} // namespace halvane
