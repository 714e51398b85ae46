#pragma once

#include "AlarmService.h"
#include "DataRoot.h"
#include "ProfileStore.h"
#include "ScreenSource.h"
#include "TagTable.h"
#include "TempDir.h"
#include "WebContext.h"
#include "WebServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvane::test {

class FakeScreens final : public ScreenSource {
public:
    struct Screen {
        std::string caption;
        std::string bmp;
        std::string png = {}; // none when empty, as before a screen's first paint
        ScreenSize size = {};
        std::vector<ScreenObjectInfo> objects = {};
    };
    explicit FakeScreens(std::vector<Screen> screens) : m_screens(std::move(screens)) {
        for (const Screen& screen : m_screens) {
            m_bmps.push_back(Shared(screen.bmp));
            m_pngs.push_back(screen.png.empty() ? nullptr : Shared(screen.png));
        }
    }

    size_t ScreenCount() const override { return m_screens.size(); }
    std::string ScreenCaption(size_t index) const override {
        return index < m_screens.size() ? m_screens[index].caption : std::string();
    }
    // One frame per screen, shared by its readers as a painted screen's is.
    SharedBmp ScreenBmp(size_t index) const override {
        return index < m_bmps.size() ? m_bmps[index] : nullptr;
    }
    SharedBmp ScreenPng(size_t index) const override {
        return index < m_pngs.size() ? m_pngs[index] : nullptr;
    }
    std::optional<ScreenSize> ScreenSizeOf(size_t index) const override {
        return index < m_screens.size() ? std::optional(m_screens[index].size) : std::nullopt;
    }
    std::vector<ScreenObjectInfo> ScreenObjects(size_t index) const override {
        return index < m_screens.size() ? m_screens[index].objects
                                        : std::vector<ScreenObjectInfo>();
    }

private:
    static SharedBmp Shared(const std::string& bytes) {
        return std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end());
    }

    std::vector<Screen> m_screens;
    std::vector<SharedBmp> m_bmps;
    std::vector<SharedBmp> m_pngs;
};

inline TDataChannel NamedTag(std::string name, std::string unit = "", double value = 0,
                             std::string format = "%0.2f") {
    TDataChannel tag;
    tag.Name = std::move(name);
    tag.Unit = std::move(unit);
    tag.RealValue = value;
    tag.Format = std::move(format);
    return tag;
}

// Tags named "T0", "T1", ...
inline std::vector<TDataChannel> NumberedTags(size_t count) {
    std::vector<TDataChannel> tags;
    for (size_t i = 0; i < count; ++i)
        tags.push_back(NamedTag("T" + std::to_string(i)));
    return tags;
}

// A data root of its own with an empty configuration, no tags and no screens.
class WebStation {
public:
    WebStation() {
        SetDataRoot(m_dir.Path().string());
        WriteText(m_dir / "cfg/config.cfg", "[WebServer]\r\nEnabled=1\r\n");
        m_store = std::make_unique<ProfileStore>(m_dir / "cfg/config.cfg");
        std::filesystem::create_directories(m_dir / "http");
    }

    void Document(const std::string& name, const std::string& bytes) {
        WriteText(m_dir / "http" / name, bytes);
    }
    void SetTags(std::vector<TDataChannel> tags) { m_tags.Assign(std::move(tags)); }
    TagTable& Tags() { return m_tags; }
    void SetScreens(std::vector<FakeScreens::Screen> screens) {
        m_screens = std::make_unique<FakeScreens>(std::move(screens));
    }
    void SetCredentials(const std::string& user, const std::string& password) {
        m_store->WriteString("WebServer", "Username", user);
        m_store->WriteString("WebServer", "Password", password);
    }
    WebContext Context() { return {*m_store, m_tags, m_screens.get(), m_counters}; }
    TemplateCounters& Counters() { return m_counters; }
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir;
    std::unique_ptr<ProfileStore> m_store;
    TagTable m_tags;
    std::unique_ptr<FakeScreens> m_screens;
    TemplateCounters m_counters;
};

// The station's web server with its alarm service, whose journal is in the data root's
// "events" folder; the server goes before the service it reads.
class WebStationWithAlarms {
public:
    explicit WebStationWithAlarms(WebStation& station) : m_station(station) {}
    ~WebStationWithAlarms() {
        server.reset();
        if (alarms)
            alarms->Stop();
    }

    // Starts the service with `options` (its journal folder set here) and the server on a
    // free port; false when the server could not start.
    bool Start(AlarmOptions options) {
        options.journalFolder = JournalFolder();
        alarms.emplace(m_station.Tags(), options);
        alarms->Start();
        WebContext context = m_station.Context();
        context.alarms = &*alarms;
        server.emplace(context);
        return server->Start(0);
    }
    std::filesystem::path JournalFolder() const { return m_station.Dir().Path() / "events"; }

    // Stores a valid reading of `value` as a connection does, judged by the alarms at once.
    void Read(size_t index, double value) {
        TDataChannel tag = m_station.Tags().Snapshot(index);
        tag.RealValue = value;
        tag.ValueValid = true;
        tag.Status = "OK";
        m_station.Tags().StoreOutcome(index, tag);
        alarms->Flush();
    }

    std::optional<AlarmService> alarms;
    std::optional<WebServer> server;

private:
    WebStation& m_station;
};

struct HttpReply {
    int status = 0;
    std::multimap<std::string, std::string> headers; // lower-case names
    std::string body;

    std::string Header(const std::string& name) const {
        const auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
    bool HasHeader(const std::string& name) const { return headers.count(name) > 0; }
};

// The final reply of `received`: interim ones (1xx) before it are read past, as every
// HTTP/1.1 client must.
inline HttpReply ParseReply(const std::string& received) {
    HttpReply reply;
    std::string raw = received;
    while (raw.starts_with("HTTP/1.1 1") && raw.find("\r\n\r\n") != std::string::npos)
        raw.erase(0, raw.find("\r\n\r\n") + 4);
    const size_t headerEnd = raw.find("\r\n\r\n");
    if (raw.size() < 12 || headerEnd == std::string::npos)
        return reply;
    reply.status = std::stoi(raw.substr(9, 3));
    reply.body = raw.substr(headerEnd + 4);
    size_t line = raw.find("\r\n") + 2;
    while (line < headerEnd) {
        const size_t end = raw.find("\r\n", line);
        const std::string text = raw.substr(line, end - line);
        const size_t colon = text.find(':');
        std::string name = text.substr(0, colon);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        reply.headers.emplace(name, text.substr(text.find_first_not_of(' ', colon + 1)));
        line = end + 2;
    }
    return reply;
}

// One request to `url` sent by curl exactly as written (no path normalisation, no
// decompression), with curl's extra options, e.g. {"-I"} for HEAD or {"-u", "user:pass"}.
inline HttpReply CurlUrl(const std::string& url, const std::vector<std::string>& options = {}) {
    std::string command = "curl -s -i -g --path-as-is --max-time 20";
    for (const std::string& option : options)
        command += " '" + option + "'";
    command += " '" + url + "'";
    std::string raw;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            raw.append(buffer, n);
        ::pclose(pipe);
    }
    return ParseReply(raw);
}

// One request to `host` ("127.0.0.1", "[::1]"), as CurlUrl sends it.
inline HttpReply CurlAt(const std::string& host, int port, const std::string& path,
                        const std::vector<std::string>& options = {}) {
    return CurlUrl("http://" + host + ":" + std::to_string(port) + path, options);
}

inline HttpReply Curl(int port, const std::string& path,
                      const std::vector<std::string>& options = {}) {
    return CurlAt("127.0.0.1", port, path, options);
}

inline size_t Occurrences(std::string_view text, std::string_view word) {
    size_t count = 0;
    for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

inline std::string Repeated(std::string_view text, size_t times) {
    std::string out;
    out.reserve(text.size() * times);
    for (size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

// A client on a loopback TCP connection that sends exactly the bytes it is given, as slowly
// and in as many pieces as a test likes. No call waits longer than it is told (sends at
// most 2 s). It comes from `source` (any address of 127/8 is this machine's), and with a
// `receiveBuffer` of a few KB it is a slow reader that the server can fill quickly.
class RawClient final {
public:
    explicit RawClient(int port, const std::string& source = "127.0.0.1", int receiveBuffer = 0)
        : m_fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        const timeval sendTimeout{2, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
        if (receiveBuffer > 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        const int portAtConnect = 1; // the source port is chosen for the destination
        ::setsockopt(m_fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &portAtConnect,
                     sizeof portAtConnect);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        ::inet_pton(AF_INET, source.c_str(), &address.sin_addr);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { ::close(m_fd); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return m_connected; }
    // False when not all of it could be sent: the server closed, or stopped reading.
    bool Send(std::string_view bytes) {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    void CloseSending() { ::shutdown(m_fd, SHUT_WR); }
    // Whether the server has sent something or closed within `timeout`.
    bool Readable(std::chrono::milliseconds timeout) {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(timeout.count())) > 0;
    }
    // What the server sends until it closes the connection, within `timeout` and at most
    // `limit` bytes; Closed() tells whether it closed.
    std::string Receive(std::chrono::milliseconds timeout, size_t limit = 1 << 20) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string received;
        char buffer[16384];
        while (received.size() < limit) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !Readable(left))
                break;
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                m_closed = true;
                break;
            }
            received.append(buffer, static_cast<size_t>(n));
        }
        return received;
    }
    bool Closed() const { return m_closed; }

private:
    int m_fd;
    bool m_connected = false;
    bool m_closed = false;
};

// A test with a station of its own and its web server started on a free port.
class WebServerFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start(0)) << server.LastError(); }

    HttpReply Get(const std::string& path, const std::vector<std::string>& options = {}) {
        return Curl(server.Port(), path, options);
    }

    WebStation station;
    WebServer server{station.Context()};
};

} // namespace halvane::test
