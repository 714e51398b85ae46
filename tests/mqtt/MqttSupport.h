#pragma once

// A real Mosquitto broker on a free loopback port with a generated configuration, the
// options of a station's client for it, and a libmosquitto subscriber that records what
// the broker delivers.

#include "MqttSettings.h"
#include "PeerSupport.h"
#include "TempDir.h"

#include <fcntl.h>
#include <mosquitto.h>
#include <pwd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace mqtt_test {

using namespace std::chrono_literals;

using peers::Accepts;
using peers::UnusedPort;
using peers::WaitUntil;

// A station's client of the loopback broker on `port` that publishes a tag only when it
// changes while a test or benchmark runs.
inline halvane::MqttOptions LoopbackOptions(int port, const std::string& clientId,
                                            const std::string& topicPrefix) {
    halvane::MqttOptions options;
    options.enabled = true;
    options.host = "127.0.0.1";
    options.port = port;
    options.clientId = clientId;
    options.topicPrefix = topicPrefix;
    options.republishSeconds = 3600;
    return options;
}

// Runs a program with its output thrown away and waits for its end; its input comes from
// the file `input` when one is given.
inline void RunToEnd(std::vector<std::string> args, const std::string& input = {}) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    ::posix_spawn_file_actions_init(&quiet);
    if (!input.empty())
        ::posix_spawn_file_actions_addopen(&quiet, STDIN_FILENO, input.c_str(), O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&quiet, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) == 0)
        ::waitpid(pid, nullptr, 0);
    ::posix_spawn_file_actions_destroy(&quiet);
}

// Publishes `count` QoS 0 messages "1", "2", ... to `topic` as fast as mosquitto_pub
// sends them, and returns once it has.
inline void Flood(int port, const std::string& topic, int count) {
    TempDir dir;
    std::string lines;
    for (int i = 1; i <= count; ++i)
        lines += std::to_string(i) + "\n";
    WriteText(dir / "lines", lines);
    RunToEnd({"/usr/bin/mosquitto_pub", "-h", "127.0.0.1", "-p", std::to_string(port), "-t", topic,
              "-q", "0", "-l"},
             (dir / "lines").string());
}

// mosquitto -c FILE, with a password file when `user` is given and `extra` lines of
// configuration; stopped and started again on the same port.
class Broker final {
public:
    explicit Broker(const std::string& user = {}, const std::string& password = {},
                    const std::string& extra = {})
        : m_port(UnusedPort()) {
        // Run as root, the broker would read the password file as the user "mosquitto".
        std::string config = "listener " + std::to_string(m_port) +
                             " 127.0.0.1\npersistence false\nlog_dest none\nuser " +
                             ::getpwuid(::getuid())->pw_name + "\n" + extra;
        if (user.empty()) {
            config += "allow_anonymous true\n";
        } else {
            const std::string file = (m_dir / "passwords").string();
            RunToEnd({"/usr/bin/mosquitto_passwd", "-c", "-b", file, user, password});
            config += "allow_anonymous false\npassword_file " + file + "\n";
        }
        WriteText(m_dir / "mosquitto.conf", config);
        m_started = Start();
    }

    int Port() const { return m_port; }
    // Whether the broker took its first start.
    bool Started() const { return m_started; }
    bool Start() {
        m_process = std::make_unique<peers::Child>(std::vector<std::string>{
            "/usr/sbin/mosquitto", "-c", (m_dir / "mosquitto.conf").string()});
        return WaitUntil([this] { return Accepts(m_port); });
    }
    void Stop() { m_process.reset(); }

private:
    TempDir m_dir;
    int m_port;
    bool m_started = false;
    std::unique_ptr<peers::Child> m_process;
};

struct Message {
    std::string payload;
    bool retained = false;
};

// A libmosquitto client of the loopback broker on `port`, subscribed to `filter`: each
// message goes to `receive` on the client's network thread. Returns from its construction
// once the broker confirmed the subscription, or after 20 s without.
class Subscription final {
public:
    using Receive = std::function<void(const mosquitto_message&)>;

    Subscription(int port, const std::string& filter, Receive receive)
        : m_filter(filter), m_receive(std::move(receive)) {
        mosquitto_lib_init();
        m_mosq = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(m_mosq, [](mosquitto* mosq, void* self, int rc) {
            if (rc == 0)
                mosquitto_subscribe(mosq, nullptr,
                                    static_cast<Subscription*>(self)->m_filter.c_str(), 1);
        });
        mosquitto_subscribe_callback_set(m_mosq, [](mosquitto*, void* self, int, int, const int*) {
            static_cast<Subscription*>(self)->m_subscribed = true;
        });
        mosquitto_publish_callback_set(m_mosq, [](mosquitto*, void* self, int) {
            ++static_cast<Subscription*>(self)->m_acknowledged;
        });
        mosquitto_message_callback_set(
            m_mosq, [](mosquitto*, void* self, const mosquitto_message* message) {
                static_cast<Subscription*>(self)->m_receive(*message);
            });
        mosquitto_connect(m_mosq, "127.0.0.1", port, 30);
        mosquitto_loop_start(m_mosq);
        WaitUntil([this] { return Subscribed(); });
    }
    ~Subscription() {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, false);
        mosquitto_destroy(m_mosq);
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

    bool Subscribed() const { return m_subscribed; }
    // Returns once the broker has acknowledged the message.
    void Publish(const std::string& topic, const std::string& payload, bool retain = false) {
        const int acknowledged = m_acknowledged;
        mosquitto_publish(m_mosq, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), 1, retain);
        WaitUntil([&] { return m_acknowledged > acknowledged; });
    }

private:
    std::string m_filter;
    Receive m_receive;
    mosquitto* m_mosq = nullptr;
    std::atomic<bool> m_subscribed{false};
    std::atomic<int> m_acknowledged{0};
};

// Subscribes to `filter` and keeps every message by topic.
class Subscriber final {
public:
    Subscriber(int port, const std::string& filter)
        : m_subscription(port, filter,
                         [this](const mosquitto_message& message) { Keep(message); }) {}

    std::vector<Message> On(const std::string& topic) const {
        std::lock_guard lock(m_mutex);
        const auto found = m_messages.find(topic);
        return found == m_messages.end() ? std::vector<Message>{} : found->second;
    }
    size_t Count(const std::string& topic) const { return On(topic).size(); }
    // The newest payload on `topic`, "" while there is none.
    std::string Last(const std::string& topic) const {
        const auto messages = On(topic);
        return messages.empty() ? std::string() : messages.back().payload;
    }
    // Waits for a message on `topic` whose payload satisfies `accept`.
    bool WaitFor(const std::string& topic, const std::function<bool(const std::string&)>& accept,
                 std::chrono::milliseconds limit = 20s) const {
        return WaitUntil(
            [&] {
                for (const Message& m : On(topic))
                    if (accept(m.payload))
                        return true;
                return false;
            },
            limit);
    }
    bool WaitForText(const std::string& topic, const std::string& payload,
                     std::chrono::milliseconds limit = 20s) const {
        return WaitFor(
            topic, [&](const std::string& p) { return p == payload; }, limit);
    }
    bool WaitForContaining(const std::string& topic, const std::string& part,
                           std::chrono::milliseconds limit = 20s) const {
        return WaitFor(
            topic, [&](const std::string& p) { return p.find(part) != std::string::npos; }, limit);
    }
    // Returns once the broker has acknowledged the message.
    void Publish(const std::string& topic, const std::string& payload, bool retain = false) {
        m_subscription.Publish(topic, payload, retain);
    }

private:
    void Keep(const mosquitto_message& message) {
        std::lock_guard lock(m_mutex);
        const auto* payload = static_cast<const char*>(message.payload);
        m_messages[message.topic].push_back(
            {payload ? std::string(payload, static_cast<size_t>(message.payloadlen)) : "",
             message.retain});
    }

    mutable std::mutex m_mutex;
    std::map<std::string, std::vector<Message>> m_messages;
    Subscription m_subscription; // last: its thread stops before the messages go
};

} // namespace mqtt_test
