// The live stream of a station polling the libmodbus simulator, while an independent Modbus
// client (pymodbus) changes the register.
#include "PeerSupport.h"
#include "TemplateCounter.h"
#include "WebServer.h"
#include "WebTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

using namespace halvane;
using namespace peers;

namespace {

const std::string kSimulator = HALVANE_SIM;
constexpr int kHoldingRegisters = 2; // the tag editor's function index
constexpr auto kPollInterval = 100ms;

class WebStreamPeerTest : public ::testing::Test, protected Station {
protected:
    void SetUp() override {
        m_port = FreePort();
        m_sim = std::make_unique<Child>(
            std::vector<std::string>{kSimulator, "--tcp", "127.0.0.1:" + std::to_string(m_port),
                                     "--units", "1", "--static"});
        UseNetwork(m_port, 300);
        TDataChannel level = Tag(kNetworkConnection, 1, kHoldingRegisters, 0);
        level.Name = "Tank level";
        TDataChannel flow = Tag(kNetworkConnection, 1, kHoldingRegisters, 1);
        flow.Name = "Flow";
        m_tags.Assign({level, flow});
        m_connections = std::make_unique<Connections>(m_tags, *m_store, nullptr);
        ASSERT_TRUE(Start(*m_connections).problems.empty());
        m_server.emplace(WebContext{*m_store, m_tags, nullptr, m_counters});
        ASSERT_TRUE(m_server->Start(0)) << m_server->LastError();
        m_polling = std::jthread([this](std::stop_token stop) {
            while (!stop.stop_requested()) {
                m_connections->PollNext(kNetworkConnection);
                std::this_thread::sleep_for(kPollInterval);
            }
        });
    }
    void TearDown() override {
        m_polling = {};
        m_server.reset();
        m_connections->Shutdown();
    }

    // The independent client: pymodbus writes holding register `address` of unit 1.
    void SetRegister(int address, int value) const {
        ASSERT_EQ(RunPymodbus(m_port, "assert not c.write_register(" + std::to_string(address) +
                                          ", " + std::to_string(value) + ", slave=1).isError()"),
                  0);
    }

    int m_port = 0;
    std::unique_ptr<Child> m_sim;
    std::unique_ptr<Connections> m_connections;
    TemplateCounters m_counters;
    std::optional<WebServer> m_server;
    std::jthread m_polling;
};

// The "data:" of the first tags event in `received` that carries `number` with `value`.
bool CarriesValue(const std::string& received, int number, double value) {
    for (size_t at = received.find("event: tags\ndata: "); at != std::string::npos;
         at = received.find("event: tags\ndata: ", at + 1)) {
        const size_t begin = at + 18;
        const std::string data = received.substr(begin, received.find('\n', begin) - begin);
        for (const QJsonValue tag :
             QJsonDocument::fromJson(QByteArray::fromStdString(data)).array())
            if (tag.toObject()["number"] == number && tag.toObject()["value"] == value)
                return true;
    }
    return false;
}

TEST_F(WebStreamPeerTest, AChangedRegisterReachesTheStreamWithinOnePollAndABatch) {
    SetRegister(0, 10);
    SetRegister(1, 20);
    test::RawClient stream(m_server->Port());
    ASSERT_TRUE(stream.Send("GET /api/stream HTTP/1.0\r\n\r\n"));
    std::string received;
    for (int i = 0; i < 20 && !CarriesValue(received, 2, 20); ++i)
        received += stream.Receive(100ms);
    ASSERT_TRUE(received.starts_with("HTTP/1.1 200")) << received;

    for (const int value : {1234, 77}) {
        SetRegister(0, value);
        const auto changed = std::chrono::steady_clock::now();
        received.clear();
        while (!CarriesValue(received, 1, value) && std::chrono::steady_clock::now() - changed < 2s)
            received += stream.Receive(5ms);
        const auto arrived = std::chrono::steady_clock::now();
        ASSERT_TRUE(CarriesValue(received, 1, value)) << received;
        EXPECT_LT(arrived - changed, kPollInterval + 300ms);
        EXPECT_FALSE(CarriesValue(received, 2, 20)) << "the unchanged tag is not sent again";
    }
}

} // namespace
