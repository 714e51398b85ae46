#pragma once

#include "UniqueFd.h"

#include <chrono>
#include <map>
#include <mutex>
#include <stop_token>
#include <thread>

namespace halvane {

// Watches the web server's connections for what the transport library does not: the time
// a whole request may take to arrive, and clients that go away while their answer is being
// worked out (the library does not look at a connection while its answer is pending).
// Connections are known by a key of the caller's, between Open and Close; the socket is
// only ever shut down or probed here, never closed. Every call is safe from any thread.
class ConnectionGuard final {
public:
    using Clock = std::chrono::steady_clock;

    ConnectionGuard(std::chrono::milliseconds requestTime, std::chrono::milliseconds closingTime);
    ~ConnectionGuard();
    ConnectionGuard(const ConnectionGuard&) = delete;
    ConnectionGuard& operator=(const ConnectionGuard&) = delete;

    // A new connection on `socket`: its first request must arrive within the request time.
    void Open(const void* key, int socket);
    // The connection is about to be closed; nothing here touches its socket any more.
    void Close(const void* key);
    // The request line of a further request on a kept connection has arrived: the rest of it
    // must arrive within the request time.
    void RequestBegins(const void* key);
    // The head has arrived and is being answered. False when the time ran out before: the
    // connection is being refused and closed.
    bool HeadArrived(const void* key);
    // Its answer is being worked out: `work` is asked to stop when the client goes away. A
    // client that closes only its sending side may still wait for the answer; when
    // `canProbe` (HTTP/1.1), it is sent an interim "102 Processing", which one still
    // waiting ignores and one gone answers with a reset.
    void Watch(const void* key, std::stop_source work, bool canProbe);
    // The request is answered: the connection waits for its next request (kept) or closes.
    void Answered(const void* key);
    // Its answer is a live stream, which ends (`stream` asked to stop) once the client closes
    // its side; it is never probed.
    void WatchStream(const void* key, std::stop_source stream);
    // The client is dropped: its socket is shut down, and the library then closes it.
    void ShutDown(const void* key);

private:
    enum class Phase { Request, Body, Answering, Closing, Idle };
    struct Link {
        int socket = -1;
        Phase phase = Phase::Request;
        Clock::time_point deadline = Clock::time_point::max();
        std::stop_source work;
        bool watched = false;
        bool canProbe = false;
        bool probed = false;
        bool hangUpEnds = false;
    };

    Link* Find(const void* key); // under the lock
    void SetDeadline(Link& link, Clock::time_point deadline);
    void Run(std::stop_token stop);
    void Wake();
    void ExpireDue(Clock::time_point now);
    void CheckClient(Link& link, short revents);

    const std::chrono::milliseconds m_requestTime;
    const std::chrono::milliseconds m_closingTime;
    UniqueFd m_wake; // an eventfd that ends the thread's wait when the watched set changes
    std::mutex m_mutex;
    std::map<const void*, Link> m_links;
    Clock::time_point m_sleepsUntil = Clock::time_point::min(); // the thread's next deadline
    std::jthread m_thread;
};

} // namespace halvane
