#include "MqttClient.h"

#include "TagTable.h"

#include <mosquitto.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <utility>

namespace halvane {

namespace {

using Clock = std::chrono::steady_clock;

// Also how long a connect may go unanswered before it counts as failed.
constexpr int kKeepAliveSeconds = 30;
// Each call of the network loop waits at most this long, so a stop is seen this soon.
constexpr int kLoopTimeoutMs = 100;
// Messages handed to libmosquitto and not yet sent or acknowledged: the publisher waits
// beyond this, so a slow broker holds at most this many in memory.
constexpr int kMaxOutstanding = 1000;
constexpr int kMaxInflight = 100;
// Changes are gathered this long after a batch went out, so that however fast tags are
// polled the publisher wakes at most this often and a tag goes out at most once per gap.
constexpr auto kBatchGap = std::chrono::milliseconds(50);
// Writes from the broker are made in batches at least this far apart, each saved with one
// file write: a flood of writes costs the window's thread a few batches a second.
constexpr auto kWriteBatchGap = std::chrono::milliseconds(250);
// A connect that failed or a connection lost is tried again after 1 s, then 2, 4, ...
// at most 30 s until a connect succeeds.
constexpr auto kFirstConnectDelay = std::chrono::seconds(1);
constexpr auto kMaxConnectDelay = std::chrono::seconds(30);

std::once_flag g_libraryStarted;

// Without libmosquitto's closing period: the text goes inside a sentence.
std::string ErrorText(int rc, int error = errno) {
    std::string text = rc == MOSQ_ERR_ERRNO ? std::strerror(error) : mosquitto_strerror(rc);
    if (text.ends_with('.'))
        text.pop_back();
    return text;
}

} // namespace

MqttClient::MqttClient(MqttOptions options, TagTable& tags, ProfileStore& store, EventReport report,
                       PresetRunner presetRunner, AlarmService* alarms)
    : m_options(std::move(options)), m_tags(tags), m_store(store), m_report(std::move(report)),
      m_presetRunner(std::move(presetRunner)), m_alarms(alarms) {
    if (!m_presetRunner)
        m_presetRunner = [](std::function<void()> task) { task(); };
}

MqttClient::~MqttClient() {
    Stop();
}

bool MqttClient::Start() {
    std::call_once(g_libraryStarted, [] { mosquitto_lib_init(); });
    m_mosq.reset(mosquitto_new(m_options.clientId.c_str(), true, this), mosquitto_destroy);
    if (!m_mosq) {
        Report("MQTT: cannot start the client: " + ErrorText(MOSQ_ERR_ERRNO));
        return false;
    }
    mosquitto* mosq = m_mosq.get();
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Our network thread writes what other threads publish; they only queue it.
    mosquitto_threaded_set(mosq, true);
    mosquitto_connect_callback_set(mosq, &MqttClient::OnConnect);
    mosquitto_disconnect_callback_set(mosq, &MqttClient::OnDisconnect);
    mosquitto_publish_callback_set(mosq, &MqttClient::OnPublish);
    mosquitto_message_callback_set(mosq, &MqttClient::OnMessage);
    mosquitto_max_inflight_messages_set(mosq, kMaxInflight);
    const std::string status = Topic("status");
    mosquitto_will_set(mosq, status.c_str(), 7, "offline", m_options.qos, true);
    if (!m_options.username.empty())
        mosquitto_username_pw_set(mosq, m_options.username.c_str(), m_options.password.c_str());
    if (m_options.tls) {
        const auto fileOrNull = [](const std::string& file) {
            return file.empty() ? nullptr : file.c_str();
        };
        const int rc = mosquitto_tls_set(mosq, fileOrNull(m_options.caFile), nullptr,
                                         fileOrNull(m_options.certFile),
                                         fileOrNull(m_options.keyFile), nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            Report("MQTT: the TLS files cannot be used: " + ErrorText(rc));
            m_mosq.reset();
            return false;
        }
    }
    m_writes = std::make_unique<TagWriteQueue>(
        m_presetRunner,
        [&tags = m_tags, &store = m_store,
         publish = ResultPublisher()](const std::vector<TagWrite>& writes) {
            const std::vector<std::string> results = MakeTagWrites(tags, store, writes);
            for (size_t i = 0; i < writes.size(); ++i)
                publish(writes[i].number, results[i]);
        },
        kWriteBatchGap);
    if (m_alarms) {
        m_alarmPublisher = std::make_unique<AlarmPublisher>(
            *m_alarms, m_tags, m_options.allowWrites,
            [this](const std::string& topic, const std::string& payload, bool retain) {
                PublishWhenConnected(topic, payload, retain);
            });
        m_alarmPublisher->Start();
    }
    m_status = "Connecting to " + Address();
    m_network = std::thread([this] { NetworkLoop(); });
    m_publisher = std::thread([this] { PublisherLoop(); });
    m_tags.AddChangeListener(&m_queue);
    return true;
}

// Connects without blocking, so each turn of the loop and a stop wait at most
// kLoopTimeoutMs; a connect that fails or a connection that ends is tried again after a
// delay that a stop cuts short.
void MqttClient::NetworkLoop() {
    mosquitto* mosq = m_mosq.get();
    auto delay = kFirstConnectDelay;
    int rc =
        mosquitto_connect_async(mosq, m_options.host.c_str(), m_options.port, kKeepAliveSeconds);
    int error = errno;
    while (!Stopping()) {
        if (rc == MOSQ_ERR_SUCCESS) {
            m_disconnectErrno = 0;
            rc = mosquitto_loop(mosq, kLoopTimeoutMs, 1);
            error = m_disconnectErrno != 0 ? m_disconnectErrno : errno;
            if (rc == MOSQ_ERR_SUCCESS) {
                if (IsConnected())
                    delay = kFirstConnectDelay;
                continue;
            }
            if (Stopping())
                return;
        }
        ReportFailure(rc, error, delay);
        if (!WaitBeforeRetry(delay))
            return;
        delay = std::min(delay * 2, kMaxConnectDelay);
        m_lost = m_refused = false;
        rc = mosquitto_reconnect_async(mosq);
        error = errno;
    }
}

void MqttClient::ReportFailure(int rc, int error, std::chrono::seconds delay) {
    const std::string retry = "; trying again in " + std::to_string(delay.count()) + " s";
    if (m_lost) {
        Report("MQTT: connection to " + Address() + " lost", retry);
    } else if (m_refused) {
        return; // reported with the broker's reason when it answered
    } else {
        // Nothing came back before the keep-alive time ran out.
        const std::string reason = rc == MOSQ_ERR_KEEPALIVE ? "no answer" : ErrorText(rc, error);
        Report("MQTT: cannot connect to " + Address() + ": " + reason, retry);
    }
}

// False when the client stops.
bool MqttClient::WaitBeforeRetry(std::chrono::seconds delay) {
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, delay, [this] { return m_stopping; });
}

bool MqttClient::Stopping() const {
    std::lock_guard lock(m_mutex);
    return m_stopping;
}

void MqttClient::Stop() {
    if (!m_mosq)
        return;
    m_tags.RemoveChangeListener(&m_queue);
    m_queue.Stop();
    m_writes->Stop();
    bool connected = false;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_room.notify_all();
        m_wake.notify_all();
    }
    if (m_alarmPublisher)
        m_alarmPublisher->Stop();
    if (m_publisher.joinable())
        m_publisher.join();
    if (m_network.joinable())
        m_network.join();
    m_writes.reset();
    m_alarmPublisher.reset();
    {
        std::lock_guard lock(m_mutex);
        connected = m_connected;
    }
    // No network thread any more: what follows is written at once, the QoS 0 "offline"
    // ahead of the disconnect, whatever waits for acknowledgement.
    mosquitto_threaded_set(m_mosq.get(), false);
    if (connected)
        Publish(Topic("status"), "offline", true, 0);
    mosquitto_disconnect(m_mosq.get());
    m_mosq.reset();
}

void MqttClient::TagsReloaded() {
    m_queue.RequestTagList();
    m_queue.ForceAll();
}

bool MqttClient::IsConnected() const {
    std::lock_guard lock(m_mutex);
    return m_connected;
}

std::string MqttClient::StatusText() const {
    std::lock_guard lock(m_mutex);
    return m_status;
}

void MqttClient::OnConnect(mosquitto*, void* self, int rc) {
    static_cast<MqttClient*>(self)->Connected(rc);
}

void MqttClient::OnDisconnect(mosquitto*, void* self, int rc) {
    static_cast<MqttClient*>(self)->Disconnected(rc);
}

void MqttClient::OnPublish(mosquitto*, void* self, int) {
    static_cast<MqttClient*>(self)->Published();
}

void MqttClient::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    static_cast<MqttClient*>(self)->MessageArrived(*message);
}

// Subscribers learn that the station is back, then everything it holds.
void MqttClient::Connected(int rc) {
    if (rc != 0) {
        m_refused = true;
        Report("MQTT: " + Address() + " refused the connection: " + mosquitto_connack_string(rc));
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_connected = true;
        // libmosquitto keeps unacknowledged QoS 1 messages and sends them again now, but
        // dropped the QoS 0 ones not yet written when it connected again, without telling.
        if (m_options.qos == 0)
            m_outstanding = 0;
    }
    Report("MQTT: connected to " + Address());
    Publish(Topic("status"), "online", true, m_options.qos);
    if (m_options.allowWrites)
        mosquitto_subscribe(m_mosq.get(), nullptr, Topic("set/+").c_str(), m_options.qos);
    // Acknowledgements are answered even when refused, so that the sender learns why.
    if (m_alarmPublisher) {
        mosquitto_subscribe(m_mosq.get(), nullptr, Topic("ack/+").c_str(), m_options.qos);
        m_alarmPublisher->Connected();
    }
    m_queue.RequestTagList();
    m_queue.ForceAll();
}

// The network thread reports it once the loop has returned.
void MqttClient::Disconnected(int) {
    m_disconnectErrno = errno;
    std::lock_guard lock(m_mutex);
    m_lost = std::exchange(m_connected, false);
    m_room.notify_all();
}

void MqttClient::Published() {
    std::lock_guard lock(m_mutex);
    if (m_outstanding > 0)
        --m_outstanding;
    m_room.notify_all();
}

void MqttClient::MessageArrived(const mosquitto_message& message) {
    const std::string_view topic = message.topic;
    // The tag number of "<prefix>/<kind>/<number>"; a result topic, or deeper, has none.
    const auto numberAfter = [&](const std::string& prefix) -> std::optional<std::string> {
        if (!topic.starts_with(prefix) || topic.find('/', prefix.size()) != std::string::npos)
            return std::nullopt;
        return std::string(topic.substr(prefix.size()));
    };
    if (auto number = numberAfter(Topic("ack/")); number && m_alarmPublisher) {
        m_alarmPublisher->TakeAcknowledgement(std::move(*number), message.retain);
        return;
    }
    const auto number = numberAfter(Topic("set/"));
    if (!number)
        return;
    // An empty message has no payload buffer at all.
    const auto* payload = static_cast<const char*>(message.payload);
    TakeWrite(*number,
              payload ? std::string_view(payload, static_cast<size_t>(message.payloadlen))
                      : std::string_view(),
              message.retain);
}

// A retained write would be made again at every connect: it is refused. A write that
// cannot be made is answered at once; one that can waits for its batch, unless a newer
// write to the same tag replaces it first.
void MqttClient::TakeWrite(const std::string& number, std::string_view payload, bool retained) {
    const ResultSender publishResult = ResultPublisher();
    if (retained) {
        publishResult(number, "refused: a retained message is not taken as a write.");
        return;
    }
    auto write = ReadTagWrite(m_tags, number, payload);
    if (const auto* refused = std::get_if<std::string>(&write)) {
        publishResult(number, *refused);
        return;
    }
    if (const auto replaced = m_writes->Put(std::get<TagWrite>(std::move(write))))
        publishResult(replaced->number, ReplacedWriteResult(*replaced));
}

// Holds nothing of this client but a weak handle to the library's client.
MqttClient::ResultSender MqttClient::ResultPublisher() const {
    return [handle = std::weak_ptr<mosquitto>(m_mosq), prefix = Topic("set/"),
            qos = m_options.qos](const std::string& number, const std::string& text) {
        const std::string topic = prefix + number + "/result";
        if (const auto mosq = handle.lock())
            mosquitto_publish(mosq.get(), nullptr, topic.c_str(), static_cast<int>(text.size()),
                              text.data(), qos, false);
    };
}

void MqttClient::PublisherLoop() {
    const auto period = std::chrono::seconds(m_options.republishSeconds);
    auto nextRepublish = Clock::now() + period;
    Clock::time_point notBefore;
    for (;;) {
        TagChangeQueue::Batch batch = m_queue.Take(nextRepublish, notBefore);
        notBefore = Clock::now() + kBatchGap;
        if (batch.stopped)
            return;
        if (Clock::now() >= nextRepublish) {
            batch.all = batch.force = true;
            nextRepublish = Clock::now() + period;
        }
        // Not connected: the next connect sends everything.
        if (!IsConnected())
            continue;
        if (batch.tagList)
            PublishTagList();
        if (batch.all)
            PublishAllTags(batch.force);
        else
            PublishTags(batch.changed, false);
    }
}

void MqttClient::PublishTagList() {
    std::vector<TagDescription> tags;
    m_tags.ReadAll(
        [&tags](const TDataChannel& tag, size_t) { tags.push_back(DescriptionOf(tag)); });
    Publish(Topic("tags"), TagListPayload(tags), true, m_options.qos);
}

void MqttClient::PublishTags(const std::vector<size_t>& indices, bool force) {
    for (const size_t index : indices)
        if (!PublishTag(index, force))
            return;
}

// Tags that are gone lose their retained message.
void MqttClient::PublishAllTags(bool force) {
    const size_t count = m_tags.Size();
    m_published.resize(count);
    for (size_t index = 0; index < count; ++index)
        if (!PublishTag(index, force))
            return;
    for (size_t number = count + 1; number <= m_publishedCount; ++number)
        if (WaitForRoom())
            Publish(Topic("tag/" + std::to_string(number)), "", true, m_options.qos);
    m_publishedCount = count;
}

// False when the connection went or the client stops.
bool MqttClient::PublishTag(size_t index, bool force) {
    const TDataChannel tag = m_tags.Snapshot(index);
    if (index >= m_published.size()) {
        if (index >= m_tags.Size())
            return true;
        m_published.resize(index + 1);
    }
    TagState state = StateOf(tag);
    if (!force && state == m_published[index])
        return true;
    if (!WaitForRoom())
        return false;
    const std::string payload =
        TagPayload(tag, state, IsoUtcTime(std::chrono::system_clock::now()));
    if (!Publish(Topic("tag/" + std::to_string(index + 1)), payload, true, m_options.qos))
        return false;
    m_published[index] = std::move(state);
    m_publishedCount = std::max(m_publishedCount, index + 1);
    return true;
}

void MqttClient::PublishWhenConnected(const std::string& topic, const std::string& payload,
                                      bool retain) {
    if (WaitForRoom())
        Publish(Topic(topic), payload, retain, m_options.qos);
}

bool MqttClient::WaitForRoom() {
    std::unique_lock lock(m_mutex);
    m_room.wait(lock,
                [this] { return m_outstanding < kMaxOutstanding || m_stopping || !m_connected; });
    return m_connected && !m_stopping;
}

bool MqttClient::Publish(const std::string& topic, const std::string& payload, bool retain,
                         int qos) {
    {
        std::lock_guard lock(m_mutex);
        ++m_outstanding; // before: the acknowledgement may come before publish returns
    }
    const int rc = mosquitto_publish(m_mosq.get(), nullptr, topic.c_str(),
                                     static_cast<int>(payload.size()), payload.data(), qos, retain);
    if (rc == MOSQ_ERR_SUCCESS)
        return true;
    Published();
    return false;
}

void MqttClient::Report(const std::string& line, const std::string& retry) {
    {
        std::lock_guard lock(m_mutex);
        m_status = line.substr(line.find(": ") + 2) + retry;
        m_status[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(m_status[0])));
        if (line == m_lastReport)
            return;
        m_lastReport = line;
    }
    if (m_report)
        m_report(line + retry);
}

std::string MqttClient::Address() const {
    return m_options.host + ":" + std::to_string(m_options.port);
}

std::string MqttClient::Topic(std::string_view rest) const {
    return m_options.topicPrefix + "/" + std::string(rest);
}

} // namespace halvane
