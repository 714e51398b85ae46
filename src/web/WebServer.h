#pragma once

#include "WebContext.h"

#include <memory>
#include <string>
#include <thread>

namespace halvane {

// The station's HTTP server. It listens on every interface, IPv6 and IPv4, answers GET,
// HEAD and POST requests with HandleWebRequest on a pool of threads, one request per
// connection, and sends every body exactly as the handler made it (never compressed).
// Created stopped; Start, Stop and the destructor belong to one thread.
class WebServer final {
public:
    explicit WebServer(WebContext context);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Stops a running server, then listens on `port` (0: a free port of the system's
    // choice). False when the port cannot be had, for example because another program
    // listens on it (LastError says why).
    bool Start(int port);
    // Stops listening; returns once the requests under way are answered.
    void Stop();
    // The port listened on; 0 while stopped.
    int Port() const { return m_port; }
    const std::string& LastError() const { return m_lastError; }

private:
    class Listener;

    WebContext m_context;
    std::unique_ptr<Listener> m_listener;
    std::thread m_thread;
    int m_port = 0;
    std::string m_lastError;
};

} // namespace halvane
