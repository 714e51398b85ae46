// The connections against pymodbus, over TCP and over a pty pair made by socat (RTU and
// ASCII). Never our own framing on both ends.
#include "FrameBytes.h"
#include "PeerSupport.h"

#include <gtest/gtest.h>

using namespace halvane;
using namespace peers;

namespace {

struct Expected {
    TDataChannel tag;
    bool valid;
    double value;
    const char* status;
};

// The pymodbus slave: holding register i = 1000 * unit + i, input register i =
// 2000 * unit + i, coil i = (i % 3 == 0), discrete input i = (i % 2 == 1).
std::vector<Expected> Cases(int port) {
    TDataChannel write = Tag(port, 1, 5, 10);
    write.RealValue = 1234;
    return {
        {Tag(port, 1, 2, 0), true, 1000, ""},
        {Tag(port, 2, 2, 0), true, 2000, ""},
        {Tag(port, 1, 3, 3), true, 2003, ""},
        {Tag(port, 1, 0, 3, 20), true, 1, ""},
        {Tag(port, 1, 0, 4, 20), true, 0, ""},
        {Tag(port, 2, 1, 1, 20), true, 1, ""},
        {Tag(port, 1, 2, 4, 2), true, 1004.0 * 65536 + 1005, ""},
        {write, true, 1234, ""},
        {Tag(port, 1, 2, 10), true, 1234, ""}, // the value written just before
        {Tag(port, 1, 2, 500), false, 0, "Exception code 02"},
    };
}

class ConnectionsPeerTest : public ::testing::TestWithParam<std::string>, protected Station {
protected:
    // The pymodbus slave in the framing of the test, with `options` of its own; the
    // connection that reaches it.
    int StartSlave(const std::vector<std::string>& options = {}) {
        std::vector<std::string> command{"/usr/bin/python3", kPeersDir + "/modbus_slave.py"};
        command.insert(command.end(), options.begin(), options.end());
        if (GetParam() == "tcp") {
            const int port = FreePort();
            command.insert(command.end(), {"--tcp", std::to_string(port)});
            m_slave = std::make_unique<Child>(command);
            UseNetwork(port);
            return kNetworkConnection;
        }
        m_pty = std::make_unique<PtyPair>(m_dir.Path());
        command.insert(command.end(), {"--" + GetParam(), m_pty->PeerEnd()});
        m_slave = std::make_unique<Child>(command);
        UseSerial(m_pty->StationEnd(), GetParam() == "rtu" ? 1 : 0);
        return 1;
    }
    // Starts the connections once the slave listens.
    void StartConnections(Connections& connections, int connection) {
        const auto started = Start(connections);
        ASSERT_TRUE(started.problems.empty()) << started.problems.front().text;
        ASSERT_TRUE(connections.IsConnected(connection));
        if (connection != kNetworkConnection)
            std::this_thread::sleep_for(1500ms); // the serial peer starts after its device opens
    }

    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<Child> m_slave;
};

} // namespace

TEST_P(ConnectionsPeerTest, ReadsAndWritesEveryFunctionAgainstPymodbus) {
    const std::string framing = GetParam();
    const int connection = StartSlave();
    const auto cases = Cases(connection);
    std::vector<TDataChannel> tags;
    for (const auto& c : cases)
        tags.push_back(c.tag);
    m_tags.Assign(tags);

    Connections connections(m_tags, *m_store, nullptr);
    StartConnections(connections, connection);

    for (size_t i = 0; i < cases.size(); ++i) {
        const auto tag = PollAndWait(connections, connection);
        SCOPED_TRACE(framing + " tag " + std::to_string(i));
        EXPECT_EQ(tag.ValueValid, cases[i].valid) << tag.Status;
        if (cases[i].valid)
            EXPECT_DOUBLE_EQ(tag.RealValue, cases[i].value);
        else
            EXPECT_EQ(tag.Status, cases[i].status);
    }
    connections.Shutdown();
    EXPECT_FALSE(connections.IsConnected(connection));
}

TEST_P(ConnectionsPeerTest, CombinedRequestsKeepToTheLimitsAndSplitAroundAHole) {
    constexpr int kSize = 2100;
    constexpr int kHole = 1500; // holding register 1500 of each unit is not mapped
    const int connection = StartSlave({"--size", std::to_string(kSize), "--hole", "1500"});
    m_store->WriteString(ConnectionSection(connection), "combine", "1");
    if (connection != kNetworkConnection) // 2000 coils in ASCII: 511 characters, 0.53 s
        m_store->WriteInteger(ConnectionSection(connection), "timeout", 3000);
    // Turns: the write; unit 1's registers 0..299 in blocks of 125, 125 and 50; unit 2's
    // 0..9; coils 0..2099 in blocks of 2000 and 100; 2050 read back; 1498..1502 around the
    // hole, which the slave refuses and the station halves (1498-1499, 1500-1502: refused,
    // 1500: refused, 1501-1502).
    TDataChannel write = Tag(connection, 1, 5, 2050);
    write.RealValue = 1234;
    std::vector<TDataChannel> table{write};
    std::vector<double> expected{1234};
    for (int address = 0; address < 300; ++address) {
        table.push_back(Tag(connection, 1, 2, address));
        expected.push_back(1000 + address);
    }
    for (int address = 0; address < 10; ++address) {
        table.push_back(Tag(connection, 2, 2, address));
        expected.push_back(2000 + address);
    }
    for (int address = 0; address < kSize; ++address) {
        table.push_back(Tag(connection, 1, 0, address, 20));
        expected.push_back(address % 3 == 0 ? 1 : 0);
    }
    table.push_back(Tag(connection, 1, 2, 2050));
    expected.push_back(1234);
    for (int address = kHole - 2; address <= kHole + 2; ++address) {
        table.push_back(Tag(connection, 1, 2, address));
        expected.push_back(1000 + address);
    }
    m_tags.Assign(table);
    TracedFrames trace;
    Connections connections(m_tags, *m_store, &trace);
    StartConnections(connections, connection);
    PollTurns(connections, connection, 9);
    connections.Shutdown();

    const auto tags = m_tags.SnapshotAll();
    for (size_t i = 0; i < tags.size(); ++i) {
        SCOPED_TRACE(GetParam() + ": tag " + std::to_string(i) + " at " +
                     std::to_string(table[i].RegisterAddr));
        if (table[i].Function == 2 && table[i].RegisterAddr == kHole) {
            EXPECT_EQ(tags[i].Status, "Exception code 02");
            continue;
        }
        ASSERT_TRUE(tags[i].ValueValid) << tags[i].Status;
        EXPECT_DOUBLE_EQ(tags[i].RealValue, expected[i]);
    }
    // The write went first, in its own turn; no read asked for more than one request may.
    const auto sent = trace.Sent();
    ASSERT_EQ(sent.size(), 13u);
    const size_t core = GetParam() == "tcp" ? 6 : 0;
    std::vector<std::pair<int, int>> reads; // function and quantity of each request
    for (auto frame : sent) {
        if (GetParam() == "ascii") // ':' and hexadecimal pairs
            frame = test::Hex(std::string(frame.begin() + 1, frame.end() - 4));
        reads.emplace_back(frame[core + 1], frame[core + 4] << 8 | frame[core + 5]);
    }
    const std::vector<std::pair<int, int>> expectedReads{
        {6, 1234}, {3, 125}, {3, 125}, {3, 50}, {3, 10}, {1, 2000}, {1, 100},
        {3, 1},    {3, 5},   {3, 2},   {3, 3},  {3, 1},  {3, 2}};
    EXPECT_EQ(reads, expectedReads);
}

INSTANTIATE_TEST_SUITE_P(Framings, ConnectionsPeerTest, ::testing::Values("tcp", "rtu", "ascii"));
