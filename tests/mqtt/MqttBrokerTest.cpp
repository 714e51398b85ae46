// The client against a real Mosquitto broker, with the libmodbus simulator as the plant:
// what subscribers receive, writes over MQTT, a broker that restarts or refuses the
// credentials, and the last will of a station that is killed.
#include "MqttClient.h"
#include "MqttSupport.h"
#include "PeerSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

using namespace halvane;
using namespace mqtt_test;
using namespace peers;

namespace {

const std::string kSimulator = HALVANE_SIM;
const std::string kPrefix = "plant/a";

std::string TagTopic(int number) {
    return kPrefix + "/tag/" + std::to_string(number);
}

// Lines the client reported, kept for the test thread.
class Reports final {
public:
    MqttClient::EventReport Sink() {
        return [this](const std::string& line) {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(line);
        };
    }
    bool Has(const std::string& part) const { return Count(part) > 0; }
    long Count(const std::string& part) const {
        std::lock_guard lock(m_mutex);
        return std::ranges::count_if(m_lines,
                                     [&](const std::string& l) { return l.find(part) != l.npos; });
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

class MqttStationTest : public ::testing::Test, protected Station {
protected:
    MqttStationTest() {
        m_sim = std::make_unique<Child>(std::vector<std::string>{
            kSimulator, "--tcp", "127.0.0.1:" + std::to_string(m_simPort), "--static"});
        UseNetwork(m_simPort);
        // Flow: the simulator's word 12001 scaled by 0.5 + 3, above its high threshold;
        // Setpoint: an output to the pump speed setpoint; Readback: that register read.
        TDataChannel flow = Tag(kNetworkConnection, 1, 2, 101);
        flow.Name = "Flow";
        flow.Unit = "m\xC2\xB3/h";
        flow.Linear = 1;
        flow.ACoff = 0.5;
        flow.BCoff = 3;
        flow.Format = "%0.1f";
        flow.EnableAlert = true;
        flow.HighThreshold = 5000;
        TDataChannel setpoint = Tag(kNetworkConnection, 1, 5, 0);
        setpoint.Name = "Setpoint";
        setpoint.RealValue = 50;
        setpoint.Format = "%0.0f";
        TDataChannel readback = Tag(kNetworkConnection, 1, 2, 0);
        readback.Name = "Readback";
        readback.Format = "%0.0f";
        m_tags.Assign({flow, setpoint, readback});
    }
    ~MqttStationTest() override {
        m_client.reset();
        if (m_connections)
            m_connections->Shutdown();
    }

    MqttOptions Options(int port) const { return LoopbackOptions(port, "test-station", kPrefix); }
    void StartClient(const MqttOptions& options) {
        m_client = std::make_unique<MqttClient>(options, m_tags, *m_store, m_reports.Sink());
        ASSERT_TRUE(m_client->Start());
    }
    void StartPolling() {
        m_connections = std::make_unique<Connections>(m_tags, *m_store, nullptr);
        ASSERT_TRUE(Start(*m_connections).problems.empty());
    }
    // Poll ticks for a while: every tag has several turns.
    void PollAll() {
        for (int tick = 0; tick < 30; ++tick) {
            m_connections->PollNext(kNetworkConnection);
            std::this_thread::sleep_for(20ms);
        }
    }

    int m_simPort = UnusedPort();
    std::unique_ptr<Child> m_sim;
    std::unique_ptr<Connections> m_connections;
    Reports m_reports;
    std::unique_ptr<MqttClient> m_client;
};

bool IsValid(const std::string& payload) {
    return payload.find("\"valid\":true") != std::string::npos;
}

} // namespace

TEST_F(MqttStationTest, RetainedTagsStatusAndDescriptionAfterTheSimulatorsValues) {
    Broker broker;
    ASSERT_TRUE(broker.Started());
    StartClient(Options(broker.Port()));
    StartPolling();
    PollAll();
    Subscriber late(broker.Port(), kPrefix + "/#"); // sees only what is retained
    ASSERT_TRUE(late.WaitFor(TagTopic(1), IsValid)) << late.Last(TagTopic(1));
    const std::regex flow("\\{\"name\":\"Flow\",\"value\":6003.5,\"text\":\"6003.5\",\"unit\":"
                          "\"m\xC2\xB3/h\",\"valid\":true,\"status\":\"OK"
                          "\",\"alarm\":\"high\",\"ts\":\"20\\d\\d-\\d\\d-\\d\\dT\\d\\d:\\d\\d:"
                          "\\d\\d\\.\\d\\d\\dZ\"\\}");
    EXPECT_TRUE(std::regex_match(late.Last(TagTopic(1)), flow)) << late.Last(TagTopic(1));
    EXPECT_TRUE(late.On(TagTopic(1)).back().retained);
    ASSERT_TRUE(late.WaitFor(TagTopic(3), IsValid));
    EXPECT_NE(late.Last(TagTopic(3)).find("\"value\":50,\"text\":\"50\",\"unit\":\"\""),
              std::string::npos);
    EXPECT_TRUE(late.WaitForText(kPrefix + "/status", "online"));
    EXPECT_TRUE(late.WaitForText(
        kPrefix + "/tags",
        "[{\"number\":1,\"name\":\"Flow\",\"unit\":\"m\xC2\xB3/h\",\"function\":\"(3) Read "
        "Holding Register\",\"output\":false},"
        "{\"number\":2,\"name\":\"Setpoint\",\"unit\":\"\",\"function\":\"(6) Write "
        "Holding Register\",\"output\":true},"
        "{\"number\":3,\"name\":\"Readback\",\"unit\":\"\",\"function\":\"(3) Read Holding "
        "Register\",\"output\":false}]"))
        << late.Last(kPrefix + "/tags");
    EXPECT_TRUE(m_client->IsConnected());
    EXPECT_EQ(m_client->StatusText(), "Connected to 127.0.0.1:" + std::to_string(broker.Port()));
}

TEST_F(MqttStationTest, ValuesThatStandStillAreNotSentAgainUntilTheRepublishTime) {
    Broker broker;
    ASSERT_TRUE(broker.Started());
    Subscriber watcher(broker.Port(), kPrefix + "/tag/#");
    StartClient(Options(broker.Port()));
    StartPolling();
    PollAll();
    ASSERT_TRUE(watcher.WaitFor(TagTopic(1), IsValid));
    ASSERT_TRUE(watcher.WaitFor(TagTopic(3), IsValid));
    const size_t before = watcher.Count(TagTopic(1));
    for (int turn = 0; turn < 5; ++turn)
        PollAll();
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(watcher.Count(TagTopic(1)), before);

    // The same still values with a republish every second.
    m_client.reset();
    MqttOptions often = Options(broker.Port());
    often.republishSeconds = 1;
    StartClient(often);
    const size_t restarted = watcher.Count(TagTopic(1));
    EXPECT_TRUE(WaitUntil([&] { return watcher.Count(TagTopic(1)) >= restarted + 3; }));
}

TEST_F(MqttStationTest, WritesPresetOutputTagsAndEveryRefusalIsAnswered) {
    Broker broker;
    ASSERT_TRUE(broker.Started());
    Subscriber plant(broker.Port(), kPrefix + "/set/+/result");
    Subscriber setpoint(broker.Port(), TagTopic(2));
    // A retained write would be made again at every connect of the station.
    const std::string retained = kPrefix + "/set/2";
    plant.Publish(retained, "80", true);
    MqttOptions options = Options(broker.Port());
    options.allowWrites = true;
    StartClient(options);
    StartPolling();
    EXPECT_TRUE(plant.WaitForText(retained + "/result",
                                  "refused: a retained message is not taken as a write."));
    plant.Publish(retained, "", true); // clears it from the broker
    ASSERT_TRUE(WaitUntil([&] { return m_client->IsConnected(); }));

    const std::string huge(1 << 20, '9');
    const struct {
        std::string topic;
        std::string payload;
        std::string result;
    } cases[] = {
        {"set/2", "75", "accepted: 75"},
        {"set/2", "75.5", "accepted: 75.5, written as 75"},
        {"set/2", huge + "x",
         "refused: '" + huge.substr(0, 64) + "...' is not a valid floating point value."},
        {"set/1", "10", "refused: tag 1 is an input tag."},
        {"set/9", "10", "refused: there is no tag 9."},
        {"set/0", "10", "refused: there is no tag 0."},
        {"set/2", "abc", "refused: 'abc' is not a valid floating point value."},
        {"set/2", "70000",
         "refused: The value 70000 does not fit the register. The register takes 0 to 65535."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.topic + " " + c.payload.substr(0, 10));
        const std::string topic = kPrefix + "/" + c.topic;
        plant.Publish(topic, c.payload);
        EXPECT_TRUE(plant.WaitForText(topic + "/result", c.result))
            << plant.Last(topic + "/result");
    }

    EXPECT_EQ(m_tags.Snapshot(1).RealValue, 75.5);
    EXPECT_EQ(m_store->ReadFloat("Channel.1", "DefaultValue", 0), 75.5);
    PollAll(); // the write, then the read back
    EXPECT_TRUE(WaitUntil([&] {
        PollAll();
        return m_tags.Snapshot(2).ValueValid && m_tags.Snapshot(2).RealValue == 75;
    })) << m_tags.Snapshot(2).RealValue;
    // Written: subscribers see the tag as the tag list shows it.
    EXPECT_TRUE(setpoint.WaitForContaining(TagTopic(2), "\"value\":75.5,\"text\":\"76\",\"unit\":"
                                                        "\"\",\"valid\":true,\"status\":\"OK\""))
        << setpoint.Last(TagTopic(2));
}

TEST_F(MqttStationTest, WithoutAllowWritesNothingIsTakenOrAnswered) {
    Broker broker;
    ASSERT_TRUE(broker.Started());
    StartClient(Options(broker.Port()));
    Subscriber plant(broker.Port(), kPrefix + "/#");
    ASSERT_TRUE(WaitUntil([&] { return m_client->IsConnected(); }));
    ASSERT_TRUE(plant.WaitForText(kPrefix + "/status", "online"));
    plant.Publish(kPrefix + "/set/2", "75");
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(plant.Count(kPrefix + "/set/2/result"), 0U);
    EXPECT_EQ(m_tags.Snapshot(1).RealValue, 50);
}

TEST_F(MqttStationTest, CredentialsRefusedAreReportedAndTheStationRunsOn) {
    Broker broker("station", "s3cret");
    ASSERT_TRUE(broker.Started());
    MqttOptions wrong = Options(broker.Port());
    wrong.username = "station";
    wrong.password = "guess";
    StartClient(wrong);
    StartPolling();
    EXPECT_TRUE(WaitUntil([&] { return m_reports.Has("refused the connection"); }));
    EXPECT_TRUE(m_reports.Has("MQTT: 127.0.0.1:" + std::to_string(broker.Port()) +
                              " refused the connection: Connection Refused: not authorised."));
    EXPECT_FALSE(m_client->IsConnected());
    EXPECT_NE(m_client->StatusText().find("not authorised"), std::string::npos);
    PollAll();
    EXPECT_TRUE(m_tags.Snapshot(0).ValueValid);

    m_client.reset();
    MqttOptions right = wrong;
    right.password = "s3cret";
    StartClient(right);
    EXPECT_TRUE(WaitUntil([&] { return m_client->IsConnected(); }));
}

TEST_F(MqttStationTest, ABrokerDownAtStartOrRestartedGetsEveryTagAgain) {
    Broker broker;
    ASSERT_TRUE(broker.Started());
    broker.Stop();
    StartClient(Options(broker.Port()));
    StartPolling();
    PollAll();
    EXPECT_TRUE(m_reports.Has("MQTT: cannot connect to 127.0.0.1:" + std::to_string(broker.Port()) +
                              ": Connection refused"));
    EXPECT_FALSE(m_client->IsConnected());

    ASSERT_TRUE(broker.Start());
    {
        Subscriber first(broker.Port(), kPrefix + "/#");
        EXPECT_TRUE(first.WaitFor(TagTopic(1), IsValid, 40s));
    }
    broker.Stop();
    EXPECT_TRUE(WaitUntil([&] {
        return m_reports.Has("MQTT: connection to 127.0.0.1:" + std::to_string(broker.Port()) +
                             " lost; trying again in 1 s");
    }));
    ASSERT_TRUE(broker.Start()); // empty: nothing persisted
    Subscriber again(broker.Port(), kPrefix + "/#");
    for (int number = 1; number <= 3; ++number)
        EXPECT_TRUE(again.WaitFor(TagTopic(number), IsValid, 40s)) << number;
    EXPECT_TRUE(again.WaitForText(kPrefix + "/status", "online"));
    EXPECT_TRUE(again.WaitForContaining(kPrefix + "/tags", "\"Readback\""));
}

TEST_F(MqttStationTest, ACleanStopLeavesOfflineAndAReloadDescribesTheNewTable) {
    Broker broker;
    ASSERT_TRUE(broker.Started());
    StartClient(Options(broker.Port()));
    Subscriber watcher(broker.Port(), kPrefix + "/#");
    ASSERT_TRUE(watcher.WaitForText(kPrefix + "/status", "online"));
    ASSERT_TRUE(watcher.WaitFor(TagTopic(3), [](const std::string&) { return true; }));

    std::vector<TDataChannel> fewer = m_tags.SnapshotAll();
    fewer.pop_back();
    fewer[0].Name = "Inflow";
    m_tags.Assign(fewer);
    m_client->TagsReloaded();
    EXPECT_TRUE(watcher.WaitForContaining(kPrefix + "/tags", "\"Inflow\""));
    EXPECT_TRUE(watcher.WaitForText(TagTopic(3), "")); // removed from the broker

    m_client->Stop();
    EXPECT_TRUE(watcher.WaitForText(kPrefix + "/status", "offline"));
}

// A broker that speaks TLS only, with a certificate for 127.0.0.1 from a CA made here.
TEST_F(MqttStationTest, TlsWithTheBrokersCaAndAFileThatIsMissing) {
    TempDir keys;
    const auto file = [&](const char* name) { return (keys / name).string(); };
    WriteText(keys / "san.ext", "subjectAltName=IP:127.0.0.1\n");
    RunToEnd({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
              file("ca.key"), "-out", file("ca.pem"), "-days", "2", "-subj", "/CN=Test CA"});
    RunToEnd({"/usr/bin/openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout",
              file("server.key"), "-out", file("server.csr"), "-subj", "/CN=127.0.0.1"});
    RunToEnd({"/usr/bin/openssl", "x509", "-req", "-in", file("server.csr"), "-CA", file("ca.pem"),
              "-CAkey", file("ca.key"), "-CAcreateserial", "-out", file("server.pem"), "-days", "2",
              "-extfile", file("san.ext")});
    Broker broker({}, {},
                  "cafile " + file("ca.pem") + "\ncertfile " + file("server.pem") + "\nkeyfile " +
                      file("server.key") + "\n");
    ASSERT_TRUE(broker.Started());

    MqttOptions tls = Options(broker.Port());
    tls.tls = true;
    tls.caFile = file("ca.pem");
    StartClient(tls);
    EXPECT_TRUE(WaitUntil([&] { return m_client->IsConnected(); })) << m_client->StatusText();

    m_client.reset();
    tls.caFile = file("absent.pem");
    m_client = std::make_unique<MqttClient>(tls, m_tags, *m_store, m_reports.Sink());
    EXPECT_FALSE(m_client->Start());
    EXPECT_TRUE(m_reports.Has("MQTT: the TLS files cannot be used: "));
}

// The broker's address takes the connect and never completes it: a full accept queue
// drops the SYNs, or a listener that never accepts and never speaks.
TEST_F(MqttStationTest, StopReturnsSoonWhileTheBrokerDoesNotAnswer) {
    for (const bool full : {true, false}) {
        Listener silent(full ? 0 : 8);
        ASSERT_NE(silent.Port(), 0);
        if (full) {
            ASSERT_TRUE(silent.Fill());
        }
        StartClient(Options(silent.Port()));
        if (!full) {
            EXPECT_TRUE(silent.HasPending(20000));
        }
        std::this_thread::sleep_for(300ms); // the connect is under way
        EXPECT_FALSE(m_client->IsConnected());
        const auto start = std::chrono::steady_clock::now();
        m_client->Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "full queue: " << full;
        m_client.reset();
    }
}

// Connects that fail once the attempt is under way: the connection is closed before the
// broker's answer, or the broker does not speak TLS. Each is reported once and tried again.
TEST_F(MqttStationTest, ConnectsThatFailLaterAreReportedOnceAndTriedAgain) {
    Listener closing(8);
    ASSERT_NE(closing.Port(), 0);
    std::atomic<bool> done{false};
    std::atomic<int> accepted{0};
    std::thread closer([&] {
        while (!done)
            if (closing.HasPending(50)) {
                closing.AcceptOne();
                ++accepted;
            }
    });
    StartClient(Options(closing.Port()));
    const std::string failed =
        "MQTT: cannot connect to 127.0.0.1:" + std::to_string(closing.Port());
    EXPECT_TRUE(WaitUntil([&] { return accepted >= 3; }, 40s));
    EXPECT_TRUE(WaitUntil([&] {
        return m_client->StatusText().find("; trying again in 4 s") != std::string::npos;
    })) << m_client->StatusText();
    EXPECT_EQ(m_reports.Count(failed), 1);
    EXPECT_TRUE(m_reports.Has(failed + ": The connection was lost; trying again in 1 s"));
    m_client.reset();
    done = true;
    closer.join();

    TempDir keys;
    const std::string ca = (keys / "ca.pem").string();
    RunToEnd({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
              (keys / "ca.key").string(), "-out", ca, "-days", "2", "-subj", "/CN=Test CA"});
    Broker plain;
    ASSERT_TRUE(plain.Started());
    MqttOptions tls = Options(plain.Port());
    tls.tls = true;
    tls.caFile = ca;
    StartClient(tls);
    const std::string tlsFailed =
        "MQTT: cannot connect to 127.0.0.1:" + std::to_string(plain.Port());
    EXPECT_TRUE(WaitUntil([&] { return m_reports.Has(tlsFailed); }));
    EXPECT_TRUE(WaitUntil([&] {
        return m_client->StatusText().find("; trying again in 2 s") != std::string::npos;
    })) << m_client->StatusText();
    EXPECT_EQ(m_reports.Count(tlsFailed), 1);
    EXPECT_FALSE(m_client->IsConnected());
}
