#pragma once

#include "AlarmPublisher.h"
#include "MqttSettings.h"
#include "TagChangeQueue.h"
#include "TagMessages.h"
#include "TagWriteQueue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace halvane {

class ProfileStore;
class TagTable;

// Publishes the tag table to an MQTT broker and, when allowed, takes writes of output
// tags from it. The network and the publishing each run on a thread of ours; neither is
// ever waited for by polling, the windows or the web server. A broker that cannot be
// reached or goes away is tried again with a growing delay, every tag going out again
// once it is back.
class MqttClient final {
public:
    // Told of each connect, loss and change of the reason connects fail, one line each, on
    // the network thread.
    using EventReport = std::function<void(const std::string& line)>;
    // Runs a task where presets are made; without one, on a thread of the client's. It is
    // never given a task while it still holds one. The tag table and the store must
    // outlive the tasks it holds.
    using PresetRunner = std::function<void(std::function<void()> task)>;

    // With an alarm service (which must outlive the client), the alarms go out too
    // (AlarmPublisher) and acknowledgements are taken when writes are allowed.
    MqttClient(MqttOptions options, TagTable& tags, ProfileStore& store, EventReport report = {},
               PresetRunner presetRunner = {}, AlarmService* alarms = nullptr);
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Starts connecting and publishing; false, with the reason in StatusText, when the
    // options cannot be used (a TLS file that does not load, an invalid client id).
    bool Start();
    // Publishes "offline" when connected, disconnects and ends both threads.
    void Stop();
    // The tag table was loaded again: its description and every tag go out again.
    void TagsReloaded();

    bool IsConnected() const;
    // "Connected to HOST:PORT", or what went wrong last.
    std::string StatusText() const;
    const MqttOptions& Options() const { return m_options; }

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

    void NetworkLoop();
    void ReportFailure(int rc, int error, std::chrono::seconds delay);
    bool WaitBeforeRetry(std::chrono::seconds delay);
    bool Stopping() const;
    void Connected(int rc);
    void Disconnected(int rc);
    void Published();
    void MessageArrived(const mosquitto_message& message);
    void TakeWrite(const std::string& number, std::string_view payload, bool retained);
    void PublishWhenConnected(const std::string& topic, const std::string& payload, bool retain);
    // Publishes the result of a write to tag `number`; it may be called after this client
    // has gone, and then publishes nothing.
    using ResultSender = std::function<void(const std::string& number, const std::string& text)>;
    ResultSender ResultPublisher() const;

    void PublisherLoop();
    void PublishTagList();
    void PublishTags(const std::vector<size_t>& indices, bool force);
    void PublishAllTags(bool force);
    bool PublishTag(size_t index, bool force);
    bool WaitForRoom();
    bool Publish(const std::string& topic, const std::string& payload, bool retain, int qos);

    // A line that only differs from the last one in `retry` is not told again: a failure
    // that repeats is one line, while the status text shows when the next attempt is.
    void Report(const std::string& line, const std::string& retry = {});
    std::string Address() const;
    std::string Topic(std::string_view rest) const;

    MqttOptions m_options;
    TagTable& m_tags;
    ProfileStore& m_store;
    EventReport m_report;
    PresetRunner m_presetRunner;
    AlarmService* m_alarms;
    // Shared with preset tasks that may finish after this client has gone.
    std::shared_ptr<mosquitto> m_mosq;

    std::thread m_network;
    // Network thread only: what the last connection did before it ended.
    bool m_lost = false;    // it was established
    bool m_refused = false; // the broker refused it, and said so
    int m_disconnectErrno = 0;

    std::unique_ptr<TagWriteQueue> m_writes;          // while started
    std::unique_ptr<AlarmPublisher> m_alarmPublisher; // while started, with alarms

    TagChangeQueue m_queue;
    std::thread m_publisher;
    std::vector<TagState> m_published; // publisher thread: what subscribers hold
    size_t m_publishedCount = 0;       // publisher thread: tag topics that hold a message

    mutable std::mutex m_mutex; // guards what follows
    std::condition_variable m_room;
    std::condition_variable m_wake; // the network thread waits before it connects again
    bool m_connected = false;
    bool m_stopping = false;
    int m_outstanding = 0; // handed to libmosquitto, not yet sent (QoS 0) or acknowledged
    std::string m_status;
    std::string m_lastReport;
};

} // namespace halvane
