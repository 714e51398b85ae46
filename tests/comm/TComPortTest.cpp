// The serial port on a socat pty pair: the test writes and reads the other end itself.
#include "TComPort.h"
#include "PeerSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace halvane;
using namespace peers;

namespace {

class TComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_port.SetPortSettings(m_pty.StationEnd(), 9600, 8, TComPort::NoParity,
                               TComPort::OneStopBit);
        m_port.SetTimeouts(300, -1);
        m_other = ::open(m_pty.PeerEnd().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(m_other, 0);
    }
    void TearDown() override { ::close(m_other); }
    void Send(std::vector<uint8_t> bytes) {
        ASSERT_EQ(::write(m_other, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    TempDir m_dir;
    PtyPair m_pty{m_dir.Path()};
    TComPort m_port;
    int m_other = -1;
};

} // namespace

TEST_F(TComPortTest, ReadsExactlyTheCountOrNothingWithinTheTimeout) {
    ASSERT_TRUE(m_port.Open()) << m_port.LastError();
    std::array<uint8_t, 7> buffer{};
    Send({1, 2, 3, 4, 5, 6, 7});
    EXPECT_EQ(m_port.Read(buffer), 7);
    EXPECT_EQ(buffer[6], 7);

    Send({1, 2, 3, 4, 5, 6});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_port.Read(buffer), 0);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 290ms);
    EXPECT_LT(waited, 600ms);
}

TEST_F(TComPortTest, WritesAndPurges) {
    ASSERT_TRUE(m_port.Open());
    const std::array<uint8_t, 3> frame{0x01, 0x03, 0xFF};
    EXPECT_EQ(m_port.Write(frame), 3);
    std::array<uint8_t, 3> received{};
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(::read(m_other, received.data(), received.size()), 3);
    EXPECT_EQ(received, frame);

    Send({9, 9, 9});
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(m_port.Purge(true, true));
    std::array<uint8_t, 1> one{};
    EXPECT_EQ(m_port.Read(one), 0); // what came before the purge is gone
}

TEST_F(TComPortTest, OpenCloseAndExclusiveUse) {
    EXPECT_EQ(m_port.Write(std::array<uint8_t, 1>{1}), 0); // closed: touches nothing
    EXPECT_TRUE(m_port.Close());
    ASSERT_TRUE(m_port.Open());
    m_port.SetPortSettings(m_pty.StationEnd(), 9600, 7, TComPort::EvenParity, TComPort::OneStopBit);
    EXPECT_TRUE(m_port.Open()); // already open: the new settings wait for the next open

    TComPort second;
    second.SetPortSettings(m_pty.StationEnd(), -1, -1, -1, -1);
    EXPECT_FALSE(second.Open());
    EXPECT_NE(second.LastError().find("in use"), std::string::npos);
    EXPECT_TRUE(m_port.Close());
    EXPECT_TRUE(m_port.Close());
}

TEST_F(TComPortTest, SettingsTheDeviceRefusesFailTheOpen) {
    // A pty carries 8 data bits without parity only.
    m_port.SetPortSettings(m_pty.StationEnd(), 9600, 7, TComPort::EvenParity, TComPort::OneStopBit);
    EXPECT_FALSE(m_port.Open());
    EXPECT_FALSE(m_port.IsOpen());
    m_port.SetPortSettings(m_pty.StationEnd(), -1, -1, -1, -1); // keep the device's own
    EXPECT_TRUE(m_port.Open()) << m_port.LastError();
    m_port.Close();
    m_port.SetPortSettings(m_pty.StationEnd(), 14400, 8, TComPort::NoParity, TComPort::OneStopBit);
    EXPECT_TRUE(m_port.Open()) << m_port.LastError(); // a rate without a B constant
}
