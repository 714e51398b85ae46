// The alarm service on a station polling the libmodbus simulator, while an independent
// Modbus client (pymodbus) changes the register: raised, acknowledged, cleared, returned,
// deadband, delay, presets and failed writes, a stopped slave, shelving and a restart, each
// followed in the journal files.
#include "AlarmService.h"
#include "PeerSupport.h"
#include "TagVocabulary.h"
#include "ValueText.h"
#include "WriteValue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

using namespace halvane;
using namespace peers;

namespace {

const std::string kSimulator = HALVANE_SIM;
constexpr int kHoldingRegisters = 2; // the tag editor's function index

class AlarmServicePeerTest : public ::testing::Test, protected Station {
protected:
    void SetUp() override {
        m_port = FreePort();
        m_sim = std::make_unique<Child>(
            std::vector<std::string>{kSimulator, "--tcp", "127.0.0.1:" + std::to_string(m_port),
                                     "--units", "1", "--static"});
        UseNetwork(m_port, 300);
        TDataChannel level = Tag(kNetworkConnection, 1, kHoldingRegisters, 0);
        level.Name = "Tank level";
        level.Unit = "%";
        level.Format = "%0.0f";
        level.EnableAlert = true;
        level.HighThreshold = 90;
        level.LowThreshold = 10;
        TDataChannel setpoint = Tag(kNetworkConnection, 1, kFunctionWriteRegister, 1);
        setpoint.Name = "Speed setpoint";
        m_tags.Assign({level, setpoint});
        m_connections = std::make_unique<Connections>(m_tags, *m_store, nullptr);
        ASSERT_TRUE(Start(*m_connections).problems.empty());
        SetRegister(50);
    }
    void TearDown() override {
        m_service.reset();
        m_connections->Shutdown();
    }

    AlarmOptions Options(double commDelay = 0) const {
        AlarmOptions options;
        options.commDelaySeconds = commDelay;
        options.journalFolder = m_dir / "events";
        options.stateFile = m_dir / "alarms.state";
        return options;
    }
    void StartService(double commDelay = 0) {
        m_service = std::make_unique<AlarmService>(m_tags, Options(commDelay));
        m_service->Configure({false, false, false, false, true}, false);
        m_service->Start();
    }

    // The independent client: pymodbus writes holding register 0 of unit 1.
    void SetRegister(int value) const {
        const std::string script = "from pymodbus.client import ModbusTcpClient\n"
                                   "c = ModbusTcpClient('127.0.0.1', port=" +
                                   std::to_string(m_port) +
                                   ")\n"
                                   "assert c.connect()\n"
                                   "assert not c.write_register(0, " +
                                   std::to_string(value) + ", slave=1).isError()\n";
        ASSERT_EQ(std::system(("/usr/bin/python3 -c \"" + script + "\"").c_str()), 0);
    }
    // Polls until the tag at `index` is as `done` wants it, then waits until the service
    // has judged what was stored.
    void PollUntil(size_t index, const std::function<bool(const TDataChannel&)>& done) {
        for (int turn = 0; turn < 250 && !done(m_tags.Snapshot(index)); ++turn) {
            m_connections->PollNext(kNetworkConnection);
            std::this_thread::sleep_for(20ms);
        }
        EXPECT_TRUE(done(m_tags.Snapshot(index))) << m_tags.Snapshot(index).Status;
        m_service->Flush();
    }
    void Set(int value) {
        SetRegister(value);
        PollUntil(
            0, [&](const TDataChannel& tag) { return tag.ValueValid && tag.RealValue == value; });
    }
    void PollFailure() {
        PollUntil(
            0, [](const TDataChannel& tag) { return !tag.ValueValid && tag.Status != "Unknown"; });
    }

    // The events of today's journal as "event tag user source", one per line.
    std::string Journal() const {
        const JournalReadResult read =
            ReadJournal(m_dir / "events", 0, std::numeric_limits<LocalMsecs>::max());
        std::string lines;
        for (const JournalEvent& event : read.events)
            lines += event.event + " " + (event.tag ? std::to_string(*event.tag) : "-") + " " +
                     event.user + " " + event.source + "\n";
        return lines;
    }
    AlarmListState StateOfLevel(AlarmKind kind = AlarmKind::High) const {
        const auto alarms = m_service->Alarms(true);
        const auto found = std::ranges::find_if(
            alarms, [&](const AlarmInfo& a) { return a.tagIndex == 0 && a.kind == kind; });
        return found == alarms.end() ? AlarmListState(-1) : found->state;
    }

    int m_port = 0;
    std::unique_ptr<Child> m_sim;
    std::unique_ptr<Connections> m_connections;
    std::unique_ptr<AlarmService> m_service;
};

} // namespace

TEST_F(AlarmServicePeerTest, ALimitAlarmGoesThroughItsStatesAndTheJournal) {
    StartService();
    Set(50);
    EXPECT_TRUE(m_service->Alarms(false).empty());

    Set(95);
    EXPECT_EQ(StateOfLevel(), AlarmListState::Unacknowledged);
    const auto raised = m_service->Alarms(false).front();
    EXPECT_EQ(raised.text, "High: 95 % > 90 %");
    EXPECT_EQ(m_service->Acknowledge(0, AlarmKind::High, {"", "station"}), 1u);
    EXPECT_EQ(StateOfLevel(), AlarmListState::Acknowledged);
    Set(50);
    EXPECT_TRUE(m_service->Alarms(false).empty());

    Set(96); // raised again, returns unacknowledged, stays listed until acknowledged
    Set(40);
    EXPECT_EQ(StateOfLevel(), AlarmListState::Returned);
    Set(97); // active again while returned
    EXPECT_EQ(StateOfLevel(), AlarmListState::Unacknowledged);
    Set(40);
    EXPECT_EQ(m_service->AcknowledgeTag(0, {"", "mqtt"}), 1u);
    EXPECT_TRUE(m_service->Alarms(false).empty());

    EXPECT_EQ(Journal(), "raised 1  \n"
                         "acknowledged 1  station\n"
                         "cleared 1  \n"
                         "raised 1  \n"
                         "returned 1  \n"
                         "raised 1  \n"
                         "returned 1  \n"
                         "cleared 1  mqtt\n");
}

TEST_F(AlarmServicePeerTest, DeadbandAndDelayKeepAChatteringLevelQuiet) {
    m_tags.Update(0, [](TDataChannel& tag) {
        tag.AlarmDeadband = 5;
        tag.AlarmDelay = 1;
    });
    StartService();
    Set(95);
    EXPECT_TRUE(m_service->Alarms(false).empty()); // waits for its delay
    Set(50);                                       // gone before it: nothing raised
    Set(95);
    std::this_thread::sleep_for(1500ms); // no new reading: the service looks again by itself
    m_service->Flush();
    EXPECT_EQ(StateOfLevel(), AlarmListState::Unacknowledged);
    m_service->Acknowledge(0, AlarmKind::High, {});
    Set(88); // below the limit, inside the deadband: still active
    EXPECT_EQ(StateOfLevel(), AlarmListState::Acknowledged);
    Set(84);
    EXPECT_TRUE(m_service->Alarms(false).empty());
    EXPECT_EQ(Journal(), "raised 1  \nacknowledged 1  station\ncleared 1  \n");
}

TEST_F(AlarmServicePeerTest, AStoppedSlaveRaisesACommunicationAlarmAfterItsDelay) {
    StartService(0.5);
    Set(50);
    m_sim->Stop();
    PollFailure();
    EXPECT_TRUE(m_service->Alarms(false).empty());
    std::this_thread::sleep_for(1200ms);
    m_service->Flush();
    ASSERT_EQ(StateOfLevel(AlarmKind::Communication), AlarmListState::Unacknowledged);
    const AlarmInfo alarm = m_service->Alarms(false).front();
    EXPECT_TRUE(alarm.text.starts_with("No communication: ")) << alarm.text;
}

TEST_F(AlarmServicePeerTest, PresetsAndFailedWritesAreJournaledOncePerTransition) {
    StartService();
    ASSERT_EQ(PresetValue(m_tags, *m_store, 1, 42, WriteSource::Mqtt), PresetOutcome::Stored);
    PollUntil(1, [](const TDataChannel& tag) { return tag.ValueValid; });
    // A register the slave does not have: every write is refused the same way.
    m_tags.Update(1, [](TDataChannel& tag) { tag.RegisterAddr = 500; });
    ASSERT_EQ(PresetValue(m_tags, *m_store, 1, 43), PresetOutcome::Stored);
    PollUntil(1, [](const TDataChannel& tag) { return tag.Status.starts_with("Exception"); });
    for (int turn = 0; turn < 6; ++turn) {
        m_connections->PollNext(kNetworkConnection);
        std::this_thread::sleep_for(20ms);
    }
    m_service->Flush();
    const JournalReadResult read =
        ReadJournal(m_dir / "events", 0, std::numeric_limits<LocalMsecs>::max());
    std::vector<std::string> lines;
    for (const JournalEvent& event : read.events)
        lines.push_back(event.event + " " + event.name + " " +
                        FormatValue("%g", event.value.value_or(-1)) + " " + event.source);
    ASSERT_EQ(lines.size(), 3u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "write Speed setpoint 42 mqtt");
    EXPECT_EQ(lines[1], "write Speed setpoint 43 station");
    EXPECT_EQ(lines[2], "write-failed Speed setpoint 43 ");
}

TEST_F(AlarmServicePeerTest, ShelvingAndAcknowledgementOutliveARestart) {
    StartService();
    Set(95);
    m_service->Acknowledge(0, AlarmKind::High, {"", "station"});
    m_tags.Update(0, [](TDataChannel& tag) { tag.LowThreshold = 60; });
    Set(55); // the high alarm clears; a low one comes, and is shelved
    ASSERT_EQ(StateOfLevel(AlarmKind::Low), AlarmListState::Unacknowledged);
    const auto until = std::chrono::system_clock::now() + std::chrono::hours(1);
    EXPECT_EQ(m_service->Shelve(0, AlarmKind::Low, until, "pump service", {}), 1u);
    m_tags.Update(0, [](TDataChannel& tag) { tag.LowThreshold = 10; });
    Set(95);
    m_service->Acknowledge(0, AlarmKind::High, {});
    const std::string before = Journal();
    m_service.reset(); // the station stops

    StartService(); // and starts again with the alarm still active
    Set(96);
    EXPECT_EQ(StateOfLevel(), AlarmListState::Acknowledged);
    EXPECT_EQ(StateOfLevel(AlarmKind::Low), AlarmListState::Shelved);
    EXPECT_EQ(m_service->Counts().unacknowledged, 0u);
    EXPECT_EQ(Journal(), before); // nothing raised again
}
