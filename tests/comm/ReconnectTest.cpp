// Reconnection: a simulator stopped and started again on the same port, a proxy that cuts
// the link mid-reply, a stop while an attempt is pending, a project without the key, whose
// link stays down, and a serial device that goes away and comes back.
#include "PeerSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

using namespace halvane;
using namespace peers;

namespace {

using Clock = std::chrono::steady_clock;

const std::string kSimulator = HALVANE_SIM;

class ReconnectTest : public ::testing::Test, protected Station {
protected:
    void StartSimulator() {
        m_sim = std::make_unique<Child>(
            std::vector<std::string>{kSimulator, "--tcp", "127.0.0.1:" + std::to_string(m_simPort),
                                     "--units", "1", "--static"});
    }
    // The station polling register 101 of unit 1 on `port`.
    Connections& Poller(int port, bool reconnect) {
        UseNetwork(port);
        if (reconnect)
            m_store->WriteString("Ethernet.1", "reconnect", "1");
        m_tags.Assign({Tag(kNetworkConnection, 1, 3, 101)});
        m_connections = std::make_unique<Connections>(m_tags, *m_store, nullptr);
        return *m_connections;
    }
    // Polls every 10 ms until the tag is valid or `limit` has passed: how long it took.
    std::optional<Clock::duration> UntilValid(Clock::duration limit) {
        const auto start = Clock::now();
        while (Clock::now() - start < limit)
            if (PollAndWait(*m_connections, m_connection).ValueValid)
                return Clock::now() - start;
            else
                std::this_thread::sleep_for(10ms);
        return std::nullopt;
    }
    // Polls until the station has seen the link go down.
    void UntilDown() {
        for (int i = 0; i < 100 && m_connections->IsConnected(m_connection); ++i)
            PollAndWait(*m_connections, m_connection);
        ASSERT_FALSE(m_connections->IsConnected(m_connection));
    }

    // The connection's hint once the worker has settled (it schedules just after a drop).
    std::string Hint() const {
        for (int i = 0; i < 20 && m_connections->StatusHint(m_connection).ends_with("Disconnected");
             ++i)
            std::this_thread::sleep_for(5ms);
        return m_connections->StatusHint(m_connection);
    }

    int m_connection = kNetworkConnection; // the one polled
    int m_simPort = FreePort();
    std::unique_ptr<Child> m_sim;
    std::unique_ptr<Connections> m_connections;
};

TEST_F(ReconnectTest, ASlaveStartedAgainOnItsPortIsPolledAgainWithinTheBackoff) {
    StartSimulator();
    Connections& c = Poller(m_simPort, true);
    ASSERT_TRUE(Start(c).problems.empty());
    ASSERT_TRUE(UntilValid(2s));
    std::vector<double> seconds; // from the slave's start to the first valid value
    std::vector<double> beyond;  // from the drop, beyond the backoff's 1 s
    for (int restart = 0; restart < 10; ++restart) {
        m_sim->Stop();
        UntilDown();
        const auto down = Clock::now();
        EXPECT_EQ(PollAndWait(c, kNetworkConnection).Status, "Connection is closed");
        EXPECT_EQ(Hint(), "Host 127.0.0.1:" + std::to_string(m_simPort) + ", Reconnecting in 1 s");
        StartSimulator();
        // The first attempt comes 1 s after the drop; the schedule starts over each time.
        const auto took = UntilValid(3s);
        ASSERT_TRUE(took) << "restart " << restart;
        EXPECT_EQ(c.StatusHint(kNetworkConnection),
                  "Host 127.0.0.1:" + std::to_string(m_simPort) + ", Connected");
        seconds.push_back(std::chrono::duration<double>(*took).count());
        beyond.push_back(std::chrono::duration<double>(Clock::now() - down - 1s).count());
    }
    const auto median = [](std::vector<double> v) {
        std::ranges::sort(v);
        return (v[4] + v[5]) / 2;
    };
    std::cout << "slave back to first valid value: median " << median(seconds)
              << " s; beyond the backoff's 1 s wait: median " << median(beyond) << " s\n";
}

TEST_F(ReconnectTest, WithoutTheKeyALinkThatWentDownStaysDown) {
    StartSimulator();
    Connections& c = Poller(m_simPort, false);
    ASSERT_TRUE(Start(c).problems.empty());
    ASSERT_TRUE(UntilValid(2s));
    m_sim->Stop();
    UntilDown();
    StartSimulator();
    EXPECT_FALSE(UntilValid(2500ms));
    EXPECT_EQ(PollAndWait(c, kNetworkConnection).Status, "Connection is closed");
    EXPECT_EQ(c.StatusHint(kNetworkConnection),
              "Host 127.0.0.1:" + std::to_string(m_simPort) + ", Disconnected");
}

TEST_F(ReconnectTest, ALinkCutMidReplyComesBackOnItsOwn) {
    StartSimulator();
    const int proxyPort = FreePort();
    const Child proxy({"/usr/bin/python3", kPeersDir + "/fault_proxy.py", std::to_string(proxyPort),
                       std::to_string(m_simPort), "cut"});
    Connections& c = Poller(proxyPort, true);
    ASSERT_TRUE(Start(c).problems.empty());
    ASSERT_TRUE(UntilValid(2s));
    // Each connection through the proxy gets three replies; the fourth is cut short.
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 2; ++i)
            EXPECT_TRUE(PollAndWait(c, kNetworkConnection).ValueValid) << round;
        EXPECT_EQ(PollAndWait(c, kNetworkConnection).Status, "Read: I/O error");
        EXPECT_FALSE(c.IsConnected(kNetworkConnection));
        EXPECT_TRUE(UntilValid(2500ms)) << round;
    }
}

TEST_F(ReconnectTest, AConnectFailedAtStartIsTriedAgain) {
    Connections& c = Poller(m_simPort, true);
    EXPECT_EQ(StartOnce(c).problems.size(), 1u);
    StartSimulator();
    EXPECT_TRUE(UntilValid(3s));
}

// A stop while the worker waits for its next attempt, and while an attempt hangs in a
// connect that the peer never accepts: it returns at once either way.
TEST_F(ReconnectTest, AStopCancelsAPendingAttemptAtOnce) {
    for (const auto stopAfter : {300ms, 1300ms}) {
        Listener listener(0);
        ASSERT_TRUE(listener.Fill());
        Connections& c = Poller(listener.Port(), true);
        StartOnce(c); // its own connect waits out the 2 s deadline
        ASSERT_FALSE(c.IsConnected(kNetworkConnection));
        std::this_thread::sleep_for(stopAfter);
        const auto before = Clock::now();
        c.Shutdown();
        EXPECT_LT(Clock::now() - before, 300ms) << stopAfter.count();
    }
}

TEST_F(ReconnectTest, ASerialDeviceThatWentAwayIsReopenedWhenItIsBack) {
    // The device node is a pty of socat's, the slave the simulator on its other end.
    auto pty = std::make_unique<PtyPair>(m_dir.Path());
    const auto slave = [&] {
        return std::make_unique<Child>(std::vector<std::string>{kSimulator, "--rtu", pty->PeerEnd(),
                                                                "--units", "1", "--static"});
    };
    m_sim = slave();
    UseSerial(pty->StationEnd(), 1, 300);
    m_store->WriteString("Serial.1", "reconnect", "1");
    m_tags.Assign({Tag(1, 1, 3, 101)});
    m_connections = std::make_unique<Connections>(m_tags, *m_store, nullptr);
    m_connection = 1;
    ASSERT_TRUE(Start(*m_connections).problems.empty());
    ASSERT_TRUE(UntilValid(3s));
    for (int round = 0; round < 2; ++round) {
        m_sim.reset();
        pty.reset(); // the device node goes away
        UntilDown();
        EXPECT_EQ(PollAndWait(*m_connections, 1).Status, "Connection closed");
        EXPECT_EQ(Hint(), "COM7, Reconnecting in 1 s");
        pty = std::make_unique<PtyPair>(m_dir.Path());
        m_sim = slave();
        EXPECT_TRUE(UntilValid(5s)) << round;
        EXPECT_EQ(m_connections->StatusHint(1), "COM7, Connected");
    }
}

TEST_F(ReconnectTest, ASerialPortThatFailedToOpenAtStartIsOpenedOnceItsDeviceExists) {
    UseSerial((m_dir / "ttyA").string(), 1, 300); // socat makes it later
    m_store->WriteString("Serial.1", "reconnect", "1");
    m_tags.Assign({Tag(1, 1, 3, 101)});
    m_connections = std::make_unique<Connections>(m_tags, *m_store, nullptr);
    m_connection = 1;
    EXPECT_EQ(StartOnce(*m_connections).problems.size(), 1u);
    const PtyPair pty(m_dir.Path());
    m_sim = std::make_unique<Child>(
        std::vector<std::string>{kSimulator, "--rtu", pty.PeerEnd(), "--units", "1", "--static"});
    EXPECT_TRUE(UntilValid(4s));
}

} // namespace
