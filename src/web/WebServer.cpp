#include "WebServer.h"

#include "ApiEndpoint.h"
#include "BasicAuthorization.h"
#include "ConnectionGuard.h"
#include "EventStream.h"
#include "HandlerPool.h"
#include "HttpReply.h"
#include "WebLogin.h"
#include "WebRequest.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace halvane {

namespace {

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
        ::listen(fd, static_cast<int>(kListenBacklog)) != 0) {
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

// While a request arrives, the library's idle time is longer than the time the whole
// request has, so that the refusal with 408 comes first; once it is answered, the idle time
// of a reply that nobody takes or of a kept connection that asks nothing more.
unsigned HeadIdleSeconds(const WebServerLimits& limits) {
    const auto requestTime = std::chrono::ceil<std::chrono::seconds>(limits.requestTime);
    return static_cast<unsigned>(std::max(requestTime, limits.idleTime).count() + 1);
}

// The answer that lets a live stream be opened (StreamRoute).
bool IsStreamAnswer(const WebResponse& response) {
    return response.status == 200 && response.contentType == kEventStreamType;
}

EventStreamOptions StreamOptions(const WebServerLimits& limits) {
    EventStreamOptions options;
    options.keepAlive = limits.streamKeepAlive;
    options.maxClients = limits.maxStreams;
    return options;
}

WebRequest ToWebRequest(const HttpRequestHead& head) {
    const Credentials credentials = DecodeBasicAuthorization(head.authorization);
    WebRequest request{head.method,          head.path,  credentials.user,
                       credentials.password, head.query, {}};
    request.contentType = head.contentType;
    request.origin = head.origin;
    request.host = head.host;
    request.forwardedProto = head.forwardedProto;
    return request;
}

// The client's address as text, an IPv4 one (come through the IPv6 socket) in its own form.
std::string ClientAddress(MHD_Connection* connection) {
    const auto* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr)
        return {};
    char text[INET6_ADDRSTRLEN] = {};
    if (info->client_addr->sa_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(*info->client_addr);
        return ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text) ? text : "";
    }
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(*info->client_addr);
    if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr))
        return ::inet_ntop(AF_INET, &v6.sin6_addr.s6_addr[12], text, sizeof text) ? text : "";
    return ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text) ? text : "";
}

// What `handle` answers; a failure is status 500 with its message (never in a header).
template <typename Handle> auto Guarded(Handle handle) -> decltype(handle()) {
    try {
        return handle();
    } catch (const std::exception& e) {
        return FailureMessage(e.what());
    } catch (...) {
        return FailureMessage("Internal Server Error");
    }
}

MHD_Result CollectField(void* fields, MHD_ValueKind, const char* name, const char* value) {
    static_cast<std::vector<HttpHeaderField>*>(fields)->push_back(
        {name, value ? std::string_view(value) : std::string_view()});
    return MHD_YES;
}

// The header lines of the request on `connection`, in their order.
std::vector<HttpHeaderField> HeaderFields(MHD_Connection* connection) {
    std::vector<HttpHeaderField> fields;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &CollectField, &fields);
    return fields;
}

// Ends the life of the bytes a reply was sent from.
void ReleaseBytes(void* owner) {
    std::unique_ptr<std::shared_ptr<const void>>(static_cast<std::shared_ptr<const void>*>(owner));
}

// The library's response for `reply`: a document from its file (sent by the kernel), bytes
// from memory that the response keeps alive (never copied).
MHD_Response* LibraryResponse(HttpReply& reply) {
    if (reply.file.Valid() && reply.length > 0) {
        const int fd = reply.file.Get();
        MHD_Response* response = MHD_create_response_from_fd_at_offset64(
            reply.length, fd, static_cast<uint64_t>(reply.fileOffset));
        if (response)
            reply.file.Release(); // the response closes it
        return response;
    }
    static char nothing = 0;
    char* bytes =
        reply.memory.bytes.empty() ? &nothing : const_cast<char*>(reply.memory.bytes.data());
    auto owner = std::make_unique<std::shared_ptr<const void>>(std::move(reply.memory.owner));
    MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
        reply.memory.bytes.size(), bytes, &ReleaseBytes, owner.get());
    if (response)
        owner.release(); // ReleaseBytes ends it
    return response;
}

// An answer being worked out by a handler thread for a connection that waits, suspended.
struct PendingAnswer {
    explicit PendingAnswer(MHD_Connection* c) : connection(c) {}
    MHD_Connection* const connection;
    std::stop_source stop;
    std::mutex mutex;
    std::optional<HttpReply> reply; // once made
    bool stream = false;            // or, instead, the live stream is to be opened
    std::atomic<bool> resumed = false;
};

// One request, from its request line to its end.
struct RequestState {
    std::string target; // as sent
    bool headRead = false;
    HttpRequestHead head;
    std::string body; // as it arrives, within the length the head announced
    std::shared_ptr<PendingAnswer> pending;
    std::shared_ptr<StreamClient> stream; // once its answer is the live stream
    std::stop_source hangUp;              // its client has gone: the stream ends
    std::optional<std::stop_callback<std::function<void()>>> endOnHangUp;
};

} // namespace

// The library's daemon: one thread that reads requests and writes replies for every
// connection (epoll), suspending a connection while a handler thread works out its answer.
// Documents and refusals are answered on that thread at once; templates, pictures and the
// alarm list go to one pool of handler threads, the history and the journal to another, so
// that neither holds up the other or the documents.
class WebServer::Service final {
public:
    Service(const WebContext& context, const WebServerLimits& limits, UniqueFd listener)
        : m_context(context), m_limits(limits),
          m_guard(std::chrono::duration_cast<std::chrono::milliseconds>(limits.requestTime),
                  kClosingTime) {
        const unsigned flags =
            MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME;
        m_daemon = MHD_start_daemon(
            flags, 0, nullptr, nullptr, &Service::AccessHandler, this,                 //
            MHD_OPTION_LISTEN_SOCKET, static_cast<MHD_socket>(listener.Get()),         //
            MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(limits.maxConnections), //
            MHD_OPTION_PER_IP_CONNECTION_LIMIT,
            static_cast<unsigned>(limits.maxConnectionsPerAddress), //
            MHD_OPTION_CONNECTION_TIMEOUT, HeadIdleSeconds(limits),
            MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<size_t>(kConnectionMemory), //
            MHD_OPTION_URI_LOG_CALLBACK, &Service::RequestBegins, this,                 //
            MHD_OPTION_NOTIFY_COMPLETED, &Service::RequestCompleted, this,              //
            MHD_OPTION_NOTIFY_CONNECTION, &Service::ConnectionEvent, this,              //
            MHD_OPTION_END);
        if (!m_daemon)
            throw std::system_error(EIO, std::generic_category(), "Cannot start the web server");
        listener.Release(); // the daemon closes it when it stops
    }

    // Handlers at work are asked to stop and waited for; connections still waiting for an
    // answer are resumed without one, and live streams ended, so that the daemon can close
    // them all.
    ~Service() {
        {
            const std::lock_guard lock(m_pendingMutex);
            m_stopping = true;
            for (const auto& pending : m_pending)
                pending->stop.request_stop();
        }
        m_pages.reset();
        m_history.reset();
        for (const auto& pending : m_pending)
            Resume(*pending);
        m_stream.CloseAll();
        MHD_stop_daemon(m_daemon);
    }

    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

private:
    static MHD_Result AccessHandler(void* self, MHD_Connection* connection, const char*,
                                    const char* method, const char* version, const char* upload,
                                    size_t* uploadSize, void** request) {
        try {
            return static_cast<Service*>(self)->Handle(connection, method, version, upload,
                                                       uploadSize,
                                                       static_cast<RequestState*>(*request));
        } catch (...) {
            return MHD_NO; // out of memory: the connection ends
        }
    }

    static void* RequestBegins(void* self, const char* target, MHD_Connection* connection) {
        auto& service = *static_cast<Service*>(self);
        service.m_guard.RequestBegins(connection);
        MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT,
                                  HeadIdleSeconds(service.m_limits));
        try {
            auto state = std::make_unique<RequestState>();
            state->target = target ? target : "";
            return state.release();
        } catch (...) {
            return nullptr; // out of memory: the request is refused
        }
    }

    static void RequestCompleted(void* self, MHD_Connection*, void** request,
                                 MHD_RequestTerminationCode) {
        const std::unique_ptr<RequestState> state(static_cast<RequestState*>(*request));
        *request = nullptr;
        if (state && state->stream) {
            state->stream->Detach();
            static_cast<Service*>(self)->m_stream.Remove(state->stream);
        }
    }

    static void ConnectionEvent(void* self, MHD_Connection* connection, void**,
                                MHD_ConnectionNotificationCode code) {
        auto& guard = static_cast<Service*>(self)->m_guard;
        if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
            guard.Close(connection);
            return;
        }
        const auto* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        if (!info)
            return;
        const int sendBuffer = static_cast<int>(kSendBuffer);
        ::setsockopt(info->connect_fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        try {
            guard.Open(connection, info->connect_fd);
        } catch (...) {
            // out of memory: the connection goes on with the library's idle time alone
        }
    }

    // Called when the head has arrived, for each piece of a body, once the whole request is
    // there, and again once a suspended connection's answer is ready.
    MHD_Result Handle(MHD_Connection* connection, const char* method, const char* version,
                      const char* upload, size_t* uploadSize, RequestState* state) {
        if (m_stopping || !state)
            return MHD_NO;
        if (!state->headRead)
            return ReadHead(connection, method, *state);
        if (*uploadSize != 0) {
            state->body.append(upload, *uploadSize); // the head's length bounds it
            *uploadSize = 0;
            return MHD_YES;
        }
        if (state->pending)
            return TakeAnswer(connection, *state);
        const bool http11 = std::string_view(version) == "HTTP/1.1";
        WebRequest request = ToWebRequest(state->head);
        request.body = std::move(state->body);
        const std::string address = ClientAddress(connection);
        const auto verdict = m_login.Screen(address, state->head.authorization,
                                            WebLogin::Clock::now(), &request.account);
        if (verdict == WebLogin::Verdict::Blocked)
            return Queue(connection, ComposeReply(state->head, TooManyLogins()));
        if (verdict != WebLogin::Verdict::NoAccounts)
            request.accountLogin = verdict != WebLogin::Verdict::Refused;
        auto begun = Guarded([&] { return BeginWebRequest(request, m_context); });
        auto* response = std::get_if<WebResponse>(&begun);
        if (verdict == WebLogin::Verdict::Unverified && (!response || response->status == 200))
            return Dispatch(connection, *state,
                            VerifiedAnswer(std::move(request), address, state->head.authorization),
                            false, http11);
        if (response)
            return Queue(connection, ComposeReply(state->head, std::move(*response)));
        const WebWork& work = std::get<WebWork>(begun);
        const bool readsFiles =
            work.kind == WebWork::Kind::History || work.kind == WebWork::Kind::Events;
        return Dispatch(connection, *state, WorkAnswer(std::move(request), work), readsFiles,
                        http11);
    }

    using Answer = std::function<WebResponse(std::stop_token)>;

    Answer WorkAnswer(WebRequest request, WebWork work) const {
        return [this, request = std::move(request), work = std::move(work)](std::stop_token stop) {
            return FinishWebRequest(work, request, m_context, std::move(stop));
        };
    }

    // The password is checked by a handler thread, never by the one that serves everyone;
    // the request is then answered whole, as it would have been without the check.
    Answer VerifiedAnswer(WebRequest request, std::string address, std::string authorization) {
        return [this, request = std::move(request), address = std::move(address),
                authorization = std::move(authorization)](std::stop_token stop) mutable {
            const auto verdict =
                m_login.Verify(address, authorization, WebLogin::Clock::now(), &request.account);
            request.accountLogin = verdict == WebLogin::Verdict::Granted;
            return HandleWebRequest(request, m_context, std::move(stop));
        };
    }

    MHD_Result ReadHead(MHD_Connection* connection, const char* method, RequestState& state) {
        state.headRead = true;
        if (!m_guard.HeadArrived(connection))
            return MHD_NO;
        const auto* size =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_REQUEST_HEADER_SIZE);
        auto head = ReadRequestHead(method, state.target, HeaderFields(connection),
                                    size ? size->header_size : 0);
        if (const auto* refusal = std::get_if<HttpRefusal>(&head))
            return Queue(connection, RefusalReply(refusal->status));
        state.head = std::move(std::get<HttpRequestHead>(head));
        return MHD_YES;
    }

    // The connection waits, suspended, while a handler thread works out its answer, which
    // stops when the client goes away or the server stops.
    MHD_Result Dispatch(MHD_Connection* connection, RequestState& state, Answer answer,
                        bool readsFiles, bool http11) {
        auto pending = std::make_shared<PendingAnswer>(connection);
        const std::lock_guard lock(m_pendingMutex);
        if (m_stopping)
            return MHD_NO;
        m_pending.insert(pending);
        state.pending = pending;
        m_guard.Watch(connection, pending->stop, http11);
        MHD_suspend_connection(connection);
        HandlerPool& pool = readsFiles ? *m_history : *m_pages;
        pool.Post([this, pending, head = state.head,
                   answer = std::move(answer)](std::stop_token poolStop) {
            const std::stop_callback stopWithServer(
                poolStop, [stop = pending->stop]() mutable { stop.request_stop(); });
            WebResponse response = Guarded([&] { return answer(pending->stop.get_token()); });
            const bool stream = IsStreamAnswer(response);
            HttpReply reply = ComposeReply(head, std::move(response));
            {
                const std::lock_guard replyLock(pending->mutex);
                pending->stream = stream;
                if (!stream)
                    pending->reply = std::move(reply);
            }
            Resume(*pending);
            const std::lock_guard pendingLock(m_pendingMutex);
            m_pending.erase(pending);
        });
        return MHD_YES;
    }

    static void Resume(PendingAnswer& pending) {
        if (!pending.resumed.exchange(true))
            MHD_resume_connection(pending.connection);
    }

    MHD_Result TakeAnswer(MHD_Connection* connection, RequestState& state) {
        PendingAnswer& pending = *state.pending;
        std::optional<HttpReply> reply;
        bool stream = false;
        {
            const std::lock_guard lock(pending.mutex);
            reply.swap(pending.reply);
            stream = std::exchange(pending.stream, false);
        }
        if (stream)
            return OpenStream(connection, state);
        return reply ? Queue(connection, std::move(*reply)) : MHD_NO;
    }

    // A stream is answered by the hub's frames as they come: the connection is suspended
    // while none waits. It has no idle time (the keep-alive comments show it alive; a client
    // that stops reading is dropped by the hub). Beyond the hub's clients: 503.
    MHD_Result OpenStream(MHD_Connection* connection, RequestState& state) {
        auto client = m_stream.Open(StreamActions(connection));
        if (!client)
            return Queue(connection,
                         ComposeReply(state.head, JsonError(503, "Too many live streams")));
        auto reader = std::make_unique<std::shared_ptr<StreamClient>>(client);
        MHD_Response* response = MHD_create_response_from_callback(
            MHD_SIZE_UNKNOWN, kStreamBlock, &Service::ReadStream, reader.get(), &EndStream);
        if (!response)
            return MHD_NO;
        reader.release(); // EndStream ends it
        state.endOnHangUp.emplace(state.hangUp.get_token(), [client] { client->End(); });
        state.stream = std::move(client);
        MHD_add_response_header(response, "Content-Type", std::string(kEventStreamType).c_str());
        MHD_add_response_header(response, "Cache-Control", "no-cache");
        if (!m_limits.keepAlive)
            MHD_add_response_header(response, "Connection", "close");
        m_guard.Answered(connection);
        MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT, 0u);
        const MHD_Result queued = MHD_queue_response(connection, 200, response);
        MHD_destroy_response(response);
        m_guard.WatchStream(connection, state.hangUp);
        return queued;
    }

    StreamClient::Actions StreamActions(MHD_Connection* connection) {
        return {[connection] { MHD_suspend_connection(connection); },
                [connection] { MHD_resume_connection(connection); },
                [this, connection] { m_guard.ShutDown(connection); }};
    }

    static ssize_t ReadStream(void* reader, uint64_t, char* buffer, size_t room) {
        auto& client = **static_cast<std::shared_ptr<StreamClient>*>(reader);
        const auto read = client.Read({buffer, room});
        switch (read.state) {
        case StreamClient::State::Data:
            return static_cast<ssize_t>(read.bytes);
        case StreamClient::State::Waiting:
            return 0;
        case StreamClient::State::Ended:
            return MHD_CONTENT_READER_END_OF_STREAM;
        case StreamClient::State::Dropped:
            break;
        }
        return MHD_CONTENT_READER_END_WITH_ERROR;
    }

    static void EndStream(void* reader) {
        std::unique_ptr<std::shared_ptr<StreamClient>>(
            static_cast<std::shared_ptr<StreamClient>*>(reader));
    }

    MHD_Result Queue(MHD_Connection* connection, HttpReply reply) {
        MHD_Response* response = LibraryResponse(reply);
        if (!response)
            return MHD_NO;
        for (const auto& [name, value] : reply.fields)
            MHD_add_response_header(response, name.c_str(), value.c_str());
        if (!m_limits.keepAlive)
            MHD_add_response_header(response, "Connection", "close");
        m_guard.Answered(connection);
        MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT,
                                  static_cast<unsigned>(m_limits.idleTime.count()));
        const MHD_Result queued =
            MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
        MHD_destroy_response(response);
        return queued;
    }

    const WebContext m_context;
    const WebServerLimits m_limits;
    ConnectionGuard m_guard;
    WebLogin m_login{UsersFile(), m_context.alarms};
    EventStream m_stream{m_context.tags, m_context.alarms, StreamOptions(m_limits)};
    std::atomic<bool> m_stopping = false;
    std::mutex m_pendingMutex;
    std::set<std::shared_ptr<PendingAnswer>> m_pending;
    std::unique_ptr<HandlerPool> m_pages = std::make_unique<HandlerPool>(kHandlerThreads);
    std::unique_ptr<HandlerPool> m_history = std::make_unique<HandlerPool>(kHistoryThreads);
    MHD_Daemon* m_daemon = nullptr;
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
