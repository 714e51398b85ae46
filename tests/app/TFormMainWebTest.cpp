// Operating the station from a browser: the main window polls the libmodbus simulator with
// its web server on and a users file; curl reads and writes through the JSON API as the
// operator, and an independent Modbus client (pymodbus) moves and reads the registers.
#include "Accounts.h"
#include "AlarmStation.h"
#include "EventJournal.h"
#include "PeerSupport.h"
#include "StationSupport.h"
#include "TFormLogin.h"
#include "WebTestSupport.h"
#include "WidgetInput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <limits>

using namespace halvane;
using test::WaitUntil;

namespace {

constexpr char kOperator[] = "olga:olga-password";
constexpr int kLevelRegister = 0;
constexpr int kSetpointRegister = 10;

QJsonDocument Json(const test::HttpReply& reply) {
    EXPECT_EQ(reply.Header("content-type"), "application/json; charset=utf-8") << reply.body;
    return QJsonDocument::fromJson(QByteArray::fromStdString(reply.body));
}

// The level (holding register 0, alarm limits 10 and 90) and a setpoint (register 10,
// written only when set) of the simulator's unit 1; the operator "olga" has an account.
class TFormMainWebTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sim = std::make_unique<peers::Child>(std::vector<std::string>{
            HALVANE_SIM, "--tcp", "127.0.0.1:" + std::to_string(m_simPort), "--static"});
        SetRegister(kLevelRegister, 55); // also waits until the simulator answers
        SetRegister(kSetpointRegister, 7);
        WriteStation(
            m_root,
            "[WebServer]\nEnabled=1\nPort=" + std::to_string(m_webPort) +
                "\n[Ethernet.1]\nenabled=1\nhost=127.0.0.1\nport=" + std::to_string(m_simPort) +
                "\ninterval=50\ntimeout=500\nwriteMode=1\n"
                "[Channel.0]\nName=Level\nUnit=%\nPort=4\nFunction=2\nRegisterAddr=" +
                std::to_string(kLevelRegister) +
                "\nLinear=0\nFormat=%0.0f\nEnableAlert=1\nHigh.Threshold=90\n"
                "Low.Threshold=10\n"
                "[Channel.1]\nName=Setpoint\nPort=4\nFunction=5\nRegisterAddr=" +
                std::to_string(kSetpointRegister) + "\nLinear=0\nFormat=%0.0f\nEnableAlert=0\n",
            {{1, "Plant", 320, 200}});
        AccountStore users(m_root / "cfg/users.cfg");
        ASSERT_EQ(users.Add("olga", Role::Operator, "olga-password"), std::nullopt);
    }

    void SetRegister(int address, int value) const {
        ASSERT_EQ(peers::RunPymodbus(m_simPort, "assert not c.write_register(" +
                                                    std::to_string(address) + ", " +
                                                    std::to_string(value) + ", slave=1).isError()"),
                  0);
    }
    bool RegisterHolds(int address, int value) const {
        return peers::RunPymodbus(m_simPort,
                                  "r = c.read_holding_registers(" + std::to_string(address) +
                                      ", count=1, slave=1)\nsys.exit(0 if r.registers[0] == " +
                                      std::to_string(value) + " else 1)") == 0;
    }

    // Starts the station, nobody logged in at it (the login dialog cancelled), and waits
    // for its first reading of the level.
    std::unique_ptr<TFormMain> Start() const {
        test::ModalAnswers answers;
        answers.Then<TFormLogin>(
            [](TFormLogin& dialog) { test::MouseClick(dialog, "ButtonCancel"); });
        auto form = StartStation(m_root);
        if (form) {
            EXPECT_TRUE(WaitUntil([&] { return form->Tags().Snapshot(0).ValueValid; }));
        }
        return form;
    }

    // The value of tag `number` that /api/tags lists; NaN when it lists none.
    double ApiValue(int number) const {
        const QJsonArray tags = Json(test::Curl(m_webPort, "/api/tags", {"-u", kOperator})).array();
        for (const QJsonValue tag : tags)
            if (tag["number"] == number)
                return tag["value"].toDouble(std::numeric_limits<double>::quiet_NaN());
        return std::numeric_limits<double>::quiet_NaN();
    }

    test::HttpReply Post(const std::string& path, const std::string& body) const {
        return test::Curl(m_webPort, path,
                          {"-u", kOperator, "-H", "Content-Type: application/json", "-H",
                           "Origin: http://127.0.0.1:" + std::to_string(m_webPort), "--data-binary",
                           body});
    }

    // The journal's events of `source`: "write 2 olga", "acknowledged 1 olga".
    std::string Journal(std::string_view source) const {
        const JournalReadResult read =
            ReadJournal(m_root / "events", 0, std::numeric_limits<LocalMsecs>::max());
        std::string lines;
        for (const JournalEvent& event : read.events)
            if (event.source == source)
                lines += event.event + " " + std::to_string(event.tag.value_or(0)) + " " +
                         event.user + "\n";
        return lines;
    }

    const int m_simPort = peers::FreePort();
    const int m_webPort = peers::FreePort();
    TempDir m_root;
    std::unique_ptr<peers::Child> m_sim;
};

TEST_F(TFormMainWebTest, TheOperatorReadsWritesAndAcknowledgesFromABrowser) {
    auto form = Start();
    ASSERT_TRUE(form);
    EXPECT_TRUE(WaitUntil([&] { return ApiValue(1) == 55; }));
    SetRegister(kLevelRegister, 63);
    EXPECT_TRUE(WaitUntil([&] { return ApiValue(1) == 63; }));

    const test::HttpReply write = Post("/api/tags/2", R"({"value": 42})");
    EXPECT_EQ(write.status, 200) << write.body;
    EXPECT_EQ(Json(write).object()["result"], "accepted");
    EXPECT_TRUE(WaitUntil([&] { return RegisterHolds(kSetpointRegister, 42); }, 5000));

    SetRegister(kLevelRegister, 95);
    EXPECT_TRUE(WaitUntil([&] {
        const auto alarms = form->Alarms()->Service().Alarms(false);
        return !alarms.empty() && alarms[0].tagIndex == 0;
    }));
    const test::HttpReply ack = Post("/api/alarms/1/ack", "{}");
    EXPECT_EQ(ack.status, 200) << ack.body;
    EXPECT_EQ(Json(ack).object()["count"], 1) << ack.body;
    const QJsonArray alarms = Json(test::Curl(m_webPort, "/api/alarms", {"-u", kOperator})).array();
    ASSERT_EQ(alarms.size(), 1);
    EXPECT_EQ(alarms[0]["state"], "acknowledged");
    EXPECT_EQ(alarms[0]["acknowledged_by"], "olga");

    form->Alarms()->Service().Flush();
    EXPECT_EQ(Journal("web"), "write 2 olga\nacknowledged 1 olga\n");
}

} // namespace
