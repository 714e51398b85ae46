// Outputs against real slaves: Write Multiple Registers of every wide type in every byte
// order, checked in the slave's own registers through a libmodbus client and read back
// through a read tag; a multiple write that the slave refuses or echoes wrongly;
// connections that write only when a value is set, beside cyclic ones; and the read-back
// of what such a connection's outputs hold.
#include "FrameBytes.h"
#include "OtherMaster.h"
#include "PeerSupport.h"
#include "TraceLine.h"
#include "TraceSink.h"
#include "WriteValue.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <mutex>

using namespace halvane;
using namespace peers;

namespace {

const std::string kSimulator = HALVANE_SIM;

struct ByteOrder {
    bool reverse = false;
    bool swapBytes = false;
    bool swapWords = false;
    bool swapDWords = false;
};

std::string Describe(ByteOrder o) {
    return std::string(o.reverse ? "R" : "-") + (o.swapBytes ? "B" : "-") +
           (o.swapWords ? "W" : "-") + (o.swapDWords ? "D" : "-");
}

// What the registers must hold: a reading takes the registers most significant first and
// each byte-order option exchanges the bytes whose positions differ in one bit (all bits
// below the length for "reverse"), so a write puts the value's byte i at the position
// that a reading takes it from.
std::vector<uint8_t> ExpectedRegisters(int dataType, ByteOrder order, double value) {
    std::array<uint8_t, 8> value_le{};
    size_t length = 4;
    uint64_t bits = 0;
    if (dataType == 101) {
        bits = std::bit_cast<uint32_t>(static_cast<float>(value));
    } else if (dataType == 102) {
        bits = std::bit_cast<uint64_t>(value);
        length = 8;
    } else {
        bits = static_cast<uint32_t>(static_cast<int64_t>(value));
    }
    for (size_t i = 0; i < value_le.size(); ++i)
        value_le[i] = static_cast<uint8_t>(bits >> (8 * i));
    const size_t flip = (order.reverse ? length - 1 : 0) ^ (order.swapBytes ? 1 : 0) ^
                        (order.swapWords ? 2 : 0) ^ (order.swapDWords && length == 8 ? 4 : 0);
    std::vector<uint8_t> wire(length);
    for (size_t j = 0; j < length; ++j)
        wire[j] = value_le[(length - 1 - j) ^ flip];
    return wire;
}

TDataChannel Ordered(TDataChannel tag, ByteOrder order) {
    tag.ReverseOrder = order.reverse;
    tag.SwapBytes = order.swapBytes;
    tag.SwapWords = order.swapWords;
    tag.SwapDWords = order.swapDWords;
    tag.Signed = true;
    return tag;
}

struct WideCase {
    int dataType;
    ByteOrder order;
    double value;
};

std::vector<WideCase> WideCases() {
    std::vector<WideCase> cases;
    for (const auto& [dataType, value] : std::vector<std::pair<int, double>>{
             {2, -123456789}, {101, -12345.671875}, {102, -98765.4321}})
        for (int bits = 0; bits < 16; ++bits)
            cases.push_back({dataType,
                             {(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0},
                             value});
    return cases;
}

constexpr int kWriteRegister = 90; // inside both slaves' maps
constexpr int kTestCoil = 100;

// A slave with its TCP port for the other master; the station reaches it over TCP or, for
// the simulator, over RTU on a pty pair as well.
class WriteTest : public ::testing::TestWithParam<std::string>, protected Station {
protected:
    int StartSlave() {
        m_slavePort = FreePort();
        const std::string tcp = "127.0.0.1:" + std::to_string(m_slavePort);
        if (GetParam() == "pymodbus") {
            m_slave = std::make_unique<Child>(
                std::vector<std::string>{"/usr/bin/python3", kPeersDir + "/modbus_slave.py",
                                         "--tcp", std::to_string(m_slavePort)});
            UseNetwork(m_slavePort);
            return kNetworkConnection;
        }
        if (GetParam() == "sim-tcp") {
            m_slave = std::make_unique<Child>(
                std::vector<std::string>{kSimulator, "--tcp", tcp, "--units", "1,2", "--static"});
            UseNetwork(m_slavePort);
            return kNetworkConnection;
        }
        m_pty = std::make_unique<PtyPair>(m_dir.Path());
        m_slave = std::make_unique<Child>(std::vector<std::string>{
            kSimulator, "--tcp", tcp, "--rtu", m_pty->PeerEnd(), "--units", "1,2", "--static"});
        UseSerial(m_pty->StationEnd(), 1, 1000);
        return 1;
    }
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<Child> m_slave;
    int m_slavePort = 0;
};

} // namespace

TEST_P(WriteTest, WideTypesLandInTheSlaveInEveryByteOrderAndReadBack) {
    const int connection = StartSlave();
    const std::vector<WideCase> cases = WideCases();
    std::vector<TDataChannel> tags;
    for (const WideCase& c : cases) {
        TDataChannel write = Ordered(Tag(connection, 1, 6, kWriteRegister, c.dataType), c.order);
        write.RealValue = c.value;
        tags.push_back(write);
        tags.push_back(Ordered(Tag(connection, 1, 2, kWriteRegister, c.dataType), c.order));
    }
    m_tags.Assign(tags);
    Connections connections(m_tags, *m_store, nullptr);
    ASSERT_TRUE(Start(connections).problems.empty());
    OtherMaster other(m_slavePort);
    if (connection != kNetworkConnection)
        std::this_thread::sleep_for(300ms); // the simulator's serial side opens its end

    for (const WideCase& c : cases) {
        SCOPED_TRACE(GetParam() + " type " + std::to_string(c.dataType) + " " + Describe(c.order));
        const TDataChannel written = PollAndWait(connections, connection);
        ASSERT_TRUE(written.ValueValid) << written.Status;
        const auto expected = ExpectedRegisters(c.dataType, c.order, c.value);
        EXPECT_EQ(other.RegisterBytes(1, kWriteRegister, static_cast<int>(expected.size()) / 2),
                  expected);
        const TDataChannel read = PollAndWait(connections, connection);
        ASSERT_TRUE(read.ValueValid) << read.Status;
        EXPECT_EQ(read.RawValue, c.dataType == 101 ? double(float(c.value)) : c.value);
    }
}

TEST_P(WriteTest, AMultipleWriteBeyondTheMapIsAnException) {
    const int connection = StartSlave();
    TDataChannel write = Tag(connection, 1, 6, 500, 101);
    write.RealValue = 1.5;
    m_tags.Assign({write});
    Connections connections(m_tags, *m_store, nullptr);
    ASSERT_TRUE(Start(connections).problems.empty());
    if (connection != kNetworkConnection)
        std::this_thread::sleep_for(300ms);
    EXPECT_EQ(PollAndWait(connections, connection).Status, "Exception code 02");
}

namespace {

// The request's bytes common to every framing: slave, function, address, count or value.
std::vector<uint8_t> RequestCore(const TracedFrames::Frame& frame, bool tcp) {
    const auto start = frame.begin() + (tcp ? 6 : 0);
    return {start, start + std::min<ptrdiff_t>(6, frame.end() - start)};
}

std::vector<std::vector<uint8_t>> SentCores(const TracedFrames& trace, int connection) {
    std::vector<std::vector<uint8_t>> cores;
    for (const auto& frame : trace.Sent())
        cores.push_back(RequestCore(frame, connection == kNetworkConnection));
    return cores;
}

std::vector<std::vector<uint8_t>> Cores(std::initializer_list<std::string_view> texts) {
    std::vector<std::vector<uint8_t>> cores;
    for (const std::string_view text : texts)
        cores.push_back(test::Hex(text));
    return cores;
}

// An output tag that a start loads with its last preset.
TDataChannel Output(int connection, int function, int reg, double lastPreset) {
    TDataChannel tag = Tag(connection, 1, function, reg);
    tag.RealValue = tag.DefaultValue = lastPreset;
    return tag;
}

} // namespace

TEST_P(WriteTest, ASetpointShowsWhatAnotherMasterWroteUntilAPresetOverridesIt) {
    const int connection = StartSlave();
    m_store->WriteInteger(ConnectionSection(connection), "writeMode", 1);
    m_tags.Assign({Output(connection, 5, kWriteRegister, 10)});
    OtherMaster other(m_slavePort);
    ASSERT_TRUE(other.SetRegister(1, kWriteRegister, 4321));
    TracedFrames trace;
    Connections connections(m_tags, *m_store, &trace);
    ASSERT_TRUE(Start(connections).problems.empty());
    if (connection != kNetworkConnection)
        std::this_thread::sleep_for(300ms);

    TDataChannel shown = PollAndWait(connections, connection);
    EXPECT_TRUE(shown.ValueValid) << shown.Status;
    EXPECT_EQ(shown.RealValue, 4321) << "not the last preset: the device's value";

    ASSERT_EQ(PresetValue(m_tags, *m_store, 0, 777), PresetOutcome::Stored);
    EXPECT_TRUE(PollAndWait(connections, connection).ValueValid);
    EXPECT_EQ(other.RegisterBytes(1, kWriteRegister, 1), test::Hex("03 09"));
    shown = PollAndWait(connections, connection);
    EXPECT_TRUE(shown.ValueValid) << shown.Status;
    EXPECT_EQ(shown.RealValue, 777);

    // Written once: what the other master sets next is shown, not overwritten.
    ASSERT_TRUE(other.SetRegister(1, kWriteRegister, 5));
    EXPECT_EQ(PollAndWait(connections, connection).RealValue, 5);
    EXPECT_EQ(other.RegisterBytes(1, kWriteRegister, 1), test::Hex("00 05"));
    EXPECT_EQ(SentCores(trace, connection), Cores({"01 03 00 5A 00 01", "01 06 00 5A 03 09",
                                                   "01 03 00 5A 00 01", "01 03 00 5A 00 01"}));
}

// Read-backs share the blocks of the reads around them; a preset in a block is written
// before the block is read again. Cyclic writing keeps its frames.
TEST_P(WriteTest, ReadBacksJoinTheBlocksOfTheirNeighbours) {
    const int connection = StartSlave();
    m_store->WriteInteger(ConnectionSection(connection), "combine", 1);
    m_store->WriteInteger(ConnectionSection(connection), "writeMode", 1);
    // Both slaves start with coil 91 off, unlike its last preset.
    const std::vector<TDataChannel> table{
        Tag(connection, 1, 2, 88), Output(connection, 5, kWriteRegister, 10),
        Tag(connection, 1, 2, 91), Tag(connection, 1, 0, 89), Output(connection, 4, 91, 1)};
    m_tags.Assign(table);
    OtherMaster other(m_slavePort);
    ASSERT_TRUE(other.SetRegister(1, kWriteRegister, 4321));
    if (connection != kNetworkConnection)
        std::this_thread::sleep_for(300ms);
    {
        TracedFrames trace;
        Connections connections(m_tags, *m_store, &trace);
        ASSERT_TRUE(Start(connections).problems.empty());
        PollTurns(connections, connection, 2);
        for (const TDataChannel& tag : m_tags.SnapshotAll())
            EXPECT_TRUE(tag.ValueValid) << tag.RegisterAddr << ": " << tag.Status;
        EXPECT_EQ(m_tags.Snapshot(1).RealValue, 4321);
        EXPECT_EQ(m_tags.Snapshot(4).RealValue, 0);

        ASSERT_EQ(PresetValue(m_tags, *m_store, 1, 777), PresetOutcome::Stored);
        PollTurns(connections, connection, 3);
        EXPECT_EQ(m_tags.Snapshot(1).RealValue, 777);
        EXPECT_TRUE(m_tags.Snapshot(1).ValueValid) << m_tags.Snapshot(1).Status;
        EXPECT_EQ(other.RegisterBytes(1, kWriteRegister, 1), test::Hex("03 09"));
        EXPECT_EQ(SentCores(trace, connection),
                  Cores({"01 03 00 58 00 04", "01 01 00 59 00 03", "01 06 00 5A 03 09",
                         "01 03 00 58 00 04", "01 01 00 59 00 03"}));
    }

    SCOPED_TRACE("cyclic");
    m_store->WriteInteger(ConnectionSection(connection), "writeMode", 0);
    m_tags.Assign(table);
    TracedFrames trace;
    Connections connections(m_tags, *m_store, &trace);
    ASSERT_TRUE(Start(connections).problems.empty());
    PollTurns(connections, connection, 4);
    EXPECT_EQ(SentCores(trace, connection), Cores({"01 03 00 58 00 04", "01 06 00 5A 00 0A",
                                                   "01 01 00 59 00 01", "01 05 00 5B FF 00"}));
}

INSTANTIATE_TEST_SUITE_P(Slaves, WriteTest, ::testing::Values("sim-tcp", "sim-rtu", "pymodbus"));

namespace {

// The simulator behind the fault proxy, which spoils the replies in `mode`.
class EchoTest : public ::testing::TestWithParam<std::pair<std::string, std::string>>,
                 protected Station {};

} // namespace

TEST_P(EchoTest, AWrongEchoIsNoSuccess) {
    const auto& [mode, status] = GetParam();
    const int simPort = FreePort();
    const int proxyPort = FreePort();
    Child sim({kSimulator, "--tcp", "127.0.0.1:" + std::to_string(simPort), "--units", "1,2",
               "--static"});
    std::this_thread::sleep_for(200ms);
    Child proxy({"/usr/bin/python3", kPeersDir + "/fault_proxy.py", std::to_string(proxyPort),
                 std::to_string(simPort), mode});
    UseNetwork(proxyPort);
    TDataChannel write = Tag(kNetworkConnection, 1, 6, kWriteRegister, 2);
    write.RealValue = 70000;
    m_tags.Assign({write});
    Connections connections(m_tags, *m_store, nullptr);
    ASSERT_TRUE(Start(connections).problems.empty());
    EXPECT_EQ(PollAndWait(connections, kNetworkConnection).Status, status) << mode;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, EchoTest,
    ::testing::Values(std::pair<std::string, std::string>{"reecho", "Read: Invalid echo"},
                      std::pair<std::string, std::string>{"readdress",
                                                          "Read: Invalid module address"}));

namespace {

// The request frames of one connection, as the monitor would show them.
class SentFrames final : public TraceSink {
public:
    bool Accepting() const override { return true; }
    void Append(std::string line) override {
        if (line.find(" TX: ") == std::string::npos)
            return;
        std::lock_guard lock(m_mutex);
        m_lines.push_back(std::move(line));
    }
    std::vector<std::string> Take() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_lines, {});
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// The frame of a trace line without the TCP transaction identifier, which is random.
std::string WithoutTransactionId(const std::string& line) {
    const size_t bytes = line.find(" TX: ") + 5;
    return line.substr(0, bytes) + line.substr(bytes + 6, line.find('\t') - bytes - 6);
}

// A pump command coil that the station writes, beside a level it reads, on the
// simulator; the other master plays the local panel.
class WriteModeTest : public ::testing::Test, protected Station {
protected:
    void StartPlant(bool onlyWhenSet) {
        m_port = FreePort();
        StartSimulator();
        UseNetwork(m_port);
        m_store->WriteInteger("Ethernet.1", "reconnect", 1);
        if (onlyWhenSet) { // as the demo project has it: reads combined too
            m_store->WriteInteger("Ethernet.1", "writeMode", 1);
            m_store->WriteInteger("Ethernet.1", "combine", 1);
        }
        TDataChannel pump = Tag(kNetworkConnection, 1, 4, kTestCoil, 20);
        pump.RealValue = pump.DefaultValue = 1; // the last preset, as a start loads it
        m_tags.Assign({pump, Tag(kNetworkConnection, 1, 3, 101)});
        m_other = std::make_unique<OtherMaster>(m_port);
        ASSERT_TRUE(m_other->SetCoil(1, kTestCoil, false));
        m_connections = std::make_unique<Connections>(m_tags, *m_store, &m_frames);
        ASSERT_TRUE(Start(*m_connections).problems.empty());
    }
    void StartSimulator() {
        m_sim = std::make_unique<Child>(
            std::vector<std::string>{kSimulator, "--tcp", "127.0.0.1:" + std::to_string(m_port),
                                     "--units", "1", "--static"});
    }
    // Poll steps 50 ms apart, as the poll timer makes them.
    void Poll(int ticks) {
        for (int i = 0; i < ticks; ++i) {
            m_connections->PollNext(kNetworkConnection);
            std::this_thread::sleep_for(50ms);
        }
    }
    // Poll steps until `done`, for at most 20 s.
    template <typename Done> bool PollUntil(Done done) {
        for (int i = 0; i < 400; ++i) {
            if (done())
                return true;
            Poll(1);
        }
        return done();
    }
    TDataChannel Pump() const { return m_tags.Snapshot(0); }

    int m_port = 0;
    std::unique_ptr<Child> m_sim;
    std::unique_ptr<OtherMaster> m_other;
    SentFrames m_frames;
    std::unique_ptr<Connections> m_connections;
};

} // namespace

TEST_F(WriteModeTest, CyclicWritesOverrideTheLocalPanelAtEveryTurn) {
    StartPlant(false);
    Poll(6);
    // Strict round robin from the first tag: the write, then the read, as ever.
    std::vector<std::string> frames = m_frames.Take();
    ASSERT_GE(frames.size(), 6U);
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(WithoutTransactionId(frames[i]).substr(0, 26),
                  i % 2 == 0 ? "4 TX: 00 00 00 06 01 05 00" : "4 TX: 00 00 00 06 01 04 00")
            << frames[i];
    // The last preset is written at start, and again over the panel's switch.
    EXPECT_EQ(m_other->Coil(1, kTestCoil), 1);
    ASSERT_TRUE(m_other->SetCoil(1, kTestCoil, false));
    EXPECT_TRUE(PollUntil([&] { return m_other->Coil(1, kTestCoil) == 1; }));
}

TEST_F(WriteModeTest, OnlyWhatTheOperatorSetIsWrittenAndAFailedWriteIsRetried) {
    StartPlant(true);
    Poll(4);
    EXPECT_EQ(m_other->Coil(1, kTestCoil), 0) << "nothing is written at start";
    EXPECT_EQ(Pump().Status, "Unknown");
    ASSERT_TRUE(m_other->SetCoil(1, kTestCoil, true)); // switched on at the local panel
    Poll(4);
    EXPECT_EQ(m_other->Coil(1, kTestCoil), 1);
    for (const std::string& frame : m_frames.Take())
        EXPECT_NE(WithoutTransactionId(frame).substr(21, 2), "05") << frame; // no coil written

    // The operator switches it off: written once, then left alone.
    ASSERT_EQ(PresetValue(m_tags, *m_store, 0, 0), PresetOutcome::Stored);
    EXPECT_EQ(Pump().Status, "Pending write");
    EXPECT_TRUE(PollUntil([&] { return Pump().ValueValid; })) << Pump().Status;
    EXPECT_EQ(m_other->Coil(1, kTestCoil), 0);
    ASSERT_TRUE(m_other->SetCoil(1, kTestCoil, true));
    Poll(4);
    EXPECT_EQ(m_other->Coil(1, kTestCoil), 1);

    // A write that fails waits for the link to come back, then goes through.
    m_sim->Stop();
    m_other.reset();
    ASSERT_EQ(PresetValue(m_tags, *m_store, 0, 0), PresetOutcome::Stored);
    EXPECT_TRUE(PollUntil([&] { return Pump().Status != "Pending write"; }));
    EXPECT_FALSE(Pump().ValueValid);
    EXPECT_TRUE(m_tags.WritePending(0));
    StartSimulator(); // a fresh start: its coil is off again
    OtherMaster panel(m_port);
    ASSERT_TRUE(panel.SetCoil(1, kTestCoil, true));
    EXPECT_TRUE(PollUntil([&] { return Pump().ValueValid; })) << Pump().Status;
    EXPECT_FALSE(m_tags.WritePending(0));
    EXPECT_EQ(panel.Coil(1, kTestCoil), 0);
}

namespace {

// A pymodbus slave whose holding register kWriteRegister can be written but not read.
class RefusedReadBackTest : public ::testing::TestWithParam<bool>, protected Station {
protected:
    void SetUp() override {
        m_port = FreePort();
        m_slave = std::make_unique<Child>(std::vector<std::string>{
            "/usr/bin/python3", kPeersDir + "/modbus_slave.py", "--tcp", std::to_string(m_port),
            "--write-only", std::to_string(kWriteRegister)});
        UseNetwork(m_port);
        m_store->WriteInteger("Ethernet.1", "writeMode", 1);
        m_store->WriteInteger("Ethernet.1", "combine", GetParam() ? 1 : 0);
        m_tags.Assign({Tag(kNetworkConnection, 1, 2, kWriteRegister - 1),
                       Output(kNetworkConnection, 5, kWriteRegister, 10),
                       Tag(kNetworkConnection, 1, 2, kWriteRegister + 1)});
    }
    // Whether a request read the refused register.
    bool ReadTheRegister(const TracedFrames& trace) const {
        for (const auto& core : SentCores(trace, kNetworkConnection)) {
            const int start = core[2] << 8 | core[3];
            const int count = core[4] << 8 | core[5];
            if (core[1] == 3 && start <= kWriteRegister && kWriteRegister < start + count)
                return true;
        }
        return false;
    }

    int m_port = 0;
    std::unique_ptr<Child> m_slave;
};

} // namespace

TEST_P(RefusedReadBackTest, TheTagShowsItsPresetWithoutFurtherReadsUntilARestart) {
    TracedFrames trace;
    Connections connections(m_tags, *m_store, &trace);
    ASSERT_TRUE(Start(connections).problems.empty());
    PollTurns(connections, kNetworkConnection, 6); // combined: the block splits first
    TDataChannel setpoint = m_tags.Snapshot(1);
    EXPECT_EQ(setpoint.Status, "Read-back refused");
    EXPECT_FALSE(setpoint.ValueValid);
    EXPECT_EQ(setpoint.RealValue, 10);
    EXPECT_TRUE(ReadTheRegister(trace));

    trace.Clear();
    PollTurns(connections, kNetworkConnection, 6);
    EXPECT_FALSE(ReadTheRegister(trace)) << "refused once, not asked again";
    EXPECT_TRUE(m_tags.Snapshot(0).ValueValid) << m_tags.Snapshot(0).Status;
    EXPECT_TRUE(m_tags.Snapshot(2).ValueValid) << m_tags.Snapshot(2).Status;

    // A preset is still written, and then shown as it was set.
    ASSERT_EQ(PresetValue(m_tags, *m_store, 1, 20), PresetOutcome::Stored);
    for (int tick = 0; tick < 40; ++tick) { // written, then passed over
        connections.PollNext(kNetworkConnection);
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_FALSE(m_tags.WritePending(1));
    setpoint = m_tags.Snapshot(1);
    EXPECT_TRUE(setpoint.ValueValid) << setpoint.Status;
    EXPECT_EQ(setpoint.RealValue, 20);
    EXPECT_FALSE(ReadTheRegister(trace));

    // A restart tries again.
    connections.Shutdown();
    trace.Clear();
    ASSERT_TRUE(Start(connections).problems.empty());
    PollTurns(connections, kNetworkConnection, 6);
    EXPECT_TRUE(ReadTheRegister(trace));
    EXPECT_EQ(m_tags.Snapshot(1).Status, "Read-back refused");
}

INSTANTIATE_TEST_SUITE_P(Combine, RefusedReadBackTest, ::testing::Bool());
