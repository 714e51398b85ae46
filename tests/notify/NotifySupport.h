#pragma once

// Real receivers for the notification tests: an aiosmtpd mail server and a python
// http.server, each started on a free loopback port and keeping what it takes as files.

#include "TempDir.h"

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace notify_test {

using namespace std::chrono_literals;

inline const std::string kPeers = NOTIFY_PEERS_DIR;

// A child process, ended with SIGTERM when it goes out of scope.
class Child final {
public:
    explicit Child(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
    }
    ~Child() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

private:
    pid_t m_pid = -1;
};

inline sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

// A port that was free a moment ago.
inline int UnusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

inline bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

template <typename Condition>
bool WaitUntil(Condition done, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A receiver program on a port of its own that keeps each message as a file of its folder.
class Receiver final {
public:
    // `script` of the peers folder with its port, folder and `extra` arguments.
    Receiver(std::string script, std::vector<std::string> extra)
        : m_script(std::move(script)), m_extra(std::move(extra)), m_port(UnusedPort()) {}

    int Port() const { return m_port; }
    bool Start() {
        std::vector<std::string> args{"/usr/bin/python3", kPeers + "/" + m_script,
                                      std::to_string(m_port), m_dir.Path().string()};
        args.insert(args.end(), m_extra.begin(), m_extra.end());
        m_process = std::make_unique<Child>(args);
        return WaitUntil([this] { return Accepts(m_port); });
    }
    void Stop() { m_process.reset(); }

    // What it took so far, in order.
    std::vector<std::string> Messages() const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path()))
            if (entry.path().extension() != ".part")
                files.push_back(entry.path());
        std::ranges::sort(files);
        std::vector<std::string> messages;
        for (const auto& file : files)
            messages.push_back(ReadText(file));
        return messages;
    }
    bool WaitForMessages(size_t count) const {
        return WaitUntil([&] { return Messages().size() >= count; });
    }

private:
    TempDir m_dir;
    std::string m_script;
    std::vector<std::string> m_extra;
    int m_port;
    std::unique_ptr<Child> m_process;
};

inline std::unique_ptr<Receiver> MailServer(std::vector<std::string> extra = {}) {
    return std::make_unique<Receiver>("smtp_sink.py", std::move(extra));
}
inline std::unique_ptr<Receiver> WebReceiver(std::vector<std::string> extra = {}) {
    return std::make_unique<Receiver>("http_sink.py", std::move(extra));
}

// The part of a received mail or request after its header lines.
inline std::string Body(const std::string& message) {
    for (const std::string_view end : {"\r\n\r\n", "\n\n"}) {
        const size_t at = message.find(end);
        if (at != std::string::npos)
            return message.substr(at + end.size());
    }
    return {};
}

} // namespace notify_test
