// MQTT publishing against a local Mosquitto broker: 10,000 tags that all change at once,
// published by the station and received by a subscriber, beside a plain libmosquitto
// client publishing the same payloads; and the poll-to-reply latency of the network
// connection against the simulator with MQTT on beside off.
#include "BenchSupport.h"
#include "Connections.h"
#include "MqttClient.h"
#include "MqttSupport.h"
#include "ProfileStore.h"
#include "TagTable.h"
#include "TempDir.h"

#include <mosquitto.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace halvane {
namespace {

using namespace bench;
using namespace std::chrono_literals;

constexpr size_t kTagCount = 10000;
constexpr auto kLatencyRound = 4s;
constexpr int kLatencyRounds = 6; // off, on, off, on, ...

// Counts the messages of a topic filter and notes when the last one arrived.
class CountingSubscriber final {
public:
    CountingSubscriber(int port, const std::string& filter)
        : m_subscription(port, filter, [this](const mosquitto_message&) {
              std::lock_guard lock(m_mutex);
              ++m_count;
              m_last = Clock::now();
          }) {
        if (!m_subscription.Subscribed())
            throw std::runtime_error("the subscriber cannot subscribe");
    }

    void Reset() {
        std::lock_guard lock(m_mutex);
        m_count = 0;
    }
    size_t Count() {
        std::lock_guard lock(m_mutex);
        return m_count;
    }
    // When the `count`th message arrived; throws when it does not within a minute.
    Clock::time_point WaitFor(size_t count) {
        if (!mqtt_test::WaitUntil([&] { return Count() >= count; }, 60s))
            throw std::runtime_error("only " + std::to_string(Count()) + " of " +
                                     std::to_string(count) + " messages arrived");
        std::lock_guard lock(m_mutex);
        return m_last;
    }

private:
    std::mutex m_mutex;
    size_t m_count = 0;
    Clock::time_point m_last;
    mqtt_test::Subscription m_subscription; // last: its thread stops before the count goes
};

std::vector<TDataChannel> ManyTags() {
    std::vector<TDataChannel> tags(kTagCount);
    for (size_t i = 0; i < tags.size(); ++i) {
        tags[i].Name = "Tag " + std::to_string(i + 1);
        tags[i].Unit = "bar";
        tags[i].RealValue = static_cast<double>(i);
        tags[i].ValueValid = true;
        tags[i].Status = "OK";
    }
    return tags;
}

MqttOptions StationOptions(int port, int qos, const std::string& prefix) {
    MqttOptions options = mqtt_test::LoopbackOptions(port, "bench-station", prefix);
    options.qos = qos;
    return options;
}

struct Delivery {
    double ms = 0;
    double perSecond = 0;
};

Delivery Measured(Clock::time_point start, Clock::time_point last) {
    const double seconds = std::chrono::duration<double>(last - start).count();
    return {seconds * 1e3, static_cast<double>(kTagCount) / seconds};
}

// The station: every tag changes at once (the demo tick's way), the publisher sends them.
Delivery StationPublishes(int port, int qos, ProfileStore& store) {
    TagTable tags;
    tags.Assign(ManyTags());
    const std::string prefix = "bench/station" + std::to_string(qos);
    CountingSubscriber subscriber(port, prefix + "/tag/#");
    MqttClient client(StationOptions(port, qos, prefix), tags, store);
    if (!client.Start())
        throw std::runtime_error("the station's client did not start");
    subscriber.WaitFor(kTagCount); // the round after connecting
    subscriber.Reset();
    const auto start = Clock::now();
    tags.UpdateAll([](TDataChannel& tag, size_t) { tag.RealValue += 0.5; });
    return Measured(start, subscriber.WaitFor(kTagCount));
}

// The same payloads from a plain libmosquitto client, as mosquitto_pub sends them.
Delivery PlainClientPublishes(int port, int qos) {
    std::vector<std::pair<std::string, std::string>> messages;
    for (TDataChannel& tag : ManyTags()) {
        tag.RealValue += 0.5;
        messages.emplace_back(
            "bench/plain" + std::to_string(qos) + "/tag/" + std::to_string(messages.size() + 1),
            TagPayload(tag, StateOf(tag), IsoUtcTime(std::chrono::system_clock::now())));
    }
    CountingSubscriber subscriber(port, "bench/plain" + std::to_string(qos) + "/tag/#");
    mosquitto* mosq = mosquitto_new("bench-plain", true, nullptr);
    mosquitto_max_inflight_messages_set(mosq, 100);
    if (mosquitto_connect(mosq, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS ||
        mosquitto_loop_start(mosq) != MOSQ_ERR_SUCCESS)
        throw std::runtime_error("the plain client cannot connect");
    const auto start = Clock::now();
    for (const auto& [topic, payload] : messages)
        mosquitto_publish(mosq, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), qos, true);
    const Delivery delivery = Measured(start, subscriber.WaitFor(kTagCount));
    mosquitto_disconnect(mosq);
    mosquitto_loop_stop(mosq, false);
    mosquitto_destroy(mosq);
    return delivery;
}

// Poll -> reply of the network connection at its shortest interval over the simulator's
// four moving input registers, in rounds with MQTT off and on.
struct Latencies {
    std::vector<double> off;
    std::vector<double> on;
    size_t published = 0; // tag messages that reached the subscriber while MQTT was on
};

Latencies PollLatency(int brokerPort, ProfileStore& store) {
    const int simPort = mqtt_test::UnusedPort();
    peers::Child sim({HALVANE_SIM, "--tcp", "127.0.0.1:" + std::to_string(simPort)});
    if (!mqtt_test::WaitUntil([simPort] { return mqtt_test::Accepts(simPort); }))
        throw std::runtime_error("the simulator did not start");
    store.WriteString("Ethernet.1", "enabled", "1");
    store.WriteString("Ethernet.1", "host", "127.0.0.1");
    store.WriteInteger("Ethernet.1", "port", simPort);
    store.WriteInteger("Ethernet.1", "timeout", 1000);
    store.WriteInteger("Ethernet.1", "interval", 10);
    std::vector<TDataChannel> inputs(4);
    for (size_t i = 0; i < inputs.size(); ++i) {
        inputs[i].Port = kNetworkConnection;
        inputs[i].Function = 3; // read input registers
        inputs[i].RegisterAddr = static_cast<int>(i);
        inputs[i].ByteLength = 2;
        inputs[i].Name = "Input " + std::to_string(i);
    }
    TagTable tags;
    tags.Assign(inputs);
    TraceTimes trace;
    Connections connections(tags, store, &trace);
    bool problem = false;
    connections.Setup([&problem](const ConnectionProblem&) { problem = true; });
    if (problem)
        throw std::runtime_error("the network connection did not start");
    const std::chrono::milliseconds interval(connections.PollIntervalMs(kNetworkConnection));
    Latencies latencies;
    CountingSubscriber subscriber(brokerPort, "bench/latency/tag/#");
    for (int round = 0; round < kLatencyRounds; ++round) {
        const bool mqtt = round % 2 == 1;
        std::unique_ptr<MqttClient> client;
        if (mqtt) {
            client = std::make_unique<MqttClient>(StationOptions(brokerPort, 1, "bench/latency"),
                                                  tags, store);
            if (!client->Start() || !mqtt_test::WaitUntil([&] { return client->IsConnected(); }))
                throw std::runtime_error("the station's client did not connect");
        }
        const size_t sentBefore = trace.Received().size();
        Times polls;
        Tick(interval, static_cast<size_t>(kLatencyRound / interval), [&](size_t) {
            polls.push_back(Clock::now());
            connections.PollNext(kNetworkConnection);
        });
        const Times received = trace.Received();
        const Times rounds(received.begin() + static_cast<std::ptrdiff_t>(sentBefore),
                           received.end());
        for (const double us : SincePoll(polls, rounds))
            (mqtt ? latencies.on : latencies.off).push_back(us);
    }
    connections.Shutdown();
    latencies.published = subscriber.Count();
    return latencies;
}

int Run() {
    mosquitto_lib_init();
    // A subscriber that falls behind loses nothing: every message is counted.
    mqtt_test::Broker broker({}, {}, "max_queued_messages 0\nmax_inflight_messages 0\n");
    if (!broker.Started())
        throw std::runtime_error("mosquitto did not start");
    TempDir folder;
    ProfileStore store(folder / "config.cfg");

    std::printf("10,000 tags to a local mosquitto 2.0 broker (retained, inflight 100), time to the "
                "last message at a subscriber\n");
    Row("figure", "station", "plain libmosquitto", "ratio");
    for (const int qos : {0, 1}) {
        const Delivery station = StationPublishes(broker.Port(), qos, store);
        const Delivery plain = PlainClientPublishes(broker.Port(), qos);
        Row(Text("QoS %d: time to the last message", qos), Text("%.0f ms", station.ms),
            Text("%.0f ms", plain.ms), Text("%.2f", station.ms / plain.ms));
        Row(Text("QoS %d: messages per second", qos), Text("%.0f/s", station.perSecond),
            Text("%.0f/s", plain.perSecond), Text("%.2f", station.perSecond / plain.perSecond));
    }

    const Latencies latencies = PollLatency(broker.Port(), store);
    const std::vector<double>& on = latencies.on;
    const std::vector<double>& off = latencies.off;
    std::printf("\nPoll -> reply of the network connection (10 ms interval, 4 moving registers of "
                "halvane-sim), %d rounds of %lld s alternating\n",
                kLatencyRounds, static_cast<long long>(kLatencyRound.count()));
    Row("figure", "MQTT on", "MQTT off", "ratio");
    Row("poll -> reply, median / p99", MedianAndP99(on), MedianAndP99(off),
        Text("%.3f", Percentile(on, 0.5) / Percentile(off, 0.5)));
    Row("replies", Text("%zu", on.size()), Text("%zu", off.size()), "");
    Row("tag messages received", Text("%zu", latencies.published), "", "");
    return 0;
}

} // namespace
} // namespace halvane

int main() {
    return halvane::bench::RunReported("bench_mqtt", halvane::Run);
}
