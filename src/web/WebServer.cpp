#include "WebServer.h"

#include "BasicAuthorization.h"
#include "WebRequest.h"

#include <httplib.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <fstream>
#include <optional>
#include <system_error>

namespace halvane {

namespace {

// The library queues at most 5 connections waiting to be accepted; bursts of browsers
// reloading would be refused or delayed.
constexpr int kBacklog = 512;
constexpr size_t kRequestThreads = 8;
constexpr size_t kChunkSize = 64 * 1024;

// The address a socket is bound to; before binding, its family alone.
std::optional<sockaddr_storage> LocalAddress(socket_t sock) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return std::nullopt;
    return address;
}

// Instead of the library's defaults, which include SO_REUSEPORT and so let a second
// server bind a port that is already in use: SO_REUSEADDR alone lets a restart bind
// while old connections linger, and close-on-exec keeps programs that the station starts
// from holding the port. An IPv6 socket also takes IPv4 connections (as ::ffff:a.b.c.d),
// whatever the system's default.
void ListenSocketOptions(socket_t sock) {
    const int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    ::fcntl(sock, F_SETFD, FD_CLOEXEC);
    const auto address = LocalAddress(sock);
    if (address && address->ss_family == AF_INET6) {
        const int no = 0;
        ::setsockopt(sock, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
    }
}

constexpr std::array<std::pair<int, std::string_view>, 15> kReasonPhrases{{
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {408, "Request Timeout"},
    {411, "Length Required"},
    {413, "Payload Too Large"},
    {414, "URI Too Long"},
    {415, "Unsupported Media Type"},
    {416, "Range Not Satisfiable"},
    {417, "Expectation Failed"},
    {431, "Request Header Fields Too Large"},
    {500, "Internal Server Error"},
    {503, "Service Unavailable"},
}};

std::string_view ReasonPhrase(int status) {
    const auto entry = std::find_if(kReasonPhrases.begin(), kReasonPhrases.end(),
                                    [&](const auto& e) { return e.first == status; });
    return entry == kReasonPhrases.end() ? "Error" : entry->second;
}

// Bodies go out through a content provider of known length: the library compresses a
// text body set directly when the client accepts it, which would change the bytes and
// the length the handler chose. An empty body has nothing to compress.
void SetBody(httplib::Response& res, std::string body, const std::string& contentType) {
    if (body.empty()) {
        res.set_content(body, contentType);
        return;
    }
    auto bytes = std::make_shared<const std::string>(std::move(body));
    res.set_content_provider(
        bytes->size(), contentType, [bytes](size_t offset, size_t length, httplib::DataSink& sink) {
            // The library does not check a requested range against the length: one
            // beyond the body ends the reply.
            if (offset >= bytes->size())
                return false;
            return sink.write(bytes->data() + offset, std::min(length, bytes->size() - offset));
        });
}

void SetServerError(httplib::Response& res, std::string_view message) {
    WebResponse failure = FailureMessage(message);
    res.headers.clear();
    res.status = failure.status;
    SetBody(res, std::move(failure.body), failure.contentType);
}

void SetDocument(httplib::Response& res, const WebResponse& response) {
    std::error_code ec;
    const auto size = static_cast<size_t>(std::filesystem::file_size(response.file, ec));
    auto in = std::make_shared<std::ifstream>(response.file, std::ios::binary);
    if (ec || !*in) {
        SetServerError(res, "Cannot read " + response.file.filename().string());
        return;
    }
    if (size == 0) {
        res.set_content(std::string(), response.contentType);
    } else if (response.headersOnly) {
        // HEAD: the library writes the headers only and never asks for the content.
        res.set_content_provider(size, response.contentType,
                                 [](size_t, size_t, httplib::DataSink&) { return false; });
    } else {
        res.set_content_provider(
            size, response.contentType,
            [in](size_t offset, size_t length, httplib::DataSink& sink) {
                // A range beyond the end reads short and ends the reply.
                std::string chunk(std::min(length, kChunkSize), '\0');
                in->seekg(static_cast<std::streamoff>(offset));
                in->read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
                return in->gcount() == static_cast<std::streamsize>(chunk.size()) &&
                       sink.write(chunk.data(), chunk.size());
            });
    }
}

void Serve(const WebContext& context, const httplib::Request& req, httplib::Response& res) {
    const Credentials credentials = DecodeBasicAuthorization(req.get_header_value("Authorization"));
    WebResponse response =
        HandleWebRequest({req.method, req.path, credentials.user, credentials.password}, context);
    // A success keeps the library's status: 200, or 206 for a range of the body.
    if (response.status != 200)
        res.status = response.status;
    if (!response.realm.empty())
        res.set_header("WWW-Authenticate", "Basic realm=\"" + response.realm + "\"");
    if (response.file.empty())
        SetBody(res, std::move(response.body), response.contentType);
    else
        SetDocument(res, response);
}

// Other methods are not served: 405, with the methods that are.
httplib::Server::HandlerResponse RefuseOtherMethods(const httplib::Request& req,
                                                    httplib::Response& res) {
    if (req.method == "GET" || req.method == "HEAD" || req.method == "POST")
        return httplib::Server::HandlerResponse::Unhandled;
    res.status = 405;
    res.set_header("Allow", "GET, HEAD, POST");
    return httplib::Server::HandlerResponse::Handled;
}

// Replaces the library's answer to an exception, which would show its message in a
// header: status 500 with the message as the body.
void AnswerException(const httplib::Request&, httplib::Response& res, std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        SetServerError(res, e.what());
    } catch (...) {
        SetServerError(res, std::string(ReasonPhrase(500)));
    }
}

// Runs for every status from 400 on; the handler's own answers already have their body,
// the library's (a malformed request, an unknown method) get the error page.
void AnswerError(const httplib::Request&, httplib::Response& res) {
    if (!res.has_header("Content-Type"))
        SetBody(res, ErrorPage(ReasonPhrase(res.status)), std::string(kPageType));
}

} // namespace

class WebServer::Listener final : public httplib::Server {
public:
    explicit Listener(const WebContext& context) {
        new_task_queue = [] { return new httplib::ThreadPool(kRequestThreads); };
        set_socket_options(ListenSocketOptions);
        set_keep_alive_max_count(1);
        const auto serve = [context](const httplib::Request& req, httplib::Response& res) {
            Serve(context, req, res);
        };
        set_pre_routing_handler(RefuseOtherMethods);
        Get(".*", serve);
        Post(".*", serve);
        set_exception_handler(AnswerException);
        set_error_handler(AnswerError);
    }

    // Binds and listens on every interface, IPv6 and IPv4 through one socket, or IPv4
    // alone when IPv6 cannot be had; errno tells why when it fails. A port in use stays a
    // failure: another program may hold it on IPv6 only.
    bool Bind(int port) {
        errno = 0;
        if (!bind_to_port("::", port) && (errno == EADDRINUSE || !bind_to_port("0.0.0.0", port)))
            return false;
        ::listen(svr_sock_, kBacklog);
        return true;
    }

    int BoundPort() const {
        const auto address = LocalAddress(svr_sock_);
        if (!address)
            return 0;
        const auto& any = *address;
        return ntohs(any.ss_family == AF_INET6
                         ? reinterpret_cast<const sockaddr_in6&>(any).sin6_port
                         : reinterpret_cast<const sockaddr_in&>(any).sin_port);
    }

    // Closes the listening socket, which ends the accept loop even when it has not begun
    // yet (the library's stop() does nothing until the loop runs).
    void Close() {
        const socket_t sock = svr_sock_.exchange(INVALID_SOCKET);
        if (sock != INVALID_SOCKET) {
            ::shutdown(sock, SHUT_RDWR);
            ::close(sock);
        }
    }
};

WebServer::WebServer(WebContext context) : m_context(context) {}

WebServer::~WebServer() {
    Stop();
}

bool WebServer::Start(int port) {
    Stop();
    if (port < 0 || port > 65535) {
        m_lastError = "Invalid port " + std::to_string(port);
        return false;
    }
    auto listener = std::make_unique<Listener>(m_context);
    if (!listener->Bind(port)) {
        const int error = errno;
        m_lastError = "Cannot listen on port " + std::to_string(port) +
                      (error ? ": " + std::generic_category().message(error) : "");
        return false;
    }
    m_lastError.clear();
    m_port = listener->BoundPort();
    m_listener = std::move(listener);
    m_thread = std::thread([listener = m_listener.get()] { listener->listen_after_bind(); });
    return true;
}

void WebServer::Stop() {
    if (!m_listener)
        return;
    m_listener->Close();
    m_thread.join();
    m_listener.reset();
    m_port = 0;
}

} // namespace halvane
