// Outputs against real slaves: Write Multiple Registers of every wide type in every byte
// order, checked in the slave's own registers through a libmodbus client and read back
// through a read tag; a multiple write that the slave refuses or echoes wrongly; and
// connections that write only when a value is set, beside cyclic ones.
#include "PeerSupport.h"
#include "TraceLine.h"
#include "TraceSink.h"
#include "WriteValue.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <array>
#include <bit>
#include <mutex>

using namespace halvane;
using namespace peers;

namespace {

const std::string kSimulator = HALVANE_SIM;

// Another master on the slave's TCP port (libmodbus): what a local panel or a SCADA
// next door does, and an independent look at the slave's memory.
class OtherMaster final {
public:
    explicit OtherMaster(int port) : m_context(modbus_new_tcp("127.0.0.1", port)) {
        modbus_set_response_timeout(m_context, 2, 0);
        for (int attempt = 0; attempt < 100 && modbus_connect(m_context) != 0; ++attempt)
            std::this_thread::sleep_for(50ms);
    }
    ~OtherMaster() {
        modbus_close(m_context);
        modbus_free(m_context);
    }
    OtherMaster(const OtherMaster&) = delete;
    OtherMaster& operator=(const OtherMaster&) = delete;

    // The registers' bytes as they are on the wire: each register's high byte first.
    std::vector<uint8_t> RegisterBytes(int unit, int address, int count) {
        std::vector<uint16_t> words(static_cast<size_t>(count));
        modbus_set_slave(m_context, unit);
        if (modbus_read_registers(m_context, address, count, words.data()) != count)
            return {};
        std::vector<uint8_t> bytes;
        for (const uint16_t word : words) {
            bytes.push_back(static_cast<uint8_t>(word >> 8));
            bytes.push_back(static_cast<uint8_t>(word));
        }
        return bytes;
    }
    int Coil(int unit, int address) {
        uint8_t bit = 0;
        modbus_set_slave(m_context, unit);
        return modbus_read_bits(m_context, address, 1, &bit) == 1 ? bit : -1;
    }
    bool SetCoil(int unit, int address, bool on) {
        modbus_set_slave(m_context, unit);
        return modbus_write_bit(m_context, address, on ? 1 : 0) == 1;
    }

private:
    modbus_t* m_context;
};

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
