// The connections against the libmodbus simulator (every data type, both writes, wrong
// addresses, a stopped slave), against a proxy that hurts its replies (split, stale,
// foreign address, spoilt header, dropped link), and the start and stop sequences
// themselves (a stop cuts short a wait for a silent peer).
#include "FrameBytes.h"
#include "PeerSupport.h"
#include "RequestBlocks.h"
#include "TComPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <map>

using namespace halvane;
using namespace peers;

namespace {

const std::string kSimulator = HALVANE_SIM;

TDataChannel With(TDataChannel tag, bool TDataChannel::*flag) {
    tag.*flag = true;
    return tag;
}

struct Expected {
    const char* what;
    TDataChannel tag;
    double raw;
};

// The simulator's test block of unit `u` (addresses 100..115, the same in the holding
// and the input registers) read as every data type.
std::vector<Expected> TestBlock(int port, int u) {
    const auto bit = [](int pattern, int n) { return double((pattern >> n) & 1); };
    return {
        {"byte", Tag(port, u, 2, 100, 1), double(u)},
        {"word", Tag(port, u, 3, 101, 0), 12000.0 + u},
        {"signed word", With(Tag(port, u, 2, 102, 0), &TDataChannel::Signed), -(1000.0 + u)},
        {"double word AB CD", Tag(port, u, 3, 103, 2), 1000000.0 + u},
        {"double word CD AB", With(Tag(port, u, 2, 105, 2), &TDataChannel::SwapWords),
         1000000.0 + u},
        {"float AB CD", Tag(port, u, 2, 107, 101), 100.25 + u},
        {"float CD AB", With(Tag(port, u, 3, 109, 101), &TDataChannel::SwapWords), 100.25 + u},
        {"double", Tag(port, u, 2, 111, 102), 1234567.890625 + u},
        {"bit 2", Tag(port, u, 2, 115, 22), bit(0xA5 ^ u, 2)},
        {"bit 0", Tag(port, u, 2, 115, 20), bit(0xA5 ^ u, 0)},
        {"bit 6", Tag(port, u, 3, 115, 26), bit(0xA5 ^ u, 6)},
        {"coil 100", Tag(port, u, 0, 100, 20), bit(0xA5 ^ u, 0)},
        {"input 100", Tag(port, u, 1, 100, 20), bit(0x5A ^ u, 0)},
    };
}

class SimTest : public ::testing::TestWithParam<std::string>, protected Station {
protected:
    // The simulator over TCP or RTU (a pty pair), and the station's connection to it.
    int StartSimulator() {
        if (GetParam() == "tcp") {
            m_port = FreePort();
            m_sim = std::make_unique<Child>(
                std::vector<std::string>{kSimulator, "--tcp", "127.0.0.1:" + std::to_string(m_port),
                                         "--units", "1,2", "--static"});
            UseNetwork(m_port);
            return kNetworkConnection;
        }
        m_pty = std::make_unique<PtyPair>(m_dir.Path());
        m_sim = std::make_unique<Child>(std::vector<std::string>{
            kSimulator, "--rtu", m_pty->PeerEnd(), "--units", "1,2", "--static"});
        UseSerial(m_pty->StationEnd(), 1, 300);
        std::this_thread::sleep_for(300ms);
        return 1;
    }
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<Child> m_sim;
    int m_port = 0;
};

} // namespace

TEST_P(SimTest, EveryDataTypeBothWritesAndWrongAddresses) {
    const int connection = StartSimulator();
    std::vector<Expected> cases = TestBlock(connection, 1);
    for (const auto& c : TestBlock(connection, 2))
        cases.push_back(c);
    TDataChannel pump = Tag(connection, 1, 4, 0);
    pump.RealValue = 1;
    TDataChannel setpoint = Tag(connection, 2, 5, 0);
    setpoint.RealValue = 80;
    cases.push_back({"write coil", pump, 0xFF00}); // the raw value of a coil write is its bit image
    cases.push_back({"pump running", Tag(connection, 1, 1, 0, 20), 1});
    cases.push_back({"write register", setpoint, 80});
    cases.push_back({"setpoint read back", Tag(connection, 2, 2, 0), 80});
    std::vector<TDataChannel> tags;
    for (const auto& c : cases)
        tags.push_back(c.tag);
    tags.push_back(Tag(connection, 9, 2, 101)); // a slave nobody serves
    tags.push_back(Tag(connection, 1, 2, 300)); // beyond the map
    m_tags.Assign(tags);

    Connections connections(m_tags, *m_store, nullptr);
    ASSERT_TRUE(Start(connections).problems.empty());
    for (const Expected& c : cases) {
        const TDataChannel tag = PollAndWait(connections, connection);
        SCOPED_TRACE(GetParam() + ": " + c.what + " of unit " + std::to_string(c.tag.ModuleAddr));
        EXPECT_TRUE(tag.ValueValid) << tag.Status;
        if (c.tag.Function < 4) {
            EXPECT_DOUBLE_EQ(tag.RawValue, c.raw);
        }
    }
    // Over TCP the simulator answers for a unit it does not serve; on a bus nobody does.
    EXPECT_EQ(PollAndWait(connections, connection).Status,
              GetParam() == "tcp" ? "Exception code 0B" : "Read: Timeout");
    EXPECT_EQ(PollAndWait(connections, connection).Status, "Exception code 02");
}

TEST_P(SimTest, AStoppedSlaveTimesOutAndAClosedTransportIsReported) {
    const int connection = StartSimulator();
    m_tags.Assign({Tag(connection, 1, 2, 101)});
    Connections connections(m_tags, *m_store, nullptr);
    ASSERT_TRUE(Start(connections).problems.empty());
    EXPECT_TRUE(PollAndWait(connections, connection).ValueValid);
    m_sim->Stop();
    const std::string afterStop = PollAndWait(connections, connection).Status;
    if (GetParam() == "tcp") {
        // The slave's end closed the link: this transaction fails, later turns are refused.
        EXPECT_EQ(afterStop, "Read: I/O error");
        EXPECT_FALSE(connections.IsConnected(connection));
        EXPECT_EQ(PollAndWait(connections, connection).Status, "Connection is closed");
    } else {
        EXPECT_EQ(afterStop, "Read: Timeout");
    }
    connections.Shutdown();
    EXPECT_EQ(PollAndWait(connections, connection).Status, "Unknown"); // no worker: no poll
}

TEST_P(SimTest, CombinedRequestsGiveEveryDataTypeTheValueOfItsOwnRequest) {
    const int connection = StartSimulator();
    std::vector<TDataChannel> table;
    std::vector<double> raw;
    for (int unit : {1, 2})
        for (const Expected& c : TestBlock(connection, unit)) {
            table.push_back(c.tag);
            raw.push_back(c.raw);
        }
    m_tags.Assign(table);
    std::map<bool, std::vector<TDataChannel>> outcomes;
    for (const bool combine : {false, true}) {
        SCOPED_TRACE(GetParam() + (combine ? ", combined" : ", one by one"));
        m_store->WriteString(ConnectionSection(connection), "combine", combine ? "1" : "0");
        TracedFrames trace;
        Connections connections(m_tags, *m_store, &trace);
        ASSERT_TRUE(Start(connections).problems.empty());
        // Combined: one block per unit and function, whatever their order in the table.
        const size_t turns = combine ? 8 : table.size();
        const auto marked = PollTurns(connections, connection, turns);
        connections.Shutdown();
        EXPECT_EQ(trace.Sent().size(), turns);
        outcomes[combine] = m_tags.SnapshotAll();
        // Each step marks the tags of the one request in flight: the same slave and function.
        size_t markedTags = 0;
        for (const auto& step : marked) {
            ASSERT_FALSE(step.empty());
            for (size_t index : step) {
                EXPECT_EQ(table[index].ModuleAddr, table[step.front()].ModuleAddr);
                EXPECT_EQ(table[index].Function, table[step.front()].Function);
            }
            markedTags += step.size();
        }
        EXPECT_EQ(markedTags, table.size());
    }
    for (size_t i = 0; i < table.size(); ++i) {
        const TDataChannel& single = outcomes[false][i];
        const TDataChannel& combined = outcomes[true][i];
        SCOPED_TRACE(GetParam() + ", tag " + std::to_string(i));
        EXPECT_TRUE(single.ValueValid) << single.Status;
        EXPECT_TRUE(combined.ValueValid) << combined.Status;
        EXPECT_DOUBLE_EQ(single.RawValue, raw[i]);
        EXPECT_DOUBLE_EQ(combined.RawValue, single.RawValue);
        EXPECT_DOUBLE_EQ(combined.RealValue, single.RealValue);
    }
}

TEST_P(SimTest, WithoutTheKeyEveryTagSendsItsOwnRequestAsBefore) {
    const int connection = StartSimulator();
    TDataChannel setpoint = Tag(connection, 2, 5, 0);
    setpoint.RealValue = 80;
    m_tags.Assign({Tag(connection, 1, 2, 0), Tag(connection, 1, 2, 101), Tag(connection, 1, 2, 102),
                   Tag(connection, 2, 3, 103, 2), Tag(connection, 1, 0, 100, 20), setpoint});
    TracedFrames trace;
    Connections connections(m_tags, *m_store, &trace);
    ASSERT_TRUE(Start(connections).problems.empty());
    PollTurns(connections, connection, 6);
    connections.Shutdown();
    const std::vector<std::string> cores{"01 03 00 00 00 01", "01 03 00 65 00 01",
                                         "01 03 00 66 00 01", "02 04 00 67 00 02",
                                         "01 01 00 64 00 01", "02 06 00 00 00 50"};
    const std::vector<std::string> crcs{"84 0A", "94 15", "64 15", "C0 27", "BC 15", "89 C5"};
    const auto sent = trace.Sent();
    ASSERT_EQ(sent.size(), cores.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        if (GetParam() == "tcp") {
            ASSERT_EQ(sent[i].size(), 12u);
            EXPECT_EQ(std::vector(sent[i].begin() + 2, sent[i].end()),
                      test::Hex("00 00 00 06 " + cores[i]));
        } else {
            EXPECT_EQ(sent[i], test::Hex(cores[i] + " " + crcs[i]));
        }
    }
}

TEST_P(SimTest, ABlockReachingPastTheMapIsSplitAndItsNeighboursStayValid) {
    const int connection = StartSimulator();
    // Holding registers end at 115: the block 110..118 gets exception 02.
    std::vector<TDataChannel> table;
    for (int address : {110, 111, 112, 113, 114, 115, 118})
        table.push_back(Tag(connection, 1, 2, address));
    table.push_back(Tag(connection, 2, 2, 101)); // another unit: a block of its own
    m_tags.Assign(table);
    m_store->WriteString(ConnectionSection(connection), "combine", "1");
    TracedFrames trace;
    Connections connections(m_tags, *m_store, &trace);
    ASSERT_TRUE(Start(connections).problems.empty());
    // The first round halves the block down to the tag past the map (110-118: fails;
    // 110-112; 113-118: fails; 113-114; 115-118: fails; 115; 118: fails), then unit 2.
    // The split is kept: the second round reads the four pieces and unit 2 in turn, and only
    // the piece past the map fails.
    for (const auto& [turns, requests, exceptions] : {std::tuple(2, 8, 4), std::tuple(5, 5, 1)}) {
        SCOPED_TRACE(GetParam() + ", " + std::to_string(turns) + " turns");
        trace.Clear();
        PollTurns(connections, connection, static_cast<size_t>(turns));
        const auto tags = m_tags.SnapshotAll();
        for (size_t i = 0; i < tags.size(); ++i) {
            if (i != 6) {
                EXPECT_TRUE(tags[i].ValueValid) << i << ": " << tags[i].Status;
            }
        }
        EXPECT_EQ(tags[6].Status, "Exception code 02");
        EXPECT_FALSE(tags[6].ValueValid);
        EXPECT_DOUBLE_EQ(tags[5].RawValue, 0x3CA4);
        EXPECT_DOUBLE_EQ(tags[7].RawValue, 12002);
        EXPECT_EQ(trace.Sent().size(), static_cast<size_t>(requests));
        const auto received = trace.Received();
        const size_t functionAt = GetParam() == "tcp" ? 7 : 1;
        EXPECT_EQ(std::ranges::count_if(received,
                                        [&](const TracedFrames::Frame& frame) {
                                            return frame.size() > functionAt &&
                                                   frame[functionAt] >= 0x80;
                                        }),
                  exceptions);
    }
}

INSTANTIATE_TEST_SUITE_P(Links, SimTest, ::testing::Values("tcp", "rtu"));

// A block's reply takes its time on a slow line: 125 registers in Modbus ASCII are 511
// characters, over half a second at 9600 bit/s, longer than the whole read timeout of
// 300 ms. The read waits for the line time of the frames on top.
TEST(CombinedSerialTest, ABlockReplyLongerOnTheLineThanTheTimeoutIsWaitedFor) {
    Station station;
    const auto line = station.m_dir / "slowline";
    Child slave({"/usr/bin/python3", kPeersDir + "/paced_ascii_slave.py", line.string(), "9600"});
    for (int i = 0; i < 200 && !std::filesystem::exists(line); ++i)
        std::this_thread::sleep_for(10ms);
    station.UseSerial(line.string(), 0, 300);
    station.m_store->WriteString("Serial.1", "combine", "1");
    std::vector<TDataChannel> table;
    for (int reg = 0; reg < 125; ++reg)
        table.push_back(Tag(1, 1, 2, reg));
    station.m_tags.Assign(table);
    Connections connections(station.m_tags, *station.m_store, nullptr);
    ASSERT_TRUE(station.Start(connections).problems.empty());
    const auto marked = station.PollTurns(connections, 1, 1);
    ASSERT_EQ(marked.front().size(), 125U);
    for (int reg = 0; reg < 125; ++reg) {
        const TDataChannel tag = station.m_tags.Snapshot(static_cast<size_t>(reg));
        ASSERT_TRUE(tag.ValueValid) << "register " << reg << ": " << tag.Status;
        EXPECT_EQ(tag.RealValue, reg);
    }
}

TEST(CombinedSerialTest, LineTimeCountsEveryBitOfACharacter) {
    EXPECT_EQ(SerialLineTime(1, 9600, 8, TComPort::NoParity, TComPort::OneStopBit).count(), 1042);
    EXPECT_EQ(SerialLineTime(255, 9600, 8, TComPort::EvenParity, TComPort::OneStopBit).count(),
              292188); // RTU 8E1: 11 bits a character
    EXPECT_EQ(SerialLineTime(10, 19200, 7, TComPort::NoParity, TComPort::TwoStopBits).count(),
              5209);
    EXPECT_EQ(SerialLineTime(10, -1, 8, 0, 0).count(), 0);
}

class ProxyTest : public ::testing::Test, protected Station {
protected:
    // The simulator behind a proxy that hurts its replies in `mode`.
    Connections& Through(const std::string& mode, int timeoutMs = 1000) {
        const int simPort = FreePort();
        const int proxyPort = FreePort();
        m_sim = std::make_unique<Child>(
            std::vector<std::string>{kSimulator, "--tcp", "127.0.0.1:" + std::to_string(simPort),
                                     "--units", "1,2", "--static"});
        std::this_thread::sleep_for(200ms);
        m_proxy = std::make_unique<Child>(std::vector<std::string>{
            "/usr/bin/python3", kPeersDir + "/fault_proxy.py", std::to_string(proxyPort),
            std::to_string(simPort), mode, RequestLogPath().string()});
        UseNetwork(proxyPort, timeoutMs);
        m_tags.Assign({Tag(kNetworkConnection, 1, 3, 101), Tag(kNetworkConnection, 2, 3, 103, 2)});
        m_connections = std::make_unique<Connections>(m_tags, *m_store, nullptr);
        EXPECT_TRUE(Start(*m_connections).problems.empty());
        return *m_connections;
    }
    std::filesystem::path RequestLogPath() const { return m_dir / "requests.log"; }
    // The starting address of every request that reached the proxy, in order.
    std::vector<int> RequestedAddresses() const {
        std::ifstream log(RequestLogPath());
        return {std::istream_iterator<int>(log), std::istream_iterator<int>()};
    }
    std::unique_ptr<Child> m_sim;
    std::unique_ptr<Child> m_proxy;
    std::unique_ptr<Connections> m_connections;
};

TEST_F(ProxyTest, ARepliesSplitIntoSingleBytesIsAssembled) {
    Connections& c = Through("split");
    for (double expected : {12001.0, 1000002.0}) {
        const TDataChannel tag = PollAndWait(c, kNetworkConnection);
        EXPECT_TRUE(tag.ValueValid) << tag.Status;
        EXPECT_DOUBLE_EQ(tag.RawValue, expected);
    }
}

TEST_F(ProxyTest, AReplyCutShortByTheDeadlineIsTooFewBytes) {
    Connections& c = Through("split", 100); // 11 bytes 20 ms apart need 200 ms
    EXPECT_EQ(PollAndWait(c, kNetworkConnection).Status, "Read: Too few bytes received");
}

TEST_F(ProxyTest, StaleRepliesAreDropped) {
    Connections& c = Through("stale");
    // Each reply comes after the previous one again: the old one must not be taken.
    for (double expected : {12001.0, 1000002.0, 12001.0, 1000002.0}) {
        const TDataChannel tag = PollAndWait(c, kNetworkConnection);
        EXPECT_TRUE(tag.ValueValid) << tag.Status;
        EXPECT_DOUBLE_EQ(tag.RawValue, expected);
    }
}

TEST_F(ProxyTest, AReplyFromAnotherSlaveIsRefused) {
    Connections& c = Through("readdress");
    EXPECT_EQ(PollAndWait(c, kNetworkConnection).Status, "Read: Invalid module address");
}

TEST_F(ProxyTest, RepliesWhoseHeaderOrByteCountDisagreeWithTheFrameAreRefused) {
    Connections& c = Through("reheader");
    // Protocol identifier, length field and byte count spoilt in turn, then a sound reply:
    // the refusals leave the link in step.
    for (const char* fault : {"protocol identifier", "length", "byte count"})
        EXPECT_EQ(PollAndWait(c, kNetworkConnection).Status, "Read: Invalid CRC") << fault;
    const TDataChannel sound = PollAndWait(c, kNetworkConnection);
    EXPECT_TRUE(sound.ValueValid) << sound.Status;
    EXPECT_DOUBLE_EQ(sound.RawValue, 1000002.0);
}

TEST_F(ProxyTest, ADroppedLinkStaysDownUntilTheNextStart) {
    Connections& c = Through("drop");
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(PollAndWait(c, kNetworkConnection).ValueValid);
    EXPECT_EQ(PollAndWait(c, kNetworkConnection).Status, "Read: I/O error");
    EXPECT_FALSE(c.IsConnected(kNetworkConnection));
    EXPECT_EQ(PollAndWait(c, kNetworkConnection).Status, "Connection is closed");
    c.Shutdown();
    ASSERT_TRUE(Start(c).problems.empty());
    EXPECT_TRUE(PollAndWait(c, kNetworkConnection).ValueValid);
}

TEST_F(ProxyTest, ATagThatTimesOutDoesNotStarveItsNeighbour) {
    // Register 103 never answers: each of its turns takes 305 ms, so the worker frees
    // half-way between two 10 ms ticks, after 30 of them have come.
    Connections& c = Through("mute=103", 305);
    std::vector<int> turns; // the address of the tag marked as polled now, once per change
    const auto start = std::chrono::steady_clock::now();
    for (auto tick = start; tick < start + 1600ms; tick += 10ms) {
        std::this_thread::sleep_until(tick);
        c.PollNext(kNetworkConnection);
        const auto tags = m_tags.SnapshotAll();
        const auto marked = std::ranges::find_if(tags, &TDataChannel::PollingNow);
        ASSERT_NE(marked, tags.end());
        if (turns.empty() || turns.back() != marked->RegisterAddr)
            turns.push_back(marked->RegisterAddr);
    }
    c.Shutdown();
    // At the slave, the tag that answers and the one that times out take turns.
    const std::vector<int> sent = RequestedAddresses();
    ASSERT_GE(sent.size(), 6u);
    std::vector<int> tableOrder(sent.size());
    for (size_t i = 0; i < tableOrder.size(); ++i)
        tableOrder[i] = i % 2 == 0 ? 101 : 103;
    EXPECT_EQ(sent, tableOrder);
    // The mark stays on the tag in flight: it moves once per request, not at every tick
    // (the last turn's tag may not have been taken before the stop).
    EXPECT_LE(turns.size(), sent.size() + 1);
}

TEST_F(ProxyTest, StopAndStartWhileTransactionsAreUnderWay) {
    Connections& c = Through("split");
    for (int round = 0; round < 5; ++round) {
        c.PollNext(kNetworkConnection); // a reply takes over 200 ms to come
        std::this_thread::sleep_for(std::chrono::milliseconds(20 * round));
        const auto before = std::chrono::steady_clock::now();
        c.Shutdown();
        EXPECT_LT(std::chrono::steady_clock::now() - before, 1500ms);
        ASSERT_TRUE(Start(c).problems.empty());
    }
    EXPECT_TRUE(PollAndWait(c, kNetworkConnection).ValueValid);
}

// The far end of a peer that takes requests and never answers.
class SilentEnd final {
public:
    explicit SilentEnd(int fd) : m_fd(fd) {}
    ~SilentEnd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SilentEnd(const SilentEnd&) = delete;
    SilentEnd& operator=(const SilentEnd&) = delete;

    // Whether a request came within two seconds; it is read and left unanswered.
    bool TakesRequest() const {
        pollfd p{m_fd, POLLIN, 0};
        std::array<uint8_t, 64> bytes{};
        return ::poll(&p, 1, 2000) == 1 && ::read(m_fd, bytes.data(), bytes.size()) > 0;
    }

private:
    int m_fd;
};

class StopTest : public ::testing::TestWithParam<std::string>, protected Station {};

TEST_P(StopTest, AStopCutsShortTheWaitForASilentPeerWhateverTheTimeout) {
    constexpr int kMinute = 60000;
    const bool tcp = GetParam() == "tcp";
    const int connection = tcp ? kNetworkConnection : 1;
    Listener server(16);
    PtyPair pty(m_dir.Path());
    if (tcp)
        UseNetwork(server.Port(), kMinute);
    else
        UseSerial(pty.StationEnd(), 1, kMinute);
    m_tags.Assign({Tag(connection, 1, 2, 0)});
    Connections connections(m_tags, *m_store, nullptr);
    ASSERT_TRUE(StartOnce(connections).problems.empty());
    const SilentEnd peer(tcp ? server.Accept() : ::open(pty.PeerEnd().c_str(), O_RDWR | O_NOCTTY));
    ResetOutcome();
    connections.PollNext(connection);
    ASSERT_TRUE(peer.TakesRequest());

    const auto before = std::chrono::steady_clock::now();
    connections.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    // The device did not fail: the tag shows what it showed before.
    EXPECT_EQ(m_tags.Snapshot(0).Status, "Unknown");
}

INSTANTIATE_TEST_SUITE_P(Links, StopTest, ::testing::Values("tcp", "rtu"));

TEST(ConnectionsTest, RoundRobinOverEachConnectionsTags) {
    Station station;
    // Tags 0..4 on connections 1, 2, 1, 0, 1 and tag 5 on the network connection; every
    // transport is closed, so each turn is reported on the tag.
    std::vector<TDataChannel> tags;
    for (int port : {1, 2, 1, 0, 1, 4})
        tags.push_back(Tag(port, 1, 2, 0));
    station.m_tags.Assign(tags);
    Connections connections(station.m_tags, *station.m_store, nullptr);
    const auto started = StartOnce(connections);
    EXPECT_TRUE(started.serialPortsOpened);
    EXPECT_TRUE(started.problems.empty());

    auto polled = [&](int connection) {
        connections.PollNext(connection);
        int index = -1;
        station.m_tags.UpdateAll([&](TDataChannel& tag, size_t i) {
            if (tag.PollingNow && tag.Port == connection)
                index = static_cast<int>(i);
        });
        return index;
    };
    for (int expected : {0, 2, 4, 0, 2})
        EXPECT_EQ(polled(1), expected);
    EXPECT_EQ(polled(2), 1);
    EXPECT_EQ(polled(2), 1);
    EXPECT_EQ(polled(3), -1);
    EXPECT_EQ(polled(4), 5);
    const auto after = station.m_tags.SnapshotAll();
    EXPECT_EQ(after[0].Status, "Connection closed");
    EXPECT_EQ(after[1].Status, "Connection closed");
    EXPECT_EQ(after[3].Status, "Unknown");
    EXPECT_EQ(after[5].Status, "Connection is closed");
    EXPECT_FALSE(after[0].ValueValid);

    connections.Shutdown();
    StartOnce(connections);
    EXPECT_EQ(polled(1), 0); // a start polls each connection's first tag first
}

TEST(ConnectionsTest, StartFailuresAreReported) {
    Station station;
    PtyPair pty(station.m_dir.Path());
    TComPort other;
    other.SetPortSettings(pty.StationEnd(), -1, -1, -1, -1);
    ASSERT_TRUE(other.Open()); // another program holds the device
    station.UseSerial(pty.StationEnd(), 1);
    const int refused = FreePort();
    station.UseNetwork(refused);
    station.m_store->WriteString("Ethernet.1", "host", "localhost");
    Connections connections(station.m_tags, *station.m_store, nullptr);
    const auto started = StartOnce(connections);
    EXPECT_FALSE(started.serialPortsOpened);
    ASSERT_EQ(started.problems.size(), 2u);
    EXPECT_EQ(started.problems[0].caption, "Error while opening serial port #1");
    EXPECT_EQ(started.problems[0].text,
              "Cannot open serial port COM7. Please make sure if this serial port is available in "
              "your system and was not opened by another application.");
    EXPECT_EQ(started.problems[1].caption, "Error while connecting to the server");
    EXPECT_EQ(started.problems[1].text,
              "Cannot connect to the server localhost. Please make sure if this server is up and "
              "running, your connection details are correct, or a firewall does not block "
              "connection.");
    EXPECT_EQ(connections.StatusText(1), "Serial port 1, COM7");
    EXPECT_EQ(connections.StatusHint(1), "COM7, Disconnected");
    EXPECT_EQ(connections.StatusText(4), "Network 1, localhost:" + std::to_string(refused));
    EXPECT_EQ(connections.StatusHint(4),
              "Host localhost:" + std::to_string(refused) + ", Disconnected");
    EXPECT_EQ(connections.StatusText(2), "Serial port 2, COM1");
}

TEST(ConnectionsTest, AConnectOutlastingTheStoredTimeoutSucceeds) {
    Station station;
    // A gateway slow to accept: its full queue drops the first SYN, and the one the kernel
    // sends a second later finds room.
    Listener server(0);
    ASSERT_TRUE(server.Fill());
    std::jthread makeRoom([&] {
        std::this_thread::sleep_for(500ms);
        server.AcceptOne();
    });
    station.UseNetwork(server.Port(), 300);
    Connections connections(station.m_tags, *station.m_store, nullptr);
    const auto before = std::chrono::steady_clock::now();
    const auto started = StartOnce(connections);
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_TRUE(started.problems.empty());
    EXPECT_TRUE(connections.IsConnected(kNetworkConnection));
    EXPECT_GT(took, 300ms);
    EXPECT_EQ(connections.Link().IoTimeoutMs(), 300); // the key still bounds reads and writes
}

TEST(ConnectionsTest, EachSerialFailureIsShownBeforeTheSequenceGoesOn) {
    Station station;
    std::filesystem::create_directories(station.m_dir / "held");
    std::filesystem::create_directories(station.m_dir / "spare");
    PtyPair held(station.m_dir / "held");
    PtyPair spare(station.m_dir / "spare");
    TComPort other;
    other.SetPortSettings(held.StationEnd(), -1, -1, -1, -1);
    ASSERT_TRUE(other.Open()); // another program holds the device of ports 1 and 3
    station.UseSerial(held.StationEnd(), 1, 1000, 1);
    station.UseSerial(spare.StationEnd(), 1, 1000, 2);
    station.UseSerial(held.StationEnd(), 1, 1000, 3);
    Listener server(16);
    station.UseNetwork(server.Port());
    Connections connections(station.m_tags, *station.m_store, nullptr);

    // Each box, with what the sequence had done when it came.
    std::vector<std::string> boxes;
    const bool opened = connections.Setup([&](const ConnectionProblem& problem) {
        boxes.push_back(problem.caption + (connections.IsConnected(2) ? ", 2 open" : ", 2 closed") +
                        (server.HasPending() ? ", connected" : ""));
    });
    EXPECT_FALSE(opened);
    const std::vector<std::string> expected{"Error while opening serial port #1, 2 closed",
                                            "Error while opening serial port #3, 2 open"};
    EXPECT_EQ(boxes, expected);
    EXPECT_TRUE(server.HasPending(1000)); // the network connect came last
}
