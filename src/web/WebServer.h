#pragma once

#include "WebContext.h"
#include "WebServerLimits.h"

#include <memory>
#include <string>

namespace halvane {

// The station's HTTP/1.1 server. It listens on every interface, IPv6 and IPv4, and answers
// GET, HEAD and POST requests with HandleWebRequest, one request per connection unless the
// limits keep connections, sending every body exactly as the handler made it (never
// compressed). The transport is libmicrohttpd: one thread reads requests and writes replies
// for all connections at once, each within its limits, so slow or hostile clients hold
// neither the others nor a stop; a few threads run the handler for what takes long. Live
// streams ("/api/stream") stay open, fed by the hub of their clients (EventStream).
// Created stopped; Start, Stop and the destructor belong to one thread.
class WebServer final {
public:
    explicit WebServer(WebContext context, WebServerLimits limits = {});
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Stops a running server, then listens on `port` (0: a free port of the system's
    // choice). False when the port cannot be had, for example because another program
    // listens on it (LastError says why).
    bool Start(int port);
    // Stops listening and closes every connection at once, answered or not; a handler at
    // work is asked to stop and its answer dropped.
    void Stop();
    // The port listened on; 0 while stopped.
    int Port() const { return m_port; }
    const std::string& LastError() const { return m_lastError; }

private:
    class Service;

    WebContext m_context;
    WebServerLimits m_limits;
    std::unique_ptr<Service> m_service;
    int m_port = 0;
    std::string m_lastError;
};

} // namespace halvane
