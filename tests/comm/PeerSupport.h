#pragma once

// Real peers for the communication tests: child processes (pymodbus, the libmodbus
// simulator, socat, a fault proxy) and the station's side set up on a temporary root.

#include "Connections.h"
#include "DataRoot.h"
#include "LoopbackPeers.h"
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "TagTable.h"
#include "TempDir.h"
#include "TracedByDirection.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace peers {

using namespace std::chrono_literals;

inline const std::string kPeersDir = PEERS_DIR;

// A plain TCP listener on a free loopback port that accepts only when told to.
class Listener final {
public:
    // With `backlog` 0, one connection waiting to be accepted fills the queue, and the
    // kernel drops further connects' SYNs (the client sends them again after a second).
    explicit Listener(int backlog) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        auto* any = reinterpret_cast<sockaddr*>(&address);
        if (::bind(m_fd, any, length) == 0 && ::listen(m_fd, backlog) == 0 &&
            ::getsockname(m_fd, any, &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~Listener() {
        for (int fd : {m_fd, m_filler})
            if (fd >= 0)
                ::close(fd);
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    int Port() const { return m_port; }
    // A connection of our own that waits in the accept queue.
    bool Fill() {
        m_filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = Loopback(m_port);
        return ::connect(m_filler, reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
               0;
    }
    // Whether a connection waits to be accepted, or comes within `waitMs`.
    bool HasPending(int waitMs = 0) const {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, waitMs) == 1;
    }
    // Accepts one waiting connection and closes it.
    void AcceptOne() {
        if (const int fd = ::accept(m_fd, nullptr, nullptr); fd >= 0)
            ::close(fd);
    }
    // Accepts one waiting connection: its descriptor, which the caller closes.
    int Accept() { return ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC); }

private:
    int m_fd;
    int m_filler = -1;
    int m_port = 0;
};

inline int FreePort() {
    static int next = 20000 + (::getpid() * 7 % 20000);
    return next++;
}

// Runs the Python `lines` with `c`, a pymodbus client connected to the Modbus TCP server on
// loopback `port` (tried for up to 5 s): an independent master beside the station. The exit
// status of the script; an assertion or sys.exit(1) in `lines` makes it non-zero.
inline int RunPymodbus(int port, const std::string& lines) {
    const std::string script = "import sys, time\n"
                               "from pymodbus.client import ModbusTcpClient\n"
                               "c = ModbusTcpClient('127.0.0.1', port=" +
                               std::to_string(port) +
                               ")\n"
                               "for _ in range(50):\n"
                               "    if c.connect(): break\n"
                               "    time.sleep(0.1)\n" +
                               lines + "\n";
    return std::system(("/usr/bin/python3 -c \"" + script + "\"").c_str());
}

// A socat pty pair under `folder`: the station opens "ttyA" (as COM7), the peer "ttyB".
class PtyPair final {
public:
    explicit PtyPair(const std::filesystem::path& folder)
        : m_a((folder / "ttyA").string()), m_b((folder / "ttyB").string()),
          m_socat({"/usr/bin/socat", "pty,raw,echo=0,link=" + m_a, "pty,raw,echo=0,link=" + m_b}) {
        for (int i = 0; i < 200 && !(std::filesystem::exists(m_a) && std::filesystem::exists(m_b));
             ++i)
            std::this_thread::sleep_for(10ms);
    }
    const std::string& StationEnd() const { return m_a; }
    const std::string& PeerEnd() const { return m_b; }

private:
    std::string m_a;
    std::string m_b;
    Child m_socat;
};

inline halvane::TDataChannel Tag(int port, int unit, int function, int reg, int dataType = 0) {
    halvane::TDataChannel tag;
    tag.Port = port;
    tag.ModuleAddr = unit;
    tag.Function = function;
    tag.RegisterAddr = reg;
    tag.DataType = dataType;
    tag.ByteLength = dataType == 2 || dataType == 101 ? 4
                     : dataType == 102                ? 8
                     : dataType == 0                  ? 2
                                                      : 1;
    tag.Linear = 0;
    return tag;
}

// The frames that a connection traced, as bytes, in the order they went out or came in.
class TracedFrames final : public TracedByDirection<std::vector<uint8_t>> {
public:
    using Frame = std::vector<uint8_t>;

    void Append(std::string line) override {
        const size_t tx = line.find(" TX: ");
        const size_t rx = line.find(" RX: ");
        if (tx == std::string::npos && rx == std::string::npos)
            return; // a line about the link
        std::istringstream hex(line.substr(std::min(tx, rx) + 5, line.find('\t')));
        Frame frame;
        for (unsigned byte = 0; hex >> std::hex >> byte;)
            frame.push_back(static_cast<uint8_t>(byte));
        Keep(tx != std::string::npos, std::move(frame));
    }
};

// What one start sequence gave: its result and the problems it reported, in order.
struct Started {
    bool serialPortsOpened = true;
    std::vector<halvane::ConnectionProblem> problems;
};

inline Started StartOnce(halvane::Connections& connections) {
    Started started;
    started.serialPortsOpened = connections.Setup(
        [&](const halvane::ConnectionProblem& problem) { started.problems.push_back(problem); });
    return started;
}

// The station's side: a data root with an empty project, its store and tag table.
class Station {
public:
    Station() {
        halvane::SetDecimalSeparator('.');
        halvane::SetDataRoot(m_dir.Path().string());
        WriteText(m_dir / "cfg/config.cfg", "");
        m_store = std::make_unique<halvane::ProfileStore>(m_dir / "cfg/config.cfg");
    }
    void UseNetwork(int port, int timeoutMs = 1000) {
        m_store->WriteString("Ethernet.1", "enabled", "1");
        m_store->WriteString("Ethernet.1", "host", "127.0.0.1");
        m_store->WriteInteger("Ethernet.1", "port", port);
        m_store->WriteInteger("Ethernet.1", "timeout", timeoutMs);
    }
    // Serial connection 1..3 on COM7..COM9, which the data root links to `device`.
    void UseSerial(const std::string& device, int protocolId, int timeoutMs = 1000,
                   int connection = 1) {
        const int comport = 6 + connection;
        const auto link = m_dir / "dev" / ("COM" + std::to_string(comport));
        const std::string section = "Serial." + std::to_string(connection);
        std::filesystem::create_directories(m_dir / "dev");
        std::filesystem::remove(link);
        std::filesystem::create_symlink(device, link);
        m_store->WriteString(section, "enabled", "1");
        m_store->WriteInteger(section, "comport", comport);
        m_store->WriteInteger(section, "protocolId", protocolId);
        m_store->WriteInteger(section, "timeout", timeoutMs);
    }
    // Starts the connections, retrying while the peer is still starting.
    Started Start(halvane::Connections& connections) {
        Started started;
        for (int attempt = 0; attempt < 50; ++attempt) {
            started = StartOnce(connections);
            if (started.problems.empty())
                break;
            connections.Shutdown();
            std::this_thread::sleep_for(100ms);
        }
        return started;
    }
    // One poll of `connection`, then the outcome of the tag it handed over.
    halvane::TDataChannel PollAndWait(halvane::Connections& connections, int connection) {
        ResetOutcome();
        connections.PollNext(connection);
        size_t polled = 0;
        m_tags.UpdateAll([&](halvane::TDataChannel& tag, size_t i) {
            if (tag.PollingNow && tag.Port == connection)
                polled = i;
        });
        for (int w = 0; w < 600; ++w) {
            const auto tag = m_tags.Snapshot(polled);
            if (tag.ValueValid || tag.Status != "Unknown")
                return tag;
            std::this_thread::sleep_for(5ms);
        }
        return m_tags.Snapshot(polled);
    }
    // `turns` poll steps of `connection`, each once the tags of the one before have their
    // outcome; then every tag. Returns the tags that each step marked as polled now.
    std::vector<std::vector<size_t>> PollTurns(halvane::Connections& connections, int connection,
                                               size_t turns) {
        ResetOutcome();
        std::vector<std::vector<size_t>> marked;
        for (size_t turn = 0; turn < turns; ++turn) {
            connections.PollNext(connection);
            std::vector<size_t> polled;
            m_tags.ReadAll([&](const halvane::TDataChannel& tag, size_t i) {
                if (tag.PollingNow && tag.Port == connection)
                    polled.push_back(i);
            });
            const auto done = [&] {
                bool all = true;
                m_tags.ReadAll([&](const halvane::TDataChannel& tag, size_t i) {
                    if (std::ranges::find(polled, i) != polled.end())
                        all = all && (tag.ValueValid || tag.Status != "Unknown");
                });
                return all;
            };
            for (int w = 0; w < 2000 && !done(); ++w)
                std::this_thread::sleep_for(5ms);
            marked.push_back(std::move(polled));
        }
        return marked;
    }
    void ResetOutcome() {
        m_tags.UpdateAll([](halvane::TDataChannel& tag, size_t) { tag.SetTagError("Unknown"); });
    }

    TempDir m_dir;
    std::unique_ptr<halvane::ProfileStore> m_store;
    halvane::TagTable m_tags;
};

} // namespace peers
