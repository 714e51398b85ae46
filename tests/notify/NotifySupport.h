#pragma once

// Real receivers for the notification tests: an aiosmtpd mail server and a python
// http.server, each started on a free loopback port and keeping what it takes as files.

#include "LoopbackPeers.h"
#include "TempDir.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace notify_test {

using namespace std::chrono_literals;

inline const std::string kPeers = NOTIFY_PEERS_DIR;

using peers::Accepts;
using peers::Child;
using peers::UnusedPort;
using peers::WaitUntil;

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
