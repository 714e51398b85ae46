// Live stream clients on loopback: the time from a tag change to its event at the last of
// 100 clients (median and 99th percentile) beside one client, and the web server's CPU per
// second while the changes go out beside its CPU with the same clients idle. The clients run
// in a child process, so that the station's own CPU is what the process uses.
#include "BenchSupport.h"
#include "DataRoot.h"
#include "ProfileStore.h"
#include "TagTable.h"
#include "TempDir.h"
#include "WebServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace halvane {
namespace {

using namespace bench;
using namespace std::chrono_literals;

constexpr int kTags = 100;
constexpr int kChanges = 40;
// Longer than a batch, so that each change goes out at once.
constexpr auto kChangeInterval = 300ms;
constexpr auto kIdleTime = 3s;

int64_t Nanos(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

void WriteAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n <= 0)
            throw std::runtime_error("pipe closed");
        bytes += n;
        size -= static_cast<size_t>(n);
    }
}

void ReadAll(int fd, void* data, size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, bytes, size);
        if (n <= 0)
            throw std::runtime_error("pipe closed");
        bytes += n;
        size -= static_cast<size_t>(n);
    }
}

// A stream connection from `source`, its request sent.
int OpenStream(int port, const std::string& source) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, source.c_str(), &address.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string request = "GET /api/stream HTTP/1.0\r\n\r\n";
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(request.size()))
        throw std::runtime_error("cannot open a stream");
    return fd;
}

// The child: `clients` streams; tells the parent once all are open, then, for each value
// 1..kChanges of the first tag, when the last client got it.
int RunClients(int clients, int fromParent, int toParent) {
    int port = 0;
    ReadAll(fromParent, &port, sizeof port);
    const int poller = ::epoll_create1(0);
    std::map<int, std::string> received;
    for (int i = 0; i < clients; ++i) {
        // Several addresses: one address may hold only so many connections.
        const int fd = OpenStream(port, "127.0.0." + std::to_string(2 + i / 25));
        epoll_event event{EPOLLIN, {}};
        event.data.fd = fd;
        ::epoll_ctl(poller, EPOLL_CTL_ADD, fd, &event);
        received[fd];
    }
    std::map<int, int> seen; // of each client, the last value
    std::vector<int64_t> last(kChanges + 1, 0);
    std::vector<int> arrivals(kChanges + 1, 0);
    const std::string marker = R"("name":"T0","value":)";
    size_t opened = 0;
    bool told = false;
    const auto deadline = Clock::now() + kChanges * kChangeInterval + kIdleTime + 20s;
    while (arrivals[kChanges] < clients && Clock::now() < deadline) {
        epoll_event events[64];
        const int n = ::epoll_wait(poller, events, 64, 100);
        const auto now = Clock::now();
        for (int e = 0; e < n; ++e) {
            const int fd = events[e].data.fd;
            char buffer[65536];
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                throw std::runtime_error("a stream closed");
            std::string& bytes = received[fd];
            const bool wasOpen = bytes.find("\r\n\r\n") != std::string::npos;
            bytes.append(buffer, static_cast<size_t>(got));
            if (!wasOpen && bytes.find("\r\n\r\n") != std::string::npos)
                ++opened;
            for (size_t at = bytes.find(marker); at != std::string::npos;
                 at = bytes.find(marker, at + 1)) {
                const int value = std::stoi(bytes.substr(at + marker.size()));
                if (value >= 1 && value <= kChanges && value > seen[fd]) {
                    seen[fd] = value;
                    ++arrivals[value];
                    last[value] = Nanos(now);
                }
            }
            if (const size_t end = bytes.rfind("\n\n"); end != std::string::npos)
                bytes.erase(0, end + 2);
        }
        if (!told && opened == static_cast<size_t>(clients)) {
            const char ready = 1;
            WriteAll(toParent, &ready, 1);
            told = true;
        }
    }
    WriteAll(toParent, last.data(), last.size() * sizeof last[0]);
    return 0;
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Measured {
    std::vector<double> latencyUs; // change to the event at the last client
    double idleCpu = 0;            // per second, the clients open and nothing changing
    double busyCpu = 0;            // per second, while the changes go out
};

Measured Run(int clients) {
    int down[2];
    int up[2];
    if (::pipe(down) != 0 || ::pipe(up) != 0)
        throw std::runtime_error("pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        int status = 1;
        try {
            status = RunClients(clients, down[0], up[1]);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "clients: %s\n", error.what());
        }
        ::_exit(status);
    }
    ::close(down[0]);
    ::close(up[1]);
    TempDir dir;
    SetDataRoot(dir.Path().string());
    std::filesystem::create_directories(dir / "cfg");
    ProfileStore store(dir / "cfg/config.cfg");
    TagTable tags;
    std::vector<TDataChannel> table(kTags);
    for (int i = 0; i < kTags; ++i)
        table[static_cast<size_t>(i)].Name = "T" + std::to_string(i);
    tags.Assign(std::move(table));
    TemplateCounters counters;
    WebServerLimits limits;
    limits.maxStreams = static_cast<size_t>(clients);
    WebServer server(WebContext{store, tags, nullptr, counters}, limits);
    if (!server.Start(0))
        throw std::runtime_error(server.LastError());
    const int port = server.Port();
    WriteAll(down[1], &port, sizeof port);
    char ready = 0;
    ReadAll(up[0], &ready, 1);

    Measured measured;
    double cpu = CpuSeconds();
    auto start = Clock::now();
    std::this_thread::sleep_for(kIdleTime);
    measured.idleCpu =
        (CpuSeconds() - cpu) / std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<int64_t> changed(kChanges + 1, 0);
    cpu = CpuSeconds();
    start = Clock::now();
    Tick(std::chrono::duration_cast<std::chrono::microseconds>(kChangeInterval), kChanges,
         [&](size_t i) {
             const int value = static_cast<int>(i) + 1;
             changed[static_cast<size_t>(value)] = Nanos(Clock::now());
             tags.Update(0, [value](TDataChannel& tag) {
                 tag.RealValue = value;
                 tag.ValueValid = true;
             });
         });
    measured.busyCpu =
        (CpuSeconds() - cpu) / std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<int64_t> last(kChanges + 1, 0);
    ReadAll(up[0], last.data(), last.size() * sizeof last[0]);
    ::waitpid(child, nullptr, 0);
    for (int value = 1; value <= kChanges; ++value)
        if (last[static_cast<size_t>(value)] > 0)
            measured.latencyUs.push_back(static_cast<double>(last[static_cast<size_t>(value)] -
                                                             changed[static_cast<size_t>(value)]) /
                                         1000);
    for (const int fd : {down[1], up[0]})
        ::close(fd);
    return measured;
}

int Main() {
    const Measured one = Run(1);
    const Measured hundred = Run(100);
    std::printf("%d changes of one tag, %d ms apart; %d tags\n", kChanges,
                static_cast<int>(kChangeInterval.count()), kTags);
    Row("figure", "100 clients", "1 client", "ratio");
    Row("change to event at the last client", MedianAndP99(hundred.latencyUs),
        MedianAndP99(one.latencyUs),
        Text("%.1fx median", Percentile(hundred.latencyUs, 0.5) / Percentile(one.latencyUs, 0.5)));
    Row("events received", Text("%zu / %d", hundred.latencyUs.size(), kChanges),
        Text("%zu / %d", one.latencyUs.size(), kChanges), "");
    Row("server CPU while changing (s/s)", Text("%.4f", hundred.busyCpu), Text("%.4f", one.busyCpu),
        Text("%.1fx", hundred.busyCpu / one.busyCpu));
    Row("server CPU, clients idle (s/s)", Text("%.4f", hundred.idleCpu), Text("%.4f", one.idleCpu),
        "");
    return 0;
}

} // namespace
} // namespace halvane

int main() {
    return halvane::bench::RunReported("bench_web_stream", halvane::Main);
}
