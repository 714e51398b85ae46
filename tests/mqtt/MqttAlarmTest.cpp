// The alarms of a station over a real Mosquitto broker: the retained list, the journal's
// events and acknowledgements asked for by a subscriber.
#include "AlarmService.h"
#include "MqttClient.h"
#include "MqttSupport.h"
#include "ProfileStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

using namespace halvane;
using namespace mqtt_test;

namespace {

const std::string kPrefix = "plant/b";
const std::string kAlarms = kPrefix + "/alarms";
const std::string kEvent = kPrefix + "/event";

bool Has(const std::string& payload, const std::string& part) {
    return payload.find(part) != std::string::npos;
}

// A tank level with alarm limits 10 and 90 and a pump without alarms, their alarm service
// and a client of the broker that publishes them.
class MqttAlarmTest : public ::testing::Test {
protected:
    MqttAlarmTest() {
        TDataChannel level;
        level.Name = "Level";
        level.EnableAlert = true;
        level.HighThreshold = 90;
        level.LowThreshold = 10;
        TDataChannel pump;
        pump.Name = "Pump";
        m_tags.Assign({level, pump});
        WriteText(m_dir / "config.cfg", "");
        m_store.emplace(m_dir / "config.cfg");
        AlarmOptions options;
        options.commDelaySeconds = 0;
        options.journalFolder = m_dir / "events";
        m_alarms.emplace(m_tags, options);
        m_alarms->Configure({true, true, true, true, true}, false);
        m_alarms->Start();
    }
    ~MqttAlarmTest() override {
        m_client.reset();
        m_alarms->Stop();
    }

    void StartClient(bool allowWrites) {
        MqttOptions options = LoopbackOptions(broker.Port(), "alarm-station", kPrefix);
        options.allowWrites = allowWrites;
        m_client =
            std::make_unique<MqttClient>(options, m_tags, *m_store, MqttClient::EventReport{},
                                         MqttClient::PresetRunner{}, &*m_alarms);
        ASSERT_TRUE(m_client->Start());
        ASSERT_TRUE(WaitUntil([&] { return m_client->IsConnected(); }));
    }
    void ReadLevel(double value) {
        TDataChannel tag = m_tags.Snapshot(0);
        tag.RealValue = value;
        tag.ValueValid = true;
        tag.Status = "OK";
        m_tags.StoreOutcome(0, tag);
        m_alarms->Flush();
    }

    Broker broker;
    TempDir m_dir;
    TagTable m_tags;
    std::optional<ProfileStore> m_store;
    std::optional<AlarmService> m_alarms;
    std::unique_ptr<MqttClient> m_client;
};

TEST_F(MqttAlarmTest, TheRetainedListFollowsAnAlarmFromRaisedToCleared) {
    ASSERT_TRUE(broker.Started());
    Subscriber plant(broker.Port(), kPrefix + "/#");
    StartClient(true);
    EXPECT_TRUE(plant.WaitForText(kAlarms, "[]"));

    ReadLevel(95);
    EXPECT_TRUE(plant.WaitFor(kAlarms, [](const std::string& p) {
        return Has(p,
                   "\"tag\":1,\"name\":\"Level\",\"kind\":\"high\",\"state\":\"unacknowledged\"");
    })) << plant.Last(kAlarms);
    EXPECT_TRUE(plant.WaitForContaining(kEvent, "\"event\":\"raised\",\"tag\":1"));
    // Who comes later is given the list the broker kept.
    Subscriber late(broker.Port(), kAlarms);
    ASSERT_TRUE(WaitUntil([&] { return late.Count(kAlarms) == 1; }));
    EXPECT_TRUE(late.On(kAlarms)[0].retained);
    EXPECT_TRUE(Has(late.Last(kAlarms), "\"state\":\"unacknowledged\"")) << late.Last(kAlarms);

    const struct {
        std::string topic;
        std::string result;
    } refusals[] = {
        {"ack/3", "refused: there is no tag 3."},
        {"ack/0", "refused: there is no tag 0."},
        {"ack/x", "refused: there is no tag x."},
    };
    for (const auto& refusal : refusals) {
        plant.Publish(kPrefix + "/" + refusal.topic, "");
        EXPECT_TRUE(plant.WaitForText(kPrefix + "/" + refusal.topic + "/result", refusal.result))
            << refusal.topic << ": " << plant.Last(kPrefix + "/" + refusal.topic + "/result");
    }
    plant.Publish(kPrefix + "/ack/2", "");
    EXPECT_TRUE(plant.WaitForText(kPrefix + "/ack/2/result", "ok: 0 acknowledged"));
    plant.Publish(kPrefix + "/ack/1", "");
    EXPECT_TRUE(plant.WaitForText(kPrefix + "/ack/1/result", "ok: 1 acknowledged"));
    EXPECT_TRUE(plant.WaitFor(kAlarms, [](const std::string& p) {
        return Has(p, "\"state\":\"acknowledged\"");
    })) << plant.Last(kAlarms);
    EXPECT_TRUE(plant.WaitFor(kEvent, [](const std::string& p) {
        return Has(p, "\"event\":\"acknowledged\"") && Has(p, "\"source\":\"mqtt\"");
    })) << plant.Last(kEvent);

    ReadLevel(50);
    EXPECT_TRUE(plant.WaitForContaining(kEvent, "\"event\":\"cleared\""));
    EXPECT_TRUE(WaitUntil([&] { return plant.Last(kAlarms) == "[]"; })) << plant.Last(kAlarms);
    EXPECT_EQ(m_alarms->Counts().listed, 0U);
}

TEST_F(MqttAlarmTest, AcknowledgementsAreRefusedWithoutAllowWrites) {
    ASSERT_TRUE(broker.Started());
    Subscriber plant(broker.Port(), kPrefix + "/#");
    const std::string ack = kPrefix + "/ack/1";
    const std::string result = ack + "/result";
    // A retained acknowledgement would be made again at every connect.
    plant.Publish(ack, "1", true);
    StartClient(false);
    EXPECT_TRUE(plant.WaitForText(
        result, "refused: a retained message is not taken as an acknowledgement."));
    plant.Publish(ack, "", true); // clears it from the broker

    ReadLevel(95);
    ASSERT_TRUE(plant.WaitForContaining(kAlarms, "\"state\":\"unacknowledged\""));
    plant.Publish(ack, "");
    ASSERT_TRUE(WaitUntil([&] { return plant.Count(result) == 3; })) << plant.Count(result);
    EXPECT_EQ(plant.Last(result),
              "refused: this station takes no writes or acknowledgements over MQTT.");
    EXPECT_EQ(m_alarms->Counts().unacknowledged, 1U);
}

// A tag chattering across its limit: every transition is an event, while the list goes
// out a few times a second, the newest last.
TEST_F(MqttAlarmTest, AFloodOfTransitionsSendsEveryEventAndFewLists) {
    ASSERT_TRUE(broker.Started());
    Subscriber plant(broker.Port(), kPrefix + "/#");
    StartClient(true);
    ASSERT_TRUE(plant.WaitForText(kAlarms, "[]"));
    const size_t listsBefore = plant.Count(kAlarms);
    const auto start = std::chrono::steady_clock::now();
    constexpr int kReadings = 200;
    for (int i = 0; i < kReadings; ++i)
        ReadLevel(i % 2 == 0 ? 95 : 50);
    const auto floodTime = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(WaitUntil([&] { return plant.Count(kEvent) >= kReadings; })) << plant.Count(kEvent);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(plant.Count(kEvent), static_cast<size_t>(kReadings));
    EXPECT_TRUE(Has(plant.Last(kAlarms), "\"state\":\"returned\"")) << plant.Last(kAlarms);
    const auto gaps = std::chrono::duration_cast<std::chrono::milliseconds>(floodTime) / 250ms;
    EXPECT_LE(plant.Count(kAlarms) - listsBefore, static_cast<size_t>(gaps) + 3)
        << "in " << std::chrono::duration_cast<std::chrono::milliseconds>(floodTime).count()
        << " ms";
}

} // namespace
