// The connections against pymodbus, over TCP and over a pty pair made by socat (RTU and
// ASCII). Never our own framing on both ends.
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

class ConnectionsPeerTest : public ::testing::TestWithParam<std::string>, protected Station {};

} // namespace

TEST_P(ConnectionsPeerTest, ReadsAndWritesEveryFunctionAgainstPymodbus) {
    const std::string framing = GetParam();
    const std::string peer = kPeersDir + "/modbus_slave.py";
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<Child> slave;
    int connection = 1;
    if (framing == "tcp") {
        connection = kNetworkConnection;
        const int port = FreePort();
        slave = std::make_unique<Child>(
            std::vector<std::string>{"/usr/bin/python3", peer, "--tcp", std::to_string(port)});
        UseNetwork(port);
    } else {
        pty = std::make_unique<PtyPair>(m_dir.Path());
        slave = std::make_unique<Child>(
            std::vector<std::string>{"/usr/bin/python3", peer, "--" + framing, pty->PeerEnd()});
        UseSerial(pty->StationEnd(), framing == "rtu" ? 1 : 0);
    }
    const auto cases = Cases(connection);
    std::vector<TDataChannel> tags;
    for (const auto& c : cases)
        tags.push_back(c.tag);
    m_tags.Assign(tags);

    Connections connections(m_tags, *m_store, nullptr);
    const auto started = Start(connections);
    ASSERT_TRUE(started.problems.empty()) << started.problems.front().text;
    ASSERT_TRUE(connections.IsConnected(connection));
    if (framing != "tcp")
        std::this_thread::sleep_for(1500ms); // the serial peer starts after its device opens

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

INSTANTIATE_TEST_SUITE_P(Framings, ConnectionsPeerTest, ::testing::Values("tcp", "rtu", "ascii"));
